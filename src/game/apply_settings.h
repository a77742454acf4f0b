// Pushes the settings block's sound and input options into the sound manager and the action map
// (at device set-up, after the script host starts and whenever the settings are applied), and its
// text-display options into message frames, text layers, a font and the message log.
#pragma once

#include <array>
#include <iterator>
#include <cstdint>

#include "platform/app_config.h"

class CActionMap;
class CFont;
class CInputManager;
class CMessageStore;
class CSoundManager;
class CTextLayer;
class CTextPanel;

// Actions 4..19 take the player's keys and joystick buttons; the mouse binds actions on codes 1..4
// (right button, wheel button, wheel up, wheel down).
constexpr uint32_t kFirstAssignedAction = 4;
constexpr uint32_t kAssignedActionCount = 16;

// Keyboard bindings that the key table gives an action before the player's own one.
uint32_t FixedKeyBindings(uint32_t action);

// The actions the mouse codes 1..4 are bound to now (0 none); only a change is rebound.
struct MouseAssignments {
    std::array<uint32_t, 4> actions{};
};

// → false when there is no script host or no sound manager (nothing changes).
bool ApplySoundSettings(CSoundManager* sound, const AppConfig& config, bool hostPresent, bool hasVoiceTable);
// Keyboard (source 0): binds, rebinds or unbinds the player's binding of actions 4..19.
void ApplyKeyAssignments(CActionMap& map, const AppConfig& config);
// Joysticks on or off, the joystick buttons (source 2) and the mouse actions (source 1).
void ApplyJoystickAssignments(CInputManager& input, CActionMap& map, const AppConfig& config,
                              MouseAssignments& mouse);

// What the text-display settings go to (each may be null).
struct TextDisplayTargets {
    CTextPanel* frame = nullptr; // a message frame: a text panel or the script text object
    CTextLayer* text = nullptr;  // a text layer of choices
    CFont* font = nullptr;       // null: g_pDefaultFont
    bool applyFont = false;
    bool applyHistory = false;
    CMessageStore* history = nullptr; // the message log whose capacity follows the settings
};
// The text settings of the block (frame on, colour and transparency; choice colours; the GDI
// font's face, effect, anti-aliasing and bold; the history's pages) pushed into the targets,
// unless onlyIfChanged is set and *settingsChanged is 0; with onlyIfChanged the byte is cleared
// afterwards → the byte as it stood on entry.
uint8_t ApplyTextDisplaySettings(const AppConfig& config, uint8_t* settingsChanged, bool onlyIfChanged,
                                 const TextDisplayTargets& targets);
