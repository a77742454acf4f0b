// The image buffer's loading and saving: CImage members that reach the image-loader manager, the
// picture cache and the file manager, which the raster cannot see. The ELG direct path of
// LoadFileAt decodes straight into the image's rows with the bounded decoders.

#include "raster/image.h"

#include "files/elg_decoders.h"
#include "files/elg_loader.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/gll_manager.h"
#include "raster/dib_convert.h"
#include "winapi/kernel.h"
#include "winapi/picture_limit.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Result of the direct path when it does not apply.
constexpr int kNotDirect = INT_MIN;

// Colour-table entries of a palette picture: at most 256, and never past its information block.
DWORD PictureColours(CLoadedPicture& picture)
{
    const BITMAPINFOHEADER* h = picture.GetHeader();
    if (!h || h->biBitCount > 8 || h->biBitCount == 0) {
        return 0;
    }
    const DWORD most = 1u << h->biBitCount;
    DWORD colours = (h->biClrUsed == 0 || h->biClrUsed > most) ? most : h->biClrUsed;
    const SIZE_T infoSize = GlobalSize(picture.m_info);
    if (h->biSize > infoSize) {
        return 0;
    }
    const SIZE_T room = (infoSize - h->biSize) / 4;
    if (colours > room) {
        colours = static_cast<DWORD>(room);
    }
    return colours;
}

// The colour table as 0x00RRGGBB entries (B, G, R, 0 in memory); returns the count.
DWORD ReadColourTable(CLoadedPicture& picture, uint32_t* table)
{
    const DWORD colours = PictureColours(picture);
    const BITMAPINFOHEADER* h = picture.GetHeader();
    if (colours != 0) {
        std::memcpy(table, reinterpret_cast<const BYTE*>(h) + h->biSize, 4 * static_cast<size_t>(colours));
    }
    return colours;
}

// Width and height of a picture's bitmap; false for a picture that cannot be drawn.
bool PictureSize(CLoadedPicture& picture, LONG& width, LONG& height)
{
    const BITMAPINFOHEADER* h = picture.GetHeader();
    if (!h || !picture.GetBits() || h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN) {
        return false;
    }
    width = h->biWidth;
    height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    return true;
}

// Builds the image from a cached picture (Load: 32 bits; LoadWithPalette: 8 bits with the colour
// table). 0 ok, 6 create or palette failed, 9 conversion failed, `other` anything else.
int BuildFromPicture(CImage& image, CLoadedPicture& picture, uint32_t flags, bool eightBit, int other)
{
    LONG width = 0;
    LONG height = 0;
    if (!PictureSize(picture, width, height)) {
        return other;
    }
    const BITMAPINFOHEADER* h = picture.GetHeader();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(h);
    const RECT whole{0, 0, width, height};
    const auto stride = static_cast<LONG>(picture.m_stride);
    if (image.Create(width, height, eightBit ? 8 : 32, flags) != 0) {
        return 6;
    }
    bool converted;
    if (eightBit) {
        uint32_t table[256];
        const DWORD colours = ReadColourTable(picture, table);
        if (colours != 0 && image.CDibSurface::SetPaletteEntries(table, static_cast<int>(colours), 0) != 0) {
            return 6;
        }
        converted = ConvertDibTo8(image.GetBits(), whole, image.GetPitch(), info, picture.GetBits(), stride, {0, 0});
    } else if (h->biBitCount == 32) {
        converted = ConvertDibTo32(image.GetBits(), whole, image.GetPitch(), info, picture.GetBits(), stride, {0, 0});
        image.SetAlphaFlag(true);
    } else {
        converted =
            ConvertDibTo32NoAlpha(image.GetBits(), whole, image.GetPitch(), info, picture.GetBits(), stride, {0, 0});
    }
    if (!converted) {
        return 9;
    }
    image.SetUserValue1(static_cast<DWORD>(picture.GetX()));
    image.SetUserValue2(static_cast<DWORD>(picture.GetY()));
    if (picture.GetExtraSize() != 0 && !image.SetExtraData(picture.GetExtraData(FALSE), picture.GetExtraSize())) {
        return other;
    }
    return 0;
}

