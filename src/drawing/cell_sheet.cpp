#include "drawing/cell_sheet.h"

#include "drawing/drawable.h"
#include "drawing/sprite.h"
#include "platform/cpu_info.h"
#include "platform/object_lifetime.h"
#include "raster/blend_tables.h"
#include "raster/compose_kernels.h"
#include "raster/compose_ops.h"
#include "raster/pixel_lib_kernels.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cstring>

namespace {

// What a change needs of a picture's pixels, read once: the getters are virtual, and a cell
// changes many times a second.
struct Layout {
    BYTE* bits;
    LONG pitch, width, height;
    const RECT* clip;
};

// false for a layout the direct paths do not take (no pixels, not 32-bit, rows upwards).
inline __attribute__((always_inline)) bool DirectLayout(const CImage& image, Layout& out)
{
    out.bits = image.GetBits();
    out.pitch = image.GetPitch();
    if (!out.bits || image.GetBitsPerPixel() != 32 || out.pitch <= 0)
        return false;
    out.width = image.GetWidth();
    out.height = image.GetHeight();
    out.clip = &image.ClipRect();
    return true;
}

// Whether the pixels of a and b share no byte.
inline bool Apart(const Layout& a, const Layout& b)
{
    return a.bits + static_cast<ptrdiff_t>(a.pitch) * a.height <= b.bits
           || b.bits + static_cast<ptrdiff_t>(b.pitch) * b.height <= a.bits;
}

inline BYTE* PixelAt(const Layout& l, LONG x, LONG y)
{
    return l.bits + static_cast<ptrdiff_t>(y) * l.pitch + static_cast<ptrdiff_t>(x) * 4;
}

// Whether the cell of picture placed at (x, y) in image lies wholly inside the pixels and clips of
// both, so that drawing it cuts nothing.
bool NeedsNoClip(const RECT& cell, const Layout& picture, LONG x, LONG y, const Layout& image)
{
    const RECT& from = *picture.clip;
    const RECT& to = *image.clip;
    const int64_t width = static_cast<int64_t>(cell.right) - cell.left;
    const int64_t height = static_cast<int64_t>(cell.bottom) - cell.top;
    return width > 0 && height > 0 && cell.left >= std::max<LONG>(from.left, 0)
           && cell.top >= std::max<LONG>(from.top, 0) && cell.right <= std::min(from.right, picture.width)
           && cell.bottom <= std::min(from.bottom, picture.height) && x >= std::max<LONG>(to.left, 0)
           && y >= std::max<LONG>(to.top, 0) && x + width <= std::min(to.right, image.width)
           && y + height <= std::min(to.bottom, image.height);
}

// Rows of src blended alpha over alpha (opacity 255) into dst, by the kernel the SIMD level asks.
void OnAlphaRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (g_bUseMmx && UseAvx2())
        pixel_lib::AlphaOnAlphaRowsAvx2(dst, src, dstSkip, srcSkip, width, height, 255);
    else
        (g_bUseMmx ? AlphaOnAlphaRows32Mmx : AlphaOnAlphaRows32)(dst, src, dstSkip, srcSkip, width, height,
                                                                 g_MulTable[255]);
}

} // namespace

CCellSheet::~CCellSheet()
{
    NotifyObjectDestroyed(this);
}

int CCellSheet::LoadImage(const char* file, LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x,
                          LONG y, uint8_t flag, int32_t mode, bool ownWork, bool paletteVariant, DWORD fill)
{
    if (!file || cellHeight == 0 || cellWidth == 0)
        return 1;
    Clear();
    const int loaded = paletteVariant ? m_own.LoadWithPalette(file, nullptr, 0, 0) : m_own.Load(file, nullptr, 0, 0);
    if (loaded != 0) {
        Clear();
        return 2;
    }
    if (fill != 0xFFFFFFFFu) {
        const BYTE r = static_cast<BYTE>(fill >> 16), g = static_cast<BYTE>(fill >> 8), b = static_cast<BYTE>(fill);
        if (m_own.GetBitsPerPixel() == 32)
            m_own.FillRgbKeepAlpha(r, g, b, nullptr);
        else
            m_own.FillRect(r, g, b, nullptr);
    }
    const int code = Setup(cellWidth, cellHeight, record, direct, x, y, flag, mode, ownWork);
    if (code != 0)
        Clear();
    return code;
}

