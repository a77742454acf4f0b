// GDI objects and device contexts: DIB sections, memory DCs, information DCs, selection and deletion.
#include "winapi/gdi_dc.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "winapi/display_info.h"
#include "winapi/fonts/font_engine.h"
#include "winapi/gdi_object.h"
#include "winapi/gdi_pixels.h"

namespace winapi {

namespace {

// The 1x1 monochrome bitmap every new memory DC holds; it cannot be deleted.
std::shared_ptr<GdiBitmap> StockBitmap()
{
    static std::shared_ptr<GdiBitmap> stock = [] {
        auto bitmap = std::make_shared<GdiBitmap>();
        bitmap->width = 1;
        bitmap->height = 1;
        bitmap->bitsPerPixel = 1;
        bitmap->pitch = 4;
        bitmap->stock = true;
        bitmap->storage.Allocate(4);
        bitmap->bits = bitmap->storage.data();
        GdiRegister(bitmap);
        return bitmap;
    }();
    return stock;
}

void FillGreyRamp(std::array<RGBQUAD, 256>& palette)
{
    for (int i = 0; i < 256; ++i)
        palette[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
}

std::shared_ptr<GdiBitmap> MakeBitmap(int width, int height, int bitsPerPixel, bool bottomUp)
{
    // Rows are 32-bit aligned, as in every DIB. The size limit keeps pitch × height in range.
    const int64_t pitch = ((static_cast<int64_t>(width) * bitsPerPixel + 31) / 32) * 4;
    const int64_t size = pitch * height;
    if (pitch > INT32_MAX || size > (int64_t{1} << 30))
        return nullptr;
    auto bitmap = std::shared_ptr<GdiBitmap>(new (std::nothrow) GdiBitmap);
    if (!bitmap)
        return nullptr;
    if (!bitmap->storage.Allocate(static_cast<size_t>(size)))
        return nullptr;
    bitmap->bits = bitmap->storage.data();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPerPixel = bitsPerPixel;
    bitmap->bottomUp = bottomUp;
    bitmap->pitch = static_cast<int>(pitch);
    FillGreyRamp(bitmap->palette);
    return bitmap;
}

HDC DcHandle(const std::shared_ptr<GdiDc>& dc)
{
    return reinterpret_cast<HDC>(static_cast<GdiObject*>(dc.get()));
}

HBITMAP BitmapHandle(const std::shared_ptr<GdiBitmap>& bitmap)
{
    return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(bitmap.get()));
}

std::shared_ptr<DcTarget> (*g_windowDcProvider)(HWND) = nullptr;

// The palette an 8-bit DC's colour-table calls work on: its DIB's or its buffer's.
std::array<RGBQUAD, 256>* DcPalette(GdiDc& dc, std::shared_ptr<GdiBitmap>& keep)
{
    if (dc.type == GdiDc::Type::Buffer)
        return dc.buffer.bitsPerPixel == 8 ? &dc.bufferPalette : nullptr;
    if (dc.type != GdiDc::Type::Memory)
        return nullptr;
    std::lock_guard lock(GdiLock());
    keep = dc.bitmap;
    if (!keep || !keep->isDibSection || keep->bitsPerPixel != 8)
        return nullptr;
    return &keep->palette;
}

// The colour-table calls: copy(entries, n) on entries start to start + n - 1 of the DC's table, n
// at most count and within the 256; the n copied, or 0 for a bad DC, missing colours, a DC without
// a table or a start beyond it.
template <typename Copy> UINT WithColorTable(HDC hdc, UINT start, UINT count, bool haveColors, Copy copy)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || !haveColors || start >= 256)
        return 0;
    std::shared_ptr<GdiBitmap> keep;
    auto* palette = DcPalette(*dc, keep);
    if (palette == nullptr)
        return 0;
    const UINT n = std::min(count, 256 - start);
    copy(palette->data() + start, n);
    return n;
}

} // namespace

void SetWindowDcProvider(std::shared_ptr<DcTarget> (*provider)(HWND))
{
    g_windowDcProvider = provider;
}

namespace {
std::atomic<void (*)()> g_gdiFlushHandler{nullptr};
} // namespace

void SetGdiFlushHandler(void (*handler)())
{
    g_gdiFlushHandler = handler;
}

