#include "authoring/sob_module_writer.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "script/sob_linkable.h"
#include "winapi/text.h"

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// Decimal or 0x hex, optionally negative, within 32 bits (either sign).
bool ParseWord(std::string_view s, int64_t* out)
{
    s = Trim(s);
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
    if (s.empty() || s.size() > 10)
        return false;
    int64_t v = 0;
    for (char c : s) {
        const int lower = std::tolower(static_cast<unsigned char>(c));
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && lower >= 'a' && lower <= 'f')
            digit = lower - 'a' + 10;
        else
            return false;
        v = v * radix + digit;
    }
    v = negative ? -v : v;
    if (v < INT32_MIN || v > static_cast<int64_t>(UINT32_MAX))
        return false;
    *out = v;
    return true;
}

// A quoted UTF-8 string with \" \\ \n \r \t escapes → its Shift-JIS bytes; false (message set)
// for bad quoting or text with no Shift-JIS form.
bool ParseText(std::string_view text, std::string* out, std::string* message)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        *message = "text must be one quoted string";
        return false;
    }
    std::string utf8;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 2 < text.size()) {
            c = text[++i];
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else if (c == '"') {
            *message = "text must be one quoted string";
            return false;
        }
        utf8 += c;
    }
    *out = winapi::Utf8ToSjis(utf8);
    if (winapi::SjisToUtf8(*out) != utf8 || out->find('\0') != std::string::npos) {
        *message = "text has no Shift-JIS form or holds a NUL";
        return false;
    }
    return true;
}

// NAME or NAME+n → the byte offset in the block; false (message set) outside the variable.
bool ParsePlace(const SobVariableLayout& layout, std::string_view text, bool cell, uint32_t* out, std::string* message)
{
    text = Trim(text);
    int64_t add = 0;
    const size_t plus = text.find('+');
    if (plus != std::string_view::npos) {
        if (!ParseWord(text.substr(plus + 1), &add) || add < 0) {
            *message = "bad offset in '" + std::string(text) + "'";
            return false;
        }
        text = Trim(text.substr(0, plus));
    }
    const int index = layout.Find(text);
    if (index < 0) {
        *message = "unknown variable '" + std::string(text) + "'";
        return false;
    }
    const SobVariableDef& v = layout.variables[index];
    if (add + (cell ? 4 : 1) > static_cast<int64_t>(v.size)) {
        *message = std::string(cell ? "fix-up cell" : "fix-up target") + " outside '" + v.name + "'";
        return false;
    }
    *out = v.offset + static_cast<uint32_t>(add);
    return true;
}

} // namespace

