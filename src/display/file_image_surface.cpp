// The file image texture; see file_image_surface.h.
#include "display/file_image_surface.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display/device_surface_create.h"
#include "files/elg_decoders.h"
#include "files/elg_loader.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/gll_manager.h"
#include "raster/dib_convert.h"
#include "winapi/picture_limit.h"

namespace {

DDSURFACEDESC2 EmptyDesc()
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    return desc;
}

LONG NextPowerOfTwo(LONG v)
{
    LONG p = 1;
    while (p < v && p < (1L << 30))
        p <<= 1;
    return p;
}

// Releases a picture when it goes out of scope.
struct PictureRef {
    CLoadedPicture* picture = nullptr;
    ~PictureRef()
    {
        if (picture)
            picture->Release();
    }
};

} // namespace

CFileImageSurface::CFileImageSurface(CD3DDevice* device)
{
    if (device)
        g_pRenderDevice = device;
}

CFileImageSurface::~CFileImageSurface()
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
}

void CFileImageSurface::Clear()
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
    m_sourceWidth = m_sourceHeight = 0;
    CDDImage::Release();
}

void CFileImageSurface::FitTexture(LONG w, LONG h, DWORD textureCaps, DWORD minW, DWORD minH, DWORD maxW, DWORD maxH,
                                   LONG* outW, LONG* outH, bool* tooLarge)
{
    if ((textureCaps & D3DPTEXTURECAPS_POW2) && !(textureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) {
        w = NextPowerOfTwo(w);
        h = NextPowerOfTwo(h);
    }
    if (textureCaps & D3DPTEXTURECAPS_SQUAREONLY)
        w = h = std::max(w, h);
    *tooLarge = false;
    if (maxW != 0 && w > static_cast<LONG>(std::min<DWORD>(maxW, 1u << 30))) {
        w = static_cast<LONG>(maxW);
        *tooLarge = true;
    }
    if (maxH != 0 && h > static_cast<LONG>(std::min<DWORD>(maxH, 1u << 30))) {
        h = static_cast<LONG>(maxH);
        *tooLarge = true;
    }
    w = std::max(w, static_cast<LONG>(std::min<DWORD>(minW, kMaxPictureSide)));
    h = std::max(h, static_cast<LONG>(std::min<DWORD>(minH, kMaxPictureSide)));
    *outW = w;
    *outH = h;
}

double CFileImageSurface::GetTexU(LONG x) const
{
    // Before anything is loaded there is no texture to divide by.
    if (m_width <= 0)
        return 0;
    if (m_sourceWidth > m_width)
        return (static_cast<double>(x) * m_width / m_sourceWidth + 0.5) / m_width;
    return (x + 0.5) / m_width;
}

double CFileImageSurface::GetTexV(LONG y) const
{
    if (m_height <= 0)
        return 0;
    if (m_sourceHeight > m_height)
        return (static_cast<double>(y) * m_height / m_sourceHeight + 0.5) / m_height;
    return (y + 0.5) / m_height;
}

int CFileImageSurface::Load(uint32_t format, const char* name, const void* data, uint32_t size, bool systemMemory)
{
    Clear();
    CD3DDevice* device = g_pRenderDevice;
    if (device == nullptr)
        return 1;
    const DDPIXELFORMAT* texture = device->GetTextureFormat(format);
    if (texture == nullptr)
        return 2;
    if (g_pGllManager == nullptr)
        return 4;
    if (name == nullptr && data == nullptr)
        return 3;
    const DDPIXELFORMAT kept = *texture;
    int code = 0;
    if (name == nullptr) {
        std::vector<BYTE> copy;
        try {
            copy.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
        } catch (const std::bad_alloc&) {
            return 10;
        }
        code = LoadInto(nullptr, copy.data(), size, systemMemory, kept);
        if (code == 0) {
            m_name.clear();
            m_data = std::move(copy);
        }
    } else {
        code = LoadInto(name, nullptr, 0, systemMemory, kept);
        if (code == 0) {
            try {
                m_name.assign(name, name + std::strlen(name) + 1);
            } catch (const std::bad_alloc&) {
                code = 10;
            }
            m_data.clear();
        }
    }
    if (code != 0) {
        Clear();
        return code;
    }
    m_requested = format;
    m_keptSystemMemory = systemMemory;
    return 0;
}

int CFileImageSurface::LoadInto(const char* name, const BYTE* bytes, DWORD count, bool systemMemory,
                                const DDPIXELFORMAT& format)
{
    CGllManager* manager = g_pGllManager;
    CD3DDevice* device = g_pRenderDevice;
    PictureRef picture;
    CFileStream file;
    char path[MAX_PATH] = {};
    if (name) {
        if (manager->GetCacheBudget() != 0) {
            WIN32_FIND_DATAA found;
            if (!g_pFileManager || g_pFileManager->FindFileOrEntry(path, name, &found) > 0)
                return 3;
            picture.picture = manager->LookupCachedImage(path);
        }
        if (!picture.picture) {
            if (file.OpenInMemory(name) != 0 || !file.GetBuffer())
                return 3;
            bytes = static_cast<const BYTE*>(file.GetBuffer());
            count = file.GetSize();
        }
    }
    const bool elg = !picture.picture && count >= 3 && std::memcmp(bytes, "ELG", 3) == 0;
    ElgHeader header;
    LONG pw = 0, ph = 0;
    if (!picture.picture && !elg) {
        CImageLoader* loader = name ? manager->FindByExtension(name, false) : nullptr;
        picture.picture = manager->LoadPictureFromMemory(bytes, count, loader);
        if (!picture.picture)
            return 4;
        if (path[0] != 0)
            manager->AddCachedImage(picture.picture, path);
    } else if (elg) {
        // A header cut short or with a bad depth is undecodable data.
        if (ParseElgHeader(bytes, count, header) != 0)
            return 4;
        pw = header.width;
        ph = header.height;
    }
    if (picture.picture) {
        const BITMAPINFOHEADER* h = picture.picture->GetHeader();
        if (!h || !picture.picture->GetBits() || h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN)
            return 4;
        pw = h->biWidth;
        ph = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    }
    // Refused before anything is allocated (a 65535 x 65535 ELG once asked for a 17 GB temporary).
    if (!PictureWithinLimit(pw, ph))
        return 4;
    LONG tw = 0, th = 0;
    bool tooLarge = false;
    FitTexture(pw, ph, device->GetTextureCaps(), device->GetMinTextureWidth(), device->GetMinTextureHeight(),
               device->GetMaxTextureWidth(), device->GetMaxTextureHeight(), &tw, &th, &tooLarge);
    if (tw > kMaxPictureSide || th > kMaxPictureSide)
        return 5;
    if (Create(tw, th, systemMemory, true, &format) != 0)
        return 5;
    const uint32_t code = GetPixelFormatCode();
    if (elg && !tooLarge && (code == kPixelX8R8G8B8 || code == kPixelA8R8G8B8) && m_pitch == 4 * pw) {
        DDSURFACEDESC2 locked = EmptyDesc();
        if (m_surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
            return 6;
        auto* dst = static_cast<BYTE*>(locked.lpSurface);
        const BYTE* src = bytes + header.pixelOffset;
        const BYTE* end = bytes + count;
        const bool alpha = code == kPixelA8R8G8B8;
        if (header.depth == 8) {
            BYTE table[1024];
            src = DecodeRleImageA(src, end, table, sizeof(table));
            if (src)
                src = DecodeRleIndexedTo32(src, end, dst, pw, ph, locked.lPitch, table, alpha ? 0xFF : 0);
        } else if (header.depth == 24 || header.depth == 32) {
            src = DecodeRleRgbTo32(src, end, dst, pw, ph, locked.lPitch);
            if (src && alpha && header.depth == 32) {
                src = DecodeRleAlphaTo32(src, end, dst, pw, ph, locked.lPitch);
            } else if (src && alpha) {
                for (LONG y = 0; y < ph; ++y)
                    for (LONG x = 0; x < pw; ++x)
                        dst[static_cast<ptrdiff_t>(y) * locked.lPitch + x * 4 + 3] = 0xFF;
            }
        } else {
            src = nullptr;
        }
        m_surface->Unlock(nullptr);
        if (!src)
            return 4;
        m_sourceWidth = pw;
        m_sourceHeight = ph;
        m_userValue1 = static_cast<DWORD>(header.x);
        m_userValue2 = static_cast<DWORD>(header.y);
        return 0;
    }
    if (elg) {
        picture.picture = manager->LoadPictureFromMemory(bytes, count, manager->FindPluginByType(2));
        if (!picture.picture)
            return 4;
        const BITMAPINFOHEADER* h = picture.picture->GetHeader();
        if (!h || !picture.picture->GetBits() || h->biWidth != pw || (h->biHeight != ph && h->biHeight != -ph))
            return 4;
        if (path[0] != 0)
            manager->AddCachedImage(picture.picture, path);
    }
    const DibConverter convert = DibConverterForFormat(code);
    if (!convert)
        return 8;
    auto convertInto = [&](IDirectDrawSurface7* surface, LONG w, LONG h) {
        DDSURFACEDESC2 locked = EmptyDesc();
        if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
            return 8;
        const RECT whole{0, 0, std::min(w, pw), std::min(h, ph)};
        const bool converted =
            convert(static_cast<BYTE*>(locked.lpSurface), whole, locked.lPitch,
                    reinterpret_cast<const BITMAPINFO*>(picture.picture->GetHeader()), picture.picture->GetBits(),
                    static_cast<LONG>(picture.picture->m_stride), {0, 0});
        surface->Unlock(nullptr);
        return converted ? 0 : 8;
    };
    if (tooLarge) {
        // The whole picture in a temporary texture, then scaled onto the texture.
        CDDImage temporary;
        if (temporary.Create(pw, ph, systemMemory, true, &format) != 0)
            return 7;
        if (const int converted = convertInto(temporary.GetDirectDrawSurface(), pw, ph); converted != 0)
            return converted;
        RECT to{0, 0, std::min(pw, m_width), std::min(ph, m_height)};
        if (m_surface->Blt(&to, temporary.GetDirectDrawSurface(), nullptr, DDBLT_WAIT, nullptr) != DD_OK)
            return 9;
    } else if (const int converted = convertInto(m_surface, m_width, m_height); converted != 0) {
        return converted;
    }
    m_sourceWidth = pw;
    m_sourceHeight = ph;
    m_userValue1 = static_cast<DWORD>(picture.picture->GetX());
    m_userValue2 = static_cast<DWORD>(picture.picture->GetY());
    return 0;
}

int CFileImageSurface::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost))
        return 0;
    const DWORD rgbKey = m_colorKey;
    const LONG keyX = m_keyX;
    const LONG keyY = m_keyY;
    std::vector<char> name;
    std::vector<BYTE> data;
    try {
        name = m_name;
        data = m_data;
    } catch (const std::bad_alloc&) {
        return 2;
    }
    const int loaded = name.empty() ? Load(m_requested, nullptr, data.data(), static_cast<uint32_t>(data.size()),
                                           m_keptSystemMemory)
                                    : Load(m_requested, name.data(), nullptr, 0, m_keptSystemMemory);
    if (loaded != 0)
        return 1;
    return SetKeyAgain(rgbKey, keyX, keyY);
}
