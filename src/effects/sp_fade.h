// CSpFadeEffect ("sp_fade", kind byte 1, task kind 14001): one object that fades any number of
// drawables in or out, each with its own delay and time, optionally moving each along a straight
// line with an easing exponent. It stays in the scheduler between fades (idle steps answer 0).
// Set-up words: w0 entry count (> 0), w1 end flag (the answer of every running step), w2 busy
// flag. Codes: 1 no manager or count < 1, 3 the manager refused, 4 the table cannot be allocated.
// SetParams: (mode, index, target, time, delay, move, end x, end y, easing); mode < 1 completes
// every fade (0); otherwise 1 = fade in, else fade out → 0, 1 index outside the table or no target.
// Query: the running flag.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/layer_effect.h"
#include "winapi/base.h"

class CDrawable;

class CSpFadeEffect : public CLayerEffect {
public:
    struct Entry {
        CDrawable* target = nullptr;
        uint8_t startAlpha = 0;
        uint8_t endAlpha = 0;
        uint8_t move = 0;
        uint32_t time = 0;
        uint32_t delay = 0;
        uint32_t startTime = 0;
        LONG startX = 0, startY = 0, endX = 0, endY = 0;
        double easing = 0.0;
    };

    static CPluginEffect* Create(DWORD parameter);
    // Calls the end hook when still running with the busy flag.
    ~CSpFadeEffect() override;

    int32_t GetKind() override;
    const char* GetName() override { return "sp_fade"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Complete(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;

    // 0 stored; 1 index outside the table or null target (nothing changes).
    int SetEntry(uint32_t index, CDrawable* target, bool fadeIn, uint32_t time, uint32_t delay, bool move,
                 LONG x, LONG y, double easing);
    // Ends every fade at once: alpha 255, fade-outs hidden, movers at their end.
    void Complete();

    bool IsRunning() const { return m_running != 0; }
    uint32_t GetEntryCount() const { return m_count; }
    const Entry& GetEntry(uint32_t i) const { return m_entries[i]; }

private:
    void Stop();

    uint32_t m_count = 0;
    std::unique_ptr<Entry[]> m_entries;
    uint8_t m_busy = 0;
    uint8_t m_running = 0;
    uint8_t m_endFlag = 0;
};
