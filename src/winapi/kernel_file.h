// Files over the Linux file system, seen as Windows paths on drive Z:. "Z:\home\a" is
// /home/a; "\" and "/" both separate; each component is matched case-insensitively against the
// disk (a small cache of directory listings keeps that cheap); Shift-JIS names are UTF-8 on disk.
// Relative paths are relative to the current directory; other drive letters and UNC names do not
// exist. Failures set the thread's last error (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS, ERROR_INVALID_HANDLE, ...).
#pragma once

#include <string>

#include "winapi/base.h"

// Last-error codes of the file calls beyond those of base.h.
#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define DRIVE_UNKNOWN 0u
#define DRIVE_NO_ROOT_DIR 1u
#define DRIVE_REMOVABLE 2u
#define DRIVE_FIXED 3u
#define DRIVE_REMOTE 4u
#define DRIVE_CDROM 5u
#define DRIVE_RAMDISK 6u

// Security attributes are accepted and ignored (the record is declared with the threads).
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED; // asynchronous I/O is not offered; pass null
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// Opens or creates a file → its handle, or INVALID_HANDLE_VALUE. Sharing is honoured between
// handles of this process (ERROR_SHARING_VIOLATION). CREATE_ALWAYS / OPEN_ALWAYS on an existing
// file succeed with last error ERROR_ALREADY_EXISTS. Directories cannot be opened.
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
// → TRUE (bytesRead may be less at the end of the file), FALSE on a bad handle or I/O error.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                     LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED overlapped);
// → the new position's low 32 bits (high part into *distanceHigh when given), or
// INVALID_SET_FILE_POINTER with last error set (a negative position is refused).
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD moveMethod);
BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                             DWORD moveMethod);
// → the low 32 bits of the size (high part into *sizeHigh), or INVALID_FILE_SIZE with last error.
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL WINAPI GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
// Cuts or extends the file at the current position.
BOOL WINAPI SetEndOfFile(HANDLE file);
BOOL WINAPI FlushFileBuffers(HANDLE file);
// Creation (= change), last access and last write times of an open file.
BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                        const FILETIME* lastWrite);
// -1, 0 or 1 as a is earlier than, equal to or later than b.
LONG WINAPI CompareFileTime(const FILETIME* a, const FILETIME* b);

BOOL WINAPI DeleteFileA(LPCSTR fileName);
// Renames; with MOVEFILE_REPLACE_EXISTING an existing target is replaced atomically, else
// ERROR_ALREADY_EXISTS. With MOVEFILE_COPY_ALLOWED a move across file systems copies.
BOOL WINAPI MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags);
BOOL WINAPI MoveFileA(LPCSTR existingName, LPCSTR newName);
// Copies contents and last-write time; with failIfExists an existing target gives ERROR_FILE_EXISTS.
BOOL WINAPI CopyFileA(LPCSTR existingName, LPCSTR newName, BOOL failIfExists);
BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security);
// Fails with ERROR_DIR_NOT_EMPTY when the folder holds anything.
BOOL WINAPI RemoveDirectoryA(LPCSTR pathName);
// → FILE_ATTRIBUTE_DIRECTORY, _READONLY (no write permission), _HIDDEN (name starts with a dot)
// or _NORMAL, or INVALID_FILE_ATTRIBUTES.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName);
// Only FILE_ATTRIBUTE_READONLY has an effect (clears or sets the write permissions).
BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD attributes);

// Lists the entries of a folder matching the last component ('*' and '?' wildcards, compared
// without case; "*.*" matches every name) → a search handle, or INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND (no match) or ERROR_PATH_NOT_FOUND (no folder).
HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
// → TRUE with the next match, FALSE with ERROR_NO_MORE_FILES at the end.
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA findData);
BOOL WINAPI FindClose(HANDLE find);

// The temporary folder ("Z:\tmp\", from TMPDIR) with a final backslash → its length, or the size
// needed (with the NUL) when the buffer is too small.
DWORD WINAPI GetTempPathA(DWORD bufferLength, LPSTR buffer);
// Makes "path\PPPXXXX.TMP" (the first three bytes of prefix, a hexadecimal number) into buffer
// (MAX_PATH bytes). unique 0: a free number is chosen and the empty file created → the number;
// otherwise the name of that number is only formatted → unique. 0 on failure.
UINT WINAPI GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName);
// The running program's path ("Z:\...") for a null module → its length (size - 1 and
// ERROR_INSUFFICIENT_BUFFER when cut); 0 for another module.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// → the length of the current folder ("Z:\..."), or the size needed when the buffer is too small.
DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName);
// Makes a full Windows path (separators become '\', "." and ".." folded) → its length, or the
// size needed when the buffer is too small; filePart points at the last component when given.
DWORD WINAPI GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart);
// The long form of an existing path as the disk holds it: each component's own name, symbolic
// links followed (a link whose target is missing gives where it points) → its length, or the size
// needed when the buffer is too small; 0 with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a
// missing path, ERROR_CANT_RESOLVE_FILENAME for a loop of links, ERROR_INVALID_NAME for a name
// Shift-JIS cannot hold.
DWORD WINAPI GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD bufferLength);
// DRIVE_CDROM when the path lies on an iso9660 or udf mount, DRIVE_FIXED for other paths of
// drive Z: (or a relative or rootless path), DRIVE_NO_ROOT_DIR for other drives or missing paths.
UINT WINAPI GetDriveTypeA(LPCSTR rootPathName);
// "Z:\" followed by an empty string → the length written (4), or the size needed.
DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer);
BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directoryName, ULARGE_INTEGER* freeBytesAvailable,
                                ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFreeBytes);

namespace winapi {

// The Linux path of a Windows path, each existing component matched without case; a missing
// last component (or a missing tail) is kept as given. False for another drive or a UNC name.
bool ResolvePath(const char* windowsPath, std::string* linuxPath);
// "Z:\..." for a Linux path (UTF-8 names become Shift-JIS).
std::string WindowsPathFromLinux(const std::string& linuxPath);
// "Z:\...\" for an existing host folder named in UTF-8 (relative to the current directory or
// absolute, links followed) → false when it is no folder or its full name has no Shift-JIS form.
bool WindowsFolderFromHost(const char* utf8Path, std::string* windowsFolder);
// Closes a file or search handle of this module → true when it was one (CloseHandle's file part).
bool CloseFileHandle(HANDLE handle);

} // namespace winapi

namespace winapi::testing {

// Failure switches for the tests of crash-safe writes (process-wide; -1 / false: off). After
// `bytes` more bytes, WriteFile writes nothing further and fails with ERROR_DISK_FULL;
// FlushFileBuffers fails with ERROR_DISK_FULL and MoveFileExA with ERROR_ACCESS_DENIED.
void FailFileWritesAfter(long long bytes);
void FailFileFlush(bool fail);
void FailFileMove(bool fail);

} // namespace winapi::testing
