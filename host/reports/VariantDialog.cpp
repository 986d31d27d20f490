#include "VariantDialog.h"

#include "ScreenVariants.h"
#include "VariantSchedules.h"

#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {

enum Column { NameColumn, OwnerColumn, LastUseColumn, DefaultColumn };

// The name, the period and the default mark of the set about to be saved.
struct SaveChoice
{
    QString name;
    RelativePeriod period = RelativePeriod::Fixed;
    bool isDefault = false;
};

bool askSaveChoice(QWidget *parent, SaveChoice &choice)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Salvar variante"));
    auto *name = new QLineEdit(choice.name, &dialog);
    name->setMaxLength(40);
    auto *period = new QComboBox(&dialog);
    for (const RelativePeriod p : RelativePeriods())
        period->addItem(RelativePeriodLabel(p), int(p));
    auto *isDefault = new QCheckBox(QStringLiteral("&Padrão: carregar ao abrir a tela"), &dialog);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Nome:"), name);
    form->addRow(QStringLiteral("P&eríodo:"), period);
    form->addRow(isDefault);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    name->selectAll();
    Velmora::ModalScope modal;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = {name->text().trimmed(), RelativePeriod(period->currentData().toInt()),
              isDefault->isChecked()};
    return true;
}

} // namespace

VariantDialog::VariantDialog(ScreenVariants &variants, QWidget *parent)
    : QDialog(parent), m_variants(variants), m_list(new QTreeWidget(this)),
      m_none(new QLabel(QStringLiteral("Nenhuma variante desta tela ainda: \"Salvar atual\" guarda "
                                       "os valores da tela com um nome."),
                        this))
{
    setWindowTitle(QStringLiteral("Variantes da tela %1").arg(variants.ScreenCode()));
    m_list->setHeaderLabels({QStringLiteral("Nome"), QStringLiteral("Dono"),
                             QStringLiteral("Último uso"), QStringLiteral("Padrão")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_list->setMinimumWidth(480);

    auto *buttons = new QVBoxLayout;
    const auto add = [&](const QString &text, void (VariantDialog::*action)()) {
        auto *button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, action] { Velmora::Dispatch([this, action] { (this->*action)(); }); });
        buttons->addWidget(button);
        return button;
    };
    m_load = add(QStringLiteral("&Carregar"), &VariantDialog::load);
    m_load->setDefault(true);
    add(QStringLiteral("&Salvar atual..."), &VariantDialog::saveCurrent);
    m_rename = add(QStringLiteral("&Renomear..."), &VariantDialog::renameSelected);
    m_remove = add(QStringLiteral("&Excluir"), &VariantDialog::removeSelected);
    m_default = add(QStringLiteral("&Padrão"), &VariantDialog::toggleDefault);
    m_schedule = add(QStringLiteral("A&gendar..."), &VariantDialog::scheduleSelected);
    add(QStringLiteral("Agendamen&tos..."), &VariantDialog::showSchedules);
    buttons->addStretch();
    auto *close = new QPushButton(QStringLiteral("Fechar"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);

    m_none->setWordWrap(true);
    auto *listColumn = new QVBoxLayout;
    listColumn->addWidget(m_list);
    listColumn->addWidget(m_none);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(listColumn);
    layout->addLayout(buttons);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
    connect(m_list, &QTreeWidget::itemActivated, this,
            [this] { Velmora::Dispatch([this] { load(); }); });
    // The list's own keys, as in a file manager: Delete deletes, F2 renames.
    const QList<QPair<QKeySequence, QPushButton *>> keys{{QKeySequence::Delete, m_remove},
                                                         {QKeySequence(Qt::Key_F2), m_rename}};
    for (const auto &binding : keys) {
        QPushButton *button = binding.second;
        auto *shortcut = new QShortcut(binding.first, m_list, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }
    Velmora::Dispatch([this] { refresh(); });
    updateButtons();
    m_list->setFocus();
}

void VariantDialog::refresh(const QString &select)
{
    const QString keep = select.isEmpty() ? selectedName() : select;
    m_list->clear();
    const QString owner = m_variants.Owner();
    for (const SavedVariant &v : m_variants.List()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(NameColumn, v.name);
        item->setText(OwnerColumn, v.owner);
        item->setText(LastUseColumn, v.lastUsed.isValid()
                                         ? v.lastUsed.toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                                         : QStringLiteral("nunca"));
        item->setText(DefaultColumn, v.isDefault ? QStringLiteral("sim") : QString());
        item->setData(NameColumn, Qt::UserRole, v.owner == owner);
        if (v.name == keep && (v.owner == owner || !m_list->currentItem()))
            m_list->setCurrentItem(item);
    }
    m_none->setVisible(m_list->topLevelItemCount() == 0);
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    for (int c = OwnerColumn; c <= DefaultColumn; ++c)
        m_list->resizeColumnToContents(c);
    updateButtons();
}

QString VariantDialog::selectedName() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item ? item->text(NameColumn) : QString();
}

bool VariantDialog::selectedIsOwn() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item && item->data(NameColumn, Qt::UserRole).toBool();
}

