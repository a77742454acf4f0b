// The natives-built scene: a MAIN module (assembled as the game's modules are) makes a canvas the
// frame image (242), composes a background picture by blits (333-338), lists sprites and a
// primitive (402-404, 409-414), sets the scene's background (418-420) and renders the scene (429)
// into the frame image. The frame equals ImageMagick's composition of the same ELG pictures
// (within 1 where alpha blends).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../files/gll_test_support.h"
#include "display/image_object.h"
#include "display/screen.h"
#include "files/gll_manager.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"

using namespace hosttest;

namespace {

constexpr uint32_t A = 65535; // an absent word

// One word of a native call: a number, the result of an earlier call ("$name") or a text.
struct Word {
    Word(uint32_t v) : value(v) {}
    Word(int v) : value(static_cast<uint32_t>(v)) {}
    Word(const char* r) : ref(r) {}
    uint32_t value = 0;
    std::string ref;
};

struct Call {
    uint32_t native;
    std::vector<Word> words;
    std::string result; // the name later calls use ("" none)
};

// The module's source: each call's argument block in the data part, the handles earlier calls
// answered copied into it (movm) just before the call, texts as Shift-JIS strings.
std::string ModuleSource(const std::vector<Call>& calls)
{
    std::string code, data;
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string block = "a" + std::to_string(i);
        std::string cells;
        for (size_t k = 0; k < calls[i].words.size(); ++k) {
            const Word& w = calls[i].words[k];
            cells += k == 0 ? "" : ", ";
            if (w.ref.empty()) {
                cells += std::to_string(w.value);
            } else if (w.ref[0] == '$') {
                cells += "0";
                code += "movm r_" + w.ref.substr(1) + ", " + block + "+" + std::to_string(4 * k) + "\n";
            } else {
                const std::string text = block + "_t" + std::to_string(k);
                cells += text;
                data += text + ": .sjis \"" + w.ref + "\"\n";
            }
        }
        const std::string result = calls[i].result.empty() ? "r" + std::to_string(i) : "r_" + calls[i].result;
        code += "ncall native " + std::to_string(calls[i].native) + ", " + block + ", " + result + "\n";
        data += block + ": .word " + (cells.empty() ? "0" : cells) + "\n" + result + ": .word 0\n";
    }
    return code + "ret\n.data\n" + data;
}

uint32_t Rgb(int r, int g, int b)
{
    return 0xFF000000u | static_cast<uint32_t>((r & 255) << 16 | (g & 255) << 8 | (b & 255));
}

// pixels as an ELG picture (through a PNG that convert writes) in the game folder, and the PNG
// beside it for the reference.
bool WritePicture(const std::string& base, int w, int h, const std::vector<uint32_t>& pixels, int depth)
{
    return picture_test::WritePam(base + ".pam", w, h, pixels) &&
           picture_test::RunConvert("'" + base + ".pam' PNG32:'" + base + ".png'") &&
           std::system((std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + base + ".png' '" +
                        base + ".elg' --depth " + std::to_string(depth) + " >/dev/null 2>&1")
                           .c_str()) == 0;
}

