#include "winapi/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, SystemTextBecomesShiftJisOnce)
{
    const char* first = winapi::Sjis("ハードディスクから起動してください");
    // "ハ" is 0x83 0x6E in CP932.
    EXPECT_EQ(0, std::memcmp(first, "\x83\x6E", 2));
    EXPECT_EQ(first, winapi::Sjis("ハードディスクから起動してください"));
}

TEST(Text, RoundTripsAndReplacesWhatCannotBeHeld)
{
    struct Case {
        const char* utf8;
        const char* sjis;
    } cases[] = {
        {"abc", "abc"},
        {"予期せぬ", "\x97\x5C\x8A\xFA\x82\xB9\x82\xCA"},  // 0x5C trail byte included
        {"ErrorCode：%d", "ErrorCode\x81\x46%d"},
        {"ｱ", "\xB1"},  // half-width katakana is one byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(winapi::Utf8ToSjis(c.utf8), c.sjis) << c.utf8;
        EXPECT_EQ(winapi::SjisToUtf8(c.sjis), c.utf8) << c.utf8;
    }
    EXPECT_EQ(winapi::Utf8ToSjis("a\xF0\x9F\x98\x80z"), "a?z");       // emoji: not in CP932
    EXPECT_EQ(winapi::SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");          // lead byte cut off at the end
}
