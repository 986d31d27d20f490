// The candidate on h2o's library with its own event loop (libh2o-evloop): one loop per core,
// every loop accepting on the same listening socket.
#include "Candidate.h"

#include <h2o.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> g_stopping{false};
h2o_globalconf_t g_config;

bool is(h2o_iovec_t value, std::string_view expected)
{
    return std::string_view(value.base, value.len) == expected;
}

int handle(h2o_handler_t *, h2o_req_t *req)
{
    // The library has read the whole body by now, refusing with 413 one over the entity limit.
    const bool known = is(req->method, "POST") && is(req->path_normalized, Candidate::path);
    req->res.status = known ? 200 : 404;
    req->res.reason = known ? "OK" : "Not Found";
    h2o_add_header(&req->pool, &req->res.headers, H2O_TOKEN_CONTENT_TYPE, nullptr,
                   H2O_STRLIT("application/json"));
    const std::string_view body = known ? Candidate::answer : "{}";
    req->res.content_length = body.size(); // otherwise the answer goes out chunked
    h2o_send_inline(req, body.data(), body.size());
    return 0;
}

struct Loop
{
    h2o_context_t context{};
    h2o_accept_ctx_t accepting{};
};

void accept(h2o_socket_t *listener, const char *error)
{
    if (error)
        return;
    if (h2o_socket_t *socket = h2o_evloop_socket_accept(listener))
        h2o_accept(&static_cast<Loop *>(listener->data)->accepting, socket);
}

void run(int listenFd)
{
    Loop loop;
    h2o_context_init(&loop.context, h2o_evloop_create(), &g_config);
    loop.accepting.ctx = &loop.context;
    loop.accepting.hosts = g_config.hosts;
    h2o_socket_t *listener =
        h2o_evloop_socket_create(loop.context.loop, listenFd, H2O_SOCKET_FLAG_DONT_READ);
    listener->data = &loop;
    h2o_socket_read_start(listener, accept);
    // The wait is bounded so that a stop is seen within a tenth of a second.
    while (!g_stopping && h2o_evloop_run(loop.context.loop, 100) == 0) {
    }
}

} // namespace

int main(int argc, char *argv[])
{
    const unsigned short port = Candidate::portArgument(argc, argv);
    const sigset_t stopSignals = Candidate::blockStopSignals();
    h2o_config_init(&g_config);
    g_config.max_request_entity_size = Candidate::bodyLimit;
    g_config.http1.req_timeout = 60000;
    h2o_hostconf_t *host =
        h2o_config_register_host(&g_config, h2o_iovec_init(H2O_STRLIT("default")), 65535);
    h2o_pathconf_t *everything = h2o_config_register_path(host, "/", 0);
    h2o_create_handler(everything, sizeof(h2o_handler_t))->on_req = handle;

    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&at), &length) != 0) {
        std::fprintf(stderr, "não foi possível escutar na porta %u: %s\n", port,
                     std::strerror(errno));
        return 1;
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < Candidate::threads; ++i)
        threads.emplace_back(run, fd);
    Candidate::announcePort(ntohs(at.sin_port));
    Candidate::waitForStop(stopSignals);
    g_stopping = true;
    for (std::thread &t : threads)
        t.join();
    close(fd);
    return 0;
}
