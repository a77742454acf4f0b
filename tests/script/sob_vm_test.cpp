// The SOB machine: each opcode's effect, arithmetic against a 64-bit reference, calls and host
// nesting, faults, self-patching programs, natives and the instruction budget.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include "script/script_stop.h"
#include "script/sob_instructions.h"
#include "support/sob_machine.h"

using namespace sobtest;

namespace {

constexpr uint32_t D0 = kData, D1 = kData + 4;
constexpr uint32_t T1 = kCode + 0x40, T2 = kCode + 0x50; // jump targets
constexpr uint32_t kMinus1 = 0xFFFFFFFFu;

uint32_t U(int32_t v)
{
    return static_cast<uint32_t>(v);
}

// One instruction at kCode, run with a budget of one instruction.
struct OpcodeCase {
    const char* name;
    std::vector<uint32_t> code;
    std::vector<uint32_t> stackBefore;
    std::vector<std::pair<uint32_t, uint32_t>> dataBefore;
    int32_t accBefore;
    int result;
    uint32_t ipAfter;
    std::vector<uint32_t> stackAfter;
    std::vector<std::pair<uint32_t, uint32_t>> dataAfter;
    int32_t accAfter;
};

const OpcodeCase kOpcodeCases[] = {
    {"yield", {0}, {}, {}, 0, kSobYield, kCode + 4, {}, {}, 0},
    {"return to an address", {1}, {9, T1}, {}, 0, kSobBudget, T1, {9}, {}, 0},
    {"return to the zero cell leaves", {1}, {9, 0}, {}, 0, kSobLeave, kCode + 4, {9}, {}, 0},
    {"return with value inside a call", {2, 55}, {T1}, {}, 3, kSobBudget, T1, {}, {}, 55},
    {"return with value at the outermost level keeps the accumulator", {2, 55}, {0}, {}, 3, kSobLeave, kCode + 8, {}, {}, 3},
    {"store accumulator", {3, D0}, {}, {}, -5, kSobBudget, kCode + 8, {}, {{D0, U(-5)}}, -5},
    {"call pushes the address after op1", {4, T1}, {}, {}, 0, kSobBudget, T1, {kCode + 8}, {}, 0},
    {"jump", {6, T2}, {}, {}, 0, kSobBudget, T2, {}, {}, 0},
    {"switch 0 takes the first entry", {7, 0, T1, T2, kMinus1}, {}, {}, 0, kSobBudget, T1, {}, {}, 0},
    {"switch 1 takes the second entry", {7, 1, T1, T2, kMinus1}, {}, {}, 0, kSobBudget, T2, {}, {}, 0},
    {"push", {8, U(-77)}, {1}, {}, 0, kSobBudget, kCode + 8, {1, U(-77)}, {}, 0},
    {"push a cell", {9, D0}, {}, {{D0, 12}}, 0, kSobBudget, kCode + 8, {12}, {{D0, 12}}, 0},
    {"pop into a cell", {10, D0}, {4, 9}, {}, 0, kSobBudget, kCode + 8, {4}, {{D0, 9}}, 0},
    {"sp += 8", {11, 8}, {5}, {}, 0, kSobBudget, kCode + 8, {5, 0, 0}, {}, 0},
    {"sp -= 4", {12, 4}, {1, 2}, {}, 0, kSobBudget, kCode + 8, {1}, {}, 0},
    {"sp += -4", {11, U(-4)}, {1, 2}, {}, 0, kSobBudget, kCode + 8, {1}, {}, 0},
    {"add", {13, 5, U(-7), D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, U(-2)}}, 0},
    {"add wraps", {13, 0x7FFFFFFF, 1, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0x80000000u}}, 0},
    {"subtract", {14, 5, 7, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, U(-2)}}, 0},
    {"multiply keeps the low 32 bits", {15, 0x10001, 0x10001, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0x00020001u}}, 0},
    {"divide truncates toward zero", {16, U(-7), 2, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, U(-3)}}, 0},
    {"remainder takes the sign of op1: -7 % 3", {17, U(-7), 3, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, U(-1)}}, 0},
    {"modulo adds op2 when negative: -7 mod 3", {18, U(-7), 3, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 2}}, 0},
    {"and", {19, 0xF0F0, 0xFF00, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0xF000}}, 0},
    {"or", {20, 0xF0F0, 0xFF00, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0xFFF0}}, 0},
    {"xor", {21, 0xF0F0, 0xFF00, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0x0FF0}}, 0},
    {"not", {22, 0x0F, D0}, {}, {}, 0, kSobBudget, kCode + 12, {}, {{D0, 0xFFFFFFF0u}}, 0},
    {"logical not of 0", {23, 0, D0}, {}, {{D0, 7}}, 0, kSobBudget, kCode + 12, {}, {{D0, 1}}, 0},
    {"logical not of -1", {23, kMinus1, D0}, {}, {{D0, 7}}, 0, kSobBudget, kCode + 12, {}, {{D0, 0}}, 0},
    {"arithmetic shift right: -8 >> 1", {24, U(-8), 1, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, U(-4)}}, 0},
    {"shift right count taken mod 32", {24, 256, 33, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 128}}, 0},
    {"shift left count taken mod 32", {25, 1, 35, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 8}}, 0},
    {"increment a cell", {26, D0}, {}, {{D0, 41}}, 0, kSobBudget, kCode + 8, {}, {{D0, 42}}, 0},
    {"decrement a cell", {27, D0}, {}, {{D0, 0}}, 0, kSobBudget, kCode + 8, {}, {{D0, kMinus1}}, 0},
    {"increment slot 4 (the top)", {28, 4}, {1, 10}, {}, 0, kSobBudget, kCode + 8, {1, 11}, {}, 0},
    {"increment slot 8", {28, 8}, {1, 10}, {}, 0, kSobBudget, kCode + 8, {2, 10}, {}, 0},
    {"decrement slot 4", {29, 4}, {1, 10}, {}, 0, kSobBudget, kCode + 8, {1, 9}, {}, 0},
    {"jump if zero: taken", {30, 0, T1}, {}, {}, 0, kSobBudget, T1, {}, {}, 0},
    {"jump if zero: not taken", {30, 2, T1}, {}, {}, 0, kSobBudget, kCode + 12, {}, {}, 0},
    {"move a value", {31, U(-9), D0}, {}, {}, 0, kSobBudget, kCode + 12, {}, {{D0, U(-9)}}, 0},
    {"move a cell", {32, D0, D1}, {}, {{D0, 5}}, 0, kSobBudget, kCode + 12, {}, {{D0, 5}, {D1, 5}}, 0},
    {"store through a pointer", {33, 6, D1}, {}, {{D1, D0}}, 0, kSobBudget, kCode + 12, {}, {{D0, 6}, {D1, D0}}, 0},
    {"set a slot", {34, 6, 8}, {1, 2}, {}, 0, kSobBudget, kCode + 12, {6, 2}, {}, 0},
    {"get a slot", {35, 8, D0}, {1, 2}, {}, 0, kSobBudget, kCode + 12, {1, 2}, {{D0, 1}}, 0},
    {"put a cell into a slot", {36, D0, 4}, {1, 2}, {{D0, 7}}, 0, kSobBudget, kCode + 12, {1, 7}, {{D0, 7}}, 0},
    {"copy a slot", {37, 4, 8}, {1, 2}, {}, 0, kSobBudget, kCode + 12, {2, 2}, {}, 0},
    {"load through a slot", {38, 4, D1}, {D0}, {{D0, 42}}, 0, kSobBudget, kCode + 12, {D0}, {{D1, 42}}, 0},
    {"load through a cell", {39, D1, D0}, {}, {{D1, D1}}, 0, kSobBudget, kCode + 12, {}, {{D0, D1}}, 0},
    {"address of a slot", {40, 4, D0}, {1, 2}, {}, 0, kSobBudget, kCode + 12, {1, 2}, {{D0, kStack + 4}}, 0},
    {"less: signed", {41, kMinus1, 0, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 1}}, 0},
    {"less or equal", {42, 3, 3, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 1}}, 0},
    {"greater", {43, 3, 3, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0}}, 0},
    {"greater or equal", {44, 0, 0x80000000u, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 1}}, 0},
    {"equal", {45, 4, 4, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 1}}, 0},
    {"not equal", {46, 4, 4, D0}, {}, {}, 0, kSobBudget, kCode + 16, {}, {{D0, 0}}, 0},
};

