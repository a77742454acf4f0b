// Natives 466-509: messages and choices through the script text object, drawn into surfaces by
// handle, texts copied into script buffers inside their blocks, the history browse and the choice
// layer's seen flags on a real text layer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/text_layer.h"
#include "display/display_objects.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/glyph_font.h"
#include "natives/native_table.h"
#include "natives/text_natives.h"
#include "natives/text_object.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);

struct TextHost {
    HostFixture f;
    CScriptHost& host;
    CGlyphFont* font = nullptr;
    uint32_t fontHandle = 0;

    TextHost() : host((f.UseScreen(), f.Start()))
    {
        CFont* made = nullptr;
        EXPECT_EQ(f.screen->CreateGlyphFont(&made, winapi::Sjis("ＭＳ ゴシック"), 16), 0);
        font = dynamic_cast<CGlyphFont*>(made);
        fontHandle = host.ObjectHandle(made);
        std::vector<uint8_t> table;
        std::string error;
        EXPECT_TRUE(WriteSobModuleTable({{"MAIN", 8, 8}, {"COMMON", 64, 64}}, &table, &error));
        EXPECT_EQ(host.LoadModuleTable(table.data(), table.size()), 0);
    }
    ~TextHost() { SetChoiceLayer(0); }

    uint32_t Call(uint32_t n, std::vector<uint32_t> words, bool* faulted = nullptr)
    {
        return CallNative(host, n, words, faulted);
    }
    // Bytes at the end of a block of their own: size bytes (at least the bytes') up to its end.
    uint32_t Block(const std::string& bytes, uint32_t size = 0)
    {
        return PlaceAtBlockEnd(host, bytes, size);
    }
    uint32_t Message(const std::string& text, uint8_t scope = 1, uint16_t number = 3)
    {
        std::string record(3, '\0');
        record[0] = static_cast<char>(scope);
        record[1] = static_cast<char>(number & 0xFF);
        record[2] = static_cast<char>(number >> 8);
        return Call(468, {Block(record + text + std::string(1, '\0'))});
    }
    // A choice record: kind, seen-flag base, the texts as packed entries.
    uint32_t Choices(uint8_t kind, uint16_t base, const std::vector<std::string>& texts)
    {
        std::string record;
        record += static_cast<char>(kind);
        record += static_cast<char>(base & 0xFF);
        record += static_cast<char>(base >> 8);
        record += static_cast<char>(texts.size());
        record += '\0';
        for (const std::string& t : texts) {
            record += static_cast<char>(t.size() + 3);
            record += '\0';
            record += t;
            record += '\0';
        }
        return Call(497, {Block(record)});
    }
    CSurface* Surface(int kind, uint32_t* handle, LONG w = 320, LONG h = 64)
    {
        CSurface* surface = nullptr;
        if (kind == 4) {
            CImage* image = nullptr;
            EXPECT_EQ(f.screen->CreateImage(&image, w, h, 32, 0), 0);
            surface = image;
        } else if (kind == 9) {
            CSurfaceSprite* sprite = nullptr;
            EXPECT_EQ(f.screen->CreateSurfaceSprite(&sprite, w, h, 32, 0), 0);
            surface = sprite;
        } else {
            CSurfaceSprite10* sprite = nullptr;
            EXPECT_EQ(f.screen->CreateSurfaceSprite10(&sprite, w, h, 32, 0), 0);
            surface = sprite;
        }
        *handle = host.ObjectHandle(surface);
        return surface;
    }
    std::string TextAt(uint32_t at) const
    {
        std::string_view s;
        return host.Memory().Str(at, &s) ? std::string(s) : "<bad>";
    }
};

bool SamePixels(const CImage& a, const CImage& b)
{
    const size_t bytes = static_cast<size_t>(a.GetPitch()) * static_cast<size_t>(a.GetHeight());
    return a.GetPitch() == b.GetPitch() && a.GetHeight() == b.GetHeight() &&
           std::memcmp(a.GetBits(), b.GetBits(), bytes) == 0;
}

bool AnyInk(const CImage& a)
{
    const size_t bytes = static_cast<size_t>(a.GetPitch()) * static_cast<size_t>(a.GetHeight());
    for (size_t i = 0; i < bytes; ++i)
        if (a.GetBits()[i] != 0)
            return true;
    return false;
}

} // namespace

