// A host for the save tests: a save folder of its own, its own settings block (g_pAppConfig) and
// an 800 × 600 screen of four solid quadrants (top left, top right, bottom left, bottom right)
// as the main form's target, which saves capture as their thumbnail.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "natives/main_form.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "support/host_fixture.h"

namespace hosttest {

constexpr uint32_t kQuadrants[4] = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};

// A host with a save folder, its own settings and an 800 × 600 screen of four solid quadrants
// (top left, top right, bottom left, bottom right) as the form's target.
struct SaveFixture {
    HostFixture f;
    AppConfig config{};
    AppConfig* savedConfig = g_pAppConfig;
    CImage screen;
    CScene scene;

    SaveFixture()
    {
        g_pAppConfig = &config;
        f.app.saveFolder = f.dir.Windows("SAVE\\");
        std::filesystem::create_directories(f.dir.Linux("SAVE"));
        f.Start();
        EXPECT_EQ(screen.Create(800, 600, 32, 0), 0);
        for (int y = 0; y < 600; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(screen.GetRowPointer(y));
            for (int x = 0; x < 800; ++x)
                row[x] = kQuadrants[(y >= 300 ? 2 : 0) + (x >= 400 ? 1 : 0)];
        }
        scene.SetTarget(&screen, false);
        g_MainForm.DetachAndSetTarget(&scene);
    }
    ~SaveFixture()
    {
        g_MainForm.DetachAndSetTarget(nullptr);
        g_pAppConfig = savedConfig;
    }
    CScriptHost& Host() { return *f.host; }
    std::string File(int bank, int slot) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "SAVE/DATA%02d%02d.SAV", bank, slot);
        return name;
    }
    std::vector<uint8_t> Read(int bank, int slot) const
    {
        const std::string s = f.dir.Read(File(bank, slot));
        return std::vector<uint8_t>(s.begin(), s.end());
    }
    void Write(int bank, int slot, const std::vector<uint8_t>& bytes) const
    {
        f.dir.Write(File(bank, slot), std::string(bytes.begin(), bytes.end()));
    }
    std::vector<uint8_t> State()
    {
        std::vector<uint8_t> state;
        EXPECT_EQ(Host().SerializeState(&state, true), 0);
        return state;
    }
};

} // namespace hosttest
