#include "GuiServices.h"

#include "Dispatch.h"
#include "HelpViewer.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace Velmora {

namespace {
QWidget *dialogParent()
{
    return QApplication::activeWindow();
}
} // namespace

void GuiServices::showMessage(const QString &text)
{
    ModalScope modal;
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

bool GuiServices::pickRow(TDataSet *dataSet, const QString &title)
{
    Q_UNUSED(dataSet);
    showMessage(QStringLiteral("A pesquisa '%1' não está disponível.").arg(title));
    return false;
}

bool GuiServices::pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                           const QString &emptyMessage, QString &selection)
{
    Q_UNUSED(dataSet);
    Q_UNUSED(keyField);
    Q_UNUSED(emptyMessage);
    Q_UNUSED(selection);
    showMessage(QStringLiteral("A lista '%1' não está disponível.").arg(title));
    return false;
}

bool GuiServices::askText(const QString &caption, const QString &prompt, QString &value)
{
    ModalScope modal;
    bool ok = false;
    const QString text =
        QInputDialog::getText(dialogParent(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}

QString GuiServices::chooseFile(const QString &title, const QString &filter,
                                const QString &suggested, bool forSaving)
{
    ModalScope modal;
    return forSaving ? QFileDialog::getSaveFileName(dialogParent(), title, suggested, filter)
                     : QFileDialog::getOpenFileName(dialogParent(), title, suggested, filter);
}

void GuiServices::showHelp(const QString &helpFile, int context)
{
    HelpViewer::show(helpFile, context);
}

} // namespace Velmora
