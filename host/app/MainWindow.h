#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMenu;

namespace Velmora {

class Host;

// The host's main window: the document area where screens live, the "Módulos" menu with the
// screens of the loaded packages, "Pacotes" to load, reload and unload them, "Relatórios" with
// the reports sent to the background, and "Janela".
// Menus are rebuilt each time they open, so an action may unload the package it came from.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Host &host);
    ~MainWindow() override;

    QMdiArea *MdiArea() const { return m_area; }
    QMenu *ModulesMenu() const { return m_modules; }
    QMenu *PackagesMenu() const { return m_packages; }
    QMenu *WindowMenu() const { return m_windows; }
    QMenu *ReportsMenu() const { return m_reports; }
    // Rebuilds every menu from the loaded packages and the open windows.
    void RefreshMenus();

private:
    void fillModules();
    void fillPackages();
    void fillWindows();
    void askPackageToLoad();
    // Reloading closes the package's screens: what the clerk typed in them goes only if they
    // agree.
    void reloadPackage(const QString &name);

    Host &m_host;
    QMdiArea *m_area;
    QMenu *m_modules;
    QMenu *m_packages;
    QMenu *m_windows;
    QMenu *m_reports;
    QAction *m_generatedReports;
    QAction *m_closeWindow;
    QAction *m_nextWindow;
};

} // namespace Velmora
