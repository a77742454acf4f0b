// LZSS against zlib on the same 16 MiB of generated data (a picture-like half: 32-bit pixels with
// gradients, flat areas and noise; a text-like half: script text). Two contests: decompression
// against zlib's inflate, and compression against zlib level 6 (with the compressed sizes).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "contest.h"
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

void ReportRates(benchmark::State& state)
{
    state.counters["ours_MBps"] = kSize / 1e3 / state.counters["ours_ms"];
    state.counters["peer_MBps"] = kSize / 1e3 / state.counters["peer_ms"];
}

void BM_LzssDecompressVsInflate(benchmark::State& state)
{
    Data& d = Shared();
    std::vector<BYTE> ours(kSize), peer(kSize);
    BYTE* p = ours.data();
    // Twice zlib's speed.
    bench::Contest(
        state,
        [&] {
            LzssDecompress(d.lzss.data(), static_cast<DWORD>(d.lzss.size()), &p, kSize, false);
            benchmark::DoNotOptimize(ours.data());
        },
        [&] {
            uLongf size = kSize;
            uncompress(peer.data(), &size, d.zlib.data(), d.zlib.size());
            benchmark::DoNotOptimize(peer.data());
        },
        bench::Goal{.ratio = 2}, 9);
    ReportRates(state);
    if (std::memcmp(ours.data(), d.plain.data(), kSize) != 0)
        state.SkipWithError("LZSS round trip differs");
}
BENCHMARK(BM_LzssDecompressVsInflate)->Iterations(1)->Unit(benchmark::kMillisecond);

// Packing happens when archives are made, not while a game runs: the goal is only that the
// simpler format packs no slower than deflate at level 6.
void BM_LzssCompressVsDeflate6(benchmark::State& state)
{
    Data& d = Shared();
    CLzssCodec codec;
    DWORD size = 0;
    std::vector<BYTE> out(compressBound(kSize));
    uLongf zsize = 0;
    bench::Contest(
        state,
        [&] {
            BYTE* packed = nullptr;
            codec.Compress(d.plain.data(), &packed, kSize, &size, true);
            LzssFree(packed);
        },
        [&] {
            zsize = out.size();
            compress2(out.data(), &zsize, d.plain.data(), kSize, 6);
        },
        bench::Goal{.ratio = 1}, 1);
    ReportRates(state);
    state.counters["size_ratio"] = static_cast<double>(size) / kSize;
    state.counters["peer_size_ratio"] = static_cast<double>(zsize) / kSize;
}
BENCHMARK(BM_LzssCompressVsDeflate6)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