HDC CreateMemoryDC(void* bits, int width, int height, int pitch, int bitsPerPixel)
{
    if (bits == nullptr || width < 1 || height < 1)
        return nullptr;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return nullptr;
    const int64_t rowBytes = (static_cast<int64_t>(width) * bitsPerPixel + 7) / 8;
    if (std::abs(static_cast<int64_t>(pitch)) < rowBytes)
        return nullptr;
    auto dc = std::shared_ptr<GdiDc>(new (std::nothrow) GdiDc(GdiDc::Type::Buffer));
    if (!dc)
        return nullptr;
    dc->buffer.top = static_cast<BYTE*>(bits);
    dc->buffer.stride = pitch;
    dc->buffer.width = width;
    dc->buffer.height = height;
    dc->buffer.bitsPerPixel = bitsPerPixel;
    FillGreyRamp(dc->bufferPalette);
    dc->buffer.palette = dc->bufferPalette.data();
    GdiRegister(dc);
    return DcHandle(dc);
}

namespace {

// Window DCs released with nothing else holding them, reset and kept for the next GetDC: a frame
// gets and releases one, and allocates nothing for it.
struct SpareDcs {
    static constexpr size_t kMost = 4;
    std::mutex mutex;
    std::vector<GdiSlot> slots;
};

SpareDcs& Spares()
{
    static SpareDcs* spares = new SpareDcs; // outlives every static destructor that may release a DC
    return *spares;
}

// Keeps a withdrawn window DC when only `slot` and `held` hold it; else it is freed as before.
void KeepSpare(GdiSlot slot, std::shared_ptr<GdiDc> held)
{
    if (slot.empty() || slot.mapped().use_count() != 2 || held.get() != slot.mapped().get())
        return;
    held.reset();
    *static_cast<GdiDc*>(slot.mapped().get()) = GdiDc(GdiDc::Type::Target); // no target, font or state kept
    SpareDcs& spares = Spares();
    std::lock_guard lock(spares.mutex);
    if (spares.slots.capacity() < SpareDcs::kMost)
        spares.slots.reserve(SpareDcs::kMost);
    if (spares.slots.size() < SpareDcs::kMost)
        spares.slots.push_back(std::move(slot));
}

GdiSlot TakeSpare()
{
    SpareDcs& spares = Spares();
    std::lock_guard lock(spares.mutex);
    if (spares.slots.empty())
        return {};
    GdiSlot slot = std::move(spares.slots.back());
    spares.slots.pop_back();
    return slot;
}

} // namespace

HDC CreateTargetDC(std::shared_ptr<DcTarget> target)
{
    if (!target)
        return nullptr;
    if (GdiSlot slot = TakeSpare(); !slot.empty()) {
        auto* spare = static_cast<GdiDc*>(slot.mapped().get());
        spare->target = std::move(target);
        const HDC handle = reinterpret_cast<HDC>(static_cast<GdiObject*>(spare));
        GdiReinstate(std::move(slot));
        return handle;
    }
    auto dc = std::shared_ptr<GdiDc>(new (std::nothrow) GdiDc(GdiDc::Type::Target));
    if (!dc)
        return nullptr;
    dc->target = std::move(target);
    GdiRegister(dc);
    return DcHandle(dc);
}

bool GetDcPixels(HDC hdc, PixelView* view)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || view == nullptr)
        return false;
    if (dc->type == GdiDc::Type::Buffer) {
        *view = dc->buffer;
        return true;
    }
    if (dc->type != GdiDc::Type::Memory)
        return false;
    std::lock_guard lock(GdiLock());
    if (!dc->bitmap || dc->bitmap->stock)
        return false;
    *view = dc->bitmap->View();
    return true;
}

DcPixelAccess::DcPixelAccess(HDC hdc) : dc_(GdiFindDc(hdc))
{
    if (!dc_)
        return;
    switch (dc_->type) {
    case GdiDc::Type::Buffer:
        view_ = dc_->buffer;
        ok_ = true;
        break;
    case GdiDc::Type::Memory: {
        std::lock_guard lock(GdiLock());
        bitmap_ = dc_->bitmap;
        if (bitmap_ && !bitmap_->stock) {
            view_ = bitmap_->View();
            ok_ = true;
        }
        break;
    }
    case GdiDc::Type::Target:
        ok_ = dc_->target->Lock(&view_);
        locked_ = ok_;
        break;
    case GdiDc::Type::Info:
        break;
    }
    if (ok_ && (view_.top == nullptr || view_.width < 1 || view_.height < 1))
        ok_ = false;
}

DcPixelAccess::~DcPixelAccess()
{
    if (locked_)
        dc_->target->Unlock(changed_.right > changed_.left ? &changed_ : nullptr);
}

