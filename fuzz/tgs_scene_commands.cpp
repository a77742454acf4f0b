// Fuzzes the scene commands 31-116 (layers, sprites, effects, transitions) on a real frame with the
// game's effect and transition registries: records with hostile pairs (pages, layers, groups and
// slots out of range, names and texts of any length and bytes, negative and huge times, names no
// effect is registered under) are played; each frame step runs the effect scheduler and the
// screen's transition, the skip input goes on and off as the input says, and the game stops after
// a few hundred steps.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
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
#include "support/fuzz_input.h"
#include "support/tgs_command_records.h"
#include "support/tgs_engine_fixture.h"
#include "support/tgs_scene_world.h"

namespace {

using fuzzscene::TheWorld;
using fuzzscene::World;

const char* const kNames[] = {"BG01A.ELG", "bg01a.elg",    "BG02.ELG",     "CH1S.ELG",
                              "CH2M.ELG",  "NONE.ELG",     "(0,0)(20,10)", "(1,2,1.5)(30,40,2.0)",
                              "1.5",       "SYS/CA020.TXT"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    World& world = TheWorld();
    FuzzInput in{data, size};
    {
        fuzzengine::Engine engine;
        engine.link.budget = 50 + in.Small(300);
        engine.link.clickEvery = 1 + in.Small(8);
        const uint32_t skipPattern = in.U32();
        engine.config.option9 = in.Byte() & 1;
        engine.config.clickSkipsEffects = 1;
        CTgsFrame* frame = engine.frame.get();
        engine.link.onStep = [&](uint32_t now) {
            world.scheduler.RunDue(now);
            engine.link.skipHeld = ((skipPattern >> (engine.link.steps & 31)) & 1) != 0;
            CImageObject* screen = frame->Screen(0);
            if (screen != nullptr && screen->HasFilter() && screen->GetFilter()->Step(now) != 0)
                screen->DetachFilter(screen->GetApplyOnEnd());
        };
        std::string text;
        while (!in.AtEnd() && text.size() < 16384)
            text += fuzzrecords::Record(31 + static_cast<uint32_t>(in.Small(86)), in, kNames, std::size(kNames), 18);
        engine.Play(text, 4);
        engine.frame->ClearScene();
        engine.link.onStep = nullptr;
    }
    world.scheduler.CancelAll();
    world.scheduler.RunDue(0);
    return 0;
}
