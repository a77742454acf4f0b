// The ELG loader: every encoder mode through every load layout, the header variants and the
// extension chain, progress, and bad files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"
#include "files/elg_loader.h"
#include "gll_test_support.h"
#include "winapi/gdi.h"
#include "winapi/kernel.h"

namespace {

using picture_test::Target;
using Bytes = std::vector<BYTE>;

Bytes Encode(const elg::Picture& picture, int variant, bool every)
{
    Bytes out;
    std::string error;
    elg::Options options;
    options.variant = variant;
    options.everyOpcode = every;
    EXPECT_TRUE(elg::Encode(picture, options, out, &error)) << error;
    return out;
}

elg::Picture MakePicture(int depth, int width, int height, uint32_t seed)
{
    elg::Picture p;
    std::string error;
    std::vector<uint32_t> px = depth == 8 ? samples::InterfacePart(width, height, seed)
                                          : (depth == 32 ? samples::WithAlpha(width, height, seed)
                                                         : samples::Coverage(width, height, seed));
    EXPECT_TRUE(elg::PictureFromPixels(width, height, px.data(), depth, p, &error)) << error;
    p.x = -5;
    p.y = 300;
    return p;
}

// The expected 32-bit output pixel of picture at (x, y).
uint32_t Expected32(const elg::Picture& p, int x, int y)
{
    const size_t i = static_cast<size_t>(y) * p.width + x;
    if (p.depth == 8) {
        const BYTE* e = p.palette.data() + p.indexes[i] * 4;
        return e[0] | (e[1] << 8) | (e[2] << 16);
    }
    return p.depth == 24 ? p.pixels[i] & 0xFFFFFF : p.pixels[i];
}

BYTE Expected8(const elg::Picture& p, int x, int y)
{
    const size_t i = static_cast<size_t>(y) * p.width + x;
    if (p.depth == 8)
        return p.indexes[i];
    const uint32_t v = p.pixels[i];
    return static_cast<BYTE>((29u * (v & 255) + 150u * ((v >> 8) & 255) + 77u * ((v >> 16) & 255)) >> 8);
}

TEST(ElgLoader, EveryModeRoundTripsThroughEveryLayout)
{
    for (int depth : {8, 24, 32}) {
        for (int variant : {0, 1, 2}) {
            for (bool every : {false, true}) {
                SCOPED_TRACE("depth " + std::to_string(depth) + " variant " + std::to_string(variant)
                             + (every ? " every-opcode" : ""));
                elg::Picture p = MakePicture(depth, 67, 97, static_cast<uint32_t>(depth + variant));
                if (variant == 2)
                    p.extension = {7, 6, 0, 0, 0, 'a', 'b', 3, 4, 0, 0, 0};
                const Bytes file = Encode(p, variant, every);
                const auto size = static_cast<DWORD>(file.size());
                CElgLoader loader;

                // Caller memory: 32-bit and eight-bit, contiguous and pitched.
                for (BOOL eightBit : {FALSE, TRUE}) {
                    for (int extra : {0, 12}) {
                        Target t;
                        t.extraPitch = extra;
                        ASSERT_EQ(loader.Load(file.data(), size, Target::Allocate, &t, eightBit, nullptr, nullptr),
                                  kGllOk);
                        EXPECT_EQ(t.width, p.width);
                        EXPECT_EQ(t.height, p.height);
                        EXPECT_EQ(t.bits, eightBit ? 8 : 32);
                        EXPECT_EQ(t.hasAlpha, depth == 32);
                        EXPECT_EQ(t.paletteRequested, eightBit && depth == 8);
                        for (int y = 0; y < p.height; ++y)
                            for (int x = 0; x < p.width; ++x) {
                                if (eightBit) {
                                    ASSERT_EQ(t.Pixel8(x, y), Expected8(p, x, y)) << x << "," << y;
                                } else {
                                    ASSERT_EQ(t.Pixel32(x, y), Expected32(p, x, y)) << x << "," << y;
                                }
                            }
                        if (t.paletteRequested) {
                            EXPECT_EQ(t.palette, p.palette);
                        }
                        // Padding bytes of a pitched row are left alone.
                        if (extra != 0) {
                            EXPECT_EQ(t.pixels[static_cast<size_t>(t.pitch) - 1], 0xCD);
                        }
                        EXPECT_EQ(loader.GetX(), variant == 0 ? 0 : -5);
                        EXPECT_EQ(loader.GetY(), variant == 0 ? 0 : 300);
                    }
                }

                // A device-independent bitmap.
                HGLOBAL info = nullptr;
                HGLOBAL bits = nullptr;
                ASSERT_EQ(loader.LoadPicture(file.data(), size, &info, &bits, nullptr, nullptr), kGllOk);
                const auto* h = static_cast<const BITMAPINFOHEADER*>(info);
                EXPECT_EQ(h->biSize, 40u);
                EXPECT_EQ(h->biWidth, p.width);
                EXPECT_EQ(h->biHeight, p.height);
                EXPECT_EQ(h->biBitCount, depth);
                EXPECT_EQ(h->biClrUsed, depth == 8 ? 256u : 0u);
                const DWORD stride = ((static_cast<DWORD>(p.width) * depth / 8) + 3) & ~3u;
                EXPECT_EQ(loader.m_stride, stride);
                EXPECT_EQ(h->biSizeImage, stride * p.height);
                EXPECT_EQ(loader.m_pictureSize, (depth == 8 ? 1064u : 44u) + stride * p.height);
                const auto* dib = static_cast<const BYTE*>(bits);
                for (int y = 0; y < p.height; ++y)
                    for (int x = 0; x < p.width; ++x) {
                        const BYTE* row = dib + static_cast<size_t>(p.height - 1 - y) * stride;
                        uint32_t v;
                        if (depth == 8) {
                            const BYTE* e = reinterpret_cast<const BYTE*>(h) + 40 + row[x] * 4;
                            v = e[0] | (e[1] << 8) | (e[2] << 16);
                        } else if (depth == 24) {
                            v = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
                        } else {
                            std::memcpy(&v, row + x * 4, 4);
                        }
                        ASSERT_EQ(v, Expected32(p, x, y)) << x << "," << y;
                    }
                GlobalFree(info);
                GlobalFree(bits);

                if (variant == 2) {
                    ASSERT_EQ(loader.GetExtraSize(), p.extension.size());
                    void* extra = loader.GetExtraData(TRUE);
                    EXPECT_EQ(Bytes(static_cast<BYTE*>(extra), static_cast<BYTE*>(extra) + p.extension.size()),
                              p.extension);
                    std::free(extra);
                    EXPECT_EQ(loader.GetExtraSize(), 0u);
                    EXPECT_EQ(loader.GetExtraData(FALSE), nullptr);
                } else {
                    EXPECT_EQ(loader.GetExtraSize(), 0u);
                }
            }
        }
    }
}

TEST(ElgLoader, HeaderVariants)
{
    // Plain header: byte 3 is the depth, pixel data from offset 8.
    const Bytes plain = {'E', 'L', 'G', 24, 1, 0, 1, 0, 0x00, 1, 2, 3, 0xFF};
    ElgHeader h;
    ASSERT_EQ(ParseElgHeader(plain.data(), static_cast<DWORD>(plain.size()), h), kGllOk);
    EXPECT_EQ(h.pixelOffset, 8u);
    EXPECT_EQ(h.x, 0);
    // Variant 1: x, y before width, height; variant 2: after, then the chain.
    const Bytes v1 = {'E', 'L', 'G', 1, 24, 0xFE, 0xFF, 3, 0, 2, 0, 1, 0, 0x01, 1, 2, 3, 4, 5, 6, 0xFF};
    ASSERT_EQ(ParseElgHeader(v1.data(), static_cast<DWORD>(v1.size()), h), kGllOk);
    EXPECT_EQ(h.x, -2);
    EXPECT_EQ(h.y, 3);
    EXPECT_EQ(h.width, 2);
    EXPECT_EQ(h.height, 1);
    EXPECT_EQ(h.pixelOffset, 13u);
    const Bytes v2 = {'E', 'L', 'G', 2, 24, 2, 0, 1, 0, 0xFE, 0xFF, 3, 0, 0, 0x01, 1, 2, 3, 4, 5, 6, 0xFF};
    ASSERT_EQ(ParseElgHeader(v2.data(), static_cast<DWORD>(v2.size()), h), kGllOk);
    EXPECT_EQ(h.width, 2);
    EXPECT_EQ(h.x, -2);
    EXPECT_EQ(h.pixelOffset, 14u);
    EXPECT_EQ(h.chainSize, 0u);
    CElgLoader loader;
    Target t;
    ASSERT_EQ(loader.Load(v2.data(), static_cast<DWORD>(v2.size()), Target::Allocate, &t, FALSE, nullptr, nullptr),
              kGllOk);
    EXPECT_EQ(loader.GetExtraSize(), 0u);
    EXPECT_EQ(t.Pixel32(1, 0), 0x060504u);
}

TEST(ElgLoader, ThirtyTwoBitInEightBitModeIgnoresTheAlphaStream)
{
    elg::Picture p = MakePicture(32, 20, 10, 3);
    Bytes file = Encode(p, 0, false);
    Bytes colourOnly;
    elg::EncodePixelStream(p.pixels.data(), p.pixels.size(), 20, false, colourOnly);
    file.resize(8 + colourOnly.size());  // the alpha stream cut off
    CElgLoader loader;
    Target t;
    ASSERT_EQ(loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &t, TRUE, nullptr, nullptr),
              kGllOk);
    EXPECT_EQ(t.Pixel8(3, 4), Expected8(p, 3, 4));
    Target t32;
    EXPECT_EQ(loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &t32, FALSE, nullptr, nullptr),
              kGllBadData);
}

