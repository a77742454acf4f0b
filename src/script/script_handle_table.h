// Engine objects reach scripts only as handles: 0x40000000 + (slot << 8) + an 8-bit generation.
// A handle names one object of one type; a stale, foreign or wrong-type word finds nothing, so a
// script can hand back any word without reaching a freed or unrelated object.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

// Kinds of engine object handed to scripts. Later areas add their kinds here.
enum class ScriptObjectType : uint16_t {
    Any = 0, // lookups only: matches every type
    Control,
    Sprite,
    Image,
    Task,
    List,
};

class CScriptHandleTable {
public:
    static constexpr uint32_t kBase = 0x40000000u;
    static constexpr uint32_t kEnd = 0x7F000000u; // first word past the handle range
    static constexpr uint32_t kMaxSlots = (kEnd - kBase) >> 8;

    // At most maxSlots objects at once (clamped to kMaxSlots).
    explicit CScriptHandleTable(uint32_t maxSlots = kMaxSlots);

    // → the new handle, or 0 when the table is full, the object is null or the type is Any.
    uint32_t Add(void* object, ScriptObjectType type);
    // → the object, or null for 0, a stale or foreign word, or an object of another type
    // (ScriptObjectType::Any matches every type).
    void* Get(uint32_t handle, ScriptObjectType type) const;
    // Any-type lookup that also gives the object's type (unchanged when null is answered).
    void* Get(uint32_t handle, ScriptObjectType* type) const;
    template <class T>
    T* GetAs(uint32_t handle, ScriptObjectType type) const
    {
        return static_cast<T*>(Get(handle, type));
    }
    // → true when the handle was live (it is stale from now on), false otherwise.
    bool Remove(uint32_t handle);
    // Number of live handles.
    uint32_t Count() const { return m_count; }

private:
    struct Slot {
        void* object = nullptr;
        ScriptObjectType type = ScriptObjectType::Any;
        uint8_t generation = 0;
        bool live = false;
    };
    const Slot* Find(uint32_t handle) const;

    uint32_t m_maxSlots;
    uint32_t m_count = 0;
    std::vector<Slot> m_slots;
    std::deque<uint32_t> m_free; // oldest freed first
};
