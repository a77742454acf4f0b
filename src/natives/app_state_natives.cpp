#include "natives/app_state_natives.h"

#include <cstring>
#include <string>

#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "display/app_frame.h"
#include "display/display_device.h"
#include "drawing/font.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "platform/font_settings.h"
#include "platform/input_manager.h"
#include "raster/pixel_lib.h"
#include "platform/frame_timer.h"
#include "script/tgs_frame.h"
#include "winapi/text.h"
#include "winapi/user_resource.h"
#include "winapi/user_window.h"

namespace {

// The frame's display flags (the key options byte): 4 window mode may be switched, 8 the
// one-shot notice.
constexpr uint8_t kDisplayNoticeFlag = 8;

using VariableOperation = int (CSobRuntime::*)(int, int);

uint32_t OnVariables(SobNativeArgs& args, VariableOperation operation)
{
    CScriptHostBase* host = NativeHost(args);
    const int classSelector = static_cast<uint8_t>(args.U32(0)), storage = static_cast<uint8_t>(args.U32(1));
    if (!args.Faulted() && host != nullptr)
        (host->*operation)(classSelector, storage);
    return 0;
}

// Mirror sources of the voice table's display names ("？？？" included).
const char kHiddenName = 0;

// The settings block's fields by group and index (natives 8 and 9): offset and width in bytes;
// width 32 is the font face name (a string of at most 31 bytes and its NUL).
struct SettingsField {
    uint8_t group, index;
    uint8_t offset, width;
};
constexpr uint8_t kFaceWidth = 32;
constexpr SettingsField kSettingsFields[] = {
    {0, 0, 3, 1}, {0, 1, 4, 1}, {0, 2, 5, 1}, {0, 3, 6, 1}, {0, 4, 7, 1}, {0, 5, 8, 1}, {0, 6, 9, 1},
    {0, 8, 10, 1}, {0, 9, 11, 1}, {0, 10, 12, 1}, {0, 11, 13, 1}, {0, 12, 14, 1}, {0, 13, 15, 1},
    {0, 14, 16, 1}, {0, 15, 20, 4},
    {1, 0, 24, 1}, {1, 1, 25, 1}, {1, 2, 26, 1}, {1, 3, 27, 1}, {1, 4, 28, 1}, {1, 5, 29, 1}, {1, 6, 30, 1},
    {1, 7, 32, 4}, {1, 8, 31, 1},
    {2, 0, 36, kFaceWidth}, {2, 1, 68, 1}, {2, 2, 69, 1}, {2, 3, 70, 1}, {2, 4, 71, 1}, {2, 5, 72, 1},
    {2, 6, 73, 1}, {2, 7, 74, 1}, {2, 8, 76, 4},
    {3, 0, 80, 1}, {3, 1, 82, 1}, {3, 2, 83, 1}, {3, 3, 84, 1}, {3, 4, 85, 1}, {3, 5, 92, 4}, {3, 6, 96, 4},
    {3, 7, 100, 4}, {3, 8, 104, 4}, {3, 9, 108, 1}, {3, 10, 109, 1}, {3, 11, 110, 1}, {3, 12, 111, 1},
    {3, 13, 112, 1}, {3, 14, 113, 1}, {3, 15, 86, 1}, {3, 16, 81, 1}, {3, 17, 88, 4},
    {4, 0, 130, 1}, {4, 1, 131, 1}, {4, 2, 114, 1}, {4, 3, 115, 1}, {4, 4, 116, 1}, {4, 5, 117, 1},
    {4, 6, 118, 1}, {4, 7, 119, 1}, {4, 8, 120, 1}, {4, 9, 121, 1}, {4, 10, 122, 1}, {4, 11, 123, 1},
    {4, 12, 124, 1}, {4, 13, 125, 1}, {4, 14, 126, 1}, {4, 15, 127, 1}, {4, 16, 128, 1}, {4, 17, 129, 1},
    {5, 0, 132, 1}, {5, 1, 149, 1}, {5, 2, 150, 1}, {5, 3, 151, 1}, {5, 4, 152, 1}, {5, 5, 153, 1},
    {5, 6, 133, 1}, {5, 7, 134, 1}, {5, 8, 135, 1}, {5, 9, 136, 1}, {5, 10, 137, 1}, {5, 11, 138, 1},
    {5, 12, 139, 1}, {5, 13, 140, 1}, {5, 14, 141, 1}, {5, 15, 142, 1}, {5, 16, 143, 1}, {5, 17, 144, 1},
    {5, 18, 145, 1}, {5, 19, 146, 1}, {5, 20, 147, 1}, {5, 21, 148, 1},
    {6, 0, 172, 1}, {6, 1, 173, 1}, {6, 2, 158, 1}, {6, 3, 159, 1}, {6, 4, 165, 1}, {6, 5, 168, 4},
    {6, 6, 166, 1},
    {7, 0, 186, 1},
    {8, 0, 187, 1}, {8, 1, 188, 1}, {8, 2, 189, 1}, {8, 3, 190, 1}, {8, 4, 191, 1},
};
constexpr int32_t kLastSettingsGroup = 8;

const SettingsField* FindSettingsField(int32_t group, uint8_t index)
{
    for (const SettingsField& field : kSettingsFields) {
        if (field.group == group && field.index == index)
            return &field;
    }
    return nullptr;
}

} // namespace

