// The one clock behind timeGetTime, GetTickCount, QueryPerformanceCounter and Sleep. By default it
// is the monotonic clock of the machine; tests and the headless host switch it to a virtual clock
// that only moves when they move it (or when a thread calls Sleep), so timing is reproducible.
#pragma once

#include <cstdint>

namespace winapi {

// Switches the virtual clock on or off. Turning it on starts it at the current real reading (so
// time never jumps backwards for callers already running); SetVirtualTime then places it anywhere.
void UseVirtualClock(bool on);

// True while the virtual clock is in use.
bool IsVirtualClock();

// Sets the virtual clock to `ms` milliseconds (timeGetTime then answers the low 32 bits, so a test
// can start just before the 32-bit wrap). Ignored while the virtual clock is off.
void SetVirtualTime(uint64_t ms);

// Moves the virtual clock forward by `ms` milliseconds. Ignored while the virtual clock is off.
void AdvanceVirtualClock(uint64_t ms);

// The clock's current reading in milliseconds (64 bits, never wraps); virtual or real.
uint64_t ClockMilliseconds();

// The clock's current reading in microseconds; the virtual clock moves in whole milliseconds.
uint64_t ClockMicroseconds();

// Sleeps `us` microseconds in one wait (a wait in Sleep's whole milliseconds that must end between
// two of them becomes a chain of wakeups); the virtual clock moves by the whole milliseconds that
// cover it. 0 only yields.
void SleepMicroseconds(uint64_t us);

// Called after each forward move of the virtual clock (AdvanceVirtualClock, Sleep; not
// SetVirtualTime) with the distance moved, on the moving thread, before that call returns. The
// headless DirectSound device mixes the frames that fell due this way. → an id for removal.
using ClockListener = void (*)(void* context, uint64_t ms);
int AddClockListener(ClockListener listener, void* context);
// Removes it; a call in progress on another thread ends first.
void RemoveClockListener(int id);

} // namespace winapi
