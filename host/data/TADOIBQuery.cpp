#include "TADOIBQuery.h"

#include "BackgroundFetch_p.h"
#include "DBConnection.h"
#include "Statement_p.h"
#include "StreamingRead.h"
#include "dtmDBGeral.h"
#include "rtl/Exceptions.h"

#include <QRegularExpression>

using Velmora::DatabaseKind;
using Velmora::DBConnection;
using Velmora::Engine;

TADOIBQuery::TADOIBQuery(QObject *parent) : TDataSet(parent) {}

TADOIBQuery::~TADOIBQuery()
{
    releaseStatement();
}

void TADOIBQuery::SetSQL(const QStringList &lines)
{
    m_sql = lines;
    textsChanged();
}

void TADOIBQuery::SetSQL_ORACLE(const QStringList &lines)
{
    m_sqlOracle = lines;
    textsChanged();
}

void TADOIBQuery::SetSQL_MSSQL(const QStringList &lines)
{
    m_sqlMssql = lines;
    textsChanged();
}

void TADOIBQuery::SetSQL_IB(const QStringList &lines)
{
    m_sqlIb = lines;
    textsChanged();
}

bool TADOIBQuery::OpenWith(std::initializer_list<ParamValue> values)
{
    Close();
    for (const ParamValue &v : values) {
        TParam *param = ParamByName(QLatin1String(v.name));
        if (!v.value.isValid())
            param->Clear();
        else if (v.value.metaType().id() == QMetaType::QString && v.value.toString().isNull())
            param->SetAsVariant(QString::fromLatin1(""));
        else
            param->SetAsVariant(v.value);
    }
    Open();
    return !IsEmpty();
}

void TADOIBQuery::SetParamNames(const QStringList &names)
{
    m_declaredParams = names;
    for (const QString &name : names)
        if (!m_params.FindParam(name))
            m_params.Add(name);
    textsChanged();
}

void TADOIBQuery::SetParamCheck(bool check)
{
    m_paramCheck = check;
    textsChanged();
}

QStringList TADOIBQuery::TextFor(DatabaseKind kind) const
{
    const QStringList *own = nullptr;
    switch (kind) {
    case DatabaseKind::Oracle:
        own = &m_sqlOracle;
        break;
    case DatabaseKind::MSSQL:
        own = &m_sqlMssql;
        break;
    case DatabaseKind::InterBase:
        own = &m_sqlIb;
        break;
    case DatabaseKind::Generic:
        break;
    }
    return own && !own->join(QString()).trimmed().isEmpty() ? *own : m_sql;
}

void TADOIBQuery::textsChanged()
{
    if (Active())
        Close();
    releaseStatement();
    m_plan = Plan();
    if (!m_paramCheck)
        return;
    QStringList wanted = m_declaredParams;
    for (const QStringList *text : {&m_sql, &m_sqlOracle, &m_sqlMssql, &m_sqlIb})
        for (const QString &name : ParameterNames(text->join(QLatin1Char('\n'))))
            if (!wanted.contains(name, Qt::CaseInsensitive))
                wanted << name;
    TParams kept;
    for (const QString &name : std::as_const(wanted)) {
        TParam *p = kept.Add(name);
        if (const TParam *old = m_params.FindParam(name))
            p->SetAsVariant(old->Value());
    }
    m_params = kept;
}

TDataSource *TADOIBQuery::DataSource() const
{
    return m_dataSource;
}

void TADOIBQuery::SetDataSource(TDataSource *source)
{
    m_dataSource = source;
}

void TADOIBQuery::SetConnection(DBConnection *connection)
{
    if (m_connection == connection)
        return;
    if (Active())
        Close();
    releaseStatement();
    m_connection = connection;
}

DBConnection *TADOIBQuery::Connection() const
{
    if (m_connection)
        return m_connection;
    return TdtmDBGeral::Resolve(m_adoConnection.isEmpty() ? m_dataBase : m_adoConnection,
                                m_transaction);
}