uint32_t NativeSetSetting(SobNativeArgs& args)
{
    const int32_t group = args.I32(0);
    const uint8_t index = static_cast<uint8_t>(args.U32(1));
    const uint32_t value = args.U32(2);
    if (args.Faulted() || group < 0 || group > kLastSettingsGroup)
        return 0;
    if (group == 0 && index == 7)
        return 1; // a field the scripts may not change
    const SettingsField* field = FindSettingsField(group, index);
    if (field == nullptr)
        return group <= 5 ? static_cast<uint32_t>(-1) : 0;
    if (g_pAppConfig == nullptr)
        return 0;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(g_pAppConfig) + field->offset;
    if (field->width == kFaceWidth) {
        const std::string_view face = args.Str(2);
        if (args.Faulted())
            return 0;
        // Cut where a character ends: a lead byte alone would take the NUL as its trail byte.
        const size_t length = winapi::SjisPrefixLength(face, kFaceWidth - 1);
        std::memcpy(bytes, face.data(), length);
        bytes[length] = 0;
    } else {
        std::memcpy(bytes, &value, field->width);
    }
    return 0;
}

uint32_t NativeGetSetting(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t group = args.I32(0);
    const uint8_t index = static_cast<uint8_t>(args.U32(1));
    if (args.Faulted() || g_pAppConfig == nullptr)
        return 0;
    const SettingsField* field = FindSettingsField(group, index);
    if (field == nullptr)
        return 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(g_pAppConfig) + field->offset;
    if (field->width == kFaceWidth) {
        const char* face = g_pAppConfig->faceName;
        const std::string text(face, strnlen(face, sizeof g_pAppConfig->faceName));
        return host == nullptr ? 0 : host->MirrorString(face, text.c_str());
    }
    uint32_t value = 0;
    std::memcpy(&value, bytes, field->width);
    return value;
}

