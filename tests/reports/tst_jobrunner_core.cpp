#include "Fis014Job.h"
#include "ReportJobRunner.h"
#include "ReportTestSupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

using AppServer::Jobs::ReportJob;
using AppServer::Jobs::ReportJobRunner;

namespace {

// A server process without a graphical application, the job run from a worker thread of its
// own as the queue will: tables are made, a PDF is refused in words instead of a crash.
TEST(JobRunnerWithoutGui, WritesTablesAndRefusesPdf)
{
    ASSERT_EQ(qobject_cast<QGuiApplication *>(QCoreApplication::instance()), nullptr);
    TestDatabase db;
    db.loadFixture();
    AddFis014Registrations(db);
    LayoutDirectory layouts;
    QTemporaryDir archive;
    const ReportJobRunner runner(db.connection().Settings(), layouts.path(), archive.path());
    const QString layout = layouts.file(QStringLiteral("FIS014.json"));

    ReportJob csv = Fis014Job(layout, QStringLiteral("csv"));
    std::thread worker([&] { runner.run(csv); });
    worker.join();
    EXPECT_EQ(csv.state, ReportJob::State::Done) << csv.error.toStdString();
    EXPECT_EQ(csv.sha256, Sha256Of(runner.archivedFile(csv)));
    EXPECT_EQ(
        csv.documents,
        db.expectedTotals(QStringLiteral("AND D.CDINSCRICAO = '123456789'")).value(0).toLongLong());

    ReportJob pdf = Fis014Job(layout, QStringLiteral("pdf"));
    pdf.id = QStringLiteral("job-18");
    EXPECT_FALSE(runner.run(pdf));
    EXPECT_EQ(pdf.error, QStringLiteral("Este servidor não está preparado para gerar o relatório "
                                        "FIS014 em PDF: falta-lhe a aplicação gráfica que dá "
                                        "acesso às fontes."));
    EXPECT_TRUE(runner.archivedFile(pdf).isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
