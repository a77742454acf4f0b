// Natives 685-722 (see form_natives.h).
#include "natives/form_natives.h"

#include "controls/button_control.h"
#include "controls/control_set.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/toggle_button.h"
#include "display/app_frame.h"
#include "natives/control_args.h"
#include "natives/main_form.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/timer_resolution.h"

namespace {

constexpr uint32_t kMinus1 = 0xFFFFFFFFu;
// The surface whose scene 702 gave the control set (its end takes the scene away).
const void* g_setSceneOwner = nullptr;

CControlSet& Set()
{
    return g_TextObjectList;
}

} // namespace

void ForgetFormNativesObject(const void* object)
{
    if (object != nullptr && object == g_setSceneOwner) {
        Set().SetScene(nullptr);
        g_setSceneOwner = nullptr;
    }
}

void ReleaseFormNativesScene()
{
    Set().SetScene(nullptr);
    g_setSceneOwner = nullptr;
}

// 685: x, y, width, height; tail: disabled-frame flag, label, font, priority.
uint32_t NativeAddButton(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1), w = c.I32(2), h = c.I32(3);
    const auto t = c.Tail<4>(4, kTailMarker, {0, 0, 0, 0});
    const char* label = c.TextAt(static_cast<uint32_t>(t[1]));
    CGlyphFont* font = c.GlyphAt(static_cast<uint32_t>(t[2]));
    if (!c.Ready())
        return 0;
    CButtonControl* made = nullptr;
    return CreatedHandle(c, Set().AddButtonControl(&made, x, y, w, h, t[0] != 0, label, font, t[3]), made);
}

// 686: x, y, file; tail: disabled frame, pressed frame, blend byte, (alpha 255), two
// transparency values, priority.
uint32_t NativeAddButtonFromFile(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    const char* file = c.Text(2);
    const auto t = c.Tail<6>(3, kTailMarker, {0, 1, 2, -1, -1, 0});
    if (!c.Ready())
        return 0;
    CButtonControl* made = nullptr;
    return CreatedHandle(c,
                         Set().AddButtonControlB(&made, x, y, file, t[0] != 0, t[1] != 0, static_cast<uint8_t>(t[2]),
                                                 255, t[3], t[4], t[5]),
                         made);
}

// 687: x, y, the image of a surface; tail: disabled frame, pressed frame, blend byte, (alpha
// 255), priority. -1 when word 2 has no image.
uint32_t NativeAddButtonFromImage(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    CImage* image = c.ImageOf(2);
    const auto t = c.Tail<4>(3, kTailMarker, {0, 1, 2, 0});
    if (!c.Ready())
        return 0;
    if (image == nullptr)
        return kMinus1;
    CButtonControl* made = nullptr;
    return CreatedHandle(
        c, Set().AddButtonControlC(&made, x, y, image, t[0] != 0, t[1] != 0, static_cast<uint8_t>(t[2]), 255, t[3]),
        made);
}

// 688: x, y, file, kind byte; tail: disabled frames, group leader, blend byte, (alpha 255), two
// transparency values, priority.
uint32_t NativeAddToggle(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    const char* file = c.Text(2);
    const uint8_t kind = c.Byte(3);
    const auto t = c.Tail<6>(4, kTailMarker, {0, 0, 2, -1, -1, 0});
    CToggleButton* leader = nullptr;
    if (CControl* control = c.ControlAt(static_cast<uint32_t>(t[1])); control != nullptr && control->GetType() == kControlToggle)
        leader = static_cast<CToggleButton*>(control);
    if (!c.Ready())
        return 0;
    CToggleButton* made = nullptr;
    return CreatedHandle(c,
                         Set().AddControlType1(&made, x, y, file, kind, t[0] != 0, leader, static_cast<uint8_t>(t[2]),
                                               255, t[3], t[4], t[5]),
                         made);
}

