// Image-group files: KAG and KAD files made by tessaro-tool from a layout and loaded back (from a
// loose file, a KPK entry stored plain and one stored compressed, and memory), pictures against
// convert's reading of their sources; every shorter prefix gives its code; small hand-written
// files for the edge cases and every result code.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/kpk_writer.h"
#include "authoring/picture_io.h"
#include "authoring/sample_pictures.h"
#include "drawing/kad_file.h"
#include "drawing/kag_file.h"
#include "files/file_manager.h"
#include "files/bmp_loader.h"
#include "files/elg_loader.h"
#include "files/file_stream.h"
#include "files/gll_manager.h"
#include "files/gll_test_support.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/picture_limit.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocation hooks (not every compiler ships its header).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

using Bytes = std::vector<BYTE>;

int Tool(const std::string& args)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args + " 2>/dev/null";
    return std::system(command.c_str());
}

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutEntry(Bytes& b, int32_t a, int32_t t, int16_t x, int16_t y, uint32_t last = 0)
{
    Put32(b, static_cast<uint32_t>(a));
    Put32(b, static_cast<uint32_t>(t));
    Put16(b, static_cast<uint16_t>(x));
    Put16(b, static_cast<uint16_t>(y));
    Put32(b, last);
}

// A KAG written byte by byte: magic, header with the group count, skip word, entries, picture
// records (size, offset, a, b) and the data at the offsets given.
struct KagPicture {
    Bytes data;
    int16_t a = -1, b = 0;
    int64_t offset = -1; // -1: placed after the records
    int64_t size = -1;   // -1: the data's size
};
Bytes MakeKag(uint16_t groups, const std::vector<std::array<int32_t, 4>>& entries,
              const std::vector<KagPicture>& pictures, uint32_t skip = 0, int64_t entryCount = -1,
              int64_t pictureCount = -1)
{
    Bytes b = {'K', 'A', 'G', 0};
    Put16(b, 7);
    Put16(b, 9);
    Put16(b, 0);
    Put16(b, groups);
    Put32(b, 0);
    Put32(b, skip);
    b.insert(b.end(), skip <= 64 ? skip : 0, 0xEE);
    Put32(b, entryCount < 0 ? static_cast<uint32_t>(entries.size()) : static_cast<uint32_t>(entryCount));
    for (const auto& e : entries)
        PutEntry(b, e[0], e[1], static_cast<int16_t>(e[2]), static_cast<int16_t>(e[3]));
    Put32(b, pictureCount < 0 ? static_cast<uint32_t>(pictures.size()) : static_cast<uint32_t>(pictureCount));
    size_t at = b.size() + 12 * pictures.size();
    for (const KagPicture& p : pictures) {
        Put32(b, p.size < 0 ? static_cast<uint32_t>(p.data.size()) : static_cast<uint32_t>(p.size));
        Put32(b, p.offset < 0 ? static_cast<uint32_t>(at) : static_cast<uint32_t>(p.offset));
        Put16(b, static_cast<uint16_t>(p.a));
        Put16(b, static_cast<uint16_t>(p.b));
        at += p.data.size();
    }
    for (const KagPicture& p : pictures)
        b.insert(b.end(), p.data.begin(), p.data.end());
    return b;
}

// A small BMP (the engine's writer) of a seeded picture.
Bytes SmallBmp(int w, int h, uint32_t seed)
{
    pictures::Decoded d;
    d.width = w;
    d.height = h;
    d.hasAlpha = true;
    d.pixels = samples::WithAlpha(w, h, seed);
    Bytes out;
    std::string error;
    EXPECT_TRUE(pictures::EncodeBmp32(d, out, &error)) << error;
    return out;
}

// A 66-byte RLE bitmap (RLE4 or RLE8) that declares width x height and whose run stream ends at
// once: valid, the rest of the picture index 0.
Bytes RleBomb(uint32_t width, uint32_t height, int bits)
{
    Bytes b = {'B', 'M'};
    Put32(b, 66);
    Put32(b, 0);
    Put32(b, 62);
    Put32(b, 40);
    Put32(b, width);
    Put32(b, height);
    Put16(b, 1);
    Put16(b, static_cast<uint32_t>(bits));
    Put32(b, bits == 4 ? 2 : 1); // BI_RLE4 / BI_RLE8
    Put32(b, 4);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 2);
    Put32(b, 0);
    Put32(b, 0x00000000);
    Put32(b, 0x00FFFFFF);
    b.insert(b.end(), {0, 0, 0, 1});
    return b;
}

