// Damaged KPK archives: each damage is answered with a code when the archive is opened or the
// entry loaded; nothing is read outside the file or the index, nothing leaks.
#include "files/kpk_archive.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "files/file_manager.h"
#include "files/kpk_cipher.h"
#include "files/lzss.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"

namespace {

void Put32(std::vector<BYTE>& out, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// The plain parts of a one-entry archive with names and unpacked sizes, sealed with the cipher.
struct Forge {
    BYTE flags = KPK_FLAG_NAMES | KPK_FLAG_UNPACKED;
    DWORD count = 1;
    std::vector<BYTE> prefix;
    BYTE wide = 0;
    // Root with one child 'a' whose node (right after it) ends the name: entry 0.
    std::vector<BYTE> trie = {1, 'a', 0, 0, 1, 0, 0, 0};
    std::optional<DWORD> trieSize;
    BYTE entryFlag = 0;
    std::optional<DWORD> offset; // default: right after the index
    std::optional<DWORD> stored; // default: the data's size
    std::optional<DWORD> unpacked;
    std::optional<DWORD> headerLength;
    std::vector<BYTE> data = {'h', 'e', 'l', 'l', 'o'};
    size_t cutAt = 0; // nonzero: the file ends there

    std::vector<BYTE> Build(const std::string& path) const
    {
        std::vector<BYTE> index;
        Put32(index, count);
        index.push_back(static_cast<BYTE>(prefix.size()));
        index.insert(index.end(), prefix.begin(), prefix.end());
        if (flags & KPK_FLAG_NAMES) {
            index.push_back(wide);
            Put32(index, trieSize.value_or(static_cast<DWORD>(trie.size())));
            index.insert(index.end(), trie.begin(), trie.end());
        }
        index.push_back(entryFlag);
        DWORD entryOffset = static_cast<DWORD>(8 + index.size() + ((flags & KPK_FLAG_UNPACKED) ? 12 : 8));
        Put32(index, offset.value_or(entryOffset));
        Put32(index, stored.value_or(static_cast<DWORD>(data.size() + prefix.size())));
        if (flags & KPK_FLAG_UNPACKED)
            Put32(index, unpacked.value_or(stored.value_or(static_cast<DWORD>(data.size() + prefix.size()))));
        CKpkCipher cipher(path.c_str(), 0, 0);
        std::vector<BYTE> out;
        Put32(out, kKpkMagic);
        Put32(out, cipher.HeaderWord((static_cast<DWORD>(flags) << 24) |
                                     headerLength.value_or(static_cast<DWORD>(index.size()))));
        cipher.ApplyIndexKeystream(index.data(), index.size());
        out.insert(out.end(), index.begin(), index.end());
        out.insert(out.end(), data.begin(), data.end());
        if (cutAt != 0)
            out.resize(cutAt);
        return out;
    }
};

std::vector<BYTE> PackedText(std::vector<BYTE>* plain)
{
    // Varied words: the stream stays long enough that a cut one still could claim the size.
    static const char* words[] = {"the ", "engine ", "reads ", "a ", "script ", "and ", "shows ", "text; "};
    std::mt19937 random(3);
    std::string text;
    while (text.size() < 3000)
        text += words[random() % 8];
    text.resize(3000);
    plain->assign(text.begin(), text.end());
    BYTE* packed = nullptr;
    DWORD size = 0;
    EXPECT_EQ(LzssCompress(plain->data(), &packed, static_cast<DWORD>(plain->size()), &size, true), 0);
    std::vector<BYTE> out(packed, packed + size);
    LzssFree(packed);
    return out;
}

} // namespace

TEST(KpkDamaged, EachDamageGivesItsCode)
{
    TempFolder dir;
    std::string path = dir.Windows("DAMAGED.KPK");
    std::vector<BYTE> text;
    std::vector<BYTE> packed = PackedText(&text);
    const DWORD textSize = static_cast<DWORD>(text.size());

    struct Case {
        const char* name;
        std::function<void(Forge&)> damage;
        int openCode; // 0: opens, then the load gives loadCode
        int loadCode;
    };
    const Case cases[] = {
        {"intact", [](Forge&) {}, 0, 0},
        {"truncated header", [](Forge& f) { f.cutAt = 6; }, 7, 0},
        {"truncated index", [](Forge& f) { f.cutAt = 20; }, 7, 0},
        {"index length past the end", [](Forge& f) { f.headerLength = 5000; }, 7, 0},
        {"units index of zero units", [](Forge& f) { f.flags |= KPK_FLAG_UNITS; f.headerLength = 0; }, 1, 0},
        {"count past the index", [](Forge& f) { f.count = 1000; }, 1, 0},
        {"count times size overflows 32 bits", [](Forge& f) { f.count = 0x40000000; }, 1, 0},
        {"prefix past the index", [](Forge& f) { f.prefix.assign(200, 'p'); f.headerLength = 30; }, 1, 0},
        {"trie size past the index", [](Forge& f) { f.trieSize = 0xFFFFFFF0u; }, 1, 0},
        {"trie child count past the trie", [](Forge& f) { f.trie[0] = 9; }, 1, 0},
        {"trie link past the trie", [](Forge& f) { f.trie[2] = 0x40; }, 1, 0},
        {"wide trie link that wraps around",
         [](Forge& f) { f.wide = 1; f.trie = {1, 'a', 0xFC, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0}; }, 1, 0},
        {"trie names an entry past the count", [](Forge& f) { f.trie[6] = 3; }, 1, 0},
        {"offset past the file", [](Forge& f) { f.offset = 100000; }, 1, 0},
        {"size past the file", [](Forge& f) { f.stored = 1000; }, 1, 0},
        {"units offset beyond 4 GiB", [](Forge& f) { f.flags |= KPK_FLAG_UNITS; f.headerLength = 1; f.data.assign(3000, 0x64); f.offset = 0x300000; }, 1, 0},
        {"absurd unpacked size", [](Forge& f) { f.unpacked = 0x7FFFFFFF; }, 1, 0},
        {"more than LZSS can make of it", [](Forge& f) { f.unpacked = 100000; }, 1, 0},
        {"compressed entry", [&](Forge& f) { f.data = packed; f.unpacked = textSize; }, 0, 0},
        {"compressed stream ends early",
         [&](Forge& f) { f.data.assign(packed.begin(), packed.end() - 5); f.unpacked = textSize; }, 0, 12},
        {"compressed stream longer than its size",
         [&](Forge& f) { f.data = packed; f.data.push_back(0xFF); f.data.push_back('x'); f.unpacked = textSize; }, 0, 12},
        {"empty entry", [](Forge& f) { f.data.clear(); f.stored = 0; f.unpacked = 0; }, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Forge forge;
        c.damage(forge);
        std::vector<BYTE> bytes = forge.Build(path);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);

        CKpkDecoder decoder;
        int code = -1;
        CArchive* archive = decoder.Open(path.c_str(), INVALID_HANDLE_VALUE, &code);
        EXPECT_EQ(code, c.openCode);
        if (c.openCode != 0) {
            EXPECT_EQ(archive, nullptr);
            continue;
        }
        ASSERT_NE(archive, nullptr);
        CLoadRecord record;
        EXPECT_EQ(archive->LoadByName("A", GlobalAllocCallback, &record, nullptr, nullptr), c.loadCode);
        if (c.loadCode == 0) {
            EXPECT_EQ(record.size, forge.unpacked.value_or(5));
        }
        GlobalFreeCallback(&record);
        archive->Release();
    }
    // A failing decoder's code reaches the caller of Mount, and nothing stays mounted.
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    CFileManager manager;
    manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    Forge broken;
    broken.count = 1000;
    std::vector<BYTE> bytes = broken.Build(path);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    EXPECT_EQ(manager.Mount("damaged.kpk", -2, false, true, nullptr), 1);
    EXPECT_EQ(manager.GetMountCount(), 0);
    // The file is not left open: it can be replaced at once.
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}
