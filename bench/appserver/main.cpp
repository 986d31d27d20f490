// velmora-bench-appserver: GetVdDataIni over a million assessment maps, against the same
// server's trivial method (Velmora.Servidor.Ping: its HTTP stack alone) and against nginx
// answering a fixed small JSON, with 1, 8 and 32 keep-alive clients on loopback; and GetVdDataIni
// again on a server that keeps no map periods in memory. Then an endurance run of GetVdDataIni
// at 32 clients that samples the server's memory. Then the same call at 32 clients with 500 idle
// keep-alive connections open; the shipped server against one that hands every call to its
// workers from a single loop thread; and one client's calls while 200 connections trickle their
// requests a byte a second.
//
//   velmora-bench-appserver [--quick] [--seconds S] [--endurance S] [--rows N]
//
// Prints `figure: NAME VALUE UNIT` lines.
#include "HostileClients.h"
#include "LoadRun.h"
#include "MapDatabase.h"
#include "NginxReference.h"

#include "rtl/TDateTime.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

void figure(const std::string &name, double value, const char *unit)
{
    std::printf("figure: %s %.*f %s\n", name.c_str(), value >= 100 ? 0 : 3, value, unit);
    std::fflush(stdout);
}

long residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

double option(const QStringList &args, const QString &name, double fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toDouble() : fallback;
}

void report(const std::string &name, const LoadResult &r)
{
    figure(name + "_rps", r.requestsPerSecond, "req/s");
    figure(name + "_p50", r.p50Ms, "ms");
    figure(name + "_p99", r.p99Ms, "ms");
    if (r.errors)
        figure(name + "_errors", static_cast<double>(r.errors), "count");
}

