// The string natives in SOB loops against the C library on the same data, 1,000,000 calls a run:
// 59 (copy), 62 (append; the destination cut back to 64 bytes each pass on both sides), 63
// (length) and 64 (compare) on 64-byte strings, and 67 formatting "%s=%d (%08X)" against
// strcpy, strcat, strlen, strcmp and snprintf. A SOB pass makes ten calls and then runs the
// loop's three instructions; every call pays the machine's native dispatch and the natives their
// checks (views, block bounds). Counters: ours_ms, peer_ms,
// ratio (peer time / our time), goal (the ratio wanted), ns_per_call, peer_ns_per_call and allocs (a
// run of our loop, none wanted).
// Goals: the formatter at 1.5 × snprintf or better; the other natives at 0.5 × libc.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "alloc_count.h"
#include "contest.h"
#include "natives/script_host.h"

namespace {

constexpr uint32_t kCalls = 1000000;
constexpr uint32_t kUnrolled = 10; // calls in the body of a pass, so that the loop's own steps weigh little
const std::string kText(64, 'k'); // the 64-byte string of every contest
constexpr char kFormat[] = "%s=%d (%08X)";
constexpr int kNumber = 12345;
constexpr unsigned kHex = 0xBEEF;

uint32_t g_sink = 0;

// A SOB loop that runs body kCalls times over the data below; prologue runs once first.
struct SobLoop {
    CScriptHost host{4u << 20};
    SobAssembly assembly;
    std::vector<uint8_t> image; // the code resolved at its address once
    uint32_t code = 0;

    SobLoop(const std::string& prologue, const std::string& body)
    {
        std::string unrolled;
        for (uint32_t i = 0; i < kUnrolled; ++i)
            unrolled += "       " + body + "\n";
        const std::string source = prologue +
                                   "loop:\n" + unrolled +
                                   "       inc loop2.1\n"
                                   "loop2: ge 0, " + std::to_string(kCalls / kUnrolled) + ", again.1\n"
                                   "again: jz 0, loop\n"
                                   "       ret\n"
                                   ".data\n"
                                   "copy:  .word dst, src\n"
                                   "cat:   .word dst, src\n"
                                   "len:   .word src\n"
                                   "cmp:   .word src, same\n"
                                   "fmt:   .word out, format, src, " + std::to_string(kNumber) + ", " + std::to_string(kHex) + "\n"
                                   "r:     .word 0\n"
                                   "src:   .sjis \"" + kText + "\"\n"
                                   "same:  .sjis \"" + kText + "\"\n"
                                   "format: .sjis \"" + std::string(kFormat) + "\"\n"
                                   "out:   .space 128\n"
                                   "dst:   .space 64\n"
                                   "cut:   .word 0\n"
                                   "       .space 68\n";
        std::vector<std::string> errors;
        if (!AssembleSob(source, "bench", &assembly, &errors))
            std::fprintf(stderr, "%s\n", errors.empty() ? "assembly failed" : errors[0].c_str());
        code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
        std::string error;
        if (!ResolveSob(assembly, code, &image, &error))
            std::fprintf(stderr, "%s\n", error.c_str());
    }
    void Run()
    {
        // The loop counts in its own code: each run starts from the code as placed.
        if (uint8_t* at = host.Memory().Span(code, static_cast<uint32_t>(image.size())); at != nullptr)
            std::memcpy(at, image.data(), image.size());
        host.Machine().Call(code);
        uint32_t r = 0;
        host.Memory().Load32(code + assembly.labels["r"], &r);
        g_sink += r;
    }
};

void Report(benchmark::State& state, double goal, const bench::AllocationTally& tally)
{
    bench::ReportGoal(state, {.ratio = goal});
    tally.Report(state, 0); // a run of the loop: the calls allocate nothing
    state.counters["ns_per_call"] = state.counters["ours_ms"] * 1e6 / kCalls;
    state.counters["peer_ns_per_call"] = state.counters["peer_ms"] * 1e6 / kCalls;
}

// The peer's side: the same call kCalls times, its result kept from the optimiser.
template <class Call>
void PeerLoop(Call call)
{
    for (uint32_t i = 0; i < kCalls; ++i) {
        call();
        benchmark::ClobberMemory();
    }
}

void CopyAgainstStrcpy(benchmark::State& state)
{
    SobLoop ours("", "ncall native 59, copy, r");
    char dst[128];
    bench::AllocationTally tally;
    bench::Contest(state, tally.Wrap([&] { ours.Run(); }), [&] { PeerLoop([&] { benchmark::DoNotOptimize(std::strcpy(dst, kText.c_str())); }); }, 5);
    Report(state, 0.5, tally);
}

void AppendAgainstStrcat(benchmark::State& state)
{
    // dst starts as the 64-byte string; each pass cuts it back and appends the string again.
    SobLoop ours("       ncall native 59, copy, r\n", "mov 0, cut\n       ncall native 62, cat, r");
    char dst[160];
    std::strcpy(dst, kText.c_str());
    bench::AllocationTally tally;
    bench::Contest(state, tally.Wrap([&] { ours.Run(); }), [&] {
        PeerLoop([&] {
            dst[64] = 0;
            benchmark::DoNotOptimize(std::strcat(dst, kText.c_str()));
        });
    }, 5);
    Report(state, 0.5, tally);
}

void LengthAgainstStrlen(benchmark::State& state)
{
    SobLoop ours("", "ncall native 63, len, r");
    const char* text = kText.c_str();
    bench::AllocationTally tally;
    bench::Contest(state, tally.Wrap([&] { ours.Run(); }), [&] {
        PeerLoop([&] {
            benchmark::DoNotOptimize(text);
            benchmark::DoNotOptimize(std::strlen(text));
        });
    }, 5);
    Report(state, 0.5, tally);
}

void CompareAgainstStrcmp(benchmark::State& state)
{
    SobLoop ours("", "ncall native 64, cmp, r");
    const std::string same = kText;
    const char *a = kText.c_str(), *b = same.c_str();
    bench::AllocationTally tally;
    bench::Contest(state, tally.Wrap([&] { ours.Run(); }), [&] {
        PeerLoop([&] {
            benchmark::DoNotOptimize(a);
            benchmark::DoNotOptimize(std::strcmp(a, b));
        });
    }, 5);
    Report(state, 0.5, tally);
}

void FormatAgainstSnprintf(benchmark::State& state)
{
    SobLoop ours("", "ncall native 67, fmt, r");
    char out[128];
    bench::AllocationTally tally;
    bench::Contest(state, tally.Wrap([&] { ours.Run(); }), [&] {
        PeerLoop([&] { benchmark::DoNotOptimize(std::snprintf(out, sizeof out, kFormat, kText.c_str(), kNumber, kHex)); });
    }, 5);
    Report(state, 1.5, tally);
}

} // namespace

BENCHMARK(CopyAgainstStrcpy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AppendAgainstStrcat)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LengthAgainstStrlen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CompareAgainstStrcmp)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FormatAgainstSnprintf)->Unit(benchmark::kMillisecond)->Iterations(1);