// The largest single allocation while a test runs (known under ASan only; 0 elsewhere).
struct LargestAllocation {
    static inline std::atomic<size_t> largest{0};
#if defined(__SANITIZE_ADDRESS__)
    static void OnMalloc(const volatile void*, size_t size)
    {
        size_t seen = largest.load();
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    static void OnFree(const volatile void*) {}
    LargestAllocation()
    {
        largest = 0;
        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    }
    ~LargestAllocation() { __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr); }
#endif
};

class ImageGroupFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
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

    TempFolder dir;
    CFileManager files;
    CGllManager manager;
};

// A tool-made KAG holds the pictures as convert reads them, and its entries and groups.
TEST_F(ImageGroupFileTest, ToolKagLoadsBackFromFilesArchivesAndMemory)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string src = dir.Linux();
    ASSERT_TRUE(picture_test::WritePam(src + "/soft.pam", 37, 23, samples::WithAlpha(37, 23, 5)));
    ASSERT_TRUE(picture_test::WritePam(src + "/photo.pam", 20, 11, samples::PhotoLike(20, 11, 3)));
    ASSERT_TRUE(picture_test::RunConvert("'" + src + "/soft.pam' -define bmp3:alpha=true BMP3:'" + src + "/soft.bmp'"));
    ASSERT_TRUE(picture_test::RunConvert("'" + src + "/photo.pam' -alpha off -type truecolor BMP3:'" + src
                                         + "/photo.bmp'"));
    dir.Write("anim.txt", "# two groups, three pictures\n"
                          "header 7 9\n"
                          "picture soft.bmp alpha\n"
                          "picture photo.bmp key 3 4\n"
                          "picture photo.bmp\n"
                          "entry 0 100 3 -4\n"
                          "entry 1 50 0 0\n"
                          "close\n"
                          "entry 2 20 1 1\n");
    ASSERT_EQ(Tool("kag pack '" + dir.Linux("anim.txt") + "' '" + dir.Linux("anim.kag") + "'"), 0);
    const Bytes kag = picture_test::ReadAll(dir.Linux("anim.kag"));
    const Bytes soft = picture_test::ConvertRgba(src + "/soft.bmp");
    const Bytes photo = picture_test::ConvertRgba(src + "/photo.bmp");

    std::string error;
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("STORED.KPK"), {{"stored\\anim.kag", kag}}, KpkWriterOptions{}, &error));
    KpkWriterOptions packed;
    packed.compress = true;
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("PACKED.KPK"), {{"packed\\anim.kag", kag}}, packed, &error));
    ASSERT_EQ(files.Mount("STORED.KPK", -2, false, true, nullptr), 0);
    ASSERT_EQ(files.Mount("PACKED.KPK", -2, false, true, nullptr), 0);
    {
        CFileStream probe; // the compressed entry is one that a stream cannot open
        EXPECT_EQ(probe.Open("packed\\anim.kag"), 3u);
    }

    for (int source = 0; source < 4; ++source) {
        SCOPED_TRACE("source " + std::to_string(source));
        CKagFile file;
        const char* names[] = {"anim.kag", "stored\\anim.kag", "packed\\anim.kag"};
        ASSERT_EQ(source == 3 ? file.LoadFromMemory(kag.data(), static_cast<uint32_t>(kag.size()), false)
                              : file.Load(names[source], false),
                  0);
        EXPECT_EQ(file.GetHeaderWordA(), 7);
        EXPECT_EQ(file.GetHeaderWordB(), 9);
        EXPECT_EQ(file.GetGroupCount(), 2);
        EXPECT_EQ(file.GetGroupStart(0), 0);
        EXPECT_EQ(file.GetGroupStart(1), 3);
        EXPECT_EQ(file.GetGroupStart(2), -1);
        ASSERT_EQ(file.GetEntryCount(), 5u);
        const KagEntry& first = file.GetEntries()[0];
        EXPECT_EQ(first.picture, 0);
        EXPECT_EQ(first.time, 100u);
        EXPECT_EQ(first.x, 3);
        EXPECT_EQ(first.y, -4);
        EXPECT_EQ(file.GetEntries()[4].picture, -1);
        ASSERT_EQ(file.GetPictureCount(), 3u);
        EXPECT_EQ(file.GetPicture(3), nullptr);
        EXPECT_EQ(file.GetPicture(-1), nullptr);

        const CImage* p0 = file.GetPicture(0);
        ASSERT_EQ(p0->GetWidth(), 37);
        EXPECT_TRUE(p0->HasAlpha());
        EXPECT_EQ(p0->GetColorKey(), kNoColorKey);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) {
                const BYTE* c = &soft[(static_cast<size_t>(y) * 37 + x) * 4];
                ASSERT_EQ(Px(*p0, x, y), static_cast<uint32_t>(c[3]) << 24 | c[0] << 16 | c[1] << 8 | c[2]);
            }
        for (int i = 1; i <= 2; ++i) {
            const CImage* p = file.GetPicture(i);
            ASSERT_EQ(p->GetWidth(), 20);
            EXPECT_FALSE(p->HasAlpha());
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 20; ++x) {
                    const BYTE* c = &photo[(static_cast<size_t>(y) * 20 + x) * 4];
                    ASSERT_EQ(Px(*p, x, y) & 0xFFFFFF, static_cast<uint32_t>(c[0] << 16 | c[1] << 8 | c[2]));
                }
        }
        EXPECT_EQ(file.GetPicture(1)->GetColorKey(), static_cast<DWORD>(Px(*file.GetPicture(1), 3, 4)));
        EXPECT_EQ(file.GetPicture(2)->GetColorKey(), kNoColorKey);
    }

    // Every shorter prefix fails with the code of the field it cuts, and leaves the file empty.
    const uint32_t n = picture_test::Le32(kag, 20);
    const size_t records = 24 + 16 * n + 4;
    for (size_t len = 0; len < kag.size(); ++len) {
        int want = len < 4 ? 2 : 3;
        if (len >= records + 12 * 3) {
            for (int i = 0; i < 3; ++i) {
                const uint32_t size = picture_test::Le32(kag, records + 12 * i);
                const uint32_t offset = picture_test::Le32(kag, records + 12 * i + 4);
                if (offset + size > len) {
                    want = offset > len ? 4 : 3;
                    break;
                }
            }
        }
        CKagFile file;
        ASSERT_EQ(file.LoadFromMemory(kag.data(), static_cast<uint32_t>(len), false), want) << "length " << len;
        EXPECT_EQ(file.GetEntryCount(), 0u);
        EXPECT_EQ(file.GetPictureCount(), 0u);
        EXPECT_EQ(file.GetGroupCount(), 0);
    }
}

