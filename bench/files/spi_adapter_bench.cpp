// The cost of the SPI image adapter: a PPM picture loaded through the image-loader manager
// (LoadImageFromMemory, the plug-in found by the picture's head, cache off) into a 32-bit image,
// against the same plug-in's GetPicture called directly and its blocks converted into the same
// image by the conversion the adapter uses for a 24-bit bitmap (ConvertDibTo32NoAlpha; the
// alpha-setting ConvertDibTo32 is a few percent slower and would flatter the adapter). The plug-in
// is the tests' PPM plug-in, built in here and registered as a built-in module. Goal: ratio at
// least 1 / 1.05 (the adapter costs under 5 %).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "authoring/sample_pictures.h"
#include "contest.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/spi_plugin.h"
#include "raster/dib_convert.h"
#include "winapi/kernel.h"

#include "../../tests/files/plugins/test_spi_image.cpp"

namespace {

struct Image {
    std::vector<BYTE> pixels;
    int pitch = 0;
    static void* Allocate(int width, int height, int bits, BOOL, int* pitch, BYTE**, void* user)
    {
        auto* image = static_cast<Image*>(user);
        *pitch = width * (bits / 8);
        image->pitch = *pitch;
        image->pixels.resize(static_cast<size_t>(*pitch) * height);
        return image->pixels.data();
    }
};

std::vector<BYTE> Ppm(int width, int height)
{
    const auto px = samples::PhotoLike(width, height, 1);
    char head[64];
    const int n = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", width, height);
    std::vector<BYTE> file(head, head + n);
    for (uint32_t p : px) {
        file.push_back(static_cast<BYTE>(p >> 16));
        file.push_back(static_cast<BYTE>(p >> 8));
        file.push_back(static_cast<BYTE>(p));
    }
    return file;
}

const winapi::BuiltinProc kPlugin[] = {
    {"GetPluginInfo", winapi::ToFarProc(GetPluginInfo)},
    {"IsSupported", winapi::ToFarProc(IsSupported)},
    {"GetPicture", winapi::ToFarProc(GetPicture)},
};

void BM_SpiAdapterOverhead(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::vector<BYTE> file = Ppm(width, height);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    SetBaseFolder(temp);
    winapi::RegisterBuiltinModule("bench_ppm.spi", kPlugin, std::size(kPlugin));
    CGllManager manager;
    g_pSPIGllManager = &manager;
    if (LoadSPIPlugin("bench_ppm.spi", false, true) != 0) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    Image ours;
    Image peer;
    const auto size = static_cast<DWORD>(file.size());
    bench::Contest(
        state,
        [&] {
            manager.LoadImageFromMemory(file.data(), size, Image::Allocate, nullptr, &ours, FALSE, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
            benchmark::DoNotOptimize(ours.pixels.data());
        },
        [&] {
            HLOCAL info = nullptr;
            HLOCAL bits = nullptr;
            GetPicture(reinterpret_cast<const char*>(file.data()), size, kSpiInputMemory, &info, &bits, nullptr, 0);
            Image::Allocate(width, height, 32, FALSE, &peer.pitch, nullptr, &peer);
            const RECT rect = {0, 0, width, height};
            ConvertDibTo32NoAlpha(peer.pixels.data(), rect, peer.pitch, static_cast<const BITMAPINFO*>(LocalLock(info)),
                           static_cast<const BYTE*>(LocalLock(bits)), (width * 3 + 3) & ~3, POINT{0, 0});
            LocalFree(info);
            LocalFree(bits);
            benchmark::DoNotOptimize(peer.pixels.data());
        },
        bench::Goal{.ratio = 1 / 1.05}); // the adapter costs under 5 %
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height) + " PPM");
    g_pSPIGllManager = nullptr;
    winapi::UnregisterBuiltinModule("bench_ppm.spi");
}
BENCHMARK(BM_SpiAdapterOverhead)->Args({256, 256})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

} // namespace
