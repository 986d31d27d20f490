#pragma once

#include "RowOrder.h"
#include "framework/framework_global.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTableView;
class TDataSet;
class TField;
class SearchModel;

// The search dialog of the lookup buttons: the dataset's visible fields in their order under
// their labels, sorted by one column (the first that the dataset is already ordered by, or
// the one whose header was clicked). Typing moves to the first row whose text in the sorted
// column starts with what was typed; Enter or a double click picks the row, Esc cancels.
// It reads the dataset in place and searches by halving, so it stays quick on big tables.
// It shows the rows at hand at once, follows the rest as they arrive, and counts them ("N+"
// until the last one).
class VELMORA_FRAMEWORK_EXPORT SearchDialog : public QDialog
{
    Q_OBJECT
public:
    SearchDialog(TDataSet *dataSet, const QString &title, QWidget *parent = nullptr);
    ~SearchDialog() override;

    // The dataset row picked, or -1.
    int ChosenRow() const { return m_chosen; }
    // The dataset row under the cursor, or -1.
    int CurrentRow() const;
    int SortColumn() const { return m_sortColumn; }
    void SortByColumn(int column);
    // Moves to the first row starting with text in the sorted column; false when none does.
    bool TypeAhead(const QString &text);

    QLineEdit *SearchBox() const { return m_search; }
    QTableView *View() const { return m_view; }

    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setCurrentPosition(int position);
    bool fetchAll();
    void chooseOrder();
    void rowsArrived();
    void updateCount();
    void leaveWindowWhenReached();
    bool adoptIfSorted(const TField *field, int count);
    bool seekBeyond(const TField *field, const QString &prefix);
    bool waitFor(const TField *field, const QString &prefix);
    bool fetchMore();
    int windowRow(int windowRow);

    SearchModel *m_model = nullptr;
    QLineEdit *m_search = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_count = nullptr;
    int m_sortColumn = -1;
    int m_chosen = -1;
};
