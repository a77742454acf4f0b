// Setting a sprite up from a picture file or an image in one call: the picture, the part of it
// shown, the colour key or blend, and its place in a canvas's draw list or overlay.
#pragma once

#include <cstdint>

#include "winapi/base.h"

class CImage;
class CImageObject;
class CSprite;

// keyMode 0: colour key keyValue (0x00RRGGBB); 1 and above: the colour at (low, high 16 bits of
// keyValue); -1 none; below -1: blend mode 2 with alpha keyValue. A source left below 0 shows the
// whole image. priority >= 0 inserts the sprite into the canvas's overlay (overlay set) or scene
// list; a null canvas is the screen's frame canvas. → 0; 1 no sprite or image; 2 the file did not
// load; 3 the sprite could not be set up (also: no canvas or list to insert into).
int SetUpSpriteFromFile(CSprite* sprite, CImage* image, const char* file, LONG x, LONG y, int keyMode,
                        int32_t keyValue, LONG left, LONG top, LONG right, LONG bottom, int priority, bool visible,
                        uint8_t overlay, CImageObject* canvas);
// The same for an image already made; a non-zero blend mode sets the sprite's blend mode and alpha.
int SetUpSpriteFromImage(CSprite* sprite, CImage* image, LONG x, LONG y, uint8_t blendMode, int32_t alpha, LONG left,
                         LONG top, LONG right, LONG bottom, int priority, bool visible, uint8_t overlay,
                         CImageObject* canvas);
