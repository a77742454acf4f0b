// Natives over one control type each (see typed_control_natives.h).
#include "natives/typed_control_natives.h"

#include <algorithm>

#include "controls/control.h"
#include "controls/control_parts.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "drawing/glyph_font.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "natives/control_helpers.h"
#include "natives/native_args.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "raster/image.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

constexpr std::initializer_list<int> kPanelTypes = {kControlTextPanel, kControlTextObject};

template <class T>
T* ControlAs(SobNativeArgs& args, uint32_t k, std::initializer_list<int> types)
{
    return dynamic_cast<T*>(NativeControlOfType(args, k, types));
}

CTextPanel* PanelAt(SobNativeArgs& args, uint32_t k) { return ControlAs<CTextPanel>(args, k, kPanelTypes); }
CTextLayer* LayerAt(SobNativeArgs& args, uint32_t k) { return ControlAs<CTextLayer>(args, k, {kControlTextLayer}); }
CListLayer* ListAt(SobNativeArgs& args, uint32_t k) { return ControlAs<CListLayer>(args, k, {kControlListLayer}); }

CGlyphFont* GlyphFontAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(k);
    return host != nullptr ? dynamic_cast<CGlyphFont*>(host->Object<CFont>(word)) : nullptr;
}

CImage* ImageAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(k);
    return host != nullptr ? host->Object<CImage>(word) : nullptr;
}

uint32_t Code(int code) { return static_cast<uint32_t>(code); }

} // namespace

CControl* NativeControlOfType(SobNativeArgs& args, uint32_t k, std::initializer_list<int> types)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(k);
    if (host == nullptr || args.Faulted())
        return nullptr;
    CControl* control = host->Object<CControl>(word);
    if (control == nullptr)
        return nullptr;
    return std::find(types.begin(), types.end(), control->GetType()) != types.end() ? control : nullptr;
}

uint32_t ControlPartHandle(CScriptHostBase& host, const ControlPart& part)
{
    if (part.image != nullptr)
        return host.ObjectHandle(part.image);
    if (auto* sprite = dynamic_cast<CSprite*>(part.drawable))
        return host.ObjectHandle(sprite);
    if (auto* shape = dynamic_cast<CPrimitiveObject*>(part.drawable))
        return host.ObjectHandle(shape);
    return part.drawable != nullptr ? host.ObjectHandle(part.drawable) : 0;
}

// --- the per-type helpers (a word that names no control: 0) ---

uint32_t NativeControlPart2(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    const int32_t index = args.I32(1);
    if (args.Faulted() || host == nullptr)
        return 0;
    CControl* control = host->Object<CControl>(word);
    return control != nullptr ? ControlPartHandle(*host, GetObjectPart2(control, index)) : 0;
}

uint32_t NativeSetControlValue(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    const int32_t value = args.I32(1);
    if (args.Faulted() || host == nullptr)
        return 0;
    CControl* control = host->Object<CControl>(word);
    if (control == nullptr)
        return 0;
    // Text inputs, panels and text objects take their value as text.
    const int type = control->GetType();
    const bool textual = type == kControlTextInput || type == kControlTextPanel || type == kControlTextObject;
    const char* text = textual ? NativeOptionalString(args, 1) : nullptr;
    if (args.Faulted())
        return 0;
    return Code(SetObjectValue(control, value, text));
}

uint32_t NativeGetControlValue(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return 0;
    CControl* control = host->Object<CControl>(word);
    return control != nullptr ? Code(GetObjectValue(control)) : 0;
}

uint32_t NativeSetControlFlag(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    const int32_t flag = args.I32(1);
    if (args.Faulted() || host == nullptr)
        return 0;
    CControl* control = host->Object<CControl>(word);
    return control != nullptr ? Code(SetObjectFlagByType(control, flag)) : 0;
}

