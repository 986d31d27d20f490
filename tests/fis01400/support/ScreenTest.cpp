#include "ScreenTest.h"

#include "BatchJobRun.h"

#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/ControlState.h"
#include "framework/InputFilter.h"
#include "framework/TApplication.h"
#include "reports/ReportComponents.h"
#include "reports/ReportConnection.h"
#include "rtl/Settings.h"

#include <QAbstractButton>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QWindow>

#include <cstdio>

namespace {

std::unique_ptr<ModuleEnvironment> environment;
std::unique_ptr<TcpProxy> relay;

// The report machinery reads through the host's one shared connection, as in the host.
void shareDatabaseWithReports()
{
    Velmora::Reports::SetReportConnectionProvider(
        [] { return Velmora::Reports::ReportConnectionOf(*dtmDBGeral()->adcGeral()); });
}

void mouseClick(QWidget *control)
{
    QWidget *top = control->window();
    const QPoint at = control->mapTo(top, control->rect().center());
    if (QWindow *window = top->windowHandle())
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    else
        QTest::mouseClick(control, Qt::LeftButton);
}

} // namespace

ModuleEnvironment &Environment()
{
    return *environment;
}

TcpProxy *DatabaseRelay()
{
    return relay.get();
}

void ScreenTest::SetUp()
{
    host = std::make_unique<Velmora::Host>();
    host->Packages().Load(QLatin1String(package));
    host->Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host->Window()));
    ASSERT_TRUE(open()) << qPrintable(messages().join(QLatin1Char('\n')));
    ASSERT_TRUE(screen());
}

void ScreenTest::TearDown()
{
    host.reset();
    Environment().writeSettings();
    Environment().installSettings();
}

bool ScreenTest::open()
{
    const bool ok = host->OpenScreen(QStringLiteral("FIS01400"));
    settle();
    return ok;
}

TForm *ScreenTest::screen() const
{
    return host->Packages().OpenScreens(QLatin1String(package)).value(0);
}

QWidget *ScreenTest::control(const char *name) const
{
    return component<QWidget>(name);
}

QString ScreenTest::text(const char *name) const
{
    return control(name)->property("Text").toString();
}

bool ScreenTest::enabled(const char *name) const
{
    return Velmora::StateOf(control(name))->enabled();
}

bool ScreenTest::checked(const char *name) const
{
    return qobject_cast<QAbstractButton *>(control(name))->isChecked();
}

QString ScreenTest::focusName() const
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (Velmora::StateOf(w) && !w->objectName().isEmpty())
            return w->objectName();
    return {};
}

bool ScreenTest::enter(const char *name, const QString &typed)
{
    QWidget *target = control(name);
    mouseClick(target);
    settle();
    QWidget *now = QApplication::focusWidget();
    if (now != target && !target->isAncestorOf(now))
        return false;
    QTest::keyClick(now, Qt::Key_A, Qt::ControlModifier);
    if (typed.isEmpty())
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    for (const QChar ch : typed) {
        QWidget *to = QApplication::focusWidget();
        if (ch.unicode() < 128 && ch.isPrint())
            QTest::keyClick(to, static_cast<char>(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, to, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    settle();
    return true;
}

void ScreenTest::click(const char *name)
{
    mouseClick(control(name));
    settle();
}

void ScreenTest::lookup(const char *button, const QString &field, const QString &value)
{
    Velmora::ScriptedServices::RowPick pick;
    pick.kind = Velmora::ScriptedServices::RowPick::Kind::Match;
    pick.field = field;
    pick.value = value;
    recorder.queueRowPick(pick);
    click(button);
}

void ScreenTest::lookupRow(const char *button, int row)
{
    recorder.queueRowAt(row);
    click(button);
}

void ScreenTest::pickList(const char *button, const QStringList &keys)
{
    Velmora::ScriptedServices::ListPick pick;
    pick.cancel = false;
    pick.keys = keys;
    recorder.queueListPick(pick);
    click(button);
}

QStringList ScreenTest::runSteps(const QByteArray &steps, QList<int> *blocked)
{
    static const QHash<QString, const char *> actionButtons{
        {QStringLiteral("print"), "sbtPrint"},
        {QStringLiteral("preview"), "sbtPreview"},
        {QStringLiteral("save"), "sbtSalvarComo"},
        {QStringLiteral("edit"), "sbtReportEdit"}};
    QJsonParseError error;
    const QJsonArray job = QJsonDocument::fromJson(steps, &error).array();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << qPrintable(error.errorString());
    QStringList shown;
    for (qsizetype i = 0; i < job.size(); ++i) {
        const QJsonObject step = job.at(i).toObject();
        const QString kind = step.value(QLatin1String("do")).toString();
        const QByteArray name = step.value(QLatin1String("control")).toString().toLatin1();
        const qsizetype before = messages().size();
        bool reached = true;
        if (kind == QLatin1String("enter")) {
            reached = enter(name.constData(), step.value(QLatin1String("text")).toString());
        } else if (kind == QLatin1String("click")) {
            click(name.constData());
        } else if (kind == QLatin1String("lookup")) {
            const QJsonValue pick = step.value(QLatin1String("pick"));
            if (pick.isObject())
                lookup(name.constData(), pick.toObject().begin().key(),
                       pick.toObject().begin().value().toString());
            else
                lookupRow(name.constData(), pick.toInt());
        } else if (kind == QLatin1String("action")) {
            recorder.queueFile(step.value(QLatin1String("file"))
                                   .toString()
                                   .replace(QLatin1String("$DIR"), Environment().folder()));
            click(actionButtons.value(step.value(QLatin1String("name")).toString()));
        } else {
            EXPECT_EQ(kind, QLatin1String("dump")) << "passo desconhecido";
        }
        recorder.discardAnswers();
        if (!reached && blocked)
            *blocked << int(i + 1);
        for (qsizetype m = before; m < messages().size(); ++m)
            shown << At(messages().at(m), focusName());
    }
    return shown;
}

void ScreenTest::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        TApplication::DeliverPendingDeletions();
    }
}

#ifndef FIS01400_ENGINE
#define FIS01400_ENGINE "sqlite"
#endif

// GoogleTest over an offscreen application with the host's classes and input filter, the
// database and server made once for the program. A program built with FIS01400_DATABASE_RELAY
// reaches its database server through a relay that its tests may cut.
int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    Velmora::InputFilter::install();
    ::testing::InitGoogleTest(&argc, argv);
    try {
        environment = std::make_unique<ModuleEnvironment>(
            Fis01400Module(), QStringLiteral(FIS01400_FIXTURE), QStringLiteral(FIS01400_ENGINE));
#ifdef FIS01400_DATABASE_RELAY
        const Velmora::ConnectionSettings &db = environment->databaseSettings();
        relay = std::make_unique<TcpProxy>(db.host, db.port);
        environment->setDatabasePort(relay->port());
        environment->writeSettings();
#endif
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ambiente de teste: %s\n", e.what());
        return 1;
    }
    environment->installSettings();
    int status = 0;
    {
        TdtmDBGeral database(Velmora::ConnectionSettings::fromSettings(Velmora::settings()));
        shareDatabaseWithReports();
        status = RUN_ALL_TESTS();
    }
    environment.reset();
    relay.reset();
    return status;
}
