// LZSS against zlib on the same 16 MiB of generated data (a picture-like half: 32-bit pixels with
// gradients, flat areas and noise; a text-like half: script text). Decompression is compared with
// zlib's inflate (goal: ours at least 1.5 x zlib; counter "vs_zlib" = our rate / zlib's), and
// compression with zlib level 6 (counters: compressed size / input size for each, and speed).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "files/lzss.h"

namespace {

constexpr size_t kSize = 16u << 20;

struct Data {
    std::vector<BYTE> plain;
    std::vector<BYTE> lzss;
    std::vector<BYTE> zlib;
    Data()
    {
        plain.reserve(kSize);
        std::mt19937 random(1);
        // Picture-like: 1024-pixel rows, BGRA.
        const size_t pixels = kSize / 2 / 4;
        for (size_t i = 0; i < pixels; ++i) {
            size_t x = i % 1024;
            size_t y = i / 1024;
            bool flat = ((x / 128) + (y / 96)) % 3 == 0;
            BYTE noise = flat ? 0 : static_cast<BYTE>(random() & 3);
            plain.push_back(static_cast<BYTE>(flat ? 0x40 : (x / 4 + noise)));
            plain.push_back(static_cast<BYTE>(flat ? 0x80 : (y / 4 + noise)));
            plain.push_back(static_cast<BYTE>(flat ? 0xC0 : ((x + y) / 8 + noise)));
            plain.push_back(0xFF);
        }
        // Text-like: Shift-JIS-free script lines from a small vocabulary.
        static const char* words[] = {"the ", "engine ", "reads ", "a ", "script ", "and ", "shows ", "her ",
                                      "text ", "while ", "music ", "plays; ", "\"Hello,\" ", "she ", "said.\r\n",
                                      "#wait 300\r\n", "#bg sky_evening\r\n"};
        while (plain.size() < kSize) {
            const char* w = words[random() % 17];
            plain.insert(plain.end(), w, w + std::strlen(w));
        }
        plain.resize(kSize);

        BYTE* packed = nullptr;
        DWORD size = 0;
        if (LzssCompress(plain.data(), &packed, kSize, &size, true) == 0) {
            lzss.assign(packed, packed + size);
            LzssFree(packed);
        }
        uLongf zsize = compressBound(kSize);
        zlib.resize(zsize);
        compress2(zlib.data(), &zsize, plain.data(), kSize, 6);
        zlib.resize(zsize);
    }
};

Data& Shared()
{
    static Data data;
    return data;
}

double g_zlibInflateRate = 0; // bytes per second, measured by the zlib benchmark
double g_zlibDeflateRate = 0;

void BM_ZlibInflate(benchmark::State& state)
{
    Data& d = Shared();
    std::vector<BYTE> out(kSize);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        uLongf size = kSize;
        uncompress(out.data(), &size, d.zlib.data(), d.zlib.size());
        benchmark::DoNotOptimize(out.data());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_zlibInflateRate = static_cast<double>(state.iterations()) * kSize / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);

void BM_LzssDecompress(benchmark::State& state)
{
    Data& d = Shared();
    std::vector<BYTE> out(kSize);
    BYTE* p = out.data();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        LzssDecompress(d.lzss.data(), static_cast<DWORD>(d.lzss.size()), &p, kSize, false);
        benchmark::DoNotOptimize(out.data());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = static_cast<double>(state.iterations()) * kSize / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
    if (g_zlibInflateRate > 0)
        state.counters["vs_zlib"] = rate / g_zlibInflateRate;
    if (std::memcmp(out.data(), d.plain.data(), kSize) != 0)
        state.SkipWithError("LZSS round trip differs");
}
BENCHMARK(BM_LzssDecompress)->Unit(benchmark::kMillisecond);

void BM_ZlibDeflate6(benchmark::State& state)
{
    Data& d = Shared();
    std::vector<BYTE> out(compressBound(kSize));
    auto start = std::chrono::steady_clock::now();
    uLongf size = 0;
    for (auto _ : state) {
        size = out.size();
        compress2(out.data(), &size, d.plain.data(), kSize, 6);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_zlibDeflateRate = static_cast<double>(state.iterations()) * kSize / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
    state.counters["size_ratio"] = static_cast<double>(size) / kSize;
}
BENCHMARK(BM_ZlibDeflate6)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LzssCompress(benchmark::State& state)
{
    Data& d = Shared();
    CLzssCodec codec;
    DWORD size = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        BYTE* packed = nullptr;
        codec.Compress(d.plain.data(), &packed, kSize, &size, true);
        LzssFree(packed);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = static_cast<double>(state.iterations()) * kSize / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
    state.counters["size_ratio"] = static_cast<double>(size) / kSize;
    state.counters["size_vs_zlib"] = static_cast<double>(size) / static_cast<double>(d.zlib.size());
    if (g_zlibDeflateRate > 0)
        state.counters["speed_vs_zlib"] = rate / g_zlibDeflateRate;
}
BENCHMARK(BM_LzssCompress)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
