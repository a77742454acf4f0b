#include "winapi/kernel_sync.h"
#include "winapi/toolhelp.h"

#include "winapi/kernel_file.h"
#include "winapi/mutex_lock_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

enum class Kind { Thread, Event, Mutex };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    int refs = 1;
};

struct ThreadObject : Object {
    ThreadObject() : Object(Kind::Thread) {}
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;
    bool suspended = false;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;  // recorded only
};

struct EventObject : Object {
    EventObject() : Object(Kind::Event) {}
    bool manualReset = false;
    bool signalled = false;
};

struct MutexObject : Object {
    MutexObject() : Object(Kind::Mutex) {}
    ~MutexObject() override { winapi::CloseMutexLockFiles(&files); }
    DWORD owner = 0; // 0 = free
    int recursion = 0;
    bool abandoned = false;
    std::string name;
    winapi::MutexLockFiles files; // a named mutex seen by other processes
    bool ownerLockHeld = false;
};

// Every kernel object lives in one set guarded by one mutex; every change of a signal state
// happens under it and wakes all waiters. The engine waits on few objects, so this stays simple.
// The set is never destroyed: a detached thread may end while the process exits, and its end
// still signals its handle.
struct KernelObjects {
    std::mutex mutex;
    std::condition_variable changed;
    std::unordered_set<Object*> objects;
    std::unordered_map<std::string, MutexObject*> named;
};
KernelObjects& g_kernel = *new KernelObjects;
std::mutex& g_mutex = g_kernel.mutex;
std::condition_variable& g_changed = g_kernel.changed;
std::unordered_set<Object*>& g_objects = g_kernel.objects;
std::unordered_map<std::string, MutexObject*>& g_named = g_kernel.named;
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
thread_local DWORD t_comCount = 0;

Object* Lookup(HANDLE h) // g_mutex held
{
    auto it = g_objects.find(static_cast<Object*>(h));
    return it == g_objects.end() ? nullptr : *it;
}

void Release(Object* o) // g_mutex held
{
    if (--o->refs > 0)
        return;
    g_objects.erase(o);
    if (o->kind == Kind::Mutex) {
        auto* m = static_cast<MutexObject*>(o);
        if (!m->name.empty())
            g_named.erase(m->name);
    }
    delete o;
}

HANDLE Publish(Object* o) // g_mutex held
{
    g_objects.insert(o);
    return o;
}

bool TryOwnerLock(MutexObject* m)
{
    if (m->files.ownerFd < 0 || m->ownerLockHeld)
        return true;
    if (flock(m->files.ownerFd, LOCK_EX | LOCK_NB) == 0)
        m->ownerLockHeld = true;
    return m->ownerLockHeld;
}

void DropOwnerLock(MutexObject* m)
{
    if (m->files.ownerFd >= 0 && m->ownerLockHeld) {
        flock(m->files.ownerFd, LOCK_UN);
        m->ownerLockHeld = false;
    }
}

bool Ready(Object* o, DWORD tid) // g_mutex held
{
    switch (o->kind) {
    case Kind::Thread:
        return static_cast<ThreadObject*>(o)->finished;
    case Kind::Event:
        return static_cast<EventObject*>(o)->signalled;
    case Kind::Mutex: {
        auto* m = static_cast<MutexObject*>(o);
        if (m->owner == tid)
            return true;
        return m->owner == 0 && TryOwnerLock(m);
    }
    }
    return false;
}

// Takes what a satisfied wait takes; true when a mutex was abandoned by its previous owner.
bool Acquire(Object* o, DWORD tid) // g_mutex held
{
    if (o->kind == Kind::Event) {
        auto* e = static_cast<EventObject*>(o);
        if (!e->manualReset)
            e->signalled = false;
    } else if (o->kind == Kind::Mutex) {
        auto* m = static_cast<MutexObject*>(o);
        if (m->owner == tid) {
            ++m->recursion;
        } else {
            m->owner = tid;
            m->recursion = 1;
        }
        bool abandoned = m->abandoned;
        m->abandoned = false;
        return abandoned;
    }
    return false;
}

// A thread that ends while owning mutexes abandons them: the next waiter gets WAIT_ABANDONED.
void AbandonMutexesOf(DWORD tid) // g_mutex held
{
    for (Object* o : g_objects) {
        if (o->kind != Kind::Mutex)
            continue;
        auto* m = static_cast<MutexObject*>(o);
        if (m->owner == tid) {
            m->owner = 0;
            m->recursion = 0;
            m->abandoned = true;
            DropOwnerLock(m);
        }
    }
}