TEST(SobVm, EachOpcodeChangesWhatItsRowSays)
{
    for (const OpcodeCase& c : kOpcodeCases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.Cells(c.code);
        for (uint32_t v : c.stackBefore)
            m.Push(v);
        for (auto [address, value] : c.dataBefore)
            m.memory.Store32(address, value);
        m.vm.SetAccumulator(c.accBefore);
        m.vm.SetInstructionBudget(1);
        EXPECT_EQ(m.vm.Run(), c.result);
        EXPECT_EQ(m.vm.Fault(), SobFault::None);
        EXPECT_EQ(m.vm.Ip(), c.ipAfter);
        EXPECT_EQ(m.Stack(), c.stackAfter);
        EXPECT_EQ(m.vm.Accumulator(), c.accAfter);
        for (auto [address, value] : c.dataAfter)
            EXPECT_EQ(m.Cell(address), value) << std::hex << address;
    }
}

TEST(SobVm, EveryOpcodeHasARow)
{
    std::vector<bool> seen(kSobOpcodeCount);
    for (const OpcodeCase& c : kOpcodeCases)
        seen[c.code[0]] = true;
    seen[5] = true; // natives have their own tests
    for (int op = 0; op < kSobOpcodeCount; ++op)
        EXPECT_TRUE(seen[op]) << kSobInstructions[op].mnemonic;
}

