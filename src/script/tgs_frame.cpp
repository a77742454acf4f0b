// The frame's construction and the scenario text decoder.
#include "script/tgs_frame.h"

#include <algorithm>
#include <bit>

#include "controls/text_layer.h"
#include "display/image_object.h"
#include "drawing/glyph_font.h"
#include "drawing/sprite.h"
#include "raster/image.h"
#include "script/message_window.h"
#include <cstdio>
#include <cstring>

#include <emmintrin.h>

namespace {

// First bytes of two-byte Shift-JIS characters.
struct LeadTable {
    bool lead[256];
    constexpr LeadTable() : lead()
    {
        for (int c = 0; c < 256; ++c)
            lead[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    }
};
constexpr LeadTable kLead;

uint32_t Word(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

enum OperandKind : uint32_t {
    kConstant = 0,
    kString = 1,
    kVariable = 2,
    kExpression = 3,
    kAlways = 4, // the condition kind 1
    kNone = 5,   // an argument with flags 0
};

} // namespace

// One condition or argument as parsed (pass 1), evaluated in pass 2.
struct CTgsFrame::Operand {
    uint32_t kind;
    uint32_t flags; // the pair's flags
    uint32_t value; // constant or string address; kVariable: the element's address
    uint32_t code;  // kExpression: code address, length, and the linked flag's address
    uint32_t codeLength;
    uint32_t flagAddress;
    const uint8_t* tables;
    uint32_t tableBytes;
};

CTgsFrame::CTgsFrame(CSobRuntime& host) : CTgsScriptStore(host.Memory()), m_host(host), m_vm(host.Memory())
{
    m_vm.AllocateStack(kStackCells);
    m_host.BindNatives(m_vm);
    m_commands.reserve(kCommandCount);
    m_unpackBlock = m_memory.Allocate(kTextBufferSize);
    // The records are bound even without the engine: the saved state reads them.
    InitLayers();
}

CTgsFrame::~CTgsFrame()
{
    if (m_link != nullptr)
        ReleaseMembers();
    if (m_unpackBlock != 0)
        m_memory.Free(m_unpackBlock);
}

int CTgsFrame::AddCommand(TgsCommand handler)
{
    if (m_commands.size() >= kCommandCount)
        return 1;
    m_commands.push_back(handler);
    return 0;
}

std::string_view CTgsFrame::PairString(const TgsArgPair& pair) const
{
    std::string_view text;
    if ((pair.flags & 2) == 0 || pair.value == 0 || !m_memory.Str(pair.value, &text))
        return {};
    return text;
}

void CTgsFrame::ClearText()
{
    m_textLength = 0;
    m_textBuffer[0] = 0;
}

void CTgsFrame::AppendText(const uint8_t* bytes, size_t length)
{
    if (m_textLength + length < kTextBufferSize) {
        std::memcpy(m_textBuffer + m_textLength, bytes, length);
        m_textLength += static_cast<uint32_t>(length);
        m_textBuffer[m_textLength] = 0;
        return;
    }
    size_t i = 0;
    while (i < length) {
        const size_t n = kLead.lead[bytes[i]] && i + 1 < length ? 2 : 1;
        // The buffer had no end check: a character that does not fit whole is dropped.
        if (m_textLength + n < kTextBufferSize) {
            std::memcpy(m_textBuffer + m_textLength, bytes + i, n);
            m_textLength += static_cast<uint32_t>(n);
        }
        i += n;
    }
    m_textBuffer[m_textLength] = 0;
}

uint32_t CTgsFrame::WriteChar(uint32_t position)
{
    const TobScript* script = CurrentScript();
    if (script == nullptr || position >= script->textSize)
        return position;
    const uint8_t* text = m_memory.Span(script->TextAddress(), script->textSize + 1);
    const uint32_t n = kLead.lead[text[position]] && text[position + 1] != 0 ? 2 : 1;
    AppendText(text + position, n);
    return position + n;
}

int64_t CTgsFrame::Malformed()
{
    m_lastResult = -1;
    return -1;
}

// ---- running text ----

namespace {

// The first "[" or NUL at or after p, sixteen bytes at a time. The loads are aligned, so none
// crosses into a page the text does not reach; the bytes before p in the first are masked off.
// Bytes past the NUL may lie outside the text's allocation, which the address checker must not
// take for a fault.
__attribute__((no_sanitize_address)) const uint8_t* NextBracketOrEnd(const uint8_t* p)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const __m128i* block = reinterpret_cast<const __m128i*>(start & ~uintptr_t{15});
    const __m128i bracket = _mm_set1_epi8('[');
    const __m128i zero = _mm_setzero_si128();
    unsigned skip = 0xFFFFu << (start & 15);
    for (;; ++block, skip = 0xFFFFu) {
        const __m128i bytes = _mm_load_si128(block);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                                  _mm_or_si128(_mm_cmpeq_epi8(bytes, bracket), _mm_cmpeq_epi8(bytes, zero)))) &
                              skip;
        if (mask != 0)
            return reinterpret_cast<const uint8_t*>(block) + std::countr_zero(mask);
    }
}

