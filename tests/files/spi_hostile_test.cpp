// SPI plug-ins that answer badly, as a built-in fake module whose answers each case sets: the
// loading codes, pictures whose blocks do not hold what their header says, record arrays without
// their ending record or with fields without NUL. Every block handed over is freed (ASan checks).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/spi_archive.h"
#include "files/spi_image_loader.h"
#include "files/spi_plugin.h"
#include "files/temp_folder.h"
#include "winapi/kernel.h"

namespace {

using Bytes = std::vector<BYTE>;

enum EBlock { kNoBlock, kFixed, kMoveable, kStray, kSameAsInfo };

struct Answers {
    std::string version = "00IN";
    std::string patterns = "*.hst";
    std::string description = "hostile";
    int answer = 0;
    EBlock infoKind = kFixed;
    EBlock bitsKind = kFixed;
    Bytes info;
    Bytes bits;
} g_answers;

int g_stray;

HLOCAL MakeBlock(EBlock kind, const Bytes& bytes, HLOCAL info)
{
    if (kind == kNoBlock)
        return nullptr;
    if (kind == kStray)
        return &g_stray;
    if (kind == kSameAsInfo)
        return info;
    HLOCAL block = LocalAlloc(kind == kFixed ? LMEM_FIXED : LMEM_MOVEABLE, bytes.size());
    std::memcpy(LocalLock(block), bytes.data(), bytes.size());
    LocalUnlock(block);
    return block;
}

int GetPluginInfo(int infoNo, char* buffer, int length)
{
    const std::string& text =
        infoNo == 0 ? g_answers.version : infoNo == 2 ? g_answers.patterns : g_answers.description;
    // No NUL when the text fills the buffer.
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size() + 1, static_cast<size_t>(length)));
    return 0;
}
int IsSupported(const char*, const void*) { return 1; }
int GetPicture(const char*, intptr_t, unsigned, HLOCAL* info, HLOCAL* bits, SpiProgressFunc, intptr_t)
{
    *info = MakeBlock(g_answers.infoKind, g_answers.info, nullptr);
    *bits = MakeBlock(g_answers.bitsKind, g_answers.bits, *info);
    return g_answers.answer;
}
int GetArchiveInfo(const char*, intptr_t, unsigned, HLOCAL* info)
{
    *info = MakeBlock(g_answers.infoKind, g_answers.info, nullptr);
    return g_answers.answer;
}
int GetFile(const char*, intptr_t, char* destination, unsigned, SpiProgressFunc, intptr_t)
{
    *reinterpret_cast<HLOCAL*>(destination) = MakeBlock(g_answers.bitsKind, g_answers.bits, nullptr);
    return 0;
}

const winapi::BuiltinProc kFullModule[] = {
    {"GetPluginInfo", winapi::ToFarProc(GetPluginInfo)},   {"IsSupported", winapi::ToFarProc(IsSupported)},
    {"GetPicture", winapi::ToFarProc(GetPicture)},         {"GetArchiveInfo", winapi::ToFarProc(GetArchiveInfo)},
    {"GetFile", winapi::ToFarProc(GetFile)},
};
const winapi::BuiltinProc kInfoOnly[] = {{"GetPluginInfo", winapi::ToFarProc(GetPluginInfo)}};
const winapi::BuiltinProc kNoInfo[] = {{"IsSupported", winapi::ToFarProc(IsSupported)}};

void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

// A bitmap header block of infoSize bytes.
Bytes Header(uint32_t headerSize, int32_t width, int32_t height, int bitCount, uint32_t used, size_t infoSize)
{
    Bytes b(infoSize, 0);
    if (infoSize < 40)
        return b;
    Put32(b, 0, headerSize);
    Put32(b, 4, static_cast<uint32_t>(width));
    Put32(b, 8, static_cast<uint32_t>(height));
    b[12] = 1;
    b[14] = static_cast<BYTE>(bitCount);
    Put32(b, 32, used);
    return b;
}

