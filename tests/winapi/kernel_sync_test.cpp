#include "winapi/kernel_sync.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "winapi/kernel_time.h"
#include "winapi/mutex_lock_files.h"

namespace {

DWORD WINAPI ReturnParameter(LPVOID p)
{
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p));
}

std::atomic<DWORD> g_seenId{0};
DWORD WINAPI RecordId(LPVOID)
{
    g_seenId = GetCurrentThreadId();
    return GetCurrentThreadId() == g_seenId ? 0 : 1;
}

std::string UniqueName(const char* base)
{
    return std::string(base) + "-" + std::to_string(getpid());
}

} // namespace

TEST(Threads, CreateWaitAndExitCode)
{
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST));
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// Priorities are recorded, never applied: an unprivileged process could not raise its own back.
TEST(Threads, PriorityIsRecordedAndTheThreadsOwnLeftAlone)
{
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int nice = getpriority(PRIO_PROCESS, tid);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(getpriority(PRIO_PROCESS, tid), nice);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL));

    // One record per thread, reached by its handle and by its own pseudo handle.
    static HANDLE go, done;
    static std::atomic<int> seenInside;
    go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD {
        WaitForSingleObject(go, 5000);
        seenInside = GetThreadPriority(GetCurrentThread());
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
        SetEvent(done);
        WaitForSingleObject(go, 5000);
        return 0;
    }, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(seenInside.load(), THREAD_PRIORITY_IDLE);
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL) << "the caller's own is apart";
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);

    struct Case {
        const char* name;
        HANDLE handle;
        int priority;
        DWORD error;
    } cases[] = {
        {"null handle", nullptr, THREAD_PRIORITY_LOWEST, ERROR_INVALID_HANDLE},
        {"an event", go, THREAD_PRIORITY_LOWEST, ERROR_INVALID_HANDLE},
        {"3", thread, 3, ERROR_INVALID_PARAMETER},
        {"-3", thread, -3, ERROR_INVALID_PARAMETER},
        {"16", thread, 16, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(SetThreadPriority(c.handle, c.priority)) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ABOVE_NORMAL) << "refused values change nothing";
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(go), THREAD_PRIORITY_ERROR_RETURN);
    CloseHandle(thread);
    CloseHandle(go);
    CloseHandle(done);
}

// As on Windows, a thread's handle is signalled only once the thread is wholly gone, its
// per-thread state (message queue, windows) cleaned up. A waiter used to wake while that ran.
TEST(Threads, HandleSignalledAfterThePerThreadCleanUp)
{
    static std::atomic<bool> cleaned;
    cleaned = false;
    struct Slow {
        ~Slow()
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            cleaned = true;
        }
    };
    HANDLE t = CreateThread(nullptr, 0, [](LPVOID) -> DWORD {
        thread_local Slow slow;
        (void)slow;
        return 7;
    }, nullptr, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(cleaned);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(t));
}

// A thread made by CreateThread is detached: it may end while the process exits, after the static
// objects are gone. Its end still signals its handle in the kernel-object set; that set used to be
// destroyed by then (ThreadSanitizer sees the destructor and the thread's end race). The thread
// below is let go only after every static destructor has run, by relaxed stores that order
// nothing, as an unrelated thread ending at that moment would.
std::atomic<int> g_exitStage{0};  // 1: the exiting child, 2: the thread may end
std::atomic<pid_t> g_exitingThread{0};

