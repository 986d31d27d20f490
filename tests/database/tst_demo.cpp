// Demonstration data: valid registration numbers, taxes of every collecting body, monthly
// maps, documents of the right companies, and the same data on every engine.
#include "Demo.h"
#include "Documents.h"
#include "Schema.h"
#include "TestDatabases.h"
#include "rtl/Exceptions.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using Velmora::Test::Rows;
using Velmora::Test::ScratchDatabase;

namespace {

TEST(RegistrationNumberTest, CheckDigitsFollowTheModulusElevenRule)
{
    EXPECT_EQ(Velmora::Db::Cnpj(11222333, 1), QStringLiteral("11222333000181"));
    EXPECT_EQ(Velmora::Db::Cpf(529982247), QStringLiteral("52998224725"));
    EXPECT_EQ(Velmora::Db::Cpf(123456789), QStringLiteral("12345678909"));
    EXPECT_TRUE(Velmora::Db::ValidCnpj(QStringLiteral("11222333000181")));
    EXPECT_FALSE(Velmora::Db::ValidCnpj(QStringLiteral("11222333000182")));
    EXPECT_FALSE(Velmora::Db::ValidCnpj(QStringLiteral("00000000000000")));
    EXPECT_FALSE(Velmora::Db::ValidCnpj(QStringLiteral("1122233300018")));
    EXPECT_TRUE(Velmora::Db::ValidCpf(QStringLiteral("52998224725")));
    EXPECT_FALSE(Velmora::Db::ValidCpf(QStringLiteral("52998224752")));
    EXPECT_FALSE(Velmora::Db::ValidCpf(QStringLiteral("11111111111")));
}

QByteArray digest(Velmora::DBConnection &db)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const Velmora::Db::TableDef &t : Velmora::Db::Tables())
        for (const QStringList &row :
             Rows(db, QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(t.name, t.key.join(','))))
            hash.addData(row.join(QChar(0x1f)).toUtf8() + '\n');
    return hash.result().toHex();
}

TEST(DemoTest, RealisticDataAndTheSameOnEveryEngine)
{
    Velmora::Db::DemoOptions options;
    options.documents = 400;
    options.suppliers = 60;
    options.companies = 2;
    options.branches = 3;
    options.months = 6;
    options.start = QDate(2024, 1, 1);
    using Table = QList<QStringList>;

    QByteArray first;
    for (const QString &engine : Velmora::Test::EngineNames()) {
        SCOPED_TRACE(engine.toStdString());
        ScratchDatabase db(engine, false);
        Velmora::DBConnection &c = db.Connection();
        const auto result = Velmora::Db::GenerateDemo(c, options);
        EXPECT_EQ(result.rowsPerTable.value(QStringLiteral("DOCENTRADA")), 400);
        EXPECT_EQ(result.rowsPerTable.value(QStringLiteral("FORNECEDOR")), 60);
        EXPECT_EQ(result.rowsPerTable.value(QStringLiteral("FILIAL")), 6);
        EXPECT_GE(result.rowsPerTable.value(QStringLiteral("DOCENTRADAIMP")), 400);

        for (const QStringList &s :
             Rows(c, QStringLiteral("SELECT NRINSJURFORN, IDTPIJURFORN FROM FORNECEDOR"))) {
            const bool company = s.at(1) == QLatin1String("J");
            EXPECT_TRUE(company ? Velmora::Db::ValidCnpj(s.at(0)) : Velmora::Db::ValidCpf(s.at(0)))
                << qPrintable(s.join(' '));
        }
        // Every collecting body, and a tax without tax rows.
        EXPECT_EQ(Rows(c, QStringLiteral(
                              "SELECT CDIMPOSTONFE, IDORGARRECADNFE FROM IMPOSTONFE ORDER BY 1")),
                  (Table{{"01", "E"},
                         {"02", "F"},
                         {"03", "M"},
                         {"04", ""},
                         {"05", "<null>"},
                         {"06", "E"},
                         {"07", "F"}}));
        EXPECT_EQ(Rows(c, QStringLiteral("SELECT COUNT(*) FROM IMPOSTO WHERE CDIMPOSTONFE = '07'")),
                  (Table{{"0.0000"}}));
        // Per company and month: two state registrations for each state tax (01, 06), two
        // municipal ones for the municipal tax (03), the empty registration for 02, 04, 05.
        EXPECT_EQ(
            Rows(c, QStringLiteral(
                        "SELECT COUNT(*), MIN(DTINIPERIODO), MAX(DTFIMPERIODO) FROM MAPAAPURACAO")),
            (Table{{QString::number(2 * 6 * (4 + 2 + 3)) + ".0000", "2024-01-01", "2024-06-30"}}));
        EXPECT_EQ(
            Rows(c, QStringLiteral(
                        "SELECT COUNT(*) FROM MAPAAPURACAO M WHERE M.CDINSCRICAO <> '' AND "
                        "NOT EXISTS (SELECT 1 FROM INSCRESTAD E WHERE E.CDEMPRESA = M.CDEMPRESA "
                        "AND E.CDINSCESTA = M.CDINSCRICAO) AND NOT EXISTS (SELECT 1 FROM "
                        "INSCRMUNICIP I WHERE I.CDEMPRESA = M.CDEMPRESA AND I.CDINSCMUNI = "
                        "M.CDINSCRICAO)")),
            (Table{{"0.0000"}}))
            << "every map is of a registration of its company";
        EXPECT_EQ(
            Rows(c, QStringLiteral(
                        "SELECT COUNT(*) FROM DOCENTRADA D JOIN FILIAL F ON F.CDFILIAL = "
                        "D.CDFILIAL WHERE F.CDEMPRESA <> D.CDEMPRESA OR D.DTENTRADA < "
                        "D.DTEMISSAO OR D.DTEMISSAO < '2024-01-01' OR D.DTEMISSAO > '2024-06-30'")),
            (Table{{"0.0000"}}));
        EXPECT_GT(Rows(c, QStringLiteral("SELECT COUNT(DISTINCT NRINSJURFORN) FROM DOCENTRADA"))
                      .first()
                      .first()
                      .toDouble(),
                  40);
        EXPECT_EQ(
            Rows(c,
                 QStringLiteral(
                     "SELECT COUNT(*) FROM DOCENTRADAIMP WHERE VLIMPOSTO > VLBASE OR VLBASE <= 0")),
            (Table{{"0.0000"}}));

        const QByteArray d = digest(c);
        if (first.isEmpty())
            first = d;
        EXPECT_EQ(d, first) << "the same options give the same data on every engine";

        try {
            Velmora::Db::GenerateDemo(c, options);
            ADD_FAILURE() << "a database with data must be refused";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("já tem dados")))
                << qPrintable(e.Message());
        }
    }
}

TEST(DemoTest, BadOptionsAreRefusedBeforeAnythingIsWritten)
{
    ScratchDatabase db(QStringLiteral("sqlite"), false);
    Velmora::Db::DemoOptions options;
    options.companies = 0;
    EXPECT_THROW(Velmora::Db::GenerateDemo(db.Connection(), options), EDatabaseError);
    EXPECT_FALSE(Velmora::Db::SchemaExists(db.Connection()));
}

} // namespace
