#include "effects/wipe_task.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "display/screen_filter.h"
#include "platform/timer_resolution.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/wipe_blocks.h"

namespace {

CWipeRunner g_WipeRunner;

bool Empty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

// progress target = trunc(e × measure / duration), in 64 bits (e × (H/2) and e × (n + 15) used
// to overflow 32 bits for long durations).
int64_t Scaled(uint32_t e, int64_t measure, uint32_t duration)
{
    return static_cast<int64_t>(e) * measure / static_cast<int64_t>(duration);
}

// Copies whole pixels (bytes a multiple of 4) between two images without a call for the short
// runs the column kinds copy, one pixel to a strip at a time; long runs go to memcpy.
inline void CopyFewPixels(BYTE* to, const BYTE* from, size_t bytes)
{
    if (bytes >= 256)
        std::memcpy(to, from, bytes);
    else
        wipe::CopyShort(to, from, static_cast<int>(bytes / 4));
}

} // namespace

CWipeRunner* g_pWipeRunner = &g_WipeRunner;

CWipeTask::~CWipeTask()
{
    if (m_busyState == 2 && g_pfnRestoreThreadPriority != nullptr)
        g_pfnRestoreThreadPriority();
}

void CWipeTask::BeginBusy()
{
    if (m_busyState == 1 && g_pfnLowerThreadPriority != nullptr) {
        g_pfnLowerThreadPriority();
        m_busyState = 2;
    }
}

bool CWipeTask::IsSourceKind() const
{
    return (m_kind >= 2 && m_kind <= 7) || m_kind >= 14;
}

bool CWipeTask::Init(int kind, uint32_t duration, CImage* destination, CImage* source, const int32_t a[8])
{
    if (destination == nullptr || kind < 0 || kind >= kWipeKinds)
        return false;
    m_kind = kind;
    m_duration = duration == 0 ? 1 : duration;
    m_destination = destination;
    if (IsSourceKind()) {
        if (source == nullptr)
            return false;
        m_source = source;
        m_x = a[0] == 65535 ? 0 : a[0];
        m_y = a[1];
        m_mode = static_cast<uint8_t>(a[2]);
        if (static_cast<uint16_t>(a[3]) == 65535) {
            m_rect = source->ClipRect();
        } else {
            const LONG left = static_cast<uint16_t>(a[3]), top = static_cast<uint16_t>(a[4]);
            m_rect = RECT{left, top, left + static_cast<uint16_t>(a[5]), top + static_cast<uint16_t>(a[6])};
        }
        // Nothing of the source, or nothing of it landing in the destination: done at once.
        const RECT inSource = Intersect(m_rect, source->ClipRect());
        const RECT placed{m_x, m_y, static_cast<LONG>(std::clamp<int64_t>(int64_t{m_x} + (m_rect.right - m_rect.left), INT32_MIN, INT32_MAX)),
                          static_cast<LONG>(std::clamp<int64_t>(int64_t{m_y} + (m_rect.bottom - m_rect.top), INT32_MIN, INT32_MAX))};
        m_empty = Empty(inSource) || Empty(Intersect(placed, destination->ClipRect()));
        m_rowCopies = m_mode == 0 && source->GetBitsPerPixel() == 32 && destination->GetBitsPerPixel() == 32 &&
                      source->GetColorKey() == kNoColorKey && source != destination;
        if (m_rowCopies) {
            // A step gathers at most one piece a 16-pixel cell (and a few more): room for them once.
            const int64_t across = std::max(int64_t{m_rect.right} - m_rect.left, int64_t{m_rect.bottom} - m_rect.top);
            m_pending.reserve(static_cast<size_t>(std::clamp<int64_t>(across / 16 + 4, 4, 8192)));
        }
    } else {
        if (a[0] == 65535) {
            m_rect = destination->ClipRect();
        } else {
            const int64_t w = static_cast<uint16_t>(a[2]), h = static_cast<uint16_t>(a[3]);
            m_rect = RECT{a[0], a[1], static_cast<LONG>(std::min<int64_t>(a[0] + w, INT32_MAX)),
                          static_cast<LONG>(std::min<int64_t>(a[1] + h, INT32_MAX))};
        }
        m_empty = Empty(Intersect(m_rect, destination->ClipRect()));
        if (kind >= 8) {
            const uint32_t word = static_cast<uint32_t>(a[4]);
            m_red = static_cast<uint8_t>(a[5]);
            m_green = static_cast<uint8_t>(a[6]);
            m_blue = static_cast<uint8_t>(a[7]);
            if (word == 0) {
                m_mode = 0;
                m_level = 128;
            } else if (word == 1 || word == 2) {
                m_mode = static_cast<uint8_t>(word);
            } else if (word == 3) {
                m_mode = 3;
                m_level = static_cast<uint32_t>(a[5]);
            } else {
                m_mode = 0;
                m_level = word > 255 ? 128 : word;
            }
        }
    }
    return true;
}

