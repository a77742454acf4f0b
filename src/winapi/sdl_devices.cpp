// The SDL host's joysticks and drops; see sdl_devices.h.
#include "winapi/sdl_devices.h"

#include "winapi/joystick.h"
#include "winapi/shell.h"

namespace winapi {

namespace {

// SDL's -32768..32767 as winmm's 0..65535; triggers (0..32767) likewise from 0.
int32_t StickAxis(Sint16 value)
{
    return static_cast<int32_t>(value) + 32768;
}

int32_t TriggerAxis(Sint16 value)
{
    return value <= 0 ? 0 : static_cast<int32_t>(value) * 2 + 1;
}

// Hat bits as hundredths of a degree clockwise from up; -1 centred.
int32_t Pov(bool up, bool right, bool down, bool left)
{
    static const int32_t kAngles[16] = {-1, 0, 9000, 4500, 18000, -1, 13500, 9000, 27000, 31500, -1, 0, 22500, 27000, 18000, -1};
    return kAngles[(up ? 1 : 0) | (right ? 2 : 0) | (down ? 4 : 0) | (left ? 8 : 0)];
}

} // namespace

SdlDevices::SdlDevices()
{
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SDL's pump would look for new devices at every call, a poll of each of its device monitors;
    // Refresh does it at a pace of its own.
    SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
    started_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    SDL_EventState(SDL_DROPBEGIN, SDL_ENABLE);
    SDL_EventState(SDL_DROPCOMPLETE, SDL_ENABLE);
}

SdlDevices::~SdlDevices()
{
    while (!devices_.empty())
        Close(devices_.begin()->first);
    if (started_)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

void SdlDevices::Open(int deviceIndex)
{
    Device device;
    if (SDL_IsGameController(deviceIndex))
        device.controller = SDL_GameControllerOpen(deviceIndex);
    device.joystick = device.controller != nullptr ? SDL_GameControllerGetJoystick(device.controller)
                                                   : SDL_JoystickOpen(deviceIndex);
    if (device.joystick == nullptr)
        return;
    const SDL_JoystickID instance = SDL_JoystickInstanceID(device.joystick);
    if (devices_.count(instance) != 0) {
        if (device.controller != nullptr)
            SDL_GameControllerClose(device.controller);
        else
            SDL_JoystickClose(device.joystick);
        return;
    }
    JoystickInfo info;
    const char* name = device.controller != nullptr ? SDL_GameControllerName(device.controller)
                                                    : SDL_JoystickName(device.joystick);
    info.nameUtf8 = name != nullptr ? name : "";
    if (device.controller != nullptr) {
        info.axes = 6;
        info.buttons = 10;
        info.hasPov = true;
    } else {
        info.axes = SDL_JoystickNumAxes(device.joystick);
        info.buttons = SDL_JoystickNumButtons(device.joystick);
        info.hasPov = SDL_JoystickNumHats(device.joystick) > 0;
    }
    device.id = AttachJoystick(info);
    devices_[instance] = device;
    Update();
}

void SdlDevices::Close(SDL_JoystickID instance)
{
    auto it = devices_.find(instance);
    if (it == devices_.end())
        return;
    DetachJoystick(it->second.id);
    if (it->second.controller != nullptr)
        SDL_GameControllerClose(it->second.controller);
    else
        SDL_JoystickClose(it->second.joystick);
    devices_.erase(it);
}

bool SdlDevices::Handle(const SDL_Event& event, const std::function<HWND(Uint32 windowId)>& owner)
{
    switch (event.type) {
    case SDL_JOYDEVICEADDED: Open(event.jdevice.which); return true;
    case SDL_JOYDEVICEREMOVED: Close(event.jdevice.which); return true;
    case SDL_DROPBEGIN:
        dropped_.clear();
        dropWindow_ = event.drop.windowID;
        return true;
    case SDL_DROPFILE:
        if (event.drop.file != nullptr) {
            dropped_.push_back(event.drop.file);
            SDL_free(event.drop.file);
        }
        if (dropWindow_ == 0)
            dropWindow_ = event.drop.windowID;
        return true;
    case SDL_DROPCOMPLETE: {
        const Uint32 window = dropWindow_ != 0 ? dropWindow_ : event.drop.windowID;
        if (HWND hwnd = owner(window); hwnd != nullptr && !dropped_.empty()) {
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            HostDrop(hwnd, dropped_, x, y);
        }
        dropped_.clear();
        dropWindow_ = 0;
        return true;
    }
    default: return false;
    }
}

void SdlDevices::Refresh()
{
    if (!started_)
        return;
    // An idle frame loop pumps twice a frame: a device plugged in is found within a tenth of a
    // second all the same, and open devices are read at every pump.
    constexpr Uint64 kLookForDevicesMs = 100;
    const Uint64 now = SDL_GetTicks64();
    if (devices_.empty() && lookedForDevices_ && now - lastLook_ < kLookForDevicesMs)
        return;
    lookedForDevices_ = true;
    lastLook_ = now;
    SDL_JoystickUpdate();
}

void SdlDevices::Update()
{
    for (auto& [instance, device] : devices_) {
        JoystickState state;
        if (device.controller != nullptr) {
            SDL_GameController* c = device.controller;
            static const SDL_GameControllerAxis kAxes[] = {SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_LEFTY,
                                                           SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY};
            for (int axis = 0; axis < 4; ++axis)
                state.axes[axis] = StickAxis(SDL_GameControllerGetAxis(c, kAxes[axis]));
            state.axes[4] = TriggerAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
            state.axes[5] = TriggerAxis(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
            static const SDL_GameControllerButton kButtons[] = {
                SDL_CONTROLLER_BUTTON_A,    SDL_CONTROLLER_BUTTON_B,         SDL_CONTROLLER_BUTTON_X,
                SDL_CONTROLLER_BUTTON_Y,    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
                SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_START,     SDL_CONTROLLER_BUTTON_LEFTSTICK,
                SDL_CONTROLLER_BUTTON_RIGHTSTICK,
            };
            for (int button = 0; button < 10; ++button)
                if (SDL_GameControllerGetButton(c, kButtons[button]))
                    state.buttons |= 1u << button;
            state.pov = Pov(SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP),
                            SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
                            SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN),
                            SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT));
        } else {
            SDL_Joystick* j = device.joystick;
            const int axes = SDL_JoystickNumAxes(j);
            for (int axis = 0; axis < axes && axis < kJoystickAxes; ++axis)
                state.axes[axis] = StickAxis(SDL_JoystickGetAxis(j, axis));
            const int buttons = SDL_JoystickNumButtons(j);
            for (int button = 0; button < buttons && button < 32; ++button)
                if (SDL_JoystickGetButton(j, button))
                    state.buttons |= 1u << button;
            if (SDL_JoystickNumHats(j) > 0) {
                const Uint8 hat = SDL_JoystickGetHat(j, 0);
                state.pov = Pov(hat & SDL_HAT_UP, hat & SDL_HAT_RIGHT, hat & SDL_HAT_DOWN, hat & SDL_HAT_LEFT);
            }
        }
        SetJoystickState(device.id, state);
    }
}

} // namespace winapi

