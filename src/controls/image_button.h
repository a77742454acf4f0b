// CButton: the image button, a rectangular hot spot that draws nothing. The script's own pictures
// follow the flags it writes; it highlights on pointer or focus and activates on a click or the
// decide action while highlighted.
#pragma once

#include "controls/control.h"
#include "controls/control_command.h"

#include <memory>

class CButton : public CControl, public CCommandHolder {
public:
    ~CButton() override;
    int GetType() const override { return kControlImageButton; }
    int GetX() const override { return m_x; }
    int GetY() const override { return m_y; }
    int GetWidth() const override { return m_width; }
    int GetHeight() const override { return m_height; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool) override {}
    bool IsVisible() const override { return m_enabled != 0; }
    int SetPriority(int, int, bool) override { return 0; }
    int GetPriority() const override { return 0; }
    int SetAlpha(int) override { return 0; }
    int GetAlpha() const override { return 0; }
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;

    // 1 width or height not positive (nothing stored); 0. A negative hot coordinate: the centre.
    int Create(int x, int y, int width, int height, int hotX, int hotY, bool pointerEnabled, bool activatable, int id);
    // False in no container or when not activatable.
    bool Activate();
    bool IsHighlighted() const { return m_highlighted != 0; }
    int GetHotX() const { return m_hotX; }
    int GetHotY() const { return m_hotY; }
    // The anchor the form may move the pointer to; a negative coordinate: the centre on that axis.
    void SetHotPoint(int x, int y);

private:
    void Highlight();

    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_hotX = 0;
    int32_t m_hotY = 0;
    uint8_t m_pointerEnabled = 0;
    uint8_t m_activatable = 0;
    uint8_t m_highlighted = 0;
};
