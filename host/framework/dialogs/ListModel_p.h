#pragma once

#include "DataSetModel.h"
#include "data/TDataSet.h"
#include "data/TField.h"

#include <QSet>
#include <QString>

#include <functional>
#include <vector>

// The rows the filter lets through, each with its check box in a leading column. Checks are
// kept per dataset row, so a row hidden by the filter keeps its mark. While the dataset's rows
// are still coming, what the clerk did to the whole list (check all, check what a filter shows,
// check keys) is kept as rules, and each row that arrives is checked as they say in their
// order; the filter lets arriving rows through as it would have.
class ListModel : public DataSetModel
{
public:
    ListModel(TDataSet *dataSet, TField *key, QObject *parent)
        : DataSetModel(dataSet, parent), m_key(key), m_total(dataSet ? dataSet->FetchedCount() : 0),
          m_checks(static_cast<size_t>(m_total), false)
    {
        setColumnOffset(1);
        if (dataSet) {
            QObject::connect(dataSet, &TDataSet::RowsArrived, this,
                             [this](int first, int count) { arrived(first, count); });
            QObject::connect(dataSet, &TDataSet::FetchFinished, this, [this] {
                m_rules.clear();
                notify();
            });
        }
    }

    std::function<void()> checksChanged;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        return m_filtered ? static_cast<int>(m_shown.size()) : m_total;
    }
    int DataSetRow(int modelRow) const override
    {
        return m_filtered ? m_shown[modelRow] : modelRow;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.isValid() && index.column() == 0 && role == Qt::CheckStateRole)
            return m_checks[DataSetRow(index.row())] ? Qt::Checked : Qt::Unchecked;
        return DataSetModel::data(index, role);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
            return false;
        set(DataSetRow(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        notify();
        return true;
    }

    int total() const { return m_total; }
    bool complete() const { return !DataSet() || DataSet()->FetchComplete(); }
    int checkedCount() const { return m_checked; }
    bool isChecked(int row) const { return row >= 0 && row < m_total && m_checks[row]; }
    void set(int row, bool on)
    {
        if (row < 0 || row >= m_total || m_checks[row] == on)
            return;
        m_checks[row] = on;
        m_checked += on ? 1 : -1;
    }
    void setAndShow(int row, bool on)
    {
        set(row, on);
        refreshChecks();
        notify();
    }
    void checkShown(bool on)
    {
        if (!m_filtered) {
            std::fill(m_checks.begin(), m_checks.end(), on);
            m_checked = on ? m_total : 0;
            m_rules.clear();
            keep({Rule::All, on, {}, {}});
        } else {
            for (const int row : m_shown)
                set(row, on);
            keep({Rule::Matching, on, m_filterText, {}});
        }
        refreshChecks();
        notify();
    }
    // Rows still to come whose key is one of keys arrive checked.
    void checkArriving(QSet<QString> keys)
    {
        if (!keys.isEmpty())
            keep({Rule::Keys, true, {}, std::move(keys)});
    }
    void refreshChecks()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }

    bool filtered() const { return m_filtered; }
    const QString &filterText() const { return m_filterText; }
    const std::vector<int> &shown() const { return m_shown; }
    void showAll()
    {
        beginResetModel();
        m_filtered = false;
        m_shown.clear();
        m_filterText.clear();
        endResetModel();
    }
    void showRows(std::vector<int> rows, const QString &text)
    {
        beginResetModel();
        m_filtered = true;
        m_shown = std::move(rows);
        m_filterText = text;
        endResetModel();
    }
    bool matches(int row, const QString &text) const
    {
        for (int c = 0; c < Fields().size(); ++c) {
            const QString value = Fields().at(c)->TextAt(row);
            if (value.contains(text, Qt::CaseInsensitive))
                return true;
            // "12.345" finds the raw "12345678000195" of a field shown through a mask.
            if (!Mask(c).isEmpty()) {
                const QString bare = Mask(c).stripLiterals(text);
                if (!bare.isEmpty() && bare != text && value.contains(bare, Qt::CaseInsensitive))
                    return true;
            }
        }
        return false;
    }

private:
    struct Rule
    {
        enum Kind { All, Matching, Keys } kind;
        bool on;
        QString text;
        QSet<QString> keys;
    };

    void keep(Rule rule)
    {
        if (!complete())
            m_rules.push_back(std::move(rule));
    }

    bool applies(const Rule &rule, int row) const
    {
        switch (rule.kind) {
        case Rule::All:
            return true;
        case Rule::Matching:
            return matches(row, rule.text);
        case Rule::Keys:
            return m_key && rule.keys.contains(m_key->TextAt(row));
        }
        return false;
    }

    void arrived(int first, int count)
    {
        const int end = first + count;
        if (first != m_total || count <= 0)
            return;
        if (!m_filtered)
            beginInsertRows({}, first, end - 1);
        m_total = end;
        m_checks.resize(static_cast<size_t>(end), false);
        std::vector<int> passing;
        for (int r = first; r < end; ++r) {
            bool on = false;
            for (const Rule &rule : m_rules)
                if (applies(rule, r))
                    on = rule.on;
            set(r, on);
            if (m_filtered && matches(r, m_filterText))
                passing.push_back(r);
        }
        if (!m_filtered) {
            endInsertRows();
        } else if (!passing.empty()) {
            const int from = static_cast<int>(m_shown.size());
            beginInsertRows({}, from, from + static_cast<int>(passing.size()) - 1);
            m_shown.insert(m_shown.end(), passing.begin(), passing.end());
            endInsertRows();
        }
        notify();
    }

    void notify()
    {
        if (checksChanged)
            checksChanged();
    }

    TField *m_key = nullptr;
    int m_total = 0;
    int m_checked = 0;
    std::vector<bool> m_checks;
    std::vector<int> m_shown;
    std::vector<Rule> m_rules;
    QString m_filterText;
    bool m_filtered = false;
};
