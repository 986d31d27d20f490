#pragma once

#include "framework/framework_global.h"

#include <QDialog>
#include <QSet>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TDataSet;
class TField;
class ListModel;

// The multi-select list: the dataset's visible fields with a check box on every row, a
// filter box, check all / none (of the rows the filter shows), a count of what is checked,
// and codes pasted from the clipboard. Selection() writes the checked rows' raw keys as a
// selection string (SelectionString), in the dataset's row order; the rows of the string it
// opens with start checked. It shows the rows at hand at once and follows the rest as they
// arrive: what is done to the whole list holds for them too, and OK waits for the last.
// It opens with the focus in the filter box, where the cursor keys and Enter lead to the
// rows; Space checks the current row (in the box too while it is empty); letters typed in the
// rows go to the filter; Ctrl+V pastes codes (in the box, when the clipboard holds several).
class VELMORA_FRAMEWORK_EXPORT ListDialog : public QDialog
{
    Q_OBJECT
public:
    // Raises EDatabaseError when the dataset has no field keyField.
    ListDialog(TDataSet *dataSet, const QString &keyField, const QString &title,
               const QString &selection, QWidget *parent = nullptr);
    ~ListDialog() override;

    QString Selection() const;
    int CheckedCount() const;
    int RowCount() const;
    // Rows the filter lets through.
    int ShownCount() const;
    bool IsChecked(int dataSetRow) const;
    void SetChecked(int dataSetRow, bool checked);
    void CheckAll();
    void UncheckAll();
    // Shows only the rows that hold text in one of their fields (at once; the box waits for
    // a pause in the typing).
    void SetFilter(const QString &text);
    // Checks the rows of the codes in text (one per line, or separated by tabs, semicolons or
    // commas; see PastedCodes) and tells which codes it did not find; returns those. Where
    // the keys are digits only, a code is also looked up without its punctuation and blanks.
    QStringList PasteCodes(const QString &text);
    void PasteFromClipboard();

    QLineEdit *FilterBox() const { return m_filter; }
    QTableView *View() const { return m_view; }
    QLabel *CountLabel() const { return m_count; }
    QPushButton *CheckAllButton() const { return m_checkAll; }
    QPushButton *UncheckAllButton() const { return m_uncheckAll; }
    QPushButton *PasteButton() const { return m_paste; }

    // Waits for the rows still to come; a failed read is told and keeps the dialog open.
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateCount();
    void checkSelection(const QStringList &keys);
    QSet<QString> checkCodes(const QStringList &codes);
    bool digitKeys() const;
    void toggleCurrent();
    void showFirstRow();
    bool fetchAll();
    static QString countText(int checked, int total, int shown, bool complete);

    TDataSet *m_dataSet = nullptr;
    ListModel *m_model = nullptr;
    TField *m_key = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_checkAll = nullptr;
    QPushButton *m_uncheckAll = nullptr;
    QPushButton *m_paste = nullptr;
    QTimer *m_filterDelay = nullptr;
    mutable std::optional<bool> m_digitKeys;
};
