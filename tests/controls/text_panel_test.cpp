// The text panel: line-break lists, pages drawn character by character against references put
// with the same font's DrawString, escapes, wrapping, full pages, items with their hit map and
// highlights, frames and the nine-slice, and the vertical switch.
#include "control_test_form.h"

#include "controls/text_panel.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "winapi/text.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace controls_test;
using drawing_test::Px;
using drawing_test::SetPx;

uint16_t Code(const char* utf8)
{
    const char* s = winapi::Sjis(utf8);
    const uint8_t a = static_cast<uint8_t>(s[0]);
    return s[1] ? static_cast<uint16_t>(a | (static_cast<uint8_t>(s[1]) << 8)) : a;
}

TEST(TextPanelBreaks, Lists)
{
    struct Case {
        const char* previous;
        const char* ch;
        bool holds;
    } cases[] = {
        {"", "。", true},  {"", "」", true},  {"", "ッ", true},  {"", "ー", true},   {"", "あ", false},
        {"", "漢", false}, {"「", "漢", true}, {"（", "a", true},  {"", ")", true},    {"", "a", false},
        {"", "｡", true},   {"", "ｯ", true},   {"(", "a", true},   {"\\", "a", true}, {"", "ｱ", false},
        {"", "％", true},  {"a", "b", false}, {"」", "あ", false},
    };
    for (const Case& c : cases) {
        const uint16_t previous = c.previous[0] ? (std::strcmp(c.previous, "\\") == 0 ? 0x5C : Code(c.previous)) : 0;
        const uint16_t ch = Code(c.ch);
        const bool holds = (ch >> 8) ? HoldsLineDouble(previous, ch) : HoldsLineSingle(previous, static_cast<uint8_t>(ch));
        EXPECT_EQ(holds, c.holds) << c.previous << " " << c.ch;
    }
}

class TextPanelTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        ASSERT_EQ(ref.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        ASSERT_EQ(ruby.SetFont(8, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    }
    // Every character of text through DrawNextChar; answers the last result.
    int Draw(CTextPanel& panel, const char* text)
    {
        const char* p = text;
        int result = 0;
        while (*p && (result = panel.DrawNextChar(&p)) != 1) {
        }
        return result;
    }
    // The reference page: background, then each glyph put by DrawString at the cursor the layout
    // rules give (bottom of a line of height lineH; next line one pitch lower at the left margin).
    std::unique_ptr<CImage> Reference(int w, int h, uint32_t bg, const std::vector<std::pair<const char*, POINT>>& glyphs)
    {
        auto image = std::make_unique<CImage>();
        image->Create(w, h, 32, 0);
        image->FillRect32(bg, nullptr);
        for (const auto& g : glyphs)
            ref.DrawString(image.get(), g.second.x, g.second.y, g.first, nullptr, nullptr);
        return image;
    }
    int Advance(const char* glyph)
    {
        SIZE size{0, 0};
        ref.MeasureString(glyph, &size, nullptr, nullptr, 0, nullptr);
        return size.cx;
    }
    CGlyphFont font, ref, ruby;
};

TEST_F(TextPanelTest, PageMatchesGlyphsPutOneByOne)
{
    CTextPanel panel;
    EXPECT_EQ(panel.Create(nullptr, 1, 100, 60, 0, 0, &font, nullptr, 1), 1);
    EXPECT_EQ(panel.Create(&scene.GetList(), 1, 0, 60, 0, 0, &font, nullptr, 1), 1);
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 60, 0, 0, &font, nullptr, 1), 0);
    panel.SetWrapReserve(0);
    EXPECT_EQ(panel.GetLineHeight(), 16);
    EXPECT_EQ(panel.GetLinePitch(), 20);
    EXPECT_EQ(panel.GetWrapLimit(), 92);
    // "@@" is one "@"; a lone "@" before a letter is "@"; the rest wraps after x passes 92.
    const char* text = winapi::Sjis("日本@@@xテキスト");
    Draw(panel, text);
    std::vector<std::pair<const char*, POINT>> glyphs;
    const char* pieces[] = {"日", "本", "@", "@", "x", "テ", "キ", "ス", "ト"};
    std::vector<std::string> store;
    for (const char* piece : pieces)
        store.push_back(piece[0] == '@' ? "@@" : winapi::Sjis(piece));
    int x = 8, y = 8;
    for (const std::string& s : store) {
        const char* g = s.c_str();
        if (x > 92) {
            x = 8;
            y += 20;
        }
        glyphs.push_back({g, POINT{x, y}});
        x += Advance(g);
    }
    auto expected = Reference(100, 60, 0x80000000u, glyphs);
    EXPECT_EQ(drawing_test::FirstDifference(panel.GetImage(), *expected), -1);
}

