// CDrawList: a display list of drawables in ascending unsigned priority from head to tail. Drawing
// runs from the tail to the head, so the greatest priority lies at the back; each node keeps the
// rectangle its drawable last covered in the owner scene, which becomes dirty when it leaves.
#pragma once

#include "drawing/drawable.h"

#include <cstdint>

class CScene;

struct DrawNode {
    CDrawable* drawable;
    RECT last;         // last drawn rectangle; left = -1: none
    uint32_t priority;
    DWORD group;       // chosen at insertion; filters compare it (-1 = any)
    DrawNode* prev;
    DrawNode* next;
};

// "Any" in the filters.
constexpr DWORD kDrawAny = 0xFFFFFFFFu;

class CDrawList {
public:
    CDrawList() = default;
    CDrawList(const CDrawList&) = delete;
    CDrawList& operator=(const CDrawList&) = delete;
    // Clear: nodes freed, owner pointers cleared, nothing invalidated. An overlay detaches itself
    // from its scene.
    virtual ~CDrawList();

    // Before every node of equal or greater priority (drawn in front of its equals). 0 ok,
    // 1 null drawable, 2 already in a list, 3 no memory. The drawable becomes dirty.
    int Insert(CDrawable* drawable, uint32_t priority, DWORD group);
    // After every node of equal priority (drawn behind its equals); codes as Insert.
    int InsertAfterEqual(CDrawable* drawable, uint32_t priority, DWORD group);
    // False when null or not in this list. onlyIfChanged with the same priority: nothing else;
    // otherwise relinked before its new equals and dirty (last rectangle and group kept).
    bool SetPriority(CDrawable* drawable, uint32_t priority, bool onlyIfChanged);
    bool SetPriorityAfterEqual(CDrawable* drawable, uint32_t priority, bool onlyIfChanged);
    // False when not in this list; the last rectangle goes to the scene's region.
    bool Remove(CDrawable* drawable);
    // Every drawable of that priority (invert: of any other priority) is removed.
    void RemoveByPriority(uint32_t priority, bool invert);
    // Every drawable whose node group and tag match (-1 = any; invert: each test is "differs").
    void RemoveWhere(DWORD group, DWORD tag, bool invert);
    // SetVisible on every drawable that passes the priority, group and tag tests.
    void SetVisibleWhere(bool visible, DWORD priority, DWORD group, DWORD tag, bool invert);
    // Every node of that group goes to other, keeping its priority and group and the order among
    // the moved ones, behind other's equals; each last rectangle becomes dirty here and the
    // drawables dirty there. Nothing when other is this. The number moved.
    int MoveGroupTo(CDrawList& other, DWORD group);
    // The owner scene's InvalidateRect; 0 without a scene.
    int InvalidateRect(const RECT* rect);
    void Clear();

    DrawNode* Head() const { return m_head; }
    DrawNode* Tail() const { return m_tail; }
    DrawNode* FindNode(const CDrawable* drawable) const;
    CScene* GetScene() const { return m_scene; }
    // The overlay's owner attaches it (the scene's own list is attached by the scene).
    void SetScene(CScene* scene) { m_scene = scene; }

private:
    int InsertNode(CDrawable* drawable, uint32_t priority, DWORD group, bool afterEqual);
    void Link(DrawNode* node, bool afterEqual);
    bool Relink(CDrawable* drawable, uint32_t priority, bool onlyIfChanged, bool afterEqual);
    void Unlink(DrawNode* node);
    // Unlinks and frees node, its last rectangle added to the scene's region.
    void RemoveNode(DrawNode* node);

    DrawNode* m_head = nullptr;
    DrawNode* m_tail = nullptr;
    CScene* m_scene = nullptr;
};
