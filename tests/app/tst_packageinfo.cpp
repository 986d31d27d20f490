// Unit initialisation and finalisation as the run-time library runs them for a package.
#include "rtl/Exceptions.h"
#include "rtl/PackageInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> trail;
const char *failing = nullptr; // the unit procedure that raises, e.g. "B.init"

void record(const std::string &what)
{
    trail.push_back(what);
    if (failing && what == failing)
        throw Exception(QStringLiteral("falha em %1").arg(QString::fromStdString(what)));
}

template <char Name> struct Unit
{
    static inline int nesting = 0;
    static void init() { record(std::string(1, Name) + ".init"); }
    static void fin() { record(std::string(1, Name) + ".fin"); }
};
using A = Unit<'A'>;
using B = Unit<'B'>;
using C = Unit<'C'>;

const VelmoraUnit units[] = {
    {"A", &A::init, &A::fin, &A::nesting},
    {"B", &B::init, &B::fin, &B::nesting},
    {"C", &C::init, &C::fin, &C::nesting},
};
const VelmoraPackageInfo table = {VELMORA_PACKAGE_INFO_VERSION, 0, nullptr, 3, units, 0, nullptr};

std::vector<int> counters()
{
    return {A::nesting, B::nesting, C::nesting};
}

class PackageUnits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        trail.clear();
        failing = nullptr;
        A::nesting = B::nesting = C::nesting = 0;
    }
    using Trail = std::vector<std::string>;
};

TEST_F(PackageUnits, InitialiseInOrderAndFinaliseInReverse)
{
    InitializePackage(&table);
    EXPECT_EQ(trail, (Trail{"A.init", "B.init", "C.init"}));
    EXPECT_EQ(counters(), (std::vector<int>{1, 1, 1}));
    trail.clear();
    FinalizePackage(&table);
    EXPECT_EQ(trail, (Trail{"C.fin", "B.fin", "A.fin"}));
    EXPECT_EQ(counters(), (std::vector<int>{0, 0, 0}));
}

TEST_F(PackageUnits, NestedInitialisationsRunEachUnitOnce)
{
    InitializePackage(&table);
    InitializePackage(&table);
    InitializePackage(&table);
    EXPECT_EQ(trail, (Trail{"A.init", "B.init", "C.init"}));
    EXPECT_EQ(counters(), (std::vector<int>{3, 3, 3}));

    trail.clear();
    FinalizePackage(&table);
    FinalizePackage(&table);
    EXPECT_TRUE(trail.empty()) << "finalised before the counter came back to its start";
    EXPECT_EQ(counters(), (std::vector<int>{1, 1, 1}));
    FinalizePackage(&table);
    EXPECT_EQ(trail, (Trail{"C.fin", "B.fin", "A.fin"}));
}

TEST_F(PackageUnits, FinalisingWhatWasNeverInitialisedDoesNothing)
{
    FinalizePackage(&table);
    EXPECT_TRUE(trail.empty());
    EXPECT_EQ(counters(), (std::vector<int>{0, 0, 0}));
    InitializePackage(&table);
    EXPECT_EQ(trail, (Trail{"A.init", "B.init", "C.init"}));
}

TEST_F(PackageUnits, FailedInitialisationUndoesTheUnitsBeforeIt)
{
    failing = "C.init";
    EXPECT_THROW(InitializePackage(&table), Exception);
    EXPECT_EQ(trail, (Trail{"A.init", "B.init", "C.init", "B.fin", "A.fin"}));
    EXPECT_EQ(counters(), (std::vector<int>{0, 0, 0}));

    // Nothing is left half done: the next load initialises every unit again.
    failing = nullptr;
    trail.clear();
    InitializePackage(&table);
    EXPECT_EQ(trail, (Trail{"A.init", "B.init", "C.init"}));
}

TEST_F(PackageUnits, FailedNestedInitialisationOnlyUndoesItsOwnCount)
{
    InitializePackage(&table);
    C::nesting = 0; // as if C had been added since: it initialises on this call
    failing = "C.init";
    trail.clear();
    EXPECT_THROW(InitializePackage(&table), Exception);
    EXPECT_TRUE((trail == Trail{"C.init"})) << "units initialised before must not finalise";
    EXPECT_EQ(counters(), (std::vector<int>{1, 1, 0}));
}

TEST_F(PackageUnits, FailedFinalisationStillFinalisesTheOthers)
{
    InitializePackage(&table);
    trail.clear();
    failing = "B.fin";
    try {
        FinalizePackage(&table);
        ADD_FAILURE() << "the failure was swallowed";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("falha em B.fin"));
    }
    EXPECT_EQ(trail, (Trail{"C.fin", "B.fin", "A.fin"}));
    EXPECT_EQ(counters(), (std::vector<int>{0, 0, 0}));
}

TEST_F(PackageUnits, UnitsWithoutProceduresOrCounter)
{
    int nesting = 0;
    const VelmoraUnit sparse[] = {
        {"SemNada", nullptr, nullptr, &nesting},
        {"SemContador", &A::init, &A::fin, nullptr},
    };
    const VelmoraPackageInfo t = {VELMORA_PACKAGE_INFO_VERSION, 0, nullptr, 2, sparse, 0, nullptr};
    InitializePackage(&t);
    InitializePackage(&t);
    EXPECT_EQ(nesting, 2);
    // A unit without a counter runs every time it is asked.
    EXPECT_EQ(trail, (Trail{"A.init", "A.init"}));
    InitializePackage(nullptr);
    FinalizePackage(nullptr);
}

} // namespace