// Held marks: nothing reaches the scene while the characters are drawn; released, one
// rectangle covers what marking each character covered.
TEST_F(TextPanelTest, HeldChangeMarksReachTheSceneAsOneRectangle)
{
    const char* text = winapi::Sjis("日本語のテキスト");
    RECT bounds[2];
    for (int held = 0; held < 2; ++held) {
        CTextPanel panel;
        ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 60, 0, 0, &font, nullptr, 1), 0);
        scene.GetRegion().Reset();
        if (held)
            panel.HoldChangeMarks();
        Draw(panel, text);
        if (held) {
            EXPECT_EQ(scene.GetRegion().Count(), 0);
            panel.ReleaseChangeMarks();
            EXPECT_EQ(scene.GetRegion().Count(), 1);
        }
        ASSERT_TRUE(scene.GetRegion().BoundsValid()) << held;
        bounds[held] = scene.GetRegion().Bounds();
    }
    EXPECT_EQ(bounds[1].left, bounds[0].left);
    EXPECT_EQ(bounds[1].top, bounds[0].top);
    EXPECT_EQ(bounds[1].right, bounds[0].right);
    EXPECT_EQ(bounds[1].bottom, bounds[0].bottom);
}

TEST_F(TextPanelTest, RubyAndAlignedTextAsPictures)
{
    CGlyphFont rubyRef;
    ASSERT_EQ(rubyRef.SetFont(8, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    CTextPanel panel;
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 120, 80, 0, 0, &font, &ruby, 1), 0);
    panel.SetRubyGap(2);
    panel.ResetTextCursor(true);
    EXPECT_EQ(panel.GetLineHeight(), 16 + 2 + 8) << "room for the ruby";
    const std::string kanji = winapi::Sjis("漢"), kana = winapi::Sjis("かん");
    ASSERT_EQ(panel.SetRubyText(kana.c_str()), 1);
    const char* p = kanji.c_str();
    ASSERT_EQ(panel.DrawNextChar(&p), 0);
    // The character sits on the bottom of the line; the ruby is centred above it, gap 2.
    auto expected = Reference(120, 80, 0x80000000u, {{kanji.c_str(), POINT{8, 8 + 26 - 16}}});
    SIZE rubySize{0, 0};
    rubyRef.MeasureString(kana.c_str(), &rubySize, nullptr, nullptr, 0, nullptr);
    rubyRef.DrawString(expected.get(), 8 + (Advance(kanji.c_str()) >> 1) - (rubySize.cx >> 1), 8 + 26 - 16 - 2 - 8,
                       kana.c_str(), nullptr, nullptr);
    EXPECT_EQ(drawing_test::FirstDifference(panel.GetImage(), *expected), -1);

    // Aligned text: centred both ways in the text area widened by the item margins.
    CTextPanel centred;
    ASSERT_EQ(centred.Create(&scene.GetList(), 1, 120, 80, 0, 0, &font, nullptr, 1), 0);
    centred.DrawAlignedText("ab", 0);
    SIZE box{0, 0};
    ref.MeasureString("ab", &box, nullptr, nullptr, 0, nullptr);
    const int x = 8 + (120 - 16 + 4 - box.cx) / 2, y = 8 + (80 - 16 + 4 - box.cy) / 2;
    auto aligned = Reference(120, 80, 0x80000000u, {{"ab", POINT{x, y}}});
    EXPECT_EQ(drawing_test::FirstDifference(centred.GetImage(), *aligned), -1);
    EXPECT_EQ(centred.GetCursorX(), x + Advance("ab"));
}

