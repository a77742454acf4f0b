// tessaro-tool elg encode and image decode on a BMP written by convert: every depth, header form
// and the every-opcode mode decode back to convert's own pixels; PNG and the BMP headers the
// engine does not read (ImageMagick's defaults among them) are read by the tools, and a file
// they refuse is refused with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/picture_io.h"
#include "authoring/sample_pictures.h"
#include "files/elg_loader.h"
#include "gll_test_support.h"

namespace {

int Tool(const std::string& args)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args + " 2>/dev/null";
    return std::system(command.c_str());
}

TEST(ElgTool, EncodesAnyReadablePictureAndDecodesItBack)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    const std::string source = dir + "/tool_source.pam";
    ASSERT_TRUE(picture_test::WritePam(source, 41, 27, samples::InterfacePart(41, 27, 6)));
    const std::string bmp = dir + "/tool_source.bmp";
    ASSERT_TRUE(picture_test::RunConvert("'" + source + "' -alpha off -type truecolor BMP3:'" + bmp + "'"));
    const std::vector<BYTE> expected = picture_test::ConvertRgba(bmp);
    ASSERT_EQ(expected.size(), 41u * 27 * 4);

    const char* options[] = {"", "--depth 8", "--depth 24 --variant 1", "--depth 32 --variant 2 --every-opcode",
                             "--depth 8 --every-opcode"};
    int index = 0;
    for (const char* option : options) {
        SCOPED_TRACE(option);
        const std::string elg = dir + "/tool_" + std::to_string(index) + ".elg";
        const std::string back = dir + "/tool_" + std::to_string(index++) + ".bmp";
        ASSERT_EQ(Tool("elg encode '" + bmp + "' '" + elg + "' " + option), 0);
        ASSERT_EQ(Tool("image decode '" + elg + "' '" + back + "'"), 0);
        const std::vector<BYTE> got = picture_test::ConvertRgba(back);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); i += 4)
            ASSERT_TRUE(got[i] == expected[i] && got[i + 1] == expected[i + 1] && got[i + 2] == expected[i + 2])
                << "pixel " << i / 4;
    }
    // Errors are reported, not crashed on.
    EXPECT_NE(Tool("elg encode '" + dir + "/missing.bmp' '" + dir + "/x.elg'"), 0);
    EXPECT_NE(Tool("image decode '" + source + "' '" + dir + "/x.bmp'"), 0);  // PAM: no loader
    EXPECT_NE(Tool("elg encode '" + bmp + "' '" + dir + "/x.elg' --depth 16"), 0);
}

TEST(ElgTool, ReadsPngAndTheBmpHeadersImageMagickWrites)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    const std::string source = dir + "/other_source.pam";
    std::vector<uint32_t> part = samples::InterfacePart(23, 9, 11);
    for (size_t i = 0; i < part.size(); ++i) // every level of alpha, 0 and 255 among them
        part[i] = (part[i] & 0xFFFFFFu) | static_cast<uint32_t>(i * 37 % 256) << 24 | (i % 7 == 0 ? 0xFF000000u : 0);
    ASSERT_TRUE(picture_test::WritePam(source, 23, 9, part));
    struct Case {
        const char* what;
        const char* convert; // options, then the output's format prefix and name
        const char* file;
        int tolerance;       // convert widens 5- and 6-bit channels by repeating bits
        bool alpha;
    };
    const Case cases[] = {
        {"PNG", "-alpha off", "opaque.png", 0, false},
        {"PNG with alpha", "", "alpha.png", 0, true},
        {"default BMP (v5, 24-bit)", "-alpha off", "BMP:v5.bmp", 0, false},
        {"default BMP with alpha (v5, 32-bit BITFIELDS)", "", "BMP:v5a.bmp", 0, true},
        {"v5, 16-bit RGB565 BITFIELDS", "-alpha off -define bmp:subtype=RGB565", "BMP:v5_565.bmp", 1, false},
        {"v5, 4-bit palette", "-alpha off -colors 16", "BMP:v5_16.bmp", 0, false},
        {"v5, RLE8", "-alpha off -type palette -compress RLE", "BMP:v5_rle.bmp", 0, false},
        {"v4, 1-bit", "-alpha off -monochrome", "BMP:v4_mono.bmp", 0, false},
        {"v4, grey", "-alpha off -type grayscale", "BMP:v4_grey.bmp", 0, false},
        {"core header (BMP2)", "-alpha off", "BMP2:core.bmp", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = c.file;
        const size_t colon = file.find(':');
        const std::string path = dir + "/" + (colon == std::string::npos ? file : file.substr(colon + 1));
        const std::string target = colon == std::string::npos ? path : file.substr(0, colon + 1) + path;
        ASSERT_TRUE(picture_test::RunConvert("'" + source + "' " + c.convert + " '" + target + "'"));
        const std::vector<BYTE> expected = picture_test::ConvertRgba(path);
        ASSERT_EQ(expected.size(), 23u * 9 * 4);
        pictures::Decoded got;
        std::string error;
        ASSERT_TRUE(pictures::DecodeFile(path, got, &error)) << error;
        ASSERT_EQ(got.width, 23);
        ASSERT_EQ(got.height, 9);
        EXPECT_EQ(got.hasAlpha, c.alpha);
        for (size_t i = 0; i < got.pixels.size(); ++i) {
            const uint32_t p = got.pixels[i];
            const int channels[4] = {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255),
                                     static_cast<int>(p & 255), static_cast<int>(p >> 24)};
            for (int k = 0; k < 4; ++k)
                ASSERT_LE(std::abs(channels[k] - expected[4 * i + k]), c.tolerance) << "pixel " << i << " channel " << k;
        }
        const std::string elg = dir + "/other.elg";
        EXPECT_EQ(Tool("elg encode '" + path + "' '" + elg + "'"), 0);
    }
}

