// A thread object that runs one job and can be asked to stop. The game thread, the stream worker
// of each streamed sound and the loader thread are CWorkerThread objects. The job polls IsRunning
// between units of work and returns once a stop was requested.
#pragma once

#include <functional>
#include <memory>

#include "platform/event.h"
#include "platform/lock.h"

// A copyable job: a target object and the member function to call on it, with a shared holder.
// Copies share one state; the last copy destroys it (and an owned target with it).
class CThreadJob {
public:
    CThreadJob() = default;
    // Calls target->function(); the caller keeps the target alive.
    template <typename T, typename R>
    CThreadJob(T* target, R (T::*function)())
        : m_state(std::make_shared<State>(State{[target, function] { (target->*function)(); }, nullptr}))
    {}
    // Calls function on a target that the job owns and destroys with its last copy.
    template <typename T, typename R>
    CThreadJob(std::shared_ptr<T> target, R (T::*function)())
        : m_state(std::make_shared<State>(State{[t = target.get(), function] { (t->*function)(); }, target}))
    {}
    // Any callable.
    explicit CThreadJob(std::function<void()> call)
        : m_state(std::make_shared<State>(State{std::move(call), nullptr}))
    {}

    bool HasTarget() const { return m_state && m_state->call; }
    void operator()() const
    {
        if (HasTarget())
            m_state->call();
    }
    // True for copies of one job.
    bool IsSameAs(const CThreadJob& other) const { return m_state == other.m_state; }
    // Number of copies alive (tests).
    long UseCount() const { return m_state.use_count(); }

private:
    struct State {
        std::function<void()> call;
        std::shared_ptr<void> owned;
    };
    std::shared_ptr<State> m_state;
};

// A class that overrides Run must call Stop in its own destructor: the base destructor's Stop comes
// after the derived part is gone.
class CWorkerThread {
public:
    CWorkerThread();
    // Stop, then the job, the lock and the events are released.
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // The body run when no job is set; empty here.
    virtual void Run();
    // True while the job runs (set by the thread before the job, cleared after it).
    virtual bool IsSecondEventSet();
    // True while no stop was requested; false once the job returned, even before Stop joined it.
    virtual bool IsRunning();
    // SetJob (skipped when it is this thread's own job) and Start; Start's result.
    virtual uint32_t SetJobAndStart(const CThreadJob& job);
    // Stops a previous thread, then starts a new one and waits until it runs. 0 started, 1 the
    // thread could not be created (the object stays idle).
    virtual uint32_t Start();
    virtual void SetJob(const CThreadJob& job);
    // Requests a stop and joins the thread. 0 done (also when idle), 1 the join failed (the handle
    // is kept), 2 called on the thread itself (nothing else done).
    virtual uint32_t Stop();
    // Sets the stop event.
    virtual void RequestStop();
    // Waits for the stop event; true unless it timed out.
    virtual bool WaitStop(DWORD ms);
    // 0xFFFFFFFF when no thread.
    virtual DWORD GetThreadId();
    virtual HANDLE GetThreadHandle();

private:
    static DWORD WINAPI ThreadProc(LPVOID self);

    HANDLE m_thread;
    DWORD m_threadId;
    CEvent m_stopEvent;
    CEvent m_runningEvent;
    CLock m_lock;
    CThreadJob m_job;
    HANDLE m_startEvent;
};
