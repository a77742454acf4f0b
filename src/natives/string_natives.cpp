#include "natives/string_natives.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "natives/native_args.h"
#include "natives/script_format.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "platform/cos_table.h"
#include "platform/random.h"
#include "winapi/kernel_string.h"
#include "winapi/kernel_time.h"

namespace {

// The string at an address (not a word): a checked view, "" and the call marked when bad.
std::string_view StrAt(SobNativeArgs& args, uint32_t address)
{
    std::string_view text;
    if (!args.Memory().Str(address, &text))
        args.MarkFault();
    return text;
}

// Writes text and its NUL at dst, inside dst's block → dst; 0 with the call marked otherwise.
uint32_t StoreString(SobNativeArgs& args, uint32_t dst, std::string_view text)
{
    if (text.size() >= UINT32_MAX)
        return args.MarkFault(), 0;
    uint8_t* out = NativeBlockSpan(args, dst, static_cast<uint32_t>(text.size() + 1));
    if (out == nullptr)
        return 0;
    MoveBytes(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    out[text.size()] = 0;
    return dst;
}

// The bytes of a script string, writable in place (case mapping).
char* WritableString(SobNativeArgs& args, uint32_t k)
{
    const std::string_view text = args.Str(k);
    if (args.Faulted())
        return nullptr;
    return reinterpret_cast<char*>(args.Memory().Span(args.U32(k), static_cast<uint32_t>(text.size() + 1)));
}

uint32_t Compare(SobNativeArgs& args, bool ignoreCase)
{
    if (!ignoreCase) {
        uint32_t words[2];
        if (!args.Words(2, words))
            return 0;
        CScriptMemory& memory = args.Memory();
        const uint8_t* x = memory.Span(words[0], 1);
        const uint8_t* y = memory.Span(words[1], 1);
        if ((words[0] != 0 && x == nullptr) || (words[1] != 0 && y == nullptr))
            return args.MarkFault(), 0;
        if (memory.StringsEndInside()) // both end inside memory wherever they start: one walk
            return static_cast<uint32_t>(lstrcmpA(reinterpret_cast<const char*>(x), reinterpret_cast<const char*>(y)));
        // Short strings away from memory's end are compared here, whatever follows their NULs.
        int r = 0;
        if (x != nullptr && y != nullptr &&
            CompareShortStrings(x, y, std::min(memory.ReadableFrom(words[0]), memory.ReadableFrom(words[1])), &r))
            return static_cast<uint32_t>(r);
    }
    if (!ignoreCase && !args.IsNull(0) && !args.IsNull(1)) {
        const std::string_view a = args.Str(0);
        if (args.Faulted())
            return 0;
        // a with its NUL against as many bytes of b decides as strcmp does (b's NUL differs
        // from a's byte there), without finding b's end first.
        const auto n = static_cast<uint32_t>(a.size() + 1);
        if (const uint8_t* b = args.Memory().Span(args.U32(1), n); b != nullptr) {
            const int r = std::memcmp(a.data(), b, n);
            return static_cast<uint32_t>(r < 0 ? -1 : r > 0 ? 1 : 0);
        }
    }
    const char* a = NativeOptionalString(args, 0);
    const char* b = NativeOptionalString(args, 1);
    if (args.Faulted())
        return 0;
    return static_cast<uint32_t>(ignoreCase ? lstrcmpiA(a, b) : lstrcmpA(a, b));
}

uint32_t CopyFrom(SobNativeArgs& args, bool bounded)
{
    const uint32_t dst = args.U32(0), start = args.U32(1), src = args.U32(2);
    const uint32_t limit = args.U32(3);
    if (args.Faulted())
        return 0;
    // Both native forms read the source from src + start as a string of its own.
    std::string_view text = StrAt(args, src + start);
    if (args.Faulted())
        return 0;
    if (bounded) {
        const int32_t max = static_cast<int32_t>(limit);
        if (max <= 0)
            text = {};
        else if (text.size() > static_cast<uint32_t>(max))
            text = text.substr(0, static_cast<uint32_t>(max));
    } else {
        const size_t stop = text.find(static_cast<char>(limit & 0xFF));
        if (stop != std::string_view::npos)
            text = text.substr(0, stop);
    }
    const std::string copy(text); // the source may overlap the destination
    StoreString(args, dst, copy);
    return 0;
}

// The span of count 32-bit words at dst inside its block (count ≤ 0: none, result true).
bool FillSpan(SobNativeArgs& args, uint32_t dst, int32_t count, uint32_t unit, uint8_t** out)
{
    *out = nullptr;
    if (count <= 0)
        return true;
    const uint64_t bytes = static_cast<uint64_t>(count) * unit;
    if (bytes > UINT32_MAX) {
        args.MarkFault();
        return false;
    }
    *out = NativeBlockSpan(args, dst, static_cast<uint32_t>(bytes));
    return *out != nullptr;
}

uint32_t HeapAlloc(SobNativeArgs& args, bool zeroed)
{
    const int32_t n = args.I32(0);
    if (args.Faulted() || n < 1)
        return 0;
    const uint32_t block = args.Memory().Allocate(static_cast<uint32_t>(n), zeroed);
    if (block == 0)
        return 0;
    try {
        g_ScriptHeapBlocks.insert(block);
    } catch (const std::bad_alloc&) {
        args.Memory().Free(block);
        return 0;
    }
    return block;
}

uint32_t FloatOp(SobNativeArgs& args, char op)
{
    const double a = args.F32(0), b = args.F32(1);
    if (args.Faulted())
        return 0;
    double r = 0;
    switch (op) {
    case '+': r = a + b; break;
    case '-': r = a - b; break;
    case '*': r = a * b; break;
    default: r = a / b; break; // IEEE: x/0 is an infinity or NaN, never a trap
    }
    return std::bit_cast<uint32_t>(static_cast<float>(r));
}

uint32_t ArgExtreme(SobNativeArgs& args, bool greatest)
{
    const int32_t count = args.I32(0);
    if (args.Faulted() || count < 2)
        return 0;
    // The whole list must be in memory before any value is read.
    const uint64_t end = static_cast<uint64_t>(args.Address()) + 4 + static_cast<uint64_t>(count) * 4;
    if (end > UINT32_MAX || args.Memory().Span(args.Address() + 4, static_cast<uint32_t>(count) * 4) == nullptr) {
        args.MarkFault();
        return 0;
    }
    uint32_t best = 0;
    int32_t value = args.I32(1);
    for (uint32_t i = 1; i < static_cast<uint32_t>(count); ++i) {
        const int32_t v = args.I32(i + 1);
        if (greatest ? v > value : v < value) {
            value = v;
            best = i;
        }
    }
    return best;
}

CMersenneTwister* Twister(bool seedFromClock)
{
    if (g_pMersenneTwister == nullptr) {
        g_pMersenneTwister = new (std::nothrow) CMersenneTwister;
        if (g_pMersenneTwister != nullptr && seedFromClock)
            g_pMersenneTwister->Seed(GetTickCount());
    }
    return g_pMersenneTwister;
}

} // namespace

uint32_t NativeStrCopy(SobNativeArgs& args)
{
    uint32_t words[2];
    if (!args.Words(2, words) || words[1] == 0)
        return 0;
    // Scanned here rather than by the library: the bytes scanned are the bytes moved next.
    CScriptMemory& memory = args.Memory();
    const uint8_t* from = memory.Span(words[1], 1);
    const size_t readable = memory.ReadableFrom(words[1]);
    const size_t length = from != nullptr ? FindNulByte(from, readable) : readable;
    if (length == readable)
        return args.MarkFault(), 0;
    if (words[0] == 0)
        return 0;
    // A move: the source may overlap the destination.
    return StoreString(args, words[0], std::string_view(reinterpret_cast<const char*>(from), length));
}

uint32_t NativeStrCopyFrom(SobNativeArgs& args)
{
    return CopyFrom(args, true);
}

uint32_t NativeStrCopyUntil(SobNativeArgs& args)
{
    return CopyFrom(args, false);
}

uint32_t NativeStrCat(SobNativeArgs& args)
{
    uint32_t words[2];
    if (!args.Words(2, words))
        return 0;
    const uint32_t dst = words[0];
    std::string_view head, tail;
    if (!args.Memory().Str(dst, &head) || !args.Memory().Str(words[1], &tail))
        return args.MarkFault(), 0;
    const uint64_t length = uint64_t{head.size()} + tail.size();
    if (length >= UINT32_MAX)
        return args.MarkFault(), 0;
    uint8_t* out = NativeBlockSpan(args, dst, static_cast<uint32_t>(length + 1));
    if (out == nullptr)
        return 0;
    // A move: the tail may lie in the bytes it lands on (the head's NUL onwards).
    MoveBytes(out + head.size(), reinterpret_cast<const uint8_t*>(tail.data()), tail.size());
    out[length] = 0;
    return dst;
}

uint32_t NativeStrLen(SobNativeArgs& args)
{
    uint32_t text = 0, length = 0;
    if (!args.Words(1, &text) || text == 0)
        return 0;
    if (!args.Memory().StrLen(text, &length))
        args.MarkFault();
    return length;
}

uint32_t NativeStrCmp(SobNativeArgs& args)
{
    return Compare(args, false);
}

uint32_t NativeStrCmpI(SobNativeArgs& args)
{
    return Compare(args, true);
}

uint32_t NativeStrCompareAt(SobNativeArgs& args)
{
    const uint32_t a = args.U32(0), b = args.U32(1), offA = args.U32(2), offB = args.U32(3);
    int32_t n = args.I32(4);
    if (args.Faulted())
        return 0;
    const std::string_view x = StrAt(args, a + offA), y = StrAt(args, b + offB);
    if (args.Faulted())
        return 0;
    size_t i = 0;
    while (n > 0 && i < x.size() && i < y.size() && x[i] == y[i]) {
        ++i;
        --n;
    }
    return static_cast<uint32_t>(n);
}

uint32_t NativeStrFormat(SobNativeArgs& args)
{
    const uint32_t dst = args.U32(0);
    uint32_t start = 0, size = 0;
    if (args.Faulted() || !args.Memory().FindBlock(dst, &start, &size)) {
        args.MarkFault();
        return 0;
    }
    const uint32_t room = size - (dst - start); // at least 1: dst lies in the block
    // Kept between calls so that a long text allocates nothing once it has grown.
    static thread_local std::string large;
    char small[kScriptFormatBuffer];
    std::string_view text;
    const bool fits = FormatScriptText(args, 1, 2, room - 1, small, &large, &text);
    if (args.Faulted())
        return 0;
    if (!fits) { // past the destination's block: nothing written
        args.MarkFault();
        return 0;
    }
    // It fits the room left in dst's block, which lies inside memory.
    uint8_t* out = args.Memory().Span(dst, static_cast<uint32_t>(text.size() + 1));
    MoveBytes(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    out[text.size()] = 0;
    return 0;
}

uint32_t NativeStrToInt(SobNativeArgs& args)
{
    const char* s = NativeOptionalString(args, 0);
    if (args.Faulted() || s == nullptr)
        return 0;
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '-' || *s == '+')
        negative = *s++ == '-';
    uint32_t v = 0; // wraps like the 32-bit conversion, never overflows
    for (; *s >= '0' && *s <= '9'; ++s)
        v = v * 10 + static_cast<uint32_t>(*s - '0');
    return negative ? 0u - v : v;
}

uint32_t NativeStrToFloat(SobNativeArgs& args)
{
    const char* s = NativeOptionalString(args, 0);
    if (args.Faulted() || s == nullptr)
        return 0;
    return std::bit_cast<uint32_t>(static_cast<float>(std::strtod(s, nullptr)));
}

uint32_t NativeStrUpper(SobNativeArgs& args)
{
    if (args.IsNull(0))
        return 0;
    if (char* s = WritableString(args, 0))
        CharUpperA(s);
    return 0;
}

uint32_t NativeStrLower(SobNativeArgs& args)
{
    if (args.IsNull(0))
        return 0;
    if (char* s = WritableString(args, 0))
        CharLowerA(s);
    return 0;
}

uint32_t NativeCopyToClipboard(SobNativeArgs& args)
{
    const uint32_t size = args.U32(1);
    const char* text = NativeOptionalString(args, 0);
    if (args.Faulted())
        return 0;
    if (text != nullptr && size != 0 && args.Span(0, size) == nullptr)
        return 0; // the size runs past memory
    return static_cast<uint32_t>(CopyTextToClipboard(text, size));
}

uint32_t NativeHeapAlloc(SobNativeArgs& args)
{
    return HeapAlloc(args, false);
}

uint32_t NativeHeapAllocZeroed(SobNativeArgs& args)
{
    return HeapAlloc(args, true);
}

uint32_t NativeHeapFree(SobNativeArgs& args)
{
    const uint32_t block = args.U32(0);
    if (args.Faulted() || g_ScriptHeapBlocks.erase(block) == 0)
        return 0;
    args.Memory().Free(block);
    return 1;
}

uint32_t NativeFillWords(SobNativeArgs& args)
{
    const uint32_t dst = args.U32(0), value = args.U32(1);
    const int32_t count = args.I32(2);
    if (args.Faulted() || dst == 0)
        return 0;
    uint8_t* out = nullptr;
    if (!FillSpan(args, dst, count, 4, &out))
        return 0;
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(out + static_cast<size_t>(i) * 4, &value, 4);
    return 1;
}

uint32_t NativeFillBytes(SobNativeArgs& args)
{
    const uint32_t dst = args.U32(0), value = args.U32(1);
    const int32_t count = args.I32(2);
    if (args.Faulted() || dst == 0)
        return 0;
    uint8_t* out = nullptr;
    if (!FillSpan(args, dst, count, 1, &out))
        return 0;
    if (out != nullptr)
        std::memset(out, static_cast<int>(value & 0xFF), static_cast<size_t>(count));
    return 1;
}

uint32_t NativeCopyBytes(SobNativeArgs& args)
{
    const uint32_t dst = args.U32(0), src = args.U32(1);
    const int32_t count = args.I32(2);
    if (args.Faulted() || dst == 0 || src == 0)
        return 0;
    if (count <= 0)
        return 1;
    const uint8_t* from = args.Memory().Span(src, static_cast<uint32_t>(count));
    if (from == nullptr) {
        args.MarkFault();
        return 0;
    }
    uint8_t* out = nullptr;
    if (!FillSpan(args, dst, count, 1, &out))
        return 0;
    // Forwards byte by byte: an overlap repeats the leading bytes, as scripts expect.
    for (int32_t i = 0; i < count; ++i)
        out[i] = from[i];
    return 1;
}

uint32_t NativeSin(SobNativeArgs& args)
{
    const int32_t angle = args.I32(0);
    if (args.Faulted() || g_pCosTable == nullptr)
        return 0;
    return static_cast<uint32_t>(g_pCosTable->Sin(angle));
}

uint32_t NativeCos(SobNativeArgs& args)
{
    const int32_t angle = args.I32(0);
    if (args.Faulted() || g_pCosTable == nullptr)
        return 0;
    return static_cast<uint32_t>(g_pCosTable->Cos(angle));
}

uint32_t NativeCirclePoint(SobNativeArgs& args)
{
    const int32_t angle = args.I32(0), radius = args.I32(1), cx = args.I32(2), cy = args.I32(3);
    const uint32_t outX = args.U32(4), outY = args.U32(5);
    if (args.Faulted() || g_pCosTable == nullptr)
        return 0;
    if (!args.Memory().Contains(outX, 4) || !args.Memory().Contains(outY, 4)) {
        args.MarkFault();
        return 0;
    }
    const int64_t x = ((static_cast<int64_t>(g_pCosTable->Cos(angle)) * radius) >> 16) + cx;
    const int64_t y = cy - ((static_cast<int64_t>(g_pCosTable->Sin(angle)) * radius) >> 16);
    args.Memory().Store32(outX, static_cast<uint32_t>(x));
    args.Memory().Store32(outY, static_cast<uint32_t>(y));
    return 0;
}

uint32_t NativeRan3Draw(SobNativeArgs& args)
{
    const uint32_t n = args.U32(0);
    if (args.Faulted() || n == 0)
        return 0;
    return DrawSubtractiveRandom(g_Ran3State) % n;
}

uint32_t NativeRan3Seed(SobNativeArgs& args)
{
    const int32_t seed = args.I32(0);
    if (!args.Faulted())
        SeedSubtractiveRandom(g_Ran3State, seed);
    return 0;
}

uint32_t NativeTwisterDraw(SobNativeArgs& args)
{
    const uint32_t n = args.U32(0);
    if (args.Faulted())
        return 0;
    CMersenneTwister* twister = Twister(true);
    if (twister == nullptr)
        return UINT32_MAX;
    return n == 0 ? 0 : twister->Next() % n;
}

uint32_t NativeTwisterSeed(SobNativeArgs& args)
{
    const uint32_t seed = args.U32(0);
    if (args.Faulted())
        return 0;
    CMersenneTwister* twister = Twister(false);
    if (twister == nullptr)
        return 0;
    twister->Seed(seed);
    return 1;
}

uint32_t NativeFloatAdd(SobNativeArgs& args)
{
    return FloatOp(args, '+');
}

uint32_t NativeFloatSub(SobNativeArgs& args)
{
    return FloatOp(args, '-');
}

uint32_t NativeFloatMul(SobNativeArgs& args)
{
    return FloatOp(args, '*');
}

uint32_t NativeFloatDiv(SobNativeArgs& args)
{
    return FloatOp(args, '/');
}

uint32_t NativeArgMax(SobNativeArgs& args)
{
    return ArgExtreme(args, true);
}

uint32_t NativeArgMin(SobNativeArgs& args)
{
    return ArgExtreme(args, false);
}
