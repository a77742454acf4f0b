// The backlog window: the log's height and scrolling, closing by the wheel at the bottom, the
// page images drawn with the backlog font (names orange with a voice, choices in their colours)
// and a page's voice replayed on a click.
#include <gtest/gtest.h>

#include <cstring>

#include "drawing/glyph_font.h"
#include "raster/image.h"
#include "support/tgs_engine_host.h"
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
