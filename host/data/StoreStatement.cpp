#include "StoreStatement.h"

#include "DBConnection.h"
#include "EngineTimestamp.h"
#include "rtl/Exceptions.h"

#include <QSqlError>

namespace Velmora {

namespace {

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
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

bool StoreTables::presentIn(DBConnection &db) const
{
    const QStringList tables = db.Database().tables(QSql::Tables);
    for (const QString &name : names)
        if (!tables.contains(name, Qt::CaseInsensitive))
            return false;
    return true;
}

QString StoreTables::missingIn(const DBConnection &db) const
{
    return missing.arg(db.Settings().describe());
}

StoreStatement::StoreStatement(DBConnection &db, const StoreTables &tables, const QString &what)
    : m_db(db), m_tables(tables), m_what(what), m_query(db.Database())
{
    m_query.setForwardOnly(true);
}

bool StoreStatement::execute(const QString &sql, const QVariantList &values)
{
    if (!m_query.prepare(sql))
        fail();
    for (const QVariant &v : values)
        m_query.addBindValue(v.metaType() == QMetaType::fromType<QDateTime>()
                                 ? TimestampToEngine(v.toDateTime(), m_db.engine())
                                 : ToEngineValue(v, m_db.engine()));
    return m_query.exec();
}

QSqlQuery &StoreStatement::run(const QString &sql, const QVariantList &values)
{
    if (!execute(sql, values))
        fail();
    return m_query;
}

bool StoreStatement::runUnlessConflict(const QString &sql, const QVariantList &values)
{
    if (execute(sql, values))
        return true;
    if (isConflict(m_query.lastError())) {
        m_query.clear();
        return false;
    }
    fail();
}

void StoreStatement::fail()
{
    const QString detail = errorText(m_query.lastError());
    m_query.clear();
    // A failed PostgreSQL transaction answers nothing more, not even about its catalogue:
    // whoever rolls it back asks.
    const bool canAsk = !(m_db.InTransaction() && m_db.engine() == Engine::PostgreSQL);
    if (canAsk && !m_tables.presentIn(m_db))
        throw EDatabaseError(m_tables.missingIn(m_db));
    throw EDatabaseError(QStringLiteral("Não foi possível %1 no banco de dados %2: %3")
                             .arg(m_what, m_db.Settings().describe(), detail));
}

} // namespace Velmora
