// velmora-db as a user runs it: create, upgrade, load and demo on the configured engine, and its
// answers to bad input.
#include "Schema.h"
#include "TestDatabases.h"

#include <QProcess>
#include <gtest/gtest.h>

using Velmora::Test::Rows;
using Velmora::Test::ScratchDatabase;

namespace {

struct ToolRun
{
    int code = -1;
    QString out, err;
};

ToolRun tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELMORA_DB_TOOL), args);
    if (!p.waitForFinished(300000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class ToolTest : public ::testing::TestWithParam<QString>
{
};

TEST_P(ToolTest, CreatesLoadsAndRefusesOnTheConfiguredEngine)
{
    ScratchDatabase db(GetParam(), false);
    const QString config = db.WriteSettingsFile();

    ToolRun r = tool({QStringLiteral("--config"), config, QStringLiteral("create")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Esquema criado"))) << qPrintable(r.out);

    r = tool({QStringLiteral("--config"), config, QStringLiteral("load"),
              QStringLiteral(VELMORA_SHARED_FIXTURES "/fis01400.json")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("FORNECEDOR: 6 linhas"))) << qPrintable(r.out);

    r = tool({QStringLiteral("--config"), config, QStringLiteral("load"),
              QStringLiteral(VELMORA_FIXTURES "/invalid-date.json")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("tabela MAPAAPURACAO, linha 2")))
        << qPrintable(r.err);

    r = tool({QStringLiteral("--config"), config, QStringLiteral("demo"),
              QStringLiteral("--documents"), QStringLiteral("10")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("já tem dados"))) << qPrintable(r.err);

    EXPECT_EQ(Rows(db.Connection(), QStringLiteral("SELECT COUNT(*) FROM EMPRESA")),
              QList<QStringList>{{"3.0000"}});
}

TEST_P(ToolTest, GeneratesDemoDataOnAnEmptyDatabase)
{
    ScratchDatabase db(GetParam(), false);
    const ToolRun r =
        tool({QStringLiteral("--config"), db.WriteSettingsFile(), QStringLiteral("demo"),
              QStringLiteral("--documents"), QStringLiteral("50"), QStringLiteral("--suppliers"),
              QStringLiteral("20")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("DOCENTRADA: 50 linhas"))) << qPrintable(r.out);
}

// A database made before VARIANTETELA existed: the fixture loaded, then that table dropped.
TEST_P(ToolTest, UpgradeAddsTheMissingTableAndKeepsEveryRow)
{
    ScratchDatabase db(GetParam(), false);
    const QString config = db.WriteSettingsFile();
    const QStringList upgrade{QStringLiteral("--config"), config, QStringLiteral("upgrade")};

    ToolRun r = tool(upgrade);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("não tem o esquema: use velmora-db create")))
        << qPrintable(r.err);

    ASSERT_EQ(tool({QStringLiteral("--config"), config, QStringLiteral("create")}).code, 0);
    ASSERT_EQ(tool({QStringLiteral("--config"), config, QStringLiteral("load"),
                    QStringLiteral(VELMORA_SHARED_FIXTURES "/fis01400.json")})
                  .code,
              0);
    db.Connection().Execute(QStringLiteral("DROP TABLE VARIANTETELA"));
    // A file of before WAL: the upgrade puts it in WAL, so that reports no longer hold writers.
    const bool sqlite = GetParam() == QLatin1String("sqlite");
    const auto journal = [&db] {
        return Rows(db.Connection(), QStringLiteral("PRAGMA journal_mode")).value(0).value(0);
    };
    if (sqlite) {
        EXPECT_EQ(Rows(db.Connection(), QStringLiteral("PRAGMA journal_mode = DELETE")),
                  QList<QStringList>{{"delete"}});
    }
    // "TABLE=rows" of every table but the one left out.
    const auto counts = [&db](const QString &without) {
        QStringList out;
        for (const Velmora::Db::TableDef &t : Velmora::Db::Tables())
            if (t.name != without)
                out << t.name + QLatin1Char('=') +
                           Rows(db.Connection(),
                                QStringLiteral("SELECT COUNT(*) FROM %1").arg(t.name))
                               .value(0)
                               .value(0);
        return out;
    };
    const QStringList before = counts(QStringLiteral("VARIANTETELA"));
    ASSERT_TRUE(before.contains(QStringLiteral("FORNECEDOR=6.0000")))
        << qPrintable(before.join(' '));
    db.Connection().Close(); // Firebird's cached metadata would still lack the new table

    r = tool(upgrade);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out,
              QStringLiteral("Tabela VARIANTETELA criada.\n") +
                  (sqlite ? QStringLiteral("Arquivo SQLite posto no modo WAL.\n") : QString()));
    if (sqlite) {
        EXPECT_EQ(journal(), QStringLiteral("wal"));
    }
    QStringList after = counts(QString());
    EXPECT_TRUE(after.removeOne(QStringLiteral("VARIANTETELA=0.0000")))
        << qPrintable(after.join(' '));
    EXPECT_EQ(after, before);

    r = tool(upgrade);
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out, QStringLiteral("O esquema já está atualizado.\n"));
}

