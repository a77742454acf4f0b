// Fuzzes CTgsScriptStore::LoadScriptTableBytes (TGS_INIT.DAT): u16 n, n bytes as the table, the
// rest as a TSLG read log merged into it. A loaded table answers its counts, writes a log that
// merges back to the same bits, and decides which scripts load.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/script_name.h"
#include "support/tgs_frame_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t n = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    fuzztgs::Host host;
    CTgsFrame& frame = *host.frame;
    if (frame.LoadScriptTableBytes(data + 2, n) != 0) {
        if (frame.ScriptTableCount() != 0)
            __builtin_trap();
        return 0;
    }
    frame.MergeTextLog(data + 2 + n, size - 2 - n);
    const uint32_t count = frame.GetMessageCount(nullptr);
    if (frame.GetReadMessageCount(nullptr) > count)
        __builtin_trap();
    frame.IsAllRead(nullptr);
    const std::vector<uint8_t> log = frame.BuildTextLog();
    if (frame.MergeTextLog(log.data(), log.size()) != 0 || frame.BuildTextLog() != log)
        __builtin_trap();
    // The first entry's name decides whether a script of that name loads.
    const TgsScriptEntry* entry = frame.ScriptTableEntry(0);
    if (entry != nullptr && ScriptBaseName(entry->name.c_str()) == entry->name) {
        static const uint8_t kTob[] = {'T', 'O', 'B', '0', 8, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 'a'};
        if (frame.LoadScriptBytes(entry->name.c_str(), kTob, sizeof kTob, true) != kTobLoadOk)
            __builtin_trap();
        frame.SetMessageRead(0);
    }
    return 0;
}