void TADOIBQuery::watch(DBConnection *connection)
{
    if (m_watched == connection)
        return;
    if (m_watched)
        disconnect(m_watched, nullptr, this, nullptr);
    m_watched = connection;
    connect(connection, &DBConnection::AboutToClose, this, &TADOIBQuery::releaseStatement);
}

void TADOIBQuery::releaseStatement()
{
    m_statement.reset();
    m_statementConnection = nullptr;
    m_statementText.clear();
}

const TADOIBQuery::Plan &TADOIBQuery::planFor(DatabaseKind kind)
{
    if (m_plan.ready && m_plan.kind == kind)
        return m_plan;
    Plan plan;
    plan.kind = kind;
    plan.text = TextFor(kind).join(QLatin1Char('\n'));
    if (plan.text.trimmed().isEmpty())
        plan.refusal = QStringLiteral("A consulta '%1' não tem texto para esse banco de dados.")
                           .arg(objectName());
    else if (!Velmora::IsReadOnlyText(plan.text))
        plan.refusal =
            QStringLiteral("A consulta '%1' é somente leitura: o texto deve ser um SELECT.")
                .arg(objectName());
    plan.parameters = ParameterNames(plan.text);
    plan.ready = true;
    m_plan = plan;
    return m_plan;
}

void TADOIBQuery::DoOpen()
{
    DBConnection *connection = Connection();
    const Plan &plan = planFor(connection->Kind());
    if (!plan.refusal.isEmpty())
        throw EDatabaseError(plan.refusal);
    // Every parameter the text names must exist before anything reaches the database.
    for (const QString &name : plan.parameters)
        m_params.ParamByName(name);

    connection->Open();
    watch(connection);
    QVector<TDataSet::Column> columns;
    QVector<QVector<QVariant>> rows;
    std::unique_ptr<RowSource> rest;
    QString error;
    if (!run(connection, columns, rows, rest, error)) {
        // A statement that fails on a live connection is the text's fault; on a dead one the
        // database went away: connect again once and retry. Never inside a transaction, which
        // a new connection would silently lose.
        if (connection->InTransaction() || connection->Alive())
            throw EDatabaseError(error);
        try {
            connection->Reconnect();
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(
                QStringLiteral("A conexão com o banco de dados foi perdida e não pôde ser "
                               "restabelecida ao abrir a consulta '%1'. %2")
                    .arg(objectName(), e.Message()));
        }
        if (!run(connection, columns, rows, rest, error))
            throw EDatabaseError(error);
    }
    SetData(std::move(columns), std::move(rows), std::move(rest));
}

namespace {

bool inMemory(const Velmora::ConnectionSettings &settings)
{
    const QString &file = settings.database;
    return file.isEmpty() || file == QLatin1String(":memory:") ||
           file.contains(QLatin1String("mode=memory")) ||
           file.startsWith(QLatin1String("file::memory:"));
}

// A text to read from as a derived table.
QString derived(QString text)
{
    while (!text.isEmpty() && (text.back().isSpace() || text.back() == QLatin1Char(';')))
        text.chop(1);
    return QStringLiteral("(\n%1\n)").arg(text);
}

// PostgreSQL streams a forward-only answer row by row, and leaving it early still reads
// every row to its end: the first packet is asked for as such.
QString firstPacketText(const QString &text, int rows)
{
    return QStringLiteral("SELECT * FROM %1 AS primeiro_pacote LIMIT %2")
        .arg(derived(text))
        .arg(rows);
}

bool plainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch();
}

constexpr int KeysPerLookup = 100;
const QString KeyMark = QStringLiteral("CHAVE_PROCURADA_");

// A searched text as a value of its own width: a text wider than the column would not bind
// on Firebird, which gives a parameter the width of what it is compared with.
QString searched(qsizetype index)
{
    return QStringLiteral("CAST(:%1%2 AS VARCHAR(1000))").arg(KeyMark).arg(index);
}

} // namespace

