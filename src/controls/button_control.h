// The push button drawn into the scene: one picture holding its states side by side (normal,
// hover, pressed, disabled), drawn by the button itself in the classic bevelled style, loaded from
// a file, or borrowed; its sprite shows one column. CButtonControlBase keeps the states, the hit
// test, the command record and the input handling; CButtonControl the picture and sprite.
#pragma once

#include "controls/control.h"
#include "controls/control_command.h"
#include "controls/control_sprite.h"

#include <memory>
#include <string>

class CDrawList;
class CGlyphFont;

// The bevel shades of drawn faces: the light one, and each channel shifted right by `bits`.
uint32_t LightShade(uint32_t color);
uint32_t ShiftShade(uint32_t color, int bits);

enum : uint8_t { kButtonNormal = 0, kButtonHover = 1, kButtonPressed = 2, kButtonDisabled = 3 };

class CButtonControlBase : public CControl, public CCommandHolder {
public:
    ~CButtonControlBase() override;
    bool SetEnabled(bool enabled) override;
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;

    virtual int SetState(int state) = 0;
    virtual bool PixelHitTest(int x, int y) = 0;
    // SetResult, the activate sound, the activated flag and the command; nothing without a form.
    virtual void FireClick();
    // The type-specific byte: rectangular hit test when non-zero.
    void SetRectangularHit(uint8_t value) { m_rectangularHit = value != 0 ? 1 : 0; }
    bool IsRectangularHit() const { return m_rectangularHit != 0; }
    int GetState() const { return m_state; }
    void SetFaceColor(uint32_t argb) { m_faceColor = argb; }
    void SetHighlightColor(uint32_t argb) { m_highlightColor = argb; }

protected:
    // From normal: hover and the enter event.
    void Enter();

    CGlyphFont* m_font = nullptr;
    std::string m_label;
    std::string m_fileName;
    int32_t m_frameWidth = 0;
    int32_t m_frameHeight = 0;
    uint8_t m_rectangularHit = 0;
    uint8_t m_hasDisabledFrame = 0;
    uint8_t m_hasPressedFrame = 1;
    uint8_t m_state = kButtonNormal;
    uint32_t m_faceColor = 0xD4D0C8;
    int32_t m_secondTransparency = -1;
    uint32_t m_highlightColor = 0x400080FF;
    uint32_t m_repeatDeadline = 0;
};

class CButtonControl : public CButtonControlBase {
public:
    ~CButtonControl() override;
    int GetType() const override { return kControlButton; }
    int GetX() const override { return m_face.m_sprite.GetX(); }
    int GetY() const override { return m_face.m_sprite.GetY(); }
    int GetWidth() const override { return m_frameWidth; }
    int GetHeight() const override { return m_frameHeight; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_face.m_sprite.IsVisible(); }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_face.m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_face.m_sprite.GetAlpha(); }
    void OnSetFocus(CControl* previous, bool forward) override;
    int SetState(int state) override;
    bool PixelHitTest(int x, int y) override;

    void Release() { Release(false); }
    // 1 null text; 2 the new creation failed.
    int SetLabel(const char* text);
    int ReloadImage(const char* file);
    int MoveToDisplayList(CDrawList* list) { return m_face.MoveToDisplayList(list); }
    // 0; 1 null list or image, or an image without pixels; 2 the sprite could not show it.
    int CreateFromImage(CDrawList* list, int priority, CImage* image, bool hasDisabledFrame, bool hasPressedFrame,
                        int x, int y, int blendMode, int alpha, int group);
    // 0; 1 null list or file; 2 the picture could not be loaded or shown.
    int CreateFromFile(CDrawList* list, int priority, const char* file, bool hasDisabledFrame, bool hasPressedFrame,
                       int x, int y, int blendMode, int alpha, int firstTransparency, int secondTransparency,
                       int group);
    // 0; 1 null list, or no font and a side below 8; 2 the picture could not be made.
    int CreateDrawn(CDrawList* list, int priority, const char* label, CGlyphFont* font, int x, int y, int width,
                    int height, bool hasDisabledFrame, int group);
    // Draws a face without label (the scroll control's arrows); nothing here.
    virtual void DrawFace(CImage*, const RECT&, bool) {}
    CImage* GetPicture() { return m_face.Picture(); }
    CSprite& GetSprite() { return m_face.m_sprite; }

private:
    int ColumnCount() const;
    int FinishPictureButton(CDrawList* list, int priority, int x, int y, int blendMode, int alpha, int group);
    int DrawColumns(int width, int height, int labelX, int labelY, int columns);
    // Release; with keepPixels the owned picture's pixels stay for the next picture drawn.
    void Release(bool keepPixels);

    CControlSprite m_face;
    int32_t m_blendMode = 0;
    int32_t m_alphaArg = 255;
    int32_t m_firstTransparency = -1;
};