uint32_t NativeAppString(SobNativeArgs& args)
{
    const int32_t which = args.I32(0);
    const uint32_t buffer = args.U32(1), size = args.U32(2);
    if (args.Faulted())
        return 0;
    if (which < 0 || which > 3)
        return static_cast<uint32_t>(-1);
    std::string text;
    bool present = true;
    switch (which) {
    case 0:
        text = kGameIdentifier;
        break;
    case 1:
        present = g_pGameApp != nullptr && !g_pGameApp->GetInstallSourcePath().empty();
        if (present)
            text = g_pGameApp->GetInstallSourcePath();
        break;
    case 2:
        present = g_pGameApp != nullptr && !g_pGameApp->GetSaveFolder().empty();
        if (present)
            text = g_pGameApp->GetSaveFolder();
        break;
    default:
        present = false;
        break;
    }
    if (size == 0)
        return present ? static_cast<uint32_t>(text.size() + 1) : 0;
    // A longer text is cut to size - 1 bytes, never inside a two-byte character; the write
    // stays inside the buffer's block.
    const size_t length = present ? winapi::SjisPrefixLength(text, size - 1) : 0;
    uint8_t* out = NativeBlockSpan(args, buffer, static_cast<uint32_t>(length + 1));
    if (out == nullptr)
        return 0;
    std::memcpy(out, text.data(), length);
    out[length] = 0;
    return 0;
}

uint32_t NativeSetVoiceEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t i = args.I32(0), field = args.I32(1), value = args.I32(2);
    if (args.Faulted())
        return 0;
    if (host == nullptr || i < 0 || static_cast<size_t>(i) >= host->Voices().characters.size())
        return static_cast<uint32_t>(-1);
    VoiceCharacter& entry = host->Voices().characters[static_cast<size_t>(i)];
    switch (field) {
    case 0:
        entry.volume2 = value;
        return 0;
    case 1:
        entry.enabled = static_cast<uint8_t>(value);
        return 0;
    case 2:
        entry.flag = static_cast<uint8_t>(value);
        return 0;
    default:
        return static_cast<uint32_t>(-1);
    }
}

uint32_t NativeGetVoiceEntry(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t i = args.I32(0), selector = args.I32(1);
    if (args.Faulted() || host == nullptr)
        return 0;
    VoiceTable& voices = host->Voices();
    if (i < 0 || static_cast<size_t>(i) >= voices.characters.size())
        return static_cast<uint32_t>(voices.characters.size());
    const size_t n = static_cast<size_t>(i);
    const VoiceCharacter& entry = voices.characters[n];
    const std::string* name = host->VoiceName(n);
    const std::string* alias = host->VoiceAlias(n);
    switch (selector) {
    case 0:
        return static_cast<uint32_t>(entry.volume2);
    case 1:
        return entry.enabled;
    case 2:
        return entry.flag;
    case 3:
        return name == nullptr ? 0 : host->MirrorString(name, name->c_str());
    case 4:
        return alias == nullptr ? 0 : host->MirrorString(alias, alias->c_str());
    case 5:
        if (entry.flag == 0)
            return name == nullptr ? 0 : host->MirrorString(name, name->c_str());
        if (alias != nullptr && !alias->empty())
            return host->MirrorString(alias, alias->c_str());
        return host->MirrorString(&kHiddenName, winapi::Sjis("？？？"));
    case 6:
        for (const VoicePrefix& prefix : voices.prefixes) {
            if (prefix.character == i)
                return host->MirrorString(&prefix, prefix.prefix.c_str());
        }
        return 0;
    default:
        return 0;
    }
}

uint32_t NativeSetScriptFlag(SobNativeArgs& args)
{
    const bool on = (args.U32(0) & 1) != 0;
    if (!args.Faulted() && g_pGameApp != nullptr)
        g_pGameApp->SetScriptFlag(on);
    return 0;
}

uint32_t NativePushSyncOverride(SobNativeArgs&)
{
    return g_pGameApp == nullptr ? 0 : static_cast<uint32_t>(g_pGameApp->PushSyncOverride());
}

uint32_t NativePopSyncOverride(SobNativeArgs&)
{
    if (g_pGameApp != nullptr)
        g_pGameApp->PopSyncOverride();
    return 0;
}

uint32_t NativePushTimerOverride(SobNativeArgs&)
{
    if (g_pGameApp != nullptr)
        g_pGameApp->PushTimerFlagOverride();
    return 0;
}

