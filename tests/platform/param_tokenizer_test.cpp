#include "platform/param_tokenizer.h"

#include <gtest/gtest.h>

#include <string>

TEST(ParamTokenizer, IntegersInEveryBase)
{
    CParamTokenizer t("(12, -0x1F,0b101)");
    int32_t v = 0;
    EXPECT_EQ(t.GetInt(&v), 0u);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(t.GetInt(&v), 0u);
    EXPECT_EQ(v, -31);
    EXPECT_EQ(t.GetInt(&v), 0u);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(*t.GetPosition(), ')');
    EXPECT_EQ(t.GetInt(&v), 2u);
    EXPECT_EQ(*t.GetPosition(), 0);
}

TEST(ParamTokenizer, IntegerTable)
{
    struct Case {
        const char* text;
        uint32_t result;
        int32_t value;
        const char* rest; // text left at the position
    } cases[] = {
        {"0X10", 0, 0, "X10"}, // an upper-case X is no prefix
        {"abc", 2, 0, "abc"},
        {"  ,(abc", 2, 0, "abc"}, // separators skipped, then refused
        {"-", 0, 0, ""},          // a sign alone is 0
        {"0x", 0, 0, ""},         // a prefix alone too
        {"0xfFz", 0, 255, "z"},
        {"0b1012", 0, 5, "2"},
        {"4294967297", 0, 1, ""}, // wraps at 32 bits
        {"-2147483648", 0, INT32_MIN, ""},
        {"1.5", 0, 1, ".5"},
    };
    for (const Case& c : cases) {
        CParamTokenizer t(c.text);
        int32_t v = -99;
        EXPECT_EQ(t.GetInt(&v), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(v, c.value) << c.text;
        }
        EXPECT_STREQ(t.GetPosition(), c.rest) << c.text;
    }
    CParamTokenizer none(nullptr);
    int32_t v;
    EXPECT_EQ(none.GetInt(&v), 1u);
    double d;
    EXPECT_EQ(none.GetFloat(&d), 1u);
    EXPECT_EQ(none.SkipSeparators(), 0);
}

TEST(ParamTokenizer, FloatTable)
{
    struct Case {
        const char* text;
        uint32_t result;
        double value;
        const char* rest;
    } cases[] = {
        {"-2.25,", 0, -2.25, ","},
        {"3.", 0, 3.0, ""},
        {".5", 2, 0, ".5"},
        {"7e3", 0, 7.0, "e3"}, // no exponent
        {"+1", 2, 0, "+1"},
        {"( 12.125 )", 0, 12.125, " )"},
        {"000000000000000000000000000000000000000001.5", 0, 1.5, ""}, // longer than 31 characters
    };
    for (const Case& c : cases) {
        CParamTokenizer t(c.text);
        double v = -99;
        EXPECT_EQ(t.GetFloat(&v), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
        EXPECT_STREQ(t.GetPosition(), c.rest) << c.text;
    }
}

TEST(ParamTokenizer, TokensNeedTwoBytesOfRoom)
{
    char buffer[8];
    CParamTokenizer t("ab,c");
    EXPECT_EQ(t.GetToken(buffer, 4), 0u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(*t.GetPosition(), ',');
    EXPECT_EQ(t.GetToken(buffer, 4), 0u); // no separators skipped: an empty token
    EXPECT_STREQ(buffer, "");

    char small[3] = {'x', 'x', 'x'};
    CParamTokenizer u("ab,c");
    EXPECT_EQ(u.GetToken(small, 3), 3u);
    EXPECT_STREQ(small, "ab"); // terminated within its size
    EXPECT_EQ(*u.GetPosition(), ',');
    EXPECT_EQ(u.GetToken(small, 0), 1u);
    CParamTokenizer end("");
    EXPECT_EQ(end.GetToken(buffer, 8), 1u);
}

TEST(ParamTokenizer, ShiftJisTokens)
{
    struct Case {
        const char* text;
        const char* token;
        const char* rest;
    } cases[] = {
        {"\x81\x2C"
         "a,b",
         "\x81\x2C"
         "a",
         ",b"},                         // trail byte 0x2C is no comma
        {"\x88\x28)", "\x88\x28", ")"}, // nor 0x28 a parenthesis
        {"\xB1,x", "\xB1", ",x"},       // half-width katakana is one byte
        {"ab\x81", "ab\x81", ""},       // a lead byte before the end stands alone
    };
    for (const Case& c : cases) {
        char buffer[16];
        CParamTokenizer t(c.text);
        EXPECT_EQ(t.GetToken(buffer, sizeof buffer), 0u) << c.text;
        EXPECT_STREQ(buffer, c.token);
        EXPECT_STREQ(t.GetPosition(), c.rest);
        CParamTokenizer s(c.text);
        s.SkipToken();
        EXPECT_STREQ(s.GetPosition(), c.rest);
    }
    // The trail byte needs room of its own.
    char two[3];
    CParamTokenizer t("a\x82\xA0");
    EXPECT_EQ(t.GetToken(two, 3), 3u);
    EXPECT_STREQ(two, "a\x82");
}

TEST(ParamTokenizer, SkipsReturnSignedCharacters)
{
    CParamTokenizer t(" \t(,\x82\xA0 x");
    EXPECT_EQ(t.SkipBlanks(), '(');
    EXPECT_EQ(t.SkipSeparators(), static_cast<signed char>('\x82'));
    EXPECT_EQ(t.SkipToken(), ' ');
    EXPECT_EQ(t.SkipSeparators(), 'x');
}
