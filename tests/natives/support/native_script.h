// One native call run through the host: a module placed in its own block of script memory and
// called once, its labels and results read back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "authoring/sob_assembler.h"
#include "support/host_fixture.h"

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

inline std::string Call(int native, const std::string& args, const std::string& data = "")
{
    return "ncall native " + std::to_string(native) + ", args, out\nret\n.data\nargs: .word " + args +
           "\nout: .word 0x7777\n" + data;
}

} // namespace hosttest
