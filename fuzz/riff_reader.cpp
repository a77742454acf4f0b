// Fuzzes the bounded RIFF/WAVE reader of the test sound plug-in (seeds: sox outputs). Whatever it
// accepts must describe sample data lying wholly inside the input.
#include <cstddef>
#include <cstdint>

#include "authoring/riff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RiffWave wave;
    if (!ReadRiffWave(data, size, &wave))
        return 0;
    if (wave.data < data || wave.data + wave.dataSize > data + size || wave.blockAlign == 0 ||
        wave.dataSize % wave.blockAlign != 0)
        __builtin_trap();
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < wave.dataSize; ++i)
        sum = static_cast<uint8_t>(sum + wave.data[i]);
    return 0;
}
