#include "script/sob_vm.h"

#include <bit>
#include <climits>
#include <cstring>
#include <type_traits>

#include "script/script_stop.h"
#include "script/sob_instructions.h"

static_assert(std::endian::native == std::endian::little, "script cells are read in host order");

CSobVM::CSobVM(CScriptMemory& memory) : m_memory(memory), m_args(memory, this, 0, nullptr)
{
}

CSobVM::~CSobVM()
{
    if (m_stackBase != 0)
        m_memory.Free(m_stackBase);
}

void CSobVM::ClearFault()
{
    m_fault = SobFault::None;
    m_faultIp = 0;
    m_faultOpcode = 0;
}

int CSobVM::AllocateStack(uint32_t cells)
{
    if (m_inNative)
        return 1;
    if (m_stackBase != 0)
        m_memory.Free(m_stackBase);
    m_stackBase = m_stackEnd = m_sp = 0;
    ClearFault();
    if (cells == 0 || cells > m_memory.Size() / 4)
        return 1;
    const uint32_t base = m_memory.Allocate(cells * 4);
    if (base == 0)
        return 1;
    m_stackBase = m_sp = base;
    m_stackEnd = base + cells * 4;
    return 0;
}

int CSobVM::SetIp(uint32_t address)
{
    if (m_inNative)
        return 1;
    m_ip = address;
    ClearFault();
    return 0;
}

int CSobVM::PushZero()
{
    if (m_inNative || m_stackEnd - m_sp < 4)
        return 1;
    m_memory.Store32(m_sp, 0);
    m_sp += 4;
    return 0;
}

int CSobVM::PushIp()
{
    if (m_inNative || m_stackEnd - m_sp < 4)
        return 1;
    m_memory.Store32(m_sp, m_ip);
    m_sp += 4;
    return 0;
}

int CSobVM::PopIp()
{
    if (m_inNative || m_sp - m_stackBase < 4)
        return 1;
    m_sp -= 4;
    m_memory.Load32(m_sp, &m_ip);
    return 0;
}

int CSobVM::Call(uint32_t address)
{
    if (m_inNative) {
        m_reentered = true;
        return kSobFault;
    }
    m_ip = address;
    ClearFault();
    if (PushZero() != 0) {
        m_fault = SobFault::StackOverflow;
        m_faultIp = address;
        m_faultOpcode = 0;
        uint32_t opcode = 0;
        if (m_memory.Load32(address, &opcode))
            m_faultOpcode = static_cast<int32_t>(opcode);
        else
            m_faultOpcode = -1;
        return kSobFault;
    }
    return Run();
}

int CSobVM::Run()
{
    if (m_inNative) {
        m_reentered = true;
        return kSobFault;
    }
    if (m_fault != SobFault::None)
        return kSobFault;
    const CScriptStepScope step;
    return Interpret();
}

int CSobVM::EnableCompiledMode(bool enable)
{
    m_compiledFlag = enable;
    return 0;
}

void CSobVM::SetNatives(const SobNative* natives, uint32_t count, void* context)
{
    m_natives = natives;
    m_nativeCount = natives != nullptr ? count : 0;
    m_args.m_context = context;
}

SobFault CSobVM::NativeFault()
{
    if (m_reentered) {
        m_reentered = false;
        return SobFault::Reentered;
    }
    return SobFault::Memory;
}

