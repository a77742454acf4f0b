// KGM parts files: the tool's round trip and its refusals, the parser on every cut of a file, and
// reader A over ImageMagick pictures (Japanese names, loose and in a KPK): the sprites it makes,
// the scene against ImageMagick's composition, and each failure code leaving the scene and the
// screen's lists as they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../drawing/drawing_test_util.h"
#include "authoring/file_io.h"
#include "authoring/kpk_writer.h"
#include "controls/parts_file.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/text.h"

namespace {

using drawing_test::Px;

int Shell(const std::string& command) { return std::system(command.c_str()); }
bool HaveConvert() { return Shell("convert -version >/dev/null 2>&1") == 0; }
std::string Tool(const std::string& args) { return std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args; }
std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}
std::vector<BYTE> ReadAll(const std::string& path)
{
    std::vector<BYTE> bytes;
    ReadWholeFile(path, &bytes);
    return bytes;
}

class PartsFileTool : public ::testing::Test {
protected:
    // Packs a layout text; answers the tool's exit status.
    int Pack(const std::string& text, const char* reader, const std::string& out = "OUT.GMP")
    {
        dir.Write("layout.txt", text);
        return WEXITSTATUS(Shell(Tool("kgm pack '" + dir.Linux(out) + "' '" + dir.Linux("layout.txt") +
                                      "' --reader " + reader + " 2>/dev/null")));
    }
    TempFolder dir;
};

TEST_F(PartsFileTool, ListThenPackGivesTheSameBytes)
{
    const std::string a = "# a menu\nbackground\t背景.bmp\nボタン.bmp\t0\t-3\t4\t255\t1\nb.bmp\t1\t0x10\t-32768\t128\t0\t20\t10\t7\n";
    ASSERT_EQ(Pack(a, "a"), 0);
    const std::vector<BYTE> first = ReadAll(dir.Linux("OUT.GMP"));
    const std::string listed = Capture(Tool("kgm list '" + dir.Linux("OUT.GMP") + "' --reader a"));
    EXPECT_EQ(listed, "background\t背景.bmp\nボタン.bmp\t0\t-3\t4\t255\t1\nb.bmp\t1\t16\t-32768\t128\t0\t20\t10\t7\n");
    ASSERT_EQ(Pack(listed, "a", "AGAIN.GMP"), 0);
    EXPECT_EQ(ReadAll(dir.Linux("AGAIN.GMP")), first);
    // magic, background name (8 bytes of Shift-JIS), count, a 7-byte and a 12-byte entry
    EXPECT_EQ(first.size(), 4u + (1 + 8) + 2 + (1 + 10 + 7) + (1 + 5 + 12));

    ASSERT_EQ(Pack("x.bmp\t200\t1\t2\t3\t4\t5\t6\t7\n", "b"), 0) << "any kind value";
    EXPECT_EQ(Capture(Tool("kgm list '" + dir.Linux("OUT.GMP") + "' --reader b")), "x.bmp\t200\t1\t2\t3\t4\t5\t6\t7\n");
}

