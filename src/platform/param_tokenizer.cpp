#include "platform/param_tokenizer.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsSeparator(char c)
{
    return IsBlank(c) || c == ',' || c == '(' || c == ')';
}

bool IsTokenEnd(char c)
{
    return c == 0 || IsSeparator(c);
}

bool IsLead(char c)
{
    auto u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

int Signed(char c)
{
    return static_cast<signed char>(c);
}

// Where the digits of a number begin (after its '-'); null when no number starts at `p`.
const char* NumberDigits(const char* p, bool* negative)
{
    if (!IsDigit(*p) && *p != '-')
        return nullptr;
    *negative = *p == '-';
    return *negative ? p + 1 : p;
}

} // namespace

int CParamTokenizer::SkipSeparators()
{
    if (!m_position)
        return 0;
    while (IsSeparator(*m_position))
        ++m_position;
    return Signed(*m_position);
}

int CParamTokenizer::SkipBlanks()
{
    if (!m_position)
        return 0;
    while (IsBlank(*m_position))
        ++m_position;
    return Signed(*m_position);
}

int CParamTokenizer::SkipToken()
{
    if (!m_position)
        return 0;
    while (!IsTokenEnd(*m_position)) {
        // A lead byte right before the terminator stands alone: stepping over "its trail byte"
        // used to carry the position past the end of the text.
        if (IsLead(*m_position) && m_position[1] != 0)
            m_position += 2;
        else
            ++m_position;
    }
    return Signed(*m_position);
}

uint32_t CParamTokenizer::GetToken(char* buffer, size_t size)
{
    if (!m_position || *m_position == 0 || size == 0 || !buffer)
        return 1;
    size_t left = size;
    size_t copied = 0;
    for (;;) {
        if (left == 1) {
            buffer[copied] = 0; // what was copied stays readable
            return 3;
        }
        --left;
        const char c = *m_position;
        if (IsTokenEnd(c))
            break;
        buffer[copied++] = c;
        ++m_position;
        if (IsLead(c) && *m_position != 0) { // a lead byte before the terminator stands alone
            if (left == 1) {
                buffer[copied] = 0;
                return 3;
            }
            --left;
            buffer[copied++] = *m_position++;
        }
    }
    buffer[copied] = 0;
    return 0;
}

uint32_t CParamTokenizer::GetInt(int32_t* out)
{
    if (!m_position)
        return 1;
    SkipSeparators();
    bool negative = false;
    const char* p = NumberDigits(m_position, &negative);
    if (!p)
        return 2;
    int base = 10;
    if (p[0] == '0' && p[1] == 'x') {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'b') {
        base = 2;
        p += 2;
    }
    uint32_t value = 0;
    for (int d; (d = DigitValue(*p, base)) >= 0; ++p)
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
    if (negative)
        value = 0u - value;
    if (out)
        *out = static_cast<int32_t>(value);
    m_position = p;
    return 0;
}

uint32_t CParamTokenizer::GetFloat(double* out)
{
    if (!m_position)
        return 1;
    SkipSeparators();
    bool negative = false;
    const char* p = NumberDigits(m_position, &negative);
    if (!p)
        return 2;
    // The number text is gathered without a length limit (a fixed 32-byte buffer overflowed).
    std::string text;
    if (IsDigit(*p)) {
        while (IsDigit(*p))
            text += *p++;
        if (*p == '.') {
            text += *p++;
            while (IsDigit(*p))
                text += *p++;
        }
    }
    double value = 0.0;
    if (!text.empty()) {
        auto result = std::from_chars(text.data(), text.data() + text.size(), value); // "3." reads as 3
        if (result.ec == std::errc::result_out_of_range)
            value = HUGE_VAL;
    }
    if (out)
        *out = negative ? -value : value;
    m_position = p;
    return 0;
}