// The interpreter. ip and sp live in locals and go back to the members whenever control leaves
// (an answer or a native call). Every access is checked with one unsigned compare of its offset
// from the start of script memory; an instruction that faults changes nothing.
int CSobVM::Interpret()
{
    constexpr uint32_t kBase = CScriptMemory::kBase;
    const uint32_t size = m_memory.Size();
    uint8_t* const host = m_memory.Span(kBase, size);
    if (host == nullptr) { // no script memory at all: the first fetch is outside
        m_fault = SobFault::Memory;
        m_faultIp = m_ip;
        m_faultOpcode = -1;
        return kSobFault;
    }
    uint32_t ip = m_ip;
    uint32_t sp = m_sp;
    uint32_t at = ip; // the opcode cell of the instruction being run
    // Few values stay in registers, so that a native call has little to save around it: the
    // stack's bounds are read from the members, the budget's start is kept in one.
    m_runStart = m_budget != 0 ? m_budget : UINT64_MAX;
    uint64_t left = m_runStart;
    const uint32_t last = size - 4; // offset of the last cell
    SobFault fault = SobFault::None;
    uint32_t opcode = 0;

    auto load = [host](uint32_t address) {
        uint32_t v;
        std::memcpy(&v, host + (address - kBase), 4);
        return v;
    };
    auto store = [host](uint32_t address, uint32_t v) { std::memcpy(host + (address - kBase), &v, 4); };
    // A cell of script memory?
    auto inside = [last](uint32_t address) { return static_cast<uint32_t>(address - kBase) <= last; };
    // A cell of the stack block?
    auto inStack = [this](uint32_t address) {
        return static_cast<uint64_t>(static_cast<uint32_t>(address - m_stackBase)) + 4 <= m_stackEnd - m_stackBase;
    };

    // An instruction's operand count from the table, as a compile-time constant.
#define SOB_COUNT(opcode) (std::integral_constant<uint32_t, SobOperandCount(opcode)>::value)
#define SOB_FAIL(code)          \
    do {                        \
        fault = (code);         \
        goto failed;            \
    } while (0)
    // The instruction's operand cells must lie in memory; ip + 4 * (n + 1) then cannot wrap.
#define SOB_OPERANDS(n)                                                   \
    do {                                                                  \
        if (static_cast<uint32_t>(ip - kBase) > last - 4 * (n))           \
            SOB_FAIL(SobFault::Memory);                                   \
    } while (0)
#define SOB_OP(k) load(ip + 4 * (k))
#define SOB_CELL(address)               \
    do {                                \
        if (!inside(address))           \
            SOB_FAIL(SobFault::Memory); \
    } while (0)
#define SOB_SLOT(address)                       \
    do {                                        \
        if (!inStack(address))                  \
            SOB_FAIL(SobFault::StackUnderflow); \
    } while (0)
#define SOB_PUSH(value)                        \
    do {                                       \
        if (m_stackEnd - sp < 4)               \
            SOB_FAIL(SobFault::StackOverflow); \
        store(sp, (value));                    \
        sp += 4;                               \
    } while (0)
#define SOB_NEED_POP()                          \
    do {                                        \
        if (sp - m_stackBase < 4)               \
            SOB_FAIL(SobFault::StackUnderflow); \
    } while (0)
    // A script that never yields loops through a backward jump or recurses through calls: there
    // the stop request is read (one load; the clock only once it is raised).
#define SOB_STOP_CHECK()                                                                   \
    do {                                                                                   \
        if (g_scriptStopRequested.load(std::memory_order_relaxed)) [[unlikely]]            \
            if (ScriptStopDue())                                                           \
                SOB_FAIL(SobFault::Stopped);                                               \
    } while (0)
#define SOB_NEXT(n)          \
    do {                     \
        ip += 4 * ((n) + 1); \
        SOB_DISPATCH();      \
    } while (0)
    // Each handler ends in its own copy of the dispatch: one indirect jump per handler predicts
    // far better than one shared by all.
#define SOB_DISPATCH()                                                   \
    do {                                                                 \
        if (left == 0)                                                   \
            goto outOfBudget;                                            \
        --left;                                                          \
        at = ip;                                                         \
        if (!inside(ip))                                                 \
            SOB_FAIL(SobFault::Memory);                                  \
        opcode = load(ip);                                               \
        if (opcode >= static_cast<uint32_t>(kSobOpcodeCount))           \
            SOB_FAIL(SobFault::BadOpcode);                               \
        goto* kHandlers[opcode];                                         \
    } while (0)
    // Three-operand arithmetic: [op3] = f(op1, op2), with a and b signed, ua and ub unsigned.
#define SOB_BINARY(opcode, expression)                                        \
    op##opcode : {                                                            \
        static_assert(SobOperandCount(opcode) == 3);                          \
        SOB_OPERANDS(SOB_COUNT(opcode));                                \
        const uint32_t ua = SOB_OP(1), ub = SOB_OP(2), dst = SOB_OP(3);       \
        const int32_t a = static_cast<int32_t>(ua), b = static_cast<int32_t>(ub); \
        (void)a;                                                              \
        (void)b;                                                              \
        SOB_CELL(dst);                                                        \
        store(dst, static_cast<uint32_t>(expression));                        \
        SOB_NEXT(SOB_COUNT(opcode));                                    \
    }
