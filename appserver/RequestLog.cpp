#include "RequestLog.h"

#include "RpcError.h"

#include <QStringList>

namespace AppServer {

Q_LOGGING_CATEGORY(lcServer, "velmora.appserver")
Q_LOGGING_CATEGORY(lcRequests, "velmora.appserver.requests")

bool applyLogLevel(const QString &level)
{
    static const QStringList levels = {QStringLiteral("debug"), QStringLiteral("info"),
                                       QStringLiteral("warning"), QStringLiteral("error"),
                                       QStringLiteral("off")};
    static const char *const kinds[] = {"debug", "info", "warning", "critical"};
    qsizetype chosen = levels.indexOf(level.trimmed().toLower());
    const bool known = chosen >= 0;
    if (!known)
        chosen = 1;
    QStringList rules;
    for (int i = 0; i < 4; ++i)
        rules << QStringLiteral("velmora.appserver*.%1=%2")
                     .arg(QLatin1String(kinds[i]),
                          i >= chosen ? QStringLiteral("true") : QStringLiteral("false"));
    QLoggingCategory::setFilterRules(rules.join(QLatin1Char('\n')));
    return known;
}

namespace {
QtMsgType levelOf(int errorCode)
{
    if (errorCode == 0)
        return QtInfoMsg;
    if (errorCode == RpcCode::DatabaseUnavailable || errorCode == RpcCode::DatabaseFailure ||
        errorCode == RpcCode::Timeout || errorCode == RpcCode::InternalError)
        return QtCriticalMsg;
    return QtWarningMsg;
}
} // namespace

bool requestLogged(int errorCode)
{
    return lcRequests().isEnabled(levelOf(errorCode));
}

void logRequest(const std::string &target, double milliseconds, int errorCode,
                const std::string &outcome, const std::string &detail)
{
    const QtMsgType type = levelOf(errorCode);
    if (!lcRequests().isEnabled(type))
        return; // the busy path at a quiet level formats nothing
    QString line = QStringLiteral("%1 %2 ms %3")
                       .arg(QString::fromStdString(target))
                       .arg(milliseconds, 0, 'f', 3)
                       .arg(QString::fromStdString(outcome));
    if (!detail.empty())
        line += QStringLiteral(" [%1]").arg(QString::fromStdString(detail));
    if (type == QtInfoMsg)
        qCInfo(lcRequests).noquote() << line;
    else if (type == QtCriticalMsg)
        qCCritical(lcRequests).noquote() << line;
    else
        qCWarning(lcRequests).noquote() << line;
}

} // namespace AppServer