// 689: x, y, the image of a surface, kind byte; tail as 688's without the transparency values.
// -1 when word 2 has no image.
uint32_t NativeAddToggleFromImage(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    CImage* image = c.ImageOf(2);
    const uint8_t kind = c.Byte(3);
    const auto t = c.Tail<4>(4, kTailMarker, {0, 0, 2, 0});
    CToggleButton* leader = nullptr;
    if (CControl* control = c.ControlAt(static_cast<uint32_t>(t[1])); control != nullptr && control->GetType() == kControlToggle)
        leader = static_cast<CToggleButton*>(control);
    if (!c.Ready())
        return 0;
    if (image == nullptr)
        return kMinus1;
    CToggleButton* made = nullptr;
    return CreatedHandle(
        c, Set().AddControlType1B(&made, x, y, image, kind, t[0] != 0, leader, static_cast<uint8_t>(t[2]), 255, t[3]),
        made);
}

// 690: x, y, width, height, normal, highlight and pressed colours, priority.
uint32_t NativeAddRectControl(SobNativeArgs& args)
{
    ControlArgs c(args);
    int32_t w[8];
    for (uint32_t k = 0; k < 8; ++k)
        w[k] = c.I32(k);
    if (!c.Ready())
        return 0;
    CControlType2* made = nullptr;
    return CreatedHandle(c,
                         Set().AddControlType2(&made, w[0], w[1], w[2], w[3], static_cast<uint32_t>(w[4]),
                                               static_cast<uint32_t>(w[5]), static_cast<uint32_t>(w[6]), w[7]),
                         made);
}

// 691: x, y, font, width; tail: margin, border flag, priority.
uint32_t NativeAddTextInput(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    CGlyphFont* font = c.Glyph(2);
    const int32_t width = c.I32(3);
    const auto t = c.Tail<3>(4, kTailMarker, {2, 1, 0});
    if (!c.Ready())
        return 0;
    CTextInput* made = nullptr;
    return CreatedHandle(c, Set().AddTextInput(&made, x, y, font, width, t[0], t[1] != 0, t[2]), made);
}

// 692: x, y, font, lines, width; tail: margin, line spacing, border flag, priority.
uint32_t NativeAddTextInputLines(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    CGlyphFont* font = c.Glyph(2);
    const int32_t lines = c.I32(3), width = c.I32(4);
    const auto t = c.Tail<4>(5, kTailMarker, {2, 2, 1, 0});
    if (!c.Ready())
        return 0;
    CTextInput* made = nullptr;
    return CreatedHandle(c, Set().AddTextInputB(&made, x, y, font, lines, width, t[0], t[1], t[2] != 0, t[3]), made);
}

// 693: x, y, vertical flag; tail: thickness, base, track, highlight, pressed and arrow colours,
// priority.
uint32_t NativeAddScrollBar(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1);
    const bool vertical = c.Flag(2);
    const auto t = c.Tail<7>(3, kTailMarker, {16, 0xD4D0C8, 0xE2DFDA, 0x400080FF, 0x4000FF80, 0, 0});
    if (!c.Ready())
        return 0;
    CScrollControl* made = nullptr;
    return CreatedHandle(c,
                         Set().AddScrollControl(&made, x, y, vertical, t[0], static_cast<uint32_t>(t[1]),
                                                static_cast<uint32_t>(t[2]), static_cast<uint32_t>(t[3]),
                                                static_cast<uint32_t>(t[4]), static_cast<uint32_t>(t[5]), t[6]),
                         made);
}

// 694: x, y, thumb origin x and y, thumb file; tail at word 5: thumb caps, track file, track caps,
// the two arrow files (no track, no arrows); tail at word 12: four cells, vertical, blend, alpha,
// colour keys a and b, priority (three cells, vertical, blend 2, alpha 255, no key, priority 0).
uint32_t NativeAddScrollBarImages(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1), thumbX = c.I32(2), thumbY = c.I32(3);
    const char* thumb = c.Text(4);
    const auto a = c.Tail<7>(5, kTailMarker, {0, 0, 0, 0, 0, 0, 0});
    const auto b = c.Tail<7>(12, kTailMarker, {0, 1, 2, 255, -1, -1, 0});
    const char* track = c.TextAt(static_cast<uint32_t>(a[2]));
    const char* arrow1 = c.TextAt(static_cast<uint32_t>(a[5]));
    const char* arrow2 = c.TextAt(static_cast<uint32_t>(a[6]));
    if (!c.Ready())
        return 0;
    CScrollControl* made = nullptr;
    return CreatedHandle(c,
                         Set().AddScrollControlB(&made, x, y, thumbX, thumbY, thumb, a[0], a[1], track, a[3], a[4],
                                                 arrow1, arrow2, b[0] != 0, b[1] != 0, b[2], b[3], b[4], b[5], b[6]),
                         made);
}

