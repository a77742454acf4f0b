#include "authoring/sob_assembler.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <set>

#include "script/script_memory.h"
#include "script/sob_instructions.h"
#include "winapi/text.h"

namespace {

constexpr uint32_t kMaxSpace = 64u << 20; // .space beyond this is surely a typo

// An operand as written, before labels are known.
struct Operand {
    enum Kind { Integer, Own, Native, UserVariable, HostVariable, Library } kind = Integer;
    int64_t number = 0;  // Integer value, native or host-variable number, or the addend
    std::string name;    // label, user variable or library label
    int cell = -1;       // label.k: the operand cell k of the instruction at the label
    std::string text;    // as written, for messages
};

struct Statement {
    int line = 0;
    uint32_t offset = 0;
    const SobInstructionInfo* instruction = nullptr; // null for .word
    std::vector<Operand> operands;                   // .word values, or the instruction's operands
    std::vector<uint32_t> raw;                       // .space and .sjis bytes as cells
};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool IsIdentifierStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsIdentifier(std::string_view s)
{
    if (s.empty() || !IsIdentifierStart(s[0]))
        return false;
    for (char c : s) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

// Decimal or 0x hex, optionally negative. nullopt when malformed; *tooLarge when it is a number
// outside [-2^31, 2^32 - 1].
std::optional<int64_t> ParseInteger(std::string_view s, bool* tooLarge)
{
    *tooLarge = false;
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int radix = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        radix = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return std::nullopt;
        value = value * radix + digit;
        if (value > 0xFFFFFFFFull)
            *tooLarge = true; // keep scanning for malformed digits; the value no longer matters
        if (value > (1ull << 40))
            value = 1ull << 40;
    }
    const int64_t signedValue = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    if (signedValue < INT32_MIN || signedValue > static_cast<int64_t>(UINT32_MAX))
        *tooLarge = true;
    return signedValue;
}

// Splits at commas outside double quotes.
std::vector<std::string_view> SplitOperands(std::string_view s)
{
    std::vector<std::string_view> parts;
    s = Trim(s);
    if (s.empty())
        return parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"' && (i == 0 || s[i - 1] != '\\'))
            quoted = !quoted;
        else if (s[i] == ',' && !quoted) {
            parts.push_back(Trim(s.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(Trim(s.substr(start)));
    return parts;
}

// The text before a ';' that is not inside a string.
std::string_view StripComment(std::string_view line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"' && (i == 0 || line[i - 1] != '\\'))
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return line.substr(0, i);
    }
    return line;
}

class Assembler {
public:
    Assembler(std::string_view fileName, std::vector<std::string>* errors) : m_fileName(fileName), m_errors(errors) {}

    bool Run(std::string_view source, SobAssembly* out);

private:
    void Error(int line, const std::string& message)
    {
        ++m_errorCount;
        if (m_errors != nullptr)
            m_errors->push_back(m_fileName + ":" + std::to_string(line) + ": " + message);
    }
    void ParseLine(int line, std::string_view text);
    bool ParseOperand(int line, std::string_view text, Operand* out);
    bool ParseString(int line, std::string_view text, std::string* out);
    bool CheckKind(int line, const Operand& operand, char kind, const char* mnemonic, size_t index);
    void Emit(const Statement& statement, const Operand& operand, SobAssembly* out);

    std::string m_fileName;
    std::vector<std::string>* m_errors;
    int m_errorCount = 0;
    uint32_t m_offset = 0;
    bool m_sizeOverflow = false;
    std::optional<uint32_t> m_codeLength;
    std::vector<Statement> m_statements;
    std::map<std::string, uint32_t> m_labels;
    std::map<uint32_t, const SobInstructionInfo*> m_instructionAt; // for label.k
    std::map<uint32_t, uint32_t> m_cellsAt;                        // instruction length in cells
};

bool Assembler::ParseString(int line, std::string_view text, std::string* out)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        Error(line, ".sjis needs one quoted string");
        return false;
    }
    text = text.substr(1, text.size() - 2);
    std::string utf8;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            Error(line, ".sjis needs one quoted string");
            return false;
        }
        if (c != '\\') {
            utf8 += c;
            continue;
        }
        if (++i >= text.size()) {
            Error(line, "string ends inside an escape");
            return false;
        }
        switch (text[i]) {
        case 'n': utf8 += '\n'; break;
        case 'r': utf8 += '\r'; break;
        case 't': utf8 += '\t'; break;
        case '\\': utf8 += '\\'; break;
        case '"': utf8 += '"'; break;
        case 'x': {
            if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                Error(line, "\\x needs two hex digits");
                return false;
            }
            utf8 += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
            break;
        }
        default:
            Error(line, std::string("unknown escape \\") + text[i]);
            return false;
        }
    }
    // Characters without a Shift-JIS form would silently become '?': refuse them.
    std::string sjis = winapi::Utf8ToSjis(utf8);
    if (winapi::SjisToUtf8(sjis) != utf8) {
        Error(line, "text has no Shift-JIS form");
        return false;
    }
    if (sjis.find('\0') != std::string::npos) {
        Error(line, "text holds a NUL byte");
        return false;
    }
    *out = std::move(sjis);
    return true;
}