uint32_t NativePopTimerOverride(SobNativeArgs&)
{
    if (g_pGameApp != nullptr)
        g_pGameApp->PopTimerFlagOverride();
    return 0;
}

uint32_t NativeLowerPriority(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_pGameApp == nullptr ? -1 : g_pGameApp->LowerThreadPriority());
}

uint32_t NativeRestorePriority(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_pGameApp == nullptr ? -1 : g_pGameApp->RestoreThreadPriority());
}

uint32_t NativeApplyFrameTiming(SobNativeArgs& args)
{
    const int32_t mode = args.I32(0);
    if (!args.Faulted() && g_pGameApp != nullptr)
        g_pGameApp->ApplyFrameTiming(mode);
    return 0;
}

uint32_t NativeFrameTimerValue(SobNativeArgs&)
{
    CFrameTimer* timer = g_pGameApp != nullptr ? g_pGameApp->GetFrameTimer() : nullptr;
    return timer == nullptr ? 0 : static_cast<uint32_t>(timer->GetMeasuredFps());
}

uint32_t NativeSetLateFrames(SobNativeArgs& args)
{
    const bool on = (args.U32(0) & 1) != 0;
    CFrameTimer* timer = g_pGameApp != nullptr ? g_pGameApp->GetFrameTimer() : nullptr;
    if (!args.Faulted() && timer != nullptr)
        timer->SetCountLateFrames(on);
    return 0;
}

uint32_t NativeSystemMenu(SobNativeArgs& args)
{
    const uint8_t request = static_cast<uint8_t>(args.U32(0));
    const bool synchronous = (args.U32(1) & 0xFF) != 0;
    if (args.Faulted())
        return 0;
    return static_cast<uint32_t>(PostSystemMenuCommand(request, synchronous, 0));
}

uint32_t NativeDialogBusy(SobNativeArgs&)
{
    return g_pGameApp != nullptr && g_pGameApp->IsDialogBusy() ? 1 : 0;
}

uint32_t NativeResetVariables(SobNativeArgs& args)
{
    return OnVariables(args, &CSobRuntime::ResetVariables);
}

uint32_t NativeClearVariables(SobNativeArgs& args)
{
    return OnVariables(args, &CSobRuntime::ClearVariables);
}

uint32_t NativeSnapshotVariables(SobNativeArgs& args)
{
    return OnVariables(args, &CSobRuntime::SnapshotVariables);
}

uint32_t NativeRestoreSnapshot(SobNativeArgs& args)
{
    return OnVariables(args, &CSobRuntime::RestoreSnapshot);
}

uint32_t NativeSnapshotVariable(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t address = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    return static_cast<uint32_t>(host->SnapshotVariable(address));
}

uint32_t NativeSetPersistentFile(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    if (!args.Faulted() && host != nullptr)
        host->SetPersistentFile(name);
    return 0;
}

uint32_t NativeSavePersistent(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    if (host == nullptr)
        return 0;
    if (g_pTgsFrame != nullptr)
        g_pTgsFrame->SaveReadLog(nullptr);
    return static_cast<uint32_t>(host->SaveAllPersistentData());
}

uint32_t NativeLoadPersistent(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    return host == nullptr ? 0 : static_cast<uint32_t>(host->LoadPersistentVariables(nullptr));
}

uint32_t NativeTakeNoticeFlag(SobNativeArgs&)
{
    if (g_pAppFrame == nullptr)
        return 0;
    uint8_t& flags = g_pAppFrame->m_options.keyOptions;
    const bool set = (flags & kDisplayNoticeFlag) != 0;
    flags = static_cast<uint8_t>(flags & ~kDisplayNoticeFlag);
    return set ? 1 : 0;
}

