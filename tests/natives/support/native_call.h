// One native called directly, its words in a block of script memory of their own, and a string
// placed in script memory: for tests and benchmarks alike (nothing here needs the test framework).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "natives/native_table.h"
#include "natives/script_host.h"

namespace hosttest {

// Native n called directly; *faulted (when given) tells whether the call faulted.
inline uint32_t CallNative(CScriptHost& host, uint32_t n, const std::vector<uint32_t>& words, bool* faulted = nullptr)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    const uint32_t result = GetNativeRow(n).function(args);
    if (faulted != nullptr)
        *faulted = args.Faulted();
    host.Memory().Free(block);
    return result;
}

// The text with its NUL in a block of script memory of its own; its address.
inline uint32_t ScriptString(CScriptHost& host, const std::string& text)
{
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);
    const uint32_t at = host.Memory().Allocate(size);
    std::memcpy(host.Memory().Span(at, size), text.c_str(), size);
    return at;
}

} // namespace hosttest
