// The pixel-library operations over a recording mock library: each checks its pictures in the
// order of its result table, hands the entry the destination and the caller's values in the
// entry's order, turns the entry's answer into its result and records the reported rectangle.
#include "raster/pixel_lib_ops.h"

#include "files/pixel_library.h"
#include "op_test_util.h"
#include "winapi/kernel_module.h"

#include <functional>
#include <memory>
#include <vector>

using namespace op_test;

namespace {

// The last entry call: its number and its arguments after the destination, as words.
struct Recorder {
    int entry = 0;
    const void* dst = nullptr;
    std::vector<intptr_t> args;
    bool truth = true; // answer of the truth-valued entries
    int code = 0;      // answer of the others
    RECT report{2, 3, 7, 9};
};
Recorder g_rec;

template <typename... A> void Record(int entry, const void* d, A... a)
{
    g_rec.entry = entry;
    g_rec.dst = d;
    g_rec.args = {intptr_t(a)...};
}
RECT g_changed;
void Report()
{
    g_changed = g_rec.report;
}

template <int N> bool TruthEntry(CDibSurface* d)
{
    Record(N, d);
    Report();
    return g_rec.truth;
}
template <int N> bool RectEntry(CDibSurface* d, const RECT* r)
{
    Record(N, d, r);
    Report();
    return g_rec.truth;
}
template <int N> bool OneArgEntry(CDibSurface* d, DWORD a)
{
    Record(N, d, a);
    Report();
    return g_rec.truth;
}

PixelLibEntries MockEntries()
{
    PixelLibEntries e;
    e.fill32 = [](CDibSurface* d, DWORD v, const RECT* r) {
        return Record(2, d, v, r), Report(), g_rec.truth;
    };
    e.fill8 = [](CDibSurface* d, DWORD v, const RECT* r) {
        return Record(3, d, v, r), Report(), g_rec.truth;
    };
    e.fillColor = [](CDibSurface* d, DWORD c, DWORD o, const RECT* r) {
        return Record(4, d, c, o, r), Report(), g_rec.truth;
    };
    e.fillColorMode = [](CDibSurface* d, DWORD c, DWORD l, const RECT* r, DWORD m) {
        return Record(5, d, c, l, r, m), Report(), g_rec.truth;
    };
    e.fillAlpha = [](CDibSurface* d, BYTE a, const RECT* r) {
        return Record(7, d, a, r), Report(), g_rec.truth;
    };
    e.blend = [](CImage* d, const CSurface* s, LONG x, LONG y, const RECT* r, DWORD m, DWORD o, DWORD a) {
        return Record(9, d, s, x, y, r, m, o, a), Report(), g_rec.code;
    };
    e.stretchBlend = [](CImage* d, const CSurface* s, const SIZE* z, LONG x, LONG y, const RECT* r, DWORD m,
                        DWORD f, DWORD o,
                        DWORD a) { return Record(10, d, s, z, x, y, r, m, f, o, a), Report(), g_rec.code; };
    e.drawQuad = [](CImage* d, const CSurface* s, const PixelLibPoint* c, const RECT* r, DWORD m, DWORD f,
                    DWORD o, DWORD a7, DWORD cl, DWORD fi, RECT* out) {
        return Record(11, d, s, c, r, m, f, o, a7, cl, fi, out), Report(), g_rec.code;
    };
    e.drawTransformed = [](CImage* d, const CSurface* s, const PixelLibTransform* t, const RECT* r, DWORD m,
                           DWORD f, DWORD o, DWORD a7, DWORD cl, DWORD fi, RECT* out) {
        return Record(12, d, s, t, r, m, f, o, a7, cl, fi, out), Report(), g_rec.code;
    };
    e.op13 = [](CDibSurface* d, DWORD a, DWORD b, DWORD c, DWORD x) {
        return Record(13, d, a, b, c, x), Report(), g_rec.truth;
    };
    e.mirror32 = RectEntry<14>;
    e.mirror8 = RectEntry<15>;
    e.flip32 = RectEntry<16>;
    e.flip8 = RectEntry<17>;
    e.op21 = TruthEntry<21>;
    e.op22 = TruthEntry<22>;
    e.op23 = OneArgEntry<23>;
    e.op24 = OneArgEntry<24>;
    e.crossFade = [](CImage* d, const CSurface* s1, const CSurface* s2, DWORD o, DWORD a, LONG dx, LONG dy,
                     LONG w, LONG h, LONG x1, LONG y1, LONG x2, LONG y2) {
        return Record(25, d, s1, s2, o, a, dx, dy, w, h, x1, y1, x2, y2), Report(), g_rec.code;
    };
    e.ruleFade = [](CImage* d, const CSurface* s1, const CSurface* s2, const CSurface* r, DWORD p, DWORD so,
                    DWORD a, LONG dx, LONG dy, LONG w, LONG h, LONG x1, LONG y1, LONG x2, LONG y2, LONG rx,
                    LONG ry) {
        return Record(26, d, s1, s2, r, p, so, a, dx, dy, w, h, x1, y1, x2, y2, rx, ry), Report(), g_rec.code;
    };
    e.fadePixels = [](DWORD*, const DWORD*, const DWORD*, int, DWORD) { return 0; };
    return e;
}

void MockConfig(int, PixelLibCopyKernel, PixelLibCopyKernel, PixelLibCopyKernel) {}
CPixelLibTable* MockGetLibrary(const CpuInfo*)
{
    auto* table = new CPixelLibTable;
    table->changedRect = &g_changed;
    table->entries = MockEntries();
    return table;
}
const winapi::BuiltinProc kMock[] = {{"tvpglConfig", winapi::ToFarProc(&MockConfig)},
                                     {"GetLibrary", winapi::ToFarProc(&MockGetLibrary)}};

// The pictures of a case: destination of a depth (0 = no pixels), sources of depths (0 = none,
// -1 = no pixels), the mock loaded or not.
struct Pictures {
    int dst = 32;
    int src1 = 32;
    int src2 = 32;
    bool library = true;
};

class PixelLibOps : public testing::Test {
protected:
    void SetUp() override
    {
        g_rec = Recorder{};
        ASSERT_TRUE(winapi::RegisterBuiltinModule("tvpgl.dll", kMock, std::size(kMock)));
        m_library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", nullptr));
    }
    void TearDown() override
    {
        SetPixelLibrary(nullptr);
        m_library.reset();
        RegisterPixelLibraryModule();
    }
    // Runs op on fresh pictures; answers its result and leaves the pictures for inspection.
    int Call(const Pictures& s, const std::function<int(CImage&, const CImage*, const CImage*)>& op)
    {
        raster_test::Random random(9);
        m_dst = Picture(s.dst, random);
        m_src1 = Picture(s.src1, random);
        m_src2 = Picture(s.src2, random);
        SetPixelLibrary(s.library ? m_library.get() : nullptr);
        g_rec.entry = 0;
        return op(*m_dst, m_src1.get(), m_src2.get());
    }
    static std::unique_ptr<CImage> Picture(int bpp, raster_test::Random& random)
    {
        if (bpp == 0) {
            return nullptr;
        }
        if (bpp < 0) {
            return std::make_unique<CImage>();
        }
        return MakeImage(9, 12, bpp, random);
    }
    std::unique_ptr<CPixelLibrary> m_library;
    std::unique_ptr<CImage> m_dst, m_src1, m_src2;
};

struct ResultCase {
    const char* name;
    Pictures setup;
    bool truth; // the entry's answer: truth value or 0 / 1
    int expected;
    int entry; // the entry called, 0 = none
};

using Op = std::function<int(CImage&, const CImage*, const CImage*)>;

// Every operation's result table, case by case.
TEST_F(PixelLibOps, ResultTables)
{
    const RECT r{1, 1, 5, 5};
    const SIZE size{4, 4};
    const PixelLibPoint corners[3] = {{0, 0}, {4, 0}, {0, 4}};
    const PixelLibTransform t{1, 0, 0, 1, 0, 0};
    struct Row {
        const char* name;
        Op op;
        std::vector<ResultCase> cases;
    };
    const Pictures ok32{}, dst8{8}, noPixels{-1}, noLib{32, 32, 32, false}, src8{32, 8}, noSrc{32, 0},
        srcEmpty{32, -1}, src2None{32, 32, 0}, src2Eight{32, 32, 8};
    const std::vector<Row> rows = {
        {"Op5",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp5(d, 0x123456, 7, 1, &r); },
         {{"done", ok32, true, 0, 5},
          {"refused", ok32, false, 3, 5},
          {"8-bit", dst8, true, 1, 0},
          {"no pixels", noPixels, true, 1, 0},
          {"no library", noLib, true, 2, 0}}},
        {"Op5 level 256",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp5(d, 1, 256, 1, &r); },
         {{"at once", ok32, false, 0, 0},
          {"even without library", noLib, false, 0, 0},
          {"8-bit", dst8, true, 1, 0}}},
        {"Op7",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp7(d, 77, &r); },
         {{"done", ok32, true, 0, 7},
          {"refused", ok32, false, 3, 7},
          {"8-bit", dst8, true, 1, 0},
          {"no library", noLib, true, 2, 0}}},
        {"Blend",
         [&](CImage& d, const CImage* s, const CImage*) { return PixelLibBlend(d, s, 2, 200, 0, 3, 4, &r); },
         {{"done", ok32, true, 0, 9},
          {"refused", ok32, false, 3, 9},
          {"no pixels", noPixels, true, 1, 0},
          {"no source", noSrc, true, 1, 0},
          {"empty source", srcEmpty, true, 1, 0},
          {"8-bit source", src8, true, 2, 0},
          {"8-bit", dst8, true, 2, 0},
          {"no library", noLib, true, 2, 0}}},
        {"StretchCopy",
         [&](CImage& d, const CImage* s, const CImage*) {
             return PixelLibStretchCopy(d, s, 0, 1, 255, 0, &size, 3, 4, &r);
         },
         {{"done", ok32, true, 0, 10}, {"refused", ok32, false, 3, 10}, {"8-bit source", src8, true, 2, 0}}},
        {"Op11",
         [&](CImage& d, const CImage* s, const CImage*) {
             return PixelLibOp11(d, s, corners, &r, 0, 0, 255, 0, 1, 5, nullptr);
         },
         {{"done", ok32, true, 0, 11}, {"refused", ok32, false, 3, 11}, {"no source", noSrc, true, 1, 0}}},
        {"Op12",
         [&](CImage& d, const CImage* s, const CImage*) {
             return PixelLibOp12(d, s, &t, &r, 0, 0, 255, 0, 0, 0, nullptr);
         },
         {{"done", ok32, true, 0, 12}, {"refused", ok32, false, 3, 12}, {"no library", noLib, true, 2, 0}}},
        {"Op13",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp13(d, 1, 2, 3, 4); },
         {{"done", ok32, true, 0, 13},
          {"refused", ok32, false, 3, 13},
          {"no pixels", noPixels, true, 1, 0},
          {"8-bit", dst8, true, 2, 0},
          {"no library", noLib, true, 2, 0}}},
        {"Op14",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp14(d, &r); },
         {{"32-bit", ok32, true, 0, 14},
          {"8-bit", dst8, true, 0, 15},
          {"refused", ok32, false, 2, 14},
          {"no pixels", noPixels, true, 1, 0},
          {"no library", noLib, true, 1, 0}}},
        {"Op16",
         [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp16(d, nullptr); },
         {{"32-bit", ok32, true, 0, 16},
          {"8-bit", dst8, true, 0, 17},
          {"refused", ok32, false, 2, 16},
          {"no library", noLib, true, 1, 0}}},
        {"Op21 zero",
         [&](CImage& d, const CImage*, const CImage*) { return int(PixelLibOp21(d, 0)); },
         {{"true", ok32, true, 1, 21},
          {"false", ok32, false, 0, 21},
          {"8-bit", dst8, true, 0, 0},
          {"no library", noLib, true, 0, 0}}},
        {"Op21 non-zero",
         [&](CImage& d, const CImage*, const CImage*) { return int(PixelLibOp21(d, 9)); },
         {{"true", ok32, true, 1, 22}}},
        {"Op23",
         [&](CImage& d, const CImage*, const CImage*) { return int(PixelLibOp23(d, 5)); },
         {{"true", ok32, true, 1, 23}, {"no pixels", noPixels, true, 0, 0}}},
        {"Op24",
         [&](CImage& d, const CImage*, const CImage*) { return int(PixelLibOp24(d, 5)); },
         {{"true", ok32, true, 1, 24}, {"false", ok32, false, 0, 24}}},
        {"Op25",
         [&](CImage& d, const CImage* a, const CImage* b) {
             return PixelLibOp25(d, a, b, 128, 0, 1, 2, 3, 4, 5, 6, 7, 8);
         },
         {{"done", ok32, true, 0, 25},
          {"refused", ok32, false, 3, 25},
          {"second missing", src2None, true, 1, 0},
          {"second 8-bit", src2Eight, true, 2, 0},
          {"no library", noLib, true, 2, 0}}},
        {"Op26",
         [&](CImage& d, const CImage* a, const CImage* b) {
             return PixelLibOp26(d, a, b, nullptr, 100, 10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
         },
         {{"done", ok32, true, 0, 26},
          {"refused", ok32, false, 3, 26},
          {"first missing", noSrc, true, 1, 0}}},
    };
    for (const Row& row : rows) {
        for (const ResultCase& c : row.cases) {
            SCOPED_TRACE(testing::Message() << row.name << ": " << c.name);
            g_rec.truth = c.truth;
            g_rec.code = c.truth ? 0 : 1;
            EXPECT_EQ(Call(c.setup, row.op), c.expected);
            EXPECT_EQ(g_rec.entry, c.entry);
            if (c.entry != 0) {
                EXPECT_EQ(g_rec.dst, m_dst.get());
            }
            const bool success = c.entry != 0 && c.truth;
            if (success) {
                EXPECT_TRUE(Marked(*m_dst, g_rec.report));
            } else if (m_dst) {
                EXPECT_TRUE(Untouched(*m_dst));
            }
        }
    }
}

