#pragma once

#include "ModuleEnvironment.h"
#include "TestPrinting.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <gtest/gtest.h>

#include <functional>

// One run of the velmora executable's batch runner on a module's screen: the job's steps, the
// trace it wrote (one JSON object a line) and its exit status.
struct JobRun
{
    int status = -1;
    QList<QJsonObject> trace;
    QString errors;

    QList<QJsonObject> events(const QString &kind) const;
    QJsonObject step(int n) const;
    bool ok(int n) const { return step(n).value(QLatin1String("ok")).toBool(); }
    QString focusAfter(int n) const { return step(n).value(QLatin1String("focus")).toString(); }
    // "text @ focus" of each message, in order.
    QStringList messages() const;
    // The controls of the n-th dump (from 0).
    QJsonObject state(int n = 0) const;
    QString text(const QString &control, int dump = 0) const;
    bool enabled(const QString &control, int dump = 0) const;
    bool checked(const QString &control, int dump = 0) const;
    // The values the report query received the n-th time it asked.
    QJsonObject params(int n = 0) const;
    QList<QJsonObject> dialogs() const { return events(QStringLiteral("dialog")); }
    // The texts of the runner's "error" events: why the job could not run, or why a step
    // could not be done as written.
    QStringList errorTexts() const;
    QList<QJsonObject> reports() const { return events(QStringLiteral("report")); }
};

// Runs a job on the screen of that code in the environment; steps is the JSON array of the
// job's steps, "$DIR" standing for the environment's folder, where the report actions may
// write their files.
JobRun RunJob(const ModuleEnvironment &environment, const QString &screen, const QByteArray &steps);
// The same, and once step n has ended the job is held (SIGSTOP) while afterStep(n) runs, so a
// test can change the world between two steps: stop a server, change the database.
JobRun RunJob(const ModuleEnvironment &environment, const QString &screen, const QByteArray &steps,
              const std::function<void(int step)> &afterStep);
// A job the runner is expected to refuse before its first step (exit status 2).
JobRun RunRefusedJob(const ModuleEnvironment &environment, const QString &screen,
                     const QByteArray &steps);

// Message as the trace shows it, with the control holding the focus afterwards.
inline QString At(const QString &text, const QString &focus)
{
    return text + QStringLiteral(" @ ") + focus;
}
