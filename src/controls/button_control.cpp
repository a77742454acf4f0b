#include "controls/button_control.h"

#include "controls/control_container.h"
#include "drawing/glyph_font.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "platform/timer_resolution.h"
#include "raster/fill_ops.h"

// --- CButtonControlBase ---

CButtonControlBase::~CButtonControlBase() = default;

bool CButtonControlBase::SetEnabled(bool enabled)
{
    if (!CControl::SetEnabled(enabled))
        return false;
    SetState(enabled ? kButtonNormal : kButtonDisabled);
    return true;
}

bool CButtonControlBase::HitTest(int x, int y)
{
    if (m_rectangularHit)
        return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(m_frameWidth) &&
               static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(m_frameHeight);
    return PixelHitTest(x, y);
}

void CButtonControlBase::Enter()
{
    if (m_state != kButtonNormal)
        return;
    SetState(kButtonHover);
    FireEnterEvent(GetContainer(), m_command.get());
}

void CButtonControlBase::OnMouseMove(int, int) { Enter(); }

void CButtonControlBase::OnMouseLeave()
{
    if (m_state != kButtonHover && m_state != kButtonPressed)
        return;
    SetState(kButtonNormal);
    FireLeaveEvent(GetContainer(), m_command.get(), true);
}

bool CButtonControlBase::OnMouseInput(int, int, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (m_state == kButtonHover && mouse->IsPushed(0)) {
        SetState(kButtonPressed);
        m_repeatDeadline = 0;
        return true;
    }
    if (m_state == kButtonPressed && m_repeatDeadline == 0 && !mouse->IsDown(0)) {
        SetState(kButtonHover);
        FireClick();
        return true;
    }
    return false;
}

void CButtonControlBase::OnKillFocus(CControl*)
{
    if (m_state != kButtonHover && m_state != kButtonPressed)
        return;
    SetState(kButtonNormal);
    FireLeaveEvent(GetContainer(), m_command.get(), false);
}

bool CButtonControlBase::OnKeyInput(CActionMap* actions)
{
    const uint32_t now = TimerNow();
    if (m_state == kButtonHover) {
        m_repeatDeadline = 0;
        if (!actions || !actions->IsPushed(kActionDecide))
            return false;
        if (!m_hasPressedFrame) {
            FireClick();
        } else {
            SetState(kButtonPressed);
            m_repeatDeadline = now + kKeyPressMs;
        }
        return true;
    }
    if (m_state == kButtonPressed) {
        // The deadline is compared as an elapsed time, so a wrapping clock still fires.
        if (m_repeatDeadline != 0 && static_cast<int32_t>(now - m_repeatDeadline) > 0) {
            SetState(kButtonHover);
            FireClick();
            m_repeatDeadline = 0;
        }
        return true;
    }
    m_repeatDeadline = 0;
    return false;
}

void CButtonControlBase::FireClick() { FireActivateEvent(GetContainer(), m_command.get(), m_userValue); }

// --- CButtonControl ---

CButtonControl::~CButtonControl()
{
    Release();
    DeleteEvents();
}

int CButtonControl::SetPosition(int x, int y)
{
    m_face.m_sprite.SetPosition(x, y);
    return 0;
}

void CButtonControl::SetVisible(bool visible)
{
    if (!visible)
        DropFocusAndCapture();
    m_face.m_sprite.SetVisible(visible);
}

int CButtonControl::SetPriority(int priority, int group, bool keep)
{
    const int result = m_face.SetPriority(priority, group, keep);
    if (result == 0)
        m_id = group;
    return result;
}

int CButtonControl::SetAlpha(int alpha) { return m_face.m_sprite.SetAlpha(static_cast<BYTE>(alpha)); }

void CButtonControl::OnSetFocus(CControl*, bool)
{
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        form->SetCursorPos(GetX() + m_frameWidth / 2, GetY() + m_frameHeight / 2);
        return;
    }
    Enter();
    if (mode == 2)
        form->ParkPointer();
}

int CButtonControl::SetState(int state)
{
    if (state == m_state)
        return 0;
    m_state = static_cast<uint8_t>(state);
    int column = 0;
    if (state == kButtonNormal || state == kButtonHover)
        column = state;
    else if (state == kButtonPressed)
        column = m_hasPressedFrame ? 2 : 1;
    else if (state == kButtonDisabled)
        column = m_hasDisabledFrame ? (m_hasPressedFrame ? 3 : 2) : 0;
    m_face.ShowColumn(m_frameWidth, column);
    return 0;
}

bool CButtonControl::PixelHitTest(int x, int y) { return m_face.m_sprite.HitTest(x, y, true); }

