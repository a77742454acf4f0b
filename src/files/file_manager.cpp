#include "files/file_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "files/path_utils.h"
#include "winapi/kernel.h"

CFileManager* g_pFileManager = nullptr;
CFileManager* g_pSPIFileManager = nullptr;

namespace {

std::string Lower(const std::string& text)
{
    std::string copy = text;
    CharLowerA(copy.data());
    return copy;
}

std::string WithBackslash(std::string path)
{
    if (!EndsWithSeparator(path.c_str()))
        path += '\\';
    return path;
}

size_t CommonLength(const std::string& a, const std::string& b)
{
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

void CopyPath(char* out, const std::string& path)
{
    if (out == nullptr)
        return;
    size_t n = std::min<size_t>(path.size(), MAX_PATH - 1);
    std::memcpy(out, path.data(), n);
    out[n] = '\0';
}

// A loose file opened for reading → handle or INVALID_HANDLE_VALUE.
HANDLE OpenLoose(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

} // namespace

CFileManager::~CFileManager()
{
    ClearSearchFolders();
    UnmountAll();
    UnloadAllDecoders();
}

int CFileManager::ResolveName(const char* name, std::string* fullPath, bool* absolute)
{
    char full[MAX_PATH];
    int kind = name != nullptr ? MakeFullPath(full, name, nullptr) : 0;
    if (kind == 0)
        return ADL_BAD_PATH;
    *fullPath = full;
    *absolute = kind == 1;
    return ADL_OK;
}

int CFileManager::AskArchive(CArchive* archive, const char* entry, WalkMode mode, CReadStream** outStream,
                             LoadAllocFunc allocate, CLoadRecord* record)
{
    switch (mode) {
    case WalkMode::Exists:
        return archive->Exists(entry) ? ADL_OK : ADL_NOT_FOUND;
    case WalkMode::Load:
        return archive->LoadByName(entry, allocate, record, nullptr, nullptr);
    case WalkMode::Stream:
    case WalkMode::StreamOrLoad: {
        int code = ADL_NOT_FOUND;
        CReadStream* stream = archive->OpenByName(entry, &code);
        if (stream != nullptr) {
            *outStream = stream;
            return ADL_OK;
        }
        if (code == -3 && mode == WalkMode::StreamOrLoad) {
            CLoadRecord block;
            code = archive->LoadByName(entry, GlobalAllocCallback, &block, nullptr, nullptr);
            if (code != ADL_OK) {
                GlobalFreeCallback(&block);
                return code;
            }
            auto* memory = new (std::nothrow) CMemoryReader;
            if (memory == nullptr) {
                GlobalFreeCallback(&block);
                return ADL_NO_MEMORY;
            }
            memory->Attach(block.pointer, block.size);
            *outStream = memory;
            return ADL_OK;
        }
        // An entry that must be loaded counts as not found when loading is not allowed.
        return code == -3 || code == 0 ? ADL_NOT_FOUND : code;
    }
    }
    return ADL_NOT_FOUND;
}

int CFileManager::WalkMounts(const std::string& path, WalkMode mode, CReadStream** outStream,
                             LoadAllocFunc allocate, LoadFreeFunc free, CLoadRecord* record)
{
    // The first failure other than "not found" is what the caller hears when no archive serves
    // the name (a damaged entry must not read as a missing one).
    int failure = ADL_NOT_FOUND;
    auto ask = [&](const CMount& mount) {
        if (mount.archive == nullptr || path.compare(0, mount.prefix.size(), mount.prefix) != 0)
            return false;
        int code = AskArchive(mount.archive, path.c_str() + mount.prefix.size(), mode, outStream, allocate, record);
        if (code == ADL_OK)
            return true;
        // The block of a failed load goes back before the next archive is asked.
        if (mode == WalkMode::Load && record != nullptr && record->pointer != nullptr && free != nullptr)
            free(record);
        if (code != ADL_NOT_FOUND && failure == ADL_NOT_FOUND)
            failure = code;
        return false;
    };
    for (auto it = m_mounts.begin(); it != m_mounts.end();) {
        if (CommonLength(path, it->prefix) == 0) {
            if (it->group > 0) {
                while (it != m_mounts.end() && it->group != -1)
                    ++it;
            }
            if (it != m_mounts.end())
                ++it;
            continue;
        }
        // This record's group is the only one asked.
        if (ask(*it))
            return ADL_OK;
        if (it->group <= 0)
            return failure;
        for (++it; it != m_mounts.end(); ++it) {
            // The whole prefix is compared (not only from the group's shared length on), so a
            // path that shares less than that length cannot match by its tail alone.
            if (ask(*it))
                return ADL_OK;
            if (it->group == -1)
                break;
        }
        return failure;
    }
    return failure;
}

CReadStream* CFileManager::Open(const char* name, char* outPath, int* outCode, bool allowLoad)
{
    int dummy = 0;
    int& code = outCode != nullptr ? *outCode : dummy;
    try {
        std::string full;
        bool absolute = false;
        code = ResolveName(name, &full, &absolute);
        if (code != ADL_OK)
            return nullptr;
        auto tryLoose = [&](const std::string& path) -> CReadStream* {
            HANDLE handle = OpenLoose(path);
            if (handle == INVALID_HANDLE_VALUE)
                return nullptr;
            auto* reader = new (std::nothrow) CFileReader;
            if (reader == nullptr) {
                CloseHandle(handle);
                throw std::bad_alloc();
            }
            int attached = reader->Attach(handle);
            if (attached != 0) {
                CloseHandle(handle);
                delete reader;
                throw static_cast<int>(ADL_SIZE_UNKNOWN);
            }
            CopyPath(outPath, path);
            return reader;
        };
        if (CReadStream* reader = tryLoose(full)) {
            code = ADL_OK;
            return reader;
        }
        std::vector<std::string> folderPaths;
        if (!absolute) {
            for (const std::string& folder : m_searchFolders) {
                char path[MAX_PATH];
                if (MakeFullPath(path, name, folder.c_str()) == 0)
                    continue;
                folderPaths.push_back(path);
                if (CReadStream* reader = tryLoose(path)) {
                    code = ADL_OK;
                    return reader;
                }
            }
        }
        WalkMode mode = allowLoad ? WalkMode::StreamOrLoad : WalkMode::Stream;
        int failure = ADL_NOT_FOUND;
        std::vector<std::string> archivePaths{full};
        archivePaths.insert(archivePaths.end(), folderPaths.begin(), folderPaths.end());
        for (const std::string& path : archivePaths) {
            CReadStream* stream = nullptr;
            int walked = WalkMounts(Lower(path), mode, &stream, nullptr, nullptr, nullptr);
            if (walked == ADL_OK) {
                CopyPath(outPath, path);
                code = ADL_OK;
                return stream;
            }
            if (failure == ADL_NOT_FOUND)
                failure = walked;
        }
        code = failure;
        return nullptr;
    } catch (const std::bad_alloc&) {
        code = ADL_NO_MEMORY;
    } catch (int thrown) {
        code = thrown;
    } catch (...) {
        code = ADL_OTHER;
    }
    return nullptr;
}

int CFileManager::LoadFile(const char* name, LoadAllocFunc allocate, LoadFreeFunc free, CLoadRecord* record,
                           char* outPath)
{
    if (allocate == nullptr || free == nullptr || record == nullptr)
        return ADL_OTHER;
    try {
        std::string full;
        bool absolute = false;
        int code = ResolveName(name, &full, &absolute);
        if (code != ADL_OK)
            return code;
        // → 0 loaded, 3 not there, or the failure.
        auto loadLoose = [&](const std::string& path) -> int {
            HANDLE handle = OpenLoose(path);
            if (handle == INVALID_HANDLE_VALUE)
                return ADL_NOT_FOUND;
            DWORD high = 0;
            DWORD size = GetFileSize(handle, &high);
            if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0) {
                CloseHandle(handle);
                return ADL_SIZE_UNKNOWN;
            }
            void* block = allocate(size, record, nullptr);
            if (block == nullptr) {
                CloseHandle(handle);
                return ADL_NO_MEMORY;
            }
            DWORD done = 0;
            BOOL ok = ReadFile(handle, block, size, &done, nullptr);
            CloseHandle(handle);
            if (!ok || done != size) {
                free(record);
                return ADL_READ_FAILED;
            }
            CopyPath(outPath, path);
            return ADL_OK;
        };
        code = loadLoose(full);
        if (code != ADL_NOT_FOUND)
            return code;
        std::vector<std::string> folderPaths;
        if (!absolute) {
            for (const std::string& folder : m_searchFolders) {
                char path[MAX_PATH];
                if (MakeFullPath(path, name, folder.c_str()) == 0)
                    continue;
                folderPaths.push_back(path);
                code = loadLoose(path);
                if (code != ADL_NOT_FOUND)
                    return code;
            }
        }
        int failure = ADL_NOT_FOUND;
        std::vector<std::string> archivePaths{full};
        archivePaths.insert(archivePaths.end(), folderPaths.begin(), folderPaths.end());
        for (const std::string& path : archivePaths) {
            int walked = WalkMounts(Lower(path), WalkMode::Load, nullptr, allocate, free, record);
            if (walked == ADL_OK) {
                CopyPath(outPath, path);
                return ADL_OK;
            }
            if (failure == ADL_NOT_FOUND)
                failure = walked;
        }
        return failure;
    } catch (const std::bad_alloc&) {
        return ADL_NO_MEMORY;
    } catch (...) {
        return ADL_OTHER;
    }
}

int CFileManager::GetSearchFolderCount()
{
    return static_cast<int>(m_searchFolders.size());
}

void CFileManager::ClearSearchFolders()
{
    m_searchFolders.clear();
}

int CFileManager::AddSearchFolder(const char* path, bool atEnd)
{
    char full[MAX_PATH];
    if (path == nullptr || MakeFullPath(full, path, nullptr) == 0)
        return 1;
    try {
        std::string folder = Lower(WithBackslash(full));
        if (atEnd)
            m_searchFolders.push_back(folder);
        else
            m_searchFolders.push_front(folder);
    } catch (const std::bad_alloc&) {
        return 2;
    }
    return 0;
}

int CFileManager::RemoveSearchFolder(const char* path, int index)
{
    if (path != nullptr) {
        char full[MAX_PATH];
        if (MakeFullPath(full, path, nullptr) == 0)
            return 1;
        std::string folder = Lower(WithBackslash(full));
        auto it = std::find(m_searchFolders.begin(), m_searchFolders.end(), folder);
        if (it == m_searchFolders.end())
            return -1;
        m_searchFolders.erase(it);
        return 0;
    }
    if (m_searchFolders.empty())
        return -1;
    if (index < 0)
        index = static_cast<int>(m_searchFolders.size()) - 1;
    if (index >= static_cast<int>(m_searchFolders.size()))
        return -1;
    m_searchFolders.erase(std::next(m_searchFolders.begin(), index));
    return 0;
}

const char* CFileManager::GetSearchFolder(int index)
{
    if (m_searchFolders.empty())
        return nullptr;
    if (index < 0)
        return m_searchFolders.back().c_str();
    if (index >= static_cast<int>(m_searchFolders.size()))
        return nullptr;
    return std::next(m_searchFolders.begin(), index)->c_str();
}

int CFileManager::FindFile(char* outPath, const char* name, WIN32_FIND_DATAA* outFindData)
{
    char full[MAX_PATH];
    int kind = name != nullptr ? MakeFullPath(full, name, nullptr) : 0;
    if (kind == 0)
        return 1;
    auto look = [&](const char* path) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(path, &data);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        FindClose(find);
        if (outFindData != nullptr)
            *outFindData = data;
        CopyPath(outPath, path);
        return true;
    };
    if (look(full))
        return 0;
    if (kind == 1)
        return 2;
    for (const std::string& folder : m_searchFolders) {
        char path[MAX_PATH];
        if (MakeFullPath(path, name, folder.c_str()) != 0 && look(path))
            return 0;
    }
    return 3;
}

