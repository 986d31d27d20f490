#include "JobFields.h"

#include "data/LongTextColumn.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace AppServer::Jobs {

namespace {

constexpr std::pair<ReportJob::State, char> letters[] = {
    {ReportJob::State::Queued, 'F'},    {ReportJob::State::Running, 'G'},
    {ReportJob::State::Done, 'P'},      {ReportJob::State::Failed, 'E'},
    {ReportJob::State::Cancelled, 'C'},
};

} // namespace

QString stateLetter(ReportJob::State state)
{
    for (const auto &[s, letter] : letters)
        if (s == state)
            return QString(QLatin1Char(letter));
    return {};
}

std::optional<ReportJob::State> stateOfLetter(const QString &letter)
{
    for (const auto &[s, l] : letters)
        if (letter == QString(QLatin1Char(l)))
            return s;
    return std::nullopt;
}

QString paramsToJson(const QVariantMap &params)
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

std::optional<QVariantMap> paramsFromJson(const QVariant &column)
{
    const std::optional<QJsonObject> stored = Velmora::JsonObjectOfColumn(column);
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

QString offeredFileName(const ReportJob &job)
{
    return QStringLiteral("%1-%2.%3").arg(job.reportCode, job.id, job.format);
}

bool isPlainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    return plain.match(name).hasMatch() && !name.contains(QLatin1String(".."));
}

QString partialFileName(const QString &report, const QString &id, const QString &tag,
                        const QString &format)
{
    return QStringLiteral(".%1-%2.%3.parcial.%4").arg(report, id, tag, format);
}

bool isPartialFileName(const QString &name)
{
    static const QRegularExpression partial(QStringLiteral(
        "^\\.[A-Za-z0-9_][A-Za-z0-9_.-]*-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-"
        "[0-9a-f]{12}\\.[0-9a-f]{8}\\.parcial\\.(pdf|csv|xlsx|html)$"));
    return partial.match(name).hasMatch();
}

void checkScreen(const QString &screen)
{
    if (screen.trimmed().isEmpty() || screen.size() > 8)
        throw Exception(QStringLiteral("O código de tela '%1' não serve para a fila de "
                                       "relatórios: deve ter de 1 a 8 caracteres.")
                            .arg(screen));
}

void checkOwner(const QString &owner)
{
    if (owner.trimmed().isEmpty() || owner.size() > 40)
        throw Exception(QStringLiteral("O usuário '%1' não serve como dono de relatórios: o nome "
                                       "deve ter de 1 a 40 caracteres.")
                            .arg(owner));
}

void checkFormat(const QString &format)
{
    static const QStringList formats{QStringLiteral("pdf"), QStringLiteral("csv"),
                                     QStringLiteral("xlsx"), QStringLiteral("html")};
    if (!formats.contains(format))
        throw Exception(QStringLiteral("O formato '%1' não existe para relatórios: use pdf, csv, "
                                       "xlsx ou html.")
                            .arg(format));
}

void checkServer(const QString &server)
{
    if (server.trimmed().isEmpty() || server.size() > 100)
        throw Exception(QStringLiteral("O nome de servidor '%1' não serve para a fila de "
                                       "relatórios: deve ter de 1 a 100 caracteres.")
                            .arg(server));
}

} // namespace AppServer::Jobs
