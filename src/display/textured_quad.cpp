// The textured quad scene object; see textured_quad.h.
#include "display/textured_quad.h"

#include <algorithm>
#include <cmath>

#include "display/dd_keyed_surface.h"
#include "display/device_image.h"
#include "display/color_vertices.h"
#include "display/screen.h"
#include "raster/device_surface.h"
#include "raster/dib_surface.h"

namespace {

CDeviceImage* ImageOf(CSurface* surface)
{
    auto* image = dynamic_cast<CDeviceImage*>(surface);
    return image != nullptr && image->GetTextureSurface() != nullptr ? image : nullptr;
}

} // namespace

CTexturedQuad::~CTexturedQuad()
{
    if (m_surface != nullptr)
        RemoveSurfaceBorrower(m_surface, this);
}

void CTexturedQuad::Borrow(CSurface* surface)
{
    if (surface == m_surface)
        return;
    if (m_surface != nullptr)
        RemoveSurfaceBorrower(m_surface, this);
    m_surface = surface;
    m_image = surface != nullptr ? dynamic_cast<CDeviceImage*>(surface) : nullptr;
    if (surface != nullptr)
        AddSurfaceBorrower(surface, this);
}

void CTexturedQuad::OnSurfaceGone(CSurface* surface)
{
    if (surface == m_surface) {
        m_surface = nullptr;
        m_image = nullptr;
    }
}

void CTexturedQuad::Reset()
{
    Borrow(nullptr);
    m_src = RECT{0, 0, 0, 0};
    m_offsetX = m_offsetY = m_x = m_y = m_w = m_h = 0;
    for (Vertex& v : m_vertices)
        v = Vertex{0, 0, 0, 1, 0xFFFFFFFF, 0, 0};
}

int CTexturedQuad::Init(CSurface* texture, LONG x, LONG y, const RECT* srcRect)
{
    CDeviceImage* image = ImageOf(texture);
    if (image == nullptr)
        return 1;
    Reset();
    Borrow(texture);
    auto* device = dynamic_cast<CDeviceSurface*>(texture);
    if (device != nullptr && device->GetPixelFormatCode() < 0x40)
        SetBlendStates(0, D3DBLEND_ONE, D3DBLEND_ZERO);
    else
        SetBlendStates(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    SetColorStage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetAlphaStage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    const RECT whole{0, 0, image->GetSourceWidth(), image->GetSourceHeight()};
    m_src = whole;
    if (srcRect != nullptr) {
        m_src = *srcRect;
        if (!IntersectClipRect(&m_src, &whole))
            m_src = RECT{0, 0, 0, 0};
    }
    TexCoords();
    SetPosition(x, y);
    return 0;
}

int CTexturedQuad::SetSurface(CSurface* texture)
{
    if (ImageOf(texture) == nullptr)
        return 1;
    Borrow(texture);
    return 0;
}

bool CTexturedQuad::SetPositionRect(LONG offsetX, LONG offsetY, const RECT* srcRect)
{
    if (m_image == nullptr)
        return false;
    if (srcRect != nullptr) {
        const RECT whole{0, 0, m_image->GetSourceWidth(), m_image->GetSourceHeight()};
        m_src = *srcRect;
        if (!IntersectClipRect(&m_src, &whole))
            m_src = RECT{0, 0, 0, 0};
        Lay();
    }
    m_offsetX = offsetX;
    m_offsetY = offsetY;
    TexCoords();
    return true;
}

void CTexturedQuad::TexCoords()
{
    if (m_image == nullptr)
        return;
    auto moved = [](LONG v, LONG by) {
        return static_cast<LONG>(std::clamp<int64_t>(static_cast<int64_t>(v) + by, INT32_MIN, INT32_MAX));
    };
    const float left = static_cast<float>(m_image->GetTexU(moved(m_src.left, m_offsetX)));
    const float right = static_cast<float>(m_image->GetTexU(moved(m_src.right, m_offsetX)));
    const float top = static_cast<float>(m_image->GetTexV(moved(m_src.top, m_offsetY)));
    const float bottom = static_cast<float>(m_image->GetTexV(moved(m_src.bottom, m_offsetY)));
    m_vertices[0].tu = m_vertices[2].tu = left;
    m_vertices[1].tu = m_vertices[3].tu = right;
    m_vertices[0].tv = m_vertices[1].tv = top;
    m_vertices[2].tv = m_vertices[3].tv = bottom;
}

void CTexturedQuad::Lay()
{
    const float left = static_cast<float>(m_x), top = static_cast<float>(m_y);
    const float right = static_cast<float>(static_cast<int64_t>(m_x) + ShownWidth());
    const float bottom = static_cast<float>(static_cast<int64_t>(m_y) + ShownHeight());
    m_vertices[0].x = m_vertices[2].x = left;
    m_vertices[1].x = m_vertices[3].x = right;
    m_vertices[0].y = m_vertices[1].y = top;
    m_vertices[2].y = m_vertices[3].y = bottom;
}

void CTexturedQuad::SetPosition(LONG x, LONG y)
{
    m_x = x;
    m_y = y;
    Lay();
}

void CTexturedQuad::SetSize(LONG width, LONG height)
{
    m_w = width;
    m_h = height;
    Lay();
}

void CTexturedQuad::SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    m_w = width;
    m_h = height;
    SetPosition(x, y);
}

