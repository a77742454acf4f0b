// The typed control and text-object natives over real controls of every type made in the scripts'
// control set: each typed row against every type (right, wrong), null, stale and foreign words;
// the per-type helpers, the set's defaults, radio groups, scroll arrows, panels, layers, lists and
// image maps; text objects typing on the virtual clock with a linked name panel and toggle, and the
// voice name copied only inside the buffer's block.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "controls/button_control.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "drawing/cell_sheet.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/gll_manager.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/app_config.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "script/tagged_text.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

std::string Elg(int w, int h, uint32_t colour)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, colour);
    elg::Picture picture;
    std::string error;
    EXPECT_TRUE(elg::PictureFromPixels(w, h, pixels.data(), 24, picture, &error)) << error;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(elg::Encode(picture, elg::Options{}, bytes, &error)) << error;
    return Text(bytes);
}

// A host with a scene for the scripts' control set, a glyph font, the object manager on the
// virtual clock, and one control of every type made through the set (the image map stands alone,
// as the set makes it only from a file).
struct FormsHost {
    TestPixelLibrary pixels;
    CGllManager loaders;
    CTimerManager objects;
    AppConfig config{};
    HostFixture f;
    CScriptHost& host;
    CImage target;
    CScene scene;
    CGlyphFont font;
    CImage strip, mapImage;
    CImageMap map;

    CButtonControl* button = nullptr;
    CToggleButton* toggle = nullptr;
    CControlType2* rect = nullptr;
    CScrollControl* bar = nullptr;
    CTextPanel* panel = nullptr;
    CTextLayer* layer = nullptr;
    CButton* hot = nullptr;
    CListLayer* list = nullptr;
    CTextObject* text = nullptr;

    FormsHost() : host((Publish(), f.Start()))
    {
        f.dir.Write("THUMB.ELG", Elg(8, 24, 0xC02010));
        EXPECT_EQ(target.Create(640, 480, 32, 0), 0);
        EXPECT_EQ(scene.SetTarget(&target, false), 0);
        EXPECT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        EXPECT_EQ(strip.Create(60, 10, 32, 0), 0);
        strip.FillRect32(0xFF808080, nullptr);
        EXPECT_EQ(mapImage.Create(20, 10, 8, 0), 0);
        EXPECT_EQ(map.CreateFromImage(mapImage, 2, 0, 0, true, 1), 0);
        g_TextObjectList.SetScene(&scene);
        CControlSet& set = g_TextObjectList;
        EXPECT_EQ(set.AddButtonControl(&button, 0, 0, 40, 16, false, "ok", &font, 1), 0);
        EXPECT_EQ(set.AddControlType1B(&toggle, 0, 20, &strip, 0, false, nullptr, 0, 255, 1), 0);
        EXPECT_EQ(set.AddControlType2(&rect, 1, 2, 30, 10, 0xFF102030, 0xFF405060, 0xFF708090, 1), 0);
        EXPECT_EQ(set.AddScrollControl(&bar, 100, 0, true, 16, 0xC0C0C0, 0x404040, 0, 0, 0, 1), 0);
        EXPECT_EQ(set.AddTextPanel(&panel, 5, 6, 120, 60, &font, nullptr, 0, 0, 0, 1), 0);
        EXPECT_EQ(set.AddTextLayer(&layer, 0, 100, 60, 20, 2, &font, 1), 0);
        EXPECT_EQ(layer->AddLine("one", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(set.AddImageButton(&hot, 1, 1, 10, 6, -1, -1, true, true), 0);
        EXPECT_EQ(set.AddListLayer(&list, &font, 60, 100, 0, 0, "THUMB.ELG", 1, 1, 60, 100, 0, 0, nullptr, 4, 1), 0);
        if (list != nullptr) {
            EXPECT_EQ(list->AddItem("row", nullptr, false), 0);
        }
        EXPECT_EQ(g_TextObjectList.AddTextObject(&text, 200, 200, 300, 100, &font, nullptr, 1), 0);
    }
    ~FormsHost()
    {
        g_MainForm.RemoveAllControls();
        g_TextObjectList.DeleteAll();
        g_TextObjectList.SetScene(nullptr);
        f.host.reset();
        objects.CancelAll();
        g_pObjectManager = nullptr;
        g_pGllManager = nullptr;
        g_pAppConfig = nullptr;
        winapi::UseVirtualClock(false);
    }
    void Publish()
    {
        winapi::UseVirtualClock(true);
        g_pObjectManager = &objects;
        EXPECT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
        config.unreadCharMs = 10;
        config.readCharMs = 5;
        g_pAppConfig = &config;
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        objects.RunDue(TimerNow());
    }
    template <class T>
    uint32_t H(T* object)
    {
        return host.ObjectHandle(object);
    }
    uint32_t Call(uint32_t n, std::vector<uint32_t> words, bool* faulted = nullptr)
    {
        return CallNative(host, n, words, faulted);
    }
    uint32_t Str(const std::string& s)
    {
        const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(s.size() + 1));
        std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(s.size() + 1)), s.c_str(), s.size() + 1);
        return at;
    }
    uint32_t Cells(uint32_t count, uint32_t fill)
    {
        const uint32_t at = host.Memory().Allocate(4 * count);
        for (uint32_t i = 0; i < count; ++i)
            host.Memory().Store32(at + 4 * i, fill);
        return at;
    }
    uint32_t Load(uint32_t at)
    {
        uint32_t v = 0;
        host.Memory().Load32(at, &v);
        return v;
    }
    // The message record the script text object shows (scope, number, text).
    void SetMessage(const std::string& body)
    {
        std::string record("\0\1\0", 3);
        record += body;
        const uint32_t at = Str(record);
        g_pScriptTextObject->SetMessagesEnabled(true);
        ASSERT_EQ(g_pScriptTextObject->SetMessage(at), 0);
    }
};

} // namespace

