// The SDL host's joysticks and dropped files: it starts SDL's joystick and game-controller
// subsystems, follows hot-plugging into the joystick table (winapi/joystick.h), writes each
// device's latest state on every pump (SDL reads the devices when Refresh asks, not in its own
// pump), and turns each SDL_DROPBEGIN..SDL_DROPCOMPLETE group into one drop (winapi/shell.h).
// Used only by the SDL host, on its window thread.
#pragma once

#include <SDL.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "winapi/base.h"

namespace winapi {

class SdlDevices {
public:
    SdlDevices();
    ~SdlDevices();
    SdlDevices(const SdlDevices&) = delete;
    SdlDevices& operator=(const SdlDevices&) = delete;

    // Takes the events it knows (device added or removed, drops) → true when it took it.
    bool Handle(const SDL_Event& event, const std::function<HWND(Uint32 windowId)>& owner);
    // Lets SDL read the devices (SDL's own pump leaves them alone): at every call while one is
    // open, otherwise it looks for new ones now and then. Before the events are taken.
    void Refresh();
    // Writes every open device's state into the joystick table.
    void Update();
    // Whether a joystick is open (its state is read by polling).
    bool HasOpenDevices() const { return !devices_.empty(); }

private:
    struct Device {
        SDL_GameController* controller = nullptr;
        SDL_Joystick* joystick = nullptr;
        int id = -1;  // in the joystick table
    };
    void Open(int deviceIndex);
    void Close(SDL_JoystickID instance);

    bool started_ = false;
    bool lookedForDevices_ = false;
    Uint64 lastLook_ = 0;  // SDL_GetTicks64 when Refresh last looked for new devices
    std::map<SDL_JoystickID, Device> devices_;
    std::vector<std::string> dropped_;
    Uint32 dropWindow_ = 0;
};

} // namespace winapi
