// The process-wide byte that text drawing reads to choose its drawing path; the application frame
// copies it from the system information at start-up.
#pragma once

#include <cstdint>

extern uint8_t g_TextDrawSwitch;
