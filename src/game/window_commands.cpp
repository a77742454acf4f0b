// The main window's commands: the system commands that become screen-mode switches, the menu and
// accelerator commands and the scripts' requests (WM_COMMAND), and dropped files.
#include "game/game_app.h"

#include <cstdio>

#include "files/path_utils.h"
#include "files/shell_dialogs.h"
#include "game/resources.h"
#include "game/save_dialog.h"
#include "game/settings_sheet.h"
#include "natives/script_host.h"
#include "natives/script_request.h"
#include "winapi/shell.h"
#include "winapi/text.h"

uint32_t CGameApp::OnSysCommand(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    const WPARAM command = m->wParam & 0xFFF0;
    if (command == SC_MAXIMIZE) {
        // Maximising switches the screen mode instead.
        if (IsIconic(hwnd))
            ShowWindow(hwnd, SW_RESTORE);
        SendMessageA(hwnd, WM_COMMAND, kCmdScreenMode, 0);
        return 0;
    }
    if (command == SC_RESTORE && !IsIconic(hwnd) && GetActiveWindow() == hwnd) {
        SendMessageA(hwnd, WM_COMMAND, kCmdScreenMode, 0);
        return 0;
    }
    return 1;  // the default processing
}

bool CGameApp::RunBusy(uint8_t busy, int group, const std::function<void()>& body)
{
    if (m_busy != kBusyNone || (group >= 0 && !IsMenuItemGroupEnabled(group)))
        return false;
    m_busy = busy;
    const bool entered = !IsModal();
    if (entered)
        EnterModal();
    body();
    if (entered)
        LeaveModal();
    m_busy = kBusyNone;
    return true;
}

void CGameApp::SwitchScreenModeCommand()
{
    if (m_description.bytes[kSysSwitchAllowed] == 0 || !IsMenuItemGroupEnabled(4))
        return;
    const uint8_t old = m_options.requestedMode;
    const uint8_t next = old == 2 ? 1 : 2;
    HWND hwnd = GetMainWindow();
    if (next == 1 && SelectTargetMonitor(hwnd, 0) != 0) {
        ShowMessage(winapi::Sjis("画面モード変更に失敗"), 4);
        return;
    }
    m_options.requestedMode = next;
    const uint8_t methodBefore = m_screenObject.GetPresentPathRequest();
    if (SwitchScreenMode(next, 0, 1) != 0) {
        m_options.requestedMode = old;
        SetFailureByte(2);  // the game ends with the screen-mode message
    } else if (m_screenObject.GetPresentPathRequest() != methodBefore) {
        // The display gave up the drawing method asked for: the settings say what it uses now,
        // so that the settings sheet and the next start do not ask for it again.
        Config().enlargedDrawing = 2;
        if (m_options.requestedMode == 2)
            Config().drawingAlways = 0;
    }
    ApplyFrameTiming(-1);
}

void CGameApp::ReturnToTitleCommand()
{
    RunBusy(kBusyTitleQuestion, 3, [this] {
        const int yes = ShowMessageDialog(winapi::Sjis("タイトルに戻ります。\nよろしいですか？"), 2, nullptr, nullptr, 0,
                                          nullptr);
        bool go = yes == 1;
        if (go && !IsMenuItemGroupEnabled(3)) {
            // The scripts closed the way back while the question was open.
            ShowMessageDialog(winapi::Sjis("現在の状態でタイトルに戻ることは出来ません。\r\n"
                                           "行える状態になってから再度、実行して下さい。"),
                              0, nullptr, nullptr, 0, nullptr);
            go = false;
        }
        if (go)
            RequestInterrupt(1);
    });
}

