#include "Services.h"

#include "GuiServices.h"

namespace Velmora {

namespace {
Services *installed = nullptr;
}

Services::~Services() = default;

Services &Services::current()
{
    if (installed)
        return *installed;
    static GuiServices gui;
    return gui;
}

void Services::install(Services *services)
{
    installed = services;
}

} // namespace Velmora