#define SOB_DIVISION_CHECK()                                   \
    do {                                                       \
        if (b == 0)                                            \
            SOB_FAIL(SobFault::DivideByZero);                  \
        if (a == INT_MIN && b == -1)                           \
            SOB_FAIL(SobFault::DivideOverflow);                \
    } while (0)

    static const void* const kHandlers[kSobOpcodeCount] = {
        &&op0, &&op1, &&op2, &&op3, &&op4, &&op5, &&op6, &&op7, &&op8, &&op9, &&op10, &&op11,
        &&op12, &&op13, &&op14, &&op15, &&op16, &&op17, &&op18, &&op19, &&op20, &&op21, &&op22, &&op23,
        &&op24, &&op25, &&op26, &&op27, &&op28, &&op29, &&op30, &&op31, &&op32, &&op33, &&op34, &&op35,
        &&op36, &&op37, &&op38, &&op39, &&op40, &&op41, &&op42, &&op43, &&op44, &&op45, &&op46,
    };

    SOB_DISPATCH();

outOfBudget:
    m_ip = ip;
    m_sp = sp;
    m_instructions += m_runStart - left;
    return kSobBudget;

op0: // yield
    ip += 4;
    m_ip = ip;
    m_sp = sp;
    m_instructions += m_runStart - left;
    return kSobYield;

op1: { // return
    SOB_NEED_POP();
    const uint32_t target = load(sp - 4);
    sp -= 4;
    if (target == 0) {
        m_ip = ip + 4;
        m_sp = sp;
        m_instructions += m_runStart - left;
        return kSobLeave;
    }
    ip = target;
    SOB_DISPATCH();
}

op2: { // return with value
    SOB_OPERANDS(SOB_COUNT(2));
    SOB_NEED_POP();
    const uint32_t target = load(sp - 4);
    sp -= 4;
    if (target == 0) {
        m_ip = ip + 8;
        m_sp = sp;
        m_instructions += m_runStart - left;
        return kSobLeave;
    }
    m_accumulator = static_cast<int32_t>(SOB_OP(1));
    ip = target;
    SOB_DISPATCH();
}

op3: { // [op1] = accumulator
    SOB_OPERANDS(SOB_COUNT(3));
    const uint32_t dst = SOB_OP(1);
    SOB_CELL(dst);
    store(dst, static_cast<uint32_t>(m_accumulator));
    SOB_NEXT(SOB_COUNT(3));
}

op4: { // call
    SOB_OPERANDS(SOB_COUNT(4));
    const uint32_t target = SOB_OP(1);
    SOB_STOP_CHECK();
    SOB_PUSH(ip + 8);
    ip = target;
    SOB_DISPATCH();
}

op5: { // native call: [op3] = natives[op1 - 0x7F000000](words at op2)
    SOB_OPERANDS(SOB_COUNT(5));
    const uint32_t native = SOB_OP(1) - CScriptMemory::kNativeBase;
    const uint32_t arguments = SOB_OP(2);
    const uint32_t dst = SOB_OP(3);
    if (native >= m_nativeCount)
        SOB_FAIL(SobFault::BadNative);
    const SobNative function = m_natives[native];
    if (function == nullptr)
        SOB_FAIL(SobFault::BadNative);
    SOB_CELL(dst);
    m_ip = ip + 12; // natives see ip at op3's cell
    m_sp = sp;
    // Called in place with the machine's one argument object: the call costs the native's own
    // call and little more. Script memory never moves, so dst, checked above, is still good.
    m_inNative = true;
    m_args.Begin(arguments);
    const uint32_t result = function(m_args);
    m_inNative = false;
    if (m_reentered || m_args.Faulted()) [[unlikely]]
        SOB_FAIL(NativeFault());
    store(dst, result);
    SOB_NEXT(SOB_COUNT(5));
}

op6: { // jump
    SOB_OPERANDS(SOB_COUNT(6));
    const uint32_t target = SOB_OP(1);
    if (target <= ip)
        SOB_STOP_CHECK();
    ip = target;
    SOB_DISPATCH();
}

op7: { // switch: ip = table[op1]; the table follows op1 and ends with a -1 cell
    SOB_OPERANDS(SOB_COUNT(7));
    const int32_t index = static_cast<int32_t>(SOB_OP(1));
    if (index < 0)
        SOB_FAIL(SobFault::BadSwitch);
    // Walk to the entry so that an index at or past the end cell is caught; each cell is checked,
    // so the walk stops at the end of memory before the address could wrap.
    uint32_t cell = ip + 8;
    for (int32_t i = 0;; ++i, cell += 4) {
        SOB_CELL(cell);
        const uint32_t entry = load(cell);
        if (entry == kSobSwitchEnd)
            SOB_FAIL(SobFault::BadSwitch);
        if (i == index) {
            if (entry <= ip)
                SOB_STOP_CHECK();
            ip = entry;
            break;
        }
    }
    SOB_DISPATCH();
}