TEST_F(ImageGroupFileTest, KagEdgeCasesAndCodes)
{
    const Bytes bmp = SmallBmp(6, 5, 1);
    const std::vector<std::array<int32_t, 4>> oneGroup = {{0, 100, 0, 0}, {0, 100, 1, 1}};
    struct Case {
        const char* name;
        Bytes bytes;
        int code;
    };
    Bytes badMagic = MakeKag(1, oneGroup, {{bmp}});
    badMagic[2] = 'D';
    Bytes garbage = bmp;
    garbage[0] = 'X';
    const Case cases[] = {
        {"loads", MakeKag(1, oneGroup, {{bmp}}), 0},
        {"bad magic", badMagic, 2},
        {"zero groups", MakeKag(0, oneGroup, {{bmp}}), 2},
        {"one group without closing entry", MakeKag(1, oneGroup, {{bmp}}), 0},
        {"two groups, one closing entry", MakeKag(2, {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}}, {{bmp}}), 0},
        {"three groups, one closing entry", MakeKag(3, {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}}, {{bmp}}), 6},
        {"groups closed beyond the count", MakeKag(1, {{0, 1, 0, 0}, {-1, 0, 0, 0}, {-1, 0, 0, 0}}, {{bmp}}), 0},
        {"skip inside the file", MakeKag(1, oneGroup, {{bmp}}, 8), 0},
        {"skip past the end", MakeKag(1, oneGroup, {{bmp}}, 0xFFFFFFFF), 4},
        {"entry count 0xFFFFFFFF", MakeKag(1, oneGroup, {{bmp}}, 0, 0xFFFFFFFF), 3},
        {"picture count 0xFFFFFFFF", MakeKag(1, oneGroup, {{bmp}}, 0, -1, 0xFFFFFFFF), 3},
        {"picture offset past the end", MakeKag(1, oneGroup, {{bmp, -1, 0, 100000}}), 4},
        {"picture size past the end", MakeKag(1, oneGroup, {{bmp, -1, 0, -1, 100000}}), 3},
        {"picture that does not decode", MakeKag(1, oneGroup, {{garbage}}), 5},
        {"picture of zero bytes", MakeKag(1, oneGroup, {{Bytes{}}}), 5},
        {"no pictures", MakeKag(1, oneGroup, {}), 0},
    };
    for (const Case& c : cases) {
        CKagFile file;
        EXPECT_EQ(file.LoadFromMemory(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()), false), c.code)
            << c.name;
    }
    CKagFile file;
    EXPECT_EQ(file.Load("missing.kag", false), 1);

    // The picture record's a and b: -2 alpha, -1 neither alpha nor key, (3, 4) the key there.
    const Bytes withAb = MakeKag(1, oneGroup, {{bmp, -2, 0}, {bmp, -1, 0}, {bmp, 3, 4}});
    ASSERT_EQ(file.LoadFromMemory(withAb.data(), static_cast<uint32_t>(withAb.size()), false), 0);
    EXPECT_TRUE(file.GetPicture(0)->HasAlpha());
    EXPECT_FALSE(file.GetPicture(1)->HasAlpha());
    EXPECT_EQ(file.GetPicture(1)->GetColorKey(), kNoColorKey);
    EXPECT_EQ(file.GetPicture(2)->GetColorKey(), static_cast<DWORD>(Px(*file.GetPicture(2), 3, 4)));
    // The appended closing entry closes the one group; every field of it is set.
    ASSERT_EQ(file.GetEntryCount(), 3u);
    const KagEntry& closing = file.GetEntries()[2];
    EXPECT_EQ(closing.picture, -1);
    EXPECT_EQ(closing.time, 0u);
    EXPECT_EQ(closing.x, 0);
    EXPECT_EQ(closing.y, 0);
    // A failed load afterwards clears it.
    EXPECT_EQ(file.LoadFromMemory(badMagic.data(), static_cast<uint32_t>(badMagic.size()), false), 2);
    EXPECT_EQ(file.GetPictureCount(), 0u);
    EXPECT_EQ(file.GetGroupStart(0), -1);
}

