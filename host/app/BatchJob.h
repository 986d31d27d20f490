#pragma once

#include "BatchJobCheck.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QTextStream>
#include <functional>

class QWidget;
class TForm;

namespace Velmora {
class ScriptedServices;
}

// Drives one screen headlessly through the same controls, handlers and dialogs a user
// reaches, answering the dialogs from the job, and writes the trace: one JSON object a line.
// The job's format is fixed; other tools rely on it:
//   {"screen": CODE, "steps": [STEP, ...]}
// Steps: enter, focus, click, lookup, list, action, close, open, unload, dump, variant. The
// action "background" sends the report to the application server's queue, waits for it and
// downloads it to the step's file (its "report" event adds the job, bytes and sha256). A
// variant step saves, loads or deletes a saved parameter set of a report screen, or loads the
// clerk's last values; after a load the trace has a "state" event. Any step may
// carry "cancelWait": N, the user giving up a call to the application server N ms after its
// wait shows. Step numbers in the trace count from 1.
// A job is checked whole once its screen is open and before its first step: a step the screen
// cannot take (a control it lacks, a control of another kind, an action without its file)
// refuses the job, every such step named at once. A lookup's row that the dialog lacks cancels
// the dialog and fails its step.
class BatchJob
{
public:
    // What the job needs of the host.
    struct Host
    {
        // Whether the loaded packages offer the screen.
        std::function<bool(const QString &code)> hasScreen;
        // Calls the screen's entry procedure (through the dispatch boundary).
        std::function<void(const QString &code)> openScreen;
        // Unloads the screen's package (finalisations run) and loads it again.
        std::function<bool(const QString &code, QString *error)> reloadPackage;
        QWidget *mainWindow = nullptr;
    };

    enum Status { Ok = 0, EndedWithMessage = 1, CannotRun = 2 };

    BatchJob(Host host, QTextStream &trace, QTextStream &errors);

    // Where to save the screen's picture once the job has run (nothing when empty).
    void setScreenshot(const QString &path) { m_screenshot = path; }

    // Reads the job from a file, or from standard input for "-".
    int runFile(const QString &path);
    int run(const QJsonObject &job);

private:
    // Says on standard error and in the trace ("error" events) why the job cannot run.
    int refuse(const QList<Velmora::BatchJobCheck::Problem> &problems);
    int refuse(const QString &reason);
    bool runStep(const QJsonObject &step, bool *fatal);
    bool pickWithinRows(int index, const QString &controlName);
    bool pickMade(const QString &controlName);
    bool enter(QWidget *control, const QString &text);
    bool focus(QWidget *control);
    bool click(QWidget *control);
    void dump(const QString &variant = {});
    bool variant(const QJsonObject &step);
    bool background(const QJsonObject &step);
    TForm *screen() const;
    QWidget *control(const QString &name) const;
    QString focusName() const;
    void emitLine(const QJsonObject &object);
    void flush();
    void settle() const;
    void saveScreenshot();

    Host m_host;
    QTextStream &m_trace;
    QTextStream &m_errors;
    QString m_code;
    QString m_screenshot;
    int m_step = 0;               // the running step, from 1
    QList<QJsonObject> m_pending; // events of the running step, in order
    Velmora::ScriptedServices *m_services = nullptr;
};
