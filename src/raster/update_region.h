// The update region: the set of pixels that drawing operations changed, kept as a list of
// non-overlapping rectangles sorted by (top, left) with their bounds. All regions of the process
// take their list nodes from one global pool that grows 256 nodes at a time.
#pragma once

#include "winapi/base.h"

#include <cstdint>
#include <vector>

struct RectNode {
    RECT rect;
    RectNode* prev;
    RectNode* next;
};

// The shared node pool. Not locked: regions are used by the drawing thread only.
class CRectNodePool {
public:
    CRectNodePool() = default;
    ~CRectNodePool();
    CRectNodePool(const CRectNodePool&) = delete;
    CRectNodePool& operator=(const CRectNodePool&) = delete;

    // A node (never null: the process stops when memory runs out, as for any allocation).
    RectNode* TakeNode();
    void ReturnNode(RectNode* node);
    // Allocates 256 further nodes into the free list.
    void Grow();

    uint32_t TotalNodes() const { return m_total; }
    size_t FreeNodes() const { return m_free ? m_free->size() : 0; }

private:
    void FreeAll();

    uint32_t m_total = 0;
    std::vector<RectNode*>* m_free = nullptr;
    RectNode* m_reserved = nullptr;
};

CRectNodePool& GetRectNodePool();

// True when a and b intersect; out (optional) receives the intersection. Inline: every clip and
// redraw notice asks it.
inline bool IntersectRects(RECT* out, const RECT& a, const RECT& b)
{
    const RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                 a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (r.right <= r.left || r.bottom <= r.top) {
        return false;
    }
    if (out) {
        *out = r;
    }
    return true;
}

class CUpdateRegion {
public:
    CUpdateRegion();
    ~CUpdateRegion();
    CUpdateRegion(const CUpdateRegion&) = delete;
    CUpdateRegion& operator=(const CUpdateRegion&) = delete;

    // Every node back to the pool; head, cursor, count, bounds and the bounds flag cleared.
    void Reset();
    // Every node back to the pool; the fields are left as they were.
    void ReleaseAll();
    // Adds a changed rectangle (empty ones are ignored). Inline for the common repeat: a rectangle
    // inside the node last touched (a cell redrawn in place, frame after frame) is already covered,
    // so nothing changes and the call returns at once.
    void AddRect(const RECT& rect)
    {
        const RectNode* last = m_cursor;
        if (last && m_boundsValid && last->rect.left <= rect.left && last->rect.top <= rect.top
            && rect.right <= last->rect.right && rect.bottom <= last->rect.bottom) {
            return;
        }
        AddUncovered(rect);
    }
    // True when inserted or merged, false for an empty rectangle. rect must overlap nothing.
    bool InsertRect(const RECT& rect);
    // Unlinks one node and returns it to the pool.
    void RemoveNode(RectNode* node);
    // Replaces node's rectangle by its pieces outside rect (they must overlap).
    void CutOverlap(RectNode* node, const RECT& rect);
    void RecomputeBounds();
    // Reshapes the list into fewer rectangles covering the same pixels.
    void Optimize();

    // Read directly by the display and scene code.
    RectNode* Head() const { return m_head; }
    int Count() const { return m_count; }
    const RECT& Bounds() const { return m_bounds; }
    bool BoundsValid() const { return m_boundsValid != 0; }

private:
    // AddRect past its covered-by-the-last-node check.
    void AddUncovered(const RECT& rect);
    RectNode* NewNode(const RECT& rect);
    void LinkBefore(RectNode* node, RectNode* next);
    // One step of the joining pass at node a: true when the list changed in a way that restarts
    // the pass at a's position.
    bool JoinPassStep(RectNode* a);
    // Joins b, a later node touching a's left side (bOnLeft) or its right side, with a: b widens
    // over a's columns and a keeps what lies above b. True when the list was rebuilt around them
    // (the pass restarts), false when the two were only reshaped in place.
    bool JoinBeside(RectNode* a, RectNode* b, bool bOnLeft);

    CRectNodePool* m_pool;
    RectNode* m_head = nullptr;
    RectNode* m_cursor = nullptr;
    int m_count = 0;
    RECT m_bounds{0, 0, 0, 0};
    uint8_t m_boundsValid = 0;
};
