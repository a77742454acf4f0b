// Threads, events, critical sections, mutexes, interlocked operations and per-thread COM start-up.
// Handles of threads, events and mutexes are kernel objects of the stand-in, closed with
// CloseHandle; waits time out on the real clock. A named mutex is also held across processes
// through lock files in a private folder of the user (mutex_lock_files.h), which is what the
// single-instance check relies on.
#pragma once

#include "winapi/base.h"

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);

#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64u

#define SYNCHRONIZE 0x00100000u
#define MUTEX_ALL_ACCESS 0x001F0001u
#define EVENT_ALL_ACCESS 0x001F0003u

// Threads. CreateThread → handle (signalled when the thread ends), or null (ERROR_NOT_ENOUGH_MEMORY).
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);
// → the previous suspend count (1 starts a suspended thread, 0 for a running one), or 0xFFFFFFFF
// for a handle that is not a thread.
DWORD WINAPI ResumeThread(HANDLE thread);
// A small number that stays the same for the life of the calling thread; never 0 nor 0xFFFFFFFF.
DWORD WINAPI GetCurrentThreadId();
// The calling thread's pseudo handle (valid only on that thread, never closed).
HANDLE WINAPI GetCurrentThread();
// Records the priority and leaves the thread's own alone (an unprivileged process could not raise
// it back) → TRUE; FALSE with ERROR_INVALID_HANDLE for a handle that is not a thread, or
// ERROR_INVALID_PARAMETER for a value other than -15, -2..2 and 15.
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
// The recorded priority (THREAD_PRIORITY_NORMAL until set), or THREAD_PRIORITY_ERROR_RETURN
// (ERROR_INVALID_HANDLE) for a handle that is not a thread.
int WINAPI GetThreadPriority(HANDLE thread);
// TRUE with the exit code (STILL_ACTIVE while running); FALSE for a handle that is not a thread.
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// Waits. WAIT_OBJECT_0 (+ index), WAIT_ABANDONED (+ index) for a mutex whose owner thread ended,
// WAIT_TIMEOUT, or WAIT_FAILED (ERROR_INVALID_HANDLE / ERROR_INVALID_PARAMETER).
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD ms);
DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD ms);

// Events. A name is ignored (events are private to the process). SetEvent/ResetEvent → TRUE, or
// FALSE (ERROR_INVALID_HANDLE) when the handle is not an event.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                           LPCSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);

// Mutexes. CreateMutexA of a name that exists (in this process or, through its lock file, in
// another) returns a handle with last error ERROR_ALREADY_EXISTS and does not take ownership;
// otherwise last error 0. OpenMutexA → handle, or null (ERROR_FILE_NOT_FOUND) when no process has
// that mutex. ReleaseMutex → TRUE, or FALSE (ERROR_NOT_OWNER) when the caller does not own it.
#define ERROR_NOT_OWNER 288L
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
HANDLE WINAPI OpenMutexA(DWORD access, BOOL inheritHandle, LPCSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);

// Closes a thread, event or mutex handle: TRUE, or FALSE (ERROR_INVALID_HANDLE).
BOOL WINAPI CloseHandle(HANDLE object);

// Critical sections: recursive, owned by one thread. The record is opaque.
struct CRITICAL_SECTION {
    void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
// Always TRUE (the spin count is ignored).
BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
// TRUE when the section was taken (or was already the caller's).
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);

// Interlocked operations: Increment/Decrement return the new value, Exchange the old one.
LONG WINAPI InterlockedIncrement(LONG volatile* value);
LONG WINAPI InterlockedDecrement(LONG volatile* value);
LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value);
LONG WINAPI InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand);

// COM start-up as a per-thread count: S_OK for the first call of a thread, S_FALSE for the next
// ones; CoUninitialize lowers the count (nothing for a thread at 0).
#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
HRESULT WINAPI CoInitialize(LPVOID reserved);
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags);
void WINAPI CoUninitialize();

namespace winapi {
// The calling thread's COM start-up count (for tests).
DWORD ComInitCount();

// Waits on the engine clock: WAIT_OBJECT_0 when `event` (a kernel event, may be null) is
// signalled, WAIT_TIMEOUT when `ms` of clock time have passed (INFINITE: never). On the virtual
// clock the time is moved by others; the caller never moves it itself.
uint32_t WaitOnClock(HANDLE event, uint32_t ms);
// Tests: waits (real time, at most timeoutMs) until `count` threads sit in WaitOnClock with
// nothing to do, each having looked at its event and the clock again after this call began.
// → false on time-out.
bool WaitForClockWaiters(int count, uint32_t timeoutMs = 10000);
} // namespace winapi
