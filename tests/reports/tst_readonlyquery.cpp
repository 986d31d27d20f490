// A report's query only reads, on every engine, and the engine holds it to that: texts that
// write are refused before they run, statements and functions that write inside a SELECT are
// stopped by the engine's read-only mode, nothing changes, the connection answers the next
// query, and the clerk reads a message in Portuguese that names the report and carries no
// driver text (that goes to the log).
#include "ReportTestSupport.h"

#include "data/DBConnection.h"
#include "reports/ReportConnection.h"
#include "reports/ReportRun.h"
#include "reports/ReportSource.h"

#include <QMutex>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

const QString refused =
    QStringLiteral("A consulta do relatório FIS014 altera dados e foi recusada.");
const QString failed = QStringLiteral("A consulta do relatório FIS014 falhou.");

struct Scenario
{
    const char *engines; // comma-separated
    const char *what;
    const char *text;
    const QString *message;
};

const Scenario scenarios[] = {
    {"sqlite,postgresql,firebird", "DELETE", "DELETE FROM DOCENTRADAIMP", &refused},
    {"sqlite,postgresql", "DELETE ... RETURNING",
     "DELETE FROM DOCENTRADAIMP RETURNING CDEMPRESA AS N", &refused},
    {"sqlite,postgresql", "UPDATE ... RETURNING",
     "UPDATE EMPRESA SET NMEMPRESA = 'x' RETURNING CDEMPRESA AS N", &refused},
    {"sqlite", "WITH ... DELETE",
     "WITH x AS (SELECT CDEMPRESA FROM EMPRESA) DELETE FROM DOCENTRADAIMP "
     "WHERE CDEMPRESA IN (SELECT CDEMPRESA FROM x) RETURNING CDEMPRESA AS N",
     &refused},
    {"postgresql", "a CTE that deletes",
     "WITH d AS (DELETE FROM DOCENTRADAIMP RETURNING CDEMPRESA) SELECT CDEMPRESA AS N FROM d",
     &refused},
    {"firebird", "EXECUTE BLOCK",
     "EXECUTE BLOCK RETURNS (N VARCHAR(2)) AS BEGIN DELETE FROM DOCENTRADAIMP; N = '1'; "
     "SUSPEND; END",
     &refused},
    {"firebird", "UPDATE OR INSERT ... RETURNING",
     "UPDATE OR INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA) VALUES ('01', 'x') "
     "MATCHING (CDEMPRESA) RETURNING CDEMPRESA",
     &refused},
    // Texts the text check lets pass: only the engine's read-only mode stops them.
    {"postgresql", "a SELECT of a function that inserts", "SELECT velmora_grava() AS N", &refused},
    {"postgresql", "the function on every row", "SELECT velmora_grava() AS N FROM EMPRESA",
     &refused},
    {"firebird", "a SELECT of a procedure that inserts", "SELECT N FROM VELMORA_GRAVA", &refused},
    // Reads that fail: at the start, or on a later row.
    {"sqlite,postgresql,firebird", "an unknown column", "SELECT NAO_EXISTE AS N FROM EMPRESA",
     &failed},
    {"postgresql", "a division by zero on the second row",
     "SELECT 1 / (CAST(CDEMPRESA AS INTEGER) - 2) AS N FROM EMPRESA ORDER BY CDEMPRESA", &failed},
    {"firebird", "a division by zero on the second row",
     "SELECT 1 / (CAST(CDEMPRESA AS INTEGER) - 2) AS N FROM EMPRESA ORDER BY CDEMPRESA", &failed},
    {"sqlite", "malformed JSON on the second row",
     "SELECT CASE WHEN CDEMPRESA = '02' THEN json('{') ELSE CDEMPRESA END AS N FROM EMPRESA "
     "ORDER BY CDEMPRESA",
     &failed},
};

// What the reports' log received.
QMutex logLock;
QStringList reportLog;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "velmora.reports") == 0) {
        const QMutexLocker lock(&logLock);
        reportLog << message;
        return;
    }
    previousHandler(type, context, message);
}

class ReadOnlyReportTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>(GetParam());
        db->loadFixture();
        if (engine() == QLatin1String("postgresql"))
            db->exec(QStringLiteral(
                "CREATE FUNCTION velmora_grava() RETURNS VARCHAR LANGUAGE plpgsql AS $$ "
                "BEGIN INSERT INTO EMPRESA VALUES ('99', 'Intrusa'); RETURN '99'; END $$"));
        if (engine() == QLatin1String("firebird"))
            db->exec(QStringLiteral(
                "CREATE PROCEDURE VELMORA_GRAVA RETURNS (N VARCHAR(2)) AS BEGIN "
                "INSERT INTO EMPRESA VALUES ('99', 'Intrusa'); N = '99'; SUSPEND; END"));
        layout = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
        Column n;
        n.field = n.label = QStringLiteral("N");
        layout.columns = {n};
        layout.group = {};
        layout.totals.clear();
        layout.heading.clear();
        const QMutexLocker lock(&logLock);
        reportLog.clear();
        previousHandler = qInstallMessageHandler(collect);
    }
    void TearDown() override { qInstallMessageHandler(previousHandler); }

    QString engine() const { return GetParam(); }

    void setQuery(const QString &text)
    {
        layout.queries = {{QStringLiteral("SQL"), text}, {QStringLiteral("SQL_IB"), text}};
    }

    // The rows' N, or the message the clerk would read.
    QString read(const ReportConnection &connection)
    {
        try {
            ReportSource source(layout, connection, TParams());
            QStringList values;
            Band band;
            while (source.next(band))
                if (band.kind == Band::Detail)
                    values << band.values.at(0).toString();
            return values.join(QLatin1Char(','));
        } catch (const Exception &e) {
            return e.Message();
        }
    }

    // The message of a save run as the screen starts it: a thread and a connection of its own.
    QString runToFile()
    {
        ReportRun::Request request;
        request.output = ReportRun::Output::File;
        request.action = QStringLiteral("save");
        request.layout = layout;
        request.path = dir.filePath(QStringLiteral("relatorio.csv"));
        ReportRun run(std::move(request), CurrentReportConnection());
        run.start();
        run.wait();
        return run.failed() ? run.error() : QStringLiteral("ok");
    }

    QVariantList counts()
    {
        return {db->row(QStringLiteral("SELECT COUNT(*) FROM DOCENTRADAIMP")).at(0).toInt(),
                db->row(QStringLiteral("SELECT COUNT(*) FROM EMPRESA")).at(0).toInt()};
    }

    std::unique_ptr<TestDatabase> db;
    ReportLayout layout;
    QTemporaryDir dir;
};

TEST_P(ReadOnlyReportTest, WritesAreRefusedAndFailuresNameTheReport)
{
    const QString good = QStringLiteral("SELECT CDEMPRESA AS N FROM EMPRESA ORDER BY CDEMPRESA");
    const QVariantList before = counts();
    ASSERT_GT(before.at(0).toInt(), 0);
    const WorkerConnection worker(CurrentReportConnection());
    int ran = 0;
    for (const Scenario &s : scenarios) {
        if (!QString::fromLatin1(s.engines).split(QLatin1Char(',')).contains(engine()))
            continue;
        ++ran;
        SCOPED_TRACE(s.what);
        {
            const QMutexLocker lock(&logLock);
            reportLog.clear();
        }
        setQuery(QString::fromUtf8(s.text));
        // The screen's own connection, shared with the screen's writes; a run's connection.
        EXPECT_EQ(read(CurrentReportConnection()), *s.message);
        EXPECT_EQ(read(worker.connection()), *s.message);
        EXPECT_EQ(runToFile(), *s.message);
        EXPECT_EQ(counts(), before);
        {
            // The driver's or the check's words went to the log, naming the report.
            const QMutexLocker lock(&logLock);
            ASSERT_EQ(reportLog.size(), 3);
            for (const QString &line : std::as_const(reportLog)) {
                EXPECT_TRUE(line.contains(QStringLiteral("FIS014"))) << qPrintable(line);
                EXPECT_GT(line.size(),
                          QStringLiteral("Consulta do relatório FIS014 falhou: ").size())
                    << qPrintable(line);
            }
        }
        // Each connection answers the next query.
        setQuery(good);
        EXPECT_EQ(read(CurrentReportConnection()), QStringLiteral("01,02"));
        EXPECT_EQ(read(worker.connection()), QStringLiteral("01,02"));
    }
    EXPECT_GE(ran, 5);
}

// A caller's open transaction on the shared connection keeps writing after a refused read.
TEST_P(ReadOnlyReportTest, AnOpenTransactionOfTheScreenKeepsWriting)
{
    Velmora::DBConnection &screen = db->connection();
    screen.StartTransaction();
    screen.Execute(QStringLiteral("INSERT INTO EMPRESA VALUES ('03', 'Terceira')"));
    setQuery(engine() == QLatin1String("postgresql") ? QStringLiteral("SELECT velmora_grava() AS N")
             : engine() == QLatin1String("firebird")
                 ? QStringLiteral("SELECT N FROM VELMORA_GRAVA")
                 : QStringLiteral("DELETE FROM DOCENTRADAIMP RETURNING CDEMPRESA AS N"));
    EXPECT_EQ(read(CurrentReportConnection()), refused);
    setQuery(QStringLiteral("SELECT CDEMPRESA AS N FROM EMPRESA ORDER BY CDEMPRESA"));
    // Firebird's read is a snapshot of its own: it sees only what was committed.
    EXPECT_EQ(read(CurrentReportConnection()), engine() == QLatin1String("firebird")
                                                   ? QStringLiteral("01,02")
                                                   : QStringLiteral("01,02,03"));
    screen.Execute(QStringLiteral("INSERT INTO EMPRESA VALUES ('04', 'Quarta')"));
    screen.Commit();
    EXPECT_EQ(read(CurrentReportConnection()), QStringLiteral("01,02,03,04"));
}

INSTANTIATE_TEST_SUITE_P(Engines, ReadOnlyReportTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
