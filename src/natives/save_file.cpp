#include "natives/save_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/lzss.h"
#include "raster/image.h"
#include "winapi/text.h"

namespace savefile {

namespace {

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

// A text field up to its NUL; a field without one ends at its size.
std::string Field(const uint8_t* at, size_t size)
{
    const void* nul = std::memchr(at, 0, size);
    const size_t length = nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - at) : size;
    return std::string(reinterpret_cast<const char*>(at), length);
}

} // namespace

std::string CutText(const std::string& text, size_t max)
{
    return text.substr(0, winapi::SjisPrefixLength(text, max));
}

uint8_t Checksum(const uint8_t* data, size_t size)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    return sum;
}

bool Build(const Contents& contents, const uint8_t* state, size_t stateSize, bool pack, std::vector<uint8_t>* out)
{
    if (stateSize > kMaxUnpacked || (state == nullptr && stateSize != 0))
        return false;
    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    if (pack && stateSize != 0 &&
        LzssCompress(state, &packed, static_cast<DWORD>(stateSize), &packedSize, true) != 0)
        packed = nullptr;
    const uint8_t* data = packed != nullptr ? packed : state;
    const size_t size = packed != nullptr ? packedSize : stateSize;
    bool ok = true;
    try {
        out->assign(kHeaderSize + size, 0);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok) {
        uint8_t* b = out->data();
        std::memcpy(b, kMagic, 4);
        Put32(b + 4, 0);
        if (contents.thumbnail.size() == kThumbBytes)
            std::memcpy(b + kThumbOffset, contents.thumbnail.data(), kThumbBytes);
        // The fields' rest is zeros, never what the buffer held before.
        const std::string title = CutText(contents.title, kTitleMax);
        const std::string comment = CutText(contents.comment, kCommentMax);
        std::memcpy(b + kTitleOffset, title.data(), title.size());
        std::memcpy(b + kCommentOffset, comment.data(), comment.size());
        b[kProtectOffset] = contents.protect;
        Put32(b + kStoredLengthOffset, static_cast<uint32_t>(size));
        Put32(b + kUnpackedOffset, packed != nullptr ? static_cast<uint32_t>(stateSize) : 0);
        b[kChecksumOffset] = Checksum(data, size);
        if (size != 0)
            std::memcpy(b + kHeaderSize, data, size);
    }
    if (packed != nullptr)
        LzssFree(packed);
    return ok;
}

int ParseFrom(const uint8_t* bytes, size_t size, size_t offset, View* view)
{
    if (bytes == nullptr || offset > size || size - offset < 9)
        return 3;
    const uint8_t* at = bytes + offset;
    view->stored = Get32(at);
    view->unpacked = Get32(at + 4);
    view->checksum = at[8];
    if (view->stored > size - offset - 9 || view->unpacked > kMaxUnpacked)
        return 3;
    view->data = at + 9;
    return Checksum(view->data, view->stored) == view->checksum ? 0 : 3;
}

int Parse(const uint8_t* bytes, size_t size, View* view)
{
    if (bytes == nullptr || size < 8 || std::memcmp(bytes, kMagic, 4) != 0)
        return 3;
    if (Get32(bytes + 4) != 0)
        return 5;
    if (size < kHeaderSize)
        return 3;
    view->thumbnail = bytes + kThumbOffset;
    view->title = Field(bytes + kTitleOffset, kTitleSize);
    view->comment = Field(bytes + kCommentOffset, kCommentSize);
    view->protect = bytes[kProtectOffset];
    return ParseFrom(bytes, size, kStoredLengthOffset, view);
}

int Unpack(const View& view, std::vector<uint8_t>* state)
{
    if (view.unpacked == 0) {
        try {
            state->assign(view.data, view.data + view.stored);
        } catch (const std::bad_alloc&) {
            return 2;
        }
        return 0;
    }
    try {
        state->assign(view.unpacked, 0);
    } catch (const std::bad_alloc&) {
        return 2;
    }
    BYTE* out = state->data();
    // The expansion reads no byte past the stored ones.
    const int r = LzssDecompress(view.data, view.stored, &out, view.unpacked, false);
    if (r == 2)
        return 2;
    return r == 0 ? 0 : 3;
}

void ThumbnailFromImage(const CImage& image, std::vector<uint8_t>* rows)
{
    rows->assign(kThumbBytes, 0);
    if (image.GetBits() == nullptr || image.GetBitsPerPixel() != 32)
        return;
    const int width = std::min<int>(kThumbWidth, image.GetWidth());
    const int height = std::min<int>(kThumbHeight, image.GetHeight());
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = image.GetRowPointer(y);
        uint8_t* dst = rows->data() + static_cast<size_t>(y) * kThumbWidth * 3;
        for (int x = 0; x < width; ++x)
            std::memcpy(dst + 3 * x, src + 4 * x, 3);
    }
}

void ThumbnailToImage(const uint8_t* rows, CImage* image)
{
    if (image->GetBits() == nullptr || image->GetBitsPerPixel() != 32)
        return;
    const int width = std::min<int>(kThumbWidth, image->GetWidth());
    const int height = std::min<int>(kThumbHeight, image->GetHeight());
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = image->GetRowPointer(y);
        const uint8_t* src = rows + static_cast<size_t>(y) * kThumbWidth * 3;
        for (int x = 0; x < width; ++x) {
            std::memcpy(dst + 4 * x, src + 3 * x, 3);
            dst[4 * x + 3] = 0xFF;
        }
    }
}

} // namespace savefile
