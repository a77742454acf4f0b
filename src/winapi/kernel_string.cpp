#include "winapi/kernel_string.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "winapi/text.h"

namespace {

bool IsLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

template <char (*Map)(char)> LPSTR MapCase(LPSTR text)
{
    auto value = reinterpret_cast<uintptr_t>(text);
    if (value < 0x10000)
        return reinterpret_cast<LPSTR>(
            static_cast<uintptr_t>(static_cast<unsigned char>(Map(static_cast<char>(value & 0xFF)))));
    for (char* p = text; *p; ++p) {
        if (IsLead(static_cast<unsigned char>(*p))) {
            if (!p[1])
                break;
            ++p; // the trail byte keeps its value
            continue;
        }
        *p = Map(*p);
    }
    return text;
}

} // namespace

BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    return IsLead(c) ? TRUE : FALSE;
}

LPSTR WINAPI CharLowerA(LPSTR text)
{
    return MapCase<Lower>(text);
}

LPSTR WINAPI CharUpperA(LPSTR text)
{
    return MapCase<Upper>(text);
}

LPSTR WINAPI CharNextA(LPCSTR current)
{
    if (!current)
        return nullptr;
    auto* p = const_cast<LPSTR>(current);
    if (!*p)
        return p;
    if (IsLead(static_cast<unsigned char>(*p)) && p[1])
        return p + 2;
    return p + 1;
}

LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current)
{
    if (!start || !current || current <= start)
        return const_cast<LPSTR>(start);
    const char* p = start;
    for (;;) {
        const char* next = CharNextA(p);
        if (next >= current || next == p)
            return const_cast<LPSTR>(p);
        p = next;
    }
}

int WINAPI lstrlenA(LPCSTR text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int max)
{
    if (!dest || !src || max <= 0)
        return nullptr;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i)
        dest[i] = src[i];
    dest[i] = 0;
    return dest;
}

LPSTR WINAPI lstrcpyA(LPSTR dest, LPCSTR src)
{
    if (!dest || !src)
        return nullptr;
    return std::strcpy(dest, src);
}

LPSTR WINAPI lstrcatA(LPSTR dest, LPCSTR src)
{
    if (!dest || !src)
        return nullptr;
    return std::strcat(dest, src);
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    int r = std::strcmp(a, b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    bool trail = false;
    for (;; ++a, ++b) {
        auto ca = static_cast<unsigned char>(*a);
        auto cb = static_cast<unsigned char>(*b);
        if (!trail) {
            ca = static_cast<unsigned char>(Lower(static_cast<char>(ca)));
            cb = static_cast<unsigned char>(Lower(static_cast<char>(cb)));
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
        trail = !trail && IsLead(ca);
    }
}

int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args)
{
    constexpr size_t kLimit = 1024;
    if (!out || !format)
        return 0;
    std::string result;
    for (const char* f = format; *f; ++f) {
        if (*f != '%') {
            result += *f;
            continue;
        }
        const char* specStart = f++;
        std::string conversion = "%";
        while (*f == '-' || *f == '0' || *f == '#' || *f == ' ' || *f == '+')
            conversion += *f++;
        while (*f >= '0' && *f <= '9')
            conversion += *f++;
        if (*f == '.') {
            conversion += *f++;
            while (*f >= '0' && *f <= '9')
                conversion += *f++;
        }
        int size = 32;
        if (*f == 'l') {
            ++f;
        } else if (*f == 'h') {
            size = 16;
            ++f;
        } else if (f[0] == 'I' && f[1] == '6' && f[2] == '4') {
            size = 64;
            f += 3;
        }
        char type = *f;
        std::string piece;
        // snprintf into a string of the exact size the conversion needs.
        auto format = [&piece](const char* f, auto value) {
            int n = std::snprintf(nullptr, 0, f, value);
            if (n > 0) {
                piece.resize(static_cast<size_t>(n) + 1);
                std::snprintf(piece.data(), piece.size(), f, value);
                piece.resize(static_cast<size_t>(n));
            }
        };
        switch (type) {
        case 'd':
        case 'i':
            if (size == 64) {
                conversion += "lld";
                format(conversion.c_str(), va_arg(args, long long));
            } else {
                int v = va_arg(args, int);
                conversion += 'd';
                format(conversion.c_str(), size == 16 ? static_cast<short>(v) : v);
            }
            break;
        case 'u':
        case 'x':
        case 'X':
            if (size == 64) {
                conversion += "ll";
                conversion += type;
                format(conversion.c_str(), va_arg(args, unsigned long long));
            } else {
                unsigned v = va_arg(args, unsigned);
                conversion += type;
                format(conversion.c_str(), size == 16 ? static_cast<unsigned short>(v) : v);
            }
            break;
        case 'c':
            conversion += 'c';
            format(conversion.c_str(), va_arg(args, int));
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            conversion += 's';
            format(conversion.c_str(), s ? s : "(null)");
            break;
        }
        case '%':
            result += '%';
            continue;
        case 0:
            --f; // a lone '%' at the end is dropped
            continue;
        default:
            // Unknown conversion: written out as it stands, as Windows does.
            result.append(specStart, f + 1);
            continue;
        }
        result += piece;
        if (result.size() >= kLimit)
            break;
    }
    // The cut leaves no half of a double-byte character at the end.
    result.resize(winapi::SjisPrefixLength(result, kLimit - 1));
    std::memcpy(out, result.c_str(), result.size() + 1);
    return static_cast<int>(result.size());
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}