void CWipeTask::DrawLocal(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    const int64_t w = int64_t{m_rect.right} - m_rect.left, h = int64_t{m_rect.bottom} - m_rect.top;
    left = std::clamp<int64_t>(left, 0, w);
    right = std::clamp<int64_t>(right, 0, w);
    top = std::clamp<int64_t>(top, 0, h);
    bottom = std::clamp<int64_t>(bottom, 0, h);
    if (left >= right || top >= bottom)
        return;
    m_drawnAny = 1;
    const RECT part{static_cast<LONG>(m_rect.left + left), static_cast<LONG>(m_rect.top + top),
                    static_cast<LONG>(m_rect.left + right), static_cast<LONG>(m_rect.top + bottom)};
    if (IsSourceKind()) {
        const int64_t x = m_x + left, y = m_y + top;
        if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
            return;
        if (m_rowCopies) {
            m_pending.push_back(PendingCopy{part, static_cast<LONG>(x), static_cast<LONG>(y)});
            return;
        }
        if (m_mode == 0)
            m_destination->Copy(m_source, static_cast<LONG>(x), static_cast<LONG>(y), &part, false);
        else
            m_destination->BlendAlpha(m_source, static_cast<LONG>(x), static_cast<LONG>(y), &part, false);
        return;
    }
    switch (m_mode) {
    case 0: FillRectAlpha(*m_destination, m_red, m_green, m_blue, static_cast<BYTE>(m_level), &part); break;
    case 1: AddColor(*m_destination, m_red, m_green, m_blue, &part); break;
    case 2: SubColor(*m_destination, m_red, m_green, m_blue, &part); break;
    default: m_destination->AdjustBrightness(static_cast<uint16_t>(std::min<uint32_t>(m_level, 65535)), &part); break;
    }
}

void CWipeTask::DrawAxis(bool rows, int64_t from, int64_t to)
{
    const int64_t w = int64_t{m_rect.right} - m_rect.left, h = int64_t{m_rect.bottom} - m_rect.top;
    if (rows)
        DrawLocal(0, from, w, to);
    else
        DrawLocal(from, 0, to, h);
}

// Draws outer minus inner (inner inside outer; an empty inner: all of outer). Boxes are
// {left, top, right, bottom}.
void CWipeTask::DrawBoxDifference(const int64_t o[4], const int64_t i[4])
{
    if (i[0] >= i[2] || i[1] >= i[3]) {
        DrawLocal(o[0], o[1], o[2], o[3]);
        return;
    }
    DrawLocal(o[0], o[1], o[2], i[1]);
    DrawLocal(o[0], i[3], o[2], o[3]);
    DrawLocal(o[0], i[1], i[0], i[3]);
    DrawLocal(i[2], i[1], o[2], i[3]);
}

