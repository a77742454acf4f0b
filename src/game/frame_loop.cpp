// The system script's start and the frame loop: the frame timer decides how many script steps
// each shown frame runs, in both threading modes; natives that wait inside a call step whole
// frames through StepFrame.
#include <algorithm>
#include <cstdio>
#include <new>

#include "game/game_app.h"
#include "game/game_main.h"
#include "game/thread_priority.h"
#include "natives/script_host.h"
#include "platform/timer_resolution.h"
#include "script/script_stop.h"
#include "winapi/clock.h"
#include "winapi/kernel.h"
#include "winapi/mmsystem.h"
#include "winapi/user.h"

int CGameApp::StartScriptHost()
{
    ClearScriptStop();
    m_host.reset();
    // The host's caption reads the popup-hint settings while it is made.
    g_pAppConfig = &m_settings.config;
    try {
        m_host = std::make_unique<CScriptHost>();
    } catch (const std::bad_alloc&) {
        Message("スクリプトを実行するためのメモリを確保出来ません", 4);
        return 1;
    }
    AddExtraNatives();
    m_host->SetReadLogFolder(m_saveFolder.c_str());
    if (m_host->LoadSystemFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB", true, true) !=
        0) {
        Message("スクリプト初期化ファイルのロードに失敗", 4);
        return 2;
    }
    m_host->LoadVoiceInfo("SCRIPT\\VOICEINF.DAT");
    ApplySoundSettings();
    switch (const int code = m_host->OpenScript("MAIN", nullptr)) {
    case 0:
        break;
    case 1:
        Message("メインスクリプトを開けません", 4);
        return 3;
    case 2:
        Message("メインスクリプトが不正です", 4);
        return 4;
    case 3:
        // A failed link: the script is damaged (the code stays that of a debug-mode script).
        Message("メインスクリプトが不正です", 4);
        return 5;
    default:
        return code + 2;
    }
    const bool idle = GetScreen() != nullptr && GetScreen()->HasFrameImage();
    // The threading mode, not the worker's state: a worker that never started answers "running".
    if (HasMessageLoop())
        m_driver = idle ? &CGameApp::WaitTicksLockedIdle : &CGameApp::WaitTicksLocked;
    else
        m_driver = idle ? &CGameApp::WaitTicksIdle : &CGameApp::WaitTicks;
    return 0;
}

int CGameApp::StepFrame()
{
    return m_driver != nullptr ? (this->*m_driver)() : 0;
}

int CGameApp::OnThreadStart()
{
    m_timer.SetCountLateFrames(m_settings.user.user[kUserCountLateFrames] != 0);
    m_screenObject.SetColorKeyEnable(1);
    m_screenObject.SetCullMode(1);
    if (StartScriptHost() != 0) {
        m_endCode = 1;
        return 1;
    }
    return 0;
}

void CGameApp::OnThreadEnd()
{
    m_host.reset();
}

void CGameApp::OnGameThreadStopRequested()
{
    RequestScriptStop(kScriptStopGraceMs);
}

void CGameApp::OnGameThreadHung(int)
{
    std::fprintf(stderr, "tessaro: the game thread did not stop; ending without it\n");
    ExitProcess(kExitGameError + kRunBadScriptEnd);
}

void CGameApp::WaitFor(uint32_t ms)
{
    // Never a spin. With the high-resolution timer the wait ends when the frame falls due, in one
    // sleep: its hints are whole milliseconds (0 for the last half of a frame, where Sleep(0)
    // would busy-wait), and waiting them out one by one woke the thread several times a frame,
    // each wakeup as late as the scheduler made it.
    if (m_timer.IsHighResolution()) {
        // At least a microsecond (a millisecond on a virtual clock), so a frame the timer does
        // not yet call due is never waited for by a spin.
        winapi::SleepMicroseconds(std::max<uint64_t>(m_timer.MicrosecondsUntilDue(), 1));
        return;
    }
    Sleep(ms == 0 ? 1 : ms);
}

void CGameApp::WaitUntilDue(bool idle)
{
    // While effects hold the priority down the frame is drawn between frames too. The loop still
    // waits: the stand-in cannot lower a thread's priority, so drawing without a pause would take
    // a whole core from everything else.
    if (IsThreadPriorityLowered())
        ShowFrame(idle);
    WaitFor(m_timer.GetWaitHint());
}

void CGameApp::FeedTaskList(bool locked)
{
    if (!locked) {
        m_taskList.RunDue(TimerNow());
        return;
    }
    CScopedLock guard(&m_appLock);
    m_taskList.RunDue(TimerNow());
}

bool CGameApp::MustWaitInactive()
{
    if (IsActive())
        return false;
    return m_settings.user.stopWhenInactive != 0 || GetPendingRestore() != 0;
}

