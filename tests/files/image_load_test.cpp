// The image buffer's loading: Load and LoadWithPalette from a file, a KPK entry and memory, with
// and without the picture cache; LoadFileAt's direct ELG path against its general path for every
// depth pair; the failure codes; ExportPixels read back by convert. Pictures are made by convert
// and by tessaro-tool's ELG encoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/kpk_writer.h"
#include "authoring/sample_pictures.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "gll_test_support.h"
#include "raster/image.h"

namespace {

using Bytes = std::vector<BYTE>;

int Tool(const std::string& args)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args + " 2>/dev/null";
    return std::system(command.c_str());
}

// A picture in several forms: the BMP convert wrote, its ELG, and convert's own reading of it.
struct Fixture {
    std::string name; // "p8", "p24", "p32"
    int depth = 0;
    Bytes bmp;
    Bytes elg;
    Bytes rgba; // convert's R, G, B, A bytes
};

constexpr int kW = 37;
constexpr int kH = 23;

// Few colours (an 8-bit BMP keeps them exactly) or full colour with soft alpha.
std::vector<uint32_t> Source(int depth)
{
    if (depth == 8) {
        std::vector<uint32_t> px(static_cast<size_t>(kW) * kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                px[static_cast<size_t>(y) * kW + x] = 0xFF000000u | ((x * 7 + y * 3) % 40) * 0x060301u;
        return px;
    }
    return depth == 32 ? samples::WithAlpha(kW, kH, 5) : samples::PhotoLike(kW, kH, 3);
}

class ImageLoadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures = new std::vector<Fixture>;
        if (!picture_test::HaveConvert())
            return;
        const std::string dir = picture_test::TempDir();
        const struct {
            int depth;
            const char* convertArgs;
        } forms[] = {{8, "-type palette BMP3:"}, {24, "-alpha off -type truecolor BMP3:"},
                     {32, "-define bmp3:alpha=true BMP3:"}};
        for (const auto& form : forms) {
            Fixture f;
            f.depth = form.depth;
            f.name = "p" + std::to_string(form.depth);
            const std::string pam = dir + "/load_" + f.name + ".pam";
            const std::string bmp = dir + "/load_" + f.name + ".bmp";
            const std::string elg = dir + "/load_" + f.name + ".elg";
            if (!picture_test::WritePam(pam, kW, kH, Source(form.depth)) ||
                !picture_test::RunConvert("'" + pam + "' " + form.convertArgs + "'" + bmp + "'") ||
                Tool("elg encode '" + bmp + "' '" + elg + "' --depth " + std::to_string(form.depth)) != 0)
                continue;
            f.bmp = picture_test::ReadAll(bmp);
            f.elg = picture_test::ReadAll(elg);
            f.rgba = picture_test::ConvertRgba(bmp);
            fixtures->push_back(f);
        }
    }
    static void TearDownTestSuite()
    {
        delete fixtures;
        fixtures = nullptr;
    }

    void SetUp() override
    {
        if (fixtures->size() != 3)
            GTEST_SKIP() << "convert is not installed";
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
        std::vector<KpkWriterEntry> entries;
        for (const Fixture& f : *fixtures) {
            dir.Write("loose/" + f.name + ".bmp", std::string(f.bmp.begin(), f.bmp.end()));
            dir.Write("loose/" + f.name + ".elg", std::string(f.elg.begin(), f.elg.end()));
            entries.push_back({"packed\\" + f.name + ".bmp", f.bmp});
            entries.push_back({"packed\\" + f.name + ".elg", f.elg});
        }
        std::string error;
        ASSERT_TRUE(WriteKpkArchive(dir.Windows("DATA.KPK"), entries, KpkWriterOptions{}, &error)) << error;
        ASSERT_EQ(files.Mount("DATA.KPK", -2, false, true, nullptr), 0);
    }
    void TearDown() override
    {
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
    }

    static uint32_t Px(const CImage& image, int x, int y)
    {
        uint32_t v;
        std::memcpy(&v, image.GetRowAddress(y) + 4 * x, 4);
        return v;
    }
    // The image's colours (and alpha when asked) equal convert's reading.
    static void ExpectPixels(const CImage& image, const Fixture& f, bool withAlpha)
    {
        ASSERT_EQ(image.GetWidth(), kW);
        ASSERT_EQ(image.GetHeight(), kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const BYTE* c = &f.rgba[(static_cast<size_t>(y) * kW + x) * 4];
                uint32_t want = static_cast<uint32_t>(c[0]) << 16 | c[1] << 8 | c[2];
                uint32_t got = image.GetBitsPerPixel() == 32 ? Px(image, x, y)
                                                              : image.GetPalette()[image.GetRowAddress(y)[x]];
                if (withAlpha)
                    want |= static_cast<uint32_t>(c[3]) << 24;
                else
                    got &= 0xFFFFFF;
                ASSERT_EQ(got, want) << f.name << " at " << x << "," << y;
            }
    }
    static bool Untouched(const CImage& image)
    {
        return !image.IsChanged() && (!image.GetUpdateRegion() || image.GetUpdateRegion()->Count() == 0);
    }

    static std::vector<Fixture>* fixtures;
    TempFolder dir;
    CFileManager files;
    CGllManager manager;
};
std::vector<Fixture>* ImageLoadTest::fixtures = nullptr;

