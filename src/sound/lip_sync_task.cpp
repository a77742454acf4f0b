#include "sound/lip_sync_task.h"

#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "platform/timer_manager.h"
#include "sound/loaded_sound.h"

int CLipSyncTask::Setup(CTimerManager* timers, CCellSheet* sheet, CLoadedSound* sound)
{
    if (!timers || !sheet || !sound || !sheet->GetSource() || !sheet->GetPicture() || sheet->GetCellCount() <= 0
        || !sound->GetBuffer())
        return 1;
    if (!sound->IsPlaying(nullptr, nullptr))
        return 2;
    m_sheet = sheet;
    m_sound = sound;
    m_cellHeight = sheet->GetPicture()->GetHeight();
    sheet->SaveBackground(sheet->GetSource());
    m_currentCell = -1;
    return timers->Add(this, 0, 0, 0) == 0 ? 0 : 3;
}

int32_t CLipSyncTask::Step(uint32_t)
{
    if (!m_sheet || !m_sound)
        return 1;
    DWORD play = 0;
    if (!m_sound->IsPlaying(&play, nullptr)) {
        m_currentCell = CAnimTask::ShowEndCell(*m_sheet, m_sheet->GetSource(), nullptr, m_cellHeight, m_currentCell);
        return 1;
    }
    const auto cell = static_cast<int32_t>(m_sound->GetLevel(play, static_cast<uint32_t>(m_sheet->GetCellCount())));
    if (cell != m_currentCell) {
        m_currentCell = cell;
        CAnimTask::DrawSheetCell(*m_sheet, m_sheet->GetSource(), nullptr, m_cellHeight, cell);
    }
    return 0;
}
