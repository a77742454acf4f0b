// The SOB assembler and disassembler: programs against cells written by hand from the opcode
// table, link entries, error lines, and a listing of every opcode that assembles back.
#include <gtest/gtest.h>

#include "authoring/sob_assembler.h"
#include "script/script_memory.h"
#include "script/sob_instructions.h"

namespace {

SobAssembly Assemble(const std::string& source)
{
    SobAssembly a;
    std::vector<std::string> errors;
    EXPECT_TRUE(AssembleSob(source, "t.sob", &a, &errors)) << (errors.empty() ? "" : errors[0]);
    return a;
}

std::vector<uint32_t> Resolved(const SobAssembly& a, uint32_t base)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ResolveSob(a, base, &bytes, &error)) << error;
    std::vector<uint32_t> cells(bytes.size() / 4);
    std::memcpy(cells.data(), bytes.data(), cells.size() * 4);
    return cells;
}

TEST(SobAssembler, ProgramsGiveTheCellsOfTheOpcodeTable)
{
    const struct {
        const char* name;
        const char* source;
        std::vector<uint32_t> cells; // placed at 0x10000
    } cases[] = {
        {"arithmetic with negative and hex values", "add -1, 0x10, 0x20000 ; comment\n",
         {13, 0xFFFFFFFFu, 0x10, 0x20000}},
        {"labels, label+n and label.k", "start: mov 7, next.2\nnext: add start, start+8, next.3\n",
         {31, 7, 0x10014, 13, 0x10000, 0x10008, 0x10018}},
        {"label on its own line and upper-case mnemonic", "x:\n JMP x\n", {6, 0x10000}},
        {"switch adds the end cell", "s: switch 1, s, t\nt: yield\n", {7, 1, 0x10000, 0x10014, 0xFFFFFFFFu, 0}},
        {"native operand", "ncall native 12, a, a\na: .word 5\n", {5, 0x7F00000Cu, 0x10010, 0x10010, 5}},
        {"stack slots", "sget 4, 0x10000\nsset -1, 8\n", {35, 4, 0x10000, 34, 0xFFFFFFFFu, 8}},
        {"data directives", ".word 1, -2, w\nw: .space 5\n.word 0xFFFFFFFF\n",
         {1, 0xFFFFFFFEu, 0x1000C, 0, 0, 0xFFFFFFFFu}},
        {"Shift-JIS text with its NUL, padded to a cell", ".sjis \"日本\"\n.sjis \"a;b\\n\"\n",
         {0x7B96FA93u, 0, 0x0A623B61u, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Resolved(Assemble(c.source), 0x10000), c.cells);
    }
}

TEST(SobAssembler, ResultHoldsCodeLengthLabelsAndLinkEntries)
{
    const SobAssembly a = Assemble("main: push uservar FLAG\n"
                                   "      pushm hostvar 3\n"
                                   "      call lib helper+8\n"
                                   "      ncall native 2, data, data\n"
                                   ".data\n"
                                   "data: .word main\n");
    EXPECT_EQ(a.codeLength, 40u);
    EXPECT_EQ(a.labels.at("data"), 40u);
    ASSERT_EQ(a.links.size(), 7u);
    const struct {
        int table;
        uint32_t offset, value;
        const char* symbol;
    } expected[] = {
        {SobLinkEntry::UserVariable, 4, 0, "FLAG"}, {SobLinkEntry::HostVariable, 12, 3, ""},
        {SobLinkEntry::Library, 20, 8, "helper"},   {SobLinkEntry::Native, 28, 2, ""},
        {SobLinkEntry::Own, 32, 40, ""},            {SobLinkEntry::Own, 36, 40, ""},
        {SobLinkEntry::Own, 40, 0, ""},
    };
    for (size_t i = 0; i < a.links.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.links[i].table, expected[i].table);
        EXPECT_EQ(a.links[i].offset, expected[i].offset);
        EXPECT_EQ(a.links[i].value, expected[i].value);
        EXPECT_EQ(a.links[i].symbol, expected[i].symbol);
    }
    // Placing needs the runtime for those links.
    CScriptMemory memory(4096);
    std::string error;
    EXPECT_FALSE(PlaceSob(a, memory, 0x10000, &error));
    EXPECT_NE(error.find("user variable"), std::string::npos);
    EXPECT_FALSE(PlaceSob(Assemble(".space 8\n"), memory, memory.End() - 4, &error));
    EXPECT_TRUE(PlaceSob(Assemble(".space 8\n"), memory, memory.End() - 8, &error));
}