TEST_F(TextPanelTest, PictureEscapeDrawsTheImageGlyph)
{
    // A sheet of 16 cells 8x6, cell i with coverage 10 (i + 1), written here.
    CImage sheet;
    ASSERT_EQ(sheet.Create(32, 24, 32, 0), 0);
    sheet.SetAlphaFlag(true);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            SetPx(sheet, x, y, static_cast<uint32_t>(10 * ((y / 6) * 4 + x / 8 + 1)) << 24 | 0xFFFFFF);
    ASSERT_EQ(font.CutImageGlyphs(sheet, 16, 8, 6, 1), 0);
    ASSERT_EQ(ref.CutImageGlyphs(sheet, 16, 8, 6, 1), 0);
    CTextPanel panel;
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 60, 0, 0, &font, nullptr, 1), 0);
    const char* text = "@12x";
    const char* p = text;
    ASSERT_EQ(panel.DrawNextChar(&p), 0);
    EXPECT_EQ(p - text, 3) << "the escape and both digits in one request";
    auto expected = Reference(100, 60, 0x80000000u, {{"@12", POINT{8, 8}}});
    EXPECT_EQ(drawing_test::FirstDifference(panel.GetImage(), *expected), -1);
    POINT end{0, 0};
    CImage scratch;
    scratch.Create(40, 20, 32, 0);
    ref.DrawString(&scratch, 0, 0, "@12", nullptr, &end);
    EXPECT_GT(end.x, 0);
    EXPECT_EQ(panel.GetCursorX(), 8 + end.x);
}

TEST_F(TextPanelTest, EscapesAndLeadByteAtTheEnd)
{
    CTextPanel panel;
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 300, 60, 0, 0, &font, nullptr, 1), 0);
    struct Case {
        const char* text;
        int used;
    } cases[] = {{"@@x", 2}, {"@12x", 3}, {"@1234567", 7}, {"@x", 1}, {"\x82", 1}, {"ab", 1}, {"\x82\xA0z", 2}};
    for (const Case& c : cases) {
        panel.ResetTextCursor(true);
        const char* p = c.text;
        EXPECT_EQ(panel.DrawNextChar(&p), 0) << c.text;
        EXPECT_EQ(p - c.text, c.used) << c.text;
    }
    // The lone lead byte draws nothing.
    panel.ResetTextCursor(true);
    const char* p = "\x82";
    panel.DrawNextChar(&p);
    EXPECT_EQ(panel.GetCursorX(), 8);
}

TEST_F(TextPanelTest, WrapRulesAndFullPage)
{
    CTextPanel panel;
    // Text area 8..72 across, one line of pitch 20 fits twice in 60 - 8 bottom margin.
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 80, 56, 0, 0, &font, nullptr, 1), 0);
    panel.SetWrapReserve(1); // wrap limit 80 - 16 - 8 = 56
    const char* text = winapi::Sjis("あいうえ。");
    const char* p = text;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(panel.DrawNextChar(&p), 0);
    EXPECT_EQ(panel.GetCursorX(), 8 + 4 * 16);
    // Beyond the limit, but a closing mark ending within the margin (72 + 16 > 72 fails) starts a
    // new line; with the cursor at 56 it would stay.
    EXPECT_EQ(panel.DrawNextChar(&p), -1);
    EXPECT_EQ(panel.GetCursorY(), 28);
    panel.ResetTextCursor(true);
    p = winapi::Sjis("あいう。");
    for (int i = 0; i < 3; ++i)
        panel.DrawNextChar(&p);
    EXPECT_EQ(panel.GetCursorX(), 56);
    // 56 is not beyond 56: plain. Then one more at 72 > 56.
    EXPECT_EQ(panel.DrawNextChar(&p), 0);
    EXPECT_EQ(panel.GetCursorY(), 8);

    // An opening bracket at the line end lets ordinary text hang.
    panel.ResetTextCursor(true);
    panel.SetWrapReserve(2); // limit 40
    p = winapi::Sjis("あい「う");
    for (int i = 0; i < 3; ++i)
        panel.DrawNextChar(&p);
    EXPECT_EQ(panel.GetCursorX(), 56);
    EXPECT_EQ(panel.DrawNextChar(&p), 0) << "held by the bracket";
    EXPECT_EQ(panel.GetCursorY(), 8);

    // Full page: the third line does not fit; the pointer stays.
    panel.ResetTextCursor(true);
    panel.SetWrapReserve(0);
    const char* full = winapi::Sjis("ああああああああああああ");
    p = full;
    int result = 0;
    while ((result = panel.DrawNextChar(&p)) != 1) {
    }
    EXPECT_EQ(p - full, 20) << "5 characters (the last one starting at the limit) on each of two lines";
    EXPECT_TRUE(panel.IsPageFull());
    const char* kept = p;
    EXPECT_EQ(panel.DrawNextChar(&p), 1);
    EXPECT_EQ(p, kept);
    panel.ResetTextCursor(true);
    EXPECT_EQ(panel.DrawNextChar(&p), 0);
    EXPECT_EQ(p, kept + 2);
}

