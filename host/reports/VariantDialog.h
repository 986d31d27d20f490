#pragma once

#include "reports_global.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace Velmora::Reports {

class ScreenVariants;

// The clerk's saved parameter sets of a screen: every owner's, by name, with owner, last use
// and the owner's default. The clerk loads any of them, and saves, renames, deletes and marks
// as default their own, and have the server run their own on a schedule. Accepted when a set was
// chosen to load (ChosenName).
class VELMORA_REPORTS_EXPORT VariantDialog : public QDialog
{
    Q_OBJECT
public:
    VariantDialog(ScreenVariants &variants, QWidget *parent);

    QString ChosenName() const { return m_chosen; }

private:
    void refresh(const QString &select = {});
    QString selectedName() const;
    bool selectedIsOwn() const;
    void updateButtons();
    void load();
    void saveCurrent();
    void renameSelected();
    void removeSelected();
    void toggleDefault();
    void scheduleSelected();
    void showSchedules();

    ScreenVariants &m_variants;
    QTreeWidget *m_list;
    QLabel *m_none;
    QPushButton *m_load, *m_rename, *m_remove, *m_default, *m_schedule;
    QString m_chosen;
};

} // namespace Velmora::Reports
