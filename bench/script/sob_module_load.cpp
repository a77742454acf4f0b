// Loading a SOB module, as every jump and call between modules does: a 100 KB module image from
// the module writer with one link entry per four cells, spread over all five tables, in a
// temporary folder. Contests against memcpy of the file's bytes (the floor):
// - LoadAndUnload: LoadModule through the file manager (read, check, link) + UnloadModule.
//   Goal: below 1 ms.
// - LinkInMemory: the same from the bytes already in memory. Goal: within 4 × memcpy, that is
//   ratio (memcpy time / our time) >= 0.25.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "contest.h"
#include "authoring/sob_sample_game.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "script/sob_runtime.h"

namespace {

constexpr int kGroups = 6400; // four cells each: 102,400 bytes

uint32_t Nop(SobNativeArgs&)
{
    return 0;
}

struct Fixture {
    std::string folder;
    std::vector<uint8_t> module;
    CFileManager manager;
    CSobRuntime rt{64u << 20};

    Fixture()
    {
        samples::SobSampleGame game;
        if (!samples::MakeSobSampleGame(&game))
            std::abort();
        // Each group: a linked cell (user variable, native, host variable, library, own in turn)
        // and three plain ones.
        static const char* const kLinks[] = {"uservar Score", "native 0", "hostvar 0", "lib bump", "top"};
        std::string source = "top:\n";
        for (int i = 0; i < kGroups; ++i)
            source += std::string("    .word ") + kLinks[i % 5] + ", 1, 2, 3\n";
        SobAssembly assembly;
        std::string error;
        if (!AssembleSob(source, "bench.txt", &assembly, nullptr) ||
            !WriteSobLinkable(assembly, false, &game.variables, &game.libraryAssembly, &module, &error))
            std::abort();
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder = pattern;
        std::ofstream(folder + "/MAIN.SOB", std::ios::binary)
            .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            c = c == '/' ? '\\' : c;
        if (SetBaseFolder(windows.c_str()) != 0)
            std::abort();
        g_pFileManager = &manager;
        rt.AddNative(Nop);
        if (rt.LoadModuleTable(game.moduleTable.data(), game.moduleTable.size()) != 0 ||
            rt.LoadUserVariables(game.userVariables.data(), game.userVariables.size(), true, true) != 0 ||
            rt.LoadFunctionLibrary(game.library.data(), game.library.size()) != 0)
            std::abort();
    }
    ~Fixture()
    {
        g_pFileManager = nullptr;
        std::error_code e;
        std::filesystem::remove_all(folder, e);
    }
    // Each load pushes a leave sentinel; popping it keeps the stack from filling up.
    void Done(int result)
    {
        if (result != 0)
            std::abort();
        rt.Machine().PopIp();
        rt.UnloadModule();
    }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void Contest(benchmark::State& state, const std::function<void()>& ours, const bench::Goal& goal)
{
    Fixture& f = Shared();
    std::vector<uint8_t> copy(f.module.size());
    bench::Contest(
        state, ours,
        [&] {
            std::memcpy(copy.data(), f.module.data(), f.module.size());
            benchmark::DoNotOptimize(copy.data());
            benchmark::ClobberMemory();
        },
        goal, 301);
    state.counters["bytes"] = static_cast<double>(f.module.size());
}

void LoadAndUnload(benchmark::State& state)
{
    Fixture& f = Shared();
    // It happens on every jump and call between modules: under 1 ms.
    Contest(state, [&] { f.Done(f.rt.LoadModule("MAIN.SOB", nullptr)); }, {.ms = 1});
}

void LinkInMemory(benchmark::State& state)
{
    Fixture& f = Shared();
    // Within four times the copy of its bytes.
    Contest(state, [&] { f.Done(f.rt.LoadModuleBytes("MAIN.SOB", f.module.data(), f.module.size(), nullptr)); },
            {.ratio = 0.25});
}

} // namespace

BENCHMARK(LoadAndUnload)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LinkInMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
