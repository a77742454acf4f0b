// SPI plug-ins through their adapters: real shared objects (plugins/test_spi_image.cpp for PPM and
// PGM, plugins/test_spi_archive.cpp for ustar) with fixed and moveable blocks, against pictures
// from ImageMagick and archives from tar; a built-in fake module for the plug-in's hostile answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "files/spi_archive.h"
#include "files/spi_image_loader.h"
#include "files/spi_plugin.h"
#include "files/temp_folder.h"
#include "gll_test_support.h"
#include "plugins/plugin_paths.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

using picture_test::Target;
using Bytes = std::vector<BYTE>;

const char* const kVariants[] = {"spi", "spi_moveable"};

using plugin_test::LinuxPlugin;
using plugin_test::Mapped;
using plugin_test::Plugin;

int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::string Text(const CLoadRecord& record)
{
    return std::string(static_cast<const char*>(record.pointer), record.size);
}

class SpiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        ASSERT_EQ(files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK", 1, KpkAssistFunc, KpkAssistFunc2, nullptr),
                  0);
        ASSERT_EQ(RegisterBuiltinImageLoaders(gll), 0);
        g_pFileManager = g_pSPIFileManager = &files;
        g_pGllManager = g_pSPIGllManager = &gll;
    }
    void TearDown() override
    {
        g_pFileManager = g_pSPIFileManager = nullptr;
        g_pGllManager = g_pSPIGllManager = nullptr;
        g_SpiBuildRecords = 0;
    }

    TempFolder dir;
    CFileManager files;
    CGllManager gll;
};

// The 7 x 5 source picture (odd width: padded rows) in a neutral form convert reads.
void WriteSource(const std::string& file)
{
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 35; ++i)
        pixels.push_back(0xFF000000u | static_cast<uint32_t>(i * 0x070B13 + 0x102030));
    ASSERT_TRUE(picture_test::WritePam(file, 7, 5, pixels));
}

// The loaded pixels' colours against convert's own decoding of the file.
void ExpectSameColours(const Target& t, const std::string& file)
{
    const Bytes rgba = picture_test::ConvertRgba(file);
    ASSERT_EQ(rgba.size(), static_cast<size_t>(t.width) * t.height * 4);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            const BYTE* c = &rgba[(static_cast<size_t>(y) * t.width + x) * 4];
            const uint32_t want = static_cast<uint32_t>(c[0]) << 16 | c[1] << 8 | c[2];
            ASSERT_EQ(t.Pixel32(x, y) & 0xFFFFFF, want) << x << "," << y;
        }
}

} // namespace

