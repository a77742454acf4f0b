// Natives over timed tasks (see task_natives.h).
#include "natives/task_natives.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "display/display_objects.h"
#include "display/path_move_task.h"
#include "display/path_rotate_task.h"
#include "display/path_size_task.h"
#include "display/task.h"
#include "drawing/drawable.h"
#include "effects/layer_effect.h"
#include "effects/wipe_task.h"
#include "files/effect_args.h"
#include "natives/native_args.h"
#include "natives/plugin_natives.h"
#include "platform/decimal_text.h"
#include "platform/timer_manager.h"

WipeStarter g_pfnNativeStartWipe = StartWipeTask;

namespace {

constexpr uint32_t kAbsent = 65535;

template <class T>
T* At(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = NativeHost(a);
    return host != nullptr ? host->Object<T>(a.U32(k)) : nullptr;
}

uint8_t ByteAt(SobNativeArgs& a, uint32_t k) { return static_cast<uint8_t>(a.U32(k)); }
uint32_t Flag(bool b) { return b ? 1 : 0; }

// --- the object manager's task operations ---
template <class Op>
uint32_t OnListedTask(SobNativeArgs& a, Op op)
{
    CTimedTask* task = At<CTimedTask>(a, 0);
    if (a.Faulted() || task == nullptr || g_pObjectManager == nullptr)
        return 0;
    return Flag(op(*g_pObjectManager, task));
}

// --- path tasks ---

// The path tasks scripts made on drawables, with their targets: a native may delete the drawable
// while its task runs. Each entry is its task's owner slot (null once the task is gone); never
// destroyed, as tasks may end after this file's statics.
struct BoundTask {
    CTimedTask* task;
    const CDrawable* target;
};

std::list<BoundTask>& BoundTasks()
{
    static auto* tasks = new std::list<BoundTask>;
    return *tasks;
}

void TrackTarget(CPathTask* task, const CDrawable* target)
{
    std::list<BoundTask>& tasks = BoundTasks();
    tasks.remove_if([](const BoundTask& b) { return b.task == nullptr; });
    tasks.push_back({task, target});
    task->SetOwnerSlot(&tasks.back().task);
}

// The words every path task starts with: segment time, start delay, visible while running (byte),
// easing exponent (float).
struct PathTiming {
    uint32_t segment = 0;
    uint32_t delay = 0;
    uint8_t visible = 0;
    double easing = 0;
};

// Words k .. k + 3; false for an easing that is not a number (it used to make the eased time a
// conversion of NaN).
bool ReadTiming(SobNativeArgs& a, uint32_t k, PathTiming* t)
{
    t->segment = a.U32(k);
    t->delay = a.U32(k + 1);
    t->visible = ByteAt(a, k + 2);
    t->easing = a.F32(k + 3);
    return std::isfinite(t->easing);
}

// (x, y, value) triples: word k the count, word k + 1 their address. The count must be 2 to
// kMaxScriptPathPoints and the list inside the script block that holds it; else false, nothing
// read (the native answers its failure result).
bool ReadTriples(SobNativeArgs& a, uint32_t k, std::vector<int32_t>* out)
{
    const uint32_t n = a.U32(k), at = a.U32(k + 1);
    if (a.Faulted() || n < 2 || n > kMaxScriptPathPoints)
        return false;
    const uint32_t length = 12 * n;
    uint32_t start = 0, size = 0;
    if (!a.Memory().FindBlock(at, &start, &size) || static_cast<uint64_t>(at - start) + length > size)
        return false;
    const uint8_t* bytes = a.Memory().Span(at, length);
    if (bytes == nullptr)
        return false;
    out->resize(static_cast<size_t>(3) * n);
    std::memcpy(out->data(), bytes, length);
    return true;
}

// The path given by text (word 1) or by triples (words 1, 2), set on the task: 0 ok.
struct PathSource {
    const char* text = nullptr;
    std::vector<int32_t> triples;
    bool byPoints = false;
};

bool ReadSource(SobNativeArgs& a, bool byPoints, PathSource* s)
{
    s->byPoints = byPoints;
    if (byPoints)
        return ReadTriples(a, 1, &s->triples);
    s->text = NativeOptionalString(a, 1);
    return !a.Faulted() && s->text != nullptr;
}

template <class Task>
int SetPath(Task& task, const PathSource& s)
{
    if constexpr (requires { task.SetPoints(0u, nullptr); }) {
        if (s.byPoints)
            return task.SetPoints(static_cast<uint32_t>(s.triples.size() / 3), s.triples.data());
    }
    return task.SetPathText(s.text);
}

// Binds the task (bind answers SetTarget's code) and hands it out: its handle, or 0 with the task
// gone (a task finished at once by a segment time of 0 included).
template <class Task, class Bind>
uint32_t Launch(SobNativeArgs& a, std::unique_ptr<Task> task, const PathSource& source, Bind bind,
                const CDrawable* sprite = nullptr)
{
    CScriptHostBase* host = NativeHost(a);
    if (task == nullptr || host == nullptr || SetPath(*task, source) != 0)
        return 0;
    if (bind(*task) != 0) {
        // Binding lists the task last, so a refused one is not listed; a listed one is the
        // manager's to delete.
        if (g_pObjectManager != nullptr && g_pObjectManager->Contains(task.get()))
            g_pObjectManager->Cancel(task.release());
        return 0;
    }
    Task* listed = task.release(); // the object manager owns it now
    if (sprite != nullptr)
        TrackTarget(listed, sprite);
    const uint32_t handle = host->ObjectHandle(static_cast<CTimedTask*>(listed));
    if (handle == 0)
        g_pObjectManager->Cancel(listed);
    return handle;
}

// The words after the target of 315, 316, 446 and 447: the path, its timing, then the target
// mode, curve, loop and wait bytes → false when the path or the timing is refused.
bool ReadMove(SobNativeArgs& a, bool byPoints, PathSource* source, std::unique_ptr<CPathMoveTask>* task)
{
    const uint32_t k = byPoints ? 3 : 2;
    PathTiming t;
    const bool timingOk = ReadTiming(a, k, &t);
    const uint8_t mode = ByteAt(a, k + 4), curve = ByteAt(a, k + 5), loop = ByteAt(a, k + 6), wait = ByteAt(a, k + 7);
    if (!ReadSource(a, byPoints, source) || !timingOk)
        return false;
    task->reset(new (std::nothrow) CPathMoveTask(t.segment, t.delay, t.visible, t.easing, mode, curve, loop, wait));
    return true;
}

// 315, 316: on a scene object.
uint32_t ScenePath(SobNativeArgs& a, bool byPoints)
{
    CTask* object = At<CTask>(a, 0);
    PathSource source;
    std::unique_ptr<CPathMoveTask> task;
    if (!ReadMove(a, byPoints, &source, &task) || object == nullptr)
        return 0;
    return Launch(a, std::move(task), source,
                  [object](CPathMoveTask& m) { return m.SetSceneTarget(g_pObjectManager, object); });
}

// 446, 447: as 315 on a sprite.
uint32_t MovePath(SobNativeArgs& a, bool byPoints)
{
    CDrawable* sprite = At<CDrawable>(a, 0);
    PathSource source;
    std::unique_ptr<CPathMoveTask> task;
    if (!ReadMove(a, byPoints, &source, &task) || sprite == nullptr)
        return 0;
    return Launch(a, std::move(task), source,
                  [sprite](CPathMoveTask& m) { return m.SetTarget(g_pObjectManager, sprite); }, sprite);
}

// 448, 449: horizontal and vertical alignment, anchor, alpha on, loop, wait mode after the timing.
uint32_t SizePath(SobNativeArgs& a, bool byPoints)
{
    const uint32_t k = byPoints ? 3 : 2;
    CDrawable* sprite = At<CDrawable>(a, 0);
    PathTiming t;
    const bool timingOk = ReadTiming(a, k, &t);
    uint8_t b[6];
    for (uint32_t i = 0; i < 6; ++i)
        b[i] = ByteAt(a, k + 4 + i);
    PathSource source;
    if (!ReadSource(a, byPoints, &source) || !timingOk || sprite == nullptr)
        return 0;
    std::unique_ptr<CPathSizeTask> task(
        new (std::nothrow) CPathSizeTask(t.segment, t.delay, t.visible, t.easing, b[0], b[1], b[2], b[3], b[4], b[5]));
    return Launch(a, std::move(task), source,
                  [sprite](CPathSizeTask& s) { return s.SetTarget(g_pObjectManager, sprite); }, sprite);
}

// The largest size 54 scales a drawable to (the work image's own limit).
constexpr double kMaxScaledSide = 16384.0;

} // namespace

