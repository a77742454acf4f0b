// The message window over the engine's bench: line records (wrap, hanging indent, embedded line
// breaks), the page's end rules for untrusted page text, anchoring and clamping, the timed reveal
// and the wait icon.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "drawing/scene.h"
#include "platform/cpu_info.h"
#include "script/message_window.h"
#include "support/tgs_engine_host.h"
#include "winapi/simd_level.h"
#include "winapi/text.h"

using tgsengine::Bench;

namespace {

std::string S(const char* utf8)
{
    return winapi::Utf8ToSjis(utf8);
}

// A packed command as the frame writes it into page text.
std::string Packed(CTgsFrame& frame, uint32_t command, std::vector<TgsArgPair> pairs = {})
{
    uint8_t buffer[256];
    uint8_t* p = buffer;
    pairs.resize(std::max<size_t>(pairs.size(), 1));
    EXPECT_EQ(frame.PackCommand(&p, buffer + sizeof buffer, command, pairs.data(), static_cast<uint32_t>(pairs.size())),
              0);
    return std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(p - buffer));
}

struct WindowBench : Bench {
    CMessageWindow* w = nullptr;
    WindowBench()
    {
        EXPECT_EQ(frame->StartScenario(false), 0);
        w = frame->MessageWindow();
        EXPECT_NE(w, nullptr);
    }
    int Show(const std::string& page, uint32_t charMs = 0)
    {
        w->SetCharacterTime(charMs);
        w->SetPageText(reinterpret_cast<const uint8_t*>(page.data()), static_cast<uint32_t>(page.size()));
        return w->ShowPage(false);
    }
};

TEST(MessageWindow, LinesWrapAndHangAfterTheOpeningBracket)
{
    WindowBench b;
    std::string page = S("「");
    for (int i = 0; i < 40; ++i)
        page += S("あ");
    ASSERT_EQ(b.Show(page), 0);
    const auto& lines = b.w->Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(b.w->CharacterCount(), 41);
    // The second line starts under the character after "「".
    const int bracket = lines[0].right - lines[0].left > 0 ? lines[1].left - lines[0].left : -1;
    EXPECT_GT(bracket, 10);
    EXPECT_LT(bracket, 30);
    EXPECT_GT(lines[1].top, lines[0].top);
    // Without the bracket the next line starts at the margin.
    ASSERT_EQ(b.Show(page.substr(2)), 0);
    ASSERT_GE(b.w->Lines().size(), 2u);
    EXPECT_EQ(b.w->Lines()[1].left, b.w->Lines()[0].left);
}

TEST(MessageWindow, PageTextEndsWhereItMust)
{
    WindowBench b;
    const std::string a = S("あ"), i = S("い");
    const struct {
        const char* name;
        std::string page;
        int chars;
        size_t lines;
    } cases[] = {
        {"plain", a + i, 2, 1},
        {"NUL then other byte", a + std::string("\0x", 2) + i, 1, 1},
        {"command past the page", a + std::string("\0[\xE8\x03\0\0", 6) + i, 1, 1},
        {"command length below itself", a + std::string("\0[\x02\0\0\0", 6) + i, 1, 1},
        {"embedded line break", a + Packed(*b.frame, 14) + i, 2, 2},
        {"page-end command passed over", a + Packed(*b.frame, 16) + i, 2, 1},
        {"lone lead byte", std::string("\x82"), 1, 1},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(b.Show(c.page), 0) << c.name;
        EXPECT_EQ(b.w->CharacterCount(), c.chars) << c.name;
        EXPECT_EQ(b.w->Lines().size(), c.lines) << c.name;
    }
    // The page-end command in page text did not run its wait.
    EXPECT_EQ(b.link.steps, 0);
    EXPECT_EQ(b.w->SetPageText(nullptr, 3), 1);
}

