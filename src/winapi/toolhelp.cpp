// Tool-help snapshots; see toolhelp.h.
#include "winapi/toolhelp.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "winapi/kernel_file.h"
#include "winapi/text.h"

namespace winapi {

namespace {

struct ProcessRecord {
    DWORD id;
    std::string exeFile;  // Shift-JIS
};

struct Snapshot {
    bool modules = false;
    std::vector<ProcessRecord> processes;
    size_t next = 0;
    std::string modulePath;  // Shift-JIS "Z:\..."
    DWORD moduleProcess = 0;
};

std::mutex g_snapshotMutex;
std::set<Snapshot*>& Snapshots()
{
    static auto* snapshots = new std::set<Snapshot*>;
    return *snapshots;
}
std::string& ProcRoot()
{
    static auto* root = new std::string("/proc");
    return *root;
}

std::string Root()
{
    std::lock_guard lock(g_snapshotMutex);
    return ProcRoot();
}

// The target of /proc/PID/exe, empty when it cannot be read.
std::string ExeLink(const std::string& folder)
{
    char target[4096];
    const ssize_t length = readlink((folder + "/exe").c_str(), target, sizeof target - 1);
    if (length <= 0)
        return std::string();
    std::string path(target, static_cast<size_t>(length));
    // A replaced executable reads "PATH (deleted)".
    static const char kDeleted[] = " (deleted)";
    if (path.size() > sizeof kDeleted && path.compare(path.size() - (sizeof kDeleted - 1), std::string::npos, kDeleted) == 0)
        path.resize(path.size() - (sizeof kDeleted - 1));
    return path;
}

// The process's command name; false when the process is gone.
bool ReadComm(const std::string& folder, std::string* out)
{
    const int fd = open((folder + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[256];
    const ssize_t length = read(fd, buffer, sizeof buffer);
    close(fd);
    if (length < 0)
        return false;
    out->assign(buffer, static_cast<size_t>(length));
    while (!out->empty() && (out->back() == '\n' || out->back() == '\0'))
        out->pop_back();
    return true;
}

bool ProcessId(const char* name, DWORD* id)
{
    if (name[0] == 0)
        return false;
    uint64_t value = 0;
    for (const char* p = name; *p != 0; ++p) {
        if (*p < '0' || *p > '9' || value > 0xFFFFFFFFu / 10)
            return false;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (value > 0xFFFFFFFFu)
        return false;
    *id = static_cast<DWORD>(value);
    return true;
}

HANDLE Publish(Snapshot* snapshot)
{
    std::lock_guard lock(g_snapshotMutex);
    Snapshots().insert(snapshot);
    return snapshot;
}

Snapshot* Find(HANDLE handle)  // g_snapshotMutex held
{
    auto it = Snapshots().find(static_cast<Snapshot*>(handle));
    return it == Snapshots().end() ? nullptr : *it;
}

void CopyName(char* out, size_t size, const std::string& sjis)
{
    const size_t length = SjisPrefixLength(sjis, size - 1);
    std::memcpy(out, sjis.data(), length);
    out[length] = 0;
}

BOOL NextProcess(HANDLE handle, LPPROCESSENTRY32 entry, bool first)
{
    if (entry == nullptr || entry->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_snapshotMutex);
    Snapshot* snapshot = Find(handle);
    if (snapshot == nullptr || snapshot->modules) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (first)
        snapshot->next = 0;
    if (snapshot->next >= snapshot->processes.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const ProcessRecord& record = snapshot->processes[snapshot->next++];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof(PROCESSENTRY32));
    entry->dwSize = size;
    entry->th32ProcessID = record.id;
    entry->cntThreads = 1;
    CopyName(entry->szExeFile, sizeof entry->szExeFile, record.exeFile);
    return TRUE;
}

} // namespace

void SetProcRootForTests(const std::string& root)
{
    std::lock_guard lock(g_snapshotMutex);
    ProcRoot() = root.empty() ? std::string("/proc") : root;
}

bool CloseSnapshotHandle(HANDLE handle)
{
    Snapshot* snapshot;
    {
        std::lock_guard lock(g_snapshotMutex);
        snapshot = Find(handle);
        if (snapshot == nullptr)
            return false;
        Snapshots().erase(snapshot);
    }
    delete snapshot;
    return true;
}

} // namespace winapi

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId)
{
    const std::string root = winapi::Root();
    if (flags == TH32CS_SNAPPROCESS) {
        DIR* folder = opendir(root.c_str());
        if (folder == nullptr) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        auto* snapshot = new winapi::Snapshot;
        while (const dirent* entry = readdir(folder)) {
            DWORD id;
            if (!winapi::ProcessId(entry->d_name, &id))
                continue;
            const std::string path = root + "/" + entry->d_name;
            std::string comm;
            if (!winapi::ReadComm(path, &comm))
                continue;  // gone meanwhile
            const std::string exe = winapi::ExeLink(path);
            const std::string name = exe.empty() ? comm : exe.substr(exe.find_last_of('/') + 1);
            snapshot->processes.push_back(winapi::ProcessRecord{id, winapi::Utf8ToSjis(name)});
        }
        closedir(folder);
        return winapi::Publish(snapshot);
    }
    if (flags == TH32CS_SNAPMODULE) {
        const std::string path = root + "/" + (processId == 0 ? std::string("self") : std::to_string(processId));
        if (access(path.c_str(), F_OK) != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        const std::string exe = winapi::ExeLink(path);
        if (exe.empty()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        auto* snapshot = new winapi::Snapshot;
        snapshot->modules = true;
        snapshot->modulePath = winapi::WindowsPathFromLinux(exe);
        snapshot->moduleProcess = processId;
        return winapi::Publish(snapshot);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    return winapi::NextProcess(snapshot, entry, true);
}

BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    return winapi::NextProcess(snapshot, entry, false);
}

BOOL WINAPI Module32First(HANDLE handle, LPMODULEENTRY32 entry)
{
    if (entry == nullptr || entry->dwSize < sizeof(MODULEENTRY32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(winapi::g_snapshotMutex);
    winapi::Snapshot* snapshot = winapi::Find(handle);
    if (snapshot == nullptr || !snapshot->modules) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof(MODULEENTRY32));
    entry->dwSize = size;
    entry->th32ModuleID = 1;
    entry->th32ProcessID = snapshot->moduleProcess;
    entry->GlblcntUsage = entry->ProccntUsage = 1;
    winapi::CopyName(entry->szExePath, sizeof entry->szExePath, snapshot->modulePath);
    const size_t slash = snapshot->modulePath.find_last_of('\\');
    winapi::CopyName(entry->szModule, sizeof entry->szModule,
                     slash == std::string::npos ? snapshot->modulePath : snapshot->modulePath.substr(slash + 1));
    return TRUE;
}
