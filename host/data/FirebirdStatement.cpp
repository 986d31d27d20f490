// Statements on Firebird, straight through the client library on the attachment that the
// InterBase driver opened. The driver runs a prepared SELECT in a snapshot transaction that
// lives as long as the statement, so a statement kept prepared would go on showing the data
// of its first run (and hold back the engine's garbage collection). Here every statement runs
// in the connection's one read-only, read-committed transaction: kept prepared, it sees what
// others committed at each run, and it cannot write. A report's streaming read runs the same
// way in a read-only snapshot of its own, so that its totals agree with its rows.
#include "DBConnection.h"
#include "FirebirdApi.h"
#include "Placeholders_p.h"
#include "Statement_p.h"
#include "StreamingRead_p.h"
#include "rtl/TDateTime.h"

#include <QSqlDatabase>
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

// The output of a prepared statement: its descriptor, one buffer for a row, the columns as
// the datasets see them, and each value read in the form the caller takes.
class OutputRow
{
public:
    enum class Dates { AsTDateTime, AsQt };

    OutputRow(const FirebirdApi &api, bool exactDecimals, Dates dates)
        : m_api(api), m_exactDecimals(exactDecimals), m_dates(dates), m_out(allocate(8))
    {}

    XSQLDA *descriptor() { return m_out.get(); }
    int count() const { return m_out->sqld; }
    const QVector<TDataSet::Column> &columns() const { return m_columns; }

    // After the prepare that filled the first descriptor: a larger one when the statement
    // has more columns, then a buffer for each.
    bool describe(isc_stmt_handle *stmt, ISC_STATUS *status)
    {
        if (m_out->sqld > m_out->sqln) {
            m_out.reset(allocate(m_out->sqld));
            if (m_api.describe(status, stmt, SQL_DIALECT_V6, m_out.get()))
                return false;
        }
        describeOutput();
        return true;
    }

    QVariant value(int i, isc_db_handle *db, isc_tr_handle *tr) const
    {
        return read(m_out->sqlvar[i], db, tr);
    }

private:
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

    QVariant read(const XSQLVAR &v, isc_db_handle *db, isc_tr_handle *tr) const
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
            const QDate date = FirebirdEpoch.addDays(days);
            if (m_dates == Dates::AsQt)
                return date;
            return QVariant::fromValue(TDateTime::fromDate(date));
        }
        case SQL_TIMESTAMP: {
            ISC_TIMESTAMP ts;
            std::memcpy(&ts, data, sizeof ts);
            const QDateTime moment(FirebirdEpoch.addDays(ts.timestamp_date),
                                   QTime::fromMSecsSinceStartOfDay(int(ts.timestamp_time / 10)));
            if (m_dates == Dates::AsQt)
                return moment;
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
            return blob(v, db, tr);
        default:
            return {};
        }
    }

    QVariant blob(const XSQLVAR &v, isc_db_handle *db, isc_tr_handle *tr) const
    {
        ISC_QUAD id;
        std::memcpy(&id, v.sqldata, sizeof id);
        ISC_STATUS_ARRAY status{};
        isc_blob_handle handle = 0;
        if (m_api.openBlob(status, db, tr, &handle, &id, 0, nullptr))
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
    bool m_exactDecimals;
    Dates m_dates;
    Descriptor m_out;
    QByteArray m_outBuffer;
    QVector<TDataSet::Column> m_columns;
};

// A statement prepared through the client library: its handle, its parameters as the engine
// described them, its kind and its output row.
class Prepared
{
public:
    Prepared(const FirebirdApi &api, bool exactDecimals, OutputRow::Dates dates)
        : m_api(api), m_out(api, exactDecimals, dates)
    {}
    ~Prepared()
    {
        if (m_stmt) {
            ISC_STATUS_ARRAY status{};
            m_api.freeStatement(status, &m_stmt, DSQL_drop);
        }
    }
    Prepared(const Prepared &) = delete;
    Prepared &operator=(const Prepared &) = delete;

    // On failure: false, the engine's message and its status (for the caller to classify).
    bool prepare(isc_db_handle *db, isc_tr_handle *tr, const QString &text, QString &error,
                 ISC_STATUS *status)
    {
        m_db = db;
        if (m_api.allocateStatement(status, db, &m_stmt))
            return fail(status, error);
        const QByteArray sql = ToPositional(text, m_placeholders).toUtf8();
        if (m_api.prepare(status, tr, &m_stmt, 0, sql.constData(), SQL_DIALECT_V6,
                          m_out.descriptor()) ||
            !m_out.describe(&m_stmt, status))
            return fail(status, error);
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
        return true;
    }

    const QStringList &placeholders() const { return m_placeholders; }
    // Anything but a plain SELECT: a statement that changes data, a SELECT ... WITH LOCK, an
    // EXECUTE PROCEDURE, an EXECUTE BLOCK without output.
    bool writes() const { return m_type != isc_info_sql_stmt_select; }

