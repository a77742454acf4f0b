// CColorRectObject (scene object type 6): a rectangle of one colour drawn by the screen's general
// Direct3D device as a strip of four pre-transformed coloured vertices, opaque or alpha-blended,
// movable, resizable and turnable about a corner or its centre.
#pragma once

#include <array>
#include <cstdint>

#include "display/task.h"

class CColorRectObject : public CTask {
public:
    CColorRectObject();

    // Size, colour (alpha 255: opaque, else blended at that alpha) and position: 0.
    int Init(LONG width, LONG height, DWORD argb, LONG x, LONG y);

    uint8_t GetType() const override { return kSceneColorRect; }
    LONG GetX() const override { return m_x; }
    LONG GetY() const override { return m_y; }
    // Re-lays the unturned rectangle at the position.
    void SetPosition(LONG x, LONG y) override;
    // The explicit size (0 in a component: the Init size), re-laid.
    void SetSize(LONG width, LONG height) override;
    void SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override;
    // Wraps round as 32-bit positions do, rather than overflowing.
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    // Inside the corners' bounding rectangle.
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    // The corners' bounding rectangle; false when it is empty.
    bool GetBounds(RECT* out) override;
    // 0 disabled or drawn; 1 no context; 2 the context has no Direct3D device; 4 DrawPrimitive
    // failed.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }

    // Blend triple (1, SRCALPHA, additive ? ONE : INVSRCALPHA) and every vertex's alpha (0..255).
    void SetBlend(bool additive, LONG alpha);
    void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
    void SetRgb(DWORD rgb);
    void SetVertexRgb(int index, DWORD rgb);
    void SetAlpha(LONG alpha);
    void SetVertexAlpha(int index, LONG alpha);
    void SetCorners(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, LONG x3, LONG y3);
    // Re-lays the rectangle, then turns its corners by angle (512 steps a turn, positive
    // counter-clockwise on the screen) about the pivot: 0 top-left, 1 top-right, 2 bottom-left,
    // 3 bottom-right, 4 centre; any other mode turns about the position. Nothing turns without
    // the cosine table.
    void Rotate(int32_t angle, int pivot);

    struct Vertex {
        float x, y, z, rhw;
        DWORD diffuse;
    };
    const std::array<Vertex, 4>& Vertices() const { return m_vertices; }
    uint8_t BlendEnable() const { return m_blend[0]; }
    uint8_t SourceBlend() const { return m_blend[1]; }
    uint8_t DestinationBlend() const { return m_blend[2]; }

private:
    void Lay();
    LONG ShownWidth() const { return m_explicitW != 0 ? m_explicitW : m_width; }
    LONG ShownHeight() const { return m_explicitH != 0 ? m_explicitH : m_height; }

    uint8_t m_blend[3];
    std::array<Vertex, 4> m_vertices{};
    LONG m_width = 0, m_height = 0;
    LONG m_x = 0, m_y = 0;
    LONG m_explicitW = 0, m_explicitH = 0;
};
