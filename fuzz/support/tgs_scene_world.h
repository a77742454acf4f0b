// The world of the scene harnesses: pictures the commands may name (backgrounds and sprites),
// the rule and effect pictures of effect-data, in a temporary game folder, and the game's effect
// and transition registries with a scheduler, published once for the process.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/effect_data.h"
#include "authoring/elg_encoder.h"
#include "authoring/file_io.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/object_plugin_manager.h"
#include "files/path_utils.h"
#include "files/transition_plugin_manager.h"
#include "platform/cos_table.h"
#include "platform/timer_manager.h"

namespace fuzzscene {

// Pictures the commands may name, the rule and effect pictures, and the registries.
struct World {
    World()
    {
        folder = (std::filesystem::temp_directory_path() / ("tessaro-fuzz-scene-" + std::to_string(getpid())))
                     .string();
        std::string error;
        effect_data::Write(folder, 3, &error);
        Picture("BG01A.ELG", 800, 600, 0xFF204080);
        Picture("BG02.ELG", 640, 480, 0xFF336699);
        Picture("CH1S.ELG", 120, 300, 0x80FF0000);
        Picture("CH2M.ELG", 90, 240, 0xFF00FF00);
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        SetEffectRandomSources(&random);
        g_pCosTable = &cosines;
        RegisterRows(effects, HostEffectRows());
        RegisterRows(effects, GameEffectRows());
        RegisterRows(transitions, GameTransitionRows());
        RegisterRows(transitions, HostFilterRows());
        g_pObjectPluginManager = &effects;
        g_pTransitionPluginManager = &transitions;
        g_pObjectManager = &scheduler;
    }
    void Picture(const std::string& name, int w, int h, uint32_t colour)
    {
        const std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h), colour);
        elg::Picture picture;
        std::vector<uint8_t> bytes;
        std::string error;
        if (elg::PictureFromPixels(w, h, pixels.data(), 32, picture, &error) &&
            elg::Encode(picture, elg::Options{}, bytes, &error))
            WriteWholeFile(folder + "/" + name, bytes.data(), bytes.size());
    }
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    SubtractiveRandomState random{};
    CCosTable cosines;
    CObjectPluginManager effects;
    CTransitionPluginManager transitions;
    CTimerManager scheduler;
};

inline World& TheWorld()
{
    static World* world = new World;
    return *world;
}

} // namespace fuzzscene
