// The weather layer effects "paper", "light", "snow" and "rain" (kind byte 3): particles that
// fall (or, for lights, rise) over a canvas's scene and its back canvas's scene, one drawable in
// each, stepped every 80 ms. One class over a table of the four families.
// Set-up words: w0 count (≥ 1), w1 base priority, w2 priority span, w3 spread, w4 speed factor
// text (null or 0 → 1.0), w5 / w6 show in the first / second scene.
// Set-up codes: 0; 1 count below 1, null manager or target; 2 no back canvas or a scene missing;
// 3 a picture failed to load; 4 no memory for the particles (above kMaxWeatherParticles too);
// 5 not registered or not added. SetParams(0) asks for a stop; SetParams(1, first, second) sets
// the show flags (crosswise after the pages swapped). A cancel destroys the particles.
#pragma once

#include <memory>
#include <vector>

#include "effects/layer_effect.h"
#include "platform/random.h"
#include "winapi/base.h"

#include "drawing/drawable.h"
#include "raster/image.h"
class CScene;

// More particles than this are refused (4): each has two drawables, and a count from a script
// could otherwise ask for gigabytes.
constexpr int32_t kMaxWeatherParticles = 100000;

struct WeatherFamily {
    const char* name;
    const char* pictureFormat; // "SYS\\PAPER_%d.ELG"; null: rain rectangles
    int classes;
    int frames;          // frames per picture strip (0: rain)
    bool rises;
    double rebirthChance;
    double hLimit, aLimit, aChange;
    SubtractiveRandomState** source;
};

enum : int { kWeatherPaper = 0, kWeatherLight = 1, kWeatherSnow = 2, kWeatherRain = 3 };
extern const WeatherFamily g_WeatherFamilies[4];

struct WeatherParticle {
    std::unique_ptr<CDrawable> drawables[2];
    int k = 0;
    int frame = 0;
    LONG frameWidth = 0;
    double x = 0.0, y = 0.0;
    double h = 0.0, v = 0.0, a = 0.0;
    uint8_t alive = 0;
    uint16_t phase = 0;
};

class CWeatherEffect : public CLayerEffect {
public:
    explicit CWeatherEffect(int family) : m_kind(family), m_family(g_WeatherFamilies[family]) {}
    ~CWeatherEffect() override;

    int32_t GetKind() override { return kLayerEffectKind; }
    const char* GetName() override { return m_family.name; }
    uint8_t GetObjectType() override { return 3; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { DestroyParticles(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

    const std::vector<WeatherParticle>& Particles() const { return m_particles; }
    double GetSpeedFactor() const { return m_speed; }
    bool IsStopping() const { return m_stopping != 0; }

private:
    double Draw(); // the next draw / 1e9
    uint32_t DrawRaw();
    void Born(WeatherParticle& p, bool spread);
    void Place(WeatherParticle& p);
    // → true when done (stopping and not alive).
    bool StepParticle(WeatherParticle& p);
    void ShowAll();
    void DestroyParticles();
    int MakeParticle(WeatherParticle& p, uint32_t basePriority, int32_t span);

    const int m_kind;
    const WeatherFamily& m_family;
    CImageObject* m_target = nullptr;
    CScene* m_scenes[2] = {nullptr, nullptr};
    LONG m_width = 0, m_height = 0;
    std::vector<WeatherParticle> m_particles;
    std::unique_ptr<CImage> m_pictures[8];
    double m_speed = 1.0;
    uint8_t m_show[2] = {0, 0};
    uint8_t m_stopping = 0;
};

class CPaperEffect : public CWeatherEffect {
public:
    CPaperEffect() : CWeatherEffect(kWeatherPaper) {}
};
class CLightEffect : public CWeatherEffect {
public:
    CLightEffect() : CWeatherEffect(kWeatherLight) {}
};
class CSnowEffect : public CWeatherEffect {
public:
    CSnowEffect() : CWeatherEffect(kWeatherSnow) {}
};
class CRainEffect : public CWeatherEffect {
public:
    CRainEffect() : CWeatherEffect(kWeatherRain) {}
};

CPluginEffect* CreatePaperEffect(DWORD parameter);
CPluginEffect* CreateLightEffect(DWORD parameter);
CPluginEffect* CreateSnowEffect(DWORD parameter);
CPluginEffect* CreateRainEffect(DWORD parameter);
