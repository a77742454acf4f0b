// CWipeTask: the 22 rectangle wipes that change a rectangle of a 32-bit memory image step by step
// over a duration (fades to black or white, reveals of a source picture and the same patterns
// painted with a colour operation), drawing only what changed since the last step. The runner
// functions start, query, finish and cancel them in the runner's scheduler; the game's runner
// (g_pWipeRunner) holds no scheduler, so there they give their no-scheduler answers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/timed_task.h"
#include "platform/timer_manager.h"
#include "winapi/base.h"

class CImage;

constexpr int32_t kWipeTaskKind = 11000;
constexpr int kWipeKinds = 22;

class CWipeTask : public CTimedTask {
public:
    CWipeTask() = default;
    // Calls the end hook when the begin hook was called.
    ~CWipeTask() override;

    int32_t GetKind() override { return kWipeTaskKind; }
    // 0 going on, 1 finished (the rest drawn).
    int32_t Step(uint32_t now) override;
    void BeginBusy();

    // Sets the task up from StartWipeTask's words → false for a refusal (kind, images).
    bool Init(int kind, uint32_t duration, CImage* destination, CImage* source, const int32_t words[8]);

    int GetWipeKind() const { return m_kind; }
    uint32_t GetStartTime() const { return m_start; }
    void SetStartTime(uint32_t start) { m_start = start; }
    uint32_t GetDuration() const { return m_duration; }
    uint8_t GetOperation() const { return m_mode; }
    uint32_t GetLevel() const { return m_level; }
    uint8_t GetBusyState() const { return m_busyState; }

private:
    bool IsSourceKind() const;
    // Draws the part of the worked rectangle at local coordinates (0, 0 = its corner).
    void DrawLocal(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void DrawAxis(bool rows, int64_t from, int64_t to); // a band across the rectangle
    void DrawBoxDifference(const int64_t outer[4], const int64_t inner[4]);
    void StepLines(bool rows, bool opening, bool final, uint32_t e);
    void StepBox(bool opening, bool final, uint32_t e);
    void StepCells(bool rows, bool fromEnd, bool final, uint32_t e);
    void StepSweep(bool rows, bool fromEnd, bool final, uint32_t e);
    // Plain copies between 32-bit images are gathered over a step and copied row by row at its
    // end: the column kinds would otherwise walk the whole picture once for every strip.
    struct PendingCopy {
        RECT from;
        LONG x, y;
    };
    void FlushCopies();

    int m_kind = 0;
    uint32_t m_duration = 1;
    uint32_t m_start = 0;
    CImage* m_destination = nullptr;
    RECT m_rect{0, 0, 0, 0}; // colour kinds: the rectangle; source kinds: the source rectangle
    int64_t m_progress = 0;
    int64_t m_progress2 = 0;
    LONG m_x = 0;
    LONG m_y = 0;
    CImage* m_source = nullptr;
    uint8_t m_mode = 0;
    uint8_t m_red = 0, m_green = 0, m_blue = 0;
    uint32_t m_level = 0;
    uint8_t m_busyState = 1;
    uint8_t m_finished = 0;
    uint8_t m_empty = 0;
    uint8_t m_drawnAny = 0;
    uint8_t m_rowCopies = 0;
    std::vector<PendingCopy> m_pending;
};

// The runner: one field, the scheduler its tasks run in.
struct CWipeRunner {
    CTimerManager* manager = nullptr;
};

// The game's runner; it holds no scheduler.
extern CWipeRunner* g_pWipeRunner;

// Starts a wipe → the task, or null when the runner has no scheduler, the destination is null,
// the kind is not 0..21, a source kind has no source, or the scheduler refuses it. words = a1..a8.
CWipeTask* StartWipeTask(CWipeRunner* runner, int32_t kind, uint32_t duration, CImage* destination, CImage* source,
                         const int32_t words[8]);
// The scheduler still holds the task; 0 without a scheduler.
int IsWipeTaskAlive(CWipeRunner* runner, CWipeTask* task);
// Draws the rest at once when the scheduler still holds it → 0, 1 without a scheduler.
int FinishWipeTask(CWipeRunner* runner, CWipeTask* task);
// Cancels it (what was drawn stays) → 0, 1 without a scheduler.
int CancelWipeTask(CWipeRunner* runner, CWipeTask* task);
