#include "FileSizeLimit.h"
#include "RecordingServices.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "framework/TApplication.h"
#include "reports/PagedReport.h"
#include "reports/TReportDesignerDialog.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
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
    // Suppliers whose names a spreadsheet or a browser would misread: a formula, and the
    // separator, quotes, a line break and markup; a document each, the first a credit.
    static inline const QString formulaName = QStringLiteral("=1+1");
    static inline const QString hostileName = QStringLiteral("Sul; \"Norte\"\n<b>Leste</b> &amp;");
    void addHostileSuppliers()
    {
        db.addSupplier(QStringLiteral("55555555000155"), formulaName, QStringLiteral("J"));
        db.addSupplier(QStringLiteral("66666666000166"), hostileName, QStringLiteral("J"));
        const QDate day(2024, 1, 20);
        db.addDocuments({{"01", "1", "55555555000155", "1", "000000030", day, day, "123456789",
                          -10.5, "01", -10.5, 18, -1.89},
                         {"01", "1", "66666666000166", "1", "000000031", day, day, "123456789", 200,
                          "01", 200, 18, 36}});
        totals = db.expectedTotals(QString());
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
    addHostileSuppliers();
    const QString path = save(QStringLiteral("fis014.csv"));
    EXPECT_TRUE(services.messages().isEmpty()) << services.messages().join('\n').toStdString();
    const QList<QStringList> rows = ParseCsv(ReadText(path), QLatin1Char(';'));
    ASSERT_EQ(rows.size(), 1 + totals.at(0).toInt());
    EXPECT_EQ(rows.at(0).mid(0, 4),
              (QStringList{"C.N.P.J/C.P.F", "Fornecedor", "Documento", "Série"}));
    EXPECT_EQ(rows.at(1).at(4), QStringLiteral("02/01/2024"));
    QMap<QString, QStringList> byKey;
    for (const QStringList &row : rows)
        byKey.insert(row.at(0), row);
    EXPECT_EQ(byKey.value("33333333333").at(1), QStringLiteral("Carlos D'Ávila"));
    // A name that reads as a formula is neutralised; the credit's numbers stay numbers.
    EXPECT_EQ(byKey.value("55555555000155").at(1), QLatin1Char('\'') + formulaName);
    EXPECT_EQ(byKey.value("55555555000155").mid(7),
              (QStringList{"-10,50", "-10,50", "18,0000", "-1,89"}));
    EXPECT_EQ(byKey.value("66666666000166").at(1), hostileName);
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

// Read by a spreadsheet library: the data sheet holds the documents only, the totals are
// formulas over it whose stored values match SQL, and the parameters are in the clerk's words.
TEST_P(OutputTest, XlsxKeepsDocumentsTotalsAndParametersApart)
{
    addHostileSuppliers();
    const QJsonArray sheets =
        ReadWorkbook(save(QStringLiteral("fis014.xlsx"))).value("sheets").toArray();
    ASSERT_EQ(sheets.size(), 3);
    QStringList names;
    for (const QJsonValue &sheet : sheets) {
        names << sheet["name"].toString();
        for (const QJsonValue &row : sheet["rows"].toArray())
            for (const QJsonValue &cell : row.toArray()) {
                const QString text = cell[0].toString();
                EXPECT_FALSE(text.contains(QStringLiteral("P_")) || text == QLatin1String("T"))
                    << qPrintable(names.last()) << ": " << qPrintable(text);
            }
    }
    EXPECT_EQ(names, (QStringList{"Relatório", "Totais", "Parâmetros"}));
    auto rowsOf = [&](int sheet) { return sheets.at(sheet)["rows"].toArray(); };
    auto cell = [](const QJsonArray &rows, int r, int c) { return rows.at(r)[c].toArray(); };

    const QJsonArray data = rowsOf(0);
    ASSERT_EQ(data.size(), 1 + totals.at(0).toInt());
    EXPECT_EQ(sheets.at(0)["freeze"].toString(), QStringLiteral("A2"));
    EXPECT_EQ(sheets.at(0)["filter"].toString(), QStringLiteral("A1:K%1").arg(data.size()));
    // Codes stay texts, the date is a date with its format.
    auto json = [](const QJsonArray &a) { return QJsonDocument(a).toJson(QJsonDocument::Compact); };
    EXPECT_EQ(json(cell(data, 1, 0)), R"(["11111111000111","s","@","11111111000111"])");
    EXPECT_EQ(cell(data, 1, 2)[0].toString(), QStringLiteral("000000001"));
    EXPECT_EQ(cell(data, 1, 4)[0].toString(), QStringLiteral("2024-01-02T00:00:00"));
    EXPECT_EQ(cell(data, 1, 4)[2].toString(), QStringLiteral("dd/mm/yyyy"));
    double tax = 0;
    QMap<QString, QString> letterOf; // the data sheet's column of each label
    for (int c = 0; c < 11; ++c)
        letterOf.insert(cell(data, 0, c)[0].toString(), QString(QChar('A' + c)));
    for (int r = 1; r < data.size(); ++r) {
        EXPECT_EQ(cell(data, r, 1)[1].toString(), QStringLiteral("s")) << "a name is no formula";
        tax += cell(data, r, 10)[0].toDouble();
    }
    EXPECT_NEAR(tax, totals.at(3).toDouble(), 0.005);

    const QJsonArray sums = rowsOf(1);
    ASSERT_EQ(sums.size(), 1 + 5 + 1); // header, a row per supplier, the grand total
    for (int r = 1; r < sums.size(); ++r) {
        const bool grand = r == sums.size() - 1;
        const QString key = cell(sums, r, 0)[0].toString();
        const QVariantList expected =
            grand ? totals
                  : db.expectedTotals(QStringLiteral("AND D.NRINSJURFORN = '%1'").arg(key));
        if (grand) {
            EXPECT_EQ(key, QStringLiteral("Total geral"));
        }
        for (int k = 0; k < 3; ++k) {
            const QJsonArray total = cell(sums, r, 2 + k);
            const QString column = letterOf.value(cell(sums, 0, 2 + k)[0].toString());
            ASSERT_FALSE(column.isEmpty());
            EXPECT_EQ(total[1].toString(), QStringLiteral("f"));
            EXPECT_TRUE(
                total[0].toString().startsWith(grand ? "=SUM(" : "=SUMIFS(") &&
                total[0].toString().contains(QStringLiteral("'Relatório'!$%1:$%1").arg(column)))
                << qPrintable(total[0].toString());
            EXPECT_EQ(total[2].toString(), QStringLiteral("#,##0.00"));
            EXPECT_NEAR(total[3].toDouble(), expected.at(k + 1).toDouble(), 0.005)
                << qPrintable(key);
        }
    }

    QMap<QString, QString> parameters;
    for (const QJsonValue &row : rowsOf(2))
        parameters.insert(row[0][0].toString(), row[1][0].toString());
    EXPECT_EQ(parameters.value("Relatório"), QStringLiteral("FIS014 – Documentos por Fornecedor"));
    EXPECT_EQ(parameters.value("Empresa"), QStringLiteral("01 – Velmora Matriz"));
    EXPECT_EQ(parameters.value("Imposto"), QStringLiteral("01 – ICMS"));
    EXPECT_EQ(parameters.value("Período"), QStringLiteral("01/01/2024 a 31/01/2024"));
    EXPECT_EQ(parameters.value("Filiais"), QStringLiteral("todas"));
    EXPECT_EQ(parameters.value("Fornecedores"), QStringLiteral("todos"));
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
        const QString text =
            PdfText(path).replace(QRegularExpression(QStringLiteral(" {2,}")), QStringLiteral(" "));
        for (const QString &line :
             {QStringLiteral("Empresa: 01 – Velmora Matriz"), QStringLiteral("Imposto: 01 – ICMS"),
              QStringLiteral("Período: 01/01/2024 a 31/01/2024"), QStringLiteral("Filiais: todas"),
              c.shown})
            EXPECT_TRUE(text.contains(line)) << qPrintable(line) << " in\n" << qPrintable(text);
        EXPECT_FALSE(text.contains(QStringLiteral("P_")));
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\bT\\b"))));
    }
    EXPECT_TRUE(PdfText(out.filePath(QStringLiteral("cabecalho.pdf")))
                    .contains(QStringLiteral("Fornecedor: 11111111000111")));
}

