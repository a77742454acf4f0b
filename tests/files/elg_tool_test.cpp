// tessaro-tool elg encode and image decode on a BMP written by convert: every depth, header form
// and the every-opcode mode decode back to convert's own pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/sample_pictures.h"
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

}  // namespace
