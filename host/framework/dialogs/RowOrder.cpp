#include "RowOrder.h"

#include "data/TDataSet.h"
#include "data/TField.h"
#include "rtl/DateConvert.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

inline char16_t fold(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    return QChar(c).toCaseFolded().unicode();
}

double dateKey(const TField *field, int row)
{
    const QVariant v = field->ValueAt(row);
    if (v.isNull())
        return -HUGE_VAL;
    if (v.metaType() == QMetaType::fromType<TDateTime>())
        return v.value<TDateTime>().value();
    if (v.metaType() == QMetaType::fromType<QDate>())
        return TDateTime::fromDate(v.toDate()).value();
    if (v.metaType() == QMetaType::fromType<QDateTime>())
        return TDateTime::fromDateTime(v.toDateTime()).value();
    bool number = false;
    const double d = v.toDouble(&number);
    if (number)
        return d;
    TDateTime date;
    return TryStrToDate(v.toString(), date) ? date.value() : -HUGE_VAL;
}

// Rows looked at after where a form of a typed text would be.
constexpr int FormScan = 200;

bool byDate(const TField *field)
{
    return field->DataKind() == TField::Kind::DateTime;
}

// Sorting a million texts by comparing them whole is slow (each comparison chases two
// strings through memory). Instead each round packs eight folded characters of every text
// from a depth into a 128-bit key, sorts the compact keys, and goes one round deeper only
// inside groups whose keys tie and whose texts go on past the key. The texts are read from
// the field once: reading a row through the dataset costs far more than the key itself.
struct Item
{
    quint64 high;
    quint64 low;
    int row;
    int more; // the text goes on past this round's eight characters
};

void keyOf(const QString &text, int depth, Item &item)
{
    quint64 parts[2] = {0, 0};
    const qsizetype size = text.size();
    const QChar *chars = text.constData();
    for (int k = 0; k < 8; ++k) {
        const int i = depth + k;
        const quint64 c = i < size ? fold(chars[i].unicode()) : 0;
        parts[k / 4] |= c << (48 - 16 * (k % 4));
    }
    item.high = parts[0];
    item.low = parts[1];
    item.more = size > depth + 8;
}

void sortTexts(const std::vector<QString> &texts, Item *begin, Item *end, int depth)
{
    for (Item *it = begin; it != end; ++it)
        keyOf(texts[it->row], depth, *it);
    std::sort(begin, end, [](const Item &a, const Item &b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return a.row < b.row;
    });
    for (Item *group = begin; group != end;) {
        Item *next = group + 1;
        bool more = group->more;
        while (next != end && next->high == group->high && next->low == group->low) {
            more = more || next->more;
            ++next;
        }
        // Texts that all end inside their keys are equal: the group is in row order already.
        if (next - group > 1 && more)
            sortTexts(texts, group, next, depth + 8);
        group = next;
    }
}

} // namespace

int RowOrder::compareFolded(QStringView a, QStringView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = fold(a.at(i).unicode()), y = fold(b.at(i).unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool RowOrder::startsWithFolded(QStringView text, QStringView prefix)
{
    return text.size() >= prefix.size() && compareFolded(text.left(prefix.size()), prefix) == 0;
}

void RowOrder::reset(int count)
{
    m_rows.clear();
    m_field = nullptr;
    m_compare = Compare::Folded;
    m_count = count;
}

void RowOrder::adopt(const TField *field, int count, Compare compare)
{
    m_rows.clear();
    m_field = field;
    m_compare = compare;
    m_count = count;
}

int RowOrder::compare(QStringView a, QStringView b) const
{
    return m_compare == Compare::Folded ? compareFolded(a, b) : a.compare(b);
}

int RowOrder::lowerBound(const QString &text) const
{
    int low = 0, high = m_count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (compare(m_field->TextAt(row(mid)), text) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

QStringList RowOrder::caseForms(const QString &text)
{
    QString words = text.toLower();
    for (qsizetype i = 0; i < words.size(); ++i)
        if (i == 0 || words.at(i - 1).isSpace())
            words[i] = words.at(i).toUpper();
    QString first = text;
    if (!first.isEmpty())
        first[0] = first.at(0).toUpper();
    QStringList all{text.toUpper(), words, first, text, text.toLower()};
    all.removeDuplicates();
    std::sort(all.begin(), all.end(), [](const QString &a, const QString &b) { return a < b; });
    return all;
}

bool RowOrder::accepts(int count) const
{
    return m_rows.empty() && count >= m_count &&
           (!m_field || isSorted(m_field, count, m_count, m_compare));
}

bool RowOrder::isSorted(const TField *field, int count, int from, Compare compare)
{
    const int start = qMax(1, from);
    if (byDate(field)) {
        double previous = count > 0 ? dateKey(field, start - 1) : 0;
        for (int r = start; r < count; ++r) {
            const double current = dateKey(field, r);
            if (current < previous)
                return false;
            previous = current;
        }
        return true;
    }
    QString previous = count > 0 ? field->TextAt(start - 1) : QString();
    for (int r = start; r < count; ++r) {
        QString current = field->TextAt(r);
        if ((compare == Compare::Folded ? compareFolded(previous, current)
                                        : QStringView(previous).compare(current)) > 0)
            return false;
        previous = std::move(current);
    }
    return true;
}

void RowOrder::sortBy(const TField *field, int count)
{
    m_field = field;
    m_compare = Compare::Folded;
    m_count = count;
    if (byDate(field)) {
        std::vector<std::pair<double, int>> keyed(count);
        for (int r = 0; r < count; ++r)
            keyed[r] = {dateKey(field, r), r};
        std::sort(keyed.begin(), keyed.end());
        m_rows.resize(count);
        for (int i = 0; i < count; ++i)
            m_rows[i] = keyed[i].second;
        return;
    }
    std::vector<QString> texts(count);
    std::vector<Item> items(count);
    for (int r = 0; r < count; ++r) {
        texts[r] = field->TextAt(r);
        items[r].row = r;
    }
    sortTexts(texts, items.data(), items.data() + count, 0);
    m_rows.resize(count);
    for (int i = 0; i < count; ++i)
        m_rows[i] = items[i].row;
}

int RowOrder::position(int row) const
{
    if (m_rows.empty())
        return row >= 0 && row < m_count ? row : -1;
    const auto it = std::find(m_rows.begin(), m_rows.end(), row);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
}

int RowOrder::find(const TField *field, const QString &prefix) const
{
    if (m_count == 0)
        return -1;
    if (prefix.isEmpty())
        return 0;
    if (field == m_field && !byDate(field)) {
        if (m_compare == Compare::Folded) {
            const int low = lowerBound(prefix);
            return low < m_count && startsWithFolded(field->TextAt(row(low)), prefix) ? low : -1;
        }
        // Case apart, the rows a prefix names lie where each of its forms would.
        for (const QString &form : caseForms(prefix)) {
            const int low = lowerBound(form);
            for (int p = low; p < m_count && p < low + FormScan; ++p)
                if (startsWithFolded(field->TextAt(row(p)), prefix))
                    return p;
        }
        return -1;
    }
    for (int p = 0; p < m_count; ++p)
        if (startsWithFolded(field->TextAt(row(p)), prefix))
            return p;
    return -1;
}
