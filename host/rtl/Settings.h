#pragma once

#include "rtl_global.h"

#include <QString>
#include <QStringList>

namespace Velmora {

// The one settings file shared by the host, the application server and the tools. Other tools
// write these files, so the keys are fixed. A relative path is taken from the file's folder.
struct VELMORA_RTL_EXPORT Settings
{
    QString filePath; // empty when built from defaults
    QString folder;

    QString dbDriver = QStringLiteral("QSQLITE");
    QString dbDatabase = QStringLiteral("demo.sqlite"); // resolved for file databases
    QString dbHost, dbUser, dbPassword;
    int dbPort = 0;

    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 8211;
    QString serverToken;
    int serverThreads = 4;
    int serverCachedPeriods = 2000000; // map periods the server keeps in memory; 0: none
    int connectTimeoutMs = 3000;
    int callTimeoutMs = 10000;
    QString serverLogLevel = QStringLiteral("info");
    // The server's limits on what a client may hold or send (checked by the server's options).
    int serverLoopThreads = 0; // 0: one per processor core
    // On SQLite, a call is answered on its connection's own loop thread: a lookup takes less
    // than handing it to a worker and back.
    bool serverCallsOnLoop = true;
    int serverIdleTimeoutSeconds = 5;  // a keep-alive connection's wait for its next request
    int serverRequestTimeoutMs = 5000; // a whole request, from its first byte
    int serverMaxBodyBytes = 64 * 1024;
    int serverMaxHeaderBytes = 16 * 1024;
    int serverMaxHeaders = 100;
    int serverMaxConnections = 10000;
    int serverMaxConnectionsPerClient = 1000; // per client address
    // Listening beyond loopback without a token is refused unless this says it is meant.
    bool serverAllowWithoutToken = false;

    QString reportsDirectory; // resolved
    // Where the server keeps the reports it issued in the background; resolved.
    QString archiveDirectory;
    // How long a server holds a report job without renewing it: a server that died leaves its
    // job to another after this many seconds.
    int jobLeaseSeconds = 30;
    // Threads working the report queue in a server that also answers calls; 0: none.
    int archiveJobs = 1;
    // Finished report jobs and their files are kept this many days after they ended; 0: kept
    // for good.
    int archiveRetentionDays = 90;
    QString shortDateFormat = QStringLiteral("dd/MM/yyyy");
    QString language = QStringLiteral("pt_BR"); // Qt's dialogs' words and the numbers' comma
    // Who owns what this workstation saves (parameter sets); empty: the system's user.
    QString userName;
    QStringList packages;

    // Reads the file; raises Exception with a Portuguese message when it cannot be read.
    static Settings load(const QString &path);
    QString resolve(const QString &path) const;
};

// The settings in force in this process (defaults until a file is installed).
VELMORA_RTL_EXPORT const Settings &settings();
// Installs the settings and applies the date format to the run-time library.
VELMORA_RTL_EXPORT void installSettings(const Settings &settings);
// The settings file named by "--config FILE" among the arguments, else by VELMORA_CONFIG.
VELMORA_RTL_EXPORT QString configPath(const QStringList &arguments);

} // namespace Velmora
