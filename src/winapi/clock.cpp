#include "winapi/clock.h"

#include <atomic>
#include <chrono>

namespace winapi {

namespace {

std::atomic<bool> g_virtual{false};
std::atomic<uint64_t> g_virtualMs{0};

uint64_t RealMicroseconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

void UseVirtualClock(bool on)
{
    if (on && !g_virtual.load())
        g_virtualMs.store(RealMicroseconds() / 1000);
    g_virtual.store(on);
}

bool IsVirtualClock()
{
    return g_virtual.load();
}

void SetVirtualTime(uint64_t ms)
{
    if (g_virtual.load())
        g_virtualMs.store(ms);
}

void AdvanceVirtualClock(uint64_t ms)
{
    if (g_virtual.load())
        g_virtualMs.fetch_add(ms);
}

uint64_t ClockMilliseconds()
{
    return g_virtual.load() ? g_virtualMs.load() : RealMicroseconds() / 1000;
}

uint64_t ClockMicroseconds()
{
    return g_virtual.load() ? g_virtualMs.load() * 1000 : RealMicroseconds();
}

} // namespace winapi