void DcPixelAccess::MarkChanged(const RECT& rect)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    if (changed_.right <= changed_.left) {
        changed_ = rect;
        return;
    }
    changed_.left = std::min(changed_.left, rect.left);
    changed_.top = std::min(changed_.top, rect.top);
    changed_.right = std::max(changed_.right, rect.right);
    changed_.bottom = std::max(changed_.bottom, rect.bottom);
}

bool DcPixelAccess::SameStore(const DcPixelAccess& other) const
{
    return ok_ && other.ok_ && view_.top == other.view_.top;
}

} // namespace winapi

using namespace winapi;

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits != nullptr)
        *bits = nullptr;
    if (bmi == nullptr || section != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& header = bmi->bmiHeader;
    const int bpp = header.biBitCount;
    const bool bitfields = header.biCompression == BI_BITFIELDS;
    const bool formatOk = (bpp == 8 && header.biCompression == BI_RGB && usage == DIB_RGB_COLORS) ||
                          ((bpp == 16 || bpp == 32) && (header.biCompression == BI_RGB || bitfields)) ||
                          (bpp == 24 && header.biCompression == BI_RGB);
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth < 1 || header.biHeight == 0 ||
        header.biHeight == INT32_MIN || header.biPlanes != 1 || !formatOk) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool bottomUp = header.biHeight > 0;
    const int height = bottomUp ? header.biHeight : -header.biHeight;
    auto bitmap = MakeBitmap(header.biWidth, height, bpp, bottomUp);
    if (!bitmap) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bitmap->isDibSection = true;
    bitmap->header = header;
    bitmap->header.biSize = sizeof(BITMAPINFOHEADER);
    bitmap->header.biSizeImage = static_cast<DWORD>(bitmap->storage.size());
    // The palette or the masks follow the header in the caller's record.
    const auto* after = reinterpret_cast<const BYTE*>(bmi) + header.biSize;
    if (bpp == 8) {
        const DWORD used = header.biClrUsed == 0 || header.biClrUsed > 256 ? 256 : header.biClrUsed;
        std::memcpy(bitmap->palette.data(), after, used * sizeof(RGBQUAD));
        for (DWORD i = used; i < 256; ++i)
            bitmap->palette[i] = RGBQUAD{0, 0, 0, 0};
    } else if (bitfields) {
        std::memcpy(bitmap->masks, after, sizeof(bitmap->masks));
    } else if (bpp == 16) {
        bitmap->masks[0] = 0x7C00;
        bitmap->masks[1] = 0x03E0;
        bitmap->masks[2] = 0x001F;
    } else if (bpp == 32) {
        bitmap->masks[0] = 0xFF0000;
        bitmap->masks[1] = 0x00FF00;
        bitmap->masks[2] = 0x0000FF;
    }
    GdiRegister(bitmap);
    if (bits != nullptr)
        *bits = bitmap->bits;
    return BitmapHandle(bitmap);
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width < 1 || height < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = MakeBitmap(width, height, 32, false);
    if (!bitmap) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bitmap->masks[0] = 0xFF0000;
    bitmap->masks[1] = 0x00FF00;
    bitmap->masks[2] = 0x0000FF;
    GdiRegister(bitmap);
    return BitmapHandle(bitmap);
}

