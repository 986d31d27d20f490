#include "Consiste.h"

#include "Services.h"
#include "rtl/Exceptions.h"

#include <QJsonArray>

namespace Consiste {

bool EmptyString(const QString &text)
{
    static const QString literals = QStringLiteral("/.-:,()_");
    for (const QChar c : text)
        if (!c.isSpace() && !literals.contains(c))
            return false;
    return true;
}

QString Ajusta(const QString &code, int width)
{
    const QString trimmed = code.trimmed();
    if (trimmed.size() >= width)
        return trimmed;
    return QString(width - trimmed.size(), QLatin1Char('0')) + trimmed;
}

void MensErro(const QString &text, bool abort)
{
    Velmora::Services::current().showMessage(text);
    if (abort)
        throw EAbort();
}

QString PictPess(const QString &kind)
{
    const QString k = kind.trimmed();
    if (k == QLatin1String("J"))
        return QStringLiteral("00.000.000/0000-00;0;_");
    if (k == QLatin1String("F"))
        return QStringLiteral("000.000.000-00;0;_");
    return QString::fromLatin1("");
}

namespace {

// What is wrong with a packet, or an empty text when it is well formed.
QString packetFault(const QJsonValue &answer)
{
    if (!answer.isObject())
        return QStringLiteral("a resposta não é um pacote de dados");
    const QJsonObject packet = answer.toObject();
    const QJsonValue fields = packet.value(QLatin1String("fields"));
    const QJsonValue rows = packet.value(QLatin1String("rows"));
    const QJsonValue status = packet.value(QLatin1String("status"));
    if (!fields.isArray())
        return QStringLiteral("a resposta não traz a lista de campos");
    for (const QJsonValue field : fields.toArray()) {
        const QJsonObject f = field.toObject();
        if (!field.isObject() || !f.value(QLatin1String("name")).isString() ||
            f.value(QLatin1String("name")).toString().isEmpty() ||
            !f.value(QLatin1String("type")).isString())
            return QStringLiteral("a resposta traz um campo sem nome ou sem tipo");
    }
    if (!rows.isArray())
        return QStringLiteral("a resposta não traz a lista de linhas");
    const qsizetype width = fields.toArray().size();
    for (const QJsonValue row : rows.toArray())
        if (!row.isArray() || row.toArray().size() != width)
            return QStringLiteral("uma linha da resposta não tem um valor por campo");
    if (!status.isDouble() || status.toDouble() != static_cast<double>(status.toInt()))
        return QStringLiteral("a resposta não traz a situação");
    const QJsonValue message = packet.value(QLatin1String("message"));
    if (!message.isUndefined() && !message.isString() && !message.isNull())
        return QStringLiteral("a mensagem da resposta não é um texto");
    return QString();
}

} // namespace

QJsonObject CheckResultServ(const QJsonValue &answer, bool show, int okStatus)
{
    QString problem;
    const QString fault = packetFault(answer);
    const QJsonObject packet = answer.toObject();
    const QString message = packet.value(QLatin1String("message")).toString();
    if (!fault.isEmpty()) {
        problem = message.isEmpty()
                      ? QStringLiteral("Resposta inválida do servidor de aplicação: %1.").arg(fault)
                      : message;
    } else {
        const int status = packet.value(QLatin1String("status")).toInt();
        if (status == okStatus)
            return packet;
        problem = message.isEmpty()
                      ? QStringLiteral("O servidor de aplicação recusou a operação (situação %1).")
                            .arg(status)
                      : message;
    }
    if (show)
        MensErro(problem, true);
    throw ERemoteError(problem);
}

} // namespace Consiste