TEST(TextNatives, EveryRowIsBuilt)
{
    for (uint32_t n = 466; n <= 509; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
    EXPECT_TRUE(GetNativeRow(789).built);
    EXPECT_TRUE(GetNativeRow(790).built);
}

TEST(TextNatives, ScriptSetsAMessageAndStepsItIntoAKindNineSurfaceAsTheFontDraws)
{
    TextHost t;
    uint32_t surface = 0;
    CImage* image = GetSurfaceImage(t.Surface(9, &surface));
    ASSERT_NE(image, nullptr);
    const std::string body = winapi::Sjis("あいう");
    // The module sets the message and the target, then steps the whole text in one go.
    Script s(t.host, "ncall native 468, a468, r468\n"
                     "ncall native 470, a470, r470\n"
                     "ncall native 473, a473, r473\n"
                     "ret\n.data\n"
                     "a468: .word rec\nr468: .word 9\n"
                     "a470: .word " + std::to_string(surface) + ", 0, 4, 6, " + std::to_string(t.fontHandle) +
                     ", 0, 0, 2\nr470: .word 9\n"
                     "a473: .word 1\nr473: .word 9\n"
                     // scope 1, number 3, "あいう" and its NUL
                     "rec: .word 0x82000301, 0x82A282A0, 0xA4\n");
    ASSERT_FALSE(s.Faulted());
    EXPECT_EQ(s.Word("r468"), 0u);
    EXPECT_EQ(s.Word("r470"), 0u);
    EXPECT_EQ(s.Word("r473"), 5u); // the end
    EXPECT_EQ(t.host.TextObject().Body(), body);

    CImage reference;
    ASSERT_EQ(reference.Create(image->GetWidth(), image->GetHeight(), 32, 0), 0);
    RECT r{};
    int32_t x = 4;
    for (size_t i = 0; i < body.size(); i += 2) {
        ASSERT_EQ(t.font->DrawString(&reference, x, 6, body.substr(i, 2).c_str(), &r, nullptr), 0);
        x += r.right - r.left + 2;
    }
    EXPECT_TRUE(AnyInk(*image));
    EXPECT_TRUE(SamePixels(*image, reference));
}

TEST(TextNatives, SurfaceAndFontWordsAsATable)
{
    TextHost t;
    uint32_t kind4 = 0, kind9 = 0, kind10 = 0;
    t.Surface(4, &kind4);
    t.Surface(9, &kind9);
    t.Surface(10, &kind10);
    ASSERT_EQ(t.Message("#Name$body"), 0u);
    const uint32_t F = t.fontHandle;
    struct Case {
        uint32_t surface, font, expected;
    };
    // 470: 1 a surface null, stale, of kind 10 or not a surface; 2 a font null or not a font.
    const Case set[] = {
        {kind10, F, 1}, {0, F, 1}, {F, F, 1}, {kind9 + 0x10000, F, 1},
        {kind9, 0, 2},  {kind9, kind4, 2}, {kind4, F, 0}, {kind9, F, 0},
    };
    for (const Case& c : set)
        EXPECT_EQ(t.Call(470, {c.surface, 0, 0, 0, c.font, 0, 0, 0}), c.expected) << c.surface << " " << c.font;
    // 472: -1 a surface of another kind; -2 a font given that is not one, unless effect 255,
    // which ignores the font word.
    struct DrawCase {
        uint32_t surface, effect, font, expected;
    };
    const DrawCase draw[] = {
        {kind10, 0, F, kMinus1}, {kind9, 0, kind4, kMinus2}, {kind9, 255, kind4, 0},
        {kind9, 0, F, 0},        {0, 0, 0, 0},               {kind4, 1, 0, 0},
    };
    for (const DrawCase& c : draw)
        EXPECT_EQ(t.Call(472, {0, 0, 0, c.surface, c.effect, c.font}), c.expected)
            << c.surface << " " << c.effect << " " << c.font;
    // 504 is the same for the choices; no choice 5 → 2.
    ASSERT_EQ(t.Call(501, {t.Block(std::string("yes") + '\0')}), 0u);
    EXPECT_EQ(t.Call(504, {0, 0, 0, kind10, 0, F}), kMinus1);
    EXPECT_EQ(t.Call(504, {0, 0, 0, kind9, 255, kind4}), 0u);
    EXPECT_EQ(t.Call(504, {5, 0, 0, kind9, 0, F}), 2u);
}

TEST(TextNatives, NameAndChoiceDrawingsAreWhatTheFontDraws)
{
    TextHost t;
    uint32_t surface = 0;
    CImage* image = GetSurfaceImage(t.Surface(4, &surface));
    ASSERT_EQ(t.Message("#Taro$hi"), 0u);
    ASSERT_EQ(t.Call(470, {surface, 0, 0, 0, t.fontHandle, 0, 0, 0}), 0u);
    ASSERT_EQ(t.Call(472, {5, 7, 0, 0, 0, 0}), 0u);
    ASSERT_EQ(t.Call(501, {t.Block(std::string("Go") + '\0')}), 0u);
    ASSERT_EQ(t.Call(504, {0, 60, 30, 0, 0, 0}), 0u);
    CImage reference;
    ASSERT_EQ(reference.Create(image->GetWidth(), image->GetHeight(), 32, 0), 0);
    RECT r{};
    ASSERT_EQ(t.font->DrawString(&reference, 5, 7, "Taro", &r, nullptr), 0);
    ASSERT_EQ(t.font->DrawString(&reference, 60, 30, "Go", &r, nullptr), 0);
    EXPECT_TRUE(SamePixels(*image, reference));
}

TEST(TextNatives, TextsGoIntoScriptBuffersOnlyInsideTheirBlocks)
{
    TextHost t;
    ASSERT_EQ(t.Message("#Taro\\Jiro$ab\\cd<\"tag\">ef"), 0u);
    bool faulted = false;
    // 471: a null buffer answers the size; a buffer whose block holds it gets the line.
    EXPECT_EQ(t.Call(471, {0, 2}), 5u);
    const uint32_t fits = t.Block("", 5);
    EXPECT_EQ(t.Call(471, {fits, 2}, &faulted), 5u);
    EXPECT_FALSE(faulted);
    EXPECT_EQ(t.TextAt(fits), "Jiro");
    const uint32_t small = t.Block("", 4);
    t.Call(471, {small, 2}, &faulted);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(std::memcmp(t.host.Memory().Span(small, 4), "\x55\x55\x55\x55", 4), 0);

    // 482: the displayable text, line breaks as CR LF; null answers the size.
    EXPECT_EQ(t.Call(482, {0}), 9u);
    const uint32_t plain = t.Block("", 9);
    EXPECT_EQ(t.Call(482, {plain}, &faulted), 9u);
    EXPECT_FALSE(faulted);
    EXPECT_EQ(t.TextAt(plain), "ab\r\ncdef");
    const uint32_t short6 = t.Block("", 8);
    t.Call(482, {short6}, &faulted);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.host.Memory().Span(short6, 1)[0], 0x55);

    // 478: nothing before a tag was read; then the tag, into a block that holds it.
    const uint32_t tag = t.Block("", 4);
    EXPECT_EQ(t.Call(478, {tag}), 0u);
    ASSERT_EQ(t.Call(475, {0, 0}), 3u); // the string tag
    EXPECT_EQ(t.Call(478, {tag}, &faulted), 1u);
    EXPECT_FALSE(faulted);
    EXPECT_EQ(t.TextAt(tag), "tag");
    EXPECT_EQ(t.Call(478, {0}), 0u);
    const uint32_t tagShort = t.Block("", 3);
    EXPECT_EQ(t.Call(478, {tagShort}, &faulted), 0u);
    EXPECT_TRUE(faulted);

    // 505: the choice's own codes first, then a copy that must end inside the block.
    ASSERT_EQ(t.Call(501, {t.Block(std::string("maybe") + '\0')}), 0u);
    const uint32_t choice = t.Block("", 6);
    EXPECT_EQ(t.Call(505, {1, choice, 6}), 1u);
    EXPECT_EQ(t.Call(505, {0, choice, 5}), 3u);
    EXPECT_EQ(t.Call(505, {0, choice, 6}, &faulted), 0u);
    EXPECT_FALSE(faulted);
    EXPECT_EQ(t.TextAt(choice), "maybe");
    const uint32_t choiceShort = t.Block("", 5);
    t.Call(505, {0, choiceShort, 100}, &faulted); // the size word lies about the block
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.host.Memory().Span(choiceShort, 1)[0], 0x55);

    // 506 mirrors each choice in a block of its own; 477 checks both cells before writing.
    ASSERT_EQ(t.Call(501, {t.Block(std::string("no") + '\0')}), 0u);
    const uint32_t first = t.Call(506, {0}), second = t.Call(506, {1});
    EXPECT_EQ(t.TextAt(first), "maybe");
    EXPECT_EQ(t.TextAt(second), "no");
    EXPECT_EQ(t.Call(506, {2}), 0u);
    EXPECT_EQ(t.Call(506, {kMinus1}), 0u);
    const uint32_t cells = t.Block(std::string(8, '\x11'));
    t.Call(477, {cells, 0xFFFFFFF0u}, &faulted);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.host.Memory().Span(cells, 1)[0], 0x11);
}

