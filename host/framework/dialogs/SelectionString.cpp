#include "SelectionString.h"

namespace SelectionString {

QString Quote(const QString &key)
{
    QString quoted = key;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString Format(const QStringList &keys)
{
    QString text;
    for (const QString &key : keys) {
        if (!text.isEmpty())
            text += QLatin1Char(',');
        text += Quote(key);
    }
    return text;
}

QStringList Parse(const QString &selection)
{
    QStringList keys;
    const qsizetype n = selection.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (selection.at(i).isSpace() || selection.at(i) == QLatin1Char(',')))
            ++i;
        if (i >= n)
            break;
        QString key;
        if (selection.at(i) == QLatin1Char('\'')) {
            ++i;
            while (i < n) {
                if (selection.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && selection.at(i + 1) == QLatin1Char('\'')) {
                        key += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                key += selection.at(i++);
            }
        } else {
            while (i < n && selection.at(i) != QLatin1Char(','))
                key += selection.at(i++);
            key = key.trimmed();
        }
        keys << key;
    }
    return keys;
}

} // namespace SelectionString
