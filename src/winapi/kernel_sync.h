// Threads, events, critical sections, mutexes, interlocked operations and per-thread COM start-up.
#pragma once

#include "winapi/base.h"
