#include "FileSizeLimit.h"
#include "RecordingServices.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "framework/TApplication.h"
#include "reports/PagedReport.h"
#include "reports/TReportDesignerDialog.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace Velmora::Reports;

namespace {

// Every output of the FIS014 report is read back and its totals checked against SQL, on
// every engine.
class OutputTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db.loadFixture();
        services.record();
        screen = std::make_unique<TestReportScreen>(&Application());
        screen->Create();
        totals = db.expectedTotals(QString());
    }
    // Saves through the screen's save-as button, the file answered by the script; a relative
    // name is taken in the test's folder.
    QString save(const QString &name)
    {
        const QString path = QDir::isAbsolutePath(name) ? name : out.filePath(name);
        services.queueFile(path);
        screen->findChild<QAbstractButton *>(QStringLiteral("sbtSalvarComo"))->click();
        return path;
    }
    QJsonObject lastReport() const
    {
        for (qsizetype i = services.events.size() - 1; i >= 0; --i)
            if (services.events.at(i).value(QStringLiteral("event")) == QLatin1String("report"))
                return services.events.at(i);
        return {};
    }
    static double number(QString text)
    {
        return text.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    }

    TestDatabase db{GetParam()};
    LayoutDirectory layouts;
    RecordingServices services;
    QTemporaryDir out;
    std::unique_ptr<TestReportScreen> screen;
    QVariantList totals; // count, accounting value, base, tax
};

TEST_P(OutputTest, CsvHoldsOneLinePerRowWithTheLocaleSeparator)
{
    const QString path = save(QStringLiteral("fis014.csv"));
    EXPECT_TRUE(services.messages().isEmpty()) << services.messages().join('\n').toStdString();
    const QList<QStringList> rows = ParseCsv(ReadText(path), QLatin1Char(';'));
    ASSERT_EQ(rows.size(), 1 + totals.at(0).toInt());
    EXPECT_EQ(rows.at(0).mid(0, 4),
              (QStringList{"C.N.P.J/C.P.F", "Fornecedor", "Documento", "Série"}));
    EXPECT_EQ(rows.at(6).at(1), QStringLiteral("Carlos D'Ávila"));
    EXPECT_EQ(rows.at(1).at(4), QStringLiteral("02/01/2024"));
    double sums[3] = {0, 0, 0};
    const int columns[3] = {7, 8, 10};
    for (int r = 1; r < rows.size(); ++r)
        for (int i = 0; i < 3; ++i)
            sums[i] += number(rows.at(r).at(columns[i]));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(sums[i], totals.at(i + 1).toDouble(), 0.005);
    EXPECT_EQ(lastReport().value(QStringLiteral("action")).toString(), QStringLiteral("save"));
    EXPECT_EQ(lastReport().value(QStringLiteral("rows")).toInt(), totals.at(0).toInt());
}

