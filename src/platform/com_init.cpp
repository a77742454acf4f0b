#include "platform/com_init.h"

#include <map>

#include "platform/lock.h"

namespace {

CLock& ComLock()
{
    static CLock lock;
    return lock;
}

std::map<DWORD, uint32_t>& ComCounts()
{
    static std::map<DWORD, uint32_t> counts;
    return counts;
}

} // namespace

uint32_t ComInitForThread()
{
    CScopedLock guard(ComLock());
    uint32_t& count = ComCounts()[GetCurrentThreadId()];
    if (count == 0 && FAILED(CoInitialize(nullptr)))
        return 1;
    ++count;
    return 0;
}

uint32_t ComUninitForThread()
{
    CScopedLock guard(ComLock());
    auto it = ComCounts().find(GetCurrentThreadId());
    if (it == ComCounts().end() || it->second == 0)
        return 1;
    if (it->second == 1)
        CoUninitialize();
    if (--it->second == 0)
        ComCounts().erase(it);
    return 0;
}
