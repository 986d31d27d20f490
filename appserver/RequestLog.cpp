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
// The length of the valid UTF-8 sequence at text[i] (1 to 4), 0 when the byte starts none:
// no overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t sequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

void appendHex(std::string &out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

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

std::string escapedForLog(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = sequenceLength(text, i);
        if (length == 1) {
            switch (c) {
            case '\0':
                out += "\\0";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    appendHex(out, c);
                else
                    out += static_cast<char>(c);
            }
            ++i;
        } else if (const bool c1 =
                       length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
                   length == 0 || c1) {
            // Not UTF-8, or a C1 control (U+0080 to U+009F), which some terminals obey.
            const std::size_t shown = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < shown; ++k)
                appendHex(out, static_cast<unsigned char>(text[i + k]));
            i += shown;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

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
    // Escaped, every part is valid UTF-8 without a NUL: Qt's handler writes the line whole.
    QString line = QStringLiteral("%1 %2 ms %3")
                       .arg(QString::fromStdString(escapedForLog(target)))
                       .arg(milliseconds, 0, 'f', 3)
                       .arg(QString::fromStdString(escapedForLog(outcome)));
    if (!detail.empty())
        line += QStringLiteral(" [%1]").arg(QString::fromStdString(escapedForLog(detail)));
    if (type == QtInfoMsg)
        qCInfo(lcRequests).noquote() << line;
    else if (type == QtCriticalMsg)
        qCCritical(lcRequests).noquote() << line;
    else
        qCWarning(lcRequests).noquote() << line;
}

} // namespace AppServer
