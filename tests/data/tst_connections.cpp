// The shared connection: kinds, dialect routines per engine, failures that must come back as
// clear messages, and the shared objects the query definitions name.
#include "TestDatabases.h"
#include "data/TADOIBQuery.h"
#include "data/dtmDBGeral.h"
#include "rtl/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Velmora::ConnectionSettings;
using Velmora::DatabaseKind;
using Velmora::DBConnection;
using Velmora::Test::Rows;
using Velmora::Test::ScratchDatabase;

namespace {

QString connectError(const ConnectionSettings &settings)
{
    DBConnection db(settings);
    try {
        db.Open();
    } catch (const EDatabaseError &e) {
        EXPECT_FALSE(db.Connected());
        return e.Message();
    }
    return {};
}

class ConnectionTest : public ::testing::TestWithParam<QString>
{
};

TEST_P(ConnectionTest, KindFollowsTheEngine)
{
    ScratchDatabase db(GetParam(), false);
    EXPECT_EQ(db.Connection().Kind(), GetParam() == QLatin1String("firebird")
                                          ? DatabaseKind::InterBase
                                          : DatabaseKind::Generic);
}

TEST_P(ConnectionTest, DialectRoutinesAnswerAsTheTextsExpect)
{
    ScratchDatabase db(GetParam());
    DBConnection &c = db.Connection();
    using Table = QList<QStringList>;
    if (GetParam() == QLatin1String("firebird")) {
        EXPECT_EQ(
            Rows(c, QStringLiteral("SELECT P.PARAM, NVLSTR(P.PARAM, 'x') FROM PARAM(NULL) P")),
            (Table{{"<null>", "x"}}));
        EXPECT_EQ(Rows(c, QStringLiteral("SELECT P.PARAM, NVLSTR(P.PARAM, 'x') FROM PARAM('T') P")),
                  (Table{{"T", "T"}}));
        EXPECT_EQ(Rows(c, QStringLiteral("SELECT INSTR('''01'',''03''', '03'), INSTR('01', '02') "
                                         "FROM RDB$DATABASE")),
                  (Table{{"7.0000", "0.0000"}}));
        return;
    }
    // Typed as the query texts type them: beside a column, never two bare literals.
    EXPECT_EQ(Rows(c, QStringLiteral(
                          "SELECT NVL(CAST(NULL AS VARCHAR(1)), 'b'), NVL(CAST('a' AS "
                          "VARCHAR(1)), 'b'), INSTR('''01'',''03''', '03'), INSTR('01', '02')")),
              (Table{{"b", "a", "7.0000", "0.0000"}}));
    EXPECT_EQ(Rows(c, QStringLiteral(
                          "SELECT DECODE(CAST('M' AS VARCHAR(1)), 'M', 1, 0), DECODE(CAST('E' "
                          "AS VARCHAR(1)), 'M', 1, 0), DECODE(CAST('E' AS VARCHAR(1)), 'M', 1), "
                          "DECODE(CAST(NULL AS VARCHAR(1)), NULL, 'n', 'd')")),
              (Table{{"1.0000", "0.0000", "<null>", "n"}}));
    if (GetParam() == QLatin1String("sqlite")) {
        EXPECT_EQ(
            Rows(c, QStringLiteral("SELECT NVLSTR(NULL, 'x'), DECODE('z', 'a', 1, 'z', 2, 9), "
                                   "DECODE('q', 'a', 1, 9)")),
            (Table{{"x", "2.0000", "9.0000"}}));
    }
}

TEST_P(ConnectionTest, TransactionOfTheSharedObjectsIsAllOrNothing)
{
    ScratchDatabase db(GetParam());
    DBConnection &c = db.Connection();
    c.StartTransaction();
    EXPECT_TRUE(c.InTransaction());
    c.Execute(QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA) VALUES (?, ?)"),
              {QStringLiteral("01"), QStringLiteral("Desfeita")});
    c.Rollback();
    EXPECT_EQ(Rows(c, QStringLiteral("SELECT COUNT(*) FROM EMPRESA")),
              QList<QStringList>{{"0.0000"}});
    EXPECT_THROW(c.Execute(QStringLiteral("INSERT INTO TABELA_QUE_NAO_HA VALUES (1)")),
                 EDatabaseError);
}

