// Natives 317-332, 351, 355, 356: pixels, palettes, files and fills of one surface's image.
// Surface words are handles; docs/natives-drawing.md lists each row's words.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

#define TESSARO_IMAGE_NATIVES(X) \
    X(317) X(318) X(319) X(320) X(321) X(322) X(323) X(324) X(325) X(326) X(327) X(328) X(329) X(330) X(331) X(332) \
    X(351) X(355) X(356)

#define TESSARO_DECLARE_IMAGE_NATIVE(N) uint32_t NativeImage##N(SobNativeArgs& args);
TESSARO_IMAGE_NATIVES(TESSARO_DECLARE_IMAGE_NATIVE)
#undef TESSARO_DECLARE_IMAGE_NATIVE
