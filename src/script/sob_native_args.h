// What a native function sees of its call: the argument words at the address given by the native
// instruction's second operand, read through checked accessors. A word or an address outside
// script memory reads as 0 (a store does nothing) and marks the call; the machine then stops
// with a memory fault and stores no result.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "script/script_memory.h"

class CSobVM;
class SobNativeArgs;

// A native: reads its argument words and returns the 32-bit word stored into the native
// instruction's third operand. Native n is reached by the operand value 0x7F000000 + n.
using SobNative = uint32_t (*)(SobNativeArgs& args);

class SobNativeArgs {
public:
    SobNativeArgs(CScriptMemory& memory, CSobVM* machine, uint32_t address, void* context)
        : m_memory(memory), m_machine(machine), m_address(address), m_context(context)
    {
    }

    // Argument word k (the 32-bit word at Address() + 4k) as unsigned, signed or float bits.
    uint32_t U32(uint32_t k)
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
    // Words [0, count) into out with one check for all: false (and the call marked) when any of
    // them is outside script memory. For natives that read every word they are given.
    bool Words(uint32_t count, uint32_t* out)
    {
        const uint8_t* words = m_memory.Span(m_address, count * 4);
        if (words == nullptr) {
            m_faulted = true;
            return false;
        }
        std::memcpy(out, words, size_t{count} * 4);
        return true;
    }
    int32_t I32(uint32_t k) { return static_cast<int32_t>(U32(k)); }
    float F32(uint32_t k) { return std::bit_cast<float>(U32(k)); }
    // True when word k is 0 (a null address or object, which natives test before using it).
    bool IsNull(uint32_t k) { return U32(k) == 0; }
    // The Shift-JIS string whose address is word k, up to its NUL (not included). A string that
    // is outside script memory or has no NUL before its end marks the call and reads as "".
    std::string_view Str(uint32_t k)
    {
        std::string_view text;
        if (!m_memory.Str(U32(k), &text)) {
            m_faulted = true;
            return {};
        }
        return text;
    }
    // Stores value at the address held in word k; false (and the call marked) when outside.
    bool Out32(uint32_t k, uint32_t value)
    {
        if (!m_memory.Store32(U32(k), value)) {
            m_faulted = true;
            return false;
        }
        return true;
    }
    // Host bytes of [word k, word k + length); null (and the call marked) when outside.
    uint8_t* Span(uint32_t k, uint32_t length)
    {
        uint8_t* bytes = m_memory.Span(U32(k), length);
        if (bytes == nullptr)
            m_faulted = true;
        return bytes;
    }

    // The address of word 0 (the native instruction's second operand).
    uint32_t Address() const { return m_address; }
    CScriptMemory& Memory() { return m_memory; }
    // The calling machine (null when a native is called outside a machine, as tests may).
    CSobVM* Machine() { return m_machine; }
    // The context pointer given with the native table (CSobVM::SetNatives).
    void* Context() const { return m_context; }
    // True once an access of this call fell outside script memory.
    bool Faulted() const { return m_faulted; }
    // Marks the call as faulted (for natives that find a bad address by other means).
    void MarkFault() { m_faulted = true; }

private:
    // A machine keeps one of these for all its calls and only moves it to the next call's words.
    friend class CSobVM;
    void Begin(uint32_t address)
    {
        m_address = address;
        m_faulted = false;
    }

    CScriptMemory& m_memory;
    CSobVM* m_machine;
    uint32_t m_address;
    void* m_context;
    bool m_faulted = false;
};
