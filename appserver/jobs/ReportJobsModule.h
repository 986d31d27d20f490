#pragma once

#include "DataModule.h"

namespace AppServer {

// The server's own module "Velmora.Relatorios": the clerk's reports sent to the background
// queue. Enfileirar, Listar, Situacao, Cancelar and ExecutarNovamente, each over the queue on
// the call's database connection and on the database workers (they write, and they are rare).
// A job of another owner is as unknown as one that never was.
class ReportJobsModule : public DataModule
{
public:
    ReportJobsModule();
};

} // namespace AppServer
