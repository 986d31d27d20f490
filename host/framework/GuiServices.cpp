#include "GuiServices.h"

#include "Dispatch.h"
#include "HelpViewer.h"
#include "InputFilter.h"
#include "ServerWait.h"
#include "TForm.h"
#include "data/TDataSet.h"
#include "dialogs/FileDialog.h"
#include "dialogs/ListDialog.h"
#include "dialogs/SearchDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace Velmora {

namespace {
QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

// Once a dialog closes the clerk goes on where they were: the widget that had the focus gets
// it back, its window active again. Declared before the ModalScope, so the focus comes back
// after the form code's depth is restored and the move runs no exit.
class FocusReturn
{
public:
    FocusReturn() : m_widget(QApplication::focusWidget()) {}
    ~FocusReturn()
    {
        QWidget *widget = m_widget.data();
        if (!widget || !widget->isVisible() || !widget->isEnabled())
            return;
        if (!widget->window()->isActiveWindow())
            widget->window()->activateWindow();
        if (widget->window()->focusWidget() != widget)
            widget->setFocus(Qt::OtherFocusReason);
    }
    FocusReturn(const FocusReturn &) = delete;
    FocusReturn &operator=(const FocusReturn &) = delete;

private:
    QPointer<QWidget> m_widget;
};
} // namespace

void GuiServices::showMessage(const QString &text)
{
    FocusReturn back;
    ModalScope modal;
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

bool GuiServices::confirm(const QString &caption, const QString &question)
{
    FocusReturn back;
    ModalScope modal;
    // Every message box bears the program's name; the caption heads the question.
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), caption,
                    QMessageBox::Yes | QMessageBox::No, dialogParent());
    box.setInformativeText(question);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sim"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Não"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool GuiServices::pickRow(TDataSet *dataSet, const QString &title)
{
    FocusReturn back;
    if (!dataSet || dataSet->IsEmpty())
        return false;
    SearchDialog dialog(dataSet, title, dialogParent());
    {
        ModalScope modal;
        if (dialog.exec() != QDialog::Accepted || dialog.ChosenRow() < 0)
            return false;
    }
    dataSet->MoveTo(dialog.ChosenRow());
    return true;
}

bool GuiServices::pickRows(TDataSet *dataSet, const QString &keyField, const QString &title,
                           const QString &emptyMessage, QString &selection)
{
    if (!dataSet || dataSet->IsEmpty()) {
        showMessage(emptyMessage.isEmpty() ? QStringLiteral("Não há registro na lista.")
                                           : emptyMessage);
        return false;
    }
    FocusReturn back;
    ListDialog dialog(dataSet, keyField, title, selection, dialogParent());
    {
        ModalScope modal;
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    selection = dialog.Selection();
    return true;
}

bool GuiServices::askText(const QString &caption, const QString &prompt, QString &value)
{
    FocusReturn back;
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
    FocusReturn back;
    ModalScope modal;
    const auto dialog = CreateFileDialog(dialogParent(), title, filter, suggested, forSaving);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return dialog->selectedFiles().constFirst();
}

bool GuiServices::waitForServer(ServerWait &wait)
{
    if (wait.isFinished())
        return false;
    // No ModalScope: nothing may enter form code while the call is pending (Dispatch refuses).
    QDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("dlgServerWait"));
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(ServerWait::text(), &dialog));
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(&wait, &ServerWait::finished, &dialog, &QDialog::accept);
    // Escape and the window's close button give up as Cancelar does.
    return dialog.exec() != QDialog::Accepted;
}

void GuiServices::showHelp(const QString &helpFile, int context)
{
    // The help is asked from the screen that holds the focus: its window is named after it.
    const TForm *form = FormOf(QApplication::focusWidget());
    HelpViewer::show(helpFile, context, form ? form->windowTitle() : QString());
}

} // namespace Velmora
