#include "winapi/clock.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "winapi/kernel.h"

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

void NotifyClockListeners(uint64_t ms);

void AdvanceVirtualClock(uint64_t ms)
{
    if (g_virtual.load()) {
        g_virtualMs.fetch_add(ms);
        if (ms > 0)
            NotifyClockListeners(ms);
    }
}

uint64_t ClockMilliseconds()
{
    return g_virtual.load() ? g_virtualMs.load() : RealMicroseconds() / 1000;
}

uint64_t ClockMicroseconds()
{
    return g_virtual.load() ? g_virtualMs.load() * 1000 : RealMicroseconds();
}

void SleepMicroseconds(uint64_t us)
{
    if (us == 0 || g_virtual.load()) {
        Sleep(static_cast<DWORD>((us + 999) / 1000));
        return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace winapi

// Clock listeners and clock waits.
namespace winapi {

namespace {

struct Listeners {
    std::mutex mutex;
    std::map<int, std::pair<ClockListener, void*>> entries;
    int next = 1;
};
Listeners& TheListeners()
{
    static auto* listeners = new Listeners;
    return *listeners;
}

struct Waiters {
    std::mutex mutex;
    std::map<uint64_t, uint64_t> idlePolls; // waiting thread → polls that found nothing to do
    uint64_t next = 1;
};
Waiters& TheWaiters()
{
    static auto* waiters = new Waiters;
    return *waiters;
}

} // namespace

void NotifyClockListeners(uint64_t ms)
{
    Listeners& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    for (auto& [id, entry] : l.entries)
        entry.first(entry.second, ms);
}

int AddClockListener(ClockListener listener, void* context)
{
    Listeners& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    const int id = l.next++;
    l.entries[id] = {listener, context};
    return id;
}

void RemoveClockListener(int id)
{
    Listeners& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.entries.erase(id);
}

uint32_t WaitOnClock(HANDLE handle, uint32_t ms)
{
    if (!IsVirtualClock())
        return handle ? WaitForSingleObject(handle, ms) : (Sleep(ms), WAIT_TIMEOUT);
    const uint64_t deadline = ms == INFINITE ? UINT64_MAX : ClockMilliseconds() + ms;
    Waiters& w = TheWaiters();
    uint64_t key;
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        key = w.next++;
        w.idlePolls[key] = 0;
    }
    uint32_t result = WAIT_TIMEOUT;
    for (;;) {
        if (handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) {
            result = WAIT_OBJECT_0;
            break;
        }
        if (ClockMilliseconds() >= deadline)
            break;
        {
            std::lock_guard<std::mutex> lock(w.mutex);
            ++w.idlePolls[key];
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::lock_guard<std::mutex> lock(w.mutex);
    w.idlePolls.erase(key);
    return result;
}

bool WaitForClockWaiters(int count, uint32_t timeoutMs)
{
    Waiters& w = TheWaiters();
    std::map<uint64_t, uint64_t> start;
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        start = w.idlePolls;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        int settled = 0;
        {
            std::lock_guard<std::mutex> lock(w.mutex);
            for (auto& [key, polls] : w.idlePolls) {
                auto s = start.find(key);
                if (polls >= (s == start.end() ? 0 : s->second) + 2)
                    ++settled;
            }
        }
        if (settled >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

} // namespace winapi
