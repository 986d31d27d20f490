#include "DataModuleRegistry.h"

#include "ServerModule.h"
#include "jobs/ReportJobsModule.h"

namespace AppServer {

bool DataModuleRegistry::add(std::unique_ptr<DataModule> module)
{
    const std::string name = module->name();
    return m_modules.emplace(name, std::move(module)).second;
}

const DataModule *DataModuleRegistry::find(const std::string &name) const
{
    const auto it = m_modules.find(name);
    return it == m_modules.end() ? nullptr : it->second.get();
}

std::vector<std::string> DataModuleRegistry::names() const
{
    std::vector<std::string> list;
    for (const auto &entry : m_modules)
        list.push_back(entry.first);
    return list;
}

namespace {
// Filled while the program's static objects are built, before main().
std::vector<DataModuleFactory> &factories()
{
    static std::vector<DataModuleFactory> list;
    return list;
}
} // namespace

DataModuleRegistration::DataModuleRegistration(DataModuleFactory factory)
{
    factories().push_back(factory);
}

void registerDataModules(DataModuleRegistry &registry)
{
    registry.add(std::make_unique<ServerModule>());
    registry.add(std::make_unique<ReportJobsModule>());
    for (const DataModuleFactory factory : factories())
        registry.add(factory());
}

} // namespace AppServer
