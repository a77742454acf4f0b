#include "controls/scroll_control.h"

#include "controls/control_command.h"
#include "controls/control_container.h"
#include "drawing/draw_list.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "platform/timer_resolution.h"
#include "raster/fill_ops.h"

#include <algorithm>

namespace {

constexpr uint32_t kFirstRepeatMs = 500;
constexpr uint32_t kRepeatMs = 100;
constexpr int kScanHome = 0xC7;
constexpr int kScanEnd = 0xCF;

bool Due(uint32_t now, uint32_t time)
{
    return static_cast<int32_t>(now - time) >= 0;
}

} // namespace

// --- the arrow ---

void DrawArrowTriangle(CImage* image, const RECT& rect, uint8_t direction, uint32_t color)
{
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    const bool across = direction >= 2; // left and right: columns instead of rows
    const int length = across ? w : h, breadth = across ? h : w;
    const int n = (length + 2) / 3, first = length / 3;
    const int odd = (breadth % 2 == 0) ? breadth - 1 : breadth;
    const DWORD value = 0xFF000000u | (color & 0xFFFFFF);
    for (int i = 0; i < n; ++i) {
        const int line = (direction == 0 || direction == 2) ? first + i : first + n - 1 - i;
        const int start = odd / 2 - i, size = 1 + 2 * i;
        if (across)
            image->FillRect32XYWH(rect.left + line, rect.top + start, 1, size, value);
        else
            image->FillRect32XYWH(rect.left + start, rect.top + line, size, 1, value);
    }
}

