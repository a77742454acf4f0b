// CKagFile from arbitrary bytes; on success each group (up to eight) is played by a
// CKagAnimTask for a few hundred steps at varied times, with catch-up on and off, looping
// endlessly or chaining groups: every step must end (a zero-time group must not hang).
#include <cstddef>
#include <cstdint>

#include "drawing/kag_anim_task.h"
#include "drawing/kag_file.h"
#include "drawing/scene.h"
#include "files/gll_manager.h"
#include "platform/timer_manager.h"

namespace {

CGllManager* Manager()
{
    static CGllManager* manager = [] {
        auto* m = new CGllManager;
        RegisterBuiltinImageLoaders(*m);
        return m;
    }();
    return manager;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    g_pGllManager = Manager();
    CKagFile file;
    if (file.LoadFromMemory(data, static_cast<uint32_t>(size), (size & 1) != 0) != 0)
        return 0;
    if (file.GetEntryCount() == 0 || file.GetGroupStart(0) != 0)
        __builtin_trap();
    CImage target;
    if (target.Create(64, 64, 32, 0) != 0)
        return 0;
    CScene scene;
    scene.SetTarget(&target, false);
    const uint32_t groups = file.GetGroupCount() < 8 ? file.GetGroupCount() : 8;
    for (uint32_t g = 0; g < groups; ++g) {
        for (int variant = 0; variant < 4; ++variant) {
            CTimerManager timers;
            auto* task = new CKagAnimTask;
            task->SetNextGroup(variant & 2);
            const int code = task->Setup(&timers, &scene, &file, static_cast<int32_t>(g), (variant & 2) ? 3 : -1, 0,
                                         variant & 1, 1, 0, g & 1 ? 20 : 0);
            if (code != 0) {
                if (code == 4)
                    __builtin_trap(); // a fresh manager takes every task
                delete task;
                continue;
            }
            uint32_t now = 1000;
            for (uint32_t step = 0; step < 300; ++step) {
                now += (step * 37 + g * 11) % 250;
                if (task->Step(now) != 0)
                    break;
                if (task->GetCurrentEntry() < 0 || static_cast<uint32_t>(task->GetCurrentEntry()) >= file.GetEntryCount())
                    __builtin_trap();
            }
            scene.Redraw(nullptr, nullptr, 0, 0);
        }
    }
    return 0;
}
