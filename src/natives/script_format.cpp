#include "natives/script_format.h"

#include <algorithm>
#include <cstdint>
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

// One conversion of a format: its flags, width, precision and type.
struct Conversion {
    uint32_t width = 0;
    uint32_t precision = 0;
    bool left = false, zero = false, alt = false, hasPrecision = false;
    char type = 0;
};

// The conversion after a '%' (f[*i] is its first byte past the '%'); false when the format ends
// inside it, which ends the output there.
bool ParseConversion(std::string_view f, size_t* i, Conversion* c)
{
    for (; *i < f.size(); ++*i) {
        if (f[*i] == '-')
            c->left = true;
        else if (f[*i] == '0')
            c->zero = true;
        else if (f[*i] == '#')
            c->alt = true;
        else
            break;
    }
    c->width = ReadNumber(f, i);
    if (*i < f.size() && f[*i] == '.') {
        ++*i;
        c->hasPrecision = true;
        c->precision = ReadNumber(f, i);
    }
    while (*i < f.size() && (f[*i] == 'l' || f[*i] == 'h'))
        ++*i;
    if (*i >= f.size())
        return false;
    c->type = f[(*i)++];
    return true;
}

// Puts one conversion, reading its words from *word on; false when an argument is bad.
[[gnu::always_inline]] inline bool PutConversion(SobNativeArgs& args, Conversion c, uint32_t* word, Output& o)
{
    // The pieces of one conversion, none of them allocated: sign or 0x, the zeros a precision
    // asks for, then the digits or the text.
    std::string_view prefix, body;
    uint32_t zeros = 0;
    char digits[16];
    char one = 0;
    bool zero = c.zero;
    switch (c.type) {
    case '%':
        o.Put("%");
        return true;
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X': {
        const uint32_t v = args.U32((*word)++);
        uint32_t magnitude = v; // 2^31 at most for a negative word: it fits
        if ((c.type == 'd' || c.type == 'i') && static_cast<int32_t>(v) < 0) {
            prefix = "-";
            magnitude = 0u - v;
        }
        const unsigned base = (c.type == 'x' || c.type == 'X') ? 16 : 10;
        const char* set = c.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
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
        const uint32_t precision = std::min(c.precision, kFieldCap);
        const uint32_t minDigits = c.hasPrecision ? precision : 1;
        if (body.size() < minDigits)
            zeros = minDigits - static_cast<uint32_t>(body.size());
        if (c.alt && base == 16 && v != 0)
            prefix = c.type == 'X' ? "0X" : "0x";
        if (c.hasPrecision)
            zero = false;
        break;
    }
    case 'c':
        one = static_cast<char>(args.U32((*word)++) & 0xFF);
        body = std::string_view(&one, 1);
        zero = false;
        break;
    case 's': {
        std::string_view s = "(null)";
        if (!args.IsNull(*word))
            s = args.Str(*word);
        ++*word;
        if (c.hasPrecision && s.size() > c.precision)
            s = s.substr(0, c.precision);
        body = s;
        zero = false;
        break;
    }
    default: // an unknown type prints itself
        one = c.type;
        body = std::string_view(&one, 1);
        zero = false;
        break;
    }
    if (args.Faulted())
        return false;
    const uint64_t length = prefix.size() + static_cast<uint64_t>(zeros) + body.size();
    const uint32_t pad = c.width > length ? static_cast<uint32_t>(c.width - length) : 0;
    if (c.left) {
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
    return true;
}

// A format taken apart once: scripts format with the same few texts over and over, so the last
// one's pieces are kept and used again while the format's bytes are the same.
struct FormatPlan {
    static constexpr size_t kMaxText = 64, kMaxSteps = 12;
    struct Step {
        uint16_t literalAt = 0, literalLength = 0; // the text before the conversion
        bool ends = false;                        // no conversion follows: the output ends
        Conversion conversion;
    };
    char text[kMaxText];
    size_t length = SIZE_MAX; // SIZE_MAX: no plan
    Step steps[kMaxSteps];
    size_t count = 0;

    bool Matches(std::string_view f) const { return f.size() == length && std::memcmp(f.data(), text, length) == 0; }
    // False (and no plan kept) when f is too long or has too many pieces for one.
    bool Build(std::string_view f)
    {
        length = SIZE_MAX;
        if (f.size() > kMaxText)
            return false;
        count = 0;
        size_t i = 0;
        while (i < f.size()) {
            if (count == kMaxSteps)
                return false;
            Step& step = steps[count++];
            step = Step{};
            size_t end = i;
            while (end < f.size() && f[end] != '%')
                ++end;
            step.literalAt = static_cast<uint16_t>(i);
            step.literalLength = static_cast<uint16_t>(end - i);
            i = end;
            if (i == f.size()) {
                step.ends = true;
                break;
            }
            ++i;
            if (!ParseConversion(f, &i, &step.conversion)) {
                step.ends = true;
                break;
            }
        }
        std::memcpy(text, f.data(), f.size());
        length = f.size();
        return true;
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
    static thread_local FormatPlan plan;
    if (plan.Matches(f) || plan.Build(f)) {
        for (size_t k = 0; k < plan.count && !o.over; ++k) {
            const FormatPlan::Step& step = plan.steps[k];
            o.Put(f.substr(step.literalAt, step.literalLength));
            if (step.ends || o.over)
                break;
            if (!PutConversion(args, step.conversion, &word, o)) {
                *text = o.Text();
                return true;
            }
        }
        *text = o.Text();
        return !o.over;
    }
    // A format too long for a plan: taken apart as it is put.
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
        Conversion c;
        if (!ParseConversion(f, &i, &c))
            break;
        if (!PutConversion(args, c, &word, o)) {
            *text = o.Text();
            return true;
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
