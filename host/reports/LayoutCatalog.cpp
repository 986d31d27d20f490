#include "LayoutCatalog.h"

#include "ReportLayout.h"
#include "rtl/Exceptions.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Velmora::Reports {

namespace {
bool belongsTo(const QString &baseName, const QString &code)
{
    if (baseName.compare(code, Qt::CaseInsensitive) == 0)
        return true;
    if (baseName.size() <= code.size() || !baseName.startsWith(code, Qt::CaseInsensitive))
        return false;
    const QChar next = baseName.at(code.size());
    return next == QLatin1Char('-') || next == QLatin1Char('_') || next == QLatin1Char('.');
}
} // namespace

QList<LayoutEntry> FindLayouts(const QString &code, const QString &directory)
{
    QList<LayoutEntry> found;
    if (code.trimmed().isEmpty())
        return found;
    const QDir dir(directory);
    if (directory.isEmpty() || !dir.exists())
        return found;
    const QFileInfoList files = dir.entryInfoList(
        {QStringLiteral("*.json"), QStringLiteral("*.JSON")}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        if (!belongsTo(info.completeBaseName(), code.trimmed()))
            continue;
        LayoutEntry entry;
        entry.path = info.absoluteFilePath();
        try {
            entry.title = ReportLayout::load(entry.path).title;
        } catch (const Exception &e) {
            entry.title = info.fileName();
            entry.error = e.Message();
        }
        found << entry;
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(found.begin(), found.end(), [&](const LayoutEntry &a, const LayoutEntry &b) {
        return collator.compare(a.title, b.title) < 0;
    });
    return found;
}

QString NewLayoutPath(const QString &code, const QString &directory)
{
    const QDir dir(directory);
    // Layouts are found in any letter case, so a name taken in another case is taken.
    const QStringList taken = dir.entryList(QDir::Files);
    auto free = [&](const QString &name) { return !taken.contains(name, Qt::CaseInsensitive); };
    QString name = code + QStringLiteral(".json");
    for (int n = 2; !free(name); ++n)
        name = QStringLiteral("%1-%2.json").arg(code).arg(n);
    return dir.filePath(name);
}

} // namespace Velmora::Reports
