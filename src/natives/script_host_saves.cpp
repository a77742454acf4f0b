// CScriptHost's save files and saved state: the serialiser and its two-phase restore, the
// back-to-previous-choice snapshot, and the save and load of one slot's file.
#include <cstring>
#include <new>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "display/screen.h"
#include "files/path_utils.h"
#include "files/safe_file_writer.h"
#include "natives/main_form.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "winapi/text.h"

namespace {

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A save file is at most its header and a state of the largest unpacked length.
constexpr size_t kMaxSaveFile = savefile::kHeaderSize + savefile::kMaxUnpacked;

} // namespace

// ---- the serialised state ----

int CScriptHost::WriteState(std::vector<uint8_t>* out, bool textFlag)
{
    out->clear();
    uint64_t size = static_cast<uint64_t>(GetVariablesSaveSize(0, false)) + 1;
    if (textFlag)
        size += static_cast<uint64_t>(m_text.GetSaveSize()) + 4 + m_snapshot.size();
    if (g_pTgsFrame != nullptr)
        size += g_pTgsFrame->GetStateSize(textFlag);
    if (size > savefile::kMaxUnpacked)
        return -1;
    try {
        out->assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    uint8_t* cursor = out->data();
    size_t left = out->size();
    int r = 0;
    if (SaveVariables(&cursor, &left, 0, false) != 0) {
        r = 1;
    } else {
        *cursor++ = textFlag ? 1 : 0;
        --left;
        if (textFlag) {
            if (m_text.Save(&cursor, &left) != 0 || left < 4 + m_snapshot.size()) {
                r = 2;
            } else {
                Put32(cursor, static_cast<uint32_t>(m_snapshot.size()));
                if (!m_snapshot.empty())
                    std::memcpy(cursor + 4, m_snapshot.data(), m_snapshot.size());
                cursor += 4 + m_snapshot.size();
                left -= 4 + m_snapshot.size();
            }
        }
        if (r == 0 && g_pTgsFrame != nullptr && g_pTgsFrame->SaveState(&cursor, &left, textFlag) != 0)
            r = 3;
    }
    if (r != 0) {
        out->clear();
        return r;
    }
    out->resize(out->size() - left);
    return 0;
}

int CScriptHost::SerializeState(std::vector<uint8_t>* out, bool wantText)
{
    const bool textFlag = wantText && g_pAppConfig != nullptr && g_pAppConfig->historyInSaves != 0;
    return WriteState(out, textFlag);
}

int CScriptHost::CheckStateParts(const uint8_t* data, size_t size)
{
    const uint8_t* cursor = data;
    size_t left = size;
    if (CheckVariables(&cursor, &left) != 0)
        return 2;
    if (left < 1 || cursor[0] > 1)
        return 3;
    const bool textFlag = cursor[0] == 1;
    ++cursor;
    --left;
    if (textFlag) {
        if (m_text.CheckSaved(&cursor, &left) != 0 || left < 4)
            return 3;
        const uint32_t n = cursor[0] | (cursor[1] << 8) | (cursor[2] << 16) | (static_cast<uint32_t>(cursor[3]) << 24);
        if (n > left - 4)
            return 3;
        cursor += 4 + n;
        left -= 4 + static_cast<size_t>(n);
    }
    if (g_pTgsFrame != nullptr && g_pTgsFrame->CheckState(&cursor, &left, textFlag) != 0)
        return 3;
    return 0;
}

int CScriptHost::ApplyStateParts(const uint8_t* data, size_t size)
{
    const uint8_t* cursor = data;
    size_t left = size;
    if (LoadVariables(&cursor, &left) != 0)
        return 2;
    // The text window starts over from the restored state.
    m_text.ResetDrawPosition();
    const bool textFlag = left >= 1 && cursor[0] == 1;
    if (left >= 1) {
        ++cursor;
        --left;
    }
    std::vector<uint8_t> snapshot;
    if (textFlag) {
        if (m_text.Load(&cursor, &left, true) != 0 || left < 4)
            return 3;
        const uint32_t n = cursor[0] | (cursor[1] << 8) | (cursor[2] << 16) | (static_cast<uint32_t>(cursor[3]) << 24);
        if (n > left - 4)
            return 3;
        try {
            snapshot.assign(cursor + 4, cursor + 4 + n);
        } catch (const std::bad_alloc&) {
            return 3;
        }
        cursor += 4 + n;
        left -= 4 + static_cast<size_t>(n);
    }
    if (g_pTgsFrame != nullptr && g_pTgsFrame->LoadState(&cursor, &left, textFlag) != 0)
        return 3;
    m_snapshot = std::move(snapshot);
    return 0;
}

int CScriptHost::RestoreState(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0)
        return 1;
    // Restoring used to apply the parts one after the other: a refused part left the game half
    // restored and the snapshot lost. Every owner checks its part first.
    const int checked = CheckStateParts(data, size);
    if (checked != 0)
        return checked;
    std::vector<uint8_t> before;
    if (WriteState(&before, true) != 0)
        return 3;
    const int r = ApplyStateParts(data, size);
    if (r != 0 && !before.empty())
        ApplyStateParts(before.data(), before.size());
    return r;
}

