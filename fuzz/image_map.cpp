// The image map driven by the input: a map (size and pixels), a region count from 0 to 300,
// enabled regions, then pointer positions, clicks, Tab presses, region activations and unlocks
// routed through a small form. Every hit must name a value below the count whose region is
// enabled, and nothing may be read outside the map (the sanitizers watch).
#include "controls/control_container.h"
#include "controls/image_map.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "support/fuzz_input.h"

#include <cstdint>
#include <vector>

namespace {

// An input source whose codes the harness sets each frame.
class ScriptedSource : public CInputSource {
public:
    bool IsDown(int code) override { return code >= 0 && code < 256 && down[code]; }
    bool IsPushed(int code) override { return code >= 0 && code < 256 && pushed[code]; }
    int FindFirstDown() override { return -1; }
    int FindFirstPushed() override { return -1; }
    void Clear() override {}
    bool down[256] = {};
    bool pushed[256] = {};
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
    CInputSource* GetKeyboard() override { return &keyboard; }
    CInputSource* GetMouse() override { return &mouse; }
    int GetFocusPointerMode() override { return mode; }
    int px = -1;
    int py = -1;
    int mode = 0;
    CActionMap actions{nullptr};
    ScriptedSource keyboard;
    ScriptedSource mouse;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    const int w = 1 + in.Small(24);
    const int h = 1 + in.Small(24);
    CImage map;
    if (map.Create(w, h, 8, 0) != 0)
        return 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            map.GetRowAddress(y)[x] = static_cast<BYTE>(in.U32());
    const int count = in.Small(301);
    CImageMap control;
    const int created = control.CreateFromImage(map, count, in.Small(16) - 4, in.Small(16) - 4, in.Small(2) != 0, 1);
    if ((count >= 1 && count <= 255) != (created == 0))
        __builtin_trap();
    std::vector<bool> enabled(static_cast<size_t>(count > 0 ? count : 1), true);
    for (int r = 0; r < count && created == 0; ++r)
        if (in.Small(4) == 0) {
            enabled[static_cast<size_t>(r)] = false;
            control.SetRegionEnabled(r, false);
        }
    control.SetUserValue(in.Small(3) - 1);
    Form form;
    form.mode = in.Small(3);
    form.AddControl(&control, -1);
    for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
        const int op = in.Small(6);
        form.mouse = ScriptedSource{};
        form.keyboard = ScriptedSource{};
        if (op == 0) {
            form.px = in.Small(40) - 8;
            form.py = in.Small(40) - 8;
        } else if (op == 1) {
            form.mouse.down[0] = form.mouse.pushed[0] = true;
        } else if (op == 2) {
            form.keyboard.down[0x0F] = form.keyboard.pushed[0x0F] = true;
            form.keyboard.down[0x2A] = in.Small(2) != 0;
        } else if (op == 3) {
            control.ActivateRegion(in.Small(300) - 20);
        } else if (op == 4) {
            control.SetLocked(false);
        } else {
            const int region = in.Small(300) - 20;
            const bool on = in.Small(2) != 0;
            if (control.SetRegionEnabled(region, on) == 0)
                enabled[static_cast<size_t>(region)] = on;
        }
        form.HandleInput(static_cast<uint32_t>(step * 16));
        const int x = in.Small(40) - 8;
        const int y = in.Small(40) - 8;
        const bool hit = control.HitTest(x, y);
        const int dx = x - control.GetX();
        const int dy = y - control.GetY();
        const bool inside = created == 0 && dx >= 0 && dx < w && dy >= 0 && dy < h;
        const int value = inside ? map.GetRowAddress(dy)[dx] : -1;
        if (hit && (!inside || value >= count || !enabled[static_cast<size_t>(value)]))
            __builtin_trap();
        const int current = control.GetCurrentRegion();
        if (current >= control.GetRegionCount())
            __builtin_trap();
    }
    return 0;
}