HDC WINAPI CreateCompatibleDC(HDC)
{
    auto stock = StockBitmap();
    auto dc = std::shared_ptr<GdiDc>(new (std::nothrow) GdiDc(GdiDc::Type::Memory));
    if (!dc)
        return nullptr;
    dc->bitmap = stock;
    GdiRegister(dc);
    return DcHandle(dc);
}

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR, const void*)
{
    const auto displays = CurrentDisplays();
    int index = -1;
    auto equalNoCase = [](const char* a, const char* b) {
        for (; *a && *b; ++a, ++b)
            if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
                return false;
        return *a == *b;
    };
    if (device != nullptr) {
        for (size_t i = 0; i < displays.size(); ++i)
            if (equalNoCase(device, displays[i].deviceName.c_str()))
                index = static_cast<int>(i);
    }
    if (index < 0 && driver != nullptr && equalNoCase(driver, "DISPLAY") &&
        (device == nullptr || equalNoCase(device, "DISPLAY")))
        index = 0;
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto dc = std::shared_ptr<GdiDc>(new (std::nothrow) GdiDc(GdiDc::Type::Info));
    if (!dc)
        return nullptr;
    dc->displayIndex = index;
    GdiRegister(dc);
    return DcHandle(dc);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object)
{
    auto dc = GdiFindDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return HGDI_ERROR;
    }
    if (auto font = GdiFindFont(object))
        return SelectFontIntoDc(*dc, font);
    auto bitmap = GdiFindBitmap(object);
    if (!bitmap || dc->type != GdiDc::Type::Memory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<GdiBitmap> previous;
    {
        std::lock_guard lock(GdiLock());
        if (dc->bitmap == bitmap)
            return object;
        // A bitmap lives in one DC at a time; the stock bitmap may be in any number.
        if (!bitmap->stock && bitmap->selectedInto != nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        previous = dc->bitmap;
        if (previous && !previous->stock)
            previous->selectedInto = nullptr;
        if (!bitmap->stock)
            bitmap->selectedInto = hdc;
        dc->bitmap = bitmap;
    }
    return previous ? reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(previous.get())) : nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    // A font still selected somewhere stays alive in that DC.
    if (auto font = GdiFindFont(object)) {
        if (font->stock)
            return FALSE;
        GdiUnregister(object);
        return TRUE;
    }
    if (auto brush = GdiFindBrush(object)) {
        if (brush->stock)
            return FALSE;
        GdiUnregister(object);
        return TRUE;
    }
    auto bitmap = GdiFindBitmap(object);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(GdiLock());
        if (bitmap->stock || bitmap->selectedInto != nullptr)
            return FALSE;
    }
    GdiUnregister(object);
    return TRUE;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || (dc->type == GdiDc::Type::Target && dc->target->Window() != nullptr)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(GdiLock());
        if (dc->bitmap && !dc->bitmap->stock)
            dc->bitmap->selectedInto = nullptr;
        dc->bitmap.reset();
    }
    GdiUnregister(hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd)
{
    if (hwnd == nullptr) {
        auto dc = std::shared_ptr<GdiDc>(new (std::nothrow) GdiDc(GdiDc::Type::Info));
        if (!dc)
            return nullptr;
        GdiRegister(dc);
        return DcHandle(dc);
    }
    auto target = g_windowDcProvider ? g_windowDcProvider(hwnd) : nullptr;
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return CreateTargetDC(std::move(target));
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc)
{
    auto dc = GdiFindDc(hdc);
    if (!dc)
        return 0;
    const bool mine = (dc->type == GdiDc::Type::Info && hwnd == nullptr) ||
                      (dc->type == GdiDc::Type::Target && dc->target->Window() == hwnd && hwnd != nullptr);
    if (!mine)
        return 0;
    GdiSlot slot = GdiWithdraw(hdc);
    if (dc->type == GdiDc::Type::Target) {
        dc->target->Flush();
        KeepSpare(std::move(slot), std::move(dc));
    }
    return 1;
}

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID out)
{
    auto bitmap = GdiFindBitmap(object);
    if (!bitmap)
        return 0;
    BITMAP record{};
    record.bmType = 0;
    record.bmWidth = bitmap->width;
    record.bmHeight = bitmap->height;
    record.bmWidthBytes = bitmap->pitch;
    record.bmPlanes = 1;
    record.bmBitsPixel = static_cast<WORD>(bitmap->bitsPerPixel);
    record.bmBits = bitmap->isDibSection ? bitmap->bits : nullptr;
    if (out == nullptr)
        return bitmap->isDibSection ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
    if (bitmap->isDibSection && size >= static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION section{};
        section.dsBm = record;
        section.dsBmih = bitmap->header;
        std::memcpy(section.dsBitfields, bitmap->masks, sizeof(section.dsBitfields));
        section.dshSection = nullptr;
        section.dsOffset = 0;
        std::memcpy(out, &section, sizeof(section));
        return static_cast<int>(sizeof(DIBSECTION));
    }
    if (size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    std::memcpy(out, &record, sizeof(record));
    return static_cast<int>(sizeof(BITMAP));
}

DWORD WINAPI GetObjectType(HGDIOBJ object)
{
    auto found = GdiFind(object);
    if (!found)
        return 0;
    if (found->Kind() == GdiKind::Bitmap)
        return OBJ_BITMAP;
    if (found->Kind() == GdiKind::Brush)
        return OBJ_BRUSH;
    if (found->Kind() == GdiKind::Font)
        return OBJ_FONT;
    auto* dc = static_cast<GdiDc*>(found.get());
    return dc->type == GdiDc::Type::Memory ? OBJ_MEMDC : OBJ_DC;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    auto dc = GdiFindDc(hdc);
    if (dc && type == OBJ_FONT)
        return DcFont(*dc).get();
    if (!dc || type != OBJ_BITMAP)
        return nullptr;
    std::lock_guard lock(GdiLock());
    return dc->bitmap ? reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(dc->bitmap.get())) : nullptr;
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    auto dc = GdiFindDc(hdc);
    if (!dc)
        return 0;
    const auto displays = CurrentDisplays();
    const DisplayInfo& display =
        displays[dc->displayIndex >= 0 && static_cast<size_t>(dc->displayIndex) < displays.size() ? dc->displayIndex : 0];
    const int width = display.bounds.right - display.bounds.left;
    const int height = display.bounds.bottom - display.bounds.top;
    switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return width * 254 / 960;  // millimetres at 96 dots an inch
    case VERTSIZE: return height * 254 / 960;
    case HORZRES:
    case DESKTOPHORZRES: return width;
    case VERTRES:
    case DESKTOPVERTRES: return height;
    case BITSPIXEL: return display.bitsPerPixel;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return 0;
    case VREFRESH: return display.refreshHz;
    default: return 0;
    }
}

