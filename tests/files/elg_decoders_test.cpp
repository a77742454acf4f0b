// The ELG stream decoders: hand-written streams for each opcode, exact round trips of the
// encoder through every output layout, and bad streams that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"
#include "files/elg_decoders.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes DecodeBytes(const Bytes& stream, size_t count, bool* ok)
{
    Bytes out(count, 0xEE);
    const BYTE* end = DecodeRleImageA(stream.data(), stream.data() + stream.size(), out.data(), count);
    *ok = end == stream.data() + stream.size();
    return out;
}

// Pixel coding decoded as 32-bit, returned as 0x00RRGGBB values.
std::vector<uint32_t> DecodePixels(const Bytes& stream, int width, int height, bool* ok)
{
    std::vector<uint32_t> out(static_cast<size_t>(width) * height, 0xEEEEEEEE);
    const BYTE* end = DecodeRleRgbTo32(stream.data(), stream.data() + stream.size(),
                                       reinterpret_cast<BYTE*>(out.data()), width, height, width * 4);
    *ok = end == stream.data() + stream.size();
    return out;
}

struct ByteCase {
    const char* name;
    Bytes stream;
    Bytes expected;
};

TEST(ElgByteCoding, EachOpcodeExpandsAsItsTableSays)
{
    const ByteCase cases[] = {
        {"literal", {0x02, 1, 2, 3, 0xFF}, {1, 2, 3}},
        {"long literal", [] {
             Bytes s{0x20, 0x00};
             for (int i = 0; i < 33; ++i)
                 s.push_back(static_cast<BYTE>(i));
             s.push_back(0xFF);
             return s;
         }(),
         [] {
             Bytes e;
             for (int i = 0; i < 33; ++i)
                 e.push_back(static_cast<BYTE>(i));
             return e;
         }()},
        {"fill", {0x40, 7, 0xFF}, {7, 7, 7}},
        {"long fill", {0x60, 0x01, 9, 0xFF}, Bytes(36, 9)},
        {"short copy repeats a pattern", {0x01, 1, 2, 0x83, 0x00, 0xFF}, {1, 2, 1, 2, 1, 2, 1}},
        {"copy with three-byte form", {0x02, 1, 2, 3, 0x90, 0x00, 0x00, 0xFF}, {1, 2, 3, 1, 2, 3, 1}},
        {"copy of length 3", {0x03, 1, 2, 3, 4, 0xA0, 0x01, 0xFF}, {1, 2, 3, 4, 1, 2, 3}},
        {"copy of length 4", {0x02, 1, 2, 3, 0xB0, 0x00, 0xFF}, {1, 2, 3, 1, 2, 3, 1}},
        {"0xC0 repeats the previous value", {0x00, 5, 0xC0, 0xFF}, {5, 5}},
        {"near copy of two", {0x02, 1, 2, 3, 0xE1, 0xFF}, {1, 2, 3, 1, 2}},
    };
    for (const ByteCase& c : cases) {
        bool ok = false;
        EXPECT_EQ(DecodeBytes(c.stream, c.expected.size(), &ok), c.expected) << c.name;
        EXPECT_TRUE(ok) << c.name;
    }
}

