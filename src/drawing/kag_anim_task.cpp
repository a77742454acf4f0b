#include "drawing/kag_anim_task.h"

#include "drawing/kag_file.h"
#include "drawing/scene.h"
#include "platform/timer_manager.h"

CKagAnimTask::~CKagAnimTask()
{
    ReleaseFile();
}

int CKagAnimTask::Setup(CTimerManager* timers, CScene* scene, CKagFile* file, int32_t group, int32_t loops,
                        uint32_t priority, uint8_t catchUp, uint8_t endWhenDone, uint8_t ownsFile, uint32_t startDelay)
{
    if (!timers || !scene || !file)
        return 1;
    const int32_t start = group < 0 ? -1 : file->GetGroupStart(static_cast<uint32_t>(group));
    if (start < 0)
        return 2;
    if (file->GetEntries()[start].picture < 0)
        return 3;
    m_file = file;
    m_groupStart = start;
    m_current = start;
    m_group = group;
    ShowEntry();
    m_loops = loops;
    m_catchUp = catchUp;
    m_endWhenDone = endWhenDone;
    m_ownsFile = ownsFile;
    m_startDelay = startDelay;
    m_state = 0;
    if (timers->Add(this, 0, 0, 0) != 0) {
        m_ownsFile = 0;
        return 4;
    }
    m_scene = scene;
    if (startDelay)
        m_sprite.SetVisible(false);
    scene->GetList().Insert(&m_sprite, priority, 0);
    return 0;
}

void CKagAnimTask::ShowEntry()
{
    const KagEntry& e = m_file->GetEntries()[m_current];
    const LONG x = AddClamped(m_baseX, e.x), y = AddClamped(m_baseY, e.y);
    if (CImage* picture = m_file->GetPicture(e.picture)) {
        m_sprite.SetImage(picture, nullptr, x, y);
    } else {
        m_sprite.Reset();
        m_sprite.SetPosition(x, y);
    }
}

void CKagAnimTask::ReleaseFile()
{
    if (m_ownsFile && m_file)
        m_file->Release();
    m_ownsFile = 0;
}

void CKagAnimTask::Finish()
{
    ReleaseFile();
    if (m_scene && !m_scene->GetList().Remove(&m_sprite) && m_scene->GetOverlay())
        m_scene->GetOverlay()->Remove(&m_sprite);
    m_scene = nullptr;
}

int CKagAnimTask::Advance()
{
    ++m_current;
    if (m_file->GetEntries()[m_current].picture >= 0)
        return 0;
    if (m_nextGroup) {
        const int32_t start = m_file->GetGroupStart(static_cast<uint32_t>(m_group) + 1);
        if (start < 0 || m_file->GetEntries()[start].picture < 0) {
            ReleaseFile();
            return 2;
        }
        ++m_group;
        m_groupStart = m_current = start;
        m_nextGroup = 0;
        return 0;
    }
    if (m_loops == 0) {
        m_state = 2;
        --m_current; // stay on the last real entry
        return 3;
    }
    if (m_loops > 0 && m_loops-- == 1) {
        ReleaseFile();
        return 1;
    }
    m_current = m_groupStart;
    return 0;
}

int32_t CKagAnimTask::Step(uint32_t now)
{
    if (!m_file)
        return 1;
    if (m_state == 0) {
        m_state = 1;
        m_frameStart = now;
        return 0;
    }
    if (m_state == 2) {
        if (!m_endWhenDone)
            return 0;
        ReleaseFile();
        return 1;
    }
    if (m_startDelay) {
        if (now - m_frameStart < m_startDelay)
            return 0;
        m_frameStart = now;
        m_startDelay = 0;
        m_sprite.SetVisible(true);
    }
    uint32_t elapsed = now - m_frameStart;
    const int32_t before = m_current;
    if (m_catchUp) {
        // A group of zero-time entries that loops or chains would never use up the time: one step
        // visits at most as many entries as the file holds, then the frame starts now.
        uint32_t visits = 0;
        while (m_state == 1 && elapsed >= m_file->GetEntries()[m_current].time) {
            if (visits++ >= m_file->GetEntryCount()) {
                m_frameStart = now;
                break;
            }
            const uint32_t time = m_file->GetEntries()[m_current].time;
            elapsed -= time;
            m_frameStart += time;
            const int code = Advance();
            if (code == 1 || code == 2)
                return code;
        }
    } else if (elapsed >= m_file->GetEntries()[m_current].time) {
        m_frameStart = now;
        const int code = Advance();
        if (code == 1 || code == 2)
            return code;
    }
    if (m_current != before)
        ShowEntry();
    return 0;
}
