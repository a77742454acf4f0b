// Fuzzes USER_VAR.SOB: loaded variables go through the four variable operations and a save-block
// round trip, and the input's last 64 bytes are fed to LoadVariables. Seeds: `tessaro-tool sob
// vars` files.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/sob_runtime_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<CSobRuntime> rt = fuzzsob::MakeRuntime(false, false, false);
    if (rt->LoadUserVariables(data, size, true, true) != 0)
        return 0;
    for (int selector = 0; selector <= 4; ++selector) {
        rt->SnapshotVariables(selector, selector % 4);
        rt->ClearVariables(selector, 0);
        rt->RestoreSnapshot(0, selector % 4);
        rt->ResetVariables(selector, 1);
    }
    for (int selector : {0, 1, 2}) {
        // Records may share bytes of the block, so save blocks can be far larger than the input.
        if (rt->GetVariablesSaveSize(selector, false) > (16u << 20))
            continue;
        std::vector<uint8_t> block(rt->GetVariablesSaveSize(selector, selector == 2));
        uint8_t* out = block.data();
        size_t left = block.size();
        if (rt->SaveVariables(&out, &left, selector, selector == 2) != 0 || left != 0)
            __builtin_trap();
        const uint8_t* in = block.data();
        left = block.size();
        if (rt->LoadVariables(&in, &left) != 0 || left != 0)
            __builtin_trap();
    }
    const size_t tail = size < 64 ? size : 64;
    const uint8_t* in = data + size - tail;
    size_t left = tail;
    rt->LoadVariables(&in, &left);
    return 0;
}
