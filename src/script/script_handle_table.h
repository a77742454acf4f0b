// Engine objects reach scripts only as handles: 0x40000000 + (slot << 8) + an 8-bit generation.
// A handle names one object and keeps the type it was made with; it serves that type and every
// base of it (a sprite's handle is also a drawable's), so a stale, foreign or wrong-type word
// finds nothing and a script can hand back any word without reaching a freed or unrelated object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <vector>

// Kinds of engine object handed to scripts, grouped under the class that reports their end (the
// root of each group). Later areas add their kinds here and a row in kScriptObjectBases.
enum class ScriptObjectType : uint8_t {
    Any = 0, // lookups only: matches every type
    Surface,
    Image,
    Drawable,
    Sprite,
    Primitive,
    Task,
    Font,
    Control,
    Button,
    Toggle,
    RectControl,
    TextInput,
    Scroll,
    TextPanel,
    TextLayer,
    ImageButton,
    ListBase,
    ListLayer,
    ImageMap,
    SoundBuffer,
    LoadedSound,
    StreamSound,
    GroupFile,
    CellSheet,
    List,
    FileStream,
    TimedTask,
    Count
};

// Each type and the type it derives from (Any for a root), in the enum's order.
struct ScriptObjectBase {
    ScriptObjectType type, base;
};
inline constexpr ScriptObjectBase kScriptObjectBases[] = {
    {ScriptObjectType::Any, ScriptObjectType::Any},
    {ScriptObjectType::Surface, ScriptObjectType::Any},
    {ScriptObjectType::Image, ScriptObjectType::Surface},
    {ScriptObjectType::Drawable, ScriptObjectType::Any},
    {ScriptObjectType::Sprite, ScriptObjectType::Drawable},
    {ScriptObjectType::Primitive, ScriptObjectType::Drawable},
    {ScriptObjectType::Task, ScriptObjectType::Any},
    {ScriptObjectType::Font, ScriptObjectType::Any},
    {ScriptObjectType::Control, ScriptObjectType::Any},
    {ScriptObjectType::Button, ScriptObjectType::Control},
    {ScriptObjectType::Toggle, ScriptObjectType::Control},
    {ScriptObjectType::RectControl, ScriptObjectType::Control},
    {ScriptObjectType::TextInput, ScriptObjectType::Control},
    {ScriptObjectType::Scroll, ScriptObjectType::Control},
    {ScriptObjectType::TextPanel, ScriptObjectType::Control},
    {ScriptObjectType::TextLayer, ScriptObjectType::Control},
    {ScriptObjectType::ImageButton, ScriptObjectType::Control},
    {ScriptObjectType::ListBase, ScriptObjectType::Control},
    {ScriptObjectType::ListLayer, ScriptObjectType::ListBase},
    {ScriptObjectType::ImageMap, ScriptObjectType::Control},
    {ScriptObjectType::SoundBuffer, ScriptObjectType::Any},
    {ScriptObjectType::LoadedSound, ScriptObjectType::SoundBuffer},
    {ScriptObjectType::StreamSound, ScriptObjectType::SoundBuffer},
    {ScriptObjectType::GroupFile, ScriptObjectType::Any},
    {ScriptObjectType::CellSheet, ScriptObjectType::Any},
    {ScriptObjectType::List, ScriptObjectType::Any},
    {ScriptObjectType::FileStream, ScriptObjectType::Any},
    {ScriptObjectType::TimedTask, ScriptObjectType::Any},
};
inline constexpr size_t kScriptObjectTypeCount = static_cast<size_t>(ScriptObjectType::Count);
static_assert(std::size(kScriptObjectBases) == kScriptObjectTypeCount && kScriptObjectTypeCount <= 64);

constexpr ScriptObjectType ScriptObjectBaseOf(ScriptObjectType type)
{
    return kScriptObjectBases[static_cast<size_t>(type)].base;
}
// The root of a type's group (Any for Any).
constexpr ScriptObjectType ScriptObjectRootOf(ScriptObjectType type)
{
    while (ScriptObjectBaseOf(type) != ScriptObjectType::Any)
        type = ScriptObjectBaseOf(type);
    return type;
}

namespace script_objects {
constexpr bool RowsInOrder()
{
    for (size_t k = 0; k < kScriptObjectTypeCount; ++k) {
        if (static_cast<size_t>(kScriptObjectBases[k].type) != k)
            return false;
        if (k != 0 && static_cast<size_t>(kScriptObjectBases[k].base) >= k)
            return false;
    }
    return true;
}
static_assert(RowsInOrder(), "a row a type in the enum's order, each base before the types deriving from it");

// Bit t of kServes[k]: a handle of type k serves lookups of type t (itself, its bases and Any).
constexpr auto MakeServes()
{
    struct {
        uint64_t mask[kScriptObjectTypeCount] = {};
    } serves;
    for (size_t k = 0; k < kScriptObjectTypeCount; ++k) {
        uint64_t mask = 1; // Any
        // Bases come before the types deriving from them, so the walk ends.
        for (size_t t = k; t != 0; t = static_cast<size_t>(kScriptObjectBases[t].base))
            mask |= uint64_t{1} << t;
        serves.mask[k] = mask;
    }
    return serves;
}
inline constexpr auto kServes = MakeServes();
} // namespace script_objects

// True when a handle made with type serves lookups of asked (asked is type, a base of it or Any).
constexpr bool ScriptObjectServes(ScriptObjectType type, ScriptObjectType asked)
{
    return (script_objects::kServes.mask[static_cast<size_t>(type)] >> static_cast<size_t>(asked)) & 1;
}

class CScriptHandleTable {
public:
    static constexpr uint32_t kBase = 0x40000000u;
    static constexpr uint32_t kEnd = 0x7F000000u; // first word past the handle range
    static constexpr uint32_t kMaxSlots = (kEnd - kBase) >> 8;

    // At most maxSlots objects at once (clamped to kMaxSlots).
    explicit CScriptHandleTable(uint32_t maxSlots = kMaxSlots);

    // → the new handle, or 0 when the table is full, the object is null or the type is Any.
    uint32_t Add(void* object, ScriptObjectType type);
    // → the object, or null for 0, a stale or foreign word, or an object whose type does not
    // serve type (ScriptObjectType::Any matches every type). O(1): a slot and a mask.
    void* Get(uint32_t handle, ScriptObjectType type) const
    {
        const Slot* s = Find(handle);
        return s != nullptr && ScriptObjectServes(s->type, type) ? s->object : nullptr;
    }
    // Any-type lookup that also gives the object's type (unchanged when null is answered).
    void* Get(uint32_t handle, ScriptObjectType* type) const;
    // A live handle takes type when type derives from (or is) its own: the object was first
    // handed out by a base's pointer. → true when the handle's type is type now.
    bool Narrow(uint32_t handle, ScriptObjectType type);
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
    const Slot* Find(uint32_t handle) const
    {
        const uint32_t slot = (handle - kBase) >> 8; // words below kBase wrap past every slot
        if (handle >= kEnd || slot >= m_slots.size())
            return nullptr;
        const Slot& s = m_slots[slot];
        return s.live && s.generation == (handle & 0xFF) ? &s : nullptr;
    }

    uint32_t m_maxSlots;
    uint32_t m_count = 0;
    std::vector<Slot> m_slots;
    std::deque<uint32_t> m_free; // oldest freed first
};
