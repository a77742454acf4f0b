// Natives 59-93: C-string operations, the scripts' printf, the script heap, memory fill and copy,
// the cosine table, the two random generators, float arithmetic, argmax and argmin. Every write
// ends inside the script-memory block of its destination, or nothing is written and the call
// faults.
#pragma once

#include "script/sob_native_args.h"

uint32_t NativeStrCopy(SobNativeArgs& args);          // 59 dst, src → dst
uint32_t NativeStrCopyFrom(SobNativeArgs& args);      // 60 dst, start, src, max
uint32_t NativeStrCopyUntil(SobNativeArgs& args);     // 61 dst, start, src, stop byte
uint32_t NativeStrCat(SobNativeArgs& args);           // 62 dst, src → dst
uint32_t NativeStrLen(SobNativeArgs& args);           // 63
uint32_t NativeStrCmp(SobNativeArgs& args);           // 64
uint32_t NativeStrCmpI(SobNativeArgs& args);          // 65
uint32_t NativeStrCompareAt(SobNativeArgs& args);     // 66 a, b, offset a, offset b, n → n left
uint32_t NativeStrFormat(SobNativeArgs& args);        // 67 dst, format, words...
uint32_t NativeStrToInt(SobNativeArgs& args);         // 68
uint32_t NativeStrToFloat(SobNativeArgs& args);       // 69
uint32_t NativeStrUpper(SobNativeArgs& args);         // 70
uint32_t NativeStrLower(SobNativeArgs& args);         // 71
uint32_t NativeCopyToClipboard(SobNativeArgs& args);  // 72 text, size
uint32_t NativeHeapAlloc(SobNativeArgs& args);        // 75 n
uint32_t NativeHeapAllocZeroed(SobNativeArgs& args);  // 76 n
uint32_t NativeHeapFree(SobNativeArgs& args);         // 77 block
uint32_t NativeFillWords(SobNativeArgs& args);        // 78 dst, value, count
uint32_t NativeFillBytes(SobNativeArgs& args);        // 79 dst, byte, count
uint32_t NativeCopyBytes(SobNativeArgs& args);        // 80 dst, src, count
uint32_t NativeSin(SobNativeArgs& args);              // 81 angle (512 a turn) → 16.16
uint32_t NativeCos(SobNativeArgs& args);              // 82
uint32_t NativeCirclePoint(SobNativeArgs& args);      // 83 angle, radius, cx, cy, out x, out y
uint32_t NativeRan3Draw(SobNativeArgs& args);         // 84 n
uint32_t NativeRan3Seed(SobNativeArgs& args);         // 85 seed
uint32_t NativeTwisterDraw(SobNativeArgs& args);      // 86 n
uint32_t NativeTwisterSeed(SobNativeArgs& args);      // 87 seed
uint32_t NativeFloatAdd(SobNativeArgs& args);         // 88
uint32_t NativeFloatSub(SobNativeArgs& args);         // 89
uint32_t NativeFloatMul(SobNativeArgs& args);         // 90
uint32_t NativeFloatDiv(SobNativeArgs& args);         // 91
uint32_t NativeArgMax(SobNativeArgs& args);           // 92 count, values...
uint32_t NativeArgMin(SobNativeArgs& args);           // 93
