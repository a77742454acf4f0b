// The form and control natives: each creation with and without its tail against the same call
// of the control set, the generic control rows over null, stale, foreign and wrong-type words,
// release by cell, list layers and scroll bars in the main form, and clicks and keys routed by
// the form to a button the natives made.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "controls/button_control.h"
#include "controls/control_parts.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/toggle_button.h"
#include "display/display_objects.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/gll_manager.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/action_map.h"
#include "platform/input_manager.h"
#include "platform/mouse_device.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"
#include "winapi/dinput.h"
#include "winapi/user.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kTail = 65535;

// A picture of `cells` solid cells of w × h side by side.
std::string Cells(int w, int h, int cells)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * cells * h);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x202020u * static_cast<uint32_t>(1 + (i % static_cast<size_t>(w * cells)) / static_cast<size_t>(w));
    elg::Picture picture;
    std::string error;
    EXPECT_TRUE(elg::PictureFromPixels(w * cells, h, pixels.data(), 24, picture, &error)) << error;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(elg::Encode(picture, elg::Options{}, bytes, &error)) << error;
    return Text(bytes);
}

struct FormHost {
    TestPixelLibrary pixels;
    CGllManager loaders;
    HostFixture f;
    CScriptHost& host;
    CImage target;
    CScene scene;
    // The reference: the same Add calls made directly.
    CControlSet ref;
    uint32_t font = 0;
    CGlyphFont* glyph = nullptr;
    CActionMap* actions = nullptr;

    FormHost() : host((Publish(), f.UseScreen(), f.Start()))
    {
        EXPECT_EQ(target.Create(640, 480, 32, 0), 0);
        EXPECT_EQ(scene.SetTarget(&target, false), 0);
        g_TextObjectList.SetScene(&scene);
        ref.SetScene(&scene);
        f.dir.Write("BTN.ELG", Cells(16, 12, 6));
        f.dir.Write("BAR.ELG", Cells(12, 30, 1));
        const uint32_t face = Str(winapi::Sjis("ＭＳ ゴシック"));
        font = Call(168, {0, face, 16});
        glyph = dynamic_cast<CGlyphFont*>(host.Object<CFont>(font));
        EXPECT_NE(glyph, nullptr);
        CInputManager& input = f.app.GetInput();
        EXPECT_EQ(input.CreateDevices(nullptr, kInputMessages, kInputMessages), 0u);
        EXPECT_EQ(input.CreateActionMap(8, &actions), 0u);
        input.m_active = 1;
        f.app.actions = actions;
    }
    ~FormHost()
    {
        ref.DeleteAll();
        g_MainForm.RemoveAllControls();
        g_MainForm.Reset();
        g_TextObjectList.DeleteAll();
        g_TextObjectList.SetScene(nullptr);
        g_TextObjectList.useOverlay = 0;
        g_TextObjectList.currentId = 0;
        f.host.reset();
        g_pGllManager = nullptr;
        winapi::UseVirtualClock(false);
    }
    void Publish()
    {
        winapi::UseVirtualClock(true);
        EXPECT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
    }
    uint32_t Call(uint32_t n, std::vector<uint32_t> words)
    {
        bool faulted = false;
        const uint32_t result = CallNative(host, n, words, &faulted);
        EXPECT_FALSE(faulted) << n;
        return result;
    }
    uint32_t Str(const std::string& text)
    {
        const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(text.size() + 1));
        std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(text.size() + 1)), text.c_str(), text.size() + 1);
        return at;
    }
    CControl* Control(uint32_t handle) { return host.Object<CControl>(handle); }
    uint32_t Cell(uint32_t value)
    {
        const uint32_t at = host.Memory().Allocate(4);
        host.Memory().Store32(at, value);
        return at;
    }
    uint32_t Load(uint32_t at)
    {
        uint32_t v = 0;
        host.Memory().Load32(at, &v);
        return v;
    }
    // One frame: input polled, the clock advanced, 706 routes it.
    uint32_t Frame(uint32_t ms = 16)
    {
        winapi::AdvanceVirtualClock(ms);
        f.app.GetInput().Poll();
        return Call(706, {});
    }
};

