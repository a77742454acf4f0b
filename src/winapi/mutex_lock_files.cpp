#include "winapi/mutex_lock_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace winapi {
namespace {

// One line per refused place and cause, not one per mutex opened.
void Refuse(const std::string& place, const std::string& why)
{
    static std::mutex lock;
    static std::set<std::string> said;
    const std::string line = "tessaro: lock folder " + place + " " + why +
                             "; named mutexes stay private to this process (another copy may start)";
    std::lock_guard<std::mutex> guard(lock);
    if (said.insert(line).second)
        std::fprintf(stderr, "%s\n", line.c_str());
}

// Another process opening the mutex takes a shared lock on the existence file; its creator first
// holds it exclusively, and a closer that gets it exclusively is the last holder. Open-file-
// description locks, because they turn exclusive into shared atomically (flock may drop the lock
// in between, letting another process believe it created the mutex).
bool ExistenceLock(int fd, short type, bool wait)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    return fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) == 0;
}

// The folder, made 0700 when missing, opened without following a link and checked → its fd, or -1.
int OpenFolder()
{
    const std::string path = MutexLockFolder();
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        Refuse(path, std::string("cannot be made: ") + std::strerror(errno));
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Refuse(path, errno == ELOOP || errno == ENOTDIR ? "is a link or not a folder"
                                                         : std::string("cannot be opened: ") + std::strerror(errno));
        return -1;
    }
    struct stat st {};
    const char* why = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode))
        why = "is not a folder";
    else if (st.st_uid != geteuid())
        why = "belongs to another user";
    else if ((st.st_mode & 077) != 0)
        why = "is open to other users (it must be mode 0700)";
    if (why) {
        Refuse(path, why);
        close(fd);
        return -1;
    }
    return fd;
}

// A file in the folder, never through a link, and only a regular file of this user → fd, or -1
// (errno ENOENT when it is missing and not to be made).
int OpenFile(int folderFd, const std::string& name, bool create)
{
    const int fd = openat(folderFd, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT)
            Refuse(MutexLockFolder() + "/" + name, error == ELOOP ? "is a link" : std::strerror(error));
        errno = error;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        Refuse(MutexLockFolder() + "/" + name, "is not a file of this user");
        close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

// Whether the name still leads to the open file: a closer removes the files while it holds the
// existence lock exclusively, so a lock taken on a file that was removed meanwhile is worth nothing.
bool StillNamed(int folderFd, const std::string& name, int fd)
{
    struct stat byName {}, open {};
    return fstatat(folderFd, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 && fstat(fd, &open) == 0 &&
           byName.st_dev == open.st_dev && byName.st_ino == open.st_ino;
}

} // namespace

std::string MutexLockFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/tessaro";
    const char* temp = std::getenv("TMPDIR");
    return std::string(temp && *temp ? temp : "/tmp") + "/tessaro-" + std::to_string(geteuid());
}

std::string MutexLockFileName(const std::string& mutexName, bool ownerFile)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string file;
    for (unsigned char c : mutexName) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_' ||
            c == '.') {
            file += static_cast<char>(c);
        } else {
            file += '%';
            file += hex[c >> 4];
            file += hex[c & 15];
        }
    }
    return file + (ownerFile ? ".owner" : ".lock");
}

MutexFilesResult OpenMutexLockFiles(const std::string& mutexName, bool create, MutexLockFiles* files)
{
    const int folderFd = OpenFolder();
    if (folderFd < 0)
        return MutexFilesResult::Unavailable;
    const std::string existsName = MutexLockFileName(mutexName, false);
    // A few rounds at most: each retry means another process removed the file meanwhile.
    for (int round = 0; round < 64; ++round) {
        const int existsFd = OpenFile(folderFd, existsName, create);
        if (existsFd < 0) {
            const bool missing = errno == ENOENT && !create;
            close(folderFd);
            return missing ? MutexFilesResult::Missing : MutexFilesResult::Unavailable;
        }
        const bool first = ExistenceLock(existsFd, F_WRLCK, false);
        if (first && !create) { // nobody holds it: the file is a leftover
            close(existsFd);
            close(folderFd);
            return MutexFilesResult::Missing;
        }
        if (!first)
            ExistenceLock(existsFd, F_RDLCK, true);
        if (!StillNamed(folderFd, existsName, existsFd)) {
            close(existsFd);
            continue;
        }
        // While this process holds the existence file, no closer removes the owner file.
        const int ownerFd = OpenFile(folderFd, MutexLockFileName(mutexName, true), true);
        if (ownerFd < 0) {
            close(existsFd);
            close(folderFd);
            return MutexFilesResult::Unavailable;
        }
        if (first)
            ExistenceLock(existsFd, F_RDLCK, false);
        files->mutexName = mutexName;
        files->folderFd = folderFd;
        files->existsFd = existsFd;
        files->ownerFd = ownerFd;
        return first ? MutexFilesResult::Created : MutexFilesResult::Existed;
    }
    close(folderFd);
    Refuse(MutexLockFolder() + "/" + existsName, "keeps being removed");
    return MutexFilesResult::Unavailable;
}

void CloseMutexLockFiles(MutexLockFiles* files)
{
    // The last holder gets the existence lock exclusively: nobody else has the files open under a
    // lock, and anyone who opens them meanwhile sees the name gone and starts again.
    if (files->existsFd >= 0 && files->folderFd >= 0 && ExistenceLock(files->existsFd, F_WRLCK, false)) {
        const std::string existsName = MutexLockFileName(files->mutexName, false);
        if (StillNamed(files->folderFd, existsName, files->existsFd)) {
            unlinkat(files->folderFd, MutexLockFileName(files->mutexName, true).c_str(), 0);
            unlinkat(files->folderFd, existsName.c_str(), 0);
        }
    }
    if (files->ownerFd >= 0)
        close(files->ownerFd);
    if (files->existsFd >= 0)
        close(files->existsFd);
    if (files->folderFd >= 0)
        close(files->folderFd);
    *files = MutexLockFiles{};
}

} // namespace winapi
