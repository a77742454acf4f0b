#include "winapi/kernel_memory.h"

#include <sys/sysinfo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

// Live blocks and their sizes, so that a stray handle is refused instead of corrupting the heap.
std::mutex g_mutex;
std::unordered_map<void*, SIZE_T>& Blocks()
{
    static auto* blocks = new std::unordered_map<void*, SIZE_T>; // outlives static destructors
    return *blocks;
}

} // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    void* p = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    Blocks()[p] = bytes;
    return p;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Blocks().find(block);
    if (it == Blocks().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    SIZE_T old = it->second;
    void* p = std::realloc(block, bytes ? bytes : 1);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((flags & GMEM_ZEROINIT) && bytes > old)
        std::memset(static_cast<char*>(p) + old, 0, bytes - old);
    Blocks().erase(it);
    Blocks()[p] = bytes;
    return p;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Blocks().find(block);
    if (it == Blocks().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return block;
    }
    Blocks().erase(it);
    std::free(block);
    return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL block)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!Blocks().count(block)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return block;
}

BOOL WINAPI GlobalUnlock(HGLOBAL block)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SetLastError(Blocks().count(block) ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL block)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Blocks().find(block);
    if (it == Blocks().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return it->second;
}

BOOL WINAPI GlobalMemoryStatusEx(LPMEMORYSTATUSEX status)
{
    if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct sysinfo info {};
    sysinfo(&info);
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    const uint64_t total = info.totalram * unit;
    const uint64_t available = (info.freeram + info.bufferram) * unit;
    constexpr uint64_t kVirtual = 2ull << 30; // a 32-bit process's user space
    status->dwMemoryLoad = total ? static_cast<DWORD>(100 - std::min<uint64_t>(100, available * 100 / total)) : 0;
    status->ullTotalPhys = total;
    status->ullAvailPhys = available;
    status->ullTotalPageFile = total + info.totalswap * unit;
    status->ullAvailPageFile = available + info.freeswap * unit;
    status->ullTotalVirtual = kVirtual;
    status->ullAvailVirtual = kVirtual;
    status->ullAvailExtendedVirtual = 0;
    return TRUE;
}

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status)
{
    if (!status)
        return;
    MEMORYSTATUSEX ex{};
    ex.dwLength = sizeof ex;
    GlobalMemoryStatusEx(&ex);
    auto clamp = [](DWORDLONG v) { return static_cast<DWORD>(std::min<DWORDLONG>(v, 0xFFFFFFFFu)); };
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = ex.dwMemoryLoad;
    status->dwTotalPhys = clamp(ex.ullTotalPhys);
    status->dwAvailPhys = clamp(ex.ullAvailPhys);
    status->dwTotalPageFile = clamp(ex.ullTotalPageFile);
    status->dwAvailPageFile = clamp(ex.ullAvailPageFile);
    status->dwTotalVirtual = clamp(ex.ullTotalVirtual);
    status->dwAvailVirtual = clamp(ex.ullAvailVirtual);
}

namespace {

// Moveable local blocks: handle → the global block behind it and its lock count. Handles are
// (n << 4) | 2, so they never equal a block's address (blocks are at least 16-byte aligned).
struct MoveableBlock {
    void* memory;
    DWORD locks;
};
std::mutex g_localMutex;
uintptr_t g_nextHandle = 0;
std::unordered_map<HLOCAL, MoveableBlock>& Moveables()
{
    static auto* moveables = new std::unordered_map<HLOCAL, MoveableBlock>;
    return *moveables;
}

// The moveable record of a handle, null for a fixed block or a stray value (caller holds the mutex).
MoveableBlock* FindMoveable(HLOCAL handle)
{
    auto it = Moveables().find(handle);
    return it == Moveables().end() ? nullptr : &it->second;
}

} // namespace

extern "C" {

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL memory = GlobalAlloc(flags & LMEM_ZEROINIT, bytes);
    if (!memory || !(flags & LMEM_MOVEABLE))
        return memory;
    std::lock_guard<std::mutex> lock(g_localMutex);
    auto handle = reinterpret_cast<HLOCAL>((++g_nextHandle << 4) | 2);
    Moveables()[handle] = MoveableBlock{memory, 0};
    return handle;
}

HLOCAL WINAPI LocalReAlloc(HLOCAL block, SIZE_T bytes, UINT flags)
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    if (MoveableBlock* moveable = FindMoveable(block)) {
        HGLOBAL memory = GlobalReAlloc(moveable->memory, bytes, flags & LMEM_ZEROINIT);
        if (!memory)
            return nullptr;
        moveable->memory = memory;
        return block;
    }
    return GlobalReAlloc(block, bytes, flags & LMEM_ZEROINIT);
}

HLOCAL WINAPI LocalFree(HLOCAL block)
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    if (MoveableBlock* moveable = FindMoveable(block)) {
        GlobalFree(moveable->memory);
        Moveables().erase(block);
        return nullptr;
    }
    return GlobalFree(block);
}

LPVOID WINAPI LocalLock(HLOCAL block)
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    if (MoveableBlock* moveable = FindMoveable(block)) {
        ++moveable->locks;
        return moveable->memory;
    }
    return GlobalLock(block);
}

BOOL WINAPI LocalUnlock(HLOCAL block)
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    if (MoveableBlock* moveable = FindMoveable(block)) {
        if (moveable->locks > 0)
            --moveable->locks;
        SetLastError(NO_ERROR);
        return moveable->locks != 0;
    }
    return GlobalUnlock(block);
}

SIZE_T WINAPI LocalSize(HLOCAL block)
{
    std::lock_guard<std::mutex> lock(g_localMutex);
    if (MoveableBlock* moveable = FindMoveable(block))
        return GlobalSize(moveable->memory);
    return GlobalSize(block);
}

} // extern "C"
