// Fuzzes the scenario's sound commands 119-129 on a real frame over a sound player of twelve
// channels: records with hostile pairs (channel numbers far outside 0-3 and -1 to -11, the extreme
// numbers, names of any length and bytes, names too long for the saved form's length byte, negative
// and huge fade times) are played between waits that the skip key cuts short on a pattern the
// input sets; the music may be changing; the game stops after a few hundred steps. Every kept
// channel record must fit the saved form.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/timer_manager.h"
#include "sound/sound_player.h"
#include "support/fuzz_input.h"
#include "support/tgs_command_records.h"
#include "support/tgs_engine_fixture.h"

namespace {

const std::string kLongName(300, 'L');
const char* const kNames[] = {"SE/A.OGG", "se/a.ogg", "SE/NONE.OGG", "V001", "", kLongName.c_str()};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    CTimerManager scheduler;
    CSoundPlayer player;
    player.SetTaskScheduler(&scheduler);
    player.SetChannelCount(12);
    g_pSoundManager = &player;
    {
        fuzzengine::Engine engine;
        engine.link.budget = 50 + in.Small(300);
        engine.link.clickEvery = 1 + in.Small(8);
        engine.config.seOn = in.Byte() & 1;
        engine.config.fastEffects = in.Byte() & 1;
        const uint32_t skipPattern = in.U32();
        player.m_musicFadeState = static_cast<uint8_t>(in.Small(5));
        engine.link.onStep = [&](uint32_t now) {
            scheduler.RunDue(now);
            engine.link.skipKey = ((skipPattern >> (engine.link.steps & 31)) & 1) != 0;
        };
        std::string text;
        while (!in.AtEnd() && text.size() < 16384)
            text += fuzzrecords::Record(119 + static_cast<uint32_t>(in.Small(11)), in, kNames, std::size(kNames), 6);
        engine.Play(text, 4);
        for (int i = 0; i < CTgsFrame::kEffectChannels; ++i)
            if (engine.frame->SoundChannel(i).name.size() > 254)
                __builtin_trap();
        if (engine.frame->NextEffectChannel() < 0 || engine.frame->NextEffectChannel() > 3)
            __builtin_trap();
        engine.frame->ClearScene();
        engine.link.onStep = nullptr;
    }
    scheduler.CancelAll();
    g_pSoundManager = nullptr;
    return 0;
}
