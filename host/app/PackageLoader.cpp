#include "PackageLoader.h"

#include "framework/TApplication.h"
#include "framework/TForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcPackages, "velmora.packages")

namespace Velmora {

EPackageError::~EPackageError() = default;

struct PackageLoader::Package
{
    QString name;
    QString fileName; // canonical
    std::unique_ptr<QLibrary> library;
    const VelmoraPackageInfo *info = nullptr;
    VelmoraUnitProc initialize = nullptr;
    VelmoraUnitProc finalize = nullptr;
    QStringList required;
    QList<PackageScreen> screens;
    int loads = 0;
};

namespace {

using InfoTableProc = const VelmoraPackageInfo *(*)();

QString text(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

bool validName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return pattern.match(name).hasMatch();
}

bool isPath(const QString &nameOrFile)
{
    return nameOrFile.contains(QLatin1Char('/')) || nameOrFile.endsWith(QLatin1String(".so"));
}

// The library file that holds the code or data at address.
QString fileHolding(const void *address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}

// Runs a package procedure, turning what it raises into a message about the package.
void callPackage(VelmoraUnitProc proc, const QString &what)
{
    try {
        proc();
    } catch (const EAbort &) {
        throw EPackageError(QStringLiteral("%1 foi interrompida.").arg(what));
    } catch (const Exception &e) {
        throw EPackageError(QStringLiteral("%1 falhou: %2").arg(what, e.Message()));
    } catch (const std::exception &e) {
        throw EPackageError(QStringLiteral("%1 falhou: %2").arg(what, QString::fromUtf8(e.what())));
    } catch (...) {
        throw EPackageError(QStringLiteral("%1 falhou com um erro desconhecido.").arg(what));
    }
}

} // namespace

QString PackageName(const QString &nameOrFile)
{
    if (!isPath(nameOrFile))
        return nameOrFile;
    QString name = QFileInfo(nameOrFile).fileName();
    const qsizetype so = name.indexOf(QLatin1String(".so"));
    if (so > 0)
        name.truncate(so);
    if (name.startsWith(QLatin1String("lib")))
        name.remove(0, 3);
    return name;
}

PackageLoader::PackageLoader(QObject *parent) : QObject(parent) {}

PackageLoader::~PackageLoader()
{
    UnloadAll();
}

const QStringList &PackageLoader::HostPackages()
{
    static const QStringList names{QStringLiteral("velmora_rtl"),
                                   QStringLiteral("velmora_framework"),
                                   QStringLiteral("velmora_reports")};
    return names;
}

QStringList PackageLoader::SearchPath() const
{
    QStringList folders;
    const QString configured = qEnvironmentVariable("VELMORA_PACKAGE_PATH");
    for (const QString &folder : configured.split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders << QDir::cleanPath(QDir(folder).absolutePath());
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty()) {
        // Installed: /usr/bin/velmora keeps its packages in /usr/lib/velmora, out of the
        // system's library folder. Built: the packages sit in the build tree's lib/.
        folders << QDir::cleanPath(appDir + QStringLiteral("/../lib/velmora"));
        folders << QDir::cleanPath(appDir + QStringLiteral("/../lib"));
        folders << QDir::cleanPath(appDir);
    }
    folders.removeDuplicates();
    return folders;
}

QString PackageLoader::Locate(const QString &nameOrFile) const
{
    if (isPath(nameOrFile)) {
        const QFileInfo file(nameOrFile);
        return file.isFile() ? file.canonicalFilePath() : QString();
    }
    if (!validName(nameOrFile))
        return {};
    const QString fileName = QStringLiteral("lib%1.so").arg(nameOrFile);
    for (const QString &folder : SearchPath()) {
        const QFileInfo file(QDir(folder).filePath(fileName));
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return {};
}

PackageLoader::Package *PackageLoader::find(const QString &name) const
{
    for (const auto &p : m_packages)
        if (p->name == name)
            return p.get();
    return nullptr;
}

PackageLoader::Package &PackageLoader::loaded(const QString &name) const
{
    Package *p = find(name);
    if (!p)
        throw EPackageError(QStringLiteral("O pacote '%1' não está carregado.").arg(name));
    return *p;
}

QString PackageLoader::Load(const QString &nameOrFile)
{
    const QString name = PackageName(nameOrFile);
    if (!validName(name))
        throw EPackageError(QStringLiteral("Nome de pacote inválido: '%1'.").arg(nameOrFile));

    if (Package *again = find(name)) {
        if (isPath(nameOrFile) && Locate(nameOrFile) != again->fileName)
            throw EPackageError(QStringLiteral("O pacote '%1' já está carregado de '%2'.")
                                    .arg(name, again->fileName));
        callPackage(again->initialize, QStringLiteral("A inicialização do pacote '%1'").arg(name));
        ++again->loads;
        return name;
    }
    if (HostPackages().contains(name))
        throw EPackageError(
            QStringLiteral("O pacote '%1' faz parte da aplicação e não é carregado à parte.")
                .arg(name));

    const QString fileName = Locate(nameOrFile);
    if (fileName.isEmpty())
        throw EPackageError(QStringLiteral("Pacote '%1' não encontrado (procurado em: %2).")
                                .arg(name, isPath(nameOrFile)
                                               ? nameOrFile
                                               : SearchPath().join(QStringLiteral(", "))));

    auto package = std::make_unique<Package>();
    package->name = name;
    package->fileName = fileName;
    package->library = std::make_unique<QLibrary>(fileName);
    QLibrary &library = *package->library;
    if (!library.load())
        throw EPackageError(QStringLiteral("Não foi possível carregar o pacote '%1' (%2): %3")
                                .arg(name, fileName, library.errorString()));

    // From here on a refusal must not leave the library in memory.
    auto refuse = [&library](const QString &message) {
        library.unload();
        throw EPackageError(message);
    };
    auto procedure = [&](const char *symbol) {
        QFunctionPointer p = library.resolve(symbol);
        if (!p)
            refuse(QStringLiteral("O arquivo '%1' não é um pacote: falta o procedimento "
                                  "exportado '%2'.")
                       .arg(fileName, QLatin1String(symbol)));
        return p;
    };
    const auto infoTable = reinterpret_cast<InfoTableProc>(procedure("GetPackageInfoTable"));
    package->initialize = reinterpret_cast<VelmoraUnitProc>(procedure("Initialize"));
    package->finalize = reinterpret_cast<VelmoraUnitProc>(procedure("Finalize"));

    const VelmoraPackageInfo *info = nullptr;
    try {
        info = infoTable();
    } catch (...) {
    }
    const auto listed = [](int count, const void *items) {
        return count >= 0 && (count == 0 || items);
    };
    if (!info || info->version != VELMORA_PACKAGE_INFO_VERSION ||
        !listed(info->requiredCount, info->required) || !listed(info->unitCount, info->units) ||
        !listed(info->screenCount, info->screens))
        refuse(QStringLiteral("O pacote '%1' tem uma descrição de pacote inválida ou de outra "
                              "versão.")
                   .arg(name));
    package->info = info;

    QStringList missing;
    for (int i = 0; i < info->requiredCount; ++i) {
        const QString required = text(info->required[i]);
        package->required << required;
        if (!HostPackages().contains(required) && !find(required))
            missing << required;
    }
    if (!missing.isEmpty())
        refuse(QStringLiteral("O pacote '%1' requer pacotes que não estão carregados: %2.")
                   .arg(name, missing.join(QStringLiteral(", "))));

    for (int i = 0; i < info->screenCount; ++i) {
        const VelmoraScreen &s = info->screens[i];
        PackageScreen screen{name, text(s.code), text(s.caption), text(s.entryProc), nullptr};
        if (screen.code.isEmpty() || screen.entryName.isEmpty())
            refuse(QStringLiteral("O pacote '%1' oferece uma tela sem código ou sem procedimento "
                                  "de entrada.")
                       .arg(name));
        if (const auto other = FindScreen(screen.code))
            refuse(QStringLiteral("A tela '%1' do pacote '%2' já é oferecida pelo pacote '%3'.")
                       .arg(screen.code, name, other->package));
        for (const PackageScreen &own : std::as_const(package->screens))
            if (own.code == screen.code)
                refuse(QStringLiteral("O pacote '%1' oferece a tela '%2' duas vezes.")
                           .arg(name, screen.code));
        screen.entry = reinterpret_cast<VelmoraUnitProc>(library.resolve(s.entryProc));
        if (!screen.entry)
            refuse(QStringLiteral("O pacote '%1' não exporta o procedimento '%2' da tela '%3'.")
                       .arg(name, screen.entryName, screen.code));
        package->screens << screen;
    }

    // A failed initialisation undoes itself (the units this call initialised are finalised).
    try {
        callPackage(package->initialize,
                    QStringLiteral("A inicialização do pacote '%1'").arg(name));
    } catch (const EPackageError &e) {
        refuse(e.Message());
    }
    package->loads = 1;
    m_packages.push_back(std::move(package));
    qCInfo(lcPackages) << "loaded" << name << "from" << fileName;
    emit packagesChanged();
    return name;
}

void PackageLoader::Unload(const QString &name)
{
    Package &package = loaded(name);
    if (package.loads > 1) {
        --package.loads;
        callPackage(package.finalize, QStringLiteral("A finalização do pacote '%1'").arg(name));
        return;
    }
    QStringList dependents;
    for (const auto &p : m_packages)
        if (p.get() != &package && p->required.contains(name))
            dependents << p->name;
    if (!dependents.isEmpty())
        throw EPackageError(
            QStringLiteral("O pacote '%1' não pode ser descarregado: é requerido por %2.")
                .arg(name, dependents.join(QStringLiteral(", "))));

    closeScreens(package);
    QString failure;
    try {
        callPackage(package.finalize, QStringLiteral("A finalização do pacote '%1'").arg(name));
    } catch (const EPackageError &e) {
        failure = e.Message();
    }

    std::unique_ptr<Package> gone;
    for (auto it = m_packages.begin(); it != m_packages.end(); ++it) {
        if (it->get() == &package) {
            gone = std::move(*it);
            m_packages.erase(it);
            break;
        }
    }
    if (!gone->library->unload() && failure.isEmpty())
        failure = QStringLiteral("O pacote '%1' foi finalizado mas não saiu da memória: %2")
                      .arg(name, gone->library->errorString());
    qCInfo(lcPackages) << "unloaded" << name;
    emit packagesChanged();
    if (!failure.isEmpty())
        throw EPackageError(failure);
}

void PackageLoader::Reload(const QString &name)
{
    const QString fileName = loaded(name).fileName;
    while (IsLoaded(name))
        Unload(name);
    Load(fileName);
}

void PackageLoader::UnloadAll()
{
    while (!m_packages.empty()) {
        const QString name = m_packages.back()->name;
        try {
            Unload(name);
        } catch (const Exception &e) {
            qCWarning(lcPackages) << e.Message();
        }
        // A package that refuses to go is dropped from the list all the same.
        if (Package *stuck = find(name); stuck && stuck->loads <= 1)
            m_packages.pop_back();
    }
}

QList<TForm *> PackageLoader::OpenScreens(const QString &name) const
{
    const Package *package = find(name);
    QList<TForm *> screens;
    if (!package)
        return screens;
    for (TForm *form : Application().Forms())
        if (fileHolding(form->metaObject()) == package->fileName)
            screens << form;
    return screens;
}

// A screen is closed as the user would close it; one that refuses (its close handler keeps
// it) or only hides goes all the same, for its code is about to leave memory.
void PackageLoader::closeScreens(const Package &package)
{
    QList<QPointer<QWidget>> doomed;
    for (TForm *form : OpenScreens(package.name))
        doomed << form;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (!qobject_cast<TForm *>(widget) && fileHolding(widget->metaObject()) == package.fileName)
            doomed << widget;
    for (const QPointer<QWidget> &widget : std::as_const(doomed))
        if (auto *form = qobject_cast<TForm *>(widget.data()))
            form->Close();
    TApplication::DeliverPendingDeletions();
    for (const QPointer<QWidget> &widget : std::as_const(doomed))
        delete widget.data();
}

bool PackageLoader::IsLoaded(const QString &name) const
{
    return find(name) != nullptr;
}

int PackageLoader::LoadCount(const QString &name) const
{
    const Package *p = find(name);
    return p ? p->loads : 0;
}

QStringList PackageLoader::Loaded() const
{
    QStringList names;
    for (const auto &p : m_packages)
        names << p->name;
    return names;
}

QString PackageLoader::FileName(const QString &name) const
{
    return loaded(name).fileName;
}

const VelmoraPackageInfo *PackageLoader::Info(const QString &name) const
{
    return loaded(name).info;
}

QList<PackageScreen> PackageLoader::Screens() const
{
    QList<PackageScreen> screens;
    for (const auto &p : m_packages)
        screens << p->screens;
    return screens;
}

std::optional<PackageScreen> PackageLoader::FindScreen(const QString &code) const
{
    for (const auto &p : m_packages)
        for (const PackageScreen &s : p->screens)
            if (s.code.compare(code, Qt::CaseInsensitive) == 0)
                return s;
    return std::nullopt;
}

void *PackageLoader::Resolve(const QString &package, const QString &symbol) const
{
    Package &p = loaded(package);
    const QByteArray name = symbol.toLatin1();
    void *address =
        symbol.isEmpty() ? nullptr : reinterpret_cast<void *>(p.library->resolve(name.constData()));
    if (!address)
        throw EPackageError(QStringLiteral("O pacote '%1' não exporta '%2'.").arg(package, symbol));
    return address;
}

} // namespace Velmora
