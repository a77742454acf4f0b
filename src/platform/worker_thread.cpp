#include "platform/worker_thread.h"

CWorkerThread::CWorkerThread() : m_thread(nullptr), m_threadId(0xFFFFFFFFu), m_startEvent(nullptr) {}

CWorkerThread::~CWorkerThread()
{
    Stop();
}

void CWorkerThread::Run() {}

bool CWorkerThread::IsSecondEventSet()
{
    return m_runningEvent.IsSet();
}

bool CWorkerThread::IsRunning()
{
    return !m_stopEvent.IsSet();
}

void CWorkerThread::RequestStop()
{
    // Not under the worker's lock: the lock guards start, stop and the job, and the stop request
    // is one atomic flag plus a kernel event. Taking the lock here made a restart deadlock: Start
    // holds the lock while Stop joins the old thread, whose last act was this call.
    m_stopEvent.Set();
}

bool CWorkerThread::WaitStop(DWORD ms)
{
    return WaitForSingleObject(m_stopEvent.GetHandle(), ms) != WAIT_TIMEOUT;
}

void CWorkerThread::SetJob(const CThreadJob& job)
{
    CScopedLock guard(m_lock);
    m_job = job;
}

uint32_t CWorkerThread::SetJobAndStart(const CThreadJob& job)
{
    CScopedLock guard(m_lock);
    if (!job.IsSameAs(m_job))
        m_job = job;
    return Start();
}

uint32_t CWorkerThread::Start()
{
    CScopedLock guard(m_lock);
    Stop();
    m_stopEvent.Reset();
    m_runningEvent.Reset();
    m_startEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_startEvent)
        return 1;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadProc, this, 0, &id);
    uint32_t result = 1;
    if (thread && thread != INVALID_HANDLE_VALUE) {
        m_thread = thread;
        m_threadId = id;
        WaitForSingleObject(m_startEvent, INFINITE);
        result = 0;
    }
    CloseHandle(m_startEvent);
    m_startEvent = nullptr;
    return result;
}

uint32_t CWorkerThread::Stop()
{
    CScopedLock guard(m_lock);
    RequestStop();
    if (!m_thread)
        return 0;
    if (m_threadId == GetCurrentThreadId())
        return 2;
    HANDLE thread = m_thread;
    m_thread = nullptr;
    m_threadId = 0xFFFFFFFFu;
    guard.Unlock();
    DWORD wait = WaitForSingleObject(thread, INFINITE);
    guard.Lock();
    if (wait == WAIT_FAILED) {
        m_thread = thread; // keep the handle: the thread may still run
        return 1;
    }
    CloseHandle(thread);
    return 0;
}

DWORD CWorkerThread::GetThreadId()
{
    return m_threadId;
}

HANDLE CWorkerThread::GetThreadHandle()
{
    return m_thread;
}

DWORD WINAPI CWorkerThread::ThreadProc(LPVOID parameter)
{
    auto* self = static_cast<CWorkerThread*>(parameter);
    // Start holds the lock and waits for the start event, so the job cannot change under this copy.
    CThreadJob job = self->m_job;
    self->m_runningEvent.Set();
    SetEvent(self->m_startEvent);
    if (job.HasTarget())
        job();
    else
        self->Run();
    self->RequestStop();
    self->m_runningEvent.Reset();
    return 0;
}