// A saved PDF is an archived one: readers see PDF/A-1b in its metadata, which say what the
// document information says, colours with their output intent, no transparency, and every
// face embedded as a subset that maps back to text.
TEST_P(OutputTest, PdfIsAnArchivedFileWithItsFacesAsSubsets)
{
    const QString path = save(QStringLiteral("arquivo.pdf"));
    const QString check = ToolOutput(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    EXPECT_TRUE(check.contains(QStringLiteral("No syntax or stream encoding errors")))
        << qPrintable(check);

    const QString xmp = ToolOutput(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), path});
    const QString info = ToolOutput(QStringLiteral("pdfinfo"), {QStringLiteral("-rawdates"), path});
    for (const QString &part :
         {QStringLiteral("<pdfaid:part>1</pdfaid:part>"),
          QStringLiteral("<pdfaid:conformance>B</pdfaid:conformance>"),
          QStringLiteral("<pdf:Producer>Velmora</pdf:Producer>"),
          QStringLiteral("Documentos por Fornecedor – FIS014 · Empresa: 01 – Velmora Matriz")})
        EXPECT_TRUE(xmp.contains(part)) << qPrintable(part) << " in\n" << qPrintable(xmp);
    // D:20261208103316-03'00' in the information is 2026-12-08T10:33:16-03:00 in the XMP.
    const QRegularExpressionMatch raw =
        QRegularExpression(
            QStringLiteral("CreationDate: +D:(\\d{4})(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)"
                           "(\\d\\d)(Z|[+-]\\d\\d'\\d\\d')"))
            .match(info);
    ASSERT_TRUE(raw.hasMatch()) << qPrintable(info);
    QString zone = raw.captured(7);
    zone = zone == QLatin1String("Z") ? zone : zone.left(3) + QLatin1Char(':') + zone.mid(4, 2);
    EXPECT_TRUE(xmp.contains(QStringLiteral("<xmp:CreateDate>%1-%2-%3T%4:%5:%6%7</xmp:CreateDate>")
                                 .arg(raw.captured(1), raw.captured(2), raw.captured(3),
                                      raw.captured(4), raw.captured(5), raw.captured(6), zone)))
        << qPrintable(info) << qPrintable(xmp);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Producer: +Velmora\n"))));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-1.4"));
    EXPECT_TRUE(bytes.contains("/S /GTS_PDFA1") && bytes.contains("/DestOutputProfile"));
    EXPECT_FALSE(bytes.contains("/Transparency"));

    const QStringList fonts = ToolOutput(QStringLiteral("pdffonts"), {path})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                  .mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString &font : fonts)
        EXPECT_TRUE(font.contains(
            QRegularExpression(QStringLiteral("^[A-Z]{6}\\+DejaVuSans\\S* .* yes +yes +yes "))))
            << qPrintable(font);
}

