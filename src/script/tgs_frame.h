// CTgsFrame: the scenario engine over the scenario store. This part holds the command decoder: it
// walks the current script's text, collects characters into the text buffer, decodes "[ " command
// records (conditions and arguments from constants, strings, user-variable elements and SOB
// expressions), runs "[s" inline SOB code on the frame's own machine, handles commands 0-11
// itself and hands 12-129 to the table of handlers. It also packs commands into message text for
// deferred execution. The scene, windows, fonts and waits are added by the engine above it.
//
// Argument pairs are host words; a string value is a script address (read it with PairString).
// Nothing in a record is trusted: a malformed record stops RunText with -1 before any of it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/byte_reader.h"
#include "script/sob_runtime.h"
#include "script/sob_vm.h"
#include "script/tgs_script_store.h"

class CTgsFrame;
// A command handler: 0 continues the text, -1 is an error, any other value stops RunText with it.
using TgsCommand = int32_t (*)(CTgsFrame& frame, const TgsArgPair* pairs);

class CTgsFrame : public CTgsScriptStore {
public:
    static constexpr uint32_t kCommandCount = 130;
    static constexpr uint32_t kStackCells = 8192;
    static constexpr uint32_t kTextBufferSize = 4096;        // collected text, with its closing NUL
    static constexpr uint64_t kInstructionBudget = 10000000; // per expression or inline code run
    static constexpr int32_t kEndOfScenario = 0x7FFFFFFF;
    static constexpr uint32_t kRecordBudget = 1000000; // records one RunText call may run
    // Pairs past the argument count that a handler may read: they are (0, 0) (no value). A record
    // whose pairs and this padding do not fit in the free argument area is malformed.
    static constexpr uint32_t kPaddingPairs = 24;

    // The frame runs over the host's script memory, links inline code against its user
    // variables, natives, host variables and library, and reads results from its `retTgsExp`.
    // Its machine is bound to the host's natives here: register them before the frame is made.
    explicit CTgsFrame(CSobRuntime& host);
    ~CTgsFrame() override;

    // Appends a handler (its number is its position) → 0; 1 when the table already holds 130.
    int AddCommand(TgsCommand handler);
    uint32_t CommandCount() const { return static_cast<uint32_t>(m_commands.size()); }

    // Interprets from the cursor → 0 end of text, end of scenario, a return with an empty return
    // stack, a call or jump whose target is missing; -1 a malformed record, a failed expression
    // or inline code, a handler's -1, or more than kRecordBudget records in this call; -2 no
    // script loaded; -4 a handler's value below -1; any other value a handler returned (the
    // cursor is then past its record).
    int RunText();
    // Decodes and executes the command record whose blank is at text offset position → the
    // offset to continue at, or -1 to stop (the reason is in LastCommandResult: -1 malformed).
    int64_t DecodeCommand(uint32_t position);
    // Runs the "[s" record whose "s" is at position → the offset after it, or -1 on failure.
    int64_t RunInlineScript(uint32_t position);
    // Copies the character at position into the text buffer (dropped when it does not fit
    // whole) → the next position.
    uint32_t WriteChar(uint32_t position);
    // Runs the frame's machine to the end of its script after a yield (transfer requests, frame
    // steps) → 0 ended; non-zero a failure. The engine provides it; the base answers 1.
    virtual int RunScriptLoop(bool jumpAllowed, bool alreadyYielded);

    // Packed command: u8 0, "[", u32 length from that field on, u32 command, u32 count, per
    // argument u8 flags and (bit 1) u32 length + 1 and the string with its NUL, else u32 value.
    // Writes at *cursor (before end) and advances → 0; 1 null cursor or pairs; 2 does not fit
    // (nothing written). A null string is stored as an empty one.
    int PackCommand(uint8_t** cursor, const uint8_t* end, uint32_t command, const TgsArgPair* pairs,
                    uint32_t count);
    // Reads one packed command at *cursor (before end) and advances → 0; 1 null cursor or pairs;
    // 2 damaged (lengths past the record or end, missing NUL, more than capacity pairs). Strings
    // are copied into the frame's unpack block in script memory (an empty one reads as null with
    // bit 1); the next unpack reuses the block.
    int UnpackCommand(const uint8_t** cursor, const uint8_t* end, uint32_t* command, TgsArgPair* pairs,
                      uint32_t capacity, uint32_t* count);
    // PackCommand at the text buffer's write pointer → its result.
    int PackIntoText(uint32_t command, const TgsArgPair* pairs, uint32_t count);
    // Runs handler[command] for a packed command met while text is written: the result becomes
    // the last command result and `retTgsExp` → the result; -1 for a command without a handler.
    int32_t DispatchDeferred(uint32_t command, const TgsArgPair* pairs);

    // The string a pair holds (script memory, up to its NUL); "" for a null, non-string or bad one.
    std::string_view PairString(const TgsArgPair& pair) const;

    // The collected text (the buffer holds a NUL after it) and its emptying.
    std::string_view Text() const { return std::string_view(m_textBuffer, m_textLength); }
    uint32_t TextLength() const { return m_textLength; }
    void ClearText();

    int32_t LastCommandResult() const { return m_lastResult; }
    uint32_t ArgumentCount() const { return m_argumentCount; }
    // The counter a handler owns (chained waits); the decoder clears it after a command left it
    // unchanged.
    int32_t& HandlerCounter() { return m_handlerCounter; }
    int32_t CurrentMessage() const { return m_currentMessage; }
    void SetCurrentMessage(int32_t number) { m_currentMessage = number; }
    bool InDeferredDispatch() const { return m_inDeferredDispatch != 0; }
    bool HasPendingText() const { return m_hasPendingText; }
    CSobVM& Machine() { return m_vm; }
    CSobRuntime& Host() { return m_host; }

protected:
    CSobRuntime& m_host;
    CSobVM m_vm;
    std::vector<TgsCommand> m_commands;
    int32_t m_lastResult = 0;
    bool m_hasPendingText = false;
    std::string m_pendingText;
    char m_textBuffer[kTextBufferSize] = {};
    uint32_t m_textLength = 0; // the write pointer
    uint8_t m_inDeferredDispatch = 0;
    uint32_t m_argumentCount = 0;
    int32_t m_handlerCounter = 0;
    int32_t m_currentMessage = -1;

private:
    struct Operand;
    // Links code (its link tables at tables, u8 or u32 counts) once, checking every entry first
    // → false when an entry is bad (nothing written). flagAddress is the linked flag's address.
    bool CheckLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                    bool wideCounts) const;
    void ApplyLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                    bool wideCounts);
    // Runs linked code with the budget → 0 left, 1 yielded, 2 failed; sp is restored but after a
    // yield of inline code (keepYield).
    int RunCode(uint32_t code, bool keepYield);
    bool ParseOperand(uint32_t kind, ByteReader& in, uint32_t textAddress, Operand* out) const;
    bool Evaluate(Operand& op, uint32_t* value);
    void AppendText(const uint8_t* bytes, size_t length);
    int64_t Malformed();

    uint32_t m_unpackBlock = 0; // script memory for unpacked strings
};
