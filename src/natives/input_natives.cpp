#include "natives/input_natives.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "display/app_frame.h"
#include "drawing/drawable.h"
#include "files/file_stream.h"
#include "files/file_utilities.h"
#include "files/shell_dialogs.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_host.h"
#include "platform/action_map.h"
#include "platform/cursor_image.h"
#include "platform/input_manager.h"
#include "platform/skip_key.h"
#include "platform/timer_resolution.h"
#include "winapi/kernel_time.h"
#include "winapi/shell.h"

namespace {

constexpr UINT kShowCursorMessage = 0x9000;

CActionMap* Actions()
{
    return g_pGameApp != nullptr ? g_pGameApp->GetActionMap() : nullptr;
}

uint32_t Byte(bool value)
{
    return value ? 1 : 0;
}

// Word k as a path inside the host's roots → false for null, a bad address (the call marked) or
// a path outside every root.
bool RootedPath(SobNativeArgs& args, uint32_t k, std::string* path)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    if (args.Faulted() || name == nullptr || host == nullptr)
        return false;
    return host->ResolveScriptPath(name, path);
}

uint32_t ActionPushed(uint32_t action)
{
    CActionMap* map = Actions();
    return map != nullptr ? Byte(map->IsPushed(action)) : 0;
}

uint32_t ActionDown(uint32_t action)
{
    CActionMap* map = Actions();
    return map != nullptr ? Byte(map->IsDown(action)) : 0;
}

uint32_t MousePushed(int button)
{
    return g_pMouse != nullptr ? Byte(g_pMouse->IsPushed(button)) : 0;
}

uint32_t MouseDown(int button)
{
    return g_pMouse != nullptr ? Byte(g_pMouse->IsDown(button)) : 0;
}

// 591 and 592: the wheel through the out address, then a wheel direction as a button.
uint32_t MouseWheel(SobNativeArgs& args, int button)
{
    if (!NativeOutCellsOk(args, 0, 1) || g_pMouse == nullptr)
        return 0;
    NativeStoreOutCell(args, 0, static_cast<uint32_t>(g_pMouse->GetWheel()));
    return Byte(g_pMouse->IsDown(button));
}

uint32_t Box(SobNativeArgs& args, int kind)
{
    const uint8_t icon = static_cast<uint8_t>(args.U32(0));
    const char* text = NativeOptionalString(args, 1);
    const char* caption = NativeOptionalString(args, 2);
    if (args.Faulted() || g_pAppFrame == nullptr)
        return 0;
    return g_pAppFrame->SendRequest(kind, text, icon, caption);
}

bool IsAddress(const char* name)
{
    return strncasecmp(name, "http:", 5) == 0 || strncasecmp(name, "https:", 6) == 0 ||
           strncasecmp(name, "mailto:", 7) == 0;
}

} // namespace

uint32_t NativeTimeNow(SobNativeArgs&)
{
    return TimerNow();
}

uint32_t NativeLocalTime(SobNativeArgs& args)
{
    if (!NativeOutCellsOk(args, 0, 5))
        return 0;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const uint32_t values[5] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute};
    for (uint32_t k = 0; k < 5; ++k)
        NativeStoreOutCell(args, k, values[k]);
    return 0;
}

uint32_t NativeTimersCreate(SobNativeArgs& args)
{
    const auto count = static_cast<uint16_t>(args.U32(0));
    return args.Faulted() ? 0 : g_ScriptTimers.Create(count);
}

uint32_t NativeTimerReset(SobNativeArgs& args)
{
    const auto id = static_cast<uint16_t>(args.U32(0));
    return args.Faulted() ? 0 : Byte(g_ScriptTimers.ResetTimer(id));
}

uint32_t NativeTimerElapsed(SobNativeArgs& args)
{
    const auto id = static_cast<uint16_t>(args.U32(0));
    return args.Faulted() ? 0 : g_ScriptTimers.GetElapsed(id);
}

uint32_t NativeTimerSetElapsed(SobNativeArgs& args)
{
    const auto id = static_cast<uint16_t>(args.U32(0));
    const uint32_t value = args.U32(1);
    if (!args.Faulted())
        g_ScriptTimers.SetElapsed(id, value);
    return 0;
}

uint32_t NativeTimerPause(SobNativeArgs& args)
{
    const auto id = static_cast<uint16_t>(args.U32(0));
    if (!args.Faulted())
        g_ScriptTimers.PauseTimer(id);
    return 0;
}

uint32_t NativeTimerResume(SobNativeArgs& args)
{
    const auto id = static_cast<uint16_t>(args.U32(0));
    if (!args.Faulted())
        g_ScriptTimers.ResumeTimer(id);
    return 0;
}

uint32_t NativeTimersPauseAll(SobNativeArgs&)
{
    g_ScriptTimers.PauseAll();
    return 0;
}

