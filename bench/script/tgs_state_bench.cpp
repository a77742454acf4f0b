// The scenario frame's saved state against its peer (ratio = peer / ours):
// - tgs_state: SaveState and then LoadState of a full state (150 log pages and a choice entry,
//   every page, sprite and layer record filled, four looping channels, a name text, the shown page
//   and a choice list) against memcpy of the same block out and back, as the save and the load
//   each move it once. Goals: at most 1 ms together, ratio at least 0.25 (memcpy moves 25 KB in a
//   fraction of a microsecond, while the state is read back record by record, every count and
//   text checked, and the log and windows rebuilt).
// - RebuildScene: a loaded state's scene built again (two 800x600 pages in colour modes 1 and 3,
//   the 22 sprite slots of both pages filled from four 300x500 soft-alpha pictures, colour modes
//   on half of them), the pictures in the image cache and quick screen effects on; every run
//   first loads the saved block (LoadState clears the scene), then rebuilds. Peer: the same load,
//   then the same scene made through the frame's own layer and sprite operations, as a scenario's
//   commands would make it. Goal: at most 20 ms (the load included).
#include "authoring/elg_encoder.h"
#include "authoring/file_io.h"
#include "authoring/tob_packer.h"
#include "contest.h"
#include "controls/text_layer.h"
#include "display/surface_sprite.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "pixel_library_guard.h"
#include "platform/app_config.h"
#include "script/message_window.h"
#include "script/sob_runtime.h"
#include "script/tgs_frame.h"
#include "script/tgs_quiet_host.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using tgsbench::Form;
using tgsbench::QuietLink;

class StateFrame : public CTgsFrame {
public:
    StateFrame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host, link) {}
    std::vector<uint8_t> file; // served as MAIN.TOB

protected:
    bool ReadScriptFile(const std::string&, std::vector<uint8_t>* bytes) override
    {
        *bytes = file;
        return true;
    }
};

