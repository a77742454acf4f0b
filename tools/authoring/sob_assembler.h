// The SOB assembler and disassembler: text with one statement a line (mnemonics of the
// instruction table, labels, data directives) to the cells of a module image, and cells back to
// text. docs/sob-assembly.md describes the syntax and the address map.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CScriptMemory;

// One cell that the runtime's linker writes, in the module format's terms.
struct SobLinkEntry {
    enum Table : int { UserVariable = 1, Native = 2, HostVariable = 3, Library = 4, Own = 5 };
    int table;
    uint32_t offset;    // byte offset of the cell in the image
    uint32_t value;     // native or host-variable number; byte offset for Own and Library
    std::string symbol; // uservar NAME / lib LABEL: the name the module writer resolves
};

struct SobAssembly {
    std::vector<uint32_t> cells;     // unlinked: own and library cells hold their offset, others 0 or the number
    uint32_t codeLength = 0;         // bytes of code (up to .data, or the whole image)
    std::vector<SobLinkEntry> links; // in source order
    std::map<std::string, uint32_t> labels; // byte offsets in the image
};

// Assembles UTF-8 source. → true; false with one "FILE:LINE: message" line per error (unknown
// mnemonic, wrong operand count or kind, undefined or duplicate label, value outside 32 bits, ...).
bool AssembleSob(std::string_view source, std::string_view fileName, SobAssembly* out,
                 std::vector<std::string>* errors);

// The image's bytes placed at base: own references become base + offset, natives 0x7F000000 + n.
// → false with a message when a user-variable, host-variable or library link remains (those need
// the runtime) or the image does not fit below 4 GiB at base.
bool ResolveSob(const SobAssembly& assembly, uint32_t base, std::vector<uint8_t>* bytes, std::string* error);
// ResolveSob, then the bytes written into script memory at address. → false with a message also
// when the image does not fit inside script memory there.
bool PlaceSob(const SobAssembly& assembly, CScriptMemory& memory, uint32_t address, std::string* error);

// Blanks trimmed from both ends. A decimal or 0x hex integer, optionally signed: nullopt when
// malformed; *tooLarge when it lies outside [-2^31, 2^32 - 1].
std::string_view TrimSob(std::string_view s);
std::optional<int64_t> ParseSobInteger(std::string_view s, bool* tooLarge);

// Names as listings write them: a label "L%08X" of an address, a word "0x%08X"; and whether a
// text is a label or variable name (letters, digits, '_', not starting with a digit).
std::string SobLabelName(uint32_t address);
std::string SobHex(uint32_t value);
bool IsSobIdentifier(std::string_view text);

// The link references of a linkable image, for its listing.
struct SobListingLinks {
    std::map<uint32_t, SobLinkEntry> cells; // by byte offset; symbol = the name for tables 1 and 4
    uint32_t codeLength = 0;                // .data is written before the first line at or past it
};

// A listing of a flat image placed at base: one instruction a line with its address in a
// comment, code targets inside the image as labels, undecodable cells as .word. Assembling it
// and resolving at the same base gives the same bytes (a trailing part of a cell is dropped).
// With links, linked cells are written as references (own ones as labels) and .data is placed.
std::string DisassembleSob(const uint8_t* bytes, size_t size, uint32_t base, const SobListingLinks* links = nullptr);
