#include "drawing/text_draw_switch.h"

uint8_t g_TextDrawSwitch = 0;
