// velmora-appserver: serves the data modules over JSON-RPC. Once it listens it prints the
// line "porta: N" on standard output (N is the chosen port when started with --port 0); the
// log goes to standard error. SIGINT and SIGTERM stop it cleanly. Beside the calls it works the
// report queue ([Archive] Jobs threads). With --jobs-only it serves no calls and only works the
// queue (the line is then "fila de relatórios").
#include "DataModuleRegistry.h"
#include "DatabaseAccess.h"
#include "HttpListener.h"
#include "RequestLog.h"
#include "RpcServer.h"
#include "ServerOptions.h"
#include "jobs/QueueWorkers.h"

#include "rtl/Exceptions.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <thread>

using namespace AppServer;

namespace {

int workJobsOnly(const ServerOptions &options, const sigset_t &stopSignals)
{
    Jobs::QueueWorkers workers(options.settings, std::max(1, options.settings.archiveJobs));
    workers.start();
    std::printf("fila de relatórios\n");
    std::fflush(stdout);
    qCInfo(lcServer).noquote() << QStringLiteral("gerando os relatórios da fila como %1 (%2)")
                                      .arg(workers.name(), options.settings.dbDriver);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    workers.stop();
    qCInfo(lcServer) << "encerrado";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals in every thread; one thread waits for them and stops the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // A report's PDF paints with the system's fonts, which need a graphical application; no
    // display is ever opened. Every server may work the queue ([Archive] Jobs).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{type} %{message}"));

    ServerOptions options;
    try {
        options = ServerOptions::parse(QCoreApplication::arguments());
    } catch (const Exception &e) {
        std::fprintf(stderr, "velmora-appserver: %s\n", e.what());
        return 2;
    }
    Velmora::installSettings(options.settings);
    if (!applyLogLevel(options.settings.serverLogLevel))
        qCWarning(lcServer).noquote()
            << "LogLevel desconhecido:" << options.settings.serverLogLevel << "- usando info";

    if (options.jobsOnly)
        return workJobsOnly(options, stopSignals);

    DataModuleRegistry modules;
    registerDataModules(modules);
    DatabaseAccess database(options.settings);
    RpcServer server(options, modules, database);

    int port = 0;
    try {
        port = server.bind();
    } catch (const ListenError &e) {
        std::fprintf(stderr, "velmora-appserver: %s\n", e.what());
        return e.exitStatus();
    }
    Jobs::QueueWorkers workers(options.settings, options.settings.archiveJobs);
    workers.start();
    std::printf("porta: %d\n", port);
    std::fflush(stdout);
    qCInfo(lcServer).noquote() << QStringLiteral(
                                      "escutando em %1:%2, %3 conexão(ões) ao banco (%4), %5 "
                                      "gerando relatórios da fila")
                                      .arg(QString::fromStdString(options.host))
                                      .arg(port)
                                      .arg(options.workerThreads)
                                      .arg(options.settings.dbDriver)
                                      .arg(workers.count());

    std::thread stopper([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    const bool served = server.serve();
    if (stopper.joinable()) {
        // serve() ended without a signal (listening failed): wake the waiting thread.
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    workers.stop();
    qCInfo(lcServer) << "encerrado";
    return served ? 0 : 1;
}
