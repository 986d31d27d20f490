#pragma once

#include <QString>

#include <ostream>

// Readable texts in GoogleTest's failure output.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
