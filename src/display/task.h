// CTask: whatever the screen draws onto its back buffer each frame (the scene objects and the
// render tasks of other subsystems). The screen's task list holds tasks in priority order; the
// list owns its nodes, never the tasks.
#pragma once

#include "winapi/base.h"
#include "winapi/ddraw.h"

#include <cstdint>
#include <vector>

class CTaskList;
class CTask;

// A task's place in a list: carried by the task itself, so inserting allocates nothing and leaving
// walks nothing.
struct TaskNode {
    CTask* task;
    TaskNode* prev;
    TaskNode* next;
    uint32_t priority;
    uint8_t group;
};
class CScreen;

// Holds a task it does not own (a path task driving it) and is told before the task is gone.
class ITaskWatcher {
public:
    // The task is being destroyed: forget it without calling it.
    virtual void OnTaskGone(CTask* task) = 0;

protected:
    ~ITaskWatcher() = default;
};

// What a scene object's GetType answers.
enum ESceneObjectType : uint8_t {
    kSceneImageRegion = 0,
    kSceneCanvasRegion = 1,
    kSceneTransition = 2,
    kSceneTexturedQuad = 4,
    kSceneCanvasQuad = 5,
    kSceneColorRect = 6,
    kScenePrimitiveList = 7,
    kSceneTriangle = 8,
    kSceneRenderStateA = 9,
    kSceneRenderStateB = 10,
};

class CTask {
public:
    CTask() = default;
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;
    // Leaves the list that holds it.
    virtual ~CTask();

    virtual uint8_t IsEnabled() const { return m_enabled; }
    // Stores the flag and returns it; each task's Draw decides what disabled means.
    virtual uint8_t SetEnabled(uint8_t enabled) { return m_enabled = enabled; }
    virtual uint8_t GetType() const = 0;
    virtual LONG GetX() const = 0;
    virtual LONG GetY() const = 0;
    virtual void SetPosition(LONG x, LONG y) = 0;
    virtual void SetSize(LONG width, LONG height) = 0;
    virtual void SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) = 0;
    virtual void MoveBy(LONG dx, LONG dy) = 0;
    // Whether the point lies on the task (exact: the source pixel's colour key decides).
    virtual bool HitTest(LONG x, LONG y, bool exact) = 0;
    virtual bool Overlaps(CTask* other) = 0;
    // The screen rectangle covered; false when there is nothing to draw.
    virtual bool GetBounds(RECT* out) = 0;
    // 0 lets the next task draw; non-zero ends the frame's task pass.
    virtual int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) = 0;
    // 0, or non-zero when the device resources could not be made again.
    virtual int OnDeviceRestore() = 0;

    DWORD GetGroup() const { return m_group; }
    void SetGroup(DWORD group) { m_group = group; }
    CTaskList* GetList() const { return m_list; }
    // Watchers are told (in the order added) when the task is destroyed; the task keeps them, so
    // no deletion scans anything. Adding one twice keeps one.
    void AddWatcher(ITaskWatcher* watcher);
    void RemoveWatcher(ITaskWatcher* watcher);
    size_t WatcherCount() const { return m_watchers.size(); }

private:
    friend class CTaskList;
    DWORD m_group = 0;
    uint8_t m_enabled = 1;
    CTaskList* m_list = nullptr;
    TaskNode m_node{this, nullptr, nullptr, 0, 0};  // valid while m_list is set
    std::vector<ITaskWatcher*> m_watchers;
};
