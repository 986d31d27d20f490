#include "TADOIBQuery.h"

#include "DBConnection.h"
#include "Placeholders_p.h"
#include "ResultReader_p.h"
#include "dtmDBGeral.h"
#include "rtl/Exceptions.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>

#include <sqlite3.h>

using Velmora::DatabaseKind;
using Velmora::DBConnection;
using Velmora::Engine;

namespace {

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text.isEmpty() ? QStringLiteral("erro desconhecido") : text;
}

// The first word of the statement, past blanks, comments and opening parentheses.
QString firstWord(const QString &sql)
{
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace() || c == QLatin1Char('(')) {
            ++i;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    qsizetype end = i;
    while (end < n && sql.at(end).isLetter())
        ++end;
    return sql.mid(i, end - i).toUpper();
}

// Words of statements that change data or definitions, outside quotes and comments: a
// read-only query refuses a text that holds one (PostgreSQL would run a DELETE inside WITH).
bool mentionsWrite(const QString &sql)
{
    static const QStringList writes{"INSERT", "UPDATE", "DELETE", "MERGE", "TRUNCATE", "ALTER",
                                    "CREATE", "DROP", "GRANT", "REVOKE", "EXECUTE", "CALL"};
    QChar quote;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            ++i;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = i;
            while (end < n && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            const bool parameter = i > 0 && sql.at(i - 1) == QLatin1Char(':');
            if (!parameter && writes.contains(sql.mid(i, end - i).toUpper()))
                return true;
            i = end;
        } else {
            ++i;
        }
    }
    return false;
}

// SQLite knows whether a prepared statement writes; the others are held to the first word.
bool sqliteStatementWrites(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return false;
    auto *stmt = *static_cast<sqlite3_stmt *const *>(handle.constData());
    return stmt && !sqlite3_stmt_readonly(stmt);
}

} // namespace

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
    m_placeholders.clear();
}

void TADOIBQuery::DoOpen()
{
    DBConnection *connection = Connection();
    const QString text = TextFor(connection->Kind()).join(QLatin1Char('\n'));
    if (text.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("A consulta '%1' não tem texto para o banco de dados %2.")
                                 .arg(objectName(), EngineName(connection->engine())));
    const QString verb = firstWord(text);
    if ((verb != QLatin1String("SELECT") && verb != QLatin1String("WITH")) || mentionsWrite(text))
        throw EDatabaseError(
            QStringLiteral("A consulta '%1' é somente leitura: o texto deve ser um SELECT.")
                .arg(objectName()));
    // Every parameter the text names must exist before anything reaches the database.
    for (const QString &name : ParameterNames(text))
        m_params.ParamByName(name);

    connection->Open();
    watch(connection);
    QVector<TDataSet::Column> columns;
    QVector<QVector<QVariant>> rows;
    QString error;
    if (!run(connection, text, columns, rows, error)) {
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
        if (!run(connection, text, columns, rows, error))
            throw EDatabaseError(error);
    }
    SetData(std::move(columns), std::move(rows));
}

bool TADOIBQuery::run(DBConnection *connection, const QString &text,
                      QVector<TDataSet::Column> &columns, QVector<QVector<QVariant>> &rows,
                      QString &error)
{
    const Engine engine = connection->engine();
    const QString failure = QStringLiteral("Erro ao abrir a consulta '%1' no banco de dados %2: %3");
    const bool fresh = m_statement && m_statementConnection == connection &&
                       m_statementGeneration == connection->Generation() &&
                       m_statementText == text;
    if (!fresh) {
        releaseStatement();
        auto statement = std::make_unique<QSqlQuery>(connection->Database());
        statement->setForwardOnly(true);
        statement->setNumericalPrecisionPolicy(m_enableBCD ? QSql::HighPrecision
                                                           : QSql::LowPrecisionDouble);
        if (!statement->prepare(text)) {
            error = failure.arg(objectName(), connection->Settings().describe(),
                                errorText(statement->lastError()));
            return false;
        }
        if (engine == Engine::SQLite && sqliteStatementWrites(*statement))
            throw EDatabaseError(
                QStringLiteral("A consulta '%1' é somente leitura: o texto altera o banco de dados.")
                    .arg(objectName()));
        m_statement = std::move(statement);
        m_statementConnection = connection;
        m_statementGeneration = connection->Generation();
        m_statementText = text;
        m_placeholders = Velmora::Internal::PlaceholderSpellings(text);
    }

    for (const QString &spelling : std::as_const(m_placeholders))
        m_statement->bindValue(QLatin1Char(':') + spelling,
                               Velmora::ToEngineValue(m_params.ParamByName(spelling)->Value(),
                                                      engine));
    const bool ok = m_statement->exec();
    if (ok)
        Velmora::Internal::ReadResult(*m_statement, engine, m_maxRecords, columns, rows);
    else
        error = failure.arg(objectName(), connection->Settings().describe(),
                            errorText(m_statement->lastError()));
    // A prepared statement of the InterBase driver holds its own snapshot transaction open
    // until it is dropped: kept, it would keep showing the data of its first run.
    if (!ok || engine == Engine::Firebird)
        releaseStatement();
    return ok;
}
