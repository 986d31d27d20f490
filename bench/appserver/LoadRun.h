#pragma once

#include <functional>
#include <string>

// Keep-alive clients, each on its own thread and connection, posting as fast as answers come.
struct LoadResult
{
    double requestsPerSecond = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    long long requests = 0;
    long long errors = 0; // transport failures, HTTP errors and JSON-RPC errors
};

struct LoadPlan
{
    int port = 0;
    std::string path;
    int clients = 1;
    double warmupSeconds = 0.3;
    double seconds = 1;
    // The body of the n-th request of a client (varies the arguments).
    std::function<std::string(int client, long long n)> body;
    // Called once, halfway through the measured window (memory samples).
    std::function<void()> midway;
};

LoadResult runLoad(const LoadPlan &plan);
