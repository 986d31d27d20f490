#pragma once

#include "ModuleEnvironment.h"

// The module these tests run.
inline ModuleSpec Fis01400Module()
{
    return {QStringLiteral("fis01400"), QStringLiteral(FIS01400_LAYOUTS),
            QStringLiteral("Fis01400.rdmDocForne")};
}