TEST_P(OutputTest, HtmlCarriesTheReportShape)
{
    addHostileSuppliers();
    const QString path = save(QStringLiteral("fis014.html"));
    QProcess tidy;
    tidy.start(QStringLiteral("tidy"), {QStringLiteral("-e"), QStringLiteral("-q"), path});
    ASSERT_TRUE(tidy.waitForFinished(60000));
    EXPECT_EQ(tidy.readAllStandardError() + tidy.readAllStandardOutput(), QByteArray());
    const QString html = ReadText(path);
    EXPECT_TRUE(html.contains(QStringLiteral("<title>Documentos por Fornecedor</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<th scope=\"row\">Período</th><td>01/01/2024 a "
                                             "31/01/2024</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("Carlos D&#x27;Ávila")) ||
                html.contains(QStringLiteral("Carlos D'Ávila")));
    EXPECT_TRUE(html.contains(QStringLiteral("Sul; &quot;Norte&quot;\n&lt;b&gt;Leste&lt;/b&gt; "
                                             "&amp;amp;")));
    EXPECT_FALSE(html.contains(QStringLiteral("<b>")));
    const qsizetype grand = html.indexOf(QStringLiteral("<tr class=\"geral\">"));
    ASSERT_GE(grand, 0);
    const QString row = html.mid(grand, html.indexOf(QStringLiteral("</tr>"), grand) - grand);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(row.contains(Money(totals.at(i).toDouble()))) << row.toStdString();
    EXPECT_EQ(html.count(QStringLiteral("<tr class=\"total\">")), 5);
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
            documents << EntryDocument{
                "01",
                "1",
                key,
                "1",
                QStringLiteral("%1").arg(s * 10 + d, 9, 10, QLatin1Char('0')),
                QDate(2024, 1, 10),
                QDate(2024, 1, 10),
                "123456789",
                100,
                "01",
                100,
                18,
                18};
    }
    db.addDocuments(documents);
    const QString path = save(QStringLiteral("paginas.pdf"));
    const int pages = PdfPages(path);
    ASSERT_GT(pages, 4);
    const QStringList texts = PdfText(path).split(QLatin1Char('\f'));
    QString open; // the group running across pages, and how many documents it had
    int openRows = 0, openPage = 0;
    for (int p = 0; p < pages; ++p) {
        const QStringList lines = texts.at(p).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_TRUE(texts.at(p).contains(QStringLiteral("Página %1 de %2").arg(p + 1).arg(pages)));
        const qsizetype body =
            lines.indexOf(QRegularExpression(QStringLiteral("\\s*Documento\\s+Série.*")));
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
