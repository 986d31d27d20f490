#pragma once

#include "PackageLoader.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace Velmora {

class MainWindow;

// The host application: its package loader and its main window, for main(), the batch
// runner and tests. One exists at a time; it unloads the packages before the window goes.
class Host
{
public:
    Host();
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    static Host *instance();

    PackageLoader &Packages() { return *m_packages; }
    MainWindow &Window() { return *m_window; }

    // Loads the packages the settings name, in order; returns a message per package that
    // could not be loaded (the others load all the same).
    QStringList LoadConfiguredPackages();
    // Enters the screen through its package's entry procedure, as the menu does, through
    // the dispatch boundary: a failure shows its one message and gives false. An unknown
    // code is a message too.
    bool OpenScreen(const QString &code);

private:
    std::unique_ptr<PackageLoader> m_packages;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace Velmora
