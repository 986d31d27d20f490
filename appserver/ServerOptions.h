#pragma once

#include "rtl/Settings.h"

#include <QStringList>

#include <cstddef>
#include <string>

namespace AppServer {

// How the server runs: the shared settings file plus what the command line overrides.
//
//   --config FILE        settings file (else VELMORA_CONFIG)
//   --port N             overrides [AppServer] Port; 0 picks a free port
//   --host ADDRESS       overrides [AppServer] Host, the address to bind (loopback by default)
//   --threads N          worker threads (default: [AppServer] Threads, but at least 64)
//   --idle-timeout S     seconds an idle keep-alive connection stays open (default 5)
//   --read-timeout MS    time a client may take to send a request (default 5000)
//   --max-body BYTES     largest request body accepted (default 65536)
struct ServerOptions
{
    Velmora::Settings settings;
    std::string host;
    int port = 0;
    // Each worker thread serves one keep-alive client at a time, for as long as the client stays
    // connected, and talks to the database over a connection of its own, opened at its first
    // call. So the count bounds both the clients served at once and the database connections.
    int workerThreads = 64;
    int idleTimeoutSeconds = 5;
    int readTimeoutMs = 5000;
    std::size_t maxBodyBytes = 64 * 1024;

    // Reads the command line and the settings file; raises Exception with a Portuguese message.
    static ServerOptions parse(const QStringList &arguments);
};

} // namespace AppServer
