#pragma once

#include "DataSetModel.h"
#include "RowOrder.h"
#include "data/TDataSet.h"
#include "data/TField.h"

#include <functional>
#include <memory>

// The search dialog's rows: the dataset's in the dialog's order, or, for a while, a window of
// rows asked of the database past those at hand.
class SearchModel : public DataSetModel
{
public:
    explicit SearchModel(TDataSet *dataSet, QObject *parent) : DataSetModel(dataSet, parent) {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        return m_window ? m_window->FetchedCount() : m_order.count();
    }
    int DataSetRow(int modelRow) const override { return m_window ? -1 : m_order.row(modelRow); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!m_window || !index.isValid() || role != Qt::DisplayRole)
            return DataSetModel::data(index, role);
        return windowText(index.row(), index.column());
    }

    // Rows asked of the database past those at hand, shown instead of them until the rows
    // arrive that far.
    bool inWindow() const { return m_window != nullptr; }
    void showWindow(std::unique_ptr<TDataSet> window)
    {
        beginResetModel();
        m_window = std::move(window);
        m_windowFields.clear();
        for (const TField *field : Fields())
            m_windowFields << m_window->FindField(field->FieldName());
        endResetModel();
    }
    void leaveWindow()
    {
        if (!m_window)
            return;
        beginResetModel();
        m_window.reset();
        m_windowFields.clear();
        endResetModel();
    }
    QString windowText(int row, int column) const
    {
        const TField *field = m_windowFields.value(column);
        if (!field)
            return {};
        const QString text = field->TextAt(row);
        return Mask(column).isEmpty() ? text : Mask(column).format(text);
    }
    QString windowRaw(int row, int column) const
    {
        const TField *field = m_windowFields.value(column);
        return field ? field->TextAt(row) : QString();
    }

    RowOrder &order() { return m_order; }
    void reorder(const std::function<void()> &change)
    {
        // Rows that arrive while the order is made are in it already.
        m_reordering = true;
        beginResetModel();
        change();
        endResetModel();
        m_reordering = false;
    }
    bool reordering() const { return m_reordering; }
    void extend(int count)
    {
        if (m_window) {
            m_order.extend(count);
            return;
        }
        beginInsertRows({}, m_order.count(), count - 1);
        m_order.extend(count);
        endInsertRows();
    }

private:
    RowOrder m_order;
    std::unique_ptr<TDataSet> m_window;
    QList<const TField *> m_windowFields;
    bool m_reordering = false;
};
