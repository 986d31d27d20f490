// The candidate on RESTinio over standalone Asio, on a pool of one thread per core.
#include "Candidate.h"

#include <restinio/all.hpp>

#include <atomic>

namespace {

restinio::request_handling_status_t handle(const restinio::request_handle_t &request)
{
    const bool known = request->header().method() == restinio::http_method_post() &&
                       request->header().path() == Candidate::path;
    if (!known)
        return request->create_response(restinio::status_not_found())
            .connection_keep_alive()
            .done();
    return request->create_response()
        .append_header(restinio::http_field::content_type, "application/json")
        .connection_keep_alive()
        .set_body(std::string(Candidate::answer))
        .done();
}

} // namespace

int main(int argc, char *argv[])
{
    const unsigned short port = Candidate::portArgument(argc, argv);
    const sigset_t stopSignals = Candidate::blockStopSignals();
    std::atomic<unsigned short> bound{0};
    try {
        auto server = restinio::run_async(
            restinio::own_io_context(),
            restinio::server_settings_t<>{}
                .address("127.0.0.1")
                .port(port)
                .request_handler(handle)
                .read_next_http_message_timelimit(std::chrono::seconds(60))
                .incoming_http_msg_limits(restinio::incoming_http_msg_limits_t{}
                                              .max_url_size(8 * 1024)
                                              .max_field_count(100)
                                              .max_body_size(Candidate::bodyLimit))
                .acceptor_post_bind_hook([&bound](restinio::asio_ns::ip::tcp::acceptor &a) {
                    bound = a.local_endpoint().port();
                }),
            Candidate::threads);
        Candidate::announcePort(bound);
        Candidate::waitForStop(stopSignals);
        server->stop();
        server->wait();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "servidor não iniciou na porta %u: %s\n", port, e.what());
        return 1;
    }
    return 0;
}