// Starts the server on a free port over the database; returns the port, 0 when it did not start.
// `settings` override the server's defaults.
int startServer(QProcess &server, const QString &settingsPath, const QString &database,
                const QMap<QString, QString> &settings = {})
{
    {
        QSettings ini(settingsPath, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Database/Driver"), QStringLiteral("QSQLITE"));
        ini.setValue(QStringLiteral("Database/Database"), database);
        ini.setValue(QStringLiteral("AppServer/Threads"), 4);
        ini.setValue(QStringLiteral("AppServer/LogLevel"), QStringLiteral("error"));
        // The idle connections stay open through their measure.
        ini.setValue(QStringLiteral("AppServer/IdleTimeoutSeconds"), 600);
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            ini.setValue(QStringLiteral("AppServer/") + it.key(), it.value());
    }
    server.setProgram(QStringLiteral(APPSERVER_BIN));
    server.setArguments(
        {QStringLiteral("--config"), settingsPath, QStringLiteral("--port"), QStringLiteral("0")});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForStarted(5000) || !server.waitForReadyRead(10000))
        return 0;
    return server.readLine().trimmed().mid(7).toInt();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const double seconds = option(args, QStringLiteral("--seconds"), quick ? 1 : 10);
    const double endurance = option(args, QStringLiteral("--endurance"), quick ? 3 : 60);
    const auto rows =
        static_cast<long long>(option(args, QStringLiteral("--rows"), quick ? 100000 : 1000000));

    QTemporaryDir work;
    const QString cache = QDir::temp().filePath(QStringLiteral("velmora-bench-appserver"));
    QDir().mkpath(cache);
    MapShape shape;
    QString error;
    const QString database = prepareMapDatabase(cache, rows, shape, &error);
    if (database.isEmpty()) {
        std::fprintf(stderr, "banco de mapas: %s\n", qPrintable(error));
        return 1;
    }

    // The server as shipped, and one that keeps no periods in memory: every lookup walks the
    // index, as a key's first lookup after a change does.
    QProcess server, uncachedServer, poolServer;
    const int port = startServer(server, work.filePath(QStringLiteral("bench.ini")), database);
    const int uncachedPort =
        startServer(uncachedServer, work.filePath(QStringLiteral("uncached.ini")), database,
                    {{QStringLiteral("CachedPeriods"), QStringLiteral("0")}});
    const int poolPort =
        startServer(poolServer, work.filePath(QStringLiteral("pool.ini")), database,
                    {{QStringLiteral("LoopThreads"), QStringLiteral("1")},
                     {QStringLiteral("CallsOnLoop"), QStringLiteral("false")}});
    if (port <= 0 || uncachedPort <= 0 || poolPort <= 0) {
        std::fprintf(stderr, "velmora-appserver não iniciou\n");
        return 1;
    }

    const QByteArray trivialAnswer =
        R"({"id":1,"jsonrpc":"2.0","result":{"fields":[],"message":"","rows":[],"status":0}})";
    NginxReference nginx;
    const bool haveNginx = nginx.start(work.path(), trivialAnswer, &error);
    if (!haveNginx)
        std::fprintf(stderr, "sem referência nginx: %s\n", qPrintable(error));

    // Arguments of GetVdDataIni: a random map key and a day inside its months, enough of them
    // to reach every key.
    std::vector<std::string> lookups;
    QRandomGenerator random(11500900);
    const QDate first(2024 - shape.months / 12, 1, 1);
    for (int i = 0; i < 65536; ++i) {
        const QDate day =
            first.addDays(random.bounded(first.daysTo(first.addMonths(shape.months))));
        lookups.push_back(QStringLiteral(R"({"jsonrpc":"2.0","id":%1,"method":"GetVdDataIni",)"
                                         R"("params":["%2","%3",%4,"%5"]})")
                              .arg(i)
                              .arg(MapShape::company(random.bounded(MapShape::companies)),
                                   MapShape::registration(random.bounded(MapShape::registrations)))
                              .arg(TDateTime::fromDate(day).value())
                              .arg(MapShape::tax(random.bounded(MapShape::taxes)))
                              .toStdString());
    }
    const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"Ping","params":[]})";
    figure("appserver_map_rows",
           static_cast<double>(1LL * shape.months * MapShape::companies * MapShape::taxes *
                               MapShape::registrations),
           "rows");

    const auto lookupPlan = [&](int onPort, int clients, double forSeconds) {
        LoadPlan plan;
        plan.port = onPort;
        plan.clients = clients;
        plan.seconds = forSeconds;
        plan.path = "/rpc/Fis01400.rdmDocForne";
        plan.body = [&](int c, long long n) {
            return lookups[static_cast<std::size_t>(c * 977 + n) % lookups.size()];
        };
        return plan;
    };

    // Every server that keeps periods starts the measures with the keys in memory, as a server
    // that has been up for a while does; the uncached one reads them at each call anyway.
    for (const int warmPort : {port, poolPort})
        runLoad(lookupPlan(warmPort, 8, seconds));

    long long errors = 0;
    for (int clients : {1, 8, 32}) {
        const std::string suffix = "_c" + std::to_string(clients);
        LoadPlan plan;
        plan.port = port;
        plan.clients = clients;
        plan.seconds = seconds;
        plan.path = "/rpc/Velmora.Servidor";
        plan.body = [&](int, long long) { return ping; };
        const LoadResult trivial = runLoad(plan);
        report("appserver_ping" + suffix, trivial);
        plan.path = "/rpc/Fis01400.rdmDocForne";
        plan.body = lookupPlan(port, clients, seconds).body;
        const LoadResult lookup = runLoad(plan);
        report("appserver_vddataini" + suffix, lookup);
        plan.port = uncachedPort;
        const LoadResult uncached = runLoad(plan);
        report("appserver_vddataini_uncached" + suffix, uncached);
        plan.port = port;
        errors += trivial.errors + lookup.errors + uncached.errors;
        figure("ratio_vddataini_to_ping" + suffix,
               100 * lookup.requestsPerSecond / trivial.requestsPerSecond, "%");
        figure("ratio_vddataini_uncached_to_ping" + suffix,
               100 * uncached.requestsPerSecond / trivial.requestsPerSecond, "%");
        if (haveNginx) {
            plan.port = nginx.port();
            plan.path = "/rpc";
            plan.body = [&](int, long long) { return ping; };
            const LoadResult reference = runLoad(plan);
            report("nginx" + suffix, reference);
            figure("ratio_vddataini_to_nginx" + suffix,
                   100 * lookup.requestsPerSecond / reference.requestsPerSecond, "%");
        }
    }

    // Calls answered on the connections' loops (one per core) against calls handed from one
    // loop to the workers and back, back to back.
    {
        const LoadResult onLoops = runLoad(lookupPlan(port, 32, seconds));
        const LoadResult throughPool = runLoad(lookupPlan(poolPort, 32, seconds));
        report("appserver_vddataini_c32_on_loops", onLoops);
        report("appserver_vddataini_c32_through_workers", throughPool);
        figure("ratio_on_loops_to_through_workers_c32",
               100 * onLoops.requestsPerSecond / throughPool.requestsPerSecond, "%");
        errors += onLoops.errors + throughPool.errors;
    }

    // Idle keep-alive connections cost a socket each, no thread: the throughput with 500 of them
    // open, against the same run just before without.
    {
        const LoadResult without = runLoad(lookupPlan(port, 32, seconds));
        IdleConnections idle;
        figure("appserver_idle_connections_open", idle.open(port, 500), "count");
        const LoadResult with = runLoad(lookupPlan(port, 32, seconds));
        idle.close();
        report("appserver_vddataini_c32_without_idle", without);
        report("appserver_vddataini_c32_with_500_idle", with);
        figure("ratio_500_idle_to_none_c32",
               100 * with.requestsPerSecond / without.requestsPerSecond, "%");
        errors += without.errors + with.errors;
    }

    // A client's calls while 200 connections trickle their requests in, a byte a second (each
    // refused at the request deadline and opened again).
    {
        const LoadResult calm = runLoad(lookupPlan(port, 1, seconds / 2));
        Trickle trickle;
        trickle.start(port, 200);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const LoadResult during = runLoad(lookupPlan(port, 1, std::max(seconds, 6.0)));
        trickle.stop();
        report("appserver_vddataini_c1_calm", calm);
        report("appserver_vddataini_c1_during_trickle_200", during);
        figure("appserver_trickle_connections_refused", static_cast<double>(trickle.reopened()),
               "count");
        errors += calm.errors + during.errors;
    }

    // Endurance: no error, and the server's memory stays where it was at half-time.
    LoadPlan plan;
    plan.port = port;
    plan.clients = 32;
    plan.seconds = endurance;
    plan.path = "/rpc/Fis01400.rdmDocForne";
    plan.body = [&](int c, long long n) {
        return lookups[static_cast<std::size_t>(c * 977 + n) % lookups.size()];
    };
    long midway = 0;
    plan.midway = [&] { midway = residentKb(server.processId()); };
    const LoadResult longRun = runLoad(plan);
    const long end = residentKb(server.processId());
    report("appserver_vddataini_c32_endurance", longRun);
    figure("appserver_endurance_seconds", endurance, "s");
    figure("appserver_rss_midway", static_cast<double>(midway), "kB");
    figure("appserver_rss_end", static_cast<double>(end), "kB");
    figure("appserver_errors", static_cast<double>(errors + longRun.errors), "count");

    for (QProcess *p : {&server, &uncachedServer, &poolServer}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    return errors + longRun.errors == 0 ? 0 : 1;
}