int SobVariableLayout::Find(std::string_view name) const
{
    for (size_t i = 0; i < variables.size(); ++i) {
        if (variables[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

bool ParseSobVariables(std::string_view source, std::string_view fileName, SobVariableLayout* out,
                       std::vector<std::string>* errors)
{
    SobVariableLayout layout;
    size_t errorCount = 0;
    auto error = [&](int line, const std::string& message) {
        ++errorCount;
        if (errors != nullptr)
            errors->push_back(std::string(fileName) + ":" + std::to_string(line) + ": " + message);
    };
    int line = 0;
    size_t start = 0;
    while (start < source.size()) {
        ++line;
        size_t end = source.find('\n', start);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view text = source.substr(start, end - start);
        start = end + 1;
        // A ';' outside quotes starts a comment.
        bool quoted = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '"' && (i == 0 || text[i - 1] != '\\'))
                quoted = !quoted;
            else if (text[i] == ';' && !quoted) {
                text = text.substr(0, i);
                break;
            }
        }
        text = Trim(text);
        if (text.empty())
            continue;
        std::string message;
        if (text.substr(0, 6) == "fixup ") {
            const size_t arrow = text.find("->");
            uint32_t cell, target;
            if (arrow == std::string_view::npos) {
                error(line, "fixup needs NAME+n -> NAME+m");
            } else if (!ParsePlace(layout, text.substr(6, arrow - 6), true, &cell, &message) ||
                       !ParsePlace(layout, text.substr(arrow + 2), false, &target, &message)) {
                error(line, message);
            } else {
                layout.fixups.emplace_back(cell, target);
            }
            continue;
        }
        const size_t equals = text.find('=');
        const std::string_view head = Trim(text.substr(0, equals));
        std::vector<std::string_view> fields;
        for (size_t i = 0; i < head.size();) {
            while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i])))
                ++i;
            size_t j = i;
            while (j < head.size() && !std::isspace(static_cast<unsigned char>(head[j])))
                ++j;
            if (j > i)
                fields.push_back(head.substr(i, j - i));
            i = j;
        }
        int64_t kind, cls, size;
        if (fields.size() != 4 || !ParseWord(fields[1], &kind) || !ParseWord(fields[2], &cls) ||
            !ParseWord(fields[3], &size) || size < 0) {
            error(line, "expected NAME KIND CLASS SIZE [= words | = \"text\"]");
            continue;
        }
        if (!IsSobIdentifier(fields[0]) || fields[0] == "fixup" || layout.Find(fields[0]) >= 0) {
            error(line, "bad or duplicate variable name '" + std::string(fields[0]) + "'");
            continue;
        }
        if (kind < 0 || kind > 2 || cls < 0 || cls > 2) {
            error(line, "kind and class must be 0, 1 or 2");
            continue;
        }
        const uint64_t offset = (layout.block.size() + 3) / 4 * 4;
        if (offset + size > (64u << 20)) {
            error(line, "the data block grows past 64 MiB");
            continue;
        }
        std::string value;
        if (equals != std::string_view::npos) {
            const std::string_view init = Trim(text.substr(equals + 1));
            if (!init.empty() && init.front() == '"') {
                if (!ParseText(init, &value, &message)) {
                    error(line, message);
                    continue;
                }
                value.push_back('\0');
            } else {
                bool ok = !init.empty();
                for (size_t i = 0; ok && i < init.size();) {
                    size_t j = init.find_first_of(" \t,", i);
                    if (j == std::string_view::npos)
                        j = init.size();
                    int64_t word;
                    if (j > i) {
                        ok = ParseWord(init.substr(i, j - i), &word);
                        for (int b = 0; ok && b < 4; ++b)
                            value.push_back(static_cast<char>(static_cast<uint64_t>(word) >> (8 * b)));
                    }
                    i = j + 1;
                }
                if (!ok) {
                    error(line, "bad initial words");
                    continue;
                }
            }
            if (value.size() > static_cast<uint64_t>(size)) {
                error(line, "initial value larger than the variable");
                continue;
            }
        }
        SobVariableDef def;
        def.name = std::string(fields[0]);
        def.kind = static_cast<uint8_t>(kind);
        def.cls = static_cast<uint8_t>(cls);
        def.offset = static_cast<uint32_t>(offset);
        def.size = static_cast<uint32_t>(size);
        layout.block.resize(offset + size, 0);
        std::memcpy(layout.block.data() + offset, value.data(), value.size());
        layout.variables.push_back(def);
    }
    if (errorCount != 0)
        return false;
    *out = std::move(layout);
    return true;
}

std::vector<uint8_t> WriteSobUserVarFile(const SobVariableLayout& layout)
{
    std::vector<uint8_t> out = {'S', 'O', 'B', '1'};
    PutU32(out, static_cast<uint32_t>(layout.block.size()));
    out.insert(out.end(), layout.block.begin(), layout.block.end());
    PutU32(out, static_cast<uint32_t>(layout.variables.size()));
    for (const SobVariableDef& v : layout.variables) {
        out.push_back(v.kind);
        out.push_back(v.cls);
        PutU32(out, v.offset);
        PutU32(out, v.size);
    }
    PutU32(out, static_cast<uint32_t>(layout.fixups.size()));
    for (const auto& [cell, target] : layout.fixups) {
        PutU32(out, cell);
        PutU32(out, target);
    }
    PutU32(out, 0);
    return out;
}

bool WriteSobModuleTable(const std::vector<SobModuleTableRow>& rows, std::vector<uint8_t>* out, std::string* error)
{
    if (rows.size() > 0xFFFF) {
        *error = "more than 65535 modules";
        return false;
    }
    std::vector<uint8_t> bytes;
    PutU16(bytes, static_cast<uint32_t>(rows.size()));
    for (const SobModuleTableRow& row : rows) {
        if (row.name.size() > 254 || row.name.find('\0') != std::string::npos) {
            *error = "module name longer than 254 bytes or holding a NUL: " + row.name;
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(row.name.size() + 1));
        bytes.insert(bytes.end(), row.name.begin(), row.name.end());
        bytes.push_back(0);
        PutU16(bytes, row.readBits);
        PutU16(bytes, row.choiceBits);
    }
    *out = std::move(bytes);
    return true;
}

