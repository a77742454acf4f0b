// CControlContainer: the abstract form. Once a frame HandleInput reads the pointer, finds the
// control under it (list order = hit-test and Tab order), hands pointer input to it and key input
// to the focus control, moves the focus by neighbours, arrows and Tab, and times the popup hint.
// It links controls without owning them and never draws. A concrete form supplies the pointer
// position, the input sources, the sounds and the hint box.
#pragma once

#include "controls/control.h"

#include <cstdint>
#include <vector>

class CControlContainer {
public:
    CControlContainer() = default;
    CControlContainer(const CControlContainer&) = delete;
    CControlContainer& operator=(const CControlContainer&) = delete;
    // Pops every saved layer, then unlinks every control.
    virtual ~CControlContainer();

    // 1 current layer empty; 2 not in the current layer; 3 disabled or hidden; 0 set (null clears).
    virtual int SetFocus(CControl* control);
    // 0 focus moved; 1 layer empty; 2 no candidate and no focus; -1 no other candidate.
    virtual int FocusNext();
    virtual int FocusPrevious();
    virtual void RemoveAllControls();
    // 1 current layer empty; 0 the layer put aside and a new empty one started.
    virtual int PushControlLayer();
    // 1 nothing saved; 0 the current layer unlinked and the last saved one restored.
    virtual int PopControlLayer();
    // position < 0 appends, k inserts before the node at index k. 0 ok; 1 null; 2 already linked;
    // 3 no memory.
    virtual int AddControl(CControl* control, int position);
    // Searched in the current layer, then in the saved ones; a stranger is left alone.
    virtual void RemoveControl(CControl* control);
    virtual void SetCursorPos(int, int) {}
    virtual void GetCursorPos(int* x, int* y) = 0;
    virtual bool SetCursorKind(int) { return false; }
    virtual int GetCursorKind() { return 0; }
    virtual void SetCursorVisible(bool) {}
    virtual void RestartHintTimer() {}
    virtual int GetWidth() { return 0; }
    virtual int GetHeight() { return 0; }
    // 0 nothing, 1 pointer to the control's hot point, 2 highlight then ParkPointer.
    virtual int GetFocusPointerMode() { return 0; }
    virtual void ParkPointer();
    // number >= 0 names a sound; -4, -3, -2 ask for the default activate, enter, leave sound.
    virtual int PlaySound(const char*, int, int, int) { return 0; }
    virtual void OnButtonCommand(const char*, const char*, int) {}
    virtual void SetResult(int) {}
    // The value the last activated control reported, forgotten once read (-1 none).
    virtual int TakeActivatedValue() { return -1; }
    virtual void SetImeOpen(bool) {}
    virtual CActionMap* GetActionMap() = 0;
    virtual CInputSource* GetKeyboard() = 0;
    virtual CInputSource* GetMouse() = 0;
    virtual void Reset();
    virtual void SetActive(bool active);
    // 1 previous (up, left, Shift+Tab), 2 next (down, right, Tab), 0 none.
    virtual int GetNavigationDirection(CActionMap* actions);
    // -1 inactive or skipped; 0 nothing taken; 1 pointer input consumed; 2 key input consumed by
    // the focus control; 3 text input taken; 4 focus moved.
    virtual int HandleInput(uint32_t time);
    virtual void ShowHint(const char*, int, int) {}
    virtual void OnHideHint() {}
    // False skips this frame's routing.
    virtual bool PreInput(uint32_t, bool*, int, int) { return true; }
    virtual bool DeliverTextInput(CControl*) { return false; }
    // True when the focus moved (or the lone candidate was focused again).
    virtual bool Navigate(CControl* focus, int direction);

    // False when there was no capture control.
    bool ReleaseCapture();
    bool IsCapture(const CControl* control) const { return control && m_capture && m_capture->control == control; }
    bool IsFocus(const CControl* control) const { return control && m_focus && m_focus->control == control; }
    CControl* GetCapture() const { return m_capture ? m_capture->control : nullptr; }
    CControl* GetFocus() const { return m_focus ? m_focus->control : nullptr; }
    void SetHintOptions(bool enabled, uint32_t delay, uint32_t duration);
    void HideHint();
    bool IsHintShown() const { return m_hintShown != 0; }
    bool IsHintEnabled() const { return m_hintEnabled != 0; }
    uint32_t GetHintDelay() const { return m_hintDelay; }
    bool IsActive() const { return m_active != 0; }
    void SetPointerLock(bool locked) { m_pointerLock = locked ? 1 : 0; }
    bool IsPointerLocked() const { return m_pointerLock != 0; }
    // Forgets the last pointer position (the next frame counts as a move).
    void ForgetPointer() { m_lastX = m_lastY = -1; }
    int GetLastInputResult() const { return m_lastResult; }
    // Controls of the current layer, in list order.
    std::vector<CControl*> GetControls() const;
    size_t GetSavedLayerCount() const { return m_saved.size(); }
    // Clears every neighbour pointer naming control, in every layer.
    void ForgetNeighbour(const CControl* control);

protected:
    uint32_t m_hoverStart = 0;

private:
    struct Node {
        CControl* control;
        Node* prev;
        Node* next;
    };
    struct Layer {
        Node* head = nullptr;
        Node* tail = nullptr;
    };
    void ChangeFocus(Node* node, bool forward);
    Node* FindNode(const Layer& layer, const CControl* control) const;
    static void Unlink(Layer& layer, Node* node);
    static bool IsCandidate(const CControl* control) { return control->IsEnabled() && control->IsVisible(); }
    int FocusScan(bool forward);

    Layer m_layer;
    std::vector<Layer> m_saved;
    int32_t m_lastX = -1;
    int32_t m_lastY = -1;
    uint8_t m_pointerLock = 0;
    uint8_t m_active = 1;
    int32_t m_lastResult = 0;
    uint8_t m_hintEnabled = 0;
    uint8_t m_hintShown = 0;
    uint32_t m_hintDelay = 0;
    uint32_t m_hintDuration = 0;
    Node* m_capture = nullptr;
    Node* m_focus = nullptr;
};
