// The registration rows of the built-in effects: which creator registers under which name and
// kind, in the order the registries receive them. The script host registers the host lists (its
// screen filters, then its layer and sprite effects), the game's start-up the game lists (the
// named transitions, then the bg_* effects and sp_panime). Rows of effects not built yet are
// absent; the others keep their order.
#pragma once

#include <cstdint>
#include <span>

#include "files/object_plugin_manager.h"
#include "files/transition_plugin_manager.h"

struct EffectRow {
    const char* name;
    uint8_t kind;
    EffectFactoryFunc creator;
    EffectCallbackFunc callback;
    EffectCallbackFunc callback2;
};

struct FilterRow {
    const char* name;
    uint8_t kind;
    FilterFactoryFunc creator;
    FilterClassFunc init;
    FilterClassFunc teardown;
};

std::span<const FilterRow> HostFilterRows();
std::span<const EffectRow> HostEffectRows();
std::span<const FilterRow> GameTransitionRows();
std::span<const EffectRow> GameEffectRows();

// Registers each row in order (parameter 0) → the number the registry refused. A row whose
// creator is already registered under its name is skipped, so that a host made again does not
// stack copies.
int RegisterRows(CObjectPluginManager& registry, std::span<const EffectRow> rows);
int RegisterRows(CTransitionPluginManager& registry, std::span<const FilterRow> rows);
