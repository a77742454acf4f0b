// Natives 260-314: Direct3D scene objects made and deleted on the screen, the
// screen's task list, the task interface every scene object shares, and the colour and geometry
// operations of each kind. Object words are handles
// (docs/natives-drawing.md lists each row's words).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

#define TESSARO_SCENE_NATIVES(X)                                                                      \
    X(260) X(261) X(262) X(263) X(264) X(265) X(266) X(267) X(268) X(269) X(270) X(271) X(272) X(273) \
    X(274) X(275) X(276) X(277) X(278) X(279) X(280) X(281) X(282) X(283) X(284) X(285) X(286) X(287) \
    X(288) X(289) X(290) X(291) X(292) X(293) X(294) X(295) X(296) X(297) X(298) X(299) X(300) X(301) \
    X(302) X(303) X(304) X(305) X(306) X(307) X(308) X(309) X(310) X(311) X(312) X(313) X(314)

#define TESSARO_DECLARE_SCENE_NATIVE(N) uint32_t NativeScene##N(SobNativeArgs& args);
TESSARO_SCENE_NATIVES(TESSARO_DECLARE_SCENE_NATIVE)
#undef TESSARO_DECLARE_SCENE_NATIVE
