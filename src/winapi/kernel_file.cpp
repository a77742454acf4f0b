#include "winapi/kernel_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "winapi/text.h"

namespace {

// Failure switches of winapi::testing.
std::atomic<long long> g_writeBudget{-1};
std::atomic<bool> g_failFlush{false};
std::atomic<bool> g_failMove{false};

// ---------------------------------------------------------------------------------------------
// Text helpers

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

std::string ToUtf8(const std::string& sjis)
{
    return IsAscii(sjis) ? sjis : winapi::SjisToUtf8(sjis);
}

std::string ToSjis(const std::string& utf8)
{
    return IsAscii(utf8) ? utf8 : winapi::Utf8ToSjis(utf8);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldCase(const std::string& utf8)
{
    std::string s = utf8;
    for (char& c : s)
        c = AsciiLower(c);
    return s;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Whether the path's last character is a separator (a Shift-JIS trail byte 0x5C is not one).
bool EndsWithSeparator(const std::string& path)
{
    bool last = false;
    for (size_t i = 0; i < path.size(); ++i) {
        last = IsSeparator(path[i]);
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
    }
    return last;
}

// Splits a Shift-JIS path into components at '\' and '/', never at the second byte of a
// double-byte character. Empty components are dropped.
std::vector<std::string> SplitComponents(const std::string& path)
{
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (winapi::IsSjisLeadByte(c) && i + 1 < path.size()) {
            current += path[i];
            current += path[++i];
        } else if (IsSeparator(path[i])) {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += path[i];
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

// Applies "." and ".." to a list of components; ".." at the root stays at the root.
void FoldDots(std::vector<std::string>& parts, std::vector<std::string>& out)
{
    for (const std::string& part : parts) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!out.empty())
                out.pop_back();
            continue;
        }
        out.push_back(part);
    }
}

std::string CurrentLinuxDirectory()
{
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return "/";
    return buffer;
}

// The components of a Windows path as an absolute path on drive Z: (Shift-JIS, dots folded).
// False for another drive or a UNC name.
bool AbsoluteComponents(const char* path, std::vector<std::string>* out)
{
    std::string p = path;
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1]))
        return false; // UNC names lead nowhere here
    std::vector<std::string> base;
    std::string rest;
    bool rooted = false;
    if (p.size() >= 2 && p[1] == ':' && !winapi::IsSjisLeadByte(static_cast<unsigned char>(p[0]))) {
        if (p[0] != 'z' && p[0] != 'Z')
            return false;
        rest = p.substr(2);
        rooted = !rest.empty() && IsSeparator(rest[0]);
    } else {
        rest = p;
        rooted = !rest.empty() && IsSeparator(rest[0]);
    }
    std::vector<std::string> parts;
    if (!rooted) {
        // The current folder is Linux UTF-8; bring it to Shift-JIS components.
        for (const std::string& c : SplitComponents(CurrentLinuxDirectory()))
            parts.push_back(ToSjis(c));
    }
    for (std::string& c : SplitComponents(rest))
        parts.push_back(std::move(c));
    out->clear();
    FoldDots(parts, *out);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Case-insensitive component matching with a small cache of directory listings. A listing is
// trusted while the directory's change time stays the same.

struct DirListing {
    struct timespec mtime {};
    // The listing may miss a name made within the same clock tick as the last change it saw;
    // until the folder has been quiet for a while a miss is checked by scanning again.
    bool settled = false;
    std::unordered_map<std::string, std::string> byFoldedName;
};

bool QuietSince(const struct timespec& mtime)
{
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t elapsedMs = (static_cast<int64_t>(now.tv_sec) - mtime.tv_sec) * 1000 + (now.tv_nsec - mtime.tv_nsec) / 1000000;
    return elapsedMs > 100;
}

