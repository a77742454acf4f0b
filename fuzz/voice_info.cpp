// Fuzzes VOICEINF.DAT: the voice table is taken whole or not at all, and a taken table's map
// names only its entries. Seeds: `tessaro-tool voiceinf pack` files.
#include <cstddef>
#include <cstdint>

#include "natives/script_host_base.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CScriptHostBase host(1u << 16);
    const bool taken = host.LoadVoiceInfoBytes(data, size);
    const VoiceTable& t = host.Voices();
    if (!taken && (!t.characters.empty() || !t.prefixes.empty()))
        __builtin_trap();
    if (t.extension.size() > CScriptHostBase::kMaxVoiceExtension)
        __builtin_trap();
    for (const VoicePrefix& p : t.prefixes) {
        if (p.character < 0 || static_cast<size_t>(p.character) >= t.characters.size())
            __builtin_trap();
    }
    return 0;
}