bool Assembler::ParseOperand(int line, std::string_view text, Operand* out)
{
    out->text = std::string(text);
    if (text.empty()) {
        Error(line, "empty operand");
        return false;
    }
    bool tooLarge = false;
    auto checkedInteger = [&](std::string_view s, int64_t* value) {
        std::optional<int64_t> v = ParseInteger(Trim(s), &tooLarge);
        if (!v) {
            Error(line, "bad number '" + std::string(Trim(s)) + "'");
            return false;
        }
        if (tooLarge) {
            Error(line, "value outside 32 bits: " + std::string(Trim(s)));
            return false;
        }
        *value = *v;
        return true;
    };
    // keyword ARG
    const size_t space = text.find_first_of(" \t");
    if (space != std::string_view::npos) {
        const std::string_view keyword = text.substr(0, space);
        const std::string_view argument = Trim(text.substr(space));
        if (keyword == "native" || keyword == "hostvar") {
            out->kind = keyword == "native" ? Operand::Native : Operand::HostVariable;
            if (!checkedInteger(argument, &out->number))
                return false;
            if (out->number < 0 || (out->kind == Operand::Native && out->number > 0xFFFFFF)) {
                Error(line, std::string(keyword) + " number out of range: " + std::string(argument));
                return false;
            }
            return true;
        }
        if (keyword == "uservar") {
            if (!IsIdentifier(argument)) {
                Error(line, "bad user variable name '" + std::string(argument) + "'");
                return false;
            }
            out->kind = Operand::UserVariable;
            out->name = std::string(argument);
            return true;
        }
        if (keyword == "lib") {
            out->kind = Operand::Library;
            std::string_view name = argument;
            const size_t sign = name.find_first_of("+-");
            if (sign != std::string_view::npos) {
                if (!checkedInteger(name.substr(sign), &out->number))
                    return false;
                name = Trim(name.substr(0, sign));
            }
            if (!IsIdentifier(name)) {
                Error(line, "bad library label '" + std::string(name) + "'");
                return false;
            }
            out->name = std::string(name);
            return true;
        }
    }
    if (text[0] == '-' || text[0] == '+' || std::isdigit(static_cast<unsigned char>(text[0]))) {
        out->kind = Operand::Integer;
        return checkedInteger(text, &out->number);
    }
    // label, label+n, label-n, label.k
    out->kind = Operand::Own;
    std::string_view name = text;
    const size_t sign = name.find_first_of("+-");
    if (sign != std::string_view::npos) {
        if (!checkedInteger(name.substr(sign), &out->number))
            return false;
        name = Trim(name.substr(0, sign));
    }
    const size_t dot = name.find('.');
    if (dot != std::string_view::npos) {
        const std::string_view k = name.substr(dot + 1);
        if (k.size() != 1 || !std::isdigit(static_cast<unsigned char>(k[0])) || sign != std::string_view::npos) {
            Error(line, "bad operand '" + std::string(text) + "' (label.k takes one digit k)");
            return false;
        }
        out->cell = k[0] - '0';
        name = name.substr(0, dot);
    }
    if (!IsIdentifier(name)) {
        Error(line, "bad operand '" + std::string(text) + "'");
        return false;
    }
    out->name = std::string(name);
    return true;
}

