// The transition scene object; see transition_object.h.
#include "display/transition_object.h"

#include <algorithm>
#include <cstdint>

#include "display/dd_image.h"
#include "raster/device_surface.h"
#include "raster/dib_surface.h"
#include "raster/draw_transition.h"

namespace {

IDirectDrawSurface7* DeviceSurfaceOf(CSurface* surface)
{
    auto* device = dynamic_cast<CDeviceSurface*>(surface);
    return device != nullptr ? device->GetDirectDrawSurface() : nullptr;
}

// The frame's target and output rectangle, as the dispatcher reads the screen.
class FrameTarget : public CDisplayTarget {
public:
    FrameTarget(IDirectDrawSurface7* target, const RECT& output) : m_target(target), m_output(output) {}
    IDirectDrawSurface7* GetTargetSurface() const override { return m_target; }
    RECT GetTargetRect() const override { return m_output; }

private:
    IDirectDrawSurface7* m_target;
    RECT m_output;
};

// The dispatcher's code as the object answers it: its failures one higher, and an index outside
// the table (-1, which plus one would read as success) kept as it is.
int StepCode(int32_t code) { return code > 0 ? code + 1 : code; }

} // namespace

CTransitionObject::~CTransitionObject()
{
    Hold(&m_destination, nullptr);
    Hold(&m_source, nullptr);
}

void CTransitionObject::Hold(CSurface** slot, CSurface* surface)
{
    CSurface* old = *slot;
    if (old == surface)
        return;
    *slot = surface;
    // One registration covers a surface held in both slots.
    if (old != nullptr && old != m_destination && old != m_source)
        RemoveSurfaceBorrower(old, this);
    if (surface != nullptr)
        AddSurfaceBorrower(surface, this);
}

void CTransitionObject::OnSurfaceGone(CSurface* surface)
{
    if (surface == m_destination) {
        m_destination = nullptr;
        m_destinationGone = true;
    }
    if (surface == m_source)
        m_source = nullptr;
}

void CTransitionObject::Clear()
{
    Hold(&m_destination, nullptr);
    Hold(&m_source, nullptr);
    m_wipe = m_progress = 0;
    m_x = m_y = m_offsetX = m_offsetY = m_shownX = m_shownY = m_w = m_h = 0;
    m_shown = RECT{0, 0, 0, 0};
    m_destinationGone = false;
}

int CTransitionObject::Init(CSurface* destination, CSurface* source, int32_t wipe, LONG screenX, LONG screenY,
                            int32_t progress, LONG offsetX, LONG offsetY)
{
    if (source == nullptr || DeviceSurfaceOf(source) == nullptr)
        return 1;
    Clear();
    Hold(&m_source, source);
    m_wipe = wipe;
    m_x = screenX;
    m_y = screenY;
    m_progress = progress;
    m_offsetX = offsetX;
    m_offsetY = offsetY;
    if (destination == nullptr)
        return 0;
    if (DeviceSurfaceOf(destination) == nullptr) {
        Clear();
        return 2;
    }
    Hold(&m_destination, destination);
    destination->GetBounds(&m_shown);
    if (DrawStep(progress) != 0) {
        Clear();
        return 3;
    }
    return 0;
}

int CTransitionObject::DrawStep(int32_t progress)
{
    if (m_source == nullptr)
        return 1;
    if (m_destination == nullptr) {
        m_progress = progress;
        return 0;
    }
    if (m_destination->GetKind() == kSurfaceDDImage) {
        auto* image = static_cast<CDDImage*>(dynamic_cast<CDeviceSurface*>(m_destination));
        const DWORD fill = image->GetFillColor();
        if (fill != kNoColorKey)
            image->FillColor(static_cast<BYTE>(fill >> 16), static_cast<BYTE>(fill >> 8), static_cast<BYTE>(fill));
    }
    const int32_t code =
        DrawTransition(m_wipe, m_destination, m_source, progress, m_offsetX, m_offsetY, kTransitionCopy, nullptr);
    if (code != 0)
        return StepCode(code);
    m_progress = progress;
    return 0;
}

int CTransitionObject::OnDeviceRestore()
{
    if (m_destination != nullptr && m_source != nullptr)
        DrawStep(m_progress);
    return 0;
}

