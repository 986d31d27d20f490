#pragma once

#include "DataModule.h"

namespace AppServer {

// The server's own module, "Velmora.Servidor". Its method Ping answers an empty packet without
// touching the database: a monitor's liveness probe, and the measure of the HTTP stack alone.
class ServerModule : public DataModule
{
public:
    ServerModule();
};

} // namespace AppServer