void VariantDialog::updateButtons()
{
    const bool any = m_list->currentItem() != nullptr;
    m_load->setEnabled(any);
    m_rename->setEnabled(selectedIsOwn());
    m_remove->setEnabled(selectedIsOwn());
    m_default->setEnabled(selectedIsOwn());
    m_schedule->setEnabled(selectedIsOwn());
    const QTreeWidgetItem *item = m_list->currentItem();
    m_default->setText(item && !item->text(DefaultColumn).isEmpty()
                           ? QStringLiteral("Tirar &padrão")
                           : QStringLiteral("&Padrão"));
}

void VariantDialog::load()
{
    if (selectedName().isEmpty())
        return;
    m_chosen = selectedName();
    accept();
}

void VariantDialog::saveCurrent()
{
    SaveChoice choice{selectedIsOwn() ? selectedName() : QString()};
    if (!askSaveChoice(this, choice))
        return;
    for (const SavedVariant &v : m_variants.List())
        if (v.owner == m_variants.Owner() &&
            v.name.compare(choice.name, Qt::CaseInsensitive) == 0 &&
            !Velmora::Services::current().confirm(
                QStringLiteral("Salvar variante"),
                QStringLiteral("Substituir a variante \"%1\" pelos valores da tela?").arg(v.name)))
            return;
    m_variants.Save(choice.name, choice.period);
    if (choice.isDefault)
        m_variants.SetDefault(choice.name);
    refresh(choice.name);
}

void VariantDialog::renameSelected()
{
    const QString from = selectedName();
    bool ok = false;
    Velmora::ModalScope modal;
    const QString to =
        QInputDialog::getText(this, QStringLiteral("Renomear variante"),
                              QStringLiteral("Novo nome:"), QLineEdit::Normal, from, &ok)
            .trimmed();
    if (!ok || to == from)
        return;
    m_variants.Rename(from, to);
    refresh(to);
}

void VariantDialog::removeSelected()
{
    const QString name = selectedName();
    if (!Velmora::Services::current().confirm(
            QStringLiteral("Excluir variante"),
            QStringLiteral("Excluir a variante \"%1\"?").arg(name)))
        return;
    m_variants.Remove(name);
    refresh();
}

void VariantDialog::toggleDefault()
{
    const QTreeWidgetItem *item = m_list->currentItem();
    m_variants.SetDefault(item->text(DefaultColumn).isEmpty() ? selectedName() : QString());
    refresh(selectedName());
}

void VariantDialog::scheduleSelected()
{
    ScheduleSavedSet(m_variants, selectedName(), this);
    refresh(selectedName());
}

void VariantDialog::showSchedules()
{
    ShowSchedules(m_variants, this);
}

} // namespace Velmora::Reports
