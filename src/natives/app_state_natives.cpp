#include "natives/app_state_natives.h"

#include <cstring>
#include <string>

#include "display/app_frame.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "platform/frame_timer.h"
#include "script/tgs_frame.h"
#include "winapi/text.h"

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

} // namespace

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
    size_t length = present ? text.size() : 0;
    if (length > size - 1) {
        length = 0;
        while (length < text.size()) {
            const size_t step = winapi::IsSjisLeadByte(static_cast<uint8_t>(text[length])) ? 2 : 1;
            if (length + step > size - 1)
                break;
            length += step;
        }
    }
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
    (void)args;
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
