// velmora-bench-http-candidates: the HTTP stacks the application server may move to, each as a
// tiny server answering the fixed JSON of the app bench's nginx reference, against that nginx:
// 1, 8 and 32 keep-alive clients on loopback, then 32 clients again while 200 idle keep-alive
// connections stay open (what holding idle connections costs in throughput and memory).
// The machine is shared and noisy, so every server is measured in each of several rounds, right
// after nginx, in a rotating order; figures are medians over the rounds, and each ratio is the
// median of the ratios within a round. Memory per idle connection is the first round's: later
// rounds reuse what the earlier ones freed.
//
//   velmora-bench-http-candidates [--seconds S] [--rounds N] [--only NAME]
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

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int idleConnections = 200;
constexpr int withIdle = -32; // the key of the 32-client load run beside the idle connections

void figure(const std::string &name, double value, const char *unit)
{
    std::printf("figure: %s %.*f %s\n", name.c_str(), value >= 100 ? 0 : 3, value, unit);
    std::fflush(stdout);
}

// The process and its children: nginx serves from worker processes under its master.
QStringList processTree(qint64 pid)
{
    const QByteArray root = QByteArray::number(pid);
    QStringList tree{QString::fromLatin1(root)};
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toLongLong() > 0 && stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            if (line.mid(line.lastIndexOf(')') + 2).split(' ').value(1) == root)
                tree << entry;
        }
    }
    return tree;
}

long treeResidentKb(qint64 pid)
{
    long total = 0;
    for (const QString &p : processTree(pid)) {
        QFile status(QStringLiteral("/proc/%1/status").arg(p));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("VmRSS:"))
                    total += line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return total;
}