TEST_F(TextPanelTest, ItemsHitMapHighlightsAndChoice)
{
    CTextPanel panel;
    ASSERT_EQ(panel.SetItemsEnabled(true, false), 0);
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 80, 10, 10, &font, nullptr, 1), 0);
    ASSERT_NE(panel.GetHitMap(), nullptr);
    panel.SetWrapReserve(0);
    panel.SetUserValue(100);
    ASSERT_EQ(form->AddControl(&panel, -1), 0);
    int32_t chosen = 0, entered = 0, left = 0;
    EXPECT_EQ(panel.BeginItem("n", 3, "cmd", "tip", &chosen, &entered, &left, 0x80FF0000u, nullptr, "in.wav",
                              nullptr, -1, -1, -1), 0);
    EXPECT_EQ(panel.BeginItem(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr,
                              -1, -1, -1), 1) << "one open at a time";
    // Wraps: six characters on the first line (the sixth starts at 88, not beyond 92). The
    // pointer rests where the item ends.
    MovePointer(30, 22);
    Frame();
    Draw(panel, winapi::Sjis("あいうえおかき"));
    panel.EndItem();
    ASSERT_EQ(panel.GetItemCount(), 1);
    const CTextPanelItem* item = panel.GetItem(0);
    ASSERT_EQ(item->cells.size(), 2u);
    EXPECT_EQ(item->cells[0].x, 6);
    EXPECT_EQ(item->cells[0].y, 6);
    EXPECT_EQ(item->cells[0].width, 8 + 6 * 16 - 6 + 2);
    EXPECT_EQ(item->cells[0].height, 20);
    EXPECT_EQ(item->cells[1].y, 26);
    EXPECT_EQ(Px(*panel.GetHitMap(), 10, 10) & 0xFF, 1u);
    EXPECT_EQ(Px(*panel.GetHitMap(), 2, 2) & 0xFF, 0u);

    // Suppressed until the pointer moves more than 3 pixels.
    MovePointer(32, 24);
    Frame();
    EXPECT_EQ(panel.GetHoveredItem(), -1);
    MovePointer(30, 30);
    Frame();
    MovePointer(31, 31);
    Frame();
    EXPECT_EQ(panel.GetHoveredItem(), 0);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(panel.GetShownHighlights(), 2u) << "one highlight per line";
    EXPECT_TRUE(panel.GetHighlight(1)->IsVisible());
    EXPECT_EQ(panel.GetHighlight(1)->GetY(), 10 + 26);
    form->Take();
    Button(true);
    Frame();
    Button(false);
    Frame();
    EXPECT_EQ(chosen, 1);
    EXPECT_TRUE(panel.IsLocked());
    const auto log = form->Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "result 100"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "command cmd n 3"), log.end());
    form->RemoveControl(&panel);
}

TEST_F(TextPanelTest, TheHitMapHoldsAtMost255Items)
{
    CTextPanel panel;
    panel.SetItemsEnabled(true, false);
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 80, 0, 0, &font, nullptr, 1), 0);
    for (int i = 0; i < 255; ++i) {
        ASSERT_EQ(panel.BeginItem(nullptr, i, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                  nullptr, -1, -1, -1), 0);
        panel.EndItem();
    }
    EXPECT_EQ(panel.BeginItem(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr,
                              -1, -1, -1), 1);
}