uint32_t NativeSetControlEnabledByType(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(0);
    const int32_t flag = args.I32(1);
    if (args.Faulted() || host == nullptr)
        return 0;
    CControl* control = host->Object<CControl>(word);
    return control != nullptr ? Code(SetObjectEnabledByType(control, flag)) : 0;
}

// --- the control set's defaults for new controls ---

uint32_t NativeSetButtonColors(SobNativeArgs& args)
{
    const uint32_t a = args.U32(0), b = args.U32(1);
    if (args.Faulted())
        return 0;
    g_TextObjectList.buttonColor1 = a;
    g_TextObjectList.buttonColor2 = b;
    return 0;
}

uint32_t NativeSetTextInputDefaults(SobNativeArgs& args)
{
    const int32_t setting = args.I32(0);
    const uint32_t background = args.U32(1), color = args.U32(2);
    if (args.Faulted())
        return 0;
    g_TextObjectList.textInputMaxLength = setting;
    g_TextObjectList.textInputBackground = background;
    g_TextObjectList.textInputColor = color;
    return 0;
}

uint32_t NativeSetCompositionDefaults(SobNativeArgs& args)
{
    const int32_t length = args.I32(0);
    const uint32_t text = args.U32(1), background = args.U32(2);
    if (args.Faulted())
        return 0;
    g_TextObjectList.compositionLength = length;
    g_TextObjectList.compositionText = text;
    g_TextObjectList.compositionBackground = background;
    return 0;
}

uint32_t NativeSetScrollDefaults(SobNativeArgs& args)
{
    const uint8_t mode = static_cast<uint8_t>(args.U32(0));
    const int32_t step = args.I32(1);
    if (args.Faulted())
        return 0;
    g_TextObjectList.trackClickMode = mode;
    g_TextObjectList.scrollStep = step;
    return 0;
}

uint32_t NativeSetListDefaults(SobNativeArgs& args)
{
    const uint32_t c1 = args.U32(0), c2 = args.U32(1), c3 = args.U32(2);
    const bool flag = args.U32(3) != 0;
    if (args.Faulted())
        return 0;
    g_TextObjectList.listColor1 = c1;
    g_TextObjectList.listColor2 = c2;
    g_TextObjectList.listColor3 = c3;
    g_TextObjectList.listNewRowAttribute = flag ? 1 : 0;
    return 0;
}

// --- radio groups, scroll arrows, image-button anchors ---

uint32_t NativeSetGroupValue(SobNativeArgs& args)
{
    CToggleButton* toggle = ControlAs<CToggleButton>(args, 0, {kControlToggle});
    const int32_t k = args.I32(1);
    if (args.Faulted() || toggle == nullptr)
        return kMinus1;
    return Code(toggle->Select(k));
}

uint32_t NativeGetGroupValue(SobNativeArgs& args)
{
    CToggleButton* toggle = ControlAs<CToggleButton>(args, 0, {kControlToggle});
    if (args.Faulted() || toggle == nullptr)
        return kMinus1;
    // The group's value is its leader's; a lone control heads its own.
    const CToggleButton* leader = toggle->GetLeader() != nullptr ? toggle->GetLeader() : toggle;
    return Code(leader->GetSelectedIndex());
}

uint32_t NativeScrollArrows(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    CScrollControl* bar = ControlAs<CScrollControl>(args, 0, {kControlScroll});
    if (!NativeOutCellsOk(args, 1, 2))
        return 0;
    uint32_t arrows[2] = {0, 0};
    if (bar != nullptr && host != nullptr)
        for (int i = 0; i < 2; ++i)
            if (CArrowButton* arrow = bar->GetArrow(i + 1))
                arrows[i] = host->ObjectHandle(arrow);
    NativeStoreOutCell(args, 1, arrows[0]);
    NativeStoreOutCell(args, 2, arrows[1]);
    return bar != nullptr ? 1 : 0;
}

uint32_t NativeSetImageButtonAnchor(SobNativeArgs& args)
{
    CButton* button = ControlAs<CButton>(args, 0, {kControlImageButton});
    const int32_t x = args.I32(1), y = args.I32(2);
    if (args.Faulted() || button == nullptr)
        return 0;
    button->SetHotPoint(x, y);
    return 1;
}

