// CAnimTask: a timed task that plays the cells of a cell sheet into an image (the sheet's source,
// or a target sprite's image): forward, back and forth or at random, with a number of cycles, a
// wait after each and an optional random part of that wait. Each cell change restores the saved
// background when the draw mode asks, draws the cell and has the image's users redraw it.
#pragma once

#include "platform/random.h"
#include "platform/timed_task.h"
#include "winapi/base.h"

#include <cstdint>
#include <memory>

class CCellSheet;
class CImage;
class CSprite;
class CTimerManager;

constexpr int32_t kAnimTaskKind = 13001;

class CAnimTask : public CTimedTask {
public:
    CAnimTask() = default;
    ~CAnimTask() override = default;

    int32_t GetKind() override { return kAnimTaskKind; }
    // 0 ok; 1 a null timer manager or sheet, a sheet without source image or picture, a frame time
    // of 0 or no cells; 2 a target without image, or the timer manager refused the task (it then
    // stays the caller's). generator: a shared random state, or null for the task's own.
    int Setup(CTimerManager* timers, CCellSheet* sheet, CSprite* target, uint8_t loops, uint32_t loopWait,
              uint32_t randomRange, uint8_t randomFirstWait, SubtractiveRandomState* generator);
    // 0 go on; 1 finished (the end action applied).
    int32_t Step(uint32_t now) override;
    // The sheet moves to (x, y); with redraw and a saved background, the background goes back at
    // the old place and is saved at the new one. 0; 1 no sheet.
    int MoveTo(LONG x, LONG y, bool redraw);
    // The end of the last cycle: the sheet's end action, then the redraw.
    void Finish();

    // The end of a pause shifts the cycle by the paused time and has the next step draw the cell
    // again.
    void OnResumed(uint32_t pausedFor) override;
    // Pause and Resume at the program clock's time.
    int32_t PauseClock();
    void ResumeClock();
    // The owner's pause: the next step keeps the elapsed time and holds until a resume is asked.
    void RequestPause() { m_pauseState = m_pauseState == 0 ? 1 : m_pauseState; }
    void RequestResume() { m_resumeAsked = 1; }

    // The cell routine the cell tasks share: cell c of the sheet (cells cellHeight high) into image
    // at the sheet's position, the background restored first for a non-zero draw mode (a cell
    // outside the sheet draws nothing); then the rectangle redrawn through target, or else
    // through the sheet's users.
    static void DrawSheetCell(const CCellSheet& sheet, CImage* image, CSprite* target, int32_t cellHeight, int32_t c);
    // The sheet's end action: 1 keeps the cell, 0 or -k shows cell 0 or k, 2 and above restore
    // the background (and redraw). The cell now shown: the one kept (keep), the one drawn, or -1.
    static int32_t ShowEndCell(const CCellSheet& sheet, CImage* image, CSprite* target, int32_t cellHeight,
                               int32_t current);
    // Redraws the sheet's rectangle through target, or else through the sheet's users.
    static void RedrawSheet(const CCellSheet& sheet, CSprite* target, int32_t cellHeight);
    // The sheet's users redraw its rectangle (one cell, the picture's height, at the sheet's place).
    static void RedrawUsers(const CCellSheet& sheet);
    // Draws the current cell into sprite's image at the sheet's position (through DrawSheetCell)
    // and has the sprite redraw it → 0; 1 no sheet, no sprite, a sprite without image or no cell
    // shown yet (nothing drawn).
    int DrawFrameTo(CSprite* sprite) const;

    int32_t GetCurrentCell() const { return m_currentCell; }
    const CCellSheet* GetSheet() const { return m_sheet; }
    uint32_t GetCycleLength() const { return m_cycleLength; }
    uint32_t GetWait() const { return m_wait; }

private:
    CImage* DrawImage() const;
    // DrawSheetCell into the drawing image; c becomes the current cell.
    void DrawCell(int32_t c);
    // The cell shown at elapsed ms into a cycle.
    int32_t CellAt(uint32_t elapsed) const;
    // A random value below range (0 for range 0).
    uint32_t RandomBelow(uint32_t range);

    CCellSheet* m_sheet = nullptr;
    uint8_t m_loops = 0;
    uint32_t m_loopWait = 0;
    uint32_t m_randomRange = 0;
    SubtractiveRandomState* m_random = nullptr;
    std::unique_ptr<SubtractiveRandomState> m_ownRandom;
    int32_t m_cellHeight = 0;
    CSprite* m_target = nullptr;
    CImage* m_targetImage = nullptr;
    uint32_t m_wait = 0;
    uint32_t m_cycleLength = 0;
    int32_t m_currentCell = -1;
    uint8_t m_restart = 0;
    uint8_t m_pauseState = 0;
    uint8_t m_resumeAsked = 0;
    uint8_t m_pauseKept = 0; // the cycle start holds the elapsed time
    uint32_t m_cycleStart = 0;
};
