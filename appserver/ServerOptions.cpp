#include "ServerOptions.h"

#include "rtl/Exceptions.h"

#include <QCommandLineParser>

namespace AppServer {

namespace {
int numberOption(const QCommandLineParser &parser, const QString &name, int fallback, int low,
                 int high)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || n < low || n > high)
        throw Exception(QStringLiteral("Valor inválido para --%1: '%2' (de %3 a %4).")
                            .arg(name, parser.value(name))
                            .arg(low)
                            .arg(high));
    return n;
}
} // namespace

ServerOptions ServerOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Servidor de aplicação: JSON-RPC 2.0 sobre HTTP/1.1 em POST /rpc/<módulo>."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("config"), QStringLiteral("Arquivo de configuração."),
         QStringLiteral("arquivo")},
        {QStringLiteral("port"), QStringLiteral("Porta (0 escolhe uma livre)."),
         QStringLiteral("n")},
        {QStringLiteral("host"), QStringLiteral("Endereço de escuta."), QStringLiteral("endereço")},
        {QStringLiteral("threads"),
         QStringLiteral("Threads de trabalho (clientes atendidos ao mesmo tempo)."),
         QStringLiteral("n")},
        {QStringLiteral("idle-timeout"), QStringLiteral("Segundos de uma conexão ociosa."),
         QStringLiteral("s")},
        {QStringLiteral("read-timeout"), QStringLiteral("Prazo para receber uma requisição."),
         QStringLiteral("ms")},
        {QStringLiteral("max-body"), QStringLiteral("Tamanho máximo do corpo."),
         QStringLiteral("bytes")},
    });
    if (!parser.parse(arguments))
        throw Exception(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }

    const QString path = Velmora::configPath(arguments);
    if (path.isEmpty())
        throw Exception(QStringLiteral("Informe o arquivo de configuração com --config ARQUIVO ou "
                                       "na variável VELMORA_CONFIG."));
    ServerOptions o;
    o.settings = Velmora::Settings::load(path);
    o.host = (parser.isSet(QStringLiteral("host")) ? parser.value(QStringLiteral("host"))
                                                   : o.settings.serverHost)
                 .toStdString();
    if (o.host.empty())
        o.host = "127.0.0.1";
    o.port = numberOption(parser, QStringLiteral("port"), o.settings.serverPort, 0, 65535);
    // A keep-alive client holds its worker while connected: a handful of workers would leave the
    // next clients waiting for an idle connection to time out.
    o.workerThreads = numberOption(parser, QStringLiteral("threads"),
                                   qMax(o.workerThreads, o.settings.serverThreads), 1, 4096);
    o.idleTimeoutSeconds =
        numberOption(parser, QStringLiteral("idle-timeout"), o.idleTimeoutSeconds, 1, 3600);
    o.readTimeoutMs =
        numberOption(parser, QStringLiteral("read-timeout"), o.readTimeoutMs, 10, 600000);
    o.maxBodyBytes = static_cast<std::size_t>(numberOption(
        parser, QStringLiteral("max-body"), static_cast<int>(o.maxBodyBytes), 256, 64 << 20));
    return o;
}

} // namespace AppServer
