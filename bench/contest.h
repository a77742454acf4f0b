// The side-by-side contest of the benchmarks: both contenders run alternately on the same work,
// and the entry reports the medians (ours_ms, peer_ms) and the ratio (peer time / our time: above
// 1 means ours is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

inline void Contest(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& peer,
                    int runs = 9)
{
    std::vector<double> ourTimes, peerTimes;
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i)
            for (int which = 0; which < 2; ++which) {
                const auto start = std::chrono::steady_clock::now();
                (which == 0 ? ours : peer)();
                const auto end = std::chrono::steady_clock::now();
                (which == 0 ? ourTimes : peerTimes).push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        benchmark::ClobberMemory();
    }
    const double o = median(ourTimes), p = median(peerTimes);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = p / o;
}