bool Assembler::CheckKind(int line, const Operand& operand, char kind, const char* mnemonic, size_t index)
{
    bool ok = true;
    const char* what = "";
    switch (kind) {
    case 'V':
        break;
    case 'A':
        ok = operand.kind != Operand::Native;
        what = "an address";
        break;
    case 'S':
        ok = operand.kind == Operand::Integer;
        what = "a stack offset (a number)";
        break;
    case 'C':
        ok = operand.kind == Operand::Integer || operand.kind == Operand::Own || operand.kind == Operand::Library;
        what = "a code address";
        break;
    }
    if (!ok)
        Error(line, "operand " + std::to_string(index + 1) + " of '" + mnemonic + "' must be " + what + ", not '" +
                        operand.text + "'");
    return ok;
}

void Assembler::ParseLine(int line, std::string_view text)
{
    text = Trim(StripComment(text));
    // Labels: "name:" before the statement.
    while (true) {
        size_t i = 0;
        while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
            ++i;
        if (i == 0 || i >= text.size() || text[i] != ':' || !IsIdentifierStart(text[0]))
            break;
        const std::string name(text.substr(0, i));
        if (!m_labels.emplace(name, m_offset).second)
            Error(line, "duplicate label '" + name + "'");
        text = Trim(text.substr(i + 1));
    }
    if (text.empty())
        return;
    const size_t space = text.find_first_of(" \t");
    std::string word(text.substr(0, space));
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    Statement statement;
    statement.line = line;
    statement.offset = m_offset;
    uint64_t cells = 0;
    if (word == ".data") {
        if (!rest.empty())
            Error(line, ".data takes no operands");
        if (m_codeLength)
            Error(line, "second .data");
        m_codeLength = m_offset;
        return;
    }
    if (word == ".word") {
        const std::vector<std::string_view> parts = SplitOperands(rest);
        if (parts.empty())
            Error(line, ".word needs at least one value");
        for (std::string_view part : parts) {
            Operand operand;
            if (ParseOperand(line, part, &operand))
                statement.operands.push_back(operand);
        }
        cells = parts.size();
        if (statement.operands.size() != parts.size())
            return;
    } else if (word == ".space") {
        bool tooLarge = false;
        std::optional<int64_t> n = ParseInteger(rest, &tooLarge);
        if (!n || tooLarge || *n < 0 || *n > kMaxSpace) {
            Error(line, ".space needs a byte count from 0 to " + std::to_string(kMaxSpace));
            return;
        }
        statement.raw.assign((static_cast<uint32_t>(*n) + 3) / 4, 0);
        cells = statement.raw.size();
    } else if (word == ".sjis") {
        std::string bytes;
        if (!ParseString(line, rest, &bytes))
            return;
        bytes.push_back('\0');
        bytes.resize((bytes.size() + 3) / 4 * 4, '\0');
        statement.raw.resize(bytes.size() / 4);
        std::memcpy(statement.raw.data(), bytes.data(), bytes.size());
        cells = statement.raw.size();
    } else {
        const SobInstructionInfo* info = FindSobInstruction(word);
        if (info == nullptr) {
            Error(line, "unknown mnemonic '" + std::string(text.substr(0, space)) + "'");
            return;
        }
        statement.instruction = info;
        const std::vector<std::string_view> parts = SplitOperands(rest);
        const size_t count = SobOperandCount(info->opcode);
        const bool isSwitch = info->opcode == kSobSwitchOpcode;
        if (isSwitch ? parts.empty() : parts.size() != count) {
            Error(line, "'" + word + "' takes " + (isSwitch ? std::string("1 operand and its targets") : std::to_string(count) + " operand" + (count == 1 ? "" : "s")) +
                            ", " + std::to_string(parts.size()) + " given");
            return;
        }
        bool ok = true;
        for (size_t i = 0; i < parts.size(); ++i) {
            Operand operand;
            if (!ParseOperand(line, parts[i], &operand)) {
                ok = false;
                continue;
            }
            const char kind = i < count ? info->operands[i] : 'C';
            ok = CheckKind(line, operand, kind, info->mnemonic, i) && ok;
            statement.operands.push_back(operand);
        }
        if (!ok)
            return;
        cells = 1 + parts.size() + (isSwitch ? 1 : 0);
        m_instructionAt[m_offset] = info;
        m_cellsAt[m_offset] = static_cast<uint32_t>(cells);
    }
    const uint64_t end = m_offset + cells * 4;
    if (end > CScriptMemory::kMaxSize) {
        if (!m_sizeOverflow)
            Error(line, "image larger than script memory");
        m_sizeOverflow = true;
        return;
    }
    m_offset = static_cast<uint32_t>(end);
    m_statements.push_back(std::move(statement));
}

