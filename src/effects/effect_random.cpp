#include "effects/effect_random.h"

SubtractiveRandomState* g_pLayerQuakeRandom = nullptr;
SubtractiveRandomState* g_pNoiseRandom = nullptr;
SubtractiveRandomState* g_pPaperRandom = nullptr;
SubtractiveRandomState* g_pLightRandom = nullptr;
SubtractiveRandomState* g_pSnowRandom = nullptr;
SubtractiveRandomState* g_pRainRandom = nullptr;
SubtractiveRandomState* g_pQuakeFilterRandom = nullptr;

void SetEffectRandomSources(SubtractiveRandomState* state)
{
    g_pLayerQuakeRandom = g_pNoiseRandom = g_pPaperRandom = g_pLightRandom = g_pSnowRandom = g_pRainRandom =
        g_pQuakeFilterRandom = state;
}