uint32_t NativeTimersResumeAll(SobNativeArgs&)
{
    g_ScriptTimers.ResumeAll();
    return 0;
}

uint32_t NativeActionPushed(SobNativeArgs& args)
{
    const uint32_t action = args.U32(0);
    return args.Faulted() ? 0 : ActionPushed(action);
}

uint32_t NativeActionDown(SobNativeArgs& args)
{
    const uint32_t action = args.U32(0);
    return args.Faulted() ? 0 : ActionDown(action);
}

uint32_t NativeActionFirstPushed(SobNativeArgs& args)
{
    const uint32_t first = args.U32(0), count = args.U32(1);
    CActionMap* map = Actions();
    if (args.Faulted() || map == nullptr)
        return static_cast<uint32_t>(-1);
    return static_cast<uint32_t>(map->FindFirstPushed(first, count));
}

uint32_t NativeActionFirstDown(SobNativeArgs& args)
{
    const uint32_t first = args.U32(0), count = args.U32(1);
    CActionMap* map = Actions();
    if (args.Faulted() || map == nullptr)
        return static_cast<uint32_t>(-1);
    return static_cast<uint32_t>(map->FindFirstDown(first, count));
}

// Without a map the bindings answer 1, the map's own "bad action".
uint32_t NativeActionBind(SobNativeArgs& args)
{
    const uint32_t action = args.U32(0);
    const int32_t source = args.I32(1);
    const auto code = static_cast<uint8_t>(args.U32(2));
    CActionMap* map = Actions();
    if (args.Faulted() || map == nullptr)
        return 1;
    return map->Bind(action, source, code);
}

uint32_t NativeActionUnbind(SobNativeArgs& args)
{
    const uint32_t action = args.U32(0);
    const int32_t source = args.I32(1);
    const int32_t code = args.I32(2);
    CActionMap* map = Actions();
    if (args.Faulted() || map == nullptr)
        return 1;
    return map->Unbind(action, source, code);
}

uint32_t NativeActionRebind(SobNativeArgs& args)
{
    const uint32_t action = args.U32(0);
    const int32_t source = args.I32(1);
    const auto newCode = static_cast<uint8_t>(args.U32(2));
    const int32_t oldCode = args.I32(3);
    CActionMap* map = Actions();
    if (args.Faulted() || map == nullptr)
        return 1;
    return map->Rebind(action, source, newCode, oldCode);
}

uint32_t NativeAction4Pushed(SobNativeArgs&) { return ActionPushed(4); }
uint32_t NativeAction5Pushed(SobNativeArgs&) { return ActionPushed(5); }
uint32_t NativeAction0Pushed(SobNativeArgs&) { return ActionPushed(0); }
uint32_t NativeAction1Pushed(SobNativeArgs&) { return ActionPushed(1); }
uint32_t NativeAction2Pushed(SobNativeArgs&) { return ActionPushed(2); }
uint32_t NativeAction3Pushed(SobNativeArgs&) { return ActionPushed(3); }
uint32_t NativeAction4Down(SobNativeArgs&) { return ActionDown(4); }
uint32_t NativeAction5Down(SobNativeArgs&) { return ActionDown(5); }
uint32_t NativeAction0Down(SobNativeArgs&) { return ActionDown(0); }
uint32_t NativeAction1Down(SobNativeArgs&) { return ActionDown(1); }
uint32_t NativeAction2Down(SobNativeArgs&) { return ActionDown(2); }
uint32_t NativeAction3Down(SobNativeArgs&) { return ActionDown(3); }

uint32_t NativeIsSkipKeyPushed(SobNativeArgs&)
{
    return g_pAppFrame != nullptr && IsSkipKeyPushed(g_pAppFrame->GetInput().GetKeyboard()) ? 1 : 0;
}

uint32_t NativeIsSkipKeyDown(SobNativeArgs&)
{
    return g_pAppFrame != nullptr && IsSkipKeyDown(g_pAppFrame->GetInput().GetKeyboard()) ? 1 : 0;
}

uint32_t NativeKeyPushed(SobNativeArgs& args)
{
    const auto code = static_cast<uint8_t>(args.U32(0));
    return args.Faulted() || g_pKeyboard == nullptr ? 0 : Byte(g_pKeyboard->IsPushed(code));
}

uint32_t NativeKeyDown(SobNativeArgs& args)
{
    const auto code = static_cast<uint8_t>(args.U32(0));
    return args.Faulted() || g_pKeyboard == nullptr ? 0 : Byte(g_pKeyboard->IsDown(code));
}

uint32_t NativeKeyScrollLock(SobNativeArgs&) { return g_pKeyboard != nullptr ? g_pKeyboard->m_scrollLock : 0; }
uint32_t NativeKeyCapsLock(SobNativeArgs&) { return g_pKeyboard != nullptr ? g_pKeyboard->m_capsLock : 0; }
uint32_t NativeKeyNumLock(SobNativeArgs&) { return g_pKeyboard != nullptr ? g_pKeyboard->m_numLock : 0; }

