// Natives called from tests: a module placed in its own block of script memory and called once
// (its labels and results read back), bytes at a block's end; one native called directly is in
// native_call.h.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/sob_assembler.h"
#include "natives/native_table.h"
#include "support/host_fixture.h"
#include "support/native_call.h"

namespace hosttest {

// A module placed in its own block of script memory and called once.
struct Script {
    CScriptHost& host;
    uint32_t code = 0;
    uint32_t result = 0;
    SobAssembly assembly;
    Script(CScriptHost& h, const std::string& source) : host(h)
    {
        std::vector<std::string> errors;
        EXPECT_TRUE(AssembleSob(source, "t", &assembly, &errors)) << (errors.empty() ? "" : errors[0]) << "\n" << source;
        code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
        std::string error;
        EXPECT_TRUE(PlaceSob(assembly, host.Memory(), code, &error)) << error;
        result = host.Machine().Call(code);
    }
    ~Script() { host.Memory().Free(code); }
    bool Faulted() const { return result == kSobFault; }
    uint32_t At(const char* label) const { return code + assembly.labels.at(label); }
    uint32_t Word(const char* label, uint32_t k = 0) const
    {
        uint32_t v = 0;
        host.Memory().Load32(At(label) + 4 * k, &v);
        return v;
    }
    std::string Text(const char* label) const { return TextAt(At(label)); }
    // The string at a script address ("<bad>" when there is none).
    std::string TextAt(uint32_t address) const
    {
        std::string_view s;
        if (!host.Memory().Str(address, &s))
            return "<bad>";
        return std::string(s);
    }
};

// Bytes placed at the end of a block of their own, size bytes at least (the rest 0x55), so that
// one byte past them is outside the block.
inline uint32_t PlaceAtBlockEnd(CScriptHost& host, const std::string& bytes, uint32_t size = 0)
{
    const uint32_t n = std::max<uint32_t>(size, static_cast<uint32_t>(bytes.size()));
    const uint32_t rounded = (n + CScriptMemory::kAlignment - 1) & ~(CScriptMemory::kAlignment - 1);
    const uint32_t at = host.Memory().Allocate(rounded) + (rounded - n);
    uint8_t* p = host.Memory().Span(at, n);
    std::memset(p, 0x55, n);
    std::memcpy(p, bytes.data(), bytes.size());
    return at;
}

inline std::string Call(int native, const std::string& args, const std::string& data = "")
{
    return "ncall native " + std::to_string(native) + ", args, out\nret\n.data\nargs: .word " + args +
           "\nout: .word 0x7777\n" + data;
}

} // namespace hosttest