TEST_F(ImageLoadTest, LoadGivesConvertsPixelsFromFilesArchivesAndMemory)
{
    for (const bool cached : {false, true}) {
        manager.SetCacheBudget(cached ? 64u << 20 : 0);
        for (const Fixture& f : *fixtures) {
            for (const char* kind : {".bmp", ".elg"}) {
                SCOPED_TRACE(f.name + kind + (cached ? " cached" : ""));
                const Bytes& bytes = std::string(kind) == ".bmp" ? f.bmp : f.elg;
                const std::string loose = "loose\\" + f.name + kind;
                const std::string packed = "packed\\" + f.name + kind;
                for (int source = 0; source < 3; ++source) {
                    CImage image;
                    const int code = source == 2 ? image.Load(nullptr, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                                              kImageWithTracker)
                                                 : image.Load((source == 0 ? loose : packed).c_str(), nullptr, 0,
                                                              kImageWithTracker);
                    ASSERT_EQ(code, 0) << "source " << source;
                    EXPECT_EQ(image.GetBitsPerPixel(), 32);
                    EXPECT_EQ(image.HasAlpha(), f.depth == 32);
                    ExpectPixels(image, f, f.depth == 32);
                    EXPECT_TRUE(image.IsChanged());
                    ASSERT_EQ(image.GetUpdateRegion()->Count(), 1);
                    EXPECT_EQ(image.GetUpdateRegion()->Bounds().right, kW);
                }
                if (f.depth == 8) {
                    CImage indexed;
                    ASSERT_EQ(indexed.LoadWithPalette(loose.c_str(), nullptr, 0, 0), 0);
                    EXPECT_EQ(indexed.GetBitsPerPixel(), 8);
                    ExpectPixels(indexed, f, false);
                }
            }
        }
    }
}

TEST_F(ImageLoadTest, CachedPictureIsReleasedOnEveryExit)
{
    manager.SetCacheBudget(64u << 20);
    const auto holders = [&](const char* name) {
        char path[MAX_PATH] = {};
        WIN32_FIND_DATAA found;
        files.FindFileOrEntry(path, name, &found);
        CLoadedPicture* picture = manager.LookupCachedImage(path);
        if (!picture)
            return -1;
        const int count = static_cast<int>(picture->m_refCount);
        picture->Release();
        return count - 1; // without the lookup's own reference
    };
    CImage image;
    ASSERT_EQ(image.Load("loose\\p24.elg", nullptr, 0, 0), 0);
    EXPECT_EQ(holders("loose\\p24.elg"), 0); // only the cache
    CImage small;
    ASSERT_EQ(small.Create(8, 8, 32, kImageWithTracker), 0);
    EXPECT_EQ(small.LoadFileAt("loose\\p32.elg", nullptr, 0, 100, 100, false), -1);
    EXPECT_EQ(holders("loose\\p32.elg"), 0);
    EXPECT_EQ(small.LoadFileAt("loose\\p32.elg", nullptr, 0, 2, 2, false), 0);
    EXPECT_EQ(holders("loose\\p32.elg"), 0);
}