// Whether *at is the second byte of a two-byte character, for text read from run (a character
// start) on. Before a character start, a run of lead bytes pairs up from its first byte: an odd
// count leaves the last of them waiting for *at.
bool SecondByteOfCharacter(const uint8_t* run, const uint8_t* at)
{
    size_t leads = 0;
    while (at > run && kLead.lead[at[-1]]) {
        --at;
        ++leads;
    }
    return (leads & 1) != 0;
}

} // namespace

int CTgsFrame::RunText()
{
    // A text that loops through its records without a command that stops it would never end.
    for (uint32_t records = 0; records < kRecordBudget; ++records) {
        // A loaded state replaced the running one: this run ends; the resume starts the next.
        if (m_stateReplaced != 0) {
            m_lastResult = -1;
            return -1;
        }
        TobScript* script = CurrentScript();
        if (script == nullptr)
            return -2;
        if (m_hasPendingText) {
            AppendText(reinterpret_cast<const uint8_t*>(m_pendingText.data()), m_pendingText.size());
            m_pendingText.clear();
            m_hasPendingText = false;
        }
        uint8_t* text = m_memory.Span(script->TextAddress(), script->textSize + 1);
        uint32_t at = m_cursor;
        if (text == nullptr || at > script->textSize)
            return -1;
        // Code run by a record may write anywhere in script memory: the NUL that ends the text
        // area is put back before every scan.
        text[script->textSize] = 0;
        int64_t next;
        // Characters up to the next record, a run at a time; the byte after the text area is a
        // NUL, so every look one byte ahead stays inside the image.
        while (true) {
            const uint8_t* run = text + at;
            const uint8_t* stop = NextBracketOrEnd(run);
            // A "[" that is the second byte of a character is text.
            while (*stop == '[' && SecondByteOfCharacter(run, stop))
                stop = NextBracketOrEnd(stop + 1);
            AppendText(run, static_cast<size_t>(stop - run));
            at = static_cast<uint32_t>(stop - text);
            if (*stop == 0) {
                m_cursor = at;
                return 0;
            }
            const uint8_t kind = text[at + 1];
            if (kind == ' ' || kind == 's')
                break;
            ++at; // any other byte: the "[" is dropped
        }
        m_textBuffer[m_textLength] = 0;
        m_cursor = at;
        if (text[at + 1] == 's') {
            next = RunInlineScript(at + 1);
            if (next < 0)
                return -1;
        } else {
            next = DecodeCommand(at + 1);
            // A wait that loaded a state ends with the menu's word; the run ends as for any
            // load, so that the system script resumes the loaded state rather than ending it.
            if (next < 0 && m_stateReplaced != 0) {
                m_lastResult = -1;
                return -1;
            }
            if (next < 0) {
                if (m_lastResult == kEndOfScenario)
                    return 0;
                return m_lastResult < -1 ? -4 : m_lastResult;
            }
        }
        m_cursor = static_cast<uint32_t>(next);
    }
    m_lastResult = -1;
    return -1;
}

// ---- links and code ----

namespace {

// Walks five link tables (u8 or u32 counts, then count × (u32 offset, u32 value)) → false when
// they run past the bytes. visit(table, offset, value) → false stops with false.
template <typename Visit> bool WalkLinks(const uint8_t* tables, size_t bytes, bool wideCounts, Visit visit)
{
    ByteReader in(tables, bytes);
    for (int table = 1; table <= 5; ++table) {
        uint32_t count;
        if (!(wideCounts ? in.U32(&count) : in.U8(&count)) || count > in.Left() / 8)
            return false;
        const uint8_t* entries = nullptr;
        if (!in.Take(count * 8ull, &entries))
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            if (!visit(table, Word(entries + 8 * i), Word(entries + 8 * i + 4)))
                return false;
        }
    }
    return true;
}

} // namespace