// --- text panels (and text objects) or text layers ---

uint32_t NativeSetTextMargins(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    int32_t v[8];
    for (uint32_t i = 0; i < 8; ++i)
        v[i] = args.I32(i + 1);
    if (args.Faulted())
        return 0;
    if (panel != nullptr) {
        panel->SetMargins(v[0], v[1], v[2], v[3], true);
        // The space around each line: the item margins that make the line pitch.
        panel->SetItemMargins(v[4], v[5], v[6], v[7], true);
        return 1;
    }
    if (layer != nullptr) {
        layer->SetCellMargins(v[0], v[1], v[2], v[3]);
        layer->SetTextOffset(v[4], v[5]);
        return 1;
    }
    return 0;
}

uint32_t NativeSetTextFonts(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    CGlyphFont* font = GlyphFontAt(args, 1);
    CGlyphFont* ruby = GlyphFontAt(args, 2);
    if (args.Faulted())
        return kMinus1;
    if (panel != nullptr)
        return Code(panel->SetFonts(font, ruby, false));
    if (layer != nullptr) {
        layer->SetFont(font);
        return 0;
    }
    return kMinus1;
}

uint32_t NativeSetTextBackground(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    const uint8_t alpha = static_cast<uint8_t>(args.U32(1));
    const uint32_t color = args.U32(2);
    const uint8_t mode = static_cast<uint8_t>(args.U32(3));
    if (args.Faulted())
        return kMinus1;
    if (panel != nullptr)
        return Code(panel->SetBackgroundColor(mode, color, alpha, false));
    if (layer != nullptr)
        return Code(layer->SetBackgroundColor(mode, color, alpha));
    return kMinus1;
}

uint32_t NativeSetTextDisplayByte(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    const bool on = static_cast<uint8_t>(args.U32(1)) != 0;
    if (args.Faulted())
        return 0;
    if (panel != nullptr) {
        panel->SetUprightCentring(on);
        return 1;
    }
    if (layer != nullptr) {
        layer->SetReadMarksEnabled(on);
        return 1;
    }
    return 0;
}

uint32_t NativeClearText(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    if (args.Faulted())
        return 0;
    if (panel != nullptr) {
        panel->ResetTextCursor(true);
        return 1;
    }
    if (layer != nullptr) {
        layer->ClearLines();
        return 1;
    }
    return 0;
}

uint32_t NativeTextPosition(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CTextLayer* layer = LayerAt(args, 0);
    const int32_t a = args.I32(3), b = args.I32(4);
    if (!NativeOutCellsOk(args, 1, 2) || (panel == nullptr && layer == nullptr))
        return 0;
    int x = 0, y = 0;
    if (panel != nullptr) {
        panel->GetTextCursorPoint(&x, &y, a, b);
    } else {
        CSprite* sprite = a >= 0 && a < layer->GetLineCount() ? layer->GetLineSprite(a) : nullptr;
        if (sprite == nullptr)
            return 0;
        x = sprite->GetX();
        y = sprite->GetY();
    }
    NativeStoreOutCell(args, 1, static_cast<uint32_t>(x));
    NativeStoreOutCell(args, 2, static_cast<uint32_t>(y));
    return 1;
}

// --- list layers ---

uint32_t NativeListAddItem(SobNativeArgs& args)
{
    CListLayer* list = ListAt(args, 0);
    const char* text1 = NativeOptionalString(args, 1);
    const char* text2 = NativeOptionalString(args, 2);
    const bool update = args.U32(3) != 0;
    if (args.Faulted() || list == nullptr)
        return kMinus1;
    return Code(list->AddItem(text1, text2, update));
}

uint32_t NativeListRefresh(SobNativeArgs& args)
{
    CListLayer* list = ListAt(args, 0);
    const bool range = args.U32(1) != 0;
    if (args.Faulted() || list == nullptr)
        return 0;
    if (range)
        list->UpdateScrollRange();
    else
        list->Redraw();
    return 1;
}

