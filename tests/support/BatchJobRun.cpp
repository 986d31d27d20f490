#include "BatchJobRun.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>

#include <csignal>

QList<QJsonObject> JobRun::events(const QString &kind) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &e : trace)
        if (e.value(QLatin1String("event")).toString() == kind)
            found << e;
    return found;
}

QJsonObject JobRun::step(int n) const
{
    for (const QJsonObject &e : events(QStringLiteral("step")))
        if (e.value(QLatin1String("n")).toInt() == n)
            return e;
    ADD_FAILURE() << "no step " << n;
    return {};
}

QStringList JobRun::messages() const
{
    QStringList shown;
    for (const QJsonObject &m : events(QStringLiteral("message")))
        shown << At(m.value(QLatin1String("text")).toString(),
                    m.value(QLatin1String("focus")).toString());
    return shown;
}

QStringList JobRun::errorTexts() const
{
    QStringList texts;
    for (const QJsonObject &e : events(QStringLiteral("error")))
        texts << e.value(QLatin1String("text")).toString();
    return texts;
}

QJsonObject JobRun::state(int n) const
{
    const QList<QJsonObject> dumps = events(QStringLiteral("state"));
    if (n >= dumps.size()) {
        ADD_FAILURE() << "no dump " << n;
        return {};
    }
    return dumps.at(n).value(QLatin1String("controls")).toObject();
}

QString JobRun::text(const QString &control, int dump) const
{
    return state(dump).value(control).toObject().value(QLatin1String("text")).toString();
}

bool JobRun::enabled(const QString &control, int dump) const
{
    return state(dump).value(control).toObject().value(QLatin1String("enabled")).toBool();
}

bool JobRun::checked(const QString &control, int dump) const
{
    return state(dump).value(control).toObject().value(QLatin1String("checked")).toBool();
}

QJsonObject JobRun::params(int n) const
{
    const QList<QJsonObject> asked = events(QStringLiteral("params"));
    if (n >= asked.size()) {
        ADD_FAILURE() << "the report query was asked " << asked.size() << " time(s)";
        return {};
    }
    return asked.at(n).value(QLatin1String("values")).toObject();
}

namespace {

JobRun runJob(const ModuleEnvironment &environment, const QString &screen, const QByteArray &steps,
              const std::function<void(int step)> &afterStep)
{
    JobRun r;
    // "$DIR" stands for the environment's folder, where reports may be written.
    QByteArray text = steps;
    text.replace("$DIR", environment.folder().toUtf8());
    const QJsonDocument parsed = QJsonDocument::fromJson(text);
    if (!parsed.isArray()) {
        ADD_FAILURE() << "steps are no JSON array: " << steps.constData();
        return r;
    }
    const QJsonObject job{{QStringLiteral("screen"), screen},
                          {QStringLiteral("steps"), parsed.array()}};
    QProcess velmora;
    velmora.setProcessChannelMode(QProcess::SeparateChannels);
    velmora.start(QStringLiteral(VELMORA_EXE),
                  {QStringLiteral("--config"), environment.settingsFile(),
                   QStringLiteral("--batch"), QStringLiteral("-")});
    velmora.write(QJsonDocument(job).toJson(QJsonDocument::Compact));
    velmora.closeWriteChannel();
    // The trace is read as it comes, a line at a time: the runner flushes every line.
    QByteArray pending;
    const auto takeLines = [&] {
        pending += velmora.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line.isEmpty())
                continue;
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            r.trace << event;
            if (afterStep &&
                event.value(QLatin1String("event")).toString() == QLatin1String("step")) {
                const auto pid = static_cast<pid_t>(velmora.processId());
                ::kill(pid, SIGSTOP);
                afterStep(event.value(QLatin1String("n")).toInt());
                ::kill(pid, SIGCONT);
            }
        }
    };
    QElapsedTimer clock;
    clock.start();
    while (velmora.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        velmora.waitForReadyRead(100);
        takeLines();
    }
    if (velmora.state() != QProcess::NotRunning) {
        velmora.kill();
        velmora.waitForFinished();
        ADD_FAILURE() << "the job did not end";
        return r;
    }
    takeLines();
    pending += '\n';
    takeLines();
    r.status = velmora.exitCode();
    r.errors = QString::fromUtf8(velmora.readAllStandardError());
    return r;
}

} // namespace

JobRun RunJob(const ModuleEnvironment &environment, const QString &screen, const QByteArray &steps)
{
    return RunJob(environment, screen, steps, {});
}

JobRun RunJob(const ModuleEnvironment &environment, const QString &screen, const QByteArray &steps,
              const std::function<void(int step)> &afterStep)
{
    JobRun r = runJob(environment, screen, steps, afterStep);
    EXPECT_NE(r.status, 2) << qPrintable(r.errors);
    return r;
}

JobRun RunRefusedJob(const ModuleEnvironment &environment, const QString &screen,
                     const QByteArray &steps)
{
    JobRun r = runJob(environment, screen, steps, {});
    EXPECT_EQ(r.status, 2) << steps.constData();
    EXPECT_TRUE(r.events(QStringLiteral("step")).isEmpty()) << "a refused job ran a step";
    return r;
}