UINT WINAPI SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors)
{
    return WithColorTable(hdc, start, count, colors != nullptr, [&](RGBQUAD* entries, UINT n) {
        std::memcpy(entries, colors, n * sizeof(RGBQUAD));
    });
}

UINT WINAPI GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors)
{
    return WithColorTable(hdc, start, count, colors != nullptr, [&](RGBQUAD* entries, UINT n) {
        std::memcpy(colors, entries, n * sizeof(RGBQUAD));
    });
}

int WINAPI SetStretchBltMode(HDC hdc, int mode)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    const int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

int WINAPI GetStretchBltMode(HDC hdc)
{
    auto dc = GdiFindDc(hdc);
    return dc ? dc->stretchMode : 0;
}

BOOL WINAPI GdiFlush()
{
    if (auto handler = g_gdiFlushHandler.load())
        handler();
    return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int index)
{
    static const std::array<std::shared_ptr<GdiBrush>, 6> brushes = [] {
        const COLORREF colors[6] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                                    RGB(0, 0, 0), 0};
        std::array<std::shared_ptr<GdiBrush>, 6> made;
        for (int i = 0; i < 6; ++i) {
            made[i] = std::make_shared<GdiBrush>();
            made[i]->color = colors[i];
            made[i]->hollow = i == NULL_BRUSH;
            made[i]->stock = true;
            GdiRegister(made[i]);
        }
        return made;
    }();
    if (index == SYSTEM_FONT || index == DEFAULT_GUI_FONT)
        return StockFont().get();
    if (index < 0 || index > NULL_BRUSH)
        return nullptr;
    return static_cast<GdiObject*>(brushes[static_cast<size_t>(index)].get());
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    auto brush = std::shared_ptr<GdiBrush>(new (std::nothrow) GdiBrush);
    if (!brush)
        return nullptr;
    brush->color = color & 0x00FFFFFF;
    GdiRegister(brush);
    return reinterpret_cast<HBRUSH>(static_cast<GdiObject*>(brush.get()));
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH handle)
{
    if (rect == nullptr)
        return FALSE;
    COLORREF color;
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value >= 1 && value <= 31)
        color = RGB(240, 240, 240);  // a system-colour brush (COLOR_xxx + 1)
    else {
        auto brush = GdiFindBrush(handle);
        if (!brush)
            return FALSE;
        if (brush->hollow)
            return TRUE;
        color = brush->color;
    }
    DcPixelAccess access(hdc);
    if (!access.Ok())
        return FALSE;
    const PixelView& view = access.View();
    const int left = std::max<LONG>(rect->left, 0), top = std::max<LONG>(rect->top, 0);
    const int right = std::min<LONG>(rect->right, view.width), bottom = std::min<LONG>(rect->bottom, view.height);
    if (right <= left || bottom <= top)
        return TRUE;
    if (view.bitsPerPixel == 8)
        return FALSE;
    FillPixels(view, RECT{left, top, right, bottom},
               (uint32_t{GetRValue(color)} << 16) | (uint32_t{GetGValue(color)} << 8) | GetBValue(color));
    access.MarkChanged(RECT{left, top, right, bottom});
    return TRUE;
}
