#include "ServerModule.h"

#include "DataPacket.h"

namespace AppServer {

ServerModule::ServerModule() : DataModule("Velmora.Servidor")
{
    const auto empty = std::make_shared<const PacketLayout>(std::vector<PacketField>{});
    addMethod(
        {"Ping", {}, [empty](const Arguments &, DatabaseAccess &) { return DataPacket(empty); }});
}

} // namespace AppServer
