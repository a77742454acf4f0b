// Pushes the settings block's sound and input options into the sound manager and the action map:
// at device set-up, after the script host starts and whenever the settings are applied.
#pragma once

#include <array>
#include <iterator>
#include <cstdint>

#include "platform/app_config.h"

class CActionMap;
class CInputManager;
class CSoundManager;

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
