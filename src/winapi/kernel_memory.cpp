#include "winapi/kernel_memory.h"

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
