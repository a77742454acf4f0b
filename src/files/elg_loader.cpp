// The ELG loader. Every field is read from the file byte by byte and checked against the input's
// size; the streams are decoded by the bounded decoders, so a bad file gives code 3.
#include "files/elg_loader.h"

#include <cstdlib>
#include <cstring>

#include "files/elg_decoders.h"
#include "winapi/gdi.h"
#include "winapi/kernel.h"
#include "winapi/picture_limit.h"

namespace {

inline int U16(const BYTE* p) { return p[0] | (p[1] << 8); }
inline int S16(const BYTE* p) { return static_cast<int16_t>(static_cast<uint16_t>(U16(p))); }
inline DWORD U32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16)
           | (static_cast<DWORD>(p[3]) << 24);
}

// The most values one input byte can expand to (a long fill of the byte coding: 3 bytes for 8226
// values). A picture claiming more than this from its data cannot be valid, and is refused before
// anything is allocated for it.
constexpr uint64_t kMaxValuesPerByte = 2742;

}  // namespace

int ParseElgHeader(const BYTE* data, DWORD size, ElgHeader& header)
{
    header = ElgHeader{};
    if (data == nullptr || size < 4 || data[0] != 'E' || data[1] != 'L' || data[2] != 'G')
        return kGllNotSupported;
    const int variant = data[3];
    if (variant == 1) {
        if (size < 13)
            return kGllBadData;
        header.depth = data[4];
        header.x = S16(data + 5);
        header.y = S16(data + 7);
        header.width = U16(data + 9);
        header.height = U16(data + 11);
        header.pixelOffset = 13;
    } else if (variant == 2) {
        if (size < 14)
            return kGllBadData;
        header.depth = data[4];
        header.width = U16(data + 5);
        header.height = U16(data + 7);
        header.x = S16(data + 9);
        header.y = S16(data + 11);
        // Walk the chain: tag, length (counting its own four bytes), data; a zero tag ends it.
        DWORD at = 13;
        for (;;) {
            if (at >= size)
                return kGllBadData;
            if (data[at] == 0)
                break;
            if (size - at < 5)
                return kGllBadData;
            const DWORD length = U32(data + at + 1);
            if (length < 4 || length > size - at - 1)
                return kGllBadData;
            at += 1 + length;
        }
        header.chainOffset = 13;
        header.chainSize = at - 13;
        header.pixelOffset = at + 1;
    } else {
        if (size < 8)
            return kGllBadData;
        header.depth = variant;
        header.width = U16(data + 4);
        header.height = U16(data + 6);
        header.pixelOffset = 8;
    }
    if (header.depth != 8 && header.depth != 24 && header.depth != 32)
        return kGllBadData;
    if (!PictureWithinLimit(header.width, header.height))
        return kGllBadData;
    const uint64_t values = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height);
    if (values > static_cast<uint64_t>(size - header.pixelOffset) * kMaxValuesPerByte)
        return kGllBadData;
    return kGllOk;
}

bool CElgLoader::IsSupported(const BYTE* header, DWORD size, const char*)
{
    return header != nullptr && size >= 4 && header[0] == 'E' && header[1] == 'L' && header[2] == 'G';
}

void CElgLoader::FreePicture()
{
    std::free(m_extraData);
    m_extraData = nullptr;
    m_extraSize = 0;
    CImageLoader::FreePicture();
}

int CElgLoader::Save(int, const void*, int, int, int, int, GllWriteFunc, void*, const BYTE*, GllProgressFunc, void*)
{
    return kGllUseLoadPicture;
}

// Parses the header, sets x and y and replaces the extension data with a copy of the chain.
int CElgLoader::ReadHeader(const BYTE* data, DWORD size, ElgHeader& header)
{
    std::free(m_extraData);
    m_extraData = nullptr;
    m_extraSize = 0;
    const int code = ParseElgHeader(data, size, header);
    if (code != kGllOk)
        return code;
    m_x = header.x;
    m_y = header.y;
    if (header.chainSize != 0) {
        m_extraData = std::malloc(header.chainSize);
        if (m_extraData == nullptr)
            return kGllNoMemory;
        std::memcpy(m_extraData, data + header.chainOffset, header.chainSize);
        m_extraSize = header.chainSize;
    }
    return kGllOk;
}

int CElgLoader::LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                            GllProgressFunc progress, void* progressUser)
{
    if (data == nullptr)
        return kGllBadData;
    if ((outInfo == nullptr) != (outBits == nullptr))
        return kGllBadArguments;
    if (!IsSupported(data, size, nullptr))
        return kGllNotSupported;
    int progressTotal = 1;
    const int code = LoadPictureBody(data, size, outInfo, outBits, progress, progressUser, progressTotal);
    if (code != kGllOk)
        FreePicture();
    if (progress != nullptr)
        progress(progressTotal, progressTotal, progressUser);
    return code;
}