int LoadCommon(CImage& image, const char* name, const void* data, uint32_t size, uint32_t flags, bool eightBit)
{
    CGllManager* manager = g_pGllManager;
    if (!manager) {
        return 1;
    }
    if (name && manager->GetCacheBudget() != 0) {
        char path[MAX_PATH] = {};
        WIN32_FIND_DATAA found;
        if (!g_pFileManager || g_pFileManager->FindFileOrEntry(path, name, &found) > 0) {
            return 4;
        }
        if (CLoadedPicture* picture = manager->GetOrLoadCachedImage(name)) {
            int code = BuildFromPicture(image, *picture, flags, eightBit, eightBit ? 5 : 10);
            // Released on every exit: a failed build used to keep the cache's reference.
            picture->Release();
            if (code != 0) {
                image.Destroy();
                return code;
            }
            image.MarkChanged(RECT{0, 0, image.GetWidth(), image.GetHeight()});
            return 0;
        }
    }
    CImage::LoadContext context{&image, flags, nullptr};
    int x = 0;
    int y = 0;
    void* extra = nullptr;
    DWORD extraSize = 0;
    int code;
    if (!name) {
        code = manager->LoadImageFromMemory(static_cast<const BYTE*>(data), size, &CImage::Allocate, &CImage::Discard,
                                            &context, eightBit ? TRUE : FALSE, nullptr, nullptr, nullptr, &x, &y,
                                            &extra, &extraSize);
    } else {
        code = manager->LoadImage(name, &CImage::Allocate, &CImage::Discard, &context, eightBit ? TRUE : FALSE,
                                  nullptr, nullptr, &x, &y, &extra, &extraSize);
    }
    if (code == 0) {
        image.SetUserValue1(static_cast<DWORD>(x));
        image.SetUserValue2(static_cast<DWORD>(y));
        if (extra && extraSize != 0) {
            image.SetExtraData(extra, extraSize);
        }
        if (eightBit && context.palette) {
            uint32_t table[256];
            std::memcpy(table, context.palette, sizeof(table));
            image.CDibSurface::SetPaletteEntries(table, 256, 0);
        }
        image.MarkChanged(RECT{0, 0, image.GetWidth(), image.GetHeight()});
    }
    delete[] context.palette;
    std::free(extra);
    return code;
}

} // namespace

void* CImage::Allocate(int width, int height, int bitsPerPixel, BOOL hasAlpha, int* pitch, BYTE** palette, void* user)
{
    auto* context = static_cast<LoadContext*>(user);
    if (!context || !context->image || !pitch) {
        return nullptr;
    }
    CImage& image = *context->image;
    // Every loader and plug-in asks here: a picture past the limit is never made.
    if (!PictureWithinLimit(width, height) || image.Create(width, height, bitsPerPixel, context->flags) != 0) {
        return nullptr;
    }
    image.SetAlphaFlag(hasAlpha != 0);
    if (palette) {
        delete[] context->palette;
        context->palette = new (std::nothrow) BYTE[1024];
        *palette = context->palette;
        if (!context->palette) {
            return nullptr;
        }
    }
    *pitch = image.GetPitch();
    return image.GetBits();
}

void CImage::Discard(void* user)
{
    auto* context = static_cast<LoadContext*>(user);
    if (!context) {
        return;
    }
    if (context->image) {
        context->image->Destroy();
    }
    delete[] context->palette;
    context->palette = nullptr;
}

int CImage::Load(const char* name, const void* data, uint32_t size, uint32_t flags)
{
    return LoadCommon(*this, name, data, size, flags, false);
}

int CImage::LoadWithPalette(const char* name, const void* data, uint32_t size, uint32_t flags)
{
    return LoadCommon(*this, name, data, size, flags, true);
}

int CImage::ExportPixels(const char* fileName, int option, DWORD typeId)
{
    if (!m_bits) {
        return -4;
    }
    if (!g_pGllManager) {
        return 1;
    }
    return g_pGllManager->SaveImage(fileName, option, m_bits, m_width, m_height, m_bitsPerPixel, m_pitch,
                                    reinterpret_cast<const BYTE*>(m_palette), typeId, nullptr, nullptr);
}

