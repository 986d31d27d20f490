// Statements on Firebird, straight through the client library on the attachment that the
// InterBase driver opened. The driver runs a prepared SELECT in a snapshot transaction that
// lives as long as the statement, so a statement kept prepared would go on showing the data
// of its first run (and hold back the engine's garbage collection). Here every statement runs
// in the connection's one read-only, read-committed transaction: kept prepared, it sees what
// others committed at each run, and it cannot write.
#include "DBConnection.h"
#include "FirebirdApi.h"
#include "Placeholders_p.h"
#include "Statement_p.h"
#include "rtl/TDateTime.h"

#include <QSqlDriver>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Velmora::Internal {

namespace {

// The read transaction of one connect: started when first needed, committed before the
// connection closes.
class FirebirdSession : public DBConnection::SessionState
{
public:
    FirebirdSession(const FirebirdApi &api, isc_db_handle db) : m_api(api), m_db(db) {}
    ~FirebirdSession() override
    {
        if (m_tr) {
            ISC_STATUS_ARRAY status{};
            m_api.commitTransaction(status, &m_tr);
        }
    }

    isc_db_handle *database() { return &m_db; }

    isc_tr_handle *transaction(QString &error)
    {
        if (m_tr)
            return &m_tr;
        static const char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                   isc_tpb_rec_version, isc_tpb_nowait};
        ISC_STATUS_ARRAY status{};
        if (m_api.startTransaction(status, &m_tr, 1, &m_db, int(sizeof tpb), tpb)) {
            error = m_api.message(status);
            m_tr = 0;
            return nullptr;
        }
        return &m_tr;
    }

private:
    const FirebirdApi &m_api;
    isc_db_handle m_db;
    isc_tr_handle m_tr = 0;
};

XSQLDA *allocate(int count)
{
    const int n = count < 1 ? 1 : count;
    auto *da = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(n)));
    da->version = SQLDA_VERSION1;
    da->sqln = static_cast<ISC_SHORT>(n);
    return da;
}

struct DaDeleter
{
    void operator()(XSQLDA *da) const { std::free(da); }
};
using Descriptor = std::unique_ptr<XSQLDA, DaDeleter>;

int aligned(int n)
{
    return (n + 7) & ~7;
}

double powerOfTen(int n)
{
    return std::pow(10.0, n);
}

QString exactDecimal(qint64 value, int scale)
{
    const bool negative = value < 0;
    QString digits = QString::number(negative ? -static_cast<quint64>(value) : quint64(value));
    if (digits.size() <= scale)
        digits = QString(scale - digits.size() + 1, QLatin1Char('0')) + digits;
    digits.insert(digits.size() - scale, QLatin1Char('.'));
    return negative ? QLatin1Char('-') + digits : digits;
}

class FirebirdStatement : public Statement
{
public:
    FirebirdStatement(const FirebirdApi &api, FirebirdSession &session, bool exactDecimals)
        : m_api(api), m_session(session), m_exactDecimals(exactDecimals)
    {}

    ~FirebirdStatement() override
    {
        if (m_stmt) {
            ISC_STATUS_ARRAY status{};
            m_api.freeStatement(status, &m_stmt, DSQL_drop);
        }
    }

    bool prepare(const QString &text, QString &error)
    {
        isc_tr_handle *tr = m_session.transaction(error);
        if (!tr)
            return false;
        ISC_STATUS_ARRAY status{};
        if (m_api.allocateStatement(status, m_session.database(), &m_stmt))
            return fail(status, error);
        const QByteArray sql = ToPositional(text, m_placeholders).toUtf8();
        m_out.reset(allocate(8));
        if (m_api.prepare(status, tr, &m_stmt, 0, sql.constData(), SQL_DIALECT_V6, m_out.get()))
            return fail(status, error);
        if (m_out->sqld > m_out->sqln) {
            m_out.reset(allocate(m_out->sqld));
            if (m_api.describe(status, &m_stmt, SQL_DIALECT_V6, m_out.get()))
                return fail(status, error);
        }
        m_in.reset(allocate(static_cast<int>(m_placeholders.size())));
        if (m_api.describeBind(status, &m_stmt, SQL_DIALECT_V6, m_in.get()))
            return fail(status, error);
        if (m_in->sqld > m_in->sqln || m_in->sqld != m_placeholders.size()) {
            error = QStringLiteral("o texto tem %1 parâmetros e o banco de dados espera %2")
                        .arg(m_placeholders.size())
                        .arg(m_in->sqld);
            return false;
        }
        m_declared.assign(m_in->sqlvar, m_in->sqlvar + m_in->sqld);

        const char item = isc_info_sql_stmt_type;
        char info[16] = {};
        if (m_api.sqlInfo(status, &m_stmt, 1, &item, sizeof info, info))
            return fail(status, error);
        const short length = static_cast<short>(m_api.vaxInteger(info + 1, 2));
        m_type = static_cast<int>(m_api.vaxInteger(info + 3, length));

        describeOutput();
        return true;
    }

