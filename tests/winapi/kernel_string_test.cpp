#include "winapi/kernel_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(Strings, CaseMappingSkipsTrailBytes)
{
    // 0x83 0x61 is a katakana whose trail byte is 'a'; 0x8A 0x41 has trail 'A'.
    char text[] = "Ab\x83\x61z\x8A\x41Q";
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_EQ(std::string(text), "AB\x83\x61Z\x8A\x41Q");
    CharLowerA(text);
    EXPECT_EQ(std::string(text), "ab\x83\x61z\x8A\x41q");
    char cut[] = "A\x83"; // lead byte before the terminator
    CharLowerA(cut);
    EXPECT_EQ(std::string(cut), "a\x83");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>('q')))),
              static_cast<uintptr_t>('Q'));
}

TEST(Strings, CharNextAndPrevStepOverDoubleByteCharacters)
{
    const char text[] = "a\x82\xA0"
                        "b\x81";
    const char* p = text;
    p = CharNextA(p);
    EXPECT_EQ(p, text + 1);
    p = CharNextA(p);
    EXPECT_EQ(p, text + 3);
    p = CharNextA(p);
    EXPECT_EQ(p, text + 4);
    p = CharNextA(p); // a lead byte before the terminator steps one byte only
    EXPECT_EQ(p, text + 5);
    EXPECT_EQ(CharNextA(p), p);
    EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
    EXPECT_EQ(CharPrevA(text, text + 4), text + 3);
    EXPECT_EQ(CharPrevA(text, text), text);
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    EXPECT_FALSE(IsDBCSLeadByte(0xB1));
}

TEST(Strings, CopyCompareAndLength)
{
    char buffer[4];
    EXPECT_EQ(lstrcpynA(buffer, "abcdef", 4), buffer);
    EXPECT_EQ(std::string(buffer), "abc");
    EXPECT_EQ(lstrcpynA(buffer, "x", 0), nullptr);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA("\x82\xA0"), 2);
    EXPECT_EQ(lstrcmpiA("ABC", "abc"), 0);
    EXPECT_LT(lstrcmpiA("abc", "abd"), 0);
    EXPECT_NE(lstrcmpiA("\x83\x41", "\x83\x61"), 0); // trail bytes are not folded
    EXPECT_LT(lstrcmpiA(nullptr, "a"), 0);
    EXPECT_EQ(lstrcmpA("a", "a"), 0);
}

TEST(Strings, WsprintfFollowsWindowsSizes)
{
    char out[1100];
    DWORD big = 0xFFFFFFFFu;
    EXPECT_EQ(wsprintfA(out, "%d|%5d|%-3d|%05u|%lu|%lx|%X|%c|%s|%%", -7, 42, 1, 9u, big, big, 255u, 'z', "s"),
              47);
    EXPECT_EQ(std::string(out), "-7|   42|1  |00009|4294967295|ffffffff|FF|z|s|%");
    wsprintfA(out, "%s|%I64d|%hd", static_cast<const char*>(nullptr), static_cast<long long>(-1) << 40,
              70000);
    EXPECT_EQ(std::string(out), "(null)|-1099511627776|4464");
    std::string longText(2000, 'x');
    EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(out).size(), 1023u);
    wsprintfA(out, "%q %");
    EXPECT_EQ(std::string(out), "%q ");
    // The cut at 1023 bytes does not split a double-byte character: "ア" from byte 1022 on goes.
    std::string kana = std::string(1022, 'x') + "\x83\x41";
    EXPECT_EQ(wsprintfA(out, "%s", kana.c_str()), 1022);
    EXPECT_EQ(std::string(out), std::string(1022, 'x'));
    kana = std::string(1021, 'x') + "\x83\x41\x83\x41";
    EXPECT_EQ(wsprintfA(out, "%s", kana.c_str()), 1023);
    EXPECT_EQ(std::string(out), kana.substr(0, 1023));
}
