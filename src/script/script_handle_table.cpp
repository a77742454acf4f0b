#include "script/script_handle_table.h"

#include <algorithm>

CScriptHandleTable::CScriptHandleTable(uint32_t maxSlots) : m_maxSlots(std::min(maxSlots, kMaxSlots))
{
}

uint32_t CScriptHandleTable::Add(void* object, ScriptObjectType type)
{
    if (object == nullptr || type == ScriptObjectType::Any)
        return 0;
    uint32_t slot;
    if (!m_free.empty()) {
        slot = m_free.front();
        m_free.pop_front();
    } else if (m_slots.size() < m_maxSlots) {
        slot = static_cast<uint32_t>(m_slots.size());
        m_slots.emplace_back();
    } else {
        return 0;
    }
    Slot& s = m_slots[slot];
    s.object = object;
    s.type = type;
    s.live = true;
    ++m_count;
    return kBase + (slot << 8) + s.generation;
}

void* CScriptHandleTable::Get(uint32_t handle, ScriptObjectType* type) const
{
    const Slot* s = Find(handle);
    if (s == nullptr)
        return nullptr;
    if (type != nullptr)
        *type = s->type;
    return s->object;
}

bool CScriptHandleTable::Narrow(uint32_t handle, ScriptObjectType type)
{
    const Slot* found = Find(handle);
    if (found == nullptr)
        return false;
    Slot& s = m_slots[(handle - kBase) >> 8];
    if (type != s.type && ScriptObjectServes(type, s.type))
        s.type = type;
    return s.type == type;
}

bool CScriptHandleTable::Remove(uint32_t handle)
{
    if (Find(handle) == nullptr)
        return false;
    const uint32_t slot = (handle - kBase) >> 8;
    Slot& s = m_slots[slot];
    s.object = nullptr;
    s.live = false;
    --m_count;
    // After its 256th handle a slot is retired: reusing it would bring generation 0 back, and
    // with it the first handle that slot ever gave out.
    if (s.generation == 0xFF)
        return true;
    ++s.generation;
    m_free.push_back(slot);
    return true;
}