TEST(TypedControlNatives, TheRowsOfThisRoundAreBuilt)
{
    for (uint32_t n = 737; n <= 788; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(TypedControlNatives, EachTypedRowServesItsTypesAndGivesItsOwnResultOtherwise)
{
    FormsHost t;
    ASSERT_NE(t.list, nullptr);
    ASSERT_NE(t.text, nullptr);
    // A stale word: a control made and deleted; a foreign one: a font's handle.
    CButtonControl* gone = nullptr;
    ASSERT_EQ(g_TextObjectList.AddButtonControl(&gone, 0, 0, 10, 10, false, "x", &t.font, 1), 0);
    const uint32_t stale = t.H(gone);
    ASSERT_EQ(g_TextObjectList.RemoveControl(gone), 0);
    const uint32_t fontWord = t.host.ObjectHandle(static_cast<CFont*>(&t.font));

    enum Kind { kButton, kToggle, kRect, kScroll, kPanel, kLayer, kHot, kList, kMap, kText };
    const std::map<Kind, uint32_t> words = {
        {kButton, t.H(t.button)}, {kToggle, t.H(t.toggle)}, {kRect, t.H(t.rect)},  {kScroll, t.H(t.bar)},
        {kPanel, t.H(t.panel)},   {kLayer, t.H(t.layer)},   {kHot, t.H(t.hot)},    {kList, t.H(t.list)},
        {kMap, t.H(&t.map)},      {kText, t.H(t.text)},
    };
    const uint32_t outs = t.Cells(2, 0);
    const uint32_t word = t.Str("word");
    const uint32_t panelWord = words.at(kPanel), toggleWord = words.at(kToggle);
    constexpr int kAny = 0x7FFFFFFF; // any answer but the row's own
    struct Row {
        uint32_t native;
        std::vector<uint32_t> rest; // the words after the control
        std::vector<Kind> types;
        uint32_t refused;
        int right;
    };
    const Row rows[] = {
        {743, {0}, {kToggle}, kMinus1, kAny},
        {744, {}, {kToggle}, kMinus1, 0},
        {749, {outs, outs + 4}, {kScroll}, 0, 1},
        {750, {3, 4}, {kHot}, 0, 1},
        {751, {1, 2, 3, 4, 0, 1, 0, 1}, {kPanel, kText, kLayer}, 0, 1},
        {752, {fontWord, 0}, {kPanel, kText, kLayer}, kMinus1, 0},
        {753, {128, 0x102030, 1}, {kPanel, kText, kLayer}, kMinus1, 0},
        {754, {1}, {kPanel, kText, kLayer}, 0, 1},
        {755, {}, {kPanel, kText, kLayer}, 0, 1},
        {756, {outs, outs + 4, 0, 0}, {kPanel, kText}, 0, 1},
        {757, {word, 0, 1}, {kList}, kMinus1, 0},
        {758, {1}, {kList}, 0, 1},
        {759, {0, 1, 0}, {kList}, kMinus1, 0},
        {760, {0}, {kList}, 0, 1},
        {761, {}, {kList}, 0, kAny},
        {762, {0, 1, 0}, {kMap}, 1, 0},
        {763, {1, 0, 0, 1, 2, 0}, {kPanel, kText}, 0, 1},
        {764, {20}, {kPanel, kText}, 0, 1},
        {765, {100, 50}, {kPanel, kText}, 4, 0},
        {766, {0, 0, 0, 0}, {kPanel, kText}, 9, 1},
        {767, {0, 0, 0, 0}, {kPanel, kText}, 9, 1},
        {768, {0}, {kPanel, kText}, 2, 0},
        {769, {0}, {kPanel, kText}, 5, 0},
        {770, {1}, {kText}, 0, 1},
        {771, {}, {kText}, 1, 0},
        {772, {0}, {kText}, kMinus1, kAny},
        {773, {}, {kText}, kMinus1, kAny},
        {774, {3}, {kText}, kMinus1, kAny},
        {775, {0}, {kText}, 0, 1},
        {776, {panelWord, 0}, {kText}, 1, 0},
        {777, {toggleWord}, {kText}, 1, 0},
        {781, {100, 20, 0, 0}, {kLayer}, 4, 0},
        {782, {1, 0, 0, 0, 0, 0, kMinus1}, {kLayer}, 4, 1},
        {783, {1, 0x80FF0000}, {kLayer}, 0, 1},
        {784, {1, 2, 3}, {kLayer}, 0, 1},
        {785, {1, 2, 3, 4, 5, 6}, {kLayer}, 0, 1},
        {786, {1, 2}, {kLayer}, 0, 1},
        {787, {word, 0, kMinus1}, {kLayer}, 4, 0},
        {788, {0, 1}, {kLayer}, kMinus1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.native);
        for (const auto& [kind, handle] : words) {
            SCOPED_TRACE(kind);
            std::vector<uint32_t> call{handle};
            call.insert(call.end(), r.rest.begin(), r.rest.end());
            const uint32_t result = t.Call(r.native, call);
            const bool served = std::find(r.types.begin(), r.types.end(), kind) != r.types.end();
            if (!served)
                EXPECT_EQ(result, r.refused);
            else if (r.right == kAny)
                EXPECT_NE(result, r.refused);
            else
                EXPECT_EQ(result, static_cast<uint32_t>(r.right));
        }
        for (const uint32_t bad : {0u, stale, fontWord}) {
            std::vector<uint32_t> call{bad};
            call.insert(call.end(), r.rest.begin(), r.rest.end());
            EXPECT_EQ(t.Call(r.native, call), r.refused) << bad;
        }
    }
}

TEST(TypedControlNatives, PerTypeHelpersAnswerZeroForAWordThatNamesNoControl)
{
    FormsHost t;
    const uint32_t text = t.Str("a\r\nb");
    // 738-741 on a word that names no control: 0, nothing changed; on a type a helper refuses: -1.
    for (const uint32_t n : {738u, 739u, 740u, 741u})
        EXPECT_EQ(t.Call(n, {0, 1}), 0u) << n;
    EXPECT_EQ(t.Call(739, {t.H(t.rect)}), kMinus1);
    EXPECT_EQ(t.Call(740, {t.H(t.panel), 1}), kMinus1);
    EXPECT_EQ(t.Call(741, {t.H(t.button), 1}), kMinus1);
    // Values: a toggle's by number, a panel's as text (its cursor moves to a new line).
    EXPECT_EQ(t.Call(738, {t.H(t.toggle), 5}), 1u);
    EXPECT_EQ(t.Call(739, {t.H(t.toggle)}), 1u);
    const int y0 = t.panel->GetCursorY();
    EXPECT_EQ(t.Call(738, {t.H(t.panel), text}), 0u);
    EXPECT_GT(t.panel->GetCursorY(), y0);
    bool faulted = false;
    t.Call(738, {t.H(t.panel), 0xFFFFFF00u}, &faulted);
    EXPECT_TRUE(faulted) << "a text outside script memory";
    EXPECT_EQ(t.Call(741, {t.H(t.layer), 0}), 0u);
    EXPECT_FALSE(t.layer->IsEnabled());
    EXPECT_EQ(t.Call(740, {t.H(t.bar), 0}), 0u);

    // 737: the second part as a handle of its own kind.
    const uint32_t image = t.Call(737, {t.H(t.panel), 0});
    EXPECT_EQ(t.host.Object<CImage>(image), &t.panel->GetImage());
    EXPECT_EQ(t.Call(737, {t.H(t.layer), 5}), 0u) << "no line 5";
    EXPECT_EQ(t.host.Object<CImage>(t.Call(737, {t.H(t.layer), 0})), t.layer->GetLineImage(0));
    EXPECT_EQ(t.Call(737, {t.H(t.hot), 0}), 0u);
    EXPECT_EQ(t.Call(737, {0, 0}), 0u);
}

TEST(TypedControlNatives, TheSetsDefaultsReachNewControls)
{
    FormsHost t;
    EXPECT_EQ(t.Call(742, {0x11, 0x22}), 0u);
    EXPECT_EQ(t.Call(745, {40, 0x33, 0x44}), 0u);
    EXPECT_EQ(t.Call(746, {3, 0x55, 0x66}), 0u);
    EXPECT_EQ(t.Call(747, {0x102, 7}), 0u);
    EXPECT_EQ(t.Call(748, {0x77, 0x88, 0x99, 2}), 0u);
    const CTextObjectList& set = g_TextObjectList;
    EXPECT_EQ(set.buttonColor1, 0x11u);
    EXPECT_EQ(set.buttonColor2, 0x22u);
    EXPECT_EQ(set.textInputMaxLength, 40);
    EXPECT_EQ(set.textInputBackground, 0x33u);
    EXPECT_EQ(set.textInputColor, 0x44u);
    EXPECT_EQ(set.compositionLength, 3);
    EXPECT_EQ(set.compositionText, 0x55u);
    EXPECT_EQ(set.compositionBackground, 0x66u);
    EXPECT_EQ(set.trackClickMode, 2) << "a byte";
    EXPECT_EQ(set.scrollStep, 7);
    EXPECT_EQ(set.listColor1, 0x77u);
    EXPECT_EQ(set.listColor3, 0x99u);
    EXPECT_EQ(set.listNewRowAttribute, 1);
    // A list made now gives its rows the new-row attribute.
    EXPECT_EQ(t.Call(748, {0x77, 0x88, 0x99, 0}), 0u);
    CListLayer* list = nullptr;
    ASSERT_EQ(g_TextObjectList.AddListLayer(&list, &t.font, 60, 100, 0, 0, "THUMB.ELG", 1, 1, 60, 100, 0, 0, nullptr,
                                            4, 1),
              0);
    const uint32_t word = t.H(list);
    EXPECT_EQ(t.Call(757, {word, t.Str("a"), 0, 1}), 0u);
    EXPECT_EQ(t.Call(760, {word, 0}), 0u);
    // Back to the construction defaults for the tests that follow.
    t.Call(742, {0xD4D0C8, 0x400080FF});
    t.Call(745, {0xFF, 0xC0C0DCC0u, 0});
    t.Call(746, {0, 0xFFFFFFFFu, 0xFFFFFFFFu});
    t.Call(747, {0, 0});
    t.Call(748, {0xC0C0DCC0u, 0xFFFF9CBFu, 0xC00B2BD7u, 1});
}

TEST(TypedControlNatives, RadioGroupsScrollArrowsAndAnchors)
{
    FormsHost t;
    CToggleButton* second = nullptr;
    CToggleButton* third = nullptr;
    CToggleButton* leader = nullptr;
    ASSERT_EQ(g_TextObjectList.AddControlType1B(&leader, 0, 40, &t.strip, 2, false, nullptr, 0, 255, 1), 0);
    ASSERT_EQ(g_TextObjectList.AddControlType1B(&second, 0, 60, &t.strip, 2, false, leader, 0, 255, 1), 0);
    ASSERT_EQ(g_TextObjectList.AddControlType1B(&third, 0, 80, &t.strip, 2, false, leader, 0, 255, 1), 0);
    EXPECT_EQ(t.Call(744, {t.H(third)}), 0u);
    EXPECT_EQ(t.Call(743, {t.H(second), 2}), 0u);
    for (CToggleButton* member : {leader, second, third})
        EXPECT_EQ(t.Call(744, {t.H(member)}), 2u);
    EXPECT_EQ(t.Call(739, {t.H(third)}), 1u) << "the third is on";
    EXPECT_NE(t.Call(743, {t.H(leader), 3}), 0u) << "past the members";
    EXPECT_EQ(t.Call(744, {t.H(leader)}), 2u);

    // 749: the arrows are controls the form can hold; null cells are skipped, a bad one faults
    // before anything is written; a word that is no scroll bar writes 0 to both.
    const uint32_t cells = t.Cells(2, 0x5555);
    ASSERT_EQ(t.Call(749, {t.H(t.bar), cells, cells + 4}), 1u);
    CControl* first = t.host.Object<CControl>(t.Load(cells));
    CControl* other = t.host.Object<CControl>(t.Load(cells + 4));
    EXPECT_EQ(first, t.bar->GetArrow(1));
    EXPECT_EQ(other, t.bar->GetArrow(2));
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(t.bar->AddToContainer(&g_MainForm, -1), 0);
    EXPECT_EQ(first->GetContainer(), &g_MainForm);
    EXPECT_TRUE(t.bar->RemoveFromContainer());
    EXPECT_EQ(first->GetContainer(), nullptr);
    t.host.Memory().Store32(cells, 0x5555);
    EXPECT_EQ(t.Call(749, {t.H(t.bar), 0, cells}), 1u);
    EXPECT_EQ(t.Load(cells), t.H(t.bar->GetArrow(2)));
    bool faulted = false;
    t.host.Memory().Store32(cells, 0x5555);
    t.Call(749, {t.H(t.bar), cells, 0xFFFFFFF0u}, &faulted);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.Load(cells), 0x5555u);
    EXPECT_EQ(t.Call(749, {t.H(t.panel), cells, cells + 4}), 0u);
    EXPECT_EQ(t.Load(cells), 0u);
    EXPECT_EQ(t.Load(cells + 4), 0u);

    // 750: the anchor; negative is the centre on that axis.
    EXPECT_EQ(t.Call(750, {t.H(t.hot), 7, kMinus1}), 1u);
    EXPECT_EQ(t.hot->GetHotX(), 7);
    EXPECT_EQ(t.hot->GetHotY(), 1 + 3);
}

TEST(TypedControlNatives, PanelsLayersListsAndImageMaps)
{
    FormsHost t;
    const uint32_t panel = t.H(t.panel), layer = t.H(t.layer);
    // 763: six layout fields in order; the wrap limit follows the reserve factor.
    const int before = t.panel->GetWrapLimit();
    EXPECT_EQ(t.Call(763, {panel, 0, 2, 3, 0, 4, 5}), 1u);
    EXPECT_LT(t.panel->GetWrapLimit(), before);
    // 751: line margins make the pitch; 764 the minimum line height.
    EXPECT_EQ(t.Call(764, {panel, 30}), 1u);
    EXPECT_EQ(t.Call(751, {panel, 4, 4, 4, 4, 0, 5, 0, 5}), 1u);
    EXPECT_EQ(t.panel->GetLineHeight(), 30);
    EXPECT_EQ(t.panel->GetLinePitch(), 40);
    // 756: where an inline item goes; null out cells are skipped.
    const uint32_t cells = t.Cells(2, 0x5555);
    EXPECT_EQ(t.Call(756, {panel, cells, 0, 10, 10}), 1u);
    EXPECT_EQ(t.Load(cells), 4u) << "the left margin";
    EXPECT_EQ(t.Load(cells + 4), 0x5555u);
    EXPECT_EQ(t.Call(756, {layer, cells, cells + 4, 0, 0}), 1u);
    EXPECT_EQ(t.Load(cells), static_cast<uint32_t>(t.layer->GetLineSprite(0)->GetX()));
    EXPECT_EQ(t.Call(756, {layer, cells, cells + 4, 1, 0}), 0u) << "no line 1";
    // 765 builds the panel again at the new size; 752 with no font refuses (1).
    EXPECT_EQ(t.Call(765, {panel, 90, 40}), 0u);
    EXPECT_EQ(t.panel->GetWidth(), 90);
    EXPECT_EQ(t.Call(752, {panel, 0, 0}), 1u);
    EXPECT_EQ(t.Call(753, {panel, 128, 0x102030, 1}), 0u);
    EXPECT_EQ(t.Call(753, {panel, 128, 0x102030, 1}), kMinus1) << "unchanged";

    // Layers: lines added (787), a line disabled (788), colours and highlight fields.
    EXPECT_EQ(t.Call(787, {layer, t.Str("two"), t.Str("hint"), 1, t.Str("name"), 3, 0}), 0u);
    EXPECT_EQ(t.layer->GetLineCount(), 2);
    ASSERT_NE(t.layer->GetItem(1), nullptr);
    EXPECT_EQ(t.layer->GetItem(1)->disabled, 1);
    EXPECT_EQ(t.layer->GetItem(1)->hint, "hint");
    EXPECT_EQ(t.layer->GetItem(1)->number, 3);
    EXPECT_EQ(t.Call(788, {layer, 0, 1}), 0u);
    EXPECT_EQ(t.layer->GetItem(0)->disabled, 1);
    EXPECT_EQ(t.Call(788, {layer, 2, 1}), 1u) << "past the lines";
    EXPECT_EQ(t.Call(783, {layer, 0x103, 0x80FF0000u}), 1u);
    EXPECT_EQ(t.layer->GetHighlightStyle(), 3);
    EXPECT_EQ(t.layer->GetHighlightColor(), 0x80FF0000u);
    EXPECT_EQ(t.Call(786, {layer, 6, 7}), 1u);
    EXPECT_EQ(t.layer->GetPressOffsetX(), 6);
    EXPECT_EQ(t.Call(754, {layer, 0}), 1u);
    EXPECT_FALSE(t.layer->AreReadMarksEnabled());
    EXPECT_EQ(t.Call(782, {layer, 2, 1, 0, 0, 0, 0, kMinus1}), 1u) << "two frames with a pressed one";
    EXPECT_EQ(t.Call(755, {layer}), 1u);
    EXPECT_EQ(t.layer->GetLineCount(), 0);
    EXPECT_EQ(t.Call(752, {layer, 0, 0}), 0u);
    EXPECT_EQ(t.layer->GetFont(), nullptr);
    EXPECT_EQ(t.Call(787, {layer, t.Str("x"), 0, kMinus1}), 1u) << "no font";

    // Lists: rows, their flag bytes, the count.
    const uint32_t list = t.H(t.list);
    EXPECT_EQ(t.Call(757, {list, t.Str("b"), t.Str("c"), 1}), 0u);
    EXPECT_EQ(t.Call(761, {list}), 2u);
    EXPECT_EQ(t.Call(759, {list, 1, 0, 1}), 0u);
    EXPECT_EQ(t.Call(760, {list, 1}), 0u);
    EXPECT_EQ(t.Call(759, {list, 2, 1, 0}), 2u) << "past the rows";
    EXPECT_EQ(t.Call(760, {list, 2}), 0u);

    // Image maps: the region flag, then the name; refusals 2 and 3.
    const uint32_t map = t.H(&t.map);
    EXPECT_EQ(t.Call(762, {map, 1, 0, t.Str("arg")}), 0u);
    EXPECT_EQ(t.Call(762, {map, 5, 1, 0}), 2u);
    EXPECT_EQ(t.Call(762, {map, 5, kMinus1, t.Str("arg")}), 3u);
    EXPECT_EQ(t.Call(762, {map, 5, kMinus1, 0}), 0u) << "nothing asked";
}

TEST(TypedControlNatives, TextObjectsTypeOnTheVirtualClock)
{
    FormsHost t;
    const uint32_t text = t.H(t.text);
    CTextPanel* name = nullptr;
    ASSERT_EQ(g_TextObjectList.AddTextPanel(&name, 0, 0, 100, 30, &t.font, nullptr, 0, 0, 0, 1), 0);
    EXPECT_EQ(t.Call(776, {text, t.H(t.toggle), 0}), 2u) << "not a panel";
    EXPECT_EQ(t.Call(776, {text, text, 0}), 2u) << "a text object is not a plain panel";
    EXPECT_EQ(t.Call(776, {text, t.H(name), 0}), 0u);
    EXPECT_EQ(t.Call(777, {text, t.H(name)}), 2u);
    EXPECT_EQ(t.Call(777, {text, t.H(t.toggle)}), 0u);
    EXPECT_EQ(t.Call(778, {text}), 0u) << "no task yet";
    EXPECT_EQ(t.Call(774, {text, 0}), 1u) << "no task yet";

    t.SetMessage("#Taro\\VOICE1$abc$&def");
    ASSERT_EQ(t.Call(772, {text, 0}), 0u);
    EXPECT_TRUE(name->IsVisible());
    EXPECT_EQ(t.Call(778, {text}), 0u);
    const size_t start = g_pScriptTextObject->ParseCursor();
    t.Run(0);
    EXPECT_EQ(t.Call(778, {text}), 1u);
    EXPECT_EQ(g_pScriptTextObject->ParseCursor(), start + 1);
    t.Run(9);
    EXPECT_EQ(g_pScriptTextObject->ParseCursor(), start + 1);
    t.Run(1);
    EXPECT_EQ(g_pScriptTextObject->ParseCursor(), start + 2);
    // Code 1 types up to the wait before the page end; the phase is the pause; 3 leaves it.
    EXPECT_EQ(t.Call(774, {text, 1}), 0u);
    EXPECT_EQ(t.Call(778, {text}), 2u);
    EXPECT_EQ(t.Call(774, {text, 3}), 0u);
    EXPECT_EQ(t.Call(778, {text}), 1u);
    EXPECT_EQ(t.Call(774, {text, 0x109}), 2u) << "a byte: 9";
    // The linked toggle on: the rest of the page at once.
    t.toggle->SetChecked(true);
    t.Run(10);
    EXPECT_EQ(t.Call(778, {text}), 3u);
    EXPECT_EQ(t.Call(779, {text}), 0u);

    // 780: the voice name into a buffer, only inside its block.
    const uint32_t fits = t.Cells(2, 0x5A5A5A5A); // 8 bytes
    EXPECT_EQ(t.Call(780, {text, fits}), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.host.Memory().Span(fits, 7))), "VOICE1");
    // A buffer 4 bytes before its block's end.
    const uint32_t block = t.Cells(4, 0x5A5A5A5A);
    uint32_t blockStart = 0, blockSize = 0;
    ASSERT_TRUE(t.host.Memory().FindBlock(block, &blockStart, &blockSize));
    const uint32_t small = blockStart + blockSize - 4;
    t.host.Memory().Store32(small, 0x5A5A5A5A);
    bool faulted = false;
    EXPECT_EQ(t.Call(780, {text, small}, &faulted), 0u);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.Load(small), 0x5A5A5A5Au) << "nothing written";
    EXPECT_EQ(t.Call(780, {text, 0}), 0u);
    t.SetMessage("plain");
    ASSERT_EQ(t.Call(773, {text}), 0u);
    EXPECT_FALSE(name->IsVisible()) << "no speaker";
    EXPECT_EQ(t.Call(780, {text, fits}), 0u) << "no voice";

    // 770 and 771, the latter through the machine's native call.
    {
        Script s(t.host, hosttest::Call(771, std::to_string(text)));
        EXPECT_FALSE(s.Faulted());
        EXPECT_EQ(s.Word("out"), 0u);
    }
    EXPECT_EQ(t.Call(770, {text, 0}), 1u);
    EXPECT_FALSE(t.text->GetClickAdvance());
    EXPECT_EQ(t.Call(771, {text}), 0u);
    EXPECT_EQ(t.Call(771, {t.H(name)}), 1u);
}