TEST(ElgTool, SaysWhyAPictureIsRefused)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    ASSERT_TRUE(picture_test::RunConvert("-size 9x5 xc:red -type truecolor BMP:'" + dir + "/good.bmp'"));
    ASSERT_TRUE(picture_test::RunConvert("-size 9x5 xc:red '" + dir + "/good.png'"));
    const std::vector<BYTE> bmp = picture_test::ReadAll(dir + "/good.bmp");
    const std::vector<BYTE> png = picture_test::ReadAll(dir + "/good.png");
    ASSERT_GT(bmp.size(), 200u);
    ASSERT_GT(png.size(), 40u);
    auto changed = [](std::vector<BYTE> bytes, size_t at, std::vector<BYTE> with) {
        for (size_t i = 0; i < with.size(); ++i)
            bytes[at + i] = with[i];
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"BMP cut in its header", std::vector<BYTE>(bmp.begin(), bmp.begin() + 60), "ends inside its 124-byte header"},
        {"BMP cut in its pixels", std::vector<BYTE>(bmp.begin(), bmp.end() - 20), "ends inside its pixels"},
        {"BMP header of 99 bytes", changed(bmp, 14, {99, 0, 0, 0}), "a header of 99 bytes"},
        {"BMP of JPEG data", changed(bmp, 30, {4, 0, 0, 0}), "24-bit JPEG pixels are not read"},
        {"BMP too wide", changed(bmp, 18, {0, 0, 1, 0}), "65536x5 is not a size"},
        {"PNG cut short", std::vector<BYTE>(png.begin(), png.begin() + 30), "PNG: "},
        {"text", {'h', 'e', 'l', 'l', 'o'}, "not a picture the tools read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(picture_test::WriteAll(dir + "/bad", c.bytes));
        const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + dir +
                                    "/bad' '" + dir + "/bad.elg' 2>'" + dir + "/bad.txt'";
        EXPECT_EQ(std::system(command.c_str()), 1 << 8);
        const std::vector<BYTE> said = picture_test::ReadAll(dir + "/bad.txt");
        const std::string text(said.begin(), said.end());
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    }
}

// --pos gives the header a placement (variant 1, or 2 with blocks), each --ext one chain block in
// order; bad values are refused before anything is written.
TEST(ElgTool, WritesPlacementAndExtensionBlocks)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    const std::string png = dir + "/placed.png";
    ASSERT_TRUE(picture_test::RunConvert("-size 5x4 xc:blue '" + png + "'"));
    ASSERT_TRUE(picture_test::WriteAll(dir + "/table.bin", {1, 0, 2, 0, 0xFB, 0xFF}));
    ASSERT_TRUE(picture_test::WriteAll(dir + "/empty.bin", {}));
    struct Case {
        std::string options;
        int variant, x, y;
        std::vector<BYTE> chain;
    };
    const Case cases[] = {
        {"--pos 12,-7", 1, 12, -7, {}},
        {"--pos -32768,32767 --variant 2", 2, -32768, 32767, {}},
        {"--pos 3,4 --ext 7:'" + dir + "/table.bin'", 2, 3, 4, {7, 10, 0, 0, 0, 1, 0, 2, 0, 0xFB, 0xFF}},
        {"--ext 0x20:'" + dir + "/empty.bin' --ext 9:'" + dir + "/table.bin'", 2, 0, 0,
         {0x20, 4, 0, 0, 0, 9, 10, 0, 0, 0, 1, 0, 2, 0, 0xFB, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string elg = dir + "/placed.elg";
        ASSERT_EQ(Tool("elg encode '" + png + "' '" + elg + "' " + c.options), 0);
        const std::vector<BYTE> bytes = picture_test::ReadAll(elg);
        ASSERT_GT(bytes.size(), 4u);
        EXPECT_EQ(bytes[3], c.variant);
        ElgHeader header;
        ASSERT_EQ(ParseElgHeader(bytes.data(), static_cast<DWORD>(bytes.size()), header), 0);
        EXPECT_EQ(header.x, c.x);
        EXPECT_EQ(header.y, c.y);
        ASSERT_EQ(header.chainSize, c.chain.size());
        EXPECT_TRUE(std::equal(c.chain.begin(), c.chain.end(), bytes.begin() + header.chainOffset));
    }
    for (const char* bad : {"--pos 1", "--pos 1,", "--pos 40000,0", "--ext 0:x", "--ext 256:x", "--ext 5",
                            "--ext 5:/nonexistent/file"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(Tool("elg encode '" + png + "' '" + dir + "/bad.elg' " + bad), 0);
    }
}

}  // namespace
