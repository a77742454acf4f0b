// CControlSprite: the picture side shared by the sprite-drawn controls (push buttons, check and
// radio buttons): the display list and priority, the owned or borrowed picture holding the state
// columns side by side, and the sprite that shows one column.
#pragma once

#include "drawing/sprite.h"
#include "raster/image.h"

#include <cstdint>

class CDrawList;

class CControlSprite {
public:
    // The picture shown: the borrowed one, else the owned one (null when empty).
    CImage* Picture();
    // 1 without a display list; else inserted (or moved to priority; with keep nothing when
    // unchanged), the sprite's tag := group; 0.
    int SetPriority(int priority, int group, bool keep);
    // Out of the list; sprite reset; picture freed (its pixels kept for the next Create of the
    // owned picture when keepPixels), borrowed one forgotten.
    void Release(bool keepPixels = false);
    // Loads the owned picture (2 on failure) and applies the transparency values: second >= 0:
    // the key colour of the pixel at (first, second); first != -1: first is the key colour;
    // first == -1 with blend mode 0: rectangular hit.
    int LoadPicture(const char* file, int first, int second, int blendMode, uint8_t* rectangularHit);
    // Borrows a picture (1 when it has no pixels); no key and blend mode 0: rectangular hit.
    int BorrowPicture(CImage* image, int blendMode, uint8_t* rectangularHit);
    // The sprite shows column 0 (frameWidth x the picture's height) at (x, y). 0; 2 failure.
    int ShowFirstColumn(int frameWidth, int x, int y, int blendMode, int alpha);
    void ShowColumn(int frameWidth, int column) { m_sprite.SetSourceOrigin(frameWidth * column, 0); }
    // 1 without a current or a new list, or the sprite not listed; else moved at the same priority.
    int MoveToDisplayList(CDrawList* list);

    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    CImage m_image;
    CSprite m_sprite;
    CImage* m_borrowed = nullptr;
};
