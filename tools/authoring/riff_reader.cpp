#include "authoring/riff_reader.h"

#include <cstring>

namespace {

uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool ReadFormat(const uint8_t* p, uint32_t size, RiffWave* out)
{
    if (size < 16)
        return false;
    out->formatTag = Get16(p);
    out->channels = Get16(p + 2);
    out->samplesPerSec = Get32(p + 4);
    out->avgBytesPerSec = Get32(p + 8);
    out->blockAlign = Get16(p + 12);
    out->bitsPerSample = Get16(p + 14);
    const unsigned sampleBytes = out->bitsPerSample / 8u;
    return out->formatTag == 1 && (out->bitsPerSample == 8 || out->bitsPerSample == 16) && out->channels >= 1 &&
           out->channels <= 8 && out->blockAlign == out->channels * sampleBytes && out->samplesPerSec >= 1 &&
           out->samplesPerSec <= 1000000 && out->avgBytesPerSec == out->samplesPerSec * out->blockAlign;
}

} // namespace

bool ReadRiffWave(const uint8_t* bytes, size_t size, RiffWave* out)
{
    if (bytes == nullptr || out == nullptr || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    *out = RiffWave();
    bool haveFormat = false;
    size_t at = 12;
    while (size - at >= 8) {
        const uint8_t* chunk = bytes + at;
        const uint32_t declared = Get32(chunk + 4);
        const size_t room = size - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (declared > room || !ReadFormat(chunk + 8, declared, out))
                return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            // A data chunk cut short (or sized 0xFFFFFFFF by a streaming writer) ends at the bytes.
            const size_t held = declared < room ? declared : room;
            out->data = chunk + 8;
            out->dataSize = static_cast<uint32_t>(held - held % out->blockAlign);
            return true;
        }
        if (declared > room)
            return false;
        at += 8 + static_cast<size_t>(declared) + (declared & 1u);
        if (at > size)
            return false;
    }
    return false;
}