int CImage::LoadFileAt(const char* name, const void* data, uint32_t size, LONG x, LONG y, bool withPalette)
{
    if (!m_bits) {
        return 1;
    }
    CGllManager* manager = g_pGllManager;
    if (!manager) {
        return 3;
    }
    CLoadedPicture* picture = nullptr;
    CFileStream file;
    const auto* bytes = static_cast<const BYTE*>(data);
    DWORD count = size;
    char path[MAX_PATH] = {};
    if (name) {
        if (manager->GetCacheBudget() != 0) {
            WIN32_FIND_DATAA found;
            if (!g_pFileManager || g_pFileManager->FindFileOrEntry(path, name, &found) > 0) {
                return 2;
            }
            picture = manager->GetOrLoadCachedImage(name);
        }
        if (!picture) {
            if (file.OpenInMemory(name) != 0 || !file.GetBuffer()) {
                return 2;
            }
            bytes = static_cast<const BYTE*>(file.GetBuffer());
            count = file.GetSize();
        }
    } else if (!bytes) {
        return 2;
    }

    if (!picture) {
        const int direct = LoadElgDirect(bytes, count, x, y, withPalette);
        if (direct != kNotDirect) {
            return direct;
        }
        CImageLoader* loader = name ? manager->FindByExtension(name, false) : nullptr;
        picture = manager->LoadPictureFromMemory(bytes, count, loader);
        if (!picture) {
            return 3;
        }
        if (path[0] != 0) {
            manager->AddCachedImage(picture, path); // under the key the cache looks pictures up by
        }
    }
    // The picture goes back on every exit: -1 and failed conversions used to keep it.
    const int code = DrawPictureAt(*picture, x, y, withPalette);
    picture->Release();
    return code;
}

int CImage::LoadElgDirect(const BYTE* bytes, DWORD count, LONG x, LONG y, bool withPalette)
{
    ElgHeader header;
    if (ParseElgHeader(bytes, count, header) != 0 || x != 0 || y != 0 || header.width != m_width ||
        header.height > m_height) {
        return kNotDirect;
    }
    // A colour picture into an 8-bit image takes the general path, which gives the same grey.
    if (m_bitsPerPixel == 8 && header.depth != 8) {
        return kNotDirect;
    }
    const BYTE* src = bytes + header.pixelOffset;
    const BYTE* end = bytes + count;
    const int w = header.width;
    const int h = header.height;
    if (m_bitsPerPixel == 32) {
        if (header.depth == 8) {
            BYTE table[1024];
            src = DecodeRleImageA(src, end, table, sizeof(table));
            if (src) {
                src = DecodeRleIndexedTo32(src, end, m_bits, w, h, m_pitch, table, 0);
            }
        } else {
            src = DecodeRleRgbTo32(src, end, m_bits, w, h, m_pitch);
            if (src && header.depth == 32) {
                src = DecodeRleAlphaTo32(src, end, m_bits, w, h, m_pitch);
            }
        }
    } else if (m_bitsPerPixel == 8) {
        uint32_t table[256];
        src = DecodeRleImageA(src, end, reinterpret_cast<BYTE*>(table), sizeof(table));
        if (src && withPalette) {
            if (CDibSurface::SetPaletteEntries(table, 256, 0) != 0) {
                return 4;
            }
            delete[] m_savedPalette;
            m_savedPalette = nullptr;
        }
        if (src) {
            src = DecodeRleIndexesPitched(src, end, m_bits, w, h, m_pitch);
        }
    } else {
        return 3;
    }
    if (!src) {
        return 3;
    }
    MarkChanged(RECT{0, 0, w, h});
    return 0;
}

int CImage::DrawPictureAt(CLoadedPicture& picture, LONG x, LONG y, bool withPalette)
{
    LONG width = 0;
    LONG height = 0;
    if (!PictureSize(picture, width, height)) {
        return 5;
    }
    const RECT whole{0, 0, width, height};
    if (TransferRect(nullptr, x, y, &whole, nullptr, nullptr, nullptr) != 0) {
        return -1;
    }
    const BITMAPINFOHEADER* h = picture.GetHeader();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(h);
    const auto stride = static_cast<LONG>(picture.m_stride);
    const POINT origin{m_transferSrc.left, m_transferSrc.top};
    bool converted;
    if (m_bitsPerPixel == 32) {
        const DibConverter convert = h->biBitCount == 32 ? ConvertDibTo32 : ConvertDibTo32NoAlpha;
        converted = convert(m_bits, m_transferDst, m_pitch, info, picture.GetBits(), stride, origin);
    } else {
        if (withPalette) {
            delete[] m_savedPalette;
            m_savedPalette = nullptr;
            uint32_t table[256];
            const DWORD colours = ReadColourTable(picture, table);
            if (colours != 0 && CDibSurface::SetPaletteEntries(table, static_cast<int>(colours), 0) != 0) {
                return 3;
            }
        }
        converted = ConvertDibTo8(m_bits, m_transferDst, m_pitch, info, picture.GetBits(), stride, origin);
    }
    if (!converted) {
        return 4;
    }
    MarkChanged(m_transferDst);
    return 0;
}