// A file record: path and name fields copied without their NUL when they fill the field.
Bytes Record(const std::string& path, const std::string& name, uint32_t size)
{
    Bytes r(kSpiRecordSize, 0);
    std::memcpy(r.data(), "HOSTILE", 7);
    Put32(r, 12, size);
    Put32(r, 16, size);
    std::memcpy(r.data() + 24, path.data(), std::min<size_t>(path.size(), 200));
    std::memcpy(r.data() + 224, name.data(), std::min<size_t>(name.size(), 200));
    return r;
}

Bytes Join(std::initializer_list<Bytes> parts, size_t extra = 0)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    out.resize(out.size() + extra, 0);
    return out;
}

class SpiHostileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        winapi::RegisterBuiltinModule("hostile.spi", kFullModule, std::size(kFullModule));
        winapi::RegisterBuiltinModule("infoonly.spi", kInfoOnly, std::size(kInfoOnly));
        winapi::RegisterBuiltinModule("noinfo.spi", kNoInfo, std::size(kNoInfo));
        g_pSPIFileManager = &files;
        g_pSPIGllManager = &gll;
        g_answers = Answers();
    }
    void TearDown() override
    {
        g_pSPIFileManager = nullptr;
        g_pSPIGllManager = nullptr;
        g_SpiBuildRecords = 0;
        winapi::UnregisterBuiltinModule("hostile.spi");
        winapi::UnregisterBuiltinModule("infoonly.spi");
        winapi::UnregisterBuiltinModule("noinfo.spi");
    }

    TempFolder dir;
    CFileManager files;
    CGllManager gll;
};

} // namespace

