// Run allocates nothing: this program replaces operator new and counts its calls while the
// machine runs a loop that calls natives.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/sob_machine.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

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
    const long before = g_allocations.load();
    int yields = 0;
    int result;
    while ((result = m.vm.Run()) == kSobYield)
        ++yields;
    const long during = g_allocations.load() - before;
    EXPECT_EQ(result, kSobLeave);
    EXPECT_EQ(yields, 998);
    EXPECT_EQ(during, 0);
    EXPECT_EQ(m.Cell(m.Label("total")), 3000u);
}

} // namespace
