#include "ServerModule.h"

#include "DataPacket.h"

namespace AppServer {

ServerModule::ServerModule() : DataModule("Velmora.Servidor")
{
    addMethod(
        {"Ping", {}, [](const Arguments &, DatabaseAccess &) { return DataPacket({}).toJson(); }});
}

} // namespace AppServer