void CArrowButton::DrawFace(CImage* image, const RECT& rect, bool disabled)
{
    if (disabled) {
        const RECT moved{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
        DrawArrowTriangle(image, moved, m_direction, 0xFFFFFF);
        DrawArrowTriangle(image, rect, m_direction, 0x808080);
        return;
    }
    DrawArrowTriangle(image, rect, m_direction, m_arrowColor);
}

void CArrowButton::Step()
{
    if (m_owner)
        m_owner->StepBy(m_direction == 1 || m_direction == 3);
}

void CArrowButton::FireClick()
{
    Step();
}

bool CArrowButton::OnMouseInput(int, int, CInputSource* mouse)
{
    if (!mouse)
        return false;
    const uint32_t now = TimerNow();
    if (m_state == kButtonHover && mouse->IsPushed(0)) {
        SetState(kButtonPressed);
        Step();
        m_nextRepeat = now + kFirstRepeatMs;
        return true;
    }
    if (m_state == kButtonPressed) {
        if (!mouse->IsDown(0)) {
            SetState(kButtonHover);
            return true;
        }
        if (Due(now, m_nextRepeat)) {
            Step();
            m_nextRepeat = now + kRepeatMs;
        }
        return true;
    }
    return false;
}

// --- the bar ---

CScrollControl::CScrollControl() = default;

CScrollControl::~CScrollControl()
{
    RemoveFromContainer();
    Release();
}

void CScrollControl::Release()
{
    m_listener = nullptr;
    m_thumbSprite.DetachFromList();
    m_thumbSprite.Reset();
    m_thumbImage.Destroy();
    if (m_trackSprite)
        m_trackSprite->DetachFromList();
    m_trackSprite.reset();
    m_trackImage.reset();
    m_trackSource.reset();
    m_thumbSource.reset();
    m_arrow1.reset();
    m_arrow2.reset();
    m_thumbFile.clear();
    m_trackFile.clear();
    m_list = nullptr;
    m_value = m_offset = m_travel = -1;
    m_trackW = m_trackH = 0;
}

int CScrollControl::Fail(int code)
{
    Release();
    return code;
}

int CScrollControl::ArrowLength(const CArrowButton* arrow) const
{
    if (!arrow)
        return 0;
    return m_vertical ? arrow->GetHeight() : arrow->GetWidth();
}

void CScrollControl::Sound(const std::string& name, int number, int fallback)
{
    PlayEventSound(GetContainer() ? GetContainer() : m_container, name, number, fallback);
}

void CScrollControl::SetSounds(const char* activate, const char* enter, const char* leave, int activateNumber,
                               int enterNumber, int leaveNumber)
{
    auto set = [](std::string& s, int32_t& n, const char* name, int number) {
        s = name ? name : "";
        n = s.empty() ? number : 0;
    };
    set(m_activateSound, m_activateNumber, activate, activateNumber);
    set(m_enterSound, m_enterNumber, enter, enterNumber);
    set(m_leaveSound, m_leaveNumber, leave, leaveNumber);
}

void CScrollControl::PlaceThumb()
{
    if (m_offset < 0)
        return;
    if (m_vertical)
        m_thumbSprite.SetPosition(m_x + m_thumbX, m_y + m_thumbY + m_offset);
    else
        m_thumbSprite.SetPosition(m_x + m_thumbX + m_offset, m_y + m_thumbY);
}

int CScrollControl::SetPosition(int x, int y)
{
    m_x = x;
    m_y = y;
    PlaceThumb();
    const int a1 = ArrowLength(m_arrow1.get());
    if (m_arrow1)
        m_arrow1->SetPosition(x, y);
    if (m_trackSprite)
        m_trackSprite->SetPosition(m_vertical ? x : x + a1, m_vertical ? y + a1 : y);
    if (m_arrow2)
        m_arrow2->SetPosition(m_vertical ? x : x + a1 + m_trackW, m_vertical ? y + a1 + m_trackH : y);
    return 0;
}

void CScrollControl::SetVisible(bool visible)
{
    if (!visible)
        DropFocusAndCapture();
    m_visible = visible ? 1 : 0;
    if (m_arrow1)
        m_arrow1->SetVisible(visible);
    if (m_arrow2)
        m_arrow2->SetVisible(visible);
    if (m_trackSprite)
        m_trackSprite->SetVisible(visible);
    if (SetUp())
        m_thumbSprite.SetVisible(visible);
}

int CScrollControl::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (m_thumbSprite.GetOwnerList()) {
        m_list->SetPriority(&m_thumbSprite, static_cast<uint32_t>(priority), keep);
        if (m_trackSprite)
            m_list->SetPriority(m_trackSprite.get(), static_cast<uint32_t>(priority), keep);
    } else {
        if (m_trackSprite)
            m_list->Insert(m_trackSprite.get(), static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_list->Insert(&m_thumbSprite, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_id = group;
    }
    if (m_arrow1)
        m_arrow1->SetPriority(priority, group, keep);
    if (m_arrow2)
        m_arrow2->SetPriority(priority, group, keep);
    m_priority = priority;
    return 0;
}

int CScrollControl::SetAlpha(int alpha)
{
    m_alpha = alpha;
    m_thumbSprite.SetAlpha(static_cast<BYTE>(alpha));
    if (m_trackSprite)
        m_trackSprite->SetAlpha(static_cast<BYTE>(alpha));
    if (m_arrow1)
        m_arrow1->SetAlpha(alpha);
    if (m_arrow2)
        m_arrow2->SetAlpha(alpha);
    return 0;
}

bool CScrollControl::SetEnabled(bool enabled)
{
    if (m_arrow1)
        m_arrow1->SetEnabled(enabled);
    if (m_arrow2)
        m_arrow2->SetEnabled(enabled);
    if (!CControl::SetEnabled(enabled))
        return false;
    SetPartState(0, enabled ? 0 : 3);
    return true;
}

void CScrollControl::Notify()
{
    if (m_listener)
        m_listener->OnScroll(this, m_value);
}

void CScrollControl::RefreshArrows()
{
    if (m_offset < 1 && m_value < 1) {
        if (m_arrow1)
            m_arrow1->SetEnabled(false);
        if (m_arrow2)
            m_arrow2->SetEnabled(true);
    } else if (m_value < m_maximum) {
        if (m_arrow1)
            m_arrow1->SetEnabled(true);
        if (m_arrow2)
            m_arrow2->SetEnabled(true);
    } else {
        if (m_arrow1)
            m_arrow1->SetEnabled(true);
        if (m_arrow2)
            m_arrow2->SetEnabled(false);
    }
}

int CScrollControl::SetValue(int value)
{
    if (!SetUp())
        return 1;
    value = std::clamp(value, 0, m_maximum);
    if (value == m_value)
        return -1;
    m_offset = m_maximum > 0 ? static_cast<int32_t>(static_cast<int64_t>(m_travel) * value / m_maximum) : 0;
    PlaceThumb();
    m_value = value;
    Notify();
    RefreshArrows();
    return 0;
}

int CScrollControl::SetThumbOffset(int offset)
{
    if (!SetUp())
        return 1;
    offset = std::clamp(offset, 0, m_travel);
    if (offset == m_offset)
        return -1;
    m_offset = offset;
    PlaceThumb();
    m_value = m_travel > 0 ? static_cast<int32_t>(static_cast<int64_t>(m_maximum) * offset / m_travel) : 0;
    Notify();
    RefreshArrows();
    return 0;
}

int CScrollControl::StepValue(bool forward)
{
    if (!SetUp()) {
        if (forward && m_listener)
            m_listener->OnScrollEnd(this);
        return -1;
    }
    int value = m_value + (forward ? 1 : -1);
    if (value < 0)
        value = 0;
    if (value > m_maximum) {
        value = m_maximum;
        if (m_listener)
            m_listener->OnScrollEnd(this);
    }
    const bool changed = value != m_value;
    m_value = value;
    m_offset = m_maximum > 0 ? static_cast<int32_t>(static_cast<int64_t>(m_travel) * value / m_maximum) : 0;
    PlaceThumb();
    if (changed)
        Notify();
    RefreshArrows();
    return 0;
}

void CScrollControl::StepBy(bool forward)
{
    if (m_step > 0)
        SetValue(forward ? m_value + m_step : m_value - m_step);
    else if (m_step < 0)
        SetThumbOffset(forward ? m_offset - m_step : m_offset + m_step);
    else
        StepValue(forward);
}

bool CScrollControl::TileImage(CImage& target, const CImage& source, int cap1, int cap2, int length, int cellCount)
{
    (void)cellCount;
    const int across = m_vertical ? source.GetWidth() : source.GetHeight();
    const int along = m_vertical ? source.GetHeight() : source.GetWidth();
    const int middle = along - cap1 - cap2;
    if (length < 1 || middle < 1)
        return false;
    if (target.Create(m_vertical ? across : length, m_vertical ? length : across, 32, 0) != 0)
        return false;
    target.SetAlphaFlag(source.HasAlpha());
    // Copies the source span [from, from + size) to position `to` along the axis, cut at `limit`.
    auto put = [&](int from, int size, int64_t to, int64_t limit) {
        const int64_t end = std::min<int64_t>(to + size, limit);
        if (end <= to)
            return;
        const int n = static_cast<int>(end - to);
        const RECT src = m_vertical ? RECT{0, from, across, from + n} : RECT{from, 0, from + n, across};
        target.Copy(&source, m_vertical ? 0 : static_cast<LONG>(to), m_vertical ? static_cast<LONG>(to) : 0, &src,
                    false);
    };
    const int64_t endStart = std::max<int64_t>(length - cap2, 0);
    put(0, cap1, 0, endStart);
    for (int64_t p = cap1; p < endStart; p += middle)
        put(cap1, middle, p, endStart);
    put(along - cap2, cap2, endStart, length);
    return true;
}

void CScrollControl::ShowCell(CSprite& sprite, const CImage& image, int cellCount, int state, int length)
{
    if (!image.GetBits() || cellCount < 1)
        return;
    const int cell = (m_vertical ? image.GetWidth() : image.GetHeight()) / cellCount;
    const int c = std::min(state, cellCount - 1);
    const RECT src = m_vertical ? RECT{c * cell, 0, (c + 1) * cell, length} : RECT{0, c * cell, length, (c + 1) * cell};
    sprite.SetSourceRect(&src);
}

int CScrollControl::SetRange(int length, int total, int visible, int value, int minimumThumb)
{
    if (!m_list || total == 0)
        return 1;
    const int64_t trackLen = static_cast<int64_t>(length) - ArrowLength(m_arrow1.get()) - ArrowLength(m_arrow2.get());
    if (m_trackSource && trackLen > 0 && trackLen < INT32_MAX) {
        if (!m_trackImage)
            m_trackImage = std::make_unique<CImage>();
        if (TileImage(*m_trackImage, *m_trackSource, m_trackCap1, m_trackCap2, static_cast<int>(trackLen),
                      m_trackCells)) {
            if (!m_trackSprite)
                m_trackSprite = std::make_unique<CSprite>();
            const bool listed = m_trackSprite->GetOwnerList() != nullptr;
            m_trackSprite->SetImage(m_trackImage.get(), nullptr, 0, 0);
            m_trackSprite->SetBlendMode(static_cast<BYTE>(m_blendMode));
            ShowCell(*m_trackSprite, *m_trackImage, m_trackCells, m_drawn ? 0 : m_partState,
                     static_cast<int>(trackLen));
            if (!listed)
                m_list->Insert(m_trackSprite.get(), static_cast<uint32_t>(m_priority), static_cast<DWORD>(m_id));
        }
    }
    if (trackLen > 0 && trackLen < INT32_MAX) {
        if (m_vertical)
            m_trackH = static_cast<int32_t>(trackLen);
        else
            m_trackW = static_cast<int32_t>(trackLen);
    }
    int64_t thumb = total > 0 && trackLen > 0 ? trackLen * std::max(visible, 0) / total : 0;
    thumb = std::max<int64_t>(thumb, std::max(minimumThumb, 1) + m_thumbCap1 + m_thumbCap2);
    if (thumb > 0 && thumb < trackLen && total - visible > 0) {
        m_maximum = total - visible;
        m_travel = static_cast<int32_t>(trackLen - thumb);
        m_thumbLength = static_cast<int32_t>(thumb);
        if (m_thumbSource) {
            TileImage(m_thumbImage, *m_thumbSource, m_thumbCap1, m_thumbCap2, m_thumbLength, m_thumbCells);
            m_thumbSprite.SetImage(&m_thumbImage, nullptr, 0, 0);
            m_thumbSprite.SetBlendMode(static_cast<BYTE>(m_blendMode));
        }
        ShowCell(m_thumbSprite, m_thumbImage, m_thumbCells, m_partState == 3 ? 0 : m_partState, m_thumbLength);
        m_thumbSprite.SetVisible(true);
        m_value = std::clamp(value, 0, m_maximum);
        m_offset = static_cast<int32_t>(static_cast<int64_t>(m_travel) * m_value / m_maximum);
        SetEnabled(true);
        SetPosition(m_x, m_y);
        RefreshArrows();
        return 0;
    }
    m_thumbSprite.SetVisible(false);
    m_value = m_offset = -1;
    SetEnabled(false);
    SetPosition(m_x, m_y);
    return -1;
}

int CScrollControl::SetPartState(int part, int state)
{
    if (part == 1 || part == 2) {
        CArrowButton* arrow = part == 1 ? m_arrow1.get() : m_arrow2.get();
        if (!arrow)
            return part;
        arrow->SetState(state);
        return 0;
    }
    if (state == m_partState)
        return 0;
    m_partState = static_cast<uint8_t>(state);
    const int shown = (m_drawn && state == 3) ? 0 : state;
    if (m_thumbImage.GetBits())
        ShowCell(m_thumbSprite, m_thumbImage, m_thumbCells, shown, m_thumbLength);
    if (!m_trackFile.empty() && m_trackImage && m_trackSprite)
        ShowCell(*m_trackSprite, *m_trackImage, m_trackCells, shown, m_vertical ? m_trackH : m_trackW);
    return 0;
}

bool CScrollControl::HitPart(int x, int y)
{
    if (m_trackSprite && m_trackSprite->GetImage())
        return m_trackSprite->HitTest(x, y, m_rectHit == 0);
    const int a1 = ArrowLength(m_arrow1.get());
    const int left = m_vertical ? m_x : m_x + a1, top = m_vertical ? m_y + a1 : m_y;
    return x >= left && x < left + m_trackW && y >= top && y < top + m_trackH;
}

int CScrollControl::AddToContainer(CControlContainer* container, int position)
{
    if (!container)
        return 1;
    if (m_container)
        return -1;
    if (m_arrow1)
        container->AddControl(m_arrow1.get(), position);
    const int result = container->AddControl(this, position < 0 ? -1 : position + 1);
    if (m_arrow2)
        container->AddControl(m_arrow2.get(), position < 0 ? -1 : position + 2);
    m_container = container;
    return result;
}

bool CScrollControl::RemoveFromContainer()
{
    if (!m_container)
        return false;
    if (m_arrow1)
        m_container->RemoveControl(m_arrow1.get());
    m_container->RemoveControl(this);
    if (m_arrow2)
        m_container->RemoveControl(m_arrow2.get());
    m_container = nullptr;
    return true;
}

void CScrollControl::SetDrawList(CDrawList* list)
{
    if (!list)
        return;
    for (CSprite* sprite : {&m_thumbSprite, m_trackSprite.get()}) {
        if (!sprite)
            continue;
        const DWORD group = static_cast<DWORD>(m_id);
        sprite->DetachFromList();
        list->Insert(sprite, static_cast<uint32_t>(m_priority), group);
    }
    if (m_arrow1)
        m_arrow1->MoveToDisplayList(list);
    if (m_arrow2)
        m_arrow2->MoveToDisplayList(list);
    m_list = list;
}

int CScrollControl::CreateFromFile(CDrawList* list, int priority, int x, int y, int thumbX, int thumbY,
                                   const char* thumbFile, int thumbCap1, int thumbCap2, const char* trackFile,
                                   int trackCap1, int trackCap2, const char* arrow1File, const char* arrow2File,
                                   bool fourCells, bool vertical, int blendMode, int alpha, int keyA, int keyB, int id)
{
    if (!list || !thumbFile)
        return 1;
    Release();
    m_vertical = vertical ? 1 : 0;
    m_drawn = 0;
    m_thumbCells = m_trackCells = fourCells ? 4 : 3;
    m_blendMode = blendMode;
    m_alpha = alpha;
    auto key = [keyA, keyB](CImage& image) {
        if (keyB >= 0)
            image.SetColorKeyAt(keyA, keyB);
        else if (keyA != -1)
            image.SetColorKeyRgb(static_cast<BYTE>(keyA >> 16), static_cast<BYTE>(keyA >> 8), static_cast<BYTE>(keyA));
    };
    // Caps that leave no piece between them could never be tiled.
    m_thumbSource = std::make_unique<CImage>();
    if (m_thumbSource->Load(thumbFile, nullptr, 0, 0) != 0 || thumbCap1 < 0 || thumbCap2 < 0)
        return Fail(2);
    const int thumbAlong = vertical ? m_thumbSource->GetHeight() : m_thumbSource->GetWidth();
    if (thumbCap1 + thumbCap2 >= thumbAlong)
        return Fail(2);
    key(*m_thumbSource);
    m_thumbCap1 = thumbCap1;
    m_thumbCap2 = thumbCap2;
    m_thumbFile = thumbFile;
    if (m_thumbImage.CopyFrom(m_thumbSource.get(), 0) != 0)
        return Fail(2);
    m_list = list;
    m_priority = priority;
    m_id = id;
    if (trackFile) {
        m_trackSource = std::make_unique<CImage>();
        if (m_trackSource->Load(trackFile, nullptr, 0, 0) != 0 || trackCap1 < 0 || trackCap2 < 0)
            return Fail(3);
        const int along = vertical ? m_trackSource->GetHeight() : m_trackSource->GetWidth();
        if (trackCap1 + trackCap2 >= along)
            return Fail(3);
        key(*m_trackSource);
        m_trackCap1 = trackCap1;
        m_trackCap2 = trackCap2;
        m_trackFile = trackFile;
        m_trackImage = std::make_unique<CImage>();
        m_trackImage->CopyFrom(m_trackSource.get(), 0);
        m_trackSprite = std::make_unique<CSprite>();
        m_trackSprite->SetImage(m_trackImage.get(), nullptr, 0, 0);
        m_trackSprite->SetBlendMode(static_cast<BYTE>(blendMode));
        m_trackSprite->SetAlpha(static_cast<BYTE>(alpha));
        const int cell = (vertical ? m_trackImage->GetWidth() : m_trackImage->GetHeight()) / m_trackCells;
        m_trackW = vertical ? cell : m_trackImage->GetWidth();
        m_trackH = vertical ? m_trackImage->GetHeight() : cell;
    }
    const char* arrows[2] = {arrow1File, arrow2File};
    for (int i = 0; i < 2; ++i) {
        if (!arrows[i])
            continue;
        auto arrow = std::make_unique<CArrowButton>(this, static_cast<uint8_t>((vertical ? 0 : 2) + i), 0);
        if (arrow->CreateFromFile(list, priority, arrows[i], fourCells, true, x, y, blendMode, alpha, keyA, keyB, id) !=
            0)
            return Fail(4 + i);
        (i == 0 ? m_arrow1 : m_arrow2) = std::move(arrow);
    }
    const int a1 = ArrowLength(m_arrow1.get());
    m_thumbX = thumbX + (vertical ? 0 : a1);
    m_thumbY = thumbY + (vertical ? a1 : 0);
    m_thumbSprite.SetImage(&m_thumbImage, nullptr, 0, 0);
    m_thumbSprite.SetBlendMode(static_cast<BYTE>(blendMode));
    m_thumbSprite.SetAlpha(static_cast<BYTE>(alpha));
    m_thumbSprite.SetVisible(false);
    m_x = x;
    m_y = y;
    SetPriority(priority, id, true);
    SetPosition(x, y);
    return 0;
}

int CScrollControl::Create(CDrawList* list, int priority, int x, int y, bool vertical, int thickness,
                           uint32_t baseColor, uint32_t trackColor, uint32_t highlightTint, uint32_t pressedTint,
                           uint32_t arrowColor, int id)
{
    if (!list || thickness < 8 || thickness > 4096)
        return 1;
    Release();
    m_vertical = vertical ? 1 : 0;
    m_drawn = 1;
    m_thickness = thickness;
    m_thumbCells = 3;
    m_trackCells = 1;
    m_blendMode = 0;
    // The thumb: three bevelled cells of thickness x 4; one row at the start, two at the end are caps.
    m_thumbSource = std::make_unique<CImage>();
    CImage& t = *m_thumbSource;
    const int w = vertical ? 3 * thickness : 4, h = vertical ? 4 : 3 * thickness;
    if (t.Create(w, h, 32, 0) != 0)
        return Fail(2);
    const uint32_t base = baseColor & 0xFFFFFF;
    t.FillRect32(0xFF000000u | base, nullptr);
    const DWORD light = 0xFF000000u | LightShade(base), dark1 = 0xFF000000u | ShiftShade(base, 1),
                dark2 = 0xFF000000u | ShiftShade(base, 2);
    for (int c = 0; c < 3; ++c) {
        // A cell in its own coordinates: u across the axis, v along it (4 long).
        auto fill = [&](int u, int v, int du, int dv, DWORD value) {
            if (vertical)
                t.FillRect32XYWH(c * thickness + u, v, du, dv, value);
            else
                t.FillRect32XYWH(v, c * thickness + u, dv, du, value);
        };
        const uint32_t tint = c == 1 ? highlightTint : c == 2 ? pressedTint : 0;
        if (tint >> 24) {
            const RECT interior = vertical ? RECT{c * thickness + 1, 1, c * thickness + thickness - 2, 2}
                                           : RECT{1, c * thickness + 1, 2, c * thickness + thickness - 2};
            FillRectAlpha(t, static_cast<BYTE>(tint >> 16), static_cast<BYTE>(tint >> 8), static_cast<BYTE>(tint),
                          static_cast<BYTE>(tint >> 24), &interior);
        }
        fill(0, 0, thickness, 1, light);         // outer top
        fill(0, 0, 1, 4, light);                 // outer left
        fill(0, 3, thickness, 1, dark2);         // outer bottom
        fill(thickness - 1, 0, 1, 4, dark2);     // outer right
        fill(1, 2, thickness - 2, 1, dark1);     // inner bottom
        fill(thickness - 2, 1, 1, 2, dark1);     // inner right
    }
    m_thumbCap1 = 1;
    m_thumbCap2 = 2;
    m_trackSource = std::make_unique<CImage>();
    if (m_trackSource->Create(vertical ? thickness : 1, vertical ? 1 : thickness, 32, 0) != 0)
        return Fail(3);
    m_trackSource->FillRect32(0xFF000000u | (trackColor & 0xFFFFFF), nullptr);
    m_trackCap1 = m_trackCap2 = 0;
    m_list = list;
    m_priority = priority;
    m_id = id;
    for (int i = 0; i < 2; ++i) {
        auto arrow = std::make_unique<CArrowButton>(this, static_cast<uint8_t>((vertical ? 0 : 2) + i), arrowColor);
        arrow->SetFaceColor(base);
        arrow->SetHighlightColor(highlightTint);
        if (arrow->CreateDrawn(list, priority, "", nullptr, x, y, thickness, thickness, true, id) != 0)
            return Fail(4 + i);
        (i == 0 ? m_arrow1 : m_arrow2) = std::move(arrow);
    }
    m_thumbX = vertical ? 0 : thickness;
    m_thumbY = vertical ? thickness : 0;
    if (vertical)
        m_trackW = thickness;
    else
        m_trackH = thickness;
    m_thumbSprite.SetVisible(false);
    m_x = x;
    m_y = y;
    m_list->Insert(&m_thumbSprite, static_cast<uint32_t>(priority), static_cast<DWORD>(id));
    SetPriority(priority, id, true);
    SetPosition(x, y);
    return 0;
}

void CScrollControl::OnMouseMove(int, int)
{
    if (m_partState != 0)
        return;
    SetPartState(0, 1);
    Sound(m_enterSound, m_enterNumber, kSoundDefaultEnter);
}

void CScrollControl::OnMouseLeave()
{
    if (m_dragging) {
        m_dragging = 0;
        if (CControlContainer* form = GetContainer())
            form->SetPointerLock(false);
    }
    if (m_partState != 1 && m_partState != 2)
        return;
    SetPartState(0, 0);
    Sound(m_leaveSound, m_leaveNumber, kSoundDefaultLeave);
}

void CScrollControl::OnSetFocus(CControl*, bool)
{
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        const int a1 = ArrowLength(m_arrow1.get());
        const int left = m_vertical ? m_x : m_x + a1, top = m_vertical ? m_y + a1 : m_y;
        form->SetCursorPos(left + m_trackW / 2, top + m_trackH / 2);
        return;
    }
    if (m_partState == 0) {
        SetPartState(0, 1);
        Sound(m_enterSound, m_enterNumber, kSoundDefaultEnter);
    }
    if (mode == 2)
        form->ParkPointer();
}

void CScrollControl::OnKillFocus(CControl*)
{
    if (m_partState == 1 || m_partState == 2)
        SetPartState(0, 0);
}

bool CScrollControl::OnMouseInput(int x, int y, CInputSource* mouse)
{
    if (!mouse)
        return false;
    CControlContainer* form = GetContainer();
    const uint32_t now = TimerNow();
    const int pos = m_vertical ? y : x;
    const int start = m_vertical ? m_thumbY : m_thumbX;
    auto settle = [&]() {
        int cx = -1, cy = -1;
        if (form)
            form->GetCursorPos(&cx, &cy);
        SetPartState(0, HitPart(cx, cy) ? 1 : 0);
    };
    if (m_partState == 1 && mouse->IsPushed(0) && SetUp()) {
        m_anchor = pos;
        if (pos < start + m_offset)
            m_pageDirection = -1;
        else if (pos < start + m_offset + m_thumbLength)
            m_pageDirection = 0;
        else
            m_pageDirection = 1;
        Sound(m_activateSound, m_activateNumber, kSoundDefaultActivate);
        if (m_clickMode == 0) {
            if (m_pageDirection == 0) {
                m_dragging = 1;
                if (form)
                    form->SetPointerLock(true);
            } else {
                if (SetThumbOffset(m_offset + m_thumbLength * m_pageDirection) != 0)
                    return false;
                m_repeat = now + kFirstRepeatMs;
            }
        } else {
            const bool onThumb = m_pageDirection == 0;
            SetThumbOffset(pos - start - m_thumbLength / 2);
            if (m_clickMode == 1 && !onThumb)
                return true;
            m_pageDirection = 0;
            m_dragging = 1;
            if (form)
                form->SetPointerLock(true);
        }
        SetPartState(0, 2);
        return true;
    }
    if (m_partState == 2 && !mouse->IsDown(0)) {
        if (m_dragging) {
            m_dragging = 0;
            if (form) {
                form->SetPointerLock(false);
                form->ForgetPointer();
            }
        }
        settle();
        return true;
    }
    if (m_partState == 2) {
        if (m_pageDirection == 0) {
            if (SetThumbOffset(m_offset - m_anchor + pos) == 0)
                m_anchor = pos;
        } else if (Due(now, m_repeat)) {
            SetThumbOffset(m_offset + m_thumbLength * m_pageDirection);
            const bool beyond = m_pageDirection < 0 ? pos < start + m_offset
                                                    : pos >= start + m_offset + m_thumbLength;
            if (beyond) {
                Sound(m_activateSound, m_activateNumber, kSoundDefaultActivate);
                m_repeat = now + kRepeatMs;
            } else {
                settle();
            }
        }
        return true;
    }
    if (mouse->IsPushed(3)) {
        StepBy(false);
        return true;
    }
    if (mouse->IsPushed(4)) {
        StepBy(true);
        return true;
    }
    return false;
}

bool CScrollControl::OnKeyInput(CActionMap* actions)
{
    if (!actions)
        return false;
    const uint32_t back = m_vertical ? kActionUp : kActionLeft, forward = m_vertical ? kActionDown : kActionRight;
    if (actions->IsPushed(back)) {
        StepBy(false);
        return true;
    }
    if (actions->IsPushed(forward)) {
        StepBy(true);
        return true;
    }
    if (m_pageBack && actions->IsPushed(m_pageBack)) {
        SetThumbOffset(m_offset - m_thumbLength);
        return true;
    }
    if (m_pageForward && actions->IsPushed(m_pageForward)) {
        SetThumbOffset(m_offset + m_thumbLength);
        return true;
    }
    CControlContainer* form = GetContainer();
    CInputSource* keys = form ? form->GetKeyboard() : nullptr;
    if (keys && keys->IsPushed(kScanHome)) {
        SetThumbOffset(0);
        return true;
    }
    if (keys && keys->IsPushed(kScanEnd)) {
        SetThumbOffset(m_travel);
        return true;
    }
    return false;
}
