#pragma once

#include "framework_global.h"

#include <QList>
#include <QString>

// The edit-mask notation of the business screens: "pattern;save;blank".
//
// The pattern holds input positions and literals. Input positions: "0" a digit (required),
// "9" a digit (optional), "#" a digit or sign (optional), "L"/"l" a letter (required/
// optional), "A"/"a" a letter or digit, "C"/"c" any character. Directives, which take no
// position: a "!" makes unfilled optional positions count as leading blanks (the value drops
// them at its front; without it they are trailing blanks, dropped at its end); ">" turns what
// follows to upper case, "<" to lower case, "<>" leaves the case alone; "\" makes the next
// character a literal. "/" stands for the date separator, "_" for a literal blank; any other
// character is a literal.
// The second field is "0" when literals are not stored in the value (anything else stores
// them); the third is the character shown in an unfilled position ("_" by default).
//
// The mask works on the display text: one character per pattern position, literals in
// place, the blank character where nothing was typed. The value is what the field holds.
class VELMORA_FRAMEWORK_EXPORT EditMask
{
public:
    EditMask() = default;
    explicit EditMask(const QString &mask);

    bool isEmpty() const { return m_cells.isEmpty(); }
    QString mask() const { return m_mask; }
    bool savesLiterals() const { return m_saveLiterals; }
    QChar blank() const { return m_blank; }
    bool leadingBlanks() const { return m_leadingBlanks; }
    // Display length, and how many of its positions take input.
    int length() const { return static_cast<int>(m_cells.size()); }
    int inputCount() const { return m_inputCount; }

    // The display with nothing filled.
    QString emptyDisplay() const;
    // The display of a value written by code.
    QString displayOf(const QString &value, int maxFilled = 0) const;
    // The value a display holds; empty when no position is filled.
    QString valueOf(const QString &display) const;
    // True when every required position is filled, or none is.
    bool isComplete(const QString &display) const;
    // Where typing goes on: the input position after the last filled one.
    int editStart(const QString &display) const;

    // A value shown through the mask for reading (dialogs, lists). A value that does not fit
    // the pattern exactly comes back as it is: better plain than garbled.
    QString format(const QString &value) const;
    bool fits(const QString &value) const;
    // Text typed to search a value: without the mask's literals when the value lacks them.
    QString stripLiterals(const QString &typed) const;

    struct Edit
    {
        QString display;
        int cursor = 0;
        bool accepted = true; // false when the pattern refused everything typed
    };
    // Typing text at a cursor position; refused characters are dropped.
    Edit type(const QString &display, int cursor, const QString &text, int maxFilled = 0) const;
    // Emptying the input positions in [from, to).
    Edit erase(const QString &display, int from, int to) const;
    // Turns the text a plain line edit made of the display (an insertion, a deletion, a
    // replaced selection, a paste) into the masked edit of that display.
    Edit apply(const QString &before, const QString &after, int cursorAfter,
               int maxFilled = 0) const;

private:
    enum class Case { Keep, Upper, Lower };
    struct Cell
    {
        QChar ch;           // the literal, or the pattern character of an input position
        bool input = false; // an input position
        bool required = false;
        Case letterCase = Case::Keep;
    };

    bool accepts(const Cell &cell, QChar c) const;
    QChar cased(const Cell &cell, QChar c) const;
    bool filled(const QString &display, int i) const;
    int filledCount(const QString &display) const;
    int nextInput(int from) const;

    QString m_mask;
    QList<Cell> m_cells;
    int m_inputCount = 0;
    QChar m_blank = QLatin1Char('_');
    bool m_saveLiterals = true;
    bool m_leadingBlanks = false;
};