uint32_t NativeScaleTask(SobNativeArgs& a)
{
    CDrawable* sprite = At<CDrawable>(a, 0);
    const uint8_t mode = ByteAt(a, 1);
    const uint32_t time = a.U32(2);
    const char* scaleText = NativeOptionalString(a, 3);
    const char* startText = NativeOptionalString(a, 4);
    if (a.Faulted() || sprite == nullptr || scaleText == nullptr)
        return 0;
    const double scale = ReadDecimalText(scaleText, -1.0), start = ReadDecimalText(startText, 1.0);
    const double w = sprite->GetWidth(), h = sprite->GetHeight();
    const auto fits = [&](double s) {
        return s > 0.0 && w * s >= 1.0 && h * s >= 1.0 && w * s <= kMaxScaledSide && h * s <= kMaxScaledSide;
    };
    if (!fits(scale) || !fits(start))
        return 0;
    if (startText != nullptr)
        sprite->SetSize(static_cast<LONG>(w * start), static_cast<LONG>(h * start));
    PathSource source;
    source.byPoints = true;
    source.triples = {static_cast<int32_t>(w * scale), static_cast<int32_t>(h * scale), sprite->GetAlpha()};
    // Mode 1 keeps the centre where it stands, any other the top-left corner.
    const uint8_t align = mode == 1 ? 1 : 0;
    std::unique_ptr<CPathSizeTask> task(new (std::nothrow) CPathSizeTask(time, 0, 0, 1.0, align, align, 0, 0, 0, 0));
    return Launch(a, std::move(task), source,
                  [sprite](CPathSizeTask& s) { return s.SetTarget(g_pObjectManager, sprite); }, sprite);
}

