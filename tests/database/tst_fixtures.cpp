// Fixtures load whole or not at all, on every engine, and a refusal names the row at fault.
#include "Fixture.h"
#include "Schema.h"
#include "TestDatabases.h"
#include "rtl/Exceptions.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Velmora::Test::Rows;
using Velmora::Test::ScratchDatabase;

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(VELMORA_FIXTURES "/") + QLatin1String(name);
}

// Every table's rows, to show that a refused load changed nothing.
QList<QStringList> everything(Velmora::DBConnection &db)
{
    QList<QStringList> all;
    for (const Velmora::Db::TableDef &t : Velmora::Db::Tables()) {
        all << QStringList{t.name};
        all << Rows(db,
                    QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(t.name, t.key.join(',')));
    }
    return all;
}

class FixtureTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<ScratchDatabase>(GetParam());
        Velmora::Db::LoadFixtureFile(db->Connection(),
                                     QStringLiteral(VELMORA_SHARED_FIXTURES "/fis01400.json"));
    }

    std::unique_ptr<ScratchDatabase> db;
};

TEST_P(FixtureTest, TheModulesFixtureLoadsWhole)
{
    using Table = QList<QStringList>;
    EXPECT_EQ(Rows(db->Connection(),
                   QStringLiteral("SELECT CDEMPRESA, NMEMPRESA FROM EMPRESA ORDER BY CDEMPRESA")),
              (Table{{"01", "Velmora Indústria e Comércio S.A."},
                     {"02", "Atlântica Distribuidora Ltda"},
                     {"10", "Serra Verde Alimentos Ltda"}}));
    EXPECT_EQ(Rows(db->Connection(), QStringLiteral("SELECT CDIMPOSTONFE, IDORGARRECADNFE FROM "
                                                    "IMPOSTONFE WHERE CDIMPOSTONFE IN ('04', '05') "
                                                    "ORDER BY CDIMPOSTONFE")),
              (Table{{"04", ""}, {"05", "<null>"}}))
        << "an empty collecting body stays empty, a null one null";
    EXPECT_EQ(
        Rows(db->Connection(), QStringLiteral("SELECT COUNT(*), SUM(VLIMPOSTO), MAX(PCALIQUOTA) "
                                              "FROM DOCENTRADAIMP")),
        (Table{{"5.0000", "708.4600", "18.0000"}}));
    EXPECT_EQ(Rows(db->Connection(), QStringLiteral("SELECT COUNT(*) FROM MAPAAPURACAO WHERE "
                                                    "CDINSCRICAO = ''")),
              (Table{{"1.0000"}}));
}

TEST_P(FixtureTest, LongTextsAndTimestampsLoadAsWritten)
{
    const auto set = [](const char *stamp) {
        return QJsonObject{{"CDTELA", "FIS01400"},
                           {"NMUSUARIO", "ana"},
                           {"IDTIPO", "V"},
                           {"NMVARIANTE", stamp},
                           {"DSVALORES", QStringLiteral("{\"obs\":\"Ação %1\"}").arg(stamp)},
                           {"DTCRIACAO", stamp}};
    };
    // Midnight is no date: it keeps its time.
    Velmora::Db::LoadFixture(
        db->Connection(),
        {{"VARIANTETELA", QJsonArray{set("2024-03-05 00:00:00"), set("2024-03-05 14:30:59")}}},
        "variantes");
    for (const QStringList &row :
         Rows(db->Connection(), "SELECT NMVARIANTE, CAST(DTCRIACAO AS VARCHAR(24)), DSVALORES "
                                "FROM VARIANTETELA")) {
        EXPECT_EQ(row.at(1).left(19), row.at(0));
        EXPECT_EQ(row.at(2), QStringLiteral("{\"obs\":\"Ação %1\"}").arg(row.at(0)));
    }
    for (const char *bad : {"2024-03-05T10:00:00", "2024-02-30 10:00:00", "2024-03-05"})
        EXPECT_THROW(Velmora::Db::LoadFixture(db->Connection(),
                                              {{"VARIANTETELA", QJsonArray{set(bad)}}}, "ruim"),
                     EDatabaseError)
            << bad;
}

struct BadFixture
{
    const char *file;
    const char *mentions; // what the message must name
};

TEST_P(FixtureTest, BadFixturesAreRefusedWholeNamingTheRow)
{
    const BadFixture cases[] = {
        {"invalid-unknown-table.json", "tabela 'CLIENTE' desconhecida"},
        {"invalid-unknown-column.json",
         "tabela FORNECEDOR, linha 2: coluna 'NMFANTASIA' desconhecida"},
        {"invalid-duplicate-key.json",
         "tabela EMPRESA, linha 3: chave (01) repetida, já dada na linha 1"},
        {"invalid-date.json", "tabela MAPAAPURACAO, linha 2: DTFIMPERIODO não é uma data"},
        {"invalid-date-format.json", "tabela MAPAAPURACAO, linha 1: DTINIPERIODO não é uma data"},
        {"invalid-text-too-long.json",
         "tabela EMPRESA, linha 3: o texto de CDEMPRESA tem 3 caracteres"},
        {"invalid-money-as-text.json",
         "tabela DOCENTRADA, linha 1: a coluna VLCONTABIL pede um número"},
        {"invalid-count-fraction.json",
         "tabela RELATAGENDA, linha 2: a coluna NRDIA pede um número inteiro"},
        // Only the database knows these two: a key it already holds, a parent it lacks.
        {"existing-company.json", "tabela EMPRESA, linha 2: o banco de dados recusou a linha"},
        {"invalid-missing-supplier.json",
         "tabela DOCENTRADA, linha 2: o banco de dados recusou a linha"},
    };
    const QList<QStringList> before = everything(db->Connection());
    for (const BadFixture &c : cases) {
        try {
            Velmora::Db::LoadFixtureFile(db->Connection(), fixture(c.file));
            ADD_FAILURE() << c.file << " was accepted";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.mentions)))
                << c.file << ": " << qPrintable(e.Message());
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.file))) << qPrintable(e.Message());
        }
        EXPECT_EQ(everything(db->Connection()), before) << c.file << " changed the database";
        EXPECT_FALSE(db->Connection().InTransaction());
    }
}

TEST_P(FixtureTest, FilesThatAreNoFixtureAreRefusedBeforeTheDatabaseIsUsed)
{
    EXPECT_THROW(Velmora::Db::LoadFixtureFile(db->Connection(), fixture("nao-existe.json")),
                 EDatabaseError);
    QTemporaryDir dir;
    QFile broken(dir.filePath(QStringLiteral("quebrado.json")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{\"EMPRESA\": [ {\"CDEMPRESA\": \"03\" ");
    broken.close();
    try {
        Velmora::Db::LoadFixtureFile(db->Connection(), broken.fileName());
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("inválido"))) << qPrintable(e.Message());
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, FixtureTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
