// The report of FIS01400 sent to the background from the screen in the host: the queue's
// server makes it, "Relatórios gerados" follows it to "pronto", and the copy saved from there
// equals the screen's own save.
#include "ScreenTest.h"

#include "reports/BackgroundRun.h"
#include "reports/GeneratedReports.h"
#include "reports/ReportJobClient.h"
#include "reports/ScheduleClient.h"
#include "reports/ScheduleDialog.h"
#include "reports/ScreenVariants.h"
#include "reports/TfrmDadosGerRel.h"
#include "reports/VariantSchedules.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/UserName.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

using Velmora::Reports::GeneratedReports;
using Velmora::Reports::ReportJobRow;

class Background : public ScreenTest
{
protected:
    void fill()
    {
        ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
        ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
        ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
        ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01012024")));
        ASSERT_TRUE(enter("depDtFinal", QStringLiteral("31012024")));
        ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    }

    GeneratedReports *openList()
    {
        auto *menu = host->Window().findChild<QAction *>(QStringLiteral("actRelatoriosGerados"));
        EXPECT_NE(menu, nullptr);
        if (menu)
            menu->trigger();
        settle();
        return host->Window().findChild<GeneratedReports *>();
    }

    static std::optional<ReportJobRow> job(const GeneratedReports &list, const QString &id)
    {
        for (const ReportJobRow &row : list.Rows())
            if (row.id == id)
                return row;
        return std::nullopt;
    }
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    return file.readAll();
}

} // namespace

TEST_F(Background, TheCopyOfTheQueuedReportEqualsTheScreensSave)
{
    ASSERT_TRUE(open());
    fill();
    const QString folder = Environment().folder();
    recorder.queueFile(folder + QStringLiteral("/tela-segundo-plano.csv"));
    click("sbtSalvarComo");
    Velmora::Reports::RememberBackgroundFormat(QStringLiteral("csv"));
    click("sbtSegundoPlano");
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    const QString notice = host->Window().statusBar()->currentMessage();
    const QRegularExpressionMatch said =
        QRegularExpression(
            QStringLiteral("^Relatório enviado para segundo plano \\(nº (\\S+)\\)\\. "
                           "Acompanhe em Relatórios gerados\\.$"))
            .match(notice);
    ASSERT_TRUE(said.hasMatch()) << qPrintable(notice);
    const QString id = said.captured(1);
    // The screen is free and keeps its values for the next run.
    EXPECT_TRUE(enabled("sbtSegundoPlano"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("01"));

    GeneratedReports *list = openList();
    ASSERT_NE(list, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(job(*list, id) && job(*list, id)->state == ReportJobRow::State::Done,
                             180000);
    const ReportJobRow done = *job(*list, id);
    EXPECT_EQ(done.format, QStringLiteral("csv"));
    EXPECT_EQ(done.screen, QStringLiteral("FIS01400"));
    EXPECT_GT(done.documents, 0);
    auto *table = list->findChild<QTableWidget *>(QStringLiteral("tblRelatorios"));
    ASSERT_NE(table, nullptr);
    for (int r = 0; r < table->rowCount(); ++r)
        if (list->Rows().value(r).id == id)
            table->selectRow(r);
    ASSERT_EQ(list->SelectedId(), id);
    EXPECT_EQ(table->item(table->currentRow(), 2)->text(), QStringLiteral("pronto"));
    const QList<std::pair<const char *, bool>> actions{{"btnAbrir", true},
                                                       {"btnSalvarCopia", true},
                                                       {"btnCancelar", false},
                                                       {"btnExecutarNovamente", true}};
    for (const auto &[name, on] : actions)
        EXPECT_EQ(list->findChild<QPushButton *>(QLatin1String(name))->isEnabled(), on) << name;

    recorder.queueFile(folder + QStringLiteral("/copia-segundo-plano.csv"));
    list->findChild<QPushButton *>(QStringLiteral("btnSalvarCopia"))->click();
    settle();
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(recorder.filesProposed.last(), done.fileName);
    EXPECT_EQ(contents(folder + QStringLiteral("/copia-segundo-plano.csv")),
              contents(folder + QStringLiteral("/tela-segundo-plano.csv")));
    // Opening fetches the file into the user's cache folder first.
    list->findChild<QPushButton *>(QStringLiteral("btnAbrir"))->click();
    settle();
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(contents(QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                           .filePath(QStringLiteral("relatorios/") + done.fileName)),
              contents(folder + QStringLiteral("/tela-segundo-plano.csv")));
    // The picture to look at: the list as the clerk sees it.
    EXPECT_TRUE(list->window()->grab().save(
        QDir(QString::fromStdString(::testing::TempDir()))
            .filePath(QStringLiteral("velmora-relatorios-gerados.png"))));
    // The selection survives the refreshes that follow.
    QSignalSpy refreshed(list, &GeneratedReports::refreshed);
    list->Refresh();
    ASSERT_TRUE(refreshed.wait(30000));
    EXPECT_EQ(list->SelectedId(), id);

    // Run again: a job of its own, the same report and format, made as well.
    QStringList known;
    for (const ReportJobRow &row : list->Rows())
        known << row.id;
    list->findChild<QPushButton *>(QStringLiteral("btnExecutarNovamente"))->click();
    settle();
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    QTRY_VERIFY_WITH_TIMEOUT(list->Rows().size() == known.size() + 1, 30000);
    QString again;
    for (const ReportJobRow &row : list->Rows())
        if (!known.contains(row.id))
            again = row.id;
    QTRY_VERIFY_WITH_TIMEOUT(
        job(*list, again) && job(*list, again)->state == ReportJobRow::State::Done, 180000);
    EXPECT_EQ(job(*list, again)->format, done.format);
    EXPECT_EQ(job(*list, again)->parameters, done.parameters);
    EXPECT_EQ(job(*list, again)->documents, done.documents);
    EXPECT_EQ(list->SelectedId(), id);

    // Refusals of the download leave no file: another clerk's report, and an archived file
    // that no longer matches what the server recorded of it.
    const QString stray = folder + QStringLiteral("/copia-recusada.csv");
    Velmora::Reports::ReportJobClient client;
    try {
        client.Download(id, QStringLiteral("outro-usuario"), stray);
        ADD_FAILURE() << "another owner's report was handed out";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().endsWith(QStringLiteral("Relatório não encontrado.")))
            << qPrintable(e.Message());
    }
    QDirIterator archived(folder + QStringLiteral("/archive"), {done.fileName}, QDir::Files,
                          QDirIterator::Subdirectories);
    ASSERT_TRUE(archived.hasNext());
    QFile tampered(archived.next());
    ASSERT_TRUE(tampered.open(QIODevice::Append));
    tampered.write("x");
    tampered.close();
    recorder.queueFile(stray);
    list->findChild<QPushButton *>(QStringLiteral("btnSalvarCopia"))->click();
    settle();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("não confere com o SHA-256")))
        << qPrintable(messages()[0]);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*recusada*")}, QDir::Files | QDir::Hidden),
              QStringList());
    list->close();
}