// The end of a thread made by CreateThread: its handle is signalled by the last per-thread
// destructor, so that a waiter wakes only after the thread's other per-thread state (its message
// queue and windows) is gone, as on Windows.
struct ThreadEnd {
    ThreadObject* thread = nullptr;
    DWORD code = 0;
    ~ThreadEnd()
    {
        if (!thread)
            return;
        std::lock_guard<std::mutex> lock(g_mutex);
        thread->exitCode = code;
        thread->finished = true;
        AbandonMutexesOf(thread->id);
        g_changed.notify_all();
        Release(thread);
    }
};
thread_local ThreadEnd t_end;

void ThreadMain(ThreadObject* t)
{
    t_threadId = t->id;
    // Made first among the thread's per-thread objects, so destroyed last.
    t_end.thread = t;
    t_end.code = t->start(t->parameter);
}

bool Launch(ThreadObject* t)
{
    try {
        std::thread(ThreadMain, t).detach();
        return true;
    } catch (...) {
        return false;
    }
}

DWORD WaitImpl(DWORD count, const HANDLE* handles, bool waitAll, DWORD ms)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const DWORD tid = GetCurrentThreadId();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ms == INFINITE ? 0 : ms);
    std::unique_lock<std::mutex> lock(g_mutex);
    std::vector<Object*> objects;
    bool anyNamed = false;
    for (DWORD i = 0; i < count; ++i) {
        Object* o = Lookup(handles[i]);
        if (!o) {
            for (Object* held : objects)
                Release(held);
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        ++o->refs; // a handle closed by another thread during the wait stays valid here
        objects.push_back(o);
        if (o->kind == Kind::Mutex && static_cast<MutexObject*>(o)->files.ownerFd >= 0)
            anyNamed = true;
    }
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
        bool done = false;
        if (waitAll) {
            bool all = true;
            for (Object* o : objects)
                all = Ready(o, tid) && all;
            if (all) {
                result = WAIT_OBJECT_0;
                bool abandonedSeen = false;
                for (DWORD i = 0; i < count; ++i) {
                    if (Acquire(objects[i], tid) && !abandonedSeen) {
                        result = WAIT_ABANDONED + i;
                        abandonedSeen = true;
                    }
                }
                done = true;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (Ready(objects[i], tid)) {
                    result = (Acquire(objects[i], tid) ? WAIT_ABANDONED : WAIT_OBJECT_0) + i;
                    done = true;
                    break;
                }
            }
        }
        // Cross-process locks taken while testing readiness are kept only by owners.
        for (Object* o : objects) {
            if (o->kind == Kind::Mutex) {
                auto* m = static_cast<MutexObject*>(o);
                if (m->owner == 0)
                    DropOwnerLock(m);
            }
        }
        if (done)
            break;
        auto now = std::chrono::steady_clock::now();
        if (ms != INFINITE && now >= deadline)
            break;
        if (anyNamed) {
            // Another process releasing the lock file wakes nobody here: poll.
            auto slice = std::chrono::milliseconds(2);
            if (ms != INFINITE && deadline - now < slice)
                g_changed.wait_until(lock, deadline);
            else
                g_changed.wait_for(lock, slice);
        } else if (ms == INFINITE) {
            g_changed.wait(lock);
        } else {
            g_changed.wait_until(lock, deadline);
        }
    }
    for (Object* o : objects)
        Release(o);
    return result;
}

} // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* t = new ThreadObject;
    t->start = start;
    t->parameter = parameter;
    t->id = g_nextThreadId.fetch_add(1);
    t->suspended = (flags & CREATE_SUSPENDED) != 0;
    t->refs = 2; // the handle and the running thread
    std::lock_guard<std::mutex> lock(g_mutex);
    Publish(t);
    if (!t->suspended && !Launch(t)) {
        g_objects.erase(t);
        delete t;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId)
        *threadId = t->id;
    return t;
}

DWORD WINAPI ResumeThread(HANDLE thread)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Object* o = Lookup(thread);
    if (!o || o->kind != Kind::Thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFFu;
    }
    auto* t = static_cast<ThreadObject*>(o);
    if (!t->suspended)
        return 0;
    if (!Launch(t)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0xFFFFFFFFu;
    }
    t->suspended = false;
    return 1;
}

DWORD WINAPI GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

HANDLE WINAPI GetCurrentThread()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}

