// The backlog window: the log's height and scrolling, closing by the wheel at the bottom, the
// page images drawn with the backlog font (names orange with a voice, choices in their colours),
// a page's voice replayed on a click, its logged scene shown when it has none, and the fades.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "drawing/glyph_font.h"
#include "drawing/sprite.h"
#include "platform/cpu_info.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "support/tgs_effect_recorder.h"
#include "support/tgs_engine_host.h"
#include "support/tgs_skin_folder.h"
#include "winapi/text.h"

using tgsengine::Bench;

namespace {

class TgsBacklog : public ::testing::Test {
protected:
    void SetUp() override
    {
        b.link.stopAfter = 3000; // a backlog that never closes fails instead of hanging
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        ASSERT_GT(F().TextLog().Capacity(), 30);
    }
    CTgsFrame& F() { return *b.frame; }
    void AddPage(const std::string& text, uint32_t height, const char* name = "", const char* voice = "")
    {
        const std::string sjis = winapi::Utf8ToSjis(text.c_str());
        ASSERT_EQ(F().TextLog().AddMessage(reinterpret_cast<const uint8_t*>(sjis.data()),
                                           static_cast<uint32_t>(sjis.size()), height, name, voice, 0),
                  0);
    }
    // Runs the backlog with the input script step → its result.
    int Run(std::function<void(tgsengine::RecordingLink&, int step)> step)
    {
        int n = 0;
        b.link.onStep = [&, step](tgsengine::RecordingLink& l) { step(l, n++); };
        return F().RunBacklog();
    }
    // The colours of rows [top, top + rows) of a page image equal those of the reference (a page's
    // alpha is its ink, which the reference does not hold).
    static void ExpectRows(const CImage& got, const CImage& want, int top, int rows, const char* what)
    {
        ASSERT_EQ(got.GetWidth(), want.GetWidth()) << what;
        for (int y = top; y < top + rows; ++y)
            for (int x = 0; x < got.GetWidth(); ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(got.GetRowPointer(y)[4 * x + c], want.GetRowPointer(y)[4 * x + c])
                        << what << " at " << x << "," << y;
    }

    Bench b;
};

} // namespace

TEST_F(TgsBacklog, EmptyLogOpensAndClosesWithoutAPage)
{
    int drawn = -1;
    EXPECT_EQ(Run([&](tgsengine::RecordingLink& l, int n) {
                  if (n == 20) {
                      drawn = F().BacklogPageCount();
                      l.input.cancel = true;
                  }
              }),
              0);
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(F().BacklogHeight(), 0);
    EXPECT_EQ(F().BacklogMaxScroll(), 0);
    EXPECT_EQ(F().BacklogPage(0), nullptr);
}

TEST_F(TgsBacklog, ShortLogHasNoScrollAndTheWheelDownCloses)
{
    AddPage("short", 30, "A");
    int steps = 0;
    EXPECT_EQ(Run([&](tgsengine::RecordingLink& l, int n) {
                  steps = n;
                  if (n == 20)
                      l.input.wheel = -1;
              }),
              0);
    EXPECT_LT(steps, 40);
    EXPECT_EQ(F().BacklogHeight(), F().BacklogLineStep() + 30 + CTgsFrame::kBacklogPageGap);
    EXPECT_EQ(F().BacklogMaxScroll(), 0);
}

TEST_F(TgsBacklog, ScrollingALongLog)
{
    for (int i = 0; i < 30; ++i)
        AddPage("page " + std::to_string(i), 100);
    const int32_t max = 30 * (100 + CTgsFrame::kBacklogPageGap) - 600;
    std::vector<int32_t> seen;
    EXPECT_EQ(Run([&](tgsengine::RecordingLink& l, int n) {
                  if (n < 15)
                      return; // the opening fade
                  seen.push_back(F().BacklogScroll());
                  switch (seen.size()) {
                  case 1: l.input.home = true; break;
                  case 2: l.input.pageDown = true; break;
                  case 3: l.input.wheel = 1; break;
                  case 4: l.input.lineDown = true; break;
                  case 5: l.input.end = true; break;
                  case 6: l.input.pageDown = true; break; // at the bottom: stays
                  case 7: l.input.wheel = -1; break;      // at the bottom: closes
                  default: break;
                  }
              }),
              0);
    EXPECT_EQ(F().BacklogMaxScroll(), max);
    const int32_t line = F().BacklogLineStep();
    ASSERT_GE(seen.size(), 8u);
    EXPECT_EQ(seen[0], max); // opens at the newest page
    EXPECT_EQ(seen[1], 0);
    EXPECT_EQ(seen[2], 600);
    EXPECT_EQ(seen[3], 600 - line);
    EXPECT_EQ(seen[4], 600);
    EXPECT_EQ(seen[5], max);
    EXPECT_EQ(seen[6], max);
    EXPECT_LT(seen.size(), 7u + 20u); // closed after the wheel, the closing fade aside
}

TEST_F(TgsBacklog, PagesMatchTheFontsOwnDrawing)
{
    AddPage("voiced", 30, "A", "V001");
    AddPage("silent", 30, "B");
    ASSERT_EQ(F().TextLog().BeginChoices(3), 0);
    ASSERT_EQ(F().TextLog().AddChoice("one", 1), 0);
    ASSERT_EQ(F().TextLog().AddChoice("two", 0), 0);
    ASSERT_EQ(F().TextLog().AddChoice("three", 1), 0);
    uint32_t serial = 0;
    ASSERT_EQ(F().TextLog().EndChoices(&serial), 0);
    ASSERT_TRUE(F().TextLog().SetSelectedChoice(serial, 2));
    ASSERT_TRUE(F().PrepareBacklog());
    ASSERT_EQ(F().DrawBacklogPages(0), 3);
    const int32_t line = F().BacklogLineStep();
    CGlyphFont* font = F().Font(2);
    ASSERT_NE(font, nullptr);
    auto reference = [&](int height, const std::vector<std::pair<std::string, uint32_t>>& lines) {
        auto image = std::make_unique<CImage>();
        EXPECT_EQ(image->Create(CTgsFrame::kBacklogWidth, height, 32, 0), 0);
        int y = 0;
        for (const auto& [text, rgb] : lines) {
            font->SetTextColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
            font->DrawString(image.get(), 0, y, text.c_str(), nullptr, nullptr);
            y += line;
        }
        font->SetTextColor(255, 255, 255);
        return image;
    };
    const std::string open = winapi::Utf8ToSjis("「"), close = winapi::Utf8ToSjis("」");
    const auto voiced = reference(F().BacklogPage(0)->GetHeight(), {{open + "A" + close, 0xFFB74C}});
    ExpectRows(*F().BacklogPage(0), *voiced, 0, line, "orange name with a voice");
    const auto silent = reference(F().BacklogPage(1)->GetHeight(), {{open + "B" + close, 0xFFFFFF}});
    ExpectRows(*F().BacklogPage(1), *silent, 0, line, "white name without one");
    const auto choices = reference(F().BacklogPage(2)->GetHeight(),
                                   {{"one", 0xFFFFFF}, {"two", 0xA0A0A0}, {"three", 0xEEE000}});
    ExpectRows(*F().BacklogPage(2), *choices, 0, 3 * line, "choices white, grey and the chosen yellow");
    EXPECT_EQ(F().BacklogPageVoice(0), "V001");
    EXPECT_EQ(F().BacklogPageY(1), line + 30 + CTgsFrame::kBacklogPageGap);
    // Ink on the name line, and the message text below it.
    auto ink = [](const CImage& page, int from, int to) {
        for (int y = from; y < to; ++y)
            for (int x = 0; x < page.GetWidth(); ++x)
                if (page.GetRowPointer(y)[4 * x + 3] != 0)
                    return true;
        return false;
    };
    EXPECT_TRUE(ink(*F().BacklogPage(0), 0, line));
    EXPECT_TRUE(ink(*F().BacklogPage(0), line, F().BacklogPage(0)->GetHeight()));
    // Each pixel's alpha is its brightest colour byte, with the SIMD kernels and without.
    const uint8_t simd = g_bUseMmx;
    for (const uint8_t use : {0, 1}) {
        g_bUseMmx = use;
        ASSERT_EQ(F().DrawBacklogPages(0), 3);
        for (int i = 0; i < 3; ++i) {
            const CImage& page = *F().BacklogPage(i);
            for (int y = 0; y < page.GetHeight(); ++y)
                for (int x = 0; x < page.GetWidth(); ++x) {
                    const uint8_t* p = page.GetRowPointer(y) + 4 * x;
                    ASSERT_EQ(p[3], std::max({p[0], p[1], p[2]})) << "simd " << int{use} << " page " << i;
                }
        }
    }
    g_bUseMmx = simd;
}

// Full-width spaces are left out of a page, and a damaged command ends it without reading past.
TEST_F(TgsBacklog, PageTextIsNotTrusted)
{
    const std::string spaced = winapi::Utf8ToSjis("　a");
    const std::string plain = "a";
    std::string damaged = "a";  // then a command whose length runs past the page
    damaged += std::string("\0[\xFF\xFF\xFF\x7F", 6);
    for (const std::string* text : {&spaced, &plain, static_cast<const std::string*>(&damaged)})
        ASSERT_EQ(F().TextLog().AddMessage(reinterpret_cast<const uint8_t*>(text->data()),
                                           static_cast<uint32_t>(text->size()), 30, "", "", 0),
                  0);
    ASSERT_TRUE(F().PrepareBacklog());
    ASSERT_EQ(F().DrawBacklogPages(0), 3);
    ExpectRows(*F().BacklogPage(0), *F().BacklogPage(1), 0, F().BacklogPage(0)->GetHeight(), "space left out");
    ExpectRows(*F().BacklogPage(2), *F().BacklogPage(1), 0, F().BacklogPage(2)->GetHeight(), "command ends the page");
}

namespace {

// The backlog over a folder with the skin's scroll bar and the test pictures.
class TgsBacklogPictures : public TgsBacklog {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pictures.ok);
        std::string error;
        ASSERT_TRUE(tgsskin::WriteSkin(pictures.dir, {}, &error)) << error;
        TgsBacklog::SetUp();
    }
    static uint32_t At(const CImage& image, int x, int y)
    {
        return reinterpret_cast<const uint32_t*>(image.GetRowPointer(y))[x];
    }