TEST(TextNatives, AnEndedSurfaceOrFontLeavesTheTextWithoutATarget)
{
    TextHost t;
    uint32_t surface = 0;
    CSurface* made = t.Surface(9, &surface);
    ASSERT_EQ(t.Message("abc"), 0u);
    ASSERT_EQ(t.Call(470, {surface, 0, 0, 0, t.fontHandle, 0, 0, 0}), 0u);
    EXPECT_EQ(t.Call(473, {0}), 0u);
    ASSERT_EQ(t.f.screen->DeleteSurface(made), 0);
    EXPECT_EQ(t.Call(473, {0}), 1u); // no target, nothing drawn into freed pixels
    EXPECT_EQ(t.Call(476, {}), 0u);
    EXPECT_EQ(t.host.TextObject().Target(), nullptr);

    CSurface* again = t.Surface(4, &surface);
    ASSERT_EQ(t.Call(470, {surface, 0, 0, 0, t.fontHandle, 0, 0, 0}), 0u);
    CFont* font = t.font;
    ASSERT_EQ(t.f.screen->DeleteFont(&font), 0);
    EXPECT_EQ(t.Call(473, {0}), 1u);
    EXPECT_EQ(t.host.TextObject().TargetFont(), nullptr);
    (void)again;
}

TEST(TextNatives, StepsSeeksAndPositions)
{
    TextHost t;
    uint32_t surface = 0;
    t.Surface(4, &surface);
    ASSERT_EQ(t.Message("ab<12>cd\\ef"), 0u);
    ASSERT_EQ(t.Call(470, {surface, 0, 3, 4, t.fontHandle, 0, 0, 0}), 0u);
    const uint32_t cells = t.Block("", 8);
    t.Call(477, {cells, cells + 4});
    EXPECT_EQ(t.host.Memory().Span(cells, 8)[0], 3);
    EXPECT_EQ(t.host.Memory().Span(cells, 8)[4], 4);
    EXPECT_EQ(t.Call(475, {0, 1}), 4u); // the numeric tag, the text before it drawn
    EXPECT_EQ(t.Call(479, {}), 12u);
    t.Call(477, {cells, cells + 4});
    EXPECT_GT(t.host.Memory().Span(cells, 8)[0], 3);
    EXPECT_EQ(t.Call(491, {}), 1u);
    EXPECT_EQ(t.Call(473, {1}), 5u);
    EXPECT_EQ(t.Call(492, {}), 1u);
    EXPECT_EQ(t.Call(476, {}), 1u);
    EXPECT_EQ(t.Call(474, {}), 1u); // seeking the end drew the rest
    EXPECT_EQ(t.Call(494, {}), 0u); // first time shown
    ASSERT_EQ(t.Message("ab<12>cd\\ef"), 0u);
    EXPECT_EQ(t.Call(494, {}), 1u); // read since
    EXPECT_EQ(t.Call(469, {0}), 0u);
    EXPECT_EQ(t.Message("x"), kMinus1);
    EXPECT_EQ(t.Call(469, {0x100}), 0u); // the byte: still off
    EXPECT_EQ(t.Message("x"), kMinus1);
    EXPECT_EQ(t.Call(469, {1}), 0u);
    EXPECT_EQ(t.Message("x"), 0u);
}

