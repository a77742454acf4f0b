// Angles are whole numbers of 512 steps a full turn. CCosTable holds the cosine of every step in
// 16.16 fixed point and, built on first need, as doubles, plus a small arctangent table; the
// application owns one and publishes it as g_pCosTable. ComputeRotateZoomQuad turns a rectangle,
// zoomed and rotated about a centre point, into the four corners that quadrilateral drawing fills.
#pragma once

#include <cstdint>

class CCosTable {
public:
    CCosTable();
    virtual ~CCosTable();
    CCosTable(const CCosTable&) = delete;
    CCosTable& operator=(const CCosTable&) = delete;

    // Builds the double table once: true (also when it exists), false when memory runs out.
    bool BuildDoubleTable();

    // cos(i · π / 256) in 16.16; index reduced with AND 0x1FF. Sine of i is Cos(i - 128).
    int32_t Cos(int32_t index) const { return m_cos[index & 0x1FF]; }
    int32_t Sin(int32_t index) const { return m_cos[(index - 128) & 0x1FF]; }

    const int32_t* FixedTable() const { return m_cos; }
    // atan(i / 256) in units of 1/65536 of a full turn, i = 0..255.
    const uint16_t* ArctanTable() const { return m_atan; }
    // Null until BuildDoubleTable succeeded.
    const double* DoubleTable() const { return m_cosDouble; }

private:
    int32_t m_cos[512];
    uint16_t m_atan[256];
    double* m_cosDouble;
};

// The application's cosine table; null until the application builds it.
extern CCosTable* g_pCosTable;

struct QuadPoint {
    double x;
    double y;
};

// Fills quad[4] (top-left, top-right, bottom-left, bottom-right of the unrotated rectangle) with
// the corners of a width × height rectangle zoomed by `zoom` and turned by `angle` steps about
// (centreX, centreY), so that the centre stays at (destX + centreX, destY + centreY). The four
// outputs after the centre may be null. With originX/originY wanted, the corners are relative to
// the origin; otherwise in destination coordinates.
// → false (outputs untouched) for a null quad, no g_pCosTable, zoom 0, infinite or NaN, the identity
// (zoom 1, angle 0 mod 512, destination 0, 0), no memory for the double table, or results that
// do not fit 32 bits; true otherwise.
bool ComputeRotateZoomQuad(QuadPoint* quad, int32_t destX, int32_t destY, int32_t angle, double zoom,
                           int32_t width, int32_t height, int32_t centreX, int32_t centreY,
                           int32_t* boundingWidth, int32_t* boundingHeight, int32_t* originX,
                           int32_t* originY);
