#include "Documents.h"

namespace Velmora::Db {

namespace {

int checkDigit(const QString &digits, const int *weights, int count)
{
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += digits.at(i).digitValue() * weights[i];
    const int rest = sum % 11;
    return rest < 2 ? 0 : 11 - rest;
}

bool allDigits(const QString &text, int size)
{
    if (text.size() != size)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool allSame(const QString &text)
{
    return text.count(text.at(0)) == text.size();
}

const int cnpjFirst[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
const int cnpjSecond[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
const int cpfFirst[] = {10, 9, 8, 7, 6, 5, 4, 3, 2};
const int cpfSecond[] = {11, 10, 9, 8, 7, 6, 5, 4, 3, 2};

QString withCnpjDigits(QString base)
{
    base += QString::number(checkDigit(base, cnpjFirst, 12));
    base += QString::number(checkDigit(base, cnpjSecond, 13));
    return base;
}

QString withCpfDigits(QString base)
{
    base += QString::number(checkDigit(base, cpfFirst, 9));
    base += QString::number(checkDigit(base, cpfSecond, 10));
    return base;
}

} // namespace

QString Cnpj(quint32 root, quint16 establishment)
{
    return withCnpjDigits(QStringLiteral("%1%2")
                              .arg(root % 100000000u, 8, 10, QLatin1Char('0'))
                              .arg(establishment % 10000u, 4, 10, QLatin1Char('0')));
}

QString Cpf(quint32 base)
{
    return withCpfDigits(QStringLiteral("%1").arg(base % 1000000000u, 9, 10, QLatin1Char('0')));
}

bool ValidCnpj(const QString &digits)
{
    return allDigits(digits, 14) && !allSame(digits) && withCnpjDigits(digits.left(12)) == digits;
}

bool ValidCpf(const QString &digits)
{
    return allDigits(digits, 11) && !allSame(digits) && withCpfDigits(digits.left(9)) == digits;
}

} // namespace Velmora::Db
