#include "ModuleEnvironment.h"

#include "rtl/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

namespace {

[[noreturn]] void fail(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

} // namespace

ModuleEnvironment::ModuleEnvironment(const ModuleSpec &module, const QString &fixture,
                                     const QString &engine)
    : m_module(module), m_engine(engine)
{
    if (!m_dir.isValid())
        fail(QStringLiteral("pasta temporária: %1").arg(m_dir.errorString()));
    // The layouts are copied: the base screen may write new ones beside them.
    QDir().mkpath(m_dir.filePath(QStringLiteral("layouts")));
    const QDir layouts(m_module.layouts);
    for (const QString &file : layouts.entryList({QStringLiteral("*.json")}, QDir::Files))
        QFile::copy(layouts.filePath(file), m_dir.filePath(QStringLiteral("layouts/") + file));
    // An empty database, dropped with the environment; velmora-db makes its schema.
    m_database = std::make_unique<Velmora::Test::ScratchDatabase>(engine, false);
    writeSettings(8211);
    run({QStringLiteral("create")});
    load(fixture);
    startServer();
}

ModuleEnvironment::~ModuleEnvironment()
{
    // The server's connections end before the database is dropped.
    stopServer();
}

void ModuleEnvironment::load(const QString &fixture) const
{
    run({QStringLiteral("load"), fixture});
}

QString ModuleEnvironment::settingsFile() const
{
    return m_dir.filePath(QStringLiteral("velmora.ini"));
}

void ModuleEnvironment::writeSettings(int port)
{
    QFile ini(settingsFile());
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("não foi possível gravar %1").arg(settingsFile()));
    const Velmora::ConnectionSettings &db = m_database->Settings();
    ini.write(QStringLiteral("[Database]\nDriver=%1\nDatabase=%2\nHost=%3\nPort=%4\nUser=%5\n"
                             "Password=%6\n"
                             "[AppServer]\nHost=127.0.0.1\nPort=%7\nThreads=8\nLogLevel=info\n"
                             "ConnectTimeoutMs=2000\nCallTimeoutMs=%8\n"
                             "[Reports]\nDirectory=layouts\n"
                             "[Locale]\nShortDateFormat=dd/MM/yyyy\n"
                             "[Packages]\nLoad=%9\n")
                  .arg(db.driver, db.database, db.host,
                       m_databasePort > 0 ? QString::number(m_databasePort)
                       : db.port > 0      ? QString::number(db.port)
                                          : QString(),
                       db.user, db.password)
                  .arg(port == 0 ? m_port : port)
                  .arg(m_callTimeoutMs)
                  .arg(m_module.package)
                  .toUtf8());
}

void ModuleEnvironment::installSettings() const
{
    Velmora::installSettings(Velmora::Settings::load(settingsFile()));
}

void ModuleEnvironment::run(const QStringList &arguments) const
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(VELMORA_DB_TOOL),
               QStringList{QStringLiteral("--config"), settingsFile()} + arguments);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        fail(QStringLiteral("velmora-db %1: %2")
                 .arg(arguments.join(QLatin1Char(' ')), QString::fromUtf8(tool.readAll())));
}

void ModuleEnvironment::startServer(int port)
{
    stopServer();
    m_server = std::make_unique<QProcess>();
    // The server ends with the test, however the test ends.
    m_server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The log goes to a file so the tests can count the answered calls at any moment.
    m_server->setStandardErrorFile(m_dir.filePath(QStringLiteral("servidor.log")),
                                   QIODevice::Append);
    m_server->start(QStringLiteral(VELMORA_APPSERVER),
                    {QStringLiteral("--config"), settingsFile(), QStringLiteral("--port"),
                     QString::number(port)});
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < 30000 &&
           m_server->state() != QProcess::NotRunning) {
        m_server->waitForReadyRead(200);
        out += m_server->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("porta: "))
        fail(QStringLiteral("velmora-appserver não informou a porta: %1")
                 .arg(QString::fromUtf8(out)));
    m_port = line.mid(7).toInt();
    writeSettings();
}

void ModuleEnvironment::stopServer()
{
    if (!m_server)
        return;
    m_server->terminate();
    resumeServer(); // a paused server takes the signal only once it runs
    if (!m_server->waitForFinished(10000))
        m_server->kill();
    m_server->waitForFinished(5000);
    m_server.reset();
}

void ModuleEnvironment::killServer()
{
    if (!m_server)
        return;
    m_server->kill();
    m_server->waitForFinished(5000);
    m_server.reset();
}

void ModuleEnvironment::pauseServer()
{
    if (!m_server)
        fail(QStringLiteral("o servidor não está em execução"));
    const auto pid = static_cast<pid_t>(m_server->processId());
    ::kill(pid, SIGSTOP);
    // The signal is delivered asynchronously: wait until the system reports the process stopped.
    const QString stat = QStringLiteral("/proc/%1/stat").arg(pid);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QFile file(stat);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray line = file.readAll();
            const qsizetype close = line.lastIndexOf(')');
            if (close > 0 && line.mid(close + 2, 1) == "T")
                return;
        }
        QThread::msleep(10);
    }
    fail(QStringLiteral("o servidor não parou"));
}

void ModuleEnvironment::resumeServer()
{
    if (m_server)
        ::kill(static_cast<pid_t>(m_server->processId()), SIGCONT);
}

int ModuleEnvironment::answeredCalls(const QString &method) const
{
    QFile log(m_dir.filePath(QStringLiteral("servidor.log")));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray target =
        (QLatin1Char(' ') + m_module.dataModule + QLatin1Char('.') + method + QLatin1Char(' '))
            .toUtf8();
    int count = 0;
    for (const QByteArray &line : log.readAll().split('\n'))
        if (line.contains(target) && line.contains(" ms ok"))
            ++count;
    return count;
}
