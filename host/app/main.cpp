#include "BatchRunner.h"
#include "Host.h"
#include "MainWindow.h"

#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/Glyphs.h"
#include "framework/InputFilter.h"
#include "framework/Language.h"
#include "framework/Services.h"
#include "reports/ReportComponents.h"
#include "reports/ReportConnection.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

void complain(const QString &text)
{
    std::fprintf(stderr, "velmora: %s\n", text.toLocal8Bit().constData());
}

const char *usage =
    "uso: velmora [--config ARQUIVO] [--open TELA | --batch TAREFA [--screenshot IMAGEM]]";

// The report machinery reads through the host's one shared connection.
void shareDatabaseWithReports()
{
    Velmora::Reports::SetReportConnectionProvider(
        [] { return Velmora::Reports::ReportConnectionOf(*dtmDBGeral()->adcGeral()); });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    // What title bars and message boxes show; the name above stays the one of files and paths.
    QApplication::setApplicationDisplayName(QStringLiteral("Velmora"));
    QApplication::setWindowIcon(Glyphs::Icon(QStringLiteral("velmora")));

    QCommandLineParser parser;
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Arquivo de configuração."),
                                    QStringLiteral("ARQUIVO"));
    const QCommandLineOption batch(
        QStringLiteral("batch"),
        QStringLiteral("Executa a tarefa em lote (\"-\": entrada padrão)."),
        QStringLiteral("TAREFA"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Abre a tela ao iniciar."),
                                  QStringLiteral("TELA"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Com --batch: grava a imagem da tela ao fim da tarefa."),
        QStringLiteral("IMAGEM"));
    parser.addOptions({config, batch, open, screenshot});
    if (!parser.parse(QApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        complain(unknown.isEmpty() ? QStringLiteral("argumentos inválidos.")
                                   : QStringLiteral("opção desconhecida: %1.")
                                         .arg(unknown.join(QStringLiteral(", "))));
        complain(QString::fromLatin1(usage));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty() || (parser.isSet(batch) && parser.isSet(open))) {
        complain(QString::fromLatin1(usage));
        return 2;
    }

    const QString configFile =
        parser.isSet(config) ? parser.value(config) : qEnvironmentVariable("VELMORA_CONFIG");
    if (!configFile.isEmpty()) {
        try {
            Velmora::installSettings(Velmora::Settings::load(configFile));
        } catch (const Exception &e) {
            complain(e.Message());
            return 2;
        }
    }

    // Before any window: Qt's dialogs and the numbers speak the clerk's language.
    Velmora::Language::install(Velmora::settings().language);

    Velmora::RegisterFrameworkComponents();
    Velmora::Reports::RegisterReportComponents();
    Velmora::InputFilter::install();
    // Connects on first use: a database that is down does not keep the host from starting.
    TdtmDBGeral database(Velmora::ConnectionSettings::fromSettings(Velmora::settings()));
    shareDatabaseWithReports();
    Velmora::Host host;

    if (parser.isSet(batch))
        return RunBatch(parser.value(batch), parser.value(screenshot));

    host.Window().show();
    for (const QString &failure : host.LoadConfiguredPackages())
        Velmora::Services::current().showMessage(failure);
    if (parser.isSet(open))
        host.OpenScreen(parser.value(open));
    return QApplication::exec();
}
