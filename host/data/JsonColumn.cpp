#include "JsonColumn.h"

#include <QJsonDocument>

namespace Velmora {

std::optional<QJsonObject> JsonObjectOfColumn(const QVariant &stored)
{
    if (stored.isNull())
        return std::nullopt;
    const QByteArray bytes = stored.metaType() == QMetaType::fromType<QByteArray>()
                                 ? stored.toByteArray()
                                 : stored.toString().toUtf8();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace Velmora