    // Binds the values in placeholder order and runs the statement.
    bool execute(isc_tr_handle *tr, const QVector<QVariant> &values, QString &error,
                 ISC_STATUS *status)
    {
        std::vector<QByteArray> storage(static_cast<size_t>(m_in->sqld));
        std::vector<ISC_SHORT> indicators(static_cast<size_t>(m_in->sqld), 0);
        for (int i = 0; i < m_in->sqld; ++i) {
            const QVariant value = values.value(i);
            const XSQLVAR &declared = m_declared[size_t(i)];
            if ((declared.sqltype & ~1) == SQL_BLOB && !value.isNull()) {
                if (!bindBlob(m_in->sqlvar[i], value, tr, storage[size_t(i)], indicators[size_t(i)],
                              status))
                    return fail(status, error);
                m_in->sqlvar[i].sqlsubtype = declared.sqlsubtype;
                continue;
            }
            FirebirdBind(m_in->sqlvar[i], value, storage[size_t(i)], indicators[size_t(i)],
                         &declared);
        }
        if (m_api.execute(status, tr, &m_stmt, SQL_DIALECT_V6, m_in->sqld ? m_in.get() : nullptr))
            return fail(status, error);
        return true;
    }

    // 0 for a row, 100 at the end, anything else a failure (in status).
    ISC_STATUS fetch(ISC_STATUS *status)
    {
        return m_api.fetch(status, &m_stmt, SQL_DIALECT_V6, m_out.descriptor());
    }

    void close()
    {
        ISC_STATUS_ARRAY closing{};
        m_api.freeStatement(closing, &m_stmt, DSQL_close);
    }

    const OutputRow &output() const { return m_out; }

private:
    bool fail(const ISC_STATUS *status, QString &error) const
    {
        error = m_api.message(status);
        return false;
    }

    // A value for a BLOB parameter ("CAST(:LIST AS BLOB SUB_TYPE TEXT)": a list longer than a
    // VARCHAR holds) goes into a blob of its own, written in segments; the parameter takes
    // its id.
    bool bindBlob(XSQLVAR &v, const QVariant &value, isc_tr_handle *tr, QByteArray &buffer,
                  ISC_SHORT &indicator, ISC_STATUS *status)
    {
        const QByteArray bytes = value.metaType().id() == QMetaType::QByteArray
                                     ? value.toByteArray()
                                     : value.toString().toUtf8();
        isc_blob_handle blob = 0;
        ISC_QUAD id{};
        if (m_api.createBlob(status, m_db, tr, &blob, &id, 0, nullptr))
            return false;
        for (qsizetype at = 0; at < bytes.size();) {
            const auto length =
                static_cast<unsigned short>(qMin<qsizetype>(bytes.size() - at, 32767));
            if (m_api.putSegment(status, &blob, length, bytes.constData() + at)) {
                ISC_STATUS_ARRAY closing{};
                m_api.closeBlob(closing, &blob);
                return false;
            }
            at += length;
        }
        if (m_api.closeBlob(status, &blob))
            return false;
        buffer = QByteArray(reinterpret_cast<const char *>(&id), sizeof id);
        v.sqltype = static_cast<ISC_SHORT>(SQL_BLOB | 1);
        v.sqllen = sizeof id;
        v.sqlscale = 0;
        v.sqldata = buffer.data();
        indicator = 0;
        v.sqlind = &indicator;
        return true;
    }

    const FirebirdApi &m_api;
    isc_db_handle *m_db = nullptr;
    isc_stmt_handle m_stmt = 0;
    OutputRow m_out;
    Descriptor m_in;
    std::vector<XSQLVAR> m_declared;
    QStringList m_placeholders;
    int m_type = 0;
};

class FirebirdStatement : public Statement
{
public:
    FirebirdStatement(const FirebirdApi &api, FirebirdSession &session, bool exactDecimals)
        : m_session(session), m_prepared(api, exactDecimals, OutputRow::Dates::AsTDateTime)
    {}

    bool prepare(const QString &text, QString &error)
    {
        isc_tr_handle *tr = m_session.transaction(error);
        if (!tr)
            return false;
        ISC_STATUS_ARRAY status{};
        if (!m_prepared.prepare(m_session.database(), tr, text, error, status))
            return false;
        m_placeholders = m_prepared.placeholders();
        return true;
    }

    bool Writes() const override { return m_prepared.writes(); }

    bool Start(const QVector<QVariant> &values, QVector<TDataSet::Column> &columns,
               QString &error) override
    {
        m_tr = m_session.transaction(error);
        if (!m_tr)
            return false;
        ISC_STATUS_ARRAY status{};
        if (!m_prepared.execute(m_tr, values, error, status))
            return false;
        columns = m_prepared.output().columns();
        m_open = true;
        return true;
    }

    bool Fetch(int maxRows, QVector<QVector<QVariant>> &rows, bool &done, QString &error) override
    {
        done = false;
        if (!m_open) {
            done = true;
            return true;
        }
        const OutputRow &out = m_prepared.output();
        const int count = out.count();
        ISC_STATUS_ARRAY status{};
        ISC_STATUS fetched = 0;
        for (int n = 0; maxRows <= 0 || n < maxRows; ++n) {
            fetched = m_prepared.fetch(status);
            if (fetched != 0)
                break;
            QVector<QVariant> row(count);
            for (int i = 0; i < count; ++i)
                row[i] = out.value(i, m_session.database(), m_tr);
            rows << std::move(row);
        }
        if (fetched == 0)
            return true;
        done = true;
        const bool failed = fetched != 100;
        if (failed)
            error = FirebirdApi::get().message(status);
        Finish();
        return !failed;
    }

