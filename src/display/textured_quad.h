// CTexturedQuad (scene object type 4): a rectangle of a texture (a file image or text texture)
// drawn by the screen's general Direct3D device as a strip of four pre-transformed textured
// vertices, with its own blend and texture-stage states, coloured and faded per vertex, resizable,
// turnable and brightened or darkened. It borrows the texture: the screen tells it before deleting
// that surface, and it then draws nothing and answers the missing-source code. The mouse can draw
// its software cursor with it.
#pragma once

#include <array>
#include <cstdint>

#include "display/device_image.h"
#include "display/surface_borrowers.h"
#include "display/task.h"
#include "platform/cursor_image.h"


class CTexturedQuad : public CTask, public ISurfaceBorrower, public ICursorImage {
public:
    struct Vertex {
        float x, y, z, rhw;
        DWORD diffuse;
        float tu, tv;
    };

    CTexturedQuad() { Reset(); }
    ~CTexturedQuad() override;

    // 0; 1 the texture is null, not a texture or not created. States from the texture's format
    // (below 0x40 opaque, else alpha-blended); the source rectangle is srcRect cut to the picture
    // (null: the whole picture).
    int Init(CSurface* texture, LONG x, LONG y, const RECT* srcRect);
    // The same checks, then only the texture is replaced.
    int SetSurface(CSurface* texture);
    // False without texture; a given rectangle becomes the source rectangle (cut) and is laid at
    // the position; the offset moves the texture coordinates.
    bool SetPositionRect(LONG offsetX, LONG offsetY, const RECT* srcRect);
    // No texture; offset, position and explicit size 0; diffuse white, alpha 255.
    void Reset();

    uint8_t GetType() const override { return kSceneTexturedQuad; }
    LONG GetX() const override { return m_x; }
    LONG GetY() const override { return m_y; }
    // Re-lays the unturned rectangle at the position.
    void SetPosition(LONG x, LONG y) override;
    // The explicit size (0 in a component: the source rectangle's), re-laid.
    void SetSize(LONG width, LONG height) override;
    void SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override;
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    // In the bounds; exact over a keyed file image: on a pixel that differs from the key.
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    // The corners' bounding rectangle; false without texture or when empty.
    bool GetBounds(RECT* out) override;
    // 0 disabled or drawn; 1 no context or texture; 2 the context has no Direct3D device; 3 the
    // texture could not be set; 4 DrawPrimitive failed.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }
    void OnSurfaceGone(CSurface* surface) override;

    void SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination);
    void SetColorStage(uint8_t op, uint8_t arg1, uint8_t arg2);
    void SetAlphaStage(uint8_t op, uint8_t arg1, uint8_t arg2);
    // Alpha-blended (additively or not) at alpha 0..255, brightness 0 (black) .. 255 (as is) ..
    // 510 (white); values outside are held to those ranges.
    void SetBlend(bool additive, LONG alpha, LONG brightness);
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

    CSurface* GetSurface() const { return m_surface; }
    const RECT& GetSourceRect() const { return m_src; }

    // --- the software cursor's face ---
    int GetCursorType() override { return GetType(); }
    // The texture is made.
    bool IsCursorReady() override { return m_image != nullptr && m_image->GetTextureSurface() != nullptr; }
    RECT GetCursorSourceRect() override { return m_src; }
    void SetCursorEnabled(bool enabled) override { SetEnabled(enabled ? 1 : 0); }
    void SetCursorPosition(int x, int y) override { SetPosition(x, y); }
    // The source rectangle moved to (x, y), its size kept; the offset stays.
    void SetCursorSourceOrigin(int x, int y) override;
    const std::array<Vertex, 4>& Vertices() const { return m_vertices; }
    const uint8_t* Blend() const { return m_blend; }
    const uint8_t* ColorStage() const { return m_color; }
    const uint8_t* AlphaStage() const { return m_alpha; }

private:
    void Borrow(CSurface* surface);
    void Lay();
    void TexCoords();
    LONG ShownWidth() const { return m_w != 0 ? m_w : m_src.right - m_src.left; }
    LONG ShownHeight() const { return m_h != 0 ? m_h : m_src.bottom - m_src.top; }

    CSurface* m_surface = nullptr;
    CDeviceImage* m_image = nullptr;  // the texture's image face
    uint8_t m_blend[3] = {};
    uint8_t m_color[3] = {};
    uint8_t m_alpha[3] = {};
    std::array<Vertex, 4> m_vertices{};
    RECT m_src{0, 0, 0, 0};
    LONG m_offsetX = 0, m_offsetY = 0;
    LONG m_x = 0, m_y = 0;
    LONG m_w = 0, m_h = 0;
};