void CButtonControl::Release(bool keepPixels)
{
    m_face.Release(keepPixels);
    m_label.clear();
    m_fileName.clear();
    m_font = nullptr;
    m_frameWidth = 0;
    m_state = kButtonNormal;
}

int CButtonControl::ColumnCount() const { return (m_hasDisabledFrame ? 4 : 3) - (m_hasPressedFrame ? 0 : 1); }

int CButtonControl::FinishPictureButton(CDrawList* list, int priority, int x, int y, int blendMode, int alpha,
                                        int group)
{
    CImage* picture = m_face.Picture();
    m_frameWidth = picture->GetWidth() / ColumnCount();
    m_frameHeight = picture->GetHeight();
    m_blendMode = blendMode;
    m_alphaArg = alpha;
    m_face.m_list = list;
    if (m_frameWidth <= 0 || m_face.ShowFirstColumn(m_frameWidth, x, y, blendMode, alpha) != 0)
        return 2;
    SetPriority(priority, group, true);
    if (!m_enabled)
        SetState(kButtonDisabled);
    return 0;
}

int CButtonControl::CreateFromImage(CDrawList* list, int priority, CImage* image, bool hasDisabledFrame,
                                    bool hasPressedFrame, int x, int y, int blendMode, int alpha, int group)
{
    Release();
    if (!list || !image || !image->GetBits())
        return 1;
    m_hasDisabledFrame = hasDisabledFrame ? 1 : 0;
    m_hasPressedFrame = hasPressedFrame ? 1 : 0;
    m_face.BorrowPicture(image, blendMode, &m_rectangularHit);
    const int result = FinishPictureButton(list, priority, x, y, blendMode, alpha, group);
    if (result != 0)
        Release();
    return result;
}

int CButtonControl::CreateFromFile(CDrawList* list, int priority, const char* file, bool hasDisabledFrame,
                                   bool hasPressedFrame, int x, int y, int blendMode, int alpha, int first,
                                   int second, int group)
{
    Release();
    if (!list || !file)
        return 1;
    m_hasDisabledFrame = hasDisabledFrame ? 1 : 0;
    m_hasPressedFrame = hasPressedFrame ? 1 : 0;
    int result = m_face.LoadPicture(file, first, second, blendMode, &m_rectangularHit);
    if (result == 0)
        result = FinishPictureButton(list, priority, x, y, blendMode, alpha, group);
    if (result != 0) {
        Release();
        return result;
    }
    m_firstTransparency = first;
    m_secondTransparency = second;
    m_fileName = file;
    return 0;
}

int CButtonControl::ReloadImage(const char* file)
{
    if (!file)
        return 1;
    const std::string name = file;  // file may be this button's own name, which Release frees
    return CreateFromFile(m_face.m_list, m_face.m_priority, name.c_str(), m_hasDisabledFrame != 0,
                          m_hasPressedFrame != 0, GetX(), GetY(), m_blendMode, m_alphaArg, m_firstTransparency,
                          m_secondTransparency, m_id) == 0
               ? 0
               : 2;
}

int CButtonControl::SetLabel(const char* text)
{
    if (!text)
        return 1;
    const std::string label = text;
    return CreateDrawn(m_face.m_list, m_face.m_priority, label.c_str(), m_font, GetX(), GetY(), m_frameWidth,
                       m_frameHeight, m_hasDisabledFrame != 0, m_id) == 0
               ? 0
               : 2;
}

// The light shade: c x 3 up to a third of full, else two thirds of the way to white.
uint32_t LightShade(uint32_t color)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = color >> shift & 255;
        out |= (c <= 255 / 3 ? c * 3 : c + (255 - c) * 2 / 3) << shift;
    }
    return out;
}
uint32_t ShiftShade(uint32_t color, int bits)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((color >> shift & 255) >> bits) << shift;
    return out;
}

