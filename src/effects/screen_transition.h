// The timed screen filters: a base that takes the duration and the canvas checks shared by every
// transition, and the eight named transitions the game registers ("cross", "rule", "scroll",
// "wave", "mosaic", "rotaxis", "trans", "tone"). Each is created by name for a canvas, stepped with
// the time and asked by the canvas for one picture (or band) per presentation.
// SetParamsV codes: 0; 1 no canvas, no words or a duration of 0; 2 a canvas that is not 32 bits
// per pixel or a refused word; 5 a pixel-library entry or table the class needs is missing.
// Draw: 0, or 5 when a pixel operation failed or the job's pictures do not fit its area.
#pragma once

#include <algorithm>
#include <cstdint>

#include "display/screen_filter.h"

class CImage;
class CSurface;

// e × end / d in 64 bits, at most end (a 32-bit product wrapped after a long stall and ran the
// transition backwards).
inline uint32_t ScaleProgress(uint32_t e, uint32_t end, uint32_t d)
{
    if (d == 0)
        return end;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{e} * end / d, end));
}

// A job's area checked against its pictures: every picture the job names holds the area at its
// position, and all are 32-bit. Kind 0 and 1 filters read the new picture from `second`, which
// is the old one when the canvas passed none.
struct FilterArea {
    CImage* dst;
    CImage* first;
    CImage* second;
    LONG x, y, width, height; // the area in canvas coordinates
    LONG dx, dy, sx, sy, tx, ty;
};
// False when a picture is missing, not 32-bit, or the area leaves one of them.
bool CheckFilterJob(const FilterJob& job, FilterArea* area);

class CTimedFilter : public CScreenFilter {
public:
    uint32_t Duration() const { return m_duration; }

protected:
    // The common checks of SetParamsV: 1 or 2 as above, else 0 with the duration stored (raised
    // to minDuration), the picture size taken and the restart flag set.
    int TakeCommon(CImageObject* canvas, const CEffectArgs& args, uint32_t minDuration = 1);
    // The restart call → true (start taken); else the elapsed time in *e.
    bool Restart(DWORD now, uint32_t* e);

    uint32_t m_duration = 0;
    uint32_t m_start = 0;
    uint8_t m_restart = 0;
    LONG m_width = 0;
    LONG m_height = 0;
};

class CCrossTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 0; }
    const char* GetName() override { return "cross"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == 255 ? -1 : 0; }
    uint8_t Progress() const { return m_progress; }

protected:
    uint8_t m_progress = 0;
};

class CRuleTransition : public CCrossTransition {
public:
    static CPluginFilter* Create(DWORD parameter);
    const char* GetName() override { return "rule"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Draw(const FilterJob& job) override;

private:
    CSurface* m_rule = nullptr;
    uint32_t m_softness = 0;
};

class CScrollTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 0; }
    const char* GetName() override { return "scroll"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_position == m_distance ? -1 : 0; }
    uint32_t Position() const { return m_position; }
    uint8_t FadeOpacity() const { return m_fadeOpacity; }

private:
    uint32_t m_position = 0;
    uint32_t m_distance = 0;
    uint8_t m_direction = 0;
    uint8_t m_style = 0;
    uint8_t m_fade = 0;
    uint8_t m_fadeOpacity = 0;
    double m_acceleration = 0.0;
};

class CWaveTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 0; }
    const char* GetName() override { return "wave"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_opacity == 255 ? -1 : 0; }

    int64_t Amplitude() const { return m_amplitude; }
    int64_t RowStep() const { return m_rowStepNow; }
    int64_t PhaseOffset() const { return m_phaseOffset; }
    uint32_t Opacity() const { return m_opacity; }
    uint32_t FillColor() const { return m_fillColor; }

private:
    void Compute(uint32_t e);

    uint32_t m_mode = 0;
    int32_t m_limit = 0;
    int32_t m_rowStep = 0;
    uint32_t m_firstColor = 0;
    uint32_t m_lastColor = 0;
    int64_t m_amplitude = 0;
    int64_t m_rowStepNow = 0;
    int64_t m_phaseOffset = 0;
    uint32_t m_opacity = 0;
    uint32_t m_fillColor = 0;
};

class CMosaicTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "mosaic"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == m_end ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }
    uint32_t End() const { return m_end; }

private:
    uint32_t m_progress = 0;
    uint32_t m_end = 2;
    uint8_t m_anchor = 0;
    uint8_t m_keepAspect = 0;
};

class CRotAxisTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "rotaxis"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == 256 ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }
    void SetProgress(uint32_t progress) { m_progress = std::min<uint32_t>(progress, 256); }

private:
    uint32_t m_progress = 0;
    uint8_t m_axis = 0;
};

class CTransTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "trans"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == (m_reverse ? 0u : 256u) ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }

private:
    uint32_t m_progress = 0;
    uint8_t m_index = 0;
    uint8_t m_reverse = 0;
};

class CToneTransition : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 2; }
    const char* GetName() override { return "tone"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == (m_reverse ? 0 : 255) ? -1 : 0; }
    uint8_t Progress() const { return m_progress; }

private:
    uint8_t m_progress = 0;
    uint8_t m_reverse = 0;
    uint32_t m_color = 0;
};

// The old picture's area copied into the destination's (CImage::Copy, which picks the plain or
// MMX row kernel) → false when the copy failed.
bool CopyArea(const FilterArea& area, const CImage* from, LONG fromX, LONG fromY);
