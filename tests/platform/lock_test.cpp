#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/com_init.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/worker_thread.h"

TEST(Lock, RecursiveWithOwnerAndDepth)
{
    CLock lock;
    EXPECT_FALSE(lock.IsOwnedByCurrentThread());
    EXPECT_EQ(lock.Lock(), 1);
    EXPECT_EQ(lock.Lock(), 2);
    EXPECT_TRUE(lock.IsOwnedByCurrentThread());
    lock.Unlock();
    EXPECT_TRUE(lock.IsOwnedByCurrentThread());
    lock.Unlock();
    EXPECT_FALSE(lock.IsOwnedByCurrentThread());
    EXPECT_EQ(lock.GetOwner(), 0xFFFFFFFFu);
}

TEST(Lock, ScopedGuardGivesBackExactlyItsLevels)
{
    CLock lock;
    {
        CScopedLock guard(lock);
        guard.Lock();
        guard.Lock();
        EXPECT_EQ(lock.GetDepth(), 3);
    }
    EXPECT_EQ(lock.GetDepth(), 0);
    {
        CScopedLock guard(lock);
        guard.Unlock();
        guard.Unlock(); // holds none: nothing happens
        EXPECT_EQ(lock.GetDepth(), 0);
        EXPECT_EQ(guard.GetLevels(), 0);
    }
    EXPECT_EQ(lock.GetDepth(), 0);
    CScopedLock none(nullptr); // accepted, does nothing
}

TEST(Lock, ContendedAcrossThreadsKeepsCountsExact)
{
    CLock lock;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                CScopedLock guard(lock);
                CScopedLock inner(lock); // recursive from the same thread
                EXPECT_TRUE(lock.IsOwnedByCurrentThread());
                ++counter;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 8000);
}

TEST(Event, FlagIsWhatWasSetNotTheKernelState)
{
    CEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(event.Wait(0), 1u);
    event.Set();
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_TRUE(event.IsSet());   // the wait consumed the signal, not the flag
    EXPECT_EQ(event.Wait(0), 1u); // auto-reset
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

namespace {

class PollingJob {
public:
    explicit PollingJob(CWorkerThread* thread) : m_thread(thread) {}
    void Main()
    {
        ++starts;
        while (m_thread->IsRunning())
            Sleep(1);
    }
    std::atomic<int> starts{0};

private:
    CWorkerThread* m_thread;
};

class RunOnce : public CWorkerThread {
public:
    ~RunOnce() override { Stop(); }
    void Run() override { ++runs; }
    std::atomic<int> runs{0};
};

} // namespace

TEST(WorkerThread, IdleStopOnlyRequestsStop)
{
    CWorkerThread thread;
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_EQ(thread.Stop(), 0u);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.WaitStop(0));
    EXPECT_EQ(thread.GetThreadId(), 0xFFFFFFFFu);
}

TEST(WorkerThread, StartStopAndRestartWhileRunning)
{
    CWorkerThread thread;
    PollingJob job(&thread);
    ASSERT_EQ(thread.SetJobAndStart(CThreadJob(&job, &PollingJob::Main)), 0u);
    EXPECT_TRUE(thread.IsSecondEventSet());
    EXPECT_NE(thread.GetThreadId(), 0xFFFFFFFFu);
    // Restarting a running thread stops and joins it first; this once deadlocked.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(thread.Start(), 0u);
    EXPECT_EQ(thread.Stop(), 0u);
    EXPECT_EQ(job.starts.load(), 6);
    EXPECT_FALSE(thread.IsSecondEventSet());
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
}

TEST(WorkerThread, NotRunningOnceTheJobReturnedEvenBeforeStop)
{
    RunOnce thread;
    ASSERT_EQ(thread.Start(), 0u);
    EXPECT_TRUE(thread.WaitStop(5000));
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.Stop(), 0u);
    EXPECT_EQ(thread.runs.load(), 1);
}

TEST(WorkerThread, StopFromTheThreadItselfReturnsTwo)
{
    CWorkerThread thread;
    std::atomic<uint32_t> inner{99};
    thread.SetJob(CThreadJob(std::function<void()>([&] { inner = thread.Stop(); })));
    ASSERT_EQ(thread.Start(), 0u);
    while (inner.load() == 99)
        std::this_thread::yield();
    EXPECT_EQ(inner.load(), 2u);
    EXPECT_NE(thread.GetThreadHandle(), nullptr); // the handle stays for the outside Stop
    EXPECT_EQ(thread.Stop(), 0u);
}

TEST(WorkerThread, JobCopiesShareOneHolder)
{
    struct Owned {
        explicit Owned(bool* gone) : gone(gone) {}
        ~Owned() { *gone = true; }
        void Main() {}
        bool* gone;
    };
    bool gone = false;
    {
        CWorkerThread thread;
        {
            CThreadJob job(std::make_shared<Owned>(&gone), &Owned::Main);
            thread.SetJob(job);
            EXPECT_EQ(job.UseCount(), 2);
        }
        EXPECT_FALSE(gone); // the thread's copy keeps it
        ASSERT_EQ(thread.Start(), 0u);
        thread.Stop();
        EXPECT_FALSE(gone);
    }
    EXPECT_TRUE(gone);
}

TEST(ComInit, CountsPerThread)
{
    EXPECT_EQ(ComUninitForThread(), 1u);
    EXPECT_EQ(ComInitForThread(), 0u);
    EXPECT_EQ(ComInitForThread(), 0u);
    EXPECT_EQ(winapi::ComInitCount(), 1u); // CoInitialize ran once
    std::thread([] { EXPECT_EQ(ComUninitForThread(), 1u); }).join();
    EXPECT_EQ(ComUninitForThread(), 0u);
    EXPECT_EQ(winapi::ComInitCount(), 1u);
    EXPECT_EQ(ComUninitForThread(), 0u);
    EXPECT_EQ(winapi::ComInitCount(), 0u); // and CoUninitialize once
    EXPECT_EQ(ComUninitForThread(), 1u);
}
