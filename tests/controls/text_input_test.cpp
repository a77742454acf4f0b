// The text input field: editing as a table of typed bytes and keys (Backspace over half-width
// katakana, a double-byte character at one free byte, a third line in a two-line field, Enter),
// the caller's buffer never written before Commit, click halves, the caret blink on the virtual
// clock, the composition picture's highlight, and the IME indicator's letters and alignment.
#include "control_test_form.h"

#include "controls/control_set.h"
#include "controls/ime_indicator.h"
#include "controls/text_input.h"
#include "drawing/glyph_font.h"
#include "platform/ime_context.h"
#include "platform/timer_manager.h"
#include "winapi/host.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

using namespace controls_test;

class TextInputTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    }
    std::string Sjis(const char* utf8) { return winapi::Sjis(utf8); }
    CGlyphFont font;
};

TEST_F(TextInputTest, EditingTable)
{
    // In: the field (lines, width, capacity), typed bytes and keys; out: the text and caret.
    struct Step {
        std::string typed;  // bytes typed, before the key
        int key;            // 0 none
    };
    struct Case {
        const char* name;
        int lines;
        int maxLength;
        std::vector<Step> steps;
        std::string text;
        int caret;
    };
    const std::string kana = Sjis("ｶﾀｶﾅ"), a = Sjis("あ"), ni = Sjis("日本");
    const std::vector<Case> cases = {
        {"backspace removes one half-width katakana", 0, 255, {{kana + "\x08", 0}}, Sjis("ｶﾀｶ"), 3},
        {"backspace after a double-byte character", 0, 255, {{ni + "\x08", 0}}, Sjis("日"), 2},
        {"a double-byte character at one free byte is dropped with the rest", 0, 3, {{"ab" + a + "c", 0}}, "ab", 2},
        {"a lead byte ending the input is dropped", 0, 255, {{"x\x82", 0}}, "x", 1},
        {"left steps over a whole character", 0, 255, {{"a" + a, VK_LEFT}}, "a" + a, 1},
        {"home then delete", 0, 255, {{a + "b", VK_HOME}, {"", VK_DELETE}}, "b", 0},
        {"end after home", 0, 255, {{"abc", VK_HOME}, {"", VK_END}}, "abc", 3},
        {"tab and escape are ignored", 0, 255, {{"a\tb\x1b", 0}}, "ab", 2},
        {"a third line in a two-line field is refused", 2, 0, {{"a\nb\nc", 0}}, "a\nbc", 4},
        {"insert in the middle", 0, 255, {{"ac", VK_LEFT}, {"b", 0}}, "abc", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTextInput input;
        if (c.maxLength)
            input.SetMaxLength(c.maxLength);
        const int created = c.lines ? input.CreateMultiLine(&scene.GetList(), 1, nullptr, nullptr, &font, c.lines, 120,
                                                            nullptr, 0, 0, 0, 2, 0, true, 1)
                                    : input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 120, nullptr,
                                                             0, 0, 0, 2, true, 1);
        ASSERT_EQ(created, 0);
        for (const Step& s : c.steps) {
            if (!s.typed.empty()) {
                EXPECT_TRUE(input.OnTextInput(s.typed.data(), static_cast<int>(s.typed.size())));
            }
            if (s.key)
                input.OnKeyDown(s.key);
        }
        EXPECT_EQ(std::string(input.GetText()), c.text);
        EXPECT_EQ(input.GetCaret(), c.caret);
    }
}

