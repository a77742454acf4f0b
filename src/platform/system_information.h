// The system-information text that the game shows in a read-only edit control: the machine, the
// display, CPU, sound, input, drives and processes, appended piece by piece with EM_REPLACESEL.
#pragma once

#include "platform/input_manager.h"
#include "platform/monitor_list.h"
#include "platform/report_format.h"
#include "platform/windows_info.h"

// input and monitors may be null.
void WriteSystemInformation(HWND edit, const ReportFrameInfo& frame, const CWindowsInfo& info,
                            const CInputManager* input, const CMonitorList* monitors);