void CGameApp::ShowFrame(bool idle)
{
    // A window movie paints itself: nothing is presented over it (an idle driver without a
    // primary surface still shows its frame image, the movie being drawn into it).
    if (m_moviePlaying.load() != 0 && (!idle || m_screenObject.GetPrimary() != nullptr))
        return;
    CScopedLock guard(&GetFrameLock());
    if (idle) {
        m_screenObject.RenderFrameImage();
        return;
    }
    // The scene objects of the task list are drawn into the back buffer, then shown.
    if (m_clearBeforeDraw != 0)
        m_screenObject.ClearBackBuffer();
    if (IDirectDrawSurface7* back = m_screenObject.GetBackBuffer())
        m_screenObject.RenderAll(back, &m_screenObject.GetOutputRect(), &m_screenObject);
    m_screenObject.Present();
}

int CGameApp::RunGameJob(const std::function<int()>& work)
{
    CWorkerThread& thread = GetGameThread();
    const bool onGameThread = thread.GetThreadId() == GetCurrentThreadId();
    if (!HasMessageLoop() || onGameThread || !IsRunningFlag())
        return work();
    if (!thread.IsRunning())
        return -1;
    GameJob job;
    job.work = &work;
    job.finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (job.finished == nullptr)
        return -1;
    struct CloseEvent {
        HANDLE event;
        ~CloseEvent() { CloseHandle(event); }
    } closer{job.finished};
    GameJob* none = nullptr;
    if (!m_gameJob.compare_exchange_strong(none, &job))
        return -1; // another job waits: one at a time
    for (;;) {
        if (job.done.load())
            return job.result;
        if (!thread.IsRunning()) {
            GameJob* mine = &job;
            if (m_gameJob.compare_exchange_strong(mine, nullptr))
                return -1; // never taken
            continue;      // taken: it ends
        }
        // The game thread may send to this thread while it works.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        // A wait on the job, not a sleep: on a virtual clock every sleep is game time, and this
        // thread's waiting must not run the game's clock on while the game thread does the work.
        WaitForSingleObject(job.finished, 1);
    }
}

void CGameApp::RunPendingGameJob()
{
    GameJob* job = m_gameJob.exchange(nullptr);
    if (job == nullptr)
        return;
    job->result = (*job->work)();
    // The waiting thread frees the job and its event as soon as it sees done: the event first.
    SetEvent(job->finished);
    job->done.store(true);
}

int CGameApp::Drive(bool idle, bool locked)
{
    if (!locked)
        ShowFrame(idle);
    for (;;) {
        if (locked)
            RunPendingGameJob();
        // Once the quit was met every later wait ends at once too (the script may go on
        // stepping after its first 0).
        if (locked ? !GetGameThread().IsRunning()
                   : IsQuitting() || PumpMessages(m_settings.user.user[kUserKeepMouseMoves] != 0))
            return 0;
        if (m_failureByte != 0 || m_interrupt != 0)
            return 0;
        FeedTaskList(locked);
        if (MustWaitInactive()) {
            if (locked)
                Sleep(50);
            else
                WaitMessage();
            continue;
        }
        if (m_timer.Tick()) {
            OnFrameDue();
            if (m_syncInterval != 0)
                Sleep(locked ? 3 : 0);
            UpdateCursor();
            {
                CScopedLock guard(&GetFrameLock());
                GetInput().Poll();
                m_objectManager.RunDue(TimerNow());
            }
            ShowFrame(idle);
            const int ticks = StepsForLateFrames(m_timer.GetLateFrames(), false);
            if (ticks == 1)
                return -1;
            if (m_timer.GetWaitHint() != 0)
                Sleep(m_timer.GetWaitHint());
            return ticks;
        }
        WaitUntilDue(idle);
    }
}

int CGameApp::StepsForLateFrames(int late, bool threaded)
{
    // Late frames become extra logic ticks; more than four are dropped rather than caught up.
    if (late <= 0 || late > 4)
        return 1;
    return threaded ? 1 + late : late;
}

int CGameApp::RunSteps(int count)
{
    ++m_steppedFrames;
    if (m_afterSheet.exchange(0) != 0)
        RunAfterSettingsSheet();
    for (int i = 0; i < count; ++i) {
        const uint32_t result = m_host->RunStep();
        switch (result) {
        case kRunEnded:
            return -1;
        case kRunYielded:
            break;
        case kRunBadScript:
            Message("不正なスクリプトを実行しました", 4);
            return kRunBadScriptEnd;
        case kRunJumpFailed:
            Message("Jump命令でスクリプトのロードに失敗", 4);
            return 4;
        case kRunCallFailed:
            Message("Call命令でスクリプトのロードに失敗", 4);
            return 5;
        default:
            return static_cast<int>(result) + 1;
        }
        if (const uint8_t request = m_interrupt.exchange(0)) {
            if (request < 3 && InterruptToMain(request - 1) != 0) {
                Message("スクリプト割り込みに失敗しました", 4);
                return 6;
            }
            return kStepInterrupted;
        }
    }
    return 0;
}