bool CTgsFrame::CheckLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                           bool wideCounts) const
{
    return WalkLinks(tables, tableBytes, wideCounts, [&](int table, uint32_t offset, uint32_t value) {
        uint32_t cell;
        return TobLinkCellFits(offset, codeLength) &&
               m_host.ResolveLink(table, value, code, codeLength, &cell);
    });
}

void CTgsFrame::ApplyLinks(uint32_t code, uint32_t codeLength, const uint8_t* tables, size_t tableBytes,
                           bool wideCounts)
{
    WalkLinks(tables, tableBytes, wideCounts, [&](int table, uint32_t offset, uint32_t value) {
        // Checked again: code run since the check may have rewritten the tables.
        uint32_t cell = 0;
        if (TobLinkCellFits(offset, codeLength) &&
            m_host.ResolveLink(table, value, code, codeLength, &cell))
            m_memory.Store32(code + offset, cell);
        return true;
    });
}

int CTgsFrame::RunCode(uint32_t code, bool keepYield)
{
    const uint32_t sp = m_vm.Sp();
    m_vm.SetInstructionBudget(kInstructionBudget);
    const int r = m_vm.Call(code);
    if (r == kSobYield && keepYield)
        return 1;
    // Code that yielded, faulted or ran out of budget leaves its frames on the stack: drop them.
    while (m_vm.Sp() > sp && m_vm.PopIp() == 0) {
    }
    while (m_vm.Sp() < sp && m_vm.PushZero() == 0) {
    }
    return r == kSobLeave ? 0 : r == kSobYield ? 1 : 2;
}

// Inline: it runs for every argument of every record, mostly for a constant or a variable.
__attribute__((always_inline)) inline bool CTgsFrame::ParseOperand(uint32_t kind, ByteReader& in, uint32_t textAddress,
                                                                   const uint8_t* host, Operand* op) const
{
    // Positions in the reader are turned into script addresses through the text's host start.
    auto addressOf = [&](const uint8_t* p) { return textAddress + static_cast<uint32_t>(p - host); };
    op->kind = kind;
    switch (kind) {
    case kConstant:
        return in.U32(&op->value);
    case kString: {
        uint32_t n;
        const uint8_t* s;
        if (!in.U16(&n) || !in.Take(n, &s))
            return false;
        if (n == 0) {
            op->value = 0;
            return true;
        }
        op->value = addressOf(s);
        // Most are a few bytes: a call would cost more than the look.
        if (n <= 16) {
            for (uint32_t k = 0; k < n; ++k)
                if (s[k] == 0)
                    return true;
            return false;
        }
        return std::memchr(s, 0, n) != nullptr;
    }
    case kVariable: {
        uint32_t variable, element;
        return in.U32(&variable) && in.U32(&element) && m_host.LiveElementAddress(variable, element, &op->value);
    }
    case kExpression: {
        uint32_t n, tableLength;
        const uint8_t *code, *flag, *tables;
        if (!in.U16(&n) || !in.Take(n, &code) || !in.Take(1, &flag) || !in.U16(&tableLength) ||
            tableLength < 2 || !in.Take(tableLength - 2, &tables))
            return false;
        op->code = addressOf(code);
        op->codeLength = n;
        op->flagAddress = addressOf(flag);
        op->tables = tables;
        op->tableBytes = tableLength - 2;
        return *flag != 0 || CheckLinks(op->code, n, tables, op->tableBytes, false);
    }
    default:
        return false;
    }
}

bool CTgsFrame::Evaluate(Operand& op, uint32_t* value)
{
    switch (op.kind) {
    case kConstant:
    case kString:
        *value = op.value;
        return true;
    case kVariable:
        *value = 0;
        return m_memory.Load32(op.value, value);
    case kExpression: {
        uint8_t linked = 1;
        m_memory.Load8(op.flagAddress, &linked);
        if (linked == 0) {
            m_memory.Store8(op.flagAddress, 1);
            ApplyLinks(op.code, op.codeLength, op.tables, op.tableBytes, false);
        }
        const int r = RunCode(op.code, false);
        // A yielding expression is not resumed: its value is 0.
        *value = r == 0 ? static_cast<uint32_t>(m_host.RetTgsExp()) : 0;
        return r != 2;
    }
    case kAlways:
        *value = 1;
        return true;
    default:
        *value = 0;
        return true;
    }
}

