// velmora-bench-http-candidates: the HTTP stacks the application server may move to, each as a
// tiny server answering the fixed JSON of the app bench's nginx reference, against that nginx in
// the same run: 1, 8 and 32 keep-alive clients on loopback, then 32 clients again while 200 idle
// keep-alive connections stay open (what holding idle connections costs in throughput and
// memory).
//
//   velmora-bench-http-candidates [--seconds S] [--only NAME]
//
// Prints `figure: NAME VALUE UNIT` lines, then a summary table.
#include "../LoadRun.h"
#include "../NginxReference.h"
#include "Candidate.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int idleConnections = 200;
const std::vector<int> clientCounts = {1, 8, 32};

void figure(const std::string &name, double value, const char *unit)
{
    std::printf("figure: %s %.*f %s\n", name.c_str(), value >= 100 ? 0 : 3, value, unit);
    std::fflush(stdout);
}

long residentKb(const QString &pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The process and its children: nginx serves from worker processes under its master.
long treeResidentKb(qint64 pid)
{
    const QString root = QString::number(pid);
    long total = residentKb(root);
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toLongLong() > 0 && stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            if (line.mid(line.lastIndexOf(')') + 2).split(' ').value(1) == root.toUtf8())
                total += residentKb(entry);
        }
    }
    return total;
}

struct Measured
{
    std::map<int, LoadResult> byClients;
    LoadResult withIdle;
    double idleKbEach = 0;
    long long errors = 0;
};

// One request, whose answer must be byte for byte the reference's.
bool answersReference(int port, std::string *got)
{
    httplib::ClientImpl client("127.0.0.1", port);
    const httplib::Result r = client.Post(std::string(Candidate::path), "{}", "application/json");
    *got = r ? std::to_string(r->status) + " " + r->body : httplib::to_string(r.error());
    return r && r->status == 200 && r->body == Candidate::answer;
}

Measured measure(const std::string &name, int port, qint64 pid, double seconds)
{
    Measured m;
    std::string got;
    if (!answersReference(port, &got)) {
        std::fprintf(stderr, "%s: resposta diferente da referência: %s\n", name.c_str(),
                     got.c_str());
        ++m.errors;
    }
    LoadPlan plan;
    plan.port = port;
    plan.path = std::string(Candidate::path);
    plan.seconds = seconds;
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"Ping","params":[]})";
    plan.body = [&](int, long long) { return body; };
    const auto report = [&](const std::string &figureName, const LoadResult &r) {
        figure(figureName + "_rps", r.requestsPerSecond, "req/s");
        figure(figureName + "_p50", r.p50Ms, "ms");
        figure(figureName + "_p99", r.p99Ms, "ms");
        if (r.errors)
            figure(figureName + "_errors", static_cast<double>(r.errors), "count");
        m.errors += r.errors;
    };
    for (int clients : clientCounts) {
        plan.clients = clients;
        m.byClients[clients] = runLoad(plan);
        report(name + "_c" + std::to_string(clients), m.byClients[clients]);
    }

    const long before = treeResidentKb(pid);
    std::vector<std::unique_ptr<httplib::ClientImpl>> idle;
    int opened = 0;
    for (int i = 0; i < idleConnections; ++i) {
        idle.push_back(std::make_unique<httplib::ClientImpl>("127.0.0.1", port));
        idle.back()->set_keep_alive(true);
        const httplib::Result r = idle.back()->Post(plan.path, body, "application/json");
        opened += r && r->status == 200;
    }
    if (opened != idleConnections) {
        std::fprintf(stderr, "%s: só %d de %d conexões ociosas abriram\n", name.c_str(), opened,
                     idleConnections);
        m.errors += idleConnections - opened;
    }
    m.idleKbEach = static_cast<double>(treeResidentKb(pid) - before) / idleConnections;
    figure(name + "_idle_rss_each", m.idleKbEach, "kB");
    plan.clients = 32;
    m.withIdle = runLoad(plan);
    report(name + "_c32_idle" + std::to_string(idleConnections), m.withIdle);
    figure(name + "_ratio_idle_to_c32",
           100 * m.withIdle.requestsPerSecond / m.byClients[32].requestsPerSecond, "%");
    return m;
}