void CWipeTask::StepLines(bool rows, bool opening, bool final, uint32_t e)
{
    const int64_t n = rows ? int64_t{m_rect.bottom} - m_rect.top : int64_t{m_rect.right} - m_rect.left;
    const int64_t half = n >> 1;
    const int64_t t0 = m_progress;
    const int64_t t1 = final ? half : std::min(Scaled(e, half, m_duration), half);
    if (t1 > t0) {
        if (opening) {
            DrawAxis(rows, half - t1, half - t0);
            DrawAxis(rows, n - half + t0, n - half + t1);
        } else {
            DrawAxis(rows, t0, t1);
            DrawAxis(rows, n - t1, n - t0);
        }
        m_progress = t1;
    }
    if (final)
        DrawAxis(rows, half, n - half); // the middle line an odd size leaves over
}

void CWipeTask::StepBox(bool opening, bool final, uint32_t e)
{
    const int64_t w = int64_t{m_rect.right} - m_rect.left, h = int64_t{m_rect.bottom} - m_rect.top;
    const int64_t hw = w >> 1, hh = h >> 1;
    const int64_t ty0 = m_progress, tx0 = m_progress2;
    const int64_t ty1 = final ? hh : std::min(Scaled(e, hh, m_duration), hh);
    const int64_t tx1 = final ? hw : std::min(Scaled(e, hw, m_duration), hw);
    if (opening) {
        // The revealed box grows from the centre; before anything was drawn it is empty.
        const int64_t before[4] = {hw - tx0, hh - ty0, w - hw + tx0, h - hh + ty0};
        const int64_t none[4] = {0, 0, 0, 0};
        const int64_t after[4] = {final ? 0 : hw - tx1, final ? 0 : hh - ty1, final ? w : w - hw + tx1,
                                  final ? h : h - hh + ty1};
        if (final || ty1 != ty0 || tx1 != tx0 || !m_drawnAny)
            DrawBoxDifference(after, m_drawnAny ? before : none);
    } else {
        // The hidden box shrinks to the centre; the final step also draws what is left of it.
        const int64_t before[4] = {tx0, ty0, w - tx0, h - ty0};
        const int64_t none[4] = {0, 0, 0, 0};
        const int64_t after[4] = {tx1, ty1, w - tx1, h - ty1};
        if (final || ty1 != ty0 || tx1 != tx0)
            DrawBoxDifference(before, final ? none : after);
    }
    m_progress = ty1;
    m_progress2 = tx1;
}

void CWipeTask::StepCells(bool rows, bool fromEnd, bool final, uint32_t e)
{
    const int64_t n = rows ? int64_t{m_rect.bottom} - m_rect.top : int64_t{m_rect.right} - m_rect.left;
    const int64_t t0 = m_progress;
    const int64_t t1 = final ? 16 : std::min<int64_t>(Scaled(e, 16, m_duration), 16);
    if (t1 <= t0)
        return;
    for (int64_t c = 0; c < n; c += 16) {
        if (fromEnd)
            DrawAxis(rows, std::min(c + 16 - t1, n), std::min(c + 16 - t0, n));
        else
            DrawAxis(rows, std::min(c + t0, n), std::min(c + t1, n));
    }
    m_progress = t1;
}

void CWipeTask::StepSweep(bool rows, bool fromEnd, bool final, uint32_t e)
{
    const int64_t n = rows ? int64_t{m_rect.bottom} - m_rect.top : int64_t{m_rect.right} - m_rect.left;
    const int64_t strips = (n + 15) / 16;
    const int64_t t0 = m_progress;
    const int64_t t1 = final ? strips + 15 : std::min(Scaled(e, strips + 15, m_duration), strips + 15);
    if (t1 <= t0)
        return;
    // Only the strips with i in (t0 - 16, t1) change.
    for (int64_t i = std::max<int64_t>(0, t0 - 16); i < std::min(strips, t1); ++i) {
        const int64_t a0 = std::clamp<int64_t>(t0 - i, 0, 16), a1 = std::clamp<int64_t>(t1 - i, 0, 16);
        if (a1 <= a0)
            continue;
        if (fromEnd) {
            const int64_t end = n - 16 * i;
            DrawAxis(rows, std::max<int64_t>(end - a1, 0), std::max<int64_t>(end - a0, 0));
        } else {
            const int64_t c = 16 * i;
            DrawAxis(rows, std::min(c + a0, n), std::min(c + a1, n));
        }
    }
    m_progress = t1;
}

