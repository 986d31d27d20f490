#include "JobStatement.h"

#include "data/DBConnection.h"
#include "data/EngineTimestamp.h"
#include "rtl/Exceptions.h"

#include <QSqlError>

namespace AppServer::Jobs {

namespace {

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

bool tablesExist(Velmora::DBConnection &db)
{
    const QStringList tables = db.Database().tables(QSql::Tables);
    return tables.contains(QStringLiteral("RELATJOB"), Qt::CaseInsensitive) &&
           tables.contains(QStringLiteral("RELATAGENDA"), Qt::CaseInsensitive);
}

bool isConflict(const QSqlError &error)
{
    const QString text = error.databaseText();
    return text.contains(QLatin1String("update conflicts with concurrent update"),
                         Qt::CaseInsensitive) ||
           text.contains(QLatin1String("deadlock"), Qt::CaseInsensitive) ||
           error.nativeErrorCode() == QLatin1String("-913") ||
           error.nativeErrorCode() == QLatin1String("40P01");
}

} // namespace

JobStatement::JobStatement(Velmora::DBConnection &db, const QString &what)
    : m_db(db), m_what(what), m_query(db.Database())
{
    m_query.setForwardOnly(true);
}

bool JobStatement::execute(const QString &sql, const QVariantList &values)
{
    if (!m_query.prepare(sql))
        fail();
    for (const QVariant &v : values)
        m_query.addBindValue(v.metaType() == QMetaType::fromType<QDateTime>()
                                 ? Velmora::TimestampToEngine(v.toDateTime(), m_db.engine())
                                 : Velmora::ToEngineValue(v, m_db.engine()));
    return m_query.exec();
}

QSqlQuery &JobStatement::run(const QString &sql, const QVariantList &values)
{
    if (!execute(sql, values))
        fail();
    return m_query;
}

bool JobStatement::runUnlessConflict(const QString &sql, const QVariantList &values)
{
    if (execute(sql, values))
        return true;
    if (isConflict(m_query.lastError())) {
        m_query.clear();
        return false;
    }
    fail();
}

void JobStatement::fail()
{
    const QString detail = errorText(m_query.lastError());
    m_query.clear();
    // A failed PostgreSQL transaction answers nothing more, not even about its catalogue.
    const bool canAsk = !(m_db.InTransaction() && m_db.engine() == Velmora::Engine::PostgreSQL);
    if (canAsk && !tablesExist(m_db))
        throw EDatabaseError(QStringLiteral("As tabelas da fila de relatórios (RELATJOB, "
                                            "RELATAGENDA) não existem no banco de dados %1: "
                                            "execute velmora-db upgrade.")
                                 .arg(m_db.Settings().describe()));
    throw EDatabaseError(QStringLiteral("Não foi possível %1 no banco de dados %2: %3")
                             .arg(m_what, m_db.Settings().describe(), detail));
}

} // namespace AppServer::Jobs
