// The decimal texts of effect and ducking parameters.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/decimal_text.h"

TEST(DecimalText, ReadsOrFallsBack)
{
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"0.5", 0.5}, {"  +1.25", 1.25}, {"-2", -2.0}, {"3e2", 300.0}, {"1.5x", 1.5},
        {nullptr, 9.0}, {"", 9.0}, {"abc", 9.0}, {"+", 9.0}, {"nan", 9.0}, {"inf", 9.0},
        {"-infinity", 9.0}, {"1e999", 9.0}, {"++1", 9.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadDecimalText(c.text, 9.0), c.expected) << (c.text ? c.text : "(null)");
}

TEST(DecimalText, IgnoresTheProcessLocale)
{
    // A locale with a decimal comma (where one is installed) must not change the reading.
    const char* before = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = before ? before : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr && std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma";
    EXPECT_EQ(ReadDecimalText("0.5", 0.0), 0.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}