// Test hooks; see sdl_testing.h.
#include "winapi/sdl_testing.h"

namespace winapi::sdl_testing {

namespace {

std::map<int, SDL_Joystick*>& Virtuals()
{
    static auto* virtuals = new std::map<int, SDL_Joystick*>;
    return *virtuals;
}

SDL_Joystick* Virtual(int handle)
{
    auto it = Virtuals().find(handle);
    return it == Virtuals().end() ? nullptr : it->second;
}

} // namespace

int AttachVirtualController()
{
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 1);
    if (index < 0)
        return -1;
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (joystick == nullptr)
        return -1;
    const int handle = static_cast<int>(SDL_JoystickInstanceID(joystick));
    Virtuals()[handle] = joystick;
    return handle;
}

bool SetVirtualAxis(int handle, int axis, int16_t value)
{
    SDL_Joystick* joystick = Virtual(handle);
    return joystick != nullptr && SDL_JoystickSetVirtualAxis(joystick, axis, value) == 0;
}

bool SetVirtualButton(int handle, int button, bool down)
{
    SDL_Joystick* joystick = Virtual(handle);
    return joystick != nullptr && SDL_JoystickSetVirtualButton(joystick, button, down ? 1 : 0) == 0;
}

bool SetVirtualHat(int handle, uint8_t hat)
{
    SDL_Joystick* joystick = Virtual(handle);
    return joystick != nullptr && SDL_JoystickSetVirtualHat(joystick, 0, hat) == 0;
}

bool DetachVirtual(int handle)
{
    SDL_Joystick* joystick = Virtual(handle);
    if (joystick == nullptr)
        return false;
    // The device index of the virtual device, found by its instance id.
    int index = -1;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == handle)
            index = i;
    SDL_JoystickClose(joystick);
    Virtuals().erase(handle);
    return index >= 0 && SDL_JoystickDetachVirtual(index) == 0;
}

void PushDrop(HWND hwnd, const std::vector<std::string>& pathsUtf8)
{
    const Uint32 window = SdlWindowId(hwnd);
    SDL_Event event{};
    event.drop.type = SDL_DROPBEGIN;
    event.drop.windowID = window;
    SDL_PushEvent(&event);
    for (const std::string& path : pathsUtf8) {
        SDL_Event file{};
        file.drop.type = SDL_DROPFILE;
        file.drop.windowID = window;
        file.drop.file = SDL_strdup(path.c_str());
        SDL_PushEvent(&file);
    }
    SDL_Event complete{};
    complete.drop.type = SDL_DROPCOMPLETE;
    complete.drop.windowID = window;
    SDL_PushEvent(&complete);
}

} // namespace winapi::sdl_testing
