// The start-up report SYS_LOG.TXT: a plain Shift-JIS text of the machine and the start-up that a
// user can send in when the program does not start. The frame's Init opens it and writes it at
// four points (after the CPU check, after the input devices, after the screen mode is set, at the
// end); the file is closed when the object is or when Init ends.
#pragma once

#include <string>

#include "platform/input_manager.h"
#include "platform/monitor_list.h"
#include "platform/report_format.h"
#include "platform/report_sources.h"
#include "platform/windows_info.h"

class CStartupReport {
public:
    CStartupReport() = default;
    ~CStartupReport();
    CStartupReport(const CStartupReport&) = delete;
    CStartupReport& operator=(const CStartupReport&) = delete;

    // Creates folder\SYS_LOG.TXT anew → 0, or 6 when it cannot be created.
    uint32_t Open(const std::string& folder);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // The start line, the application lines, [ System ] and [ CPU ] (monitors may be null).
    void WriteStart(const ReportFrameInfo& frame, const CWindowsInfo& info, const CMonitorList* monitors);
    // [ DirectInput ] (or the Win32 input line) with the first joystick, then [ DirectSound ]
    // from a fresh enumeration of the sound devices.
    void WriteDevices(const CInputManager& input, uint8_t inputMode);
    // The screen mode and the display device, with the Direct3D part when asked.
    void WriteDisplay(const ReportFrameInfo& frame);
    // [ Drive Info ], [ Application ], [ Process ] and the closing line; closes the file.
    void WriteFinish(const CWindowsInfo& info);
    void Close();

private:
    void Write(const std::string& text);
    void WriteDirect3D(const ReportFrameInfo& frame, const DisplayReportFacts& display);

    HANDLE m_file = INVALID_HANDLE_VALUE;
};