// 695: scroll bar, length, total, visible, value, minimum thumb (word 6 is not used) → SetRange's
// code; -1 for another word.
uint32_t NativeSetScrollRange(SobNativeArgs& args)
{
    ControlArgs c(args);
    CScrollControl* bar = c.Typed<CScrollControl>(0, kControlScroll);
    int32_t v[5];
    for (uint32_t k = 0; k < 5; ++k)
        v[k] = c.I32(k + 1);
    if (!c.Ready())
        return 0;
    if (bar == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(bar->SetRange(v[0], v[1], v[2], v[3], v[4]));
}

namespace {

// 696 and 697: x, y, width, height, font; tail (-1: zeros): ruby font, mask byte, colour, alpha
// byte, priority.
struct PanelWords {
    int32_t x, y, w, h;
    CGlyphFont* font;
    CGlyphFont* ruby;
    uint8_t mask;
    uint32_t color;
    uint8_t alpha;
    int32_t priority;
};

PanelWords ReadPanelWords(ControlArgs& c)
{
    PanelWords p{c.I32(0), c.I32(1), c.I32(2), c.I32(3), c.Glyph(4), nullptr, 0, 0, 0, 0};
    const auto t = c.Tail<5>(5, kTailMarkerMinus1, {0, 0, 0, 0, 0});
    p.ruby = c.GlyphAt(static_cast<uint32_t>(t[0]));
    p.mask = static_cast<uint8_t>(t[1]);
    p.color = static_cast<uint32_t>(t[2]);
    p.alpha = static_cast<uint8_t>(t[3]);
    p.priority = t[4];
    return p;
}

} // namespace

uint32_t NativeAddTextPanel(SobNativeArgs& args)
{
    ControlArgs c(args);
    const PanelWords p = ReadPanelWords(c);
    if (!c.Ready())
        return 0;
    CTextPanel* made = nullptr;
    return CreatedHandle(
        c, Set().AddTextPanel(&made, p.x, p.y, p.w, p.h, p.font, p.ruby, p.mask, p.color, p.alpha, p.priority), made);
}

uint32_t NativeAddTextObject(SobNativeArgs& args)
{
    ControlArgs c(args);
    const PanelWords p = ReadPanelWords(c);
    if (!c.Ready())
        return 0;
    CTextObject* made = nullptr;
    return CreatedHandle(c,
                         g_TextObjectList.AddTextObject(&made, p.x, p.y, p.w, p.h, p.font, p.ruby, p.mask, p.color,
                                                        p.alpha, p.priority),
                         made);
}

// 698: x, y, cell width, cell height, spacing, font, priority.
uint32_t NativeAddTextLayer(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1), cellW = c.I32(2), cellH = c.I32(3), spacing = c.I32(4);
    CGlyphFont* font = c.Glyph(5);
    const int32_t priority = c.I32(6);
    if (!c.Ready())
        return 0;
    CTextLayer* made = nullptr;
    return CreatedHandle(c, Set().AddTextLayer(&made, x, y, cellW, cellH, spacing, font, priority), made);
}

// 699: x, y, width, height; tail (-1: the defaults): anchor x and y (-1: the centre), pointer
// enabled, activatable.
uint32_t NativeAddImageButton(SobNativeArgs& args)
{
    ControlArgs c(args);
    const int32_t x = c.I32(0), y = c.I32(1), w = c.I32(2), h = c.I32(3);
    const auto t = c.Tail<4>(4, kTailMarkerMinus1, {-1, -1, 0, 0});
    if (!c.Ready())
        return 0;
    CButton* made = nullptr;
    return CreatedHandle(c, Set().AddImageButton(&made, x, y, w, h, t[0], t[1], t[2] != 0, t[3] != 0), made);
}

