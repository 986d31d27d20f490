#pragma once

#include "DataModule.h"

namespace AppServer::Jobs {

// "Velmora.Agendas": the clerk's schedules of a report from a saved parameter set.
//   Agendar(tela, dono, variante, formato, frequencia, dia, hora, relatorio, leiaute, versao,
//           parametros, periodo, inicio, fim) -> CDAGENDA
//   ListarAgendas(dono) -> CDAGENDA, CDTELA, NMVARIANTE, DSFORMATO, IDFREQUENCIA, NRDIA, HRHORA,
//                          DTCRIACAO, DTULTIMA (null until an occurrence was queued)
//   RemoverAgenda(cdagenda, dono) -> CDAGENDA
// Every parameter is a text; a refusal is an RpcError in the clerk's words, and another
// owner's schedule is one that does not exist.
class ScheduleModule : public DataModule
{
public:
    ScheduleModule();
};

} // namespace AppServer::Jobs
