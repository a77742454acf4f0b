// The lock files behind named mutexes, which let processes of one user see each other's mutexes
// (the single-copy check). They live in a private folder of the user; one that another user could
// have made, opened to others or replaced by a link is refused, and the mutex then stays private
// to the process instead of trusting it.
#pragma once

#include <string>

namespace winapi {

struct MutexLockFiles {
    std::string mutexName;
    int folderFd = -1; // the checked folder, for opening and removing the files inside it
    int existsFd = -1; // shared lock held while this process has the mutex open
    int ownerFd = -1;  // exclusive lock (flock) held while a thread of this process owns it
};

enum class MutexFilesResult {
    Created,     // no other process has the mutex: this one made it
    Existed,     // another process holds the mutex open
    Missing,     // (open only) no process has the mutex
    Unavailable, // no trusted folder or file: the mutex stays private to this process
};

// The folder: "$XDG_RUNTIME_DIR/tessaro" when that is set, else "${TMPDIR:-/tmp}/tessaro-UID".
std::string MutexLockFolder();

// The names of a mutex's two files inside the folder (the name escaped to letters, digits, "-_.").
std::string MutexLockFileName(const std::string& mutexName, bool ownerFile);

// Opens the lock files of a named mutex, making the folder (0700) and, when create is set, the
// files. Links are never followed; a folder that is not a real folder of this user with no access
// for others, or a file that is not a regular file of this user, gives Unavailable and one line on
// stderr naming it. files is filled only for Created and Existed.
MutexFilesResult OpenMutexLockFiles(const std::string& mutexName, bool create, MutexLockFiles* files);

// Closes what OpenMutexLockFiles opened; the last process to close removes both files.
void CloseMutexLockFiles(MutexLockFiles* files);

} // namespace winapi
