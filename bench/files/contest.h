// Side-by-side timing for the files benchmarks: both contenders run on the same work, alternating,
// and the entry reports the medians (ours_ms, peer_ms) and ratio = peer time / our time (above 1:
// ours is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace files_bench {

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline double TimeMs(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// rounds alternating runs of each side per benchmark iteration.
inline void Contest(benchmark::State& state, int rounds, const std::function<void()>& ours,
                    const std::function<void()>& peer)
{
    std::vector<double> ourTimes;
    std::vector<double> peerTimes;
    for (auto _ : state) {
        for (int i = 0; i < rounds; ++i) {
            ourTimes.push_back(TimeMs(ours));
            peerTimes.push_back(TimeMs(peer));
        }
    }
    const double o = Median(ourTimes);
    const double p = Median(peerTimes);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = o > 0 ? p / o : 0;
}

} // namespace files_bench
