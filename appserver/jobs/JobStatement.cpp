#include "JobStatement.h"

namespace AppServer::Jobs {

const Velmora::StoreTables queueTables{
    {QStringLiteral("RELATJOB"), QStringLiteral("RELATAGENDA")},
    QStringLiteral("As tabelas da fila de relatórios (RELATJOB, RELATAGENDA) não existem no banco "
                   "de dados %1: execute velmora-db upgrade.")};

} // namespace AppServer::Jobs
