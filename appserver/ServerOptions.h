#pragma once

#include "rtl/Settings.h"

#include <QStringList>

#include <cstddef>
#include <string>

namespace AppServer {

// How the server runs: the shared settings file plus what the command line overrides. Each
// limit is an [AppServer] key of the settings file; the option overrides it.
//
//   --config FILE                    settings file (else VELMORA_CONFIG)
//   --port N                         Port; 0 picks a free port
//   --host ADDRESS                   Host, the address to bind (loopback by default)
//   --threads N                      Threads: database workers (default 4)
//   --loop-threads N                 LoopThreads: threads running the connections (default 0:
//                                    one per processor core)
//   --idle-timeout S                 IdleTimeoutSeconds: keep-alive wait for the next request (5)
//   --read-timeout MS                RequestTimeoutMs: a whole request from its first byte (5000)
//   --max-body BYTES                 MaxBodyBytes (65536)
//   --max-header-bytes BYTES         MaxHeaderBytes: request line and headers (16384)
//   --max-headers N                  MaxHeaders: header fields (100)
//   --max-connections N              MaxConnections: open at once (10000)
//   --max-connections-per-client N   MaxConnectionsPerClient: per client address (1000)
struct ServerOptions
{
    Velmora::Settings settings;
    std::string host;
    int port = 0;
    // Each worker talks to the database over a connection of its own, opened at its first call:
    // the count bounds the calls running at once and the database connections. Connections
    // waiting for a request hold no worker.
    int workerThreads = 4;
    int loopThreads = 1;
    // On SQLite (CallsOnLoop, default true) the loop threads answer the calls themselves, each
    // over a connection of its own, and a call that would wait for a lock goes to the workers.
    bool callsOnLoop = true;
    int idleTimeoutSeconds = 5;
    int readTimeoutMs = 5000;
    std::size_t maxBodyBytes = 64 * 1024;
    std::size_t maxHeaderBytes = 16 * 1024;
    int maxHeaders = 100;
    int maxConnections = 10000;
    int maxConnectionsPerClient = 1000;
    bool allowWithoutToken = false;
    // Serves no calls: only works the report queue.
    bool jobsOnly = false;

    // Reads the command line and the settings file; raises Exception with a Portuguese message.
    static ServerOptions parse(const QStringList &arguments);
};

} // namespace AppServer
