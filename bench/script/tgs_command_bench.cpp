// Scenario commands timed from their record to their effect (ratio = peer / ours):
// - command_104: a background change by cross-fade, from decoding the record ("[ " 104 with a
//   picture name, a time and the four colour bytes) to the transition started, the 800x600 picture
//   in the image cache; against the same frame operations called from C++ (load on the back page,
//   colour mode, back sprites reset, the cross-fade begun). Three records take turns (the back
//   page then never shows the name asked for), so every run loads a picture from the cache and
//   ends the previous fade. Goal: at most 0.5 ms a command.
#include "authoring/elg_encoder.h"
#include "authoring/file_io.h"
#include "contest.h"
#include "controls/control_container.h"
#include "display/image_object.h"
#include "display/surface_sprite.h"
#include "effects/effect_rows.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "files/transition_plugin_manager.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "platform/timer_manager.h"
#include "raster/pixel_lib.h"
#include "script/sob_runtime.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "script/tgs_quiet_host.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The application as the scenario sees it: a clock that a frame step advances, no input.
class Link : public tgsbench::QuietLink {
public:
    int StepFrame() override { return now += 16, 1; }
    uint32_t Now() override { return now; }
    uint32_t now = 1000;
};

class Frame : public CTgsFrame {
public:
    Frame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host, link) {}
    std::vector<uint8_t> script;

protected:
    bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes) override
    {
        if (path != "MAIN.TOB")
            return false;
        *bytes = script;
        return true;
    }
};

void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>(v >> (8 * i)));
}

// The record of command 104 (name, time, four colour bytes 0) as the scenario packer writes it.
std::string Command104(const std::string& name, uint32_t time)
{
    std::string args;
    args += {1, 1, static_cast<char>(name.size() + 1), 0};
    args += name;
    args.push_back(0);
    args.push_back(2);
    Put32(args, time);
    for (int i = 0; i < 4; ++i) {
        args.push_back(2);
        Put32(args, 0);
    }
    std::string r = "[ ";
    Put32(r, 104);
    r.push_back(1);
    Put32(r, static_cast<uint32_t>(4 + 1 + args.size()));
    r.push_back(6);
    return r + args;
}

constexpr const char* kNames[] = {"BG01.ELG", "BG02.ELG", "BG03.ELG"};

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        SetAppConfigDefaults(&config);
        g_pAppConfig = &config;
        folder = (std::filesystem::temp_directory_path() / ("tessaro-bench-104-" + std::to_string(getpid())))
                     .string();
        std::filesystem::create_directories(folder);
        Picture("BG01.ELG", 0xFF204080);
        Picture("BG02.ELG", 0xFF806040);
        Picture("BG03.ELG", 0xFF408020);
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        loaders.SetCacheBudget(64u << 20);
        g_pGllManager = &loaders;
        RegisterRows(transitions, GameTransitionRows());
        g_pTransitionPluginManager = &transitions;
        g_pObjectManager = &scheduler;
        link.form = &form;
        canvas.Create(800, 600, 32, 2);
        frame = std::make_unique<Frame>(rt, &link);
        std::string text;
        for (const char* name : kNames) {
            offsets.push_back(static_cast<uint32_t>(text.size()));
            text += Command104(name, 500);
        }
        frame->script = {'T', 'O', 'B', '0', 8, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
        frame->script.insert(frame->script.end(), text.begin(), text.end());
        ready = frame->CreateMessageWindow(&canvas, &form) == 0 && frame->StartScript("MAIN") == 0 &&
                frame->StartScenario(false) == 0;
        // Every picture once through the cache before any timing.
        for (int i = 0; i < 3; ++i)
            OurCommand();
    }
    void Picture(const std::string& name, uint32_t colour)
    {
        std::vector<uint32_t> pixels(800u * 600u);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = colour ^ static_cast<uint32_t>(i * 2654435761u & 0x3F3F3F);
        elg::Picture picture;
        std::vector<uint8_t> bytes;
        std::string error;
        if (elg::PictureFromPixels(800, 600, pixels.data(), 24, picture, &error) &&
            elg::Encode(picture, elg::Options{}, bytes, &error))
            WriteWholeFile(folder + "/" + name, bytes.data(), bytes.size());
    }
    // The next record decoded and run where the scenario's text holds it.
    void OurCommand()
    {
        if (frame->DecodeCommand(offsets[runs++ % 3] + 1) < 0)
            ready = false;
    }
    // What command 104 does, called directly.
    void PeerCommand()
    {
        const char* name = kNames[runs++ % 3];
        if (frame->LoadLayerImage(name, 1) != 0) {
            ready = false;
            return;
        }
        frame->SetLayerColorMode(0, 0, 0, 0, 1);
        frame->ResetSpriteGroups(1, -1);
        frame->TransCross(500);
    }

    std::unique_ptr<CPixelLibrary> library;
    AppConfig config{};
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    CTransitionPluginManager transitions;
    CTimerManager scheduler;
    CSobRuntime rt{4u << 20};
    tgsbench::Form form;
    Link link;
    CSurfaceSprite canvas;
    std::unique_ptr<Frame> frame;
    std::vector<uint32_t> offsets; // of the records in the text
    uint32_t runs = 0;
    bool ready = false;
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

void Command104Timing(benchmark::State& state)
{
    World& w = TheWorld();
    bench::Contest(
        state, [&] { w.OurCommand(); }, [&] { w.PeerCommand(); }, bench::Goal{.ms = 0.5}, 101);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    state.counters["ran"] = w.ready;
    state.counters["fading"] = w.frame->Screen(0) != nullptr && w.frame->Screen(0)->HasFilter();
    state.counters["loads_each_run"] = std::string(w.frame->Page(0).name) == kNames[(w.runs + 2) % 3];
}
BENCHMARK(Command104Timing)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
