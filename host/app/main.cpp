#include "BatchRunner.h"
#include "Host.h"
#include "MainWindow.h"

#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"
#include "framework/Services.h"
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

const char *usage = "uso: velmora [--config ARQUIVO] [--open TELA | --batch TAREFA]";

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));

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
    parser.addOptions({config, batch, open});
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

    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
    Velmora::Host host;

    if (parser.isSet(batch))
        return RunBatch(parser.value(batch));

    host.Window().show();
    for (const QString &failure : host.LoadConfiguredPackages())
        Velmora::Services::current().showMessage(failure);
    if (parser.isSet(open))
        host.OpenScreen(parser.value(open));
    return QApplication::exec();
}
