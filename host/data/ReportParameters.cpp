#include "ReportParameters.h"

#include "LongTextColumn.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace Velmora {

QString ReportParametersJson(const QVariantMap &params)
{
    QJsonObject o;
    for (auto it = params.begin(); it != params.end(); ++it) {
        const QVariant &v = it.value();
        if (!v.isValid())
            o.insert(it.key(), QJsonValue::Null);
        else if (v.metaType() == QMetaType::fromType<QString>())
            o.insert(it.key(), v.toString());
        else if (v.metaType() == QMetaType::fromType<QDate>() && v.toDate().isValid())
            // A date is an object of its own: a text that reads like a date stays a text.
            o.insert(it.key(),
                     QJsonObject{{QStringLiteral("data"), v.toDate().toString(Qt::ISODate)}});
        else
            throw Exception(QStringLiteral("O parâmetro %1 tem um valor do tipo %2, que a fila "
                                           "de relatórios não guarda: só textos, datas e nulos.")
                                .arg(it.key(), QString::fromLatin1(v.typeName())));
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<QVariantMap> ReportParametersOfJson(const QVariant &column)
{
    const std::optional<QJsonObject> stored = JsonObjectOfColumn(column);
    if (!stored)
        return std::nullopt;
    static const QRegularExpression dateShape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    QVariantMap params;
    const QJsonObject o = *stored;
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.value().isNull()) {
            params.insert(it.key(), QVariant());
            continue;
        }
        if (it.value().isString()) {
            params.insert(it.key(), it.value().toString());
            continue;
        }
        const QString text = it.value().toObject().value(QLatin1String("data")).toString();
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!it.value().isObject() || !dateShape.match(text).hasMatch() || !date.isValid())
            return std::nullopt;
        params.insert(it.key(), date);
    }
    return params;
}

} // namespace Velmora
