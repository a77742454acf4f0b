// The scenario decoder over the test host: scenarios from the packer decode to the expected pages,
// handler calls and expression results; the decoder's own commands; malformed records refused
// before any of them runs; expressions and inline code that yield, fault or never end; packed
// commands.
#include <gtest/gtest.h>

#include "support/sob_files.h"
#include "support/tgs_test_frame.h"
#include "winapi/text.h"

using tgstest::Host;
using tgstest::Pack;

namespace {

std::string S(const char* utf8)
{
    return winapi::Utf8ToSjis(utf8);
}

TEST(TgsDecoder, ScenarioDecodesToPagesAndHandlerCalls)
{
    Host h;
    ASSERT_EQ(h.Run("@message\n"
                    "こんにちは\n"
                    "@name \"太郎\"\n"
                    "@wait 100 - =5 \"\" Score Flags[2] {Score * 2 + Flags[1]} #9:4\n"
                    "@page\n"
                    "二頁目\n"
                    "@page\n"),
              0);
    const auto& calls = h.frame->calls;
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].command, 12u);
    EXPECT_EQ(calls[1].command, 18u);
    EXPECT_EQ(calls[1].pairs[0].flags, 3u);
    EXPECT_EQ(calls[1].strings[0], S("太郎"));
    EXPECT_EQ(calls[2].command, 20u);
    ASSERT_EQ(calls[2].count, 8u);
    const TgsArgPair expected[] = {{1, 100}, {0, 0}, {0, 5}, {3, 0}, {1, 7}, {1, 3}, {1, 16}, {9, 4}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(calls[2].pairs[i].flags, expected[i].flags) << i;
        EXPECT_EQ(calls[2].pairs[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(h.frame->pages, (std::vector<std::string>{S("こんにちは"), S("二頁目")}));
}

TEST(TgsDecoder, ExpressionsEvaluateOverTheVariables)
{
    const struct {
        const char* expression;
        int32_t (*expected)(int32_t score, const int32_t* flags);
    } cases[] = {
        {"Score * 3 - Flags[3]", [](int32_t s, const int32_t* f) { return s * 3 - f[3]; }},
        {"(Score + 1) << 2", [](int32_t s, const int32_t*) { return (s + 1) << 2; }},
        {"-Score % 4", [](int32_t s, const int32_t*) { return -s % 4; }},
        {"Score / 2 >= 3", [](int32_t s, const int32_t*) { return int32_t(s / 2 >= 3); }},
        {"Flags[0] && Score > 5", [](int32_t s, const int32_t* f) { return int32_t(f[0] && s > 5); }},
        {"!Flags[1] || 0", [](int32_t, const int32_t* f) { return int32_t(!f[1] || 0); }},
        {"~Score ^ 0x55 | 1 & 3", [](int32_t s, const int32_t*) { return (~s ^ 0x55) | (1 & 3); }},
        {"Score == 7 != (Flags[2] < 0)", [](int32_t s, const int32_t* f) { return int32_t((s == 7) != (f[2] < 0)); }},
        {"Score >> 1", [](int32_t s, const int32_t*) { return s >> 1; }},
        {"-2147483647 - 1", [](int32_t, const int32_t*) { return INT32_MIN; }},
    };
    for (int32_t score : {7, -9, 0}) {
        for (const auto& c : cases) {
            Host h;
            h.SetVar(0, 0, static_cast<uint32_t>(score));
            const int32_t flags[4] = {1, 2, 3, 4};
            ASSERT_EQ(h.Run(std::string("@wait {") + c.expression + "}\n"), 0) << c.expression;
            ASSERT_EQ(h.frame->calls.size(), 1u) << c.expression;
            EXPECT_EQ(static_cast<int32_t>(h.frame->calls[0].pairs[0].value), c.expected(score, flags))
                << c.expression << " with Score " << score;
        }
    }
    // A pointer-kind variable is read through its pointer cell: "abc" is 0x00636261.
    Host h;
    ASSERT_EQ(h.Run("@wait {Name[0]} Name[0]\n"), 0);
    EXPECT_EQ(h.frame->calls[0].pairs[0].value, 0x00636261u);
}

TEST(TgsDecoder, DecoderCommandsAndEdgeCases)
{
    const struct {
        const char* name;
        const char* source;
        int result;
        const char* text; // the collected text at the end (UTF-8)
        size_t calls;
    } cases[] = {
        {"'[' before another byte is dropped", "A\\x5BxB\n", 0, "AxB", 0},
        {"a second byte '[' is part of its character", "ーsA\n", 0, "ーsA", 0},
        // メ's second byte is also a first byte: the pairs are counted from the run's start.
        {"a second byte '[' after second bytes that could lead", "メメーsA\n", 0, "メメーsA", 0},
        {"a record after a second byte that could lead", "メ\n@cmd 15\nA\n", 0, "メA", 1},
        {"command 0 with a false condition jumps", "@if 0 goto0 *s\nX\n*s\nY\n", 0, "Y", 0},
        {"command 0 with a true condition is skipped", "@if 1 goto0 *s\nX\n*s\nY\n", 0, "XY", 0},
        {"goto jumps", "@goto *s\nX\n*s\nY\n", 0, "Y", 0},
        {"a false condition skips the record", "@if 0 wait 1 \"x\" {Score}\nZ\n", 0, "Z", 0},
        {"a variable condition", "@if Flags[1] wait 1\n@if Flags[1] goto0 *e\nA\n*e\n", 0, "A", 1},
        {"an expression condition", "@if {Score == 7} wait 1\n@if {Score != 7} wait 2\n", 0, "", 1},
        {"printnum and print", "@printnum -42\n@print \"abc\"\nD\n", 0, "-42abcD", 0},
        {"a return with an empty stack ends", "A\n@return\nB\n", 0, "A", 0},
        {"call and return", "@call *sub\nB\n@goto *end\n*sub\nS\n@return\n*end\n", 0, "SB", 0},
        {"return to the text start",
         "@sob\ninc uservar Score\nret\n@end\nA\n@call *s\nB\n@goto *e\n*s\n@if {Score == 8} return #255:0\n@return\n*e\n",
         0, "AAB", 0},
        {"a call to a missing label ends", "A\n@call \"none\"\nB\n", 0, "A", 0},
        {"a jump to a missing script ends", "A\n@jump \"x\" \"NONE\"\nB\n", 0, "A", 0},
        {"a handler's other value stops", "A\n@cmd 40\nB\n", 5, "A", 1},
        {"a handler's -1", "@cmd 41\nB\n", -1, "", 1},
        {"a handler's value below -1 gives -4", "@cmd 42\nB\n", -4, "", 1},
        {"no-op commands", "@nop\n@cmd 15\nA\n", 0, "A", 1},
    };
    for (const auto& c : cases) {
        Host h;
        h.frame->results[40] = 5;
        h.frame->results[41] = -1;
        h.frame->results[42] = -7;
        EXPECT_EQ(h.Run(c.source), c.result) << c.name;
        EXPECT_EQ(std::string(h.frame->Text()), S(c.text)) << c.name;
        EXPECT_EQ(h.frame->calls.size(), c.calls) << c.name;
    }
    // A stopped text goes on after the record that stopped it; no script gives -2.
    Host h;
    h.frame->results[40] = 5;
    ASSERT_EQ(h.Run("A\n@cmd 40\nB\n"), 5);
    EXPECT_EQ(h.frame->RunText(), 0);
    EXPECT_EQ(std::string(h.frame->Text()), "AB");
    Host empty;
    EXPECT_EQ(empty.frame->RunText(), -2);
}

TEST(TgsDecoder, ExpressionsAreLinkedOnceAndRunAgain)
{
    Host h;
    ASSERT_EQ(h.Run("@wait {Score + 1}\n"), 0);
    h.SetVar(0, 0, 41);
    h.frame->SetCursor(0);
    ASSERT_EQ(h.frame->RunText(), 0);
    ASSERT_EQ(h.frame->calls.size(), 2u);
    EXPECT_EQ(h.frame->calls[0].pairs[0].value, 8u);
    EXPECT_EQ(h.frame->calls[1].pairs[0].value, 42u);
}

TEST(TgsDecoder, YieldingFaultingAndEndlessCode)
{
    {
        // A yielding expression is not resumed: value 0, and sp is where it was.
        Host h;
        const uint32_t sp = h.frame->Machine().Sp();
        ASSERT_EQ(h.Run("@wait {asm push 5 | push 6 | yield | ret} 1\n"), 0);
        EXPECT_EQ(h.frame->calls[0].pairs[0].value, 0u);
        EXPECT_EQ(h.frame->Machine().Sp(), sp);
    }
    for (const char* bad : {"@wait {asm div 1, 0, x | ret | x: .word 0}\nB\n", "@wait {asm l: jmp l}\nB\n",
                            "@sob\ndiv 1, 0, x\nret\nx: .word 0\n@end\nB\n"}) {
        Host h;
        const uint32_t sp = h.frame->Machine().Sp();
        EXPECT_EQ(h.Run(bad), -1) << bad;
        EXPECT_TRUE(h.frame->calls.empty()) << bad;
        EXPECT_EQ(h.frame->Machine().Sp(), sp) << bad;
        EXPECT_EQ(std::string(h.frame->Text()), "") << bad;
    }
    {
        // A text that loops with no command that stops it ends with -1.
        Host h;
        EXPECT_EQ(h.Run("*l\nA\n@goto *l\n"), -1);
    }
    // Inline code runs once linked, and a yield goes to RunScriptLoop.
    Host h;
    ASSERT_EQ(h.Run("@sob\ninc uservar Score\nret\n@end\n@sob\nyield\ninc uservar Score\nret\n@end\nA\n"), 0);
    EXPECT_EQ(h.Var(0), 9u);
    EXPECT_EQ(h.frame->loops, 1);
    EXPECT_EQ(std::string(h.frame->Text()), "A");
}

TEST(TgsDecoder, NestedCallsEndAfter128)
{
    for (int calls : {128, 129}) {
        Host h;
        // Each level adds 1 to Score (7) and calls itself again while Score < 8 + calls.
        const std::string source = "*rec\n@sob\ninc uservar Score\nret\n@end\n@if {Score < " + std::to_string(8 + calls) +
                                   "} call *rec\nEND\n@page\n";
        EXPECT_EQ(h.Run(source), 0) << calls;
        EXPECT_EQ(h.frame->ReturnDepth(), 128u) << calls;
        EXPECT_EQ(h.frame->pages.size(), calls == 128 ? 1u : 0u) << calls;
    }
}

TEST(TgsDecoder, CallsJumpsAndReturnsAcrossThreeScripts)
{
    Host h;
    h.frame->AddFile("A.TOB", Pack("*a\nA1\n@call \"b\" \"B\"\nA2\n@return\n"));
    h.frame->AddFile("B.TOB", Pack("*b\nB1\n@return\n"));
    ASSERT_EQ(h.Run("@preload \"A\"\nM1\n@call \"a\" \"A\"\nM2\n@page\n@jump \"b\" \"B\"\n"), 0);
    EXPECT_EQ(h.frame->pages, std::vector<std::string>{"M1A1B1A2M2"});
    EXPECT_EQ(std::string(h.frame->Text()), "B1");
    ASSERT_EQ(h.frame->ScriptStack().size(), 1u);
    EXPECT_EQ(h.frame->ScriptStack()[0]->name, "B");
    ASSERT_EQ(h.frame->PreloadedScripts().size(), 1u);
    EXPECT_EQ(h.frame->CurrentMessage(), -1);
    // Release by name, then a release of none.
    h.frame->AddFile("C.TOB", Pack("*c\n@release \"A\"\n@release\nC\n"));
    h.frame->SetCursor(0);
    ASSERT_NE(h.frame->JumpLabel("C", "c", 0), 0u);
    EXPECT_EQ(h.frame->RunText(), 0);
    EXPECT_TRUE(h.frame->PreloadedScripts().empty());
}

// Starts a script of file's size whose text is all NUL, then writes file's text area over it in
// script memory, as code run by a script could: the decoder meets bytes the load never saw.
void StartRewritten(Host& h, const std::vector<uint8_t>& file, size_t textStart = 20)
{
    std::vector<uint8_t> blank(file.begin(), file.begin() + textStart);
    blank.resize(file.size(), 0);
    h.frame->AddFile("MAIN.TOB", blank);
    ASSERT_EQ(h.frame->StartScript("MAIN"), 0);
    const TobScript* s = h.frame->CurrentScript();
    uint8_t* text = h.rt.Memory().Span(s->TextAddress(), s->textSize);
    ASSERT_NE(text, nullptr);
    std::memcpy(text, file.data() + textStart, file.size() - textStart);
}

// Offsets in the file of the packed "T\n@wait 1 Score\n": the text area starts at 20.
TEST(TgsDecoder, MalformedRecordsRunNothing)
{
    const std::vector<uint8_t> good = Pack("T\n@wait 1 Score\n");
    const size_t text = 20, record = text + 1; // "T", then "[ "
    ASSERT_EQ(good[record], '[');
    const size_t command = record + 2, kind = command + 4, k = kind + 1, count = k + 4, arg0 = count + 1,
                 arg1 = arg0 + 6;
    auto set32 = [&](size_t at, uint32_t v) {
        auto b = good;
        sobtest::SetU32(b, at, v);
        return b;
    };
    auto set8 = [&](size_t at, uint8_t v) {
        auto b = good;
        b[at] = v;
        return b;
    };
    const std::vector<uint8_t> expressionFile = Pack("T\n@wait {Score}\n");
    auto expression = [&](size_t at, uint8_t v) {
        auto b = expressionFile;
        b[at] = v;
        return b;
    };
    // The expression's tables follow u16 n, n code bytes, the flag and u16 L: the first link entry
    // is table 1's (the Score cell).
    uint16_t codeLength;
    std::memcpy(&codeLength, expressionFile.data() + arg0 + 2, 2);
    const size_t tables = arg0 + 2 + 2 + codeLength + 1 + 2;
    // Damage the load can see is refused there; the decoder still checks every record itself,
    // since code run by a script may rewrite the loaded text.
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool loads; // the damage shows only against the host's tables
    } cases[] = {
        {"command 130", set32(command, 130), false},
        {"condition kind 9", set8(kind, 9), false},
        {"K past the text", set32(k, 1000), false},
        {"K below its fields", set32(k, 4), false},
        {"arguments past K", set32(k, 8), false},
        {"source kind 7", set8(arg0 + 1, 7), false},
        {"variable number past the table", set32(arg1 + 2, 3), true},
        {"element outside the variable", set32(arg1 + 6, 1), true},
        {"link number past its table", expression(tables + 1 + 4, 9), true},
        {"link offset past the code", expression(tables + 1, 200), false},
        {"link table count past L", expression(tables, 9), false},
    };
    for (const Case& c : cases) {
        Host h;
        EXPECT_EQ(h.frame->LoadScriptBytes("X", c.file.data(), c.file.size(), true),
                  c.loads ? kTobLoadOk : kTobLoadDamaged)
            << c.name;
        StartRewritten(h, c.file);
        EXPECT_EQ(h.frame->RunText(), -1) << c.name;
        EXPECT_TRUE(h.frame->calls.empty()) << c.name;
        EXPECT_EQ(std::string(h.frame->Text()), "T") << c.name;
        EXPECT_EQ(h.Var(0), 7u) << c.name;
    }
    // Strings: past the record, without their NUL; an offset past the text.
    const std::vector<uint8_t> strings = Pack("T\n@wait \"ab\"\n");
    auto withString = [&](size_t at, uint8_t v) {
        auto b = strings;
        b[at] = v;
        return b;
    };
    const std::vector<uint8_t> bad[] = {withString(arg0 + 2, 40), withString(arg0 + 4 + 2, 'c')};
    for (size_t i = 0; i < 2; ++i) {
        Host h;
        EXPECT_EQ(h.frame->LoadScriptBytes("X", bad[i].data(), bad[i].size(), true), kTobLoadDamaged) << i;
        StartRewritten(h, bad[i]);
        EXPECT_EQ(h.frame->RunText(), -1) << i;
        EXPECT_TRUE(h.frame->calls.empty()) << i;
    }
    Host h;
    ASSERT_EQ(h.Run("T\n@goto 1000\n"), -1);
}

// Text is searched for records a block at a time: a record, a dropped "[" and the end are found
// wherever they fall in a block.
TEST(TgsDecoder, RecordsAreFoundAtEveryOffset)
{
    for (size_t k = 0; k < 40; ++k) {
        const std::string lead(k, 'x');
        Host h;
        ASSERT_EQ(h.Run(lead + "\n@cmd 15\n" + lead + "A\\x5BxB\n"), 0) << k;
        EXPECT_EQ(std::string(h.frame->Text()), lead + lead + "AxB") << k;
        EXPECT_EQ(h.frame->calls.size(), 1u) << k;
    }
}

TEST(TgsDecoder, TextBufferKeepsWholeCharacters)
{
    Host h;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "あ";
    ASSERT_EQ(h.Run(text + "\n"), 0);
    EXPECT_EQ(h.frame->TextLength(), 4094u); // 2047 whole characters: the next one does not fit
    // The packed form does not fit either: 2, nothing written.
    const TgsArgPair pairs[1] = {{1, 5}};
    EXPECT_EQ(h.frame->PackIntoText(28, pairs, 1), 2);
    EXPECT_EQ(h.frame->TextLength(), 4094u);
}

TEST(TgsDecoder, PackedCommandsRoundTrip)
{
    Host h;
    CScriptMemory& memory = h.rt.Memory();
    const uint32_t text = memory.Allocate(16);
    std::memcpy(memory.Span(text, 4), "abc", 4);
    const TgsArgPair pairs[] = {{1, 24}, {3, text}, {3, 0}, {0, 0}, {9, 7}};
    uint8_t buffer[64];
    uint8_t* cursor = buffer;
    ASSERT_EQ(h.frame->PackCommand(&cursor, buffer + sizeof buffer, 28, pairs, 5), 0);
    const std::vector<uint8_t> expected = sobtest::Bytes()
                                              .U8(0).Text("[")
                                              .U32(42).U32(28).U32(5)
                                              .U8(1).U32(24)
                                              .U8(3).U32(4).Text("abc").U8(0)
                                              .U8(3).U32(1).U8(0)
                                              .U8(0).U32(0)
                                              .U8(9).U32(7)
                                              .b;
    ASSERT_EQ(static_cast<size_t>(cursor - buffer), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(buffer, cursor), expected);

    const uint8_t* in = buffer;
    uint32_t command = 0, count = 0;
    TgsArgPair out[8];
    ASSERT_EQ(h.frame->UnpackCommand(&in, cursor, &command, out, 8, &count), 0);
    EXPECT_EQ(in, cursor);
    EXPECT_EQ(command, 28u);
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(h.frame->PairString(out[1]), "abc");
    EXPECT_EQ(out[2].flags, 3u);
    EXPECT_EQ(out[2].value, 0u); // the empty string comes back as null with bit 1
    EXPECT_EQ(out[4].value, 7u);

    // Too small a buffer: 2, nothing written; damaged records: 2.
    uint8_t small[20] = {};
    uint8_t* smallCursor = small;
    EXPECT_EQ(h.frame->PackCommand(&smallCursor, small + sizeof small, 28, pairs, 5), 2);
    EXPECT_EQ(smallCursor, small);
    EXPECT_EQ(h.frame->PackCommand(nullptr, small, 28, pairs, 5), 1);
    std::vector<uint8_t> damaged = expected;
    const struct {
        const char* name;
        size_t at;
        uint8_t value;
    } cases[] = {{"length past the end", 2, 99}, {"count above capacity", 10, 9}, {"string length past the record", 20, 40},
                 {"string without NUL", 27, 'x'}, {"no escape", 0, 1}};
    for (const auto& c : cases) {
        damaged = expected;
        damaged[c.at] = c.value;
        in = damaged.data();
        EXPECT_EQ(h.frame->UnpackCommand(&in, damaged.data() + damaged.size(), &command, out, 8, &count), 2) << c.name;
        EXPECT_EQ(in, damaged.data()) << c.name;
    }

    // Deferred dispatch: the result goes to the last command result and retTgsExp.
    h.frame->results[28] = 9;
    EXPECT_EQ(h.frame->DispatchDeferred(28, out), 9);
    EXPECT_EQ(h.rt.RetTgsExp(), 9);
    EXPECT_EQ(h.frame->LastCommandResult(), 9);
    EXPECT_FALSE(h.frame->InDeferredDispatch());
    EXPECT_EQ(h.frame->DispatchDeferred(130, out), -1);
}

} // namespace