class DirCache {
public:
    // The name on disk in dir whose folded form equals folded, or empty.
    std::string Find(const std::string& dir, const std::string& folded)
    {
        struct stat st {};
        if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return {};
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_listings.find(dir);
        bool fresh = false;
        if (it == m_listings.end() || it->second.mtime.tv_sec != st.st_mtim.tv_sec ||
            it->second.mtime.tv_nsec != st.st_mtim.tv_nsec) {
            if (m_listings.size() >= kCapacity)
                m_listings.clear();
            DirListing listing;
            listing.mtime = st.st_mtim;
            if (!Scan(dir, &listing))
                return {};
            listing.settled = QuietSince(st.st_mtim);
            it = m_listings.insert_or_assign(dir, std::move(listing)).first;
            fresh = true;
        }
        auto found = it->second.byFoldedName.find(folded);
        if (found == it->second.byFoldedName.end() && !fresh && !it->second.settled) {
            DirListing listing;
            listing.mtime = st.st_mtim;
            if (!Scan(dir, &listing))
                return {};
            listing.settled = QuietSince(st.st_mtim);
            it->second = std::move(listing);
            found = it->second.byFoldedName.find(folded);
        }
        return found == it->second.byFoldedName.end() ? std::string() : found->second;
    }

    void Forget(const std::string& dir)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listings.erase(dir);
    }

private:
    static constexpr size_t kCapacity = 64;

    // Names that differ only in case: the smallest wins, so the choice does not depend on the
    // order readdir gives.
    static void Add(DirListing* listing, const std::string& folded, const std::string& name)
    {
        auto it = listing->byFoldedName.find(folded);
        if (it == listing->byFoldedName.end())
            listing->byFoldedName.emplace(folded, name);
        else if (name < it->second)
            it->second = name;
    }

    static bool Scan(const std::string& dir, DirListing* listing)
    {
        DIR* d = opendir(dir.c_str());
        if (d == nullptr)
            return false;
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            Add(listing, FoldCase(name), name);
            // A name with characters that Shift-JIS cannot hold reaches the engine with '?' in
            // their place; it is found again by that form.
            if (!IsAscii(name)) {
                std::string seen = ToUtf8(ToSjis(name));
                if (seen != name)
                    Add(listing, FoldCase(seen), name);
            }
        }
        closedir(d);
        return true;
    }

    std::mutex m_mutex;
    std::map<std::string, DirListing> m_listings;
};

DirCache& Cache()
{
    static DirCache cache;
    return cache;
}

std::string JoinLinux(const std::string& dir, const std::string& name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string ParentOf(const std::string& linuxPath)
{
    size_t slash = linuxPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return linuxPath.substr(0, slash);
}

bool Resolve(const char* windowsPath, std::string* linuxPath, bool* parentExists = nullptr)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0')
        return false;
    std::vector<std::string> parts;
    if (!AbsoluteComponents(windowsPath, &parts))
        return false;
    std::string current = "/";
    // A path that exists as written (the usual case) needs one look-up, not one per component:
    // every folder on the way exists under its own name then.
    for (std::string& part : parts) {
        part = ToUtf8(part);
        current = JoinLinux(current, part);
    }
    if (struct stat st {}; !parts.empty() && lstat(current.c_str(), &st) == 0) {
        if (parentExists != nullptr)
            *parentExists = true;
        *linuxPath = std::move(current);
        return true;
    }
    current = "/";
    bool existing = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        std::string exact = JoinLinux(current, name);
        if (existing) {
            struct stat st {};
            if (lstat(exact.c_str(), &st) == 0) {
                current = exact;
                continue;
            }
            std::string onDisk = Cache().Find(current, FoldCase(name));
            if (!onDisk.empty()) {
                current = JoinLinux(current, onDisk);
                continue;
            }
            existing = false;
            if (parentExists != nullptr)
                *parentExists = (i + 1 == parts.size());
        }
        current = exact;
    }
    if (existing && parentExists != nullptr)
        *parentExists = true;
    *linuxPath = current;
    return true;
}

// Where a Linux path leads with every symbolic link followed. A missing tail, or the missing
// target of a link, is kept as named ("." and ".." folded). False for a loop of links.
bool FollowLinks(const std::string& path, std::string* out, int* linksLeft)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) {
        *out = resolved;
        return true;
    }
    if (errno == ELOOP)
        return false;
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || path == "/") {
        *out = "/";
        return true;
    }
    const std::string name = path.substr(slash + 1);
    std::string base;
    if (!FollowLinks(slash == 0 ? "/" : path.substr(0, slash), &base, linksLeft))
        return false;
    if (name.empty() || name == ".") {
        *out = base;
        return true;
    }
    if (name == "..") {
        *out = ParentOf(base);
        return true;
    }
    const std::string joined = JoinLinux(base, name);
    struct stat st {};
    if (lstat(joined.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        *out = joined;
        return true;
    }
    // A link whose target is missing: follow the name it holds.
    char target[PATH_MAX];
    const ssize_t n = readlink(joined.c_str(), target, sizeof target - 1);
    if (n < 0 || --*linksLeft < 0)
        return false;
    target[n] = '\0';
    return FollowLinks(target[0] == '/' ? std::string(target) : JoinLinux(base, target), out, linksLeft);
}

