// Loading a KAG of 100 soft-alpha 256×256 ELG pictures against loading the same 100 pictures as
// loose ELG files through CImage::Load (no picture cache). Goal: within 1.2× of the loose files
// (ratio above 0.83) or faster.
#include "authoring/elg_encoder.h"
#include "authoring/image_group_writer.h"
#include "authoring/sample_pictures.h"
#include "contest.h"
#include "drawing/kag_file.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "platform/cpu_info.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kPictures = 100;
constexpr int kSide = 256;

struct Fixture {
    Fixture()
    {
        IdentifyCpu();
        dir = (std::filesystem::temp_directory_path() / ("tessaro-kag-bench-" + std::to_string(std::random_device{}()))).string();
        std::filesystem::create_directories(dir);
        std::string layout = "picture p0.elg raw alpha\n";
        for (int i = 0; i < kPictures; ++i) {
            elg::Picture picture;
            std::vector<uint8_t> bytes;
            const auto pixels = samples::WithAlpha(kSide, kSide, static_cast<uint32_t>(i));
            if (!elg::PictureFromPixels(kSide, kSide, pixels.data(), 32, picture, nullptr)
                || !elg::Encode(picture, elg::Options{}, bytes, nullptr))
                std::abort();
            const std::string name = "p" + std::to_string(i) + ".elg";
            std::ofstream(dir + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
            if (i > 0)
                layout += "picture " + name + " raw alpha\n";
            layout += "entry " + std::to_string(i) + " 100 0 0\n";
        }
        std::vector<uint8_t> kag;
        if (!image_groups::BuildKag(layout, dir, kag, nullptr))
            std::abort();
        std::ofstream(dir + "/anim.kag", std::ios::binary).write(reinterpret_cast<const char*>(kag.data()),
                                                                 static_cast<std::streamsize>(kag.size()));
        std::string windows = "Z:" + dir + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(manager);
        manager.SetCacheBudget(0);
        g_pGllManager = &manager;
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    std::string dir;
    CFileManager files;
    CGllManager manager;
};

void KagAgainstLooseFiles(benchmark::State& state)
{
    static Fixture fixture;
    bench::Contest(
        state,
        [] {
            CKagFile file;
            if (file.Load("anim.kag", false) != 0)
                std::abort();
        },
        [] {
            auto images = std::make_unique<CImage[]>(kPictures);
            for (int i = 0; i < kPictures; ++i)
                if (images[i].Load(("p" + std::to_string(i) + ".elg").c_str(), nullptr, 0, 0) != 0)
                    std::abort();
        },
        7);
    // Goal: within 1.2x the loose files or faster.
    bench::ReportGoal(state, {.ratio = 1.0 / 1.2});
}
BENCHMARK(KagAgainstLooseFiles)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
