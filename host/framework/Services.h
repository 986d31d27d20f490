#pragma once

#include "framework_global.h"

#include <QString>
#include <QVariantMap>

class TDataSet;

namespace Velmora {

class ServerWait;

// Everything that asks the user something goes through the current services: the GUI
// installs the real dialogs, tests and the batch runner install scripted ones.
class VELMORA_FRAMEWORK_EXPORT Services
{
public:
    virtual ~Services();

    // The services in force; the GUI services until others are installed.
    static Services &current();
    // Installs services (not owned); nullptr restores the GUI services.
    static void install(Services *services);

    virtual void showMessage(const QString &text) = 0;
    // Search dialog over a dataset's visible fields. True when a row was chosen: the dataset
    // then stands on it.
    virtual bool pickRow(TDataSet *dataSet, const QString &title) = 0;
    // Multi-select dialog. On OK writes the selection string of the checked rows' keys and
    // returns true; on cancel leaves it as it was. An empty dataset shows emptyMessage.
    virtual bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                          const QString &emptyMessage, QString &selection) = 0;
    virtual bool askText(const QString &caption, const QString &prompt, QString &value) = 0;
    // Empty when the user gave up.
    virtual QString chooseFile(const QString &title, const QString &filter,
                               const QString &suggested, bool forSaving) = 0;
    virtual void showHelp(const QString &helpFile, int context) = 0;
    // A yes-or-no question; true for yes.
    virtual bool confirm(const QString &caption, const QString &question)
    {
        Q_UNUSED(caption);
        Q_UNUSED(question);
        return true;
    }

    // A call to the application server still pending after a moment: shows that the screen
    // waits (wait.text()) until the call ends (wait.finished()), and offers to give it up.
    // True when the user gave up. Services with no one to ask return false at once and the
    // call runs to its end or its time-out.
    virtual bool waitForServer(ServerWait &wait)
    {
        Q_UNUSED(wait);
        return false;
    }

    // No person at the screen: print and preview write a PDF to the file chooseFile names
    // instead of opening the printer or the preview window.
    virtual bool headless() const { return false; }
    // The report machinery tells what it did: the parameter values it handed to a report
    // query (a text, a TDateTime, or null), and each report it produced.
    virtual void reportParams(const QVariantMap &values) { Q_UNUSED(values); }
    // How far a report that runs in the background has come.
    virtual void reportProgress(const QString &action, qint64 rows, int pages)
    {
        Q_UNUSED(action);
        Q_UNUSED(rows);
        Q_UNUSED(pages);
    }
    virtual void reportDone(const QString &action, const QString &file, int pages, qint64 rows)
    {
        Q_UNUSED(action);
        Q_UNUSED(file);
        Q_UNUSED(pages);
        Q_UNUSED(rows);
    }
};

} // namespace Velmora
