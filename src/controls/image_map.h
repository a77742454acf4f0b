// CImageMap: an invisible control that divides a screen area into clickable regions by an 8-bit
// map picture (pixel value = region number). It reports enter, leave and click per region, lets
// the keyboard step through the enabled regions, and locks itself on a click.
#pragma once

#include "controls/control.h"
#include "raster/image.h"

#include <memory>
#include <string>
#include <vector>

struct CMapRegionEvents {
    virtual ~CMapRegionEvents() = default;
    std::string commandName;
    int32_t commandValue = 0;
    std::string commandArgument;
    int32_t* activatedFlag = nullptr;
    int32_t* highlightFlag = nullptr;
    int32_t* normalFlag = nullptr;
    std::string hint;
};

struct CMapRegion {
    uint8_t enabled = 1;
    std::unique_ptr<CMapRegionEvents> events;
};

class CImageMap : public CControl {
public:
    ~CImageMap() override;
    int GetType() const override { return kControlImageMap; }
    int GetX() const override { return m_x; }
    int GetY() const override { return m_y; }
    int GetWidth() const override { return m_map.GetWidth(); }
    int GetHeight() const override { return m_map.GetHeight(); }
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
    // The shown region's hint.
    const char* GetHintText() const override { return m_shownHint; }

    // 0; 1 region count outside 1..255; 2 the map could not be loaded or is not an 8-bit picture.
    int Create(const char* mapFile, int regionCount, int x, int y, bool clickable, int group);
    // As Create, from a map already in memory (copied).
    int CreateFromImage(const CImage& map, int regionCount, int x, int y, bool clickable, int group);
    // The region map (the control's one picture).
    CImage& GetMap() { return m_map; }
    // 0; 1 without regions; 2 region out of range.
    int SetRegionEnabled(int region, bool enabled);
    int SetRegionEvents(int region, const char* commandName, int commandValue, const char* commandArgument,
                        const char* hint, int32_t* activatedFlag, int32_t* highlightFlag, int32_t* normalFlag);
    void SetSounds(const char* activate, const char* enter, const char* leave, int activateNumber, int enterNumber,
                   int leaveNumber);
    void SetLocked(bool locked) { m_locked = locked ? 1 : 0; }
    bool IsLocked() const { return m_locked != 0; }
    // 0; 1 no container or regions, locked, out of range, or the focus could not be taken; 2 disabled.
    int ActivateRegion(int region);
    bool FireClick(int region);
    void SelectRegion(int region);
    void Release();
    int GetCurrentRegion() const { return m_current; }
    int GetRegionCount() const { return static_cast<int>(m_regions.size()); }
    int GetPressState() const { return m_pressState; }

private:
    void EnterRegion(int region);
    const char* LeaveRegion(int region);
    // Leaves the current region; a shown hint ends the form's hover and restarts its delay.
    void LeaveCurrent();
    int NextEnabled(int from, int step) const;
    bool RegionOk(int region) const { return region >= 0 && static_cast<size_t>(region) < m_regions.size(); }
    int Adopt(int regionCount, int x, int y, bool clickable, int group);

    CImage m_map;
    std::vector<CMapRegion> m_regions;
    int32_t m_x = 0;
    int32_t m_y = 0;
    uint8_t m_clickable = 0;
    const char* m_shownHint = nullptr;
    uint8_t m_locked = 0;
    int32_t m_hit = -1;
    int32_t m_current = -1;
    uint8_t m_pressState = 0;
    std::string m_sounds[3];  // activate, enter, leave
    int32_t m_soundNumbers[3] = {-1, -1, -1};
};