int CCellSheet::SetImage(CImage* image, LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x,
                         LONG y, uint8_t flag, int32_t mode, bool ownWork)
{
    if (!image || cellHeight == 0 || cellWidth == 0)
        return 1;
    m_borrowed = image;
    return Setup(cellWidth, cellHeight, record, direct, x, y, flag, mode, ownWork);
}

int CCellSheet::Setup(LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x, LONG y, uint8_t flag,
                      int32_t mode, bool ownWork)
{
    // A cell width of 0 would divide the column count.
    const CImage* picture = GetPicture();
    if (cellWidth <= 0 || cellHeight <= 0 || !picture)
        return 1;
    CImage* source = nullptr;
    if (record) {
        source = record->GetImage();
        if (!source)
            return 3;
        AddUser(record);
    } else {
        source = direct;
        if (!source)
            return 1;
    }
    m_source = source;
    m_cellWidth = cellWidth;
    m_cellHeight = cellHeight;
    m_flag = flag;
    m_keyMode = source->GetColorKey() == kNoColorKey ? flag : 2;
    m_columns = picture->GetWidth() / cellWidth;
    if (x == kCellSheetOriginFromPicture) {
        m_x = static_cast<LONG>(picture->GetUserValue1());
        m_y = static_cast<LONG>(picture->GetUserValue2());
    } else {
        m_x = x;
        m_y = y;
    }
    m_mode = mode;
    m_work.reset();
    if (mode == 2 || ownWork) {
        auto work = std::make_unique<CImage>();
        if (work->Create(cellWidth, cellHeight, source->GetBitsPerPixel(), 0) != 0)
            return 4;
        m_work = std::move(work);
    }
    return 0;
}

int CCellSheet::SwapImage(CImage* image)
{
    if (!m_borrowed || !image)
        return 1;
    if (image->GetWidth() != m_borrowed->GetWidth() || image->GetHeight() != m_borrowed->GetHeight()
        || image->GetBitsPerPixel() != m_borrowed->GetBitsPerPixel())
        return 2;
    m_borrowed = image;
    return 0;
}

void CCellSheet::AddUser(CDrawable* user)
{
    if (user && std::find(m_users.begin(), m_users.end(), user) == m_users.end())
        m_users.push_back(user);
}

void CCellSheet::RemoveUser(CDrawable* user)
{
    const auto it = std::find(m_users.begin(), m_users.end(), user);
    if (it != m_users.end())
        m_users.erase(it);
}

void CCellSheet::Clear()
{
    m_own.Destroy();
    m_work.reset();
    m_borrowed = nullptr;
    m_source = nullptr;
    m_users.clear();
}

void CCellSheet::SetAnimation(int32_t cells, uint32_t frameTime, uint8_t playMode, uint8_t drawMode, int32_t endAction)
{
    m_cells = cells;
    m_frameTime = frameTime;
    m_playMode = playMode;
    m_drawMode = drawMode;
    m_endAction = endAction;
}

bool CCellSheet::SaveBackground(const CImage* image)
{
    if (!m_work || !image)
        return false;
    const RECT cell{m_x, m_y, AddClamped(m_x, m_cellWidth), AddClamped(m_y, m_cellHeight)};
    m_work->Copy(image, 0, 0, &cell, false);
    return true;
}

bool CCellSheet::RestoreBackground(CImage* image) const
{
    if (!m_work || !image)
        return false;
    image->Copy(m_work.get(), m_x, m_y, nullptr, false);
    return true;
}

void CCellSheet::CopyCell(CImage* image, const RECT& cell) const
{
    const CImage* picture = GetPicture();
    if (!image || !picture)
        return;
    // A cell changes many times a second: the common layout (32-bit, no key, apart from image)
    // goes straight to the row copy.
    Layout to, from;
    if (picture->GetColorKey() != kNoColorKey || !DirectLayout(*image, to) || !DirectLayout(*picture, from)
        || !Apart(to, from)) {
        image->Copy(picture, m_x, m_y, &cell, false);
        return;
    }
    const BYTE* src = nullptr;
    RECT drawn;
    if (NeedsNoClip(cell, from, m_x, m_y, to)) {
        // The usual case: nothing to cut, so the general clip is not asked.
        drawn = RECT{m_x, m_y, m_x + (cell.right - cell.left), m_y + (cell.bottom - cell.top)};
        src = PixelAt(from, cell.left, cell.top);
    } else {
        if (image->TransferRect(picture, m_x, m_y, &cell, nullptr, nullptr, nullptr) != 0)
            return;
        drawn = image->TransferDstRect();
        const RECT& part = image->TransferSrcRect();
        src = PixelAt(from, part.left, part.top);
    }
    const int width = drawn.right - drawn.left, height = drawn.bottom - drawn.top;
    (g_bUseMmx ? CopyRows32Mmx : CopyRows32)(PixelAt(to, drawn.left, drawn.top), src, to.pitch - width * 4,
                                             from.pitch - width * 4, width, height);
    image->MarkChanged(drawn);
}

