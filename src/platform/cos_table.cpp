#include "platform/cos_table.h"

#include <cmath>
#include <limits>
#include <new>

CCosTable* g_pCosTable = nullptr;

CCosTable::CCosTable() : m_cosDouble(nullptr)
{
    m_cos[0] = 0x10000;
    m_cos[256] = -0x10000;
    m_cos[128] = 0;
    m_cos[384] = 0;
    for (int i = 1; i < 128; ++i) {
        auto c = static_cast<int32_t>(std::cos(i * M_PI / 256.0) * 65536.0);
        m_cos[i] = c;
        m_cos[512 - i] = c;
        m_cos[256 - i] = -c;
        m_cos[256 + i] = -c;
    }
    for (int i = 0; i < 256; ++i)
        m_atan[i] = static_cast<uint16_t>(std::atan2(i / 256.0, 1.0) * 32768.0 / M_PI);
}

CCosTable::~CCosTable()
{
    delete[] m_cosDouble;
}

bool CCosTable::BuildDoubleTable()
{
    if (m_cosDouble)
        return true;
    auto* table = new (std::nothrow) double[512];
    if (!table)
        return false;
    table[0] = 1.0;
    table[256] = -1.0;
    table[128] = 0.0;
    table[384] = 0.0;
    for (int i = 1; i < 128; ++i) {
        double c = std::cos(i * M_PI / 256.0);
        table[i] = c;
        table[512 - i] = c;
        table[256 - i] = -c;
        table[256 + i] = -c;
    }
    m_cosDouble = table;
    return true;
}

namespace {

bool FitsInt32(double v)
{
    return v > -2147483648.0 && v < 2147483648.0;
}

} // namespace

bool ComputeRotateZoomQuad(QuadPoint* quad, int32_t destX, int32_t destY, int32_t angle, double zoom,
                           int32_t width, int32_t height, int32_t centreX, int32_t centreY,
                           int32_t* boundingWidth, int32_t* boundingHeight, int32_t* originX,
                           int32_t* originY)
{
    if (!quad || !g_pCosTable)
        return false;
    // An infinite zoom would give NaN corners and undefined integer conversions below.
    if (zoom == 0.0 || !std::isfinite(zoom))
        return false;
    if (zoom == 1.0 && (angle & 0x1FF) == 0 && destX == 0 && destY == 0)
        return false;
    if (!g_pCosTable->BuildDoubleTable())
        return false;
    const double* c = g_pCosTable->DoubleTable();

    const double w = width * zoom;
    const double h = height * zoom;
    const double cx = centreX * zoom;
    const double cy = centreY * zoom;
    QuadPoint corners[4] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    // Negation in unsigned arithmetic: angle INT32_MIN must not overflow.
    const auto negAngle = static_cast<uint32_t>(0) - static_cast<uint32_t>(angle);
    const double ca = c[negAngle & 0x1FF];
    const double cb = c[(negAngle - 128u) & 0x1FF];
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        double x = corners[i].x - cx;
        double y = corners[i].y - cy;
        corners[i].x = ca * x - cb * y + cx;
        corners[i].y = cb * x + ca * y + cy;
        if (i == 0 || corners[i].x < minX)
            minX = corners[i].x;
        if (i == 0 || corners[i].x > maxX)
            maxX = corners[i].x;
        if (i == 0 || corners[i].y < minY)
            minY = corners[i].y;
        if (i == 0 || corners[i].y > maxY)
            maxY = corners[i].y;
    }
    const double spanX = maxX - minX;
    const double spanY = maxY - minY;
    const double offX = centreX - cx + minX + 0.5;
    const double offY = centreY - cy + minY + 0.5;
    if (!FitsInt32(spanX) || !FitsInt32(spanY) || !FitsInt32(offX) || !FitsInt32(offY))
        return false;
    const int64_t ox = static_cast<int64_t>(static_cast<int32_t>(offX)) + destX;
    const int64_t oy = static_cast<int64_t>(static_cast<int32_t>(offY)) + destY;
    if (ox < INT32_MIN || ox > INT32_MAX || oy < INT32_MIN || oy > INT32_MAX)
        return false;

    if (boundingWidth)
        *boundingWidth = static_cast<int32_t>(spanX);
    if (boundingHeight)
        *boundingHeight = static_cast<int32_t>(spanY);
    const bool wantOrigin = originX || originY;
    if (originX)
        *originX = static_cast<int32_t>(ox);
    if (originY)
        *originY = static_cast<int32_t>(oy);
    for (int i = 0; i < 4; ++i) {
        quad[i].x = corners[i].x - (minX + 0.5);
        quad[i].y = corners[i].y - (minY + 0.5);
        if (!wantOrigin) {
            quad[i].x += static_cast<double>(ox);
            quad[i].y += static_cast<double>(oy);
        }
    }
    return true;
}