TEST(MessageWindow, AnchorAndClamp)
{
    WindowBench b;
    const int width = b.w->GetWidth();
    b.w->SetTextRect(0, 10, 100, 0, 0, 800, 600);
    ASSERT_EQ(b.Show(S("あ")), 0);
    EXPECT_EQ(b.w->GetX(), 0);
    b.w->SetTextRect(1, 10, 100, -2, 0, 0, 0);
    ASSERT_EQ(b.Show(S("あ")), 0);
    EXPECT_EQ(b.w->GetX(), 10);
    b.w->SetTextRect(2, 790, 100, -1, 0, 0, 0);
    ASSERT_EQ(b.Show(S("あ")), 0);
    EXPECT_EQ(b.w->GetX(), 790 - width);
}

TEST(MessageWindow, RevealRunsOnTheClockAndFinishesWithTheIcon)
{
    WindowBench b;
    CImage icon;
    ASSERT_EQ(icon.Create(5, 10, 32, 0), 0);
    ASSERT_EQ(b.w->SetWaitIcon(&icon, 735, 75, false), 0);
    const std::string page = S("あいうえおかきくけこ");
    ASSERT_EQ(b.Show(page, 30), 0);
    EXPECT_EQ(b.w->RevealTime(), 300u);
    EXPECT_TRUE(b.w->IsRevealing());
    EXPECT_FALSE(b.w->IsWaitIconShown());
    EXPECT_EQ(b.Show(page, 30), 2);
    // Steps of 16 ms: halfway the window is still revealing.
    for (int i = 0; i < 10; ++i)
        b.frame->StepFrame();
    EXPECT_TRUE(b.w->IsRevealing());
    EXPECT_TRUE(b.w->FinishReveal());
    EXPECT_FALSE(b.w->IsRevealing());
    EXPECT_TRUE(b.w->IsWaitIconShown());
    EXPECT_FALSE(b.w->FinishReveal());
    // A page of no characters has nothing to reveal.
    ASSERT_EQ(b.Show(std::string("\0x", 2), 30), 0);
    EXPECT_EQ(b.w->RevealTime(), 0u);
    EXPECT_FALSE(b.w->IsRevealing());
}

// The soft edge's row at every SIMD level, with the SIMD switch off and on, against the rule per
// channel: widths 1-33, weights 0, 255 and between, every channel (alpha too) mixed.
TEST(MessageWindow, EdgeRowsMixTheSameAtEverySimdLevel)
{
    std::mt19937 rng(72);
    const uint8_t savedMmx = g_bUseMmx;
    for (LONG n = 1; n <= 33; ++n) {
        std::vector<uint32_t> page(n), base(n);
        std::vector<uint8_t> weights(n);
        for (LONG i = 0; i < n; ++i) {
            page[i] = static_cast<uint32_t>(rng());
            base[i] = static_cast<uint32_t>(rng());
            const uint32_t kind = rng() % 4;
            weights[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng());
        }
        std::vector<uint32_t> want(n);
        for (LONG i = 0; i < n; ++i)
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t p = page[i] >> shift & 255, b = base[i] >> shift & 255, w = weights[i];
                want[i] |= (p * w + b * (255 - w)) / 255 << shift;
            }
        for (int mmx = 0; mmx < 2; ++mmx) {
            g_bUseMmx = static_cast<uint8_t>(mmx);
            for (SimdLevel level : kAllSimdLevels) {
                ScopedSimdLevel forced(level);
                std::vector<uint32_t> got(n + 1, 0xA5A5A5A5u); // one guard pixel past the row
                MixRevealRow(got.data(), page.data(), base.data(), weights.data(), n);
                EXPECT_EQ(got[n], 0xA5A5A5A5u);
                got.pop_back();
                ASSERT_EQ(got, want) << "width " << n << " mmx " << mmx << " level " << int(level);
            }
        }
    }
    g_bUseMmx = savedMmx;
}