op8: // push op1
    SOB_OPERANDS(SOB_COUNT(8));
    SOB_PUSH(SOB_OP(1));
    SOB_NEXT(SOB_COUNT(8));

op9: { // push [op1]
    SOB_OPERANDS(SOB_COUNT(9));
    const uint32_t source = SOB_OP(1);
    SOB_CELL(source);
    SOB_PUSH(load(source));
    SOB_NEXT(SOB_COUNT(9));
}

op10: { // pop into [op1]
    SOB_OPERANDS(SOB_COUNT(10));
    const uint32_t dst = SOB_OP(1);
    SOB_CELL(dst);
    SOB_NEED_POP();
    sp -= 4;
    store(dst, load(sp));
    SOB_NEXT(SOB_COUNT(10));
}

op11:   // sp += op1
op12: { // sp -= op1
    SOB_OPERANDS(SOB_COUNT(12));
    const int64_t delta = static_cast<int32_t>(SOB_OP(1));
    const int64_t moved = static_cast<int64_t>(sp) + (load(ip) == 11 ? delta : -delta);
    if (moved > static_cast<int64_t>(m_stackEnd))
        SOB_FAIL(SobFault::StackOverflow);
    if (moved < static_cast<int64_t>(m_stackBase))
        SOB_FAIL(SobFault::StackUnderflow);
    sp = static_cast<uint32_t>(moved);
    SOB_NEXT(SOB_COUNT(12));
}

    SOB_BINARY(13, ua + ub)
    SOB_BINARY(14, ua - ub)
    SOB_BINARY(15, ua * ub)

op16: { // division, truncating
    SOB_OPERANDS(SOB_COUNT(16));
    const int32_t a = static_cast<int32_t>(SOB_OP(1)), b = static_cast<int32_t>(SOB_OP(2));
    const uint32_t dst = SOB_OP(3);
    SOB_DIVISION_CHECK();
    SOB_CELL(dst);
    store(dst, static_cast<uint32_t>(a / b));
    SOB_NEXT(SOB_COUNT(16));
}

op17:   // remainder, sign of op1
op18: { // remainder, plus op2 when negative
    SOB_OPERANDS(SOB_COUNT(18));
    const int32_t a = static_cast<int32_t>(SOB_OP(1)), b = static_cast<int32_t>(SOB_OP(2));
    const uint32_t dst = SOB_OP(3);
    SOB_DIVISION_CHECK();
    SOB_CELL(dst);
    uint32_t r = static_cast<uint32_t>(a % b);
    if (load(ip) == 18 && static_cast<int32_t>(r) < 0)
        r += static_cast<uint32_t>(b);
    store(dst, r);
    SOB_NEXT(SOB_COUNT(18));
}

    SOB_BINARY(19, ua & ub)
    SOB_BINARY(20, ua | ub)
    SOB_BINARY(21, ua ^ ub)

op22: { // [op2] = ~op1
    SOB_OPERANDS(SOB_COUNT(22));
    const uint32_t value = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(dst);
    store(dst, ~value);
    SOB_NEXT(SOB_COUNT(22));
}

op23: { // [op2] = op1 == 0
    SOB_OPERANDS(SOB_COUNT(23));
    const uint32_t value = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(dst);
    store(dst, value == 0 ? 1u : 0u);
    SOB_NEXT(SOB_COUNT(23));
}

    SOB_BINARY(24, a >> (ub & 31))
    SOB_BINARY(25, ua << (ub & 31))

op26: { // [op1] += 1
    SOB_OPERANDS(SOB_COUNT(26));
    const uint32_t cell = SOB_OP(1);
    SOB_CELL(cell);
    store(cell, load(cell) + 1);
    SOB_NEXT(SOB_COUNT(26));
}

op27: { // [op1] -= 1
    SOB_OPERANDS(SOB_COUNT(27));
    const uint32_t cell = SOB_OP(1);
    SOB_CELL(cell);
    store(cell, load(cell) - 1);
    SOB_NEXT(SOB_COUNT(27));
}

op28: { // slot op1 += 1
    SOB_OPERANDS(SOB_COUNT(28));
    const uint32_t slot = sp - SOB_OP(1);
    SOB_SLOT(slot);
    store(slot, load(slot) + 1);
    SOB_NEXT(SOB_COUNT(28));
}

op29: { // slot op1 -= 1
    SOB_OPERANDS(SOB_COUNT(29));
    const uint32_t slot = sp - SOB_OP(1);
    SOB_SLOT(slot);
    store(slot, load(slot) - 1);
    SOB_NEXT(SOB_COUNT(29));
}

