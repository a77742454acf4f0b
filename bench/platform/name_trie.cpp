// FindInNameTrie on a 10,000-name trie (archive-like names, wide form), found and missing names,
// as given and lower-cased. Goal: at least 1,000,000 lookups per second; the counter
// "goal_ratio" is the measured rate over that goal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "authoring/name_trie_writer.h"
#include "platform/name_trie.h"

namespace {

struct Fixture {
    std::vector<uint8_t> trie;
    std::vector<std::string> found;
    std::vector<std::string> missing;
    Fixture()
    {
        static const char* folders[] = {"bg\\",     "ev\\",     "se\\",  "voice\\",
                                        "script\\", "system\\", "chr\\", "bgm\\"};
        static const char* extensions[] = {".elg", ".ogg", ".sob", ".kgm"};
        std::vector<authoring::NameValue> names;
        for (uint32_t i = 0; i < 10000; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%c%05u%s", folders[i % 8], 'a' + static_cast<int>(i % 26),
                          i * 7919 % 100000, extensions[i % 4]);
            names.push_back({name, i});
            found.push_back(name);
            name[0] = 'z'; // no stored name starts with z
            missing.push_back(name);
        }
        if (!authoring::BuildNameTrie(names, true, trie))
            std::fprintf(stderr, "bench: trie not built\n");
    }
};

const Fixture& Data()
{
    static const Fixture fixture;
    return fixture;
}

void Report(benchmark::State& state)
{
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["goal_ratio"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_FindInNameTrieFound(benchmark::State& state)
{
    const Fixture& f = Data();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindInNameTrie(f.trie.data(), f.trie.size(), true, f.found[i].c_str(), 0));
        i = (i + 1) % f.found.size();
    }
    Report(state);
}
BENCHMARK(BM_FindInNameTrieFound);

void BM_FindInNameTrieFoundLowerCased(benchmark::State& state)
{
    const Fixture& f = Data();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindInNameTrie(f.trie.data(), f.trie.size(), true, f.found[i].c_str(), 2));
        i = (i + 1) % f.found.size();
    }
    Report(state);
}
BENCHMARK(BM_FindInNameTrieFoundLowerCased);

void BM_FindInNameTrieMissing(benchmark::State& state)
{
    const Fixture& f = Data();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindInNameTrie(f.trie.data(), f.trie.size(), true, f.missing[i].c_str(), 0));
        i = (i + 1) % f.missing.size();
    }
    Report(state);
}
BENCHMARK(BM_FindInNameTrieMissing);

} // namespace
