// CPathTask: the common part of the motion-path tasks that move, resize, turn and fade a sprite
// or a scene object through key points, each segment in the same time: the path (point 0 is the
// target's state when bound), the start delay, easing, loops, pauses, finishing on the last point,
// the thread-priority hooks and the task kinds. CPathMoveTask, CPathSizeTask and CPathRotateTask
// fill in what they read from the target and how a point is applied.
#pragma once

#include "display/task.h"
#include "platform/timed_task.h"
#include "winapi/base.h"

#include <cstdint>
#include <vector>

class CDrawable;
class CTimerManager;

struct PathPoint {
    double a = 0; // x, width or angle
    double b = 0; // y, height or zoom
};

class CPathTask : public CTimedTask, public ITaskWatcher {
public:
    // Calls the restore hook when the start lowered the priority; the owner's pointer is nulled.
    ~CPathTask() override;

    // 1 when finished, else 0.
    int32_t Step(uint32_t now) override;
    // A running task finishes at once.
    void OnCancel() override;
    // The end of a pause also moves the start time by the paused time.
    void OnResumed(uint32_t pausedFor) override { m_startTime += pausedFor; }
    // The target on the last point (and value), hidden when visible while running; not running.
    void Finish();

    bool IsRunning() const { return m_running != 0; }
    uint32_t GetPointCount() const { return static_cast<uint32_t>(m_points.size()); }
    const std::vector<PathPoint>& GetPoints() const { return m_points; }
    const std::vector<uint8_t>& GetValues() const { return m_values; }
    uint32_t GetTotalTime() const { return m_totalTime; }
    uint8_t GetWaitMode() const { return m_waitMode; }
    bool IsAlphaOn() const { return m_alphaOn != 0; }
    // The scene object driven is being deleted: the task ends without touching it.
    void OnTaskGone(CTask* task) override;
    // The same for the sprite driven (its owner tells the task, as sprites keep no watchers).
    void OnSpriteGone(const CDrawable* sprite);

protected:
    CPathTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing, uint8_t loop,
              uint8_t waitMode);

    // The kind from the three of the task: scene object, sprite, sprite in a display list.
    int32_t KindOf(int32_t sceneKind, int32_t spriteKind, int32_t inSceneKind) const;
    // Reads "(a, b, value)" groups: -1 running; 1 null text; 2 no group, fewer than minGroups, or a
    // group that cannot be read (nothing kept); 0.
    int ReadPathText(const char* text, bool decimalSecond, uint32_t minGroups);
    // The same from n integer triples; 1 for n = 0, no array or n below minGroups.
    int TakeTriples(uint32_t n, const int32_t* triples, uint32_t minGroups);
    // After the subclass has stored the target and point 0: segment time 0 finishes (-2, the task
    // stays the caller's); Prepare (2 on failure); listed (2 on refusal); running; the priority hook.
    int Start(CTimerManager* timers);

    // Point 0 and value 0 from the bound target; the subclass's extra preparation (0, or 2).
    virtual int Prepare() { return 0; }
    // Shows the path at segment i, fraction u in [0, 1] (u = 1 only for the last point).
    virtual void ApplyAt(uint32_t i, double u) = 0;
    void SetTargetVisible(bool visible);
    // Binds a scene object (null: none), watching it so its deletion ends the task.
    void BindSceneTarget(CTask* object);
    // a + (b - a) × u.
    static double Lerp(double a, double b, double u) { return a + (b - a) * u; }

    CTask* m_sceneTarget = nullptr;
    CDrawable* m_sprite = nullptr;
    uint8_t m_spriteInScene = 0;
    uint8_t m_alphaOn = 0;
    uint8_t m_running = 0;
    uint8_t m_waitMode = 0;
    uint32_t m_segmentTime = 0;
    uint32_t m_startDelay = 0;
    double m_easing = 0;
    std::vector<PathPoint> m_points; // point 0 = the bound state
    std::vector<uint8_t> m_values;
    uint8_t m_visibleWhileRunning = 0;
    uint8_t m_firstTick = 0;
    uint32_t m_startTime = 0;
    uint32_t m_totalTime = 0;
    uint8_t m_loop = 0;

private:
    // The eased time for elapsed ms (below the total).
    uint32_t Ease(uint32_t elapsed) const;
    void Apply(uint32_t t);
    // ApplyAt, then the value as alpha when alpha is on.
    void Show(uint32_t i, double u);
};
