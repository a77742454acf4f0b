// Picture loading speed: ELG decoding of 800 x 600 pictures (photo-like 24-bit, 32-bit with
// alpha, 8-bit interface parts) against libpng decoding the same pixels from a PNG, a BMP load
// against a memcpy of its pixels, and hits in the picture cache (by key, and by name through the
// file manager). The ELG and BMP entries are contests: ours and the peer alternate on the same data.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"
#include "contest.h"
#include "files/bmp_loader.h"
#include "files/elg_loader.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"

#ifdef TESSARO_HAVE_LIBPNG
#include <png.h>
#endif

#include <filesystem>
#include <fstream>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Buffer {
    std::vector<BYTE> pixels;
    static void* Allocate(int width, int height, int bits, BOOL, int* pitch, BYTE** palette, void* user)
    {
        auto* b = static_cast<Buffer*>(user);
        *pitch = width * (bits / 8);
        b->pixels.resize(static_cast<size_t>(*pitch) * height);
        static BYTE table[1024];
        if (palette != nullptr)
            *palette = table;
        return b->pixels.data();
    }
};

std::vector<uint32_t> Pixels(int kind)
{
    switch (kind) {
    case 0:
        return samples::PhotoLike(kWidth, kHeight, 1);
    case 1:
        return samples::WithAlpha(kWidth, kHeight, 2);
    default:
        return samples::InterfacePart(kWidth, kHeight, 3);
    }
}

int DepthOf(int kind) { return kind == 0 ? 24 : (kind == 1 ? 32 : 8); }

#ifdef TESSARO_HAVE_LIBPNG
std::vector<BYTE> EncodePng(const std::vector<uint32_t>& px, int kind)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    std::vector<BYTE> indexes;
    std::vector<BYTE> colormap;
    const void* buffer = px.data();
    if (kind == 2) {
        // The interface part as a palette PNG, as such pictures are usually stored.
        image.format = PNG_FORMAT_BGRA_COLORMAP;
        std::vector<uint32_t> colours;
        indexes.resize(px.size());
        for (size_t i = 0; i < px.size(); ++i) {
            size_t c = 0;
            while (c < colours.size() && colours[c] != px[i])
                ++c;
            if (c == colours.size())
                colours.push_back(px[i]);
            indexes[i] = static_cast<BYTE>(c);
        }
        image.colormap_entries = static_cast<png_uint_32>(colours.size());
        colormap.resize(colours.size() * 4);
        std::memcpy(colormap.data(), colours.data(), colormap.size());
        buffer = indexes.data();
    } else {
        image.format = kind == 1 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    }
    std::vector<BYTE> rgb;
    if (kind == 0) {
        rgb.resize(px.size() * 3);
        for (size_t i = 0; i < px.size(); ++i)
            std::memcpy(&rgb[i * 3], &px[i], 3);
        buffer = rgb.data();
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, buffer, 0, colormap.empty() ? nullptr : colormap.data());
    std::vector<BYTE> out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, buffer, 0, colormap.empty() ? nullptr : colormap.data());
    out.resize(size);
    return out;
}

void DecodePng(const std::vector<BYTE>& file, std::vector<BYTE>& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, file.data(), file.size());
    image.format = PNG_FORMAT_BGRA;
    out.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
}
#endif

void BM_ElgDecode(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const auto px = Pixels(kind);
    elg::Picture picture;
    std::string error;
    elg::PictureFromPixels(kWidth, kHeight, px.data(), DepthOf(kind), picture, &error);
    std::vector<uint8_t> file;
    elg::Encode(picture, elg::Options{}, file, &error);
    CElgLoader loader;
    Buffer buffer;
    auto decode = [&] {
        loader.Load(file.data(), static_cast<DWORD>(file.size()), Buffer::Allocate, &buffer, FALSE, nullptr, nullptr);
        benchmark::DoNotOptimize(buffer.pixels.data());
    };
    state.SetLabel(kind == 0 ? "photo 24-bit" : (kind == 1 ? "32-bit alpha" : "8-bit interface"));
    state.counters["elg_kB"] = static_cast<double>(file.size()) / 1024;
#ifdef TESSARO_HAVE_LIBPNG
    const std::vector<BYTE> png = EncodePng(px, kind);
    std::vector<BYTE> out;
    // Twice libpng's speed; the interface parts, small files of few colours, four times.
    bench::Contest(
        state, decode,
        [&] {
            DecodePng(png, out);
            benchmark::DoNotOptimize(out.data());
        },
        bench::Goal{.ratio = kind == 2 ? 4.0 : 2.0}, 25);
    state.counters["png_kB"] = static_cast<double>(png.size()) / 1024;
#else
    for (auto _ : state)
        decode();
#endif
}
BENCHMARK(BM_ElgDecode)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

