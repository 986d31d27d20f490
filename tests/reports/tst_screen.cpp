#include "RecordingServices.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "framework/ControlState.h"
#include "framework/TApplication.h"
#include "reports/LayoutEditor.h"
#include "reports/ReportPreview.h"
#include "reports/TQRDesignConnection.h"
#include "rtl/Settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

// A person at the screen: the real windows open instead of files being written.
class InteractiveServices : public RecordingServices
{
public:
    bool headless() const override { return false; }
};

QRect rectIn(const QWidget *w, const QWidget *form)
{
    return QRect(w->mapTo(form, QPoint(0, 0)), w->size());
}

bool isContainer(const QWidget *w)
{
    return qobject_cast<const QGroupBox *>(w) ||
           (qobject_cast<const QFrame *>(w) && w->children().size() > 1 &&
            !qobject_cast<const QLabel *>(w));
}

// No two visible controls cover each other, every control lies in the client area, and
// sibling containers do not overlap.
void expectNoOverlap(QWidget *form)
{
    QList<QWidget *> controls;
    for (QWidget *w : form->findChildren<QWidget *>())
        if (Velmora::StateOf(w) && w->isVisibleTo(form))
            controls << w;
    ASSERT_FALSE(controls.isEmpty());
    for (QWidget *w : controls)
        EXPECT_TRUE(QRect(0, 0, 387, 295).contains(rectIn(w, form)))
            << w->objectName().toStdString() << " leaves the client area";
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j) {
            QWidget *a = controls.at(i), *b = controls.at(j);
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            const bool containers = isContainer(a) && isContainer(b);
            const bool leaves = !isContainer(a) && !isContainer(b);
            if (!containers && !leaves)
                continue; // a caption on a bar or panel
            if (containers && a->parentWidget() != b->parentWidget())
                continue;
            EXPECT_FALSE(rectIn(a, form).intersects(rectIn(b, form)))
                << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
        }
}

class ScreenTest : public ::testing::Test
{
protected:
    explicit ScreenTest(const QString &engine = QStringLiteral("sqlite")) : db(engine) {}
    std::unique_ptr<TestReportScreen> open()
    {
        auto screen = std::make_unique<TestReportScreen>(&Application());
        screen->Create();
        return screen;
    }
    QAbstractButton *button(QWidget *screen, const char *name)
    {
        return screen->findChild<QAbstractButton *>(QLatin1String(name));
    }
    // count documents of five, issued and entered on day(i), from supplier(i).
    template <class Supplier, class Day> void addDocuments(int count, Supplier supplier, Day day)
    {
        QList<EntryDocument> documents;
        for (int i = 0; i < count; ++i)
            documents << EntryDocument{"01",   "1",    supplier(i), "2", QString::number(i),
                                       day(i), day(i), "1",         5,   "01",
                                       5,      18,     0.9};
        db.addDocuments(documents);
    }
    QStringList eventKinds() const
    {
        QStringList kinds;
        for (const QJsonObject &e : services.events)
            kinds << e.value(QStringLiteral("event")).toString();
        return kinds;
    }

    TestDatabase db;
    LayoutDirectory layouts;
    RecordingServices services;
    QTemporaryDir out;
};

// The screen running the report's query, on every engine.
class ScreenDataTest : public ::testing::WithParamInterface<QString>, public ScreenTest
{
protected:
    ScreenDataTest() : ScreenTest(GetParam()) {}
};

