// The bytes as a motion command string (ParseCommands and ApplyPathCommands on a scene's
// background and on a sprite, each path evaluated at varied t) and as the path text of the three
// motion-path tasks, which are bound to a sprite and stepped at varied times.
#include <cstddef>
#include <cstdint>
#include <string>

#include "display/path_move_task.h"
#include "display/path_rotate_task.h"
#include "display/path_size_task.h"
#include "drawing/scene.h"
#include "drawing/spline_path.h"
#include "drawing/sprite.h"
#include "platform/timer_manager.h"

namespace {

void Evaluate(const CSplinePath& path)
{
    const int32_t points = path.GetPointCount();
    for (int32_t i = 0; i + 1 < points && i < 64; ++i) {
        const PathStep* a = path.GetPoint(i);
        const PathStep* b = path.GetPoint(i + 1);
        if (!a || !b)
            __builtin_trap();
        int32_t x = 0, y = 0;
        for (double t : {0.0, 0.3, 0.77, 1.0}) {
            path.EvalCubic(i, *a, *b, t, &x, &y);
            CSplinePath::EvalLinear(*a, *b, t, &x, &y);
        }
    }
}

void Play(CPathTask* task, int bound, CTimerManager& timers)
{
    if (bound != 0) { // not listed: still ours
        delete task;
        return;
    }
    uint32_t now = 1000;
    for (int step = 0; step < 40; ++step) {
        now += static_cast<uint32_t>(step * 53 % 170);
        if (task->Step(now) != 0)
            break;
    }
    timers.CancelAll();
    timers.RunDue(now + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CImage target, background, picture;
    if (target.Create(320, 240, 32, 0) != 0 || background.Create(100, 50, 32, 0) != 0
        || picture.Create(40, 30, 32, 0) != 0)
        return 0;
    CScene scene;
    scene.SetTarget(&target, false);
    scene.SetBackgroundImage(&background, 10, 20, false);
    CSprite sprite;
    sprite.SetImage(&picture, nullptr, 7, 9);
    scene.GetList().Insert(&sprite, 1, 0);

    for (int onSprite = 0; onSprite < 2; ++onSprite) {
        CSplinePath path;
        if (path.ParseCommands(text.c_str(), onSprite ? &sprite : nullptr, onSprite ? nullptr : &scene) == 0)
            Evaluate(path);
        int32_t x, y, cx, cy;
        uint8_t opacity, flag;
        double zoom, rotation;
        ApplyPathCommands(text.c_str(), &x, &y, onSprite ? &sprite : nullptr, onSprite ? nullptr : &scene, &opacity,
                          &flag, &zoom, &rotation, &cx, &cy);
    }

    CTimerManager timers;
    const double easing = size ? (data[0] % 5) - 2.0 : 0.0;
    auto* move = new CPathMoveTask(size % 7 * 20, size % 3 * 10, 1, easing, 1, size & 1, 0, 0);
    if (move->SetPathText(text.c_str()) == 0)
        Play(move, move->SetTarget(&timers, &sprite), timers);
    else
        delete move;
    auto* resize = new CPathSizeTask(30, 0, 0, easing, 1, 2, size & 2, 1, 0, 0);
    if (resize->SetPathText(text.c_str()) == 0)
        Play(resize, resize->SetTarget(&timers, &sprite), timers);
    else
        delete resize;
    auto* rotate = new CPathRotateTask(30, 0, 0, easing, 1, 1, 0, 0);
    if (rotate->SetPathText(text.c_str()) == 0)
        Play(rotate, rotate->SetTarget(&timers, &sprite), timers);
    else
        delete rotate;
    return 0;
}
