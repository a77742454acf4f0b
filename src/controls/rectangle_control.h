// The rectangle control: a push button drawn as one filled rectangle shape whose colour shows its
// state (normal, highlighted, pressed). It activates when the left button is released over it, or
// 100 ms after the decide action, so the pressed colour is always seen. CPushControlBase keeps the
// shared behaviour for other ways of drawing the state.
#pragma once

#include "controls/control.h"
#include "controls/control_command.h"
#include "drawing/primitive_object.h"

#include <memory>

class CDrawList;

class CPushControlBase : public CControl, public CCommandHolder {
public:
    bool SetEnabled(bool enabled) override;
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;

    // 0 normal, 1 highlighted, 2 pressed; any other value is shown as a colour itself.
    virtual int SetState(int state) = 0;
    // False in no container.
    virtual bool Activate();
    int GetState() const { return m_state; }

protected:
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint8_t m_state = 0;
    uint32_t m_normalColor = 0;
    uint32_t m_highlightColor = 0x400080FF;
    uint32_t m_pressedColor = 0x40FF8000;
    uint32_t m_keyReleaseTime = 0;
};

class CControlType2 : public CPushControlBase {
public:
    ~CControlType2() override;
    int GetType() const override { return kControlRect; }
    int GetX() const override { return m_shape.GetX(); }
    int GetY() const override { return m_shape.GetY(); }
    int GetWidth() const override { return m_width; }
    int GetHeight() const override { return m_height; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_shape.IsVisible(); }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_shape.GetAlpha(); }
    int SetState(int state) override;

    // 0; 1 null list or a side not positive; 2 the shape failed. A colour of -1 keeps the current.
    int Create(CDrawList* list, int priority, int x, int y, int width, int height, uint32_t normal,
               uint32_t highlight, uint32_t pressed, int id);
    // 1 not created; a side not positive keeps the current one.
    int SetSize(int width, int height);
    void Release() { m_shape.DetachFromList(); }
    // 1 without a current or new list.
    int SetDrawList(CDrawList* list);
    CPrimitiveObject& GetShape() { return m_shape; }

private:
    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    CPrimitiveObject m_shape;
};
