// The tiny game's four system files written byte by byte from the file layouts (module table,
// USER_VAR.SOB, FUNC_LIB.SOB, MAIN.SOB), a byte builder for damaged variants, and a runtime
// loaded with them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "script/sob_runtime.h"

namespace sobtest {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& Text(const std::string& s)
    {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& U8(uint32_t v)
    {
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v).U16(v >> 16); }
    Bytes& Words(std::initializer_list<uint32_t> words)
    {
        for (uint32_t w : words)
            U32(w);
        return *this;
    }
};

inline void SetU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v)
{
    std::memcpy(bytes.data() + at, &v, 4);
}

// SOB_INIT.DAT: u16 count, then per entry u8 length (with NUL), name, NUL, u16 read and choice bits.
inline std::vector<uint8_t> HandModuleTable()
{
    return Bytes().U16(2).U8(5).Text("MAIN").U8(0).U16(16).U16(8).U8(7).Text("COMMON").U8(0).U16(32).U16(0).b;
}

// Variables: 0 Score (kind 0, class 1, +0, 4) = 7; 1 Name (kind 1, class 1, +4, 16) = "abc";
// 2 Flags (0, 2, +20, 4) = 1; 3 Temp (2, 0, +24, 4) = 9; 4 Ptr (0, 0, +28, 4), fixed up to +5.
inline std::vector<uint8_t> HandUserVariables()
{
    return Bytes()
        .Text("SOB1")
        .U32(32)
        .Words({7, 0x00636261, 0, 0, 0, 1, 9, 0})
        .U32(5)
        .U8(0).U8(1).U32(0).U32(4)
        .U8(1).U8(1).U32(4).U32(16)
        .U8(0).U8(2).U32(20).U32(4)
        .U8(2).U8(0).U32(24).U32(4)
        .U8(0).U8(0).U32(28).U32(4)
        .U32(1).U32(28).U32(5)
        .U32(0)
        .b;
}

// bump: movm [uservar 0], b.1 / b: add 0, 10, [uservar 0] / ret. Image bytes 0-31.
inline std::vector<uint8_t> HandLibrary()
{
    return Bytes()
        .Text("SOB2")
        .U32(48)
        .U32(2).Words({4, 0, 24, 0}) // table 1: Score twice
        .U32(0).U32(0).U32(0)        // tables 2-4
        .U32(1).Words({8, 16})       // table 5: b.1
        .U32(0)
        .U32(32).U32(32)
        .Words({32, 0, 0, 13, 0, 10, 0, 1})
        .b;
}

// Offsets in MAIN.SOB's file of its header fields (the image starts at kMainImage).
constexpr size_t kMainH = 4, kMainC = 104, kMainS = 108, kMainImage = 112;

// main: call lib 0 / ncall native 0, args, Flags / movm hostvar 0, Temp / deref Name, hostvar 0 /
// movp 0x44434241, Name / ret; .data args: 3, 4 at 64.
inline std::vector<uint8_t> HandMain()
{
    return Bytes()
        .Text("SOB0")
        .U32(96)
        .U32(4).Words({20, 2, 32, 3, 40, 1, 56, 1}) // table 1 at 8
        .U32(1).Words({12, 0})                       // table 2 at 44
        .U32(2).Words({28, 0, 44, 0})                // table 3 at 56
        .U32(1).Words({4, 0})                        // table 4 at 76
        .U32(1).Words({16, 64})                      // table 5 at 88
        .U32(0)                                      // end word at 100
        .U32(64).U32(72)
        .Words({4, 0, 5, 0, 0, 0, 32, 0, 0, 39, 0, 0, 33, 0x44434241, 0, 1, 3, 4})
        .b;
}

// Native 0 of the tiny game: the sum of its two argument words; it also checks its context.
inline uint32_t SumNative(SobNativeArgs& args)
{
    return args.Context() != nullptr ? args.U32(0) + args.U32(1) : 0xBAD;
}

// A runtime of 1 MiB with native 0 and the tiny game's files loaded from bytes (both copies).
struct TinyRuntime {
    CSobRuntime rt{1u << 20};
    explicit TinyRuntime(bool copies = true, bool library = true)
    {
        EXPECT_EQ(rt.AddNative(SumNative), 0);
        const std::vector<uint8_t> table = HandModuleTable(), vars = HandUserVariables(), lib = HandLibrary();
        EXPECT_EQ(rt.LoadModuleTable(table.data(), table.size()), 0);
        EXPECT_EQ(rt.LoadUserVariables(vars.data(), vars.size(), copies, copies), 0);
        if (library) {
            EXPECT_EQ(rt.LoadFunctionLibrary(lib.data(), lib.size()), 0);
        }
    }
    uint32_t Word(uint32_t address) const
    {
        uint32_t v = 0xDEADBEEF;
        EXPECT_TRUE(const_cast<CSobRuntime&>(rt).Memory().Load32(address, &v));
        return v;
    }
    uint32_t Value(size_t variable, SobVarCopy copy = kSobLiveCopy) const
    {
        uint32_t a = 0;
        EXPECT_TRUE(rt.VariableValueAddress(copy, variable, &a));
        return Word(a);
    }
    int Load(const std::vector<uint8_t>& module, const char* name = "MAIN.SOB")
    {
        return rt.LoadModuleBytes(name, module.data(), module.size(), nullptr);
    }
};

} // namespace sobtest