TEST_F(TextInputTest, KeystrokesRedrawTheSamePixelsAsAWholeRedraw)
{
    // A keystroke redraws from the first changed character on; after every random key the field's
    // picture must equal what a whole redraw makes, in single and multi-line fields, with margins,
    // with a shadow whose ink leaves its character's cell, and after the font changes between keys.
    struct Case {
        const char* name;
        int lines;
        int margin;
        int shadow;      // shadow offset (0: no effect)
        bool italic;
        bool resizeFont; // the font's height changes half way
    };
    const Case cases[] = {
        {"single line", 0, 0, 0, false, false},
        {"single line with a margin", 0, 3, 0, false, false},
        {"single line with a shadow", 0, 0, 3, false, false},
        {"single line, italic", 0, 0, 0, true, false},
        {"single line, font resized", 0, 0, 0, false, true},
        {"three lines", 3, 0, 0, false, false},
        {"three lines with a margin", 3, 2, 0, false, false},
        {"three lines with a shadow", 3, 0, 2, false, false},
        {"three lines, font resized", 3, 0, 0, false, true},
    };
    const std::string typed[] = {"a", "W", Sjis("あ"), Sjis("漢"), Sjis("ｶ"), "\x08", "\n", "ab" + Sjis("いう")};
    const int keys[] = {VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_DELETE, VK_UP, VK_DOWN};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGlyphFont face;
        ASSERT_EQ(face.SetFont(16, 0, c.italic ? 1 : 0, Sjis("ＭＳ ゴシック").c_str()), 0);
        if (c.shadow) {
            face.SetEffect(1, 200, 40, 40);
            face.SetShadowOffset(c.shadow, c.shadow);
        }
        CTextInput input;
        const int created = c.lines ? input.CreateMultiLine(&scene.GetList(), 1, nullptr, nullptr, &face, c.lines, 150,
                                                            nullptr, 0, 0, 0, c.margin, 2, true, 1)
                                    : input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &face, 150, nullptr,
                                                             0, 0, 0, c.margin, true, 1);
        ASSERT_EQ(created, 0);
        CImage& image = input.GetImage();
        const size_t bytes = static_cast<size_t>(image.GetPitch()) * static_cast<size_t>(image.GetHeight());
        std::vector<uint8_t> kept(bytes);
        uint32_t seed = 12345;
        auto next = [&](uint32_t n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % n;
        };
        for (int step = 0; step < 300; ++step) {
            if (c.resizeFont && step == 150) {
                // The key after the change edits the text, so a redraw must follow it.
                input.OnKeyDown(VK_END);
                ASSERT_NE(input.GetText(), nullptr);
                face.SetHeight(14);
                input.OnTextInput("\x08", 1);
            } else if (next(3) == 0)
                input.OnKeyDown(keys[next(std::size(keys))]);
            else {
                const std::string& t = typed[next(std::size(typed))];
                input.OnTextInput(t.data(), static_cast<int>(t.size()));
            }
            std::memcpy(kept.data(), image.GetBits(), bytes);
            input.RedrawText();
            // Inside the border: glyph ink that reaches the border is blended again by every
            // redraw, so the border keeps no state to compare.
            for (LONG y = 1; y < image.GetHeight() - 1; ++y) {
                const size_t row = static_cast<size_t>(y) * static_cast<size_t>(image.GetPitch()) + 4;
                ASSERT_EQ(std::memcmp(kept.data() + row, image.GetBits() + row,
                                      static_cast<size_t>(image.GetWidth() - 2) * 4),
                          0)
                    << "step " << step << ", row " << y << ", text \"" << (input.GetText() ? input.GetText() : "")
                    << "\"";
            }
        }
    }
}

TEST_F(TextInputTest, TypedJapaneseArrivesAsCp932Bytes)
{
    // iconv's CP932 bytes of the text are the reference.
    const char* typed = "日本語ｶﾀｶﾅ～①Ⅱabc";
    std::string expected;
    FILE* pipe = popen((std::string("printf '%s' '") + typed + "' | iconv -f UTF-8 -t CP932").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char chunk[64];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        expected.append(chunk, n);
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(expected.size(), 19u);
    CTextInput input;
    ASSERT_EQ(input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 200, nullptr, 0, 0, 0, 2, true, 1), 0);
    // Typed through the host with the IME closed: WM_CHAR bytes, handed to the field as the frame does.
    winapi::HostText(window.hwnd, typed);
    std::string bytes;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_CHAR)
            bytes += static_cast<char>(msg.wParam);
        else
            DispatchMessageA(&msg);
    }
    input.OnTextInput(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(std::string(input.GetText()), expected);
}