// The definitions, computed in 64 bits. false: the operation must fault.
bool Reference(int op, int32_t a32, int32_t b32, uint32_t* out)
{
    const int64_t a = a32, b = b32;
    const int64_t s = static_cast<uint32_t>(b32) % 32;
    int64_t r = 0;
    switch (op) {
    case 13: r = a + b; break;
    case 14: r = a - b; break;
    case 15: r = a * b; break;
    case 16:
    case 17:
    case 18: {
        if (b == 0 || (a == INT32_MIN && b == -1))
            return false;
        const int64_t q = a / b; // truncating
        r = op == 16 ? q : a - q * b;
        if (op == 18 && r < 0)
            r += b;
        break;
    }
    case 19: r = a & b; break;
    case 20: r = a | b; break;
    case 21: r = a ^ b; break;
    case 22: r = ~a; break;
    case 23: r = a == 0; break;
    case 24: { // floor(a / 2^s)
        const int64_t p = int64_t(1) << s;
        r = a >= 0 ? a / p : -((-a + p - 1) / p);
        break;
    }
    case 25: r = a * (int64_t(1) << s); break;
    case 41: r = a < b; break;
    case 42: r = a <= b; break;
    case 43: r = a > b; break;
    case 44: r = a >= b; break;
    case 45: r = a == b; break;
    case 46: r = a != b; break;
    }
    *out = static_cast<uint32_t>(static_cast<uint64_t>(r) & 0xFFFFFFFFu);
    return true;
}

TEST(SobVm, ArithmeticMatchesA64BitReference)
{
    const int32_t edges[] = {0, 1, -1, 2, -2, 3, -7, 31, 32, 33, INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1};
    std::mt19937 random(1234);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t a : edges)
        for (int32_t b : edges)
            pairs.emplace_back(a, b);
    for (int i = 0; i < 400; ++i)
        pairs.emplace_back(static_cast<int32_t>(random()), static_cast<int32_t>(random() >> (random() % 32)));
    std::vector<int> ops;
    for (int op = 13; op <= 25; ++op)
        ops.push_back(op);
    for (int op = 41; op <= 46; ++op)
        ops.push_back(op);
    Machine m;
    for (int op : ops) {
        const bool unary = op == 22 || op == 23;
        for (auto [a, b] : pairs) {
            if (unary)
                m.Cells({static_cast<uint32_t>(op), U(a), D0});
            else
                m.Cells({static_cast<uint32_t>(op), U(a), U(b), D0});
            m.memory.Store32(D0, 0xA5A5A5A5u);
            m.vm.SetIp(kCode);
            m.vm.SetInstructionBudget(1);
            uint32_t expected = 0;
            const bool ok = Reference(op, a, b, &expected);
            const int result = m.vm.Run();
            if (ok) {
                ASSERT_EQ(result, kSobBudget) << op << " " << a << " " << b;
                ASSERT_EQ(m.Cell(D0), expected) << op << " " << a << " " << b;
            } else {
                ASSERT_EQ(result, kSobFault) << op << " " << a << " " << b;
                ASSERT_EQ(m.Cell(D0), 0xA5A5A5A5u);
            }
        }
    }
}

