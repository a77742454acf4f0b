#include "files/spi_archive.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/image_cache.h"
#include "files/path_utils.h"
#include "winapi/kernel.h"

BYTE g_SpiBuildRecords = 0;

namespace {

bool IsLeadByte(BYTE c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

uint32_t Read32(const BYTE* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// '/' → '\' outside two-byte characters.
std::string WithBackslashes(std::string text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<BYTE>(text[i])))
            ++i;
        else if (text[i] == '/')
            text[i] = '\\';
    }
    return text;
}

struct LoadProgress {
    LoadProgressFunc callback;
    void* context;
};

int ForwardProgress(int done, int total, intptr_t user)
{
    const auto* progress = reinterpret_cast<const LoadProgress*>(user);
    if (progress->callback != nullptr)
        progress->callback(static_cast<DWORD>(done), static_cast<DWORD>(total), progress->context);
    return 0;
}

// The fields of one file record: method (8 bytes, a first byte 0 ends the array), position,
// compressed size, file size, time stamp, path (200 bytes), file name (200 bytes), CRC.
struct CSpiFileRecord {
    CArchiveEntry entry;
    std::string name;
};

CSpiFileRecord ReadRecord(const BYTE* r)
{
    CSpiFileRecord record;
    record.entry.offset = Read32(r + 8);
    record.entry.storedSize = Read32(r + 12);
    record.entry.unpackedSize = Read32(r + 16);
    record.entry.timeStamp = Read32(r + 20);
    record.entry.crc = Read32(r + 424);
    record.entry.hasUnpackedSize = record.entry.storedSize != record.entry.unpackedSize;
    record.name = WithBackslashes(SpiFieldText(reinterpret_cast<const char*>(r + 24), 200)) +
                  SpiFieldText(reinterpret_cast<const char*>(r + 224), 200);
    return record;
}

} // namespace

DWORD SpiAssistFunc(void* block)
{
    if (block == nullptr)
        return 5;
    DWORD words[2];
    std::memcpy(words, block, sizeof words);
    if (words[0] != 0)
        return 5;
    g_SpiBuildRecords = words[1] != 0;
    return 0;
}

CSPIArchiveDecoder::CSPIArchiveDecoder(SpiModuleRef module, SpiGetArchiveInfoFunc getArchiveInfo,
                                       SpiGetFileFunc getFile, std::string typeString, std::string extensions)
    : m_module(std::move(module)), m_getArchiveInfo(getArchiveInfo), m_getFile(getFile),
      m_typeString(std::move(typeString)), m_extensions(std::move(extensions))
{
}

CArchive* CSPIArchiveDecoder::Open(const char* path, HANDLE handle, int* outCode)
{
    int ignored = 0;
    int& code = outCode != nullptr ? *outCode : ignored;
    std::string hostPath;
    if (path == nullptr || !winapi::ResolvePath(path, &hostPath)) {
        code = 1;
        return nullptr;
    }
    HLOCAL infoHandle = nullptr;
    int answer = 1;
    try {
        answer = m_getArchiveInfo(hostPath.c_str(), 0, 0, &infoHandle);
    } catch (...) {
    }
    SIZE_T size = 0;
    HGLOBAL info = TakeSpiBlock(infoHandle, &size);
    if (answer != 0 || info == nullptr) {
        GlobalFree(info);
        code = 1;
        return nullptr;
    }
    CSPIArchive* archive = nullptr;
    code = 0;
    try {
        archive = new CSPIArchive;
        // An array without its ending record ends with its block.
        const auto* records = static_cast<const BYTE*>(info);
        for (size_t i = 0; i < size / kSpiRecordSize && records[i * kSpiRecordSize] != 0; ++i) {
            CSpiFileRecord record = ReadRecord(records + i * kSpiRecordSize);
            // A name that would not fit a path could never be asked for.
            if (record.name.empty() || record.name.size() >= MAX_PATH)
                continue;
            if (!archive->Add(std::move(record.name), record.entry)) {
                code = 10;
                break;
            }
        }
        if (code == 0 && archive->m_entries.empty())
            code = 2;
        if (code == 0 && g_SpiBuildRecords) {
            archive->m_table.reserve(archive->m_entries.size());
            for (const auto& e : archive->m_entries)
                archive->m_table.push_back(CArchiveEntryName{e.name.c_str(), &e.entry});
        }
        if (code == 0) {
            archive->m_path = hostPath;
            archive->m_module = m_module;
            archive->m_getFile = m_getFile;
        }
    } catch (const std::bad_alloc&) {
        code = 8;
    }
    GlobalFree(info);
    if (code != 0) {
        delete archive;
        return nullptr;
    }
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return archive;
}

