// The settings sheet's font sample; see font_sample.h.
#include "game/font_sample.h"

namespace {

constexpr int kCheckerCell = 8;
constexpr uint32_t kCheckerDark = 0xCCCCCC, kCheckerLight = 0xFFFFFF;

// `over` at `alpha` over `under`, channel by channel, rounded.
uint32_t Over(uint32_t over, uint32_t under, uint32_t alpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (over >> shift) & 0xFF, b = (under >> shift) & 0xFF;
        out |= ((a * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

} // namespace

int CFontSample::Attach(HWND staticControl)
{
    if (staticControl == nullptr)
        return -1;
    const int attached = m_surface.Attach(staticControl, true);
    if (attached != 0)
        return attached;
    RECT rc{};
    GetClientRect(staticControl, &rc);
    if (m_picture.Create(rc.right - rc.left, rc.bottom - rc.top, 32, 0) != 0)
        return 1;
    m_surface.SetBackgroundImage(&m_picture, 0, 0, false);
    m_surface.SetBackgroundAnchor(0, 0, 0);
    m_font.SetShadowOffset(kShadowOffset, kShadowOffset);
    m_font.SetOutline(m_font.m_outlineStrength, kOutlineWidth);
    return 0;
}

void CFontSample::Show(const FontSampleLook& look)
{
    if (m_picture.GetBits() == nullptr)
        return;
    if (!m_shown || !look.SameFace(m_look))
        m_font.SetFont(kTextHeight, look.bold ? 1 : 0, 0, look.faceSjis.c_str());
    if (!m_shown || !look.SameFace(m_look) || !look.SameEffects(m_look)) {
        m_font.SetAntialias(look.antiAlias ? 2 : 0);
        m_font.SetEffect(look.decoration, 0, 0, 0);
        m_font.SetGradient(look.gradient ? 1 : 0, kGradientTop, kGradientBottom, 1);
    }
    m_look = look;
    m_shown = true;
    Compose();
}

void CFontSample::Compose()
{
    // The two checker colours under the frame colour are worked out once, then filled cell by cell.
    const uint32_t dark = Over(m_look.frameColour, kCheckerDark, m_look.frameOpacity);
    const uint32_t light = Over(m_look.frameColour, kCheckerLight, m_look.frameOpacity);
    const int width = m_picture.GetWidth(), height = m_picture.GetHeight();
    for (int y = 0; y < height; y += kCheckerCell)
        for (int x = 0; x < width; x += kCheckerCell) {
            const uint32_t colour = ((x / kCheckerCell + y / kCheckerCell) & 1) == 0 ? light : dark;
            m_picture.FillRect32XYWH(x, y, kCheckerCell, kCheckerCell, 0xFF000000u | colour);
        }
    m_font.DrawString(&m_picture, kTextX, kTextY, m_look.faceSjis.c_str(), nullptr, nullptr);
    m_surface.Redraw(false);
}