bool CTexturedQuad::GetBounds(RECT* out)
{
    if (out == nullptr || m_surface == nullptr)
        return false;
    float minX = m_vertices[0].x, maxX = minX, minY = m_vertices[0].y, maxY = minY;
    for (const Vertex& v : m_vertices) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    auto toLong = [](double f) { return static_cast<LONG>(std::clamp(f, -2147483648.0, 2147483647.0)); };
    *out = RECT{toLong(std::floor(minX)), toLong(std::floor(minY)), toLong(std::ceil(maxX)), toLong(std::ceil(maxY))};
    return out->left < out->right && out->top < out->bottom;
}

bool CTexturedQuad::HitTest(LONG x, LONG y, bool exact)
{
    RECT r;
    if (!GetBounds(&r) || x < r.left || x >= r.right || y < r.top || y >= r.bottom)
        return false;
    if (!exact || m_surface->GetKind() != kSurfaceFileImage || m_surface->GetColorKey() == kNoColorKey)
        return true;
    int64_t dx = static_cast<int64_t>(x) - m_x, dy = static_cast<int64_t>(y) - m_y;
    if (m_w != 0)
        dx = dx * (m_src.right - m_src.left) / m_w;
    if (m_h != 0)
        dy = dy * (m_src.bottom - m_src.top) / m_h;
    const auto* image = static_cast<const CDDKeyedSurface*>(dynamic_cast<CDeviceSurface*>(m_surface));
    const int64_t pixel = image->GetPixelValue(static_cast<LONG>(dx + m_src.left + m_offsetX),
                                               static_cast<LONG>(dy + m_src.top + m_offsetY));
    return pixel != static_cast<int64_t>(m_surface->GetColorKey());
}

