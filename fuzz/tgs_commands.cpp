// Fuzzes the message-side scenario commands on a real frame: the input is turned into a TOB text of
// characters and records of commands 12-30, 117 and 118 (numbers and short strings as arguments,
// some without a value) and played; the link clicks, takes choice lines, presses the skip input
// and opens a window-menu action on a schedule the input sets, and stops the game after a budget
// of frame steps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/fuzz_input.h"
#include "support/tgs_command_records.h"
#include "support/tgs_engine_fixture.h"

namespace {

constexpr uint32_t kCommands[] = {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 117, 118};

using fuzzrecords::Put32;

// One command record with the condition "always".
std::string Record(uint32_t command, FuzzInput& in)
{
    std::string args;
    const int count = in.Small(11);
    for (int i = 0; i < count; ++i) {
        const int kind = in.Small(4);
        if (kind == 0) {
            args.push_back(0); // no value
        } else if (kind == 1) {
            args.push_back(2);
            // Small waits keep the run short.
            Put32(args, command == 20 || command == 21 || command == 117 ? in.Byte() : in.U32());
        } else {
            const int n = in.Small(24);
            args.push_back(1);
            args.push_back(1); // a string
            args.push_back(static_cast<char>(n + 1));
            args.push_back(0);
            for (int k = 0; k < n; ++k) {
                const uint8_t c = in.Byte();
                args.push_back(static_cast<char>(c == 0 ? 'x' : c));
            }
            args.push_back(0);
        }
    }
    return fuzzrecords::Frame(command, count, args);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    fuzzengine::Engine engine;
    engine.link.budget = 20 + in.Small(400);
    engine.link.clickEvery = 1 + in.Small(8);
    engine.link.menuAt = in.Small(64);
    engine.link.menuAction = in.Small(14);
    engine.link.pick = in.Small(8);
    engine.link.skipKey = (in.Byte() & 7) == 0;
    engine.link.skipHeld = (in.Byte() & 3) == 0;
    engine.config.clickSkipsEffects = in.Byte() & 1;
    engine.frame->SetStartValue(0, static_cast<int32_t>(in.U32()));
    std::string text;
    while (!in.AtEnd() && text.size() < 16384) {
        const uint8_t b = in.Byte();
        if (b < 0xA0) {
            text += Record(kCommands[b % (sizeof kCommands / sizeof kCommands[0])], in);
        } else {
            // Characters: a two-byte one, or ASCII.
            const uint8_t c = in.Byte();
            if (b >= 0xE0)
                text += std::string("\x82") + static_cast<char>(0xA0 + c % 80);
            else
                text.push_back(static_cast<char>(0x41 + c % 26));
        }
    }
    std::vector<uint8_t> file = {'T', 'O', 'B', '0', 8, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), text.begin(), text.end());
    engine.frame->script = file;
    if (engine.frame->StartScript("MAIN") != 0)
        return 0;
    if (engine.frame->StartScenario(false) != 0)
        __builtin_trap();
    for (int i = 0; i < 8; ++i) {
        const int r = engine.frame->RunText();
        if (r <= 0 || engine.frame->CurrentScript() == nullptr)
            break;
    }
    engine.frame->ClearScene();
    return 0;
}
