// Writers of the SOB runtime's files: SOB0 modules and the SOB2 library from assembled source
// (the link tables made from the assembly's link entries), USER_VAR.SOB from a variable list,
// SOB_INIT.DAT from module rows, and a listing of a SOB0 / SOB2 file. docs/sob-assembly.md
// describes the variable-list syntax.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/sob_assembler.h"

struct SobVariableDef {
    std::string name;
    uint8_t kind = 0;    // 0 direct, 1 through a pointer cell, 2 never saved
    uint8_t cls = 0;     // 0, 1 per save slot, 2 persistent
    uint32_t offset = 0; // in the data block
    uint32_t size = 0;
};

struct SobVariableLayout {
    std::vector<SobVariableDef> variables; // record numbers are positions
    std::vector<uint8_t> block;            // initial contents of the data block
    std::vector<std::pair<uint32_t, uint32_t>> fixups; // cell offset, target offset
    // Record number of a variable, -1 when none.
    int Find(std::string_view name) const;
};

// Parses a variable list: lines `NAME KIND CLASS SIZE [= words | = "text"]` laid out in order at
// 4-byte aligned offsets, and `fixup NAME+n -> NAME+m`. → true; false with "FILE:LINE: message"
// lines (bad or duplicate name, kind or class above 2, initial value larger than the variable,
// text without a Shift-JIS form, fix-up outside its variable, ...).
bool ParseSobVariables(std::string_view source, std::string_view fileName, SobVariableLayout* out,
                       std::vector<std::string>* errors);
// "SOB1", D, the block, the records, the fix-ups, the 0 end word.
std::vector<uint8_t> WriteSobUserVarFile(const SobVariableLayout& layout);

struct SobModuleTableRow {
    std::string name; // Shift-JIS, without NUL, at most 254 bytes
    uint16_t readBits = 0;
    uint16_t choiceBits = 0;
};
// The module table (the last row is the common entry) → false for more than 65535 rows or a
// name longer than 254 bytes or holding a NUL.
bool WriteSobModuleTable(const std::vector<SobModuleTableRow>& rows, std::vector<uint8_t>* out, std::string* error);

// "SOB0" (or "SOB2" for the library) and the linkable image: own references go to table 5,
// natives to 2, `uservar NAME` to 1 (record numbers from variables), `hostvar N` to 3 and
// `lib LABEL` to 4 (offsets from the library's assembly). Linked cells are written as 0.
// → false with a message for an unknown variable or library label, or a reference that needs a
// list that was not given.
bool WriteSobLinkable(const SobAssembly& assembly, bool library, const SobVariableLayout* variables,
                      const SobAssembly* libraryAssembly, std::vector<uint8_t>* out, std::string* error);

// A link entry as listings write it: the variable's name (V<n> without a list) for table 1, the
// library label at the offset (L<offset> without the library's assembly) for table 4.
SobLinkEntry MakeListingEntry(int table, uint32_t offset, uint32_t value, const SobVariableLayout* variables,
                              const SobAssembly* libraryAssembly);

// A listing of a SOB0 or SOB2 file: its link tables as comments, then the code at base 0 with
// linked cells written as in the source (`uservar NAME` from variables when given, else V<n>;
// `lib` labels from the library's assembly when given, else L<offset>). → false with a message
// for a damaged file.
bool DisassembleSobLinkable(const uint8_t* bytes, size_t size, const SobVariableLayout* variables,
                            const SobAssembly* libraryAssembly, std::string* out, std::string* error);