void ForgetPathTaskTarget(const void* object)
{
    for (const BoundTask& b : BoundTasks())
        if (b.task != nullptr && b.target == object)
            static_cast<CPathTask*>(b.task)->OnSpriteGone(b.target);
}

uint32_t NativeCancelTask(SobNativeArgs& a)
{
    return OnListedTask(a, [](CTimerManager& m, CTimedTask* t) { return m.Cancel(t); });
}

uint32_t NativeContainsTask(SobNativeArgs& a)
{
    return OnListedTask(a, [](CTimerManager& m, CTimedTask* t) { return m.Contains(t); });
}

uint32_t NativePauseTask(SobNativeArgs& a)
{
    return OnListedTask(a, [](CTimerManager& m, CTimedTask* t) { return m.PauseTask(t); });
}

uint32_t NativeResumeTask(SobNativeArgs& a)
{
    return OnListedTask(a, [](CTimerManager& m, CTimedTask* t) { return m.ResumeTask(t); });
}

namespace {

// The running effect word 0 names and words 1-kPluginWords as integers → the effect, or null
// (the pack untouched) when the word names none or a word is outside script memory.
CLayerEffect* EffectWithWords(SobNativeArgs& a, CEffectArgs* words)
{
    auto* effect = dynamic_cast<CLayerEffect*>(At<CTimedTask>(a, 0));
    if (a.Faulted() || effect == nullptr || g_pObjectManager == nullptr || !g_pObjectManager->Contains(effect))
        return nullptr;
    CEffectArgs pack;
    for (uint32_t k = 1; k <= kPluginWords; ++k)
        pack.AddInt(a.I32(k));
    if (a.Faulted())
        return nullptr;
    *words = std::move(pack);
    return effect;
}

} // namespace

uint32_t NativeEffectSetParams(SobNativeArgs& a)
{
    CEffectArgs words;
    CLayerEffect* effect = EffectWithWords(a, &words);
    return effect != nullptr ? static_cast<uint32_t>(effect->SetParamsV(words)) : static_cast<uint32_t>(-1);
}

uint32_t NativeEffectQuery(SobNativeArgs& a)
{
    CEffectArgs words;
    CLayerEffect* effect = EffectWithWords(a, &words);
    if (effect == nullptr)
        return static_cast<uint32_t>(-1);
    // Places the effect leaves as they are keep their marker type and are not written back.
    CEffectArgs out;
    for (uint32_t i = 0; i < kPluginWords; ++i)
        out.AddPointer(nullptr);
    const int result = effect->QueryV(words, &out);
    for (uint32_t i = 0; i < kPluginWords && !a.Faulted(); ++i) {
        if (a.IsNull(i + 1))
            continue;
        double d = 0;
        if (out.GetType(i) == CEffectArgs::kInt)
            a.Out32(i + 1, static_cast<uint32_t>(out.IntAt(i)));
        else if (out.GetDouble(i, &d))
            a.Out32(i + 1, std::bit_cast<uint32_t>(static_cast<float>(d)));
    }
    return static_cast<uint32_t>(result);
}

