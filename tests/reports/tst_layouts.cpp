#include "ReportTestSupport.h"

#include "reports/LayoutCatalog.h"
#include "reports/ReportLayout.h"
#include "rtl/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

QString brokenFile(const char *name)
{
    return QStringLiteral(REPORT_TEST_DIR "/layouts/broken/") + QLatin1String(name);
}

// Each broken layout is refused with a message that names the file and what is wrong.
struct BrokenCase
{
    const char *file;
    const char *problem;
};

class BrokenLayoutTest : public ::testing::TestWithParam<BrokenCase>
{
};

TEST_P(BrokenLayoutTest, NamesTheFileAndTheProblem)
{
    const QString path = brokenFile(GetParam().file);
    try {
        ReportLayout::load(path);
        FAIL() << "loaded " << GetParam().file;
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QString::fromUtf8(GetParam().problem)))
            << e.Message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Broken, BrokenLayoutTest,
    ::testing::Values(
        BrokenCase{"truncated-json.json", "JSON inválido"},
        BrokenCase{"not-an-object.json", "não é um objeto"},
        BrokenCase{"missing-title.json", "falta o título"},
        BrokenCase{"width-as-text.json", "'width' na coluna 1 deve ser um número"},
        BrokenCase{"total-of-text-column.json", "o total 'A' não é uma coluna numérica"},
        BrokenCase{"columns-wider-than-page.json", "as colunas somam 300,0 mm"},
        BrokenCase{"unknown-key.json", "chave 'colunas' desconhecida"},
        BrokenCase{"no-generic-query.json", "falta o texto genérico da consulta"},
        BrokenCase{"bad-alignment.json", "alinhamento 'middle' na coluna 1 inválido"}));

TEST(LayoutTest, ShippedLayoutIsSoundAndRoundTrips)
{
    const ReportLayout layout = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    EXPECT_EQ(layout.title, QStringLiteral("Documentos por Fornecedor"));
    EXPECT_EQ(layout.report, QStringLiteral("FIS014"));
    EXPECT_TRUE(layout.problems().isEmpty());
    EXPECT_TRUE(layout.queries.contains(QStringLiteral("SQL_IB")));
    EXPECT_EQ(layout.queryText(DatabaseKind::Oracle), layout.queries.value(QStringLiteral("SQL")));
    EXPECT_NE(layout.queryText(DatabaseKind::InterBase), layout.queryText(DatabaseKind::Generic));

    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.json"));
    layout.save(copy);
    const ReportLayout again = ReportLayout::load(copy);
    EXPECT_EQ(again.toJson(), layout.toJson());
}

TEST(LayoutTest, UnwritableTargetIsReportedWithItsName)
{
    const ReportLayout layout = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    try {
        layout.save(QStringLiteral("/nonexistent-dir/x.json"));
        FAIL();
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("/nonexistent-dir/x.json")));
    }
}

TEST(LayoutCatalogTest, FindsTheCodesLayoutsByTitleAndListsBrokenOnes)
{
    QTemporaryDir dir;
    const ReportLayout base = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    ReportLayout second = base;
    second.title = QStringLiteral("A - Resumo anual");
    base.save(dir.filePath(QStringLiteral("FIS014.json")));
    second.save(dir.filePath(QStringLiteral("fis014-2.json")));
    base.save(dir.filePath(QStringLiteral("FIS0140.json"))); // another code
    base.save(dir.filePath(QStringLiteral("FIS015.json")));
    QFile broken(dir.filePath(QStringLiteral("FIS014_quebrado.json")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{ nada");
    broken.close();

    const QList<LayoutEntry> found = FindLayouts(QStringLiteral("FIS014"), dir.path());
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.at(0).title, QStringLiteral("A - Resumo anual"));
    EXPECT_EQ(found.at(1).title, QStringLiteral("Documentos por Fornecedor"));
    EXPECT_EQ(found.at(2).title, QStringLiteral("FIS014_quebrado.json"));
    EXPECT_TRUE(found.at(2).error.contains(QStringLiteral("FIS014_quebrado.json")));
    EXPECT_TRUE(found.at(0).error.isEmpty());

    EXPECT_TRUE(FindLayouts(QStringLiteral("FIS099"), dir.path()).isEmpty());
    EXPECT_TRUE(FindLayouts(QStringLiteral("FIS014"), dir.filePath(QStringLiteral("nao-existe")))
                    .isEmpty());
    EXPECT_EQ(QFileInfo(NewLayoutPath(QStringLiteral("FIS014"), dir.path())).fileName(),
              QStringLiteral("FIS014-3.json"));
}

} // namespace
