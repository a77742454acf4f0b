#include "script/sob_native_args.h"

#include <bit>

uint32_t SobNativeArgs::U32(uint32_t k)
{
    uint32_t value = 0;
    // The word's address is computed in 64 bits: a large k must not wrap back into memory.
    const uint64_t address = static_cast<uint64_t>(m_address) + static_cast<uint64_t>(k) * 4;
    if (address > UINT32_MAX || !m_memory.Load32(static_cast<uint32_t>(address), &value)) {
        m_faulted = true;
        return 0;
    }
    return value;
}

float SobNativeArgs::F32(uint32_t k)
{
    return std::bit_cast<float>(U32(k));
}

std::string_view SobNativeArgs::Str(uint32_t k)
{
    std::string_view text;
    if (!m_memory.Str(U32(k), &text)) {
        m_faulted = true;
        return {};
    }
    return text;
}

bool SobNativeArgs::Out32(uint32_t k, uint32_t value)
{
    if (!m_memory.Store32(U32(k), value)) {
        m_faulted = true;
        return false;
    }
    return true;
}

uint8_t* SobNativeArgs::Span(uint32_t k, uint32_t length)
{
    uint8_t* bytes = m_memory.Span(U32(k), length);
    if (bytes == nullptr)
        m_faulted = true;
    return bytes;
}