TEST(NativesSceneMilestone, FrameEqualsImageMagicksComposition)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    HostFixture f;
    f.UseScreen();
    TestPixelLibrary pixels;
    CGllManager loaders;
    ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
    g_pGllManager = &loaders;

    const std::string dir = f.dir.Linux() + "/";
    std::vector<uint32_t> bg, a, s;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            bg.push_back(Rgb(x * 3 + y, y * 2, x ^ y));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            a.push_back(Rgb(200 - x * 9, 40 + y * 13, (x * y * 7) & 255));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            s.push_back(static_cast<uint32_t>(30 + x * 9) << 24 | (Rgb(255 - y * 11, x * 10, 90 + y * 5) & 0xFFFFFF));
    ASSERT_TRUE(WritePicture(dir + "bg", 160, 120, bg, 24));
    ASSERT_TRUE(WritePicture(dir + "a", 20, 15, a, 24));
    ASSERT_TRUE(WritePicture(dir + "s", 24, 20, s, 32));

    const std::vector<Call> calls = {
        {238, {160, 120, 32, 1}, "canvas"},
        {242, {"$canvas"}, ""},
        {232, {"bg.elg", 0}, "bg"},
        {232, {"a.elg", 0}, "a"},
        {232, {"s.elg", 0}, "s"},
        {231, {160, 120, 32, 0}, "work"},
        // The background picture by blits: a copy, a doubled stretch, a mirrored copy, an upside
        // down stretch, an alpha blend and a doubled alpha blend.
        {333, {"$work", "$bg", 0, 0, A, 0, 0, 0}, ""},
        {334, {"$work", "$a", 10, 10, 40, 30, A, 0, 0, 0}, ""},
        {335, {"$work", "$a", 60, 10, A, 0, 0, 0, 0}, ""},
        {336, {"$work", "$a", 90, 10, 20, 30, A, 0, 0, 0, 1}, ""},
        {337, {"$work", "$s", 10, 60, A, 0, 0, 0}, ""},
        {338, {"$work", "$s", 40, 60, 48, 40, A, 0, 0, 0}, ""},
        {419, {"$canvas", 0x203040, 0}, ""},
        {418, {"$canvas", "$work", 0, 0, 0}, ""},
        // Sprites: a soft one over part of a picture listed after it at the same priority, moved
        // below it; a primitive in front; a copy listed and taken out again.
        {402, {"$s", A, 0, 0, 0, 100, 50}, "sp1"},
        {409, {"$canvas", "$sp1", 20, 0}, ""},
        {402, {"$a", 2, 2, 12, 10, 110, 60}, "sp2"},
        {410, {"$canvas", "$sp2", 20, 0}, ""},
        {404, {30, 20, 0x80FF0000u, 120, 90}, "prim"},
        {409, {"$canvas", "$prim", 10, 0}, ""},
        {403, {"$sp1"}, "sp3"},
        {409, {"$canvas", "$sp3", 5, 0}, ""},
        {411, {"$canvas", "$sp3"}, ""},
        {414, {"$canvas", "$sp2", 30, 0}, ""},
        {420, {"$canvas"}, ""},
        {429, {"$canvas", "$canvas", 0, 0, 0}, ""},
    };
    f.Module("MAIN", ModuleSource(calls));
    CScriptHost& host = f.Start();
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    ASSERT_EQ(host.RunStep(), kRunEnded) << static_cast<int>(host.Machine().Fault());

    CImageObject* frame = f.screen->GetFrameImage();
    ASSERT_NE(frame, nullptr);
    const CImage& out = *frame->GetImage();
    ASSERT_EQ(out.GetWidth(), 160);
    ASSERT_EQ(out.GetHeight(), 120);

    const auto png = [&](const char* name) { return "'" + dir + name + ".png'"; };
    const std::string reference =
        png("bg") + " \\( " + png("a") + " -sample 200% \\) -geometry +10+10 -compose Copy -composite" +
        " \\( " + png("a") + " -flop \\) -geometry +60+10 -compose Copy -composite" +
        " \\( " + png("a") + " -flip -sample 100%x200% \\) -geometry +90+10 -compose Copy -composite" +
        " \\( " + png("s") + " \\) -geometry +10+60 -compose Over -composite" +
        " \\( " + png("s") + " -sample 200% \\) -geometry +40+60 -compose Over -composite" +
        " \\( " + png("a") + " -crop 10x8+2+2 +repage \\) -geometry +110+60 -compose Copy -composite" +
        " \\( " + png("s") + " \\) -geometry +100+50 -compose Over -composite" +
        " \\( -size 30x20 'xc:rgba(255,0,0,0.50196)' \\) -geometry +120+90 -compose Over -composite" +
        " -alpha off PNG24:'" + dir + "reference.png'";
    ASSERT_TRUE(picture_test::RunConvert(reference));
    const std::vector<BYTE> want = picture_test::ConvertRgba(dir + "reference.png");
    ASSERT_EQ(want.size(), 160u * 120u * 4u);
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            const BYTE* p = &want[(static_cast<size_t>(y) * 160 + x) * 4];
            const uint32_t got = static_cast<uint32_t>(out.GetPixel(x, y));
            const int d = std::max({std::abs(static_cast<int>(got >> 16 & 255) - p[0]),
                                    std::abs(static_cast<int>(got >> 8 & 255) - p[1]),
                                    std::abs(static_cast<int>(got & 255) - p[2])});
            if (d > worst)
                worst = d, worstX = x, worstY = y;
        }
    EXPECT_LE(worst, 1) << "at " << worstX << "," << worstY;
    g_pGllManager = nullptr;
}

} // namespace