uint32_t NativeScenePathText(SobNativeArgs& a) { return ScenePath(a, false); }
uint32_t NativeScenePathPoints(SobNativeArgs& a) { return ScenePath(a, true); }
uint32_t NativeMovePathText(SobNativeArgs& a) { return MovePath(a, false); }
uint32_t NativeMovePathPoints(SobNativeArgs& a) { return MovePath(a, true); }
uint32_t NativeSizePathText(SobNativeArgs& a) { return SizePath(a, false); }
uint32_t NativeSizePathPoints(SobNativeArgs& a) { return SizePath(a, true); }

uint32_t NativeRotatePathText(SobNativeArgs& a)
{
    CDrawable* sprite = At<CDrawable>(a, 0);
    PathTiming t;
    const bool timingOk = ReadTiming(a, 2, &t);
    const uint8_t zoomOn = ByteAt(a, 6), alphaOn = ByteAt(a, 7), loop = ByteAt(a, 8), wait = ByteAt(a, 9);
    PathSource source;
    if (!ReadSource(a, false, &source) || !timingOk || sprite == nullptr)
        return 0;
    std::unique_ptr<CPathRotateTask> task(
        new (std::nothrow) CPathRotateTask(t.segment, t.delay, t.visible, t.easing, zoomOn, alphaOn, loop, wait));
    return Launch(a, std::move(task), source,
                  [sprite](CPathRotateTask& r) { return r.SetTarget(g_pObjectManager, sprite); }, sprite);
}

// --- the wipe runner ---
uint32_t NativeStartWipeTask(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    const int32_t kind = a.I32(0);
    const uint32_t duration = a.U32(1);
    const uint32_t sourceWord = a.U32(3);
    CImage* destination = GetSurfaceImage(At<CSurface>(a, 2));
    CImage* source = sourceWord != 0 ? GetSurfaceImage(At<CSurface>(a, 3)) : nullptr;
    int32_t w[8];
    for (uint32_t i = 0; i < 8; ++i)
        w[i] = a.I32(4 + i);
    if (a.Faulted() || host == nullptr || (sourceWord != 0 && source == nullptr))
        return 0;
    // Absent words: 65535 in the first drops all eight, in the fourth the source rectangle.
    int32_t words[8] = {};
    if (static_cast<uint32_t>(w[0]) == kAbsent) {
        words[0] = kAbsent;
        words[3] = kAbsent;
    } else if (static_cast<uint32_t>(w[3]) == kAbsent) {
        words[0] = w[0];
        words[1] = w[1];
        words[2] = w[2];
        words[3] = kAbsent;
    } else {
        std::memcpy(words, w, sizeof w);
        words[3] = static_cast<uint16_t>(w[3]);
    }
    CWipeTask* task = g_pfnNativeStartWipe(g_pWipeRunner, kind, duration, destination, source, words);
    if (task == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(static_cast<CTimedTask*>(task));
    if (handle == 0)
        CancelWipeTask(g_pWipeRunner, task);
    return handle;
}

namespace {

// The wipe task of word 0, or null (what the runner functions take for a word naming none).
CWipeTask* WipeAt(SobNativeArgs& a)
{
    return dynamic_cast<CWipeTask*>(At<CTimedTask>(a, 0));
}

} // namespace

uint32_t NativeFinishWipeTask(SobNativeArgs& a)
{
    CWipeTask* task = WipeAt(a);
    return a.Faulted() ? 0 : static_cast<uint32_t>(FinishWipeTask(g_pWipeRunner, task));
}

uint32_t NativeCancelWipeTask(SobNativeArgs& a)
{
    CWipeTask* task = WipeAt(a);
    return a.Faulted() ? 0 : static_cast<uint32_t>(CancelWipeTask(g_pWipeRunner, task));
}

uint32_t NativeIsWipeTaskAlive(SobNativeArgs& a)
{
    CWipeTask* task = WipeAt(a);
    return a.Faulted() ? 0 : static_cast<uint32_t>(static_cast<uint8_t>(IsWipeTaskAlive(g_pWipeRunner, task)));
}
