// The scroll bar: an arrow button at each end, a track between them and a thumb whose offset
// along the track stays in proportion to a value from 0 to a maximum. Driven by thumb dragging
// (under the form's pointer lock), track paging and arrows with auto-repeat, the wheel, the arrow
// actions and Home/End; a listener hears every value change.
#pragma once

#include "controls/button_control.h"
#include "controls/control.h"
#include "drawing/sprite.h"
#include "raster/image.h"

#include <cstdint>
#include <memory>
#include <string>

class CDrawList;
class CScrollControl;

class CScrollListener {
public:
    virtual ~CScrollListener() = default;
    virtual void OnScroll(CScrollControl* control, int value) = 0;
    // A forward step was asked for at the maximum (or with nothing set up).
    virtual void OnScrollEnd(CScrollControl* control) = 0;
};

// An arrow at one end of the bar: a drawn push button with a triangle that steps its owner,
// repeating while held (500 ms, then every 100 ms).
class CArrowButton : public CButtonControl {
public:
    // Direction 0 up, 1 down, 2 left, 3 right.
    CArrowButton(CScrollControl* owner, uint8_t direction, uint32_t arrowColor)
        : m_owner(owner), m_direction(direction), m_arrowColor(arrowColor)
    {
    }
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void DrawFace(CImage* image, const RECT& rect, bool disabled) override;
    void FireClick() override;
    uint8_t GetDirection() const { return m_direction; }

private:
    void Step();

    CScrollControl* m_owner;
    uint8_t m_direction;
    uint32_t m_arrowColor;
    uint32_t m_nextRepeat = 0;
};

// The arrow glyph: a filled triangle pointing in `direction` inside rect, in colour (0x00RRGGBB).
void DrawArrowTriangle(CImage* image, const RECT& rect, uint8_t direction, uint32_t color);

class CScrollControl : public CControl {
public:
    CScrollControl();
    ~CScrollControl() override;

    int GetType() const override { return kControlScroll; }
    int GetX() const override { return m_x; }
    int GetY() const override { return m_y; }
    int GetWidth() const override { return m_trackW; }
    int GetHeight() const override { return m_trackH; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_trackSprite ? m_trackSprite->IsVisible() : m_visible != 0; }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_thumbSprite.GetAlpha(); }
    bool SetEnabled(bool enabled) override;
    bool HitTest(int x, int y) override { return HitPart(x, y); }
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;

    virtual void Release();
    // 0; 1 not set up; -1 unchanged.
    virtual int SetValue(int value);
    virtual int SetThumbOffset(int offset);
    // 0; -1 not set up.
    virtual int StepValue(bool forward);
    // 0; 1 no list or total 0; -1 everything visible (not set up, disabled).
    virtual int SetRange(int length, int total, int visible, int value, int minimumThumb);
    // part: 0 the bar, 1 and 2 the arrows (1 or 2 when that arrow is missing); 0.
    virtual int SetPartState(int part, int state);
    virtual bool HitPart(int x, int y);
    void SetListener(CScrollListener* listener) { m_listener = listener; }
    void SetSounds(const char* activate, const char* enter, const char* leave, int activateNumber, int enterNumber,
                   int leaveNumber);
    // 1 null container; -1 already in one; else the container's AddControl result for the bar.
    int AddToContainer(CControlContainer* container, int position);
    bool RemoveFromContainer();
    void SetDrawList(CDrawList* list);
    // 0; 1 no list or thumb file; 2 thumb; 3 track; 4, 5 arrows.
    int CreateFromFile(CDrawList* list, int priority, int x, int y, int thumbX, int thumbY, const char* thumbFile,
                       int thumbCap1, int thumbCap2, const char* trackFile, int trackCap1, int trackCap2,
                       const char* arrow1File, const char* arrow2File, bool fourCells, bool vertical, int blendMode,
                       int alpha, int keyA, int keyB, int id);
    // 0; 1 no list or thickness below 8; 2-5 a picture could not be made.
    int Create(CDrawList* list, int priority, int x, int y, bool vertical, int thickness, uint32_t baseColor,
               uint32_t trackColor, uint32_t highlightTint, uint32_t pressedTint, uint32_t arrowColor, int id);

    // Step rule of the wheel, the arrow actions and the arrow buttons.
    void StepBy(bool forward);
    void SetStep(int step) { m_step = step; }
    void SetClickMode(uint8_t mode) { m_clickMode = mode; }
    void SetPageActions(uint8_t back, uint8_t forward) { m_pageBack = back; m_pageForward = forward; }
    void SetRectangleHitTest(bool on) { m_rectHit = on ? 1 : 0; }
    int GetValue() const { return m_value; }
    int GetMaximum() const { return m_maximum; }
    int GetThumbOffset() const { return m_offset; }
    int GetTravel() const { return m_travel; }
    int GetThumbLength() const { return m_thumbLength; }
    int GetPartState() const { return m_partState; }
    bool IsDragging() const { return m_dragging != 0; }
    CArrowButton* GetArrow(int i) const { return i == 1 ? m_arrow1.get() : i == 2 ? m_arrow2.get() : nullptr; }
    CSprite& GetThumbSprite() { return m_thumbSprite; }
    CSprite* GetTrackSprite() const { return m_trackSprite.get(); }

private:
    bool SetUp() const { return m_value >= 0 && m_travel >= 0; }
    void PlaceThumb();
    void RefreshArrows();
    void Notify();
    int ArrowLength(const CArrowButton* arrow) const;
    // Rebuilds target to `length` along the axis from source: caps kept, the piece between repeated.
    bool TileImage(CImage& target, const CImage& source, int cap1, int cap2, int length, int cellCount);
    void ShowCell(CSprite& sprite, const CImage& image, int cellCount, int state, int length);
    void Sound(const std::string& name, int number, int fallback);
    int Fail(int code);

    CScrollListener* m_listener = nullptr;
    std::string m_thumbFile, m_trackFile;
    std::unique_ptr<CArrowButton> m_arrow1, m_arrow2;
    int32_t m_trackW = 0, m_trackH = 0;
    uint8_t m_vertical = 1;
    uint8_t m_partState = 0;
    int32_t m_x = 0, m_y = 0;
    int32_t m_offset = -1, m_travel = -1, m_thumbLength = 0;
    int32_t m_thumbX = 0, m_thumbY = 0;
    int32_t m_anchor = 0;
    int32_t m_maximum = 0, m_value = -1;
    uint8_t m_clickMode = 0;
    uint32_t m_repeat = 0;
    int8_t m_pageDirection = 0;
    uint8_t m_dragging = 0, m_rectHit = 1;
    uint8_t m_pageBack = 0, m_pageForward = 0;
    int32_t m_step = 0;
    std::string m_activateSound, m_enterSound, m_leaveSound;
    int32_t m_activateNumber = -1, m_enterNumber = -1, m_leaveNumber = -1;
    CControlContainer* m_container = nullptr;
    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    int32_t m_thumbCap1 = 0, m_thumbCap2 = 0, m_trackCap1 = 0, m_trackCap2 = 0;
    int32_t m_thumbCells = 3, m_trackCells = 1;
    int32_t m_thickness = 0;
    uint8_t m_drawn = 0;
    uint8_t m_visible = 1;
    CImage m_thumbImage;
    std::unique_ptr<CImage> m_thumbSource;
    CSprite m_thumbSprite;
    std::unique_ptr<CImage> m_trackImage, m_trackSource;
    std::unique_ptr<CSprite> m_trackSprite;
    int32_t m_blendMode = 2;
    int32_t m_alpha = 255;
};
