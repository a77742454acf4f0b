// The DirectDraw image; see dd_image.h.
#include "display/dd_image.h"

#include "display/device_surface_create.h"
#include "files/elg_decoders.h"
#include "files/elg_loader.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/gll_manager.h"
#include "raster/dib_convert.h"
#include "raster/surface_convert.h"

#include <cstring>
#include <new>

namespace {

DDSURFACEDESC2 EmptyDesc()
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    return desc;
}

} // namespace

CDDImage::CDDImage(CDisplayDevice* device)
{
    if (device) {
        g_pSurfaceDisplayDevice = device;
    }
}

CDDImage::~CDDImage() { Release(); }

void CDDImage::Release()
{
    ReleaseSurface();
    m_fileName.clear();
    m_loadedData.clear();
    m_format = 0;
    m_fillColor = kNoColorKey;
}

int CDDImage::Create(LONG width, LONG height, bool systemMemory, bool texture, const DDPIXELFORMAT* format)
{
    ReleaseSurface();
    IDirectDrawSurface7* surface = nullptr;
    DDSURFACEDESC2 made;
    const int code =
        CreateDeviceSurface(g_pSurfaceDisplayDevice, width, height, systemMemory, texture, format, &surface, &made);
    if (code != 0) {
        return code;
    }
    m_surface = surface;
    m_width = width;
    m_height = height;
    m_pitch = made.lPitch;
    m_clip = RECT{0, 0, width, height};
    m_inVideoMemory = (made.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
    m_systemMemory = systemMemory;
    m_format = ::GetPixelFormatCode(nullptr, nullptr, &made.ddpfPixelFormat);
    if (!texture) {
        m_format = OpaqueFormat(m_format);
    }
    m_bitsPerPixel = static_cast<uint8_t>(made.ddpfPixelFormat.dwRGBBitCount);
    return 0;
}

int CDDImage::Load(const char* name, const void* data, uint32_t size, bool systemMemory)
{
    CGllManager* manager = g_pGllManager;
    if (!manager) {
        return 2;
    }
    if (!name && !data) {
        return 1;
    }
    if (!name) {
        // Kept so Restore can load the same bytes again.
        std::vector<BYTE> copy;
        try {
            copy.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
        } catch (const std::bad_alloc&) {
            return 6;
        }
        const int code = LoadBytes(nullptr, copy.data(), size, systemMemory);
        if (code == 0) {
            m_fileName.clear();
            m_loadedData = std::move(copy);
            m_fillColor = kNoColorKey;
        }
        return code;
    }
    return LoadBytes(name, nullptr, 0, systemMemory);
}

int CDDImage::LoadBytes(const char* name, const BYTE* bytes, DWORD count, bool systemMemory)
{
    CGllManager* manager = g_pGllManager;
    CLoadedPicture* picture = nullptr;
    CFileStream file;
    char path[MAX_PATH] = {};
    if (name) {
        if (manager->GetCacheBudget() != 0) {
            WIN32_FIND_DATAA found;
            if (!g_pFileManager || g_pFileManager->FindFileOrEntry(path, name, &found) > 0) {
                return 1;
            }
            picture = manager->LookupCachedImage(path);
        }
        if (!picture) {
            if (file.OpenInMemory(name) != 0 || !file.GetBuffer()) {
                return 1;
            }
            bytes = static_cast<const BYTE*>(file.GetBuffer());
            count = file.GetSize();
        }
    }
    const bool elg = !picture && count >= 3 && std::memcmp(bytes, "ELG", 3) == 0;
    ElgHeader header;
    if (!picture && !elg) {
        CImageLoader* loader = name ? manager->FindByExtension(name, false) : nullptr;
        picture = manager->LoadPictureFromMemory(bytes, count, loader);
        if (!picture) {
            return 2;
        }
        if (path[0] != 0) {
            manager->AddCachedImage(picture, path);
        }
    } else if (elg && ParseElgHeader(bytes, count, header) != 0) {
        return 2;
    }

    int code = 0;
    if (picture) {
        const BITMAPINFOHEADER* h = picture->GetHeader();
        if (!h || !picture->GetBits() || h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN) {
            code = 2;
        } else {
            const LONG height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
            code = Create(h->biWidth, height, systemMemory, false, nullptr) != 0 ? 3 : 0;
        }
    } else {
        code = Create(header.width, header.height, systemMemory, false, nullptr) != 0 ? 3 : 0;
        if (code == 0) {
            code = LoadElgDirect(bytes, count);
            if (code == 0) {
                m_userValue1 = static_cast<DWORD>(header.x);
                m_userValue2 = static_cast<DWORD>(header.y);
            } else if (code < 0) {
                // Not the direct case: the ELG loader makes a picture.
                code = 0;
                picture = manager->LoadPictureFromMemory(bytes, count, manager->FindPluginByType(2));
                if (!picture) {
                    code = 2;
                } else if (path[0] != 0) {
                    manager->AddCachedImage(picture, path);
                }
            }
        }
    }
    if (code == 0 && picture) {
        const DibConverter convert = DibConverterForFormat(m_format);
        DDSURFACEDESC2 locked = EmptyDesc();
        if (!convert) {
            code = 5;
        } else if (m_surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) {
            code = 4;
        } else {
            const RECT whole{0, 0, m_width, m_height};
            const bool converted = convert(static_cast<BYTE*>(locked.lpSurface), whole, locked.lPitch,
                                           reinterpret_cast<const BITMAPINFO*>(picture->GetHeader()),
                                           picture->GetBits(), static_cast<LONG>(picture->m_stride), {0, 0});
            m_surface->Unlock(nullptr);
            code = converted ? 0 : 5;
        }
        if (code == 0) {
            m_userValue1 = static_cast<DWORD>(picture->GetX());
            m_userValue2 = static_cast<DWORD>(picture->GetY());
        }
    }
    if (picture) {
        picture->Release();
    }
    if (code != 0) {
        ReleaseSurface();
        return code;
    }
    if (name) {
        m_fileName.assign(name, name + std::strlen(name) + 1);
        m_loadedData.clear();
        m_fillColor = kNoColorKey;
    }
    return 0;
}

// Decodes ELG data straight into a locked x888 surface whose rows are exactly its width: 0, 2 bad
// data, 4 lock failed; -1 when the surface is not such a surface.
int CDDImage::LoadElgDirect(const BYTE* bytes, DWORD count)
{
    ElgHeader header;
    if (m_format != kPixelX8R8G8B8 || m_pitch != 4 * m_width || ParseElgHeader(bytes, count, header) != 0) {
        return -1;
    }
    DDSURFACEDESC2 locked = EmptyDesc();
    if (m_surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) {
        return 4;
    }
    auto* dst = static_cast<BYTE*>(locked.lpSurface);
    const BYTE* src = bytes + header.pixelOffset;
    const BYTE* end = bytes + count;
    if (header.depth == 8) {
        BYTE table[1024];
        src = DecodeRleImageA(src, end, table, sizeof(table));
        if (src) {
            src = DecodeRleIndexedTo32(src, end, dst, m_width, m_height, locked.lPitch, table, 0);
        }
    } else if (header.depth == 24 || header.depth == 32) {
        src = DecodeRleRgbTo32(src, end, dst, m_width, m_height, locked.lPitch);
    } else {
        src = nullptr;
    }
    m_surface->Unlock(nullptr);
    return src ? 0 : 2;
}

int CDDImage::CopyImageToSurface(const CDibSurface* source, LONG x, LONG y, const RECT* srcRect,
                                 const DDSURFACEDESC2* desc)
{
    if (!m_surface) {
        return 1;
    }
    return ::CopyImageToSurface(m_surface, m_format, &m_clip, source, x, y, srcRect, desc);
}

int CDDImage::FillColor(BYTE r, BYTE g, BYTE b)
{
    if (!m_surface) {
        return 1;
    }
    if (FillSurfaceRect(m_surface, nullptr, r, g, b, nullptr, 0) != 0) {
        return 2;
    }
    m_fileName.clear();
    m_loadedData.clear();
    m_fillColor = (static_cast<DWORD>(r) << 16) | (static_cast<DWORD>(g) << 8) | b;
    return 0;
}

int CDDImage::ClearColorKey()
{
    if (!m_surface) {
        return 1;
    }
    if (m_surface->SetColorKey(DDCKEY_SRCBLT, nullptr) != DD_OK) {
        return 2;
    }
    ResetKeys();
    return 0;
}

int CDDImage::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost)) {
        return 0;
    }
    const DWORD rgbKey = m_colorKey;
    const LONG keyX = m_keyX;
    const LONG keyY = m_keyY;
    if (!m_fileName.empty()) {
        std::vector<char> name;
        try {
            name = m_fileName;
        } catch (const std::bad_alloc&) {
            return 2;
        }
        if (LoadBytes(name.data(), nullptr, 0, m_systemMemory) != 0) {
            return 1;
        }
    } else if (!m_loadedData.empty()) {
        if (LoadBytes(nullptr, m_loadedData.data(), static_cast<DWORD>(m_loadedData.size()), m_systemMemory) != 0) {
            return 1;
        }
    } else {
        if (Create(m_width, m_height, m_systemMemory, false, nullptr) != 0) {
            return 3;
        }
        if (m_fillColor != kNoColorKey &&
            FillSurfaceRect(m_surface, nullptr, static_cast<BYTE>(m_fillColor >> 16),
                            static_cast<BYTE>(m_fillColor >> 8), static_cast<BYTE>(m_fillColor), nullptr, 0) != 0) {
            return 4;
        }
    }
    return SetKeyAgain(rgbKey, keyX, keyY);
}