int CScriptHost::TakeStateSnapshot()
{
    m_snapshot.clear();
    std::vector<uint8_t> state;
    const int r = WriteState(&state, false);
    if (r == 0)
        m_snapshot = std::move(state);
    return r;
}

int CScriptHost::RestoreStateSnapshot()
{
    if (m_snapshot.empty())
        return -1;
    // The restore replaces m_snapshot on success; on failure the taken one goes back.
    std::vector<uint8_t> taken = std::move(m_snapshot);
    m_snapshot.clear();
    const int r = RestoreState(taken.data(), taken.size());
    if (r != 0)
        m_snapshot = std::move(taken);
    return r;
}

// ---- save files ----

std::string CScriptHost::SaveTitle()
{
    // A scenario frame titles its saves with its own name text.
    if (g_pTgsFrame != nullptr)
        return savefile::CutText(g_pTgsFrame->NameText(), savefile::kTitleMax);
    return SettingsText() != nullptr ? savefile::CutText(SettingsText(), savefile::kTitleMax) : std::string();
}

std::string CScriptHost::SaveComment()
{
    if (g_pAppConfig == nullptr || g_pAppConfig->commentIsMessage == 0)
        return {};
    std::string text;
    if (g_pTgsFrame != nullptr) {
        const CMessageWindow* window = g_pTgsFrame->MessageWindow();
        if (window != nullptr)
            text.assign(window->PageText().begin(), window->PageText().end());
        const std::string& speaker = g_pTgsFrame->NameText();
        if (!speaker.empty())
            text = winapi::Sjis("【") + speaker + winapi::Sjis("】") + "\r\n" + text;
    } else {
        // Only when the script's comment cell asks for it.
        uint32_t cell = 0;
        const uint32_t address = static_cast<uint32_t>(SettingsWord(kSettingCommentCell));
        if (address == 0 || !Memory().Load32(address, &cell) || cell == 0)
            return {};
        std::string name(m_text.CopyLine(nullptr, 0, 0), '\0');
        if (!name.empty()) {
            m_text.CopyLine(name.data(), name.size(), 0);
            name.resize(std::strlen(name.c_str()));
        }
        m_text.ExtractPlainText(&text, true);
        if (!name.empty())
            text = winapi::Sjis("【") + name + winapi::Sjis("】") + "\r\n" + text;
    }
    return savefile::CutText(text, savefile::kCommentMax);
}