// A KAD written byte by byte.
struct KadParts {
    uint16_t groups = 2;
    Bytes blob = {'a', 'b', 'c', 'd'};
    std::vector<std::array<int32_t, 5>> entries = {
        {0, 0, 1, 2, 1}, {-5, 3, 0, 0, 999}, {-1, 0, 0, 0, 0}, {1, 0, 3, 4, 3}, {-1, 0, 0, 0, 0}};
    int64_t entryCount = -1;
    std::vector<std::pair<std::string, std::array<uint16_t, 2>>> records = {{"name", {5, 6}}, {"", {7, 8}}};
    int64_t recordCount = -1;
};
Bytes MakeKad(const KadParts& p)
{
    Bytes b = {'K', 'A', 'D', 0, 1, 2, 3, 4, 5, 6};
    Put16(b, p.groups);
    Put32(b, 0xA0B0C0D0);
    Put32(b, static_cast<uint32_t>(p.blob.size()));
    b.insert(b.end(), p.blob.begin(), p.blob.end());
    Put32(b, p.entryCount < 0 ? static_cast<uint32_t>(p.entries.size()) : static_cast<uint32_t>(p.entryCount));
    for (const auto& e : p.entries)
        PutEntry(b, e[0], e[1], static_cast<int16_t>(e[2]), static_cast<int16_t>(e[3]), static_cast<uint32_t>(e[4]));
    Put32(b, p.recordCount < 0 ? static_cast<uint32_t>(p.records.size()) : static_cast<uint32_t>(p.recordCount));
    for (const auto& r : p.records) {
        Put16(b, static_cast<uint32_t>(r.first.size()));
        b.insert(b.end(), r.first.begin(), r.first.end());
        Put16(b, r.second[0]);
        Put16(b, r.second[1]);
    }
    return b;
}