op30: // if op1 == 0: ip = op2
    SOB_OPERANDS(SOB_COUNT(30));
    if (SOB_OP(1) == 0) {
        const uint32_t target = SOB_OP(2);
        if (target <= ip)
            SOB_STOP_CHECK();
        ip = target;
        SOB_DISPATCH();
    }
    SOB_NEXT(SOB_COUNT(30));

op31: { // [op2] = op1
    SOB_OPERANDS(SOB_COUNT(31));
    const uint32_t value = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(dst);
    store(dst, value);
    SOB_NEXT(SOB_COUNT(31));
}

op32: { // [op2] = [op1]
    SOB_OPERANDS(SOB_COUNT(32));
    const uint32_t source = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(source);
    SOB_CELL(dst);
    store(dst, load(source));
    SOB_NEXT(SOB_COUNT(32));
}

op33: { // [[op2]] = op1
    SOB_OPERANDS(SOB_COUNT(33));
    const uint32_t value = SOB_OP(1), pointer = SOB_OP(2);
    SOB_CELL(pointer);
    const uint32_t dst = load(pointer);
    SOB_CELL(dst);
    store(dst, value);
    SOB_NEXT(SOB_COUNT(33));
}

op34: { // slot op2 = op1
    SOB_OPERANDS(SOB_COUNT(34));
    const uint32_t value = SOB_OP(1), slot = sp - SOB_OP(2);
    SOB_SLOT(slot);
    store(slot, value);
    SOB_NEXT(SOB_COUNT(34));
}

op35: { // [op2] = slot op1
    SOB_OPERANDS(SOB_COUNT(35));
    const uint32_t slot = sp - SOB_OP(1), dst = SOB_OP(2);
    SOB_SLOT(slot);
    SOB_CELL(dst);
    store(dst, load(slot));
    SOB_NEXT(SOB_COUNT(35));
}

op36: { // slot op2 = [op1]
    SOB_OPERANDS(SOB_COUNT(36));
    const uint32_t source = SOB_OP(1), slot = sp - SOB_OP(2);
    SOB_CELL(source);
    SOB_SLOT(slot);
    store(slot, load(source));
    SOB_NEXT(SOB_COUNT(36));
}

op37: { // slot op2 = slot op1
    SOB_OPERANDS(SOB_COUNT(37));
    const uint32_t from = sp - SOB_OP(1), to = sp - SOB_OP(2);
    SOB_SLOT(from);
    SOB_SLOT(to);
    store(to, load(from));
    SOB_NEXT(SOB_COUNT(37));
}

op38: { // [op2] = [slot op1]
    SOB_OPERANDS(SOB_COUNT(38));
    const uint32_t slot = sp - SOB_OP(1), dst = SOB_OP(2);
    SOB_SLOT(slot);
    const uint32_t source = load(slot);
    SOB_CELL(source);
    SOB_CELL(dst);
    store(dst, load(source));
    SOB_NEXT(SOB_COUNT(38));
}

op39: { // [op2] = [[op1]]
    SOB_OPERANDS(SOB_COUNT(39));
    const uint32_t pointer = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(pointer);
    const uint32_t source = load(pointer);
    SOB_CELL(source);
    SOB_CELL(dst);
    store(dst, load(source));
    SOB_NEXT(SOB_COUNT(39));
}

op40: { // [op2] = sp - op1
    SOB_OPERANDS(SOB_COUNT(40));
    const uint32_t offset = SOB_OP(1), dst = SOB_OP(2);
    SOB_CELL(dst);
    store(dst, sp - offset);
    SOB_NEXT(SOB_COUNT(40));
}

    SOB_BINARY(41, a < b)
    SOB_BINARY(42, a <= b)
    SOB_BINARY(43, a > b)
    SOB_BINARY(44, a >= b)
    SOB_BINARY(45, a == b)
    SOB_BINARY(46, a != b)

failed:
    m_fault = fault;
    m_faultIp = at;
    m_faultOpcode = inside(at) ? static_cast<int32_t>(load(at)) : -1;
    m_ip = at;
    m_sp = sp;
    m_instructions += m_runStart - left;
    return kSobFault;

#undef SOB_COUNT
#undef SOB_FAIL
#undef SOB_OPERANDS
#undef SOB_OP
#undef SOB_CELL
#undef SOB_SLOT
#undef SOB_PUSH
#undef SOB_NEED_POP
#undef SOB_NEXT
#undef SOB_STOP_CHECK
#undef SOB_DISPATCH
#undef SOB_BINARY
#undef SOB_DIVISION_CHECK
}
