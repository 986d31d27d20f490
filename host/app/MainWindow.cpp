#include "MainWindow.h"

#include "Host.h"

#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/TypedValues.h"
#include "reports/GeneratedReports.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace Velmora {

MainWindow::MainWindow(Host &host) : m_host(host), m_area(new QMdiArea(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Velmora"));
    resize(1024, 720);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    Application().SetMdiArea(m_area);

    m_modules = menuBar()->addMenu(QStringLiteral("&Módulos"));
    m_modules->setObjectName(QStringLiteral("mnuModulos"));
    m_packages = menuBar()->addMenu(QStringLiteral("&Pacotes"));
    m_packages->setObjectName(QStringLiteral("mnuPacotes"));
    m_reports = menuBar()->addMenu(QStringLiteral("&Relatórios"));
    m_reports->setObjectName(QStringLiteral("mnuRelatorios"));
    m_generatedReports = m_reports->addAction(QStringLiteral("Relatórios &gerados…"));
    m_generatedReports->setObjectName(QStringLiteral("actRelatoriosGerados"));
    m_generatedReports->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(m_generatedReports, &QAction::triggered, this,
            [] { Dispatch([] { Reports::GeneratedReports::Show(); }); });
    addAction(m_generatedReports);
    m_windows = menuBar()->addMenu(QStringLiteral("&Janela"));
    m_windows->setObjectName(QStringLiteral("mnuJanela"));
    // The window's own keys, alive while the menu is rebuilt: Ctrl+F4 closes the active screen
    // through its close event, as its close button does; Ctrl+Tab goes to the next screen.
    // Where the platform binds Close to Ctrl+F4 the child window's own menu holds it already,
    // and a second holder would leave the key to neither.
    m_closeWindow = new QAction(QStringLiteral("&Fechar"), this);
    m_closeWindow->setObjectName(QStringLiteral("actFecharJanela"));
    const QKeySequence ctrlF4(Qt::CTRL | Qt::Key_F4);
    if (!QKeySequence::keyBindings(QKeySequence::Close).contains(ctrlF4))
        m_closeWindow->setShortcut(ctrlF4);
    else
        m_closeWindow->setText(QStringLiteral("&Fechar\tCtrl+F4"));
    connect(m_closeWindow, &QAction::triggered, m_area, &QMdiArea::closeActiveSubWindow);
    m_nextWindow = new QAction(QStringLiteral("&Próxima"), this);
    m_nextWindow->setObjectName(QStringLiteral("actProximaJanela"));
    m_nextWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(m_nextWindow, &QAction::triggered, m_area, &QMdiArea::activateNextSubWindow);
    addAction(m_closeWindow);
    addAction(m_nextWindow);
    connect(m_modules, &QMenu::aboutToShow, this, &MainWindow::fillModules);
    connect(m_packages, &QMenu::aboutToShow, this, &MainWindow::fillPackages);
    connect(m_windows, &QMenu::aboutToShow, this, &MainWindow::fillWindows);
    RefreshMenus();
}

MainWindow::~MainWindow()
{
    if (Application().MdiArea() == m_area)
        Application().SetMdiArea(nullptr);
}

void MainWindow::RefreshMenus()
{
    fillModules();
    fillPackages();
    fillWindows();
}

void MainWindow::fillModules()
{
    m_modules->clear();
    const QList<PackageScreen> screens = m_host.Packages().Screens();
    for (const PackageScreen &screen : screens) {
        QAction *action =
            m_modules->addAction(QStringLiteral("%1 - %2").arg(screen.code, screen.caption));
        action->setObjectName(screen.code);
        const QString code = screen.code;
        connect(action, &QAction::triggered, this, [this, code] { m_host.OpenScreen(code); });
    }
    if (screens.isEmpty())
        m_modules->addAction(QStringLiteral("(nenhum pacote carregado)"))->setEnabled(false);
    m_modules->addSeparator();
    connect(m_modules->addAction(QStringLiteral("Sai&r")), &QAction::triggered, this,
            &QWidget::close);
}

void MainWindow::fillPackages()
{
    m_packages->clear();
    PackageLoader &loader = m_host.Packages();
    for (const QString &name : loader.Loaded()) {
        QAction *reload = m_packages->addAction(QStringLiteral("Recarregar %1").arg(name));
        reload->setObjectName(QStringLiteral("recarregar_") + name);
        connect(reload, &QAction::triggered, this, [this, name] { reloadPackage(name); });
        QAction *unload = m_packages->addAction(QStringLiteral("Descarregar %1").arg(name));
        unload->setObjectName(QStringLiteral("descarregar_") + name);
        connect(unload, &QAction::triggered, this,
                [&loader, name] { Dispatch([&] { loader.Unload(name); }); });
    }
    if (!loader.Loaded().isEmpty())
        m_packages->addSeparator();
    connect(m_packages->addAction(QStringLiteral("&Carregar pacote...")), &QAction::triggered, this,
            &MainWindow::askPackageToLoad);
}

void MainWindow::reloadPackage(const QString &name)
{
    Dispatch([this, &name] {
        QStringList typed;
        for (TForm *screen : m_host.Packages().OpenScreens(name))
            if (HoldsTypedValues(screen))
                typed << screen->Caption();
        if (!typed.isEmpty() &&
            !Services::current().confirm(
                QStringLiteral("Recarregar pacote"),
                QStringLiteral("Recarregar o pacote '%1' fecha a tela %2 e perde os valores "
                               "digitados nela. Deseja recarregar assim mesmo?")
                    .arg(name, typed.join(QStringLiteral(", ")))))
            return;
        m_host.Packages().Reload(name);
    });
}

void MainWindow::askPackageToLoad()
{
    Dispatch([this] {
        QString name;
        if (Services::current().askText(QStringLiteral("Carregar pacote"),
                                        QStringLiteral("Nome do pacote ou caminho do arquivo:"),
                                        name) &&
            !name.trimmed().isEmpty())
            m_host.Packages().Load(name.trimmed());
    });
}

void MainWindow::fillWindows()
{
    m_windows->clear();
    const QList<QMdiSubWindow *> windows = m_area->subWindowList();
    const bool any = !windows.isEmpty();
    QAction *cascade = m_windows->addAction(QStringLiteral("&Cascata"));
    connect(cascade, &QAction::triggered, m_area, &QMdiArea::cascadeSubWindows);
    QAction *tile = m_windows->addAction(QStringLiteral("&Lado a lado"));
    connect(tile, &QAction::triggered, m_area, &QMdiArea::tileSubWindows);
    m_windows->addAction(m_closeWindow);
    m_windows->addAction(m_nextWindow);
    QAction *closeAll = m_windows->addAction(QStringLiteral("Fechar &todas"));
    connect(closeAll, &QAction::triggered, m_area, &QMdiArea::closeAllSubWindows);
    // The keys stay live while the menu waits to be rebuilt: with no screen they do nothing.
    for (QAction *a : {cascade, tile, closeAll})
        a->setEnabled(any);
    if (!any)
        return;
    m_windows->addSeparator();
    for (QMdiSubWindow *window : windows) {
        if (!window->isVisible())
            continue;
        QAction *item = m_windows->addAction(window->windowTitle());
        item->setCheckable(true);
        item->setChecked(window == m_area->activeSubWindow());
        const QPointer<QMdiSubWindow> target = window;
        connect(item, &QAction::triggered, m_area, [this, target] {
            if (target)
                m_area->setActiveSubWindow(target);
        });
    }
}

} // namespace Velmora