TEST(TextNatives, HistoryBrowseBringsEachEntrysChoicesToTheLayer)
{
    TextHost t;
    CTextLayer* layer = nullptr;
    ASSERT_EQ(g_TextObjectList.AddTextLayer(&layer, 0, 100, 60, 20, 2, t.font, 1), 0);
    const uint32_t layerHandle = t.host.ObjectHandle(layer);
    SetChoiceLayer(layerHandle);

    // Browsing an empty history answers -1 and leaves the layer as it was.
    CBitArray marker;
    layer->SetReadFlags(&marker, 9, nullptr);
    EXPECT_EQ(t.Call(487, {}), kMinus1);
    EXPECT_EQ(t.Call(485, {}), kMinus1);
    EXPECT_EQ(layer->ReadFlags(), &marker);

    EXPECT_EQ(t.Call(466, {0x103}), 0u); // the byte: three entries
    EXPECT_EQ(t.host.TextObject().HistoryCapacity(), 3);
    EXPECT_EQ(t.Call(467, {1}), 0u);
    ASSERT_EQ(t.Message("one"), 0u);
    ASSERT_EQ(t.Choices(1, 5, {"a", "b"}), 0u);
    // Kind 1: the shared entry's choice bits from base 5.
    SobModuleEntry* common = t.host.ModuleTableEntry(t.host.ModuleTableCount() - 1);
    EXPECT_EQ(layer->ReadFlags(), &common->choiceBits);
    EXPECT_EQ(layer->ReadBase(), 5);
    ASSERT_EQ(t.Message("two"), 0u);
    ASSERT_EQ(t.Message("three"), 0u);
    EXPECT_EQ(t.Call(483, {}), 3u);
    EXPECT_EQ(t.Call(484, {}), 2u);
    EXPECT_EQ(t.Call(480, {}), 1u);
    EXPECT_EQ(t.Call(481, {}), 0u);
    EXPECT_EQ(t.Call(486, {}), kMinus1);

    // 502 clears the layer; showing the first entry brings its kind-1 choices back.
    EXPECT_EQ(t.Call(502, {}), 0u);
    EXPECT_EQ(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.Call(487, {}), 0u);
    EXPECT_EQ(t.Call(484, {}), 0u);
    EXPECT_EQ(t.host.TextObject().Body(), "one");
    EXPECT_EQ(layer->ReadFlags(), &common->choiceBits);
    EXPECT_EQ(t.Call(480, {}), 0u);
    EXPECT_EQ(t.Call(481, {}), 1u);
    EXPECT_EQ(t.Call(490, {1}), 0u);
    EXPECT_EQ(t.Call(484, {}), 1u);
    EXPECT_EQ(layer->ReadFlags(), nullptr); // an entry without choices: none
    EXPECT_EQ(t.Call(489, {99}), 0u);       // clamped to the last
    EXPECT_EQ(t.Call(484, {}), 2u);
    EXPECT_EQ(t.Call(488, {}), 0u);

    // 493 clears the layer and the store.
    layer->SetReadFlags(&marker, 1, nullptr);
    EXPECT_EQ(t.Call(493, {}), 0u);
    EXPECT_EQ(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.Call(483, {}), 0u);
}

