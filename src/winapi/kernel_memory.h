// Global memory blocks (GlobalAlloc and friends).
#pragma once

#include "winapi/base.h"
