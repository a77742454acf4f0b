// CLipSyncTask: shows the cell of a cell sheet that matches the loudness of a playing sound at
// its play position (mouth movement while a voice plays); when the sound stops it shows the
// sheet's end cell and ends. It draws through the cell tasks' cell routine.
#pragma once

#include "platform/timed_task.h"

#include <cstdint>

class CCellSheet;
class CLoadedSound;
class CTimerManager;

constexpr int32_t kLipSyncTaskKind = 13002;

class CLipSyncTask : public CTimedTask {
public:
    CLipSyncTask() = default;

    int32_t GetKind() override { return kLipSyncTaskKind; }
    // 0 ok; 1 a null argument, a sheet without source image or cells, or a sound that is not
    // loaded; 2 the sound is not playing; 3 the timer manager refused the task (it stays the
    // caller's). The background at the sheet's position is saved when the sheet keeps a work image.
    int Setup(CTimerManager* timers, CCellSheet* sheet, CLoadedSound* sound);
    // 0 go on; 1 the sound stopped (the end cell is shown).
    int32_t Step(uint32_t now) override;

    int32_t GetCurrentCell() const { return m_currentCell; }
    const CCellSheet* GetSheet() const { return m_sheet; }

private:
    CCellSheet* m_sheet = nullptr;
    int32_t m_cellHeight = 0;
    int32_t m_currentCell = -1;
    CLoadedSound* m_sound = nullptr;
};
