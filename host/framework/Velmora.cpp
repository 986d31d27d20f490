#include "Velmora.h"

#include "rtl/Settings.h"

namespace Velmora {

int WebPort()
{
    return settings().serverPort;
}

QString WebURL()
{
    return settings().serverHost;
}

} // namespace Velmora