TEST_F(ScreenTest, BaseLayoutLeavesTheParameterRowsFreeAndNothingOverlaps)
{
    TfrmDadosGerRel base(&Application());
    base.Create();
    EXPECT_EQ(base.width(), 387);
    EXPECT_EQ(base.height(), 295);
    expectNoOverlap(&base);
    auto *group = base.findChild<QWidget *>(QStringLiteral("grbDadosRel"));
    for (QWidget *w : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (Velmora::StateOf(w)) {
            EXPECT_FALSE(w->geometry().intersects(QRect(0, 51, group->width(), 259 - 51)))
                << w->objectName().toStdString() << " takes the rows of the derived screen";
        }
    const auto *net = base.findChild<TQRDesignConnection *>(QStringLiteral("netQRDesign"));
    ASSERT_TRUE(net);
    EXPECT_FALSE(net->Connected());

    auto screen = open();
    expectNoOverlap(screen.get());
    EXPECT_EQ(screen->findChild<QLabel *>(QStringLiteral("lblCodTela"))->text(),
              QStringLiteral("FIS01400"));
}

TEST_P(ScreenDataTest, OverridesRunBeforeTheBaseHandlers)
{
    db.loadFixture();
    auto screen = open();
    screen->calls.clear();
    services.queueFile(out.filePath(QStringLiteral("a.pdf")));
    button(screen.get(), "sbtPrint")->click();
    EXPECT_EQ(screen->calls, (QStringList{"sbtPrintClick", "BeforeGetQueryParams"}));
    EXPECT_EQ(eventKinds(), (QStringList{"params", "report"}));
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("a.pdf"))));

    // A failing check of the derived screen ends the event: the base never runs.
    screen->checkFails = true;
    screen->calls.clear();
    services.events.clear();
    for (const char *name : {"sbtPrint", "sbtPreview", "sbtSalvarComo", "sbtReportEdit"}) {
        services.queueFile(out.filePath(QStringLiteral("b.pdf")));
        button(screen.get(), name)->click();
    }
    EXPECT_EQ(screen->calls, (QStringList{"sbtPrintClick", "sbtPreviewClick", "sbtSalvarComoClick",
                                          "sbtReportEditClick"}));
    EXPECT_EQ(services.messages().size(), 4);
    EXPECT_FALSE(eventKinds().contains(QStringLiteral("report")));
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("b.pdf"))));
}

TEST_P(ScreenDataTest, KeysClickTheToolButtons)
{
    db.loadFixture();
    auto screen = open();
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    screen->findChild<QWidget *>(QStringLiteral("medCdEmpresa"))->setFocus();
    screen->calls.clear();
    const QList<QPair<QKeyCombination, QString>> keys{
        {QKeyCombination(Qt::Key_F5), QStringLiteral("sbtPreviewClick")},
        {QKeyCombination(Qt::ControlModifier, Qt::Key_P), QStringLiteral("sbtPrintClick")},
        {QKeyCombination(Qt::ControlModifier, Qt::Key_S), QStringLiteral("sbtSalvarComoClick")}};
    int n = 0;
    for (const auto &[key, handler] : keys) {
        const QString file = out.filePath(QStringLiteral("k%1.pdf").arg(++n));
        services.queueFile(file);
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        EXPECT_TRUE(screen->calls.contains(handler)) << handler.toStdString();
        EXPECT_TRUE(QFileInfo::exists(file)) << handler.toStdString();
    }
    EXPECT_TRUE(services.messages().isEmpty());
}

TEST_F(ScreenTest, MissingDirectoryOrCodeShowsArqRelErr)
{
    Velmora::Settings s = Velmora::settings();
    s.reportsDirectory = out.filePath(QStringLiteral("nao-existe"));
    Velmora::installSettings(s);
    auto screen = open();
    EXPECT_EQ(screen->findChild<QComboBox *>(QStringLiteral("cbbReportNames"))->count(), 0);
    button(screen.get(), "sbtPreview")->click();
    ASSERT_EQ(services.messages().size(), 1);
    EXPECT_EQ(
        services.messages().at(0),
        QStringLiteral("O arquivo contendo a definição do relatório de código 'FIS014' não foi "
                       "encontrado no diretório '%1'.")
            .arg(out.filePath(QStringLiteral("nao-existe"))));

    // The directory is there but holds no layout of the code.
    QFile::copy(QStringLiteral(FIS014_LAYOUT), out.filePath(QStringLiteral("FIS015.json")));
    s.reportsDirectory = out.path();
    Velmora::installSettings(s);
    screen = open();
    button(screen.get(), "sbtReportEdit")->click();
    ASSERT_EQ(services.messages().size(), 2);
    EXPECT_TRUE(services.messages().at(1).contains(QStringLiteral("'FIS014'")));
    EXPECT_TRUE(services.messages().at(1).contains(QStringLiteral("'%1'").arg(out.path())));
    EXPECT_FALSE(eventKinds().contains(QStringLiteral("report")));
}