// 700: font, row height, width, x, y, thumb file, thumb caps, bar length, bar x, bar y; tail:
// blend byte, icon file, line gap, priority.
uint32_t NativeAddListLayer(SobNativeArgs& args)
{
    ControlArgs c(args);
    CFont* font = c.FontAt(c.U32(0));
    const int32_t height = c.I32(1), width = c.I32(2), x = c.I32(3), y = c.I32(4);
    const char* thumb = c.Text(5);
    const int32_t cap1 = c.I32(6), cap2 = c.I32(7), length = c.I32(8), barX = c.I32(9), barY = c.I32(10);
    const auto t = c.Tail<4>(11, kTailMarker, {2, 0, 3, 0});
    const char* icon = c.TextAt(static_cast<uint32_t>(t[1]));
    if (!c.Ready())
        return 0;
    CListLayer* made = nullptr;
    return CreatedHandle(c,
                         Set().AddListLayer(&made, font, height, width, x, y, thumb, cap1, cap2, length, barX, barY,
                                            static_cast<uint8_t>(t[0]), icon, t[2], t[3]),
                         made);
}

// 701: map file, region count, x, y, clickable flag.
uint32_t NativeAddImageMap(SobNativeArgs& args)
{
    ControlArgs c(args);
    const char* file = c.Text(0);
    const int32_t count = c.I32(1), x = c.I32(2), y = c.I32(3);
    const bool clickable = c.Flag(4);
    if (!c.Ready())
        return 0;
    CImageMap* made = nullptr;
    return CreatedHandle(c, Set().AddControlType10(&made, file, count, x, y, clickable), made);
}

uint32_t NativeFormSetScene(SobNativeArgs& args)
{
    ControlArgs c(args);
    CSurface* surface = c.host != nullptr ? c.host->Object<CSurface>(c.U32(0)) : nullptr;
    if (!c.Ready())
        return 0;
    CScene* scene = GetSurfaceScene(surface);
    if (scene == nullptr)
        return 1;
    const void* owner = ScriptObjectRootPointer(surface);
    g_MainForm.DetachAndSetTarget(scene, owner);
    Set().SetScene(scene);
    g_setSceneOwner = owner;
    return 0;
}

// The hint font is held by pointer: the form forgets it when the font ends (ForgetObject).
uint32_t NativeFormHintOptions(SobNativeArgs& args)
{
    ControlArgs c(args);
    const bool on = c.Flag(0);
    const uint32_t delay = c.U32(1), duration = c.U32(2);
    CGlyphFont* font = c.Glyph(3);
    if (!c.Ready())
        return 0;
    g_MainForm.SetHintOptions(on, delay, duration);
    g_MainForm.SetHintFont(font);
    return 0;
}

uint32_t NativeFormCursorKind(SobNativeArgs& args)
{
    const int32_t kind = args.I32(0);
    if (args.Faulted())
        return 0;
    const int previous = g_MainForm.GetCursorKind();
    g_MainForm.SetCursorKind(kind);
    return static_cast<uint32_t>(previous);
}

uint32_t NativeFormReset(SobNativeArgs&)
{
    g_MainForm.Reset();
    return 0;
}

uint32_t NativeFormHandleInput(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_MainForm.HandleInput(TimerNow()));
}

uint32_t NativeFormTakeActivated(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_MainForm.TakeActivatedValue());
}

uint32_t NativeFormSetFocus(SobNativeArgs& args)
{
    ControlArgs c(args);
    const uint32_t word = c.U32(0);
    CControl* control = c.ControlAt(word);
    if (!c.Ready())
        return 0;
    if (word != 0 && control == nullptr)
        return 2;
    return static_cast<uint32_t>(g_MainForm.SetFocus(control));
}

uint32_t NativeFormFocus(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    CControl* focus = g_MainForm.GetFocus();
    return host != nullptr && focus != nullptr ? host->ObjectHandle(focus) : 0;
}