DWORD WINAPI EndWhenLetGo(LPVOID)
{
    g_exitingThread = static_cast<pid_t>(syscall(SYS_gettid));
    while (g_exitStage.load(std::memory_order_relaxed) != 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

// Runs after the C++ static destructors (the executable's own ELF destructors come last).
__attribute__((destructor)) void LetTheThreadEndAfterTheStatics()
{
    if (g_exitStage.load(std::memory_order_relaxed) != 1)
        return;
    g_exitStage.store(2, std::memory_order_relaxed);
    const std::string task = "/proc/self/task/" + std::to_string(g_exitingThread.load());
    for (int waited = 0; waited < 10000 && access(task.c_str(), F_OK) == 0; ++waited)
        usleep(1000);
}

TEST(Threads, OneEndingWhileTheProcessExitsStillSignalsItsHandle)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts afresh, no locks held
    EXPECT_EXIT(
        {
            g_exitStage.store(1, std::memory_order_relaxed);
            HANDLE t = CreateThread(nullptr, 0, EndWhenLetGo, nullptr, 0, nullptr);
            if (t == nullptr)
                std::exit(3);
            while (g_exitingThread.load() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            CloseHandle(t);  // the thread's end releases the object's last reference
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(Threads, SuspendedUntilResumedAndIdsAreStable)
{
    DWORD id = 0;
    g_seenId = 0;
    HANDLE thread = CreateThread(nullptr, 0, RecordId, nullptr, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(g_seenId.load(), id);
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(GetCurrentThreadId(), id);
}

TEST(Events, AutoAndManualReset)
{
    HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    HANDLE both[2] = {autoEvent, manual};
    SetEvent(manual);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    std::thread setter([&] {
        Sleep(10);
        SetEvent(autoEvent);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT); // consumed by the wait for all
    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    CloseHandle(autoEvent);
    CloseHandle(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(manual));
}

TEST(Mutexes, RecursiveOwnershipAndAbandon)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // recursive
    std::thread other([&] {
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    });
    other.join();
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));

    auto takeAndEnd = [](LPVOID m) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(m), 0); };
    HANDLE thread = CreateThread(nullptr, 0, takeAndEnd, mutex, 0, nullptr);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST(Mutexes, NamedMutexIsSeenByAnotherProcess)
{
    const std::string name = UniqueName("TessaroTestInstance");
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // A child process (this test program again, running the child side below) sees the mutex
    // exist, cannot take it while we own it, and takes it once we release it.
    int fromChild[2];
    ASSERT_EQ(pipe(fromChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fromChild[0]);
        setenv("TESSARO_MUTEX_CHILD", name.c_str(), 1);
        setenv("TESSARO_MUTEX_PIPE", std::to_string(fromChild[1]).c_str(), 1);
        execl("/proc/self/exe", "child", "--gtest_filter=Mutexes.ChildSide", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fromChild[1]);
    char byte = 0;
    ASSERT_EQ(read(fromChild[0], &byte, 1), 1); // the child failed to take it
    close(fromChild[0]);
    EXPECT_TRUE(ReleaseMutex(first));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The child has closed it; the files stay until the last holder, this process, closes.
    const std::string lockFile = winapi::MutexLockFolder() + "/" + winapi::MutexLockFileName(name, false);
    EXPECT_EQ(access(lockFile.c_str(), F_OK), 0);
    CloseHandle(second);
    CloseHandle(first);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0);
}

// The other process of NamedMutexIsSeenByAnotherProcess; does nothing when run on its own.
TEST(Mutexes, ChildSide)
{
    const char* name = getenv("TESSARO_MUTEX_CHILD");
    const char* fd = getenv("TESSARO_MUTEX_PIPE");
    if (!name || !fd)
        GTEST_SKIP() << "run by NamedMutexIsSeenByAnotherProcess";
    HANDLE h = CreateMutexA(nullptr, FALSE, name);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name);
    EXPECT_EQ(opened, h);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    EXPECT_EQ(write(atoi(fd), "x", 1), 1);
    EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(h));
    CloseHandle(opened);
    CloseHandle(h);
}

TEST(CriticalSections, RecursiveAndExclusive)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    std::thread([&] { EXPECT_FALSE(TryEnterCriticalSection(&section)); }).join();
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        EXPECT_TRUE(TryEnterCriticalSection(&section));
        LeaveCriticalSection(&section);
    }).join();
    DeleteCriticalSection(&section);
}

TEST(Interlocked, ReturnsNewOrOldValues)
{
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
}

TEST(Com, CountsPerThread)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    std::thread([] { EXPECT_EQ(winapi::ComInitCount(), 0u); }).join();
    CoUninitialize();
    CoUninitialize();
    CoUninitialize(); // nothing left: ignored
    EXPECT_EQ(winapi::ComInitCount(), 0u);
}
