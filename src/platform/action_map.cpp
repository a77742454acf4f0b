// The action map; see action_map.h.
#include "platform/action_map.h"

#include <algorithm>
#include <new>

#include "platform/input_manager.h"

CActionMap::CActionMap(CInputManager* owner) : m_owner(owner) {}

CActionMap::~CActionMap()
{
    Clear();
}

uint32_t CActionMap::Create(uint32_t actionCount)
{
    Clear();
    if (actionCount == 0)
        return 1;
    try {
        m_actions.resize(actionCount);
    } catch (const std::bad_alloc&) {
        m_actions.clear();
        return 2;
    }
    m_actionCount = actionCount;
    return 0;
}

void CActionMap::Clear()
{
    m_actions.clear();
    m_actionCount = 0;
}

CInputSource* CActionMap::Source(int32_t sourceIndex) const
{
    if (m_owner == nullptr || sourceIndex < 0)
        return nullptr;
    if (sourceIndex == 0)
        return m_owner->GetKeyboard();
    if (sourceIndex == 1)
        return m_owner->GetMouse();
    return m_owner->GetJoystick(sourceIndex - 2);
}

uint32_t CActionMap::Bind(uint32_t action, int32_t sourceIndex, uint8_t code)
{
    if (BadAction(action))
        return 1;
    CInputSource* source = Source(sourceIndex);
    if (source == nullptr)
        return 2;
    m_actions[action].push_back(Binding{sourceIndex, source, code});
    return 0;
}

uint32_t CActionMap::Unbind(uint32_t action, int32_t sourceIndex, int code)
{
    if (BadAction(action))
        return 1;
    auto& bindings = m_actions[action];
    if (sourceIndex < 0) {
        bindings.clear();
        return 0;
    }
    if (Source(sourceIndex) == nullptr)
        return 2;
    for (auto it = bindings.begin(); it != bindings.end(); ++it)
        if (it->sourceIndex == sourceIndex && it->code == static_cast<uint8_t>(code)) {
            bindings.erase(it);
            return 0;
        }
    return 3;
}

uint32_t CActionMap::Rebind(uint32_t action, int32_t sourceIndex, uint8_t newCode, int oldCode)
{
    if (BadAction(action))
        return 1;
    if (Source(sourceIndex) == nullptr)
        return 2;
    for (Binding& binding : m_actions[action])
        if (binding.sourceIndex == sourceIndex && (oldCode < 0 || binding.code == static_cast<uint8_t>(oldCode))) {
            binding.code = newCode;
            return 0;
        }
    return 3;
}

bool CActionMap::IsDown(uint32_t action)
{
    if (BadAction(action))
        return false;
    for (const Binding& binding : m_actions[action])
        if (binding.source != nullptr && binding.source->IsDown(binding.code))
            return true;
    return false;
}

bool CActionMap::IsPushed(uint32_t action)
{
    if (BadAction(action))
        return false;
    for (const Binding& binding : m_actions[action])
        if (binding.source != nullptr && binding.source->IsPushed(binding.code))
            return true;
    return false;
}

int CActionMap::FindFirstDown(uint32_t first, uint32_t count)
{
    const uint64_t end = count == 0 ? m_actionCount : std::min<uint64_t>(uint64_t{first} + count, m_actionCount);
    for (uint64_t action = first; action < end; ++action)
        if (IsDown(static_cast<uint32_t>(action)))
            return static_cast<int>(action);
    return -1;
}

int CActionMap::FindFirstPushed(uint32_t first, uint32_t count)
{
    const uint64_t end = count == 0 ? m_actionCount : std::min<uint64_t>(uint64_t{first} + count, m_actionCount);
    for (uint64_t action = first; action < end; ++action)
        if (IsPushed(static_cast<uint32_t>(action)))
            return static_cast<int>(action);
    return -1;
}

uint32_t CActionMap::CountBindings(uint32_t action, int32_t sourceIndex)
{
    if (BadAction(action))
        return 0;
    if (sourceIndex < 0)
        return static_cast<uint32_t>(m_actions[action].size());
    if (Source(sourceIndex) == nullptr)
        return 0;
    uint32_t count = 0;
    for (const Binding& binding : m_actions[action])
        count += binding.sourceIndex == sourceIndex ? 1 : 0;
    return count;
}

uint32_t CActionMap::GetBinding(uint32_t action, int32_t sourceIndex, uint32_t n, uint8_t* code, CInputSource** source)
{
    if (BadAction(action))
        return 1;
    const auto& bindings = m_actions[action];
    const Binding* found = nullptr;
    if (sourceIndex < 0) {
        if (n >= bindings.size())
            return 2;
        found = &bindings[n];
    } else {
        if (Source(sourceIndex) == nullptr)
            return 3;
        uint32_t seen = 0;
        for (const Binding& binding : bindings)
            if (binding.sourceIndex == sourceIndex && seen++ == n) {
                found = &binding;
                break;
            }
        if (found == nullptr)
            return 4;
    }
    if (code != nullptr)
        *code = found->code;
    if (source != nullptr)
        *source = found->source;
    return 0;
}

void CActionMap::Repoint()
{
    for (auto& bindings : m_actions)
        for (Binding& binding : bindings)
            binding.source = Source(binding.sourceIndex);
}
