// Kernel services of the Windows stand-in: files, memory, threads, synchronisation, time, modules
// and strings. Engine code includes this header, never the parts below.
#pragma once

#include "winapi/kernel_file.h"
#include "winapi/kernel_memory.h"
#include "winapi/kernel_module.h"
#include "winapi/kernel_string.h"
#include "winapi/kernel_sync.h"
#include "winapi/kernel_system.h"
#include "winapi/kernel_time.h"