// What the check refuses goes nowhere: the message, the focus where the check put it.
TEST_F(Background, ARefusedCheckSendsNothing)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    const QString before = host->Window().statusBar()->currentMessage();
    click("sbtSegundoPlano");
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Imposto deve ser informado.")});
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));
    EXPECT_EQ(host->Window().statusBar()->currentMessage(), before);
}

// The list asks every two seconds: a server that does not answer, or a clerk with nothing
// queued, is said in the window itself and never in a message box.
TEST_F(Background, TheListSaysWhatItLacksInItsOwnWindow)
{
    const Velmora::Settings saved = Velmora::settings();
    const struct
    {
        const char *name;
        std::function<void(Velmora::Settings &)> change;
        const char *status; // a fragment of the status line
        bool emptyNote;
    } cases[] = {
        {"unreachable", [](Velmora::Settings &s) { s.serverPort = 1; },
         "Sem resposta do servidor (nova tentativa em 2 s): Não foi possível conectar", false},
        {"nothing queued", [](Velmora::Settings &s) { s.userName = QStringLiteral("sem-fila"); },
         "0 relatórios, 0 em andamento", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Velmora::Settings changed = saved;
        c.change(changed);
        Velmora::installSettings(changed);
        GeneratedReports *list = openList();
        ASSERT_NE(list, nullptr);
        QSignalSpy refreshed(list, &GeneratedReports::refreshed);
        // Two rounds: the first and one the timer started.
        ASSERT_TRUE(refreshed.wait(30000));
        ASSERT_TRUE(refreshed.wait(30000));
        EXPECT_TRUE(list->StatusText().contains(QString::fromUtf8(c.status)))
            << qPrintable(list->StatusText());
        EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
        EXPECT_EQ(list->findChild<QLabel *>(QStringLiteral("lblVazio"))->isVisible(), c.emptyNote);
        for (const char *button :
             {"btnAbrir", "btnSalvarCopia", "btnCancelar", "btnExecutarNovamente"})
            EXPECT_FALSE(list->findChild<QPushButton *>(QLatin1String(button))->isEnabled());
        EXPECT_TRUE(list->window()->grab().save(
            QDir(QString::fromStdString(::testing::TempDir()))
                .filePath(QStringLiteral("velmora-relatorios-%1.png").arg(refreshed.count()))));
        list->close();
        settle();
    }
    Velmora::installSettings(saved);
}

// On a server that works no queue the report waits: the list says so, offers only its
// cancel, asks before it, and then offers to run it again.
TEST_F(Background, AQueuedReportIsCancelledAfterAQuestion)
{
    ModuleEnvironment &env = Environment();
    const int port = env.serverPort();
    env.stopServer();
    {
        QFile ini(env.settingsFile());
        ASSERT_TRUE(ini.open(QIODevice::Append));
        ini.write("[Archive]\nJobs=0\n");
    }
    env.startServer(port);
    const auto restore = qScopeGuard([&env, port] {
        env.stopServer();
        env.startServer(port);
    });
    ASSERT_TRUE(open());
    fill();
    click("sbtSegundoPlano");
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    const QString id = host->Window()
                           .statusBar()
                           ->currentMessage()
                           .section(QStringLiteral("nº "), 1)
                           .section(')', 0, 0);
    ASSERT_FALSE(id.isEmpty());
    GeneratedReports *list = openList();
    ASSERT_NE(list, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(job(*list, id).has_value(), 30000);
    auto *table = list->findChild<QTableWidget *>(QStringLiteral("tblRelatorios"));
    for (int r = 0; r < table->rowCount(); ++r)
        if (list->Rows().value(r).id == id)
            table->selectRow(r);
    ASSERT_EQ(list->SelectedId(), id);
    const auto actionsOn = [list] {
        QStringList on;
        for (const char *name :
             {"btnAbrir", "btnSalvarCopia", "btnCancelar", "btnExecutarNovamente"})
            if (list->findChild<QPushButton *>(QLatin1String(name))->isEnabled())
                on << QLatin1String(name);
        return on;
    };
    EXPECT_EQ(job(*list, id)->StateText(), QStringLiteral("na fila"));
    EXPECT_EQ(actionsOn(), QStringList{"btnCancelar"});

    list->findChild<QPushButton *>(QStringLiteral("btnCancelar"))->click();
    settle();
    ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(recorder.questions,
              QStringList{QStringLiteral("Cancelar o relatório FIS014 (nº %1)?").arg(id)});
    QTRY_VERIFY_WITH_TIMEOUT(job(*list, id)->state == ReportJobRow::State::Cancelled, 30000);
    EXPECT_EQ(table->item(table->currentRow(), 2)->text(), QStringLiteral("cancelado"));
    EXPECT_EQ(actionsOn(), QStringList{"btnExecutarNovamente"});
    list->close();
}

// Today's "mês anterior" has no assessment maps in the test database: that set is refused by
// the screen's own check before the clerk is asked when, and nothing is scheduled; a set of
// fixed dates is.
TEST_F(Background, ASavedSetIsScheduledOnlyWhenTheScreensCheckPasses)
{
    using namespace Velmora::Reports;
    ASSERT_TRUE(open());
    fill();
    auto *form = qobject_cast<TfrmDadosGerRel *>(screen());
    ASSERT_NE(form, nullptr);
    ScreenVariants variants(form);
    variants.Save(QStringLiteral("mensal"), RelativePeriod::PreviousMonth);
    variants.Save(QStringLiteral("fixo"), RelativePeriod::Fixed);
    // The dialog comes after the screen's check, which may wait for the server meanwhile: it is
    // answered whenever it shows.
    int asked = 0;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&asked] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<ScheduleDialog *>(w); dialog && dialog->isVisible()) {
                ++asked;
                dialog->findChild<QLineEdit *>(QStringLiteral("diaDoMes"))->setText("5");
                dialog->findChild<QLineEdit *>(QStringLiteral("hora"))->setText("06:30");
                auto *format = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
                format->setCurrentIndex(format->findText("csv", Qt::MatchFixedString));
                dialog->accept();
            }
    });
    answer.start();
    const auto scheduled = [](const QString &name) {
        QList<ScheduleEntry> made;
        for (const ScheduleEntry &e : ScheduleClient().list(Velmora::UserName()))
            if (e.variant == name)
                made << e;
        return made;
    };

    try {
        ScheduleSavedSet(variants, QStringLiteral("mensal"), form);
    } catch (const EAbort &) {
        // the check said why, as through the dialog's button
    }
    ASSERT_FALSE(messages().isEmpty());
    EXPECT_TRUE(scheduled(QStringLiteral("mensal")).isEmpty());
    settle();
    EXPECT_EQ(asked, 0);

    const qsizetype said = messages().size();
    ScheduleSavedSet(variants, QStringLiteral("fixo"), form);
    ASSERT_EQ(messages().size(), said + 1) << qPrintable(messages().join('\n'));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(messages().last().startsWith(
        QStringLiteral("Variante \"fixo\" agendada: mensal, dia 5, 06:30, em CSV")))
        << qPrintable(messages().last());
    const QList<ScheduleEntry> made = scheduled(QStringLiteral("fixo"));
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(made.first().screen, QStringLiteral("FIS01400"));
    EXPECT_EQ(made.first().timing.day, 5);
    EXPECT_EQ(made.first().timing.format, QStringLiteral("csv"));
}
