#include "TADOIBQuery.h"

#include "DBConnection.h"
#include "Statement_p.h"
#include "StreamingRead.h"
#include "dtmDBGeral.h"
#include "rtl/Exceptions.h"

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
    QString error;
    if (!run(connection, columns, rows, error)) {
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
        if (!run(connection, columns, rows, error))
            throw EDatabaseError(error);
    }
    SetData(std::move(columns), std::move(rows));
}

bool TADOIBQuery::run(DBConnection *connection, QVector<TDataSet::Column> &columns,
                      QVector<QVector<QVariant>> &rows, QString &error)
{
    const Engine engine = connection->engine();
    const QString &text = m_plan.text;
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
    for (qsizetype i = 0; i < names.size(); ++i)
        values[i] = Velmora::ToEngineValue(m_params.ParamByName(names.at(i))->Value(), engine);
    QString why;
    if (!m_statement->Execute(values, m_maxRecords, columns, rows, why))
        return failed(why);
    return true;
}