TEST_P(OutputTest, XlsxWritesNumbersDatesTotalsAndTheParameters)
{
    const QString path = save(QStringLiteral("fis014.xlsx"));
    const QString workbook = QString::fromUtf8(ZipEntry(path, QStringLiteral("xl/workbook.xml")));
    EXPECT_TRUE(workbook.contains(QStringLiteral("name=\"Relatório\"")));
    EXPECT_TRUE(workbook.contains(QStringLiteral("name=\"Parâmetros\"")));
    const Sheet sheet = ParseSheet(ZipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_EQ(sheet.value(1).value("C").text, QStringLiteral("Documento"));
    // First detail: document 1, issued 02/01/2024, held as a date serial with a format.
    EXPECT_EQ(sheet.value(2).value("C").text, QStringLiteral("000000001"));
    EXPECT_TRUE(sheet.value(2).value("E").number);
    EXPECT_EQ(sheet.value(2).value("E").text.toInt(), 45293);
    EXPECT_NE(sheet.value(2).value("E").style, 0);
    double detail = 0;
    int grandRow = 0;
    for (auto it = sheet.begin(); it != sheet.end(); ++it) {
        if (it.key() > 1 && !it.value().value("C").text.isEmpty()) {
            EXPECT_TRUE(it.value().value("H").number);
            detail += it.value().value("H").text.toDouble();
        }
        if (it.value().value("A").text == QLatin1String("Total geral"))
            grandRow = it.key();
    }
    EXPECT_NEAR(detail, totals.at(1).toDouble(), 0.005);
    ASSERT_GT(grandRow, 0);
    const auto grand = sheet.value(grandRow);
    EXPECT_NEAR(grand.value("H").text.toDouble(), totals.at(1).toDouble(), 0.005);
    EXPECT_NEAR(grand.value("I").text.toDouble(), totals.at(2).toDouble(), 0.005);
    EXPECT_NEAR(grand.value("K").text.toDouble(), totals.at(3).toDouble(), 0.005);

    const Sheet params = ParseSheet(ZipEntry(path, QStringLiteral("xl/worksheets/sheet2.xml")));
    QMap<QString, SheetCell> byName;
    for (const auto &row : params)
        byName.insert(row.value("A").text, row.value("B"));
    EXPECT_EQ(byName.value("Empresa").text, QStringLiteral("01 – Velmora Matriz"));
    EXPECT_EQ(byName.value("Imposto").text, QStringLiteral("01 – ICMS"));
    EXPECT_EQ(byName.value("Período").text, QStringLiteral("01/01/2024 a 31/01/2024"));
    EXPECT_EQ(byName.value("Filiais").text, QStringLiteral("todas"));
    EXPECT_EQ(byName.value("Fornecedores").text, QStringLiteral("todos"));
}

TEST_P(OutputTest, PdfShowsGroupsAndTotals)
{
    const QString path = save(QStringLiteral("fis014.pdf"));
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Documentos por Fornecedor")));
    EXPECT_TRUE(text.contains(QStringLiteral("Fornecedor: 33333333333 - Carlos D'Ávila")));
    EXPECT_TRUE(text.contains(QStringLiteral("02/01/2024")));
    QString grand;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral("Total geral")))
            grand = line;
    ASSERT_FALSE(grand.isEmpty()) << text.toStdString();
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(grand.contains(Money(totals.at(i).toDouble()))) << grand.toStdString();
    EXPECT_EQ(lastReport().value(QStringLiteral("pages")).toInt(), PdfPages(path));
}

// The first page names the values the report ran with in the clerk's words, the later ones
// in a line; no query name or all-marker reaches the reader.
TEST_P(OutputTest, PdfHeadingSpeaksTheClerksWords)
{
    QStringList keys;
    for (int i = 0; i < 300; ++i)
        keys << QStringLiteral("'%1'").arg(10000000000000LL + i);
    keys << QStringLiteral("'11111111000111'");
    const struct
    {
        QString suppliers;
        QString shown;
    } cases[] = {
        {QString(), QStringLiteral("Fornecedores: todos")},
        {keys.join(QLatin1Char(',')),
         QStringLiteral("Fornecedores: 301 selecionados – 10000000000000, 10000000000001, "
                        "10000000000002 e mais 298")},
    };
    for (const auto &c : cases) {
        screen->fornecedores = c.suppliers;
        const QString path = save(QStringLiteral("cabecalho.pdf"));
        const QString text = PdfText(path).replace(QRegularExpression(QStringLiteral(" {2,}")),
                                                   QStringLiteral(" "));
        for (const QString &line :
             {QStringLiteral("Empresa: 01 – Velmora Matriz"), QStringLiteral("Imposto: 01 – ICMS"),
              QStringLiteral("Período: 01/01/2024 a 31/01/2024"),
              QStringLiteral("Filiais: todas"), c.shown})
            EXPECT_TRUE(text.contains(line)) << qPrintable(line) << " in\n" << qPrintable(text);
        EXPECT_FALSE(text.contains(QStringLiteral("P_")));
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\bT\\b"))));
    }
    EXPECT_TRUE(PdfText(out.filePath(QStringLiteral("cabecalho.pdf")))
                    .contains(QStringLiteral("Fornecedor: 11111111000111")));
}

TEST_P(OutputTest, HtmlCarriesTheReportShape)
{
    const QString html = ReadText(save(QStringLiteral("fis014.html")));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>Documentos por Fornecedor</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("Carlos D&#x27;Ávila")) ||
                html.contains(QStringLiteral("Carlos D'Ávila")));
    const qsizetype grand = html.indexOf(QStringLiteral("<tr class=\"geral\">"));
    ASSERT_GE(grand, 0);
    const QString row = html.mid(grand, html.indexOf(QStringLiteral("</tr>"), grand) - grand);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(row.contains(Money(totals.at(i).toDouble()))) << row.toStdString();
    EXPECT_EQ(html.count(QStringLiteral("<tr class=\"total\">")), 3);
}

TEST_P(OutputTest, UnknownExtensionWritesNothingAndSaysWhy)
{
    const QString path = save(QStringLiteral("fis014.doc"));
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_EQ(services.messages().size(), 1);
    EXPECT_TRUE(services.messages().at(0).contains(QStringLiteral("fis014.doc")));
}

