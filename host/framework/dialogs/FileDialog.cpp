#include "FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace Velmora {

std::unique_ptr<QFileDialog> CreateFileDialog(QWidget *parent, const QString &title,
                                              const QString &filter, const QString &suggested,
                                              bool forSaving)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title);
    dialog->setObjectName(QStringLiteral("dlgArquivo"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    if (suggested.isEmpty())
        return dialog;
    const QFileInfo file(suggested);
    if (!file.isRelative() || suggested.contains(QLatin1Char('/')))
        dialog->setDirectory(file.absolutePath());
    const QString pattern = QStringLiteral("*.") + file.suffix().toLower();
    for (const QString &f : filters)
        if (!file.suffix().isEmpty() && f.contains(pattern, Qt::CaseInsensitive)) {
            dialog->selectNameFilter(f);
            break;
        }
    // After the filter: choosing a filter may rewrite the name's extension.
    dialog->selectFile(file.fileName());
    return dialog;
}

} // namespace Velmora
