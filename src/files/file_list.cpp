// Folder listings.
#include "files/file_list.h"

#include <cstring>
#include <vector>

#include "files/path_utils.h"
#include "winapi/kernel.h"

namespace {

// The names "." and ".." only; other names beginning with a dot are kept.
bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

struct KindBit {
    DWORD attribute;
    BYTE kind;
};
const KindBit kKindBits[] = {
    {FILE_ATTRIBUTE_DIRECTORY, FILE_LIST_FOLDER}, {FILE_ATTRIBUTE_ARCHIVE, FILE_LIST_ARCHIVE},
    {FILE_ATTRIBUTE_SYSTEM, FILE_LIST_SYSTEM},    {FILE_ATTRIBUTE_HIDDEN, FILE_LIST_HIDDEN},
    {FILE_ATTRIBUTE_READONLY, FILE_LIST_READONLY},
};

// Calls visit for every match of a search pattern shorter than MAX_PATH.
template <typename Visit>
void Enumerate(const std::string& pattern, Visit visit)
{
    if (pattern.size() >= MAX_PATH)
        return;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
        visit(data);
    while (FindNextFileA(find, &data));
    FindClose(find);
}

} // namespace

DWORD CFileList::Build(const char* folder, const char* pattern, int mode, bool recurse)
{
    Clear();
    char full[MAX_PATH];
    if (MakeFullPath(full, folder != nullptr ? folder : g_BaseFolder, nullptr) == 0)
        return 0;
    std::string base = full;
    if (!EndsWithSeparator(base.c_str()))
        base += '\\';
    Scan(base, std::string(), pattern != nullptr ? pattern : "*.*", mode, recurse);
    return GetCount();
}

void CFileList::Scan(const std::string& folder, const std::string& sub, const char* pattern, int mode, bool recurse)
{
    const bool folderPass = mode != 0 || recurse;
    // With the pattern "*.*" the folder pass lists the files as well: they are kept from it
    // instead of enumerating the folder a second time.
    const bool filesFromFolderPass = folderPass && mode != 2 && lstrcmpiA(pattern, "*.*") == 0;
    std::vector<WIN32_FIND_DATAA> files;
    if (folderPass) {
        Enumerate(folder + sub + "*.*", [&](const WIN32_FIND_DATAA& data) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (filesFromFolderPass)
                    files.push_back(data);
                return;
            }
            if (IsDotEntry(data.cFileName))
                return;
            const std::string name = sub + data.cFileName + "\\";
            // A path past MAX_PATH names nothing; skipping it also ends a folder that links to
            // itself, which used to recurse for ever.
            if (folder.size() + name.size() >= MAX_PATH)
                return;
            if (mode != 0)
                Add(name, data);
            if (recurse)
                Scan(folder, name, pattern, mode, recurse);
        });
    }
    if (mode == 2)
        return;
    if (!filesFromFolderPass) {
        Enumerate(folder + sub + pattern, [&](const WIN32_FIND_DATAA& data) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(data);
        });
    }
    for (const WIN32_FIND_DATAA& data : files) {
        const std::string name = sub + data.cFileName;
        if (folder.size() + name.size() < MAX_PATH)
            Add(name, data);
    }
}

void CFileList::Add(const std::string& name, const WIN32_FIND_DATAA& data)
{
    auto entry = std::make_unique<CFileListEntry>();
    entry->name = name;
    entry->shortName.assign(data.cAlternateFileName, strnlen(data.cAlternateFileName, sizeof data.cAlternateFileName));
    FILETIME local;
    SYSTEMTIME time = {};
    if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local))
        FileTimeToSystemTime(&local, &time);
    entry->year = time.wYear;
    entry->month = static_cast<BYTE>(time.wMonth);
    entry->day = static_cast<BYTE>(time.wDay);
    entry->dayOfWeek = static_cast<BYTE>(time.wDayOfWeek);
    entry->hour = static_cast<BYTE>(time.wHour);
    entry->minute = static_cast<BYTE>(time.wMinute);
    entry->second = static_cast<BYTE>(time.wSecond);
    entry->size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : data.nFileSizeLow;
    for (const KindBit& bit : kKindBits)
        if (data.dwFileAttributes & bit.attribute)
            entry->kind |= bit.kind;
    m_entries.push_back(std::move(entry));
}

const CFileListEntry* CFileList::GetEntry(DWORD i) const
{
    return i < m_entries.size() ? m_entries[i].get() : nullptr;
}

const char* CFileList::GetName(DWORD i) const
{
    return i < m_entries.size() ? m_entries[i]->name.c_str() : nullptr;
}

void CFileList::Clear()
{
    m_entries.clear();
}
