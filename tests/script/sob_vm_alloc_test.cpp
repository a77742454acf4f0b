// Run allocates nothing: this program replaces operator new and counts its calls while the
// machine runs a loop that calls natives.
#include <gtest/gtest.h>

#include "counting_new.h"

#include "support/sob_machine.h"

namespace {

uint32_t Count(SobNativeArgs& args)
{
    return static_cast<uint32_t>(args.I32(0) + static_cast<int32_t>(args.Str(1).size()));
}
const SobNative kNatives[] = {Count};

TEST(SobVmAllocation, RunOverALoopCallingNativesAllocatesNothing)
{
    sobtest::Machine m;
    m.vm.SetNatives(kNatives, 1);
    m.Source("loop: movm total, args\n"
             "      ncall native 0, args, total\n"
             "      dec left\n"
             "      movm left, test.1\n"
             "test: jz 0, done\n"
             "      yield\n"
             "      jmp loop\n"
             "done: ret\n"
             "args: .word 0, text\n"
             "text: .sjis \"abc\"\n"
             "total: .word 0\n"
             "left: .word 1000\n");
    ASSERT_EQ(m.vm.Call(sobtest::kCode), kSobYield);
    const long before = counting_new::allocations.load();
    int yields = 0;
    int result;
    while ((result = m.vm.Run()) == kSobYield)
        ++yields;
    const long during = counting_new::allocations.load() - before;
    EXPECT_EQ(result, kSobLeave);
    EXPECT_EQ(yields, 998);
    EXPECT_EQ(during, 0);
    EXPECT_EQ(m.Cell(m.Label("total")), 3000u);
}

} // namespace