// User and system CPU time of the tree, in seconds: unlike throughput, barely moved by what
// else the shared machine is running.
double treeCpuSeconds(qint64 pid)
{
    long long ticks = 0;
    for (const QString &p : processTree(pid)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            ticks += fields.value(11).toLongLong() + fields.value(12).toLongLong();
        }
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Subject
{
    std::string name;
    int port = 0;
    qint64 pid = 0;
    std::unique_ptr<QProcess> process;           // none for nginx, which NginxReference runs
    std::map<int, std::vector<LoadResult>> runs; // by client count, one per round
    std::map<int, std::vector<double>> cpuUsPerRequest;
    std::vector<double> idleKbEach;
    long long errors = 0;
};

const std::string pingBody = R"({"jsonrpc":"2.0","id":1,"method":"Ping","params":[]})";

LoadResult load(Subject &s, int clients, double seconds, int key)
{
    LoadPlan plan;
    plan.port = s.port;
    plan.path = std::string(Candidate::path);
    plan.clients = clients;
    plan.seconds = seconds;
    plan.body = [](int, long long) { return pingBody; };
    const double cpuBefore = treeCpuSeconds(s.pid);
    const LoadResult r = runLoad(plan);
    // The warm-up's requests count too: they ran inside the CPU window.
    const double requests =
        static_cast<double>(r.requests) * (plan.warmupSeconds + plan.seconds) / plan.seconds;
    s.cpuUsPerRequest[key].push_back(1e6 * (treeCpuSeconds(s.pid) - cpuBefore) / requests);
    s.errors += r.errors;
    return r;
}

void loadBesideIdleConnections(Subject &s, double seconds)
{
    const long before = treeResidentKb(s.pid);
    std::vector<std::unique_ptr<httplib::ClientImpl>> idle;
    int opened = 0;
    for (int i = 0; i < idleConnections; ++i) {
        idle.push_back(std::make_unique<httplib::ClientImpl>("127.0.0.1", s.port));
        idle.back()->set_keep_alive(true);
        idle.back()->set_read_timeout(5, 0);
        const httplib::Result r =
            idle.back()->Post(std::string(Candidate::path), pingBody, "application/json");
        opened += r && r->status == 200;
    }
    if (opened != idleConnections) {
        std::fprintf(stderr, "%s: só %d de %d conexões ociosas abriram\n", s.name.c_str(), opened,
                     idleConnections);
        s.errors += idleConnections - opened;
    }
    s.idleKbEach.push_back(static_cast<double>(treeResidentKb(s.pid) - before) / idleConnections);
    s.runs[withIdle].push_back(load(s, 32, seconds, withIdle));
}

// One request, whose answer must be byte for byte the reference's.
bool answersReference(const Subject &s)
{
    httplib::ClientImpl client("127.0.0.1", s.port);
    client.set_read_timeout(5, 0);
    const httplib::Result r = client.Post(std::string(Candidate::path), "{}", "application/json");
    if (r && r->status == 200 && r->body == Candidate::answer)
        return true;
    std::fprintf(stderr, "%s: resposta diferente da referência: %s\n", s.name.c_str(),
                 r ? (std::to_string(r->status) + " " + r->body).c_str()
                   : httplib::to_string(r.error()).c_str());
    return false;
}

// Starts a candidate on a free port; false (with a message) when it does not announce one.
bool startCandidate(Subject &s, const QString &program)
{
    s.process = std::make_unique<QProcess>();
    s.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    s.process->start(program, {QStringLiteral("0")});
    const bool started = s.process->waitForStarted(5000) && s.process->waitForReadyRead(10000);
    const QByteArray line = started ? s.process->readLine().trimmed() : QByteArray();
    s.port = line.startsWith("porta: ") ? line.mid(7).toInt() : 0;
    s.pid = s.process->processId();
    if (s.port <= 0)
        std::fprintf(stderr, "%s não iniciou: %s\n", s.name.c_str(), line.constData());
    return s.port > 0;
}

bool stopCandidate(Subject &s)
{
    s.process->terminate();
    if (s.process->waitForFinished(5000))
        return true;
    std::fprintf(stderr, "%s não parou com SIGTERM\n", s.name.c_str());
    s.process->kill();
    s.process->waitForFinished(2000);
    return false;
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
    const double seconds = option(args, QStringLiteral("--seconds"), 2);
    const int rounds = std::max(1, static_cast<int>(option(args, QStringLiteral("--rounds"), 3)));
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
    std::vector<Subject> subjects(1);
    subjects[0].name = "nginx";
    subjects[0].port = nginx.port();
    QFile pidFile(work.filePath(QStringLiteral("nginx/nginx.pid")));
    if (pidFile.open(QIODevice::ReadOnly))
        subjects[0].pid = pidFile.readAll().trimmed().toLongLong();

    long long errors = 0;
    // CANDIDATES: "name=program|...", the candidates whose packages this tree was built with.
    const QStringList candidates =
        QStringLiteral(CANDIDATES).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &entry : candidates) {
        Subject s;
        s.name = entry.section(QLatin1Char('='), 0, 0).toStdString();
        if (!only.isEmpty() && s.name != only.toStdString())
            continue;
        if (startCandidate(s, entry.section(QLatin1Char('='), 1)))
            subjects.push_back(std::move(s));
        else
            ++errors;
    }
    for (Subject &s : subjects)
        errors += !answersReference(s);

    for (int round = 0; round < rounds; ++round) {
        // nginx first, then the candidates in an order that turns with each round.
        std::vector<Subject *> order;
        for (std::size_t i = 1; i < subjects.size(); ++i)
            order.push_back(&subjects[1 + (i - 1 + round) % (subjects.size() - 1)]);
        order.insert(order.begin(), &subjects[0]);
        for (int clients : {1, 8, 32})
            for (Subject *s : order)
                s->runs[clients].push_back(load(*s, clients, seconds, clients));
        for (Subject *s : order)
            loadBesideIdleConnections(*s, seconds);
    }

    const Subject &reference = subjects.front();
    for (Subject &s : subjects) {
        for (const auto &[clients, runs] : s.runs) {
            const std::string key =
                s.name + (clients == withIdle ? "_c32_idle" + std::to_string(idleConnections)
                                              : "_c" + std::to_string(clients));
            std::vector<double> rps, p50, p99, toNginx;
            for (std::size_t r = 0; r < runs.size(); ++r) {
                rps.push_back(runs[r].requestsPerSecond);
                p50.push_back(runs[r].p50Ms);
                p99.push_back(runs[r].p99Ms);
                toNginx.push_back(100 * runs[r].requestsPerSecond /
                                  reference.runs.at(clients)[r].requestsPerSecond);
            }
            figure(key + "_rps", median(rps), "req/s");
            figure(key + "_p50", median(p50), "ms");
            figure(key + "_p99", median(p99), "ms");
            figure(key + "_ratio_to_nginx", median(toNginx), "%");
            figure(key + "_cpu_per_request", median(s.cpuUsPerRequest.at(clients)), "us");
        }
        std::vector<double> idleToBusy;
        for (int r = 0; r < rounds; ++r)
            idleToBusy.push_back(100 * s.runs[withIdle][r].requestsPerSecond /
                                 s.runs[32][r].requestsPerSecond);
        figure(s.name + "_ratio_idle_to_c32", median(idleToBusy), "%");
        figure(s.name + "_idle_rss_each", s.idleKbEach.front(), "kB");
        if (s.errors)
            figure(s.name + "_errors", static_cast<double>(s.errors), "count");
        errors += s.errors;
    }

    std::printf("\n%-12s %9s %9s %9s %8s %8s %7s %9s %7s %9s\n", "pilha", "c1 req/s", "c8 req/s",
                "c32 req/s", "c32 p50", "c32 p99", "/nginx", "CPU/pedido", "ociosas", "kB/ociosa");
    for (const Subject &s : subjects) {
        const auto medianOf = [&](int clients, auto field) {
            std::vector<double> values;
            for (const LoadResult &r : s.runs.at(clients))
                values.push_back(r.*field);
            return median(values);
        };
        std::vector<double> toNginx, idleToBusy;
        for (int r = 0; r < rounds; ++r) {
            toNginx.push_back(s.runs.at(32)[r].requestsPerSecond /
                              reference.runs.at(32)[r].requestsPerSecond);
            idleToBusy.push_back(s.runs.at(withIdle)[r].requestsPerSecond /
                                 s.runs.at(32)[r].requestsPerSecond);
        }
        std::printf("%-12s %9.0f %9.0f %9.0f %8.3f %8.3f %6.0f%% %7.1fus %6.0f%% %9.1f\n",
                    s.name.c_str(), medianOf(1, &LoadResult::requestsPerSecond),
                    medianOf(8, &LoadResult::requestsPerSecond),
                    medianOf(32, &LoadResult::requestsPerSecond), medianOf(32, &LoadResult::p50Ms),
                    medianOf(32, &LoadResult::p99Ms), 100 * median(toNginx),
                    median(s.cpuUsPerRequest.at(32)), 100 * median(idleToBusy),
                    s.idleKbEach.front());
    }
    for (Subject &s : subjects)
        if (s.process)
            errors += !stopCandidate(s);
    figure("http_candidates_errors", static_cast<double>(errors), "count");
    return errors == 0 ? 0 : 1;
}
