// An action map binds the game's abstract actions (decide, cancel, up, ...) to any number of
// (input source, code) pairs; a query on an action asks each binding's source. Source index: 0 the
// keyboard, 1 the mouse, n >= 2 joystick n - 2; negative means all sources where allowed.
#pragma once

#include <cstdint>
#include <vector>

class CInputManager;
class CInputSource;

class CActionMap {
public:
    struct Binding {
        int32_t sourceIndex;  // kept so that new devices can take the binding over
        CInputSource* source;
        uint8_t code;
    };

    explicit CActionMap(CInputManager* owner);
    ~CActionMap();
    CActionMap(const CActionMap&) = delete;
    CActionMap& operator=(const CActionMap&) = delete;

    // → 0, 1 count 0, 2 no memory. Every action starts without bindings.
    uint32_t Create(uint32_t actionCount);
    void Clear();
    // → 0, 1 bad action, 2 no such source.
    uint32_t Bind(uint32_t action, int32_t sourceIndex, uint8_t code);
    // Index >= 0: the first binding of that source and code (0, 2 no source, 3 none); index < 0:
    // every binding of the action (0). 1 bad action.
    uint32_t Unbind(uint32_t action, int32_t sourceIndex, int code);
    // The first binding of that source with the old code (any code when negative) takes the new
    // one. → 0, 1 bad action, 2 no such source, 3 none found.
    uint32_t Rebind(uint32_t action, int32_t sourceIndex, uint8_t newCode, int oldCode);
    bool IsDown(uint32_t action);
    bool IsPushed(uint32_t action);
    // The lowest action in [first, first + count) (count 0: to the last) that is down / pushed; -1.
    int FindFirstDown(uint32_t first, uint32_t count);
    int FindFirstPushed(uint32_t first, uint32_t count);
    // Bindings of a source (all for a negative index); 0 for a bad action or missing source.
    uint32_t CountBindings(uint32_t action, int32_t sourceIndex);
    // The n-th binding of a source (of all for a negative index). → 0, 1 bad action, 2 n out of
    // range (negative index), 3 no such source, 4 not found.
    uint32_t GetBinding(uint32_t action, int32_t sourceIndex, uint32_t n, uint8_t* code, CInputSource** source);

    // Points every binding at the device now at its source index; a binding whose source is gone
    // stays, without a source, until a device comes back (the manager calls it when the devices
    // change, so that maps the game holds survive new devices).
    void Repoint();

    uint32_t GetActionCount() const { return m_actionCount; }

private:
    bool BadAction(uint32_t action) const { return m_owner == nullptr || action >= m_actionCount; }
    CInputSource* Source(int32_t sourceIndex) const;

    CInputManager* m_owner;
    uint32_t m_actionCount = 0;
    std::vector<std::vector<Binding>> m_actions;
};