TEST_F(SpiHostileTest, LoadingCodes)
{
    struct Case {
        const char* name;
        const char* module;
        std::string version;
        int code;
    } cases[] = {
        {"image", "hostile.spi", "00IN", 0},
        {"archive", "hostile.spi", "00AM", 0},
        {"no GetPluginInfo", "noinfo.spi", "00IN", 3},
        {"unknown version", "hostile.spi", "00XX", 4},
        {"version with more after it", "hostile.spi", "00INx", 4},
        {"image without GetPicture", "infoonly.spi", "00IN", 5},
        {"archive without GetFile", "infoonly.spi", "00AM", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_answers.version = c.version;
        EXPECT_EQ(LoadSPIPlugin(c.module, true, true), c.code);
    }
    EXPECT_EQ(gll.FindPluginByType(5) != nullptr, true);
    EXPECT_EQ(files.FindDecoderByType(3), SpiAssistFunc);

    // Answers without NUL are cut at 255 bytes, a lead byte at the cut dropped.
    g_answers.version = "00IN";
    g_answers.description = std::string(254, 'd') + "\x82\x60" + std::string(100, 'e');
    g_answers.patterns = "*.a;" + std::string(300, 'b');
    gll.UnloadAll();
    ASSERT_EQ(LoadSPIPlugin("hostile.spi", true, true), 0);
    auto* loader = dynamic_cast<CSPIImageLoader*>(gll.FindPluginByType(5));
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(std::string(loader->GetTypeString()), std::string(254, 'd'));
    EXPECT_STREQ(loader->GetExtensions(), "A");
    EXPECT_EQ(std::strlen(loader->GetExtensions() + 2), 251u);
}

TEST_F(SpiHostileTest, PictureBlocksAreCheckedAgainstTheirSizes)
{
    ASSERT_EQ(LoadSPIPlugin("hostile.spi", false, true), 0);
    CImageLoader* loader = gll.FindPluginByType(5);
    ASSERT_NE(loader, nullptr);
    const Bytes good = Header(40, 3, 2, 24, 0, 40);
    struct Case {
        const char* name;
        int answer;
        EBlock infoKind;
        EBlock bitsKind;
        Bytes info;
        size_t bitsSize;
        int code;
    } cases[] = {
        {"24-bit", 0, kFixed, kFixed, good, 24, 0},
        {"moveable blocks", 0, kMoveable, kMoveable, good, 24, 0},
        {"top-down", 0, kFixed, kMoveable, Header(40, 3, -2, 24, 0, 40), 24, 0},
        {"8-bit with two colours", 0, kFixed, kFixed, Header(40, 5, 1, 8, 2, 48), 8, 0},
        {"1-bit", 0, kFixed, kFixed, Header(40, 33, 2, 1, 0, 48), 16, 0},
        {"plug-in failed", 2, kFixed, kMoveable, good, 24, 1},
        {"no info block", 0, kNoBlock, kFixed, good, 24, 3},
        {"no bits block", 0, kMoveable, kNoBlock, good, 24, 3},
        {"not a local block", 0, kStray, kFixed, good, 24, 3},
        {"one block twice", 0, kFixed, kSameAsInfo, good, 24, 3},
        {"rows past the block", 0, kFixed, kFixed, good, 23, 3},
        {"header past its block", 0, kFixed, kFixed, Header(40, 3, 2, 24, 0, 39), 24, 3},
        {"header size past the block", 0, kFixed, kFixed, Header(41, 3, 2, 24, 0, 40), 24, 3},
        {"colour table past the block", 0, kMoveable, kFixed, Header(40, 4, 1, 8, 0, 40 + 1020), 4, 3},
        {"width 0", 0, kFixed, kFixed, Header(40, 0, 2, 24, 0, 40), 24, 3},
        {"width 16385", 0, kFixed, kFixed, Header(40, 16385, 1, 8, 0, 1064), 16388, 3},
        {"height most negative", 0, kFixed, kFixed, Header(40, 1, INT32_MIN, 32, 0, 40), 64, 3},
        {"bit count 7", 0, kFixed, kFixed, Header(40, 3, 2, 7, 0, 40), 24, 3},
        {"huge sides", 0, kFixed, kFixed, Header(40, 16384, 16384, 32, 0, 40), 64, 3},
    };
    const BYTE data[4] = {1, 2, 3, 4};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_answers.answer = c.answer;
        g_answers.infoKind = c.infoKind;
        g_answers.bitsKind = c.bitsKind;
        g_answers.info = c.info;
        g_answers.bits.assign(c.bitsSize, 0x5A);
        HGLOBAL info = nullptr;
        HGLOBAL bits = nullptr;
        ASSERT_EQ(loader->LoadPicture(data, 4, &info, &bits, nullptr, nullptr), c.code);
        if (c.code == 0) {
            EXPECT_EQ(GlobalSize(info), c.info.size());
            EXPECT_EQ(static_cast<BYTE*>(bits)[0], 0x5A);
            EXPECT_EQ(loader->m_pictureSize, c.info.size() + c.bitsSize);
            EXPECT_EQ(GlobalFree(info), nullptr);
            EXPECT_EQ(GlobalFree(bits), nullptr);
        }
    }
    EXPECT_EQ(loader->LoadPicture(nullptr, 4, nullptr, nullptr, nullptr, nullptr), 4);
    // Kept by the loader when no outputs are given; freed with it.
    g_answers = Answers();
    g_answers.info = good;
    g_answers.bits.assign(24, 0);
    EXPECT_EQ(loader->LoadPicture(data, 4, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_NE(loader->m_bits, nullptr);
}

TEST_F(SpiHostileTest, RecordArraysAreBoundedByTheirBlocks)
{
    g_answers.version = "00AM";
    ASSERT_EQ(LoadSPIPlugin("hostile.spi", true, false), 0);
    CArchiveDecoder* decoder = files.FindDecoderByExtension("x.hst");
    ASSERT_NE(decoder, nullptr);
    const Bytes end(kSpiRecordSize, 0);
    const std::string longPath(200, 'p');
    struct Case {
        const char* name;
        int answer;
        EBlock kind;
        Bytes records;
        int code;
        DWORD count;
    } cases[] = {
        {"two and the end", 0, kFixed, Join({Record("d/", "a", 1), Record("", "b", 2), end}), 0, 2},
        {"moveable", 0, kMoveable, Join({Record("", "a", 1), end}), 0, 1},
        {"no ending record", 0, kFixed, Join({Record("", "a", 1), Record("", "b", 2)}), 0, 2},
        {"a part of a record after the last", 0, kFixed, Join({Record("", "a", 1)}, 100), 0, 1},
        {"path without NUL", 0, kFixed, Join({Record(longPath, "x", 1), end}), 0, 1},
        {"name that would not fit a path", 0, kFixed,
         Join({Record(longPath, std::string(200, 'n'), 1), Record("", "kept", 1)}), 0, 1},
        {"a lead byte at a field's end", 0, kFixed, Join({Record("", "ab\x82", 1), end}), 0, 1},
        {"only the ending record", 0, kFixed, end, 2, 0},
        {"an empty block", 0, kFixed, Bytes(), 2, 0},
        {"the plug-in failed", 1, kFixed, Join({Record("", "a", 1)}), 1, 0},
        {"no block", 0, kNoBlock, Bytes(), 1, 0},
        {"not a local block", 0, kStray, Bytes(), 1, 0},
        {"a name twice, folded", 0, kFixed, Join({Record("D/", "A.TXT", 1), Record("d\\", "a.txt", 1)}), 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_answers.answer = c.answer;
        g_answers.infoKind = c.kind;
        g_answers.info = c.records;
        int code = -9;
        CArchive* archive = decoder->Open(dir.Windows("x.hst").c_str(), INVALID_HANDLE_VALUE, &code);
        EXPECT_EQ(code, c.code);
        ASSERT_EQ(archive != nullptr, c.code == 0);
        if (archive == nullptr)
            continue;
        EXPECT_EQ(archive->GetEntryCount(), c.count);
        archive->Release();
    }

    // Names: the path's '/' become '\', a lead byte cut off at a field's end is dropped.
    g_answers.info = Join({Record("d/e/", "a", 1), Record(longPath, "x", 3), Record("", "ab\x82", 2)});
    int code = -9;
    CArchive* archive = decoder->Open(dir.Windows("x.hst").c_str(), INVALID_HANDLE_VALUE, &code);
    ASSERT_NE(archive, nullptr);
    EXPECT_TRUE(archive->Exists("D\\E\\A"));
    EXPECT_TRUE(archive->Exists((longPath + "x").c_str()));
    EXPECT_TRUE(archive->Exists("ab"));

    // Entry blocks handed over by GetFile: fixed, moveable, missing or stray.
    struct Block {
        EBlock kind;
        size_t size;
        int code;
    } blocks[] = {{kFixed, 5, 0}, {kMoveable, 5, 0}, {kNoBlock, 0, 1}, {kStray, 0, 1}};
    for (const Block& b : blocks) {
        g_answers.bitsKind = b.kind;
        g_answers.bits.assign(b.size, 7);
        CLoadRecord record;
        EXPECT_EQ(archive->LoadByName("d\\e\\a", GlobalAllocCallback, &record, nullptr, nullptr), b.code);
        EXPECT_EQ(record.size, b.size);
        GlobalFreeCallback(&record);
    }
    CLoadRecord record;
    EXPECT_EQ(archive->LoadByName("d\\e\\a", nullptr, &record, nullptr, nullptr), 5);
    g_answers.bitsKind = kMoveable;
    EXPECT_EQ(archive->LoadByName("d\\e\\a", [](DWORD, CLoadRecord*, void*) -> void* { return nullptr; }, &record,
                                  nullptr, nullptr),
              8);
    int streamCode = 0;
    EXPECT_EQ(archive->OpenByName("ab", &streamCode), nullptr);
    EXPECT_EQ(streamCode, -3);
    EXPECT_EQ(archive->OpenByIndex(3, &streamCode), nullptr);
    EXPECT_EQ(streamCode, 3);
    archive->Release();
}