// ---- records ----

namespace {

// The padding after a record's pairs, in sixteen-byte stores: a string instruction's start-up
// costs more than the stores themselves at this size. The compiler is not told the value is
// zero, or it turns the loop back into that instruction.
void ZeroPairs(TgsArgPair* pairs)
{
    static_assert(CTgsFrame::kPaddingPairs * sizeof(TgsArgPair) % 16 == 0);
    auto* bytes = reinterpret_cast<unsigned char*>(pairs);
    __m128i zero = _mm_setzero_si128();
    asm("" : "+x"(zero));
    for (size_t k = 0; k < CTgsFrame::kPaddingPairs * sizeof(TgsArgPair); k += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + k), zero);
}

} // namespace

int64_t CTgsFrame::DecodeCommand(uint32_t position)
{
    TobScript* script = CurrentScript();
    if (script == nullptr || position >= script->textSize)
        return Malformed();
    const uint32_t textAddress = script->TextAddress();
    const uint32_t textSize = script->textSize;
    const uint8_t* text = m_memory.Span(textAddress, textSize + 1);

    // Pass 1: the whole record is parsed and checked before any of it runs.
    ByteReader head(text + position + 1, textSize - position - 1);
    uint32_t command, conditionKind;
    Operand condition;
    if (!head.U32(&command) || command >= kCommandCount || !head.U8(&conditionKind) || conditionKind > 3)
        return Malformed();
    if (conditionKind == 1)
        condition.kind = kAlways;
    else if (!ParseOperand(conditionKind, head, textAddress, text, &condition))
        return Malformed();
    const uint32_t kField = position + 1 + static_cast<uint32_t>(head.Position());
    uint32_t skip, argumentCount;
    if (!head.U32(&skip) || skip < 5 || skip > textSize - kField)
        return Malformed();
    const uint32_t recordEnd = kField + skip;
    ByteReader in(text + kField + 4, skip - 4);
    // Room for the pairs and the padding a handler may read past them.
    const uint32_t freePairs = m_argumentSize - m_argumentPosition;
    if (!in.U8(&argumentCount) || argumentCount + kPaddingPairs > freePairs)
        return Malformed();
    const uint32_t savedPosition = m_argumentPosition;
    TgsArgPair* const pairs = m_arguments.get() + m_argumentPosition;
    // Where nothing runs before the arguments (no condition code, no expression among them),
    // each is read and its value taken in one pass: the same values the two passes below give.
    // Anything else, or damage, goes the two-pass way from the start.
    const ByteReader argumentsStart = in;
    bool direct = condition.kind == kAlways;
    for (uint32_t i = 0; direct && i < argumentCount; ++i) {
        uint32_t flags, kind;
        Operand op;
        if (!in.U8(&flags)) {
            direct = false;
        } else if (flags == 0) {
            pairs[i] = {0, 0};
        } else if (flags == 2) {
            pairs[i].flags = 0;
            direct = in.U32(&pairs[i].value);
        } else if (!in.U8(&kind) || kind > kVariable || !ParseOperand(kind, in, textAddress, text, &op)) {
            direct = false;
        } else {
            pairs[i].flags = kind == kString ? flags | 2 : flags;
            pairs[i].value = op.value;
            direct = kind != kVariable || m_memory.Load32(op.value, &pairs[i].value);
        }
    }
    if (direct) {
        if (command == 0)
            return recordEnd; // the condition holds
    } else {
        in = argumentsStart;
        Operand operands[255];
        for (uint32_t i = 0; i < argumentCount; ++i) {
            Operand& op = operands[i];
            uint32_t flags, kind;
            if (!in.U8(&flags))
                return Malformed();
            if (flags == 0) {
                op.kind = kNone;
                op.flags = 0;
                op.value = 0;
                continue;
            }
            if (flags == 2) {
                op.kind = kConstant;
                op.flags = 0;
                if (!in.U32(&op.value))
                    return Malformed();
                continue;
            }
            if (!in.U8(&kind) || kind > 3 || !ParseOperand(kind, in, textAddress, text, &op))
                return Malformed();
            op.flags = kind == kString ? flags | 2 : flags;
        }

        // Pass 2: the condition, then the arguments in order.
        uint32_t truth;
        if (!Evaluate(condition, &truth))
            return Malformed();
        if ((truth != 0) == (command == 0))
            return recordEnd;
        for (uint32_t i = 0; i < argumentCount; ++i) {
            pairs[i].flags = operands[i].flags;
            if (!Evaluate(operands[i], &pairs[i].value))
                return Malformed();
        }
    }
    ZeroPairs(pairs + argumentCount);
    m_argumentPosition += argumentCount + kPaddingPairs;

    m_cursor = recordEnd;
    int64_t next = recordEnd;
    if (command < 12) {
        m_lastResult = 0;
        switch (command) {
        case 0:
        case 1:
        case 2:
        case 3:
            next = pairs[0].value <= textSize ? static_cast<int64_t>(pairs[0].value) : Malformed();
            break;
        case 5: {
            char number[16];
            std::snprintf(number, sizeof number, "%d", static_cast<int32_t>(pairs[0].value));
            m_pendingText = number;
            m_hasPendingText = true;
            break;
        }
        case 6:
            m_pendingText = PairString(pairs[0]);
            m_hasPendingText = true;
            break;
        case 7:
        case 8:
        case 9: {
            // Copied first: the call may free the script that holds them.
            const std::string scriptName(PairString(pairs[1]));
            const bool offsetGiven = pairs[0].flags == 0xFF;
            const bool labelGiven = !offsetGiven && (pairs[0].flags & 2) != 0 && pairs[0].value != 0;
            std::string label;
            if (labelGiven) {
                std::string_view view;
                if (!m_memory.Str(pairs[0].value, &view)) {
                    next = Malformed();
                    break;
                }
                label = view;
            }
            const char* s = scriptName.empty() ? nullptr : scriptName.c_str();
            const char* l = labelGiven ? label.c_str() : nullptr;
            const uint32_t offset = offsetGiven ? pairs[0].value : 0;
            if (s != nullptr || command == 9)
                m_currentMessage = -1;
            uint32_t address;
            if (command == 7)
                address = CallLabel(s, l, offset);
            else if (command == 8)
                address = JumpLabel(s, l, offset);
            else
                address = ReturnFromLabel(s, l, offsetGiven && offset == 0 ? 0xFFFFFFFFu : offset);
            if (address == 0) {
                if (command == 9)
                    m_lastResult = kEndOfScenario;
                next = -1;
            } else {
                next = address - CurrentScript()->TextAddress();
            }
            break;
        }
        case 10: {
            const std::string name(PairString(pairs[0]));
            PreloadScript(name.c_str());
            break;
        }
        case 11: {
            const std::string name(PairString(pairs[0]));
            ReleasePreloaded((pairs[0].flags & 2) != 0 && pairs[0].value != 0 ? name.c_str() : nullptr);
            break;
        }
        default:
            break;
        }
    } else {
        m_lastResult = static_cast<int32_t>(command);
        m_argumentCount = argumentCount;
        const int32_t counter = m_handlerCounter;
        const TgsCommand handler = command < m_commands.size() ? m_commands[command] : nullptr;
        const int32_t result = handler != nullptr ? handler(*this, pairs) : 0;
        m_lastResult = result;
        if (m_handlerCounter == counter)
            m_handlerCounter = 0;
        // The handler may have moved the cursor (a jump or a loaded state).
        next = result != 0 ? -1 : static_cast<int64_t>(m_cursor);
    }
    m_argumentPosition = savedPosition;
    return next;
}