// What a creation leaves to compare with the reference.
std::string Fields(CControl* c)
{
    if (c == nullptr)
        return "none";
    return std::to_string(c->GetType()) + " at " + std::to_string(c->GetX()) + "," + std::to_string(c->GetY()) +
           " size " + std::to_string(c->GetWidth()) + "x" + std::to_string(c->GetHeight()) + " priority " +
           std::to_string(c->GetPriority()) + " alpha " + std::to_string(c->GetAlpha()) + " id " +
           std::to_string(c->GetId()) + (c->IsVisible() ? " shown" : " hidden");
}

} // namespace

TEST(FormNatives, EveryRowIsBuilt)
{
    for (uint32_t n = 685; n <= 736; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(FormNatives, CreationsWithAndWithoutTheirTailsMatchTheSetsOwnCalls)
{
    FormHost h;
    const uint32_t btn = h.Str("BTN.ELG"), bar = h.Str("BAR.ELG"), label = h.Str("OK");
    const uint32_t junk = 0x7777;
    uint32_t imageHandle = 0;
    CImage* image = nullptr;
    ASSERT_EQ(h.f.screen->CreateImage(&image, 96, 12, 32, 0), 0);
    imageHandle = h.host.ObjectHandle(image);
    CGlyphFont* g = h.glyph;
    CFont* font = g;
    using Ref = std::function<CControl*(CControlSet&)>;
    // Each reference makes its control in the set and answers it (null on failure).
    auto made = [](auto* control, int result) -> CControl* { return result == 0 ? control : nullptr; };
    struct Case {
        const char* what;
        uint32_t native;
        std::vector<uint32_t> words;
        Ref reference;
    };
    const Case cases[] = {
        {"685 drawn button, defaults", 685, {10, 20, 60, 24, kTail, junk, junk, junk},
         [&](CControlSet& s) { CButtonControl* c = nullptr; return made(c, s.AddButtonControl(&c, 10, 20, 60, 24, false, nullptr, nullptr, 0)) ? c : nullptr; }},
        {"685 drawn button, tail", 685, {10, 20, 60, 24, 1, label, h.font, 7},
         [&](CControlSet& s) { CButtonControl* c = nullptr; int r = s.AddButtonControl(&c, 10, 20, 60, 24, true, "OK", g, 7); return made(c, r); }},
        {"686 button from a file, defaults", 686, {5, 6, btn, kTail, junk},
         [&](CControlSet& s) { CButtonControl* c = nullptr; int r = s.AddButtonControlB(&c, 5, 6, "BTN.ELG", false, true, 2, 255, -1, -1, 0); return made(c, r); }},
        {"686 button from a file, tail", 686, {5, 6, btn, 1, 0, 1, 0, -1u, 9},
         [&](CControlSet& s) { CButtonControl* c = nullptr; int r = s.AddButtonControlB(&c, 5, 6, "BTN.ELG", true, false, 1, 255, 0, -1, 9); return made(c, r); }},
        {"687 button from an image, defaults", 687, {5, 6, imageHandle, kTail},
         [&](CControlSet& s) { CButtonControl* c = nullptr; int r = s.AddButtonControlC(&c, 5, 6, image, false, true, 2, 255, 0); return made(c, r); }},
        {"687 button from an image, tail", 687, {5, 6, imageHandle, 1, 1, 0, 4},
         [&](CControlSet& s) { CButtonControl* c = nullptr; int r = s.AddButtonControlC(&c, 5, 6, image, true, true, 0, 255, 4); return made(c, r); }},
        {"688 toggle, defaults", 688, {3, 4, btn, 0, kTail, junk},
         [&](CControlSet& s) { CToggleButton* c = nullptr; int r = s.AddControlType1(&c, 3, 4, "BTN.ELG", 0, false, nullptr, 2, 255, -1, -1, 0); return made(c, r); }},
        {"688 toggle, tail", 688, {3, 4, btn, 0, 1, 0, 1, -1u, -1u, 6},
         [&](CControlSet& s) { CToggleButton* c = nullptr; int r = s.AddControlType1(&c, 3, 4, "BTN.ELG", 0, true, nullptr, 1, 255, -1, -1, 6); return made(c, r); }},
        {"689 toggle from an image, defaults", 689, {3, 4, imageHandle, 0, kTail},
         [&](CControlSet& s) { CToggleButton* c = nullptr; int r = s.AddControlType1B(&c, 3, 4, image, 0, false, nullptr, 2, 255, 0); return made(c, r); }},
        {"689 toggle from an image, tail", 689, {3, 4, imageHandle, 0, 0, 0, 1, 5},
         [&](CControlSet& s) { CToggleButton* c = nullptr; int r = s.AddControlType1B(&c, 3, 4, image, 0, false, nullptr, 1, 255, 5); return made(c, r); }},
        {"690 rectangle", 690, {1, 2, 30, 40, 0xFF0000, 0x00FF00, 0x0000FF, 3},
         [&](CControlSet& s) { CControlType2* c = nullptr; int r = s.AddControlType2(&c, 1, 2, 30, 40, 0xFF0000, 0x00FF00, 0x0000FF, 3); return made(c, r); }},
        {"691 text input, defaults", 691, {8, 9, h.font, 120, kTail, junk, junk},
         [&](CControlSet& s) { CTextInput* c = nullptr; int r = s.AddTextInput(&c, 8, 9, g, 120, 2, true, 0); return made(c, r); }},
        {"691 text input, tail", 691, {8, 9, h.font, 120, 4, 0, 2},
         [&](CControlSet& s) { CTextInput* c = nullptr; int r = s.AddTextInput(&c, 8, 9, g, 120, 4, false, 2); return made(c, r); }},
        {"692 text input of lines, defaults", 692, {8, 9, h.font, 3, 120, kTail, junk},
         [&](CControlSet& s) { CTextInput* c = nullptr; int r = s.AddTextInputB(&c, 8, 9, g, 3, 120, 2, 2, true, 0); return made(c, r); }},
        {"692 text input of lines, tail", 692, {8, 9, h.font, 3, 120, 1, 5, 0, 4},
         [&](CControlSet& s) { CTextInput* c = nullptr; int r = s.AddTextInputB(&c, 8, 9, g, 3, 120, 1, 5, false, 4); return made(c, r); }},
        {"693 scroll bar, defaults", 693, {100, 10, 1, kTail, junk},
         [&](CControlSet& s) { CScrollControl* c = nullptr; int r = s.AddScrollControl(&c, 100, 10, true, 16, 0xD4D0C8, 0xE2DFDA, 0x400080FF, 0x4000FF80, 0, 0); return made(c, r); }},
        {"693 scroll bar, tail", 693, {100, 10, 0, 12, 1, 2, 3, 4, 5, 8},
         [&](CControlSet& s) { CScrollControl* c = nullptr; int r = s.AddScrollControl(&c, 100, 10, false, 12, 1, 2, 3, 4, 5, 8); return made(c, r); }},
        {"694 scroll bar of images, both tails defaulted", 694, {50, 60, 0, 0, bar, kTail, junk, junk, junk, junk, junk, junk, kTail},
         [&](CControlSet& s) { CScrollControl* c = nullptr; int r = s.AddScrollControlB(&c, 50, 60, 0, 0, "BAR.ELG", 0, 0, nullptr, 0, 0, nullptr, nullptr, false, true, 2, 255, -1, -1, 0); return made(c, r); }},
        {"694 scroll bar of images, both tails", 694, {50, 60, 0, 0, bar, 2, 3, bar, 1, 1, 0, 0, 0, 1, 0, 200, -1u, -1u, 6},
         [&](CControlSet& s) { CScrollControl* c = nullptr; int r = s.AddScrollControlB(&c, 50, 60, 0, 0, "BAR.ELG", 2, 3, "BAR.ELG", 1, 1, nullptr, nullptr, false, true, 0, 200, -1, -1, 6); return made(c, r); }},
        {"696 text panel, defaults", 696, {0, 0, 200, 60, h.font, kMinus1, junk, junk, junk, junk},
         [&](CControlSet& s) { CTextPanel* c = nullptr; int r = s.AddTextPanel(&c, 0, 0, 200, 60, g, nullptr, 0, 0, 0, 0); return made(c, r); }},
        {"696 text panel, tail", 696, {4, 5, 200, 60, h.font, h.font, 0, 0x102030, 128, 3},
         [&](CControlSet& s) { CTextPanel* c = nullptr; int r = s.AddTextPanel(&c, 4, 5, 200, 60, g, g, 0, 0x102030, 128, 3); return made(c, r); }},
        {"697 text object, defaults", 697, {0, 0, 200, 60, h.font, kMinus1, junk},
         [&](CControlSet&) { CTextObject* c = nullptr; int r = g_TextObjectList.AddTextObject(&c, 0, 0, 200, 60, g, nullptr, 0); return made(c, r); }},
        {"697 text object, tail", 697, {4, 5, 200, 60, h.font, 0, 0, 0x102030, 128, 3},
         [&](CControlSet&) { CTextObject* c = nullptr; int r = g_TextObjectList.AddTextObject(&c, 4, 5, 200, 60, g, nullptr, 0, 0x102030, 128, 3); return made(c, r); }},
        {"698 text layer", 698, {10, 20, 200, 24, 2, h.font, 5},
         [&](CControlSet& s) { CTextLayer* c = nullptr; int r = s.AddTextLayer(&c, 10, 20, 200, 24, 2, g, 5); return made(c, r); }},
        {"699 image button, defaults", 699, {10, 20, 40, 30, kMinus1, junk, junk, junk},
         [&](CControlSet& s) { CButton* c = nullptr; int r = s.AddImageButton(&c, 10, 20, 40, 30, -1, -1, false, false); return made(c, r); }},
        {"699 image button, tail", 699, {10, 20, 40, 30, 3, 4, 1, 1},
         [&](CControlSet& s) { CButton* c = nullptr; int r = s.AddImageButton(&c, 10, 20, 40, 30, 3, 4, true, true); return made(c, r); }},
        {"700 list layer, defaults", 700, {h.font, 20, 200, 10, 10, bar, 0, 0, 100, 212, 10, kTail, junk, junk, junk},
         [&](CControlSet& s) { CListLayer* c = nullptr; int r = s.AddListLayer(&c, font, 20, 200, 10, 10, "BAR.ELG", 0, 0, 100, 212, 10, 2, nullptr, 3, 0); return made(c, r); }},
        {"700 list layer, tail", 700, {h.font, 20, 200, 10, 10, bar, 0, 0, 100, 212, 10, 0, 0, 1, 4},
         [&](CControlSet& s) { CListLayer* c = nullptr; int r = s.AddListLayer(&c, font, 20, 200, 10, 10, "BAR.ELG", 0, 0, 100, 212, 10, 0, nullptr, 1, 4); return made(c, r); }},
        {"701 image map", 701, {btn, 3, 7, 8, 1},
         [&](CControlSet& s) { CImageMap* c = nullptr; int r = s.AddControlType10(&c, "BTN.ELG", 3, 7, 8, true); return made(c, r); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_TextObjectList.currentId = 3;
        h.ref.currentId = 3;
        const uint32_t handle = h.Call(c.native, c.words);
        CControl* expected = c.reference(h.ref);
        ASSERT_NE(expected, nullptr) << "the reference call failed";
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(Fields(h.Control(handle)), Fields(expected));
    }
    // A word without an image part: -1, nothing made; a creation that fails: 0.
    const uint32_t before = g_TextObjectList.GetCount();
    EXPECT_EQ(h.Call(687, {5, 6, h.font, kTail}), kMinus1);
    EXPECT_EQ(h.Call(689, {5, 6, 0, 0, kTail}), kMinus1);
    EXPECT_EQ(h.Call(686, {5, 6, h.Str("MISSING.ELG"), kTail}), 0u);
    EXPECT_EQ(h.Call(696, {0, 0, 200, 60, 0, kMinus1}), 0u);
    EXPECT_EQ(g_TextObjectList.GetCount(), before);
}

TEST(FormNatives, TypedAndGenericRowsOverEveryKindOfWord)
{
    FormHost h;
    const uint32_t button = h.Call(685, {10, 20, 60, 24, kTail});
    const uint32_t bar = h.Call(693, {100, 10, 1, kTail});
    const uint32_t input = h.Call(691, {8, 9, h.font, 120, kTail});
    const uint32_t layer = h.Call(698, {10, 20, 200, 24, 2, h.font, 5});
    const uint32_t gone = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    ASSERT_NE(button, 0u);
    ASSERT_NE(bar, 0u);
    ASSERT_NE(input, 0u);
    ASSERT_NE(layer, 0u);
    ASSERT_NE(gone, 0u);
    ASSERT_EQ(h.Call(715, {h.Cell(gone)}), 0u);
    // A word of another kind of object (a font) finds no control, as null and stale words.
    const uint32_t foreign = h.font;
    struct Row {
        uint32_t native;
        std::vector<uint32_t> tail; // words after the control
        uint32_t nullResult;
        uint32_t wrongTypeResult;   // on a text input
        bool everyType;             // the row serves every type: no wrong-type answer
    };
    const Row rows[] = {
        {695, {100, 500, 50, 0, 8, 0}, kMinus1, kMinus1, false},
        {723, {5}, 0, 1, false}, {724, {0}, 0, 1, false}, {725, {1, 2, 3, 4}, 0, 1, false},
        {726, {1, 2, 3}, kMinus1, 1, false},
        {727, {1}, 0, 0, false}, {728, {}, 0, 1, false}, {729, {1}, 0, 1, false}, {730, {}, 0, 1, false},
        {731, {8, 9}, 0, 0, false}, {732, {0}, 0, 0, false}, {733, {255}, 0, 0, false},
        {734, {}, 0, 0, true}, {735, {}, 0, 0, true}, {736, {7}, 0, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.native);
        for (uint32_t word : {0u, gone, foreign}) {
            std::vector<uint32_t> words{word};
            words.insert(words.end(), r.tail.begin(), r.tail.end());
            EXPECT_EQ(h.Call(r.native, words), r.nullResult) << word;
        }
        std::vector<uint32_t> words{input};
        words.insert(words.end(), r.tail.begin(), r.tail.end());
        if (!r.everyType) {
            EXPECT_EQ(h.Call(r.native, words), r.wrongTypeResult);
        }
    }
    // On the types they serve.
    EXPECT_EQ(h.Call(695, {bar, 100, 500, 50, 0, 8, 0}), static_cast<uint32_t>(static_cast<CScrollControl*>(h.Control(bar))->SetRange(100, 500, 50, 0, 8)));
    for (uint32_t control : {button, bar, layer}) {
        EXPECT_EQ(h.Call(726, {control, 1, 2, 3}), 0u);
    }
    const auto* events = dynamic_cast<CCommandHolder*>(h.Control(button))->GetEvents();
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->activateNumber, 1);
    EXPECT_EQ(events->enterNumber, 2);
    EXPECT_EQ(events->leaveNumber, 3);
    CControl* b = h.Control(button);
    EXPECT_EQ(h.Call(723, {button, 42}), 1u);
    EXPECT_EQ(b->GetUserValue(), 42);
    EXPECT_EQ(h.Call(724, {button, h.Str("hint")}), 1u);
    EXPECT_STREQ(b->GetHintText(), "hint");
    EXPECT_EQ(h.Call(724, {button, 0}), 1u);
    EXPECT_EQ(b->GetHintText(), nullptr);
    EXPECT_EQ(h.Call(725, {button, 1, 2, 3, 4}), 1u);
    EXPECT_EQ(b->GetExtraValue(3), 4);
    EXPECT_EQ(h.Call(727, {button, 0}), 1u);
    EXPECT_EQ(h.Call(727, {button, 0}), 0u); // unchanged
    EXPECT_EQ(h.Call(728, {button}), 0u);
    EXPECT_EQ(h.Call(727, {button, 1}), 1u);
    EXPECT_EQ(h.Call(729, {button, 0}), 1u);
    EXPECT_EQ(h.Call(730, {button}), 0u);
    EXPECT_EQ(h.Call(729, {button, 1}), 1u);
    EXPECT_EQ(h.Call(731, {button, 33, 44}), 0u);
    EXPECT_EQ(b->GetX(), 33);
    EXPECT_EQ(b->GetY(), 44);
    EXPECT_EQ(h.Call(732, {button, 9}), 0u);
    EXPECT_EQ(b->GetPriority(), 9);
    EXPECT_EQ(h.Call(733, {button, 0x180}), 0u); // the alpha is a byte
    EXPECT_EQ(b->GetAlpha(), 0x80);
    EXPECT_EQ(h.Call(734, {button}), 60u);
    EXPECT_EQ(h.Call(735, {button}), 24u);
    // 736: the button's sprite as a sprite handle; the text input's image as an image handle.
    const ControlPart sprite = GetObjectPart(b, 0);
    EXPECT_EQ(h.Call(736, {button, 0}), h.host.ObjectHandle(static_cast<CSprite*>(sprite.drawable)));
    EXPECT_EQ(h.host.Object<CImage>(h.Call(736, {input, 0})), GetObjectPart(h.Control(input), 0).image);
    EXPECT_EQ(h.Call(736, {layer, 99}), 0u);
}

TEST(FormNatives, ReleaseByCellClearsTheCellOnlyOnSuccess)
{
    FormHost h;
    const uint32_t button = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    const uint32_t stale = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    ASSERT_EQ(h.Call(715, {h.Cell(stale)}), 0u);
    // A control the set does not hold (made by the engine, handed out all the same).
    CControlType2 stranger;
    const uint32_t strangerHandle = h.host.ObjectHandle(static_cast<CControl*>(&stranger));
    struct Case {
        const char* what;
        uint32_t cellValue;
        uint32_t result;
        uint32_t after;
    };
    const Case cases[] = {
        {"empty cell", 0, 1, 0},
        {"stale handle", stale, 2, stale},
        {"a font", h.font, 2, h.font},
        {"not in the set", strangerHandle, 2, strangerHandle},
        {"a control of the set", button, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t cell = h.Cell(c.cellValue);
        EXPECT_EQ(h.Call(715, {cell}), c.result);
        EXPECT_EQ(h.Load(cell), c.after);
    }
    EXPECT_EQ(h.Control(button), nullptr);
    EXPECT_EQ(h.Call(715, {0}), 1u);
    // A cell outside script memory faults and writes nothing.
    const uint32_t block = h.host.Memory().Allocate(4);
    h.host.Memory().Store32(block, 0xFFFFFFF0u);
    SobNativeArgs args(h.host.Memory(), nullptr, block, &h.host);
    GetNativeRow(715).function(args);
    EXPECT_TRUE(args.Faulted());
    h.host.Memory().Free(block);
    // By id, inverted or not; all.
    g_TextObjectList.currentId = 8;
    const uint32_t eight = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    g_TextObjectList.currentId = 9;
    const uint32_t nine = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    EXPECT_EQ(h.Call(714, {8, 1}), 0u);
    EXPECT_NE(h.Control(eight), nullptr);
    EXPECT_EQ(h.Control(nine), nullptr);
    EXPECT_EQ(h.Call(714, {8, 0}), 0u);
    EXPECT_EQ(h.Control(eight), nullptr);
    h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    EXPECT_EQ(h.Call(711, {}), 0u);
    EXPECT_EQ(g_TextObjectList.GetCount(), 0u);
}

TEST(FormNatives, ListLayersAndScrollBarsJoinTheFormWithTheirParts)
{
    FormHost h;
    const uint32_t bar = h.Call(693, {100, 10, 1, kTail});
    const uint32_t list = h.Call(700, {h.font, 20, 200, 10, 10, h.Str("BAR.ELG"), 0, 0, 100, 212, 10, kTail});
    const uint32_t rect = h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3});
    ASSERT_NE(bar, 0u);
    ASSERT_NE(list, 0u);
    auto* scroll = static_cast<CScrollControl*>(h.Control(bar));
    auto* listLayer = static_cast<CListLayer*>(h.Control(list));
    auto inForm = [](const CControl* c) {
        for (CControl* linked : g_MainForm.GetControls())
            if (linked == c)
                return true;
        return false;
    };
    EXPECT_EQ(h.Call(716, {0, -1u}), kMinus1);
    EXPECT_EQ(h.Call(716, {bar, -1u}), 0u);
    EXPECT_TRUE(inForm(scroll));
    EXPECT_TRUE(inForm(scroll->GetArrow(1)));
    EXPECT_TRUE(inForm(scroll->GetArrow(2)));
    EXPECT_EQ(h.Call(716, {bar, -1u}), kMinus1); // already in one
    EXPECT_EQ(h.Call(716, {list, -1u}), 0u);
    EXPECT_TRUE(inForm(listLayer));
    EXPECT_EQ(h.Call(716, {rect, 0}), 0u);
    EXPECT_EQ(g_MainForm.GetControls().front(), h.Control(rect));
    EXPECT_EQ(h.Call(716, {rect, 0}), 2u); // the container's "already linked"

    EXPECT_EQ(h.Call(717, {bar}), 1u);
    EXPECT_FALSE(inForm(scroll));
    EXPECT_FALSE(inForm(scroll->GetArrow(1)));
    EXPECT_FALSE(inForm(scroll->GetArrow(2)));
    EXPECT_EQ(h.Call(717, {bar}), 0u);
    EXPECT_EQ(h.Call(717, {list}), 1u);
    EXPECT_FALSE(inForm(listLayer));
    EXPECT_EQ(h.Call(717, {rect}), 0u);
    EXPECT_FALSE(inForm(h.Control(rect)));
    EXPECT_EQ(h.Call(717, {0}), 0u);

    // Layers put aside and back; 718 empties the current one.
    EXPECT_EQ(h.Call(716, {rect, -1u}), 0u);
    EXPECT_EQ(h.Call(721, {}), 0u);
    EXPECT_FALSE(inForm(h.Control(rect)));
    EXPECT_EQ(h.Call(722, {}), 0u);
    EXPECT_TRUE(inForm(h.Control(rect)));
    EXPECT_EQ(h.Call(722, {}), 1u);
    EXPECT_EQ(h.Call(718, {}), 0u);
    EXPECT_TRUE(g_MainForm.GetControls().empty());
}

TEST(FormNatives, ClicksAndKeysReachTheScriptThroughTheForm)
{
    FormHost h;
    ASSERT_EQ(h.actions->Bind(kActionDecide, 0, DIK_RETURN), 0u);
    const uint32_t ok = h.Call(685, {100, 100, 60, 24, kTail});
    const uint32_t other = h.Call(685, {300, 100, 60, 24, kTail});
    ASSERT_NE(ok, 0u);
    EXPECT_EQ(h.Call(723, {ok, 11}), 1u);
    EXPECT_EQ(h.Call(723, {other, 22}), 1u);
    EXPECT_EQ(h.Call(716, {ok, -1u}), 0u);
    EXPECT_EQ(h.Call(716, {other, -1u}), 0u);
    EXPECT_EQ(h.Call(707, {}), kMinus1);

    // A click: the pointer comes to rest on the button, the button goes down and up.
    CInputManager& input = h.f.app.GetInput();
    h.f.app.SetCursorPos(110, 110);
    h.Frame();
    EXPECT_EQ(h.Call(710, {}), ok);
    input.OnLButtonDown();
    h.Frame();
    input.OnLButtonUp();
    h.Frame();
    EXPECT_EQ(h.Call(707, {}), 11u);
    EXPECT_EQ(h.Call(707, {}), kMinus1); // taken once

    // 705 forgets an activation not yet taken.
    input.OnLButtonDown();
    h.Frame();
    input.OnLButtonUp();
    h.Frame();
    EXPECT_EQ(h.Call(705, {}), 0u);
    EXPECT_EQ(h.Call(707, {}), kMinus1);

    // Keys: the focus given by 708, decide pressed.
    h.f.app.SetCursorPos(600, 400);
    h.Frame();
    EXPECT_EQ(h.Call(708, {other}), 0u);
    EXPECT_EQ(h.Call(709, {}), other);
    uint32_t taken = kMinus1;
    input.OnKeyDown(VK_RETURN, 0);
    for (int frame = 0; frame < 20 && taken == kMinus1; ++frame) {
        h.Frame();
        input.OnKeyUp(VK_RETURN, 0);
        taken = h.Call(707, {});
    }
    EXPECT_EQ(taken, 22u);
    // Focus words: 0 clears; stale and foreign words are not in the layer.
    EXPECT_EQ(h.Call(708, {h.font}), 2u);
    EXPECT_EQ(h.Call(709, {}), other);
    EXPECT_EQ(h.Call(708, {0}), 0u);
    EXPECT_EQ(h.Call(709, {}), 0u);
}

TEST(FormNatives, FormSettingsSceneHintFontCursorAndSetDefaults)
{
    FormHost h;
    // 702: a canvas surface's scene; a memory image has none.
    const uint32_t canvas = h.Call(238, {32, 24, 32, 1});
    const uint32_t plain = h.Call(231, {4, 4, 32, 0});
    ASSERT_NE(canvas, 0u);
    EXPECT_EQ(h.Call(702, {plain}), 1u);
    EXPECT_EQ(h.Call(702, {0}), 1u);
    EXPECT_EQ(g_TextObjectList.GetScene(), &h.scene);
    EXPECT_EQ(h.Call(702, {canvas}), 0u);
    CScene* canvasScene = GetSurfaceScene(h.host.Object<CSurface>(canvas));
    EXPECT_EQ(g_TextObjectList.GetScene(), canvasScene);
    EXPECT_EQ(g_MainForm.GetTarget(), canvasScene);
    // The canvas ends: neither keeps its scene.
    EXPECT_EQ(h.Call(243, {canvas}), 0u);
    ASSERT_EQ(h.host.Object<CSurface>(canvas), nullptr);
    EXPECT_EQ(g_TextObjectList.GetScene(), nullptr);
    EXPECT_EQ(g_MainForm.GetTarget(), nullptr);

    // 703: the hint switch, delay and font; a font that ends leaves the form without one.
    const uint32_t second = h.Call(168, {0, h.Str(winapi::Sjis("ＭＳ ゴシック")), 12});
    EXPECT_EQ(h.Call(703, {1, 250, 0, second}), 0u);
    EXPECT_TRUE(g_MainForm.IsHintEnabled());
    EXPECT_EQ(g_MainForm.GetHintDelay(), 250u);
    EXPECT_EQ(g_MainForm.GetHintFont(), h.host.Object<CFont>(second));
    EXPECT_EQ(h.Call(169, {second}), 0u);
    EXPECT_EQ(g_MainForm.GetHintFont(), nullptr);
    EXPECT_EQ(h.Call(703, {0, 0, 0, h.font + 1000}), 0u);
    EXPECT_EQ(g_MainForm.GetHintFont(), nullptr);
    EXPECT_FALSE(g_MainForm.IsHintEnabled());

    // 704 answers the kind set before; kinds above 6 are ignored.
    EXPECT_EQ(h.Call(704, {3}), 0u);
    EXPECT_EQ(h.Call(704, {9}), 3u);
    EXPECT_EQ(h.Call(704, {0}), 3u);

    // 712 answers the previous choice; 713 the id new controls get.
    EXPECT_EQ(h.Call(712, {5}), 0u);
    EXPECT_EQ(g_TextObjectList.useOverlay, 1);
    EXPECT_EQ(h.Call(712, {0}), 1u);
    EXPECT_EQ(h.Call(713, {77}), 0u);
    g_TextObjectList.SetScene(&h.scene);
    EXPECT_EQ(h.Control(h.Call(690, {1, 2, 30, 40, 0, 0, 0, 3}))->GetId(), 77);

    // 720: without a font word the indicator is released; a stale font makes none.
    EXPECT_EQ(h.Call(720, {0, 0, 0}), 0u);
    EXPECT_EQ(g_TextObjectList.GetImeIndicator(), nullptr);
    EXPECT_NE(h.Call(720, {h.font + 1000, 5, 5}), 0u);
    EXPECT_EQ(g_TextObjectList.GetImeIndicator(), nullptr);

    // The host's end leaves the set without a scene of its canvases.
    const uint32_t other = h.Call(238, {32, 24, 32, 1});
    EXPECT_EQ(h.Call(702, {other}), 0u);
    h.f.host.reset();
    EXPECT_EQ(g_TextObjectList.GetScene(), nullptr);
}

TEST(FormNatives, AScriptWaitsFramesForTheClickOnTheButtonItMade)
{
    FormHost h;
    h.f.Module("MAIN", "       ncall native 685, a685, a716\n"
                       "       movm a716, a723\n"
                       "       ncall native 723, a723, r\n"
                       "       ncall native 716, a716, r\n"
                       "wait:  yield\n"
                       "       ncall native 706, a716, r\n"
                       "       ncall native 707, a716, got\n"
                       "       movm got, chk.1\n"
                       "chk:   eq 0, -1, back.1\n"
                       "back:  jz 0, done\n"
                       "       jz 0, wait\n"
                       "done:  movm got, uservar Score\n"
                       "       ret\n"
                       ".data\n"
                       "a685: .word 100, 100, 60, 24, 65535\n"
                       "a716: .word 0, -1\n"
                       "a723: .word 0, 11\n"
                       "r:    .word 0\n"
                       "got:  .word 0\n");
    ASSERT_EQ(h.host.OpenScript("MAIN", nullptr), 0);
    CInputManager& input = h.f.app.GetInput();
    ASSERT_EQ(h.host.RunStep(), kRunYielded);
    ASSERT_EQ(g_MainForm.GetControls().size(), 1u);
    // Frames pass while nothing is clicked; the pointer comes, the button goes down; its release
    // ends the wait.
    const std::function<void()> steps[] = {
        [] {},
        [&] { h.f.app.SetCursorPos(110, 110); },
        [&] { input.OnLButtonDown(); },
    };
    for (const auto& step : steps) {
        step();
        winapi::AdvanceVirtualClock(16);
        input.Poll();
        ASSERT_EQ(h.host.RunStep(), kRunYielded) << static_cast<int>(h.host.Machine().Fault());
    }
    input.OnLButtonUp();
    winapi::AdvanceVirtualClock(16);
    input.Poll();
    EXPECT_EQ(h.host.RunStep(), kRunEnded) << static_cast<int>(h.host.Machine().Fault());
    EXPECT_EQ(h.f.Word("Score"), 11u);
}
