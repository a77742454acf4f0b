// Fuzz harness of ReadDecimalText: any bytes as a text (cut at the first zero) give a finite value
// or the fallback, never a read past the text.
#include "platform/decimal_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double value = ReadDecimalText(text.c_str(), 7.5);
    if (!std::isfinite(value))
        std::abort();
    return 0;
}