int64_t CTgsFrame::RunInlineScript(uint32_t position)
{
    TobScript* script = CurrentScript();
    if (script == nullptr || position >= script->textSize)
        return -1;
    const uint32_t textAddress = script->TextAddress();
    const uint8_t* text = m_memory.Span(textAddress, script->textSize + 1);
    ByteReader in(text + position + 1, script->textSize - position - 1);
    uint32_t n, length;
    const uint8_t *code, *flag, *tables;
    if (!in.U32(&n) || !in.Take(n, &code) || !in.Take(1, &flag))
        return -1;
    const uint32_t lField = position + 1 + static_cast<uint32_t>(in.Position());
    if (!in.U32(&length) || length < 4 || !in.Take(length - 4, &tables))
        return -1;
    const uint32_t codeAddress = textAddress + static_cast<uint32_t>(code - text);
    if (*flag == 0) {
        if (!CheckLinks(codeAddress, n, tables, length - 4, true))
            return -1;
        m_memory.Store8(textAddress + static_cast<uint32_t>(flag - text), 1);
        ApplyLinks(codeAddress, n, tables, length - 4, true);
    }
    m_cursor = lField + length;
    const int r = RunCode(codeAddress, true);
    if (r == 1 && RunScriptLoop(false, true) != 0)
        return -1;
    return r == 2 ? -1 : static_cast<int64_t>(m_cursor);
}