TEST_F(PartsFileTool, Refusals)
{
    const struct {
        const char* name;
        std::string text;
        const char* reader;
    } cases[] = {
        {"x past i16", "a.bmp\t0\t32768\t0\t0\t0\n", "a"},
        {"alpha past u8", "a.bmp\t0\t0\t0\t256\t0\n", "a"},
        {"size given while unsized", "a.bmp\t0\t0\t0\t0\t0\t1\t1\t1\n", "a"},
        {"size missing while sized", "a.bmp\t1\t0\t0\t0\t0\n", "a"},
        {"reader b always sized", "a.bmp\t1\t0\t0\t0\t0\n", "b"},
        {"not a number", "a.bmp\t0\tten\t0\t0\t0\n", "a"},
        {"no CP932 form", "\xF0\x9F\x98\x80.bmp\t0\t0\t0\t0\t0\n", "a"},
        {"name over 255 bytes", std::string(256, 'n') + "\t0\t0\t0\t0\t0\n", "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Pack(c.text, c.reader), 1) << c.name;
    std::string many;
    for (int i = 0; i < 65536; ++i)
        many += "a\t0\t0\t0\t0\t0\n";
    EXPECT_EQ(Pack(many, "a"), 1) << "more than 65535 parts";
    dir.Write("bad.gmp", std::string("KGM\0\0\x05\x00", 7));
    EXPECT_EQ(WEXITSTATUS(Shell(Tool("kgm list '" + dir.Linux("bad.gmp") + "' --reader a 2>/dev/null"))), 1);
}

TEST(PartsFileParser, EveryCutAnswersThree)
{
    PartsLayout layout;
    layout.background = "bg.bmp";
    layout.parts.push_back({"a.bmp", 0, 1, 2, 255, 1, false, 0, 0, 0});
    layout.parts.push_back({"b.bmp", 1, 3, 4, 128, 0, true, 5, 6, 7});
    for (EPartsReader reader : {EPartsReader::A, EPartsReader::B}) {
        const std::vector<uint8_t> bytes = WritePartsFile(layout, reader);
        PartsLayout back;
        ASSERT_EQ(ParsePartsFile(bytes.data(), bytes.size(), reader, &back, nullptr), 0);
        ASSERT_EQ(back.parts.size(), 2u);
        EXPECT_EQ(back.parts[1].c, 7);
        EXPECT_EQ(back.parts[0].sized, reader == EPartsReader::B);
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            size_t offset = 99;
            EXPECT_EQ(ParsePartsFile(bytes.data(), cut, reader, &back, &offset), 3) << cut;
            EXPECT_LE(offset, cut);
        }
    }
    const uint8_t countPastTheEnd[] = {'K', 'G', 'M', 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ParsePartsFile(countPastTheEnd, sizeof countPastTheEnd, EPartsReader::A, nullptr, nullptr), 3);
    const uint8_t badMagic[] = {'K', 'G', 'N', 0, 0, 0, 0};
    EXPECT_EQ(ParsePartsFile(badMagic, sizeof badMagic, EPartsReader::A, nullptr, nullptr), 3);
    const uint8_t empty[] = {'K', 'G', 'M', 0, 0, 0, 0};
    EXPECT_EQ(ParsePartsFile(empty, sizeof empty, EPartsReader::A, nullptr, nullptr), 0) << "n = 0, count 0";
}

class PartsFileReaderA : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        if (!HaveConvert())
            GTEST_SKIP() << "convert is not installed";
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
        ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
        std::filesystem::create_directories(dir.Linux("menu"));
        ASSERT_EQ(Shell("cd '" + dir.Linux("menu") + "' && convert -size 64x48 gradient:'#203040'-'#c0a080' BMP3:bg.bmp"
                        " && convert -size 10x8 xc:'#ff2000' BMP3:'部品.bmp'"
                        " && convert -size 6x6 xc:'#00ff40' BMP3:b.bmp"
                        " && convert -size 4x4 xc:'#0000ff' BMP3:c.bmp"), 0);
        target.Create(64, 48, 32, kImageWithTracker);
        ASSERT_EQ(scene.SetTarget(&target, true), 0);
    }
    void TearDown() override
    {
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
        DrawingEnvironment::TearDown();
    }
    void PackLayout(const std::string& gmp, const std::string& text, const char* reader = "a")
    {
        dir.Write("layout.txt", text);
        ASSERT_EQ(Shell(Tool("kgm pack '" + dir.Linux(gmp) + "' '" + dir.Linux("layout.txt") + "' --reader " + reader)), 0);
    }
    // The scene's picture as 0xRRGGBB values.
    std::vector<uint32_t> Rendered()
    {
        CImage out;
        out.Create(64, 48, 32, 0);
        EXPECT_EQ(scene.RenderToImage(&out, 0, 0, true), 0);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                pixels.push_back(Px(out, x, y) & 0xFFFFFF);
        return pixels;
    }
    // ImageMagick's composition, as 0xRRGGBB values.
    std::vector<uint32_t> Convert(const std::string& args)
    {
        const std::string raw = Capture("cd '" + dir.Linux("menu") + "' && convert " + args + " -depth 8 rgb:-");
        std::vector<uint32_t> pixels;
        for (size_t i = 0; i + 2 < raw.size(); i += 3)
            pixels.push_back(static_cast<uint32_t>(static_cast<uint8_t>(raw[i])) << 16 |
                             static_cast<uint32_t>(static_cast<uint8_t>(raw[i + 1])) << 8 |
                             static_cast<uint8_t>(raw[i + 2]));
        return pixels;
    }

    TempFolder dir;
    CFileManager files;
    CGllManager loaders;
    CScreen screen;
    CImage target;
    CScene scene;
};