TEST(MessageWindow, RevealedPixelsEqualTheDirectPage)
{
    // The page revealed to its end holds the same pixels as the page drawn at once.
    const std::string page = S("あいう、えお。") + std::string("abc");
    std::vector<uint8_t> direct, revealed;
    for (uint32_t ms : {0u, 20u}) {
        WindowBench b;
        b.w->SetVisible(true);
        ASSERT_EQ(b.Show(page, ms), 0);
        for (int i = 0; i < 20 && b.w->IsRevealing(); ++i)
            b.frame->StepFrame();
        EXPECT_FALSE(b.w->IsRevealing());
        CImage& image = b.w->GetImage();
        std::vector<uint8_t>& out = ms == 0 ? direct : revealed;
        for (LONG y = 0; y < image.GetHeight(); ++y)
            out.insert(out.end(), image.GetRowPointer(y), image.GetRowPointer(y) + image.GetWidth() * 4);
    }
    EXPECT_EQ(direct, revealed);
    // Something was drawn.
    WindowBench blank;
    std::vector<uint8_t> empty;
    CImage& image = blank.w->GetImage();
    for (LONG y = 0; y < image.GetHeight(); ++y)
        empty.insert(empty.end(), image.GetRowPointer(y), image.GetRowPointer(y) + image.GetWidth() * 4);
    EXPECT_NE(direct, empty);
}

} // namespace

namespace {

// The window is drawn in the canvas's scene with the frame colour and alpha of the settings.
TEST(MessageWindow, ShownInTheCanvasScene)
{
    WindowBench b;
    const std::string page = S("あいうえお");
    b.w->SetVisible(true);
    ASSERT_EQ(b.Show(page), 0);
    CImage out;
    ASSERT_EQ(out.Create(800, 600, 32, 0), 0);
    ASSERT_EQ(b.canvas.GetScene()->RenderToImage(&out, 0, 0, true), 0);
    int lit = 0;
    for (int y = 475; y < 585; ++y)
        for (int x = 15; x < 785; ++x) {
            uint32_t v;
            std::memcpy(&v, out.GetRowPointer(y) + 4 * x, 4);
            lit += (v & 0xFFFFFF) != 0;
        }
    EXPECT_GT(lit, 100);
}

} // namespace

namespace {

// The image of a window as 0xAARRGGBB words.
std::vector<uint32_t> Pixels(CImage& image)
{
    std::vector<uint32_t> out;
    for (LONG y = 0; y < image.GetHeight(); ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(image.GetRowPointer(y));
        out.insert(out.end(), row, row + image.GetWidth());
    }
    return out;
}

// Mid-reveal the revealed length is elapsed × total / reveal time: left of it less the soft edge
// the window holds the page, from it on the window before the page; across the edge the pixels
// lie between the two.
TEST(MessageWindow, RevealLengthFollowsTheClock)
{
    const std::string page = S("あいうえおかきくけこさしすせそ");
    std::vector<uint32_t> direct;
    {
        WindowBench b;
        ASSERT_EQ(b.Show(page), 0);
        direct = Pixels(b.w->GetImage());
    }
    WindowBench b;
    b.w->Clear();
    const std::vector<uint32_t> blank = Pixels(b.w->GetImage());
    ASSERT_EQ(b.Show(page, 40), 0);
    EXPECT_EQ(b.w->RevealTime(), 600u);
    b.frame->StepFrame(); // the reveal starts
    for (int i = 0; i < 10; ++i)
        b.frame->StepFrame();
    ASSERT_TRUE(b.w->IsRevealing());
    ASSERT_EQ(b.w->Lines().size(), 1u);
    const auto& line = b.w->Lines()[0];
    const int total = line.right - line.left;
    const int length = 160 * total / 600;
    const int edge = b.w->EdgeWidth();
    const std::vector<uint32_t> now = Pixels(b.w->GetImage());
    const int width = b.w->GetImage().GetWidth();
    int inEdge = 0;
    for (int y = line.top; y < line.bottom; ++y) {
        for (int x = line.left; x < line.right; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            const int along = x - line.left;
            if (along < length - edge)
                ASSERT_EQ(now[i], direct[i]) << along;
            else if (along >= length)
                ASSERT_EQ(now[i], blank[i]) << along;
            else
                inEdge += now[i] != direct[i] && now[i] != blank[i];
        }
    }
    EXPECT_GT(inEdge, 0);
}

} // namespace
