// A small bounded RIFF/WAVE reader: finds the PCM format and the sample data of a WAVE file held
// in memory. Every chunk size is checked against the bytes there; nothing is read past them. It
// uses no engine code, so that the test sound plug-in can carry it.
#pragma once

#include <cstddef>
#include <cstdint>

struct RiffWave {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    const uint8_t* data = nullptr; // inside the given bytes
    uint32_t dataSize = 0;         // whole blocks only, cut to what the bytes hold
};

// → true for a RIFF "WAVE" with a PCM "fmt " chunk (tag 1, 8 or 16 bits, 1 to 8 channels, a block
// align of channels × bytes per sample, a rate of 1 Hz to 1 MHz) and a "data" chunk.
bool ReadRiffWave(const uint8_t* bytes, size_t size, RiffWave* out);
