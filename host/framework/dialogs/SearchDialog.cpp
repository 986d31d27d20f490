#include "SearchDialog.h"

#include "DataSetModel.h"
#include "DialogButtons.h"
#include "data/TDataSet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <functional>

class SearchModel : public DataSetModel
{
public:
    explicit SearchModel(TDataSet *dataSet, QObject *parent) : DataSetModel(dataSet, parent) {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_order.count();
    }
    int DataSetRow(int modelRow) const override { return m_order.row(modelRow); }

    RowOrder &order() { return m_order; }
    void reorder(const std::function<void()> &change)
    {
        beginResetModel();
        change();
        endResetModel();
    }

private:
    RowOrder m_order;
};

SearchDialog::SearchDialog(TDataSet *dataSet, const QString &title, QWidget *parent)
    : QDialog(parent), m_model(new SearchModel(dataSet, this)), m_search(new QLineEdit(this)),
      m_view(new QTableView(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("SearchDialog"));
    m_search->setObjectName(QStringLiteral("Localizar"));
    m_view->setObjectName(QStringLiteral("Linhas"));

    const int count = dataSet ? dataSet->RecordCount() : 0;
    const QList<TField *> &fields = m_model->Fields();
    // Keep the dataset's own order when it is sorted by one of the columns.
    m_model->order().reset(count);
    for (int c = 0; c < fields.size() && m_sortColumn < 0; ++c) {
        if (RowOrder::isSorted(fields.at(c), count)) {
            m_model->order().adopt(fields.at(c), count);
            m_sortColumn = c;
        }
    }
    if (m_sortColumn < 0 && !fields.isEmpty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->order().sortBy(fields.first(), count);
        QApplication::restoreOverrideCursor();
        m_sortColumn = 0;
    }

    // Row heights are set before the rows come: setting them after walks a million rows.
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    QHeaderView *header = m_view->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(m_sortColumn, Qt::AscendingOrder);
    int tableWidth = 0;
    const int charWidth = fontMetrics().averageCharWidth();
    for (int c = 0; c < fields.size(); ++c) {
        const int width = qBound(60, m_model->ExpectedWidth(c) * charWidth + 24, 320);
        m_view->setColumnWidth(c, width);
        tableWidth += width;
    }
    connect(header, &QHeaderView::sectionClicked, this, [this](int c) { SortByColumn(c); });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        setCurrentPosition(index.row());
        accept();
    });
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString &text) { TypeAhead(text); });
    m_search->installEventFilter(this);
    m_view->installEventFilter(this);

    QDialogButtonBox *buttons = Velmora::OkCancelButtons(this);

    auto *searchRow = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Localizar:"), this);
    label->setBuddy(m_search);
    searchRow->addWidget(label);
    searchRow->addWidget(m_search, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(qBound(360, tableWidth + 40, 800), 420);

    const int start =
        dataSet && dataSet->RecNo() >= 0 ? m_model->order().position(dataSet->RecNo()) : 0;
    if (count > 0)
        setCurrentPosition(qMax(0, start));
    m_search->setFocus();
}

SearchDialog::~SearchDialog() = default;

int SearchDialog::CurrentRow() const
{
    const QModelIndex index = m_view->currentIndex();
    return index.isValid() ? m_model->DataSetRow(index.row()) : -1;
}

void SearchDialog::setCurrentPosition(int position)
{
    const QModelIndex index = m_model->index(position, 0);
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_view->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void SearchDialog::SortByColumn(int column)
{
    const QList<TField *> &fields = m_model->Fields();
    if (column < 0 || column >= fields.size())
        return;
    const int current = CurrentRow();
    if (column != m_sortColumn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->reorder([&] {
            RowOrder &order = m_model->order();
            if (RowOrder::isSorted(fields.at(column), order.count()))
                order.adopt(fields.at(column), order.count());
            else
                order.sortBy(fields.at(column), order.count());
        });
        QApplication::restoreOverrideCursor();
        m_sortColumn = column;
        m_search->clear();
    }
    m_view->horizontalHeader()->setSortIndicator(m_sortColumn, Qt::AscendingOrder);
    if (current >= 0)
        setCurrentPosition(m_model->order().position(current));
}

bool SearchDialog::TypeAhead(const QString &text)
{
    if (m_sortColumn < 0 || text.isEmpty())
        return false;
    const TField *field = m_model->Fields().at(m_sortColumn);
    const QString prefix = EditMask(field->EditMask()).stripLiterals(text);
    const int position = m_model->order().find(field, prefix);
    if (position < 0)
        return false;
    setCurrentPosition(position);
    return true;
}

void SearchDialog::accept()
{
    const int row = CurrentRow();
    if (row < 0)
        return;
    m_chosen = row;
    QDialog::accept();
}

bool SearchDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_search) {
        // The cursor keys move through the rows while the typing stays in the box.
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QApplication::sendEvent(m_view, event);
            return true;
        default:
            break;
        }
    } else if (watched == m_view && !key->text().isEmpty() && key->text().at(0).isPrint() &&
               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        // Typing in the table types in the box (the view's own search would scan every row).
        m_search->setFocus();
        m_search->insert(key->text());
        TypeAhead(m_search->text());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