namespace {

constexpr uint8_t kDisplayWindowModeFlag = 4;
constexpr UINT kScreenModeCommand = 40001;
constexpr UINT kMenuEnabled = 0; // MF_ENABLED
// The user block's bytes that natives 4 and 5 name.
constexpr uint32_t kUserLateFrames = 5, kUserOption7 = 7, kUserOption9 = 9, kUserDrawLimit = 11, kUserOption14 = 14;

uint8_t* UserBlock()
{
    return g_pGameApp != nullptr ? g_pGameApp->GetUserBlock() : nullptr;
}

// Adds or removes WS_MAXIMIZEBOX and tells the window its frame changed.
void SetMaximizeBox(HWND window, bool on)
{
    if (window == nullptr || !IsWindow(window))
        return;
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    SetWindowLongA(window, GWL_STYLE, on ? (style | static_cast<LONG>(WS_MAXIMIZEBOX))
                                         : (style & ~static_cast<LONG>(WS_MAXIMIZEBOX)));
    SendMessageA(window, WM_NCACTIVATE, 1, 0);
}

} // namespace

uint32_t NativeScreenModeMenu(SobNativeArgs& args)
{
    const int32_t selector = args.I32(0), value = args.I32(1);
    if (args.Faulted() || g_pAppFrame == nullptr)
        return 0;
    AppFrameOptions& o = g_pAppFrame->m_options;
    if (selector == 0 && o.screenModes != 0) {
        const bool on = value != 0;
        EnableMenuItem(g_pAppFrame->GetMenuHandle(), kScreenModeCommand, on ? kMenuEnabled : (MF_GRAYED | MF_DISABLED));
        if (o.screenModes == 2) {
            SetMaximizeBox(g_pAppFrame->GetMainWindow(), on);
            SetMaximizeBox(g_pAppFrame->GetMenuWindowObject().GetHwnd(), on);
        }
        o.keyOptions = static_cast<uint8_t>(on ? (o.keyOptions | kDisplayWindowModeFlag)
                                               : (o.keyOptions & ~kDisplayWindowModeFlag));
    } else if (selector == 1) {
        o.keyOptions = static_cast<uint8_t>((o.keyOptions & ~3u) | (static_cast<uint32_t>(value) & 3u));
        if (value == 0)
            g_pAppFrame->RemoveKeyboardHook();
        else
            g_pAppFrame->InstallKeyboardHook();
    }
    return 0;
}

uint32_t NativeSetEngineOption(SobNativeArgs& args)
{
    const int32_t selector = args.I32(0);
    const uint32_t value = args.U32(1);
    if (args.Faulted())
        return 0;
    uint8_t* user = UserBlock();
    switch (selector) {
    case 0:
        if (g_pAppFrame != nullptr)
            g_pAppFrame->m_options.cursorPlacement = static_cast<uint8_t>(value);
        break;
    case 1:
        if (user != nullptr)
            user[kUserLateFrames] = value != 0 ? 1 : 0;
        if (g_pGameApp != nullptr && g_pGameApp->GetFrameTimer() != nullptr)
            g_pGameApp->GetFrameTimer()->SetCountLateFrames(value != 0);
        break;
    case 2:
        if (g_pGameApp != nullptr)
            g_pGameApp->SetStopWhenInactive(static_cast<uint8_t>(value));
        break;
    case 3:
        if (g_pAppFrame != nullptr)
            g_pAppFrame->m_options.menuHoverDelay = static_cast<uint16_t>(value);
        break;
    case 4:
    case 5:
        if (user != nullptr)
            user[selector == 4 ? kUserOption7 : kUserOption9] = static_cast<uint8_t>(value);
        break;
    case 6:
        if (user != nullptr) {
            user[kUserDrawLimit] = static_cast<uint8_t>(value);
            user[kUserDrawLimit + 1] = static_cast<uint8_t>(value >> 8);
        }
        g_GlyphCacheLimit = static_cast<uint16_t>(value);
        break;
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
        if (g_pGameApp != nullptr)
            g_pGameApp->EnableMenuItemGroup(selector - 7, static_cast<uint8_t>(value) != 0);
        break;
    default:
        break;
    }
    return 0;
}

