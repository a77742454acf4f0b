// Applying the stored sound, input and text-display options; see apply_settings.h.
#include "game/apply_settings.h"

#include <cstring>
#include <string>

#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "drawing/font.h"
#include "platform/action_map.h"
#include "script/message_store.h"
#include "platform/input_manager.h"
#include "platform/lock.h"
#include "sound/sound_manager.h"

namespace {

constexpr int32_t kKeyboard = 0;
constexpr int32_t kMouse = 1;
constexpr int32_t kFirstJoystick = 2;

// The input pages' action combo: index -> action (0 none).
constexpr uint32_t kMouseComboActions[] = {0, 12, 11, 6, 15, 7, 8};

uint32_t MouseComboAction(uint8_t index)
{
    // An index the combo never stores (a damaged file) binds nothing.
    return index < std::size(kMouseComboActions) ? kMouseComboActions[index] : 0;
}

// The player's binding sits after the action's fixed ones: changed, removed or added.
void ApplyPlayerBinding(CActionMap& map, uint32_t action, int32_t source, uint32_t fixed, uint8_t code)
{
    if (map.CountBindings(action, source) > fixed) {
        uint8_t old = 0;
        if (map.GetBinding(action, source, fixed, &old, nullptr) != 0)
            return;
        if (code == 0)
            map.Unbind(action, source, old);
        else if (code != old)
            map.Rebind(action, source, code, old);
    } else if (code != 0) {
        map.Bind(action, source, code);
    }
}

} // namespace

uint32_t FixedKeyBindings(uint32_t action)
{
    return action == 4 ? 2 : action == 5 ? 1 : 0;
}

bool ApplySoundSettings(CSoundManager* sound, const AppConfig& config, bool hostPresent, bool hasVoiceTable)
{
    if (!hostPresent || sound == nullptr)
        return false;
    CScopedLock guard(sound->GetLock());
    sound->SetEnableMask(config.masterOn, false);
    sound->SetMasterVolume(config.masterVolume, false);
    sound->SetMusicVolume(-1, config.bgmVolume, false);  // the track's own volume is kept; the setting scales it
    sound->EnableMusic(config.bgmOn, false);
    sound->SetKindEnabled(config.seOn, 1, false, false);
    sound->m_defaultVolume1 = config.seVolume;
    sound->SetKindEnabled(config.systemSeOn, 2, false, false);
    sound->m_defaultVolume2 = config.systemSeVolume;
    // -2: each character's own voice volume.
    sound->m_defaultVolume4 = hasVoiceTable ? -2 : config.voiceVolume;
    sound->SetKindEnabled(config.voiceOn, 4, false, false);
    return true;
}

void ApplyKeyAssignments(CActionMap& map, const AppConfig& config)
{
    for (uint32_t i = 0; i < kAssignedActionCount; ++i) {
        const uint32_t action = kFirstAssignedAction + i;
        ApplyPlayerBinding(map, action, kKeyboard, FixedKeyBindings(action), config.keys[i]);
    }
}

void ApplyJoystickAssignments(CInputManager& input, CActionMap& map, const AppConfig& config,
                              MouseAssignments& mouse)
{
    input.EnableJoysticks(config.useJoystick != 0);
    for (uint32_t i = 0; i < kAssignedActionCount; ++i)
        ApplyPlayerBinding(map, kFirstAssignedAction + i, kFirstJoystick, 0, config.joystickButtons[i]);

    const uint32_t wanted[4] = {MouseComboAction(config.rightButtonAction), MouseComboAction(config.wheelButtonAction),
                                config.option150 > 0 ? 18u : 14u, config.wheelDownAdvances != 0 ? 19u : 0u};
    for (uint8_t code = 1; code <= 4; ++code) {
        uint32_t& bound = mouse.actions[code - 1];
        const uint32_t action = wanted[code - 1];
        if (action == bound)
            continue;
        if (bound != 0)
            map.Unbind(bound, kMouse, code);
        if (action != 0)
            map.Bind(action, kMouse, code);
        bound = action;
    }
}

uint8_t ApplyTextDisplaySettings(const AppConfig& config, uint8_t* settingsChanged, bool onlyIfChanged,
                                 const TextDisplayTargets& targets)
{
    const uint8_t changed = settingsChanged != nullptr ? *settingsChanged : 0;
    if (onlyIfChanged && changed == 0)
        return 0;
    if (targets.frame != nullptr)
        targets.frame->SetBackgroundColor(config.drawTextFrame, config.frameColour, config.frameTransparency, true);
    if (targets.text != nullptr) {
        targets.text->SetBackgroundColor(config.drawTextFrame, config.frameColour, config.frameTransparency);
        targets.text->SetReadMarksEnabled(config.colourTakenChoices != 0);
    }
    CFont* font = targets.font != nullptr ? targets.font : g_pDefaultFont;
    if (targets.applyFont && font != nullptr && !font->IsGlyphFont()) {
        // Our GDI font draws no gradient, so the gradient option has nothing to change here.
        const std::string face(config.faceName, strnlen(config.faceName, sizeof config.faceName));
        font->SetEffect(config.decoration, font->m_effectColor[0], font->m_effectColor[1], font->m_effectColor[2]);
        font->SetAntialias(static_cast<uint8_t>(config.antiAlias * 2));
        const bool bold = config.bold != 0, wasBold = font->m_logFont.lfWeight >= 700;
        if (bold != wasBold || std::strncmp(font->m_logFont.lfFaceName, face.c_str(), sizeof font->m_logFont.lfFaceName) != 0)
            font->SetFont(font->m_logFont.lfHeight, bold ? 1 : 0, font->m_logFont.lfItalic, face.c_str());
    }
    if (targets.applyHistory && targets.history != nullptr) {
        const int32_t capacity = config.historyPages != 0 ? config.historyPages + 1 : 0;
        if (capacity != targets.history->HistoryCapacity())
            targets.history->SetHistoryCapacity(capacity);
    }
    if (onlyIfChanged && settingsChanged != nullptr)
        *settingsChanged = 0;
    return changed;
}
