#pragma once

#include <QLoggingCategory>
#include <QString>

#include <string>

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

// One line per request: what was called, how long it took, and how it ended (code 0 = answered).
// `detail` (the log's only) may hold the driver's message of a database failure.
void logRequest(const std::string &target, double milliseconds, int errorCode,
                const std::string &outcome, const std::string &detail = {});

} // namespace AppServer
