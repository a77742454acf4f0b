#include "files/kpk_archive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "files/lzss.h"
#include "platform/name_trie.h"
#include "winapi/kernel.h"

BYTE g_KpkBuildRecords = 0;
DWORD g_KpkKeyWords[2] = {0, 0};

namespace {

DWORD Le32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

bool ReadExact(HANDLE handle, void* buffer, DWORD bytes)
{
    DWORD done = 0;
    return ReadFile(handle, buffer, bytes, &done, nullptr) && done == bytes;
}

bool SeekTo(HANDLE handle, ULONGLONG offset)
{
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle, target, nullptr, FILE_BEGIN) != FALSE;
}

std::string LowerName(const char* name)
{
    std::string copy = name != nullptr ? name : "";
    CharLowerA(copy.data());
    return copy;
}

// The upper bound of what LZSS can make of n stored bytes: each flag byte leads eight matches
// of 18 bytes (two bytes each), so 17 bytes give at most 144.
ULONGLONG LzssExpansionLimit(DWORD stored)
{
    return (static_cast<ULONGLONG>(stored) / 17 + 1) * 144;
}

} // namespace

DWORD KpkAssistFunc(void* block)
{
    return KpkAssistFunc2(block);
}

DWORD KpkAssistFunc2(void* block)
{
    if (block == nullptr)
        return 5;
    const BYTE* bytes = static_cast<const BYTE*>(block);
    switch (Le32(bytes)) {
    case 0:
        g_KpkBuildRecords = bytes[4] != 0 ? 1 : 0;
        return 0;
    case 1:
        g_KpkKeyWords[0] = Le32(bytes + 4);
        g_KpkKeyWords[1] = Le32(bytes + 8);
        return 0;
    default:
        return 5;
    }
}

// --- CKpkDecoder -------------------------------------------------------------------------------

CArchive* CKpkDecoder::Open(const char* path, HANDLE handle, int* outCode)
{
    int dummy = 0;
    int& code = outCode != nullptr ? *outCode : dummy;
    bool ownHandle = false;
    if (handle == INVALID_HANDLE_VALUE) {
        if (path == nullptr) {
            code = 5;
            return nullptr;
        }
        handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            code = 3;
            return nullptr;
        }
        ownHandle = true;
    }
    auto fail = [&](int failure) -> CArchive* {
        if (ownHandle)
            CloseHandle(handle);
        code = failure;
        return nullptr;
    };

    LARGE_INTEGER fileSize;
    BYTE header[8];
    if (!GetFileSizeEx(handle, &fileSize) || !SeekTo(handle, 0) || !ReadExact(handle, header, sizeof header))
        return fail(7);
    if (Le32(header) != kKpkMagic)
        return fail(1);

    std::unique_ptr<CKpkArchive> archive(new (std::nothrow) CKpkArchive);
    if (!archive)
        return fail(8);
    archive->m_cipher = CKpkCipher(path, g_KpkKeyWords[0], g_KpkKeyWords[1]);
    archive->m_wordKey = archive->m_cipher.WordKey();
    DWORD plain = archive->m_cipher.HeaderWord(Le32(header + 4));
    archive->m_flags = static_cast<BYTE>(plain >> 24);
    ULONGLONG length = plain & 0xFFFFFFu;
    if (archive->m_flags & KPK_FLAG_UNITS) {
        if (length == 0)
            return fail(1);
        length = (length << 11) - 8;
    }
    // An index longer than the file is cut short: refuse before allocating for it.
    if (length + 8 > static_cast<ULONGLONG>(fileSize.QuadPart))
        return fail(7);
    try {
        archive->m_index.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        return fail(8);
    }
    if (length > 0 && !ReadExact(handle, archive->m_index.data(), static_cast<DWORD>(length)))
        return fail(7);
    archive->m_cipher.ApplyIndexKeystream(archive->m_index.data(), archive->m_index.size());
    archive->m_path = path != nullptr ? path : "";
    if (archive->Parse(static_cast<ULONGLONG>(fileSize.QuadPart)) != 0)
        return fail(1);
    try {
        if (g_KpkBuildRecords)
            archive->BuildRecords();
    } catch (const std::bad_alloc&) {
        return fail(8);
    }
    archive->m_handle = handle;
    code = 0;
    return archive.release();
}

