#pragma once

#include <QString>

// Brazilian legal registration numbers with their check digits (modulo 11).
namespace Velmora::Db {

// The 14-digit CNPJ of a company: an 8-digit root, a 4-digit establishment, two check digits.
QString Cnpj(quint32 root, quint16 establishment);
// The 11-digit CPF of a person: a 9-digit base and two check digits.
QString Cpf(quint32 base);
// Whether the text is a CNPJ (14 digits) or a CPF (11 digits) with the right check digits.
bool ValidCnpj(const QString &digits);
bool ValidCpf(const QString &digits);

} // namespace Velmora::Db
