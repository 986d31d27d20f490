#pragma once

#include <QString>

// The screen's messages as the user reads them, for the tests to expect.
namespace ScreenMessages {

inline const QString taxInf = QStringLiteral("Imposto deve ser informado.");
inline const QString taxCad = QStringLiteral("Imposto não cadastrado.");
inline const QString companyInf = QStringLiteral("Empresa deve ser informada.");
inline const QString companyCad = QStringLiteral("Empresa não cadastrada.");
inline const QString stateInf = QStringLiteral("Inscrição Estadual deve ser informada.");
inline const QString stateCad = QStringLiteral("Inscrição estadual não cadastrada.");
inline const QString cityInf = QStringLiteral("Inscrição Municipal deve ser informada.");
inline const QString cityCad = QStringLiteral("Inscrição Municipal não cadastrada.");
inline const QString initialInf = QStringLiteral("Data inicial deve ser informada.");
inline const QString order = QStringLiteral("Data inicial deve ser menor ou igual à data final.");
inline const QString noMap = QStringLiteral("Não existe mapa de apuração para a data informada.");
inline const QString supplierInf = QStringLiteral("Fornecedor deve ser informado.");
inline const QString branchInf = QStringLiteral("Filial de Origem deve ser informado.");

} // namespace ScreenMessages