uint32_t NativeKeySetRepeat(SobNativeArgs& args)
{
    const auto value = static_cast<uint8_t>(args.U32(0));
    if (!args.Faulted() && g_pKeyboard != nullptr)
        g_pKeyboard->m_keyRepeat = value;
    return 0;
}

uint32_t NativeKeyRepeated(SobNativeArgs& args)
{
    const auto code = static_cast<uint8_t>(args.U32(0));
    return args.Faulted() || g_pKeyboard == nullptr ? 0 : Byte(g_pKeyboard->IsRepeated(code));
}

uint32_t NativeCursorShape(SobNativeArgs& args)
{
    const auto kind = static_cast<uint8_t>(args.U32(0));
    if (args.Faulted() || g_pMouse == nullptr)
        return 0;
    const uint32_t result = kind < 13 ? g_pMouse->SetCursorShape(kind, nullptr, 0)
                                      : g_pMouse->SetCursorShape(kind, GetModuleHandleA(nullptr), kind + 107u);
    // A cursor resource the program lacks changes nothing.
    if (result == 0 && g_pMouse->m_image != nullptr)
        g_pMouse->SetCursorImage(nullptr, 0, 0, false, 0, 0);
    return 0;
}

// A handle that finds no object drawing a cursor answers the mouse's "wrong object type".
uint32_t NativeCursorImage(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t handle = args.U32(0);
    const int32_t frames = args.I32(1), frameTime = args.I32(2);
    const bool pingPong = (args.U32(3) & 0xFF) != 0;
    const int32_t hotX = args.I32(4), hotY = args.I32(5);
    if (args.Faulted() || g_pMouse == nullptr)
        return 0;
    auto* image = host != nullptr ? dynamic_cast<ICursorImage*>(host->Object<CDrawable>(handle)) : nullptr;
    if (image == nullptr)
        return 3;
    const uint32_t result = g_pMouse->SetCursorImage(image, frames, frameTime, pingPong, hotX, hotY);
    if (result == 0 && g_pMouse->m_systemCursorShown != 0 && g_pAppFrame != nullptr)
        g_pMouse->ShowCursor(false, g_pAppFrame->GetMainWindow(), kShowCursorMessage);
    return result;
}

uint32_t NativeShowCursorRequest(SobNativeArgs& args)
{
    const bool flag = args.U32(0) != 0;
    if (args.Faulted() || g_pAppFrame == nullptr)
        return 0;
    HWND hwnd = g_pAppFrame->GetMainWindow();
    if (hwnd != nullptr && IsWindow(hwnd))
        SendMessageA(hwnd, kShowCursorMessage, flag ? 1 : 0, 0);
    return 0;
}

uint32_t NativeCursorPosition(SobNativeArgs& args)
{
    if (!NativeOutCellsOk(args, 0, 2) || g_pAppFrame == nullptr)
        return 0;
    const CursorPosition& at = g_pAppFrame->GetCursorPosition();
    NativeStoreOutCell(args, 0, static_cast<uint32_t>(at.x));
    NativeStoreOutCell(args, 1, static_cast<uint32_t>(at.y));
    return 0;
}

uint32_t NativeSetCursorPosition(SobNativeArgs& args)
{
    const int32_t x = args.I32(0), y = args.I32(1);
    if (!args.Faulted() && g_pAppFrame != nullptr)
        g_pAppFrame->SetCursorPos(x, y);
    return 0;
}

uint32_t NativeFrameActive(SobNativeArgs&)
{
    return g_pAppFrame != nullptr ? Byte(g_pAppFrame->IsActive()) : 0;
}

uint32_t NativeMouse0Pushed(SobNativeArgs&) { return MousePushed(0); }
uint32_t NativeMouse1Pushed(SobNativeArgs&) { return MousePushed(1); }
uint32_t NativeMouse2Pushed(SobNativeArgs&) { return MousePushed(2); }
uint32_t NativeMouse0Down(SobNativeArgs&) { return MouseDown(0); }
uint32_t NativeMouse1Down(SobNativeArgs&) { return MouseDown(1); }
uint32_t NativeMouse2Down(SobNativeArgs&) { return MouseDown(2); }
uint32_t NativeMouseWheelUp(SobNativeArgs& args) { return MouseWheel(args, 3); }
uint32_t NativeMouseWheelDown(SobNativeArgs& args) { return MouseWheel(args, 4); }

uint32_t NativeJoystickButtons(SobNativeArgs&)
{
    return g_pJoystick != nullptr ? g_pJoystick->m_buttonCount & 0xFFFF : 0;
}

