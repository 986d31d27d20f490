// velmora-bench-fis01400: the screen "Documentos por Fornecedor" in this process, over
// demonstration data on SQLite and the application server on loopback.
//   - open: from IniProc to the screen shown with its server connection open (the first
//     opening, which reads the descriptions, apart);
//   - full check: Vd_ValidaCampos(true) on valid values, eight validations of which the
//     period check makes two server calls.
//
//   velmora-bench-fis01400 [--quick] [--documents N] [--opens N] [--checks N]
//
// Prints `figure: NAME VALUE UNIT` lines.
#include "Cli_fis01400.h"

#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/Dispatch.h"
#include "framework/InputFilter.h"
#include "framework/ScriptedServices.h"
#include "framework/TApplication.h"
#include "framework/TNetConnection.h"
#include "framework/controls/TDateEditPlus.h"
#include "framework/controls/TEdit.h"
#include "framework/controls/TMaskEdit.h"
#include "reports/ReportComponents.h"
#include "reports/ReportConnection.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void figure(const char *name, double value, const char *unit)
{
    std::printf("figure: %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "velmora-bench-fis01400: %s\n", qPrintable(what));
    std::exit(1);
}

int option(const QStringList &args, const QString &name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(std::min(at, values.size() - 1));
}

void writeSettings(const QString &path, int port)
{
    QFile ini(path);
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("não foi possível gravar %1").arg(path));
    ini.write(QStringLiteral("[Database]\nDriver=QSQLITE\nDatabase=bench.sqlite\n"
                             "[AppServer]\nHost=127.0.0.1\nPort=%1\nLogLevel=warning\n"
                             "[Reports]\nDirectory=%2\n[Locale]\nShortDateFormat=dd/MM/yyyy\n")
                  .arg(port)
                  .arg(QStringLiteral(FIS01400_LAYOUTS))
                  .toUtf8());
}

void runTool(const QString &settings, const QStringList &args)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(VELMORA_DB_TOOL),
               QStringList{QStringLiteral("--config"), settings} + args);
    if (!tool.waitForFinished(600000) || tool.exitCode() != 0)
        fail(QStringLiteral("velmora-db %1: %2")
                 .arg(args.join(' '), QString::fromUtf8(tool.readAll())));
}

int startServer(QProcess &server, const QString &settings)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(
        QStringLiteral(VELMORA_APPSERVER),
        {QStringLiteral("--config"), settings, QStringLiteral("--port"), QStringLiteral("0")});
    QByteArray out;
    while (!out.contains('\n') && server.waitForReadyRead(30000))
        out += server.readAllStandardOutput();
    if (!out.startsWith("porta: "))
        fail(QStringLiteral("o servidor não informou a porta: %1").arg(QString::fromUtf8(out)));
    return out.mid(7, out.indexOf('\n') - 7).trimmed().toInt();
}

// A key with an assessment map, its tax collected by the state: the full check's path with
// every validation that reads the database.
struct Key
{
    QString tax, company, registration;
    QDate start, end;
};

Key findKey()
{
    QSqlQuery q(dtmDBGeral()->adcGeral()->Database());
    if (!q.exec(QStringLiteral(
            "SELECT M.CDIMPOSTONFE, M.CDEMPRESA, M.CDINSCRICAO, M.DTINIPERIODO, M.DTFIMPERIODO"
            "  FROM MAPAAPURACAO M JOIN IMPOSTONFE I ON I.CDIMPOSTONFE = M.CDIMPOSTONFE"
            " WHERE I.IDORGARRECADNFE = 'E'"
            "   AND EXISTS(SELECT 1 FROM IMPOSTO T WHERE T.CDIMPOSTONFE = M.CDIMPOSTONFE)"
            " ORDER BY M.DTINIPERIODO DESC")) ||
        !q.next())
        fail(QStringLiteral("os dados de demonstração não têm mapa de imposto estadual"));
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            QDate::fromString(q.value(3).toString().left(10), Qt::ISODate),
            QDate::fromString(q.value(4).toString().left(10), Qt::ISODate)};
}

