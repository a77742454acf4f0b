// Shared parts of the files benchmarks: a scratch folder that is the engine's base folder, and
// side-by-side timing: both contenders run on the same work, alternating, and the entry reports
// the medians (ours_ms, peer_ms) and ratio = peer time / our time (above 1: ours is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"

namespace files_bench {

// A fresh folder under /tmp (removed at the end) as the base folder, with a file manager that
// reads KPK archives installed as g_pFileManager.
struct BenchFolder {
    std::string folder;
    CFileManager files;
    explicit BenchFolder(const char* stem)
    {
        std::string pattern = std::string("/tmp/tessaro-bench-") + stem + "-XXXXXX";
        folder = mkdtemp(pattern.data()) ? pattern : "/tmp";
        SetBaseFolder(WindowsPathOf(folder).c_str());
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
    }
    ~BenchFolder()
    {
        g_pFileManager = nullptr;
        std::error_code e;
        std::filesystem::remove_all(folder, e);
    }
};

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
