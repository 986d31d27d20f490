#include "EditMask.h"

#include "rtl/DateConvert.h"

namespace {

QChar dateSeparator()
{
    for (const QChar c : FormatSettings::ShortDateFormat())
        if (!c.isLetterOrNumber() && !c.isSpace())
            return c;
    return QLatin1Char('/');
}

// Splits "pattern;save;blank" at the semicolons that no backslash escapes.
QStringList fieldsOf(const QString &mask)
{
    QStringList fields{QString()};
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            fields.last() += c;
            fields.last() += mask.at(++i);
        } else if (c == QLatin1Char(';') && fields.size() < 3) {
            fields << QString();
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

bool isInputChar(QChar c)
{
    return QStringLiteral("09#LlAaCc").contains(c);
}

} // namespace

EditMask::EditMask(const QString &mask) : m_mask(mask)
{
    const QStringList fields = fieldsOf(mask);
    const QString pattern = fields.value(0);
    if (fields.size() > 1)
        m_saveLiterals = fields.at(1) != QLatin1String("0");
    if (fields.size() > 2 && !fields.at(2).isEmpty())
        m_blank = fields.at(2).at(0);

    Case letterCase = Case::Keep;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        Cell cell;
        if (c == QLatin1Char('!')) {
            m_leadingBlanks = true;
            continue;
        }
        if (c == QLatin1Char('<') && i + 1 < pattern.size() &&
            pattern.at(i + 1) == QLatin1Char('>')) {
            letterCase = Case::Keep;
            ++i;
            continue;
        }
        if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            letterCase = c == QLatin1Char('>') ? Case::Upper : Case::Lower;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            cell.ch = pattern.at(++i);
        } else if (isInputChar(c)) {
            cell.ch = c;
            cell.input = true;
            cell.required = QStringLiteral("0LAC").contains(c);
            cell.letterCase = letterCase;
            ++m_inputCount;
        } else if (c == QLatin1Char('/')) {
            cell.ch = dateSeparator();
        } else if (c == QLatin1Char('_')) {
            cell.ch = QLatin1Char(' ');
        } else {
            cell.ch = c;
        }
        m_cells << cell;
    }
}

bool EditMask::accepts(const Cell &cell, QChar c) const
{
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    switch (cell.ch.unicode()) {
    case '0':
    case '9':
        return digit;
    case '#':
        return digit || c == QLatin1Char('+') || c == QLatin1Char('-');
    case 'L':
    case 'l':
        return c.isLetter();
    case 'A':
    case 'a':
        return c.isLetterOrNumber();
    default:
        return c.isPrint();
    }
}

QChar EditMask::cased(const Cell &cell, QChar c) const
{
    switch (cell.letterCase) {
    case Case::Upper:
        return c.toUpper();
    case Case::Lower:
        return c.toLower();
    case Case::Keep:
        break;
    }
    return c;
}

bool EditMask::filled(const QString &display, int i) const
{
    return i < display.size() && display.at(i) != m_blank;
}

int EditMask::filledCount(const QString &display) const
{
    int count = 0;
    for (int i = 0; i < length(); ++i)
        count += m_cells.at(i).input && filled(display, i) ? 1 : 0;
    return count;
}

int EditMask::nextInput(int from) const
{
    int i = qMax(0, from);
    while (i < length() && !m_cells.at(i).input)
        ++i;
    return i;
}

QString EditMask::emptyDisplay() const
{
    QString display(length(), m_blank);
    for (int i = 0; i < length(); ++i)
        if (!m_cells.at(i).input)
            display[i] = m_cells.at(i).ch;
    return display;
}

QString EditMask::stripLiterals(const QString &typed) const
{
    if (m_saveLiterals)
        return typed;
    QString stripped;
    for (const QChar c : typed) {
        bool literal = false;
        for (const Cell &cell : m_cells)
            literal = literal || (!cell.input && cell.ch == c);
        if (!literal)
            stripped += c;
    }
    return stripped;
}