    bool Writes() const override { return m_type != isc_info_sql_stmt_select; }

    bool Execute(const QVector<QVariant> &values, int maxRows, QVector<TDataSet::Column> &columns,
                 QVector<QVector<QVariant>> &rows, QString &error) override
    {
        isc_tr_handle *tr = m_session.transaction(error);
        if (!tr)
            return false;
        std::vector<QByteArray> storage(static_cast<size_t>(m_in->sqld));
        std::vector<ISC_SHORT> indicators(static_cast<size_t>(m_in->sqld), 0);
        for (int i = 0; i < m_in->sqld; ++i)
            bind(i, values.value(i), storage[size_t(i)], indicators[size_t(i)]);

        ISC_STATUS_ARRAY status{};
        if (m_api.execute(status, tr, &m_stmt, SQL_DIALECT_V6, m_in->sqld ? m_in.get() : nullptr))
            return fail(status, error);
        columns = m_columns;
        rows.clear();
        const int count = m_out->sqld;
        ISC_STATUS fetched = 0;
        while (maxRows <= 0 || rows.size() < maxRows) {
            fetched = m_api.fetch(status, &m_stmt, SQL_DIALECT_V6, m_out.get());
            if (fetched != 0)
                break;
            QVector<QVariant> row(count);
            for (int i = 0; i < count; ++i)
                row[i] = read(m_out->sqlvar[i], tr);
            rows << std::move(row);
        }
        const bool failed = fetched != 0 && fetched != 100;
        if (failed)
            fail(status, error);
        ISC_STATUS_ARRAY closing{};
        m_api.freeStatement(closing, &m_stmt, DSQL_close);
        return !failed;
    }

private:
    bool fail(const ISC_STATUS *status, QString &error) const
    {
        error = m_api.message(status);
        return false;
    }

    void describeOutput()
    {
        int total = 0;
        for (int i = 0; i < m_out->sqld; ++i)
            total += aligned(FirebirdBufferSize(m_out->sqlvar[i])) + 8;
        m_outBuffer = QByteArray(total, '\0');
        char *cursor = m_outBuffer.data();
        for (int i = 0; i < m_out->sqld; ++i) {
            XSQLVAR &v = m_out->sqlvar[i];
            v.sqldata = cursor;
            cursor += aligned(FirebirdBufferSize(v));
            v.sqlind = reinterpret_cast<ISC_SHORT *>(cursor);
            cursor += 8;
            TDataSet::Column column;
            column.name = QString::fromUtf8(v.aliasname, v.aliasname_length);
            switch (v.sqltype & ~1) {
            case SQL_TYPE_DATE:
            case SQL_TIMESTAMP:
                column.kind = TField::Kind::DateTime;
                break;
            case SQL_SHORT:
            case SQL_LONG:
            case SQL_INT64:
            case SQL_FLOAT:
            case SQL_DOUBLE:
            case SQL_D_FLOAT:
                column.numeric = true;
                break;
            default:
                break;
            }
            m_columns << column;
        }
    }

    void bind(int i, const QVariant &value, QByteArray &buffer, ISC_SHORT &indicator)
    {
        FirebirdBind(m_in->sqlvar[i], value, buffer, indicator, &m_declared[size_t(i)]);
    }

