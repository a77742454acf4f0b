// The image-loader manager: registration and lookup, loads into caller memory and through
// pictures, and the picture cache with its budget.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"
#include "files/bmp_loader.h"
#include "files/elg_loader.h"
#include "files/gll_manager.h"
#include "gll_test_support.h"
#include "winapi/gdi.h"

namespace {

using picture_test::Target;
using Bytes = std::vector<BYTE>;

Bytes ElgFile(int depth, int width, int height, int variant = 0, Bytes extension = {})
{
    elg::Picture p;
    std::string error;
    const auto px = depth == 8 ? samples::InterfacePart(width, height, 5) : samples::WithAlpha(width, height, 5);
    EXPECT_TRUE(elg::PictureFromPixels(width, height, px.data(), depth, p, &error));
    p.x = 12;
    p.y = -7;
    p.extension = std::move(extension);
    Bytes out;
    elg::Options options;
    options.variant = variant;
    EXPECT_TRUE(elg::Encode(p, options, out, &error));
    return out;
}

// A loader that only makes pictures (Load answers -2), as many plug-ins do: it hands the BMP
// loader's bitmap on.
class PictureOnlyLoader : public CImageLoader {
public:
    bool IsSupported(const BYTE* header, DWORD size, const char*) override
    {
        return size >= 2 && header[0] == 'B' && header[1] == 'M';
    }
    int Load(const BYTE*, DWORD, GllAllocateFunc, void*, BOOL, GllProgressFunc, void*) override
    {
        return kGllUseLoadPicture;
    }
    int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits, GllProgressFunc,
                    void*) override
    {
        const int code = bmp.LoadPicture(data, size, outInfo, outBits, nullptr, nullptr);
        m_pictureSize = bmp.m_pictureSize;
        m_stride = bmp.m_stride;
        m_x = 3;
        m_y = 4;
        m_extraData = std::malloc(3);
        std::memcpy(m_extraData, "xyz", 3);
        m_extraSize = 3;
        return code;
    }
    int Save(int, const void*, int, int, int, int, GllWriteFunc, void*, const BYTE*, GllProgressFunc, void*) override
    {
        return kGllUseLoadPicture;
    }
    CBmpLoader bmp;
};

// The same bitmap handed on top-down (negative height), as some plug-ins make them.
class TopDownPictureLoader : public PictureOnlyLoader {
public:
    int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits, GllProgressFunc progress,
                    void* user) override
    {
        const int code = PictureOnlyLoader::LoadPicture(data, size, outInfo, outBits, progress, user);
        if (code != kGllOk || outInfo == nullptr)
            return code;
        auto* h = static_cast<BITMAPINFOHEADER*>(*outInfo);
        auto* bits = static_cast<BYTE*>(*outBits);
        std::vector<BYTE> row(m_stride);
        for (LONG top = 0, bottom = h->biHeight - 1; top < bottom; ++top, --bottom) {
            std::memcpy(row.data(), bits + m_stride * top, m_stride);
            std::memcpy(bits + m_stride * top, bits + m_stride * bottom, m_stride);
            std::memcpy(bits + m_stride * bottom, row.data(), m_stride);
        }
        h->biHeight = -h->biHeight;
        return code;
    }
};

// Counts the loaders destroyed, to check unloading releases them.
struct CountingLoader : public CElgLoader {
    explicit CountingLoader(int* destroyed) : destroyed_(destroyed) {}
    ~CountingLoader() override { ++*destroyed_; }
    int* destroyed_;
};

