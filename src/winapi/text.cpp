#include "winapi/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace winapi {

namespace {

// Length of the UTF-8 character at `p` (1 for a stray byte), never past `left`.
size_t Utf8CharLength(const unsigned char* p, size_t left)
{
    size_t n = p[0] >= 0xF0 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC0 ? 2 : 1;
    if (n > left)
        return 1;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    return n;
}

// Runs iconv over the whole input; an unconvertible or invalid sequence becomes `replacement`
// and one character of input is skipped.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement,
                    bool fromUtf8, bool* lost = nullptr)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (lost != nullptr)
            *lost = true;
        return std::string(in);
    }
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated sequence at the end): replace one byte and go on.
        if (lost != nullptr)
            *lost = true;
        out.append(replacement);
        size_t skip = fromUtf8 ? Utf8CharLength(reinterpret_cast<unsigned char*>(src), srcLeft) : 1;
        src += skip;
        srcLeft -= skip;
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    return out;
}

} // namespace

std::string SjisToUtf8(std::string_view sjis)
{
    return Convert("UTF-8", "CP932", sjis, "\xEF\xBF\xBD", false);
}

std::string Utf8ToSjis(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, "?", true);
}

bool Utf8ToSjisChecked(std::string_view utf8, std::string* sjis)
{
    bool lost = false;
    std::string out = Convert("CP932", "UTF-8", utf8, "?", true, &lost);
    if (lost)
        return false;
    if (sjis != nullptr)
        *sjis = std::move(out);
    return true;
}

const char* Sjis(const char* utf8)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, std::unique_ptr<std::string>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = cache[utf8];
    if (!slot)
        slot = std::make_unique<std::string>(Utf8ToSjis(utf8));
    return slot->c_str();
}

size_t SjisPrefixLength(std::string_view sjis, size_t limit)
{
    if (limit >= sjis.size())
        return sjis.size();
    size_t i = 0;
    while (i < limit) {
        const size_t step = IsSjisLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return i;
}

// --- character codes -------------------------------------------------------------------------

namespace {

// Converts every code through one iconv descriptor; codes iconv refuses stay 0.
std::unique_ptr<char16_t[]> BuildSjisCodeTable()
{
    auto table = std::make_unique<char16_t[]>(65536);
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return table;
    auto convert = [&](unsigned code, const unsigned char* bytes, size_t length) {
        char* src = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes));
        size_t srcLeft = length;
        unsigned char out[8];
        char* dst = reinterpret_cast<char*>(out);
        size_t dstLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0 ||
            dstLeft != 4)
            return;
        const uint32_t u = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
        if (u != 0 && u <= 0xFFFF)
            table[code] = static_cast<char16_t>(u);
    };
    for (unsigned c = 1; c < 256; ++c) {
        if (IsSjisLeadByte(static_cast<unsigned char>(c)))
            continue;
        const unsigned char b = static_cast<unsigned char>(c);
        convert(c, &b, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsSjisLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const unsigned char bytes[2] = {static_cast<unsigned char>(lead),
                                            static_cast<unsigned char>(trail)};
            convert(lead * 256 + trail, bytes, 2);
        }
    }
    iconv_close(cd);
    return table;
}

} // namespace

char32_t SjisCodeToUnicode(unsigned code)
{
    static const std::unique_ptr<char16_t[]> table = BuildSjisCodeTable();
    return code < 65536 ? table[code] : 0;
}

} // namespace winapi
