// An SPI image plug-in as a third party would write it (no engine headers): binary PPM (24-bit)
// and PGM (8-bit with a grey palette) into a bottom-up bitmap. Its blocks come from LocalAlloc,
// fixed or, with TEST_SPI_MOVEABLE, moveable; the engine exports the memory calls.
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" {
void* LocalAlloc(unsigned flags, size_t bytes);
void* LocalLock(void* block);
int LocalUnlock(void* block);
void* LocalFree(void* block);
}

namespace {

#ifdef TEST_SPI_MOVEABLE
const unsigned kFlags = 0x0042; // LHND
#else
const unsigned kFlags = 0x0040; // LPTR
#endif

using Progress = int (*)(int, int, intptr_t);

void Put16(uint8_t* p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads the next header number of a PNM file (whitespace and comments skipped) → -1 when none.
long Number(const uint8_t* data, size_t size, size_t* at)
{
    while (*at < size) {
        if (data[*at] == '#') {
            while (*at < size && data[*at] != '\n')
                ++*at;
        } else if (data[*at] == ' ' || data[*at] == '\t' || data[*at] == '\r' || data[*at] == '\n') {
            ++*at;
        } else {
            break;
        }
    }
    long value = -1;
    while (*at < size && data[*at] >= '0' && data[*at] <= '9' && value < 100000)
        value = (value < 0 ? 0 : value * 10) + (data[(*at)++] - '0');
    return value;
}

} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int GetPluginInfo(int infoNo, char* buffer, int length)
{
    const char* text = infoNo == 0 ? "00IN" : infoNo == 2 ? "*.ppm;*.pgm" : infoNo == 3 ? "PNM pictures" : nullptr;
    if (text == nullptr || length <= 0)
        return 0;
    std::snprintf(buffer, static_cast<size_t>(length), "%s", text);
    return static_cast<int>(std::strlen(buffer));
}

EXPORT int IsSupported(const char*, const void* head)
{
    const auto* h = static_cast<const uint8_t*>(head);
    return h[0] == 'P' && (h[1] == '5' || h[1] == '6') ? 1 : 0;
}

EXPORT int GetPicture(const char* input, intptr_t length, unsigned flag, void** info, void** bits, Progress progress,
                      intptr_t user)
{
    const auto* data = reinterpret_cast<const uint8_t*>(input);
    const size_t size = static_cast<size_t>(length);
    if ((flag & 7) != 1 || size < 3 || !IsSupported(nullptr, data))
        return 2;
    const bool grey = data[1] == '5';
    size_t at = 2;
    const long width = Number(data, size, &at);
    const long height = Number(data, size, &at);
    const long maxval = Number(data, size, &at);
    if (width < 1 || height < 1 || maxval != 255 || at >= size)
        return 2;
    ++at; // the one whitespace byte before the samples
    const size_t channels = grey ? 1 : 3;
    if ((size - at) / channels / static_cast<size_t>(width) < static_cast<size_t>(height))
        return 2;
    if (progress != nullptr && progress(0, static_cast<int>(height), user) != 0)
        return 1;
    const size_t stride = (static_cast<size_t>(width) * channels + 3) & ~size_t{3};
    const size_t colours = grey ? 256 : 0;
    void* infoHandle = LocalAlloc(kFlags, 40 + 4 * colours);
    void* bitsHandle = LocalAlloc(kFlags, stride * static_cast<size_t>(height));
    auto* header = static_cast<uint8_t*>(LocalLock(infoHandle));
    auto* rows = static_cast<uint8_t*>(LocalLock(bitsHandle));
    Put32(header, 40);
    Put32(header + 4, static_cast<uint32_t>(width));
    Put32(header + 8, static_cast<uint32_t>(height));
    Put16(header + 12, 1);
    Put16(header + 14, grey ? 8 : 24);
    Put32(header + 32, static_cast<uint32_t>(colours));
    for (size_t i = 0; i < colours; ++i)
        Put32(header + 40 + 4 * i, static_cast<uint32_t>(i * 0x010101));
    for (long y = 0; y < height; ++y) {
        const uint8_t* src = data + at + static_cast<size_t>(y) * static_cast<size_t>(width) * channels;
        uint8_t* dst = rows + static_cast<size_t>(height - 1 - y) * stride;
        for (long x = 0; x < width; ++x, src += channels) {
            if (grey) {
                dst[x] = src[0];
            } else {
                dst[3 * x] = src[2];
                dst[3 * x + 1] = src[1];
                dst[3 * x + 2] = src[0];
            }
        }
    }
    LocalUnlock(infoHandle);
    LocalUnlock(bitsHandle);
    if (progress != nullptr)
        progress(static_cast<int>(height), static_cast<int>(height), user);
    *info = infoHandle;
    *bits = bitsHandle;
    return 0;
}

EXPORT int ConfigurationDlg(void*, int)
{
    return -1;
}