    tgsrecord::Pictures pictures; // published before the scenario starts
};

} // namespace

TEST_F(TgsBacklogPictures, PagesAndScrollBarFadeInAndBackOverTheShade)
{
    for (int i = 0; i < 30; ++i)
        AddPage("page " + std::to_string(i), 100);
    std::vector<std::pair<int, int>> seen; // the thumb's and the shade's alpha each frame
    EXPECT_EQ(Run([&](tgsengine::RecordingLink& l, int n) {
                  const CSprite* thumb = F().BacklogScrollSprite(0);
                  if (thumb != nullptr && thumb->IsVisible() && F().BacklogShade() != nullptr)
                      seen.emplace_back(thumb->GetAlpha(), F().BacklogShade()->GetAlpha());
                  if (n == 30)
                      l.input.cancel = true;
              }),
              0);
    ASSERT_GT(seen.size(), 20u);
    const auto peak = std::find(seen.begin(), seen.end(), std::make_pair(255, 140));
    ASSERT_NE(peak, seen.end()); // the bar fully shown over a shade of 140
    EXPECT_LT(seen.front().first, 64);
    EXPECT_LT(seen.back().first, 64);
    for (auto it = seen.begin(); it + 1 != seen.end(); ++it) {
        const bool rising = it < peak;
        EXPECT_TRUE(rising ? (it + 1)->first >= it->first : (it + 1)->first <= it->first) << it - seen.begin();
        EXPECT_EQ(it->second, it->first * 140 / 255) << it - seen.begin();
    }
    EXPECT_EQ(F().BacklogScrollSprite(0), nullptr); // nothing left once closed
}

