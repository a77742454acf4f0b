// The random sources of the effect modules that draw numbers: one pointer per module (layer
// quake, noise, paper, light, snow, rain, and the quake screen filter), null until the script host
// points them at its shared generator. An effect whose source is null is not registered.
#pragma once

#include "platform/random.h"

extern SubtractiveRandomState* g_pLayerQuakeRandom;
extern SubtractiveRandomState* g_pNoiseRandom;
extern SubtractiveRandomState* g_pPaperRandom;
extern SubtractiveRandomState* g_pLightRandom;
extern SubtractiveRandomState* g_pSnowRandom;
extern SubtractiveRandomState* g_pRainRandom;
extern SubtractiveRandomState* g_pQuakeFilterRandom;

// Points all seven at state (null clears them).
void SetEffectRandomSources(SubtractiveRandomState* state);