uint32_t NativeGetEngineOption(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const int32_t selector = args.I32(0);
    if (args.Faulted())
        return 0;
    const uint8_t* user = UserBlock();
    switch (selector) {
    case 0:
        return g_pAppFrame != nullptr ? g_pAppFrame->m_options.cursorPlacement : 0;
    case 1:
        return user != nullptr ? user[kUserLateFrames] : 0;
    case 2:
        return g_pGameApp != nullptr ? g_pGameApp->GetStopWhenInactive() : 0;
    case 3:
        return g_pAppFrame != nullptr ? g_pAppFrame->m_options.menuHoverDelay : 0;
    case 4:
        return user != nullptr ? user[kUserOption7] : 0;
    case 5:
        return user != nullptr ? user[kUserOption9] : 0;
    case 6:
        return user != nullptr ? static_cast<uint32_t>(user[kUserDrawLimit] | user[kUserDrawLimit + 1] << 8) : 0;
    case 7:
    case 8:
    case 9:
    case 10:
        return g_pGameApp != nullptr ? g_pGameApp->GetMenuGroupFlag(selector - 7) : 0;
    case 11:
        return g_pGameApp != nullptr && g_pAppFrame != nullptr && g_pAppFrame->m_options.screenModes != 0
                   ? g_pGameApp->GetMenuGroupFlag(4)
                   : 0;
    case 12: {
        if (g_pGameApp == nullptr || host == nullptr)
            return 0;
        const std::string& folder = g_pGameApp->GetSaveFolder();
        return host->MirrorString(&folder, folder.c_str());
    }
    case 13:
        return user != nullptr ? user[kUserOption14] : 0;
    default:
        return 0;
    }
}

namespace {

// Native 6's selectors: the frame's state bytes and words, and the few device facts.
using FrameValue = uint32_t (*)(CAppFrame& frame);
constexpr FrameValue kFrameValues[] = {
    [](CAppFrame& f) -> uint32_t { return f.m_options.screenWidth; },              // 0
    [](CAppFrame& f) -> uint32_t { return f.m_options.screenHeight; },             // 1
    [](CAppFrame& f) -> uint32_t { return f.m_options.screenModes; },              // 2 screen-mode capability
    [](CAppFrame& f) -> uint32_t { return f.m_options.requestedMode; },            // 3
    [](CAppFrame& f) -> uint32_t { return f.m_options.requestedDepth; },           // 4
    [](CAppFrame& f) -> uint32_t { return f.m_options.keyOptions; },               // 5 display flags
    [](CAppFrame& f) -> uint32_t { return f.GetInput().GetJoystick(0) != nullptr ? 1 : 0; }, // 6
    [](CAppFrame&) -> uint32_t { return g_bUseMmx; },                              // 7
    [](CAppFrame&) -> uint32_t { return g_CpuInfo.mmxExtensions; },                // 8 the flag after MMX
    [](CAppFrame& f) -> uint32_t { return static_cast<uint32_t>(f.m_options.requestedMode - 1); }, // 9
    [](CAppFrame& f) -> uint32_t { return f.m_options.gameThread; },               // 10
    [](CAppFrame& f) -> uint32_t { return f.m_options.inputMode; },                // 11
    [](CAppFrame& f) -> uint32_t { return f.m_options.joysticks; },                // 12
    [](CAppFrame& f) -> uint32_t { return f.IsActive() ? 1 : 0; },                 // 13
    [](CAppFrame& f) -> uint32_t { return f.GetDisplayError(); },                  // 14
    [](CAppFrame& f) -> uint32_t { return f.GetPendingRestore(); },                // 15
    [](CAppFrame&) -> uint32_t {                                                   // 16
        return g_pSurfaceDisplayDevice != nullptr ? g_pSurfaceDisplayDevice->GetVideoMemory(false) : 0;
    },
    [](CAppFrame& f) -> uint32_t { return f.m_options.topMostInFullScreen; },      // 17
    [](CAppFrame& f) -> uint32_t { return f.m_options.minimiseOnDeactivation; },   // 18
    [](CAppFrame& f) -> uint32_t { return f.m_options.keepDrawingWhenInactive; },  // 19
    [](CAppFrame& f) -> uint32_t { return f.m_options.fullScreenMenuStyle; },      // 20
    [](CAppFrame&) -> uint32_t { return g_pPixelLib != nullptr ? 1 : 0; },         // 21
    [](CAppFrame&) -> uint32_t { return g_pGameApp != nullptr ? g_pGameApp->GetDisplayFlag() : 0; }, // 22
};

} // namespace