// A frame whose every record holds something.
void Fill(StateFrame& f)
{
    for (uint8_t page = 0; page < 2; ++page) {
        TgsPageRecord& p = f.Page(page);
        std::snprintf(p.name, sizeof p.name, "BG%02u.ELG", page + 1u);
        p.colourMode = 1;
        p.x = 10;
        p.zoom = 1.5;
    }
    for (int group = 0; group < 3; ++group)
        for (uint8_t page = 0; page < 2; ++page)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot) {
                TgsSpriteRecord* r = f.FindSpriteSlot(slot, page, group);
                std::snprintf(r->name, sizeof r->name, "CH%d%d%d.ELG", group, page, slot);
                r->character = slot;
                r->x = 100 * slot;
                r->pendingKind = 1;
                std::strcpy(r->pendingText, "(0,0)(10,10)");
            }
    for (int l = 0; l < 3; ++l) {
        f.LayerSlot(l).effectKind = 10 + l;
        f.LayerSlot(l).words[1] = 40;
        std::strcpy(f.LayerSlot(l).text, "snow");
    }
    for (int c = 0; c < 4; ++c)
        f.SoundChannel(c) = {"SE/LOOP" + std::to_string(c) + ".OGG", 1};
    f.SetNameText("Chapter");
    const std::string text(120, 'a');
    for (int i = 0; i < 150; ++i)
        f.TextLog().AddMessage(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), 74,
                               "Name", "V0001", 0);
    f.TextLog().BeginChoices(2);
    f.TextLog().AddChoice("yes", 1);
    f.TextLog().AddChoice("no", 1);
    f.TextLog().EndChoices(nullptr);
    f.MessageWindow()->SetPageText(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
    f.ChoiceLayer()->AddLine("yes", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
    f.ChoiceLayer()->AddLine("no", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
    f.ChoiceCountRef() = 2;
    f.ChoiceWait() = 1;
}

// A frame over a quiet link with its scenario started, the settings published for its life.
struct Bed {
    explicit Bed(const std::function<void(AppConfig&)>& configure)
    {
        SetAppConfigDefaults(&config);
        configure(config);
        g_pAppConfig = &config;
        link.form = &form;
        canvas.Create(800, 600, 32, 2);
        frame = std::make_unique<StateFrame>(runtime, &link);
        std::vector<std::string> errors;
        if (!PackTob("@message 0\nfirst\n@page\n", "main.txt", TobPackOptions{}, &frame->file, &errors))
            std::abort();
        frame->CreateMessageWindow(&canvas, &form);
        frame->StartScript("MAIN");
        frame->StartScenario(false);
    }
    ~Bed()
    {
        frame->ClearScene();
        frame.reset();
        g_pAppConfig = nullptr;
    }

    bench::PixelLibrary pixels;
    AppConfig config{};
    CSobRuntime runtime{4u << 20};
    Form form;
    QuietLink link;
    CSurfaceSprite canvas;
    std::unique_ptr<StateFrame> frame;
};

void TgsState(benchmark::State& state)
{
    Bed bed([](AppConfig& c) { c.historyPages = 200; });
    StateFrame* frame = bed.frame.get();
    Fill(*frame);

    std::vector<uint8_t> block(frame->GetStateSize(true));
    std::vector<uint8_t> copy(block.size());
    int failures = 0;
    bench::Contest(
        state,
        [&] {
            uint8_t* out = block.data();
            size_t left = block.size();
            failures += frame->SaveState(&out, &left, true) != 0;
            const uint8_t* in = block.data();
            left = block.size();
            failures += frame->LoadState(&in, &left, true) != 0;
        },
        [&] {
            std::memcpy(copy.data(), block.data(), block.size());
            benchmark::ClobberMemory();
            std::memcpy(block.data(), copy.data(), copy.size());
        });
    state.counters["block_bytes"] = static_cast<double>(block.size());
    state.counters["failures"] = failures;
    const bench::Goal goal{.ratio = 0.25, .ms = 1.0};
    bench::ReportGoal(state, goal);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(TgsState)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- RebuildScene ----

// A game folder of the scene's pictures, published through the file manager and the loaders'
// cache for the bench's life.
struct PictureFolder {
    PictureFolder()
    {
        path = (std::filesystem::temp_directory_path() / ("tessaro-bench-rebuild-" + std::to_string(getpid())))
                   .string();
        std::filesystem::create_directories(path);
        ok = Write("BG01.ELG", 800, 600, 24, [](int x, int y) { return 0xFF000000u | (x * 7 ^ y * 13) << 4; }) &&
             Write("BG02.ELG", 800, 600, 24, [](int x, int y) { return 0xFF102030u ^ static_cast<uint32_t>(x * y); });
        for (int i = 0; i < 4 && ok; ++i)
            ok = Write("CH" + std::to_string(i) + ".ELG", 300, 500, 32, [i](int x, int y) {
                const uint32_t alpha = static_cast<uint32_t>(255 - x * 128 / 300 - y * 64 / 500);
                return alpha << 24 | (static_cast<uint32_t>(0x402010 * (i + 1) + x + y) & 0xFFFFFF);
            });
        std::string windows = "Z:" + path + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        ok = ok && SetBaseFolder(windows.c_str()) == 0 && RegisterBuiltinImageLoaders(loaders) == 0;
        loaders.SetCacheBudget(64u << 20);
        g_pFileManager = &files;
        g_pGllManager = &loaders;
    }
    ~PictureFolder()
    {
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    template <typename Colour>
    bool Write(const std::string& name, int width, int height, int depth, Colour colour)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = colour(x, y);
        elg::Picture picture;
        std::vector<uint8_t> bytes;
        std::string error;
        return elg::PictureFromPixels(width, height, pixels.data(), depth, picture, &error) &&
               elg::Encode(picture, elg::Options{}, bytes, &error) &&
               WriteWholeFile(path + "/" + name, bytes.data(), bytes.size());
    }

    std::string path;
    bool ok = false;
    CFileManager files;
    CGllManager loaders;
};

// The scene a scenario's commands would make: both pages and every sprite slot.
int MakeScene(CTgsFrame& f)
{
    int failures = 0;
    for (uint8_t page = 0; page < 2; ++page) {
        failures += f.LoadLayerImage(page == 0 ? "BG01.ELG" : "BG02.ELG", page) != 0;
        failures += f.SetLayerColorMode(page == 0 ? 1 : 3, 0, 0, 0, page) != 0;
        for (int group = 0; group < 3; ++group)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot) {
                const std::string name = "CH" + std::to_string((group + slot) % 4) + ".ELG";
                TgsSpriteRecord* r = f.FindSpriteSlot(slot, page, group);
                r->x = 150 + 120 * slot;
                r->y = 600 - 20 * group;
                failures += f.LoadSpriteImage(slot, name.c_str(), page, group, true) != 0;
                if ((slot + group) % 2 == 0)
                    failures += f.SetSpriteColorMode(slot, static_cast<uint8_t>(1 + slot % 3), 0, 0, page, group) != 0;
            }
    }
    return failures;
}

void RebuildScene(benchmark::State& state)
{
    PictureFolder folder;
    if (!folder.ok)
        std::abort();
    Bed bed([](AppConfig& c) { c.fastEffects = 1; });
    StateFrame* frame = bed.frame.get();
    int failures = MakeScene(*frame); // every picture once through the cache
    std::vector<uint8_t> block(frame->GetStateSize(false));
    uint8_t* out = block.data();
    size_t left = block.size();
    failures += frame->SaveState(&out, &left, false) != 0;
    auto load = [&] {
        const uint8_t* in = block.data();
        size_t size = block.size();
        failures += frame->LoadState(&in, &size, false) != 0;
    };
    int sprites = 0;
    // The goal for a rebuild is a time: the peer is only the yardstick.
    const bench::Goal goal{.ms = 20.0};
    bench::Contest(
        state,
        [&] {
            load();
            failures += frame->RebuildScene() != 0;
        },
        [&] {
            load();
            failures += MakeScene(*frame);
        },
        goal, 9);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    // What the last rebuild made, so a scene that failed to load shows.
    load();
    failures += frame->RebuildScene() != 0;
    for (int group = 0; group < 3; ++group)
        for (uint8_t page = 0; page < 2; ++page)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot)
                sprites += frame->FindSpriteSlot(slot, page, group)->sprite != nullptr;
    state.counters["sprites"] = sprites;
    state.counters["failures"] = failures;
}
BENCHMARK(RebuildScene)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
