// The scenario packer: the scenario source language (docs/tob-scenario.md) to TOB0/TOB1 files,
// their listing and disassembly back to source, and the script table TGS_INIT.DAT. Expressions
// are lowered to SOB assembly and assembled by the SOB assembler; inline code is SOB assembly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"

// The name of command n as pack and dis write it ("cmd N" when it has none), and the number of a
// name (-1 when unknown).
std::string TobCommandName(uint32_t command);
int TobCommandNumber(std::string_view name);

struct TobPackOptions {
    bool tob1 = false;                            // "TOB1" with a per-message word array
    const SobVariableLayout* variables = nullptr; // numbers and kinds of VAR names (sob vars format)
    const SobAssembly* library = nullptr;         // places `lib` labels of inline code
};

// Packs UTF-8 source → true; false with one "FILE:LINE: message" line per error.
bool PackTob(std::string_view source, std::string_view fileName, const TobPackOptions& options,
             std::vector<uint8_t>* out, std::vector<std::string>* errors);

// The message count of a TOB file → false for a damaged file.
bool TobMessageCount(const uint8_t* bytes, size_t size, uint32_t* count);
// Header, labels and messages of a TOB file → false with a message for a damaged file.
bool ListTob(const uint8_t* bytes, size_t size, std::string* out, std::string* error);
// The file as source (text, commands, expressions and inline code as SOB assembly); packing it
// with the same options gives the same bytes. → false with a message for a damaged file or a
// record that cannot be read.
bool DisassembleTob(const uint8_t* bytes, size_t size, const SobVariableLayout* variables,
                    const SobAssembly* library, std::string* out, std::string* error);

struct TgsInitRow {
    std::string name; // Shift-JIS, without NUL, at most 254 bytes
    uint32_t readBits = 0;
    uint32_t secondBits = 0;
};
// u32 count, then per row u8 length (with NUL), the name, NUL, u32 read bits, u32 second bits →
// false for a name longer than 254 bytes, empty, or holding a NUL.
bool WriteTgsInit(const std::vector<TgsInitRow>& rows, std::vector<uint8_t>* out, std::string* error);
