// The screen filters the script host registers beside ripple: "quake" (shakes the old picture),
// "zoomflip" (squeezes or zooms one picture into the other), "rotcenter" (spins a picture in from
// or out to the centre), "addsub" (flashes through white or black) and "hblur" (blurs across).
// Codes as the named transitions' (screen_transition.h); "quake" also answers 5 while the host has
// not given it its random source.
#pragma once

#include "effects/quake_motion.h"
#include "effects/screen_transition.h"

class CQuakeFilter : public CScreenFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 2; }
    const char* GetName() override { return "quake"; }
    // w0 cycle, w1 / w2 amplitude x / y, w3 duration (0: until the canvas cancels it), w4 end
    // factor text, w5 clear the uncovered border.
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_state == 2 ? -1 : 0; }
    int32_t OffsetX() const { return m_dx; }
    int32_t OffsetY() const { return m_dy; }

private:
    QuakeMotion m_motion;
    int32_t m_dx = 0;
    int32_t m_dy = 0;
    uint8_t m_state = 0;
    uint8_t m_clearBorder = 0;
};

class CZoomFlipFilter : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "zoomflip"; }
    // w0 duration, w1 mode (above 6 as 4, which shares its end), w2 filter byte.
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == m_end ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }
    uint32_t End() const { return m_end; }

private:
    uint8_t m_mode = 0;
    uint8_t m_filter = 0;
    uint32_t m_progress = 0;
    uint32_t m_end = 512;
    int64_t m_lastDrawn = -1;
    uint32_t m_pictures = 0;
};

class CRotCenterFilter : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "rotcenter"; }
    // w0 duration, w1 mode, w2 filter byte.
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == 512 ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }

private:
    uint8_t m_mode = 0;
    uint8_t m_filter = 0;
    uint32_t m_progress = 0;
    int64_t m_lastDrawn = -1;
    uint32_t m_pictures = 0;
};

class CAddSubFilter : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 0; }
    const char* GetName() override { return "addsub"; }
    // w0 duration, w1 mode: bit 0 arrive at the new picture (else leave the old), bit 1 subtract.
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == 255 ? -1 : 0; }
    uint8_t Progress() const { return m_progress; }

private:
    uint8_t m_mode = 0;
    uint8_t m_progress = 0;
};

class CHBlurFilter : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    uint8_t GetObjectType() override { return 1; }
    const char* GetName() override { return "hblur"; }
    // w0 duration, w1 mode (0 blur out and in, else a blurred cross-fade), w2 radius 1..127.
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_progress == m_end ? -1 : 0; }
    uint32_t Progress() const { return m_progress; }
    uint32_t End() const { return m_end; }

private:
    uint8_t m_mode = 0;
    uint8_t m_radius = 1;
    uint32_t m_progress = 0;
    uint32_t m_end = 255;
};
