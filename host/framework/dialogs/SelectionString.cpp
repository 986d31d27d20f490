#include "SelectionString.h"

namespace SelectionString {

QString Quote(const QString &key)
{
    QString quoted = key;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

void Append(QString &selection, const QString &key)
{
    if (!selection.isEmpty())
        selection += QLatin1Char(',');
    if (key.contains(QLatin1Char('\''))) {
        selection += Quote(key);
        return;
    }
    selection += QLatin1Char('\'');
    selection += key;
    selection += QLatin1Char('\'');
}

QString Format(const QStringList &keys)
{
    QString text;
    for (const QString &key : keys)
        Append(text, key);
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
            // Most keys hold no quote: take them whole.
            const qsizetype close = selection.indexOf(QLatin1Char('\''), i);
            if (close >= 0 && (close + 1 >= n || selection.at(close + 1) != QLatin1Char('\''))) {
                keys << selection.mid(i, close - i);
                i = close + 1;
                continue;
            }
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
