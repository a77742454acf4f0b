// The check box and radio button drawn into the scene from a picture of state columns. A check
// box toggles by itself; radio buttons form a group led by the first one created, in which exactly
// one member is on. The value is mirrored into a script variable (0 off, 1 on, 2 disabled).
#pragma once

#include "controls/control.h"
#include "controls/control_command.h"
#include "controls/control_sprite.h"

#include <memory>
#include <string>
#include <vector>

class CDrawList;

// States: 0 off, 1 off + hover, 2 off + pressed, 3 on, 4 on + hover, 5 on + pressed, 6 disabled
// off, 7 disabled on. Kinds: 0 check box, 1 check box without pressed pictures, 2 radio button,
// 3 radio button without pressed pictures.
class CToggleButton : public CControl, public CCommandHolder {
public:
    ~CToggleButton() override;
    int GetType() const override { return kControlToggle; }
    int GetX() const override { return m_face.m_sprite.GetX(); }
    int GetY() const override { return m_face.m_sprite.GetY(); }
    int GetWidth() const override { return m_frameWidth; }
    int GetHeight() const override { return m_frameHeight; }
    // A leader moves its members by the same offset.
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_face.m_sprite.IsVisible(); }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_face.m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_face.m_sprite.GetAlpha(); }
    // Refused (false) while the group is locked; a leader applies it to its members first.
    bool SetEnabled(bool enabled) override;
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;

    void Release();
    int SetState(int state);
    bool PixelHitTest(int x, int y) { return m_face.m_sprite.HitTest(x, y, true); }
    // False when already in the requested value.
    bool SetChecked(bool on);
    // 0 (also unchanged); 1 neither leader nor member; 2 index negative or past the member count.
    int Select(int index);
    int UpdateVariables();
    void SetGroupLocked(bool locked);
    // Leader: 0; 1 null; 2 already a member.
    int AddMember(CToggleButton* control);
    // Leader: 0; 1 null; 2 not a member. The selection keeps naming the same control (the leader
    // when the selected one leaves, which is switched on).
    int RemoveMember(CToggleButton* control);
    bool IsSelected(const CToggleButton* control) const;
    void FireClick();
    // The type-specific byte: rectangular hit test when non-zero.
    void SetRectangularHit(uint8_t value) { m_rectangularHit = value != 0 ? 1 : 0; }

    // 0; 1 null list or file, kind above 3, or a leader that leads no group; 2 the picture could
    // not be loaded or shown.
    int CreateFromFile(CDrawList* list, int priority, int32_t* stateVariable, const char* file, int kind,
                       bool hasDisabledFrames, CToggleButton* leader, int x, int y, int blendMode, int alpha,
                       int firstTransparency, int secondTransparency, int group);
    // As CreateFromFile with a borrowed picture (1 when it has no pixels).
    int CreateFromImage(CDrawList* list, int priority, int32_t* stateVariable, CImage* image, int kind,
                        bool hasDisabledFrames, CToggleButton* leader, int x, int y, int blendMode, int alpha,
                        int group);

    int GetState() const { return m_state; }
    int GetKind() const { return m_kind; }
    int GetSelectedIndex() const { return m_selected; }
    bool IsLeader() const { return m_isLeader != 0; }
    CToggleButton* GetLeader() const { return m_leader; }
    const std::vector<CToggleButton*>& GetMembers() const { return m_members; }
    bool IsGroupLocked() const { return m_groupLocked != 0; }
    bool IsRectangularHit() const { return m_rectangularHit != 0; }
    CSprite& GetSprite() { return m_face.m_sprite; }
    // The picture the face shows its frames from (own or borrowed); null before creation.
    CImage* GetPicture() { return m_face.Picture(); }

private:
    bool IsRadio() const { return m_kind >= 2; }
    bool IsOn() const { return m_state >= 3 && m_state != 6; }
    CToggleButton* Leader() { return m_leader ? m_leader : this; }
    CToggleButton* MemberAt(int index);
    int IndexOf(const CToggleButton* control) const;
    void DissolveGroup();
    void Toggle(bool fromPointer);
    void HandFocusOn(bool forward);
    int Finish(CDrawList* list, int priority, int32_t* stateVariable, int kind, bool hasDisabledFrames,
               CToggleButton* leader, int x, int y, int blendMode, int alpha, int group);
    template <class F>
    void ForMembers(F f)
    {
        for (CToggleButton* member : m_members)
            f(member);
    }

    CControlSprite m_face;
    std::string m_fileName;
    int32_t m_frameWidth = 0;
    int32_t m_frameHeight = 0;
    uint8_t m_kind = 0;
    uint8_t m_hasDisabledFrames = 0;
    uint8_t m_rectangularHit = 0;
    uint8_t m_state = 0;
    int32_t m_selected = 0;
    int32_t* m_stateVariable = nullptr;
    uint8_t m_groupLocked = 0;
    uint32_t m_repeatDeadline = 0;
    uint8_t m_isLeader = 0;
    std::vector<CToggleButton*> m_members;
    CToggleButton* m_leader = nullptr;
};
