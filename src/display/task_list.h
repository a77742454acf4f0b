// CTaskList: tasks in non-increasing unsigned priority from the head (higher values draw first),
// each node with the group its inserter chose. No lock of its own: the game thread changes and
// draws it, under the screen lock where the screen says so.
#pragma once

#include "display/task.h"

#include <cstdint>

// "Every priority" and "every group" in SetEnabledWhere.
constexpr uint32_t kTaskAnyPriority = 0xFFFFFFFFu;
constexpr int kTaskAnyGroup = -1;

class CTaskList {
public:
    CTaskList() = default;
    CTaskList(const CTaskList&) = delete;
    CTaskList& operator=(const CTaskList&) = delete;
    // Clear: no task keeps a dangling list pointer.
    virtual ~CTaskList();

    // Last among equal priorities. 0 ok; 1 task null; 2 already in a list (3, no memory, cannot
    // happen: each task carries its own node).
    int Insert(CTask* task, uint32_t priority, uint8_t group);
    // First among equal priorities; codes as Insert.
    int InsertFirst(CTask* task, uint32_t priority, uint8_t group);
    // Unlinks the task's node; nothing when it is not here.
    void Remove(CTask* task);
    // The first node of that priority and every following one of the same priority.
    void RemovePriority(uint32_t priority);
    // 1 moved (last among its new equals), 0 not: null, not here, or onlyIfChanged and equal.
    int SetPriority(CTask* task, uint32_t priority, bool onlyIfChanged);
    // As SetPriority, first among equals.
    int SetPriorityFirst(CTask* task, uint32_t priority, bool onlyIfChanged);
    // SetEnabled on every matching task (kTaskAnyPriority, kTaskAnyGroup: all; else the group's
    // low 8 bits are compared).
    void SetEnabledWhere(uint8_t enabled, uint32_t priority, int group);
    // Each task's Draw in order up to the first non-zero answer, which is returned; 0 when all
    // drew or the list is empty. The Direct3D scene bracket comes with the device.
    int RenderAll(IDirectDrawSurface7* target, const RECT* output, CScreen* context);
    // OnDeviceRestore in order; the first non-zero answer is returned at once; 0 otherwise.
    int RestoreAll();
    // Every node freed, every task's list pointer cleared.
    void Clear();

    TaskNode* Head() const { return m_head; }

private:
    int InsertNode(CTask* task, uint32_t priority, uint8_t group, bool first);
    void Link(TaskNode* node, bool first);
    void Unlink(TaskNode* node);
    int Relink(CTask* task, uint32_t priority, bool onlyIfChanged, bool first);
    TaskNode* Find(const CTask* task) const;

    TaskNode* m_head = nullptr;
    TaskNode* m_tail = nullptr; // the last node, where most inserts go
};
