// CPrimitiveListObject (scene object type 7): n points (1..65535) drawn by the screen's general
// Direct3D device as one primitive of a stored type (points, line list or strip, triangle list,
// strip or fan) of coloured vertices; the points are the object's own copies or arrays the caller
// lends and keeps alive. Movable, scalable (16.16) and turnable.
#pragma once

#include <cstdint>
#include <memory>

#include "display/color_vertices.h"
#include "display/task.h"

class CPrimitiveListObject : public CTask {
public:
    using Vertex = color_vertices::Vertex;

    CPrimitiveListObject() { Reset(); }

    // 0; 1 a count outside 1..65535, an array missing or no cosine table; 2 no memory (reset).
    int Init(LONG count, LONG* xs, LONG* ys, DWORD argb, uint8_t primitiveType, bool lend);
    // No points, no vertices, opaque, scale 1.0, position 0.
    void Reset();

    uint8_t GetType() const override { return kScenePrimitiveList; }
    LONG GetX() const override { return m_x; }
    LONG GetY() const override { return m_y; }
    // Re-lays the vertices from the points (see color_vertices::Lay).
    void SetPosition(LONG x, LONG y) override;
    // A point list has no size of its own: only the position applies.
    void SetSize(LONG, LONG) override {}
    void SetSizeAndPosition(LONG, LONG, LONG x, LONG y) override { SetPosition(x, y); }
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    bool GetBounds(RECT* out) override { return color_vertices::Bounds(m_vertices.get(), m_count, out); }
    // 0 disabled or drawn; 1 no context or no vertices; 2 the context has no Direct3D device;
    // 4 DrawPrimitive failed.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }

    void SetPrimitiveType(uint8_t type) { m_primitiveType = type; }
    // Point i (false outside) and its vertex re-laid.
    bool SetPoint(int index, LONG x, LONG y);
    // The first two points; false with fewer than two.
    bool SetLine(LONG x0, LONG y0, LONG x1, LONG y1);
    void SetScale(int32_t scale);
    // Re-lays, then turns every vertex (512 steps a turn) about the position plus (0, 0), (w, 0),
    // (0, h), (w, h) or (w / 2, h / 2) of the vertices' bounding box for modes 0..4 (other modes:
    // about the position); false without vertices.
    bool Rotate(int32_t angle, int pivot);
    void SetBlend(bool additive, LONG alpha);
    void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
    void SetRgb(DWORD rgb) { color_vertices::SetRgb(m_vertices.get(), m_count, rgb); }
    void SetVertexRgb(int index, DWORD rgb);
    void SetAlpha(LONG alpha) { color_vertices::SetAlpha(m_vertices.get(), m_count, alpha); }
    void SetVertexAlpha(int index, LONG alpha);

    size_t Count() const { return m_count; }
    const Vertex* Vertices() const { return m_vertices.get(); }
    const uint8_t* Blend() const { return m_blend; }
    uint8_t PrimitiveType() const { return m_primitiveType; }

private:
    size_t m_count = 0;
    LONG* m_xs = nullptr;  // the owned copies or the lent arrays
    LONG* m_ys = nullptr;
    std::unique_ptr<LONG[]> m_ownX, m_ownY;
    std::unique_ptr<Vertex[]> m_vertices;
    uint8_t m_blend[3] = {};
    uint8_t m_primitiveType = 0;
    int32_t m_scale = 0x10000;
    LONG m_x = 0, m_y = 0;
};
