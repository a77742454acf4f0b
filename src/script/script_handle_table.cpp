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

const CScriptHandleTable::Slot* CScriptHandleTable::Find(uint32_t handle) const
{
    if (handle < kBase || handle >= kEnd)
        return nullptr;
    const uint32_t slot = (handle - kBase) >> 8;
    if (slot >= m_slots.size())
        return nullptr;
    const Slot& s = m_slots[slot];
    if (!s.live || s.generation != (handle & 0xFF))
        return nullptr;
    return &s;
}

void* CScriptHandleTable::Get(uint32_t handle, ScriptObjectType type) const
{
    const Slot* s = Find(handle);
    if (s == nullptr || (type != ScriptObjectType::Any && s->type != type))
        return nullptr;
    return s->object;
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
