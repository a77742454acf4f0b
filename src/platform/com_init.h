// Per-thread COM start-up: threads that use COM objects call ComInitForThread once per use and
// ComUninitForThread as often; CoInitialize and CoUninitialize run on the first and last call.
#pragma once

#include <cstdint>

// Per-thread COM start-up counts. ComInitForThread: 0, or 1 when CoInitialize failed (count
// unchanged). ComUninitForThread: 0, or 1 for a thread that never initialised.
uint32_t ComInitForThread();
uint32_t ComUninitForThread();