// The values reach the entry unchanged and in the entry's order.
TEST_F(PixelLibOps, ArgumentsReachTheEntryInItsOrder)
{
    const RECT r{1, 1, 5, 5};
    const SIZE size{4, 4};
    auto words = [](std::initializer_list<intptr_t> w) { return std::vector<intptr_t>(w); };
    Call({}, [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp5(d, 0x123456, 7, 1, &r); });
    EXPECT_EQ(g_rec.args, words({0x123456, 7, intptr_t(&r), 1})); // the mode after the rectangle
    Call({}, [&](CImage& d, const CImage* s, const CImage*) {
        return PixelLibBlend(d, s, 3, 200, 9, -3, 4, &r);
    });
    EXPECT_EQ(g_rec.args, words({intptr_t(m_src1.get()), -3, 4, intptr_t(&r), 3, 200, 9}));
    Call({}, [&](CImage& d, const CImage* s, const CImage*) {
        return PixelLibStretchCopy(d, s, 2, 0x11, 90, 6, &size, 3, 4, &r);
    });
    EXPECT_EQ(g_rec.args,
              words({intptr_t(m_src1.get()), intptr_t(&size), 3, 4, intptr_t(&r), 2, 0x11, 90, 6}));
    Call({}, [&](CImage& d, const CImage* a, const CImage* b) {
        return PixelLibOp25(d, a, b, 128, 0, 1, 2, 3, 4, 5, 6, 7, 8);
    });
    EXPECT_EQ(g_rec.args,
              words({intptr_t(m_src1.get()), intptr_t(m_src2.get()), 128, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    Call({}, [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp7(d, 200, nullptr); });
    EXPECT_EQ(g_rec.args, words({200, 0}));
}

TEST_F(PixelLibOps, AnImageWithoutRegionStillGetsItsChangedFlag)
{
    Call({}, [&](CImage&, const CImage*, const CImage*) { return 0; });
    CImage plain;
    ASSERT_EQ(plain.Create(9, 12, 32, 0), 0);
    EXPECT_EQ(PixelLibOp7(plain, 1, nullptr), 0);
    EXPECT_TRUE(plain.IsChanged());
}

// An 8-bit source for the blend: 2, and the region untouched (also checked in the tables).
TEST_F(PixelLibOps, AnEmptyReportChangesNothing)
{
    g_rec.report = RECT{4, 4, 4, 9};
    EXPECT_EQ(Call({}, [&](CImage& d, const CImage*, const CImage*) { return PixelLibOp7(d, 1, nullptr); }),
              0);
    EXPECT_TRUE(Untouched(*m_dst));
}

} // namespace
