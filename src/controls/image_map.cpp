#include "controls/image_map.h"

#include "controls/control_command.h"
#include "controls/control_container.h"
#include "platform/action_map.h"
#include "platform/input_source.h"

#include <new>

CImageMap::~CImageMap()
{
    Release();
    m_regions.clear();
    m_map.Destroy();
}

int CImageMap::SetPosition(int x, int y)
{
    m_x = x;
    m_y = y;
    return 0;
}

void CImageMap::Release()
{
    if (CControlContainer* form = GetContainer(); form && form->IsCapture(this))
        form->ReleaseCapture();
    m_shownHint = nullptr;
    for (CMapRegion& region : m_regions)
        region.events.reset();
}

int CImageMap::Adopt(int regionCount, int x, int y, bool clickable, int group)
{
    if (m_map.GetBitsPerPixel() != 8) {
        m_map.Destroy();
        return 2;
    }
    Release();
    m_regions.clear();
    try {
        m_regions.resize(static_cast<size_t>(regionCount));
    } catch (const std::bad_alloc&) {
        return 3;
    }
    m_x = x;
    m_y = y;
    m_clickable = clickable ? 1 : 0;
    m_id = group;
    m_hit = m_current = -1;
    m_pressState = 0;
    return 0;
}

int CImageMap::Create(const char* mapFile, int regionCount, int x, int y, bool clickable, int group)
{
    // The count used to be kept in a byte, so 256 regions became none.
    if (regionCount < 1 || regionCount > 255)
        return 1;
    // Loaded keeping its indexes: a map converted to colours would give colours as region numbers.
    if (!mapFile || m_map.LoadWithPalette(mapFile, nullptr, 0, 0) != 0)
        return 2;
    return Adopt(regionCount, x, y, clickable, group);
}

int CImageMap::CreateFromImage(const CImage& map, int regionCount, int x, int y, bool clickable, int group)
{
    if (regionCount < 1 || regionCount > 255)
        return 1;
    if (m_map.CopyFrom(&map, 0) != 0)
        return 2;
    return Adopt(regionCount, x, y, clickable, group);
}

int CImageMap::SetRegionEnabled(int region, bool enabled)
{
    if (m_regions.empty())
        return 1;
    if (!RegionOk(region))
        return 2;
    m_regions[static_cast<size_t>(region)].enabled = enabled ? 1 : 0;
    return 0;
}

int CImageMap::SetRegionEvents(int region, const char* commandName, int commandValue, const char* commandArgument,
                               const char* hint, int32_t* activatedFlag, int32_t* highlightFlag, int32_t* normalFlag)
{
    if (m_regions.empty())
        return 1;
    if (!RegionOk(region))
        return 2;
    auto events = std::make_unique<CMapRegionEvents>();
    events->commandName = commandName ? commandName : "";
    events->commandValue = commandValue;
    events->commandArgument = commandArgument ? commandArgument : "";
    events->hint = hint ? hint : "";
    events->activatedFlag = activatedFlag;
    events->highlightFlag = highlightFlag;
    events->normalFlag = normalFlag;
    CMapRegion& slot = m_regions[static_cast<size_t>(region)];
    if (slot.events && m_shownHint == slot.events->hint.c_str())
        m_shownHint = TextOrNull(events->hint);
    slot.events = std::move(events);
    return 0;
}

void CImageMap::SetSounds(const char* activate, const char* enter, const char* leave, int activateNumber,
                          int enterNumber, int leaveNumber)
{
    const char* names[3] = {activate, enter, leave};
    const int numbers[3] = {activateNumber, enterNumber, leaveNumber};
    for (int i = 0; i < 3; ++i) {
        m_sounds[i] = names[i] ? names[i] : "";
        m_soundNumbers[i] = m_sounds[i].empty() ? numbers[i] : 0;
    }
}

bool CImageMap::HitTest(int x, int y)
{
    m_hit = -1;
    if (m_regions.empty() || !m_map.GetBits())
        return false;
    const uint32_t dx = static_cast<uint32_t>(x - m_x);
    const uint32_t dy = static_cast<uint32_t>(y - m_y);
    if (dx >= static_cast<uint32_t>(m_map.GetWidth()) || dy >= static_cast<uint32_t>(m_map.GetHeight()))
        return false;
    const int value = m_map.GetRowAddress(static_cast<LONG>(dy))[dx];
    if (!RegionOk(value) || !m_regions[static_cast<size_t>(value)].enabled)
        return false;
    m_hit = value;
    return true;
}

void CImageMap::EnterRegion(int region)
{
    m_pressState = 1;
    CControlContainer* form = GetContainer();
    PlayEventSound(form, m_sounds[1], m_soundNumbers[1], kSoundDefaultEnter);
    const CMapRegionEvents* events = m_regions[static_cast<size_t>(region)].events.get();
    if (events) {
        if (events->highlightFlag)
            *events->highlightFlag = 1;
        if (events->normalFlag)
            *events->normalFlag = 0;
    }
    m_shownHint = events ? TextOrNull(events->hint) : nullptr;
}

