// The schema on every engine: tables and columns, keys, references, indexes, and the dates
// that SQLite must keep as YYYY-MM-DD.
#include "Schema.h"
#include "SchemaPart.h"
#include "TestDatabases.h"
#include "rtl/Exceptions.h"

#include <QSqlRecord>
#include <gtest/gtest.h>

using Velmora::Test::Rows;
using Velmora::Test::ScratchDatabase;

namespace {

class SchemaTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override { db = std::make_unique<ScratchDatabase>(GetParam()); }
    Velmora::DBConnection &c() { return db->Connection(); }
    bool refused(const QString &sql, const QVariantList &values = {})
    {
        try {
            c().Execute(sql, values);
        } catch (const EDatabaseError &) {
            return true;
        }
        return false;
    }
    std::unique_ptr<ScratchDatabase> db;
};

TEST_P(SchemaTest, EveryTableHasItsColumns)
{
    for (const Velmora::Db::TableDef &t : Velmora::Db::Tables()) {
        // PostgreSQL keeps unquoted names in lower case.
        const QSqlRecord record = c().Database().record(
            GetParam() == QLatin1String("postgresql") ? t.name.toLower() : t.name);
        ASSERT_EQ(record.count(), t.columns.size()) << qPrintable(t.name);
        for (const Velmora::Db::ColumnDef &col : t.columns)
            EXPECT_GE(record.indexOf(col.name), 0) << qPrintable(t.name + '.' + col.name);
    }
    EXPECT_TRUE(Velmora::Db::SchemaExists(c()));
}

TEST_P(SchemaTest, KeysAndReferencesHold)
{
    const QString company =
        QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA) VALUES (?, ?)");
    c().Execute(company, {QStringLiteral("01"), QStringLiteral("Velmora")});
    EXPECT_TRUE(refused(company, {QStringLiteral("01"), QStringLiteral("Repetida")}));
    EXPECT_TRUE(refused(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDEMPRESA) "
                                       "VALUES ('0001', 'Órfã', '99')")))
        << "a branch of no company";
    EXPECT_TRUE(refused(QStringLiteral("INSERT INTO IMPOSTO (CDIMPOSTO, NMIMPOSTO, CDIMPOSTONFE) "
                                       "VALUES ('0101', 'ICMS', '01')")))
        << "a tax row of no tax";
    // A tax without registration keeps the empty text, which is a value, not a null.
    c().Execute(
        QStringLiteral("INSERT INTO IMPOSTONFE (CDIMPOSTONFE, SGIMPOSTONFE) VALUES ('02', 'IPI')"));
    c().Execute(QStringLiteral("INSERT INTO MAPAAPURACAO VALUES (?, ?, ?, ?, ?)"),
                {QStringLiteral("01"), QStringLiteral("02"), QString(), QDate(2024, 1, 1),
                 QDate(2024, 1, 31)});
    EXPECT_EQ(Rows(c(), QStringLiteral("SELECT CDINSCRICAO, DTFIMPERIODO FROM MAPAAPURACAO")),
              (QList<QStringList>{{"", "2024-01-31"}}));
    EXPECT_TRUE(refused(QStringLiteral("INSERT INTO MAPAAPURACAO VALUES ('01', '02', NULL, ?, ?)"),
                        {QDate(2024, 2, 1), QDate(2024, 2, 29)}));
}

TEST_P(SchemaTest, IndexesForTheChecksTheServerAndTheReportExist)
{
    QString sql;
    if (GetParam() == QLatin1String("sqlite"))
        sql = QStringLiteral(
            "SELECT UPPER(name) FROM sqlite_master WHERE type = 'index' AND name LIKE 'IX_%'");
    else if (GetParam() == QLatin1String("postgresql"))
        sql = QStringLiteral("SELECT UPPER(indexname) FROM pg_indexes WHERE indexname LIKE 'ix_%'");
    else
        sql = QStringLiteral(
            "SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE RDB$INDEX_NAME LIKE 'IX_%'");
    QStringList names;
    for (const QStringList &row : Rows(c(), sql))
        names << row.first();
    for (const char *wanted : {"IX_DOCENTRADA_ENTRADA", "IX_FORNECEDOR_NOME", "IX_MAPAAPURACAO_FIM",
                               "IX_MAPAAPURACAO_PERIODO"})
        EXPECT_TRUE(names.contains(QLatin1String(wanted))) << wanted;
}

TEST_P(SchemaTest, CreatingItTwiceIsRefusedNamingTheTable)
{
    try {
        Velmora::Db::CreateSchema(c());
        FAIL() << "the schema exists";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("EMPRESA"))) << qPrintable(e.Message());
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, SchemaTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