// ---------------------------------------------------------------------------------------------
// Errors and times

DWORD ErrorFromErrno(int error, bool parentExists = true)
{
    switch (error) {
    case ENOENT:
        return parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// 100-ns intervals since 1601-01-01.
FILETIME FileTimeFromTimespec(const struct timespec& ts)
{
    uint64_t value = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ull) * 10000000ull +
                     static_cast<uint64_t>(ts.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

struct timespec TimespecFromFileTime(const FILETIME& ft)
{
    uint64_t value = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    struct timespec ts {};
    uint64_t seconds = value / 10000000ull;
    ts.tv_sec = static_cast<time_t>(seconds) - static_cast<time_t>(11644473600ll);
    ts.tv_nsec = static_cast<long>((value % 10000000ull) * 100);
    return ts;
}

DWORD AttributesFromStat(const std::string& linuxPath, const struct stat& st)
{
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    size_t slash = linuxPath.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < linuxPath.size() && linuxPath[slash + 1] == '.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// ---------------------------------------------------------------------------------------------
// Handles: every file and search handle is a live object in one table, so that a stale or
// foreign handle is refused instead of followed.

// An open file. A call in progress holds its own reference, so that a CloseHandle from another
// thread takes the handle away without freeing the record (or closing its descriptor) under it.
struct FileObject {
    ~FileObject()
    {
        if (fd >= 0)
            close(fd);
    }
    int fd = -1;
    DWORD access = 0;
    DWORD share = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// A file search; shared with the calls in progress as a FileObject is.
struct FindObject {
    std::vector<WIN32_FIND_DATAA> matches;
    size_t next = 0;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<const void*, std::shared_ptr<FileObject>> files;
    std::unordered_map<const void*, std::shared_ptr<FindObject>> finds;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

// The file object of a handle (the table lock is not held afterwards: a handle is used by one
// thread at a time, as on Windows).
std::shared_ptr<FileObject> FileFromHandle(HANDLE handle)
{
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.files.find(handle);
    return it != table.files.end() ? it->second : nullptr;
}

// Whether a new opening with this access and share mode may coexist with the open handles of
// the same file (the table lock must be held).
bool SharingAllows(const HandleTable& table, dev_t device, ino_t inode, DWORD access, DWORD share)
{
    for (const auto& [handle, other] : table.files) {
        if (other->device != device || other->inode != inode)
            continue;
        if ((access & GENERIC_READ) && !(other->share & FILE_SHARE_READ))
            return false;
        if ((access & GENERIC_WRITE) && !(other->share & FILE_SHARE_WRITE))
            return false;
        if ((other->access & GENERIC_READ) && !(share & FILE_SHARE_READ))
            return false;
        if ((other->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
            return false;
    }
    return true;
}

// Whether an open handle of this file forbids deleting or renaming it.
bool OpenWithoutDeleteShare(const std::string& linuxPath)
{
    struct stat st {};
    if (stat(linuxPath.c_str(), &st) != 0)
        return false;
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (const auto& [handle, other] : table.files)
        if (other->device == st.st_dev && other->inode == st.st_ino && !(other->share & FILE_SHARE_DELETE))
            return true;
    return false;
}

DWORD CopyOut(const std::string& value, DWORD bufferLength, LPSTR buffer)
{
    if (buffer == nullptr || bufferLength < value.size() + 1)
        return static_cast<DWORD>(value.size() + 1);
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return static_cast<DWORD>(value.size());
}

// Windows-style wildcard match of Shift-JIS names, ASCII compared without case.
bool WildcardMatch(const char* pattern, const char* name)
{
    if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0)
        return true;
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        auto charLength = [](const char* s) {
            return (winapi::IsSjisLeadByte(static_cast<unsigned char>(s[0])) && s[1] != '\0') ? 2 : 1;
        };
        int n = charLength(name);
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
            continue;
        }
        int p = charLength(pattern);
        bool same = false;
        if (*pattern == '?') {
            same = true;
        } else if (p == n) {
            same = (n == 1) ? AsciiLower(*pattern) == AsciiLower(*name)
                            : (pattern[0] == name[0] && pattern[1] == name[1]);
        }
        if (*pattern != '\0' && same) {
            pattern += (*pattern == '?') ? 1 : p;
            name += n;
            continue;
        }
        if (starPattern == nullptr)
            return false;
        pattern = starPattern;
        starName += charLength(starName);
        name = starName;
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

bool FillFindData(const std::string& linuxPath, const std::string& sjisName, WIN32_FIND_DATAA* data)
{
    struct stat st {};
    if (stat(linuxPath.c_str(), &st) != 0 && lstat(linuxPath.c_str(), &st) != 0)
        return false;
    if (sjisName.size() >= MAX_PATH)
        return false;
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesFromStat(linuxPath, st);
    data->ftCreationTime = FileTimeFromTimespec(st.st_ctim);
    data->ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
    data->ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(data->cFileName, sjisName.c_str(), sjisName.size() + 1);
    return true;
}

bool CopyContents(const std::string& from, const std::string& to, bool failIfExists)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(ErrorFromErrno(errno));
    struct stat st {};
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(in);
        return Fail(ERROR_ACCESS_DENIED);
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    int out = open(to.c_str(), flags, st.st_mode & 0777);
    if (out < 0) {
        int error = errno;
        close(in);
        return Fail(ErrorFromErrno(error));
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    int error = errno;
    if (ok) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
    }
    close(in);
    close(out);
    if (!ok) {
        unlink(to.c_str());
        return Fail(ErrorFromErrno(error));
    }
    return TRUE;
}

} // namespace

namespace winapi {

bool ResolvePath(const char* windowsPath, std::string* linuxPath)
{
    return Resolve(windowsPath, linuxPath);
}

std::string WindowsPathFromLinux(const std::string& linuxPath)
{
    std::string out = "Z:";
    std::vector<std::string> parts = SplitComponents(linuxPath);
    if (parts.empty())
        return "Z:\\";
    for (const std::string& part : parts)
        out += "\\" + ToSjis(part);
    return out;
}

bool WindowsFolderFromHost(const char* utf8Path, std::string* windowsFolder)
{
    char resolved[PATH_MAX];
    struct stat st {};
    if (realpath(utf8Path, resolved) == nullptr || stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::string sjis;
    if (!Utf8ToSjisChecked(resolved, &sjis))
        return false;
    *windowsFolder = WindowsPathFromLinux(resolved);
    if (windowsFolder->back() != '\\')
        *windowsFolder += '\\';
    return true;
}

bool CloseFileHandle(HANDLE handle)
{
    HandleTable& table = Handles();
    std::unique_lock<std::mutex> lock(table.mutex);
    if (auto it = table.files.find(handle); it != table.files.end()) {
        std::shared_ptr<FileObject> file = std::move(it->second);
        table.files.erase(it);
        lock.unlock();
        return true;  // the descriptor closes with the last call still using it
    }
    if (auto it = table.finds.find(handle); it != table.finds.end()) {
        std::shared_ptr<FindObject> find = std::move(it->second);
        table.finds.erase(it);
        lock.unlock();
        return true;  // the record goes with the last call still using it
    }
    return false;
}

} // namespace winapi

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES, DWORD creationDisposition, DWORD, HANDLE)
{
    std::string path;
    bool parentExists = true;
    if (!Resolve(fileName, &path, &parentExists)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    if ((desiredAccess & GENERIC_READ) && (desiredAccess & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (desiredAccess & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    struct stat before {};
    bool existed = stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    switch (creationDisposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        if (!(desiredAccess & GENERIC_WRITE)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((flags & O_ACCMODE) == O_RDONLY && (creationDisposition == CREATE_ALWAYS))
        flags = (flags & ~O_ACCMODE) | O_RDWR; // truncation needs write access on Linux
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno, parentExists));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    fstat(fd, &st);
    auto object = std::make_shared<FileObject>();
    object->fd = fd;
    object->access = desiredAccess;
    object->share = shareMode;
    object->device = st.st_dev;
    object->inode = st.st_ino;
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (!SharingAllows(table, st.st_dev, st.st_ino, desiredAccess, shareMode)) {
            // A file made by this call is left alone: it existed only if the open raced.
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        table.files.emplace(object.get(), object);
    }
    // Truncation happens only after the sharing check, so a refused open changes nothing. Devices
    // (/dev/null, /dev/full) have no length to cut.
    if ((creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) && S_ISREG(st.st_mode)) {
        if (ftruncate(fd, 0) != 0) {
            int error = errno;
            winapi::CloseFileHandle(object.get());
            SetLastError(ErrorFromErrno(error));
            return INVALID_HANDLE_VALUE;
        }
    }
    if (!existed)
        Cache().Forget(ParentOf(path));
    SetLastError(existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return object.get();
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED)
{
    if (bytesRead != nullptr)
        *bytesRead = 0;
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(object->access & GENERIC_READ))
        return Fail(ERROR_ACCESS_DENIED);
    if (buffer == nullptr && bytesToRead != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    while (done < bytesToRead) {
        ssize_t n = read(object->fd, static_cast<char*>(buffer) + done, bytesToRead - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(ErrorFromErrno(errno));
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (bytesRead != nullptr)
        *bytesRead = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED)
{
    if (bytesWritten != nullptr)
        *bytesWritten = 0;
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(object->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if (buffer == nullptr && bytesToWrite != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    while (done < bytesToWrite) {
        size_t chunk = bytesToWrite - done;
        const long long allowed = g_writeBudget.load();
        if (allowed >= 0 && static_cast<long long>(chunk) > allowed)
            chunk = static_cast<size_t>(allowed);
        ssize_t n = chunk == 0 ? 0 : write(object->fd, static_cast<const char*>(buffer) + done, chunk);
        if (n > 0 && allowed >= 0)
            g_writeBudget -= n;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (bytesWritten != nullptr)
                *bytesWritten = done;
            return Fail(n < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL);
        }
        done += static_cast<DWORD>(n);
    }
    if (bytesWritten != nullptr)
        *bytesWritten = done;
    return TRUE;
}

BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD moveMethod)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    int whence = moveMethod == FILE_BEGIN ? SEEK_SET : moveMethod == FILE_CURRENT ? SEEK_CUR
                 : moveMethod == FILE_END ? SEEK_END : -1;
    if (whence < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    // The base is only read: a refused move must leave the position where it was.
    off_t base = 0;
    if (whence == SEEK_CUR) {
        base = lseek(object->fd, 0, SEEK_CUR);
    } else if (whence == SEEK_END) {
        struct stat st {};
        base = fstat(object->fd, &st) == 0 ? st.st_size : -1;
    }
    if (base < 0)
        return Fail(ErrorFromErrno(errno));
    int64_t target = static_cast<int64_t>(base) + distance.QuadPart;
    if (target < 0)
        return Fail(ERROR_NEGATIVE_SEEK);
    if (lseek(object->fd, static_cast<off_t>(target), SEEK_SET) < 0)
        return Fail(ErrorFromErrno(errno));
    if (newPosition != nullptr)
        newPosition->QuadPart = target;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD moveMethod)
{
    LARGE_INTEGER move;
    if (distanceHigh != nullptr)
        move.QuadPart = static_cast<LONGLONG>((static_cast<uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                              static_cast<DWORD>(distance));
    else
        move.QuadPart = distance;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(file, move, &position, moveMethod))
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr)
        *distanceHigh = position.u.HighPart;
    SetLastError(ERROR_SUCCESS);
    return position.u.LowPart;
}

BOOL WINAPI GetFileSizeEx(HANDLE file, LARGE_INTEGER* size)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    struct stat st {};
    if (fstat(object->fd, &st) != 0)
        return Fail(ErrorFromErrno(errno));
    if (size != nullptr)
        size->QuadPart = st.st_size;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return INVALID_FILE_SIZE;
    if (sizeHigh != nullptr)
        *sizeHigh = static_cast<DWORD>(size.u.HighPart);
    SetLastError(ERROR_SUCCESS);
    return size.u.LowPart;
}

BOOL WINAPI SetEndOfFile(HANDLE file)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(object->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    off_t position = lseek(object->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(object->fd, position) != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE file)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (g_failFlush)
        return Fail(ERROR_DISK_FULL);
    if (fsync(object->fd) != 0 && errno != EINVAL)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    struct stat st {};
    if (fstat(object->fd, &st) != 0)
        return Fail(ErrorFromErrno(errno));
    if (creation != nullptr)
        *creation = FileTimeFromTimespec(st.st_ctim);
    if (lastAccess != nullptr)
        *lastAccess = FileTimeFromTimespec(st.st_atim);
    if (lastWrite != nullptr)
        *lastWrite = FileTimeFromTimespec(st.st_mtim);
    return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE file, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite)
{
    auto object = FileFromHandle(file);
    if (object == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (lastAccess != nullptr)
        times[0] = TimespecFromFileTime(*lastAccess);
    if (lastWrite != nullptr)
        times[1] = TimespecFromFileTime(*lastWrite);
    if (futimens(object->fd, times) != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME* a, const FILETIME* b)
{
    uint64_t x = (static_cast<uint64_t>(a->dwHighDateTime) << 32) | a->dwLowDateTime;
    uint64_t y = (static_cast<uint64_t>(b->dwHighDateTime) << 32) | b->dwLowDateTime;
    return x < y ? -1 : x > y ? 1 : 0;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName)
{
    std::string path;
    bool parentExists = true;
    if (!Resolve(fileName, &path, &parentExists))
        return Fail(ERROR_PATH_NOT_FOUND);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return Fail(ErrorFromErrno(errno, parentExists));
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (OpenWithoutDeleteShare(path))
        return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.c_str()) != 0)
        return Fail(ErrorFromErrno(errno));
    Cache().Forget(ParentOf(path));
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags)
{
    std::string from;
    std::string to;
    bool parentExists = true;
    if (!Resolve(existingName, &from) || !Resolve(newName, &to, &parentExists))
        return Fail(ERROR_PATH_NOT_FOUND);
    struct stat st {};
    if (lstat(from.c_str(), &st) != 0)
        return Fail(ErrorFromErrno(errno));
    if (OpenWithoutDeleteShare(from))
        return Fail(ERROR_SHARING_VIOLATION);
    if (g_failMove)
        return Fail(ERROR_ACCESS_DENIED);
    int result = (flags & MOVEFILE_REPLACE_EXISTING) ? rename(from.c_str(), to.c_str())
                                                     : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED)) {
        if (!CopyContents(from, to, !(flags & MOVEFILE_REPLACE_EXISTING)))
            return FALSE;
        unlink(from.c_str());
        result = 0;
    }
    if (result != 0) {
        int error = errno;
        return Fail(error == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(error, parentExists));
    }
    Cache().Forget(ParentOf(from));
    Cache().Forget(ParentOf(to));
    if (flags & MOVEFILE_WRITE_THROUGH) {
        // The rename itself reaches the disk only with the folder's entries.
        const int folder = open(ParentOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
    }
    return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR existingName, LPCSTR newName)
{
    return MoveFileExA(existingName, newName, MOVEFILE_COPY_ALLOWED);
}

BOOL WINAPI CopyFileA(LPCSTR existingName, LPCSTR newName, BOOL failIfExists)
{
    std::string from;
    std::string to;
    bool parentExists = true;
    if (!Resolve(existingName, &from) || !Resolve(newName, &to, &parentExists))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (!parentExists)
        return Fail(ERROR_PATH_NOT_FOUND);
    struct stat a {};
    struct stat b {};
    if (stat(from.c_str(), &a) == 0 && stat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return Fail(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);
    if (!CopyContents(from, to, failIfExists != FALSE))
        return FALSE;
    Cache().Forget(ParentOf(to));
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES)
{
    std::string path;
    bool parentExists = true;
    if (!Resolve(pathName, &path, &parentExists))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (mkdir(path.c_str(), 0777) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno, parentExists));
    Cache().Forget(ParentOf(path));
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR pathName)
{
    std::string path;
    bool parentExists = true;
    if (!Resolve(pathName, &path, &parentExists))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (rmdir(path.c_str()) != 0)
        return Fail(errno == ENOTDIR ? ERROR_DIRECTORY : ErrorFromErrno(errno, parentExists));
    Cache().Forget(ParentOf(path));
    Cache().Forget(path);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName)
{
    std::string path;
    bool parentExists = true;
    if (!Resolve(fileName, &path, &parentExists)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(ErrorFromErrno(errno, parentExists));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesFromStat(path, st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD attributes)
{
    std::string path;
    if (!Resolve(fileName, &path))
        return Fail(ERROR_PATH_NOT_FOUND);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return Fail(ErrorFromErrno(errno));
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (chmod(path.c_str(), mode) != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData)
{
    if (fileName == nullptr || findData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> parts;
    if (!AbsoluteComponents(fileName, &parts) || parts.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A trailing separator names nothing to match (Windows answers "not found" as well).
    if (EndsWithSeparator(fileName)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string pattern = parts.back();
    parts.pop_back();
    std::string folder = "Z:";
    for (const std::string& part : parts)
        folder += "\\" + part;
    folder += "\\";
    std::string dir;
    if (!Resolve(folder.c_str(), &dir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::pair<std::string, std::string>> names; // (Shift-JIS, on disk)
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if ((name == "." || name == "..") && dir == "/")
            continue;
        std::string sjis = ToSjis(name);
        if (WildcardMatch(pattern.c_str(), sjis.c_str()))
            names.emplace_back(sjis, name);
    }
    closedir(d);
    // Listed in case-insensitive name order, as NTFS lists them.
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        std::string x = FoldCase(a.first);
        std::string y = FoldCase(b.first);
        return x != y ? x < y : a.first < b.first;
    });
    auto object = std::make_shared<FindObject>();
    for (const auto& [sjis, onDisk] : names) {
        WIN32_FIND_DATAA data;
        if (FillFindData(JoinLinux(dir, onDisk), sjis, &data))
            object->matches.push_back(data);
    }
    if (object->matches.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findData = object->matches[0];
    object->next = 1;
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.finds.emplace(object.get(), object);
    return object.get();
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA findData)
{
    HandleTable& table = Handles();
    std::shared_ptr<FindObject> object;
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.finds.find(find);
        if (it == table.finds.end())
            return Fail(ERROR_INVALID_HANDLE);
        object = it->second;
    }
    if (object->next >= object->matches.size())
        return Fail(ERROR_NO_MORE_FILES);
    if (findData != nullptr)
        *findData = object->matches[object->next];
    ++object->next;
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find)
{
    HandleTable& table = Handles();
    std::shared_ptr<FindObject> object;
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.finds.find(find);
        if (it == table.finds.end())
            return Fail(ERROR_INVALID_HANDLE);
        object = std::move(it->second);
        table.finds.erase(it);
    }
    return TRUE;
}

DWORD WINAPI GetTempPathA(DWORD bufferLength, LPSTR buffer)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    std::string path = winapi::WindowsPathFromLinux(dir);
    if (!EndsWithSeparator(path))
        path += '\\';
    return CopyOut(path, bufferLength, buffer);
}

UINT WINAPI GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName)
{
    if (pathName == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string base = pathName;
    if (!base.empty() && !EndsWithSeparator(base))
        base += '\\';
    std::string head = prefix != nullptr ? std::string(prefix).substr(0, 3) : std::string();
    auto format = [&](UINT number) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%X", number & 0xFFFFu);
        return base + head + digits + ".TMP";
    };
    if (unique != 0) {
        std::string name = format(unique);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique & 0xFFFFu;
    }
    UINT start = static_cast<UINT>((getpid() * 7919u) ^ static_cast<UINT>(time(nullptr))) & 0xFFFFu;
    for (UINT i = 0; i < 0xFFFFu; ++i) {
        UINT number = ((start + i) % 0xFFFFu) + 1;
        std::string name = format(number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            winapi::CloseFileHandle(h);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size)
{
    // Every module lives in this process image (built-in modules are tables in it), so every
    // module is answered with the program's path.
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    buffer[n] = '\0';
    std::string path = winapi::WindowsPathFromLinux(buffer);
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        // No half of a double-byte character at the cut.
        const size_t n = winapi::SjisPrefixLength(path, size - 1);
        std::memcpy(fileName, path.c_str(), n);
        fileName[n] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size - 1;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer)
{
    return CopyOut(winapi::WindowsPathFromLinux(CurrentLinuxDirectory()), bufferLength, buffer);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName)
{
    std::string path;
    if (!Resolve(pathName, &path))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (chdir(path.c_str()) != 0)
        return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart)
{
    if (fileName == nullptr || fileName[0] == '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string p = fileName;
    std::string root;
    std::vector<std::string> parts;
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        // UNC: \\server\share stay as they are; the rest is folded below.
        std::vector<std::string> all = SplitComponents(p);
        root = "\\\\";
        size_t fixed = std::min<size_t>(2, all.size());
        for (size_t i = 0; i < fixed; ++i)
            root += all[i] + (i + 1 < fixed ? "\\" : "");
        std::vector<std::string> rest(all.begin() + static_cast<long>(fixed), all.end());
        FoldDots(rest, parts);
    } else if (p.size() >= 2 && p[1] == ':' && !winapi::IsSjisLeadByte(static_cast<unsigned char>(p[0])) &&
               p[0] != 'z' && p[0] != 'Z') {
        root = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])))) + ":";
        std::vector<std::string> rest = SplitComponents(p.substr(2));
        FoldDots(rest, parts);
    } else {
        root = "Z:";
        AbsoluteComponents(fileName, &parts);
    }
    std::string full = root;
    for (const std::string& part : parts)
        full += "\\" + part;
    bool endsWithSeparator = EndsWithSeparator(p) && !parts.empty();
    if (parts.empty() || endsWithSeparator)
        full += "\\";
    DWORD result = CopyOut(full, bufferLength, buffer);
    if (filePart != nullptr) {
        *filePart = nullptr;
        if (result < bufferLength && !endsWithSeparator && !parts.empty())
            *filePart = buffer + (full.size() - parts.back().size());
    }
    return result;
}

DWORD WINAPI GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD bufferLength)
{
    if (shortPath == nullptr || shortPath[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path;
    bool parentExists = false;
    struct stat st {};
    if (!Resolve(shortPath, &path, &parentExists) || lstat(path.c_str(), &st) != 0) {
        SetLastError(parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    constexpr int kMaxLinks = 40; // as the kernel allows
    int linksLeft = kMaxLinks;
    std::string real;
    if (!FollowLinks(path, &real, &linksLeft)) {
        SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return 0;
    }
    std::string full = "Z:";
    for (const std::string& part : SplitComponents(real)) {
        std::string sjis;
        if (!winapi::Utf8ToSjisChecked(part, &sjis)) {
            SetLastError(ERROR_INVALID_NAME);
            return 0;
        }
        full += "\\" + sjis;
    }
    if (full.size() == 2)
        full += "\\";
    return CopyOut(full, bufferLength, longPath);
}

UINT WINAPI GetDriveTypeA(LPCSTR rootPathName)
{
    const char* path = rootPathName != nullptr ? rootPathName : ".";
    std::string onDisk;
    if (!Resolve(path, &onDisk))
        return DRIVE_NO_ROOT_DIR;
    // The deepest existing folder decides.
    struct statfs fs {};
    while (statfs(onDisk.c_str(), &fs) != 0) {
        if (onDisk == "/")
            return DRIVE_NO_ROOT_DIR;
        onDisk = ParentOf(onDisk);
    }
    constexpr long kIso9660 = 0x9660;
    constexpr long kUdf = 0x15013346;
    if (fs.f_type == kIso9660 || fs.f_type == kUdf)
        return DRIVE_CDROM;
    return DRIVE_FIXED;
}

DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer)
{
    static const char kDrives[] = "Z:\\\0";
    if (buffer == nullptr || bufferLength < sizeof kDrives)
        return sizeof kDrives;
    std::memcpy(buffer, kDrives, sizeof kDrives);
    return sizeof kDrives - 1;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directoryName, ULARGE_INTEGER* freeBytesAvailable,
                                ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFreeBytes)
{
    std::string onDisk;
    if (!Resolve(directoryName != nullptr ? directoryName : ".", &onDisk))
        return Fail(ERROR_PATH_NOT_FOUND);
    struct statvfs fs {};
    if (statvfs(onDisk.c_str(), &fs) != 0)
        return Fail(ErrorFromErrno(errno, false));
    if (freeBytesAvailable != nullptr)
        freeBytesAvailable->QuadPart = static_cast<ULONGLONG>(fs.f_bavail) * fs.f_frsize;
    if (totalBytes != nullptr)
        totalBytes->QuadPart = static_cast<ULONGLONG>(fs.f_blocks) * fs.f_frsize;
    if (totalFreeBytes != nullptr)
        totalFreeBytes->QuadPart = static_cast<ULONGLONG>(fs.f_bfree) * fs.f_frsize;
    return TRUE;
}

namespace winapi::testing {

void FailFileWritesAfter(long long bytes) { g_writeBudget = bytes; }
void FailFileFlush(bool fail) { g_failFlush = fail; }
void FailFileMove(bool fail) { g_failMove = fail; }

} // namespace winapi::testing