// --- CKpkArchive -------------------------------------------------------------------------------

CKpkArchive::~CKpkArchive()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}

int CKpkArchive::Parse(ULONGLONG fileSize)
{
    const BYTE* p = m_index.data();
    const BYTE* end = p + m_index.size();
    auto left = [&]() { return static_cast<ULONGLONG>(end - p); };
    if (left() < 5)
        return 1;
    m_count = Le32(p);
    m_prefixLength = p[4];
    p += 5;
    if (left() < m_prefixLength)
        return 1;
    m_prefix = p;
    p += m_prefixLength;
    if (m_flags & KPK_FLAG_NAMES) {
        if (left() < 5)
            return 1;
        m_wideLinks = p[0] != 0;
        m_trieSize = Le32(p + 1);
        p += 5;
        if (m_trieSize == 0 || left() < m_trieSize)
            return 1;
        m_trie = p;
        p += m_trieSize;
    }
    m_entrySize = (m_flags & KPK_FLAG_UNPACKED) ? 13 : 9;
    if (static_cast<ULONGLONG>(m_count) * m_entrySize > left())
        return 1;
    m_entries = p;
    if (m_trie != nullptr && !CheckTrie())
        return 1;

    // Every entry must lie inside the file and unpack to a size that its stored bytes can give.
    for (DWORD i = 0; i < m_count; ++i) {
        const BYTE* e = m_entries + static_cast<size_t>(i) * m_entrySize;
        ULONGLONG offset = Le32(e + 1);
        if (m_flags & KPK_FLAG_UNITS)
            offset <<= 11;
        DWORD stored = Le32(e + 5);
        DWORD unpacked = m_entrySize == 13 ? Le32(e + 9) : 0;
        if (unpacked == 0)
            unpacked = stored;
        if (stored == 0)
            continue; // loads with 2
        if (offset > 0xFFFFFFFFull || unpacked > kKpkMaxUnpackedSize || unpacked < m_prefixLength)
            return 1;
        if (stored != unpacked) {
            if (offset + stored > fileSize || unpacked - m_prefixLength > LzssExpansionLimit(stored))
                return 1;
        } else if (offset + (stored - m_prefixLength) > fileSize) {
            return 1;
        }
    }
    return 0;
}

bool CKpkArchive::CheckTrie() const
{
    // Links only point forward (a distance from the end of the child record), so every walk
    // ends; each node reachable from the root is checked once.
    const DWORD linkSize = m_wideLinks ? 4 : 2;
    std::vector<bool> seen(m_trieSize, false);
    std::vector<DWORD> pending{0};
    while (!pending.empty()) {
        DWORD node = pending.back();
        pending.pop_back();
        if (node >= m_trieSize)
            return false;
        if (seen[node])
            continue;
        seen[node] = true;
        DWORD children = m_trie[node];
        ULONGLONG endOfNode = static_cast<ULONGLONG>(node) + 1 + static_cast<ULONGLONG>(children) * (1 + linkSize);
        if (endOfNode > m_trieSize)
            return false;
        for (DWORD c = 0; c < children; ++c) {
            const BYTE* child = m_trie + node + 1 + c * (1 + linkSize);
            DWORD link = m_wideLinks ? Le32(child + 1) : static_cast<DWORD>(child[1] | (child[2] << 8));
            if (child[0] == 0) {
                if (link >= m_count)
                    return false;
                continue;
            }
            ULONGLONG target = static_cast<ULONGLONG>(child - m_trie) + 1 + linkSize + link;
            if (target >= m_trieSize)
                return false;
            pending.push_back(static_cast<DWORD>(target));
        }
    }
    return true;
}

CArchiveEntry CKpkArchive::ReadEntry(DWORD index) const
{
    const BYTE* e = m_entries + static_cast<size_t>(index) * m_entrySize;
    CArchiveEntry entry;
    entry.index = index;
    entry.flag = e[0];
    entry.offset = Le32(e + 1);
    if (m_flags & KPK_FLAG_UNITS)
        entry.offset <<= 11; // checked to fit at open
    entry.storedSize = Le32(e + 5);
    entry.hasUnpackedSize = m_entrySize == 13;
    DWORD unpacked = entry.hasUnpackedSize ? Le32(e + 9) : 0;
    entry.unpackedSize = unpacked == 0 ? entry.storedSize : unpacked;
    return entry;
}

