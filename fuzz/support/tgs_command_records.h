// Command records for the frame harnesses: "[ " records of one command with the condition
// "always" and hostile pairs (no value, the extreme and small negative numbers, a name of the
// harness's list, or any bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/fuzz_input.h"

namespace fuzzrecords {

inline void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>(v >> (8 * i)));
}

inline uint32_t Number(FuzzInput& in)
{
    switch (in.Small(8)) {
    case 0:
        return 0x80000000u;
    case 1:
        return 0x7FFFFFFFu;
    case 2:
        return static_cast<uint32_t>(-1 - in.Small(4));
    case 3:
        return in.U32();
    default:
        return static_cast<uint32_t>(in.Small(6));
    }
}

// The record of command around its count pairs' bytes.
inline std::string Frame(uint32_t command, int count, const std::string& args)
{
    std::string r = "[ ";
    Put32(r, command);
    r.push_back(1);
    Put32(r, static_cast<uint32_t>(4 + 1 + args.size()));
    r.push_back(static_cast<char>(count));
    return r + args;
}

// One record of command with fewer than maxPairs pairs; names are the texts a pair may take.
inline std::string Record(uint32_t command, FuzzInput& in, const char* const* names, size_t nameCount, int maxPairs)
{
    std::string args;
    const int count = in.Small(maxPairs);
    for (int i = 0; i < count; ++i) {
        const int kind = in.Small(5);
        std::string text;
        if (kind == 0) {
            args.push_back(0); // no value
            continue;
        }
        if (kind <= 2) {
            args.push_back(2);
            Put32(args, Number(in));
            continue;
        }
        if (kind == 3) {
            text = names[in.Small(static_cast<int>(nameCount))];
        } else {
            const int n = in.Small(64);
            for (int k = 0; k < n; ++k) {
                const uint8_t c = in.Byte();
                text.push_back(static_cast<char>(c == 0 ? 'x' : c));
            }
        }
        args.push_back(1);
        args.push_back(1); // a string
        args.push_back(static_cast<char>(text.size() + 1));
        args.push_back(0);
        args += text;
        args.push_back(0);
    }
    return Frame(command, count, args);
}

} // namespace fuzzrecords
