#pragma once

#include "DataModule.h"

namespace AppServer {

// "Fis01400.rdmDocForne": the reporting periods of the screen "Documentos por Fornecedor", read
// from the assessment maps (MAPAAPURACAO) of a company, registration and tax. The registration
// is the empty text for a tax collected without one.
//
//   GetDtIni(company, registration, tax)             every map, newest first
//   GetDtFim(company, registration, date, tax)       maps ending on or after the date, by end
//   GetVdDataIni(company, registration, date, tax)   maps whose period holds the date
//   GetVdDataFinal(company, registration, date, tax) the same, answered with the period's end
//
// Date texts follow the settings' short date format.
class RdmDocForne : public DataModule
{
public:
    RdmDocForne();
};

} // namespace AppServer
