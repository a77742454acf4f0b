#include "platform/font_settings.h"

uint8_t g_bBoldByGdiFont = 0;
uint32_t g_GlyphCacheLimit = 512;
