// The script text object: revealing a body element by element into an image through a glyph
// font, the name lines and choices, plain text, read and seen bits in the runtime, and the
// remembered position.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "drawing/glyph_font.h"
#include "raster/image.h"
#include "raster/update_region.h"
#include "support/host_fixture.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

struct Owner : CTaggedTextOwner {
    std::vector<RECT> rects;
    void OnCharacterDrawn(const RECT& r) override { rects.push_back(r); }
};

struct TextFixture : HostFixture {
    CImage image;
    CGlyphFont font;
    Owner owner;
    CTaggedText* text = nullptr;

    TextFixture()
    {
        CScriptHost& host = Start();
        text = &host.TextObject();
        EXPECT_EQ(g_pScriptTextObject, text);
        EXPECT_EQ(image.Create(320, 120, 32, kImageWithTracker), 0);
        EXPECT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        std::vector<uint8_t> table;
        std::string error;
        EXPECT_TRUE(WriteSobModuleTable({{"MAIN", 8, 8}, {"COMMON", 64, 64}}, &table, &error));
        EXPECT_EQ(host.LoadModuleTable(table.data(), table.size()), 0);
    }
    // A message record (scope, number, text) placed in script memory → 0 from SetMessage.
    int Message(const std::string& body, uint8_t scope = 1, uint16_t number = 3)
    {
        const uint32_t at = host->Memory().Allocate(static_cast<uint32_t>(body.size() + 4));
        uint8_t* p = host->Memory().Span(at, static_cast<uint32_t>(body.size() + 4));
        p[0] = scope;
        p[1] = static_cast<uint8_t>(number);
        p[2] = static_cast<uint8_t>(number >> 8);
        std::memcpy(p + 3, body.data(), body.size());
        p[3 + body.size()] = 0;
        return text->SetMessage(at);
    }
};

// The pixels of a reference image with each piece drawn by the font at its position.
bool SamePixels(const CImage& a, const CImage& b)
{
    for (LONG y = 0; y < a.GetHeight(); ++y) {
        if (std::memcmp(a.GetRowPointer(y), b.GetRowPointer(y), static_cast<size_t>(a.GetWidth()) * 4) != 0)
            return false;
    }
    return true;
}

} // namespace

TEST(TaggedText, RevealedBodyEqualsTheFontDrawingAtEachPosition)
{
    TextFixture f;
    ASSERT_EQ(f.text->StepText(false), 1); // no target yet
    ASSERT_EQ(f.text->SetTarget(&f.image, &f.owner, 10, 20, &f.font, true, false, 3), 0);
    ASSERT_EQ(f.Message("Ab<5>\\c$&@12x"), 0);
    std::vector<int> codes;
    for (int i = 0; i < 9; ++i)
        codes.push_back(f.text->StepText(false));
    // A, b, the tag, the wait, the page end, "@12", x, the end.
    EXPECT_EQ(codes, (std::vector<int>{0, 0, 7, 0, 2, 4, 0, 0, 5}));

    CImage reference;
    ASSERT_EQ(reference.Create(320, 120, 32, 0), 0);
    RECT r{};
    int32_t x = 10;
    ASSERT_EQ(f.font.DrawString(&reference, x, 20, "A", &r, nullptr), 0);
    x += r.right - r.left + 3;
    ASSERT_EQ(f.font.DrawString(&reference, x, 20, "b", &r, nullptr), 0);
    x += r.right - r.left + 3;
    ASSERT_EQ(f.font.DrawString(&reference, x, 20, "c", &r, nullptr), 0); // the "\" after a tag is its own
    ASSERT_EQ(f.font.DrawString(&reference, 10, 20, "@12", &r, nullptr), 0);     // origin after "&"
    x = 10 + (r.right - r.left) + 3;
    ASSERT_EQ(f.font.DrawString(&reference, x, 20, "x", &r, nullptr), 0);
    EXPECT_TRUE(SamePixels(f.image, reference));
    ASSERT_EQ(f.owner.rects.size(), 5u);
    EXPECT_TRUE(f.image.IsChanged());
    // The end resets the draw position; the read bit of the common entry is set.
    EXPECT_EQ(f.text->GetDrawX(), 10);
    EXPECT_TRUE(f.host->TestReadBit(3, true));
    EXPECT_TRUE(f.image.GetUpdateRegion() != nullptr);
}

TEST(TaggedText, CentredCellsAndSpacing)
{
    TextFixture f;
    ASSERT_EQ(f.text->SetTarget(&f.image, &f.owner, 0, 0, &f.font, true, true, 2), 0);
    ASSERT_EQ(f.Message(winapi::Sjis("ああい")), 0);
    EXPECT_EQ(f.text->StepText(true), 5);
    ASSERT_EQ(f.owner.rects.size(), 3u);
    EXPECT_EQ(f.owner.rects[1].left - f.owner.rects[0].left, 18);
    EXPECT_EQ(f.text->GetDrawX(), 0); // reset by the end
}

