#pragma once

#include "testpkg_global.h"

#include "rtl/Exceptions.h"

// The test package's own exception class. Exported with default visibility and defined
// entirely here, so the host, which never links the package, catches it by its class.
class VELMORA_TESTPKG_EXPORT ETesteFalha : public Exception
{
public:
    using Exception::Exception;
};
