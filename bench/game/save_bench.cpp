// Save files. (a) CScriptHost::SaveGame of a 200 KB state with an 800 x 600 screen into tmpfs
// (/dev/shm), beside writing, fsyncing and renaming the same bytes there and fsyncing the folder,
// as the save does (goal: ours <= 30 ms). (b) The same on disk (the build's temporary folder), goal
// ratio >= 0.67: taking the state and packing it may add half the write's time at most. (c) Listing
// a bank as the save dialog does (ReadSaveSlotInfo of ten 200 KB saves, headers only) against
// fread of the whole files, both from the page cache: goal ratio >= 10 and ours < 2 ms (each side
// opens and closes ten files, and a cached 155 KB file copies in about the time of its open and
// close, so from a warm cache reading less wins a few times over at most; floor_ms times the
// least a listing can do, the system's own open, fstat, two header reads and close per file).
// Counters: ours_ms, peer_ms, ratio (peer time / our time), goal, goal_ms, allocs (ours, a call),
// floor_ms, floor_ratio.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "alloc_count.h"
#include "authoring/sob_module_writer.h"
#include "contest.h"
#include "drawing/scene.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "authoring/save_folder_link.h"
#include "natives/main_form.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "natives/script_host.h"
#include "platform/app_config.h"
#include "raster/image.h"

namespace {

using bench::Contest;


std::string Windows(const std::string& linux)
{
    std::string w = "Z:" + linux + "/";
    for (char& c : w)
        c = c == '/' ? '\\' : c;
    return w;
}

// A host with one 200 KB variable of text-like bytes over a folder, and an 800 x 600 screen.
struct SaveWorld {
    std::string folder;
    CFileManager manager;
    AppConfig config{};
    CSaveFolderLink app;
    std::unique_ptr<CScriptHost> host;
    CImage screen;
    CScene scene;

    explicit SaveWorld(const std::string& parent)
    {
        folder = parent + "/tessaro-save-bench-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr)
            std::abort();
        std::filesystem::create_directories(folder + "/SCRIPT");
        SetBaseFolder(Windows(folder).c_str());
        g_pFileManager = &manager;
        g_pAppConfig = &config;
        app.folder = Windows(folder);
        g_pGameApp = &app;
        SobVariableLayout layout;
        std::vector<std::string> errors;
        ParseSobVariables("Big 0 1 204800\n", "vars", &layout, &errors);
        const std::vector<uint8_t> vars = WriteSobUserVarFile(layout);
        FILE* f = std::fopen((folder + "/SCRIPT/USER_VAR.SOB").c_str(), "wb");
        std::fwrite(vars.data(), 1, vars.size(), f);
        std::fclose(f);
        host = std::make_unique<CScriptHost>(4u << 20);
        host->LoadSystemFiles(nullptr, "SCRIPT\\USER_VAR.SOB", nullptr, true, true);
        uint32_t at = 0;
        host->VariableValueAddress(kSobLiveCopy, 0, &at);
        uint8_t* big = host->Memory().Span(at, 204800);
        std::mt19937 random(7);
        static const char kWords[][8] = {"flag", "score", "route", "seen", "chapter", "name"};
        for (size_t i = 0; i < 204800; ++i)
            big[i] = static_cast<uint8_t>(kWords[random() % 6][i % 4] + (random() % 16 == 0 ? random() % 7 : 0));
        screen.Create(800, 600, 32, 0);
        for (int y = 0; y < 600; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(screen.GetRowPointer(y));
            for (int x = 0; x < 800; ++x)
                row[x] = 0xFF000000u | (x * 255 / 800) << 16 | (y * 255 / 600) << 8 | ((x + y) & 0xFF);
        }
        scene.SetTarget(&screen, false);
        g_MainForm.DetachAndSetTarget(&scene);
    }
    ~SaveWorld()
    {
        g_MainForm.DetachAndSetTarget(nullptr);
        host.reset();
        g_pGameApp = nullptr;
        g_pAppConfig = nullptr;
        g_pFileManager = nullptr;
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::vector<uint8_t> File(int bank, int slot) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "/DATA%02d%02d.SAV", bank, slot);
        std::vector<uint8_t> bytes(std::filesystem::file_size(folder + name));
        FILE* f = std::fopen((folder + name).c_str(), "rb");
        const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        bytes.resize(got);
        return bytes;
    }
};

