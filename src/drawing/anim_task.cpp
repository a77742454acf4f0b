#include "drawing/anim_task.h"

#include "drawing/cell_sheet.h"
#include "drawing/sprite.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"

namespace {

uint32_t SaturatedProduct(uint64_t a, uint64_t b)
{
    const uint64_t v = a * b;
    return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
}

} // namespace

int CAnimTask::Setup(CTimerManager* timers, CCellSheet* sheet, CSprite* target, uint8_t loops, uint32_t loopWait,
                     uint32_t randomRange, uint8_t randomFirstWait, SubtractiveRandomState* generator)
{
    // A frame time of 0 would divide by zero, and 0 cells would quietly play at random.
    if (!timers || !sheet || !sheet->GetSource() || !sheet->GetPicture() || sheet->GetFrameTime() == 0
        || sheet->GetCellCount() <= 0)
        return 1;
    if (target && !target->GetImage())
        return 2;
    m_sheet = sheet;
    m_target = target;
    m_targetImage = target ? target->GetImage() : nullptr;
    m_loops = loops;
    m_loopWait = loopWait;
    m_randomRange = randomRange;
    m_cellHeight = sheet->GetPicture()->GetHeight();
    sheet->SaveBackground(DrawImage());
    if (randomRange != 0 || (sheet->GetPlayMode() != 0 && sheet->GetPlayMode() != 1)) {
        if (generator) {
            m_random = generator;
        } else {
            if (!m_ownRandom) {
                m_ownRandom = std::make_unique<SubtractiveRandomState>();
                SeedSubtractiveRandom(*m_ownRandom, static_cast<int32_t>(GetTickCount()));
            }
            m_random = m_ownRandom.get();
        }
    }
    m_wait = randomFirstWait ? m_loopWait + RandomBelow(m_randomRange) : 0;
    m_restart = 1;
    m_currentCell = -1;
    const uint32_t cells = static_cast<uint32_t>(sheet->GetCellCount());
    switch (sheet->GetPlayMode()) {
    case 0: m_cycleLength = SaturatedProduct(cells, sheet->GetFrameTime()); break;
    case 1: m_cycleLength = SaturatedProduct(2ull * cells - 1, sheet->GetFrameTime()); break;
    default: m_cycleLength = 0; break;
    }
    return timers->Add(this, 0, 0, 0) == 0 ? 0 : 2;
}

uint32_t CAnimTask::RandomBelow(uint32_t range)
{
    if (range == 0 || !m_random)
        return 0;
    return DrawSubtractiveRandom(*m_random) % range;
}

CImage* CAnimTask::DrawImage() const
{
    return m_targetImage ? m_targetImage : m_sheet->GetSource();
}

int32_t CAnimTask::CellAt(uint32_t elapsed) const
{
    const int32_t cells = m_sheet->GetCellCount();
    int64_t cell = elapsed / m_sheet->GetFrameTime();
    if (cell >= cells)
        cell = 2 * static_cast<int64_t>(cells) - cell - 2; // back and forth
    return static_cast<int32_t>(cell < 0 ? 0 : cell);
}

void CAnimTask::RedrawSheet(const CCellSheet& sheet, CSprite* target, int32_t cellHeight)
{
    const RECT rect{sheet.GetX(), sheet.GetY(), AddClamped(sheet.GetX(), sheet.GetCellWidth()),
                    AddClamped(sheet.GetY(), cellHeight)};
    if (target) {
        RECT r = rect;
        target->InvalidateLocalRect(&r);
    } else {
        sheet.RedrawUsers(rect);
    }
}

void CAnimTask::RedrawUsers(const CCellSheet& sheet)
{
    const CImage* picture = sheet.GetPicture();
    RedrawSheet(sheet, nullptr, picture ? picture->GetHeight() : sheet.GetCellHeight());
}

int CAnimTask::DrawFrameTo(CSprite* sprite) const
{
    if (!m_sheet || !sprite || !sprite->GetImage() || m_currentCell < 0)
        return 1;
    DrawSheetCell(*m_sheet, sprite->GetImage(), sprite, m_cellHeight, m_currentCell);
    return 0;
}