INSTANTIATE_TEST_SUITE_P(Engines, ConnectionTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

TEST(ConnectionFailureTest, MissingOrForeignFilesAreClearErrors)
{
    QTemporaryDir dir;
    ConnectionSettings sqlite;
    sqlite.database = dir.filePath(QStringLiteral("nao-existe.sqlite"));
    QString error = connectError(sqlite);
    EXPECT_TRUE(error.contains(QStringLiteral("não encontrado")) && error.contains(sqlite.database))
        << qPrintable(error);
    EXPECT_FALSE(QFile::exists(sqlite.database)) << "a missing database must not be created";

    QFile text(dir.filePath(QStringLiteral("texto.sqlite")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    sqlite.database = text.fileName();
    error = connectError(sqlite);
    EXPECT_TRUE(error.contains(QStringLiteral("não é um banco de dados SQLite")))
        << qPrintable(error);

    ConnectionSettings firebird;
    firebird.driver = QStringLiteral("QIBASE");
    firebird.database = dir.filePath(QStringLiteral("nao-existe.fdb"));
    error = connectError(firebird);
    EXPECT_TRUE(error.contains(QStringLiteral("não encontrado"))) << qPrintable(error);

    ConnectionSettings unknown;
    unknown.driver = QStringLiteral("QXYZ");
    unknown.database = QStringLiteral("x");
    error = connectError(unknown);
    EXPECT_TRUE(error.contains(QStringLiteral("QXYZ"))) << qPrintable(error);
}

TEST(ConnectionFailureTest, ServerRefusalsAreClearErrors)
{
    if (!Velmora::Test::EngineNames().contains(QStringLiteral("postgresql")))
        GTEST_SKIP() << "VELMORA_TEST_ENGINES leaves PostgreSQL out";
    ScratchDatabase db(QStringLiteral("postgresql"), false);
    ConnectionSettings wrong = db.Settings();
    wrong.password = QStringLiteral("senha-errada");
    QString error = connectError(wrong);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Não foi possível conectar ao banco de dados")))
        << qPrintable(error);
    EXPECT_TRUE(error.contains(db.Settings().database)) << qPrintable(error);

    ConnectionSettings closed = db.Settings();
    closed.port = 1; // nothing listens there
    error = connectError(closed);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Não foi possível conectar"))) << qPrintable(error);
}

TEST(SharedObjectsTest, QueriesFindTheSharedConnectionByItsNames)
{
    TADOIBQuery query;
    query.setObjectName(QStringLiteral("qryEmpresa"));
    query.SetADOConnection(QStringLiteral("dtmDBGeral.adcGeral"));
    query.SetDataBase(QStringLiteral("dtmDBGeral.dtbGeral"));
    query.SetTransaction(QStringLiteral("dtmDBGeral.ibtGeral"));
    query.SetSQL({"SELECT CDEMPRESA FROM EMPRESA"});
    ASSERT_EQ(dtmDBGeral(), nullptr);
    try {
        query.Open();
        FAIL() << "no shared objects yet";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("dtmDBGeral"))) << qPrintable(e.Message());
    }

    ScratchDatabase db(QStringLiteral("sqlite"));
    {
        TdtmDBGeral shared(db.Settings());
        EXPECT_EQ(dtmDBGeral(), &shared);
        EXPECT_EQ(shared.adcGeral(), shared.dtbGeral());
        EXPECT_EQ(shared.Kind(), DatabaseKind::Generic);
        EXPECT_THROW(TdtmDBGeral second(db.Settings()), Exception);
        query.Open();
        EXPECT_TRUE(query.IsEmpty());
        EXPECT_EQ(query.Connection(), shared.adcGeral());

        query.Close();
        query.SetADOConnection(QStringLiteral("dtmOutro.adcGeral"));
        try {
            query.Open();
            FAIL() << "an unknown connection name must be refused";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("dtmOutro.adcGeral")));
        }
    }
    EXPECT_EQ(dtmDBGeral(), nullptr);
}

} // namespace