TEST_F(TgsBacklogPictures, AClickOnAPageWithoutAVoiceShowsItsScene)
{
    // A silent page before its scene (a grey background, a sprite mirrored at (100, 50)), then a
    // voiced page before another scene.
    TextLogScene scene;
    scene.background = "BG01A.ELG";
    scene.words = {0, 0, -1, 0, 0, 0, 0, 1, 0, -1, 0};
    TextLogSceneItem item;
    item.name = "CH1S.ELG";
    item.x = 100;
    item.y = 50;
    item.words = {-1, 0, 1, 0, 0, 60, 300};
    scene.items.push_back(item);
    AddPage("silent", 30);
    ASSERT_EQ(F().TextLog().AddScene(scene), 0);
    AddPage("voiced", 30, "A", "V001");
    ASSERT_EQ(F().TextLog().AddScene(scene), 0);
    // Clicks on the voiced page, then the silent one.
    const CImage* afterVoiced = reinterpret_cast<const CImage*>(1);
    std::unique_ptr<CImage> view;
    EXPECT_EQ(Run([&](tgsengine::RecordingLink& l, int n) {
                  l.mouseX = 10;
                  if (n == 15) {
                      l.mouseY = F().BacklogPageY(1) + 2;
                      l.input.click = true;
                  } else if (n == 16) {
                      afterVoiced = F().BacklogSceneView();
                      l.mouseY = F().BacklogPageY(0) + 2;
                      l.input.click = true;
                  } else if (n == 17) {
                      if (const CImage* shown = F().BacklogSceneView()) {
                          view = std::make_unique<CImage>();
                          ASSERT_EQ(view->CopyFrom(shown, 0), 0);
                      }
                      l.input.cancel = true;
                  }
              }),
              0);
    EXPECT_EQ(afterVoiced, nullptr);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->GetWidth(), 800);
    ASSERT_EQ(view->GetHeight(), 600);
    EXPECT_EQ(F().BacklogSceneView(), nullptr); // closed with the backlog
    // The reference: the background in grey, the sprite's picture mirrored and blended over it.
    CImage background, sprite;
    ASSERT_EQ(background.Load("BG01A.ELG", nullptr, 0, 0), 0);
    ASSERT_EQ(sprite.Load("CH1S.ELG", nullptr, 0, 0), 0);
    Grayscale(background, nullptr);
    PixelLibOp14(sprite, nullptr);
    for (const auto& [x, y] : {std::pair{10, 10}, {99, 60}, {101, 51}, {160, 200}, {219, 349}, {700, 500}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        uint32_t want = At(background, x, y);
        if (x >= 100 && x < 220 && y >= 50 && y < 350) {
            const uint32_t s = At(sprite, x - 100, y - 50), a = s >> 24;
            uint32_t blended = 0;
            for (int shift = 0; shift < 24; shift += 8)
                blended |= (((s >> shift & 255) * a + (want >> shift & 255) * (255 - a)) / 255) << shift;
            want = blended;
        }
        const uint32_t got = At(*view, x, y);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR(static_cast<int>(got >> shift & 255), static_cast<int>(want >> shift & 255), 2) << shift;
    }
}
