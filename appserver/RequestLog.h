#pragma once

#include <QLoggingCategory>
#include <QString>

#include <string>
#include <string_view>

namespace AppServer {

Q_DECLARE_LOGGING_CATEGORY(lcServer)
Q_DECLARE_LOGGING_CATEGORY(lcRequests)

// Applies the [AppServer] LogLevel: debug, info, warning, error or off. Request lines are
// written at info when answered, warning when the client's input was refused, error when the
// server failed. False for an unknown level (then info applies).
bool applyLogLevel(const QString &level);

// Whether the line of a request ending with this code (0 = answered) is written at the
// configured level; the busy path skips composing a line nobody reads.
bool requestLogged(int errorCode);

// A text from outside (a method or module name, a driver's message) as one log line may hold
// it: a NUL shows as \0, newline \n, carriage return \r, tab \t, a backslash \\, any other
// control byte (C0, DEL, and the bytes of a C1 control) and any byte that is no valid UTF-8 as
// \xNN. No name can split or forge a line or drive the terminal, and no byte is lost.
std::string escapedForLog(std::string_view text);

// One line per request: what was called, how long it took, and how it ended (code 0 = answered).
// `detail` (the log's only) may hold the driver's message of a database failure. Every part is
// written through escapedForLog.
void logRequest(const std::string &target, double milliseconds, int errorCode,
                const std::string &outcome, const std::string &detail = {});

} // namespace AppServer
