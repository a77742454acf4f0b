// One contest of a raster benchmark: ours and the peer timed alternately on the same work, the
// medians and the speed ratio (peer time / our time: above 1 means ours is faster) reported as
// the counters ours_ms, peer_ms and ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench_contest {

inline double MedianMs(std::vector<double>& v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline void Contest(benchmark::State& state, const std::function<void()>& ours,
                    const std::function<void()>& peer, int runs = 15)
{
    std::vector<double> ourTimes, peerTimes;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            for (int which = 0; which < 2; ++which) {
                const auto start = std::chrono::steady_clock::now();
                (which == 0 ? ours : peer)();
                const auto end = std::chrono::steady_clock::now();
                (which == 0 ? ourTimes : peerTimes)
                    .push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
        benchmark::ClobberMemory();
    }
    const double o = MedianMs(ourTimes), p = MedianMs(peerTimes);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = p / o;
}

} // namespace bench_contest
