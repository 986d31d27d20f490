// fis01400-screenshots FOLDER: pictures of the screen for the documentation, rendered
// offscreen against the test fixture and a running server, with the real dialogs:
//   fis01400.png        the screen as IniProc shows it;
//   fis01400-falha.png  print refused by the full check: the message box over the screen,
//                       the focus back on the field at fault.
// Exits with 1 when the screen does not behave as pictured.
#include "Fis01400Module.h"

#include "app/Host.h"
#include "app/MainWindow.h"
#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "reports/ReportComponents.h"
#include "reports/ReportConnection.h"
#include "rtl/Settings.h"

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

bool failed = false;

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fis01400-screenshots: %s\n", what);
        failed = true;
    }
}

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        TApplication::DeliverPendingDeletions();
    }
}

void clickAt(QWidget *control)
{
    QWidget *top = control->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control->mapTo(top, control->rect().center()));
    settle();
}

// Clicks into the field, selects what it holds, types, and leaves it with Tab, as a clerk does.
void type(TForm *screen, const char *name, const QString &text)
{
    clickAt(screen->findChild<QWidget *>(QLatin1String(name)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    settle();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Velmora"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    QDir().mkpath(out.path());

    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    Velmora::InputFilter::install();
    std::unique_ptr<ModuleEnvironment> environment;
    try {
        environment =
            std::make_unique<ModuleEnvironment>(Fis01400Module(), QStringLiteral(FIS01400_FIXTURE));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "fis01400-screenshots: %s\n", e.what());
        return 1;
    }
    environment->installSettings();
    TdtmDBGeral database(Velmora::ConnectionSettings::fromSettings(Velmora::settings()));
    Velmora::Reports::SetReportConnectionProvider(
        [] { return Velmora::Reports::ReportConnectionOf(*dtmDBGeral()->adcGeral()); });
    {
        Velmora::Host host;
        host.Packages().Load(QStringLiteral("fis01400"));
        host.Window().resize(700, 500);
        host.Window().show();
        check(QTest::qWaitForWindowActive(&host.Window()), "a janela principal não ativou");
        check(host.OpenScreen(QStringLiteral("FIS01400")), "a tela não abriu");
        settle();
        TForm *screen = host.Packages().OpenScreens(QStringLiteral("fis01400")).value(0);
        if (!screen)
            return 1;
        check(screen->SubWindow()->grab().save(out.filePath(QStringLiteral("fis01400.png"))),
              "fis01400.png não foi gravada");

        // The message box is modal: it is pictured over the main window while it is up. Any
        // other box is closed and counted as a fault, so the tool never waits for a person.
        QString shown;
        QTimer boxes;
        boxes.setInterval(100);
        QObject::connect(&boxes, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (!shown.isEmpty() ||
                box->text() !=
                    QStringLiteral("Data inicial deve ser menor ou igual à data final.")) {
                std::fprintf(stderr, "fis01400-screenshots: mensagem inesperada: %s\n",
                             qPrintable(box->text()));
                failed = true;
                box->accept();
                return;
            }
            shown = box->text();
            QImage picture = host.Window().grab().toImage();
            QPainter painter(&picture);
            const QPoint at = box->mapToGlobal(QPoint()) - host.Window().mapToGlobal(QPoint());
            painter.drawPixmap(at, box->grab());
            painter.setPen(QColor(90, 90, 90));
            painter.drawRect(QRect(at, box->size()).adjusted(-1, -1, 0, 0));
            painter.end();
            check(picture.save(out.filePath(QStringLiteral("fis01400-falha.png"))),
                  "fis01400-falha.png não foi gravada");
            box->accept();
        });
        boxes.start();
        type(screen, "medCdImposto", QStringLiteral("01"));
        type(screen, "medCdEmpresa", QStringLiteral("01"));
        type(screen, "edtInscricao", QStringLiteral("110042490114"));
        type(screen, "depDtInicial", QStringLiteral("01022024"));
        type(screen, "depDtFinal", QStringLiteral("31012024"));

        clickAt(screen->findChild<QWidget *>(QStringLiteral("sbtPrint")));
        settle();
        check(shown == QStringLiteral("Data inicial deve ser menor ou igual à data final."),
              "a impressão não foi recusada com a mensagem da ordem das datas");
        host.Window().activateWindow();
        (void)QTest::qWaitForWindowActive(&host.Window());
        QWidget *focus = QApplication::focusWidget();
        check(focus && focus->objectName() == QStringLiteral("depDtInicial"),
              "o foco não voltou à data inicial");
    }
    return failed ? 1 : 0;
}
