#include "BatchRunner.h"

#include <cstdio>

int RunBatch(const QString &jobPath)
{
    Q_UNUSED(jobPath);
    std::fputs("modo batch ainda não disponível\n", stderr);
    return 2;
}
