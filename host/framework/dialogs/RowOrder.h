#pragma once

#include "framework/framework_global.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

class TField;

// The order in which a dialog shows a dataset's rows: the dataset's own order, or sorted by
// one field; and the search for typed text in the sorted field. Texts compare by their
// case-folded characters, so the sort, the check of the dataset's own order and the search
// agree; a dataset the database ordered by the texts' characters as stored (case apart) is
// kept in that order, and searched as such. Date fields sort by their date. Nothing copies
// the dataset: the order holds row numbers and reads texts through the field.
class VELMORA_FRAMEWORK_EXPORT RowOrder
{
public:
    enum class Compare { Folded, Exact };

    // The dataset's own order over count rows, sorted by no field.
    void reset(int count);
    // The dataset's own order, known to be sorted by field.
    void adopt(const TField *field, int count, Compare compare = Compare::Folded);
    // Sorts by field, rows of equal text in the dataset's order.
    void sortBy(const TField *field, int count);
    // Whether rows arrived up to count keep the order: it is the dataset's own, and they
    // follow its field's order. Then extend takes them.
    bool accepts(int count) const;
    void extend(int count) { m_count = count; }

    int count() const { return m_count; }
    const TField *sortField() const { return m_field; }
    Compare comparison() const { return m_compare; }
    // Compares two texts as the order does.
    int compare(QStringView a, QStringView b) const;
    // The first position whose text in the sorted field is not before text.
    int lowerBound(const QString &text) const;
    // The forms of a typed text to look for where case counts, in the order of their
    // characters: capitals, each word capitalized, the first letter only, as typed, small
    // letters.
    static QStringList caseForms(const QString &text);
    // The dataset row shown at a position, and back.
    int row(int position) const { return m_rows.empty() ? position : m_rows[position]; }
    int position(int row) const;

    // The first position whose text in field starts with prefix, or -1. A binary search
    // when the order is sorted by that text field; a scan otherwise.
    int find(const TField *field, const QString &prefix) const;

    // Whether the dataset's own order is sorted by field from row from on, that row after the
    // one before it (stops at the first row out of order).
    static bool isSorted(const TField *field, int count, int from = 0,
                         Compare compare = Compare::Folded);
    static int compareFolded(QStringView a, QStringView b);
    static bool startsWithFolded(QStringView text, QStringView prefix);

private:
    std::vector<int> m_rows; // empty: the dataset's own order
    const TField *m_field = nullptr;
    Compare m_compare = Compare::Folded;
    int m_count = 0;
};
