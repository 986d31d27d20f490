#include "Settings.h"

#include "DateConvert.h"
#include "Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>

namespace Velmora {

namespace {
QMutex settingsLock;
Settings current;

// QSettings splits a value holding commas into a list; the keys here want the whole text.
QString text(const QSettings &ini, const char *key, const QString &fallback = {})
{
    const QVariant v = ini.value(QLatin1String(key));
    if (!v.isValid())
        return fallback;
    if (v.userType() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString().trimmed();
}

int number(const QSettings &ini, const char *key, int fallback)
{
    bool ok = false;
    const int n = text(ini, key).toInt(&ok);
    return ok ? n : fallback;
}

bool isFileDatabase(const Settings &s)
{
    if (s.dbDriver == QLatin1String("QSQLITE"))
        return true;
    // Firebird takes a file path, or "host:path" / "host/port:path" naming a server.
    const qsizetype colon = s.dbDatabase.indexOf(QLatin1Char(':'));
    return s.dbDriver == QLatin1String("QIBASE") && s.dbHost.isEmpty() && colon < 0;
}
} // namespace

QString Settings::resolve(const QString &path) const
{
    if (path.isEmpty() || QDir::isAbsolutePath(path) || folder.isEmpty())
        return path;
    return QDir::cleanPath(QDir(folder).filePath(path));
}

Settings Settings::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw Exception(
            QStringLiteral(
                "Arquivo de configuração '%1' não encontrado ou sem permissão de leitura.")
                .arg(path));
    QSettings ini(info.absoluteFilePath(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw Exception(QStringLiteral("Arquivo de configuração '%1' inválido.").arg(path));

    Settings s;
    s.filePath = info.absoluteFilePath();
    s.folder = info.absolutePath();
    s.dbDriver = text(ini, "Database/Driver", s.dbDriver).toUpper();
    s.dbHost = text(ini, "Database/Host");
    s.dbPort = number(ini, "Database/Port", 0);
    s.dbUser = text(ini, "Database/User");
    s.dbPassword = text(ini, "Database/Password");
    s.dbDatabase = text(ini, "Database/Database", s.dbDatabase);
    if (isFileDatabase(s))
        s.dbDatabase = s.resolve(s.dbDatabase);

    s.serverHost = text(ini, "AppServer/Host", s.serverHost);
    s.serverPort = number(ini, "AppServer/Port", s.serverPort);
    s.serverToken = text(ini, "AppServer/Token");
    s.serverThreads = qMax(1, number(ini, "AppServer/Threads", s.serverThreads));
    s.serverCachedPeriods = qMax(0, number(ini, "AppServer/CachedPeriods", s.serverCachedPeriods));
    s.connectTimeoutMs = qMax(1, number(ini, "AppServer/ConnectTimeoutMs", s.connectTimeoutMs));
    s.callTimeoutMs = qMax(1, number(ini, "AppServer/CallTimeoutMs", s.callTimeoutMs));
    s.serverLogLevel = text(ini, "AppServer/LogLevel", s.serverLogLevel).toLower();
    s.serverLoopThreads = number(ini, "AppServer/LoopThreads", s.serverLoopThreads);
    s.serverCallsOnLoop = !QStringList{QStringLiteral("false"), QStringLiteral("0"),
                                       QStringLiteral("no"), QStringLiteral("não")}
                               .contains(text(ini, "AppServer/CallsOnLoop").toLower());
    s.serverIdleTimeoutSeconds =
        number(ini, "AppServer/IdleTimeoutSeconds", s.serverIdleTimeoutSeconds);
    s.serverRequestTimeoutMs = number(ini, "AppServer/RequestTimeoutMs", s.serverRequestTimeoutMs);
    s.serverMaxBodyBytes = number(ini, "AppServer/MaxBodyBytes", s.serverMaxBodyBytes);
    s.serverMaxHeaderBytes = number(ini, "AppServer/MaxHeaderBytes", s.serverMaxHeaderBytes);
    s.serverMaxHeaders = number(ini, "AppServer/MaxHeaders", s.serverMaxHeaders);
    s.serverMaxConnections = number(ini, "AppServer/MaxConnections", s.serverMaxConnections);
    s.serverMaxConnectionsPerClient =
        number(ini, "AppServer/MaxConnectionsPerClient", s.serverMaxConnectionsPerClient);
    // Anything but a plain yes keeps the safe side.
    s.serverAllowWithoutToken = QStringList{QStringLiteral("true"), QStringLiteral("1"),
                                            QStringLiteral("yes"), QStringLiteral("sim")}
                                    .contains(text(ini, "AppServer/AllowWithoutToken").toLower());

    s.reportsDirectory = s.resolve(text(ini, "Reports/Directory", QStringLiteral("layouts")));
    s.archiveDirectory = s.resolve(text(ini, "Archive/Directory", QStringLiteral("archive")));
    s.jobLeaseSeconds = qBound(2, number(ini, "Archive/LeaseSeconds", 30), 3600);
    s.archiveJobs = qBound(0, number(ini, "Archive/Jobs", s.archiveJobs), 64);
    s.archiveRetentionDays =
        qBound(0, number(ini, "Archive/RetentionDays", s.archiveRetentionDays), 36500);
    s.shortDateFormat = text(ini, "Locale/ShortDateFormat", s.shortDateFormat);
    s.language = text(ini, "Locale/Language", s.language);
    s.userName = text(ini, "User/Name");

    const QVariant load = ini.value(QStringLiteral("Packages/Load"));
    const QStringList names = load.userType() == QMetaType::QStringList
                                  ? load.toStringList()
                                  : load.toString().split(QLatin1Char(','));
    for (const QString &name : names)
        if (!name.trimmed().isEmpty())
            s.packages << name.trimmed();
    return s;
}

const Settings &settings()
{
    return current;
}

void installSettings(const Settings &s)
{
    {
        QMutexLocker lock(&settingsLock);
        current = s;
    }
    FormatSettings::SetShortDateFormat(s.shortDateFormat);
}

QString configPath(const QStringList &arguments)
{
    for (int i = 0; i + 1 < arguments.size(); ++i)
        if (arguments.at(i) == QLatin1String("--config"))
            return arguments.at(i + 1);
    for (const QString &a : arguments)
        if (a.startsWith(QLatin1String("--config=")))
            return a.mid(9);
    return qEnvironmentVariable("VELMORA_CONFIG");
}

} // namespace Velmora
