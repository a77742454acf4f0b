// Name lookup in a 20,000-entry KPK archive: the archive's own trie lookup (found and missing
// names, in any case), and a whole CFileManager::Open of an archive entry (loose-file miss on disk
// first, then the mount walk).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/kpk_writer.h"
#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "winapi/kernel.h"

namespace {

struct Fixture {
    std::string folder;
    std::vector<std::string> names;
    CFileManager manager;
    CArchive* archive = nullptr;

    Fixture()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-bench-kpk\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        static const char* folders[] = {"bg\\", "ev\\", "se\\", "voice\\", "script\\", "system\\", "chr\\", "bgm\\"};
        static const char* extensions[] = {".elg", ".ogg", ".sob", ".kgm"};
        std::vector<KpkWriterEntry> entries;
        for (int i = 0; i < 20000; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%c%05d%s", folders[i % 8], 'A' + i % 26, i * 7919 % 100000,
                          extensions[i % 4]);
            names.push_back(name);
            entries.push_back({name, {static_cast<BYTE>(i), 1, 2, 3}});
        }
        std::string error;
        WriteKpkArchive(folder + "DATA.KPK", entries, KpkWriterOptions{}, &error);
        SetBaseFolder(folder.c_str());
        manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        manager.Mount("DATA.KPK", -2, false, true, &archive);
    }
    ~Fixture()
    {
        manager.UnmountAll();
        DeleteFileA((folder + "DATA.KPK").c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void BM_KpkExists(benchmark::State& state)
{
    Fixture& f = Shared();
    size_t i = 0;
    int64_t found = 0;
    for (auto _ : state) {
        found += f.archive->Exists(f.names[i].c_str());
        i = (i + 7) % f.names.size();
    }
    state.SetItemsProcessed(state.iterations());
    if (found != state.iterations())
        state.SkipWithError("a name was not found");
}
BENCHMARK(BM_KpkExists);

void BM_KpkExistsMissing(benchmark::State& state)
{
    Fixture& f = Shared();
    size_t i = 0;
    for (auto _ : state) {
        std::string name = f.names[i] + "x";
        benchmark::DoNotOptimize(f.archive->Exists(name.c_str()));
        i = (i + 7) % f.names.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KpkExistsMissing);

void BM_FileManagerOpenEntry(benchmark::State& state)
{
    Fixture& f = Shared();
    size_t i = 0;
    for (auto _ : state) {
        int code = 0;
        CReadStream* stream = f.manager.Open(f.names[i].c_str(), nullptr, &code, true);
        if (stream == nullptr) {
            state.SkipWithError("entry not found");
            break;
        }
        stream->Release();
        i = (i + 7) % f.names.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileManagerOpenEntry);

} // namespace
