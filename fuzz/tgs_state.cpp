// Fuzzes the scenario frame's saved-state reader on a real frame. A good block is made once by
// playing a scene (a background, sprites with a colour mode, a weather layer, a name text, a
// speaker with a voice, a page wait) and saving at its page wait. The input is either a block of
// its own bytes or edits of the good one (bytes changed, the block cut). CheckState and LoadState
// must answer the same code; a refused block leaves SaveState's bytes as they were; a loaded one is
// resumed (the scene rebuilt) and played a few frames.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/tob_packer.h"
#include "display/image_object.h"
#include "support/fuzz_input.h"
#include "support/tgs_engine_fixture.h"
#include "support/tgs_scene_world.h"

namespace {

const char* kScenario = "@message 0\n"
                        "@layerimage \"BG01A.ELG\" 0\n"
                        "@sprite 0 \"CH1S.ELG\" 1 0 0 0\n"
                        "@sprite 1 \"CH2M.ELG\" 2 0 0 0\n"
                        "@spcolormode 0 1 0 0 0 0\n"
                        "@weather 0 2 40 0 \"\" 1 1\n"
                        "@name \"Chapter\"\n"
                        "@speaker \"Taro\" \"V01\"\n"
                        "first page\n"
                        "@page\n"
                        "@message 1\n"
                        "second page\n"
                        "@page\n";

std::vector<uint8_t> Script()
{
    std::vector<uint8_t> bytes;
    std::vector<std::string> errors;
    if (!PackTob(kScenario, "state.txt", TobPackOptions{}, &bytes, &errors))
        __builtin_trap();
    return bytes;
}

std::vector<uint8_t> Save(CTgsFrame& frame)
{
    std::vector<uint8_t> out(frame.GetStateSize(true));
    uint8_t* p = out.data();
    size_t left = out.size();
    if (frame.SaveState(&p, &left, true) != 0 || left != 0)
        __builtin_trap();
    return out;
}

// The frame with the scene's effect steps and transitions run at each frame step.
void Attach(fuzzengine::Engine& engine)
{
    CTgsFrame* frame = engine.frame.get();
    engine.frame->script = Script();
    engine.link.onStep = [frame](uint32_t now) {
        fuzzscene::TheWorld().scheduler.RunDue(now);
        CImageObject* screen = frame->Screen(0);
        if (screen != nullptr && screen->HasFilter() && screen->GetFilter()->Step(now) != 0)
            screen->DetachFilter(screen->GetApplyOnEnd());
    };
}

const std::vector<uint8_t>& GoodBlock()
{
    static const std::vector<uint8_t> block = [] {
        std::vector<uint8_t> saved;
        {
            fuzzengine::Engine engine;
            Attach(engine);
            CTgsFrame* frame = engine.frame.get();
            auto step = engine.link.onStep;
            engine.link.onStep = [&](uint32_t now) {
                step(now);
                if (saved.empty() && frame->PageWaitByte() != 0)
                    saved = Save(*frame);
            };
            if (frame->StartScript("MAIN") != 0 || frame->StartScenario(false) != 0)
                __builtin_trap();
            frame->RunText();
            frame->ClearScene();
            engine.link.onStep = nullptr;
        }
        if (saved.empty())
            __builtin_trap();
        return saved;
    }();
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzscene::TheWorld();
    const std::vector<uint8_t>& good = GoodBlock();
    FuzzInput in{data, size};
    std::vector<uint8_t> block;
    const uint8_t mode = in.Byte();
    if ((mode & 1) != 0) {
        block.assign(data + in.pos, data + size);
    } else {
        block = good;
        if ((mode & 2) != 0)
            block.resize(in.U16() % (block.size() + 1));
        for (int edits = 0; !in.AtEnd() && edits < 64 && !block.empty(); ++edits) {
            const size_t at = in.U16() % block.size();
            block[at] = in.Byte();
        }
    }
    {
        fuzzengine::Engine engine;
        Attach(engine);
        engine.link.budget = 120;
        CTgsFrame* frame = engine.frame.get();
        const std::vector<uint8_t> before = Save(*frame);
        const uint8_t* at = block.data();
        size_t left = block.size();
        const int checked = frame->CheckState(&at, &left, true);
        at = block.data();
        left = block.size();
        const int loaded = frame->LoadState(&at, &left, true);
        if (checked != loaded || (loaded == 0) != (frame->StateReplaced() != 0))
            __builtin_trap();
        if (loaded != 0) {
            if (Save(*frame) != before)
                __builtin_trap();
        } else {
            // A loaded block is written back as it was read, then resumed and played.
            Save(*frame);
            if (frame->StartScenario(true) == 0) {
                for (int i = 0; i < 3 && frame->RunText() > 0; ++i) {
                }
            }
        }
        frame->ClearScene();
        engine.link.onStep = nullptr;
    }
    fuzzscene::TheWorld().scheduler.CancelAll();
    fuzzscene::TheWorld().scheduler.RunDue(0);
    return 0;
}
