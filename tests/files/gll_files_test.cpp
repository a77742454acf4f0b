// The image-loader manager over the file manager: loads by name (extension first, then header),
// the picture cache keyed by resolved path, saving, and GLL plug-ins built as shared objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"
#include "files/bmp_loader.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/map_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "gll_test_support.h"

namespace {

using picture_test::Target;
using Bytes = std::vector<BYTE>;

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes ElgOf(const std::vector<uint32_t>& px, int width, int height, int depth)
{
    elg::Picture p;
    std::string error;
    EXPECT_TRUE(elg::PictureFromPixels(width, height, px.data(), depth, p, &error)) << error;
    Bytes out;
    EXPECT_TRUE(elg::Encode(p, elg::Options{}, out, &error)) << error;
    return out;
}

class GllFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new MapDecoder, "MAP\0", "Map archive", 7, nullptr, nullptr, nullptr);
        g_pFileManager = &files;
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
    }
    void TearDown() override { g_pFileManager = nullptr; }

    int Load(const char* name, Target& t, int* x = nullptr)
    {
        return manager.LoadImage(name, Target::Allocate, nullptr, &t, FALSE, nullptr, nullptr, x, nullptr, nullptr,
                                 nullptr);
    }

    TempFolder dir;
    CFileManager files;
    CGllManager manager;
};

TEST_F(GllFilesTest, LoadsByExtensionThenByHeader)
{
    const auto px = samples::PhotoLike(16, 8, 1);
    const Bytes elgFile = ElgOf(px, 16, 8, 24);
    dir.Write("bg/title.elg", AsString(elgFile));
    dir.Write("bg/misnamed.bmp", AsString(elgFile));  // an ELG under a BMP name
    dir.Write("bg/noext", AsString(elgFile));
    dir.Write("bg/unlisted.xyz", AsString(elgFile));
    for (const char* name : {"BG\\Title.ELG", "bg\\misnamed.bmp", "bg/noext", "bg/unlisted.xyz"}) {
        Target t;
        ASSERT_EQ(Load(name, t), kGllOk) << name;
        EXPECT_EQ(t.Pixel32(15, 7), px[127] & 0xFFFFFF) << name;
    }
    Target t;
    EXPECT_EQ(Load("bg\\missing.elg", t), kGllFileError);
    dir.Write("junk.elg", "not a picture at all");
    EXPECT_EQ(Load("junk.elg", t), kGllNotSupported);
}

// A loader that only makes pictures (its Load answers "use the picture path"), handing on the
// BMP loader's bitmap; it recognises no header, so the load by header goes to the BMP loader.
class PictureOnlyBmp : public CBmpLoader {
public:
    bool IsSupported(const BYTE* header, DWORD size, const char* name) override
    {
        return recognise && CBmpLoader::IsSupported(header, size, name);
    }
    int Load(const BYTE*, DWORD, GllAllocateFunc, void*, BOOL, GllProgressFunc, void*) override
    {
        return kGllUseLoadPicture;
    }
    bool recognise = false;
};