double option(const QStringList &args, const QString &name, double fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toDouble() : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double seconds = option(args, QStringLiteral("--seconds"), 3);
    const qsizetype onlyAt = args.indexOf(QStringLiteral("--only"));
    const QString only = onlyAt >= 0 ? args.value(onlyAt + 1) : QString();

    QTemporaryDir work;
    NginxReference nginx;
    QString error;
    const QByteArray answer(Candidate::answer.data(), Candidate::answer.size());
    if (!nginx.start(work.path(), answer, &error)) {
        std::fprintf(stderr, "sem referência nginx: %s\n", qPrintable(error));
        return 1;
    }
    QFile pidFile(work.filePath(QStringLiteral("nginx/nginx.pid")));
    const qint64 nginxPid =
        pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toLongLong() : 0;
    std::vector<std::pair<std::string, Measured>> results;
    results.emplace_back("nginx", measure("nginx", nginx.port(), nginxPid, seconds));

    long long errors = results.front().second.errors;
    // CANDIDATES: "name=program|name=program", the candidates this tree found packages for.
    for (const QString &entry :
         QStringLiteral(CANDIDATES).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        if (!only.isEmpty() && name != only)
            continue;
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(entry.section(QLatin1Char('='), 1), {QStringLiteral("0")});
        const bool started = server.waitForStarted(5000) && server.waitForReadyRead(10000);
        const QByteArray line = started ? server.readLine().trimmed() : QByteArray();
        const int port = line.startsWith("porta: ") ? line.mid(7).toInt() : 0;
        if (port <= 0) {
            std::fprintf(stderr, "%s não iniciou: %s\n", qPrintable(name), line.constData());
            ++errors;
            continue;
        }
        Measured m = measure(name.toStdString(), port, server.processId(), seconds);
        const Measured &reference = results.front().second;
        for (int clients : clientCounts)
            figure(name.toStdString() + "_ratio_to_nginx_c" + std::to_string(clients),
                   100 * m.byClients[clients].requestsPerSecond /
                       reference.byClients.at(clients).requestsPerSecond,
                   "%");
        server.terminate();
        if (!server.waitForFinished(5000)) {
            std::fprintf(stderr, "%s não parou com SIGTERM\n", qPrintable(name));
            server.kill();
            server.waitForFinished(2000);
            ++m.errors;
        }
        errors += m.errors;
        results.emplace_back(name.toStdString(), m);
    }

    const Measured &reference = results.front().second;
    std::printf("\n%-9s %9s %9s %9s %8s %8s %8s %9s %8s %8s\n", "pilha", "c1 req/s", "c8 req/s",
                "c32 req/s", "c32 p50", "c32 p99", "/nginx", "ociosas", "/c32", "kB/ociosa");
    for (const auto &[name, m] : results) {
        const LoadResult &c32 = m.byClients.at(32);
        std::printf("%-9s %9.0f %9.0f %9.0f %8.3f %8.3f %7.0f%% %9.0f %7.0f%% %8.1f\n",
                    name.c_str(), m.byClients.at(1).requestsPerSecond,
                    m.byClients.at(8).requestsPerSecond, c32.requestsPerSecond, c32.p50Ms,
                    c32.p99Ms,
                    100 * c32.requestsPerSecond / reference.byClients.at(32).requestsPerSecond,
                    m.withIdle.requestsPerSecond,
                    100 * m.withIdle.requestsPerSecond / c32.requestsPerSecond, m.idleKbEach);
    }
    figure("http_candidates_errors", static_cast<double>(errors), "count");
    return errors == 0 ? 0 : 1;
}
