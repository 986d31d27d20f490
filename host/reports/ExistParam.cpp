#include "ExistParam.h"

#include "data/TParams.h"

bool ExistParam(const TParams *params, const QString &name)
{
    if (!params || name.isEmpty())
        return false;
    for (int i = 0; i < params->Count(); ++i)
        if (params->Items(i)->Name().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