TEST_F(ImageGroupFileTest, KadLoadsGroupsEntriesRecordsAndBlob)
{
    const Bytes bytes = MakeKad(KadParts{});
    CKadFile file;
    ASSERT_EQ(file.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    EXPECT_EQ(file.GetHeader()[0], 1);
    EXPECT_EQ(file.GetHeader()[11], 0xA0);
    EXPECT_EQ(file.GetGroupCount(), 2);
    ASSERT_EQ(file.GetEntryCount(), 6u);
    // The control entry with 3 does not close its group.
    EXPECT_EQ(file.GetGroupStart(0), 0);
    EXPECT_EQ(file.GetGroupEnd(0), 2);
    EXPECT_EQ(file.GetGroupStart(1), 3);
    EXPECT_EQ(file.GetGroupEnd(1), 5); // the appended closing entry
    EXPECT_EQ(file.GetGroupStart(2), -1);
    EXPECT_EQ(file.GetGroupEnd(2), -1);
    EXPECT_EQ(file.GetLongestGroup(), 3u);
    uint32_t offset = 9;
    EXPECT_EQ(file.FindGroup(0, &offset), 0);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(file.FindGroup(4, &offset), 1);
    EXPECT_EQ(offset, 1u);
    EXPECT_EQ(file.FindGroup(6, &offset), -1);
    const KadEntry& closing = file.GetEntries()[5];
    EXPECT_EQ(closing.first, -1);
    EXPECT_EQ(closing.second, -1);
    EXPECT_EQ(closing.x, 0);
    EXPECT_EQ(closing.offset, 0u);
    // Entry data: the blob from the offset on; a garbage offset (999) loads and reads as nothing.
    uint32_t left = 0;
    const uint8_t* data = file.GetEntryData(0, &left);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, 'b');
    EXPECT_EQ(left, 3u);
    EXPECT_EQ(file.GetEntryData(1, &left), nullptr);
    EXPECT_EQ(file.GetEntryData(6, &left), nullptr);
    ASSERT_EQ(file.GetRecords().size(), 2u);
    EXPECT_EQ(std::string(file.GetRecords()[0].bytes.begin(), file.GetRecords()[0].bytes.end()), "name");
    EXPECT_EQ(file.GetRecords()[0].c, 5);
    EXPECT_EQ(file.GetRecords()[0].d, 6);
    EXPECT_EQ(file.GetRecords()[0].word0, 0u);
    EXPECT_TRUE(file.GetRecords()[1].bytes.empty());
    EXPECT_TRUE(file.GetRecordPairs().empty());

    // Every shorter prefix gives the code of the field it cuts (the record count is first checked
    // against the smallest records the bytes left could hold).
    const size_t blobEnd = 20 + 4, entriesEnd = blobEnd + 4 + 16 * 5, countEnd = entriesEnd + 4;
    for (size_t len = 0; len < bytes.size(); ++len) {
        int want = len < 4 ? 2 : len < 16 ? 3 : len < blobEnd ? 4 : len < entriesEnd ? 5 : 6;
        if (len >= countEnd && 2 * 6 <= len - countEnd) {
            // Records "name" (at countEnd) and "" (at countEnd + 10).
            const size_t at = len - countEnd;
            want = at < 2 ? 6 : at < 6 ? 7 : at < 8 ? 8 : at < 10 ? 9 : at < 12 ? 6 : at < 14 ? 8 : 9;
        }
        CKadFile cut;
        ASSERT_EQ(cut.LoadFromMemory(bytes.data(), static_cast<uint32_t>(len)), want) << "length " << len;
        EXPECT_EQ(cut.GetEntryCount(), 0u);
        EXPECT_EQ(cut.GetGroupStart(0), -1);
    }
}

