#pragma once

#include "framework/Services.h"

#include <QPair>
#include <QStringList>

// Records what the screens show and ask; every question is answered "cancelled". The texts
// are copied: a package's literals leave memory with it.
class RecordingServices : public Velmora::Services
{
public:
    RecordingServices() { Velmora::Services::install(this); }
    ~RecordingServices() override { Velmora::Services::install(nullptr); }

    void showMessage(const QString &text) override { messages << copy(text); }
    bool pickRow(TDataSet *, const QString &) override { return false; }
    bool pickRows(TDataSet *, const QString &, const QString &, const QString &, QString &) override
    {
        return false;
    }
    bool askText(const QString &, const QString &, QString &) override { return false; }
    QString chooseFile(const QString &, const QString &, const QString &, bool) override
    {
        return {};
    }
    void showHelp(const QString &helpFile, int context) override
    {
        help << qMakePair(copy(helpFile), context);
    }

    static QString copy(const QString &text) { return QString(text.constData(), text.size()); }

    QStringList messages;
    QList<QPair<QString, int>> help;
};