TEST_F(ScreenTest, CorruptLayoutIsListedAndExplained)
{
    layouts.write(QStringLiteral("FIS014.json"), "{\"title\": \"Documentos\", \"queries\": ");
    auto screen = open();
    auto *names = screen->findChild<QComboBox *>(QStringLiteral("cbbReportNames"));
    ASSERT_EQ(names->count(), 1);
    EXPECT_EQ(names->itemText(0), QStringLiteral("FIS014.json"));
    services.queueFile(out.filePath(QStringLiteral("x.pdf")));
    button(screen.get(), "sbtPreview")->click();
    ASSERT_EQ(services.messages().size(), 1);
    EXPECT_TRUE(services.messages().at(0).contains(layouts.file(QStringLiteral("FIS014.json"))));
    EXPECT_TRUE(services.messages().at(0).contains(QStringLiteral("JSON inválido")));
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("x.pdf"))));
}

// The layout an attacker would plant: its query deletes. The clerk reads which report was
// refused, in Portuguese, without the engine's words, and nothing is deleted.
TEST_F(ScreenTest, ALayoutWhoseQueryWritesIsRefusedAndChangesNothing)
{
    db.loadFixture();
    const QVariant before = db.row(QStringLiteral("SELECT COUNT(*) FROM DOCENTRADAIMP")).at(0);
    QFile original(QStringLiteral(FIS014_LAYOUT));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QJsonObject layout = QJsonDocument::fromJson(original.readAll()).object();
    const QJsonArray deletes{QStringLiteral("DELETE FROM DOCENTRADAIMP RETURNING NRDOCUMENTO")};
    layout.insert(QStringLiteral("queries"), QJsonObject{{QStringLiteral("SQL"), deletes},
                                                         {QStringLiteral("SQL_IB"), deletes}});
    layouts.write(QStringLiteral("FIS014.json"), QJsonDocument(layout).toJson());
    auto screen = open();
    services.queueFile(out.filePath(QStringLiteral("x.pdf")));
    button(screen.get(), "sbtPreview")->click();
    EXPECT_EQ(
        services.messages(),
        QStringList{QStringLiteral("A consulta do relatório FIS014 altera dados e foi recusada.")});
    EXPECT_EQ(db.row(QStringLiteral("SELECT COUNT(*) FROM DOCENTRADAIMP")).at(0), before);
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("x.pdf"))));
}

TEST_F(ScreenTest, HeadlessEditAsksTheParametersAndChangesNothing)
{
    auto screen = open();
    const QString before = ReadText(layouts.file(QStringLiteral("FIS014.json")));
    screen->calls.clear();
    button(screen.get(), "sbtReportEdit")->click();
    EXPECT_EQ(screen->calls, (QStringList{"sbtReportEditClick", "BeforeGetQueryParams"}));
    EXPECT_EQ(eventKinds(), (QStringList{"params", "report"}));
    EXPECT_EQ(services.events.last().value(QStringLiteral("action")).toString(),
              QStringLiteral("edit"));
    EXPECT_EQ(ReadText(layouts.file(QStringLiteral("FIS014.json"))), before);
    EXPECT_EQ(screen->Editor(), nullptr);
}

TEST_F(ScreenTest, NovoAsksTheTitleAndListsTheNewLayoutAtOnce)
{
    auto screen = open();
    services.queueText(QStringLiteral("Resumo do mês"));
    const QString path = screen->NewLayout();
    ASSERT_FALSE(path.isEmpty());
    const QJsonObject ask = services.events.first();
    EXPECT_EQ(ask.value(QStringLiteral("caption")).toString(),
              QStringLiteral("Título do relatório"));
    EXPECT_EQ(ask.value(QStringLiteral("prompt")).toString(),
              QStringLiteral("Informe o título do relatório:"));
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("FIS014-2.json"));
    auto *names = screen->findChild<QComboBox *>(QStringLiteral("cbbReportNames"));
    EXPECT_EQ(names->count(), 2);
    EXPECT_EQ(names->currentText(), QStringLiteral("Resumo do mês"));
    EXPECT_EQ(ReportLayout::load(path).columns.size(), 9);

    // Giving up creates nothing.
    EXPECT_TRUE(screen->NewLayout().isEmpty());
    EXPECT_EQ(QDir(layouts.path()).entryList(QDir::Files).size(), 2);
}

