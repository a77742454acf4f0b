// The generic native harness: a live host with a sprite and a text panel, a drawing pool on a
// headless screen (images at 8 and 32 bits, canvases of kinds 9 and 10, sprites, a primitive, a
// GDI and a glyph font, a scene object, a looping path task in the object manager), the game's
// effect kinds, a stale handle, strings, a path text, a point list and buffers in script memory;
// the input picks natives and their words (raw, 0, 1, 65535, -1, 0.5 as float bits, live, stale
// and wrong-type handles, string and buffer addresses, effect kind names, block ends, below
// 0x10000, past memory) and runs each through the native opcode, then steps the object manager.
// After a fault the call stack is reset. Native issues add seeds for their groups. The text and
// owned-list pool: a message with a name, tags and choices on the script text object, a cell
// sheet and a KAD file in the scripts' lists and cells holding their handles. The forms pools:
// controls of ten kinds and a text object in the scripts' control set, with cells holding them;
// a control of each type, a text object, an image map and a stale control.
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <memory>
#include <vector>

#include "authoring/image_group_writer.h"
#include "controls/button_control.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "display/color_rect_object.h"
#include "display/path_move_task.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "effects/effect_rows.h"
#include "files/object_plugin_manager.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "drawing/cell_sheet.h"
#include "drawing/glyph_font.h"
#include "drawing/kad_file.h"
#include "controls/rectangle_control.h"
#include "controls/text_input.h"
#include "display/display_objects.h"
#include "natives/native_table.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "natives/owned_list_natives.h"
#include "script/tagged_text.h"
#include "platform/timer_manager.h"
#include "support/fuzz_input.h"
#include "support/script_host_fixture.h"
#include "support/library_leaks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CScriptHost& host = fuzzhost::Host();
    CScriptMemory& memory = host.Memory();
    // Never destroyed: the looping path task moves it until the host cancels its tasks at exit,
    // after this file's statics are gone.
    static CSprite& sprite = *new CSprite;
    static uint32_t live = host.ObjectHandle(&sprite);
    static CTextPanel panel;
    static uint32_t control = host.ObjectHandle(&panel);
    static uint32_t stale = [&] {
        auto* gone = new CSprite();
        const uint32_t h = host.ObjectHandle(gone);
        delete gone;
        return h;
    }();
    static uint32_t code = memory.Allocate(32);
    static uint32_t args = memory.Allocate(96);
    static uint32_t text = [&] {
        const uint32_t at = memory.Allocate(16);
        std::memcpy(memory.Span(at, 12), "SLOT.DAT\0ab", 12);
        return at;
    }();
    static uint32_t buffer = memory.Allocate(16);
    // The drawing pool: made once on the screen; natives may delete any of it, leaving its handles
    // stale for later calls.
    static CScreen screen;
    static std::vector<uint32_t> pool = [&] {
        g_pDisplay = &screen;
        std::vector<uint32_t> handles;
        for (int bits : {8, 32}) {
            CImage* image = nullptr;
            if (screen.CreateImage(&image, 24, 16, bits, 0) == 0)
                handles.push_back(host.ObjectHandle(image));
        }
        CSurfaceSprite* canvas = nullptr;
        if (screen.CreateSurfaceSprite(&canvas, 32, 24, 32, 1) == 0)
            handles.push_back(host.ObjectHandle(static_cast<CSurface*>(canvas)));
        CSurfaceSprite10* canvas10 = nullptr;
        if (screen.CreateSurfaceSprite10(&canvas10, 16, 16, 32, 1) == 0)
            handles.push_back(host.ObjectHandle(static_cast<CSurface*>(canvas10)));
        CPrimitiveObject* primitive = nullptr;
        if (screen.CreatePrimitive(&primitive, 8, 8, 0x80FF0000, 2, 2) == 0)
            handles.push_back(host.ObjectHandle(primitive));
        CFont* font = nullptr;
        if (screen.CreateGdiFont(&font, nullptr, 12) == 0)
            handles.push_back(host.ObjectHandle(font));
        if (screen.CreateGlyphFont(&font, nullptr, 12) == 0)
            handles.push_back(host.ObjectHandle(font));
        while (handles.size() < 8)
            handles.push_back(0);
        return handles;
    }();
    // Scene objects and timed tasks: made once; a native may delete or cancel them.
    // Never destroyed: the host cancels the manager's tasks when it ends, after this file's statics.
    static CTimerManager& objects = *new CTimerManager;
    g_pObjectManager = &objects;
    static uint32_t task = [&] {
        CColorRectObject* rect = nullptr;
        return screen.CreateColorRect(&rect, 8, 8, 0x80FF0000, 1, 1) == 0 ? host.ObjectHandle(static_cast<CTask*>(rect))
                                                                          : 0;
    }();
    static uint32_t timed = [&] {
        static const int32_t path[] = {4, 4, 255, 0, 0, 128};
        auto* move = new CPathMoveTask(40, 0, 0, 0.0, 1, 0, 1, 0);
        if (move->SetPoints(2, path) != 0 || move->SetTarget(&objects, &sprite) != 0) {
            delete move;
            return 0u;
        }
        return host.ObjectHandle(static_cast<CTimedTask*>(move));
    }();
    static uint32_t points = [&] {
        const uint32_t at = memory.Allocate(24);
        const int32_t triples[] = {10, 20, 255, -5, 7, 0};
        std::memcpy(memory.Span(at, 24), triples, 24);
        return at;
    }();
    static uint32_t pathText = [&] {
        const uint32_t at = memory.Allocate(24);
        std::memcpy(memory.Span(at, 20), "(1, 2, 3)(40, 5, 6)", 20);
        return at;
    }();
    // The game's effect kinds, so that 221 reaches their second callbacks by name.
    static CObjectPluginManager& effects = *[] {
        auto* registry = new CObjectPluginManager;
        RegisterRows(*registry, GameEffectRows());
        return registry;
    }();
    g_pObjectPluginManager = &effects;
    static uint32_t kinds[2] = {[&] {
                                    const uint32_t at = memory.Allocate(12);
                                    std::memcpy(memory.Span(at, 10), "sp_panime", 10);
                                    return at;
                                }(),
                                [&] {
                                    const uint32_t at = memory.Allocate(8);
                                    std::memcpy(memory.Span(at, 8), "bg_zoom", 8);
                                    return at;
                                }()};
    // Records of the text natives and the owned-list objects, with cells holding their handles.
    static uint32_t message = [&] {
        static const char record[] = "\x01\x02\x00#Name\\Two$ab<\"t\">c<7>\\d$e";
        const uint32_t at = memory.Allocate(sizeof record);
        std::memcpy(memory.Span(at, sizeof record), record, sizeof record);
        if (g_pScriptTextObject != nullptr)
            g_pScriptTextObject->SetMessage(at);
        return at;
    }();
    static uint32_t choices = [&] {
        static const uint8_t record[] = {1, 3, 0, 2, 0, 5, 0, 'y', 'e', 's', 0, 4, 0, 'n', 'o', 0};
        const uint32_t at = memory.Allocate(sizeof record);
        std::memcpy(memory.Span(at, sizeof record), record, sizeof record);
        if (g_pScriptTextObject != nullptr)
            g_pScriptTextObject->SetChoices(at);
        return at;
    }();
    static uint32_t sheet = [&] {
        auto made = std::make_unique<CCellSheet>();
        CImage* image = host.Object<CImage>(pool[1]);
        if (image == nullptr || made->SetImage(image, 8, 8, nullptr, image, 0, 0, 0, 0, false) != 0)
            return 0u;
        CCellSheet* listed = g_ScriptCellSheets.Add(std::move(made));
        return listed != nullptr ? host.ObjectHandle(listed) : 0u;
    }();
    static uint32_t kad = [&] {
        std::vector<uint8_t> bytes;
        auto made = std::make_unique<CKadFile>();
        if (!image_groups::BuildKad("header 1 2 0 1\nblob text ab\nentry 0 0 0 0 0\nrecord 1 2 x\n", bytes, nullptr) ||
            made->LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())) != 0)
            return 0u;
        CKadFile* listed = g_ScriptKadFiles.Add(std::move(made));
        return listed != nullptr ? host.ObjectHandle(static_cast<CGroupFile*>(listed)) : 0u;
    }();
    static uint32_t handleCells = [&] {
        const uint32_t at = memory.Allocate(16);
        const uint32_t held[] = {sheet, kad, timed, stale};
        for (uint32_t k = 0; k < 4; ++k)
            memory.Store32(at + 4 * k, held[k]);
        return at;
    }();
    // The forms pool: controls of the kinds the natives make without files, in the scripts'
    // control set on the canvas's scene (given by 702, so the canvas's end takes it away), and a
    // cell holding each, for the release by cell.
    static std::vector<uint32_t> forms = [&] {
        std::vector<uint32_t> handles;
        memory.Store32(args, pool[2]);
        SobNativeArgs sceneArgs(memory, nullptr, args, &host);
        GetNativeRow(702).function(sceneArgs);
        auto* glyph = dynamic_cast<CGlyphFont*>(host.Object<CFont>(pool[6]));
        CImage* image = host.Object<CImage>(pool[1]);
        CControlSet& set = g_TextObjectList;
        auto keep = [&](CControl* made, int result) {
            if (result == 0 && made != nullptr)
                handles.push_back(host.ObjectHandle(made));
        };
        CButtonControl* button = nullptr;
        keep(button, set.AddButtonControl(&button, 1, 1, 20, 10, false, "ok", glyph, 0));
        CButtonControl* pictured = nullptr;
        keep(pictured, set.AddButtonControlC(&pictured, 2, 2, image, false, true, 2, 255, 0));
        CToggleButton* toggle = nullptr;
        keep(toggle, set.AddControlType1B(&toggle, 3, 3, image, 0, false, nullptr, 2, 255, 0));
        CControlType2* rect = nullptr;
        keep(rect, set.AddControlType2(&rect, 4, 4, 10, 10, 1, 2, 3, 0));
        CTextInput* input = nullptr;
        keep(input, set.AddTextInput(&input, 5, 5, glyph, 60, 2, true, 0));
        CScrollControl* bar = nullptr;
        keep(bar, set.AddScrollControl(&bar, 6, 6, true, 16, 1, 2, 3, 4, 5, 0));
        CTextPanel* panel = nullptr;
        keep(panel, set.AddTextPanel(&panel, 7, 7, 40, 20, glyph, nullptr, 0, 0, 0, 0));
        CTextLayer* layer = nullptr;
        keep(layer, set.AddTextLayer(&layer, 8, 8, 40, 12, 1, glyph, 0));
        CButton* imageButton = nullptr;
        keep(imageButton, set.AddImageButton(&imageButton, 9, 9, 10, 10, -1, -1, true, true));
        CTextObject* object = nullptr;
        keep(object, g_TextObjectList.AddTextObject(&object, 10, 10, 40, 20, glyph, nullptr, 0));
        handles.resize(10, 0);
        return handles;
    }();
    static uint32_t formCells = [&] {
        const uint32_t at = memory.Allocate(4 * 10);
        for (uint32_t k = 0; k < 10; ++k)
            memory.Store32(at + 4 * k, forms[k]);
        return at;
    }();
    // The forms pool: a control of each type in the scripts' control set (on the scene 702 gave), a
    // text object, an image map, a stale control and cells for their out words.
    static std::vector<uint32_t> typedForms = [&] {
        // Never destroyed: the set's controls draw from it until the program ends.
        static CImage& strip = *new CImage;
        CImage mapImage;
        std::vector<uint32_t> handles;
        auto* font = dynamic_cast<CGlyphFont*>(host.Object<CFont>(pool[6]));
        strip.Create(60, 10, 32, 0);
        CControlSet& set = g_TextObjectList;
        CButtonControl* button = nullptr;
        if (set.AddButtonControl(&button, 0, 0, 40, 16, false, "ok", font, 1) == 0)
            handles.push_back(host.ObjectHandle(button));
        CToggleButton* toggle = nullptr;
        if (set.AddControlType1B(&toggle, 0, 20, &strip, 0, false, nullptr, 0, 255, 1) == 0)
            handles.push_back(host.ObjectHandle(toggle));
        CScrollControl* bar = nullptr;
        if (set.AddScrollControl(&bar, 100, 0, true, 16, 0xC0C0C0, 0x404040, 0, 0, 0, 1) == 0)
            handles.push_back(host.ObjectHandle(bar));
        CTextPanel* formPanel = nullptr;
        if (set.AddTextPanel(&formPanel, 5, 6, 120, 60, font, nullptr, 0, 0, 0, 1) == 0)
            handles.push_back(host.ObjectHandle(formPanel));
        CTextLayer* layer = nullptr;
        if (set.AddTextLayer(&layer, 0, 100, 60, 20, 2, font, 1) == 0) {
            layer->AddLine("one", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
            handles.push_back(host.ObjectHandle(layer));
        }
        CButton* hot = nullptr;
        if (set.AddImageButton(&hot, 1, 1, 10, 6, -1, -1, true, true) == 0)
            handles.push_back(host.ObjectHandle(hot));
        CTextObject* textObject = nullptr;
        if (g_TextObjectList.AddTextObject(&textObject, 200, 100, 100, 60, font, nullptr, 1) == 0)
            handles.push_back(host.ObjectHandle(textObject));
        static CImageMap& map = *new CImageMap;
        if (mapImage.Create(20, 10, 8, 0) == 0 && map.CreateFromImage(mapImage, 2, 0, 0, true, 1) == 0)
            handles.push_back(host.ObjectHandle(&map));
        CButtonControl* gone = nullptr;
        if (set.AddButtonControl(&gone, 0, 0, 10, 10, false, "x", font, 1) == 0) {
            handles.push_back(host.ObjectHandle(gone));
            set.RemoveControl(gone);
        }
        while (handles.size() < 10)
            handles.push_back(0);
        return handles;
    }();
    static uint32_t tick = 0;
    const uint32_t words[] = {kinds[0], kinds[1], 0, 65535, 0xFFFFFFFFu, live, stale, live ^ 0x100, control, text, buffer, buffer + 16, buffer + 15,
                              0x100, memory.End(), memory.End() - 2, host.VariableRecords().empty() ? 0 : host.VariableRecords()[0].address,
                              pool[0], pool[1], pool[2], pool[3], pool[4], pool[5], pool[6], pool[7], 0x7FFFFFFF, 0x80000000u, 16384, 16385,
                              task, timed, points, pathText, 1, 2, 0x3F000000u, message, choices, sheet, kad,
                              handleCells, handleCells + 4, handleCells + 8, handleCells + 12, 255,
                              forms[0], forms[1], forms[2], forms[3], forms[4], forms[5], forms[6], forms[7], forms[8], forms[9],
                              formCells, formCells + 4, formCells + 8, formCells + 12, formCells + 16, formCells + 20,
                              formCells + 24, formCells + 28, formCells + 32, formCells + 36,
                              typedForms[0], typedForms[1], typedForms[2], typedForms[3], typedForms[4], typedForms[5],
                              typedForms[6], typedForms[7], typedForms[8], typedForms[9]};
    FuzzInput in{data, size};
    for (int call = 0; call < 8 && !in.AtEnd(); ++call) {
        const uint32_t n = in.U32() % kNativeCount;
        // Natives that end or replace the running script are served by the run step, not here.
        if (n <= 2)
            continue;
        for (uint32_t k = 0; k < 16; ++k) {
            const uint32_t pick = in.U32();
            memory.Store32(args + 4 * k, pick & 0x80000000u ? pick : words[pick % (sizeof words / sizeof words[0])]);
        }
        const uint32_t cells[] = {5, 0x7F000000u + n, args, args + 92, 0};
        for (uint32_t k = 0; k < 5; ++k)
            memory.Store32(code + 4 * k, cells[k]);
        host.Machine().SetIp(code);
        if (host.Machine().Run() == kSobFault)
            host.ResetCallStack(0);
    }
    objects.RunDue(tick += 16);
    return 0;
}
