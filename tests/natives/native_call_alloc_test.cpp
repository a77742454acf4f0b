// Native calls through the host's table allocate nothing: this program replaces operator new and
// counts its calls while the host's machine runs a loop calling the no-op native and a native
// that reads a string, resolves a handle and writes an out word.
#include <gtest/gtest.h>

#include "counting_new.h"

#include "authoring/sob_assembler.h"
#include "drawing/sprite.h"
#include "natives/native_args.h"
#include "support/host_fixture.h"

namespace {

uint32_t ReadAll(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const std::string_view text = args.Str(0);
    CSprite* sprite = host->Object<CSprite>(args.U32(1));
    if (args.Faulted())
        return 0;
    args.Out32(2, static_cast<uint32_t>(text.size()) + (sprite != nullptr ? 1 : 0));
    return 1;
}

TEST(NativeCallAllocation, CallsThroughTheHostTableAllocateNothing)
{
    hosttest::HostFixture f;
    CScriptHost& host = f.Start();
    ASSERT_EQ(host.AddNative(ReadAll), 0);
    CSprite sprite;
    const uint32_t handle = host.ObjectHandle(&sprite);
    const std::string source = "loop:  ncall native 55, 0, r\n"
                               "       ncall native " + std::to_string(host.NativeCount() - 1) + ", args, r\n"
                               "       inc loop2.1\n"
                               "loop2: ge 0, 1000, again.1\n"
                               "again: jz 0, loop\n"
                               "       ret\n"
                               "args:  .word name, " + std::to_string(handle) + ", out\n"
                               "r:     .word 0\nout:   .word 0\nname:  .sjis \"abc\"\n";
    SobAssembly assembly;
    std::vector<std::string> errors;
    ASSERT_TRUE(AssembleSob(source, "loop", &assembly, &errors));
    const uint32_t code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
    std::string error;
    ASSERT_TRUE(PlaceSob(assembly, host.Memory(), code, &error)) << error;
    const long before = counting_new::allocations.load();
    EXPECT_EQ(host.Machine().Call(code), kSobLeave);
    EXPECT_EQ(counting_new::allocations.load(), before);
    uint32_t out = 0;
    host.Memory().Load32(code + assembly.labels["out"], &out);
    EXPECT_EQ(out, 4u);
}

} // namespace
