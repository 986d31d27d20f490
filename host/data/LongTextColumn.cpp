#include "LongTextColumn.h"

#include <QJsonDocument>

namespace Velmora {

QString LongTextOfColumn(const QVariant &stored)
{
    return stored.metaType() == QMetaType::fromType<QByteArray>()
               ? QString::fromUtf8(stored.toByteArray())
               : stored.toString();
}

std::optional<QJsonObject> JsonObjectOfColumn(const QVariant &stored)
{
    if (stored.isNull())
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(LongTextOfColumn(stored).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace Velmora
