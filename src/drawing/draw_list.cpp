#include "drawing/draw_list.h"

#include "drawing/scene.h"

#include <new>

namespace {

// A filter value matches when it is "any", or equals (invert: differs from) the value.
bool Matches(DWORD filter, DWORD value, bool invert)
{
    return filter == kDrawAny || ((value == filter) != invert);
}

} // namespace

CDrawList::~CDrawList()
{
    // An overlay that goes first must not stay behind in its scene as a dangling pointer.
    if (m_scene && m_scene->GetOverlay() == this) {
        m_scene->SetOverlay(nullptr);
    }
    Clear();
}

int CDrawList::Insert(CDrawable* drawable, uint32_t priority, DWORD group)
{
    return InsertNode(drawable, priority, group, false);
}

int CDrawList::InsertAfterEqual(CDrawable* drawable, uint32_t priority, DWORD group)
{
    return InsertNode(drawable, priority, group, true);
}

int CDrawList::InsertNode(CDrawable* drawable, uint32_t priority, DWORD group, bool afterEqual)
{
    if (!drawable) {
        return 1;
    }
    if (drawable->m_ownerList) {
        return 2;
    }
    auto* node = new (std::nothrow) DrawNode{drawable, RECT{-1, 0, 0, 0}, priority, group, nullptr, nullptr};
    if (!node) {
        return 3;
    }
    Link(node, afterEqual);
    drawable->m_ownerList = this;
    drawable->SetDirty(true);
    return 0;
}

void CDrawList::Link(DrawNode* node, bool afterEqual)
{
    DrawNode* next = m_head;
    while (next && (afterEqual ? next->priority <= node->priority : next->priority < node->priority)) {
        next = next->next;
    }
    node->next = next;
    node->prev = next ? next->prev : m_tail;
    (node->prev ? node->prev->next : m_head) = node;
    (next ? next->prev : m_tail) = node;
}

void CDrawList::Unlink(DrawNode* node)
{
    (node->prev ? node->prev->next : m_head) = node->next;
    (node->next ? node->next->prev : m_tail) = node->prev;
    node->prev = node->next = nullptr;
}

DrawNode* CDrawList::FindNode(const CDrawable* drawable) const
{
    for (DrawNode* node = m_head; node; node = node->next) {
        if (node->drawable == drawable) {
            return node;
        }
    }
    return nullptr;
}

bool CDrawList::SetPriority(CDrawable* drawable, uint32_t priority, bool onlyIfChanged)
{
    return Relink(drawable, priority, onlyIfChanged, false);
}

bool CDrawList::SetPriorityAfterEqual(CDrawable* drawable, uint32_t priority, bool onlyIfChanged)
{
    return Relink(drawable, priority, onlyIfChanged, true);
}

bool CDrawList::Relink(CDrawable* drawable, uint32_t priority, bool onlyIfChanged, bool afterEqual)
{
    DrawNode* node = drawable ? FindNode(drawable) : nullptr;
    if (!node) {
        return false;
    }
    if (onlyIfChanged && node->priority == priority) {
        return true;
    }
    Unlink(node);
    node->priority = priority;
    Link(node, afterEqual);
    drawable->SetDirty(true);
    return true;
}

void CDrawList::RemoveNode(DrawNode* node)
{
    if (node->last.left != -1 && m_scene) {
        m_scene->AddDirtyRect(node->last);
    }
    Unlink(node);
    node->drawable->m_ownerList = nullptr;
    delete node;
}

bool CDrawList::Remove(CDrawable* drawable)
{
    DrawNode* node = drawable ? FindNode(drawable) : nullptr;
    if (!node) {
        return false;
    }
    RemoveNode(node);
    return true;
}

void CDrawList::RemoveByPriority(uint32_t priority, bool invert)
{
    for (DrawNode* node = m_head; node;) {
        DrawNode* next = node->next;
        if ((node->priority == priority) != invert) {
            RemoveNode(node);
        }
        node = next;
    }
}

void CDrawList::RemoveWhere(DWORD group, DWORD tag, bool invert)
{
    for (DrawNode* node = m_head; node;) {
        DrawNode* next = node->next;
        if (Matches(group, node->group, invert) && Matches(tag, node->drawable->GetTag(), invert)) {
            RemoveNode(node);
        }
        node = next;
    }
}

void CDrawList::SetVisibleWhere(bool visible, DWORD priority, DWORD group, DWORD tag, bool invert)
{
    for (DrawNode* node = m_head; node; node = node->next) {
        if (Matches(priority, node->priority, invert) && Matches(group, node->group, invert) &&
            Matches(tag, node->drawable->GetTag(), invert)) {
            node->drawable->SetVisible(visible);
        }
    }
}

int CDrawList::MoveGroupTo(CDrawList& other, DWORD group)
{
    if (&other == this) {
        return 0;
    }
    int moved = 0;
    // Front to back, each behind the equals already there: the moved ones keep their order.
    for (DrawNode* node = m_head; node;) {
        DrawNode* next = node->next;
        if (node->group == group) {
            if (node->last.left != -1 && m_scene) {
                m_scene->AddDirtyRect(node->last);
            }
            Unlink(node);
            node->last = RECT{-1, 0, 0, 0};
            other.Link(node, true);
            node->drawable->m_ownerList = &other;
            node->drawable->SetDirty(true);
            ++moved;
        }
        node = next;
    }
    return moved;
}

int CDrawList::InvalidateRect(const RECT* rect)
{
    return m_scene ? m_scene->InvalidateRect(rect) : 0;
}

void CDrawList::Clear()
{
    while (m_head) {
        DrawNode* node = m_head;
        m_head = node->next;
        node->drawable->m_ownerList = nullptr;
        delete node;
    }
    m_tail = nullptr;
}