TEST(ElgLoader, KeepsThePictureWhenNoOutputsAreGiven)
{
    const Bytes file = Encode(MakePicture(24, 5, 5, 1), 0, false);
    CElgLoader loader;
    ASSERT_EQ(loader.LoadPicture(file.data(), static_cast<DWORD>(file.size()), nullptr, nullptr, nullptr, nullptr),
              kGllOk);
    EXPECT_NE(loader.m_info, nullptr);
    EXPECT_NE(loader.m_bits, nullptr);
    loader.FreePicture();
    EXPECT_EQ(loader.m_bits, nullptr);
    EXPECT_EQ(loader.m_pictureSize, 0u);
}

struct Progress {
    std::vector<std::pair<int, int>> calls;
    int answer = 0;
    static int Call(int done, int total, void* user)
    {
        auto* p = static_cast<Progress*>(user);
        p->calls.emplace_back(done, total);
        return p->calls.size() == 1 ? p->answer : 0;
    }
};

TEST(ElgLoader, ProgressSeesStartAndEndAndCanAbort)
{
    const Bytes file = Encode(MakePicture(24, 6, 9, 1), 0, false);
    CElgLoader loader;
    Progress progress;
    Target t;
    ASSERT_EQ(loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &t, FALSE, Progress::Call,
                          &progress),
              kGllOk);
    EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{0, 9}, {9, 9}}));

    Progress abort;
    abort.answer = 1;
    Target t2;
    EXPECT_EQ(loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &t2, FALSE, Progress::Call,
                          &abort),
              kGllAborted);
    EXPECT_EQ(t2.calls, 0);
    EXPECT_EQ(abort.calls, (std::vector<std::pair<int, int>>{{0, 9}, {9, 9}}));

    Progress pictureAbort;
    pictureAbort.answer = 1;
    HGLOBAL info = nullptr;
    HGLOBAL bits = nullptr;
    EXPECT_EQ(loader.LoadPicture(file.data(), static_cast<DWORD>(file.size()), &info, &bits, Progress::Call,
                                 &pictureAbort),
              kGllAborted);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(pictureAbort.calls.back(), std::make_pair(9, 9));
}