uint32_t NativeListSetItemFlag(SobNativeArgs& args)
{
    CListLayer* list = ListAt(args, 0);
    const int32_t item = args.I32(1);
    const bool flag = args.U32(2) != 0;
    const bool redraw = args.U32(3) != 0;
    if (args.Faulted() || list == nullptr)
        return kMinus1;
    return Code(list->SetItemAttribute(item, flag ? 1 : 0, redraw));
}

uint32_t NativeListGetItemFlag(SobNativeArgs& args)
{
    CListLayer* list = ListAt(args, 0);
    const int32_t item = args.I32(1);
    if (args.Faulted() || list == nullptr)
        return 0;
    return list->GetItemAttribute(item);
}

uint32_t NativeListItemCount(SobNativeArgs& args)
{
    CListLayer* list = ListAt(args, 0);
    if (args.Faulted() || list == nullptr)
        return 0;
    return Code(list->GetRowCount());
}

// --- image maps ---

uint32_t NativeImageMapItem(SobNativeArgs& args)
{
    CImageMap* map = ControlAs<CImageMap>(args, 0, {kControlImageMap});
    const uint8_t item = static_cast<uint8_t>(args.U32(1));
    const int32_t flag = args.I32(2);
    const char* name = NativeOptionalString(args, 3);
    if (args.Faulted() || map == nullptr)
        return 1;
    if (flag >= 0 && map->SetRegionEnabled(item, flag != 0) != 0)
        return 2;
    if (name != nullptr &&
        map->SetRegionEvents(item, nullptr, 0, name, nullptr, nullptr, nullptr, nullptr) != 0)
        return 3;
    return 0;
}

// --- text panels only ---

uint32_t NativePanelLayout(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    int32_t v[6];
    for (uint32_t i = 0; i < 6; ++i)
        v[i] = args.I32(i + 1);
    if (args.Faulted() || panel == nullptr)
        return 0;
    panel->SetAutoWrap(v[0] != 0);
    panel->SetCharSpacing(v[1]);
    panel->SetLineSpacing(v[2]);
    panel->SetRubyReserve(v[3] != 0);
    // The wrap reserve is the font-height factor of the last place a line may start; setting it
    // computes that place again.
    panel->SetWrapReserve(v[4]);
    panel->SetRubyGap(v[5]);
    return 1;
}

uint32_t NativePanelMinLineHeight(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    const int32_t height = args.I32(1);
    if (args.Faulted() || panel == nullptr)
        return 0;
    panel->SetMinLineHeight(height);
    return 1;
}

uint32_t NativePanelResize(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    const int32_t width = args.I32(1), height = args.I32(2);
    if (args.Faulted() || panel == nullptr)
        return 4;
    // Built again at the new size where it stands.
    return Code(panel->Rebuild(width, height));
}

uint32_t NativePanelLoadFrame(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    const char* decoration = NativeOptionalString(args, 1);
    const char* maskA = NativeOptionalString(args, 2);
    const char* maskB = NativeOptionalString(args, 3);
    const bool redraw = args.U32(4) != 0;
    if (args.Faulted() || panel == nullptr)
        return 9;
    return Code(panel->LoadFrameImages(decoration, maskA, maskB, redraw));
}

uint32_t NativePanelFrameImages(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    CImage* decoration = ImageAt(args, 1);
    // Mask A given as -1 is left out, as the panel takes it.
    CImage* maskA = args.I32(2) == -1 ? reinterpret_cast<CImage*>(-1) : ImageAt(args, 2);
    CImage* maskB = ImageAt(args, 3);
    const bool redraw = args.U32(4) != 0;
    if (args.Faulted() || panel == nullptr)
        return 9;
    return Code(panel->SetFrameImages(decoration, maskA, maskB, redraw));
}

