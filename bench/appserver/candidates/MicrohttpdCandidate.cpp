// The candidate on libmicrohttpd: its own epoll threads, a pool of one per core.
#include "Candidate.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <cstring>
#include <string>

namespace {

// What one request has received so far: the library hands its body over in pieces.
struct Request
{
    std::size_t bodySize = 0;
};

MHD_Response *g_answer = nullptr;
MHD_Response *g_notFound = nullptr;
MHD_Response *g_tooLarge = nullptr;

MHD_Result handle(void *, MHD_Connection *connection, const char *url, const char *method,
                  const char *, const char *, size_t *uploadSize, void **state)
{
    auto *request = static_cast<Request *>(*state);
    if (!request) {
        // First call: headers only. A declared body over the limit is refused before it is read.
        const char *declared = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                           MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (declared && std::strtoull(declared, nullptr, 10) > Candidate::bodyLimit)
            return MHD_queue_response(connection, MHD_HTTP_CONTENT_TOO_LARGE, g_tooLarge);
        *state = new Request;
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        // A chunked body over the limit: too late for an answer, so the connection is dropped.
        request->bodySize += *uploadSize;
        *uploadSize = 0;
        return request->bodySize > Candidate::bodyLimit ? MHD_NO : MHD_YES;
    }
    const bool known = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0 && url == Candidate::path;
    return MHD_queue_response(connection, known ? MHD_HTTP_OK : MHD_HTTP_NOT_FOUND,
                              known ? g_answer : g_notFound);
}

void finished(void *, MHD_Connection *, void **state, MHD_RequestTerminationCode)
{
    delete static_cast<Request *>(*state);
    *state = nullptr;
}

MHD_Response *fixedResponse(std::string_view body)
{
    MHD_Response *response = MHD_create_response_from_buffer(
        body.size(), const_cast<char *>(body.data()), MHD_RESPMEM_PERSISTENT);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
    return response;
}

} // namespace

int main(int argc, char *argv[])
{
    const unsigned short port = Candidate::portArgument(argc, argv);
    const sigset_t stopSignals = Candidate::blockStopSignals();
    g_answer = fixedResponse(Candidate::answer);
    g_notFound = fixedResponse(R"({"error":"recurso desconhecido"})");
    g_tooLarge = fixedResponse(R"({"error":"corpo grande demais"})");
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    MHD_Daemon *daemon =
        MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_TURBO, port, nullptr, nullptr,
                         &handle, nullptr, MHD_OPTION_SOCK_ADDR, &at, MHD_OPTION_THREAD_POOL_SIZE,
                         static_cast<unsigned>(Candidate::threads), MHD_OPTION_CONNECTION_TIMEOUT,
                         60u, MHD_OPTION_CONNECTION_LIMIT, 4096u, MHD_OPTION_NOTIFY_COMPLETED,
                         &finished, nullptr, MHD_OPTION_END);
    if (!daemon) {
        std::fprintf(stderr, "libmicrohttpd não iniciou na porta %u\n", port);
        return 1;
    }
    Candidate::announcePort(MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT)->port);
    Candidate::waitForStop(stopSignals);
    MHD_stop_daemon(daemon);
    for (MHD_Response *r : {g_answer, g_notFound, g_tooLarge})
        MHD_destroy_response(r);
    return 0;
}