struct BadElg {
    const char* name;
    Bytes file;
    int expected;
};

TEST(ElgLoader, RefusesBadFiles)
{
    const Bytes good = Encode(MakePicture(24, 4, 3, 2), 0, false);
    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
    auto patched = [&](size_t at, BYTE v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    const BadElg cases[] = {
        {"not ELG", {'E', 'L', 'F', 24, 1, 0, 1, 0, 0xFF}, kGllNotSupported},
        {"shorter than a signature", {'E', 'L', 'G'}, kGllNotSupported},
        {"truncated plain header", cut(6), kGllBadData},
        {"truncated variant 1 header", {'E', 'L', 'G', 1, 24, 0, 0, 0, 0, 1, 0}, kGllBadData},
        {"bit depth 16", patched(3, 16), kGllBadData},
        {"zero width", [&] { Bytes b = patched(4, 0); b[5] = 0; return b; }(), kGllBadData},
        {"zero height", [&] { Bytes b = patched(6, 0); b[7] = 0; return b; }(), kGllBadData},
        {"huge size from a few bytes", [&] { Bytes b = patched(4, 0xFF); b[5] = 0xFF; b[6] = 0xFF; b[7] = 0xFF; return b; }(), kGllBadData},
        {"chain length below 4", {'E', 'L', 'G', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 5, 2, 0, 0, 0, 0, 0, 1, 2, 3, 0xFF}, kGllBadData},
        {"chain past the end", {'E', 'L', 'G', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 5, 90, 0, 0, 0, 0}, kGllBadData},
        {"chain without its end", {'E', 'L', 'G', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 5, 5, 0, 0, 0, 9}, kGllBadData},
        {"truncated pixel stream", cut(good.size() - 1), kGllBadData},
        {"a palette stream that is not 1024 bytes", [] {
             Bytes b = {'E', 'L', 'G', 8, 1, 0, 1, 0};
             const Bytes palette(1000, 1);
             elg::EncodeByteStream(palette.data(), palette.size(), false, b);
             b.insert(b.end(), {0x00, 0, 0xFF});
             return b;
         }(), kGllBadData},
    };
    for (const BadElg& c : cases) {
        CElgLoader loader;
        Target t;
        EXPECT_EQ(loader.Load(c.file.data(), static_cast<DWORD>(c.file.size()), Target::Allocate, &t, FALSE, nullptr,
                              nullptr),
                  c.expected)
            << c.name;
        EXPECT_EQ(loader.GetExtraData(FALSE), nullptr) << c.name;
        HGLOBAL info = nullptr;
        HGLOBAL bits = nullptr;
        EXPECT_EQ(loader.LoadPicture(c.file.data(), static_cast<DWORD>(c.file.size()), &info, &bits, nullptr, nullptr),
                  c.expected)
            << c.name;
        EXPECT_EQ(info, nullptr) << c.name;
        EXPECT_EQ(loader.m_bits, nullptr) << c.name;
    }
    CElgLoader loader;
    Target t;
    const auto size = static_cast<DWORD>(good.size());
    EXPECT_EQ(loader.Load(nullptr, size, Target::Allocate, &t, FALSE, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(loader.Load(good.data(), size, nullptr, nullptr, FALSE, nullptr, nullptr), kGllBadArguments);
    HGLOBAL info = nullptr;
    EXPECT_EQ(loader.LoadPicture(good.data(), size, &info, nullptr, nullptr, nullptr), kGllBadArguments);
    t.refuse = true;
    EXPECT_EQ(loader.Load(good.data(), size, Target::Allocate, &t, FALSE, nullptr, nullptr), kGllNoMemory);
    Target narrow;
    narrow.extraPitch = -1;
    EXPECT_EQ(loader.Load(good.data(), size, Target::Allocate, &narrow, FALSE, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(loader.Save(0, nullptr, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr), kGllUseLoadPicture);
    EXPECT_FALSE(loader.CanSave());
    // A failed load leaves no extension data behind.
    const Bytes withChain = {'E', 'L', 'G', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0, 0, 0x00, 1, 2};
    EXPECT_EQ(loader.Load(withChain.data(), static_cast<DWORD>(withChain.size()), Target::Allocate, &t, FALSE,
                          nullptr, nullptr),
              kGllNoMemory);
    EXPECT_EQ(loader.GetExtraSize(), 0u);
}

}  // namespace