// The picture path allocates and then fails (the memory handed out is too narrow): that memory
// is released before the load by header allocates again (it used to be allocated twice with no
// release in between), and a failure that ends the load releases it too.
TEST_F(GllFilesTest, AFailedPicturePathReleasesWhatItAllocated)
{
    ASSERT_EQ(manager.Register(new PictureOnlyBmp, "PBM\0", "pictures only", 40, nullptr, nullptr, nullptr), 0);
    // 2 x 2, 24-bit.
    Bytes bmp(54, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    picture_test::PutLe32(bmp, 10, 54);
    picture_test::PutLe32(bmp, 14, 40);
    picture_test::PutLe32(bmp, 18, 2);
    picture_test::PutLe32(bmp, 22, 2);
    bmp[26] = 1;
    bmp[28] = 24;
    bmp.insert(bmp.end(), {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
    picture_test::PutLe32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    dir.Write("pic.pbm", AsString(bmp));

    struct Counter {
        Target t;
        int allocations = 0;
        int releases = 0;
        int narrow = 1;  // this many first allocations answer a pitch too small
    };
    auto allocate = [](int w, int h, int b, BOOL a, int* pitch, BYTE** palette, void* user) -> void* {
        auto* c = static_cast<Counter*>(user);
        ++c->allocations;
        void* memory = Target::Allocate(w, h, b, a, pitch, palette, &c->t);
        if (c->allocations <= c->narrow)
            *pitch = 1;
        return memory;
    };
    auto release = [](void* user) { ++static_cast<Counter*>(user)->releases; };
    Counter c;
    ASSERT_EQ(manager.LoadImage("pic.pbm", allocate, release, &c, FALSE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr),
              kGllOk);
    EXPECT_EQ(c.allocations, 2);
    EXPECT_EQ(c.releases, 1);
    EXPECT_EQ(c.t.Pixel32(0, 0) & 0xFFFFFF, 0xFF0000u);

    CGllManager onlyPictures;
    auto* recognising = new PictureOnlyBmp;
    recognising->recognise = true;
    ASSERT_EQ(onlyPictures.Register(recognising, "PBM\0", "pictures only", 40, nullptr, nullptr, nullptr), 0);
    Counter d;
    d.narrow = 99;
    EXPECT_EQ(onlyPictures.LoadImageFromMemory(bmp.data(), static_cast<DWORD>(bmp.size()), allocate, release, &d,
                                               FALSE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              kGllBadData);
    EXPECT_EQ(d.allocations, 1);
    EXPECT_EQ(d.releases, 1);
}

TEST_F(GllFilesTest, CacheKeysIdentifyArchiveEntries)
{
    // Two pictures only an archive holds, with bytes the map archive can carry (no tab, no
    // newline): they must not share a cache entry.
    const std::string a = std::string("ELG\x18\x01\x00\x01\x00\x00\x11\x12\x13\xFF", 13);
    const std::string b = std::string("ELG\x18\x01\x00\x01\x00\x00\x21\x22\x23\xFF", 13);
    dir.Write("pics.map", "MAP\na.elg\t" + a + "\nb.elg\t" + b + "\n");
    ASSERT_EQ(files.Mount("pics.map", 3, false, true, nullptr), 0);
    manager.SetCacheBudget(1 << 20);
    CLoadedPicture* pa = manager.GetOrLoadCachedImage("a.elg");
    CLoadedPicture* pb = manager.GetOrLoadCachedImage("b.elg");
    ASSERT_NE(pa, nullptr);
    ASSERT_NE(pb, nullptr);
    EXPECT_NE(pa, pb);
    EXPECT_EQ(pa->GetBits()[0], 0x11);
    EXPECT_EQ(pb->GetBits()[0], 0x21);
    EXPECT_EQ(manager.GetCache().GetCount(), 2u);
    CLoadedPicture* again = manager.GetOrLoadCachedImage("A.ELG");
    EXPECT_EQ(again, pa);
    EXPECT_EQ(pa->m_refCount, 2u);  // the cache's, the first caller's, the second one's
    for (CLoadedPicture* p : {pa, pb, again})
        p->Release();
}

TEST_F(GllFilesTest, PreloadLeavesThePictureWithTheCacheAlone)
{
    dir.Write("sp.elg", AsString(ElgOf(samples::InterfacePart(8, 8, 2), 8, 8, 8)));
    EXPECT_EQ(manager.PreloadCachedImage("sp.elg"), 1);  // cache off
    CLoadedPicture* uncached = manager.GetOrLoadCachedImage("sp.elg");
    ASSERT_NE(uncached, nullptr);
    EXPECT_EQ(uncached->m_refCount, 0u);
    uncached->Release();

    manager.SetCacheBudget(1 << 20);
    EXPECT_EQ(manager.PreloadCachedImage("sp.elg"), 0);
    EXPECT_EQ(manager.PreloadCachedImage("none.elg"), 2);
    ASSERT_EQ(manager.GetCache().GetCount(), 1u);
    EXPECT_EQ(manager.GetCache().GetNewest()->value->m_refCount, 0u);
    EXPECT_EQ(manager.GetCache().m_total, manager.GetCache().GetNewest()->value->m_pictureSize);
}

TEST_F(GllFilesTest, SavesThroughALoaderThatCanWrite)
{
    const int w = 5;
    const int h = 3;
    const auto px = samples::WithAlpha(w, h, 8);
    ASSERT_EQ(manager.SaveImage("Shot.bmp", 1, px.data(), w, h, 32, w * 4, nullptr, 0, nullptr, nullptr), 0);
    Target t;
    ASSERT_EQ(Load("Shot.bmp", t), kGllOk);
    EXPECT_TRUE(t.hasAlpha);
    EXPECT_EQ(t.Pixel32(4, 2), px[14]);
    // No loader that can save ELG; the ELG loader by type cannot write, and its file is removed.
    EXPECT_EQ(manager.SaveImage("shot.elg", 0, px.data(), w, h, 32, w * 4, nullptr, 0, nullptr, nullptr), 1);
    EXPECT_EQ(manager.SaveImage("shot2.bmp", 0, px.data(), w, h, 32, w * 4, nullptr, 2, nullptr, nullptr),
              kGllUseLoadPicture);
    EXPECT_FALSE(dir.Exists("shot2.bmp"));
    EXPECT_EQ(manager.SaveImage("bad.bmp", 0, px.data(), w, h, 16, w * 4, nullptr, 0, nullptr, nullptr), kGllBadData);
    EXPECT_FALSE(dir.Exists("bad.bmp"));
}

// Plug-ins -------------------------------------------------------------------------------------

// Builds the sample plug-in with extra compiler flags into dir/name → false when no compiler.
bool BuildPlugin(const TempFolder& dir, const std::string& name, const std::string& flags)
{
    std::filesystem::create_directories(std::filesystem::path(dir.Linux(name)).parent_path());
    const std::string command = "c++ -std=c++17 -shared -fPIC -O1 " + flags + " -o '" + dir.Linux(name) + "' '"
                                + TESSARO_SOURCE_DIR + "/tests/files/gll_sample_plugin.cc' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST_F(GllFilesTest, LoadsPluginsFromAFolderOfSharedObjects)
{
    if (!BuildPlugin(dir, "plugin/sample.GLL", "") || !BuildPlugin(dir, "plugin/second.GLL", "")
        || !BuildPlugin(dir, "plugin/broken.GLL", "-DWITHOUT_ASSIST2")
        || !BuildPlugin(dir, "nullobject.gll", "-DNULL_OBJECT"))
        GTEST_SKIP() << "no C++ compiler to build the sample plug-in";
    dir.Write("plugin/readme.txt", "not a plug-in");
    EXPECT_EQ(manager.LoadFolder("plugin"), 1);  // the one without GllAssistFunc2
    std::string up;
    for (int i = 0; i < 40; ++i)
        up += "..\\";
    EXPECT_EQ(manager.LoadFolder(up.c_str()), -1);
    EXPECT_EQ(manager.LoadPlugin((up + "x.gll").c_str()), 1);
    EXPECT_EQ(manager.LoadPlugin("nullobject.gll"), 4);
    EXPECT_EQ(manager.LoadPlugin("missing.gll"), 2);
    EXPECT_EQ(manager.LoadPlugin("plugin\\readme.txt"), 2);

    // The plug-in claims "TST" and "ELG"; the built-in ELG loader registered first keeps "ELG".
    CImageLoader* plugin = manager.FindByExtension("x.tst", false);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(manager.FindPluginByType(77), plugin);
    EXPECT_EQ(manager.FindByExtension("x.elg", false), manager.FindPluginByType(2));
    EXPECT_EQ(manager.GetAssistFunc2ByType(77)(nullptr), 2u);

    std::string tst = "TST";
    tst += static_cast<char>(2);
    tst += static_cast<char>(1);
    const uint32_t pixels[2] = {0x80112233, 0xFF445566};
    tst.append(reinterpret_cast<const char*>(pixels), sizeof(pixels));
    dir.Write("pic.tst", tst);
    Target t;
    int x = 0;
    ASSERT_EQ(Load("pic.tst", t, &x), kGllOk);
    EXPECT_EQ(t.Pixel32(0, 0), 0x80112233u);
    EXPECT_EQ(t.Pixel32(1, 0), 0xFF445566u);
    EXPECT_EQ(x, 21);

    manager.UnloadType(77);
    EXPECT_EQ(manager.FindByExtension("x.tst", false), nullptr);
    EXPECT_NE(manager.FindPluginByType(2), nullptr);
}

}  // namespace