TEST_F(ImageGroupFileTest, KadResultCodes)
{
    struct Case {
        const char* name;
        KadParts parts;
        int cut; // bytes taken off the end
        int code;
    };
    KadParts zeroGroups;
    zeroGroups.groups = 0;
    KadParts fewClosings;
    fewClosings.groups = 4; // two closing entries and the appended one close three
    KadParts hugeEntries;
    hugeEntries.entryCount = 0xFFFFFFFF;
    KadParts hugeRecords;
    hugeRecords.recordCount = 0xFFFFFFFF;
    KadParts noBlob;
    noBlob.blob.clear();
    const Case cases[] = {
        {"loads", KadParts{}, 0, 0},
        {"group count 0", zeroGroups, 0, 3},
        {"empty blob", noBlob, 0, 0},
        {"entry count 0xFFFFFFFF", hugeEntries, 0, 5},
        {"record count 0xFFFFFFFF", hugeRecords, 0, 6},
        {"record d cut", KadParts{}, 1, 9},
        {"record c cut", KadParts{}, 3, 8},
        {"fewer closings than groups", fewClosings, 0, 10},
    };
    for (const Case& c : cases) {
        const Bytes bytes = MakeKad(c.parts);
        CKadFile file;
        EXPECT_EQ(file.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size() - c.cut)), c.code) << c.name;
    }
    Bytes badMagic = MakeKad(KadParts{});
    badMagic[0] = 'X';
    CKadFile file;
    EXPECT_EQ(file.LoadFromMemory(badMagic.data(), static_cast<uint32_t>(badMagic.size())), 2);
    EXPECT_EQ(file.Load("missing.kad"), 1);
    // By name, and through the tool's layout.
    dir.Write("data.txt", "header 1 2 3\nblob text hello\nblob hex 00 ff\nentry 0 0 1 2 6\nclose\n"
                          "record 3 4 some name\nrecord-hex 5 6 41 42\n");
    ASSERT_EQ(Tool("kad pack '" + dir.Linux("data.txt") + "' '" + dir.Linux("data.kad") + "'"), 0);
    ASSERT_EQ(file.Load("data.kad"), 0);
    EXPECT_EQ(file.GetGroupCount(), 1);
    EXPECT_EQ(file.GetBlob().size(), 7u);
    uint32_t left = 0;
    const uint8_t* data = file.GetEntryData(0, &left);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, 0xFF);
    EXPECT_EQ(left, 1u);
    ASSERT_EQ(file.GetRecords().size(), 2u);
    EXPECT_EQ(std::string(file.GetRecords()[0].bytes.begin(), file.GetRecords()[0].bytes.end()), "some name");
    EXPECT_EQ(file.GetRecords()[1].c, 5);
    EXPECT_EQ(file.GetRecords()[1].bytes, (std::vector<uint8_t>{'A', 'B'}));
}

// The reference count: 0 is one holder; Release at 0 deletes (ASan sees a leak or a double free).
TEST(GroupFileReference, ReleaseDeletesAtTheLastHolder)
{
    auto* file = new CKadFile;
    file->AddRef();
    EXPECT_EQ(file->GetRefCount(), 1u);
    file->Release();
    EXPECT_EQ(file->GetRefCount(), 0u);
    file->Release();
}

} // namespace