int CElgLoader::LoadPictureBody(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                                GllProgressFunc progress, void* progressUser, int& progressTotal)
{
    FreePicture();
    ElgHeader h;
    int code = ReadHeader(data, size, h);
    if (code != kGllOk)
        return code;
    const DWORD infoSize = h.depth == 8 ? 40 + 1024 : 44;
    const uint64_t rowBytes = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.depth / 8);
    const uint64_t stride = (rowBytes + 3) & ~uint64_t{3};
    if (progress != nullptr) {
        progressTotal = h.height;
        if (progress(0, h.height, progressUser) != 0)
            return kGllAborted;
    }
    code = AllocatePictureBlocks(*this, h.width, h.height, h.depth, infoSize, stride);
    if (code != kGllOk)
        return code;
    if (h.depth == 8)
        static_cast<BITMAPINFOHEADER*>(m_info)->biClrUsed = 256;

    const BYTE* src = data + h.pixelOffset;
    const BYTE* end = data + size;
    auto* bits = static_cast<BYTE*>(m_bits);
    const int st = static_cast<int>(stride);
    switch (h.depth) {
    case 8:
        src = DecodeRleImageA(src, end, static_cast<BYTE*>(m_info) + 40, 1024);
        if (src != nullptr)
            src = DecodeRleImageB(src, end, bits, h.width, h.height, st);
        break;
    case 24:
        src = DecodeRleBytesBottomUp(src, end, bits, h.width, h.height, st);
        break;
    default:
        src = DecodeRleRgbTo32BottomUp(src, end, bits, h.width, h.height);
        if (src != nullptr)
            src = DecodeRleAlphaTo32BottomUp(src, end, bits, h.width, h.height);
        break;
    }
    if (src == nullptr)
        return kGllBadData;
    if (outInfo != nullptr) {
        *outInfo = m_info;
        *outBits = m_bits;
        m_info = nullptr;
        m_bits = nullptr;
    }
    return kGllOk;
}

int CElgLoader::Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
                     GllProgressFunc progress, void* progressUser)
{
    if (data == nullptr)
        return kGllBadData;
    if (allocate == nullptr)
        return kGllBadArguments;
    if (!IsSupported(data, size, nullptr))
        return kGllNotSupported;
    int progressTotal = 1;
    const int code = LoadBody(data, size, allocate, allocateUser, eightBit, progress, progressUser, progressTotal);
    if (code != kGllOk) {
        std::free(m_extraData);
        m_extraData = nullptr;
        m_extraSize = 0;
    }
    if (progress != nullptr)
        progress(progressTotal, progressTotal, progressUser);
    return code;
}

int CElgLoader::LoadBody(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser,
                         BOOL eightBit, GllProgressFunc progress, void* progressUser, int& progressTotal)
{
    ElgHeader h;
    const int code = ReadHeader(data, size, h);
    if (code != kGllOk)
        return code;
    if (progress != nullptr) {
        progressTotal = h.height;
        if (progress(0, h.height, progressUser) != 0)
            return kGllAborted;
    }
    int pitch = 0;
    BYTE* palette = nullptr;
    const bool wantPalette = eightBit && h.depth == 8;
    auto* dst = static_cast<BYTE*>(allocate(h.width, h.height, eightBit ? 8 : 32, h.depth == 32 ? TRUE : FALSE,
                                            &pitch, wantPalette ? &palette : nullptr, allocateUser));
    if (dst == nullptr || (wantPalette && palette == nullptr))
        return kGllNoMemory;
    // The caller's pitch must hold a row; a smaller one would make rows overlap.
    const int64_t rowBytes = static_cast<int64_t>(h.width) * (eightBit ? 1 : 4);
    if (pitch < rowBytes)
        return kGllBadData;

    const BYTE* src = data + h.pixelOffset;
    const BYTE* end = data + size;
    if (eightBit) {
        if (h.depth == 8) {
            src = DecodeRleImageA(src, end, palette, 1024);
            if (src != nullptr)
                src = DecodeRleIndexesPitched(src, end, dst, h.width, h.height, pitch);
        } else {
            // Gray from the colour stream; the alpha stream of a 32-bit file is not read.
            src = DecodeRleBytesPitched(src, end, dst, h.width, h.height, pitch);
        }
    } else {
        switch (h.depth) {
        case 8: {
            BYTE table[1024];
            src = DecodeRleImageA(src, end, table, 1024);
            if (src != nullptr)
                src = DecodeRleIndexedTo32(src, end, dst, h.width, h.height, pitch, table, 0);
            break;
        }
        case 24:
            src = DecodeRleRgbTo32(src, end, dst, h.width, h.height, pitch);
            break;
        default:
            src = DecodeRleRgbTo32(src, end, dst, h.width, h.height, pitch);
            if (src != nullptr)
                src = DecodeRleAlphaTo32(src, end, dst, h.width, h.height, pitch);
            break;
        }
    }
    return src == nullptr ? kGllBadData : kGllOk;
}
