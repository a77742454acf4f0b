#include "effects/effect_rows.h"

#include <cstring>

#include "effects/layer_noise.h"
#include "effects/layer_quake.h"
#include "effects/weather_effect.h"

namespace {

// Places 1, 2 and 9-12 of the host's object list; the sp_* effects of places 3-8 come with their
// own module.
const EffectRow kHostEffectRows[] = {
    {"quake", 3, &CQuakeEffect::Create, nullptr, nullptr},
    {"noise", 3, &CNoiseEffect::Create, nullptr, nullptr},
    {"paper", 3, &CreatePaperEffect, nullptr, nullptr},
    {"light", 3, &CreateLightEffect, nullptr, nullptr},
    {"snow", 3, &CreateSnowEffect, nullptr, nullptr},
    {"rain", 3, &CreateRainEffect, nullptr, nullptr},
};

} // namespace

std::span<const FilterRow> HostFilterRows()
{
    return {};
}

std::span<const EffectRow> HostEffectRows()
{
    return kHostEffectRows;
}

std::span<const FilterRow> GameTransitionRows()
{
    return {};
}

std::span<const EffectRow> GameEffectRows()
{
    return {};
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