TEST(GllManager, FindsLoadersByExtensionAndHeader)
{
    CGllManager manager;
    ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
    CImageLoader* bmp = manager.FindPluginByType(1);
    CImageLoader* elgLoader = manager.FindPluginByType(2);
    ASSERT_NE(bmp, nullptr);
    ASSERT_NE(elgLoader, nullptr);
    EXPECT_EQ(manager.FindByExtension("bg\\Title.elg", false), elgLoader);
    EXPECT_EQ(manager.FindByExtension("a.BMP", true), bmp);
    EXPECT_EQ(manager.FindByExtension("a.elg", true), nullptr);  // ELG cannot save
    EXPECT_EQ(manager.FindByExtension("a.png", false), nullptr);
    EXPECT_EQ(manager.FindByExtension("noextension", false), nullptr);
    const Bytes elgFile = ElgFile(24, 3, 3);
    EXPECT_EQ(manager.FindSupporting(elgFile.data(), static_cast<DWORD>(elgFile.size()), nullptr), elgLoader);
    const BYTE bm[] = {'B', 'M'};
    EXPECT_EQ(manager.FindSupporting(bm, 2, nullptr), bmp);
    EXPECT_EQ(manager.FindSupporting(bm, 1, nullptr), nullptr);
    EXPECT_EQ(manager.Register(nullptr, "X\0", "x", 9, nullptr, nullptr, nullptr), 1);

    // Two loaders claiming one extension: the first registered wins; unloading a shared type id
    // removes both and releases their loaders.
    int destroyed = 0;
    auto* first = new CountingLoader(&destroyed);
    auto* second = new CountingLoader(&destroyed);
    auto assist2 = [](void*) -> DWORD { return 42; };
    ASSERT_EQ(manager.Register(first, "PIC\0ELG\0", "first", 7, nullptr, assist2, nullptr), 0);
    ASSERT_EQ(manager.Register(second, "PIC\0", "second", 7, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(manager.FindByExtension("x.pic", false), first);
    EXPECT_EQ(manager.FindByExtension("x.elg", false), elgLoader);  // built-in registered first
    EXPECT_EQ(manager.GetAssistFunc2ByType(7)(nullptr), 42u);
    EXPECT_EQ(manager.GetAssistFunc2ByType(8), nullptr);
    manager.UnloadType(7);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(manager.FindByExtension("x.pic", false), nullptr);
    EXPECT_EQ(manager.FindPluginByType(2), elgLoader);
}

TEST(GllManager, LoadsFromMemoryWithOutputs)
{
    CGllManager manager;
    RegisterBuiltinImageLoaders(manager);
    const Bytes chain = {9, 5, 0, 0, 0, 'q'};
    const Bytes file = ElgFile(32, 9, 4, 2, chain);
    Target t;
    int x = 0;
    int y = 0;
    void* extra = nullptr;
    DWORD extraSize = 0;
    ASSERT_EQ(manager.LoadImageFromMemory(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, nullptr, &t,
                                          FALSE, nullptr, nullptr, "pic.xyz", &x, &y, &extra, &extraSize),
              kGllOk);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, -7);
    ASSERT_EQ(extraSize, chain.size());
    EXPECT_EQ(Bytes(static_cast<BYTE*>(extra), static_cast<BYTE*>(extra) + extraSize), chain);
    std::free(extra);
    EXPECT_EQ(t.Pixel32(8, 3), samples::WithAlpha(9, 4, 5)[35]);

    // A recognised file that cannot be loaded answers the loader's code and releases the memory.
    Bytes broken = file;
    broken.resize(broken.size() - 2);
    struct Counter {
        Target t;
        int released = 0;
    } counter;
    auto alloc = [](int w, int h, int b, BOOL a, int* p, BYTE** pal, void* user) {
        return Target::Allocate(w, h, b, a, p, pal, &static_cast<Counter*>(user)->t);
    };
    auto onRelease = [](void* user) { ++static_cast<Counter*>(user)->released; };
    EXPECT_EQ(manager.LoadImageFromMemory(broken.data(), static_cast<DWORD>(broken.size()), alloc, onRelease, &counter,
                                          FALSE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              kGllBadData);
    EXPECT_EQ(counter.released, 1);
    const BYTE junk[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(manager.LoadImageFromMemory(junk, 5, alloc, onRelease, &counter, FALSE, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr),
              kGllNotSupported);
}

Bytes SmallBmp()
{
    // 2 x 2, 24-bit, bottom-up: bottom row blue, white; top row red, green.
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    picture_test::PutLe32(b, 10, 54);
    picture_test::PutLe32(b, 14, 40);
    picture_test::PutLe32(b, 18, 2);
    picture_test::PutLe32(b, 22, 2);
    b[26] = 1;
    b[28] = 24;
    b.insert(b.end(), {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
    picture_test::PutLe32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

TEST(GllManager, LoadsThroughPicturesForLoadersWithoutLoad)
{
    CGllManager manager;
    manager.Register(new PictureOnlyLoader, "PBM\0", "pictures only", 40, nullptr, nullptr, nullptr);
    manager.SetCacheBudget(1 << 20);
    const Bytes file = SmallBmp();
    Target t;
    int x = 0;
    void* extra = nullptr;
    DWORD extraSize = 0;
    ASSERT_EQ(manager.LoadImageFromMemory(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, nullptr, &t,
                                          FALSE, nullptr, nullptr, "Pics\\One.pbm", &x, nullptr, &extra, &extraSize),
              kGllOk);
    EXPECT_EQ(t.bits, 32);
    EXPECT_EQ(t.Pixel32(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(t.Pixel32(1, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(t.Pixel32(0, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(x, 3);
    // The cache holds the picture, so the caller gets a copy of its extension data.
    ASSERT_EQ(extraSize, 3u);
    EXPECT_EQ(std::memcmp(extra, "xyz", 3), 0);
    std::free(extra);
    CLoadedPicture* cached = manager.LookupCachedImage("pics\\one.PBM");
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->GetExtraSize(), 3u);
    cached->Release();

    Target gray;
    ASSERT_EQ(manager.LoadImageFromMemory(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, nullptr,
                                          &gray, TRUE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              kGllOk);
    EXPECT_EQ(gray.bits, 8);
    EXPECT_EQ(gray.Pixel8(1, 1), (29 * 255 + 150 * 255 + 77 * 255) >> 8);

    CGllManager topDown;
    topDown.Register(new TopDownPictureLoader, "PBM\0", "top-down pictures", 41, nullptr, nullptr, nullptr);
    Target t2;
    ASSERT_EQ(topDown.LoadImageFromMemory(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, nullptr,
                                          &t2, FALSE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              kGllOk);
    EXPECT_EQ(t2.height, 2);
    EXPECT_EQ(t2.Pixel32(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(t2.Pixel32(0, 1) & 0xFFFFFF, 0x0000FFu);
}

// A picture of a claimed size with no pixels, counting its destruction.
struct FakePicture : CLoadedPicture {
    FakePicture(uint64_t size, int* destroyed) : destroyed_(destroyed) { m_pictureSize = static_cast<DWORD>(size); }
    ~FakePicture() override { ++*destroyed_; }
    int* destroyed_;
};

TEST(GllCache, BudgetAndEviction)
{
    constexpr uint64_t kMb = 1024 * 1024;
    EXPECT_EQ(CGllManager::ComputeCacheBudget(-1, 1024 * kMb), 80 * kMb);
    EXPECT_EQ(CGllManager::ComputeCacheBudget(100, 1024 * kMb), 100 * kMb);
    EXPECT_EQ(CGllManager::ComputeCacheBudget(2000, 1024 * kMb), 512 * kMb);
    EXPECT_EQ(CGllManager::ComputeCacheBudget(-1, 96 * kMb), 0u);
    EXPECT_EQ(CGllManager::ComputeCacheBudget(-1, 128 * kMb), 10 * kMb);
    EXPECT_EQ(CGllManager::ComputeCacheBudget(-1, 300 * kMb), 64 * kMb);
    // Budgets of 4 GB and more do not wrap.
    EXPECT_EQ(CGllManager::ComputeCacheBudget(6000, 64 * 1024 * kMb), 6000 * kMb);

    // From the machine's own memory: a small setting is taken as it is, 0 turns the cache off.
    {
        CGllManager fromMemory;
        fromMemory.SetCacheBudgetFromMemory(1);
        EXPECT_EQ(fromMemory.GetCacheBudget(), kMb);
        fromMemory.SetCacheBudgetFromMemory(0);
        EXPECT_EQ(fromMemory.GetCacheBudget(), 0u);
    }

    int destroyed = 0;
    CGllManager manager;
    auto* off = new FakePicture(1, &destroyed);
    EXPECT_EQ(manager.AddCachedImage(off, "off"), 2);  // cache off: not taken
    EXPECT_EQ(off->m_refCount, 0u);
    off->Release();
    EXPECT_EQ(destroyed, 1);
    destroyed = 0;
    manager.SetCacheBudget(10 * kMb);
    auto add = [&](const char* name, uint64_t size) {
        auto* p = new FakePicture(size, &destroyed);
        EXPECT_EQ(manager.AddCachedImage(p, name), 0) << name;
        p->Release();  // the cache is the only holder now
        return p;
    };
    add("a", 4 * kMb);
    add("b", 4 * kMb);
    CLoadedPicture* a = manager.LookupCachedImage("A");  // a becomes the most recent
    ASSERT_NE(a, nullptr);
    a->Release();
    add("c", 4 * kMb);  // over budget: b, the least recent, goes
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(manager.LookupCachedImage("b"), nullptr);
    EXPECT_EQ(manager.GetCache().m_total, 8 * kMb);

    // An equal key is not added again; it becomes the most recent.
    auto* dup = new FakePicture(1, &destroyed);
    EXPECT_EQ(manager.AddCachedImage(dup, "C"), -1);
    EXPECT_EQ(manager.GetCache().GetNewest()->key, std::string("c"));
    dup->Release();

    // A picture larger than the budget evicts everything else and stays.
    add("huge", 12 * kMb);
    EXPECT_EQ(manager.GetCache().GetCount(), 1u);
    EXPECT_EQ(manager.GetCache().m_total, 12 * kMb);
    EXPECT_EQ(destroyed, 4);

    // Totals above 4 GB are counted in 64 bits.
    manager.SetCacheBudget(16 * 1024 * kMb);
    add("big1", 3 * 1024 * kMb);
    add("big2", 3 * 1024 * kMb);
    EXPECT_EQ(manager.GetCache().m_total, 6 * 1024 * kMb + 12 * kMb);
    EXPECT_EQ(manager.GetCache().GetCount(), 3u);

    manager.SetCacheBudget(0);
    EXPECT_EQ(manager.GetCache().GetCount(), 0u);
    EXPECT_EQ(manager.GetCache().m_total, 0u);
    EXPECT_EQ(destroyed, 7);
    EXPECT_EQ(manager.LookupCachedImage("big1"), nullptr);
    EXPECT_EQ(manager.AddCachedImage(nullptr, "x"), 1);
}

TEST(GllCache, EvictedInlineEntryKeepsItsChain)
{
    // Three keys of one bucket.
    std::vector<std::string> keys;
    const DWORD bucket = CNameHashTable::HashName("k0") & 63;
    keys.push_back("k0");
    for (int i = 1; keys.size() < 3; ++i) {
        const std::string k = "k" + std::to_string(i);
        if ((CNameHashTable::HashName(k.c_str()) & 63) == bucket)
            keys.push_back(k);
    }
    int destroyed = 0;
    {
        CGllManager manager;
        manager.SetCacheBudget(100);
        for (int i = 0; i < 2; ++i) {
            auto* p = new FakePicture(40, &destroyed);
            ASSERT_EQ(manager.AddCachedImage(p, keys[i].c_str()), 0);
            p->Release();
        }
        // The third forces out the first (the bucket's inline entry); the chain entry stays.
        auto* p = new FakePicture(40, &destroyed);
        ASSERT_EQ(manager.AddCachedImage(p, "other"), 0);
        p->Release();
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(manager.LookupCachedImage(keys[0].c_str()), nullptr);
        CLoadedPicture* second = manager.LookupCachedImage(keys[1].c_str());
        ASSERT_NE(second, nullptr);
        second->Release();
        // A new key of the bucket takes the free inline entry.
        manager.SetCacheBudget(1000);
        auto* q = new FakePicture(40, &destroyed);
        ASSERT_EQ(manager.AddCachedImage(q, keys[2].c_str()), 0);
        q->Release();
        EXPECT_EQ(manager.GetCache().GetCount(), 3u);
        CLoadedPicture* third = manager.LookupCachedImage(keys[2].c_str());
        ASSERT_NE(third, nullptr);
        third->Release();
    }
    // Destroying the manager releases the chain entries' pictures too.
    EXPECT_EQ(destroyed, 4);
}

}  // namespace