TEST(SobVm, SwitchJumpsThroughAnAssembledTable)
{
    Machine m;
    m.Source("switch 2, a, b, c\n"
             "a: yield\n"
             "b: yield\n"
             "c: push 0\n ret\n");
    EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
}

TEST(SobVm, NestedCallsReturnValues)
{
    Machine m;
    m.Source("main:  call twice\n"
             "       stacc result   ; 42\n"
             "       call leaf\n"
             "       stacc result2  ; 21\n"
             "       ret            ; to the sentinel\n"
             "twice: call leaf\n"
             "       stacc tmp\n"
             "       movm tmp, sum.1\n"
             "       movm tmp, sum.2\n"
             "sum:   add 0, 0, back.1\n"
             "back:  retv 0\n"
             "leaf:  retv 21\n"
             "tmp: .word 0\n"
             "result: .word 0\n"
             "result2: .word 0\n");
    const uint32_t sp = m.vm.Sp();
    EXPECT_EQ(m.vm.Call(m.Label("main")), kSobLeave);
    EXPECT_EQ(m.Cell(m.Label("result")), 42u);
    EXPECT_EQ(m.Cell(m.Label("result2")), 21u);
    EXPECT_EQ(m.vm.Sp(), sp);
}

TEST(SobVm, CallOfAReturnLeavesAtOnceWithSpUnchanged)
{
    Machine m;
    m.Cells({1});
    m.Push(7);
    const uint32_t sp = m.vm.Sp();
    EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
    EXPECT_EQ(m.vm.Sp(), sp);
}

TEST(SobVm, HostNestsARoutineAroundASuspendedOne)
{
    Machine m;
    m.Source("first: inc count\n"
             "       yield\n"
             "       inc count\n"
             "       ret\n"
             "other: mov 100, count\n"
             "       ret\n"
             "count: .word 0\n");
    EXPECT_EQ(m.vm.Call(m.Label("first")), kSobYield);
    EXPECT_EQ(m.Stack(), std::vector<uint32_t>{0}); // the sentinel stays until the final return
    // The host starts another routine while the first is suspended.
    ASSERT_EQ(m.vm.PushIp(), 0);
    EXPECT_EQ(m.vm.Call(m.Label("other")), kSobLeave);
    ASSERT_EQ(m.vm.PopIp(), 0);
    EXPECT_EQ(m.vm.Run(), kSobLeave);
    EXPECT_EQ(m.Cell(m.Label("count")), 101u);
    EXPECT_TRUE(m.Stack().empty());
}

TEST(SobVm, HostStackOperationsAnswerOneWhenFullOrEmpty)
{
    Machine m(2);
    EXPECT_EQ(m.vm.PopIp(), 1);
    EXPECT_EQ(m.vm.PushZero(), 0);
    EXPECT_EQ(m.vm.PushIp(), 0);
    EXPECT_EQ(m.vm.PushIp(), 1);
    EXPECT_EQ(m.vm.PushZero(), 1);
    EXPECT_EQ(m.Stack(), (std::vector<uint32_t>{0, kCode}));
    EXPECT_EQ(m.vm.Call(kCode), kSobFault);
    EXPECT_EQ(m.vm.Fault(), SobFault::StackOverflow);
}

struct FaultCase {
    const char* name;
    std::vector<uint32_t> code;
    std::vector<uint32_t> stack; // pushed before; the stack holds 4 cells
    SobFault fault;
    uint32_t faultIp;
    uint32_t at = kCode; // where the code goes (and ip starts)
    int spChange = 0;    // a return pops before the fetch at its target faults
};

