// The software Direct3D device's pixels: its states, the texel sampler with colour keys and
// alpha, the stage-0 operations, the alpha test and blending, and points, lines and triangles
// drawn by the rules stated in d3d.h. One general span loop shades every pixel; fast spans for
// the common (texture format, filter, blend, target) choices give exactly its pixels. Internal
// to winapi.
#pragma once

#include <array>

#include "winapi/d3d.h"
#include "winapi/ddraw/pixel_format.h"
#include "winapi/ddraw/surface_access.h"
#include "winapi/ddraw/triangle.h"

namespace winapi::ddraw {

// x * y / 255 (or any sum of such products) rounded to nearest; x >= 0.
inline int Div255(int x) { return (x + 127) / 255; }

// The states the pixels depend on, each a value the device knows (unknown values are stored as
// the default).
struct RenderStates {
    DWORD cull = D3DCULL_CCW;
    DWORD shade = D3DSHADE_GOURAUD;
    bool colorKey = false;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    int alphaRef = 0;
    DWORD textureFactor = 0xFFFFFFFF;
    DWORD colorOp = D3DTOP_MODULATE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_SELECTARG1;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    bool magLinear = false;
    bool minLinear = false;

    // Stores a render state or stage-0 state; values the device does not know become the default.
    void SetRender(DWORD state, DWORD value);
    void SetStage(DWORD state, DWORD value);
};

// A vertex unpacked from any of the device's vertex formats.
struct RasterVertex {
    float x, y, z, rhw;
    int colour[4];  // r, g, b, a
    float u, v;
};

// Texels of a texture as four widened channels.
class TexelSource {
public:
    TexelSource(const SurfaceMemory& texture, bool colorKey);
    // The filtered texel at (u, v) (see d3d.h) into rgba; false when every weighted texel is keyed.
    bool Sample(double u, double v, bool linear, int rgba[4]) const;
    LONG Width() const { return m_width; }
    LONG Height() const { return m_height; }
    const BYTE* Pixels() const { return m_pixels; }
    LONG Pitch() const { return m_pitch; }
    const PixelFormat& Format() const { return m_format; }
    bool Keyed() const { return m_keyed; }

private:
    // Texel (x, y) widened; false when keyed.
    bool Texel(LONG x, LONG y, int rgba[4]) const;

    const BYTE* m_pixels;
    LONG m_pitch, m_width, m_height;
    PixelFormat m_format;
    bool m_keyed;
    DWORD m_keyLow = 0, m_keyHigh = 0;
};

// Draws primitives into a target by the states.
class PrimitiveDrawer {
public:
    // texture may be null. clip lies inside the target.
    PrimitiveDrawer(const SurfaceMemory& target, const RECT& clip, const TexelSource* texture,
                    const RenderStates& states, bool fastSpans);
    void Point(const RasterVertex& a);
    void Line(const RasterVertex& a, const RasterVertex& b);
    // flat: the vertex whose colour flat shading takes (0..2). reversed: the winding counts the
    // other way (odd triangles of a strip).
    void Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, int flat, bool reversed);
    // The pixels the fast spans drew.
    long FastPixels() const { return m_fastPixels; }

    // The colour of a pixel before blending from its diffuse colour and texture coordinates;
    // false when it is dropped (keyed or failing the alpha test).
    bool Shade(const int diffuse[4], double u, double v, bool linear, int out[4]) const;
    // Blends (or not) a shaded colour into the target pixel at p.
    void Write(BYTE* p, const int rgba[4]) const;

    // What a row of a triangle needs to shade its pixels.
    struct RowContext {
        const winapi::ddraw::Triangle* triangle;
        const RasterVertex* vertex[3];  // in the triangle's order
        bool gouraud;
        const int* flatColour;
        BYTE* row;
    };
    using FastRow = void (*)(const PrimitiveDrawer& drawer, const RowContext& context, LONG y, LONG lo, LONG hi);

    const TexelSource* Texture() const { return m_texture; }
    bool ModulatesColour() const { return m_modulateColour; }
    bool ModulatesAlpha() const { return m_modulateAlpha; }

private:
    int Arg(DWORD arg, const int diffuse[4], const int texel[4], int channel) const;
    // The fast rows for this state (point, bilinear), or none.
    void ChooseFastRows();

    SurfaceMemory m_target;
    PixelFormat m_to;
    RECT m_clip;
    const TexelSource* m_texture;
    RenderStates m_states;
    int m_factor[4];
    bool m_modulateColour = false;  // colour: texture * diffuse, else the texture's
    bool m_modulateAlpha = false;   // alpha likewise
    FastRow m_fastRows[2] = {nullptr, nullptr};
    long m_fastPixels = 0;
};

} // namespace winapi::ddraw