void Assembler::Emit(const Statement& statement, const Operand& operand, SobAssembly* out)
{
    const uint32_t offset = static_cast<uint32_t>(out->cells.size() * 4);
    uint32_t cell = 0;
    switch (operand.kind) {
    case Operand::Integer:
        cell = static_cast<uint32_t>(operand.number);
        break;
    case Operand::Native:
        cell = static_cast<uint32_t>(operand.number);
        out->links.push_back({SobLinkEntry::Native, offset, cell, {}});
        break;
    case Operand::HostVariable:
        cell = static_cast<uint32_t>(operand.number);
        out->links.push_back({SobLinkEntry::HostVariable, offset, cell, {}});
        break;
    case Operand::UserVariable:
        out->links.push_back({SobLinkEntry::UserVariable, offset, 0, operand.name});
        break;
    case Operand::Library:
        cell = static_cast<uint32_t>(operand.number);
        out->links.push_back({SobLinkEntry::Library, offset, cell, operand.name});
        break;
    case Operand::Own: {
        auto label = m_labels.find(operand.name);
        if (label == m_labels.end()) {
            Error(statement.line, "undefined label '" + operand.name + "'");
            break;
        }
        int64_t value = static_cast<int64_t>(label->second) + operand.number;
        if (operand.cell >= 0) {
            auto cells = m_cellsAt.find(label->second);
            if (cells == m_cellsAt.end() || static_cast<uint32_t>(operand.cell) >= cells->second) {
                Error(statement.line, "'" + operand.text + "': no cell " + std::to_string(operand.cell) +
                                          " in the instruction at '" + operand.name + "'");
                break;
            }
            value += 4 * operand.cell;
        }
        if (value < 0 || value > static_cast<int64_t>(CScriptMemory::kMaxSize)) {
            Error(statement.line, "'" + operand.text + "' lies outside the image");
            break;
        }
        cell = static_cast<uint32_t>(value);
        out->links.push_back({SobLinkEntry::Own, offset, cell, {}});
        break;
    }
    }
    out->cells.push_back(cell);
}

bool Assembler::Run(std::string_view source, SobAssembly* out)
{
    int line = 1;
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view text = source.substr(start, end - start);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        ParseLine(line, text);
        ++line;
        start = end + 1;
    }
    *out = SobAssembly();
    out->cells.reserve(m_offset / 4);
    for (const Statement& statement : m_statements) {
        if (statement.instruction != nullptr) {
            out->cells.push_back(static_cast<uint32_t>(statement.instruction->opcode));
            for (const Operand& operand : statement.operands)
                Emit(statement, operand, out);
            if (statement.instruction->opcode == kSobSwitchOpcode)
                out->cells.push_back(kSobSwitchEnd);
        } else if (!statement.operands.empty()) {
            for (const Operand& operand : statement.operands)
                Emit(statement, operand, out);
        } else {
            out->cells.insert(out->cells.end(), statement.raw.begin(), statement.raw.end());
        }
    }
    out->codeLength = m_codeLength.value_or(m_offset);
    out->labels = m_labels;
    return m_errorCount == 0;
}

} // namespace

std::string_view TrimSob(std::string_view s)
{
    return Trim(s);
}

std::optional<int64_t> ParseSobInteger(std::string_view s, bool* tooLarge)
{
    return ParseInteger(s, tooLarge);
}