void CKpkArchive::BuildRecords()
{
    m_records.resize(m_count);
    m_names.assign(m_count, std::string());
    for (DWORD i = 0; i < m_count; ++i)
        m_records[i] = ReadEntry(i);
    if (m_trie != nullptr) {
        // Depth-first over the trie; the number of visits is bounded so that a trie whose nodes
        // are shared cannot make the walk explode.
        const DWORD linkSize = m_wideLinks ? 4 : 2;
        std::vector<std::pair<DWORD, std::string>> pending{{0, std::string()}};
        ULONGLONG visits = 0;
        while (!pending.empty() && ++visits <= static_cast<ULONGLONG>(m_trieSize) + m_count) {
            auto [node, name] = std::move(pending.back());
            pending.pop_back();
            DWORD children = m_trie[node];
            for (DWORD c = children; c-- > 0;) {
                const BYTE* child = m_trie + node + 1 + c * (1 + linkSize);
                DWORD link = m_wideLinks ? Le32(child + 1) : static_cast<DWORD>(child[1] | (child[2] << 8));
                if (child[0] == 0) {
                    m_names[link] = name;
                } else if (name.size() < 255) {
                    pending.emplace_back(static_cast<DWORD>((child - m_trie) + 1 + linkSize + link),
                                         name + static_cast<char>(child[0]));
                }
            }
        }
    }
    char numbered[32];
    for (DWORD i = 0; i < m_count; ++i) {
        if (m_names[i].empty()) {
            std::snprintf(numbered, sizeof numbered, "%06u.DAT", i);
            m_names[i] = numbered;
        }
    }
    m_table.resize(m_count);
    for (DWORD i = 0; i < m_count; ++i)
        m_table[i] = {m_names[i].c_str(), &m_records[i]};
}

int CKpkArchive::Lookup(const char* name) const
{
    if (m_trie == nullptr || name == nullptr)
        return -1;
    int32_t index = FindInNameTrie(m_trie, m_trieSize, m_wideLinks, name, 2);
    return index >= 0 && static_cast<DWORD>(index) < m_count ? index : -1;
}

const CArchiveEntryName* CKpkArchive::GetEntryTable()
{
    return m_table.empty() ? nullptr : m_table.data();
}

bool CKpkArchive::Exists(const char* name)
{
    return Lookup(name) >= 0;
}

const CArchiveEntry* CKpkArchive::FindEntry(const char* name)
{
    if (m_records.empty() || name == nullptr)
        return nullptr;
    std::string lower = LowerName(name);
    for (DWORD i = 0; i < m_count; ++i)
        if (m_names[i] == lower)
            return &m_records[i];
    return nullptr;
}

const CArchiveEntry* CKpkArchive::GetEntry(DWORD index, char* outName)
{
    if (m_records.empty() || index >= m_count)
        return nullptr;
    if (outName != nullptr) {
        size_t n = std::min<size_t>(m_names[index].size(), MAX_PATH - 1);
        std::memcpy(outName, m_names[index].data(), n);
        outName[n] = '\0';
    }
    return &m_records[index];
}

int CKpkArchive::GetEntryInfo(DWORD index, CArchiveEntry* out)
{
    if (index >= m_count)
        return 3;
    *out = m_records.empty() ? ReadEntry(index) : m_records[index];
    CScopedLock lock(m_lock);
    if (!SeekTo(m_handle, out->offset))
        return 6;
    return 0;
}

int CKpkArchive::LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                            void* progressContext)
{
    int index = Lookup(name);
    if (index < 0)
        return 3;
    return LoadEntry(static_cast<DWORD>(index), allocate, record, progress, progressContext);
}

int CKpkArchive::LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                             void* progressContext)
{
    if (index >= m_count)
        return 3;
    return LoadEntry(index, allocate, record, progress, progressContext);
}

