// Fuzzes module linking: the input is a module file ("SOB0" and a linkable image) loaded as
// "MAIN" into the sample runtime; a linked module runs from its entry for at most 10,000
// instructions and is unloaded. Seeds: `tessaro-tool sob asm --module` files.
#include <cstddef>
#include <cstdint>

#include "support/sob_runtime_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<CSobRuntime> rt = fuzzsob::MakeRuntime(true, true, true);
    const size_t modules = rt->LoadedModules().size();
    const uint64_t allocated = rt->Memory().AllocatedBytes();
    const int result = rt->LoadModuleBytes("SCRIPT\\MAIN.SOB", data, size, nullptr);
    if (result != 0) {
        // A refused module changes nothing.
        if (rt->LoadedModules().size() != modules || rt->Memory().AllocatedBytes() != allocated)
            __builtin_trap();
        return 0;
    }
    rt->Machine().SetInstructionBudget(10000);
    const int run = rt->Machine().Run();
    if (run < 0 || run > 3)
        __builtin_trap();
    rt->UnloadModule();
    if (rt->LoadedModules().size() != modules)
        __builtin_trap();
    return 0;
}