// The direct ELG path (position 0, 0, the image's width) and the general one (another width or
// position) give the same pixels for every picture depth into 8- and 32-bit images.
TEST_F(ImageLoadTest, DirectAndGeneralPathsAgreeForEveryDepthPair)
{
    for (const Fixture& f : *fixtures) {
        for (const int bits : {8, 32}) {
            for (const bool withPalette : {false, true}) {
                SCOPED_TRACE(f.name + " into " + std::to_string(bits) + (withPalette ? " with palette" : ""));
                const auto* data = f.elg.data();
                const auto size = static_cast<uint32_t>(f.elg.size());
                CImage direct;
                ASSERT_EQ(direct.Create(kW, kH + 3, bits, kImageWithTracker), 0);
                direct.FillRect(9, 9, 9, nullptr);
                direct.SetChanged(false);
                direct.GetUpdateRegion()->Reset();
                ASSERT_EQ(direct.LoadFileAt(nullptr, data, size, 0, 0, withPalette), 0);
                EXPECT_EQ(direct.GetUpdateRegion()->Bounds().bottom, kH);
                for (const LONG shift : {0, 1}) {
                    CImage general;
                    ASSERT_EQ(general.Create(kW + 1, kH + 3, bits, kImageWithTracker), 0);
                    general.FillRect(9, 9, 9, nullptr);
                    ASSERT_EQ(general.LoadFileAt(nullptr, data, size, shift, 0, withPalette), 0);
                    for (int y = 0; y < kH + 3; ++y)
                        for (int x = 0; x + shift < kW + 1 && x < kW; ++x) {
                            const LONG a = direct.GetPixel(x, y);
                            const LONG b = general.GetPixel(x + shift, y);
                            if (bits == 8 && withPalette && f.depth == 8)
                                ASSERT_EQ(direct.GetPalette()[a], general.GetPalette()[b]) << x << "," << y;
                            else
                                ASSERT_EQ(a, b) << x << "," << y << " shift " << shift;
                        }
                }
            }
        }
    }
}

TEST_F(ImageLoadTest, LoadFileAtClipsAtTheEdges)
{
    const Fixture& f = (*fixtures)[2];
    CImage image;
    ASSERT_EQ(image.Create(20, 20, 32, kImageWithTracker), 0);
    image.FillRect32(0x12345678, nullptr);
    image.SetChanged(false);
    image.GetUpdateRegion()->Reset();
    ASSERT_EQ(image.LoadFileAt(nullptr, f.elg.data(), static_cast<uint32_t>(f.elg.size()), -30, 10, false), 0);
    const RECT& b = image.GetUpdateRegion()->Bounds();
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.top, 10);
    EXPECT_EQ(b.right, kW - 30);
    EXPECT_EQ(b.bottom, 20);
    EXPECT_EQ(image.GetPixel(kW - 30, 10), 0x12345678);
    EXPECT_EQ(image.GetPixel(0, 9), 0x12345678);
    const BYTE* c = &f.rgba[(0 * kW + 30) * 4];
    EXPECT_EQ(static_cast<uint32_t>(image.GetPixel(0, 10)),
              static_cast<uint32_t>(c[3]) << 24 | static_cast<uint32_t>(c[0]) << 16 | c[1] << 8 | c[2]);
}

