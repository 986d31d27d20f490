#include "EngineTimestamp.h"

namespace Velmora {

namespace {
QString textForm()
{
    return QStringLiteral("yyyy-MM-dd HH:mm:ss");
}
} // namespace

QVariant TimestampToEngine(const QDateTime &moment, Engine engine)
{
    if (!moment.isValid())
        return QVariant(QMetaType::fromType<QString>());
    if (engine != Engine::Firebird)
        return moment.toString(textForm());
    return moment.addMSecs(-moment.time().msec());
}

QString TimestampColumn(const QString &column)
{
    // PostgreSQL and Firebird write the text as SQLite keeps it, Firebird with a fraction.
    return QStringLiteral("CAST(%1 AS VARCHAR(24))").arg(column);
}

QDateTime TimestampFromEngine(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.metaType() == QMetaType::fromType<QDateTime>())
        return value.toDateTime();
    return QDateTime::fromString(value.toString().left(19), textForm());
}

} // namespace Velmora
