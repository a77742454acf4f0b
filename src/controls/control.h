// CControl: the abstract base of every on-screen control. A control draws itself through its own
// drawables; the container it is linked into (control_container.h) routes pointer and key input
// to it and receives its requests (sounds, results, commands). Controls are never owned by their
// container.
#pragma once

#include <cstdint>
#include <string>

class CActionMap;
class CControlContainer;
class CInputSource;

// What GetType answers.
enum EControlType : int {
    kControlButton = 0,
    kControlToggle = 1,
    kControlRect = 2,
    kControlTextInput = 3,
    kControlScroll = 4,
    kControlTextPanel = 5,
    kControlTextLayer = 6,
    kControlImageButton = 7,
    kControlListBase = 8,
    kControlListLayer = 9,
    kControlImageMap = 10,
    kControlTextObject = 111,
};

// Neighbour slots, in the order of the navigation actions.
enum : int { kNeighbourUp = 0, kNeighbourDown = 1, kNeighbourLeft = 2, kNeighbourRight = 3 };

// Action numbers the game binds and the controls rely on.
enum : uint32_t { kActionUp = 0, kActionDown = 1, kActionLeft = 2, kActionRight = 3, kActionDecide = 4, kActionCancel = 5 };

// Sound numbers asking the form for its default sound of an event.
enum : int { kSoundDefaultLeave = -2, kSoundDefaultEnter = -3, kSoundDefaultActivate = -4 };

// How long a decide press by key shows the pressed picture before the control acts.
constexpr uint32_t kKeyPressMs = 100;

class CControl {
public:
    CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;
    // Frees the hint; when linked, leaves the container and clears every neighbour pointer that
    // names this control in any of the container's layers.
    virtual ~CControl();

    virtual int GetType() const = 0;
    virtual int GetX() const = 0;
    virtual int GetY() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    // 0 on success.
    virtual int SetPosition(int x, int y) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    // 0 on success; the classes list their failures.
    virtual int SetPriority(int priority, int group, bool keepIfUnchanged) = 0;
    virtual int GetPriority() const = 0;
    virtual int SetAlpha(int alpha) = 0;
    virtual int GetAlpha() const = 0;
    // False when unchanged. Disabling a linked control drops its focus and its capture.
    virtual bool SetEnabled(bool enabled);
    // Null or empty: no hint. A shown hint of the capture control is hidden first.
    virtual void SetHintText(const char* text);
    // Whether the screen point lies on the control.
    virtual bool HitTest(int x, int y) = 0;
    // Coordinates relative to the control's top-left.
    virtual void OnMouseMove(int, int) {}
    virtual void OnMouseEnter() {}
    virtual void OnMouseLeave() {}
    // Every frame while the capture control; true = consumed.
    virtual bool OnMouseInput(int, int, CInputSource*) { return false; }
    virtual void OnSetFocus(CControl*, bool) {}
    virtual void OnKillFocus(CControl*) {}
    // Every frame while the focus control; true = consumed.
    virtual bool OnKeyInput(CActionMap*) { return false; }
    virtual bool OnKeyDown(int) { return false; }
    virtual bool OnTextInput(const char*, int) { return false; }
    virtual int Update(uint32_t) { return 0; }
    virtual bool IsEnabled() const { return m_enabled != 0; }
    // Null when there is none.
    virtual const char* GetHintText() const { return m_hint.empty() ? nullptr : m_hint.c_str(); }
    virtual int GetId() const { return m_id; }
    virtual void SetUserValue(int value) { m_userValue = value; }
    virtual int GetUserValue() const { return m_userValue; }

    // Four values the script keeps with the control; the engine reads none of them.
    void SetExtraValues(int32_t a, int32_t b, int32_t c, int32_t d)
    {
        m_extra[0] = a;
        m_extra[1] = b;
        m_extra[2] = c;
        m_extra[3] = d;
    }
    int32_t GetExtraValue(int i) const { return i >= 0 && i < 4 ? m_extra[i] : 0; }

    // Argument order left, right, up, down.
    void SetNeighbours(CControl* left, CControl* right, CControl* up, CControl* down);
    CControl* GetNeighbour(int slot) const { return slot >= 0 && slot < 4 ? m_neighbours[slot] : nullptr; }
    CControlContainer* GetContainer() const { return m_container; }

protected:
    // Focus and capture given up (hiding, locking).
    void DropFocusAndCapture();
    // A frame drag in progress: while the form's first mouse button stays down the control follows
    // the pointer (x, y) less its grab point and the answer is true; a released button ends it.
    bool FollowDrag(uint8_t* dragging, int x, int y, int grabX, int grabY);

    uint8_t m_enabled = 1;
    std::string m_hint;
    int32_t m_id = 0;
    int32_t m_userValue = -1;
    int32_t m_extra[4] = {0, 0, 0, 0};

private:
    friend class CControlContainer;
    CControlContainer* m_container = nullptr;
    CControl* m_neighbours[4] = {nullptr, nullptr, nullptr, nullptr};
};