int CButtonControl::DrawColumns(int width, int height, int labelX, int labelY, int columns)
{
    CImage& image = m_face.m_image;
    // Every pixel of the columns is drawn below.
    if (image.Create(columns * width, height, 32, kImageUncleared) != 0)
        return 2;
    const RECT face{1, 1, width - 2, height - 2};
    image.FillRect32(m_faceColor, &face);
    if (m_font)
        m_font->DrawString(&image, labelX, labelY, m_label.c_str(), nullptr, nullptr);
    else
        DrawFace(&image, face, false);
    const uint32_t light = LightShade(m_faceColor);
    const uint32_t half = ShiftShade(m_faceColor, 1);
    const uint32_t quarter = ShiftShade(m_faceColor, 2);
    const BYTE hr = static_cast<BYTE>(m_highlightColor >> 16);
    const BYTE hg = static_cast<BYTE>(m_highlightColor >> 8);
    const BYTE hb = static_cast<BYTE>(m_highlightColor);
    const BYTE ha = static_cast<BYTE>(m_highlightColor >> 24);
    auto fill = [&image](LONG l, LONG t, LONG r, LONG b, uint32_t value) {
        const RECT rect{l, t, r, b};
        image.FillRect32(value, &rect);
    };
    for (int i = 0; i < columns; ++i) {
        const int o = i * width;
        if (i == 1) {
            // The hover column starts as the first column's face, so its label shows too.
            image.Copy(&image, o + 1, 1, &face, false);
            const RECT glow{o + 2, 2, o + width - 3, height - 3};
            FillRectAlpha(image, hr, hg, hb, ha, &glow);
        } else if (i == 2) {
            const RECT shifted{1, 1, width - 3, height - 3};
            image.Copy(&image, o + 2, 2, &shifted, false);
            fill(o + 1, 1, o + width - 1, 2, half);
            fill(o + 1, 2, o + 2, height - 1, half);
            const RECT glow{o + 3, 3, o + width - 3, height - 3};
            FillRectAlpha(image, hr, hg, hb, ha, &glow);
        } else if (i == 3) {
            fill(o + 1, 1, o + width - 2, height - 2, m_faceColor);
            const RECT columnFace{o + 1, 1, o + width - 2, height - 2};
            DrawFace(&image, columnFace, true);
            if (m_font) {
                const uint8_t color[3] = {m_font->m_textColor[0], m_font->m_textColor[1], m_font->m_textColor[2]};
                const uint8_t effect = m_font->m_effectMode;
                const uint8_t effectColor[3] = {m_font->m_effectColor[0], m_font->m_effectColor[1],
                                                m_font->m_effectColor[2]};
                const int32_t sx = m_font->m_shadowX;
                const int32_t sy = m_font->m_shadowY;
                m_font->SetTextColor(0x80, 0x80, 0x80);
                m_font->SetEffect(1, 255, 255, 255);
                m_font->SetShadowOffset(1, 1);
                m_font->DrawString(&image, o + labelX, labelY, m_label.c_str(), nullptr, nullptr);
                m_font->SetTextColor(color[0], color[1], color[2]);
                m_font->SetEffect(effect, effectColor[0], effectColor[1], effectColor[2]);
                m_font->SetShadowOffset(sx, sy);
            }
        }
        const bool pressed = i == 2;
        fill(o, 0, o + width - 1, 1, pressed ? 0 : light);
        fill(o, 1, o + 1, height - 1, pressed ? 0 : light);
        fill(o, height - 1, o + width, height, pressed ? 0 : quarter);
        fill(o + width - 1, 0, o + width, height - 1, pressed ? 0 : quarter);
        fill(o + 1, height - 2, o + width - 1, height - 1, half);
        fill(o + width - 2, 1, o + width - 1, height - 2, half);
    }
    return 0;
}

int CButtonControl::CreateDrawn(CDrawList* list, int priority, const char* label, CGlyphFont* font, int x, int y,
                                int width, int height, bool hasDisabledFrame, int group)
{
    const std::string text = label ? label : "";  // label may be this button's own, which Release frees
    Release(true);  // a new picture of the same size is drawn into the old one's pixels
    if (!list) {
        Release();
        return 1;
    }
    int labelX = 0;
    int labelY = 0;
    if (font) {
        SIZE extent{0, 0};
        font->MeasureString(text.c_str(), &extent, nullptr, nullptr, 0, nullptr);
        if (width == 0)
            width = extent.cx + 8;
        if (height == 0)
            height = extent.cy + 8;
        labelX = (width - extent.cx) / 2;
        labelY = (height - extent.cy) / 2;
    }
    if (!font && (width < 8 || height < 8)) {
        Release();
        return 1;
    }
    m_hasDisabledFrame = hasDisabledFrame ? 1 : 0;
    m_hasPressedFrame = 1;
    m_font = font;
    m_label = text;
    int result = DrawColumns(width, height, labelX, labelY, hasDisabledFrame ? 4 : 3);
    if (result == 0) {
        m_face.m_list = list;
        const BYTE faceAlpha = static_cast<BYTE>(m_faceColor >> 24);
        result = m_face.ShowFirstColumn(width, x, y, 0, faceAlpha != 0 && faceAlpha != 0xFF ? faceAlpha : 255);
    }
    if (result != 0) {
        Release();
        return result;
    }
    m_frameWidth = width;
    m_frameHeight = height;
    SetPriority(priority, group, true);
    m_rectangularHit = 1;
    if (!m_enabled)
        SetState(kButtonDisabled);
    return 0;
}