uint32_t NativeFormCapture(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    CControl* capture = g_MainForm.GetCapture();
    return host != nullptr && capture != nullptr ? host->ObjectHandle(capture) : 0;
}

uint32_t NativeControlsDeleteAll(SobNativeArgs&)
{
    Set().DeleteAll();
    return 0;
}

uint32_t NativeControlsUseOverlay(SobNativeArgs& args)
{
    const bool on = args.U32(0) != 0;
    if (args.Faulted())
        return 0;
    const uint8_t previous = Set().useOverlay;
    Set().useOverlay = on ? 1 : 0;
    return previous;
}

uint32_t NativeControlsSetId(SobNativeArgs& args)
{
    const int32_t id = args.I32(0);
    if (!args.Faulted())
        Set().currentId = id;
    return 0;
}

uint32_t NativeControlsRemoveById(SobNativeArgs& args)
{
    const int32_t id = args.I32(0);
    const bool invert = args.U32(1) != 0;
    if (!args.Faulted())
        Set().RemoveById(id, invert);
    return 0;
}

uint32_t NativeControlsRemove(SobNativeArgs& args)
{
    ControlArgs c(args);
    const uint32_t cell = c.U32(0);
    if (!c.Ready())
        return 0;
    return NativeReleaseByCell(args, cell, [&](uint32_t handle) {
        CControl* control = c.ControlAt(handle);
        // A stale or foreign handle is not in the set; the cell keeps it.
        return control != nullptr ? Set().RemoveControl(control) : 2;
    });
}

uint32_t NativeFormAdd(SobNativeArgs& args)
{
    ControlArgs c(args);
    CControl* control = c.Control(0);
    const int32_t position = c.I32(1);
    if (!c.Ready())
        return 0;
    if (control == nullptr)
        return kMinus1;
    switch (control->GetType()) {
    case kControlListLayer:
        return static_cast<uint32_t>(static_cast<CListLayer*>(control)->AddToContainer(&g_MainForm, position));
    case kControlScroll:
        return static_cast<uint32_t>(static_cast<CScrollControl*>(control)->AddToContainer(&g_MainForm, position));
    default:
        return static_cast<uint32_t>(g_MainForm.AddControl(control, position));
    }
}

uint32_t NativeFormRemove(SobNativeArgs& args)
{
    ControlArgs c(args);
    CControl* control = c.Control(0);
    if (!c.Ready() || control == nullptr)
        return 0;
    switch (control->GetType()) {
    case kControlListLayer:
        return static_cast<CListLayer*>(control)->RemoveFromContainer() ? 1 : 0;
    case kControlScroll:
        return static_cast<CScrollControl*>(control)->RemoveFromContainer() ? 1 : 0;
    default:
        g_MainForm.RemoveControl(control);
        return 0;
    }
}

uint32_t NativeFormRemoveAll(SobNativeArgs&)
{
    g_MainForm.RemoveAllControls();
    return 0;
}

// Without a frame there is no window to take text from: 1.
uint32_t NativeFormTextInput(SobNativeArgs& args)
{
    const bool attach = args.U32(0) != 0;
    if (args.Faulted())
        return 0;
    if (g_pAppFrame == nullptr)
        return 1;
    return g_pAppFrame->AttachTextInput(attach ? g_pAppFrame->GetMainWindow() : nullptr);
}

uint32_t NativeControlsImeIndicator(SobNativeArgs& args)
{
    ControlArgs c(args);
    const uint32_t word = c.U32(0);
    CGlyphFont* font = c.GlyphAt(word);
    const int32_t x = c.I32(1), y = c.I32(2);
    if (!c.Ready())
        return 0;
    if (word == 0) {
        Set().ReleaseImeIndicator();
        return 0;
    }
    return static_cast<uint32_t>(Set().CreateImeIndicator(font, x, y));
}

uint32_t NativeFormPushLayer(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_MainForm.PushControlLayer());
}

uint32_t NativeFormPopLayer(SobNativeArgs&)
{
    return static_cast<uint32_t>(g_MainForm.PopControlLayer());
}