namespace {
// Priorities of threads not made by CreateThread (the main thread), set through their pseudo handle.
thread_local int t_priority = THREAD_PRIORITY_NORMAL;

// The priority slot of a thread handle; null when it is not a thread. g_mutex held.
int* PrioritySlot(HANDLE thread)
{
    if (thread == GetCurrentThread())
        return t_end.thread != nullptr ? &t_end.thread->priority : &t_priority;
    Object* o = Lookup(thread);
    return o != nullptr && o->kind == Kind::Thread ? &static_cast<ThreadObject*>(o)->priority : nullptr;
}
} // namespace

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    int* slot = PrioritySlot(thread);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (priority != THREAD_PRIORITY_IDLE && priority != THREAD_PRIORITY_TIME_CRITICAL &&
        (priority < THREAD_PRIORITY_LOWEST || priority > THREAD_PRIORITY_HIGHEST)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *slot = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE thread)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const int* slot = PrioritySlot(thread);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return *slot;
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Object* o = Lookup(thread);
    if (!o || o->kind != Kind::Thread || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = static_cast<ThreadObject*>(o)->exitCode;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD ms)
{
    return WaitImpl(1, &object, false, ms);
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD ms)
{
    return WaitImpl(count, objects, waitAll != FALSE, ms);
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR)
{
    auto* e = new EventObject;
    e->manualReset = manualReset != FALSE;
    e->signalled = initialState != FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    return Publish(e);
}

static BOOL SetEventState(HANDLE event, bool signalled)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Object* o = Lookup(event);
    if (!o || o->kind != Kind::Event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    static_cast<EventObject*>(o)->signalled = signalled;
    if (signalled)
        g_changed.notify_all();
    return TRUE;
}

BOOL WINAPI SetEvent(HANDLE event)
{
    return SetEventState(event, true);
}

BOOL WINAPI ResetEvent(HANDLE event)
{
    return SetEventState(event, false);
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name)
{
    const DWORD tid = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_mutex);
    if (name && *name) {
        auto it = g_named.find(name);
        if (it != g_named.end()) {
            ++it->second->refs;
            SetLastError(ERROR_ALREADY_EXISTS);
            return it->second;
        }
    }
    auto* m = new MutexObject;
    bool existed = false;
    if (name && *name) {
        m->name = name;
        // Without trusted lock files the mutex is private to this process.
        existed = winapi::OpenMutexLockFiles(m->name, true, &m->files) == winapi::MutexFilesResult::Existed;
        g_named[m->name] = m;
    }
    if (initialOwner && !existed && TryOwnerLock(m)) {
        m->owner = tid;
        m->recursion = 1;
    }
    Publish(m);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return m;
}

HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_named.find(name);
    if (it != g_named.end()) {
        ++it->second->refs;
        return it->second;
    }
    winapi::MutexLockFiles files;
    if (winapi::OpenMutexLockFiles(name, false, &files) != winapi::MutexFilesResult::Existed) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto* m = new MutexObject;
    m->name = name;
    m->files = files;
    g_named[m->name] = m;
    return Publish(m);
}

BOOL WINAPI ReleaseMutex(HANDLE mutex)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Object* o = Lookup(mutex);
    if (!o || o->kind != Kind::Mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* m = static_cast<MutexObject*>(o);
    if (m->owner != GetCurrentThreadId()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--m->recursion == 0) {
        m->owner = 0;
        DropOwnerLock(m);
        g_changed.notify_all();
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    // File and search handles belong to the file services.
    if (winapi::CloseFileHandle(object))
        return TRUE;
    if (winapi::CloseSnapshotHandle(object))
        return TRUE;
    std::lock_guard<std::mutex> lock(g_mutex);
    Object* o = Lookup(object);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Release(o);
    return TRUE;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    section->impl = new std::recursive_mutex;
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD)
{
    InitializeCriticalSection(section);
    return TRUE;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    static_cast<std::recursive_mutex*>(section->impl)->lock();
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    return static_cast<std::recursive_mutex*>(section->impl)->try_lock() ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    delete static_cast<std::recursive_mutex*>(section->impl);
    section->impl = nullptr;
}

LONG WINAPI InterlockedIncrement(LONG volatile* value)
{
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile* value)
{
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

HRESULT WINAPI CoInitialize(LPVOID reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD)
{
    return t_comCount++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize()
{
    if (t_comCount > 0)
        --t_comCount;
}

namespace winapi {
DWORD ComInitCount()
{
    return t_comCount;
}
} // namespace winapi