void CCellSheet::RestoreAndBlendCell(CImage* image, const RECT& cell) const
{
    const CImage* picture = GetPicture();
    if (!image || !picture)
        return;
    Layout to, work, from;
    bool onePass = m_work && m_work->GetColorKey() == kNoColorKey && DirectLayout(*image, to)
                   && DirectLayout(*m_work, work) && DirectLayout(*picture, from) && Apart(to, from) && Apart(to, work);
    RECT restored{}, saved{}, drawn{}, part{};
    if (onePass && work.width == static_cast<int64_t>(cell.right) - cell.left
        && work.height == static_cast<int64_t>(cell.bottom) - cell.top
        && NeedsNoClip(RECT{0, 0, work.width, work.height}, work, m_x, m_y, to)
        && NeedsNoClip(cell, from, m_x, m_y, to)) {
        // The usual case: the saved background and the cell cover the same whole rectangle and
        // nothing is cut, so the general clip is not asked.
        saved = RECT{0, 0, work.width, work.height};
        drawn = restored = RECT{m_x, m_y, m_x + work.width, m_y + work.height};
        part = cell;
    } else if (onePass && image->TransferRect(m_work.get(), m_x, m_y, nullptr, nullptr, nullptr, nullptr) == 0) {
        restored = image->TransferDstRect();
        saved = image->TransferSrcRect();
        onePass = image->TransferRect(picture, m_x, m_y, &cell, nullptr, nullptr, nullptr) == 0;
        drawn = image->TransferDstRect();
        part = image->TransferSrcRect();
    } else {
        onePass = false;
    }
    if (!onePass || !SameRect(restored, drawn)) {
        RestoreBackground(image);
        BlendAlphaOnAlpha(*image, picture, 255, m_x, m_y, &cell);
        return;
    }
    const int width = drawn.right - drawn.left, height = drawn.bottom - drawn.top;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const LONG imagePitch = to.pitch, workPitch = work.pitch, picturePitch = from.pitch;
    BYTE* dst = PixelAt(to, drawn.left, drawn.top);
    const BYTE* background = PixelAt(work, saved.left, saved.top);
    const BYTE* src = PixelAt(from, part.left, part.top);
    if (g_bUseMmx && UseAvx2()) {
        // The background is read where the cell is not opaque, and each pixel written once.
        const LONG skip = static_cast<LONG>(rowBytes);
        (UseAvx512Bw() ? pixel_lib::AlphaOnAlphaOverRowsAvx512 : pixel_lib::AlphaOnAlphaOverRowsAvx2)(
            dst, background, src, static_cast<int>(imagePitch - skip), static_cast<int>(workPitch - skip),
            static_cast<int>(picturePitch - skip), width, height, 255);
        image->MarkChanged(drawn);
        return;
    }
    // Bands of rows small enough to stay in the first-level cache between the copy and the blend.
    const int band = std::max(1, static_cast<int>(8192 / rowBytes));
    for (int top = 0; top < height; top += band) {
        const int rows = std::min(band, height - top);
        for (int y = 0; y < rows; ++y)
            std::memcpy(dst + static_cast<ptrdiff_t>(y) * imagePitch, background + static_cast<ptrdiff_t>(y) * workPitch,
                        rowBytes);
        OnAlphaRows(dst, src, static_cast<int>(imagePitch - static_cast<LONG>(rowBytes)),
                    static_cast<int>(picturePitch - static_cast<LONG>(rowBytes)), width, rows);
        dst += static_cast<ptrdiff_t>(rows) * imagePitch;
        background += static_cast<ptrdiff_t>(rows) * workPitch;
        src += static_cast<ptrdiff_t>(rows) * picturePitch;
    }
    image->MarkChanged(drawn);
}