TEST(TextNatives, SeenChoicesReachTheLayerAndTheRuntime)
{
    TextHost t;
    CTextLayer* layer = nullptr;
    ASSERT_EQ(g_TextObjectList.AddTextLayer(&layer, 0, 100, 60, 20, 2, t.font, 1), 0);
    SetChoiceLayer(t.host.ObjectHandle(layer));
    ASSERT_EQ(t.Choices(1, 7, {"left", "right"}), 0u);
    EXPECT_EQ(t.Call(503, {}), 2u);
    EXPECT_EQ(t.Call(509, {1}), 0u);
    EXPECT_EQ(t.Call(507, {0x101}), 1u); // the byte: choice 1
    EXPECT_EQ(t.Call(508, {}), 1u);
    EXPECT_EQ(t.Call(509, {1}), 1u);
    EXPECT_TRUE(t.host.TestChoiceBit(8, true));
    EXPECT_EQ(layer->ReadFlags()->GetBit(static_cast<uint32_t>(layer->ReadBase() + 1)), 1);

    // 500: the layer cleared, base and given count 0; 499 and 501 clear the layer first.
    EXPECT_EQ(t.Call(500, {}), 0u);
    EXPECT_EQ(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.host.TextObject().SeenFlagBase(), 0);
    ASSERT_EQ(t.Choices(1, 7, {"x"}), 0u);
    EXPECT_NE(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.Call(499, {2}), 1u);
    EXPECT_EQ(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.host.TextObject().ChoiceCapacity(), 2);
    EXPECT_EQ(t.Call(499, {0x7FFFFFFF}), 1u); // room only as far as choices are numbered
    EXPECT_EQ(t.host.TextObject().ChoiceCapacity(), 255);
    EXPECT_EQ(t.Call(499, {2}), 1u);
    ASSERT_EQ(t.Choices(1, 7, {"x"}), 0u);
    EXPECT_EQ(t.Call(501, {t.Block(std::string("y") + '\0')}), 0u);
    EXPECT_EQ(layer->ReadFlags(), nullptr);
    EXPECT_EQ(t.Call(498, {0}), 0u);
    EXPECT_EQ(t.Call(501, {t.Block(std::string("z") + '\0')}), kMinus1);
    EXPECT_EQ(t.Choices(1, 7, {"x"}), kMinus1);

    // A deleted layer reads as none: the choice natives go on without touching it.
    EXPECT_EQ(t.Call(498, {1}), 0u);
    g_TextObjectList.DeleteAll();
    EXPECT_EQ(t.Choices(1, 7, {"x"}), 0u);
    EXPECT_EQ(t.Call(502, {}), 0u);
}

