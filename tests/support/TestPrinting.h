#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <ostream>

// Readable texts in GoogleTest's failure output.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QJsonObject &object, std::ostream *os)
{
    *os << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
