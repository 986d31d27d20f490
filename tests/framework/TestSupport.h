#pragma once

#include "data/TDataSet.h"
#include "framework/Services.h"

#include <QStringList>

#include <functional>

// A dataset filled from the test's own rows.
class TestDataSet : public TDataSet
{
    Q_OBJECT
public:
    using TDataSet::TDataSet;
    void Fill(QVector<Column> columns, QVector<QVector<QVariant>> rows)
    {
        SetData(std::move(columns), std::move(rows));
    }
};

// Everything the framework asks the user, recorded and answered from the test's script.
class RecordingServices : public Velmora::Services
{
public:
    // What happened, in order, shared with the handlers of a test screen.
    QStringList *log = nullptr;
    QStringList messages;
    int pickRowAnswer = -1; // the row to choose; -1 cancels
    bool pickRowsOk = false;
    QString pickRowsAnswer;
    QString lastPickRowsTitle, lastPickRowsEmpty, lastPickRowsKey, lastPickRowsSelection;

    void showMessage(const QString &text) override
    {
        messages << text;
        note(QStringLiteral("message:") + text);
    }
    bool pickRow(TDataSet *dataSet, const QString &title) override
    {
        note(QStringLiteral("pickRow:") + title);
        if (pickRowAnswer < 0 || !dataSet)
            return false;
        dataSet->MoveTo(pickRowAnswer);
        return true;
    }
    bool pickRows(TDataSet *, const QString &keyField, const QString &title,
                  const QString &emptyMessage, QString &selection) override
    {
        note(QStringLiteral("pickRows:") + title);
        lastPickRowsKey = keyField;
        lastPickRowsTitle = title;
        lastPickRowsEmpty = emptyMessage;
        lastPickRowsSelection = selection;
        if (!pickRowsOk)
            return false;
        selection = pickRowsAnswer;
        return true;
    }
    bool askText(const QString &, const QString &, QString &) override { return false; }
    QString chooseFile(const QString &, const QString &, const QString &, bool) override
    {
        return {};
    }
    void showHelp(const QString &file, int context) override
    {
        note(QStringLiteral("help:%1:%2").arg(file).arg(context));
    }

private:
    void note(const QString &entry)
    {
        if (log)
            log->append(entry);
    }
};

// Installs services for the scope of a test.
struct ServicesScope
{
    explicit ServicesScope(Velmora::Services *services) { Velmora::Services::install(services); }
    ~ServicesScope() { Velmora::Services::install(nullptr); }
    ServicesScope(const ServicesScope &) = delete;
    ServicesScope &operator=(const ServicesScope &) = delete;
};