TEST_F(TextPanelTest, NineSliceClippedPiecesAndSnapping)
{
    // A 7x7 frame: borders 2, tile 3 (right and bottom borders 2); each pixel a distinct colour.
    CImage frame;
    frame.Create(7, 7, 32, 0);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            SetPx(frame, x, y, 0xFF000000u | static_cast<uint32_t>(y * 16 + x));
    frame.SetAlphaFlag(true);
    CTextPanel panel;
    EXPECT_EQ(panel.SetFrameSlices(2, 2, 3, 3), 1);
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 12, 11, 0, 0, &font, nullptr, 1), 0);
    // The frame is set with a lone decoration: copied, black-filled, alpha inverted.
    ASSERT_EQ(panel.SetFrameImages(&frame, nullptr, nullptr, true), 0);
    EXPECT_EQ(panel.GetWidth(), 12);
    // Reference by plain loops: each pixel of the panel maps to a frame pixel.
    auto source = [](int p, int size, int border, int tile, int after) {
        if (p < border)
            return p;
        if (p >= size - after)
            return border + tile + (p - (size - after));
        return border + (p - border) % tile;
    };
    CImage& image = panel.GetImage();
    long bad = -1;
    for (int y = 0; y < 11 && bad < 0; ++y)
        for (int x = 0; x < 12 && bad < 0; ++x) {
            const uint32_t want = Px(frame, source(x, 12, 2, 3, 2), source(y, 11, 2, 3, 2)) ^ 0xFF000000u;
            if (Px(image, x, y) != want)
                bad = y * 12 + x;
        }
    EXPECT_EQ(bad, -1) << "first wrong pixel at " << bad % 12 << "," << bad / 12;

    // Snapping: inner 12 - 4 = 8 -> 9; 11 - 4 = 7 -> 9.
    EXPECT_EQ(panel.Resize(12, 11), 0);
    EXPECT_EQ(panel.GetWidth(), 13);
    EXPECT_EQ(panel.GetHeight(), 13);
    EXPECT_EQ(panel.Resize(0, 5), 1);

    // Slices leaving a border negative are refused and the images freed.
    CTextPanel other;
    other.SetFrameSlices(4, 4, 4, 1);
    EXPECT_EQ(other.SetFrameImages(&frame, nullptr, nullptr, false), 10);
    EXPECT_EQ(other.GetFrameImage(), nullptr);
}

TEST_F(TextPanelTest, MaskedFrameAndRecolour)
{
    CImage mask;
    mask.Create(20, 20, 8, 0);
    for (int y = 0; y < 20; ++y)
        std::memset(mask.GetRowAddress(y), y * 10, 20);
    CTextPanel panel;
    ASSERT_EQ(panel.SetBackgroundColor(1, 0x102030, 255, false), -2);
    ASSERT_EQ(panel.SetFrameImages(nullptr, &mask, nullptr, false), 0);
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 0, 0, 0, 0, &font, nullptr, 1), 0);
    EXPECT_EQ(panel.GetWidth(), 20) << "an untiled frame gives its size";
    EXPECT_EQ(Px(panel.GetImage(), 3, 5), 0x32102030u);
    EXPECT_EQ(panel.SetBackgroundColor(1, 0x405060, 255, true), 0);
    EXPECT_EQ(Px(panel.GetImage(), 3, 5), 0x32405060u) << "recolour keeps the alpha";
    EXPECT_EQ(panel.SetBackgroundColor(1, 0x405060, 255, true), -1);
}

TEST_F(TextPanelTest, VerticalSwitchAndColumns)
{
    CTextPanel panel;
    ASSERT_EQ(panel.Create(&scene.GetList(), 1, 100, 100, 0, 0, &font, &ruby, 1), 0);
    ASSERT_EQ(panel.SetVertical(true, true), 0);
    EXPECT_EQ(font.m_logFont.lfFaceName[0], '@');
    EXPECT_EQ(ruby.m_logFont.lfFaceName[0], '@');
    EXPECT_EQ(font.m_logFont.lfEscapement, 2700);
    panel.ResetTextCursor(true);
    EXPECT_EQ(panel.GetCursorX(), 100 - 8 + 1);
    const char* p = winapi::Sjis("縦");
    EXPECT_EQ(panel.DrawNextChar(&p), 0);
    EXPECT_EQ(panel.GetCursorY(), 8 + 16);
    EXPECT_EQ(panel.DrawUprightRun("12"), 0);
    EXPECT_EQ(panel.GetCursorY(), 8 + 32);
    EXPECT_EQ(font.m_logFont.lfFaceName[0], '@') << "face switched back";
    ASSERT_EQ(panel.SetVertical(false, true), 0);
    EXPECT_NE(font.m_logFont.lfFaceName[0], '@');
    EXPECT_EQ(font.m_logFont.lfEscapement, 0);
    EXPECT_EQ(panel.DrawUprightRun("12"), 2);
}

} // namespace
