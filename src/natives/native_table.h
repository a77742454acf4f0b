// The system script's native table: 809 rows, each a number, its group and its function, in
// registration order (the number is the position, so compiled scripts call natives by number).
// A number missing from the built rows would hold a stub that reports "native N (group) not
// built" once on stderr and answers 0 (the table test refuses one).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

constexpr uint32_t kNativeCount = 809;

struct NativeRow {
    uint16_t number;
    const char* group;
    SobNative function;
    bool built; // false for a stub
};

// Row n (n < kNativeCount).
const NativeRow& GetNativeRow(uint32_t n);
// The one function behind natives 37, 55, 56, 795, 800 and 801: does nothing, answers 0.
uint32_t NativeNoOp(SobNativeArgs& args);
