#include "natives/script_format.h"

#include <cstring>
#include <emmintrin.h>
#include <string_view>

namespace {

// Width and precision beyond this pass every limit anyway; it only keeps the parse from wrapping.
constexpr uint32_t kFieldCap = 1u << 24;

uint32_t ReadNumber(std::string_view f, size_t* i)
{
    uint32_t n = 0;
    while (*i < f.size() && f[*i] >= '0' && f[*i] <= '9') {
        n = n * 10 + static_cast<uint32_t>(f[*i] - '0');
        if (n > kFieldCap)
            n = kFieldCap;
        ++*i;
    }
    return n;
}

// The text so far, gathered in the caller's small buffer; text that outgrows it goes on in the
// string in pieces. A conversion puts up to four pieces, most of them empty.
struct Output {
    Output(char* small, std::string* text, uint32_t most) : buffer(small), out(text), limit(most) {}

    char* buffer; // kScriptFormatBuffer bytes
    std::string* out;
    uint32_t limit;
    bool over = false;
    bool spilled = false; // out holds the text's start
    size_t total = 0;     // bytes put, the buffer's included
    size_t used = 0;

    [[gnu::always_inline]] void Put(std::string_view s)
    {
        if (s.empty())
            return;
        if (s.size() > limit - total) {
            s = s.substr(0, limit - total);
            over = true;
        }
        if (s.size() > kScriptFormatBuffer - used) {
            Flush();
            if (s.size() > kScriptFormatBuffer) {
                out->append(s);
                total += s.size();
                return;
            }
        }
        MoveBytes(reinterpret_cast<uint8_t*>(buffer + used), reinterpret_cast<const uint8_t*>(s.data()), s.size());
        used += s.size();
        total += s.size();
    }
    [[gnu::always_inline]] void Fill(char c, uint32_t n)
    {
        if (n == 0)
            return;
        if (n > limit - total) {
            n = static_cast<uint32_t>(limit - total);
            over = true;
        }
        if (n > kScriptFormatBuffer - used) {
            Flush();
            if (n > kScriptFormatBuffer) {
                out->append(n, c);
                total += n;
                return;
            }
        }
        if (n <= 16 && kScriptFormatBuffer - used >= 16) // a field's few pad bytes in one store
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + used), _mm_set1_epi8(c));
        else
            std::memset(buffer + used, c, n);
        used += n;
        total += n;
    }
    void Flush()
    {
        if (!spilled) {
            out->clear();
            spilled = true;
        }
        out->append(buffer, used);
        used = 0;
    }
    // The whole text: still in the buffer, or all of it in the string.
    std::string_view Text()
    {
        if (!spilled)
            return std::string_view(buffer, used);
        Flush();
        return *out;
    }
};

} // namespace

bool FormatScriptText(SobNativeArgs& args, uint32_t formatWord, uint32_t firstArg, uint32_t limit,
                      char (&small)[kScriptFormatBuffer], std::string* large, std::string_view* text)
{
    *text = {};
    const std::string_view f = args.Str(formatWord);
    if (args.Faulted())
        return true;
    Output o(small, large, limit);
    uint32_t word = firstArg;
    size_t i = 0;
    while (i < f.size() && !o.over) {
        if (f[i] != '%') {
            size_t end = i; // literal runs are short: scanned here rather than by a call
            while (end < f.size() && f[end] != '%')
                ++end;
            o.Put(f.substr(i, end - i));
            i = end;
            continue;
        }
        ++i;
        bool left = false, zero = false, alt = false;
        for (; i < f.size(); ++i) {
            if (f[i] == '-')
                left = true;
            else if (f[i] == '0')
                zero = true;
            else if (f[i] == '#')
                alt = true;
            else
                break;
        }
        const uint32_t width = ReadNumber(f, &i);
        bool hasPrecision = false;
        uint32_t precision = 0;
        if (i < f.size() && f[i] == '.') {
            ++i;
            hasPrecision = true;
            precision = ReadNumber(f, &i);
        }
        while (i < f.size() && (f[i] == 'l' || f[i] == 'h'))
            ++i;
        if (i >= f.size())
            break;
        const char type = f[i++];
        // The pieces of one conversion, none of them allocated: sign or 0x, the zeros a
        // precision asks for, then the digits or the text.
        std::string_view prefix, body;
        uint32_t zeros = 0;
        char digits[16];
        char one = 0;
        switch (type) {
        case '%':
            o.Put("%");
            continue;
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X': {
            const uint32_t v = args.U32(word++);
            uint32_t magnitude = v; // 2^31 at most for a negative word: it fits
            if ((type == 'd' || type == 'i') && static_cast<int32_t>(v) < 0) {
                prefix = "-";
                magnitude = 0u - v;
            }
            const unsigned base = (type == 'x' || type == 'X') ? 16 : 10;
            const char* set = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
            size_t at = sizeof digits;
            // Constant divisors: shifts and multiplications, not a division a digit.
            if (base == 16) {
                for (uint32_t m = magnitude; m != 0; m >>= 4)
                    digits[--at] = set[m & 15];
            } else {
                for (uint32_t m = magnitude; m != 0; m /= 10)
                    digits[--at] = static_cast<char>('0' + m % 10);
            }
            body = std::string_view(digits + at, sizeof digits - at);
            if (hasPrecision && precision > kFieldCap)
                precision = kFieldCap;
            const uint32_t minDigits = hasPrecision ? precision : 1;
            if (body.size() < minDigits)
                zeros = minDigits - static_cast<uint32_t>(body.size());
            if (alt && base == 16 && v != 0)
                prefix = type == 'X' ? "0X" : "0x";
            if (hasPrecision)
                zero = false;
            break;
        }
        case 'c':
            one = static_cast<char>(args.U32(word++) & 0xFF);
            body = std::string_view(&one, 1);
            zero = false;
            break;
        case 's': {
            std::string_view s = "(null)";
            if (!args.IsNull(word))
                s = args.Str(word);
            ++word;
            if (hasPrecision && s.size() > precision)
                s = s.substr(0, precision);
            body = s;
            zero = false;
            break;
        }
        default: // an unknown type prints itself
            one = type;
            body = std::string_view(&one, 1);
            zero = false;
            break;
        }
        if (args.Faulted()) {
            *text = o.Text();
            return true;
        }
        const uint64_t length = prefix.size() + static_cast<uint64_t>(zeros) + body.size();
        const uint32_t pad = width > length ? static_cast<uint32_t>(width - length) : 0;
        if (left) {
            o.Put(prefix);
            o.Fill('0', zeros);
            o.Put(body);
            o.Fill(' ', pad);
        } else if (zero) {
            o.Put(prefix);
            o.Fill('0', pad + zeros);
            o.Put(body);
        } else {
            o.Fill(' ', pad);
            o.Put(prefix);
            o.Fill('0', zeros);
            o.Put(body);
        }
    }
    *text = o.Text();
    return !o.over;
}

bool FormatScriptText(SobNativeArgs& args, uint32_t formatWord, uint32_t firstArg, uint32_t limit, std::string* out)
{
    char small[kScriptFormatBuffer];
    std::string_view text;
    const bool fits = FormatScriptText(args, formatWord, firstArg, limit, small, out, &text);
    if (text.data() != out->data())
        out->assign(text);
    return fits;
}