TEST_P(OutputTest, NoRowGivesAPageThatSaysSo)
{
    screen->imposto = QStringLiteral("99");
    const QString path = out.filePath(QStringLiteral("vazio.pdf"));
    services.queueFile(path);
    screen->findChild<QAbstractButton *>(QStringLiteral("sbtPrint"))->click();
    EXPECT_TRUE(services.messages().isEmpty());
    EXPECT_EQ(PdfPages(path), 1);
    EXPECT_TRUE(PdfText(path).contains(QStringLiteral("Nenhum registro encontrado")));
    EXPECT_EQ(lastReport().value(QStringLiteral("action")).toString(), QStringLiteral("print"));
    EXPECT_EQ(lastReport().value(QStringLiteral("rows")).toInt(), 0);
}

// Many rows: page breaks carry the open group over, and the preview pages the same way as
// the PDF.
TEST_P(OutputTest, LongReportBreaksPagesAlikeInPdfAndPreview)
{
    QList<EntryDocument> many;
    for (int i = 0; i < 400; ++i)
        many << EntryDocument{"01",
                              "2",
                              "22222222000122",
                              "1",
                              QStringLiteral("%1").arg(100000 + i, 9, 10, QLatin1Char('0')),
                              QDate(2024, 1, 20),
                              QDate(2024, 1, 20),
                              "123456789",
                              10.25,
                              "01",
                              10.25,
                              18,
                              1.85};
    db.addDocuments(many);
    totals = db.expectedTotals(QString());
    const QString path = save(QStringLiteral("longo.pdf"));
    const int pages = PdfPages(path);
    EXPECT_GT(pages, 5);
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Beta Indústria S.A. (continuação)")));
    EXPECT_TRUE(text.contains(QStringLiteral("Página %1").arg(pages)));
    EXPECT_TRUE(text.contains(Money(totals.at(1).toDouble())));

    auto *designer = screen->findChild<TReportDesignerDialog *>(QStringLiteral("rpddPadrao"));
    PagedReport preview(designer->Open(ReportLayout::load(screen->SelectedLayoutPath())), {});
    while (preview.pump(50)) {
    }
    EXPECT_EQ(preview.pageCount(), pages);
    EXPECT_EQ(preview.rows(), totals.at(0).toLongLong());
    // Any page can be painted again, in any order.
    for (int page : {pages - 1, 0, pages / 2}) {
        QImage image(preview.pageSize().toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        preview.renderPage(page, painter);
        painter.end();
        int ink = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                ink += image.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_GT(ink, 100) << "page " << page;
    }
}

// Suppliers of one to seven documents spread over pages: a page never opens on a total, a
// group of up to five documents is never split, and every page counts the pages.
TEST_P(OutputTest, PagesKeepGroupsTogetherAndCountThemselves)
{
    QList<EntryDocument> documents;
    for (int s = 0; s < 60; ++s) {
        const QString key = QStringLiteral("%1").arg(40000000000000LL + s);
        db.exec(QStringLiteral("INSERT INTO FORNECEDOR (NRINSJURFORN, NMRAZSOCFORN, IDTPIJURFORN) "
                               "VALUES ('%1', 'Fornecedor %2', 'J')")
                    .arg(key)
                    .arg(s));
        for (int d = 0; d <= s % 7; ++d)
            documents << EntryDocument{"01", "1", key, "1",
                                       QStringLiteral("%1").arg(s * 10 + d, 9, 10, QLatin1Char('0')),
                                       QDate(2024, 1, 10), QDate(2024, 1, 10), "123456789", 100,
                                       "01", 100, 18, 18};
    }
    db.addDocuments(documents);
    const QString path = save(QStringLiteral("paginas.pdf"));
    const int pages = PdfPages(path);
    ASSERT_GT(pages, 4);
    const QStringList texts = PdfText(path).split(QLatin1Char('\f'));
    QString open;    // the group running across pages, and how many documents it had
    int openRows = 0, openPage = 0;
    for (int p = 0; p < pages; ++p) {
        const QStringList lines = texts.at(p).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_TRUE(texts.at(p).contains(QStringLiteral("Página %1 de %2").arg(p + 1).arg(pages)));
        const qsizetype body = lines.indexOf(QRegularExpression(QStringLiteral("\\s*Documento\\s+Série.*")));
        ASSERT_GE(body, 0) << "page " << p + 1;
        for (qsizetype i = body + 1; i < lines.size(); ++i) {
            const QString line = lines.at(i).trimmed();
            if (line.startsWith(QStringLiteral("Fornecedor:"))) {
                const bool continued = line.endsWith(QStringLiteral("(continuação)"));
                EXPECT_EQ(continued, !open.isEmpty() && i == body + 1) << qPrintable(line);
                if (continued)
                    EXPECT_TRUE(lines.value(i + 1).trimmed().startsWith(QLatin1Char('0')))
                        << "a continued group goes on with rows, page " << p + 1;
                else
                    open = line, openRows = 0, openPage = p;
            } else if (line.startsWith(QStringLiteral("Total do fornecedor"))) {
                EXPECT_GT(i, body + 1) << "a total opens page " << p + 1;
                EXPECT_TRUE(openRows > 5 || openPage == p) << qPrintable(open) << " split";
                open.clear();
            } else if (line.startsWith(QLatin1Char('0'))) {
                ++openRows;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, OutputTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

// Writing fails: nothing is left under the chosen name, an earlier file keeps its content, no
// partial file stays behind, and the message says where and why.
class OutputFaultTest : public OutputTest
{
protected:
    QStringList folderEntries() const
    {
        return QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString failure(const QString &path, const QString &reason) const
    {
        return QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(path, reason);
    }
};

TEST_P(OutputFaultTest, AFullDiskKeepsTheEarlierFileAndLeavesNoPartOfTheNewOne)
{
    for (const char *name : {"fis014.pdf", "fis014.csv", "fis014.xlsx", "fis014.html"}) {
        SCOPED_TRACE(name);
        services.clear();
        const QString path = save(QLatin1String(name));
        ASSERT_TRUE(services.messages().isEmpty()) << services.messages().join('\n').toStdString();
        const QByteArray earlier = bytesOf(path);
        ASSERT_GT(earlier.size(), 64);
        {
            const FileSizeLimit full(static_cast<rlim_t>(earlier.size() / 2));
            save(QLatin1String(name));
        }
        ASSERT_EQ(services.messages().size(), 1);
        EXPECT_EQ(services.messages().at(0),
                  failure(path, QStringLiteral("o arquivo passou do tamanho máximo permitido")));
        EXPECT_EQ(bytesOf(path), earlier);
        EXPECT_EQ(folderEntries(), QStringList{QLatin1String(name)});
        // Once there is room again, the same name is written whole.
        services.clear();
        save(QLatin1String(name));
        EXPECT_TRUE(services.messages().isEmpty()) << services.messages().join('\n').toStdString();
        EXPECT_EQ(folderEntries(), QStringList{QLatin1String(name)});
        QFile::remove(path);
    }
}

TEST_P(OutputFaultTest, AFolderThatCannotTakeTheFileIsNamed)
{
    // A folder that is not there, and a file where the folder should be.
    QFile plain(out.filePath(QStringLiteral("notas.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString &folder : {out.filePath(QStringLiteral("sem-pasta")), plain.fileName()}) {
        services.clear();
        const QString path = folder + QStringLiteral("/fis014.csv");
        save(path.mid(out.path().size() + 1));
        ASSERT_EQ(services.messages().size(), 1);
        EXPECT_EQ(services.messages().at(0),
                  failure(path, QStringLiteral("a pasta '%1' não existe").arg(folder)));
    }
    // A folder that refuses new files: one without write permission, or for the superuser,
    // whom permissions do not stop, the kernel's own.
    QString locked = QStringLiteral("/sys");
    if (::geteuid() != 0) {
        locked = out.filePath(QStringLiteral("trancada"));
        ASSERT_TRUE(QDir().mkdir(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    }
    services.clear();
    const QString refused = locked + QStringLiteral("/fis014.csv");
    save(refused);
    EXPECT_EQ(services.messages(),
              QStringList{failure(
                  refused, QStringLiteral("sem permissão para gravar na pasta '%1'").arg(locked))});
    if (::geteuid() != 0) {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().rmdir(locked);
    }

    // A folder under the chosen name is left alone.
    ASSERT_TRUE(QDir(out.path()).mkdir(QStringLiteral("fis014.pdf")));
    services.clear();
    const QString path = save(QStringLiteral("fis014.pdf"));
    ASSERT_EQ(services.messages().size(), 1);
    EXPECT_EQ(services.messages().at(0),
              failure(path, QStringLiteral("há uma pasta com esse nome")));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(folderEntries(), (QStringList{"fis014.pdf", "notas.txt"}));
}

// The engine plays no part here, and the embedded one writes files of its own.
INSTANTIATE_TEST_SUITE_P(Files, OutputFaultTest, ::testing::Values(QStringLiteral("sqlite")),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
