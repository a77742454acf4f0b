// The text panel driven by the input: leading bytes choose the size, margins, vertical writing,
// ruby, items, auto wrap, spacings and a tiled frame's geometry; the rest is Shift-JIS text with
// escapes, where the control bytes 0x01/0x02 open and close an item and 0x03 sets a ruby. The
// text is drawn with DrawChar to full pages (cleared and continued), with aligned and spaced text
// and pointer events between. The pointer must never pass the NUL, and hit-map values must never
// exceed the item count.
#include "controls/control_container.h"
#include "controls/text_panel.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "files/pixel_library.h"
#include "platform/action_map.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/input_source.h"
#include "support/fuzz_input.h"
#include "winapi/text.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

class Source : public CInputSource {
public:
    bool IsDown(int code) override { return code == 0 && down; }
    bool IsPushed(int code) override { return code == 0 && pushed; }
    int FindFirstDown() override { return -1; }
    int FindFirstPushed() override { return -1; }
    void Clear() override {}
    bool down = false;
    bool pushed = false;
};

class Form : public CControlContainer {
public:
    Form() { actions.Create(6); }
    ~Form() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override
    {
        *x = px;
        *y = py;
    }
    CActionMap* GetActionMap() override { return &actions; }
    CInputSource* GetKeyboard() override { return &keys; }
    CInputSource* GetMouse() override { return &mouse; }
    int px = 0, py = 0;
    CActionMap actions{nullptr};
    Source keys, mouse;
};

struct Shared {
    Shared()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        g_pCosTable = &cos;
        font.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
        ruby.SetFont(6, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    }
    std::unique_ptr<CPixelLibrary> library;
    CCosTable cos;
    CGlyphFont font, ruby;
};

void CheckHitMap(const CTextPanel& panel)
{
    const CImage* map = panel.GetHitMap();
    if (!map)
        return;
    for (int y = 0; y < map->GetHeight(); ++y)
        for (int x = 0; x < map->GetWidth(); ++x)
            if (map->GetRowAddress(y)[x] > panel.GetItemCount())
                __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Shared shared;
    FuzzInput in{data, size};
    CDrawList list;
    CTextPanel panel;
    const int w = 8 + in.Small(120), h = 8 + in.Small(80);
    const bool vertical = in.Small(2), items = in.Small(2), withRuby = in.Small(2);
    panel.SetItemsEnabled(items, false);
    panel.SetAutoWrap(in.Small(4) != 0);
    panel.SetLineSpacing(in.Small(9) - 2);
    panel.SetCharSpacing(in.Small(7) - 2);
    panel.SetRubyGap(in.Small(4));
    panel.SetMinLineHeight(in.Small(20));
    panel.SetWrapReserve(in.Small(4));
    panel.SetUprightCentring(in.Small(2));
    CImage frame;
    if (in.Small(3) == 0 && frame.Create(1 + in.Small(16), 1 + in.Small(16), 32, 0) == 0) {
        panel.SetFrameSlices(in.Small(8) - 1, in.Small(8) - 1, in.Small(6), in.Small(6));
        panel.SetFrameImages(&frame, nullptr, nullptr, false);
    }
    if (panel.Create(&list, 1, w, h, 0, 0, &shared.font, withRuby ? &shared.ruby : nullptr, 1) != 0)
        return 0;
    panel.SetMargins(in.Small(12), in.Small(12), in.Small(12), in.Small(12), false);
    panel.SetItemMargins(in.Small(5), in.Small(5), in.Small(5), in.Small(5), false);
    panel.SetVertical(vertical, true);
    if (panel.GetFrameImage())
        panel.Resize(8 + in.Small(100), 8 + in.Small(80));
    Form form;
    form.AddControl(&panel, -1);
    panel.SetFrameDragThreshold(static_cast<uint8_t>(in.Small(3)));

    std::string text(reinterpret_cast<const char*>(data + in.pos), size - in.pos);
    text = text.substr(0, std::min<size_t>(text.find('\0'), 300));
    const char* p = text.c_str();
    const char* end = p + text.size();
    int pages = 0;
    std::string rubyText;
    while (*p && pages < 4) {
        const uint8_t b = static_cast<uint8_t>(*p);
        if (b == 0x01) {
            panel.BeginItem("n", 1, "c", nullptr, nullptr, nullptr, nullptr, 0x80FF0000u, nullptr, nullptr, nullptr, -1,
                            -1, -1);
            ++p;
        } else if (b == 0x02) {
            panel.EndItem();
            ++p;
        } else if (b == 0x03) {
            rubyText = winapi::Sjis("るび");
            panel.SetRubyText(rubyText.c_str());
            ++p;
        } else if (b == 0x04) {
            panel.DrawAlignedText("ab", (p[1] & 3));
            p += p[1] ? 2 : 1;
        } else if (b == 0x05) {
            panel.DrawSpacedText(winapi::Sjis("あい"), 0, 0, 10 + (p[1] & 31), 10);
            p += p[1] ? 2 : 1;
        } else if (b == 0x06) {
            form.px = static_cast<uint8_t>(p[1]) % (w + 8);
            form.py = static_cast<uint8_t>(p[1]) % (h + 8);
            form.mouse.pushed = form.mouse.down = (p[1] & 1) != 0;
            form.HandleInput(0);
            p += p[1] ? 2 : 1;
        } else {
            const int result = panel.DrawNextChar(&p);
            if (result == 1) {
                panel.ResetTextCursor(true);
                ++pages;
            }
        }
        if (p > end)
            __builtin_trap();
        CheckHitMap(panel);
    }
    form.RemoveControl(&panel);
    return 0;
}
