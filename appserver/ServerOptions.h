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
//   --connections N      connection threads: keep-alive clients served at once (default 64)
//   --idle-timeout S     seconds an idle keep-alive connection stays open (default 5)
//   --read-timeout MS    time a client may take to send a request (default 5000)
//   --max-body BYTES     largest request body accepted (default 65536)
struct ServerOptions
{
    Velmora::Settings settings;
    std::string host;
    int port = 0;
    int connectionThreads = 64;
    int idleTimeoutSeconds = 5;
    int readTimeoutMs = 5000;
    std::size_t maxBodyBytes = 64 * 1024;

    // Reads the command line and the settings file; raises Exception with a Portuguese message.
    static ServerOptions parse(const QStringList &arguments);
};

} // namespace AppServer
