// Shared report pieces; see report_format.h.
#include "platform/report_format.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "winapi/kernel.h"
#include "winapi/text.h"
#include "winapi/toolhelp.h"

std::string ReportPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.pop_back();
    }
    va_end(args);
    return out;
}

std::string AppVersionText(uint8_t major, uint8_t minor, uint8_t revision)
{
    std::string text = ReportPrintf("%d.%02d", major, minor);
    if (revision != 0)
        text += ReportPrintf("%x", revision);
    return text;
}

std::string CpuNameText(const CpuInfo& cpu)
{
    if (cpu.brandPresent && cpu.brand[0] != 0)
        return ReportPrintf("%s [ %s ]", cpu.brand, cpu.modelName);
    return cpu.modelName;
}

std::string CpuCacheText(const CpuInfo& cpu)
{
    std::vector<std::string> parts;
    if (cpu.l1TraceKuops != 0)
        parts.push_back(ReportPrintf(winapi::Sjis("L1 T-Cache %dKμOPs"), cpu.l1TraceKuops));
    else if (cpu.l1CodeKb != 0)
        parts.push_back(ReportPrintf("L1 C-Cache %dKB", cpu.l1CodeKb));
    if (cpu.l1DataKb != 0)
        parts.push_back(ReportPrintf("L1 D-Cache %dKB", cpu.l1DataKb));
    if (cpu.l2Kb != 0)
        parts.push_back(ReportPrintf("L2 Cache %dKB", cpu.l2Kb));
    if (cpu.l3Kb != 0)
        parts.push_back(ReportPrintf("L3 Cache %dKB", cpu.l3Kb));
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : " / ") + parts[i];
    return text;
}

std::string GroupedMegabytes(uint64_t megabytes)
{
    const auto a = static_cast<int>(megabytes / 1000000 > 0x7FFFFFFF ? 0x7FFFFFFF : megabytes / 1000000);
    const auto b = static_cast<int>(megabytes / 1000 % 1000);
    const auto c = static_cast<int>(megabytes % 1000);
    if (a != 0)
        return ReportPrintf("%3d,%03d,%03d", a, b, c);
    if (b != 0)
        return ReportPrintf("    %3d,%03d", b, c);
    return ReportPrintf("        %3d", c);
}

void ForEachDrive(const std::function<void(const std::string& root, UINT type)>& visit)
{
    char roots[512] = {};
    const DWORD length = GetLogicalDriveStringsA(511, roots);
    if (length == 0 || length > 511)
        return;
    for (const char* root = roots; *root != 0; root += std::strlen(root) + 1) {
        std::string upper = root;
        CharUpperA(upper.data());
        visit(upper, GetDriveTypeA(root));
    }
}

std::string UpperWindowsFolder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    CharUpperA(folder);
    return folder;
}

bool ForEachProcess(bool modules, const std::function<void(const char* line)>& visit)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 process{};
    process.dwSize = sizeof(process);
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
        if (!modules) {
            visit(process.szExeFile);
            continue;
        }
        if (process.th32ProcessID == 0)
            continue;
        HANDLE moduleSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);
        if (moduleSnapshot == INVALID_HANDLE_VALUE)
            continue;
        MODULEENTRY32 module{};
        module.dwSize = sizeof(module);
        if (Module32First(moduleSnapshot, &module))
            visit(module.szExePath);
        CloseHandle(moduleSnapshot);
    }
    CloseHandle(snapshot);
    return true;
}
