// One contest of a benchmark: our code and the named peer run alternately on the same work, and
// the entry reports the medians (ours_ms, peer_ms) and the ratio peer / ours (above 1: we are
// faster).
//
// A contest's goal is reported beside its figures so one run says met or short (scripts/bench
// --check reads them): `goal` is the least ratio to reach, and any `goal_NAME` is the most the
// counter NAME may show (`goal_ms` caps ours_ms).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline double MedianMs(std::vector<double>& v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What a contest must reach; a zero field is no goal of that kind.
struct Goal {
    double ratio = 0; // peer / ours at least
    double ms = 0;    // ours_ms at most
};

inline void ReportGoal(benchmark::State& state, const Goal& goal)
{
    if (goal.ratio > 0)
        state.counters["goal"] = goal.ratio;
    if (goal.ms > 0)
        state.counters["goal_ms"] = goal.ms;
}

// The most another counter of the entry may show (a per-step time, a CPU share).
inline void ReportCeiling(benchmark::State& state, const std::string& counter, double most)
{
    state.counters["goal_" + counter] = most;
}

inline void Contest(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& peer,
                    int runs = 15)
{
    std::vector<double> ourTimes, peerTimes;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            for (int which = 0; which < 2; ++which) {
                const auto start = std::chrono::steady_clock::now();
                (which == 0 ? ours : peer)();
                const auto end = std::chrono::steady_clock::now();
                (which == 0 ? ourTimes : peerTimes).push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
        benchmark::ClobberMemory();
    }
    const double o = MedianMs(ourTimes), p = MedianMs(peerTimes);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = p / o;
}

inline void Contest(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& peer,
                    const Goal& goal, int runs = 15)
{
    Contest(state, ours, peer, runs);
    ReportGoal(state, goal);
}

} // namespace bench