uint32_t CGameApp::OnCommand(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    const WORD id = LOWORD(m->wParam);
    switch (id) {
    case kCmdScreenMode: SwitchScreenModeCommand(); break;
    case kCmdReturnToTitle: ReturnToTitleCommand(); break;
    case kCmdQuit: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
    case kCmdVersion:
        RunBusy(kBusyVersionDialog, -1, [this, hwnd] {
            if (m_versionDialog)
                m_versionDialog(hwnd);
            else
                RunVersionDialog(hwnd);
        });
        break;
    case kCmdSettings:
    case kCmdSettingsFromMenu:
        RunBusy(kBusySettings, 0, [this, hwnd] {
            if (m_settingsSheet)
                m_settingsSheet(hwnd);
            else
                ShowSettingsSheet(*this, hwnd);
        });
        break;
    case kCmdSave:
    case kCmdLoad: {
        const bool save = id == kCmdSave;
        RunBusy(save ? kBusySaveDialog : kBusyLoadDialog, save ? 1 : 2, [this, hwnd, save] {
            if (m_saveLoadDialog)
                m_saveLoadDialog(hwnd, save);
            else
                RunSaveLoadDialog(*this, hwnd, save);
        });
        break;
    }
    case kScriptRequestDataInput: {
        auto* request = reinterpret_cast<ScriptRequest*>(m->lParam);
        if (request != nullptr && !request->text.empty())
            m_dataInput.result = request->text;
        const bool entered = !IsModal();
        if (entered)
            EnterModal();
        const INT_PTR done = RunDataInputDialog(hwnd);
        if (entered)
            LeaveModal();
        if (request != nullptr) {
            request->answer = done == 1 ? 1 : 0;
            request->answerText = done == 1 ? m_dataInput.result : std::string();
        }
        break;
    }
    case kScriptRequestOpenFile:
    case kScriptRequestSaveFile:
    case kScriptRequestFolder:
    case kScriptRequestSoundFormat: {
        // Sent by the natives: the record is answered in place.
        auto* request = reinterpret_cast<ScriptRequest*>(m->lParam);
        if (request == nullptr)
            break;
        const bool entered = id != kScriptRequestSoundFormat && !IsModal();
        if (entered)
            EnterModal();
        AnswerScriptRequest(hwnd, id, *request);
        if (entered)
            LeaveModal();
        break;
    }
    default: break;  // 40009-40025 and the rest have no handler
    }
    return 0;
}

void CGameApp::AnswerScriptRequest(HWND hwnd, WORD id, ScriptRequest& request)
{
    const char* folder = request.folder.empty() ? GetProgramFolder().c_str() : request.folder.c_str();
    const char* title = request.title.empty() ? nullptr : request.title.c_str();
    switch (id) {
    case kScriptRequestOpenFile:
    case kScriptRequestSaveFile: {
        char file[MAX_PATH] = {};
        char fileTitle[256] = {};
        std::snprintf(file, sizeof file, "%s", request.text.c_str());
        std::string filter = request.filter;
        filter.append(2, '\0');
        const char* filters = request.filter.empty() ? nullptr : filter.c_str();
        CFileDialog chooser;
        const BOOL chosen =
            id == kScriptRequestOpenFile
                ? chooser.ShowOpen(hwnd, title, file, fileTitle, folder, filters, false)
                : chooser.ShowSave(hwnd, title, file, fileTitle, folder, filters,
                                   request.extension.empty() ? nullptr : request.extension.c_str());
        request.answer = chosen ? 1 : 0;
        request.answerText = chosen ? file : "";
        request.answerTitle = chosen ? fileTitle : "";
        break;
    }
    case kScriptRequestFolder: {
        char chosen[MAX_PATH] = {};
        BrowseForFolder(hwnd, title, folder, chosen);
        request.answerText = chosen;
        request.answer = chosen[0] != '\0' ? 1 : 0;
        if (request.answer != 0 && !EndsWithSeparator(chosen))
            request.answerText += '\\';
        break;
    }
    case kScriptRequestSoundFormat:
        request.answer = request.formatGiven
                             ? SoundDevice().SetPrimaryFormat(hwnd, false, false, nullptr, request.channels,
                                                              request.rateCode, request.bits)
                             : SoundDevice().SetPrimaryFormat(hwnd, false, false, nullptr, 2, 44, 16);
        break;
    default: break;
    }
}

uint32_t CGameApp::OnDropFiles(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    SetForegroundWindow(hwnd);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    g_ScriptDropFiles.OnDropFiles(reinterpret_cast<HDROP>(m->wParam));
    return 0;
}