uint32_t NativeFrameState(SobNativeArgs& args)
{
    const uint32_t selector = args.U32(0);
    if (args.Faulted() || g_pAppFrame == nullptr || selector >= std::size(kFrameValues))
        return 0;
    return kFrameValues[selector](*g_pAppFrame);
}

uint32_t NativeApplyTextSettings(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const bool onlyIfChanged = static_cast<uint8_t>(args.U32(0)) != 0;
    const uint8_t clearChanged = static_cast<uint8_t>(args.U32(1));
    const uint32_t frameWord = args.U32(2), textWord = args.U32(3), fontWord = args.U32(4);
    const bool applyFont = static_cast<uint8_t>(args.U32(5)) != 0, applyHistory = static_cast<uint8_t>(args.U32(6)) != 0;
    if (args.Faulted() || host == nullptr || g_pGameApp == nullptr)
        return 0;
    // Handles first: a word that names no object of the right kind gives no target.
    CTextPanel* frame = nullptr;
    if (CControl* control = host->Object<CControl>(frameWord);
        control != nullptr && (control->GetType() == kControlTextPanel || control->GetType() == kControlTextObject))
        frame = dynamic_cast<CTextPanel*>(control);
    CTextLayer* text = nullptr;
    if (CControl* control = host->Object<CControl>(textWord); control != nullptr && control->GetType() == kControlTextLayer)
        text = dynamic_cast<CTextLayer*>(control);
    CFont* font = host->Object<CFont>(fontWord);
    return static_cast<uint32_t>(
        g_pGameApp->ApplyTextDisplaySettings(onlyIfChanged, clearChanged, frame, text, font, applyFont, applyHistory));
}

uint32_t NativeSetScreenMode(SobNativeArgs& args)
{
    const int32_t m = args.I32(0);
    if (args.Faulted() || g_pAppFrame == nullptr || g_pGameApp == nullptr)
        return 0;
    AppFrameOptions& o = g_pAppFrame->m_options;
    if (o.screenModes == 0 || (o.keyOptions & kDisplayWindowModeFlag) == 0 || (m == 3 && o.screenModes == 1))
        return 1;
    const uint8_t savedMode = o.requestedMode, savedDepth = o.requestedDepth;
    uint8_t mode = 1, depth = 0;
    if (m == 3)
        mode = 2;
    else if (m >= 0 && m <= 2)
        depth = static_cast<uint8_t>((m + 2) * 8);
    else if (m > 3)
        return 1; // no such mode
    if (mode == 1 && g_pGameApp->SelectTargetMonitor(g_pAppFrame->GetMainWindow(), depth) != 0) {
        g_pAppFrame->SendRequest(0, winapi::Sjis("画面モード変更設定に失敗"), 4);
        o.requestedMode = savedMode;
        o.requestedDepth = savedDepth;
        return 2;
    }
    if (g_pAppFrame->RequestScreenMode(mode, depth, 0) != 0) {
        o.requestedMode = savedMode;
        o.requestedDepth = savedDepth;
        g_pAppFrame->SetDisplayError(2);
        return 3;
    }
    g_pGameApp->ApplyFrameTiming(-1);
    return 0;
}