// A second reader needs its own way to the same data: not inside a transaction (it would
// miss what the transaction changed), nor on a database that lives in this connection only.
bool TADOIBQuery::inPackets(const DBConnection *connection) const
{
    const Engine engine = connection->engine();
    return m_packetRecords > 0 && m_maxRecords <= 0 && !connection->InTransaction() &&
           (engine == Engine::SQLite || engine == Engine::PostgreSQL ||
            engine == Engine::Firebird) &&
           !(engine == Engine::SQLite && inMemory(connection->Settings()));
}

std::unique_ptr<TDataSet::RowSource>
TADOIBQuery::readRest(DBConnection *connection, const QVector<QVariant> &values, int skip) const
{
    Velmora::Internal::BackgroundRead read;
    read.name = objectName();
    read.settings = connection->Settings();
    read.text = m_plan.text;
    read.exactDecimals = m_enableBCD;
    read.values = values;
    read.skip = skip;
    read.readHere = [here = QPointer<DBConnection>(connection), text = m_plan.text, values, skip,
                     exact = m_enableBCD,
                     name = objectName()](QVector<QVector<QVariant>> &rows, QString &error) {
        if (!here)
            return false;
        std::unique_ptr<Velmora::Internal::Statement> statement =
            Velmora::Internal::Prepare(*here, text, exact, error);
        QVector<TDataSet::Column> columns;
        QVector<QVector<QVariant>> all;
        if (!statement || !statement->Execute(values, 0, columns, all, error)) {
            error = QStringLiteral("Erro ao ler o restante da consulta '%1' no banco de dados "
                                   "%2: %3")
                        .arg(name, here->Settings().describe(), error);
            return false;
        }
        rows = all.mid(skip);
        return true;
    };
    return Velmora::Internal::ReadInBackground(std::move(read));
}

bool TADOIBQuery::run(DBConnection *connection, QVector<TDataSet::Column> &columns,
                      QVector<QVector<QVariant>> &rows, std::unique_ptr<RowSource> &rest,
                      QString &error)
{
    const Engine engine = connection->engine();
    const bool packets = inPackets(connection);
    const QString text = packets && engine == Engine::PostgreSQL
                             ? firstPacketText(m_plan.text, m_packetRecords + 1)
                             : m_plan.text;
    const auto failed = [&](const QString &why) {
        error = QStringLiteral("Erro ao abrir a consulta '%1' no banco de dados %2: %3")
                    .arg(objectName(), connection->Settings().describe(), why);
        releaseStatement();
        return false;
    };
    const bool fresh = m_statement && m_statementConnection == connection &&
                       m_statementGeneration == connection->Generation() && m_statementText == text;
    if (!fresh) {
        releaseStatement();
        QString why;
        std::unique_ptr<Velmora::Internal::Statement> statement =
            Velmora::Internal::Prepare(*connection, text, m_enableBCD, why);
        if (!statement)
            return failed(why);
        if (statement->Writes())
            throw EDatabaseError(
                QStringLiteral(
                    "A consulta '%1' é somente leitura: o texto altera o banco de dados.")
                    .arg(objectName()));
        m_statement = std::move(statement);
        m_statementConnection = connection;
        m_statementGeneration = connection->Generation();
        m_statementText = text;
    }

    const QStringList &names = m_statement->Placeholders();
    QVector<QVariant> values(names.size());
    m_boundValues.clear();
    for (qsizetype i = 0; i < names.size(); ++i) {
        values[i] = Velmora::ToEngineValue(m_params.ParamByName(names.at(i))->Value(), engine);
        m_boundValues.insert(names.at(i).toUpper(), values.at(i));
    }
    QString why;
    if (!packets) {
        if (!m_statement->Execute(values, m_maxRecords, columns, rows, why))
            return failed(why);
        return true;
    }
    // One row past the packet tells whether there is more.
    rows.clear();
    bool done = false;
    if (!m_statement->Start(values, columns, why) ||
        !m_statement->Fetch(m_packetRecords + 1, rows, done, why))
        return failed(why);
    if (!done)
        m_statement->Finish();
    if (rows.size() > m_packetRecords)
        rest = readRest(connection, values, static_cast<int>(rows.size()));
    return true;
}

