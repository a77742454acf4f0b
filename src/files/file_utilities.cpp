// File utilities; see file_utilities.h.
#include "files/file_utilities.h"

#include <cstring>
#include <iterator>
#include <string>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "winapi/shell.h"

namespace {

// FindFile through the file manager → its code, or 3 without one.
int Find(const char* name, WIN32_FIND_DATAA* data)
{
    if (g_pFileManager == nullptr || name == nullptr)
        return 3;
    char path[MAX_PATH];
    return g_pFileManager->FindFile(path, name, data);
}

// The last-write time of a path made full → false when it is missing or unusable.
bool LastWriteTime(const char* path, FILETIME* out)
{
    char full[MAX_PATH];
    if (MakeFullPath(full, path, nullptr) == 0)
        return false;
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA(full, &data);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    *out = data.ftLastWriteTime;
    return true;
}

uint64_t Ticks(FILETIME time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

int StartProcess(char* commandLine, int waitMode)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    if (waitMode == 1)
        WaitForSingleObject(process.hProcess, INFINITE);
    else if (waitMode == 2)
        WaitForInputIdle(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

} // namespace

int32_t GetFileSizeAny(const char* name)
{
    WIN32_FIND_DATAA data{};
    return Find(name, &data) == 0 ? static_cast<int32_t>(data.nFileSizeLow) : -1;
}

int GetFileDateTime(const char* name, int* year, int* month, int* day, int* hour, int* minute, int* second,
                    int* dayOfWeek)
{
    if (g_pFileManager == nullptr)
        return 3;
    WIN32_FIND_DATAA data{};
    const int code = Find(name, &data);
    if (code != 0)
        return code;
    FILETIME local{};
    SYSTEMTIME time{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    int* const outputs[] = {year, month, day, hour, minute, second, dayOfWeek};
    const int values[] = {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wDayOfWeek};
    for (size_t i = 0; i < std::size(outputs); ++i)
        if (outputs[i] != nullptr)
            *outputs[i] = values[i];
    return 0;
}

bool FileExistsAny(const char* name)
{
    WIN32_FIND_DATAA data{};
    return Find(name, &data) == 0;
}

int IsFileNewer(const char* pathA, const char* pathB, FILETIME timeA, FILETIME timeB)
{
    if (pathA != nullptr && !LastWriteTime(pathA, &timeA))
        return -1;
    if (pathB != nullptr && !LastWriteTime(pathB, &timeB))
        return 1;
    return Ticks(timeA) > Ticks(timeB) ? 1 : 0;
}

int CopyFileChecked(const char* destination, const char* source, int mode)
{
    char fullDestination[MAX_PATH], fullSource[MAX_PATH];
    if (destination == nullptr || source == nullptr || MakeFullPath(fullDestination, destination, nullptr) == 0 ||
        MakeFullPath(fullSource, source, nullptr) == 0)
        return 2;
    FILETIME destinationTime{};
    if (mode != 1 && LastWriteTime(fullDestination, &destinationTime)) {
        if (mode == 2)
            return 2;
        if (IsFileNewer(fullSource, nullptr, FILETIME{}, destinationTime) != 1)
            return 1;
    }
    SetFileAttributesA(fullDestination, FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(fullSource, fullDestination, FALSE) ? 0 : -1;
}

int RunProcess(const char* commandLine, int waitMode)
{
    // The command line is copied into a writable buffer of 260 bytes; a longer one is refused.
    char buffer[MAX_PATH];
    if (commandLine == nullptr || std::strlen(commandLine) >= sizeof buffer)
        return 1;
    std::strcpy(buffer, commandLine);
    return StartProcess(buffer, waitMode);
}

int OpenFolderInExplorer(const char* folder)
{
    char full[MAX_PATH];
    if (folder == nullptr || MakeFullPath(full, folder, nullptr) == 0)
        return 1;
    // "explorer " and the folder in 272 bytes; a longer one is refused.
    char command[272];
    if (std::strlen("explorer ") + std::strlen(full) >= sizeof command)
        return 1;
    std::strcpy(command, "explorer ");
    std::strcat(command, full);
    return StartProcess(command, 0) == 0 ? 0 : 2;
}
