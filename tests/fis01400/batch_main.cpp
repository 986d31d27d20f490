// The batch tests share one database and one server, made before the first test.
#include "BatchRun.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<ModuleEnvironment> environment;

} // namespace

ModuleEnvironment &BatchEnvironment()
{
    return *environment;
}

JobRun RunJob(const QByteArray &steps)
{
    return RunJob(BatchEnvironment(), steps);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    try {
        environment =
            std::make_unique<ModuleEnvironment>(Fis01400Module(), QStringLiteral(FIS01400_FIXTURE));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ambiente de teste: %s\n", e.what());
        return 1;
    }
    const int status = RUN_ALL_TESTS();
    environment.reset();
    return status;
}