// The answer can be asked as a derived table while its rows are still coming, by a plain
// text column.
bool TADOIBQuery::canAsk(const TField *field) const
{
    return !FetchComplete() && m_statementConnection && plainName(field->FieldName()) &&
           field->DataKind() == TField::Kind::String;
}

bool TADOIBQuery::readFromAnswer(const QString &text, const QStringList &own,
                                 QVector<QVector<QVariant>> &rows) const
{
    QString error;
    std::unique_ptr<Velmora::Internal::Statement> statement =
        Velmora::Internal::Prepare(*m_statementConnection, text, m_enableBCD, error);
    if (!statement)
        return false;
    QVector<QVariant> values;
    for (const QString &name : statement->Placeholders()) {
        const QString upper = name.toUpper();
        if (upper.startsWith(KeyMark))
            values << QVariant(own.value(upper.mid(KeyMark.size()).toInt()));
        else
            values << m_boundValues.value(upper);
    }
    QVector<TDataSet::Column> columns;
    return statement->Execute(values, 0, columns, rows, error);
}

QSet<QString> TADOIBQuery::KeysInResult(const QString &fieldName, const QStringList &keys) const
{
    const TField *field = FieldByName(fieldName);
    if (!canAsk(field))
        return TDataSet::KeysInResult(fieldName, keys);
    QSet<QString> found;
    for (qsizetype from = 0; from < keys.size(); from += KeysPerLookup) {
        const QStringList chunk = keys.mid(from, KeysPerLookup);
        QStringList marks;
        for (qsizetype k = 0; k < chunk.size(); ++k)
            marks << searched(k);
        const QString text =
            QStringLiteral("SELECT chaves.%1 FROM %2 chaves WHERE chaves.%1 IN (%3)")
                .arg(field->FieldName(), derived(m_plan.text), marks.join(QLatin1Char(',')));
        QVector<QVector<QVariant>> rows;
        if (!readFromAnswer(text, chunk, rows))
            return TDataSet::KeysInResult(fieldName, keys);
        for (const QVector<QVariant> &row : std::as_const(rows))
            found.insert(ValueText(row.value(0), TField::Kind::String));
    }
    return found;
}

namespace {
// A few rows of an answer, held apart from it.
class AnswerRows : public TDataSet
{
public:
    AnswerRows(QVector<TDataSet::Column> columns, QVector<QVector<QVariant>> rows)
    {
        SetData(std::move(columns), std::move(rows));
    }
};
} // namespace

std::unique_ptr<TDataSet> TADOIBQuery::RowsStartingWith(const QString &fieldName,
                                                        const QString &text, int count) const
{
    const TField *field = FieldByName(fieldName);
    if (!canAsk(field) || count <= 0)
        return TDataSet::RowsStartingWith(fieldName, text, count);
    // Bounded on both sides, so the engine reads only the rows that start with the prefix
    // (Firebird gathers every row a one-sided range names before it gives the first).
    QString past = text;
    if (past.isEmpty() || past.back().unicode() == 0xFFFF)
        return nullptr;
    past.back() = QChar(char16_t(past.back().unicode() + 1));
    const bool firebird = m_statementConnection->engine() == Engine::Firebird;
    const QString sql =
        QStringLiteral("SELECT %1* FROM %2 janela WHERE janela.%3 >= %4 AND janela.%3 < %5 "
                       "ORDER BY janela.%3%6")
            .arg(firebird ? QStringLiteral("FIRST %1 ").arg(count) : QString(),
                 derived(m_plan.text), field->FieldName(), searched(0), searched(1),
                 firebird ? QString() : QStringLiteral(" LIMIT %1").arg(count));
    QVector<QVector<QVariant>> rows;
    if (!readFromAnswer(sql, {text, past}, rows))
        return nullptr;
    return std::make_unique<AnswerRows>(Columns(), std::move(rows));
}
