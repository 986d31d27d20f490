#include "Host.h"

#include "MainWindow.h"

#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "framework/TApplication.h"
#include "rtl/Settings.h"

namespace Velmora {

namespace {
Host *current = nullptr;
}

Host::Host() : m_packages(std::make_unique<PackageLoader>())
{
    m_window = std::make_unique<MainWindow>(*this);
    current = this;
}

Host::~Host()
{
    // The screens must go while their packages' code is still in memory.
    m_packages->UnloadAll();
    m_window.reset();
    if (current == this)
        current = nullptr;
}

Host *Host::instance()
{
    return current;
}

QStringList Host::LoadConfiguredPackages()
{
    QStringList failures;
    for (const QString &name : settings().packages) {
        if (m_packages->IsLoaded(PackageName(name)))
            continue;
        try {
            m_packages->Load(name);
        } catch (const Exception &e) {
            failures << e.Message();
        }
    }
    return failures;
}

bool Host::OpenScreen(const QString &code)
{
    const auto screen = m_packages->FindScreen(code);
    if (!screen) {
        Services::current().showMessage(
            QStringLiteral("Tela '%1' não encontrada nos pacotes carregados.").arg(code));
        return false;
    }
    const bool ok = Dispatch([&] { screen->entry(); });
    // An entry procedure that fails half way may leave the hourglass on.
    if (!ok)
        Application().SetScreenCursor(0);
    return ok;
}

} // namespace Velmora