const char* CImageMap::LeaveRegion(int region)
{
    m_pressState = 0;
    PlayEventSound(GetContainer(), m_sounds[2], m_soundNumbers[2], kSoundDefaultLeave);
    if (RegionOk(region))
        if (const CMapRegionEvents* events = m_regions[static_cast<size_t>(region)].events.get()) {
            if (events->highlightFlag)
                *events->highlightFlag = 0;
            if (events->normalFlag)
                *events->normalFlag = 1;
        }
    const char* shown = m_shownHint;
    m_shownHint = nullptr;
    return shown;
}

void CImageMap::LeaveCurrent()
{
    if (m_current < 0)
        return;
    const char* hint = LeaveRegion(m_current);
    CControlContainer* form = GetContainer();
    if (hint && form) {
        form->HideHint();
        form->RestartHintTimer();
    }
    m_current = -1;
}

void CImageMap::OnMouseMove(int, int)
{
    if (m_locked || m_hit == m_current)
        return;
    LeaveCurrent();
    if (RegionOk(m_hit) && m_regions[static_cast<size_t>(m_hit)].enabled) {
        EnterRegion(m_hit);
        m_current = m_hit;
    }
}

void CImageMap::OnMouseLeave()
{
    if (!m_locked)
        LeaveCurrent();
}

void CImageMap::OnKillFocus(CControl*)
{
    if (!m_locked)
        LeaveCurrent();
}

bool CImageMap::OnMouseInput(int, int, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (m_pressState == 1 && !m_locked && m_current >= 0 && mouse->IsPushed(0)) {
        m_pressState = 2;
        return true;
    }
    if (m_pressState == 2 && !mouse->IsDown(0)) {
        m_pressState = 1;
        FireClick(m_current);
        return true;
    }
    return false;
}

int CImageMap::NextEnabled(int from, int step) const
{
    for (int r = from; RegionOk(r); r += step)
        if (m_regions[static_cast<size_t>(r)].enabled)
            return r;
    return -1;
}

void CImageMap::OnSetFocus(CControl*, bool forward)
{
    const int region = m_locked || m_regions.empty()
                           ? -1
                           : (forward ? NextEnabled(0, 1) : NextEnabled(static_cast<int>(m_regions.size()) - 1, -1));
    if (region >= 0) {
        SelectRegion(region);
        return;
    }
    CControlContainer* form = GetContainer();
    if (!form)
        return;
    if ((forward ? form->FocusNext() : form->FocusPrevious()) != 0 && form->IsFocus(this))
        form->SetFocus(nullptr);
}

bool CImageMap::OnKeyInput(CActionMap* actions)
{
    CControlContainer* form = GetContainer();
    if (m_locked || !form)
        return false;
    const int direction = form->GetNavigationDirection(actions);
    if (direction != 1 && direction != 2) {
        if (m_current >= 0 && m_pressState == 1 && actions && actions->IsPushed(kActionDecide)) {
            FireClick(m_current);
            return true;
        }
        return false;
    }
    const bool forward = direction == 2;
    const int region = m_current < 0 ? (forward ? NextEnabled(0, 1) : -1)
                                     : NextEnabled(m_current + (forward ? 1 : -1), forward ? 1 : -1);
    if (region >= 0) {
        SelectRegion(region);
        return true;
    }
    if ((forward ? form->FocusNext() : form->FocusPrevious()) != 0 && form->IsFocus(this))
        OnSetFocus(this, forward);
    return true;
}

void CImageMap::SelectRegion(int region)
{
    CControlContainer* form = GetContainer();
    if (!RegionOk(region) || !form)
        return;
    const int mode = form->GetFocusPointerMode();
    if (form->IsCapture(this))
        form->ReleaseCapture();
    if (mode == 2 || m_current != region)
        LeaveCurrent();
    EnterRegion(region);
    m_current = region;
    if (mode == 2)
        form->ParkPointer();
}

int CImageMap::ActivateRegion(int region)
{
    CControlContainer* form = GetContainer();
    if (!form || m_regions.empty() || m_locked || !RegionOk(region))
        return 1;
    if (!m_regions[static_cast<size_t>(region)].enabled)
        return 2;
    if (!form->IsFocus(this) && form->SetFocus(this) != 0)
        return 1;
    SelectRegion(region);
    return 0;
}

bool CImageMap::FireClick(int region)
{
    CControlContainer* form = GetContainer();
    if (!m_clickable || !form || !RegionOk(region))
        return false;
    if (m_userValue >= 0)
        form->SetResult(m_userValue + region);
    SetLocked(true);
    PlayEventSound(form, m_sounds[0], m_soundNumbers[0], kSoundDefaultActivate);
    if (const CMapRegionEvents* events = m_regions[static_cast<size_t>(region)].events.get()) {
        if (events->activatedFlag)
            *events->activatedFlag = 1;
        if (!events->commandName.empty() || !events->commandArgument.empty() || events->commandValue != 0)
            form->OnButtonCommand(TextOrNull(events->commandArgument), TextOrNull(events->commandName),
                                  events->commandValue);
    }
    return true;
}
