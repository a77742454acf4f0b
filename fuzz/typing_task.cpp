// Fuzzes the script text object's typing: u16 n, n bytes placed in script memory as a message
// record and set into the message store; the rest drives the typing, a byte a turn: the low two
// bits pick ControlTyping (0-3) or a timed update, the rest the clock step. The text is typed to
// its end (or the turns run out) in a small panel so pages fill and break.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/pixel_library.h"
#include "natives/text_object.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/pixel_lib.h"
#include "script/message_store.h"
#include "script/script_memory.h"
#include "winapi/clock.h"
#include "winapi/text.h"

namespace {

struct World {
    World()
    {
        winapi::UseVirtualClock(true);
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        target.Create(320, 240, 32, 0);
        scene.SetTarget(&target, false);
        font.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
        config.unreadCharMs = 7;
        config.readCharMs = 3;
        g_pAppConfig = &config;
    }
    std::unique_ptr<CPixelLibrary> library;
    CImage target;
    CScene scene;
    CGlyphFont font;
    AppConfig config{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    if (size < 2)
        return 0;
    const size_t n = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    CScriptMemory memory(1u << 18);
    CMessageStore store(memory);
    // The record exactly as given: the store must not read past it.
    const uint32_t at = memory.Allocate(static_cast<uint32_t>(n + 1));
    if (at == 0)
        return 0;
    std::memcpy(memory.Span(at, static_cast<uint32_t>(n + 1)), data + 2, n);
    memory.Span(at, static_cast<uint32_t>(n + 1))[n] = 0;
    if (store.SetMessage(at) != 0)
        return 0;
    world.font.SetHeight(12);
    CTimerManager tasks;
    {
        CTextObject object(&store, &tasks);
        if (object.Create(&world.scene.GetList(), 1, 90, 50, 0, 0, &world.font, nullptr, 0) != 0)
            return 0;
        object.StartTyping((n & 1) != 0);
        const uint8_t* drive = data + 2 + n;
        const size_t turns = size - 2 - n;
        for (size_t i = 0; i < 4096; ++i) {
            const uint8_t b = turns != 0 ? drive[i % turns] : 0;
            if ((b & 3) == 3)
                object.ControlTyping(3);
            else if (b & 4)
                object.ControlTyping(b & 3);
            winapi::AdvanceVirtualClock(b >> 3);
            tasks.RunDue(TimerNow());
            CTypingTask* task = object.TypingTask();
            if (task == nullptr || (task->GetPhase() == CTypingTask::kFinished && task->GetLastKind() == 5))
                break;
            if (task->GetPhase() == CTypingTask::kFinished)
                object.StartTyping(false);
            else if (task->GetPhase() == CTypingTask::kWaiting)
                object.ControlTyping(3);
        }
    }
    tasks.RunDue(TimerNow());
    return 0;
}
