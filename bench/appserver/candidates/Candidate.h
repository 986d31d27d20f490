#pragma once

// What every candidate server shares: the request it answers, the answer (the same bytes the
// app bench's nginx reference returns, so the comparison is of HTTP stacks alone), the port
// argument, and a stop on SIGTERM that each library's threads never see.
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace Candidate {

inline constexpr std::string_view answer =
    R"({"id":1,"jsonrpc":"2.0","result":{"fields":[],"message":"","rows":[],"status":0}})";
inline constexpr std::string_view path = "/rpc/Velmora.Servidor";
inline constexpr std::size_t bodyLimit = 64 * 1024;
inline constexpr int threads = 2; // one per core of the bench machine, as nginx's workers

// The port from `program PORT` (0 = any free one); exits with a message when it is not one.
inline unsigned short portArgument(int argc, char *argv[])
{
    char *end = nullptr;
    const long port = argc == 2 ? std::strtol(argv[1], &end, 10) : -1;
    if (argc != 2 || *end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "uso: %s PORTA (0 = uma porta livre)\n", argv[0]);
        std::exit(2);
    }
    return static_cast<unsigned short>(port);
}

// Blocks SIGTERM and SIGINT before any thread starts, so that only waitForStop receives them.
inline sigset_t blockStopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return set;
}

inline void announcePort(unsigned short port)
{
    std::printf("porta: %u\n", port);
    std::fflush(stdout);
}

inline void waitForStop(const sigset_t &set)
{
    int signal = 0;
    sigwait(&set, &signal);
}

} // namespace Candidate
