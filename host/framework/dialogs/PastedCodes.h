#pragma once

#include "framework/framework_global.h"

#include <QString>
#include <QStringList>

// Codes as a clerk pastes them into the list dialog: one per line (a column copied from a
// spreadsheet, with \r\n line ends and blank lines), or separated by tabs, semicolons or
// commas; each trimmed and without the quotes around it, repeats dropped.
namespace PastedCodes {

struct Code
{
    QString text;      // as pasted, as the dialog names it when it is not found
    QStringList words; // its blank-separated words when it has several ("001 002 003")
};

VELMORA_FRAMEWORK_EXPORT QList<Code> Split(const QString &pasted);
// Whether a text is a list of codes to check rather than a text to filter by: it holds a
// line end or a tab (a spreadsheet's copy), or more than one code.
VELMORA_FRAMEWORK_EXPORT bool IsList(const QString &pasted);
// The code without its punctuation and blanks when that leaves digits only
// ("12.204.179/0001-88" gives "12204179000188"); empty otherwise.
VELMORA_FRAMEWORK_EXPORT QString BareDigits(const QString &code);
VELMORA_FRAMEWORK_EXPORT bool IsDigits(const QString &text);

} // namespace PastedCodes