// What a careful writer does with the same bytes: write a temporary file, fsync, rename, and fsync
// the folder (without it the rename may not survive a crash; the save does the same).
void WriteSyncRename(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::string temp = path + ".tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || fsync(fd) != 0)
        std::abort();
    close(fd);
    if (rename(temp.c_str(), path.c_str()) != 0)
        std::abort();
    const int folder = open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (folder < 0 || fsync(folder) != 0)
        std::abort();
    close(folder);
}

void SaveContest(benchmark::State& state, const std::string& parent, const bench::Goal& goal)
{
    SaveWorld world(parent);
    if (world.host->SaveGame(2, 0) != 0) {
        state.SkipWithError("SaveGame failed");
        return;
    }
    const std::vector<uint8_t> bytes = world.File(2, 0);
    const std::string peerPath = world.folder + "/PEER.SAV";
    bench::AllocationTally tally;
    Contest(
        state, tally.Wrap([&] { world.host->SaveGame(2, 0); }), [&] { WriteSyncRename(peerPath, bytes); }, 9);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    tally.Report(state);
    bench::ReportGoal(state, goal);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}

void BM_SaveGameIntoTmpfs(benchmark::State& state)
{
    SaveContest(state, "/dev/shm", bench::Goal{.ms = 30});
}
BENCHMARK(BM_SaveGameIntoTmpfs)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SaveGameOnDisk(benchmark::State& state)
{
    SaveContest(state, std::filesystem::temp_directory_path().string(), bench::Goal{.ratio = 0.67});
}
BENCHMARK(BM_SaveGameOnDisk)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ListTenSlots(benchmark::State& state)
{
    SaveWorld world(std::filesystem::temp_directory_path().string());
    for (int slot = 0; slot < 10; ++slot)
        world.host->SaveGame(2, slot);
    std::vector<uint8_t> buffer(1 << 20);
    bench::AllocationTally tally;
    Contest(
        state,
        tally.Wrap([&] {
            SaveSlotInfo info;
            for (int slot = 0; slot < 10; ++slot)
                ReadSaveSlotInfo(2, slot, nullptr, &info, false);
        }),
        [&] {
            for (int slot = 0; slot < 10; ++slot) {
                char name[32];
                std::snprintf(name, sizeof name, "/DATA02%02d.SAV", slot);
                FILE* f = std::fopen((world.folder + name).c_str(), "rb");
                while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
                }
                std::fclose(f);
            }
        });
    // The least any listing does, for scale: per file an open, its time, the two header reads and
    // a close, straight to the system (floor_ratio = peer / this).
    std::vector<double> floor;
    for (int run = 0; run < 15; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int slot = 0; slot < 10; ++slot) {
            char name[32];
            std::snprintf(name, sizeof name, "/DATA02%02d.SAV", slot);
            const int fd = open((world.folder + name).c_str(), O_RDONLY | O_CLOEXEC);
            struct stat st {};
            uint8_t head[8], fields[savefile::kHeaderSize - savefile::kTitleOffset];
            if (fd < 0 || fstat(fd, &st) != 0 || pread(fd, head, sizeof head, 0) != sizeof head ||
                pread(fd, fields, sizeof fields, savefile::kTitleOffset) != sizeof fields)
                std::abort();
            close(fd);
        }
        floor.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    tally.Report(state);
    state.counters["floor_ms"] = bench::MedianMs(floor);
    state.counters["floor_ratio"] = state.counters["peer_ms"] / state.counters["floor_ms"];
    bench::ReportGoal(state, {.ratio = 10, .ms = 2});
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(BM_ListTenSlots)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