TEST(TypedControlNatives, ATextObjectForgetsLinkedObjectsThatEnd)
{
    FormsHost t;
    const uint32_t text = t.H(t.text);
    CTextPanel* name = nullptr;
    ASSERT_EQ(g_TextObjectList.AddTextPanel(&name, 0, 0, 100, 30, &t.font, nullptr, 0, 0, 0, 1), 0);
    ASSERT_EQ(t.Call(776, {text, t.H(name), 0}), 0u);
    ASSERT_EQ(t.Call(777, {text, t.H(t.toggle)}), 0u);
    CImage sheetImage, shown;
    ASSERT_EQ(sheetImage.Create(32, 16, 32, 0), 0);
    ASSERT_EQ(shown.Create(16, 16, 32, 0), 0);
    auto sheet = std::make_unique<CCellSheet>();
    ASSERT_EQ(sheet->SetImage(&sheetImage, 16, 16, nullptr, &shown, 0, 0, 0, 0, false), 0);
    sheet->SetAnimation(2, 50, 0, 0, 1);
    ASSERT_EQ(t.Call(775, {text, t.host.ObjectHandle(sheet.get())}), 1u);
    t.SetMessage("#Taro\\V$abc");
    ASSERT_EQ(t.Call(772, {text, 0}), 0u);
    ASSERT_NE(t.text->WaitAnimation(), nullptr);

    // The script deletes the panel and the toggle, and the sheet ends: typing goes on without them.
    ASSERT_EQ(g_TextObjectList.RemoveControl(name), 0);
    ASSERT_EQ(g_TextObjectList.RemoveControl(t.toggle), 0);
    t.toggle = nullptr;
    sheet.reset();
    EXPECT_EQ(t.text->NamePanel(), nullptr);
    EXPECT_EQ(t.text->LinkedControl(), nullptr);
    EXPECT_EQ(t.text->WaitAnimation(), nullptr);
    t.SetMessage("#Jiro\\W$abc$d");
    EXPECT_EQ(t.Call(772, {text, 0}), 0u); // ASan: nothing reaches the ended objects
    for (int i = 0; i < 10; ++i)
        t.Run(10);
    EXPECT_EQ(t.Call(778, {text}), 2u);
}

