#include "TSaveDialog.h"

#include "framework/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
// The user's own settings, apart from the installation's INI: where each report was saved.
QSettings userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                     QStringLiteral("velmora"));
}

QString folderKey(const QString &reportCode)
{
    return QStringLiteral("SaveFolders/") +
           (reportCode.isEmpty() ? QStringLiteral("_") : reportCode.toUpper());
}
} // namespace

QString TSaveDialog::ProposedName(const QString &reportCode, const QDate &from, const QDate &to,
                                  const QString &extension)
{
    QString name = reportCode.isEmpty() ? QStringLiteral("relatorio") : reportCode;
    if (from.isValid() && to.isValid())
        name +=
            QStringLiteral(" %1 a %2").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    if (!extension.isEmpty())
        name += QLatin1Char('.') + extension;
    return name;
}

QString TSaveDialog::RememberedFolder(const QString &reportCode)
{
    const QString folder = userSettings().value(folderKey(reportCode)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TSaveDialog::RememberFolder(const QString &reportCode, const QString &folder)
{
    QSettings settings = userSettings();
    settings.setValue(folderKey(reportCode), folder);
    settings.sync();
}

bool TSaveDialog::Execute()
{
    QString suggested = m_fileName;
    const QString folder = RememberedFolder(m_reportCode);
    if (!folder.isEmpty() && !suggested.isEmpty() && QFileInfo(suggested).isRelative())
        suggested = QDir(folder).filePath(suggested);
    const QString chosen =
        Velmora::Services::current().chooseFile(m_title, m_filter, suggested, true);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    if (QFileInfo(chosen).suffix().isEmpty() && !m_defaultExt.isEmpty())
        m_fileName += QLatin1Char('.') + m_defaultExt;
    // A batch job's or a test's folders are not the clerk's habit.
    if (!Velmora::Services::current().headless())
        RememberFolder(m_reportCode, QFileInfo(m_fileName).absolutePath());
    return true;
}