int CScriptHost::CaptureThumbnail(std::vector<uint8_t>* rows)
{
    CImage* screen = nullptr;
    std::string picture;
    if (g_pTgsFrame != nullptr) {
        CImageObject* object = g_pTgsFrame->Screen(0);
        screen = object != nullptr ? object->GetImage() : nullptr;
    } else {
        // Any surface with a canvas part; a stale handle finds none and the screen is taken.
        CImageObject* object = GetSurfaceCanvas(Object<CSurface>(static_cast<uint32_t>(SettingsWord(kSettingThumbnailObject))));
        if (object != nullptr)
            screen = object->GetImage();
        std::string_view name;
        const uint32_t address = static_cast<uint32_t>(SettingsWord(kSettingThumbnailName));
        if (address != 0 && Memory().Str(address, &name) && !name.empty())
        {
            char file[MAX_PATH] = {};
            const std::string path(name.substr(0, MAX_PATH - 1));
            GetFileName(path.c_str(), file, false);
            picture = std::string("SYS\\_") + file;
        }
    }
    // Without an object of its own the host's screen is what the player sees.
    if (screen == nullptr && g_pDisplay != nullptr && g_pDisplay->GetFrameImage() != nullptr)
        screen = g_pDisplay->GetFrameImage()->GetImage();
    if (screen == nullptr && g_MainForm.GetTarget() != nullptr)
        screen = g_MainForm.GetTarget()->GetTarget();
    CImage thumbnail;
    if (thumbnail.Create(savefile::kThumbWidth, savefile::kThumbHeight, 32, 0) != 0)
        return 2;
    const SIZE size{savefile::kThumbWidth, savefile::kThumbHeight};
    CImage named;
    if (!picture.empty() && named.Load(picture.c_str(), nullptr, 0, 0) == 0 &&
        thumbnail.StretchCopy(&named, &size, 0, 0, nullptr, false) == 0) {
        savefile::ThumbnailFromImage(thumbnail, rows);
        return 0;
    }
    if (screen == nullptr || screen->GetBits() == nullptr)
        return 1;
    if (thumbnail.StretchCopy(screen, &size, 0, 0, nullptr, false) != 0)
        return 4;
    savefile::ThumbnailFromImage(thumbnail, rows);
    return 0;
}

int CScriptHost::SaveGame(int bank, int slot)
{
    // "%02d" gave a bank or slot past 99 another slot's name, and banks without a ring had no
    // slot to take for a negative one: both are refused before anything is written.
    if (bank < 0 || bank >= kSaveBanks || slot >= kSaveSlots || (slot < 0 && NextRingSlot(bank) < 0))
        return -1;
    savefile::Contents contents;
    const int captured = CaptureThumbnail(&contents.thumbnail);
    if (captured != 0)
        return captured;
    contents.title = SaveTitle();
    contents.comment = SaveComment();
    if (slot < 0) {
        slot = NextRingSlot(bank);
        AdvanceRing(bank);
    }
    std::vector<uint8_t> state;
    const int serialised = SerializeState(&state, true);
    if (serialised > 0)
        return 6;
    if (serialised < 0)
        return -1;
    std::vector<uint8_t> bytes;
    if (!savefile::Build(contents, state.data(), state.size(), true, &bytes))
        return -1;
    std::string name;
    if (MakeSaveFileName(&name, bank, slot) < 0)
        return -1;
    // The old file stays whole until the new one is complete on disk.
    if (WriteFileReplacing(name.c_str(), bytes.data(), bytes.size()) != 0)
        return 5;
    if (g_pAppConfig != nullptr) {
        g_pAppConfig->savedOnce = 1;
        if (bank == 0)
            g_pAppConfig->lastSlotBank0 = static_cast<uint8_t>(slot);
        else if (bank == 1)
            g_pAppConfig->lastSlotBank1 = static_cast<uint8_t>(slot);
    }
    return 0;
}

int CScriptHost::LoadGameFile(const char* name, size_t startOffset)
{
    if (name == nullptr || name[0] == '\0')
        return 1;
    std::vector<uint8_t> bytes;
    if (ReadFileHead(name, kMaxSaveFile + 1, &bytes, nullptr) != 0)
        return 1;
    savefile::View view;
    const int parsed = startOffset != 0 ? savefile::ParseFrom(bytes.data(), bytes.size(), startOffset, &view)
                                        : savefile::Parse(bytes.data(), bytes.size(), &view);
    if (parsed != 0)
        return parsed;
    std::vector<uint8_t> state;
    const int unpacked = savefile::Unpack(view, &state);
    if (unpacked != 0)
        return unpacked;
    return RestoreState(state.data(), state.size()) == 0 ? 0 : 4;
}

int CScriptHost::LoadGameSlot(int bank, int slot)
{
    if (bank < 0)
        return LoadGameFile(g_LoadFileName.c_str());
    std::string name;
    if (MakeSaveFileName(&name, bank, slot) != 0)
        return -1;
    return LoadGameFile(name.c_str());
}
