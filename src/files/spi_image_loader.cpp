#include "files/spi_image_loader.h"

#include <cstring>

#include "winapi/kernel.h"
#include "winapi/picture_limit.h"

namespace {

struct GllProgress {
    GllProgressFunc callback;
    void* user;
};

int ForwardProgress(int done, int total, intptr_t user)
{
    const auto* progress = reinterpret_cast<const GllProgress*>(user);
    return progress->callback != nullptr ? progress->callback(done, total, progress->user) : 0;
}

uint32_t Read32(const BYTE* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Checks a plug-in's bitmap against its blocks, every size in 64 bits → the row stride, or 0.
uint64_t CheckBitmap(const BYTE* info, uint64_t infoSize, uint64_t bitsSize)
{
    if (infoSize < 40)
        return 0;
    const uint64_t headerSize = Read32(info);
    const int64_t width = static_cast<int32_t>(Read32(info + 4));
    int64_t height = static_cast<int32_t>(Read32(info + 8));
    const unsigned bitCount = info[14] | info[15] << 8;
    if (height < 0)
        height = -height;
    if (headerSize < 40 || headerSize > infoSize || !PictureWithinLimit(width, height))
        return 0;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return 0;
    if (bitCount <= 8) {
        const uint64_t most = uint64_t{1} << bitCount;
        const uint64_t used = Read32(info + 32);
        const uint64_t colours = used == 0 || used > most ? most : used;
        if (headerSize + 4 * colours > infoSize)
            return 0;
    }
    const uint64_t rowBytes =
        bitCount >= 16 ? bitCount / 8 * static_cast<uint64_t>(width) : (static_cast<uint64_t>(width) * bitCount + 7) / 8;
    const uint64_t stride = (rowBytes + 3) & ~uint64_t{3};
    return stride * static_cast<uint64_t>(height) <= bitsSize ? stride : 0;
}

} // namespace

CSPIImageLoader::CSPIImageLoader(SpiModuleRef module, SpiIsSupportedFunc isSupported, SpiGetPictureFunc getPicture,
                                 std::string typeString, std::string extensions)
    : m_module(std::move(module)), m_isSupported(isSupported), m_getPicture(getPicture),
      m_typeString(std::move(typeString)), m_extensions(std::move(extensions))
{
}

bool CSPIImageLoader::IsSupported(const BYTE* header, DWORD size, const char* name)
{
    BYTE head[kSpiHeadSize] = {};
    if (header != nullptr)
        std::memcpy(head, header, size < kSpiHeadSize ? size : kSpiHeadSize);
    try {
        return m_isSupported(name != nullptr ? name : "", head) != 0;
    } catch (...) {
        return false;
    }
}

int CSPIImageLoader::Load(const BYTE*, DWORD, GllAllocateFunc, void*, BOOL, GllProgressFunc, void*)
{
    return kGllUseLoadPicture;
}

int CSPIImageLoader::Save(int, const void*, int, int, int, int, GllWriteFunc, void*, const BYTE*, GllProgressFunc,
                          void*)
{
    return kGllUseLoadPicture;
}

int CSPIImageLoader::LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                                 GllProgressFunc progress, void* progressUser)
{
    if (data == nullptr)
        return kGllBadArguments;
    HLOCAL infoHandle = nullptr;
    HLOCAL bitsHandle = nullptr;
    GllProgress forward{progress, progressUser};
    int answer = 1;
    try {
        answer = m_getPicture(reinterpret_cast<const char*>(data), size, kSpiInputMemory, &infoHandle, &bitsHandle,
                              ForwardProgress, reinterpret_cast<intptr_t>(&forward));
    } catch (...) {
    }
    if (infoHandle == bitsHandle)
        bitsHandle = nullptr; // one block given twice is freed once
    SIZE_T infoSize = 0;
    SIZE_T bitsSize = 0;
    HGLOBAL info = TakeSpiBlock(infoHandle, &infoSize);
    HGLOBAL bits = TakeSpiBlock(bitsHandle, &bitsSize);
    int code = kGllOk;
    uint64_t stride = 0;
    if (answer != 0)
        code = kGllNotSupported;
    else if (info == nullptr || bits == nullptr || uint64_t{infoSize} + bitsSize > 0xFFFFFFFFu ||
             (stride = CheckBitmap(static_cast<const BYTE*>(info), infoSize, bitsSize)) == 0)
        code = kGllBadData;
    if (code != kGllOk) {
        GlobalFree(info);
        GlobalFree(bits);
        return code;
    }
    m_stride = static_cast<DWORD>(stride);
    m_pictureSize = static_cast<DWORD>(infoSize + bitsSize);
    if (outInfo != nullptr && outBits != nullptr) {
        *outInfo = info;
        *outBits = bits;
        return kGllOk;
    }
    const DWORD pictureSize = m_pictureSize;
    FreePicture();
    m_info = info;
    m_bits = bits;
    m_pictureSize = pictureSize;
    return kGllOk;
}
