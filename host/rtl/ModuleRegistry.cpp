#include "ModuleRegistry.h"

#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QResource>

#include <dlfcn.h>

namespace ModuleRegistry {

namespace {
QMutex registryLock;

QList<ModuleInfo> &registry()
{
    static QList<ModuleInfo> modules;
    return modules;
}

QString fileOf(const void *anchor)
{
    Dl_info info{};
    if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

QStringList languageNames()
{
    const QString forced = qEnvironmentVariable("VELMORA_LANG");
    const QString name = forced.isEmpty() ? QLocale::system().name() : forced;
    QStringList names{name};
    const qsizetype bar = name.indexOf(QLatin1Char('_'));
    if (bar > 0)
        names << name.left(bar);
    return names;
}
} // namespace

void RegisterModule(const void *anchor)
{
    ModuleInfo info;
    info.fileName = fileOf(anchor);
    if (info.fileName.isEmpty())
        return;
    const QByteArray local = info.fileName.toLocal8Bit();
    // RTLD_NOLOAD only looks the module up; its reference is dropped at once, or the module
    // could never be unloaded. The handle stays valid for as long as the module is loaded.
    info.handle = dlopen(local.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (info.handle)
        dlclose(info.handle);
    info.resourceModule = info.fileName;
    for (const QString &language : languageNames()) {
        const QString candidate =
            info.fileName + QLatin1Char('.') + language + QStringLiteral(".rcc");
        if (!QFileInfo::exists(candidate))
            continue;
        const QString root = QStringLiteral("/velmora-lang/") + QFileInfo(info.fileName).fileName();
        if (QResource::registerResource(candidate, root)) {
            info.resourceModule = candidate;
            info.resourceRoot = root;
        }
        break;
    }
    QMutexLocker lock(&registryLock);
    registry().append(info);
}

void UnregisterModule(const void *anchor)
{
    const QString fileName = fileOf(anchor);
    ModuleInfo gone;
    {
        QMutexLocker lock(&registryLock);
        for (qsizetype i = 0; i < registry().size(); ++i) {
            if (registry().at(i).fileName == fileName) {
                gone = registry().takeAt(i);
                break;
            }
        }
    }
    if (!gone.resourceRoot.isEmpty())
        QResource::unregisterResource(gone.resourceModule, gone.resourceRoot);
}

QList<ModuleInfo> Modules()
{
    QMutexLocker lock(&registryLock);
    return registry();
}

bool FindModule(const QString &fileName, ModuleInfo &info)
{
    const QString wanted = QFileInfo(fileName).absoluteFilePath();
    QMutexLocker lock(&registryLock);
    for (const ModuleInfo &m : registry()) {
        if (m.fileName == wanted) {
            info = m;
            return true;
        }
    }
    return false;
}

QString ResourcePath(const void *anchor, const QString &path)
{
    ModuleInfo info;
    if (FindModule(fileOf(anchor), info) && !info.resourceRoot.isEmpty()) {
        QString relative = path;
        if (relative.startsWith(QLatin1Char(':')))
            relative.remove(0, 1);
        const QString translated = QLatin1Char(':') + info.resourceRoot + relative;
        if (QResource(translated).isValid())
            return translated;
    }
    return path;
}

} // namespace ModuleRegistry