TEST_F(PartsFileReaderA, SpritesAndTheComposedScene)
{
    // Mixed 7- and 12-byte entries; a hidden part and a half-transparent one.
    PackLayout("menu/MENU.GMP", "background\tbg.bmp\n部品.bmp\t0\t5\t6\t255\t1\nb.bmp\t1\t30\t20\t255\t1\t40\t30\t9\n"
                                "c.bmp\t0\t0\t0\t255\t0\nb.bmp\t0\t50\t40\t128\t1\n");
    CPartsFileA parts;
    ASSERT_EQ(parts.Load(&screen, &scene, dir.Windows("menu\\MENU.GMP").c_str(), 10, false, false), 0);
    ASSERT_EQ(parts.GetCount(), 4u);
    EXPECT_EQ(screen.DrawableCount(), 4u);
    EXPECT_EQ(screen.SurfaceCount(), 5u);
    const PartRecord* unsized = parts.GetRecord(0);
    EXPECT_EQ((std::vector<int>{unsized->width, unsized->height, unsized->c}), (std::vector<int>{10, 8, 1}));
    const PartRecord* sized = parts.GetRecord(1);
    EXPECT_EQ((std::vector<int>{sized->width, sized->height, sized->c}), (std::vector<int>{40, 30, 9}));
    EXPECT_EQ(parts.GetSprite(1)->GetX(), 30);
    EXPECT_EQ(parts.GetSprite(1)->GetY(), 20);
    EXPECT_FALSE(parts.GetSprite(2)->IsVisible());
    EXPECT_EQ(parts.GetSprite(3)->GetAlpha(), 128);
    int listed = 0;
    for (DrawNode* n = scene.GetList().Head(); n; n = n->next, ++listed)
        EXPECT_EQ(n->priority, 10u);
    EXPECT_EQ(listed, 4);
    CSurface* background = nullptr;
    scene.GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(background, parts.GetBackground());

    const std::vector<uint32_t> ours = Rendered();
    const std::vector<uint32_t> reference =
        Convert("bg.bmp 部品.bmp -geometry +5+6 -composite b.bmp -geometry +30+20 -composite "
                "\\( b.bmp -alpha set -channel A -evaluate set 50.2% +channel \\) -geometry +50+40 -composite");
    ASSERT_EQ(reference.size(), ours.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        for (int s = 0; s < 24; s += 8)
            worst = std::max(worst, std::abs(static_cast<int>(ours[i] >> s & 255) - static_cast<int>(reference[i] >> s & 255)));
    EXPECT_LE(worst, 1) << "within 1 where alpha blends";
}

TEST_F(PartsFileReaderA, PicturesInAnArchive)
{
    PackLayout("MENU.GMP", "background\tbg.bmp\n部品.bmp\t0\t1\t2\t255\t1\n");
    std::string sjis;
    ASSERT_TRUE(winapi::Utf8ToSjisChecked("pack\\部品.bmp", &sjis));
    std::vector<KpkWriterEntry> entries = {
        {"pack\\menu.gmp", ReadAll(dir.Linux("MENU.GMP"))},
        {"pack\\bg.bmp", ReadAll(dir.Linux("menu/bg.bmp"))},
        {sjis, ReadAll(dir.Linux("menu/部品.bmp"))},
    };
    std::string error;
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("DATA.KPK"), entries, KpkWriterOptions{}, &error)) << error;
    ASSERT_EQ(files.Mount("DATA.KPK", -2, false, true, nullptr), 0);
    CPartsFileA parts;
    ASSERT_EQ(parts.Load(&screen, &scene, "pack\\menu.gmp", 1, false, false), 0);
    EXPECT_EQ(parts.GetCount(), 1u);
    EXPECT_EQ(parts.GetImage(0)->GetWidth(), 10);
}

TEST_F(PartsFileReaderA, FailuresLeaveEverythingAsItWas)
{
    CImage earlier;
    earlier.Create(64, 48, 32, 0);
    scene.SetBackgroundImage(&earlier, 0, 0, true);
    PackLayout("menu/NOBG.GMP", "background\tnone.bmp\n部品.bmp\t0\t0\t0\t255\t1\n");
    PackLayout("menu/NOPART.GMP", "background\tbg.bmp\n部品.bmp\t0\t0\t0\t255\t1\nnone.bmp\t0\t0\t0\t255\t1\n");
    PackLayout("menu/LONG.GMP", "部品.bmp\t0\t0\t0\t255\t1\n" + std::string(250, 'n') + "\t0\t0\t0\t255\t1\n");
    dir.Write("menu/MAGIC.GMP", std::string("KGX\0\0\0\0", 7));
    const std::vector<BYTE> good = ReadAll(dir.Linux("menu/NOPART.GMP"));
    const struct {
        const char* name;
        const char* file;
        int code;
    } cases[] = {
        {"no such file", "menu\\NONE.GMP", 2},
        {"bad magic", "menu\\MAGIC.GMP", 3},
        {"background not loaded", "menu\\NOBG.GMP", 4},
        {"part not loaded", "menu\\NOPART.GMP", 5},
        {"path past MAX_PATH", "menu\\LONG.GMP", 5},
    };
    CPartsFileA parts;
    auto unchanged = [&](const std::string& what) {
        EXPECT_EQ(parts.GetCount(), 0u) << what;
        EXPECT_EQ(screen.DrawableCount(), 0u) << what;
        EXPECT_EQ(screen.SurfaceCount(), 0u) << what;
        EXPECT_EQ(scene.GetList().Head(), nullptr) << what;
        CSurface* background = nullptr;
        scene.GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(background, &earlier) << what;
    };
    EXPECT_EQ(parts.Load(nullptr, &scene, "x", 0, false, false), 1);
    EXPECT_EQ(parts.Load(&screen, nullptr, "x", 0, false, false), 1);
    EXPECT_EQ(parts.Load(&screen, &scene, nullptr, 0, false, false), 1);
    for (const auto& c : cases) {
        EXPECT_EQ(parts.Load(&screen, &scene, dir.Windows(c.file).c_str(), 0, false, false), c.code) << c.name;
        unchanged(c.name);
    }
    for (size_t cut = 0; cut < good.size(); ++cut) {
        dir.Write("menu/CUT.GMP", std::string(good.begin(), good.begin() + static_cast<long>(cut)));
        EXPECT_EQ(parts.Load(&screen, &scene, dir.Windows("menu\\CUT.GMP").c_str(), 0, false, false), cut == 0 ? 2 : 3)
            << cut;
    }
    unchanged("cut files");
}

} // namespace