void CAnimTask::DrawSheetCell(const CCellSheet& sheet, CImage* image, CSprite* target, int32_t cellHeight, int32_t c)
{
    const CImage* picture = sheet.GetPicture();
    if (!image || !picture)
        return;
    const bool drawn = c >= 0 && c < sheet.GetColumns();
    if (sheet.GetDrawMode() != 0 && !(drawn && sheet.GetDrawMode() == 1))
        sheet.RestoreBackground(image);
    if (drawn) {
        const LONG w = sheet.GetCellWidth();
        const RECT cell{static_cast<LONG>(c * w), 0, static_cast<LONG>((c + 1) * w), cellHeight};
        const LONG x = sheet.GetX(), y = sheet.GetY();
        if (sheet.GetDrawMode() == 1)
            sheet.RestoreAndBlendCell(image, cell);
        else if (picture->HasAlpha())
            sheet.CopyCell(image, cell);
        else
            image->CopyColorKeepAlpha(picture, x, y, &cell);
    }
    RedrawSheet(sheet, target, cellHeight);
}

int32_t CAnimTask::ShowEndCell(const CCellSheet& sheet, CImage* image, CSprite* target, int32_t cellHeight,
                               int32_t current)
{
    const int32_t action = sheet.GetEndAction();
    if (action == 1)
        return current;
    if (action <= 0) {
        DrawSheetCell(sheet, image, target, cellHeight, -action);
        return -action;
    }
    sheet.RestoreBackground(image);
    RedrawSheet(sheet, target, cellHeight);
    return -1;
}

void CAnimTask::DrawCell(int32_t c)
{
    m_currentCell = c;
    DrawSheetCell(*m_sheet, DrawImage(), m_target, m_cellHeight, c);
}

int32_t CAnimTask::Step(uint32_t now)
{
    if (!m_sheet)
        return 1;
    // The owner's pause keeps the elapsed time in the cycle start (not while a restart is due).
    if (m_pauseState == 1) {
        m_pauseKept = !m_restart;
        if (m_pauseKept)
            m_cycleStart = now - m_cycleStart;
        m_pauseState = 2;
    }
    if (m_pauseState == 2) {
        if (!m_resumeAsked)
            return 0;
        if (m_pauseKept)
            m_cycleStart = now - m_cycleStart;
        m_pauseState = 0;
        m_resumeAsked = 0;
        m_pauseKept = 0;
    }
    if (m_restart) {
        m_cycleStart = now;
        m_restart = 0;
    }
    if (m_wait != 0) {
        if (now - m_cycleStart < m_wait)
            return 0;
        m_cycleStart = now;
        m_wait = 0;
    }
    const uint32_t elapsed = now - m_cycleStart;
    const int32_t cells = m_sheet->GetCellCount();
    if (m_cycleLength == 0) {
        // Random mode: one random cell (never the one on show) a frame; each counts as a cycle.
        if (elapsed < m_sheet->GetFrameTime())
            return 0;
        int32_t cell = static_cast<int32_t>(DrawSubtractiveRandom(*m_random) % static_cast<uint32_t>(cells));
        if (cell == m_currentCell)
            cell = cell + 1 < cells ? cell + 1 : 0;
        DrawCell(cell);
        m_cycleStart += elapsed;
    } else if (elapsed < m_cycleLength) {
        const int32_t cell = CellAt(elapsed);
        if (cell != m_currentCell)
            DrawCell(cell);
        return 0;
    } else {
        m_cycleStart += elapsed;
        const int32_t last = CellAt(m_cycleLength - 1);
        if (last != m_currentCell)
            DrawCell(last);
    }
    // A cycle is complete.
    if (m_loops != 0 && m_loops-- == 1) {
        Finish();
        return 1;
    }
    m_wait = m_loopWait + RandomBelow(m_randomRange);
    return 0;
}

void CAnimTask::Finish()
{
    if (m_sheet)
        m_currentCell = ShowEndCell(*m_sheet, DrawImage(), m_target, m_cellHeight, m_currentCell);
}

int CAnimTask::MoveTo(LONG x, LONG y, bool redraw)
{
    if (!m_sheet)
        return 1;
    if (redraw && m_sheet->GetWorkImage()) {
        if (m_sheet->RestoreBackground(DrawImage()))
            RedrawSheet(*m_sheet, m_target, m_cellHeight);
        m_sheet->SetPosition(x, y);
        m_sheet->SaveBackground(DrawImage());
        m_currentCell = -1; // the next step draws the cell at its new place
    } else {
        m_sheet->SetPosition(x, y);
    }
    return 0;
}

void CAnimTask::OnResumed(uint32_t pausedFor)
{
    if (!m_restart && m_pauseState == 0)
        m_cycleStart += pausedFor;
    m_currentCell = -1;
}

int32_t CAnimTask::PauseClock()
{
    return Pause(TimerNow());
}

void CAnimTask::ResumeClock()
{
    Resume(TimerNow());
}