    void Finish() override
    {
        if (m_open)
            m_prepared.close();
        m_open = false;
    }

private:
    FirebirdSession &m_session;
    Prepared m_prepared;
    isc_tr_handle *m_tr = nullptr;
    bool m_open = false;
};

// Whether the engine stopped a write: the read-only transaction refuses any change.
bool refusedWrite(const ISC_STATUS *status)
{
    for (int i = 0; status[i] != isc_arg_end;) {
        if (status[i] == isc_arg_gds && status[i + 1] == isc_read_only_trans)
            return true;
        i += status[i] == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

[[noreturn]] void raise(const ISC_STATUS *status, const QString &error)
{
    if (refusedWrite(status))
        throw EWriteRefused(error);
    throw EDatabaseError(error);
}

// A report's read: a read-only snapshot of its own, ended (nothing to keep) when it goes.
class FirebirdCursor : public StreamingRead::Cursor
{
public:
    FirebirdCursor(const FirebirdApi &api, isc_db_handle db)
        : m_api(api), m_db(db), m_prepared(api, false, OutputRow::Dates::AsQt)
    {}
    ~FirebirdCursor() override
    {
        if (m_tr) {
            m_prepared.close();
            ISC_STATUS_ARRAY status{};
            m_api.rollbackTransaction(status, &m_tr);
        }
    }

    void open(const QString &text, const std::function<QVariant(const QString &name)> &valueOf)
    {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_concurrency,
                                   isc_tpb_nowait};
        ISC_STATUS_ARRAY status{};
        QString error;
        if (m_api.startTransaction(status, &m_tr, 1, &m_db, int(sizeof tpb), tpb)) {
            m_tr = 0;
            throw EDatabaseError(m_api.message(status));
        }
        if (!m_prepared.prepare(&m_db, &m_tr, text, error, status))
            raise(status, error);
        if (m_prepared.writes())
            throw EWriteRefused(QStringLiteral("o Firebird diz que o comando não é um SELECT."));
        QVector<QVariant> values;
        for (const QString &name : m_prepared.placeholders())
            values << valueOf(name);
        if (!m_prepared.execute(&m_tr, values, error, status))
            raise(status, error);
        for (const TDataSet::Column &column : m_prepared.output().columns())
            m_names << column.name;
        m_row.resize(m_prepared.output().count());
    }

    QStringList fieldNames() const override { return m_names; }

    bool next() override
    {
        if (m_done)
            return false;
        ISC_STATUS_ARRAY status{};
        const ISC_STATUS fetched = m_prepared.fetch(status);
        if (fetched == 100) {
            m_done = true;
            return false;
        }
        if (fetched != 0) {
            m_done = true;
            raise(status, m_api.message(status));
        }
        const OutputRow &out = m_prepared.output();
        for (int i = 0; i < m_row.size(); ++i)
            m_row[i] = out.value(i, &m_db, &m_tr);
        return true;
    }

    QVariant value(int column) const override { return m_row.value(column); }

private:
    const FirebirdApi &m_api;
    isc_db_handle m_db;
    isc_tr_handle m_tr = 0;
    Prepared m_prepared;
    QStringList m_names;
    QVector<QVariant> m_row;
    bool m_done = false;
};

} // namespace

std::unique_ptr<Statement> PrepareOnFirebird(DBConnection &connection, const QString &text,
                                             bool exactDecimals, QString &error)
{
    const FirebirdApi &api = FirebirdApi::get();
    auto *session = dynamic_cast<FirebirdSession *>(connection.Session());
    if (!session) {
        const std::optional<isc_db_handle> attachment = FirebirdAttachment(connection.Database());
        if (!attachment) {
            error = QStringLiteral("a conexão não é do Firebird");
            return nullptr;
        }
        auto made = std::make_unique<FirebirdSession>(api, *attachment);
        session = made.get();
        connection.SetSession(std::move(made));
    }
    auto statement = std::make_unique<FirebirdStatement>(api, *session, exactDecimals);
    if (!statement->prepare(text, error))
        return nullptr;
    return statement;
}

} // namespace Velmora::Internal

namespace Velmora::Internal {

std::unique_ptr<StreamingRead::Cursor>
OpenFirebirdRead(const QSqlDatabase &db, const QString &text,
                 const std::function<QVariant(const QString &name)> &valueOf)
{
    const FirebirdApi &api = FirebirdApi::get();
    const std::optional<isc_db_handle> attachment = FirebirdAttachment(db);
    if (!attachment)
        throw EDatabaseError(QStringLiteral("a conexão não é do Firebird"));
    auto cursor = std::make_unique<FirebirdCursor>(api, *attachment);
    cursor->open(text, valueOf);
    return cursor;
}

} // namespace Velmora::Internal