TEST_P(ScreenDataTest, ColumnRenamedInTheEditorIsPrintedUnderItsNewLabel)
{
    db.loadFixture();
    InteractiveServices person;
    auto screen = open();
    screen->calls.clear();
    button(screen.get(), "sbtReportEdit")->click();
    LayoutEditor *editor = screen->Editor();
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(screen->calls, (QStringList{"sbtReportEditClick", "BeforeGetQueryParams"}));

    auto *columns = editor->findChild<QTableWidget *>(QStringLiteral("tblColunas"));
    int row = -1;
    for (int r = 0; r < columns->rowCount(); ++r)
        if (columns->item(r, LayoutEditor::ColField)->text() == QLatin1String("VLIMPOSTO"))
            row = r;
    ASSERT_GE(row, 0);
    columns->item(row, LayoutEditor::ColLabel)->setText(QStringLiteral("Imposto Devido"));
    EXPECT_TRUE(editor->modified());

    editor->findChild<QPushButton *>(QStringLiteral("btnTestar"))->click();
    EXPECT_EQ(screen->calls.count(QStringLiteral("BeforeGetQueryParams")), 2);
    EXPECT_EQ(editor->findChild<QLabel *>(QStringLiteral("lblResultado"))->text(),
              QStringLiteral("A consulta devolveu 6 linha(s)."));
    EXPECT_EQ(editor->findChild<QTableWidget *>(QStringLiteral("tblResultado"))->rowCount(), 6);
    // The editor's first page is the PDF's: the heading, the new label, the page count.
    const QImage page = editor->showFirstPage();
    EXPECT_NEAR(double(page.width()) / page.height(), 842.0 / 595, 0.01) << "A4 landscape";
    int ink = 0;
    for (int y = 0; y < page.height(); y += 2)
        for (int x = 0; x < page.width(); x += 2)
            ink += page.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(ink, 2000);

    editor->findChild<QPushButton *>(QStringLiteral("btnSalvar"))->click();
    EXPECT_TRUE(person.messages().isEmpty()) << person.messages().join('\n').toStdString();
    EXPECT_FALSE(editor->modified());
    const ReportLayout reloaded = ReportLayout::load(layouts.file(QStringLiteral("FIS014.json")));
    EXPECT_EQ(reloaded.columns.at(reloaded.columnIndex(QStringLiteral("VLIMPOSTO"))).label,
              QStringLiteral("Imposto Devido"));
    editor->close();

    services.queueFile(out.filePath(QStringLiteral("renomeado.pdf")));
    Velmora::Services::install(&services);
    button(screen.get(), "sbtPrint")->click();
    EXPECT_TRUE(PdfText(out.filePath(QStringLiteral("renomeado.pdf")))
                    .contains(QStringLiteral("Imposto Devido")));
}

