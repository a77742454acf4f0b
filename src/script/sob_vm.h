// The SOB virtual machine: runs threaded code of 32-bit cells in script memory (CScriptMemory).
// Cooperative: a yield gives control back to the host, and Run resumes after it; a call from the
// host ends when the routine returns to a zero cell (leave). Code is read from memory at every
// step, because programs patch their own operands, opcodes and jump targets.
//
// Unlike the original machine, which checked nothing at run time, every bad step (an opcode above
// 46, an access outside script memory, a stack overrun, a division by zero, a bad switch index or
// native) stops the machine with a fault instead of corrupting or crashing the process.
#pragma once

#include <cstdint>

#include "script/script_memory.h"
#include "script/sob_native_args.h"

// Why the machine stopped with Run answering 2.
enum class SobFault : int {
    None = 0,
    BadOpcode = 1,      // an opcode cell outside 0-46
    Memory = 2,         // a code, data or argument access outside script memory
    StackOverflow = 3,  // a push or sp change past the end of the stack block
    StackUnderflow = 4, // a pop, slot or sp change below the stack block (or a slot past its end)
    DivideByZero = 5,   // opcodes 16, 17, 18 with op2 = 0
    DivideOverflow = 6, // opcodes 16, 17, 18 with INT_MIN / -1 (the original's divide traps too)
    BadSwitch = 7,      // a switch index below 0 or reaching the table's -1 end cell
    BadNative = 8,      // a native operand that is not 0x7F000000 + a registered number
    Reentered = 9,      // a native ran Run or Call of its own machine (refused, then the machine stops)
    Stopped = 10,       // a stop request (script_stop.h) met a backward jump or a call after its grace
};

// Answers of Run and Call.
enum : int {
    kSobLeave = 0,  // the routine returned to a zero cell
    kSobYield = 1,  // a yield; Run again continues after it
    kSobFault = 2,  // stopped by a fault (see Fault()); answered again until SetIp/Call/AllocateStack
    kSobBudget = 3, // the instruction budget is used up; state intact, Run again continues
};

class CSobVM {
public:
    // The memory holds the machine's stack and must outlive it.
    explicit CSobVM(CScriptMemory& memory);
    virtual ~CSobVM();
    CSobVM(const CSobVM&) = delete;
    CSobVM& operator=(const CSobVM&) = delete;

    // Frees the old stack block and allocates cells 32-bit cells of script memory; sp = its start;
    // ip is not touched; clears a fault. 0 ok; 1 no room in script memory (then no stack) or a
    // native of this machine is running.
    int AllocateStack(uint32_t cells);
    // Sets ip and clears a fault. 0; 1 while a native of this machine runs.
    int SetIp(uint32_t address);
    // Push the leave sentinel / push ip / pop a cell into ip. 0; 1 on a full (push) or empty (pop)
    // stack, or while a native of this machine runs.
    int PushZero();
    int PushIp();
    int PopIp();
    // ip = address, push 0, Run. Run's answer; 2 with a stack overflow fault when the sentinel
    // does not fit; 2 while a native of this machine runs (see Run).
    int Call(uint32_t address);
    // Runs until a leave (0), a yield (1), a fault (2) or the end of the budget (3). Allocates
    // nothing. Called by a native of this machine it is refused with 2, changing nothing; when
    // that native returns the machine stops with the Reentered fault and stores no result.
    int Run();
    // Stores the flag; answers 0. Compiled mode is not offered (its templates are x86-32 code
    // over absolute addresses): Run always interprets, which gives the same results.
    int EnableCompiledMode(bool enable);
    bool CompiledModeFlag() const { return m_compiledFlag; }

    // The native table (borrowed; the runtime owns it): opcode 5 with op1 = 0x7F000000 + n calls
    // natives[n] for n < count. context reaches the natives through SobNativeArgs::Context.
    void SetNatives(const SobNative* natives, uint32_t count, void* context = nullptr);
    // Instructions per Run before it answers 3; 0 = no limit (the default).
    void SetInstructionBudget(uint64_t instructions) { m_budget = instructions; }

    uint32_t Ip() const { return m_ip; }
    uint32_t Sp() const { return m_sp; }
    int32_t Accumulator() const { return m_accumulator; }
    void SetAccumulator(int32_t value) { m_accumulator = value; }
    uint32_t StackBase() const { return m_stackBase; }
    uint32_t StackEnd() const { return m_stackEnd; } // first address past the stack block
    CScriptMemory& Memory() { return m_memory; }
    // The last fault: its code, the address of the faulting instruction's opcode cell, and that
    // cell's value (-1 when the cell itself is outside script memory). None after a clear.
    SobFault Fault() const { return m_fault; }
    uint32_t FaultIp() const { return m_faultIp; }
    int32_t FaultOpcode() const { return m_faultOpcode; }
    // Instructions run by this machine so far (a faulting one included).
    uint64_t InstructionCount() const { return m_instructions; }
    // True while a native called by this machine runs.
    bool InNative() const { return m_inNative; }

private:
    int Interpret();
    // After a native call marked faulted or reentered: the fault it stops the machine with.
    SobFault NativeFault();
    void ClearFault();

    CScriptMemory& m_memory;
    uint32_t m_stackBase = 0;
    uint32_t m_stackEnd = 0;
    uint32_t m_ip = 0;
    uint32_t m_sp = 0;
    int32_t m_accumulator = 0;
    bool m_compiledFlag = false;
    bool m_inNative = false;
    bool m_reentered = false; // a native tried Run or Call of this machine
    const SobNative* m_natives = nullptr;
    uint32_t m_nativeCount = 0;
    SobNativeArgs m_args; // the words of the native being called (its context set by SetNatives)
    uint64_t m_budget = 0;
    uint64_t m_instructions = 0;
    uint64_t m_runStart = 0; // the budget a Run started with
    SobFault m_fault = SobFault::None;
    uint32_t m_faultIp = 0;
    int32_t m_faultOpcode = 0;
};