int CTransitionObject::SetDestination(CSurface* destination)
{
    if (destination != nullptr && DeviceSurfaceOf(destination) == nullptr)
        return 1;
    Hold(&m_destination, destination);
    m_destinationGone = false;
    m_shown = RECT{0, 0, 0, 0};
    if (destination != nullptr)
        destination->GetBounds(&m_shown);
    return 0;
}

int CTransitionObject::SetSource(CSurface* source)
{
    if (source == nullptr || DeviceSurfaceOf(source) == nullptr)
        return 1;
    Hold(&m_source, source);
    return 0;
}

bool CTransitionObject::SetPositionRect(LONG offsetX, LONG offsetY, const RECT* shown)
{
    if (m_destination == nullptr || DeviceSurfaceOf(m_destination) == nullptr)
        return false;
    if (shown != nullptr) {
        RECT clip;
        m_destination->GetClipRect(&clip);
        m_shown = *shown;
        if (!IntersectClipRect(&m_shown, &clip))
            m_shown = RECT{0, 0, 0, 0};
    }
    m_shownX = offsetX;
    m_shownY = offsetY;
    return true;
}

LONG CTransitionObject::ShownWidth() const
{
    if (m_w != 0)
        return m_w;
    if (m_destination != nullptr)
        return m_shown.right - m_shown.left;
    return m_source != nullptr ? m_source->GetWidth() : 0;
}

LONG CTransitionObject::ShownHeight() const
{
    if (m_h != 0)
        return m_h;
    if (m_destination != nullptr)
        return m_shown.bottom - m_shown.top;
    return m_source != nullptr ? m_source->GetHeight() : 0;
}

bool CTransitionObject::GetBounds(RECT* out)
{
    if (out == nullptr || (m_destination == nullptr && m_source == nullptr))
        return false;
    *out = RECT{m_x, m_y, static_cast<LONG>(static_cast<int64_t>(m_x) + ShownWidth()),
                static_cast<LONG>(static_cast<int64_t>(m_y) + ShownHeight())};
    return out->left < out->right && out->top < out->bottom;
}

bool CTransitionObject::HitTest(LONG x, LONG y, bool)
{
    RECT r;
    return GetBounds(&r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CTransitionObject::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CTransitionObject::Draw(IDirectDrawSurface7* target, const RECT* output, CScreen*)
{
    if (!IsEnabled())
        return 0;
    if (target == nullptr || output == nullptr || m_source == nullptr || DeviceSurfaceOf(m_source) == nullptr ||
        m_destinationGone)
        return 1;
    if (m_destination == nullptr) {
        const FrameTarget screen(target, *output);
        return StepCode(DrawTransition(m_wipe, nullptr, m_source, m_progress, m_x, m_y, kTransitionCopy, &screen));
    }
    IDirectDrawSurface7* source = DeviceSurfaceOf(m_destination);
    if (source == nullptr)
        return 2;
    RECT src = m_shown;
    if (m_shownX != 0 || m_shownY != 0) {
        auto moved = [](LONG v, LONG by) {
            return static_cast<LONG>(std::clamp<int64_t>(static_cast<int64_t>(v) + by, INT32_MIN, INT32_MAX));
        };
        src = RECT{moved(src.left, m_shownX), moved(src.top, m_shownY), moved(src.right, m_shownX),
                   moved(src.bottom, m_shownY)};
    }
    RECT clip;
    m_destination->GetClipRect(&clip);
    if (!IntersectClipRect(&src, &clip))
        return 0;
    const bool keyed = m_destination->GetColorKey() != kNoColorKey;
    RECT dst;
    if (m_w == 0 && m_h == 0) {
        if (ClipBlitRects(m_x, m_y, &src, &dst, output, nullptr) != 0)
            return 0;
        return source == target ||
                       FAILED(target->BltFast(static_cast<DWORD>(dst.left), static_cast<DWORD>(dst.top), source, &src,
                                              keyed ? DDBLTFAST_SRCCOLORKEY : 0))
                   ? 3
                   : 0;
    }
    const SIZE size{m_w != 0 ? m_w : src.right - src.left, m_h != 0 ? m_h : src.bottom - src.top};
    if (ClipBlitRects(m_x, m_y, &src, &dst, output, &size) != 0)
        return 0;
    return source == target || FAILED(target->Blt(&dst, source, &src, keyed ? DDBLT_KEYSRC : 0, nullptr)) ? 2 : 0;
}
