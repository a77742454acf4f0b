// GDI objects inside the stand-in: every handle is the address of a live object in one registry,
// so that a stale or foreign handle is refused instead of followed. Internal to winapi.
#pragma once

#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "winapi/gdi_dc.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/pixel_memory.h"

namespace winapi {

enum class GdiKind { Bitmap, Dc, Brush, Font };

class GdiObject {
public:
    explicit GdiObject(GdiKind kind) : kind_(kind) {}
    virtual ~GdiObject() = default;
    GdiKind Kind() const { return kind_; }

private:
    GdiKind kind_;
};

class GdiBitmap : public GdiObject {
public:
    GdiBitmap() : GdiObject(GdiKind::Bitmap) {}
    ZeroedBytes storage;                // pixels
    BYTE* bits = nullptr;               // first byte in memory order (bottom row when bottom-up)
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool bottomUp = false;
    bool isDibSection = false;
    bool stock = false;
    int pitch = 0;                      // bytes per row, a multiple of 4
    BITMAPINFOHEADER header{};
    DWORD masks[3]{};
    std::array<RGBQUAD, 256> palette{};
    HDC selectedInto = nullptr;         // guarded by the registry lock

    PixelView View();
};

class GdiDc : public GdiObject {
public:
    enum class Type { Memory, Buffer, Target, Info };
    explicit GdiDc(Type type) : GdiObject(GdiKind::Dc), type(type) {}
    Type type;
    std::shared_ptr<GdiBitmap> bitmap;  // Memory: the selected bitmap
    PixelView buffer;                   // Buffer: the caller's pixels
    std::array<RGBQUAD, 256> bufferPalette{};
    std::shared_ptr<DcTarget> target;   // Target
    int displayIndex = 0;               // Info: which display
    int stretchMode = BLACKONWHITE;
    // Text state (winapi/fonts): the selected font (null: the stock font) stays alive while
    // selected, even after DeleteObject.
    std::shared_ptr<GdiObject> font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = 2;  // OPAQUE
};

class GdiBrush : public GdiObject {
public:
    GdiBrush() : GdiObject(GdiKind::Brush) {}
    COLORREF color = 0;
    bool hollow = false;
    bool stock = false;
};

std::shared_ptr<GdiBrush> GdiFindBrush(const void* handle);

// The registry. Handles are object addresses; Find returns null for unknown handles or kinds.
void GdiRegister(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> GdiFind(const void* handle);
std::shared_ptr<GdiDc> GdiFindDc(HDC hdc);
std::shared_ptr<GdiBitmap> GdiFindBitmap(const void* handle);
void GdiUnregister(const void* handle);
// An object taken out of the registry with its handle and its place kept (no allocation to put
// it back); empty for an unknown handle.
using GdiSlot = std::unordered_map<const void*, std::shared_ptr<GdiObject>>::node_type;
GdiSlot GdiWithdraw(const void* handle);
void GdiReinstate(GdiSlot slot);
std::mutex& GdiLock();

template <class T>
T* GdiHandle(const std::shared_ptr<GdiObject>& object)
{
    return reinterpret_cast<T*>(object.get());
}

} // namespace winapi