int CKpkArchive::LoadEntry(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                           void* progressContext)
{
    if (allocate == nullptr)
        return 5;
    // The shared handle is positioned and read as one step.
    CScopedLock lock(m_lock);
    CArchiveEntry entry;
    int code = GetEntryInfo(index, &entry);
    if (code != 0)
        return code == 3 ? 3 : 6;
    if (entry.storedSize == 0)
        return 2;
    BYTE* block = static_cast<BYTE*>(allocate(entry.unpackedSize, record, nullptr));
    if (block == nullptr)
        return 8;
    if (progress != nullptr)
        progress(0, 1, progressContext);
    BYTE* body = block + m_prefixLength;
    DWORD length = entry.unpackedSize - m_prefixLength;
    if (entry.storedSize != entry.unpackedSize) {
        std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[entry.storedSize]);
        if (!packed)
            return 8;
        if (!ReadExact(m_handle, packed.get(), entry.storedSize))
            return 7;
        DWORD consumed = 0;
        // A stream that ends early, or holds more than the entry's size, is damaged.
        if (LzssDecompress(packed.get(), entry.storedSize, &body, length, false, &consumed) != 0 ||
            consumed != entry.storedSize)
            return 12;
    } else if (length > 0 && !ReadExact(m_handle, body, length)) {
        return 7;
    }
    if (entry.flag != 0)
        for (DWORD i = 0; i < length; ++i)
            body[i] = CKpkCipher::UnscrambleByte(body[i]);
    if ((m_flags & KPK_FLAG_WORDS) && length > 3)
        m_cipher.ApplyWordTransform(body, length);
    if (m_prefixLength > 0)
        std::memcpy(block, m_prefix, m_prefixLength);
    if (progress != nullptr)
        progress(1, 1, progressContext);
    return 0;
}

CReadStream* CKpkArchive::OpenByName(const char* name, int* outCode)
{
    int index = Lookup(name);
    if (index < 0) {
        if (outCode != nullptr)
            *outCode = 3;
        return nullptr;
    }
    return OpenEntryStream(static_cast<DWORD>(index), outCode);
}

CReadStream* CKpkArchive::OpenByIndex(DWORD index, int* outCode)
{
    if (index >= m_count) {
        if (outCode != nullptr)
            *outCode = 3;
        return nullptr;
    }
    return OpenEntryStream(index, outCode);
}

CReadStream* CKpkArchive::OpenEntryStream(DWORD index, int* outCode)
{
    int dummy = 0;
    int& code = outCode != nullptr ? *outCode : dummy;
    CArchiveEntry entry;
    code = GetEntryInfo(index, &entry);
    if (code != 0)
        return nullptr;
    if (entry.storedSize == 0 || entry.storedSize != entry.unpackedSize) {
        code = -3;
        return nullptr;
    }
    // A handle of its own, so that the stream can be read while loads use the shared one.
    HANDLE handle = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        code = 3;
        return nullptr;
    }
    DWORD head = m_prefixLength;
    if (m_flags & KPK_FLAG_WORDS)
        head = std::min(m_prefixLength + 256, entry.storedSize);
    std::unique_ptr<BYTE[]> headBytes;
    if (head > 0) {
        headBytes.reset(new (std::nothrow) BYTE[head]);
        if (!headBytes) {
            CloseHandle(handle);
            code = 8;
            return nullptr;
        }
        std::memcpy(headBytes.get(), m_prefix, m_prefixLength);
        BYTE* body = headBytes.get() + m_prefixLength;
        DWORD bodyLength = head - m_prefixLength;
        if (bodyLength > 0 && (!SeekTo(handle, entry.offset) || !ReadExact(handle, body, bodyLength))) {
            CloseHandle(handle);
            code = 8;
            return nullptr;
        }
        if (entry.flag != 0)
            for (DWORD i = 0; i < bodyLength; ++i)
                body[i] = CKpkCipher::UnscrambleByte(body[i]);
        if (m_flags & KPK_FLAG_WORDS)
            m_cipher.ApplyWordTransform(body, bodyLength);
    }
    DWORD start = entry.offset + (head - m_prefixLength);
    if (!SeekTo(handle, start)) {
        CloseHandle(handle);
        code = 6;
        return nullptr;
    }
    auto* stream = new (std::nothrow) CRegionStream(handle, start, entry.storedSize, headBytes.get(),
                                                    static_cast<WORD>(head),
                                                    entry.flag != 0 ? CKpkCipher::UnscrambleByte : nullptr);
    if (stream == nullptr) {
        CloseHandle(handle);
        code = 8;
        return nullptr;
    }
    headBytes.release();
    code = 0;
    return stream;
}
