// Fuzzes CSoundManager::Load with arbitrary saved-state bytes: it must answer 0, 1 or 2, never read
// past the blob, and on 0 have consumed no more than it was given. Without a sound device every
// open fails quickly, so names, counts and flags are what is exercised.
#include <cstdint>
#include <vector>

#include "sound/sound_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CTimerManager scheduler;
    CSoundManager manager;
    manager.SetTaskScheduler(&scheduler);
    const uint8_t* cursor = data;
    const int r = manager.Load(&cursor, size);
    if (r != 0 && r != 2)
        __builtin_trap();
    if (cursor < data || cursor > data + size)
        __builtin_trap();
    if (r == 0) {
        // A loaded state saves again within its own size.
        std::vector<uint8_t> again(manager.GetSaveSize());
        uint8_t* w = again.data();
        manager.Save(&w);
        if (w != again.data() + again.size())
            __builtin_trap();
    }
    return 0;
}
