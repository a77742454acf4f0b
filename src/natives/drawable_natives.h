// Natives 402-438, 440-445, 451-465: sprites and primitives made and deleted on the screen, the
// draw lists and background of a surface's scene, and the properties of drawables, sprites and
// primitives. Object words are handles (docs/natives-drawing.md lists each row's words).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

#define TESSARO_DRAWABLE_NATIVES(X)                                                                  \
    X(402) X(403) X(404) X(405) X(406) X(407) X(408) X(409) X(410) X(411) X(412) X(413) X(414) X(415) \
    X(416) X(417) X(418) X(419) X(420) X(421) X(422) X(423) X(424) X(425) X(426) X(427) X(428) X(429) \
    X(430) X(431) X(432) X(433) X(434) X(435) X(436) X(437) X(438) X(440) X(441) X(442) X(443) X(444) \
    X(445) X(451) X(452) X(453) X(454) X(455) X(456) X(457) X(458) X(459) X(460) X(461) X(462) X(463) \
    X(464) X(465)

#define TESSARO_DECLARE_DRAWABLE_NATIVE(N) uint32_t NativeDrawable##N(SobNativeArgs& args);
TESSARO_DRAWABLE_NATIVES(TESSARO_DECLARE_DRAWABLE_NATIVE)
#undef TESSARO_DECLARE_DRAWABLE_NATIVE
