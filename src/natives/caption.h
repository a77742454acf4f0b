// CCaption: the program-wide caption (g_Caption, published as g_pCaption): a one-line text near
// the lower left of the screen that slides into view, stays and slides away along a motion path
// with a sound; it also glides the mouse pointer onto a script control.
#pragma once

#include <cstdint>

#include "drawing/glyph_font.h"
#include "drawing/sprite.h"
#include "raster/image.h"

class CControl;
class CMainForm;
class CPathMoveTask;

class CCaption {
public:
    // The fonts, the popup-hint settings applied to the main form, g_pCaption := this.
    void SetUp();
    // The motion task and the sprite go; g_pCaption := null.
    void TearDown();
    // time: ms before the path starts. 0 shown; 1 the text image could not be made; 2 the path
    // could not be set; 3 the task could not start.
    int ShowText(const char* text, uint32_t time);
    void DropMotionTask();
    // The motion task while the object manager still lists it, else null.
    CPathMoveTask* GetValidHandle() const;
    // 0 gliding (or arrived, with wait); 1 the control got the focus instead (no part to glide to,
    // or the pointer parked in the screen's last pixel); -1 the frame loop ended while waiting;
    // -2 no control or form.
    int MoveCursorToObject(CControl* object, bool wait, CControl** out);

    const CSprite& Sprite() const { return m_sprite; }
    const CImage& Image() const { return m_image; }
    CGlyphFont& Font() { return m_font; }
    CGlyphFont& BigFont() { return m_bigFont; }

private:
    CGlyphFont m_font;
    CGlyphFont m_bigFont;
    CImage m_image;
    CSprite m_sprite;
    CPathMoveTask* m_task = nullptr;
    CMainForm* m_form = nullptr;
    uint8_t m_spriteInUse = 0;
};

extern CCaption g_Caption;
extern CCaption* g_pCaption;