TEST(TypedControlNatives, PanelsAndLayersDropFontsAndFrameImagesThatEnd)
{
    FormsHost t;
    // A font the script deletes: panels, text objects and layers draw nothing with it afterwards.
    auto* font = new CGlyphFont;
    ASSERT_EQ(font->SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    const uint32_t fontWord = t.host.ObjectHandle(static_cast<CFont*>(font));
    ASSERT_EQ(t.Call(752, {t.H(t.text), fontWord, 0}), 0u);
    ASSERT_EQ(t.Call(752, {t.H(t.layer), fontWord, 0}), 0u);
    delete font;
    EXPECT_EQ(t.text->Font(), nullptr);
    EXPECT_EQ(t.layer->GetFont(), nullptr);
    EXPECT_EQ(t.Call(769, {t.H(t.text), 1}), 0u); // ASan and UBSan: no ended font is reached
    EXPECT_EQ(t.Call(755, {t.H(t.text)}), 1u);
    EXPECT_EQ(t.Call(787, {t.H(t.layer), t.Str("x"), 0, kMinus1}), 1u) << "no font";

    const uint32_t panel = t.H(t.panel);
    auto* frame = new CImage;
    ASSERT_EQ(frame->Create(120, 60, 32, 0), 0);
    frame->FillRect32(0xFF336699, nullptr);
    const uint32_t word = t.host.ObjectHandle(frame);
    EXPECT_EQ(t.Call(767, {panel, word, 0, 0, 1}), 0u);
    EXPECT_EQ(t.panel->GetFrameImage(), frame) << "a lone image is the frame itself";
    // The script deletes the image: the panel draws its plain page from then on.
    delete frame;
    EXPECT_EQ(t.panel->GetFrameImage(), nullptr);
    EXPECT_EQ(t.Call(755, {panel}), 1u); // ASan: the page is drawn without the ended image
    EXPECT_EQ(t.Call(767, {panel, word, 0, 0, 0}), 1u) << "a stale image is none";
}