QString EditMask::displayOf(const QString &value, int maxFilled) const
{
    QString display = emptyDisplay();
    if (value.isEmpty())
        return display;
    if (m_saveLiterals) {
        // With "!" the value left out its unfilled positions at the front (valueOf): a value
        // short by only such positions stands at the right, so it reads back as it was.
        int first = 0;
        if (m_leadingBlanks && value.size() < length()) {
            const int missing = length() - static_cast<int>(value.size());
            while (first < missing && m_cells.at(first).input)
                ++first;
            if (first < missing)
                first = 0;
        }
        int j = 0;
        for (int i = first; i < length(); ++i) {
            const Cell &cell = m_cells.at(i);
            if (!cell.input) {
                if (j < value.size() && value.at(j) == cell.ch)
                    ++j;
                continue;
            }
            while (j < value.size()) {
                const QChar c = value.at(j);
                if (c == QLatin1Char(' ') || c == m_blank) {
                    ++j;
                    break;
                }
                if (accepts(cell, c)) {
                    display[i] = cased(cell, c);
                    ++j;
                    break;
                }
                // A separator typed early ("1/5/2024") leaves the rest of its part empty.
                bool literalAhead = false;
                for (int k = i + 1; k < length() && !literalAhead; ++k)
                    literalAhead = !m_cells.at(k).input && m_cells.at(k).ch == c;
                if (literalAhead)
                    break;
                ++j;
            }
        }
        return display;
    }

    QString v = value.size() > m_inputCount ? stripLiterals(value) : value;
    if (maxFilled > 0 && v.size() > maxFilled)
        v.truncate(maxFilled);
    if (v.size() > m_inputCount)
        v.truncate(m_inputCount);
    QList<int> inputs;
    for (int i = 0; i < length(); ++i)
        if (m_cells.at(i).input)
            inputs << i;
    // With "!" a short value stands at the right, its missing positions in front.
    const int start = m_leadingBlanks ? m_inputCount - static_cast<int>(v.size()) : 0;
    for (int k = 0; k < v.size(); ++k) {
        const int i = inputs.at(start + k);
        const QChar c = v.at(k);
        if (c != QLatin1Char(' ') && c != m_blank && accepts(m_cells.at(i), c))
            display[i] = cased(m_cells.at(i), c);
    }
    return display;
}

QString EditMask::valueOf(const QString &display) const
{
    if (filledCount(display) == 0)
        return QString::fromLatin1("");
    if (!m_saveLiterals) {
        // Unfilled positions count as blanks at the front ("!") or at the end, and the value
        // drops them there: what is left is what was typed, in its order.
        QString value;
        for (int i = 0; i < length(); ++i)
            if (m_cells.at(i).input && filled(display, i))
                value += display.at(i);
        return value;
    }
    int first = 0, last = length() - 1;
    if (m_leadingBlanks)
        while (first <= last && m_cells.at(first).input && !filled(display, first))
            ++first;
    else
        while (last >= first && m_cells.at(last).input && !filled(display, last))
            --last;
    QString value;
    for (int i = first; i <= last; ++i) {
        if (!m_cells.at(i).input)
            value += m_cells.at(i).ch;
        else
            value += filled(display, i) ? display.at(i) : QLatin1Char(' ');
    }
    return value;
}

bool EditMask::isComplete(const QString &display) const
{
    if (filledCount(display) == 0)
        return true;
    for (int i = 0; i < length(); ++i)
        if (m_cells.at(i).input && m_cells.at(i).required && !filled(display, i))
            return false;
    return true;
}

int EditMask::editStart(const QString &display) const
{
    int last = -1;
    for (int i = 0; i < length(); ++i)
        if (m_cells.at(i).input && filled(display, i))
            last = i;
    return nextInput(last + 1);
}

bool EditMask::fits(const QString &value) const
{
    if (isEmpty())
        return false;
    if (m_saveLiterals) {
        if (value.size() != length())
            return false;
        for (int i = 0; i < length(); ++i) {
            const Cell &cell = m_cells.at(i);
            if (cell.input ? !accepts(cell, value.at(i)) : value.at(i) != cell.ch)
                return false;
        }
        return true;
    }
    if (value.size() != m_inputCount)
        return false;
    int k = 0;
    for (const Cell &cell : m_cells)
        if (cell.input && !accepts(cell, value.at(k++)))
            return false;
    return true;
}