std::string CSPIArchive::FoldName(const char* name)
{
    std::string out;
    for (const char* p = name; *p != 0; ++p) {
        const BYTE c = static_cast<BYTE>(*p);
        if (IsLeadByte(c) && p[1] != 0) {
            unsigned w = c << 8 | static_cast<BYTE>(p[1]);
            if (w >= 0x8260 && w <= 0x8279) // full-width A-Z → a-z
                w += 0x21;
            else if (w >= 0x8754 && w <= 0x875D) // Roman numerals, first row
                w = 0xFA40 + (w - 0x8754);
            else if (w >= 0xFA4A && w <= 0xFA53) // Roman numerals, second row
                w = 0xFA40 + (w - 0xFA4A);
            out += static_cast<char>(w >> 8);
            out += static_cast<char>(w & 0xFF);
            ++p;
            continue;
        }
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return out;
}

CSPIArchive::CSPIArchive()
{
    std::fill(std::begin(m_buckets), std::end(m_buckets), -1);
}

bool CSPIArchive::Add(std::string name, const CArchiveEntry& entry)
{
    if (Lookup(name.c_str()) >= 0)
        return false;
    CNamedEntry named{std::move(name), {}, 0, -1, entry};
    named.folded = FoldName(named.name.c_str());
    named.hash = CNameHashTable::HashName(named.folded.c_str());
    named.entry.index = static_cast<DWORD>(m_entries.size());
    int& head = m_buckets[named.hash & (kBuckets - 1)];
    named.next = head;
    head = static_cast<int>(m_entries.size());
    m_entries.push_back(std::move(named));
    return true;
}

int CSPIArchive::Lookup(const char* name) const
{
    if (name == nullptr || m_entries.empty())
        return -1;
    const std::string folded = FoldName(name);
    const DWORD hash = CNameHashTable::HashName(folded.c_str());
    for (int i = m_buckets[hash & (kBuckets - 1)]; i >= 0; i = m_entries[i].next)
        if (m_entries[i].hash == hash && m_entries[i].folded == folded)
            return i;
    return -1;
}

const CArchiveEntry* CSPIArchive::FindEntry(const char* name)
{
    const int i = Lookup(name);
    return i >= 0 ? &m_entries[i].entry : nullptr;
}

const CArchiveEntry* CSPIArchive::GetEntry(DWORD index, char* outName)
{
    if (index >= m_entries.size())
        return nullptr;
    const CNamedEntry& e = m_entries[index];
    if (outName != nullptr)
        std::memcpy(outName, e.name.c_str(), e.name.size() + 1); // names are shorter than MAX_PATH
    return &e.entry;
}

int CSPIArchive::LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                            void* progressContext)
{
    const int i = Lookup(name);
    return i < 0 ? 3 : LoadEntry(m_entries[i].entry, allocate, record, progress, progressContext);
}

int CSPIArchive::LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                             void* progressContext)
{
    return index >= m_entries.size() ? 3
                                     : LoadEntry(m_entries[index].entry, allocate, record, progress, progressContext);
}

int CSPIArchive::ExtractByName(const char* name, const char* folder, LoadProgressFunc progress, void* progressContext)
{
    const int i = Lookup(name);
    return i < 0 ? 3 : ExtractEntry(m_entries[i].entry, folder, progress, progressContext);
}

int CSPIArchive::ExtractByIndex(DWORD index, const char* folder, LoadProgressFunc progress, void* progressContext)
{
    return index >= m_entries.size() ? 3 : ExtractEntry(m_entries[index].entry, folder, progress, progressContext);
}

CReadStream* CSPIArchive::OpenByName(const char* name, int* outCode)
{
    if (outCode != nullptr)
        *outCode = Lookup(name) >= 0 ? -3 : 3;
    return nullptr;
}

CReadStream* CSPIArchive::OpenByIndex(DWORD index, int* outCode)
{
    if (outCode != nullptr)
        *outCode = index < m_entries.size() ? -3 : 3;
    return nullptr;
}

int CSPIArchive::LoadEntry(const CArchiveEntry& entry, LoadAllocFunc allocate, CLoadRecord* record,
                           LoadProgressFunc progress, void* progressContext)
{
    if (allocate == nullptr)
        return 5;
    if (entry.unpackedSize == 0)
        return 2;
    HLOCAL blockHandle = nullptr;
    LoadProgress forward{progress, progressContext};
    int answer = 1;
    try {
        answer = m_getFile(m_path.c_str(), entry.offset, reinterpret_cast<char*>(&blockHandle), kSpiOutputMemory,
                           ForwardProgress, reinterpret_cast<intptr_t>(&forward));
    } catch (...) {
    }
    SIZE_T size = 0;
    HGLOBAL block = TakeSpiBlock(blockHandle, &size);
    if (answer != 0 || block == nullptr || size > 0xFFFFFFFFu) {
        GlobalFree(block);
        return 1;
    }
    // The caller adopts the plug-in's block.
    void* adopted = allocate(static_cast<DWORD>(size), record, block);
    if (adopted == nullptr) {
        GlobalFree(block);
        return 8;
    }
    if (adopted != block) {
        // A caller that gave its own memory gets a copy.
        std::memcpy(adopted, block, size);
        GlobalFree(block);
    }
    return 0;
}

int CSPIArchive::ExtractEntry(const CArchiveEntry& entry, const char* folder, LoadProgressFunc progress,
                              void* progressContext)
{
    char full[MAX_PATH];
    std::string hostFolder;
    if (folder == nullptr || MakeFullPath(full, folder, nullptr) == 0 || !winapi::ResolvePath(full, &hostFolder))
        return 5;
    LoadProgress forward{progress, progressContext};
    int answer = 1;
    try {
        answer = m_getFile(m_path.c_str(), entry.offset, hostFolder.data(), 0, ForwardProgress,
                           reinterpret_cast<intptr_t>(&forward));
    } catch (...) {
    }
    return answer == 0 ? 0 : 1;
}
