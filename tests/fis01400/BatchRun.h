#pragma once

#include "BatchJobRun.h"
#include "Fis01400Module.h"

// The database and server shared by every job of the program.
ModuleEnvironment &BatchEnvironment();

// A job on the screen FIS01400 in the environment, or in BatchEnvironment().
inline JobRun RunJob(const ModuleEnvironment &environment, const QByteArray &steps)
{
    return RunJob(environment, QStringLiteral("FIS01400"), steps);
}
JobRun RunJob(const QByteArray &steps);
