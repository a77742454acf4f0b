// Fuzzes page text through the message window: byte 0 picks the per-character reveal time, byte 1
// the reveal steps, the rest is the page (characters, embedded commands, NULs), shown, revealed
// step by step, finished, measured and shown again at once.
#include <cstddef>
#include <cstdint>

#include "script/message_window.h"
#include "support/tgs_engine_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    static fuzzengine::Engine* engine = nullptr;
    if (engine == nullptr) {
        engine = new fuzzengine::Engine();
        if (engine->frame->StartScenario(false) != 0)
            __builtin_trap();
    }
    CMessageWindow* w = engine->frame->MessageWindow();
    if (w == nullptr)
        __builtin_trap();
    engine->link.steps = 0;
    engine->link.budget = 1 << 30;
    w->FinishReveal();
    w->Clear();
    w->SetCharacterTime(data[0] % 4 == 0 ? 0 : data[0]);
    const uint8_t* page = data + 2;
    const uint32_t n = static_cast<uint32_t>(size - 2);
    if (w->SetPageText(page, n) != 0)
        __builtin_trap();
    w->ShowPage(data[1] & 1);
    for (int i = 0; i < (data[1] >> 1) && w->IsRevealing(); ++i)
        engine->frame->StepFrame();
    w->FinishReveal();
    if (w->IsRevealing())
        __builtin_trap();
    RECT box;
    w->MeasureText(page, n, &box, true);
    w->SetCharacterTime(0);
    w->Clear();
    w->ShowPage(false);
    engine->frame->ClearText();
    return 0;
}