TEST(SqliteSchemaTest, DatesStayInTheYearMonthDayForm)
{
    ScratchDatabase db(QStringLiteral("sqlite"));
    Velmora::DBConnection &c = db.Connection();
    c.Execute(QStringLiteral("INSERT INTO EMPRESA VALUES ('01', 'Velmora')"));
    c.Execute(QStringLiteral("INSERT INTO IMPOSTONFE VALUES ('01', 'ICMS', 'E')"));
    const QString map =
        QStringLiteral("INSERT INTO MAPAAPURACAO VALUES ('01', '01', '1', ?, '2024-01-31')");
    c.Execute(map, {QDate(2024, 1, 1)});
    for (const char *bad : {"31/01/2024", "2024-02-30", "2024-1-5", "amanhã"})
        EXPECT_THROW(c.Execute(map, {QString::fromUtf8(bad)}), EDatabaseError) << bad;
    EXPECT_EQ(Rows(c, QStringLiteral("SELECT DTINIPERIODO FROM MAPAAPURACAO")),
              QList<QStringList>{{"2024-01-01"}});

    const QString variant = QStringLiteral("INSERT INTO VARIANTETELA (CDTELA, NMUSUARIO, IDTIPO, "
                                           "NMVARIANTE, DTCRIACAO) VALUES ('T', 'u', 'V', ?, ?)");
    c.Execute(variant, {QStringLiteral("a"), QStringLiteral("2024-01-31 23:59:59")});
    for (const char *bad : {"2024-01-31", "2024-01-31T10:00:00", "2024-01-31 24:00:00"})
        EXPECT_THROW(c.Execute(variant, {QString::fromUtf8(bad), QString::fromUtf8(bad)}),
                     EDatabaseError)
            << bad;
}

} // namespace

// A module's part joins the platform's tables after them, in its own order; a part this version
// cannot read is refused with its name and the reason, never half taken.
TEST(SchemaPartTest, TheModulesTablesFollowThePlatformsInTheirOrder)
{
    QStringList names;
    for (const Velmora::Db::TableDef &t : Velmora::Db::Tables())
        names << t.name;
    EXPECT_LT(names.indexOf("FILIAL"), names.indexOf("VARIANTETELA"));
    EXPECT_LT(names.indexOf("VARIANTETELA"), names.indexOf("RELATAGENDA"));
    EXPECT_EQ(names.indexOf("RELATAGENDA") + 1, names.indexOf("MAPAAPURACAO"));
    EXPECT_LT(names.indexOf("DOCENTRADA"), names.indexOf("DOCENTRADAIMP"));
    const Velmora::Db::TableDef *docs = Velmora::Db::FindTable("DOCENTRADAIMP");
    ASSERT_TRUE(docs);
    EXPECT_EQ(docs->column("PCALIQUOTA")->type, Velmora::Db::ColumnType::Rate);
    EXPECT_EQ(docs->references.first().columns.size(), 5);
}

TEST(SchemaPartTest, LongTextsAndTimestampsAreColumnTypes)
{
    const QVector<Velmora::Db::TableDef> part = Velmora::Db::ReadSchemaPart(
        R"({"version":1,"tables":[{"name":"T","columns":[{"name":"A","type":"text","size":2},)"
        R"({"name":"B","type":"longtext"},{"name":"C","type":"timestamp"}],"key":["A"]}]})",
        "mod.json");
    EXPECT_EQ(part.first().column("B")->type, Velmora::Db::ColumnType::LongText);
    EXPECT_EQ(part.first().column("C")->type, Velmora::Db::ColumnType::Timestamp);
}

TEST(SchemaPartTest, APartThatCannotBeReadIsRefusedSayingWhy)
{
    const QByteArray column = R"({"name":"A","type":"text","size":2})";
    const struct
    {
        QByteArray json;
        const char *reason;
    } cases[] = {
        {"{", "não terminado"},
        {R"({"version":2,"tables":[]})", "versão 2"},
        {R"({"version":1,"tables":[]})", "não há tabelas"},
        {R"({"version":1,"tables":[{"name":"T","columns":[{"name":"A","type":"text"}],"key":["A"]}]})",
         "não diz seu tamanho"},
        {R"({"version":1,"tables":[{"name":"T","columns":[{"name":"A","type":"blob"}],"key":["A"]}]})",
         "tipo desconhecido \"blob\""},
        {R"({"version":1,"tables":[{"name":"T","columns":[)" + column + R"(],"key":["B"]}]})",
         "coluna B"},
        {R"({"version":1,"tables":[{"name":"T","columns":[)" + column + R"(]}]})", "sem colunas"},
    };
    for (const auto &c : cases) {
        try {
            Velmora::Db::ReadSchemaPart(c.json, "mod.json");
            ADD_FAILURE() << "accepted: " << c.json.constData();
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains("mod.json")) << qPrintable(e.Message());
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.reason)))
                << qPrintable(e.Message());
        }
    }
}