bool WriteSobLinkable(const SobAssembly& assembly, bool library, const SobVariableLayout* variables,
                      const SobAssembly* libraryAssembly, std::vector<uint8_t>* out, std::string* error)
{
    std::vector<uint32_t> cells = assembly.cells;
    std::vector<std::pair<uint32_t, uint32_t>> tables[SobLinkable::kTableCount];
    for (const SobLinkEntry& link : assembly.links) {
        if (link.table < 1 || link.table > SobLinkable::kTableCount || link.offset % 4 != 0 ||
            link.offset / 4 >= cells.size()) {
            *error = "link entry outside the image";
            return false;
        }
        uint32_t value = link.value;
        if (link.table == SobLinkEntry::UserVariable) {
            const int index = variables != nullptr ? variables->Find(link.symbol) : -1;
            if (index < 0) {
                *error = "unknown user variable '" + link.symbol + "'" + (variables == nullptr ? " (no --vars list)" : "");
                return false;
            }
            value = static_cast<uint32_t>(index);
        } else if (link.table == SobLinkEntry::Library) {
            auto label = libraryAssembly != nullptr ? libraryAssembly->labels.find(link.symbol)
                                                    : std::map<std::string, uint32_t>::const_iterator();
            if (libraryAssembly == nullptr || label == libraryAssembly->labels.end()) {
                *error = "unknown library label '" + link.symbol + "'" + (libraryAssembly == nullptr ? " (no --lib source)" : "");
                return false;
            }
            const int64_t offset = static_cast<int64_t>(label->second) + static_cast<int32_t>(link.value);
            if (offset < 0 || offset > static_cast<int64_t>(libraryAssembly->cells.size() * 4)) {
                *error = "'lib " + link.symbol + "' lies outside the library";
                return false;
            }
            value = static_cast<uint32_t>(offset);
        }
        cells[link.offset / 4] = 0;
        tables[link.table - 1].emplace_back(link.offset, value);
    }
    std::vector<uint8_t> bytes = {'S', 'O', 'B', library ? uint8_t('2') : uint8_t('0')};
    PutU32(bytes, static_cast<uint32_t>(SobLinkable::kTableCount * 4 + assembly.links.size() * 8 + 4));
    for (const auto& table : tables) {
        PutU32(bytes, static_cast<uint32_t>(table.size()));
        for (const auto& [offset, value] : table) {
            PutU32(bytes, offset);
            PutU32(bytes, value);
        }
    }
    PutU32(bytes, 0);
    PutU32(bytes, assembly.codeLength);
    PutU32(bytes, static_cast<uint32_t>(cells.size() * 4));
    for (uint32_t cell : cells)
        PutU32(bytes, cell);
    *out = std::move(bytes);
    return true;
}

SobLinkEntry MakeListingEntry(int table, uint32_t offset, uint32_t value, const SobVariableLayout* variables,
                              const SobAssembly* libraryAssembly)
{
    SobLinkEntry entry{table, offset, value, {}};
    if (table == SobLinkEntry::UserVariable) {
        entry.symbol = variables != nullptr && value < variables->variables.size() ? variables->variables[value].name
                                                                                  : "V" + std::to_string(value);
    } else if (table == SobLinkEntry::Library) {
        entry.symbol = SobLabelName(value);
        if (libraryAssembly != nullptr) {
            for (const auto& [label, at] : libraryAssembly->labels) {
                if (at == value) {
                    entry.symbol = label;
                    break;
                }
            }
        }
    }
    return entry;
}

bool DisassembleSobLinkable(const uint8_t* bytes, size_t size, const SobVariableLayout* variables,
                            const SobAssembly* libraryAssembly, std::string* out, std::string* error)
{
    const bool module = size >= 4 && std::memcmp(bytes, "SOB0", 4) == 0;
    const bool library = size >= 4 && std::memcmp(bytes, "SOB2", 4) == 0;
    SobLinkable image;
    if ((!module && !library) || !ParseSobLinkable(bytes + 4, size - 4, &image)) {
        *error = "not a SOB0 or SOB2 file, or its link header or sizes are damaged";
        return false;
    }
    static const char* const kTableNames[] = {"user variable", "native", "host variable", "library", "own"};
    std::string text = std::string("; ") + (module ? "SOB0 module" : "SOB2 library") + ", code " +
                       std::to_string(image.codeLength) + " bytes, image " + std::to_string(image.imageSize) + " bytes\n";
    SobListingLinks links;
    links.codeLength = image.codeLength;
    for (int t = 0; t < SobLinkable::kTableCount; ++t) {
        const SobLinkTable& table = image.tables[t];
        text += "; table " + std::to_string(t + 1) + " (" + kTableNames[t] + "): " + std::to_string(table.count) +
                " entr" + (table.count == 1 ? "y" : "ies") + "\n";
        for (uint32_t i = 0; i < table.count; ++i) {
            const SobLinkEntry entry = MakeListingEntry(t + 1, table.Offset(i), table.Value(i), variables, libraryAssembly);
            text += ";   " + SobHex(entry.offset) + " -> " + std::to_string(entry.value) + "\n";
            // Cells are 4-byte aligned in images the assembler makes; others show as raw words.
            if (entry.offset % 4 == 0)
                links.cells[entry.offset] = entry;
        }
    }
    *out = text + DisassembleSob(image.image, image.imageSize, 0, &links);
    return true;
}
