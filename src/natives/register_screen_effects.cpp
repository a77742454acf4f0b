#include "natives/register_screen_effects.h"

#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "natives/script_host.h"

void RegisterScreenEffects(CScriptHost&)
{
    // The frame image's "reset with -1" that comes first in the original is defined nowhere; it
    // is left out. The settings block already holds its start values (the host's members).
    if (g_pTransitionPluginManager != nullptr)
        RegisterRows(*g_pTransitionPluginManager, HostFilterRows());
    if (g_pObjectPluginManager != nullptr)
        RegisterRows(*g_pObjectPluginManager, HostEffectRows());
    SetEffectRandomSources(&g_Ran3State);
}
