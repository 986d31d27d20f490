#include "LoadRun.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double percentile(std::vector<float> &values, double p)
{
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at),
                     values.end());
    return values[at];
}
} // namespace

LoadResult runLoad(const LoadPlan &plan)
{
    std::atomic<bool> recording{false}, stopping{false};
    std::vector<std::vector<float>> latencies(static_cast<std::size_t>(plan.clients));
    std::vector<long long> errors(static_cast<std::size_t>(plan.clients), 0);
    std::vector<std::thread> threads;
    for (int c = 0; c < plan.clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::ClientImpl client("127.0.0.1", plan.port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_read_timeout(5, 0);
            std::vector<float> &mine = latencies[static_cast<std::size_t>(c)];
            mine.reserve(1 << 20);
            for (long long n = 0; !stopping.load(std::memory_order_relaxed); ++n) {
                const std::string body = plan.body(c, n);
                const Clock::time_point start = Clock::now();
                const httplib::Result r = client.Post(plan.path, body, "application/json");
                const float ms =
                    std::chrono::duration<float, std::milli>(Clock::now() - start).count();
                if (!recording.load(std::memory_order_relaxed))
                    continue;
                if (!r || r->status != 200 || r->body.find("\"error\"") != std::string::npos) {
                    if (errors[static_cast<std::size_t>(c)]++ == 0)
                        std::fprintf(stderr, "erro (cliente %d, pedido %lld, %.1f ms): %s\n", c, n,
                                     ms,
                                     r ? r->body.substr(0, 300).c_str()
                                       : httplib::to_string(r.error()).c_str());
                } else
                    mine.push_back(ms);
            }
        });
    }
    const auto sleepFor = [](double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    sleepFor(plan.warmupSeconds);
    const Clock::time_point start = Clock::now();
    recording = true;
    if (plan.midway) {
        sleepFor(plan.seconds / 2);
        plan.midway();
        sleepFor(plan.seconds / 2);
    } else {
        sleepFor(plan.seconds);
    }
    recording = false;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    stopping = true;
    for (std::thread &t : threads)
        t.join();

    LoadResult result;
    std::vector<float> all;
    for (std::size_t c = 0; c < latencies.size(); ++c) {
        all.insert(all.end(), latencies[c].begin(), latencies[c].end());
        result.errors += errors[c];
    }
    result.requests = static_cast<long long>(all.size());
    result.requestsPerSecond = static_cast<double>(all.size()) / elapsed;
    result.p50Ms = percentile(all, 0.50);
    result.p99Ms = percentile(all, 0.99);
    return result;
}
