// The joysticks the host sees: sixteen ids, each held by one attached device while it is attached
// (a new device takes the lowest free id). The host's pump writes each device's latest state; the
// multimedia joystick calls and DirectInput read it from any thread. The headless host (and tests)
// attach, move and detach devices with the same calls.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/base.h"

namespace winapi {

constexpr int kJoystickIds = 16;
constexpr int kJoystickAxes = 6;  // x, y, z (left trigger), rx, ry, rz (right trigger)

struct JoystickInfo {
    std::string nameUtf8;
    int axes = 2;      // axes in use, 2..6
    int buttons = 4;   // 0..32
    bool hasPov = false;
    GUID instance{};   // set when attached: distinct for each attachment
};

struct JoystickState {
    int32_t axes[kJoystickAxes] = {32767, 32767, 0, 32767, 32767, 0};  // 0..65535, centred sticks
    uint32_t buttons = 0;  // bit n = button n down
    int32_t pov = -1;      // hundredths of a degree clockwise from up; -1 centred
};

// → the id taken (0-15), or -1 when all sixteen are in use.
int AttachJoystick(const JoystickInfo& info);
// Frees the id; its device reads as unplugged from then on.
void DetachJoystick(int id);
// Writes the latest state of an attached device; ignored for a free id.
void SetJoystickState(int id, const JoystickState& state);
// → true with the device's description and latest state; false for a free or bad id.
bool ReadJoystick(int id, JoystickInfo* info, JoystickState* state);
// Detaches every device (tests).
void DetachAllJoysticks();

} // namespace winapi