namespace {

// A few hundred bytes that declare pictures of gigabytes are refused before anything is made, one
// record or several pointing at the same bytes, loaded at 8 or 32 bits.
TEST_F(ImageGroupFileTest, PictureBombsFailFast)
{
    const Bytes bombs[] = {RleBomb(33554444, 7, 4), RleBomb(16385, 1, 8), RleBomb(8192, 8193, 8)};
    for (const Bytes& bomb : bombs) {
        for (int records : {1, 3}) {
            std::vector<KagPicture> pictures(1, KagPicture{bomb});
            for (int i = 1; i < records; ++i)
                pictures.push_back(KagPicture{{}, -1, 0, 24 + 16 * 2 + 4 + 12 * records, static_cast<int64_t>(bomb.size())});
            const Bytes kag = MakeKag(1, {{0, 1, 0, 0}, {-1, 0, 0, 0}}, pictures);
            ASSERT_LT(kag.size(), 300u);
            for (bool withPalette : {false, true}) {
                [[maybe_unused]] LargestAllocation largest;
                CKagFile file;
                EXPECT_EQ(file.LoadFromMemory(kag.data(), static_cast<uint32_t>(kag.size()), withPalette), 5);
                EXPECT_LT(LargestAllocation::largest.load(), 4u << 20);
#if defined(__SANITIZE_ADDRESS__)
                EXPECT_GT(LargestAllocation::largest.load(), 0u) << "the hooks see the load's allocations";
#endif
            }
        }
    }
    // The limit itself: sides up to 16384, 256 MiB at 32 bits.
    BmpInfo info;
    EXPECT_EQ(ParseBmpHeader(RleBomb(16384, 4096, 8).data(), 66, info), 0);
    EXPECT_EQ(ParseBmpHeader(RleBomb(4096, 16384, 4).data(), 66, info), 0);
    EXPECT_EQ(ParseBmpHeader(RleBomb(16384, 4097, 8).data(), 66, info), kGllBadData);
    EXPECT_EQ(ParseBmpHeader(RleBomb(16385, 1, 8).data(), 66, info), kGllBadData);
    EXPECT_TRUE(PictureWithinLimit(kMaxPictureSide, kMaxPictureBytes / 4 / kMaxPictureSide));
    // ELG sides are 16-bit: 65535 x 65535 is refused too.
    const Bytes elg = {'E', 'L', 'G', 8, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    ElgHeader header;
    EXPECT_EQ(ParseElgHeader(elg.data(), static_cast<DWORD>(elg.size()), header), kGllBadData);

    // A run stream that ends at once is still a picture.
    CKagFile small;
    const Bytes ok = MakeKag(1, {{0, 1, 0, 0}, {-1, 0, 0, 0}}, {KagPicture{RleBomb(5, 3, 8)}});
    ASSERT_EQ(small.LoadFromMemory(ok.data(), static_cast<uint32_t>(ok.size()), false), 0);
    EXPECT_EQ(small.GetPicture(0)->GetWidth(), 5);
    EXPECT_EQ(Px(*small.GetPicture(0), 4, 2) & 0xFFFFFF, 0u);
}

// Records of one file that name the same bytes with the same key share one decoded picture.
TEST_F(ImageGroupFileTest, RecordsOfTheSameBytesShareAPicture)
{
    const Bytes bmp = SmallBmp(4, 3, 7);
    const int64_t at = 24 + 16 * 3 + 4 + 12 * 4; // after the header, three entries and four records
    const Bytes kag = MakeKag(1, {{0, 1, 0, 0}, {3, 1, 0, 0}, {-1, 0, 0, 0}},
                              {KagPicture{bmp, 1, 1}, KagPicture{{}, 1, 1, at, static_cast<int64_t>(bmp.size())},
                               KagPicture{{}, 2, 0, at, static_cast<int64_t>(bmp.size())},
                               KagPicture{{}, 1, 1, at, static_cast<int64_t>(bmp.size())}});
    CKagFile file;
    ASSERT_EQ(file.LoadFromMemory(kag.data(), static_cast<uint32_t>(kag.size()), false), 0);
    ASSERT_EQ(file.GetPictureCount(), 4u);
    EXPECT_EQ(file.GetPicture(0), file.GetPicture(1));
    EXPECT_EQ(file.GetPicture(0), file.GetPicture(3));
    EXPECT_NE(file.GetPicture(0), file.GetPicture(2)) << "another colour key is another picture";
    EXPECT_EQ(Px(*file.GetPicture(2), 3, 2), Px(*file.GetPicture(0), 3, 2));
    EXPECT_EQ(file.GetPicture(4), nullptr);
}

} // namespace
