// ReadDecimalText: the decimal parameter texts of effects and sound ducking ("0.5", "+1.25").
// Read with std::from_chars, never strtod: a process locale with a decimal comma (GTK's file
// chooser sets one) made strtod read "0.5" as 0.
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>

// Leading spaces and one '+' are skipped; null, empty, unreadable, NaN and infinite texts (also
// "1e999", out of range) give fallback.
inline double ReadDecimalText(const char* text, double fallback)
{
    if (text == nullptr)
        return fallback;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '+')
        ++text;
    const char* end = text + std::strlen(text);
    double value = 0.0;
    const auto result = std::from_chars(text, end, value);
    if (result.ec != std::errc() || result.ptr == text || !std::isfinite(value))
        return fallback;
    return value;
}
