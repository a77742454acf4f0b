// Millisecond and performance clocks, Sleep and the timer-period calls; one replaceable clock behind them.
#pragma once

#include "winapi/base.h"