TEST_P(ScreenDataTest, PreviewWindowOutlivesTheScreen)
{
    db.loadFixture();
    addDocuments(
        300, [](int) { return QStringLiteral("11111111000111"); },
        [](int) { return QDate(2024, 1, 20); });
    InteractiveServices person;
    auto screen = open();
    button(screen.get(), "sbtPreview")->click();
    // The report runs on its own thread; the window comes with the first page.
    QTRY_VERIFY_WITH_TIMEOUT(screen->LastPreview(), 10000);
    QPointer<ReportPreview> preview = screen->LastPreview();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_GE(preview->pageCount(), 1);
    EXPECT_FALSE(preview->pageImage().isNull());
    screen.reset(); // the screen is released; the preview keeps its own rows

    QTRY_VERIFY_WITH_TIMEOUT(!preview->loading(), 10000);
    EXPECT_GT(preview->pageCount(), 2);
    preview->setZoom(1.0);
    const QSize at100 = preview->pageImage().size();
    preview->goToPage(preview->pageCount() - 1);
    EXPECT_EQ(preview->currentPage(), preview->pageCount() - 1);
    preview->setZoom(2.0);
    EXPECT_NEAR(preview->pageImage().width(), at100.width() * 2, 2);
    preview->goToPage(999);
    EXPECT_EQ(preview->currentPage(), preview->pageCount() - 1);
    // Finding goes round the pages' texts, in any letter case.
    preview->goToPage(0);
    EXPECT_TRUE(preview->find(QStringLiteral("total GERAL"), true));
    EXPECT_EQ(preview->currentPage(), preview->pageCount() - 1);
    EXPECT_TRUE(preview->find(QStringLiteral("Fornecedor:"), true));
    EXPECT_EQ(preview->currentPage(), 0);
    EXPECT_FALSE(preview->find(QStringLiteral("não está em página alguma"), false));
    EXPECT_EQ(preview->currentPage(), 0);
    EXPECT_TRUE(person.messages().isEmpty());
    // Esc closes it, from the find box too.
    preview->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(preview.data()));
    QTest::keyClick(preview.data(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(preview.isNull());
}

// A long report keeps the screen alive: the event loop turns while the preview fills, the
// first page is there before the last is made, and a save cancelled midway leaves the earlier
// file as it was and nothing else.
TEST_F(ScreenTest, LongReportsRunBesideALiveScreen)
{
    db.loadFixture();
    addDocuments(
        200000,
        [](int i) { return QString::fromLatin1(i % 2 ? "11111111000111" : "22222222000122"); },
        [](int i) { return QDate(2024, 1, 1 + i % 28); });
    InteractiveServices person;
    auto screen = open();
    // The event loop's turns while the report runs; how long it may stand still is the
    // benchmark's to measure, on a machine this test cannot know.
    int turnsWhileLoading = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (screen->LastPreview() && screen->LastPreview()->loading())
            ++turnsWhileLoading;
    });
    ticker.start();

    button(screen.get(), "sbtPreview")->click();
    EXPECT_FALSE(button(screen.get(), "sbtPreview")->isEnabled()) << "one report at a time";
    QTRY_VERIFY_WITH_TIMEOUT(screen->LastPreview(), 20000);
    QPointer<ReportPreview> preview = screen->LastPreview();
    EXPECT_TRUE(preview->loading()) << "the first page shows before the last is made";
    EXPECT_GE(preview->pageCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!preview->loading(), 120000);
    EXPECT_GT(preview->pageCount(), 1000);
    EXPECT_GT(turnsWhileLoading, 3) << "the event loop turns while the pages are made";
    QTRY_VERIFY(button(screen.get(), "sbtPreview")->isEnabled());
    preview->close();

    // A PDF of these documents takes long enough to be stopped midway, whatever the load.
    const QString path = out.filePath(QStringLiteral("longo.pdf"));
    {
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("antes");
    }
    person.queueFile(path);
    button(screen.get(), "sbtSalvarComo")->click();
    ASSERT_TRUE(screen->ReportRunning());
    QTRY_VERIFY_WITH_TIMEOUT(screen->findChild<QWidget *>(QStringLiteral("frmProgressoRelatorio")),
                             5000);
    auto *cancel = screen->findChild<QAbstractButton *>(QStringLiteral("btnCancelar"));
    ASSERT_TRUE(cancel);
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(!screen->ReportRunning(), 5000);
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("antes"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"longo.pdf"});
    EXPECT_TRUE(person.messages().isEmpty()) << person.messages().join('\n').toStdString();

    // Without a person, the action waits for its run and tells its progress twice a second.
    Velmora::Services::install(&services);
    services.queueFile(out.filePath(QStringLiteral("batch.csv")));
    QElapsedTimer saving;
    saving.start();
    button(screen.get(), "sbtSalvarComo")->click();
    const qint64 took = saving.elapsed();
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("batch.csv"))));
    qint64 rows = 0;
    int told = 0;
    for (const QJsonObject &e : services.events)
        if (e.value(QStringLiteral("event")) == QLatin1String("progress")) {
            EXPECT_EQ(e.value(QStringLiteral("action")).toString(), QStringLiteral("save"));
            EXPECT_GE(e.value(QStringLiteral("rows")).toInteger(), rows);
            rows = e.value(QStringLiteral("rows")).toInteger();
            ++told;
        }
    EXPECT_LE(told, took / 500 + 1);
    EXPECT_TRUE(took < 1500 || told >= 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, ScreenDataTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