int CGameApp::OnThreadFrame()
{
    RunPendingGameJob();
    FeedTaskList(true);
    if (MustWaitInactive()) {
        Sleep(50);
        return 0;
    }
    if (m_failureByte != 0)
        return 1;
    const bool idle = GetScreen() != nullptr && GetScreen()->HasFrameImage();
    if (!m_timer.Tick()) {
        WaitUntilDue(idle);
        return 0;
    }
    OnFrameDue();
    if (m_syncInterval != 0)
        Sleep(3);
    UpdateCursor();
    {
        CScopedLock guard(&GetFrameLock());
        GetInput().Poll();
        m_objectManager.RunDue(TimerNow());
    }
    const int steps = StepsForLateFrames(m_timer.GetLateFrames(), true);
    if (steps > 1 && m_timer.GetWaitHint() != 0)
        Sleep(m_timer.GetWaitHint());
    const int result = RunSteps(steps);
    if (result == kStepInterrupted)
        return 0;
    if (result != 0) {
        m_endCode = result > 0 ? result : 0;
        return result;
    }
    ShowFrame(idle);
    return 0;
}

void CGameApp::RunNoMessageLoop()
{
    m_timer.SetCountLateFrames(m_settings.user.user[kUserCountLateFrames] != 0);
    m_screenObject.SetColorKeyEnable(1);
    m_screenObject.SetCullMode(1);
    if (StartScriptHost() != 0) {
        m_endCode = 1;
        return;
    }
    for (;;) {
        const int n = StepFrame();
        if (n == 0) {
            // An interrupt stops the driver; it is carried out here, without a step.
            if (const uint8_t request = m_interrupt.exchange(0)) {
                if (request < 3 && InterruptToMain(request - 1) != 0) {
                    Message("スクリプト割り込みに失敗しました", 4);
                    m_endCode = 6;
                    break;
                }
                continue;
            }
            break;
        }
        const int result = RunSteps(n < 0 ? 1 : n);
        if (result != 0 && result != kStepInterrupted) {
            m_endCode = result > 0 ? result : 0;
            break;
        }
    }
    m_host.reset();
}

int CGameApp::InterruptToMain(int flag)
{
    const int32_t value = m_host->SettingsFlag();
    m_host->ResetCallStack(flag != 0 ? value : -value);
    if (m_host->OpenScript("MAIN", nullptr) != 0)
        return 1;
    while (m_syncOverrides > 0)
        PopSyncOverride();
    while (m_timerOverrides > 0)
        PopTimerFlagOverride();
    return 0;
}

void CGameApp::ApplyFrameTiming(int fps)
{
    if (fps < 0)
        fps = m_timer.GetMsPerFrame() != 0 ? static_cast<int>(1000 / m_timer.GetMsPerFrame()) : 60;
    const uint8_t* user = m_settings.user.user;
    int interval = 0;
    if (m_canWaitVBlank) {
        if (user[kUserSyncMode] == 2 || (user[kUserSyncMode] == 0 && m_refreshHz == 60))
            interval = user[kUserSyncIntervalMinus1] + 1;
    }
    m_syncInterval = interval;
    m_timer.SetFrameRate(fps, interval == 0 && user[kUserHighResTimer] != 0);
    m_timer.SetFreeRunning(interval != 0);
}

int CGameApp::PushSyncOverride()
{
    ++m_syncOverrides;
    uint8_t* user = m_settings.user.user;
    if (m_syncInterval != 0 || user[kUserSyncOverrideAllowed] == 0)
        return 0;
    if (m_options.gameBytes[0] == 0) {
        user[kUserSyncMode] = 2;
        ApplyFrameTiming(-1);
    } else {
        m_syncInterval = 1;
        m_forcedInterval = true;
    }
    return 1;
}

void CGameApp::PopSyncOverride()
{
    if (m_syncOverrides <= 0)
        return;
    if (--m_syncOverrides != 0 || m_settings.user.user[kUserSyncOverrideAllowed] == 0)
        return;
    if (m_forcedInterval) {
        m_syncInterval = 0;
        m_forcedInterval = false;
    } else {
        m_settings.user.user[kUserSyncMode] = m_settings.savedSyncMode;
        ApplyFrameTiming(-1);
    }
}

void CGameApp::PushTimerFlagOverride()
{
    ++m_timerOverrides;
    if (m_timer.IsHighResolution() && m_settings.user.user[kUserHighResTimer] != 0) {
        m_settings.user.user[kUserHighResTimer] = 0;
        ApplyFrameTiming(-1);
    }
}

void CGameApp::PopTimerFlagOverride()
{
    if (m_timerOverrides <= 0 || --m_timerOverrides != 0)
        return;
    if (m_settings.savedTimerFlag != 0) {
        m_settings.user.user[kUserHighResTimer] = m_settings.savedTimerFlag;
        ApplyFrameTiming(-1);
    }
}

int CGameApp::LowerThreadPriority()
{
    return ::LowerThreadPriority();
}

int CGameApp::RestoreThreadPriority()
{
    return ::RestoreThreadPriority();
}