    QVariant read(const XSQLVAR &v, isc_tr_handle *tr) const
    {
        if ((v.sqltype & 1) && *v.sqlind < 0)
            return {};
        const char *data = v.sqldata;
        const auto scaled = [&](qint64 n) -> QVariant {
            if (v.sqlscale >= 0)
                return n;
            if (m_exactDecimals)
                return exactDecimal(n, -v.sqlscale);
            return double(n) / powerOfTen(-v.sqlscale);
        };
        switch (v.sqltype & ~1) {
        case SQL_VARYING: {
            ISC_USHORT length = 0;
            std::memcpy(&length, data, sizeof length);
            if (v.sqlsubtype == 1) // OCTETS
                return QByteArray(data + 2, length);
            return QString::fromUtf8(data + 2, length);
        }
        case SQL_TEXT: {
            // A CHAR is its text padded with blanks to the column's width.
            int length = v.sqllen;
            while (length > 0 && data[length - 1] == ' ')
                --length;
            return QString::fromUtf8(data, length);
        }
        case SQL_SHORT: {
            ISC_SHORT n;
            std::memcpy(&n, data, sizeof n);
            return v.sqlscale < 0 ? scaled(n) : QVariant(int(n));
        }
        case SQL_LONG: {
            ISC_LONG n;
            std::memcpy(&n, data, sizeof n);
            return v.sqlscale < 0 ? scaled(n) : QVariant(int(n));
        }
        case SQL_INT64: {
            ISC_INT64 n;
            std::memcpy(&n, data, sizeof n);
            return scaled(n);
        }
        case SQL_FLOAT: {
            float f;
            std::memcpy(&f, data, sizeof f);
            return double(f);
        }
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double d;
            std::memcpy(&d, data, sizeof d);
            return d;
        }
        case SQL_TYPE_DATE: {
            ISC_DATE days;
            std::memcpy(&days, data, sizeof days);
            return QVariant::fromValue(TDateTime::fromDate(FirebirdEpoch.addDays(days)));
        }
        case SQL_TIMESTAMP: {
            ISC_TIMESTAMP ts;
            std::memcpy(&ts, data, sizeof ts);
            const QDateTime moment(FirebirdEpoch.addDays(ts.timestamp_date),
                                   QTime::fromMSecsSinceStartOfDay(int(ts.timestamp_time / 10)));
            return QVariant::fromValue(TDateTime::fromDateTime(moment));
        }
        case SQL_TYPE_TIME: {
            ISC_TIME t;
            std::memcpy(&t, data, sizeof t);
            return QTime::fromMSecsSinceStartOfDay(int(t / 10));
        }
        case SQL_BOOLEAN:
            return data[0] != 0;
        case SQL_BLOB:
            return blob(v, tr);
        default:
            return {};
        }
    }

    QVariant blob(const XSQLVAR &v, isc_tr_handle *tr) const
    {
        ISC_QUAD id;
        std::memcpy(&id, v.sqldata, sizeof id);
        ISC_STATUS_ARRAY status{};
        isc_blob_handle handle = 0;
        if (m_api.openBlob(status, m_session.database(), tr, &handle, &id, 0, nullptr))
            return {};
        QByteArray bytes;
        char chunk[8192];
        ISC_USHORT got = 0;
        for (;;) {
            const ISC_STATUS s = m_api.getSegment(status, &handle, &got, sizeof chunk, chunk);
            if (s != 0 && status[1] != isc_segment)
                break;
            bytes.append(chunk, got);
        }
        m_api.closeBlob(status, &handle);
        if (v.sqlsubtype == 1)
            return QString::fromUtf8(bytes);
        return bytes;
    }

    const FirebirdApi &m_api;
    FirebirdSession &m_session;
    bool m_exactDecimals;
    isc_stmt_handle m_stmt = 0;
    Descriptor m_in, m_out;
    std::vector<XSQLVAR> m_declared;
    QByteArray m_outBuffer;
    QVector<TDataSet::Column> m_columns;
    int m_type = 0;
};

} // namespace

std::unique_ptr<Statement> PrepareOnFirebird(DBConnection &connection, const QString &text,
                                             bool exactDecimals, QString &error)
{
    const FirebirdApi &api = FirebirdApi::get();
    auto *session = dynamic_cast<FirebirdSession *>(connection.Session());
    if (!session) {
        const QVariant handle = connection.Database().driver()->handle();
        if (handle.metaType() != QMetaType::fromType<isc_db_handle>()) {
            error = QStringLiteral("a conexão não é do Firebird");
            return nullptr;
        }
        auto made = std::make_unique<FirebirdSession>(
            api, *static_cast<const isc_db_handle *>(handle.constData()));
        session = made.get();
        connection.SetSession(std::move(made));
    }
    auto statement = std::make_unique<FirebirdStatement>(api, *session, exactDecimals);
    if (!statement->prepare(text, error))
        return nullptr;
    return statement;
}

} // namespace Velmora::Internal
