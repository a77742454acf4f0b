#include "raster/update_region.h"

#include <algorithm>
#include <new>

namespace {

bool IsEmpty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// (top, left) order of the list.
bool KeyLess(const RECT& a, const RECT& b)
{
    return a.top < b.top || (a.top == b.top && a.left < b.left);
}

void Unite(RECT& bounds, const RECT& r)
{
    bounds.left = std::min(bounds.left, r.left);
    bounds.top = std::min(bounds.top, r.top);
    bounds.right = std::max(bounds.right, r.right);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
}

bool SameRows(const RECT& a, const RECT& b)
{
    return a.top == b.top && a.bottom == b.bottom;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pool

CRectNodePool& GetRectNodePool()
{
    static CRectNodePool pool;
    return pool;
}

CRectNodePool::~CRectNodePool()
{
    // The exit handler: the reserved node comes back, and with it everything is freed.
    if (m_reserved) {
        RectNode* reserved = m_reserved;
        m_reserved = nullptr;
        ReturnNode(reserved);
    }
    FreeAll();
}

void CRectNodePool::FreeAll()
{
    if (m_free) {
        for (RectNode* node : *m_free) {
            delete node;
        }
        delete m_free;
        m_free = nullptr;
    }
    m_total = 0;
}

void CRectNodePool::Grow()
{
    if (!m_free) {
        return;
    }
    m_free->reserve(m_free->size() + 256);
    for (int i = 0; i < 256; ++i) {
        RectNode* node = new (std::nothrow) RectNode{};
        if (!node) {
            return;
        }
        m_free->push_back(node);
        ++m_total;
    }
}

RectNode* CRectNodePool::TakeNode()
{
    if (!m_free) {
        m_free = new (std::nothrow) std::vector<RectNode*>();
        if (!m_free) {
            return nullptr;
        }
    }
    if (m_free->empty()) {
        Grow();
        if (m_free->empty()) {
            return nullptr;  // out of memory: the caller drops the rectangle
        }
    }
    RectNode* node = m_free->back();
    m_free->pop_back();
    if (!m_reserved && m_total > 0) {
        // The reserved node keeps the pool alive until process exit.
        if (m_free->empty()) {
            Grow();
        }
        if (!m_free->empty()) {
            m_reserved = m_free->back();
            m_free->pop_back();
        }
    }
    return node;
}

void CRectNodePool::ReturnNode(RectNode* node)
{
    if (!node) {
        return;
    }
    if (!m_free) {
        delete node;
        return;
    }
    m_free->push_back(node);
    if (m_free->size() >= m_total) {
        FreeAll();
    }
}

// ---------------------------------------------------------------------------------------------
// Region

CUpdateRegion::CUpdateRegion() : m_pool(&GetRectNodePool()) {}

CUpdateRegion::~CUpdateRegion()
{
    ReleaseAll();
}

void CUpdateRegion::ReleaseAll()
{
    if (!m_head) {
        return;
    }
    RectNode* node = m_head;
    for (int i = 0; i < m_count && node; ++i) {
        RectNode* next = node->next;
        m_pool->ReturnNode(node);
        if (next == m_head) {
            break;
        }
        node = next;
    }
}

void CUpdateRegion::Reset()
{
    ReleaseAll();
    m_head = nullptr;
    m_cursor = nullptr;
    m_count = 0;
    m_bounds = RECT{0, 0, 0, 0};
    m_boundsValid = 0;
}

RectNode* CUpdateRegion::NewNode(const RECT& rect)
{
    RectNode* node = m_pool->TakeNode();
    if (node) {
        node->rect = rect;
        node->prev = node;
        node->next = node;
    }
    return node;
}

void CUpdateRegion::LinkBefore(RectNode* node, RectNode* next)
{
    node->next = next;
    node->prev = next->prev;
    next->prev->next = node;
    next->prev = node;
    ++m_count;
}

bool CUpdateRegion::InsertRect(const RECT& rect)
{
    if (IsEmpty(rect)) {
        return false;
    }
    if (!m_head) {
        RectNode* node = NewNode(rect);
        if (!node) {
            return false;
        }
        m_head = m_cursor = node;
        m_count = 1;
        return true;
    }
    if (!m_cursor) {
        m_cursor = m_head;
    }
    if (!KeyLess(rect, m_cursor->rect)) {
        // Forward: the cursor becomes the last node whose key is not after rect's.
        while (m_cursor->next != m_head && !KeyLess(rect, m_cursor->next->rect)) {
            m_cursor = m_cursor->next;
        }
        RectNode* cur = m_cursor;
        if (cur->next == m_head) {
            if (SameRows(cur->rect, rect) && cur->rect.right == rect.left) {
                cur->rect.right = rect.right;
                return true;
            }
        } else {
            RectNode* n = cur->next;
            if (SameRows(n->rect, rect) && n->rect.left == rect.right) {
                n->rect.left = rect.left;
                if (SameRows(cur->rect, rect) && cur->rect.right == rect.left) {
                    n->rect.left = cur->rect.left;
                    RemoveNode(cur);
                }
                m_cursor = n;
                return true;
            }
        }
        RectNode* node = NewNode(rect);
        if (!node) {
            return false;
        }
        LinkBefore(node, cur->next);
        m_cursor = node;
        return true;
    }
    // Backward: the cursor becomes the first node whose key is not before rect's.
    while (m_cursor != m_head && !KeyLess(m_cursor->prev->rect, rect)) {
        m_cursor = m_cursor->prev;
    }
    RectNode* cur = m_cursor;
    if (SameRows(cur->rect, rect) && cur->rect.left == rect.right) {
        cur->rect.left = rect.left;
        return true;
    }
    RectNode* node = NewNode(rect);
    if (!node) {
        return false;
    }
    LinkBefore(node, cur);
    if (cur == m_head) {
        m_head = node;
    }
    m_cursor = node;
    return true;
}

void CUpdateRegion::RemoveNode(RectNode* node)
{
    if (!node || !m_head) {
        return;
    }
    if (node == m_head) {
        m_head = node->next;
    }
    --m_count;
    if (m_count <= 0) {
        m_count = 0;
        m_head = nullptr;
        m_cursor = nullptr;
    } else if (node == m_cursor) {
        m_cursor = node->prev;
    }
    node->prev->next = node->next;
    node->next->prev = node->prev;
    m_pool->ReturnNode(node);
}

void CUpdateRegion::CutOverlap(RectNode* node, const RECT& n)
{
    const RECT o = node->rect;
    const bool l = n.left <= o.left && o.left <= n.right;
    const bool r = n.left <= o.right && o.right <= n.right;
    const bool t = n.top <= o.top && o.top <= n.bottom;
    const bool b = n.top <= o.bottom && o.bottom <= n.bottom;

    // Pieces of o outside n, by which of o's edges lie inside n's span.
    const RECT leftMid{o.left, n.top, n.left, n.bottom};
    const RECT rightMid{n.right, n.top, o.right, n.bottom};
    const RECT below{o.left, n.bottom, o.right, o.bottom};
    const RECT leftLow{o.left, n.top, n.left, o.bottom};
    const RECT rightLow{n.right, n.top, o.right, o.bottom};
    const RECT rightTop{n.right, o.top, o.right, n.bottom};
    const RECT rightAll{n.right, o.top, o.right, o.bottom};

    enum Change { kBottomToNTop, kRightToNLeftBottomToNBottom, kRightToNLeft, kRemove };
    struct Row {
        const RECT* pieces[3];
        Change change;
    };
    const Row table[16] = {
        /* 0000 */ {{&leftMid, &rightMid, &below}, kBottomToNTop},
        /* 0001 */ {{&leftLow, &rightLow, nullptr}, kBottomToNTop},
        /* 0010 */ {{&rightTop, &below, nullptr}, kRightToNLeftBottomToNBottom},
        /* 0011 */ {{&rightAll, nullptr, nullptr}, kRightToNLeft},
        /* 0100 */ {{&leftMid, &below, nullptr}, kBottomToNTop},
        /* 0101 */ {{&leftLow, nullptr, nullptr}, kBottomToNTop},
        /* 0110 */ {{&below, nullptr, nullptr}, kRightToNLeftBottomToNBottom},
        /* 0111 */ {{nullptr, nullptr, nullptr}, kRightToNLeft},
        /* 1000 */ {{&rightMid, &below, nullptr}, kBottomToNTop},
        /* 1001 */ {{&rightLow, nullptr, nullptr}, kBottomToNTop},
        /* 1010 */ {{&rightTop, &below, nullptr}, kRemove},
        /* 1011 */ {{&rightAll, nullptr, nullptr}, kRemove},
        /* 1100 */ {{&below, nullptr, nullptr}, kBottomToNTop},
        /* 1101 */ {{nullptr, nullptr, nullptr}, kBottomToNTop},
        /* 1110 */ {{&below, nullptr, nullptr}, kRemove},
        /* 1111 */ {{nullptr, nullptr, nullptr}, kRemove},
    };
    const Row& row = table[(l ? 8 : 0) | (r ? 4 : 0) | (t ? 2 : 0) | (b ? 1 : 0)];
    for (const RECT* piece : row.pieces) {
        if (piece) {
            InsertRect(*piece);
        }
    }
    switch (row.change) {
    case kBottomToNTop:
        node->rect.bottom = n.top;
        break;
    case kRightToNLeftBottomToNBottom:
        node->rect.right = n.left;
        node->rect.bottom = n.bottom;
        break;
    case kRightToNLeft:
        node->rect.right = n.left;
        break;
    case kRemove:
        RemoveNode(node);
        break;
    }
}

void CUpdateRegion::RecomputeBounds()
{
    if (!m_head) {
        m_bounds = RECT{0, 0, 0, 0};
    } else {
        m_bounds = m_head->rect;
        for (RectNode* node = m_head->next; node != m_head; node = node->next) {
            if (!IsEmpty(node->rect)) {
                Unite(m_bounds, node->rect);
            }
        }
    }
    m_boundsValid = 1;
}

void CUpdateRegion::AddUncovered(const RECT& rect)
{
    if (IsEmpty(rect)) {
        return;
    }
    if (!m_head) {
        if (InsertRect(rect)) {
            m_bounds = rect;
            m_boundsValid = 1;
        }
        return;
    }
    if (!m_boundsValid) {
        RecomputeBounds();
    }
    const bool overlapsBounds = m_bounds.left < rect.right && m_bounds.top < rect.bottom &&
                                m_bounds.right > rect.left && m_bounds.bottom > rect.top;
    if (!overlapsBounds) {
        if (InsertRect(rect)) {
            Unite(m_bounds, rect);
        }
        return;
    }
    Unite(m_bounds, rect);
    // Cut every node that overlaps rect. A cut may merge or remove neighbouring nodes, so the walk
    // starts again from the head after each one (the nodes already passed no longer overlap).
    RectNode* node = m_head;
    while (node && node->rect.top < rect.bottom) {
        const RECT& o = node->rect;
        if (o.left <= rect.left && o.top <= rect.top && o.right >= rect.right && o.bottom >= rect.bottom) {
            return;  // already covered
        }
        if (o.left < rect.right && o.right > rect.left && o.bottom > rect.top && o.top < rect.bottom) {
            m_cursor = node;
            CutOverlap(node, rect);
            node = m_head;
            continue;
        }
        node = node->next;
        if (node == m_head) {
            break;
        }
    }
    InsertRect(rect);
}

bool CUpdateRegion::JoinBeside(RectNode* a, RectNode* b, bool bOnLeft)
{
    RECT& ar = a->rect;
    RECT& br = b->rect;
    // b takes over a's columns from its own top down; a keeps what lies above b.
    auto widen = [&] {
        if (bOnLeft) {
            br.right = ar.right;
        } else {
            br.left = ar.left;
        }
    };
    if (br.bottom == ar.bottom) {
        ar.bottom = br.top;
        widen();
        return false;
    }
    RECT piece;
    if (br.bottom < ar.bottom) {
        piece = RECT{ar.left, br.bottom, ar.right, ar.bottom};
    } else {
        piece = RECT{br.left, ar.bottom, br.right, br.bottom};
        br.bottom = ar.bottom;
    }
    ar.bottom = br.top;
    widen();
    const RECT moved = br;
    RemoveNode(b);
    m_cursor = a;
    InsertRect(moved);
    m_cursor = a;
    InsertRect(piece);
    return true;
}

bool CUpdateRegion::JoinPassStep(RectNode* a)
{
    RectNode* b = a->next;
    while (b != m_head && b->rect.top < a->rect.bottom) {
        RectNode* next = b->next;
        RECT& ar = a->rect;
        RECT& br = b->rect;
        if (br.right == ar.left) {
            if (JoinBeside(a, b, true)) {
                return true;
            }
        } else if (ar.right == br.left && ar.top == br.top) {
            if (ar.bottom == br.bottom) {
                ar.right = br.right;
                RemoveNode(b);
                return true;
            }
            const LONG oldARight = ar.right;
            ar.right = br.right;
            if (ar.bottom > br.bottom) {
                const LONG oldBBottom = br.bottom;
                br = RECT{ar.left, oldBBottom, oldARight, ar.bottom};
                ar.bottom = oldBBottom;
            } else {
                br.top = ar.bottom;
            }
            const RECT moved = br;
            RemoveNode(b);
            m_cursor = a;
            InsertRect(moved);
            return true;
        } else if (ar.right == br.left) {
            if (JoinBeside(a, b, false)) {
                return true;
            }
        }
        b = next;
    }
    return false;
}

void CUpdateRegion::Optimize()
{
    if (m_count < 2) {
        return;
    }
    // Joining pass. Every step keeps the covered pixels and the disjointness; the step budget only
    // guards against a shape that would keep reshaping itself.
    long budget = 64L * m_count * m_count + 1024;
    int position = 0;
    // The node at the pass's position, found again from the head only after the list changed.
    RectNode* at = m_head;
    while (m_head && position < m_count - 1 && budget-- > 0) {
        if (JoinPassStep(at)) {
            at = m_head;
            for (int i = 0; i < position; ++i) {
                at = at->next;
            }
        } else {
            ++position;
            at = at->next;
        }
    }
    // Vertical pass.
    if (m_count < 2) {
        return;
    }
    m_cursor = m_head;
    RectNode* a = m_head;
    do {
        RectNode* b = a->next;
        while (b != m_head && b->rect.top <= a->rect.bottom) {
            RectNode* next = b->next;
            if (b->rect.top == a->rect.bottom && b->rect.left == a->rect.left && b->rect.right == a->rect.right) {
                a->rect.bottom = b->rect.bottom;
                RemoveNode(b);
            }
            b = next;
        }
        a = a->next;
    } while (a != m_head);
}