const FaultCase kFaultCases[] = {
    {"push at the last stack cell", {8, 1}, {1, 2, 3, 4}, SobFault::StackOverflow, kCode},
    {"call with a full stack", {4, T1}, {1, 2, 3, 4}, SobFault::StackOverflow, kCode},
    {"sp moved past the end", {11, 4}, {1, 2, 3, 4}, SobFault::StackOverflow, kCode},
    {"pop on an empty stack", {10, D0}, {}, SobFault::StackUnderflow, kCode},
    {"return on an empty stack", {1}, {}, SobFault::StackUnderflow, kCode},
    {"return with value on an empty stack", {2, 5}, {}, SobFault::StackUnderflow, kCode},
    {"sp moved below the start", {12, 8}, {1}, SobFault::StackUnderflow, kCode},
    {"slot below the stack", {28, 8}, {1}, SobFault::StackUnderflow, kCode},
    {"slot past the stack's end", {34, 1, U(-16)}, {1}, SobFault::StackUnderflow, kCode},
    {"slot straddling the end", {35, U(-10), D0}, {1}, SobFault::StackUnderflow, kCode},
    {"divide by zero", {16, 1, 0, D0}, {}, SobFault::DivideByZero, kCode},
    {"remainder by zero", {17, 1, 0, D0}, {}, SobFault::DivideByZero, kCode},
    {"modulo by zero", {18, 1, 0, D0}, {}, SobFault::DivideByZero, kCode},
    {"INT_MIN / -1", {16, 0x80000000u, kMinus1, D0}, {}, SobFault::DivideOverflow, kCode},
    {"INT_MIN % -1", {17, 0x80000000u, kMinus1, D0}, {}, SobFault::DivideOverflow, kCode},
    {"INT_MIN mod -1", {18, 0x80000000u, kMinus1, D0}, {}, SobFault::DivideOverflow, kCode},
    {"opcode 47", {47}, {}, SobFault::BadOpcode, kCode},
    {"opcode -1", {kMinus1}, {}, SobFault::BadOpcode, kCode},
    {"jump to 0", {6, 0}, {}, SobFault::Memory, 0},
    {"jump to 0xFFFF", {6, 0xFFFF}, {}, SobFault::Memory, 0xFFFF},
    {"jump one cell past the end", {6, kEnd}, {}, SobFault::Memory, kEnd},
    {"jump to a cell straddling the end", {6, kEnd - 2}, {}, SobFault::Memory, kEnd - 2},
    {"jump to 0xFFFFFFFC", {6, 0xFFFFFFFCu}, {}, SobFault::Memory, 0xFFFFFFFCu},
    {"return to 0xFFFF", {1}, {0xFFFF}, SobFault::Memory, 0xFFFF, kCode, -4},
    {"return past the end", {1}, {kEnd}, SobFault::Memory, kEnd, kCode, -4},
    {"return to 0xFFFFFFFC", {1}, {0xFFFFFFFCu}, SobFault::Memory, 0xFFFFFFFCu, kCode, -4},
    {"store to 0", {31, 1, 0}, {}, SobFault::Memory, kCode},
    {"store to 0xFFFF", {31, 1, 0xFFFF}, {}, SobFault::Memory, kCode},
    {"store to 0xFFFE (straddling the start)", {31, 1, 0xFFFE}, {}, SobFault::Memory, kCode},
    {"store one cell past the end", {31, 1, kEnd}, {}, SobFault::Memory, kCode},
    {"store to 0xFFFFFFFC", {31, 1, 0xFFFFFFFCu}, {}, SobFault::Memory, kCode},
    {"read from 0xFFFFFFFC", {32, 0xFFFFFFFCu, D0}, {}, SobFault::Memory, kCode},
    {"store through a pointer to 0", {33, 1, D0}, {}, SobFault::Memory, kCode},
    {"push a cell past the end", {9, kEnd - 3}, {}, SobFault::Memory, kCode},
    {"operands running past the end", {13, 1}, {}, SobFault::Memory, kEnd - 8, kEnd - 8},
    {"switch index -1", {7, kMinus1, T1, kMinus1}, {}, SobFault::BadSwitch, kCode},
    {"switch index at the end cell", {7, 1, T1, kMinus1}, {}, SobFault::BadSwitch, kCode},
    {"switch index past the end cell", {7, 5, T1, kMinus1, T2, T2, T2}, {}, SobFault::BadSwitch, kCode},
    {"native operand that is a plain number", {5, 0, D0, D1}, {}, SobFault::BadNative, kCode},
    {"native number not registered", {5, 0x7F000001u, D0, D1}, {}, SobFault::BadNative, kCode},
    {"native below the native range", {5, 0x7EFFFFFFu, D0, D1}, {}, SobFault::BadNative, kCode},
};

uint32_t Nothing(SobNativeArgs&)
{
    return 5;
}

