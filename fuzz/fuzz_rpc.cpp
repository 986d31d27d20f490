// The application server's answer to one call, from the request body on: the JSON-RPC
// envelope, the data module and method lookup, the parameter checks and the database work,
// on a real SQLite database holding the module's fixture. The input is
// "MODULE\nAUTHORIZATION\nBODY", the path's module name and the header as the HTTP layer
// hands them over.
#include "FuzzSupport.h"

#include "Databases.h"
#include "Fixture.h"
#include "Schema.h"

#include "appserver/DataModuleRegistry.h"
#include "appserver/DatabaseAccess.h"
#include "appserver/RequestLog.h"
#include "appserver/RpcServer.h"
#include "data/DBConnection.h"
#include "rtl/Exceptions.h"

#include <nlohmann/json.hpp>

namespace {

struct Server
{
    AppServer::ServerOptions options;
    AppServer::DataModuleRegistry modules;
    std::unique_ptr<AppServer::DatabaseAccess> database;
    std::unique_ptr<AppServer::RpcServer> rpc;

    Server()
    {
        options.settings.dbDriver = QStringLiteral("QSQLITE");
        options.settings.dbDatabase = Fuzz::scratch().filePath(QStringLiteral("maps.sqlite"));
        options.settings.serverToken = QStringLiteral("fuzz-token");
        Velmora::installSettings(options.settings);
        createDatabase();
        AppServer::applyLogLevel(QStringLiteral("off"));
        AppServer::registerDataModules(modules);
        database = std::make_unique<AppServer::DatabaseAccess>(options.settings);
        rpc = std::make_unique<AppServer::RpcServer>(options, modules, *database);
    }

    void createDatabase()
    {
        Velmora::ConnectionSettings where;
        where.driver = options.settings.dbDriver;
        where.database = options.settings.dbDatabase;
        where.createIfMissing = true;
        try {
            Velmora::Db::CreateDatabase(where, Velmora::Db::Durability::Throwaway);
            Velmora::DBConnection db(where);
            Velmora::Db::CreateSchema(db);
            Velmora::Db::LoadFixtureFile(db, QStringLiteral(VELMORA_MODULE_FIXTURE));
        } catch (const Exception &e) {
            std::fprintf(stderr, "fuzz_rpc: %s\n", e.what());
            std::abort();
        }
    }
};

Server &server()
{
    static Server *s = new Server;
    return *s;
}

std::string line(const std::string &input, std::size_t &from)
{
    const std::size_t end = input.find('\n', from);
    const std::string part = input.substr(from, end == std::string::npos ? end : end - from);
    from = end == std::string::npos ? input.size() : end + 1;
    return part;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::application<QCoreApplication>();
    server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::size_t at = 0;
    const std::string module = line(input, at);
    const std::string authorization = line(input, at);
    const std::string body = input.substr(at);

    const AppServer::RpcServer::Answer answer =
        server().rpc->answerCall(module, body, authorization);
    // VELMORA_FUZZ_SHOW=1 prints each answer: a look at how deep the seeds reach.
    static const bool show = qEnvironmentVariableIsSet("VELMORA_FUZZ_SHOW");
    if (show)
        std::fprintf(stderr, "%d %s\n", answer.status, answer.body.c_str());
    if (answer.status == 204) {
        FUZZ_CHECK(answer.body.empty());
        return 0;
    }
    // Every answer, refusals included, is a JSON-RPC body the client can read.
    // An internal error would mean the input slipped past the checks that name what is wrong.
    FUZZ_CHECK(answer.status == 200 || answer.status == 401);
    const nlohmann::json reply = nlohmann::json::parse(answer.body, nullptr, false);
    FUZZ_CHECK(reply.is_object() && reply.value("jsonrpc", "") == "2.0");
    FUZZ_CHECK(reply.contains("result") != reply.contains("error"));
    return 0;
}
