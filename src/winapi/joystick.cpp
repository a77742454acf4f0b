// The joystick table; see joystick.h.
#include "winapi/joystick.h"

#include <mutex>

namespace winapi {

namespace {

struct Slot {
    bool attached = false;
    JoystickInfo info;
    JoystickState state;
};

struct Table {
    std::mutex mutex;
    Slot slots[kJoystickIds];
    uint32_t serial = 0;
};

Table& Joysticks()
{
    static Table* table = new Table;
    return *table;
}

} // namespace

int AttachJoystick(const JoystickInfo& info)
{
    Table& table = Joysticks();
    std::lock_guard lock(table.mutex);
    for (int id = 0; id < kJoystickIds; ++id) {
        Slot& slot = table.slots[id];
        if (slot.attached)
            continue;
        slot.attached = true;
        slot.info = info;
        slot.info.axes = info.axes < 2 ? 2 : (info.axes > kJoystickAxes ? kJoystickAxes : info.axes);
        slot.info.buttons = info.buttons < 0 ? 0 : (info.buttons > 32 ? 32 : info.buttons);
        ++table.serial;
        slot.info.instance = GUID{0x544A5300u | static_cast<uint32_t>(id), static_cast<uint16_t>(table.serial),
                                  static_cast<uint16_t>(table.serial >> 16), {'T', 'e', 's', 's', 'a', 'r', 'o', 0}};
        slot.state = JoystickState{};
        return id;
    }
    return -1;
}

void DetachJoystick(int id)
{
    if (id < 0 || id >= kJoystickIds)
        return;
    Table& table = Joysticks();
    std::lock_guard lock(table.mutex);
    table.slots[id] = Slot{};
}

void SetJoystickState(int id, const JoystickState& state)
{
    if (id < 0 || id >= kJoystickIds)
        return;
    Table& table = Joysticks();
    std::lock_guard lock(table.mutex);
    if (table.slots[id].attached)
        table.slots[id].state = state;
}

bool ReadJoystick(int id, JoystickInfo* info, JoystickState* state)
{
    if (id < 0 || id >= kJoystickIds)
        return false;
    Table& table = Joysticks();
    std::lock_guard lock(table.mutex);
    const Slot& slot = table.slots[id];
    if (!slot.attached)
        return false;
    if (info != nullptr)
        *info = slot.info;
    if (state != nullptr)
        *state = slot.state;
    return true;
}

void DetachAllJoysticks()
{
    for (int id = 0; id < kJoystickIds; ++id)
        DetachJoystick(id);
}

} // namespace winapi
