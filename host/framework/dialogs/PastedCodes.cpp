#include "PastedCodes.h"

#include <QRegularExpression>
#include <QSet>

namespace PastedCodes {

namespace {

const QRegularExpression &separators()
{
    static const QRegularExpression re(QStringLiteral("[\\r\\n\\t;,]+"));
    return re;
}

QString unquoted(QString code)
{
    while (code.size() >= 2 &&
           (code.startsWith(QLatin1Char('\'')) || code.startsWith(QLatin1Char('"'))) &&
           code.endsWith(code.at(0)))
        code = code.mid(1, code.size() - 2).trimmed();
    return code;
}

} // namespace

QList<Code> Split(const QString &pasted)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QList<Code> codes;
    QSet<QString> seen;
    for (const QString &piece : pasted.split(separators(), Qt::SkipEmptyParts)) {
        const QString text = unquoted(piece.trimmed());
        if (text.isEmpty() || seen.contains(text))
            continue;
        seen.insert(text);
        Code code{text, {}};
        const QStringList words = text.split(blanks, Qt::SkipEmptyParts);
        if (words.size() > 1)
            for (const QString &word : words)
                if (const QString bare = unquoted(word); !bare.isEmpty())
                    code.words << bare;
        codes << code;
    }
    return codes;
}

bool IsList(const QString &pasted)
{
    // A spreadsheet's copy ends its cells with a tab or a line end, even a single cell's.
    for (const QChar c : pasted)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            return true;
    int pieces = 0;
    for (const QString &piece : pasted.split(separators(), Qt::SkipEmptyParts))
        if (!piece.trimmed().isEmpty() && ++pieces > 1)
            return true;
    return false;
}

bool IsDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString BareDigits(const QString &code)
{
    QString bare;
    bare.reserve(code.size());
    for (const QChar c : code) {
        if (c.isPunct() || c.isSymbol() || c.isSpace())
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
        bare += c;
    }
    return bare;
}

} // namespace PastedCodes
