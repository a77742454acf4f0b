// Auto-reset event wrapper that remembers whether it was set. The remembered flag is what IsSet
// reports, not the kernel state: a successful Wait consumes the signal but leaves the flag set.
#pragma once

#include <atomic>

#include "winapi/kernel.h"

class CEvent {
public:
    CEvent();
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    virtual void Set();
    virtual void Reset();
    // 0 signalled (or abandoned), 1 timed out, 2 failed (no event).
    virtual uint32_t Wait(DWORD ms);
    virtual HANDLE GetHandle();
    virtual bool IsSet();

private:
    HANDLE m_handle;
    // Written by one thread and polled by another (the worker's stop request), hence atomic.
    std::atomic<uint8_t> m_set;
};