TEST(SobVm, FaultsStopTheMachineAndChangeNothing)
{
    static const SobNative kOne[] = {Nothing};
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.name);
        Machine m(4);
        m.vm.SetNatives(kOne, 1);
        m.Cells(c.code, c.at);
        for (uint32_t v : c.stack)
            m.Push(v);
        m.vm.SetIp(c.at);
        const std::vector<uint8_t> before = m.Snapshot();
        const uint32_t sp = m.vm.Sp();
        EXPECT_EQ(m.vm.Run(), kSobFault);
        EXPECT_EQ(m.vm.Fault(), c.fault);
        EXPECT_EQ(m.vm.FaultIp(), c.faultIp);
        EXPECT_EQ(m.vm.Ip(), c.faultIp);
        const bool readable = m.memory.Contains(c.faultIp, 4);
        EXPECT_EQ(m.vm.FaultOpcode(), readable ? static_cast<int32_t>(m.Cell(c.faultIp)) : -1);
        EXPECT_EQ(m.vm.Sp(), sp + c.spChange);
        EXPECT_TRUE(m.Snapshot() == before);
        // The machine keeps answering 2 until it is given a new ip.
        EXPECT_EQ(m.vm.Run(), kSobFault);
        m.Cells({0}, T2);
        m.vm.SetIp(T2);
        EXPECT_EQ(m.vm.Fault(), SobFault::None);
        EXPECT_EQ(m.vm.Run(), kSobYield);
    }
}

TEST(SobVm, ProgramsPatchTheirOwnCode)
{
    {
        SCOPED_TRACE("a value stored into a V operand is what the next instruction adds");
        Machine m;
        m.Source("mov 42, sum.1\n"
                 "sum: add 0, 8, out\n"
                 "ret\n"
                 "out: .word 0\n");
        EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
        EXPECT_EQ(m.Cell(m.Label("out")), 50u);
    }
    {
        SCOPED_TRACE("an opcode cell: a yield turned into a return");
        Machine m;
        m.Source("mov 1, stop\n"
                 "stop: yield\n"
                 "jmp stop\n");
        EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
    }
    {
        SCOPED_TRACE("a jump target");
        Machine m;
        m.Source("mov there, go.1\n"
                 "go: jmp here\n"
                 "here: yield\n"
                 "there: ret\n");
        EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
    }
}

// Test natives: 0 adds two integer words; 1 answers a string's length and records ip; 2 stores
// 1234 through an out-address word and answers 7; 3 tries to run its own machine again; 4 calls
// the routine at word 0 on a second machine (as natives run the scenario engine's machine).
uint32_t g_seenIp = 0;
int g_nestedRun = -1, g_nestedCall = -1;

uint32_t NativeAdd(SobNativeArgs& args)
{
    return static_cast<uint32_t>(args.I32(0) + args.I32(1));
}
uint32_t NativeLength(SobNativeArgs& args)
{
    g_seenIp = args.Machine()->Ip();
    return static_cast<uint32_t>(args.Str(0).size());
}
uint32_t NativeOut(SobNativeArgs& args)
{
    args.Out32(0, 1234);
    return 7;
}
uint32_t NativeReenter(SobNativeArgs& args)
{
    g_nestedRun = args.Machine()->Run();
    g_nestedCall = args.Machine()->Call(0x10000);
    return 1;
}
CSobVM* g_inner = nullptr;
uint32_t NativeRunInner(SobNativeArgs& args)
{
    return static_cast<uint32_t>(g_inner->Call(args.U32(0)));
}
const SobNative kTestNatives[] = {NativeAdd, NativeLength, NativeOut, NativeReenter, NativeRunInner};

TEST(SobVm, NativesReadTheirWordsAndStoreTheirResult)
{
    Machine m;
    m.vm.SetNatives(kTestNatives, 4);
    m.Source("ncall native 0, sum_args, r0\n"
             "len: ncall native 1, len_args, r1\n"
             "ncall native 2, out_args, r2\n"
             "ret\n"
             "sum_args: .word 40, -2\n"
             "len_args: .word text\n"
             "out_args: .word r3\n"
             "text: .sjis \"日本語\"\n"
             "r0: .word -1\n"
             "r1: .word -1\n"
             "r2: .word -1\n"
             "r3: .word -1\n");
    EXPECT_EQ(m.vm.Call(kCode), kSobLeave);
    EXPECT_EQ(m.Cell(m.Label("r0")), 38u);
    EXPECT_EQ(m.Cell(m.Label("r1")), 6u); // three Shift-JIS characters
    EXPECT_EQ(m.Cell(m.Label("r2")), 7u);
    EXPECT_EQ(m.Cell(m.Label("r3")), 1234u);
    EXPECT_EQ(g_seenIp, m.Label("len") + 12); // op3's cell
}