bool CTexturedQuad::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CTexturedQuad::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    if (context == nullptr || m_image == nullptr)
        return 1;
    IDirect3DDevice7* device = context->GetD3DDevice();
    if (device == nullptr)
        return 2;
    if (context->SetTexture(m_image) != 0)
        return 3;
    if (GetList() != nullptr) {
        using Setter = int (CD3DDevice::*)(DWORD);
        static constexpr Setter kSetters[9] = {
            &CD3DDevice::SetAlphaBlendEnable, &CD3DDevice::SetSrcBlend,  &CD3DDevice::SetDestBlend,
            &CD3DDevice::SetColorOp,          &CD3DDevice::SetColorArg1, &CD3DDevice::SetColorArg2,
            &CD3DDevice::SetAlphaOp,          &CD3DDevice::SetAlphaArg1, &CD3DDevice::SetAlphaArg2,
        };
        const uint8_t values[9] = {m_blend[0], m_blend[1], m_blend[2], m_color[0], m_color[1],
                                   m_color[2], m_alpha[0], m_alpha[1], m_alpha[2]};
        for (size_t i = 0; i < 9; ++i)
            if (values[i] != 255)
                (context->*kSetters[i])(values[i]);
    }
    Vertex strip[4] = {m_vertices[0], m_vertices[1], m_vertices[2], m_vertices[3]};
    return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, strip, 4, 0) != DD_OK
               ? 4
               : 0;
}

void CTexturedQuad::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination)
{
    m_blend[0] = enable;
    m_blend[1] = source;
    m_blend[2] = destination;
}

void CTexturedQuad::SetColorStage(uint8_t op, uint8_t arg1, uint8_t arg2)
{
    m_color[0] = op;
    m_color[1] = arg1;
    m_color[2] = arg2;
}

void CTexturedQuad::SetAlphaStage(uint8_t op, uint8_t arg1, uint8_t arg2)
{
    m_alpha[0] = op;
    m_alpha[1] = arg1;
    m_alpha[2] = arg2;
}

void CTexturedQuad::SetBlend(bool additive, LONG alpha, LONG brightness)
{
    // Held to their ranges: brightness outside 0..510 once wrapped into a wrong grey.
    const LONG b = std::clamp<LONG>(brightness, 0, 510);
    SetBlendStates(1, D3DBLEND_SRCALPHA, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    SetAlphaStage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    SetAlpha(alpha);
    DWORD grey;
    if (b < 255) {
        SetColorStage(D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_CURRENT);
        grey = static_cast<DWORD>(255 - b);
    } else {
        SetColorStage(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT);
        grey = static_cast<DWORD>(b - 255);
    }
    SetRgb(grey << 16 | grey << 8 | grey);
}

void CTexturedQuad::SetRgb(DWORD rgb)
{
    color_vertices::SetRgb(m_vertices.data(), m_vertices.size(), rgb);
}

void CTexturedQuad::SetVertexRgb(int index, DWORD rgb)
{
    if (index >= 0 && index < 4)
        color_vertices::SetRgb(&m_vertices[static_cast<size_t>(index)], 1, rgb);
}

void CTexturedQuad::SetAlpha(LONG alpha)
{
    color_vertices::SetAlpha(m_vertices.data(), m_vertices.size(), alpha);
}

void CTexturedQuad::SetVertexAlpha(int index, LONG alpha)
{
    if (index >= 0 && index < 4)
        color_vertices::SetAlpha(&m_vertices[static_cast<size_t>(index)], 1, alpha);
}

void CTexturedQuad::SetCorners(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, LONG x3, LONG y3)
{
    const LONG xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
    for (size_t i = 0; i < 4; ++i) {
        m_vertices[i].x = static_cast<float>(xs[i]);
        m_vertices[i].y = static_cast<float>(ys[i]);
    }
}

void CTexturedQuad::Rotate(int32_t angle, int pivot)
{
    Lay();
    int64_t px = 0, py = 0;
    color_vertices::PivotPoint(pivot, m_x, m_y, ShownWidth(), ShownHeight(), &px, &py);
    color_vertices::Turn(m_vertices.data(), m_vertices.size(), angle, px, py);
}

void CTexturedQuad::SetCursorSourceOrigin(int x, int y)
{
    const RECT moved{x, y, static_cast<LONG>(static_cast<int64_t>(x) + (m_src.right - m_src.left)),
                     static_cast<LONG>(static_cast<int64_t>(y) + (m_src.bottom - m_src.top))};
    SetPositionRect(m_offsetX, m_offsetY, &moved);
}
