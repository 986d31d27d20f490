#pragma once

#include "framework/ScriptedServices.h"

#include <QJsonObject>
#include <QList>
#include <QPair>

// The services of a test: installed while it lives, they record everything the screens show
// (as the batch trace writes it) and answer the dialogs from the test's script, cancelling a
// question nothing was queued for. The records are copies: a package's literals leave memory
// with it.
class RecordingServices : public Velmora::ScriptedServices
{
public:
    RecordingServices()
    {
        onEvent = [this](const QJsonObject &e) { events << e; };
        Velmora::Services::install(this);
    }
    ~RecordingServices() override { Velmora::Services::install(nullptr); }
    RecordingServices(const RecordingServices &) = delete;
    RecordingServices &operator=(const RecordingServices &) = delete;

    // The next search dialog ends on this row.
    void queueRowAt(int index)
    {
        RowPick pick;
        pick.kind = RowPick::Kind::Index;
        pick.index = index;
        queueRowPick(pick);
    }

    // The events of one kind: "message", "dialog", "help", "wait", "report"...
    QList<QJsonObject> of(const QString &kind) const
    {
        QList<QJsonObject> found;
        for (const QJsonObject &e : events)
            if (e.value(QLatin1String("event")).toString() == kind)
                found << e;
        return found;
    }
    // The help asked for: file and context, in order.
    QList<QPair<QString, int>> help() const
    {
        QList<QPair<QString, int>> asked;
        for (const QJsonObject &e : of(QStringLiteral("help")))
            asked << qMakePair(e.value(QLatin1String("file")).toString(),
                               e.value(QLatin1String("context")).toInt());
        return asked;
    }

    // What the list dialog was asked with: its key field, title, empty message and the
    // selection it opened with (the trace keeps only the title and the row count).
    struct ListAsked
    {
        QString keyField, title, emptyMessage, selection;
    };
    bool pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                  const QString &emptyMessage, QString &selection) override
    {
        listsAsked << ListAsked{keyField, title, emptyMessage, selection};
        return ScriptedServices::pickRows(dataSet, keyField, title, emptyMessage, selection);
    }

    // The file each file dialog proposed, in order.
    QString chooseFile(const QString &title, const QString &filter, const QString &suggested,
                       bool forSaving) override
    {
        filesProposed << suggested;
        return ScriptedServices::chooseFile(title, filter, suggested, forSaving);
    }

    // Each yes-or-no question, answered yes.
    bool confirm(const QString &caption, const QString &question) override
    {
        questions << question;
        return ScriptedServices::confirm(caption, question);
    }

    QList<QJsonObject> events;
    QList<ListAsked> listsAsked;
    QStringList filesProposed;
    QStringList questions;
};