TEST_F(TextInputTest, ALeadByteBeforeALineBreakIsOneCharacterNotABreak)
{
    // 0x82 0x0A is laid out as one double-byte character; were its 0x0A counted as a line break,
    // the room left would grow past the buffer with every such pair already in the field.
    CTextInput input;
    ASSERT_EQ(input.CreateMultiLine(&scene.GetList(), 1, nullptr, nullptr, &font, 2, 120, nullptr, 0, 0, 0, 2, 0, true, 1),
              0);
    std::string pairs;
    for (int i = 0; i < 20; ++i)
        pairs += "\x82\n";
    for (int call = 0; call < 3; ++call) {
        input.OnTextInput(pairs.data(), static_cast<int>(pairs.size()));
        EXPECT_LE(static_cast<int>(std::strlen(input.GetText())), input.GetMaxLength());
    }
}

TEST_F(TextInputTest, CallerBufferCommitAndRefusals)
{
    CTextInput input;
    char buffer[8] = "abcdefg";
    EXPECT_EQ(input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 10, buffer, 8, 0, 0, 2, true, 1), 1)
        << "narrower than one full-width character";
    CGlyphFont flat;
    flat.SetFont(0, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    EXPECT_EQ(input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &flat, 100, buffer, 8, 0, 0, 2, true, 1), 1);
    ASSERT_EQ(input.SetMaxLength(4), 0);
    ASSERT_EQ(input.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 100, buffer, 8, 0, 0, 2, true, 1), 0);
    EXPECT_EQ(input.SetMaxLength(9), 1);
    EXPECT_STREQ(input.GetText(), "abcd");
    EXPECT_STREQ(buffer, "abcdefg") << "the caller's text is never written before Commit";
    // A field holding more than the caller's buffer: Commit cuts at a whole character.
    CTextInput wide;
    char small[4] = "";
    ASSERT_EQ(wide.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 100, small, 4, 0, 0, 2, true, 1), 0);
    const std::string typed = "a" + Sjis("日本");
    wide.OnTextInput(typed.data(), static_cast<int>(typed.size()));
    EXPECT_EQ(wide.Commit(), 0);
    EXPECT_EQ(std::string(small), "a" + Sjis("日"));
    EXPECT_TRUE(wide.IsLocked());
    wide.OnTextInput("z", 1);
    EXPECT_EQ(std::string(wide.GetText()), typed) << "locked";
}

TEST_F(TextInputTest, EnterMovesTheFocusAndClicksPickHalves)
{
    CTextInput first, second;
    ASSERT_EQ(first.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 120, nullptr, 0, 10, 10, 2, true, 1), 0);
    ASSERT_EQ(second.CreateSingleLine(&scene.GetList(), 1, nullptr, nullptr, &font, 120, nullptr, 0, 10, 60, 2, true, 1), 0);
    ASSERT_EQ(form->AddControl(&first, -1), 0);
    ASSERT_EQ(form->AddControl(&second, -1), 0);
    ASSERT_EQ(form->SetFocus(&first), 0);
    first.OnTextInput("ab\rc", 4);
    EXPECT_TRUE(form->IsFocus(&second));
    EXPECT_STREQ(first.GetText(), "ab") << "input after Enter is not taken";
    // "ab": a at 3..11, b at 11..19 inside the field (border 1 + margin 2). Click halves.
    SIZE size{0, 0};
    font.MeasureString("a", &size, nullptr, nullptr, 0, nullptr);
    const int w = size.cx;
    struct Click {
        int x;
        int caret;
    } clicks[] = {{3 + w / 2 - 1, 0}, {3 + w / 2 + 1, 1}, {3 + w + w / 2 + 1, 2}, {100, 2}};
    for (const Click& c : clicks) {
        MovePointer(10 + c.x, 15);
        Frame();
        Button(true);
        Frame();
        Button(false);
        Frame();
        EXPECT_EQ(first.GetCaret(), c.caret) << c.x;
    }
    form->RemoveControl(&first);
    form->RemoveControl(&second);
}