uint32_t NativePanelChildMode(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    const bool on = args.U32(1) != 0;
    if (args.Faulted() || panel == nullptr)
        return 2;
    // The child items are the panel's selectable items: their highlights follow its position,
    // priority and alpha, and their 8-bit hit map is kept at the panel's size.
    return Code(panel->SetItemsEnabled(on, false));
}

uint32_t NativePanelVertical(SobNativeArgs& args)
{
    CTextPanel* panel = PanelAt(args, 0);
    const bool on = args.U32(1) != 0;
    if (args.Faulted() || panel == nullptr)
        return 5;
    return Code(panel->SetVertical(on, false));
}

// --- text layers only ---

uint32_t NativeLayerSetSize(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const int32_t width = args.I32(1), height = args.I32(2), header = args.I32(3), footer = args.I32(4);
    if (args.Faulted() || layer == nullptr)
        return 4;
    return Code(layer->SetCellSize(width, height, header, footer));
}

uint32_t NativeLayerLoadImages(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const int32_t frames = args.I32(1);
    const bool pressed = args.U32(2) != 0, last = args.U32(3) != 0;
    // Header and footer (words 7-12) only when word 7 is not -1.
    const bool edges = args.I32(7) != -1;
    const char* names[9] = {};
    for (uint32_t i = 0; i < 9; ++i)
        if (i < 3 || edges)
            names[i] = NativeOptionalString(args, 4 + i);
    if (args.Faulted() || layer == nullptr)
        return 4;
    return Code(layer->LoadLineImages(frames, pressed, last, names[0], names[1], names[2], names[3], names[4],
                                      names[5], names[6], names[7], names[8]));
}

uint32_t NativeLayerHighlight(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const uint8_t style = static_cast<uint8_t>(args.U32(1));
    const uint32_t color = args.U32(2);
    if (args.Faulted() || layer == nullptr)
        return 0;
    layer->SetHighlightFill(style, color);
    return 1;
}

uint32_t NativeLayerColors(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const uint32_t normal = args.U32(1), read = args.U32(2), highlighted = args.U32(3);
    if (args.Faulted() || layer == nullptr)
        return 0;
    layer->SetTextColors(normal, read, highlighted, 0x909090);
    return 1;
}

uint32_t NativeLayerGradients(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    uint32_t v[6];
    for (uint32_t i = 0; i < 6; ++i)
        v[i] = args.U32(i + 1);
    if (args.Faulted() || layer == nullptr)
        return 0;
    layer->SetTextGradients(v[0], v[1], v[2], v[3], v[4], v[5], 0xB0B0B0, 0x595959);
    return 1;
}

uint32_t NativeLayerPressOffset(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const int32_t x = args.I32(1), y = args.I32(2);
    if (args.Faulted() || layer == nullptr)
        return 0;
    layer->SetPressOffset(x, y);
    return 1;
}

uint32_t NativeLayerAddItem(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const char* text = NativeOptionalString(args, 1);
    const char* hint = NativeOptionalString(args, 2);
    const int32_t flag = args.I32(3);
    // Without a flag (-1) the line has no name, number or command.
    const char* name = flag != -1 ? NativeOptionalString(args, 4) : nullptr;
    const int32_t number = flag != -1 ? args.I32(5) : -1;
    const char* command = flag != -1 ? NativeOptionalString(args, 6) : nullptr;
    if (args.Faulted() || layer == nullptr)
        return 4;
    return Code(layer->AddLine(text, hint, flag != -1 && flag != 0, -1, name, number, command, nullptr, nullptr,
                               nullptr));
}

uint32_t NativeLayerSetItemFlag(SobNativeArgs& args)
{
    CTextLayer* layer = LayerAt(args, 0);
    const int32_t item = args.I32(1);
    const bool disabled = static_cast<uint8_t>(args.U32(2)) != 0;
    if (args.Faulted() || layer == nullptr)
        return kMinus1;
    return Code(layer->SetLineDisabled(item, disabled));
}
