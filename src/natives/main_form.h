// CMainForm: the one program-wide form (g_MainForm) the system script places its controls in. It
// answers the container's questions from the application frame, the display and the sound
// manager, sets the mouse-cursor kinds and draws the popup-hint box into its target scene.
#pragma once

#include <cstdint>

#include "controls/control_container.h"
#include "drawing/sprite.h"
#include "raster/image.h"

class CGlyphFont;
class CScene;
class CSoundManager;

class CMainForm : public CControlContainer {
public:
    CMainForm() = default;
    ~CMainForm() override;

    void SetCursorPos(int x, int y) override;
    void GetCursorPos(int* x, int* y) override;
    // Kinds 0-6 → true (also the kind already set, which changes nothing); others → false.
    bool SetCursorKind(int kind) override;
    int GetCursorKind() override { return m_cursorKind; }
    void SetCursorVisible(bool visible) override;
    void RestartHintTimer() override;
    int GetWidth() override;
    int GetHeight() override;
    int GetFocusPointerMode() override { return 2; }
    void ParkPointer() override;
    // -2 no sound manager, event -1 or an unset event channel; else StartChannel's answer.
    int PlaySound(const char* name, int channel, int, int) override;
    void SetResult(int value) override { m_result = value; }
    int TakeActivatedValue() override;
    void SetImeOpen(bool open) override;
    CActionMap* GetActionMap() override;
    CInputSource* GetKeyboard() override;
    CInputSource* GetMouse() override;
    void Reset() override;
    void ShowHint(const char* text, int x, int y) override;
    void OnHideHint() override;
    bool PreInput(uint32_t time, bool* moved, int x, int y) override;
    bool DeliverTextInput(CControl* control) override;

    // The hint sprite leaves its list; the scene's overlay (or, without one, its list) shows the
    // next hint. Null: no hints. owner: the object the scene belongs to (a canvas), whose end
    // forgets the scene.
    void DetachAndSetTarget(CScene* scene, const void* owner = nullptr);
    CScene* GetTarget() const { return m_target; }
    void SetHintFont(CGlyphFont* font) { m_hintFont = font; }
    CGlyphFont* GetHintFont() const { return m_hintFont; }
    void SetSoundManager(CSoundManager* sound) { m_sound = sound; }
    // event -4, -3 or -2; channel -1 clears. False for another event.
    bool SetEventChannel(int event, int channel);
    // Forgets a scene or font the scripts deleted.
    void ForgetObject(const void* object);
    const CSprite& HintSprite() const { return m_hintSprite; }
    const CImage& HintImage() const { return m_hintImage; }

private:
    void PlaceHint(int pointerX, int pointerY);

    CScene* m_target = nullptr;
    const void* m_targetOwner = nullptr;
    CGlyphFont* m_hintFont = nullptr;
    CImage m_hintImage;
    CSprite m_hintSprite;
    int32_t m_cursorKind = 0;
    int32_t m_hintOffsetX = 0;
    int32_t m_hintOffsetY = 22;
    int32_t m_result = -1;
    CSoundManager* m_sound = nullptr;
    int32_t m_eventChannels[3] = {-1, -1, -1};
    uint8_t m_hintInList = 0;
};

extern CMainForm g_MainForm;

// The settings' popup-hint switch and delay (b16, b20) applied to the form.
void ApplyPopupHintSettings();