void CWipeTask::FlushCopies()
{
    if (m_pending.empty())
        return;
    // Each piece cut to both images first.
    LONG top = INT32_MAX, bottom = INT32_MIN;
    size_t kept = 0;
    for (PendingCopy c : m_pending) {
        const RECT sourceClip = m_source->ClipRect(), destClip = m_destination->ClipRect();
        RECT from = Intersect(c.from, sourceClip);
        c.x += from.left - c.from.left;
        c.y += from.top - c.from.top;
        const RECT to = Intersect(RECT{c.x, c.y, c.x + (from.right - from.left), c.y + (from.bottom - from.top)}, destClip);
        if (Empty(from) || Empty(to))
            continue;
        from.left += to.left - c.x;
        from.top += to.top - c.y;
        from.right = from.left + (to.right - to.left);
        from.bottom = from.top + (to.bottom - to.top);
        m_pending[kept++] = PendingCopy{from, to.left, to.top};
        top = std::min(top, to.top);
        bottom = std::max(bottom, to.bottom);
        m_destination->MarkChanged(to);
    }
    m_pending.resize(kept);
    // Bands across the rows are copied one after the other; narrow columns row by row together.
    bool columns = true;
    for (const PendingCopy& c : m_pending)
        columns = columns && c.from.right - c.from.left < c.from.bottom - c.from.top;
    const intptr_t toPitch = m_destination->GetPitch(), fromPitch = m_source->GetPitch();
    if (!columns) {
        for (const PendingCopy& c : m_pending) {
            const size_t bytes = size_t(c.from.right - c.from.left) * 4;
            BYTE* to = m_destination->GetBits() + intptr_t(c.y) * toPitch + intptr_t(c.x) * 4;
            const BYTE* from = m_source->GetBits() + intptr_t(c.from.top) * fromPitch + intptr_t(c.from.left) * 4;
            for (LONG y = 0; y < c.from.bottom - c.from.top; ++y, to += toPitch, from += fromPitch)
                CopyFewPixels(to, from, bytes);
        }
        m_pending.clear();
        return;
    }
    // Columns over the same rows from the same source rows (the usual case: every strip of a
    // step spans the rectangle) share their row pointers.
    bool sameRows = true;
    const PendingCopy& first = m_pending.front();
    for (const PendingCopy& c : m_pending)
        sameRows = sameRows && c.y == first.y && c.from.top == first.from.top && c.from.bottom == first.from.bottom;
    if (sameRows && m_pending.size() <= 2) {
        // A strip or two (the line kinds): each copied down its rows by itself.
        for (const PendingCopy& c : m_pending) {
            BYTE* to = m_destination->GetBits() + intptr_t(c.y) * toPitch + intptr_t(c.x) * 4;
            const BYTE* from = m_source->GetBits() + intptr_t(c.from.top) * fromPitch + intptr_t(c.from.left) * 4;
            const size_t bytes = size_t(c.from.right - c.from.left) * 4;
            for (LONG y = c.from.top; y < c.from.bottom; ++y, to += toPitch, from += fromPitch)
                CopyFewPixels(to, from, bytes);
        }
        m_pending.clear();
        return;
    }
    if (sameRows) {
        BYTE* to = m_destination->GetBits() + intptr_t(first.y) * toPitch;
        const BYTE* from = m_source->GetBits() + intptr_t(first.from.top) * fromPitch;
        for (LONG y = first.from.top; y < first.from.bottom; ++y, to += toPitch, from += fromPitch)
            for (const PendingCopy& c : m_pending)
                CopyFewPixels(to + intptr_t(c.x) * 4, from + intptr_t(c.from.left) * 4,
                              size_t(c.from.right - c.from.left) * 4);
        m_pending.clear();
        return;
    }
    for (LONG y = top; y < bottom; ++y) {
        BYTE* row = m_destination->GetBits() + intptr_t(y) * toPitch;
        for (const PendingCopy& c : m_pending) {
            const LONG h = c.from.bottom - c.from.top;
            if (y < c.y || y >= c.y + h)
                continue;
            const BYTE* from = m_source->GetBits() + intptr_t(c.from.top + (y - c.y)) * fromPitch +
                               intptr_t(c.from.left) * 4;
            CopyFewPixels(row + intptr_t(c.x) * 4, from, size_t(c.from.right - c.from.left) * 4);
        }
    }
    m_pending.clear();
}