bool AssembleSob(std::string_view source, std::string_view fileName, SobAssembly* out, std::vector<std::string>* errors)
{
    Assembler assembler(fileName, errors);
    return assembler.Run(source, out);
}

bool ResolveSob(const SobAssembly& assembly, uint32_t base, std::vector<uint8_t>* bytes, std::string* error)
{
    const uint64_t size = static_cast<uint64_t>(assembly.cells.size()) * 4;
    if (base + size > 0x100000000ull) {
        *error = "the image does not fit below 4 GiB at that base";
        return false;
    }
    std::vector<uint32_t> cells = assembly.cells;
    for (const SobLinkEntry& link : assembly.links) {
        if (link.offset % 4 != 0 || link.offset / 4 >= cells.size()) {
            *error = "link entry outside the image";
            return false;
        }
        uint32_t& cell = cells[link.offset / 4];
        switch (link.table) {
        case SobLinkEntry::Own:
            cell = base + link.value;
            break;
        case SobLinkEntry::Native:
            cell = CScriptMemory::kNativeBase + link.value;
            break;
        default: {
            static const char* const kNames[] = {"", "user variable", "native", "host variable", "library"};
            *error = std::string("a ") + kNames[link.table >= 1 && link.table <= 4 ? link.table : 0] +
                     " reference needs the runtime's linker" + (link.symbol.empty() ? "" : " ('" + link.symbol + "')");
            return false;
        }
        }
    }
    bytes->resize(size);
    if (size != 0)
        std::memcpy(bytes->data(), cells.data(), size);
    return true;
}

bool PlaceSob(const SobAssembly& assembly, CScriptMemory& memory, uint32_t address, std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!ResolveSob(assembly, address, &bytes, error))
        return false;
    uint8_t* target = memory.Span(address, static_cast<uint32_t>(bytes.size()));
    if (target == nullptr) {
        *error = "the image does not fit inside script memory at that address";
        return false;
    }
    if (!bytes.empty())
        std::memcpy(target, bytes.data(), bytes.size());
    return true;
}

namespace {

struct Decoded {
    size_t cell;                 // first cell
    size_t length;               // cells
    const SobInstructionInfo* info; // null: a .word cell
};

std::string Hex(uint32_t v)
{
    return SobHex(v);
}

std::string LabelName(uint32_t address)
{
    return SobLabelName(address);
}

} // namespace

std::string SobHex(uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08" PRIX32, value);
    return buffer;
}

std::string SobLabelName(uint32_t address)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "L%08" PRIX32, address);
    return buffer;
}

bool IsSobIdentifier(std::string_view text)
{
    return IsIdentifier(text);
}

