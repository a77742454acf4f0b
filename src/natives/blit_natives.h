// Natives 333-401 but 351, 355, 356, 386-389: blits between the images of two surfaces (with the
// pixel library's, 390-394, 400, 401) and filters of one image (352-354, 378-385, 395-399).
// Leading words: destination, source, x, y, [width, height,] source
// rectangle (left, top, right, bottom), then the operation's own words; 65535 in x means the
// defaults, in the rectangle's left the whole source (docs/natives-drawing.md).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

uint32_t NativeBlit333(SobNativeArgs& args);
uint32_t NativeBlit334(SobNativeArgs& args);
uint32_t NativeBlit335(SobNativeArgs& args);
uint32_t NativeBlit336(SobNativeArgs& args);
uint32_t NativeBlit337(SobNativeArgs& args);
uint32_t NativeBlit338(SobNativeArgs& args);
uint32_t NativeBlit339(SobNativeArgs& args);
uint32_t NativeBlit340(SobNativeArgs& args);
uint32_t NativeBlit341(SobNativeArgs& args);
uint32_t NativeBlit342(SobNativeArgs& args);
uint32_t NativeBlit343(SobNativeArgs& args);
uint32_t NativeBlit344(SobNativeArgs& args);
uint32_t NativeBlit345(SobNativeArgs& args);
uint32_t NativeBlit346(SobNativeArgs& args);
uint32_t NativeBlit347(SobNativeArgs& args);
uint32_t NativeBlit348(SobNativeArgs& args);
uint32_t NativeBlit349(SobNativeArgs& args);
uint32_t NativeBlit350(SobNativeArgs& args);
uint32_t NativeBlit352(SobNativeArgs& args);
uint32_t NativeBlit353(SobNativeArgs& args);
uint32_t NativeBlit354(SobNativeArgs& args);
uint32_t NativeBlit357(SobNativeArgs& args);
uint32_t NativeBlit358(SobNativeArgs& args);
uint32_t NativeBlit359(SobNativeArgs& args);
uint32_t NativeBlit360(SobNativeArgs& args);
uint32_t NativeBlit361(SobNativeArgs& args);
uint32_t NativeBlit362(SobNativeArgs& args);
uint32_t NativeBlit363(SobNativeArgs& args);
uint32_t NativeBlit364(SobNativeArgs& args);
uint32_t NativeBlit365(SobNativeArgs& args);
uint32_t NativeBlit366(SobNativeArgs& args);
uint32_t NativeBlit367(SobNativeArgs& args);
uint32_t NativeBlit368(SobNativeArgs& args);
uint32_t NativeBlit369(SobNativeArgs& args);
uint32_t NativeBlit370(SobNativeArgs& args);
uint32_t NativeBlit371(SobNativeArgs& args);
uint32_t NativeBlit372(SobNativeArgs& args);
uint32_t NativeBlit373(SobNativeArgs& args);
uint32_t NativeBlit374(SobNativeArgs& args);
uint32_t NativeBlit375(SobNativeArgs& args);
uint32_t NativeBlit376(SobNativeArgs& args);
uint32_t NativeBlit377(SobNativeArgs& args);
uint32_t NativeBlit378(SobNativeArgs& args);
uint32_t NativeBlit379(SobNativeArgs& args);
uint32_t NativeBlit380(SobNativeArgs& args);
uint32_t NativeBlit381(SobNativeArgs& args);
uint32_t NativeBlit382(SobNativeArgs& args);
uint32_t NativeBlit383(SobNativeArgs& args);
uint32_t NativeBlit384(SobNativeArgs& args);
uint32_t NativeBlit385(SobNativeArgs& args);
uint32_t NativeBlit390(SobNativeArgs& args);
uint32_t NativeBlit391(SobNativeArgs& args);
uint32_t NativeBlit392(SobNativeArgs& args);
uint32_t NativeBlit393(SobNativeArgs& args);
uint32_t NativeBlit394(SobNativeArgs& args);
uint32_t NativeBlit395(SobNativeArgs& args);
uint32_t NativeBlit396(SobNativeArgs& args);
uint32_t NativeBlit397(SobNativeArgs& args);
uint32_t NativeBlit398(SobNativeArgs& args);
uint32_t NativeBlit399(SobNativeArgs& args);
uint32_t NativeBlit400(SobNativeArgs& args);
uint32_t NativeBlit401(SobNativeArgs& args);