TEST(SobVm, ANativeArgumentOutsideMemoryStopsTheMachine)
{
    const struct {
        const char* name;
        const char* args;
    } cases[] = {
        {"word outside memory", "ncall native 0, 0xFFFC, r\n"},
        {"string address outside memory", "ncall native 1, a, r\n a: .word 0x20000\n"},
        {"string without a NUL before the end", "ncall native 1, a, r\n a: .word 0x1FFFF\n"},
        {"out-address outside memory", "ncall native 2, a, r\n a: .word 8\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.vm.SetNatives(kTestNatives, 4);
        m.memory.Store8(0x1FFFF, 'x');
        m.Source(std::string(c.args) + "ret\n r: .word 99\n");
        EXPECT_EQ(m.vm.Call(kCode), kSobFault);
        EXPECT_EQ(m.vm.Fault(), SobFault::Memory);
        EXPECT_EQ(m.vm.FaultIp(), kCode);
        EXPECT_EQ(m.Cell(m.Label("r")), 99u);
    }
}

TEST(SobVm, ANativeCannotReenterItsMachine)
{
    Machine m;
    m.vm.SetNatives(kTestNatives, 4);
    m.Source("inc r\n"
             "ncall native 3, 0, r\n"
             "ret\n"
             "r: .word 0\n");
    const uint32_t sp = m.vm.Sp();
    EXPECT_EQ(m.vm.Run(), kSobFault);
    EXPECT_EQ(g_nestedRun, kSobFault);
    EXPECT_EQ(g_nestedCall, kSobFault);
    EXPECT_EQ(m.vm.Fault(), SobFault::Reentered);
    EXPECT_EQ(m.vm.FaultIp(), kCode + 8);
    EXPECT_EQ(m.vm.Sp(), sp); // the refused Call pushed nothing
    EXPECT_EQ(m.Cell(m.Label("r")), 1u); // no result stored
}

TEST(SobVm, EachNativeCallStartsClean)
{
    Machine m;
    m.vm.SetNatives(kTestNatives, 5);
    CSobVM inner(m.memory);
    ASSERT_EQ(inner.AllocateStack(8), 0);
    inner.SetNatives(kTestNatives, 5);
    g_inner = &inner;
    // The inner routine's native reads a string outside memory: that machine stops.
    const uint32_t routine = kData + 0x20, word = kData + 0x40;
    m.Cells({5, 0x7F000001u, word, kData + 0x44, 1}, routine);
    m.Cells({kEnd}, word);
    m.Source("bad: ncall native 1, word, r0\n"
             "ret\n"
             "good: ncall native 4, inner_args, r1\n"
             "ncall native 0, sum_args, r2\n"
             "ret\n"
             "word: .word 0x20000\n"
             "inner_args: .word " + std::to_string(routine) + "\n"
             "sum_args: .word 40, -2\n"
             "r0: .word -1\n"
             "r1: .word -1\n"
             "r2: .word -1\n");
    EXPECT_EQ(m.vm.Call(kCode), kSobFault);
    EXPECT_EQ(m.Cell(m.Label("r0")), kMinus1);
    // A call after a faulted one, and one after a native whose inner machine faulted, are not
    // marked: both store their results.
    EXPECT_EQ(m.vm.Call(m.Label("good")), kSobLeave);
    EXPECT_EQ(inner.Fault(), SobFault::Memory);
    EXPECT_EQ(m.Cell(m.Label("r1")), static_cast<uint32_t>(kSobFault));
    EXPECT_EQ(m.Cell(m.Label("r2")), 38u);
    g_inner = nullptr;
}

TEST(SobVm, BudgetStopsAnEndlessLoopAndRunContinues)
{
    Machine m;
    m.Source("loop: inc count\n"
             "jmp loop\n"
             "count: .word 0\n");
    m.vm.SetInstructionBudget(100);
    EXPECT_EQ(m.vm.Run(), kSobBudget);
    EXPECT_EQ(m.Cell(m.Label("count")), 50u);
    EXPECT_EQ(m.vm.Ip(), kCode);
    EXPECT_EQ(m.vm.InstructionCount(), 100u);
    EXPECT_EQ(m.vm.Run(), kSobBudget);
    EXPECT_EQ(m.Cell(m.Label("count")), 100u);
    EXPECT_EQ(m.vm.InstructionCount(), 200u);
}

TEST(SobVm, StackLivesInScriptMemory)
{
    CScriptMemory memory(8192);
    CSobVM vm(memory);
    EXPECT_EQ(vm.AllocateStack(0x1000), 1); // more than the memory holds
    EXPECT_EQ(vm.StackBase(), 0u);
    EXPECT_EQ(vm.Call(memory.Begin()), kSobFault); // no stack: the sentinel does not fit
    EXPECT_EQ(vm.Fault(), SobFault::StackOverflow);
    ASSERT_EQ(vm.AllocateStack(16), 0);
    uint32_t start = 0, size = 0;
    ASSERT_TRUE(memory.FindBlock(vm.StackBase() + 8, &start, &size));
    EXPECT_EQ(start, vm.StackBase());
    EXPECT_EQ(size, 64u);
    EXPECT_EQ(vm.StackEnd(), vm.StackBase() + 64);
    EXPECT_EQ(vm.EnableCompiledMode(true), 0);
    EXPECT_TRUE(vm.CompiledModeFlag());
}

} // namespace

