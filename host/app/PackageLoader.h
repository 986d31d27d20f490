#pragma once

#include "rtl/Exceptions.h"
#include "rtl/PackageInfo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QLibrary;
class TForm;

namespace Velmora {

// A package could not be found, loaded, entered or unloaded; the message names it.
class EPackageError : public Exception
{
public:
    using Exception::Exception;
    ~EPackageError() override;
};

// A screen a loaded package offers, with its entry procedure resolved.
struct PackageScreen
{
    QString package;
    QString code;
    QString caption;
    QString entryName;
    VelmoraUnitProc entry = nullptr;
};

// Loads runtime packages (lib<name>.so) with QLibrary, runs their unit initialisations and
// finalisations through their Initialize/Finalize entry points, and knows the screens they
// offer. Every failure raises EPackageError with a message for the user.
class PackageLoader : public QObject
{
    Q_OBJECT
public:
    explicit PackageLoader(QObject *parent = nullptr);
    ~PackageLoader() override; // unloads every package, latest first

    // Packages the host itself links; a package may require them and they are always there.
    static const QStringList &HostPackages();

    // Folders searched for lib<name>.so: VELMORA_PACKAGE_PATH (a list, ':'-separated), then
    // the executable's ../lib/velmora, ../lib and its own folder.
    QStringList SearchPath() const;
    // The package's file, or an empty text. nameOrFile: a package name or a library path.
    QString Locate(const QString &nameOrFile) const;

    // Loads the package and initialises its units. Loading a package already loaded nests:
    // its Initialize runs again (its units only count it) and an Unload more is needed.
    // Returns the package's name.
    QString Load(const QString &nameOrFile);
    // Undoes one Load. The last one closes the package's screens, delivers the pending
    // deletions, finalises the units and unloads the library.
    void Unload(const QString &name);
    // Unloads the package entirely (every nested load; its finalisations run) and loads the
    // same file again once.
    void Reload(const QString &name);
    void UnloadAll();

    bool IsLoaded(const QString &name) const;
    int LoadCount(const QString &name) const;
    QStringList Loaded() const; // in load order
    QString FileName(const QString &name) const;
    const VelmoraPackageInfo *Info(const QString &name) const;

    QList<PackageScreen> Screens() const;
    std::optional<PackageScreen> FindScreen(const QString &code) const;
    // The screens now open whose class comes from the package.
    QList<TForm *> OpenScreens(const QString &name) const;

    // An exported variable or procedure of a loaded package, by its plain name.
    void *Resolve(const QString &package, const QString &symbol) const;
    template <class T> T *Variable(const QString &package, const QString &symbol) const
    {
        return static_cast<T *>(Resolve(package, symbol));
    }
    template <class Proc> Proc Procedure(const QString &package, const QString &symbol) const
    {
        return reinterpret_cast<Proc>(Resolve(package, symbol));
    }

signals:
    // A package came or went (not sent for nested loads and unloads).
    void packagesChanged();

private:
    struct Package;
    Package *find(const QString &name) const;
    Package &loaded(const QString &name) const;
    void closeScreens(const Package &package);

    std::vector<std::unique_ptr<Package>> m_packages;
};

// The package name of "fis01400", "libfis01400.so" or "/path/libfis01400.so": "fis01400".
QString PackageName(const QString &nameOrFile);

} // namespace Velmora