int CFileManager::OpenFileHandle(HANDLE* outHandle, const char* name, bool shareRead, char* outPath)
{
    if (outHandle == nullptr)
        return 1;
    *outHandle = INVALID_HANDLE_VALUE;
    char full[MAX_PATH];
    int kind = name != nullptr ? MakeFullPath(full, name, nullptr) : 0;
    if (kind == 0)
        return 1;
    auto open = [&](const char* path) {
        CopyPath(outPath, path);
        *outHandle = CreateFileA(path, GENERIC_READ, shareRead ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        return *outHandle != INVALID_HANDLE_VALUE;
    };
    if (open(full))
        return 0;
    if (kind == 1)
        return 1;
    for (const std::string& folder : m_searchFolders) {
        char path[MAX_PATH];
        if (MakeFullPath(path, name, folder.c_str()) != 0 && open(path))
            return 0;
    }
    return 2;
}

int CFileManager::GetMountCount()
{
    return static_cast<int>(m_mounts.size());
}

void CFileManager::UnmountAll()
{
    for (CMount& mount : m_mounts)
        if (mount.archive != nullptr)
            mount.archive->Release();
    m_mounts.clear();
}

int CFileManager::Mount(const char* name, int id, bool asFolder, bool append, CArchive** outArchive)
{
    if (outArchive != nullptr)
        *outArchive = nullptr;
    char path[MAX_PATH];
    if (FindFile(path, name, nullptr) != 0)
        return ADL_BAD_PATH;
    HANDLE handle = OpenLoose(path);
    if (handle == INVALID_HANDLE_VALUE)
        return ADL_NOT_FOUND;
    CArchive* archive = nullptr;
    int code = ADL_NO_DECODER;
    try {
        if (CArchiveDecoder* decoder = FindDecoderByExtension(path)) {
            archive = decoder->Open(path, handle, &code);
            if (archive == nullptr && code == ADL_OK)
                code = ADL_NO_DECODER;
        } else {
            for (CPluginRecord* record : m_decoders) {
                auto* candidate = dynamic_cast<CArchiveDecoder*>(record->decodeObject);
                if (candidate == nullptr)
                    continue;
                int ignored = 0;
                archive = candidate->Open(path, handle, &ignored);
                if (archive != nullptr)
                    break;
            }
            code = archive != nullptr ? ADL_OK : ADL_NO_DECODER;
        }
    } catch (...) {
        archive = nullptr;
        code = ADL_OTHER;
    }
    if (archive == nullptr) {
        CloseHandle(handle);
        return code;
    }

    CMount record;
    record.archive = archive;
    record.id = id;
    char prefix[MAX_PATH];
    std::memcpy(prefix, path, std::strlen(path) + 1);
    if (asFolder) {
        StripExtension(prefix, nullptr);
        record.prefix = Lower(WithBackslash(prefix));
    } else {
        SplitPath(prefix, nullptr);
        record.prefix = Lower(prefix);
    }

    auto it = m_mounts.begin();
    size_t shared = 0;
    while (it != m_mounts.end()) {
        shared = CommonLength(record.prefix, it->prefix);
        if (shared > 0)
            break;
        if (it->group > 0)
            while (it != m_mounts.end() && it->group != -1)
                ++it;
        if (it != m_mounts.end())
            ++it;
    }
    if (it == m_mounts.end()) {
        record.group = 0;
        if (append)
            m_mounts.push_back(record);
        else
            m_mounts.push_front(record);
    } else if (it->group == 0) {
        int n = static_cast<int>(shared);
        if (!append) {
            record.group = n;
            it->group = -1;
            m_mounts.insert(it, record);
        } else {
            it->group = n;
            record.group = -1;
            m_mounts.insert(std::next(it), record);
        }
    } else {
        int n = std::min(static_cast<int>(shared), it->group);
        if (!append) {
            record.group = n;
            it->group = 0;
            m_mounts.insert(it, record);
        } else {
            it->group = n;
            auto last = it;
            while (last->group != -1)
                ++last;
            last->group = 0;
            record.group = -1;
            m_mounts.insert(std::next(last), record);
        }
    }
    if (outArchive != nullptr)
        *outArchive = archive;
    return ADL_OK;
}

void CFileManager::RemoveMount(std::list<CMount>::iterator it)
{
    if (it->group > 0) {
        auto next = std::next(it);
        if (next != m_mounts.end())
            next->group = next->group == -1 ? 0 : it->group;
    } else if (it->group == -1 && it != m_mounts.begin()) {
        auto previous = std::prev(it);
        previous->group = previous->group > 0 ? 0 : -1;
    }
    if (it->archive != nullptr)
        it->archive->Release();
    m_mounts.erase(it);
}

void CFileManager::Unmount(const char* path, int id, int index)
{
    if (path != nullptr) {
        char full[MAX_PATH];
        if (MakeFullPath(full, path, nullptr) == 0)
            return;
        std::string prefix = Lower(WithBackslash(full));
        for (auto it = m_mounts.begin(); it != m_mounts.end();) {
            auto next = std::next(it);
            if (it->prefix == prefix)
                RemoveMount(it);
            it = next;
        }
        return;
    }
    if (id == -2) {
        if (m_mounts.empty())
            return;
        if (index < 0)
            index = static_cast<int>(m_mounts.size()) - 1;
        if (index >= static_cast<int>(m_mounts.size()))
            return;
        RemoveMount(std::next(m_mounts.begin(), index));
        return;
    }
    for (auto it = m_mounts.begin(); it != m_mounts.end(); ++it) {
        if (it->id == id) {
            RemoveMount(it);
            return;
        }
    }
}

namespace {

template <typename List>
auto FindMount(List& mounts, int id, int index) -> decltype(mounts.begin())
{
    if (id == -1) {
        if (mounts.empty())
            return mounts.end();
        if (index < 0)
            return std::prev(mounts.end());
        if (index >= static_cast<int>(mounts.size()))
            return mounts.end();
        return std::next(mounts.begin(), index);
    }
    return std::find_if(mounts.begin(), mounts.end(), [id](const auto& m) { return m.id == id; });
}

} // namespace

const char* CFileManager::GetMountPrefix(int id, int index)
{
    auto it = FindMount(m_mounts, id, index);
    return it == m_mounts.end() ? nullptr : it->prefix.c_str();
}

CArchive* CFileManager::GetMountArchive(int id, int index)
{
    auto it = FindMount(m_mounts, id, index);
    return it == m_mounts.end() ? nullptr : it->archive;
}

int CFileManager::LoadArchiveEntry(int id, int index, const char* name, LoadAllocFunc allocate, LoadFreeFunc free,
                                   CLoadRecord* record, char* outPath)
{
    auto it = std::find_if(m_mounts.begin(), m_mounts.end(), [id](const CMount& m) { return m.id == id; });
    if (it == m_mounts.end() || it->archive == nullptr)
        return ADL_NOT_FOUND;
    int code;
    try {
        code = index == -1 ? it->archive->LoadByName(name, allocate, record, nullptr, nullptr)
                           : (index < 0 ? ADL_NOT_FOUND
                                        : it->archive->LoadByIndex(static_cast<DWORD>(index), allocate, record,
                                                                   nullptr, nullptr));
    } catch (const std::bad_alloc&) {
        code = ADL_NO_MEMORY;
    } catch (...) {
        code = ADL_OTHER;
    }
    if (code != ADL_OK) {
        if (free != nullptr && record != nullptr)
            free(record);
        return code;
    }
    std::string path = it->prefix;
    if (index == -1 && name != nullptr) {
        path += name;
    } else {
        char numbered[32];
        std::snprintf(numbered, sizeof numbered, "%06d.DAT", index);
        path += numbered;
    }
    CopyPath(outPath, path);
    return ADL_OK;
}

int CFileManager::FindFileOrEntry(char* outPath, const char* name, WIN32_FIND_DATAA* outFindData)
{
    int found = FindFile(outPath, name, outFindData);
    if (found == 0)
        return 0;
    if (found == 1)
        return 1;
    std::string full;
    bool absolute = false;
    if (ResolveName(name, &full, &absolute) != ADL_OK)
        return 1;
    std::vector<std::string> paths{full};
    if (!absolute) {
        for (const std::string& folder : m_searchFolders) {
            char path[MAX_PATH];
            if (MakeFullPath(path, name, folder.c_str()) != 0)
                paths.push_back(path);
        }
    }
    for (const std::string& path : paths) {
        if (WalkMounts(Lower(path), WalkMode::Exists, nullptr, nullptr, nullptr, nullptr) == ADL_OK) {
            CopyPath(outPath, path);
            return -1;
        }
    }
    return 2;
}

void CFileManager::UnloadDecoderType(DWORD typeId)
{
    UnloadPluginType(m_decoders, typeId);
}

void CFileManager::UnloadAllDecoders()
{
    UnloadAllPlugins(m_decoders);
}

int CFileManager::RegisterDecoder(CArchiveDecoder* object, const char* extensions, const char* typeString,
                                  DWORD typeId, PluginAssistFunc assist, PluginAssistFunc assist2,
                                  PluginConfigFunc configDlg)
{
    return RegisterPlugin(m_decoders, object, extensions, typeString, typeId, assist, assist2, configDlg);
}

int CFileManager::LoadDecoderPlugin(const char* path)
{
    return LoadPlugin(m_decoders, g_AdlFamily, path);
}

int CFileManager::LoadDecoderFolder(const char* folder)
{
    return LoadPluginFolder(m_decoders, g_AdlFamily, folder);
}

CArchiveDecoder* CFileManager::FindDecoderByExtension(const char* name)
{
    CPluginRecord* record = FindPluginByExtension(m_decoders, name);
    return record != nullptr ? dynamic_cast<CArchiveDecoder*>(record->decodeObject) : nullptr;
}

PluginAssistFunc CFileManager::FindDecoderByType(DWORD typeId)
{
    CPluginRecord* record = FindPluginByType(m_decoders, typeId);
    return record != nullptr ? record->assist2 : nullptr;
}