namespace {

// A script that never yields is ended by the stop request at its backward jumps and calls; before,
// it ran until the budget (or, in the game, for ever). Forward jumps and yielding scripts are
// left alone, and nothing stops before the request's grace has passed.
TEST(SobVm, AStopRequestEndsLoopsAtBackwardJumpsAndCalls)
{
    struct Case {
        const char* name;
        const char* source;
        uint32_t graceMs;
        int result;
        SobFault fault;
    } cases[] = {
        {"jump to itself", "loop: jmp loop\n", 0, kSobFault, SobFault::Stopped},
        {"jump if zero backwards", "loop: jz 0, loop\n", 0, kSobFault, SobFault::Stopped},
        {"switch backwards", "loop: switch 0, loop\n", 0, kSobFault, SobFault::Stopped},
        {"call (recursion)", "f: call f\n", 0, kSobFault, SobFault::Stopped},
        {"forward jumps run on", "jmp next\n next: jz 0, last\n last: yield\n", 0, kSobYield, SobFault::None},
        {"within the grace the loop runs on", "loop: jmp loop\n", 600000, kSobBudget, SobFault::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.Source(c.source);
        m.vm.SetInstructionBudget(100000);
        RequestScriptStop(c.graceMs);
        const int result = m.vm.Run();
        ClearScriptStop();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(m.vm.Fault(), c.fault);
        if (c.fault == SobFault::Stopped) {
            EXPECT_EQ(m.vm.FaultIp(), kCode);
        }
    }
    // Withdrawn, the loop runs to its budget again.
    Machine m;
    m.Source("loop: jmp loop\n");
    m.vm.SetInstructionBudget(1000);
    EXPECT_EQ(m.vm.Run(), kSobBudget);
}

// A signal that came while the game was starting: the lasting request outlives the start's
// ClearScriptStop, which gives it its grace again (a script spinning from its first step used to
// run until the process was killed). In a child process, since a lasting request never ends.
TEST(SobVm, ALastingStopRequestOutlivesTheStartOfAGame)
{
    EXPECT_EXIT(
        {
            Machine m;
            m.Source("loop: jmp loop\n");
            RequestScriptStop(300, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ClearScriptStop();
            // Begun after the request, the endless step still has its grace, then stops.
            const auto start = std::chrono::steady_clock::now();
            const bool stopped = m.vm.Run() == kSobFault && m.vm.Fault() == SobFault::Stopped;
            const bool graceGiven = std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(300);
            std::exit(stopped && graceGiven ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The game takes a while to end after a signal (settings saved, windows closed) and its frames go
// on meanwhile: a script that yields every frame is never stopped, however long that takes, while
// a step that is still running its grace after the request is (the script that never yields).
TEST(SobVm, StepsBegunAfterTheRequestGetTheirOwnGrace)
{
    RequestScriptStop(50);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    for (int frame = 0; frame < 3; ++frame) {
        Machine m;
        m.Source("loop: jmp loop\n");
        m.vm.SetInstructionBudget(100000);
        EXPECT_EQ(m.vm.Run(), kSobBudget) << "frame " << frame;
    }
    Machine spinning;
    spinning.Source("loop: jmp loop\n");
    EXPECT_EQ(spinning.vm.Run(), kSobFault);
    EXPECT_EQ(spinning.vm.Fault(), SobFault::Stopped);
    ClearScriptStop();
}

} // namespace
