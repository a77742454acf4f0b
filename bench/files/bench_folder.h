// Shared part of the files benchmarks: a scratch folder that is the engine's base folder, with a
// file manager that reads KPK archives. Side-by-side timing is bench::Contest (contest.h).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

} // namespace files_bench
