// The loader thread and folder lists against bare POSIX loops over the same files:
// - a batch of 1,000 files of 4 KiB and 16 of 4 MiB against an open/read/close loop (goal: ratio
//   >= 0.8, i.e. at least 0.8 x its throughput);
// - StartLoading to the end of WaitIdle for one small file (goal: median <= 0.5 ms; the peer is
//   the same file read by the bare loop);
// - CFileList::Build over 10,000 files in 100 folders against a readdir + stat walk (goal: ours
//   at most 2 x its time, ratio >= 0.5).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "contest.h"
#include "bench_folder.h"
#include "files/file_list.h"
#include "files/loader_thread.h"

namespace {

struct Tree {
    files_bench::BenchFolder scratch{"loader"};
    const std::string& folder = scratch.folder;
    std::vector<std::string> batch; // relative names of the loader batch
    Tree()
    {
        const std::string small(4096, 's');
        const std::string large(4u << 20, 'L');
        std::filesystem::create_directories(folder + "/batch");
        for (int i = 0; i < 1000; ++i)
            batch.push_back("batch/s" + std::to_string(i) + ".bin");
        for (int i = 0; i < 16; ++i)
            batch.push_back("batch/L" + std::to_string(i) + ".bin");
        for (size_t i = 0; i < batch.size(); ++i)
            std::ofstream(folder + "/" + batch[i], std::ios::binary) << (i < 1000 ? small : large);
        for (int d = 0; d < 100; ++d) {
            const std::string sub = folder + "/list/d" + std::to_string(d);
            std::filesystem::create_directories(sub);
            for (int f = 0; f < 100; ++f)
                std::ofstream(sub + "/f" + std::to_string(f) + ".dat") << "x";
        }
    }
};

Tree& Shared()
{
    static Tree tree;
    return tree;
}

// The bare loop: open, size, read into a new block, close; the block is kept in *keep (as a
// slot keeps its contents) or dropped at once.
size_t ReadBare(const std::string& path, std::vector<std::unique_ptr<char[]>>* keep = nullptr)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    struct stat st = {};
    fstat(fd, &st);
    std::unique_ptr<char[]> block(new char[static_cast<size_t>(st.st_size)]);
    size_t done = 0;
    ssize_t n;
    while (done < static_cast<size_t>(st.st_size) &&
           (n = read(fd, block.get() + done, static_cast<size_t>(st.st_size) - done)) > 0)
        done += static_cast<size_t>(n);
    close(fd);
    benchmark::DoNotOptimize(block.get());
    if (keep != nullptr)
        keep->push_back(std::move(block));
    return done;
}

void BM_LoaderBatch(benchmark::State& state)
{
    Tree& t = Shared();
    std::vector<const char*> names;
    for (const std::string& n : t.batch)
        names.push_back(n.c_str());
    CLoaderThread loader;
    loader.AllocSlots(static_cast<DWORD>(names.size()));
    bench::Contest(
        state, [&] {
            loader.StartLoading(0, static_cast<WORD>(names.size()), names.data());
            loader.WaitIdle();
            loader.CloseSlots(0, static_cast<DWORD>(names.size()));
        },
        [&] {
            // Every file's contents are held until the batch is done, as the slots hold them.
            std::vector<std::unique_ptr<char[]>> blocks;
            for (const std::string& n : t.batch)
                ReadBare(t.folder + "/" + n, &blocks);
        },
        bench::Goal{.ratio = 0.8}, 5);
}

void BM_LoaderOneSmallFile(benchmark::State& state)
{
    Tree& t = Shared();
    const char* name = t.batch[0].c_str();
    CLoaderThread loader;
    loader.AllocSlots(1);
    bench::Contest(
        state, [&] {
            loader.StartLoading(0, 1, &name);
            loader.WaitIdle();
            loader.CloseSlots(0, 1);
        },
        [&] { ReadBare(t.folder + "/" + t.batch[0]); }, bench::Goal{.ms = 0.5}, 200);
}

// The bare walk: readdir every folder, stat every entry, descend into folders.
size_t WalkBare(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    size_t count = 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.' && (e->d_name[1] == '\0' || (e->d_name[1] == '.' && e->d_name[2] == '\0')))
            continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat st = {};
        if (stat(path.c_str(), &st) != 0)
            continue;
        ++count;
        if (S_ISDIR(st.st_mode))
            count += WalkBare(path);
    }
    closedir(dir);
    return count;
}

void BM_FileListBuild(benchmark::State& state)
{
    Tree& t = Shared();
    CFileList list;
    size_t ours = 0;
    size_t peer = 0;
    bench::Contest(
        state, [&] { ours = list.Build("list", nullptr, 1, true); }, [&] { peer = WalkBare(t.folder + "/list"); },
        bench::Goal{.ratio = 0.5}, 5); // within twice the bare walk
    state.counters["entries"] = static_cast<double>(ours);
    if (ours != peer)
        state.SkipWithError("the walks disagree on the entry count");
}

} // namespace

BENCHMARK(BM_LoaderBatch)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoaderOneSmallFile)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileListBuild)->Iterations(1)->Unit(benchmark::kMillisecond);
