#pragma once

#include "DataModule.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace AppServer {

// The data modules this server hosts, by name. A name is registered once; the registry owns
// the modules. Filled at start, before the first request, and read-only afterwards.
class DataModuleRegistry
{
public:
    // False (and the module dropped) when the name is taken.
    bool add(std::unique_ptr<DataModule> module);
    const DataModule *find(const std::string &name) const;
    std::vector<std::string> names() const;

private:
    std::map<std::string, std::unique_ptr<DataModule>> m_modules;
};

// A module's data modules come with the module: one of its sources registers each with
// VELMORA_DATA_MODULE(Class), and the server builds them when it starts. The core names no
// module; a module is served by adding its server part to velmora_server_modules (CMake).
using DataModuleFactory = std::unique_ptr<DataModule> (*)();

struct DataModuleRegistration
{
    explicit DataModuleRegistration(DataModuleFactory factory);
};

// Builds the server's own module and every module that registered itself.
void registerDataModules(DataModuleRegistry &registry);

} // namespace AppServer

// At namespace scope, after the class is complete.
#define VELMORA_DATA_MODULE(Class)                                                                 \
    namespace {                                                                                    \
    const ::AppServer::DataModuleRegistration registration##Class(                                 \
        []() -> std::unique_ptr<::AppServer::DataModule> { return std::make_unique<Class>(); });   \
    }
