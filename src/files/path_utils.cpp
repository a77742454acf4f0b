#include "files/path_utils.h"

#include <cstdio>
#include <cstring>

#include "winapi/kernel.h"
#include "winapi/text.h"

char g_BaseFolder[MAX_PATH] = "";

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The next character: two bytes after a Shift-JIS lead byte (unless the string ends there).
const char* Next(const char* p)
{
    return (winapi::IsSjisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? p + 2 : p + 1;
}

// The last separator of the first `length` bytes, or null.
char* LastSeparator(char* path, size_t length)
{
    char* last = nullptr;
    for (char* p = path; p < path + length && *p != '\0'; p = const_cast<char*>(Next(p)))
        if (IsSeparator(*p))
            last = p;
    return last;
}

bool HasColon(const char* path)
{
    for (const char* p = path; *p != '\0'; p = Next(p))
        if (*p == ':')
            return true;
    return false;
}

void SlashesToBackslashes(char* from)
{
    for (char* p = from; *p != '\0'; p = const_cast<char*>(Next(p)))
        if (*p == '/')
            *p = '\\';
}

} // namespace

bool EndsWithSeparator(const char* path)
{
    bool last = false;
    for (const char* p = path; p != nullptr && *p != '\0'; p = Next(p))
        last = IsSeparator(*p);
    return last;
}

int MakeFullPath(char* out, const char* path, const char* folder)
{
    if (out == nullptr || path == nullptr)
        return 0;
    const bool unc = IsSeparator(path[0]) && path[0] == '\\' && path[1] == '\\';
    if (unc || HasColon(path)) {
        size_t length = std::strlen(path);
        if (length >= MAX_PATH)
            return 0;
        std::memmove(out, path, length + 1);
        SlashesToBackslashes(unc ? out + 2 : out);
        return 1;
    }
    const char* base = folder != nullptr ? folder : g_BaseFolder;
    if (base[0] == '\0')
        return 0;
    char full[MAX_PATH];
    size_t baseLength = std::strlen(base);
    if (baseLength + 1 >= MAX_PATH)
        return 0;
    std::memcpy(full, base, baseLength + 1);
    // A base without its final separator still names a folder.
    if (!EndsWithSeparator(full)) {
        full[baseLength++] = '\\';
        full[baseLength] = '\0';
    }
    const char* rest = path;
    for (;;) {
        if (rest[0] == '.' && IsSeparator(rest[1])) {
            rest += 2;
        } else if (rest[0] == '.' && rest[1] == '.' && IsSeparator(rest[2])) {
            if (CutLastPathComponent(full) != 0)
                return 0;
            rest += 3;
        } else {
            break;
        }
    }
    if (IsSeparator(rest[0]))
        ++rest;
    size_t fullLength = std::strlen(full);
    size_t restLength = std::strlen(rest);
    if (fullLength + restLength >= MAX_PATH)
        return 0;
    std::memcpy(full + fullLength, rest, restLength + 1);
    SlashesToBackslashes(full + fullLength);
    std::memcpy(out, full, fullLength + restLength + 1);
    return 2;
}

int CutLastPathComponent(char* path)
{
    if (path == nullptr)
        return 1;
    size_t length = std::strlen(path);
    if (length < 3)
        return 1;
    char* last = LastSeparator(path, length);
    if (last == nullptr)
        return 1;
    if (last == path + length - 1) {
        last = LastSeparator(path, static_cast<size_t>(last - path));
        if (last == nullptr)
            return 1;
    }
    // "\\server\": the leading pair is no folder to cut back to.
    if (path[0] == '\\' && path[1] == '\\' && last <= path + 1)
        return 1;
    last[1] = '\0';
    return 0;
}

void SplitPath(char* path, char* outName)
{
    if (outName != nullptr)
        outName[0] = '\0';
    if (path == nullptr)
        return;
    size_t length = std::strlen(path);
    char* last = LastSeparator(path, length);
    if (last == nullptr || last == path + length - 1)
        return;
    if (path[0] == '\\' && path[1] == '\\' && last <= path + 1)
        return; // a bare UNC server name
    if (outName != nullptr)
        std::memmove(outName, last + 1, std::strlen(last + 1) + 1);
    last[1] = '\0';
}

void GetFileName(const char* path, char* out, bool folderFlag)
{
    if (out == nullptr)
        return;
    out[0] = '\0';
    if (path == nullptr)
        return;
    size_t length = std::strlen(path);
    char copy[MAX_PATH];
    if (length >= MAX_PATH)
        return;
    std::memcpy(copy, path, length + 1);
    char* last = LastSeparator(copy, length);
    if (last == nullptr) {
        std::memcpy(out, copy, length + 1);
        return;
    }
    if (last == copy + length - 1) {
        if (!folderFlag)
            return;
        *last = '\0';
        char* before = LastSeparator(copy, static_cast<size_t>(last - copy));
        const char* name = before != nullptr ? before + 1 : copy;
        std::memmove(out, name, std::strlen(name) + 1);
        return;
    }
    std::memmove(out, last + 1, std::strlen(last + 1) + 1);
}

void GetFileExtension(const char* name, char* out)
{
    if (out == nullptr)
        return;
    out[0] = '\0';
    if (name == nullptr)
        return;
    const char* dot = nullptr;
    for (const char* p = name; *p != '\0'; p = Next(p))
        if (*p == '.')
            dot = p;
    if (dot != nullptr)
        std::memmove(out, dot + 1, std::strlen(dot + 1) + 1);
}

void StripExtension(char* path, char* outExt)
{
    if (outExt != nullptr)
        outExt[0] = '\0';
    if (path == nullptr)
        return;
    char* dot = nullptr;
    for (char* p = path; *p != '\0'; p = const_cast<char*>(Next(p)))
        if (*p == '.')
            dot = p;
    if (dot == nullptr)
        return;
    if (outExt != nullptr)
        std::memmove(outExt, dot + 1, std::strlen(dot + 1) + 1);
    *dot = '\0';
}

int SetBaseFolderFromModule(HMODULE module)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    char* last = LastSeparator(path, n);
    if (last == nullptr)
        return 1;
    last[1] = '\0';
    std::memcpy(g_BaseFolder, path, std::strlen(path) + 1);
    return 0;
}

int SetBaseFolder(const char* path)
{
    char full[MAX_PATH];
    if (MakeFullPath(full, path, nullptr) == 0)
        return 1;
    size_t length = std::strlen(full);
    if (!EndsWithSeparator(full)) {
        if (length + 1 >= MAX_PATH)
            return 1;
        full[length++] = '\\';
        full[length] = '\0';
    }
    std::memcpy(g_BaseFolder, full, length + 1);
    return 0;
}

int FindFileOnCdDrives(const char* name, char* outRoot)
{
    char drives[1024];
    DWORD n = GetLogicalDriveStringsA(sizeof drives, drives);
    if (n == 0 || n >= sizeof drives)
        return 1;
    bool anyCd = false;
    for (const char* root = drives; *root != '\0'; root += std::strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        anyCd = true;
        bool found = name == nullptr;
        if (!found) {
            char path[MAX_PATH];
            if (std::snprintf(path, sizeof path, "%s%s", root, name) >= static_cast<int>(sizeof path))
                continue;
            WIN32_FIND_DATAA data;
            HANDLE find = FindFirstFileA(path, &data);
            if (find != INVALID_HANDLE_VALUE) {
                FindClose(find);
                found = true;
            }
        }
        if (found) {
            if (outRoot != nullptr)
                std::memcpy(outRoot, root, std::strlen(root) + 1);
            return 0;
        }
    }
    return anyCd ? 2 : 1;
}