TEST(SobAssembler, ErrorsNameFileAndLine)
{
    const struct {
        const char* source;
        const char* error;
    } cases[] = {
        {"yield\nfrob 1\n", "t.sob:2: unknown mnemonic 'frob'"},
        {"add 1, 2\n", "t.sob:1: 'add' takes 3 operands, 2 given"},
        {"yield 1\n", "t.sob:1: 'yield' takes 0 operands, 1 given"},
        {"switch\n", "t.sob:1: 'switch' takes 1 operand and its targets, 0 given"},
        {"jmp nowhere\n", "t.sob:1: undefined label 'nowhere'"},
        {"a: yield\n\na: yield\n", "t.sob:3: duplicate label 'a'"},
        {"push 0x100000000\n", "t.sob:1: value outside 32 bits: 0x100000000"},
        {"push -2147483649\n", "t.sob:1: value outside 32 bits: -2147483649"},
        {"push 12ab\n", "t.sob:1: bad number '12ab'"},
        {"mov 1, native 3\n", "t.sob:1: operand 2 of 'mov' must be an address, not 'native 3'"},
        {"x: sinc x\n", "t.sob:1: operand 1 of 'sinc' must be a stack offset (a number), not 'x'"},
        {"jmp uservar V\n", "t.sob:1: operand 1 of 'jmp' must be a code address, not 'uservar V'"},
        {"x: jmp x.2\n", "t.sob:1: 'x.2': no cell 2 in the instruction at 'x'"},
        {"x: .word x.1\n", "t.sob:1: 'x.1': no cell 1 in the instruction at 'x'"},
        {".sjis \"\xF0\x9F\x98\x80\"\n", "t.sob:1: text has no Shift-JIS form"},
        {".sjis abc\n", "t.sob:1: .sjis needs one quoted string"},
        {".space -1\n", "t.sob:1: .space needs a byte count from 0 to 67108864"},
        {".data\n.data\n", "t.sob:2: second .data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        SobAssembly a;
        std::vector<std::string> errors;
        EXPECT_FALSE(AssembleSob(c.source, "t.sob", &a, &errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors[0], c.error);
    }
    // Every bad line is reported, not only the first.
    SobAssembly a;
    std::vector<std::string> errors;
    EXPECT_FALSE(AssembleSob("frob\nyield\nfrob\n", "t.sob", &a, &errors));
    EXPECT_EQ(errors.size(), 2u);
}

TEST(SobAssembler, ListingOfEveryOpcodeAssemblesBackToTheSameBytes)
{
    std::string source = "top:\n";
    for (const SobInstructionInfo& info : kSobInstructions) {
        source += std::string("    ") + info.mnemonic;
        const std::string operands = info.operands;
        for (size_t k = 0; k < operands.size(); ++k) {
            source += k == 0 ? " " : ", ";
            switch (operands[k]) {
            case 'V': source += info.opcode == 5 ? "native 4" : "-3"; break;
            case 'A': source += "cell"; break;
            case 'S': source += "8"; break;
            case 'C': source += "top"; break;
            }
        }
        if (info.opcode == kSobSwitchOpcode)
            source += ", top, cell";
        source += "\n";
    }
    source += "cell: .word 47, 0xFFFFFFFF, 0x7F000001\n"
              "     .sjis \"かな\"\n";
    const uint32_t base = 0x12340;
    std::vector<uint32_t> cells = Resolved(Assemble(source), base);
    cells.push_back(13); // an add cut off by the end of the image
    cells.push_back(1);
    std::vector<uint8_t> bytes(cells.size() * 4);
    std::memcpy(bytes.data(), cells.data(), bytes.size());

    const std::string listing = DisassembleSob(bytes.data(), bytes.size(), base);
    EXPECT_NE(listing.find("L00012340:"), std::string::npos) << listing;
    EXPECT_NE(listing.find("ncall native 4, 2130706436, 0x"), std::string::npos) << listing;
    EXPECT_NE(listing.find(".word 0x0000002F"), std::string::npos) << listing;
    EXPECT_EQ(Resolved(Assemble(listing), base), cells) << listing;
}

} // namespace