#ifdef TESSARO_HAVE_LIBPNG
void BM_PngDecode(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const std::vector<BYTE> png = EncodePng(Pixels(kind), kind);
    std::vector<BYTE> out;
    for (auto _ : state) {
        DecodePng(png, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PngDecode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
#endif

std::vector<BYTE> MakeBmp(int kind)
{
    const auto px = Pixels(kind == 0 ? 0 : 1);
    std::vector<BYTE> file;
    CBmpLoader writer;
    auto append = [](const void* data, DWORD bytes, void* user) -> DWORD {
        auto* out = static_cast<std::vector<BYTE>*>(user);
        out->insert(out->end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
        return bytes;
    };
    writer.Save(kind == 0 ? 0 : 1, px.data(), kWidth, kHeight, 32, kWidth * 4, append, &file, nullptr, nullptr,
                nullptr);
    return file;
}

void BM_BmpLoad(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const std::vector<BYTE> file = MakeBmp(kind);
    CBmpLoader loader;
    Buffer buffer;
    auto load = [&] {
        loader.Load(file.data(), static_cast<DWORD>(file.size()), Buffer::Allocate, &buffer, FALSE, nullptr, nullptr);
        benchmark::DoNotOptimize(buffer.pixels.data());
    };
    state.SetLabel(kind == 0 ? "24-bit" : "32-bit");
    std::vector<BYTE> copy(file.size() - 54);
    // The peer copies the stored pixels; ours at least half its speed.
    bench::Contest(
        state, load,
        [&] {
            std::memcpy(copy.data(), file.data() + 54, copy.size());
            benchmark::DoNotOptimize(copy.data());
        },
        bench::Goal{.ratio = 0.5}, 25);
}
BENCHMARK(BM_BmpLoad)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CacheHit(benchmark::State& state)
{
    CGllManager manager;
    manager.SetCacheBudget(uint64_t{64} << 20);
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        names.push_back("z:\\game\\data\\bg\\picture" + std::to_string(i) + ".elg");
        auto* picture = new CLoadedPicture;
        picture->m_pictureSize = 1024;
        manager.AddCachedImage(picture, names.back().c_str());
        picture->Release();
    }
    size_t i = 0;
    for (auto _ : state) {
        CLoadedPicture* p = manager.LookupCachedImage(names[i++ % names.size()].c_str());
        benchmark::DoNotOptimize(p);
        p->Release();
    }
}
BENCHMARK(BM_CacheHit);

// A hit through GetOrLoadCachedImage, which first resolves the name through the file manager.
void BM_CacheHitByName(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessaro-bench-cache";
    std::filesystem::create_directories(dir);
    const auto px = samples::InterfacePart(64, 64, 1);
    elg::Picture picture;
    std::string error;
    elg::PictureFromPixels(64, 64, px.data(), 8, picture, &error);
    std::vector<uint8_t> file;
    elg::Encode(picture, elg::Options{}, file, &error);
    std::ofstream(dir / "part.elg", std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                          static_cast<std::streamsize>(file.size()));
    SetBaseFolder(("Z:" + dir.string()).c_str());
    CFileManager files;
    g_pFileManager = &files;
    CGllManager manager;
    RegisterBuiltinImageLoaders(manager);
    manager.SetCacheBudget(uint64_t{64} << 20);
    for (auto _ : state) {
        CLoadedPicture* p = manager.GetOrLoadCachedImage("part.elg");
        benchmark::DoNotOptimize(p);
        if (p != nullptr)
            p->Release();
    }
    g_pFileManager = nullptr;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CacheHitByName);

}  // namespace