QString EditMask::format(const QString &value) const
{
    if (!fits(value))
        return value;
    if (m_saveLiterals) {
        QString shown = value;
        for (int i = 0; i < length(); ++i)
            shown[i] = cased(m_cells.at(i), value.at(i));
        return shown;
    }
    QString shown = emptyDisplay();
    int k = 0;
    for (int i = 0; i < length(); ++i)
        if (m_cells.at(i).input)
            shown[i] = cased(m_cells.at(i), value.at(k++));
    return shown;
}

EditMask::Edit EditMask::type(const QString &display, int cursor, const QString &text,
                              int maxFilled) const
{
    Edit edit{display, qBound(0, cursor, length()), text.isEmpty()};
    for (const QChar c : text) {
        int &pos = edit.cursor;
        if (pos < length() && !m_cells.at(pos).input) {
            // At a literal: typing one of the literals here moves past it; anything else
            // goes to the next input position.
            int k = pos;
            while (k < length() && !m_cells.at(k).input && m_cells.at(k).ch != c)
                ++k;
            if (k < length() && !m_cells.at(k).input) {
                pos = nextInput(k + 1);
                edit.accepted = true;
                continue;
            }
            pos = nextInput(pos);
        } else {
            // The literal just skipped over, typed by habit ("12/05"): nothing to do.
            bool skipped = false;
            for (int k = pos - 1; k >= 0 && !m_cells.at(k).input && !skipped; --k)
                skipped = m_cells.at(k).ch == c;
            if (skipped) {
                edit.accepted = true;
                continue;
            }
        }
        if (pos >= length() || !accepts(m_cells.at(pos), c))
            continue;
        if (maxFilled > 0 && !filled(edit.display, pos) && filledCount(edit.display) >= maxFilled)
            continue;
        edit.display[pos] = cased(m_cells.at(pos), c);
        pos = nextInput(pos + 1);
        edit.accepted = true;
    }
    return edit;
}

EditMask::Edit EditMask::erase(const QString &display, int from, int to) const
{
    Edit edit{display, qBound(0, from, length()), true};
    for (int i = qMax(0, from); i < qMin(to, length()); ++i)
        if (m_cells.at(i).input)
            edit.display[i] = m_blank;
    return edit;
}

EditMask::Edit EditMask::apply(const QString &before, const QString &after, int cursorAfter,
                               int maxFilled) const
{
    const int nb = static_cast<int>(before.size());
    const int na = static_cast<int>(after.size());
    if (after == before)
        return {before, qBound(0, cursorAfter, length()), true};
    const int suffix = na - cursorAfter;
    if (nb != length() || cursorAfter < 0 || suffix < 0 || suffix > nb ||
        QStringView(before).right(suffix) != QStringView(after).right(suffix)) {
        // Not an edit of the display: the whole text is new.
        if (na == length()) {
            Edit edit{emptyDisplay(), qBound(0, cursorAfter, length()), true};
            for (int i = 0; i < length(); ++i)
                if (m_cells.at(i).input && accepts(m_cells.at(i), after.at(i)) &&
                    after.at(i) != m_blank)
                    edit.display[i] = cased(m_cells.at(i), after.at(i));
            return edit;
        }
        return type(emptyDisplay(), 0, after, maxFilled);
    }
    const int limit = qMin(cursorAfter, nb - suffix);
    int prefix = 0;
    while (prefix < limit && before.at(prefix) == after.at(prefix))
        ++prefix;
    const QString inserted = after.mid(prefix, cursorAfter - prefix);
    const Edit erased = erase(before, prefix, nb - suffix);
    if (inserted.isEmpty())
        return erased;
    const Edit typed = type(erased.display, prefix, inserted, maxFilled);
    if (!typed.accepted)
        return {before, prefix, false};
    return typed;
}