TEST_F(TextInputTest, CaretBlinksOnTheVirtualClock)
{
    drawing_test::VirtualClockAt clock(10000);
    CTimerManager timers;
    CTextInput input;
    ASSERT_EQ(input.CreateSingleLine(&scene.GetList(), 1, &timers, nullptr, &font, 120, nullptr, 0, 0, 0, 2, true, 1), 0);
    ASSERT_NE(input.GetBlinkTask(), nullptr);
    input.ShowCaret();
    EXPECT_TRUE(input.GetCaretShape().IsVisible());
    timers.RunDue(10499);
    EXPECT_TRUE(input.GetCaretShape().IsVisible());
    timers.RunDue(10500);
    EXPECT_FALSE(input.GetCaretShape().IsVisible());
    timers.RunDue(11000);
    EXPECT_TRUE(input.GetCaretShape().IsVisible());
    input.HideCaret();
    timers.RunDue(11500);
    EXPECT_FALSE(input.GetCaretShape().IsVisible());
    input.Release();
    EXPECT_EQ(input.GetBlinkTask(), nullptr) << "cancelled";
}

TEST_F(TextInputTest, CompositionAndIndicator)
{
    CImeContext ime;
    ime.Attach(window.hwnd);
    ASSERT_NE(ime.GetContext(), nullptr);
    CTextInput input;
    ASSERT_EQ(input.CreateSingleLine(&scene.GetList(), 1, nullptr, &ime, &font, 200, nullptr, 0, 20, 30, 2, true, 1), 0);
    ASSERT_EQ(ime.SetOpen(true), 0u);
    winapi::HostComposition(window.hwnd, "にほんご", 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    input.UpdateComposition();
    ASSERT_NE(input.GetCompositionSprite(), nullptr);
    EXPECT_TRUE(input.GetCompositionSprite()->IsVisible());
    // The whole composition is one clause: every character is highlighted, text colour as background.
    CImage* picture = input.GetCompositionImage();
    EXPECT_EQ(drawing_test::Px(*picture, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(input.GetCompositionSprite()->GetX(), 20 + 3);
    EXPECT_EQ(ime.GetCandidatePos().y, 30 + 3 + picture->GetHeight());

    // The highlight cases: the character at a non-zero cursor; the first clause; only the first
    // character when the first clause ends where the delta starts. Cells are 16 wide (full width).
    struct Highlight {
        int cursor;
        std::vector<int> clauseEnds;
        int deltaStart;
        std::vector<bool> lit;
    } highlights[] = {
        {2, {4}, 0, {false, false, true, false}},
        {0, {2, 4}, 0, {true, true, false, false}},
        {0, {2, 4}, 2, {true, false, false, false}},
    };
    for (const Highlight& h : highlights) {
        winapi::HostComposition(window.hwnd, "にほんご", h.cursor, h.clauseEnds, h.deltaStart);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        input.UpdateComposition();
        for (size_t i = 0; i < h.lit.size(); ++i)
            EXPECT_EQ(drawing_test::Px(*picture, static_cast<int>(i) * 16, 0), h.lit[i] ? 0xFF0000FFu : 0xFFFFFFFFu)
                << h.cursor << " " << h.deltaStart << " char " << i;
    }

    CImeIndicator indicator;
    ASSERT_EQ(indicator.Create(&scene.GetList(), &ime, &font, 300, 5, true, 1), 0);
    const int drawsOpen = indicator.GetDrawCount();
    indicator.Update();
    EXPECT_EQ(indicator.GetDrawCount(), drawsOpen) << "no change, no drawing";
    const int openWidth = indicator.GetLabelWidth();
    EXPECT_EQ(indicator.GetX() + openWidth, 300) << "right aligned";
    ASSERT_EQ(ime.SetOpen(false), 0u);
    indicator.Update();
    EXPECT_EQ(indicator.GetX() + indicator.GetLabelWidth(), 300);
    // "英数" and "全ひ" are both two full-width letters: the reference is the label drawn the same way.
    CImage reference;
    reference.Create(indicator.GetImage().GetWidth(), indicator.GetImage().GetHeight(), 32, 0);
    font.SetEffect(2, 0, 0, 0);
    font.SetShadowOffset(2, 2);
    const int e = font.m_outlineRadius;
    POINT end{e, e};
    font.DrawString(&reference, e, e, winapi::Sjis("英"), nullptr, &end);
    font.DrawString(&reference, end.x, e, winapi::Sjis("数"), nullptr, nullptr);
    font.SetEffect(0, 0, 0, 0);
    font.SetShadowOffset(0, 0);
    EXPECT_EQ(drawing_test::FirstDifference(indicator.GetImage(), reference), -1);
}

} // namespace
