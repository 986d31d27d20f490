#include "ServerOptions.h"

#include "rtl/Exceptions.h"

#include <QCommandLineParser>

#include <algorithm>
#include <thread>

namespace AppServer {

namespace {

// A number from the command line, else from the settings file, within its range.
class NumberSource
{
public:
    explicit NumberSource(const QCommandLineParser &parser) : m_parser(parser) {}

    int value(const char *option, const char *key, int fromSettings, int low, int high) const
    {
        const QString name = QLatin1String(option);
        if (!m_parser.isSet(name)) {
            if (fromSettings < low || fromSettings > high)
                throw Exception(QStringLiteral("Valor inválido para [AppServer] %1 no arquivo de "
                                               "configuração: %2 (de %3 a %4).")
                                    .arg(QLatin1String(key))
                                    .arg(fromSettings)
                                    .arg(low)
                                    .arg(high));
            return fromSettings;
        }
        bool ok = false;
        const int n = m_parser.value(name).toInt(&ok);
        if (!ok || n < low || n > high)
            throw Exception(QStringLiteral("Valor inválido para --%1: '%2' (de %3 a %4).")
                                .arg(name, m_parser.value(name))
                                .arg(low)
                                .arg(high));
        return n;
    }

private:
    const QCommandLineParser &m_parser;
};

QCommandLineOption valued(const char *name, const char *description, const char *valueName)
{
    return {QLatin1String(name), QString::fromUtf8(description), QLatin1String(valueName)};
}

} // namespace

ServerOptions ServerOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Servidor de aplicação: JSON-RPC 2.0 sobre HTTP/1.1 em POST /rpc/<módulo>."));
    parser.addHelpOption();
    parser.addOptions({
        valued("config", "Arquivo de configuração.", "arquivo"),
        valued("port", "Porta (0 escolhe uma livre).", "n"),
        valued("host", "Endereço de escuta.", "endereço"),
        valued("threads", "Threads de trabalho (chamadas ao banco ao mesmo tempo).", "n"),
        valued("loop-threads", "Threads que atendem as conexões.", "n"),
        valued("idle-timeout", "Segundos de uma conexão ociosa.", "s"),
        valued("read-timeout", "Prazo para receber uma requisição inteira.", "ms"),
        valued("max-body", "Tamanho máximo do corpo.", "bytes"),
        valued("max-header-bytes", "Tamanho máximo da linha de requisição e cabeçalhos.", "bytes"),
        valued("max-headers", "Número máximo de cabeçalhos.", "n"),
        valued("max-connections", "Conexões abertas ao mesmo tempo.", "n"),
        valued("max-connections-per-client", "Conexões abertas por endereço de cliente.", "n"),
        {QStringLiteral("jobs-only"),
         QStringLiteral("Não atende chamadas: só gera os relatórios da fila.")},
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
    const Velmora::Settings &s = o.settings;
    o.host =
        (parser.isSet(QStringLiteral("host")) ? parser.value(QStringLiteral("host")) : s.serverHost)
            .toStdString();
    if (o.host.empty())
        o.host = "127.0.0.1";
    const NumberSource n(parser);
    o.port = n.value("port", "Port", s.serverPort, 0, 65535);
    o.workerThreads = n.value("threads", "Threads", s.serverThreads, 1, 4096);
    o.loopThreads = n.value("loop-threads", "LoopThreads", s.serverLoopThreads, 0, 64);
    if (o.loopThreads == 0)
        o.loopThreads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    o.callsOnLoop = s.serverCallsOnLoop;
    o.idleTimeoutSeconds =
        n.value("idle-timeout", "IdleTimeoutSeconds", s.serverIdleTimeoutSeconds, 1, 3600);
    o.readTimeoutMs =
        n.value("read-timeout", "RequestTimeoutMs", s.serverRequestTimeoutMs, 10, 600000);
    o.maxBodyBytes = static_cast<std::size_t>(
        n.value("max-body", "MaxBodyBytes", s.serverMaxBodyBytes, 256, 64 << 20));
    o.maxHeaderBytes = static_cast<std::size_t>(
        n.value("max-header-bytes", "MaxHeaderBytes", s.serverMaxHeaderBytes, 1024, 1 << 20));
    o.maxHeaders = n.value("max-headers", "MaxHeaders", s.serverMaxHeaders, 8, 10000);
    o.maxConnections =
        n.value("max-connections", "MaxConnections", s.serverMaxConnections, 1, 1000000);
    o.maxConnectionsPerClient = n.value("max-connections-per-client", "MaxConnectionsPerClient",
                                        s.serverMaxConnectionsPerClient, 1, 1000000);
    o.allowWithoutToken = s.serverAllowWithoutToken;
    o.jobsOnly = parser.isSet(QStringLiteral("jobs-only"));
    return o;
}

} // namespace AppServer
