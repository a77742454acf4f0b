// Fuzzes the backlog window: a text log built from the input (pages of any bytes, damaged embedded
// commands included, with names, voices, huge layout heights and group bytes; choice lists with
// any flags and selection; scene snapshots) is shown by RunBacklog on a real frame, while the
// input scripts each frame's scrolls, wheel turns, hides, clicks and scroll-bar drags at pointer
// positions it chooses. The game stops after a budget of steps.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/fuzz_input.h"
#include "support/tgs_engine_fixture.h"

namespace {

std::string Bytes(FuzzInput& in, int most)
{
    std::string s;
    const int n = in.Small(most);
    for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>(in.Byte()));
    return s;
}

std::string Text(FuzzInput& in, int most)
{
    std::string s = Bytes(in, most);
    for (char& c : s)
        if (c == 0)
            c = 'x';
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    fuzzengine::Engine engine;
    engine.link.budget = 20 + in.Small(300);
    engine.config.fastSystemScreens = in.Byte() & 1;
    CTgsFrame& frame = *engine.frame;
    if (frame.StartScenario(false) != 0)
        __builtin_trap();
    CTextLog& log = frame.TextLog();
    log.SetCapacity(1 + in.Small(200));
    const int entries = in.Small(200);
    for (int i = 0; i < entries && !in.AtEnd(); ++i) {
        switch (in.Small(3)) {
        case 0: {
            const std::string page = Bytes(in, 300);
            const std::string name = Text(in, 8), voice = Text(in, 8);
            const uint32_t height = (in.Byte() & 1) != 0 ? in.U32() : static_cast<uint32_t>(in.Small(200));
            log.AddMessage(reinterpret_cast<const uint8_t*>(page.data()), static_cast<uint32_t>(page.size()), height,
                           name.c_str(), voice.c_str(), static_cast<uint8_t>(in.Small(3)));
            break;
        }
        case 1: {
            const int n = in.Small(8);
            if (log.BeginChoices(n) != 0)
                break;
            for (int k = 0; k < n; ++k)
                log.AddChoice(Text(in, 20).c_str(), static_cast<uint8_t>(in.Byte() & 1));
            uint32_t serial = 0;
            if (log.EndChoices(&serial) == 0)
                log.SetSelectedChoice(serial, in.I32() % 10);
            break;
        }
        default: {
            TextLogScene scene;
            scene.background = Text(in, 12);
            log.AddScene(scene);
            break;
        }
        }
    }
    std::vector<uint32_t> script;
    while (!in.AtEnd() && script.size() < 512)
        script.push_back(in.U32());
    engine.link.onStep = [&](uint32_t) {
        const uint32_t s = script.empty() ? 0 : script[static_cast<size_t>(engine.link.steps) % script.size()];
        TgsInput& input = engine.link.input;
        input = TgsInput{};
        input.cancel = (s & 0xFF) == 1;
        input.click = (s & 2) != 0;
        input.held = (s & 4) != 0;
        input.wheel = (s & 8) != 0 ? ((s & 16) != 0 ? 1 : -1) : 0;
        input.pageUp = (s & 32) != 0;
        input.pageDown = (s & 64) != 0;
        input.home = (s & 0x300) == 0x100;
        input.end = (s & 0x300) == 0x200;
        input.hide = (s & 0xC00) == 0xC00;
        input.lineUp = (s & 0x1000) != 0;
        input.lineDown = (s & 0x2000) != 0;
    };
    frame.RunBacklog();
    if (frame.BacklogScroll() < 0 || frame.BacklogScroll() > frame.BacklogMaxScroll())
        __builtin_trap();
    frame.ClearScene();
    engine.link.onStep = nullptr;
    return 0;
}
