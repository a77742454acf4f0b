// The engine's recursive lock, which knows its owner thread and depth, and the stack guard that
// takes it. The frame lock, the text-input lock and the sound manager's lock are CLock objects.
#pragma once

#include <atomic>

#include "winapi/kernel.h"

class CLock {
public:
    CLock();
    virtual ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    // Takes the lock (the owner may take it again) and returns the new depth.
    virtual int32_t Lock();
    // Gives up one level; the owner is cleared when the depth reaches 0.
    virtual void Unlock();
    // True when the calling thread owns the lock.
    virtual bool IsOwnedByCurrentThread();

    DWORD GetOwner() const { return m_owner.load(); }
    int32_t GetDepth() const { return m_depth; }

private:
    CRITICAL_SECTION m_section;
    std::atomic<DWORD> m_owner; // 0xFFFFFFFF when free; read without the lock by IsOwnedByCurrentThread
    int32_t m_depth;
};

// Takes a lock for the life of a scope; counts the levels it took so that it gives back exactly
// those. Used by one thread only. A null lock is accepted and does nothing.
class CScopedLock {
public:
    explicit CScopedLock(CLock* lock);
    explicit CScopedLock(CLock& lock) : CScopedLock(&lock) {}
    ~CScopedLock();
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

    // Takes one more level.
    void Lock();
    // Gives back one level this guard took; does nothing when it holds none.
    void Unlock();
    int32_t GetLevels() const { return m_levels; }

private:
    CLock* m_lock;
    int32_t m_levels;
};
