// CTriangleObject (scene object type 8): one triangle of three points relative to its position,
// drawn by the screen's general Direct3D device as a list of three coloured vertices, opaque or
// blended, optionally scaled (16.16) from the points' top-left.
#pragma once

#include <array>
#include <cstdint>

#include "display/color_vertices.h"
#include "display/task.h"

class CTriangleObject : public CTask {
public:
    using Vertex = color_vertices::Vertex;

    CTriangleObject();

    // Points, colour (alpha 255: opaque, else blended at that alpha), scale 1.0, position: 0.
    int Init(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, DWORD argb, LONG x, LONG y);

    uint8_t GetType() const override { return kSceneTriangle; }
    LONG GetX() const override { return m_x; }
    LONG GetY() const override { return m_y; }
    // Re-lays the vertices: point + position, or with a scale other than 1.0 each point's offset
    // from the points' least x and y, scaled, + position.
    void SetPosition(LONG x, LONG y) override;
    // A triangle has no size of its own: only the position applies.
    void SetSize(LONG, LONG) override {}
    void SetSizeAndPosition(LONG, LONG, LONG x, LONG y) override { SetPosition(x, y); }
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    // Inside the vertices' bounding rectangle.
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    bool GetBounds(RECT* out) override { return color_vertices::Bounds(m_vertices.data(), 3, out); }
    // 0 disabled or drawn; 1 no context; 2 the context has no Direct3D device; 4 DrawPrimitive failed.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }

    // Index 0..2 (false outside); the vertices are re-laid.
    bool SetPoint(int index, LONG x, LONG y);
    void SetPoints(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2);
    // 16.16, 0x10000 = 1.0.
    void SetScale(int32_t scale);
    // Blend triple (1, SRCALPHA, additive ? ONE : INVSRCALPHA) and every vertex's alpha (0..255).
    void SetBlend(bool additive, LONG alpha);
    void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
    void SetRgb(DWORD rgb) { color_vertices::SetRgb(m_vertices.data(), 3, rgb); }
    void SetVertexRgb(int index, DWORD rgb);
    void SetAlpha(LONG alpha) { color_vertices::SetAlpha(m_vertices.data(), 3, alpha); }
    void SetVertexAlpha(int index, LONG alpha);

    const std::array<Vertex, 3>& Vertices() const { return m_vertices; }
    const uint8_t* Blend() const { return m_blend; }

private:
    uint8_t m_blend[3];
    std::array<Vertex, 3> m_vertices{};
    LONG m_px[3] = {}, m_py[3] = {};
    int32_t m_scale = 0x10000;
    LONG m_x = 0, m_y = 0;
};