template <class T> T *part(const char *name)
{
    T *c = frmDocForne->findChild<T *>(QLatin1String(name));
    if (!c)
        fail(QStringLiteral("a tela não tem %1").arg(QLatin1String(name)));
    return c;
}

void closeScreen()
{
    frmDocForne->Close();
    TApplication::DeliverPendingDeletions();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Every check of a state tax asks the message table for a key it lacks by design, and the
    // table logs it; the figures are the screen's work, not the log's.
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.messages.warning=false"));
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const int documents = option(args, QStringLiteral("--documents"), quick ? 2000 : 20000);
    const int opens = option(args, QStringLiteral("--opens"), quick ? 20 : 200);
    const int checks = option(args, QStringLiteral("--checks"), quick ? 200 : 2000);

    QTemporaryDir work;
    const QString settingsFile = work.filePath(QStringLiteral("velmora.ini"));
    writeSettings(settingsFile, 0);
    runTool(settingsFile, {QStringLiteral("create")});
    runTool(settingsFile,
            {QStringLiteral("demo"), QStringLiteral("--documents"), QString::number(documents)});
    QProcess server;
    writeSettings(settingsFile, startServer(server, settingsFile));
    Velmora::installSettings(Velmora::Settings::load(settingsFile));

    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    Velmora::InputFilter::install();
    TdtmDBGeral database(Velmora::ConnectionSettings::fromSettings(Velmora::settings()));
    Velmora::ScriptedServices services; // nobody at the screen: a message is a failure here
    Velmora::Services::install(&services);
    QMainWindow window;
    auto *area = new QMdiArea(&window);
    window.setCentralWidget(area);
    window.resize(1024, 768);
    window.show();
    Application().SetMdiArea(area);
    const Key key = findKey();

    // Opening: IniProc through the dispatch boundary, as the host's menu calls it.
    std::vector<double> openMs;
    QElapsedTimer clock;
    for (int i = 0; i <= opens; ++i) {
        clock.start();
        const bool ok = Velmora::Dispatch([] { IniProc(); });
        const bool ready = ok && boStCriado && frmDocForne->isVisible() &&
                           part<TNetConnection>("netDocForne")->Connected();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (!ready)
            fail(QStringLiteral("a tela não abriu: %1").arg(services.messages().join(' ')));
        if (i == 0)
            figure("fis01400_open_first", ms, "ms");
        else
            openMs.push_back(ms);
        closeScreen();
    }
    figure("fis01400_open_p50", percentile(openMs, 0.5), "ms");
    figure("fis01400_open_p99", percentile(openMs, 0.99), "ms");

    // The full check on valid values.
    Velmora::Dispatch([] { IniProc(); });
    try {
        part<TMaskEdit>("medCdImposto")->SetText(key.tax);
        frmDocForne->Vd_Imposto(false); // the registration row follows the tax
        part<TMaskEdit>("medCdEmpresa")->SetText(key.company);
        part<TEdit>("edtInscricao")->SetText(key.registration);
        part<TDateEditPlus>("depDtInicial")->SetDate(TDateTime::fromDate(key.start));
        part<TDateEditPlus>("depDtFinal")->SetDate(TDateTime::fromDate(key.end));
        frmDocForne->Vd_ValidaCampos(true);
    } catch (const Exception &e) {
        fail(QStringLiteral("a verificação falhou: %1 %2")
                 .arg(e.Message(), services.messages().join(' ')));
    }
    std::vector<double> checkMs;
    try {
        for (int i = 0; i < checks; ++i) {
            clock.start();
            frmDocForne->Vd_ValidaCampos(true);
            checkMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
    } catch (const Exception &e) {
        fail(QStringLiteral("a verificação falhou: %1 %2")
                 .arg(e.Message(), services.messages().join(' ')));
    }
    if (!services.messages().isEmpty())
        fail(services.messages().join(' '));
    figure("fis01400_full_check_p50", percentile(checkMs, 0.5), "ms");
    figure("fis01400_full_check_p99", percentile(checkMs, 0.99), "ms");
    closeScreen();

    Velmora::Services::install(nullptr);
    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
