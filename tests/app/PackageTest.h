#pragma once

#include "RecordingServices.h"

#include "app/Host.h"
#include "app/PackageLoader.h"

#include <QString>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <memory>

inline constexpr const char *testPackage = "velmora_testpkg";

// Whether the system loader still holds the library (RTLD_NOLOAD only looks).
inline bool InMemory(const QString &file)
{
    void *handle = dlopen(file.toLocal8Bit().constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

// A fresh host per test, its messages recorded; the host unloads what the test left.
class PackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("VELMORA_LANG", "pt_BR");
        host = std::make_unique<Velmora::Host>();
    }
    void TearDown() override { host.reset(); }

    Velmora::PackageLoader &loader() { return host->Packages(); }

    RecordingServices services;
    std::unique_ptr<Velmora::Host> host;
};

// The message of what code raises, or an empty text when it raises nothing.
template <class Code> QString ErrorOf(Code code)
{
    try {
        code();
    } catch (const Exception &e) {
        return e.Message();
    }
    return {};
}