TEST(ElgPixelCoding, UpReferencesAndCopiesFollowTheRows)
{
    // 3 x 3: row 0 literal A B C; row 1: up (A), up-right (C), up-left (B); row 2: copy of 3 from
    // distance 3 via 1000 form.
    const Bytes stream = {0x02, 1, 0, 0, 2, 0, 0, 3, 0, 0, 0xD0, 0xF0, 0xE0, 0x82, 0x01, 0xFF};
    bool ok = false;
    const auto px = DecodePixels(stream, 3, 3, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(px, (std::vector<uint32_t>{1, 2, 3, 1, 3, 2, 1, 3, 2}));

    // Fill of 2 and the one-pixel copies.
    const Bytes stream2 = {0x40, 9, 0, 0, 0x00, 4, 0, 0, 0xB1, 0xFF};
    const auto px2 = DecodePixels(stream2, 4, 1, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(px2, (std::vector<uint32_t>{9, 9, 4, 9}));
}

struct BadCase {
    const char* name;
    Bytes stream;
    int width;
    int height;
};

TEST(ElgPixelCoding, RefusesStreamsThatLeaveThePicture)
{
    const BadCase cases[] = {
        {"no terminator", {0x00, 1, 2, 3}, 1, 1},
        {"empty input", {}, 1, 1},
        {"truncated literal", {0x01, 1, 2, 3, 4}, 2, 1},
        {"too few pixels", {0x00, 1, 2, 3, 0xFF}, 2, 1},
        {"fill past the end", {0x41, 1, 2, 3, 0xFF}, 2, 1},
        {"copy before the start", {0x00, 1, 2, 3, 0x80, 0x00, 0xFF}, 2, 1},
        {"up-reference above row 0", {0x01, 1, 2, 3, 4, 5, 6, 0xD1, 0xD1, 0xFF}, 2, 2},
        {"up-left across the left edge", {0x01, 1, 2, 3, 4, 5, 6, 0xE0, 0xD0, 0xFF}, 2, 2},
        {"up-right across the right edge", {0x01, 1, 2, 3, 4, 5, 6, 0xD0, 0xF0, 0xFF}, 2, 2},
        {"long up-reference above row 0", {0x00, 1, 2, 3, 0xC0, 0x00, 0xFF}, 1, 2},
        {"far copy before the start", {0x00, 1, 2, 3, 0xA0, 0, 0, 0, 0xFF}, 1, 2},
        {"pixels after the picture is full", {0x01, 1, 2, 3, 4, 5, 6, 0xFF}, 1, 1},
    };
    for (const BadCase& c : cases) {
        bool ok = true;
        std::vector<uint32_t> out(static_cast<size_t>(c.width) * c.height);
        const BYTE* end = DecodeRleRgbTo32(c.stream.data(), c.stream.data() + c.stream.size(),
                                           reinterpret_cast<BYTE*>(out.data()), c.width, c.height, c.width * 4);
        ok = end != nullptr;
        EXPECT_FALSE(ok) << c.name;
    }
}

TEST(ElgByteCoding, RefusesStreamsThatLeaveThePicture)
{
    const BadCase cases[] = {
        {"no terminator", {0x40, 1}, 3, 1},
        {"copy before the start", {0x00, 1, 0xE0, 0xFF}, 3, 1},
        {"literal past the end", {0x03, 1, 2, 3, 4, 0xFF}, 3, 1},
        {"long fill past the end", {0x60, 0x00, 1, 0xFF}, 3, 1},
        {"short stream", {0x00, 1, 0xFF}, 3, 1},
        {"copy missing its bytes", {0x02, 1, 2, 3, 0x90, 0x00}, 3, 1},
    };
    for (const BadCase& c : cases) {
        Bytes out(static_cast<size_t>(c.width) * c.height);
        EXPECT_EQ(DecodeRleImageA(c.stream.data(), c.stream.data() + c.stream.size(), out.data(), out.size()),
                  nullptr)
            << c.name;
    }
    // A palette stream must expand to exactly 1024 bytes.
    Bytes palette;
    elg::EncodeByteStream(Bytes(1020, 3).data(), 1020, false, palette);
    Bytes table(1024);
    EXPECT_EQ(DecodeRleImageA(palette.data(), palette.data() + palette.size(), table.data(), 1024), nullptr);
}

// Round trips --------------------------------------------------------------------------------

struct Layouts {
    int width;
    int height;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB
};

uint8_t GrayOf(uint32_t p)
{
    return static_cast<uint8_t>((29u * (p & 255) + 150u * ((p >> 8) & 255) + 77u * ((p >> 16) & 255)) >> 8);
}

void CheckPixelLayouts(const Layouts& l, bool every, bool expectAllClasses = false)
{
    const size_t n = static_cast<size_t>(l.width) * l.height;
    Bytes colour;
    Bytes alpha;
    elg::OpUse use;
    elg::EncodePixelStream(l.pixels.data(), n, l.width, every, colour, &use);
    std::vector<uint8_t> a(n);
    for (size_t i = 0; i < n; ++i)
        a[i] = static_cast<uint8_t>(l.pixels[i] >> 24);
    elg::EncodeByteStream(a.data(), n, every, alpha, &use);
    const BYTE* cEnd = colour.data() + colour.size();
    const BYTE* aEnd = alpha.data() + alpha.size();
    const int w = l.width;
    const int h = l.height;

    // Contiguous and pitched 32-bit, colour then alpha.
    for (int pitch : {w * 4, w * 4 + 12}) {
        Bytes out(static_cast<size_t>(pitch) * h, 0x55);
        ASSERT_EQ(DecodeRleRgbTo32(colour.data(), cEnd, out.data(), w, h, pitch), cEnd);
        ASSERT_EQ(DecodeRleAlphaTo32(alpha.data(), aEnd, out.data(), w, h, pitch), aEnd);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t v;
                std::memcpy(&v, out.data() + static_cast<size_t>(pitch) * y + x * 4, 4);
                ASSERT_EQ(v, l.pixels[static_cast<size_t>(y) * w + x]) << "pitch " << pitch << " at " << x << "," << y;
            }
    }
    // Bottom-up 32-bit.
    {
        Bytes out(n * 4);
        ASSERT_EQ(DecodeRleRgbTo32BottomUp(colour.data(), cEnd, out.data(), w, h), cEnd);
        ASSERT_EQ(DecodeRleAlphaTo32BottomUp(alpha.data(), aEnd, out.data(), w, h), aEnd);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t v;
                std::memcpy(&v, out.data() + static_cast<size_t>(h - 1 - y) * w * 4 + x * 4, 4);
                ASSERT_EQ(v, l.pixels[static_cast<size_t>(y) * w + x]);
            }
    }
    // Bottom-up 24-bit with a padded stride and with the exact one.
    for (int stride : {(w * 3 + 3) & ~3, w * 3}) {
        Bytes out(static_cast<size_t>(stride) * h);
        ASSERT_EQ(DecodeRleBytesBottomUp(colour.data(), cEnd, out.data(), w, h, stride), cEnd);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const BYTE* p = out.data() + static_cast<size_t>(h - 1 - y) * stride + x * 3;
                const uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
                ASSERT_EQ(v, l.pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF);
            }
    }
    // Gray, contiguous and pitched.
    {
        Bytes gray(n);
        ASSERT_EQ(DecodeRleImageC(colour.data(), cEnd, gray.data(), w, h), cEnd);
        Bytes pitched(static_cast<size_t>(w + 5) * h);
        ASSERT_EQ(DecodeRleBytesPitched(colour.data(), cEnd, pitched.data(), w, h, w + 5), cEnd);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t g = GrayOf(l.pixels[static_cast<size_t>(y) * w + x]);
                ASSERT_EQ(gray[static_cast<size_t>(y) * w + x], g);
                ASSERT_EQ(pitched[static_cast<size_t>(y) * (w + 5) + x], g);
            }
    }
    if (expectAllClasses) {
        for (int op = 0; op < elg::kByteOpCount; ++op)
            EXPECT_GT(use.byteOps[op], 0u) << "byte opcode class " << op;
        for (int op = 0; op < elg::kPixelOpCount; ++op)
            EXPECT_GT(use.pixelOps[op], 0u) << "pixel opcode class " << op;
    }
}

