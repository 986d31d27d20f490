#include "SearchDialog.h"

#include "DataSetModel.h"
#include "DialogButtons.h"
#include "SearchModel_p.h"
#include "data/TDataSet.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

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
#include <memory>

namespace {
// Rows the database gives for a text past the rows at hand.
constexpr int WindowRows = 200;
} // namespace

SearchDialog::SearchDialog(TDataSet *dataSet, const QString &title, QWidget *parent)
    : QDialog(parent), m_model(new SearchModel(dataSet, this)), m_search(new QLineEdit(this)),
      m_view(new QTableView(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("SearchDialog"));
    m_search->setObjectName(QStringLiteral("Localizar"));
    m_view->setObjectName(QStringLiteral("Linhas"));

    const QList<TField *> &fields = m_model->Fields();
    chooseOrder();
    const int count = m_model->order().count();
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Registros"));
    if (dataSet) {
        connect(dataSet, &TDataSet::RowsArrived, this, [this] { rowsArrived(); });
        connect(dataSet, &TDataSet::FetchFinished, this, [this] {
            leaveWindowWhenReached();
            updateCount();
        });
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
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(buttons);

    auto *searchRow = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Localizar:"), this);
    label->setBuddy(m_search);
    searchRow->addWidget(label);
    searchRow->addWidget(m_search, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);
    resize(qBound(360, tableWidth + 40, 800), 420);
    updateCount();

    const int start =
        dataSet && dataSet->RecNo() >= 0 ? m_model->order().position(dataSet->RecNo()) : 0;
    if (count > 0)
        setCurrentPosition(qMax(0, start));
    m_search->setFocus();
}

SearchDialog::~SearchDialog() = default;

bool SearchDialog::fetchAll()
{
    TDataSet *dataSet = m_model->DataSet();
    if (!dataSet || dataSet->FetchComplete())
        return true;
    try {
        dataSet->FetchAll();
    } catch (const EDatabaseError &e) {
        Velmora::Services::current().showMessage(e.Message());
        return false;
    }
    return true;
}

// Keeps the dataset's own order when it is sorted by field, as the dialog compares or as the
// database does when it tells case apart.
bool SearchDialog::adoptIfSorted(const TField *field, int count)
{
    RowOrder &order = m_model->order();
    for (const RowOrder::Compare compare : {RowOrder::Compare::Folded, RowOrder::Compare::Exact})
        if (RowOrder::isSorted(field, count, 0, compare)) {
            order.adopt(field, count, compare);
            return true;
        }
    return false;
}

// The first column the dataset is already ordered by, over the rows at hand; else every row
// sorted by the first column.
void SearchDialog::chooseOrder()
{
    TDataSet *dataSet = m_model->DataSet();
    const QList<TField *> &fields = m_model->Fields();
    RowOrder &order = m_model->order();
    int count = dataSet ? dataSet->FetchedCount() : 0;
    order.reset(count);
    m_sortColumn = -1;
    for (int c = 0; c < fields.size(); ++c) {
        if (adoptIfSorted(fields.at(c), count)) {
            m_sortColumn = c;
            return;
        }
    }
    if (fields.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fetchAll();
    count = dataSet->FetchedCount();
    order.sortBy(fields.first(), count);
    QApplication::restoreOverrideCursor();
    m_sortColumn = 0;
}

void SearchDialog::rowsArrived()
{
    if (m_model->reordering())
        return;
    const int count = m_model->DataSet()->FetchedCount();
    RowOrder &order = m_model->order();
    // The first rows may look sorted case aside, the database's order telling case apart.
    if (!order.accepts(count) && order.sortField() &&
        order.comparison() == RowOrder::Compare::Folded &&
        RowOrder::isSorted(order.sortField(), count, 0, RowOrder::Compare::Exact))
        order.adopt(order.sortField(), order.count(), RowOrder::Compare::Exact);
    if (order.accepts(count)) {
        m_model->extend(count);
        leaveWindowWhenReached();
    } else {
        m_model->leaveWindow();
        // The rows at hand only looked sorted: order the whole answer as a full one would be.
        const int current = CurrentRow();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->reorder([this] {
            fetchAll();
            chooseOrder();
        });
        QApplication::restoreOverrideCursor();
        m_view->horizontalHeader()->setSortIndicator(m_sortColumn, Qt::AscendingOrder);
        if (current >= 0)
            setCurrentPosition(m_model->order().position(current));
    }
    updateCount();
}

// Once the rows at hand reach the window's first row, they are shown again, from the row the
// clerk was on.
void SearchDialog::leaveWindowWhenReached()
{
    const TDataSet *dataSet = m_model->DataSet();
    const RowOrder &order = m_model->order();
    if (!m_model->inWindow() || order.count() == 0)
        return;
    const TField *field = m_model->Fields().at(m_sortColumn);
    const QString first = m_model->windowRaw(0, m_sortColumn);
    if (!dataSet->FetchComplete() &&
        order.compare(field->TextAt(order.row(order.count() - 1)), first) < 0)
        return;
    const QModelIndex current = m_view->currentIndex();
    const QString at = m_model->windowRaw(current.isValid() ? current.row() : 0, m_sortColumn);
    m_model->leaveWindow();
    setCurrentPosition(qMin(order.lowerBound(at), order.count() - 1));
}

// A text past the last row at hand may be in the rows still to come: the database gives the
// first rows that start with each of its case forms (it may compare case apart), and the
// first of them in the dialog's order is shown with those after it. Where the database
// cannot be asked, the rows are waited for.
bool SearchDialog::seekBeyond(const TField *field, const QString &prefix)
{
    TDataSet *dataSet = m_model->DataSet();
    const RowOrder &order = m_model->order();
    if (!dataSet || dataSet->FetchComplete() || order.sortField() != field || order.count() == 0)
        return false;
    const QString last = field->TextAt(order.row(order.count() - 1));
    std::unique_ptr<TDataSet> best;
    int bestRow = -1;
    for (const QString &form : RowOrder::caseForms(prefix)) {
        // Where the form falls among the rows at hand, the search there has looked.
        if (order.compare(last, form) >= 0)
            continue;
        std::unique_ptr<TDataSet> window;
        try {
            window = dataSet->RowsStartingWith(field->FieldName(), form, WindowRows);
        } catch (const EDatabaseError &) {
            window.reset();
        }
        if (!window)
            return waitFor(field, prefix);
        const TField *sorted = window->FindField(field->FieldName());
        for (int r = 0; sorted && r < window->FetchedCount(); ++r) {
            const QString text = sorted->TextAt(r);
            if (!RowOrder::startsWithFolded(text, prefix))
                continue;
            if (!best ||
                order.compare(text, best->FindField(field->FieldName())->TextAt(bestRow)) < 0) {
                best = std::move(window);
                bestRow = r;
            }
            break;
        }
    }
    if (!best)
        return false;
    m_model->showWindow(std::move(best));
    setCurrentPosition(bestRow);
    return true;
}

bool SearchDialog::waitFor(const TField *field, const QString &prefix)
{
    TDataSet *dataSet = m_model->DataSet();
    const RowOrder &order = m_model->order();
    int position = -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    while ((position = order.find(field, prefix)) < 0 && !dataSet->FetchComplete())
        if (!fetchMore())
            break;
    QApplication::restoreOverrideCursor();
    if (position >= 0)
        setCurrentPosition(position);
    return position >= 0;
}

bool SearchDialog::fetchMore()
{
    TDataSet *dataSet = m_model->DataSet();
    try {
        dataSet->FetchUpTo(dataSet->FetchedCount());
    } catch (const EDatabaseError &e) {
        Velmora::Services::current().showMessage(e.Message());
        return false;
    }
    return true;
}

// The dataset row of the window's row: the rows are waited for until they pass it.
int SearchDialog::windowRow(int windowRow)
{
    const QList<TField *> &fields = m_model->Fields();
    QStringList texts;
    for (int c = 0; c < fields.size(); ++c)
        texts << m_model->windowRaw(windowRow, c);
    TDataSet *dataSet = m_model->DataSet();
    const RowOrder &order = m_model->order();
    const TField *field = fields.at(m_sortColumn);
    const QString &sorted = texts.at(m_sortColumn);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool fetched = true;
    while (fetched && !dataSet->FetchComplete() &&
           (order.count() == 0 ||
            order.compare(field->TextAt(order.row(order.count() - 1)), sorted) <= 0))
        fetched = fetchMore();
    QApplication::restoreOverrideCursor();
    for (int p = order.lowerBound(sorted); fetched && p < order.count(); ++p) {
        const int row = order.row(p);
        if (order.compare(field->TextAt(row), sorted) > 0)
            break;
        bool same = true;
        for (int c = 0; c < fields.size() && same; ++c)
            same = fields.at(c)->TextAt(row) == texts.at(c);
        if (same)
            return row;
    }
    return -1;
}

void SearchDialog::updateCount()
{
    const TDataSet *dataSet = m_model->DataSet();
    const int count = m_model->order().count();
    const bool complete = !dataSet || dataSet->FetchComplete();
    m_count->setText(QStringLiteral("%1%2 %3")
                         .arg(count)
                         .arg(complete ? QString() : QStringLiteral("+"))
                         .arg(count == 1 && complete ? QStringLiteral("registro")
                                                     : QStringLiteral("registros")));
}

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
    m_model->leaveWindow();
    const int current = CurrentRow();
    if (column != m_sortColumn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->reorder([&] {
            RowOrder &order = m_model->order();
            const int count = m_model->DataSet()->FetchedCount();
            if (!adoptIfSorted(fields.at(column), count)) {
                // A sort of the dialog's own needs every row.
                fetchAll();
                order.sortBy(fields.at(column), m_model->DataSet()->FetchedCount());
            }
        });
        QApplication::restoreOverrideCursor();
        m_sortColumn = column;
        m_search->clear();
    }
    m_view->horizontalHeader()->setSortIndicator(m_sortColumn, Qt::AscendingOrder);
    if (current >= 0)
        setCurrentPosition(m_model->order().position(current));
    updateCount();
}

bool SearchDialog::TypeAhead(const QString &text)
{
    if (m_sortColumn < 0 || text.isEmpty())
        return false;
    const TField *field = m_model->Fields().at(m_sortColumn);
    const QString prefix = EditMask(field->EditMask()).stripLiterals(text);
    const int position = m_model->order().find(field, prefix);
    if (position < 0)
        return seekBeyond(field, prefix);
    m_model->leaveWindow();
    setCurrentPosition(position);
    return true;
}

void SearchDialog::accept()
{
    const QModelIndex current = m_view->currentIndex();
    const int row =
        m_model->inWindow() && current.isValid() ? windowRow(current.row()) : CurrentRow();
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