TEST(TaggedText, SeekRedrawAndRememberedPosition)
{
    TextFixture f;
    ASSERT_EQ(f.text->SeekTag(0, true), -1);
    ASSERT_EQ(f.text->SetTarget(&f.image, &f.owner, 0, 0, &f.font, false, false, 0), 0);
    ASSERT_EQ(f.Message("ab<\"s\">cd<9>ef"), 0);
    EXPECT_EQ(f.text->SeekTag(1, true), 4);
    EXPECT_EQ(f.text->TagValue(), 9);
    EXPECT_EQ(f.owner.rects.size(), 4u);
    ASSERT_TRUE(f.text->SavePosition());
    EXPECT_EQ(f.text->StepText(true), 5);
    EXPECT_TRUE(f.text->RestorePosition());
    EXPECT_TRUE(f.text->Redraw());
    ASSERT_EQ(f.Message("other"), 0);
    EXPECT_FALSE(f.text->RestorePosition());
    EXPECT_EQ(f.text->ParseCursor(), 0u);
}

TEST(TaggedText, PlainTextAsATable)
{
    TextFixture f;
    struct Case {
        std::string body;
        bool crlf;
        std::string plain;
    };
    const std::string block = std::string("[\0abcd\2\0xy", 10);
    const Case cases[] = {
        {"ab\\cd$ef", true, "ab\r\ncd"},
        {"ab\\cd", false, "abcd"},
        {"<5>\\x<\"t\">y&z", false, "xy"},
        {"a@@b@123c@d", false, "a@bcd"},
        {"[[q" + block + "r", false, "[qr"},
        {winapi::Sjis("あ$い"), false, winapi::Sjis("あ")},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(f.Message(c.body), 0);
        std::string out;
        const uint32_t size = f.text->ExtractPlainText(&out, c.crlf);
        EXPECT_EQ(size, out.size() + 1);
        EXPECT_EQ(out, c.plain) << c.body;
    }
}

TEST(TaggedText, NameLinesChoicesAndSeenBits)
{
    TextFixture f;
    EXPECT_EQ(f.text->DrawLine(0, 0, 1, nullptr, nullptr, 255), 1);
    ASSERT_EQ(f.text->SetTarget(&f.image, &f.owner, 0, 0, &f.font, true, false, 0), 0);
    // A name line of 300 bytes is drawn cut to 255 on a character boundary.
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += winapi::Sjis("あ");
    ASSERT_EQ(f.Message("#" + longName + "\\Bo$body"), 0);
    EXPECT_EQ(f.text->DrawLine(0, 0, 1, nullptr, nullptr, 255), 0);
    EXPECT_EQ(f.text->DrawLine(0, 40, 2, nullptr, nullptr, 0), 0);
    EXPECT_EQ(f.text->DrawLine(0, 40, 3, nullptr, nullptr, 0), 2);
    EXPECT_EQ(f.text->DrawChoice(0, 0, 60, nullptr, nullptr, 255), 2);
    // Choices added one by one: no seen flag, the selection reads 255.
    ASSERT_EQ(f.text->AddChoice("yes"), 0);
    EXPECT_EQ(f.text->DrawChoice(0, 0, 60, nullptr, nullptr, 255), 0);
    EXPECT_TRUE(f.text->SelectChoice(0));
    EXPECT_EQ(f.text->GetSelectedChoice(), 255);
    EXPECT_FALSE(f.text->IsChoiceSeen(0));
    // A choice record of kind 1 (common) with base 4: selecting sets bit 5.
    const std::vector<uint8_t> record = {1, 4, 0, 2, 0, 5, 0, 'a', 0, 0, 5, 0, 'b', 0, 0};
    const uint32_t at = f.host->Memory().Allocate(static_cast<uint32_t>(record.size()));
    std::memcpy(f.host->Memory().Span(at, static_cast<uint32_t>(record.size())), record.data(), record.size());
    ASSERT_EQ(f.text->SetChoices(at), 0);
    EXPECT_FALSE(f.text->IsChoiceSeen(1));
    EXPECT_TRUE(f.text->SelectChoice(1));
    EXPECT_EQ(f.text->GetSelectedChoice(), 1);
    EXPECT_TRUE(f.text->IsChoiceSeen(1));
    EXPECT_TRUE(f.host->TestChoiceBit(5, true));
    EXPECT_FALSE(f.text->IsChoiceSeen(2));
}
