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

// Registers every data module of this server.
void registerDataModules(DataModuleRegistry &registry);

} // namespace AppServer
