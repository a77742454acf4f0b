// The scenario frame's saved state against its peer (ratio = peer / ours):
// - tgs_state: SaveState and then LoadState of a full state (150 log pages and a choice entry,
//   every page, sprite and layer record filled, four looping channels, a name text, the shown page
//   and a choice list) against memcpy of the same block. Goals: at most 1 ms together, ratio at
//   least 0.25.
#include "authoring/tob_packer.h"
#include "contest.h"
#include "controls/text_layer.h"
#include "display/surface_sprite.h"
#include "pixel_library_guard.h"
#include "platform/app_config.h"
#include "script/message_window.h"
#include "script/sob_runtime.h"
#include "script/tgs_frame.h"
#include "script/tgs_quiet_host.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

void TgsState(benchmark::State& state)
{
    bench::PixelLibrary pixels;
    AppConfig config{};
    SetAppConfigDefaults(&config);
    config.historyPages = 200;
    g_pAppConfig = &config;
    CSobRuntime runtime{4u << 20};
    Form form;
    QuietLink link;
    link.form = &form;
    CSurfaceSprite canvas;
    canvas.Create(800, 600, 32, 2);
    auto frame = std::make_unique<StateFrame>(runtime, &link);
    std::vector<std::string> errors;
    if (!PackTob("@message 0\nfirst\n@page\n", "main.txt", TobPackOptions{}, &frame->file, &errors))
        std::abort();
    frame->CreateMessageWindow(&canvas, &form);
    frame->StartScript("MAIN");
    frame->StartScenario(false);
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
        [&] { std::memcpy(copy.data(), block.data(), block.size()); });
    state.counters["block_bytes"] = static_cast<double>(block.size());
    state.counters["failures"] = failures;
    bench::ReportGoal(state, {.ratio = 0.25, .ms = 1.0});
    frame->ClearScene();
    frame.reset();
    g_pAppConfig = nullptr;
}
BENCHMARK(TgsState)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
