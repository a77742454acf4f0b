#include "effects/effect_rows.h"

#include <cstring>

#include "effects/bg_anime.h"
#include "effects/bg_effects.h"
#include "effects/bg_panime.h"
#include "effects/layer_noise.h"
#include "effects/layer_quake.h"
#include "effects/ripple_filter.h"
#include "effects/screen_filters.h"
#include "effects/screen_transition.h"
#include "effects/sp_cfade.h"
#include "effects/sp_fade.h"
#include "effects/sp_gfade.h"
#include "effects/sp_change.h"
#include "effects/sp_loop.h"
#include "effects/sp_parts.h"
#include "effects/sp_panime.h"
#include "effects/weather_effect.h"

namespace {

// The host's object list; of the sp_* effects of places 3-8 only those built are present.
const EffectRow kHostEffectRows[] = {
    {"quake", 3, &CQuakeEffect::Create, nullptr, nullptr},
    {"noise", 3, &CNoiseEffect::Create, nullptr, nullptr},
    {"sp_cfade", 1, &CSpCfadeEffect::Create, nullptr, nullptr},
    {"sp_change", 1, &CSpChangeEffect::Create, nullptr, nullptr},
    {"sp_parts", 1, &CSpPartsEffect::Create, nullptr, nullptr},
    {"sp_fade", 1, &CSpFadeEffect::Create, nullptr, nullptr},
    {"sp_gfade", 1, &CSpGfadeEffect::Create, nullptr, nullptr},
    {"sp_loop", 1, &CSpLoopEffect::Create, nullptr, nullptr},
    {"paper", 3, &CreatePaperEffect, nullptr, nullptr},
    {"light", 3, &CreateLightEffect, nullptr, nullptr},
    {"snow", 3, &CreateSnowEffect, nullptr, nullptr},
    {"rain", 3, &CreateRainEffect, nullptr, nullptr},
};

// The host's screen filters.
const FilterRow kHostFilterRows[] = {
    {"quake", 2, &CQuakeFilter::Create, nullptr, nullptr},
    {"zoomflip", 1, &CZoomFlipFilter::Create, nullptr, nullptr},
    {"rotcenter", 1, &CRotCenterFilter::Create, nullptr, nullptr},
    {"addsub", 0, &CAddSubFilter::Create, nullptr, nullptr},
    {"hblur", 1, &CHBlurFilter::Create, nullptr, nullptr},
    {"ripple", 0, &CRippleFilter::Create, &RippleClassInit, &RippleClassTeardown},
};

// The game's effect rows; the rows of the bg_* effects not built yet are absent.
const EffectRow kGameEffectRows[] = {
    {"bg_zoom", 0, &CBgZoomEffect::Create, &ApplyBgZoomDirect, &ApplyBgZoomDirect},
    {"bg_rot", 0, &CBgRotEffect::Create, nullptr, nullptr},
    {"bg_blur", 0, &CBgBlurEffect::Create, &ApplyBgBlurDirect, &ApplyBgBlurDirect},
    {"bg_rast", 0, &CBgRastEffect::Create, nullptr, nullptr},
    {"bg_haze", 0, &CBgHazeEffect::Create, nullptr, nullptr},
    {"bg_loop", 0, &CBgLoopEffect::Create, nullptr, nullptr},
    {"bg_cross", 0, &CBgCrossEffect::Create, nullptr, nullptr},
    {"bg_panime", 0, &CBgPanimeEffect::Create, &ApplyBgPanimeDirect, &ApplyBgPanimeDirect},
    {"sp_panime", 1, &CSpPanimeEffect::Create, &ApplySpPanimeDirect, &ApplySpPanimeDirect},
    {"bg_anime", 0, &CBgAnimeEffect::Create, &SetBgAnimeFlag, &SetBgAnimeFlag},
};

// The named transitions of the game's start-up.
const FilterRow kGameTransitionRows[] = {
    {"cross", 0, &CCrossTransition::Create, nullptr, nullptr},
    {"rule", 0, &CRuleTransition::Create, nullptr, nullptr},
    {"scroll", 0, &CScrollTransition::Create, nullptr, nullptr},
    {"wave", 0, &CWaveTransition::Create, nullptr, nullptr},
    {"mosaic", 1, &CMosaicTransition::Create, nullptr, nullptr},
    {"rotaxis", 1, &CRotAxisTransition::Create, nullptr, nullptr},
    {"trans", 1, &CTransTransition::Create, nullptr, nullptr},
    {"tone", 2, &CToneTransition::Create, nullptr, nullptr},
};

} // namespace

std::span<const FilterRow> HostFilterRows()
{
    return kHostFilterRows;
}

std::span<const EffectRow> HostEffectRows()
{
    return kHostEffectRows;
}

std::span<const FilterRow> GameTransitionRows()
{
    return kGameTransitionRows;
}

std::span<const EffectRow> GameEffectRows()
{
    return kGameEffectRows;
}

int RegisterRows(CObjectPluginManager& registry, std::span<const EffectRow> rows)
{
    int refused = 0;
    for (const EffectRow& row : rows) {
        DWORD parameter = 0;
        if (registry.FindFactory(row.name, &parameter) == row.creator)
            continue;
        if (registry.Register(row.creator, row.name, row.kind, row.callback, row.callback2, 0) != 0)
            ++refused;
    }
    return refused;
}

int RegisterRows(CTransitionPluginManager& registry, std::span<const FilterRow> rows)
{
    int refused = 0;
    for (const FilterRow& row : rows) {
        bool known = false;
        for (const auto& kind : registry.GetKinds())
            known = known || (kind.factory == row.creator && std::strcmp(kind.name, row.name) == 0);
        if (known)
            continue;
        if (registry.Register(row.creator, row.name, row.kind, 0, row.init, row.teardown) != 0)
            ++refused;
    }
    return refused;
}