int32_t CWipeTask::Step(uint32_t now)
{
    if (m_finished)
        return 1;
    const uint32_t e = now - m_start;
    // A rectangle with nothing left after clipping has nothing to draw.
    const bool final = e >= m_duration || m_empty;
    if (!m_empty) {
        switch (m_kind) {
        case 0:
        case 1: {
            int64_t d;
            if (final) {
                d = 255;
            } else {
                const int64_t level = static_cast<int64_t>(std::trunc(e * 255.0 / m_duration));
                d = level - m_progress;
                m_progress = level;
            }
            if (d > 0) {
                const BYTE v = static_cast<BYTE>(std::min<int64_t>(d, 255));
                const RECT r = m_rect;
                if (m_kind == 0)
                    SubColor(*m_destination, v, v, v, &r);
                else
                    AddColor(*m_destination, v, v, v, &r);
            }
            break;
        }
        case 2: case 8: StepLines(true, true, final, e); break;
        case 3: case 9: StepLines(false, true, final, e); break;
        case 4: case 10: StepBox(true, final, e); break;
        case 5: case 11: StepLines(true, false, final, e); break;
        case 6: case 12: StepLines(false, false, final, e); break;
        case 7: case 13: StepBox(false, final, e); break;
        case 14: StepCells(false, false, final, e); break;
        case 15: StepCells(false, true, final, e); break;
        case 16: StepCells(true, false, final, e); break;
        case 17: StepCells(true, true, final, e); break;
        case 18: StepSweep(false, false, final, e); break;
        case 19: StepSweep(false, true, final, e); break;
        case 20: StepSweep(true, false, final, e); break;
        default: StepSweep(true, true, final, e); break;
        }
        FlushCopies();
    }
    if (!final)
        return 0;
    m_start = 0;
    m_finished = 1;
    return 1;
}

CWipeTask* StartWipeTask(CWipeRunner* runner, int32_t kind, uint32_t duration, CImage* destination, CImage* source,
                         const int32_t words[8])
{
    if (runner == nullptr || runner->manager == nullptr || words == nullptr)
        return nullptr;
    auto* task = new (std::nothrow) CWipeTask;
    if (task == nullptr)
        return nullptr;
    if (!task->Init(kind, duration, destination, source, words)) {
        delete task;
        return nullptr;
    }
    task->SetStartTime(TimerNow());
    const uint32_t period = kind <= 1 ? task->GetDuration() / 256 : 0;
    if (runner->manager->Add(task, period, period, 0) != 0) {
        delete task;
        return nullptr;
    }
    task->BeginBusy();
    return task;
}

int IsWipeTaskAlive(CWipeRunner* runner, CWipeTask* task)
{
    if (runner == nullptr || runner->manager == nullptr)
        return 0;
    return runner->manager->Contains(task) ? 1 : 0;
}

int FinishWipeTask(CWipeRunner* runner, CWipeTask* task)
{
    if (runner == nullptr || runner->manager == nullptr)
        return 1;
    if (runner->manager->Contains(task))
        task->Step(task->GetStartTime() + task->GetDuration());
    return 0;
}

int CancelWipeTask(CWipeRunner* runner, CWipeTask* task)
{
    if (runner == nullptr || runner->manager == nullptr)
        return 1;
    if (runner->manager->Contains(task))
        runner->manager->Cancel(task);
    return 0;
}