std::string DisassembleSob(const uint8_t* bytes, size_t size, uint32_t base, const SobListingLinks* links)
{
    const size_t count = size / 4;
    std::vector<uint32_t> cells(count);
    if (count != 0)
        std::memcpy(cells.data(), bytes, count * 4);

    // Decode linearly; anything that is not a whole instruction inside the image is a .word.
    std::vector<Decoded> lines;
    for (size_t i = 0; i < count;) {
        const uint32_t opcode = cells[i];
        const bool linked = links != nullptr && links->cells.count(static_cast<uint32_t>(i * 4)) != 0;
        if (opcode < static_cast<uint32_t>(kSobOpcodeCount) && !linked) {
            const SobInstructionInfo& info = kSobInstructions[opcode];
            size_t length = 1 + SobOperandCount(info.opcode);
            bool whole = i + length <= count;
            if (whole && info.opcode == kSobSwitchOpcode) {
                size_t end = i + length;
                while (end < count && cells[end] != kSobSwitchEnd)
                    ++end;
                whole = end < count;
                length = end + 1 - i;
            }
            if (whole) {
                lines.push_back({i, length, &info});
                i += length;
                continue;
            }
        }
        lines.push_back({i, 1, nullptr});
        ++i;
    }
    // Code targets that land on a line become labels.
    std::set<uint32_t> lineStarts, targets;
    for (const Decoded& d : lines)
        lineStarts.insert(base + static_cast<uint32_t>(d.cell * 4));
    auto isCodeCell = [](const Decoded& d, size_t k) {
        if (k == 0)
            return false;
        const size_t operands = SobOperandCount(d.info->opcode);
        if (k <= operands)
            return d.info->operands[k - 1] == 'C';
        return k + 1 < d.length; // switch table entries, not the end cell
    };
    const uint32_t end = base + static_cast<uint32_t>(count * 4);
    // Own references of a linkable image: a label on the line holding the target (+ the rest).
    auto ownTarget = [&](uint32_t target, uint32_t* line) {
        auto next = lineStarts.upper_bound(target);
        if (target >= end || next == lineStarts.begin()) {
            *line = end;
            return 0u;
        }
        *line = *std::prev(next);
        return target - *line;
    };
    auto linkAt = [&](size_t cell) -> const SobLinkEntry* {
        if (links == nullptr)
            return nullptr;
        auto it = links->cells.find(static_cast<uint32_t>(cell * 4));
        return it != links->cells.end() ? &it->second : nullptr;
    };
    for (const Decoded& d : lines) {
        for (size_t k = d.info == nullptr ? 0 : 1; k < d.length; ++k) {
            if (const SobLinkEntry* link = linkAt(d.cell + k)) {
                if (link->table == SobLinkEntry::Own) {
                    uint32_t line;
                    ownTarget(base + link->value, &line);
                    targets.insert(line);
                }
            } else if (d.info != nullptr && isCodeCell(d, k) && lineStarts.count(cells[d.cell + k]) != 0) {
                targets.insert(cells[d.cell + k]);
            }
        }
    }
    auto linkText = [&](const SobLinkEntry& link) {
        switch (link.table) {
        case SobLinkEntry::Own: {
            uint32_t line;
            const uint32_t rest = ownTarget(base + link.value, &line);
            return LabelName(line) + (rest != 0 ? "+" + std::to_string(rest) : std::string());
        }
        case SobLinkEntry::Native: return "native " + std::to_string(link.value);
        case SobLinkEntry::HostVariable: return "hostvar " + std::to_string(link.value);
        case SobLinkEntry::UserVariable: return "uservar " + link.symbol;
        default: return "lib " + link.symbol;
        }
    };
    bool dataWritten = links == nullptr || links->codeLength >= count * 4;

    std::string out;
    char header[64];
    std::snprintf(header, sizeof header, "; image at 0x%08" PRIX32 ", %zu bytes\n", base, count * 4);
    out += header;
    for (const Decoded& d : lines) {
        const uint32_t address = base + static_cast<uint32_t>(d.cell * 4);
        if (!dataWritten && d.cell * 4 >= links->codeLength) {
            out += "    .data\n";
            dataWritten = true;
        }
        if (targets.count(address) != 0)
            out += LabelName(address) + ":\n";
        std::string text = "    ";
        if (d.info == nullptr) {
            const SobLinkEntry* link = linkAt(d.cell);
            text += ".word " + (link != nullptr ? linkText(*link) : Hex(cells[d.cell]));
        } else {
            text += d.info->mnemonic;
            const size_t operands = SobOperandCount(d.info->opcode);
            const size_t shown = d.info->opcode == kSobSwitchOpcode ? d.length - 2 : d.length - 1;
            for (size_t k = 1; k <= shown; ++k) {
                const uint32_t v = cells[d.cell + k];
                const char kind = k <= operands ? d.info->operands[k - 1] : 'C';
                text += k == 1 ? " " : ", ";
                if (const SobLinkEntry* link = linkAt(d.cell + k))
                    text += linkText(*link);
                else if (d.info->opcode == 5 && k == 1 && v >= CScriptMemory::kNativeBase && v <= 0x7FFFFFFFu)
                    text += "native " + std::to_string(v - CScriptMemory::kNativeBase);
                else if (kind == 'C' && targets.count(v) != 0)
                    text += LabelName(v);
                else if (kind == 'A' || kind == 'C')
                    text += Hex(v);
                else
                    text += std::to_string(static_cast<int32_t>(v));
            }
        }
        if (text.size() < 40)
            text.resize(40, ' ');
        out += text + " ; " + Hex(address) + "\n";
    }
    if (targets.count(end) != 0)
        out += LabelName(end) + ":\n";
    return out;
}
