// Pieces that the start-up report and the system-information text write alike: the version
// text, the CPU name and caches, sizes in grouped megabytes, and the walks over drives and
// processes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/cpu_info.h"
#include "platform/windows_info.h"

// The frame's facts that the report and the text print.
struct ReportFrameInfo {
    std::string appName;      // Shift-JIS
    std::string title;        // Shift-JIS
    std::string notice;       // empty: no line
    std::string webAddress;   // empty: no line
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
    uint8_t revision = 0;
    uint8_t inputMode = 0;    // EInputMethod of keyboard and mouse
    bool measureCpuClock = false;
    bool direct3DReport = true;
    bool useZBuffer = false;
    bool highResolutionTimer = false;
    bool frameSkip = false;
    bool useDirectSound = true;
    bool useJoystick = true;
    std::string programFolder;  // "Z:\...\"
};

// printf into a string (the formats are the system's own, with Shift-JIS texts).
std::string ReportPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "%d.%02d", and the revision in "%x" when it is not 0 (1.00a).
std::string AppVersionText(uint8_t major, uint8_t minor, uint8_t revision);
// "%s [ %s ]" of brand and model name, or the model name alone.
std::string CpuNameText(const CpuInfo& cpu);
// The non-zero caches joined by " / ", with the given unit texts.
std::string CpuCacheText(const CpuInfo& cpu);
// "%3d,%03d,%03d", "    %3d,%03d" or "        %3d" (the widest that the value needs).
std::string GroupedMegabytes(uint64_t megabytes);
// Every drive root (upper-cased) with its GetDriveTypeA answer.
void ForEachDrive(const std::function<void(const std::string& root, UINT type)>& visit);
// The Windows folder, upper-cased.
std::string UpperWindowsFolder();
// The process lines: with modules the first module's path of each process with a non-zero id
// (skipped when that fails), else the executable names. → false when no snapshot could be made.
bool ForEachProcess(bool modules, const std::function<void(const char* line)>& visit);