// ---- packed commands ----

int CTgsFrame::PackCommand(uint8_t** cursor, const uint8_t* end, uint32_t command, const TgsArgPair* pairs,
                           uint32_t count)
{
    if (cursor == nullptr || *cursor == nullptr || pairs == nullptr)
        return 1;
    uint64_t size = 2 + 12;
    for (uint32_t i = 0; i < count; ++i)
        size += 1 + 4 + ((pairs[i].flags & 2) != 0 ? PairString(pairs[i]).size() + 1 : 0);
    if (end < *cursor || size > static_cast<uint64_t>(end - *cursor))
        return 2;
    std::vector<uint8_t> out = {0, '['};
    PutU32(out, static_cast<uint32_t>(size - 2));
    PutU32(out, command);
    PutU32(out, count);
    for (uint32_t i = 0; i < count; ++i) {
        out.push_back(static_cast<uint8_t>(pairs[i].flags));
        if ((pairs[i].flags & 2) != 0) {
            const std::string_view s = PairString(pairs[i]);
            PutU32(out, static_cast<uint32_t>(s.size() + 1));
            out.insert(out.end(), s.begin(), s.end());
            out.push_back(0);
        } else {
            PutU32(out, pairs[i].value);
        }
    }
    std::memcpy(*cursor, out.data(), out.size());
    *cursor += out.size();
    return 0;
}

int CTgsFrame::UnpackCommand(const uint8_t** cursor, const uint8_t* end, uint32_t* command, TgsArgPair* pairs,
                             uint32_t capacity, uint32_t* count)
{
    if (cursor == nullptr || *cursor == nullptr || pairs == nullptr || command == nullptr || count == nullptr)
        return 1;
    const uint8_t* p = *cursor;
    if (end < p || end - p < 14 || p[0] != 0 || p[1] != '[')
        return 2;
    const uint32_t total = Word(p + 2);
    if (total < 12 || total > static_cast<size_t>(end - p) - 2)
        return 2;
    ByteReader in(p + 6, total - 4);
    uint32_t number, n;
    if (!in.U32(&number) || !in.U32(&n) || n > capacity)
        return 2;
    uint8_t* block = m_memory.Span(m_unpackBlock, kTextBufferSize);
    uint32_t used = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t flags, value;
        if (!in.U8(&flags) || !in.U32(&value))
            return 2;
        if ((flags & 2) != 0) {
            const uint8_t* s;
            if (value == 0 || !in.Take(value, &s) || s[value - 1] != 0 || block == nullptr ||
                value > kTextBufferSize - used)
                return 2;
            std::memcpy(block + used, s, value);
            // An empty string goes back to the null it was packed from.
            pairs[i] = {flags, value == 1 ? 0 : m_unpackBlock + used};
            used += value;
        } else {
            pairs[i] = {flags, value};
        }
    }
    *command = number;
    *count = n;
    *cursor = p + 2 + total;
    return 0;
}

int CTgsFrame::PackIntoText(uint32_t command, const TgsArgPair* pairs, uint32_t count)
{
    uint8_t* cursor = reinterpret_cast<uint8_t*>(m_textBuffer) + m_textLength;
    // One byte stays for the closing NUL.
    const int r = PackCommand(&cursor, reinterpret_cast<uint8_t*>(m_textBuffer) + kTextBufferSize - 1,
                              command, pairs, count);
    if (r == 0) {
        m_textLength = static_cast<uint32_t>(cursor - reinterpret_cast<uint8_t*>(m_textBuffer));
        m_textBuffer[m_textLength] = 0;
    }
    return r;
}

int32_t CTgsFrame::DispatchDeferred(uint32_t command, const TgsArgPair* pairs)
{
    if (command >= m_commands.size() || m_commands[command] == nullptr || pairs == nullptr)
        return -1;
    m_inDeferredDispatch = 1;
    m_lastResult = static_cast<int32_t>(command); // as the decoder leaves it while a handler runs
    const int32_t result = m_commands[command](*this, pairs);
    m_lastResult = result;
    m_host.SetRetTgsExp(result);
    m_inDeferredDispatch = 0;
    return result;
}