uint32_t NativeJoystickPushed(SobNativeArgs& args)
{
    const auto code = static_cast<uint8_t>(args.U32(0));
    return args.Faulted() || g_pJoystick == nullptr ? 0 : Byte(g_pJoystick->IsPushed(code));
}

uint32_t NativeJoystickDown(SobNativeArgs& args)
{
    const auto code = static_cast<uint8_t>(args.U32(0));
    return args.Faulted() || g_pJoystick == nullptr ? 0 : Byte(g_pJoystick->IsDown(code));
}

uint32_t NativeInfoBox(SobNativeArgs& args)
{
    Box(args, 0);
    return 0;
}

uint32_t NativeYesNoBox(SobNativeArgs& args) { return Box(args, 1) & 0xFF; }
uint32_t NativeOkCancelBox(SobNativeArgs& args) { return Box(args, 2) & 0xFF; }

uint32_t NativeMessageDialog(SobNativeArgs& args)
{
    const int32_t mode = args.I32(0);
    const auto fit = static_cast<uint8_t>(args.U32(1));
    const char* text = NativeOptionalString(args, 2);
    if (args.Faulted() || g_pGameApp == nullptr)
        return 0;
    return g_pGameApp->RequestMessageDialog(text, mode > 0 ? 2 : 0, nullptr, nullptr, fit);
}

// Addresses of the web and mail, and documents in the roots; anything else opens nothing.
uint32_t NativeOpenDocument(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    if (args.Faulted() || name == nullptr)
        return 0;
    HWND owner = g_pAppFrame != nullptr ? g_pAppFrame->GetMainWindow() : nullptr;
    if (IsAddress(name)) {
        ShellExecuteA(owner, "open", name, nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }
    std::string path;
    if (host != nullptr && host->ResolveScriptPath(name, &path))
        ShellExecuteA(owner, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

// The folder and its backslash must fit the buffer's block, else nothing is written and the
// call faults.
uint32_t NativeSpecialFolder(SobNativeArgs& args)
{
    static const int kFolders[] = {CSIDL_PERSONAL, CSIDL_MYPICTURES, CSIDL_APPDATA, CSIDL_DESKTOP};
    const uint32_t buffer = args.U32(0);
    const int32_t which = args.I32(1);
    if (args.Faulted() || which < 0 || which > 4)
        return 0;
    char folder[MAX_PATH + 2] = {};
    if (which == 0) {
        const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return 0;
        if (folder[length - 1] != '\\')
            std::strcat(folder, "\\");
    } else {
        if (!GetSpecialFolderPath(folder, kFolders[which - 1]))
            return 0;
        std::strcat(folder, "\\");
    }
    const size_t size = std::strlen(folder) + 1;
    uint8_t* out = NativeBlockSpan(args, buffer, static_cast<uint32_t>(size));
    if (out == nullptr)
        return 0;
    std::memcpy(out, folder, size);
    return 1;
}

// Folders outside the roots are a bad path (1). The folder opens as OpenFolderInExplorer would
// (xdg-open, 0 started, 2 not), through the shell so that the headless host only records it.
uint32_t NativeOpenFolder(SobNativeArgs& args)
{
    std::string path;
    if (!RootedPath(args, 0, &path))
        return 1;
    HWND owner = g_pAppFrame != nullptr ? g_pAppFrame->GetMainWindow() : nullptr;
    const auto started = reinterpret_cast<intptr_t>(ShellExecuteA(owner, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return started > 32 ? 0 : 2;
}

// Both files must lie in the roots: a source elsewhere is not read (1), a destination elsewhere
// not created (2). An empty source makes an empty copy.
uint32_t NativeCopyWholeFile(SobNativeArgs& args)
{
    std::string source, destination;
    const bool sourceOk = RootedPath(args, 0, &source);
    if (args.Faulted())
        return 0;
    const bool destinationOk = RootedPath(args, 1, &destination);
    if (args.Faulted())
        return 0;
    if (!sourceOk)
        return 1;
    if (!destinationOk)
        return 2;
    CFileStream in;
    const void* data = nullptr;
    DWORD size = 0;
    if (in.OpenInMemory(source.c_str()) == 0) {
        data = in.GetBuffer();
        size = in.GetSize();
    } else if (GetFileSizeAny(source.c_str()) != 0) {
        return 1;
    }
    CFileStream out;
    if (out.Create(destination.c_str(), true) != 0)
        return 2;
    if (size != 0 && out.Write(data, size) != size)
        return 2;
    out.Close();
    return 0;
}

// No registry, system.ini or screen saver here: nothing is changed.
uint32_t NativeSetWallpaper(SobNativeArgs&) { return 0; }
uint32_t NativeSetScreenSaver(SobNativeArgs&) { return 0; }
uint32_t NativeStartScreenSaver(SobNativeArgs&) { return 0; }