TEST_F(SpiTest, ImagePluginLoadsAsTheBuiltInFormatsDo)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "no ImageMagick";
    WriteSource(dir.Linux("source.pam"));
    std::filesystem::create_directories(dir.Linux("pack"));
    ASSERT_TRUE(picture_test::RunConvert("'" + dir.Linux("source.pam") + "' ppm:'" + dir.Linux("pack/pic.ppm") + "'"));
    ASSERT_TRUE(picture_test::RunConvert("'" + dir.Linux("source.pam") + "' -colorspace Gray pgm:'" +
                                         dir.Linux("pack/grey.pgm") + "'"));
    std::filesystem::copy_file(dir.Linux("pack/pic.ppm"), dir.Linux("pic.dat"));
    std::filesystem::copy_file(dir.Linux("pack/grey.pgm"), dir.Linux("grey.dat"));
    ASSERT_EQ(Shell(std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool kpk pack '" + dir.Linux("PICS.KPK") + "' '" +
                    dir.Linux("pack") + "'"),
              0);
    ASSERT_EQ(files.Mount("PICS.KPK", 3, true, true, nullptr), 0);

    for (const char* variant : kVariants) {
        SCOPED_TRACE(variant);
        ASSERT_EQ(LoadSPIPlugin(Plugin(std::string(variant) + "/image.spi").c_str(), false, true), 0);
        auto* loader = dynamic_cast<CSPIImageLoader*>(gll.FindPluginByType(5));
        ASSERT_NE(loader, nullptr);
        EXPECT_STREQ(loader->GetTypeString(), "PNM pictures");
        EXPECT_EQ(gll.FindByExtension("x.PGM", false), loader);
        for (uint64_t budget : {uint64_t{0}, uint64_t{1} << 20}) {
            gll.SetCacheBudget(budget);
            // By extension (loose and from the archive), by header (an unlisted extension).
            for (const char* name : {"pack\\pic.ppm", "PICS\\PIC.PPM", "pic.dat", "pack\\grey.pgm", "pics\\grey.pgm",
                                     "grey.dat"}) {
                SCOPED_TRACE(name);
                Target t;
                ASSERT_EQ(gll.LoadImage(name, Target::Allocate, nullptr, &t, FALSE, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr),
                          kGllOk);
                EXPECT_EQ(t.width, 7);
                EXPECT_EQ(t.height, 5);
                ExpectSameColours(t, dir.Linux(std::strstr(name, "grey") ? "grey.dat" : "pic.dat"));
            }
            EXPECT_EQ(gll.GetCache().GetCount(), budget != 0 ? 4u : 0u);
            gll.SetCacheBudget(0);
        }
        // From memory, found by header.
        const Bytes bytes = picture_test::ReadAll(dir.Linux("pic.dat"));
        Target t;
        ASSERT_EQ(gll.LoadImageFromMemory(bytes.data(), static_cast<DWORD>(bytes.size()), Target::Allocate, nullptr,
                                          &t, FALSE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  kGllOk);
        ExpectSameColours(t, dir.Linux("pic.dat"));
        // 8-bit output keeps the grey palette.
        const Bytes grey = picture_test::ReadAll(dir.Linux("grey.dat"));
        Target g;
        ASSERT_EQ(gll.LoadImageFromMemory(grey.data(), static_cast<DWORD>(grey.size()), Target::Allocate, nullptr,
                                          &g, TRUE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  kGllOk);
        EXPECT_EQ(g.bits, 8);
        EXPECT_EQ(g.palette[4 * 200 + 1], 200);
        EXPECT_EQ(g.palette[4 * g.Pixel8(3, 2)], g.Pixel8(3, 2));
        // The caller's progress callback hears the plug-in's progress with its own user data, and
        // can stop the load.
        struct Progress {
            int calls = 0;
            int answer = 0;
            static int Report(int, int, void* user)
            {
                auto* p = static_cast<Progress*>(user);
                ++p->calls;
                return p->answer;
            }
        } progress;
        HGLOBAL info = nullptr;
        HGLOBAL bits = nullptr;
        ASSERT_EQ(loader->LoadPicture(bytes.data(), static_cast<DWORD>(bytes.size()), &info, &bits, Progress::Report,
                                      &progress),
                  0);
        EXPECT_EQ(progress.calls, 2);
        GlobalFree(info);
        GlobalFree(bits);
        progress.answer = 1;
        EXPECT_EQ(loader->LoadPicture(bytes.data(), static_cast<DWORD>(bytes.size()), &info, &bits, Progress::Report,
                                      &progress),
                  1);
        gll.UnloadType(5);
        EXPECT_FALSE(Mapped(std::string(variant) + "/image.spi"));
    }
}

TEST_F(SpiTest, LoadingCodesKindsAndFolders)
{
    // An image plug-in refused by the caller leaves nothing loaded; so does an archive one.
    EXPECT_EQ(LoadSPIPlugin(Plugin("spi/image.spi").c_str(), true, false), -1);
    EXPECT_EQ(LoadSPIPlugin(Plugin("spi/archive.spi").c_str(), false, true), -1);
    EXPECT_EQ(gll.FindPluginByType(5), nullptr);
    EXPECT_EQ(files.FindDecoderByType(3), nullptr);
    EXPECT_FALSE(Mapped("spi/image.spi"));
    EXPECT_EQ(LoadSPIPlugin(Plugin("spi/missing.spi").c_str(), true, true), 2);
    std::string up;
    for (int i = 0; i < 40; ++i)
        up += "..\\";
    EXPECT_EQ(LoadSPIPlugin((up + "x.spi").c_str(), true, true), 1);
    EXPECT_EQ(LoadSPIFolder(up.c_str(), true, true), -1);

    // A Windows DLL named like a plug-in fails as a missing one does, and the folder counts it.
    dir.Write("plugins/windows.spi", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0'));
    std::filesystem::copy_file(LinuxPlugin("spi/image.spi"), dir.Linux("plugins/image.spi"));
    std::filesystem::copy_file(LinuxPlugin("spi/archive.spi"), dir.Linux("plugins/tar.SPI"));
    EXPECT_EQ(LoadSPIPlugin("plugins\\windows.spi", true, true), 2);
    EXPECT_EQ(LoadSPIFolder("plugins", true, true), 1);
    EXPECT_NE(gll.FindPluginByType(5), nullptr);
    EXPECT_NE(files.FindDecoderByType(3), nullptr);
    // Without the image-loader manager an image plug-in cannot register.
    g_pSPIGllManager = nullptr;
    EXPECT_EQ(LoadSPIPlugin(Plugin("spi/image.spi").c_str(), true, true), 5);
}

TEST(SpiTexts, PatternsAndFields)
{
    struct Case {
        std::string in;
        std::string out;
    } patterns[] = {
        {"*.jpg;*.jpeg", std::string("JPG\0JPEG\0", 9)},
        {"*.*", ""},
        {";;*.Tar;", std::string("TAR\0", 4)},
        {"*.\x82\x60x", std::string("\x82\x60X\0", 4)},  // two-byte characters kept, trail not upper-cased
        {"*.a\x82", std::string("A\x82\0", 3)},          // a lead byte at the end stays a byte
    };
    for (const Case& c : patterns)
        EXPECT_EQ(SpiExtensionList(c.in), c.out) << c.in;
    EXPECT_EQ(SpiFieldText("abc\0def", 7), "abc");
    EXPECT_EQ(SpiFieldText("abcd", 3), "abc");
    EXPECT_EQ(SpiFieldText("ab\x82\x60", 3), "ab");      // the trail byte lies past the field
    EXPECT_EQ(SpiFieldText("ab\x82", 4), "ab");          // a lead byte before the NUL
    EXPECT_EQ(SpiFieldText("\x82\x60z", 3), "\x82\x60z");
    EXPECT_EQ(CSPIArchive::FoldName("A\x82\x60\x87\x54\xFA\x4A\xFA\x40.TXT"),
              "a\x82\x81\xFA\x40\xFA\x40\xFA\x40.txt");
}

namespace {

// Makes a ustar archive of the files below src (names as they are on disk).
bool Tar(const TempFolder& dir, const std::string& archive, const std::string& src, const std::string& mode = "-cf")
{
    return Shell("cd '" + dir.Linux(src) + "' && tar --format=ustar " + mode + " '" + dir.Linux(archive) + "' *") == 0;
}

} // namespace

TEST_F(SpiTest, ArchivePluginMountsTarArchives)
{
    const std::string capitals = std::string(winapi::Sjis("ＡＢＣ")) + ".txt";
    const std::string roman = std::string(winapi::Sjis("\u2160")) + "\x87\x55.txt"; // Ⅰ of the first row, then Ⅱ
    dir.Write("src/readme.txt", "read me");
    dir.Write("src/sub/data.bin", std::string("\0\1\2\3", 4));
    dir.Write("src/" + capitals, "capitals");
    dir.Write("src/" + roman, "numerals");
    dir.Write("src/empty.txt", "");
    if (!Tar(dir, "pack.tar", "src"))
        GTEST_SKIP() << "no tar";
    std::filesystem::create_directories(dir.Linux("out"));

    for (const char* variant : kVariants) {
        SCOPED_TRACE(variant);
        ASSERT_EQ(LoadSPIPlugin(Plugin(std::string(variant) + "/archive.spi").c_str(), true, false), 0);
        ASSERT_EQ(files.Mount("pack.tar", 5, true, true, nullptr), 0);

        int code = -9;
        char where[MAX_PATH];
        CReadStream* stream = files.Open("PACK\\readme.txt", where, &code, true);
        ASSERT_NE(stream, nullptr);
        char text[16] = {};
        EXPECT_EQ(stream->Read(text, sizeof text), 7u);
        EXPECT_STREQ(text, "read me");
        stream->Release();
        EXPECT_EQ(files.Open("pack\\readme.txt", where, &code, false), nullptr);  // never streamed

        CLoadRecord record;
        ASSERT_EQ(files.LoadFile("pack/sub/data.bin", GlobalAllocCallback, GlobalFreeCallback, &record, nullptr), 0);
        EXPECT_EQ(Text(record), std::string("\0\1\2\3", 4));
        GlobalFreeCallback(&record);
        // Full-width small letters and ASCII capitals, the other row of numerals: the same entries.
        const std::string small = std::string(winapi::Sjis("ａｂｃ")) + ".TXT";
        const std::string otherRow = "\xFA\x4A\xFA\x41.TXT";  // capital Ⅰ of the second row, small ⅱ
        for (const std::string& name : {small, otherRow, capitals, roman}) {
            ASSERT_EQ(files.LoadArchiveEntry(5, -1, name.c_str(), GlobalAllocCallback, GlobalFreeCallback, &record,
                                             nullptr),
                      0);
            EXPECT_EQ(Text(record), name == small || name == capitals ? "capitals" : "numerals");
            GlobalFreeCallback(&record);
        }
        EXPECT_EQ(files.LoadArchiveEntry(5, -1, "empty.txt", GlobalAllocCallback, GlobalFreeCallback, &record,
                                         nullptr),
                  2);
        EXPECT_EQ(files.LoadArchiveEntry(5, -1, "none.txt", GlobalAllocCallback, GlobalFreeCallback, &record,
                                         nullptr),
                  3);

        CArchive* archive = files.GetMountArchive(5, 0);
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(archive->GetEntryCount(), 5u);
        EXPECT_EQ(archive->GetEntryTable(), nullptr);  // the switch is off
        char name[MAX_PATH];
        const CArchiveEntry* entry = archive->FindEntry("sub\\data.bin");
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(archive->GetEntry(entry->index, name), entry);
        EXPECT_STREQ(name, "sub\\data.bin");
        EXPECT_EQ(entry->unpackedSize, 4u);
        EXPECT_EQ(entry->crc, 0x1234u + entry->index);
        EXPECT_NE(entry->timeStamp, 0u);
        EXPECT_EQ(archive->GetEntry(5, name), nullptr);
        ASSERT_EQ(files.LoadArchiveEntry(5, static_cast<int>(entry->index), nullptr, GlobalAllocCallback,
                                         GlobalFreeCallback, &record, nullptr),
                  0);
        EXPECT_EQ(record.size, 4u);
        GlobalFreeCallback(&record);
        // The plug-in's progress reaches the caller's callback with its context.
        int reports = 0;
        auto count = [](DWORD, DWORD, void* context) { ++*static_cast<int*>(context); };
        ASSERT_EQ(archive->LoadByName("readme.txt", GlobalAllocCallback, &record, count, &reports), 0);
        GlobalFreeCallback(&record);
        EXPECT_EQ(reports, 2);

        // Extraction writes the entry into a folder.
        EXPECT_EQ(archive->ExtractByName("README.TXT", "out", nullptr, nullptr), 0);
        EXPECT_EQ(dir.Read("out/readme.txt"), "read me");
        EXPECT_EQ(archive->ExtractByIndex(entry->index, dir.Windows("out").c_str(), nullptr, nullptr), 0);
        EXPECT_EQ(dir.Read("out/data.bin"), std::string("\0\1\2\3", 4));
        EXPECT_EQ(archive->ExtractByName("none", "out", nullptr, nullptr), 3);
        EXPECT_EQ(archive->ExtractByIndex(99, "out", nullptr, nullptr), 3);

        // The mounted archive keeps the library after its decoder is unloaded.
        files.UnloadDecoderType(3);
        EXPECT_TRUE(Mapped(std::string(variant) + "/archive.spi"));
        ASSERT_EQ(files.LoadFile("pack\\readme.txt", GlobalAllocCallback, GlobalFreeCallback, &record, nullptr), 0);
        GlobalFreeCallback(&record);
        files.Unmount(nullptr, 5, 0);
        EXPECT_FALSE(Mapped(std::string(variant) + "/archive.spi"));
    }
}

TEST_F(SpiTest, BuildRecordsSwitchAndDuplicateNames)
{
    dir.Write("src/one.txt", "1");
    dir.Write("src/two.txt", "2");
    if (!Tar(dir, "pack.tar", "src"))
        GTEST_SKIP() << "no tar";
    ASSERT_EQ(LoadSPIPlugin(Plugin("spi/archive.spi").c_str(), true, false), 0);
    PluginAssistFunc assist = files.FindDecoderByType(3);
    ASSERT_NE(assist, nullptr);
    DWORD on[2] = {0, 1};
    DWORD other[2] = {7, 1};
    EXPECT_EQ(assist(other), 5u);
    EXPECT_EQ(assist(nullptr), 5u);
    ASSERT_EQ(assist(on), 0u);
    ASSERT_EQ(files.Mount("pack.tar", 1, true, true, nullptr), 0);
    CArchive* archive = files.GetMountArchive(1, 0);
    const CArchiveEntryName* table = archive->GetEntryTable();
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(table[1].name, "two.txt");
    char name[MAX_PATH];
    EXPECT_EQ(archive->GetEntry(1, name), table[1].entry);
    EXPECT_STREQ(name, "two.txt");

    // A name appended a second time makes the archive unusable.
    std::filesystem::copy_file(dir.Linux("pack.tar"), dir.Linux("twice.tar"));
    ASSERT_TRUE(Tar(dir, "twice.tar", "src", "-rf"));
    EXPECT_EQ(files.Mount("twice.tar", 2, true, true, nullptr), 10);
}
