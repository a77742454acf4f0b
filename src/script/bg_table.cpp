#include "script/bg_table.h"

#include <cstring>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// A decimal number with an optional sign, blanks around it → false when there is none, it has
// trailing garbage or it does not fit in 32 bits.
bool ReadNumber(std::string_view s, int32_t* out)
{
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    const size_t digits = i;
    int64_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i++] - '0');
        if (v > 0x80000000LL)
            return false;
    }
    if (i == digits)
        return false;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    if (i != s.size())
        return false;
    v = negative ? -v : v;
    if (v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

} // namespace

int ParseBackgroundTable(const uint8_t* data, size_t size, std::vector<int32_t>* out)
{
    out->clear();
    if (data == nullptr || size == 0)
        return 2;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    bool any = false;
    int32_t previous = 0;
    auto fail = [&](int code) {
        out->clear();
        return code;
    };
    while (at < all.size()) {
        size_t eol = all.find('\n', at);
        if (eol == std::string_view::npos)
            eol = all.size();
        std::string_view line = all.substr(at, eol - at);
        at = eol + 1;
        if (line.size() > kBgTableLineMax)
            return fail(6);
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        if (line.empty() || line.substr(0, 2) == "//")
            continue;
        int32_t value = 0;
        if (line[0] == '[') {
            // "[NAME n": the name runs to a blank (an optional "]" closes it).
            size_t end = 1;
            while (end < line.size() && !IsBlank(line[end]) && line[end] != ']')
                ++end;
            if (end - 1 > kBgTableNameMax || end == 1)
                return fail(6);
            if (end < line.size() && line[end] == ']')
                ++end;
            int32_t n = 0;
            if (!ReadNumber(line.substr(end), &n))
                return fail(6);
            if (n == 0)
                return fail(3);
            if (n == INT32_MIN)
                return fail(6);
            value = -n;
        } else if (line[0] == '*') {
            if (!any)
                return fail(4);
            if (previous > 0)
                return fail(5);
            value = previous;
        } else if (!ReadNumber(line, &value)) {
            return fail(6);
        }
        out->push_back(value);
        previous = value;
        any = true;
    }
    return 0;
}