// A database upgraded before the schedules kept their report: RELATAGENDA as it was then, with
// a schedule in it.
TEST_P(ToolTest, UpgradeAddsTheColumnsAnOlderTableLacks)
{
    ScratchDatabase db(GetParam());
    Velmora::DBConnection &c = db.Connection();
    c.Execute(QStringLiteral("DROP TABLE RELATAGENDA"));
    c.Execute(QStringLiteral(
        "CREATE TABLE RELATAGENDA (IDRELATAGENDA VARCHAR(36) NOT NULL PRIMARY KEY, CDTELA "
        "VARCHAR(8) NOT NULL, NMUSUARIO VARCHAR(40) NOT NULL, NMVARIANTE VARCHAR(40) NOT NULL, "
        "IDFORMATO VARCHAR(4) NOT NULL, IDFREQUENCIA VARCHAR(1) NOT NULL, NRDIA INTEGER, "
        "HRHORARIO VARCHAR(5) NOT NULL, DTCRIACAO TIMESTAMP, DTULTIMA TIMESTAMP)"));
    c.Execute(QStringLiteral("INSERT INTO RELATAGENDA VALUES ('a1', 'FIS01400', 'ana', 'Mensal', "
                             "'pdf', 'M', 5, '08:00', '2026-03-01 10:00:00', NULL)"));
    c.Close();
    const QStringList upgrade{QStringLiteral("--config"), db.WriteSettingsFile(),
                              QStringLiteral("upgrade")};

    ToolRun r = tool(upgrade);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    QString expected;
    for (const char *column : {"CDRELATORIO", "NMLAYOUT", "DSVERSAOLAYOUT", "DSPARAMETROS",
                               "NMPERIODO", "NMPARAMINICIO", "NMPARAMFIM"})
        expected += QStringLiteral("Coluna RELATAGENDA.%1 criada.\n").arg(QLatin1String(column));
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(Rows(c, QStringLiteral("SELECT IDRELATAGENDA, NMVARIANTE, NRDIA, CDRELATORIO, "
                                     "NMPERIODO, NMPARAMFIM FROM RELATAGENDA")),
              (QList<QStringList>{{"a1", "Mensal", "5.0000", "<null>", "<null>", "<null>"}}));
    c.Execute(QStringLiteral("UPDATE RELATAGENDA SET NMPERIODO = 'mes_anterior', DSPARAMETROS = "
                             "'{}' WHERE IDRELATAGENDA = 'a1'"));
    c.Close();

    r = tool(upgrade);
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out, QStringLiteral("O esquema já está atualizado.\n"));
}

TEST_P(ToolTest, DemoOnAnOlderEmptyDatabaseAddsTheTableItLacks)
{
    ScratchDatabase db(GetParam());
    db.Connection().Execute(QStringLiteral("DROP TABLE VARIANTETELA"));
    db.Connection().Close();
    const ToolRun r =
        tool({QStringLiteral("--config"), db.WriteSettingsFile(), QStringLiteral("demo"),
              QStringLiteral("--documents"), QStringLiteral("10")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Tabela VARIANTETELA criada.\n")))
        << qPrintable(r.out);
}

INSTANTIATE_TEST_SUITE_P(Engines, ToolTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

TEST(ToolUsageTest, BadCommandLinesGetUsageOrAClearMessage)
{
    ToolRun r = tool({});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Uso: velmora-db")));
    r = tool({QStringLiteral("apagar-tudo")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Comando desconhecido: apagar-tudo")));
    r = tool(
        {QStringLiteral("--config"), QStringLiteral("/nao/existe.ini"), QStringLiteral("create")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("/nao/existe.ini"))) << qPrintable(r.err);
    r = tool({QStringLiteral("demo"), QStringLiteral("--documents"), QStringLiteral("muitos")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--documents"))) << qPrintable(r.err);
}

} // namespace
