#pragma once

#include "Fis01400Module.h"
#include "RecordingServices.h"
#include "TcpProxy.h"
#include "TestPrinting.h"

#include "app/Host.h"
#include "app/MainWindow.h"
#include "app/PackageLoader.h"
#include "framework/TForm.h"

#include <QApplication>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The shared environment of one test program: the database, the server and the host's
// shared objects, made once.
ModuleEnvironment &Environment();
// The relay in front of the database server, in a program built with one.
TcpProxy *DatabaseRelay();

// The module loaded into a fresh host per test, its screen opened through IniProc, driven
// as a user drives it: clicks through the window, keys to the control with the focus.
class ScreenTest : public ::testing::Test
{
protected:
    static constexpr const char *package = "fis01400";

    void SetUp() override;
    void TearDown() override;

    // IniProc through the host, as the menu calls it.
    bool open();
    TForm *screen() const;
    QWidget *control(const char *name) const;
    template <class T> T *component(const char *name) const
    {
        T *c = screen() ? screen()->findChild<T *>(QLatin1String(name)) : nullptr;
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString text(const char *name) const;
    bool enabled(const char *name) const;
    bool checked(const char *name) const;
    QString focusName() const;
    template <class T> T &global(const char *name) const
    {
        return *host->Packages().Variable<T>(QLatin1String(package), QLatin1String(name));
    }

    // Clicks into the control, selects all, types the text and leaves with Tab. False when
    // the focus could not get into the control (the exit of the control left failed).
    bool enter(const char *name, const QString &typed);
    void click(const char *name);
    void lookup(const char *button, const QString &field, const QString &value);
    void lookupRow(const char *button, int row);
    void pickList(const char *button, const QStringList &keys);
    // Runs a batch job's steps (enter, click, lookup, action, dump) in this process, as the
    // batch runner does: returns each message as "text @ control holding the focus after its
    // step"; blocked collects the steps (from 1) whose control the focus could not reach.
    QStringList runSteps(const QByteArray &steps, QList<int> *blocked = nullptr);
    // The window gets its activation back after a dialog, as it would on a desktop.
    void settle();

    QStringList messages() const { return recorder.messages(); }

    RecordingServices recorder;
    std::unique_ptr<Velmora::Host> host;
};