TEST(ElgRoundTrip, PixelStreamsThroughEveryLayout)
{
    CheckPixelLayouts({64, 96, samples::Coverage(64, 96, 7)}, true, true);
    CheckPixelLayouts({64, 96, samples::Coverage(64, 96, 7)}, false);
    CheckPixelLayouts({37, 23, samples::PhotoLike(37, 23, 3)}, false);
    CheckPixelLayouts({50, 40, samples::WithAlpha(50, 40, 5)}, true);
    CheckPixelLayouts({120, 45, samples::InterfacePart(120, 45, 9)}, false);
    CheckPixelLayouts({1, 9, samples::PhotoLike(1, 9, 11)}, true);
    CheckPixelLayouts({9, 1, samples::PhotoLike(9, 1, 11)}, true);
}

TEST(ElgRoundTrip, IndexStreamsThroughEveryLayout)
{
    const int w = 70;
    const int h = 90;
    const auto pixels = samples::Coverage(w, h, 13);
    elg::Picture picture;
    std::string error;
    // Coverage has many colours in its noise rows; index its low byte instead.
    std::vector<uint8_t> indexes(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < indexes.size(); ++i)
        indexes[i] = static_cast<uint8_t>(pixels[i]);
    Bytes palette(1024);
    for (int i = 0; i < 1024; ++i)
        palette[i] = static_cast<BYTE>(i * 7);
    Bytes paletteStream;
    Bytes indexStream;
    elg::OpUse use;
    elg::EncodeByteStream(palette.data(), 1024, true, paletteStream, &use);
    elg::EncodeByteStream(indexes.data(), indexes.size(), true, indexStream, &use);
    for (int op = 0; op < elg::kByteOpCount; ++op)
        EXPECT_GT(use.byteOps[op], 0u) << "byte opcode class " << op;

    const BYTE* pEnd = paletteStream.data() + paletteStream.size();
    const BYTE* iEnd = indexStream.data() + indexStream.size();
    Bytes table(1024);
    ASSERT_EQ(DecodeRleImageA(paletteStream.data(), pEnd, table.data(), 1024), pEnd);
    EXPECT_EQ(table, palette);

    Bytes flat(indexes.size());
    ASSERT_EQ(DecodeRleImageA(indexStream.data(), iEnd, flat.data(), flat.size()), iEnd);
    EXPECT_EQ(flat, Bytes(indexes.begin(), indexes.end()));

    Bytes pitched(static_cast<size_t>(w + 3) * h);
    ASSERT_EQ(DecodeRleIndexesPitched(indexStream.data(), iEnd, pitched.data(), w, h, w + 3), iEnd);
    const int stride = (w + 3) & ~3;
    Bytes bottomUp(static_cast<size_t>(stride) * h);
    ASSERT_EQ(DecodeRleImageB(indexStream.data(), iEnd, bottomUp.data(), w, h, stride), iEnd);
    Bytes to32(static_cast<size_t>(w) * h * 4);
    ASSERT_EQ(DecodeRleIndexedTo32(indexStream.data(), iEnd, to32.data(), w, h, w * 4, table.data(), 0x80), iEnd);
    // Rows with a gap between them take another path; the gaps stay as they were.
    const int gapPitch = w * 4 + 12;
    Bytes to32Gaps(static_cast<size_t>(gapPitch) * h, 0xEE);
    ASSERT_EQ(DecodeRleIndexedTo32(indexStream.data(), iEnd, to32Gaps.data(), w, h, gapPitch, table.data(), 0x80),
              iEnd);
    for (int y = 0; y < h; ++y) {
        const BYTE* row = to32Gaps.data() + static_cast<size_t>(y) * gapPitch;
        ASSERT_EQ(Bytes(row, row + w * 4), Bytes(to32.begin() + y * w * 4, to32.begin() + (y + 1) * w * 4)) << y;
        ASSERT_EQ(Bytes(row + w * 4, row + gapPitch), Bytes(12, 0xEE)) << y;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t i = indexes[static_cast<size_t>(y) * w + x];
            ASSERT_EQ(pitched[static_cast<size_t>(y) * (w + 3) + x], i);
            ASSERT_EQ(bottomUp[static_cast<size_t>(h - 1 - y) * stride + x], i);
            const BYTE* p = to32.data() + (static_cast<size_t>(y) * w + x) * 4;
            ASSERT_EQ(p[0], palette[i * 4]);
            ASSERT_EQ(p[1], palette[i * 4 + 1]);
            ASSERT_EQ(p[2], palette[i * 4 + 2]);
            ASSERT_EQ(p[3], 0x80);
        }
}

}  // namespace
