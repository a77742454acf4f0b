// The task list; see task_list.h.
#include "display/task_list.h"

#include "display/screen.h"
#include "platform/object_lifetime.h"

#include <new>

#include <algorithm>

CTask::~CTask()
{
    // A path task driving a deleted object used to move freed memory on its next step.
    const std::vector<ITaskWatcher*> watchers = std::move(m_watchers);
    for (ITaskWatcher* watcher : watchers)
        watcher->OnTaskGone(this);
    NotifyObjectDestroyed(this);
    if (m_list != nullptr)
        m_list->Remove(this);
}

void CTask::AddWatcher(ITaskWatcher* watcher)
{
    if (watcher != nullptr && std::find(m_watchers.begin(), m_watchers.end(), watcher) == m_watchers.end())
        m_watchers.push_back(watcher);
}

void CTask::RemoveWatcher(ITaskWatcher* watcher)
{
    std::erase(m_watchers, watcher);
}

CTaskList::~CTaskList()
{
    Clear();
}

TaskNode* CTaskList::Find(const CTask* task) const
{
    // Each task knows its node: deleting many tasks once walked the list for each of them.
    return task->m_list == this ? const_cast<TaskNode*>(&task->m_node) : nullptr;
}

void CTaskList::Link(TaskNode* node, bool first)
{
    // Walk while the node's priority is at least (last among equals) or above (first among
    // equals) the new one, and insert after the last node passed. A node that goes last (the
    // common case: many tasks at one priority) is linked at the tail without a walk.
    const auto passes = [&](const TaskNode* at) {
        return first ? at->priority > node->priority : at->priority >= node->priority;
    };
    TaskNode* after = nullptr;
    if (m_tail != nullptr && passes(m_tail)) {
        after = m_tail;
    } else {
        for (TaskNode* at = m_head; at != nullptr && passes(at); at = at->next)
            after = at;
    }
    node->prev = after;
    node->next = after != nullptr ? after->next : m_head;
    if (node->next != nullptr)
        node->next->prev = node;
    else
        m_tail = node;
    if (after != nullptr)
        after->next = node;
    else
        m_head = node;
}

void CTaskList::Unlink(TaskNode* node)
{
    if (node->prev != nullptr)
        node->prev->next = node->next;
    else
        m_head = node->next;
    if (node->next != nullptr)
        node->next->prev = node->prev;
    else
        m_tail = node->prev;
    node->prev = node->next = nullptr;
}

int CTaskList::InsertNode(CTask* task, uint32_t priority, uint8_t group, bool first)
{
    if (task == nullptr)
        return 1;
    if (task->m_list != nullptr)
        return 2;
    TaskNode* node = &task->m_node;
    *node = TaskNode{task, nullptr, nullptr, priority, group};
    Link(node, first);
    task->m_list = this;
    return 0;
}

int CTaskList::Insert(CTask* task, uint32_t priority, uint8_t group)
{
    return InsertNode(task, priority, group, false);
}

int CTaskList::InsertFirst(CTask* task, uint32_t priority, uint8_t group)
{
    return InsertNode(task, priority, group, true);
}

void CTaskList::Remove(CTask* task)
{
    TaskNode* node = task != nullptr ? Find(task) : nullptr;
    if (node == nullptr)
        return;
    Unlink(node);
    task->m_list = nullptr;
}

void CTaskList::RemovePriority(uint32_t priority)
{
    TaskNode* node = m_head;
    while (node != nullptr && node->priority != priority)
        node = node->next;
    while (node != nullptr && node->priority == priority) {
        TaskNode* next = node->next;
        Unlink(node);
        node->task->m_list = nullptr;
        node = next;
    }
}

int CTaskList::Relink(CTask* task, uint32_t priority, bool onlyIfChanged, bool first)
{
    TaskNode* node = task != nullptr ? Find(task) : nullptr;
    if (node == nullptr)
        return 0;
    if (onlyIfChanged && node->priority == priority)
        return 0;
    Unlink(node);
    node->priority = priority;
    Link(node, first);
    return 1;
}

int CTaskList::SetPriority(CTask* task, uint32_t priority, bool onlyIfChanged)
{
    return Relink(task, priority, onlyIfChanged, false);
}

int CTaskList::SetPriorityFirst(CTask* task, uint32_t priority, bool onlyIfChanged)
{
    return Relink(task, priority, onlyIfChanged, true);
}

void CTaskList::SetEnabledWhere(uint8_t enabled, uint32_t priority, int group)
{
    for (TaskNode* node = m_head; node != nullptr; node = node->next) {
        if (priority != kTaskAnyPriority && node->priority != priority)
            continue;
        if (group != kTaskAnyGroup && node->group != static_cast<uint8_t>(group))
            continue;
        node->task->SetEnabled(enabled);
    }
}

int CTaskList::RenderAll(IDirectDrawSurface7* target, const RECT* output, CScreen* context)
{
    IDirect3DDevice7* device = context != nullptr ? static_cast<CD3DDevice*>(context)->GetD3DDevice() : nullptr;
    if (device != nullptr && FAILED(device->BeginScene()))
        return -1;
    // A task may leave the list while it draws: the next node is read first.
    int result = 0;
    for (TaskNode* node = m_head; node != nullptr;) {
        TaskNode* next = node->next;
        result = node->task->Draw(target, output, context);
        if (result != 0)
            break;
        node = next;
    }
    if (device != nullptr)
        device->EndScene();
    return result;
}

int CTaskList::RestoreAll()
{
    for (TaskNode* node = m_head; node != nullptr; node = node->next)
        if (const int result = node->task->OnDeviceRestore(); result != 0)
            return result;
    return 0;
}

void CTaskList::Clear()
{
    while (m_head != nullptr) {
        TaskNode* node = m_head;
        m_head = node->next;
        node->prev = node->next = nullptr;
        node->task->m_list = nullptr;
    }
    m_tail = nullptr;
}