TEST(TextNatives, ReadLogNameStaysInTheSaveFolder)
{
    TextHost t;
    ASSERT_TRUE(t.host.SetReadLogFile("KEEP.DAT"));
    const struct {
        const char* name;
        const char* kept;
    } cases[] = {{"..\\OUT.DAT", "KEEP.DAT"}, {"C:\\X.DAT", "KEEP.DAT"}, {"LOG.DAT", "LOG.DAT"}};
    for (const auto& c : cases) {
        EXPECT_EQ(t.Call(495, {t.Block(std::string(c.name) + '\0')}), 0u);
        EXPECT_EQ(t.host.ReadLogFile(), c.kept) << c.name;
    }
    EXPECT_EQ(t.Call(495, {0}), 0u);
    EXPECT_EQ(t.host.ReadLogFile(), "LOG.DAT");
    // A missing log answers 1; a saved one loads.
    EXPECT_EQ(t.Call(496, {}), 1u);
    ASSERT_EQ(t.host.SaveReadLog(nullptr), 0);
    EXPECT_EQ(t.Call(496, {}), 0u);
}

TEST(TextNatives, ScriptsChooseTheChoiceLayerAndCopyItsSettings)
{
    TextHost t;
    CTextLayer* first = nullptr;
    CTextLayer* second = nullptr;
    ASSERT_EQ(g_TextObjectList.AddTextLayer(&first, 0, 100, 60, 20, 2, t.font, 1), 0);
    ASSERT_EQ(g_TextObjectList.AddTextLayer(&second, 0, 200, 60, 20, 2, t.font, 1), 0);
    const uint32_t a = t.host.ObjectHandle(first), b = t.host.ObjectHandle(second);
    EXPECT_EQ(t.Call(790, {b}), 1u); // none active yet
    EXPECT_EQ(t.Call(789, {a}), 0u);
    ASSERT_EQ(t.Choices(1, 4, {"x", "y"}), 0u);
    EXPECT_NE(first->ReadFlags(), nullptr);
    EXPECT_EQ(t.Call(790, {b}), 0u);
    EXPECT_EQ(second->ReadFlags(), first->ReadFlags());
    EXPECT_EQ(second->ReadBase(), 4);
    const struct {
        uint32_t word, expected;
    } wrong[] = {{0, kMinus1}, {t.fontHandle, kMinus1}, {a + 0x10000, kMinus1}};
    for (const auto& c : wrong)
        EXPECT_EQ(t.Call(790, {c.word}), c.expected) << c.word;
    // Another word: the old layer loses its flags and none is active.
    EXPECT_EQ(t.Call(789, {t.fontHandle}), 1u);
    EXPECT_EQ(first->ReadFlags(), nullptr);
    EXPECT_EQ(ChoiceLayerHandle(), 0u);
    ASSERT_EQ(t.Choices(1, 4, {"x"}), 0u);
    EXPECT_EQ(first->ReadFlags(), nullptr);
    g_TextObjectList.DeleteAll();
}