TEST_F(ImageLoadTest, FailuresLeaveNothingTrackedOrChanged)
{
    const Fixture& f = (*fixtures)[1];
    Bytes truncated(f.elg.begin(), f.elg.begin() + static_cast<long>(f.elg.size() / 2));
    Bytes zeroSize = f.elg;
    zeroSize[4] = zeroSize[5] = 0;
    const Bytes shortHeader(f.elg.begin(), f.elg.begin() + 6);
    Bytes tooTall = f.elg; // height 60000: runs out long before, and never writes past the image
    tooTall[6] = 0x60;
    tooTall[7] = 0xEA;
    const struct {
        const char* what;
        const char* name;
        const Bytes* data;
        LONG x, y;
        int code;
    } cases[] = {
        {"no name nor data", nullptr, nullptr, 0, 0, 2},
        {"name not found", "loose\\none.elg", nullptr, 0, 0, 2},
        {"truncated, direct", nullptr, &truncated, 0, 0, 3},
        {"truncated, general", nullptr, &truncated, 3, 0, 3},
        {"size 0", nullptr, &zeroSize, 0, 0, 3},
        {"header shorter than its fields", nullptr, &shortHeader, 0, 0, 3},
        {"taller than the data", nullptr, &tooTall, 0, 0, 3},
        {"wholly outside", nullptr, &f.elg, 0, 40, -1},
        {"far outside", nullptr, &f.elg, INT32_MAX - 5, INT32_MIN + 5, -1},
    };
    for (const auto& c : cases) {
        for (const int bits : {8, 32}) {
            SCOPED_TRACE(std::string(c.what) + " into " + std::to_string(bits));
            CImage image;
            ASSERT_EQ(image.Create(kW, 30, bits, kImageWithTracker), 0);
            const BYTE* data = c.data ? c.data->data() : nullptr;
            const auto size = c.data ? static_cast<uint32_t>(c.data->size()) : 0u;
            EXPECT_EQ(image.LoadFileAt(c.name, data, size, c.x, c.y, true), c.code);
            EXPECT_TRUE(Untouched(image));
        }
    }
    CImage empty;
    EXPECT_EQ(empty.LoadFileAt(nullptr, f.elg.data(), static_cast<uint32_t>(f.elg.size()), 0, 0, false), 1);
    manager.SetCacheBudget(64u << 20);
    CImage image;
    EXPECT_EQ(image.Load("loose\\none.elg", nullptr, 0, kImageWithTracker), 4);
    EXPECT_EQ(image.Load(nullptr, truncated.data(), static_cast<uint32_t>(truncated.size()), kImageWithTracker), 3);
    EXPECT_TRUE(Untouched(image));
    g_pGllManager = nullptr;
    EXPECT_EQ(image.Load("loose\\p8.elg", nullptr, 0, 0), 1);
    ASSERT_EQ(image.Create(4, 4, 32, 0), 0);
    EXPECT_EQ(image.LoadFileAt("loose\\p8.elg", nullptr, 0, 0, 0, false), 3);
    EXPECT_EQ(image.ExportPixels("x.bmp", 0, 0), 1);
}

TEST_F(ImageLoadTest, ExportedPixelsReadBackByConvert)
{
    for (const int index : {0, 2}) {
        const Fixture& f = (*fixtures)[static_cast<size_t>(index)];
        CImage image;
        ASSERT_EQ(index == 0 ? image.LoadWithPalette("loose\\p8.bmp", nullptr, 0, 0)
                             : image.Load("loose\\p32.bmp", nullptr, 0, 0),
                  0);
        const std::string out = dir.Windows("out_" + f.name + ".bmp");
        ASSERT_EQ(image.ExportPixels(out.c_str(), 0, 0), 0);
        const Bytes back = picture_test::ConvertRgba(dir.Linux("out_" + f.name + ".bmp"));
        ASSERT_EQ(back.size(), f.rgba.size());
        for (size_t i = 0; i < back.size(); i += 4)
            ASSERT_TRUE(back[i] == f.rgba[i] && back[i + 1] == f.rgba[i + 1] && back[i + 2] == f.rgba[i + 2])
                << "pixel " << i / 4;
    }
    CImage empty;
    EXPECT_EQ(empty.ExportPixels("x.bmp", 0, 0), -4);
}

}  // namespace
