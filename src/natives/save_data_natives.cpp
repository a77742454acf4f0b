// Natives 39-53 (see save_data_natives.h).
#include "natives/save_data_natives.h"

#include <cstring>
#include <string>

#include "natives/native_args.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

CScriptHost* Host(SobNativeArgs& args)
{
    return dynamic_cast<CScriptHost*>(NativeHost(args));
}

} // namespace

uint32_t NativeSetSaveSettings(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    const uint16_t boot = static_cast<uint16_t>(args.U32(0));
    const char* title = NativeOptionalString(args, 1);
    const uint32_t commentCell = args.U32(2);
    if (args.Faulted() || host == nullptr || boot == 0)
        return 0;
    host->SetSettingsFlag(static_cast<int16_t>(boot));
    // The block keeps its own copy, cut where the file's title field would cut it; without memory
    // the save simply has no title.
    if (title != nullptr)
        host->SetSettingsText(savefile::CutText(title, savefile::kTitleMax).c_str());
    else
        host->SetSettingsText(nullptr);
    host->SetSettingsWord(CScriptHost::kSettingCommentCell, static_cast<int32_t>(commentCell));
    host->ClearTrackedVariables();
    return 1;
}

uint32_t NativeTrackVariable(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    const uint32_t address = args.U32(0);
    if (args.Faulted() || host == nullptr || address == 0)
        return 0;
    host->AddTrackedVariable(address);
    return 1;
}

uint32_t NativeSetThumbnailSource(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    const uint32_t object = args.U32(0);
    const uint32_t name = args.U32(1);
    // The name is kept by address, as the save reads it then; it must be a string now.
    NativeOptionalString(args, 1);
    if (args.Faulted() || host == nullptr)
        return 0;
    host->SetSettingsWord(CScriptHost::kSettingThumbnailObject, static_cast<int32_t>(object));
    host->SetSettingsWord(CScriptHost::kSettingThumbnailName, static_cast<int32_t>(name));
    return 1;
}

uint32_t NativeSetLoadSlot(SobNativeArgs& args)
{
    const int bank = args.I32(0), slot = args.I32(1);
    if (args.Faulted())
        return 0;
    std::string name;
    if (MakeSaveFileName(&name, bank, slot) != 0)
        return 1;
    SetLoadFileName(name.c_str());
    return 0;
}

uint32_t NativeSaveGame(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    const int bank = args.I32(0), slot = args.I32(1);
    if (args.Faulted())
        return 0;
    return host != nullptr ? static_cast<uint32_t>(host->SaveGame(bank, slot)) : kMinus1;
}

uint32_t NativeLoadGame(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    const int bank = args.I32(0), slot = args.I32(1);
    if (args.Faulted())
        return 0;
    return host != nullptr ? static_cast<uint32_t>(host->LoadGameSlot(bank, slot)) : kMinus1;
}

uint32_t NativeSaveTitleText(SobNativeArgs& args)
{
    const uint32_t buffer = args.U32(0);
    const int bank = args.I32(1), slot = args.I32(2);
    const int separator = args.I32(3);
    if (args.Faulted())
        return 0;
    std::string text;
    const int r = GetSaveTitleText(buffer != 0 ? &text : nullptr, bank, slot, separator);
    if (r == 0 && !NativeCopyText(args, buffer, text))
        return 0;
    return static_cast<uint32_t>(r);
}

uint32_t NativeSaveDateText(SobNativeArgs& args)
{
    const uint32_t buffer = args.U32(0);
    const int bank = args.I32(1), slot = args.I32(2);
    // Word 3 chooses the save dialog's short (0) or long form; words 4-8 are not read.
    const bool shortForm = args.U32(3) == 0;
    if (args.Faulted())
        return 0;
    if (buffer == 0)
        return 1;
    SaveSlotInfo info;
    const int r = ReadSaveSlotInfo(bank, slot, nullptr, &info, false);
    if (r == 0 && !NativeCopyText(args, buffer, shortForm ? info.shortDate : info.date))
        return 0;
    return static_cast<uint32_t>(r);
}

uint32_t NativeSaveInfoRecord(SobNativeArgs& args)
{
    const int bank = args.I32(0), slot = args.I32(1);
    const uint32_t record = args.U32(2);
    if (args.Faulted())
        return 0;
    if (record == 0)
        return 1;
    uint8_t* out = NativeBlockSpan(args, record, savefile::kTitleSize);
    if (out == nullptr)
        return 0;
    uint8_t bytes[savefile::kTitleSize];
    const int r = ReadSaveInfoRecord(bank, slot, bytes);
    if (r == 0)
        std::memcpy(out, bytes, sizeof bytes);
    return static_cast<uint32_t>(r);
}

uint32_t NativeCopySave(SobNativeArgs& args)
{
    const int fromBank = args.I32(0), fromSlot = args.I32(1);
    const int toBank = args.I32(2), toSlot = args.I32(3);
    if (args.Faulted())
        return 0;
    return static_cast<uint32_t>(CopySaveData(fromBank, fromSlot, toBank, toSlot));
}

uint32_t NativeDeleteSave(SobNativeArgs& args)
{
    const int bank = args.I32(0), slot = args.I32(1);
    if (args.Faulted())
        return 0;
    return static_cast<uint32_t>(DeleteSaveData(bank, slot));
}

uint32_t NativeTakeStateSnapshot(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    return host != nullptr ? static_cast<uint32_t>(host->TakeStateSnapshot()) : kMinus1;
}

uint32_t NativeRestoreStateSnapshot(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    return host != nullptr ? static_cast<uint32_t>(host->RestoreStateSnapshot()) : kMinus1;
}

uint32_t NativeHasStateSnapshot(SobNativeArgs& args)
{
    CScriptHost* host = Host(args);
    return host != nullptr && host->HasStateSnapshot() ? 1 : 0;
}

uint32_t NativeDiscardStateSnapshot(SobNativeArgs& args)
{
    if (CScriptHost* host = Host(args))
        host->DiscardStateSnapshot();
    return 0;
}
