// The smallest whole SOB game, for tests, fuzz seeds and benchmarks: a module table ("MAIN" and
// the common entry "COMMON"), five user variables, a library routine and a MAIN module that
// calls the library and native 0, and reads and writes a variable of each kind and `retTgsExp`
// (host variable 0). Made from source by the module writers.
#pragma once

#include <cstdint>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"

namespace samples {

// Score 0 1 4 = 7, Name 1 1 16 = "abc", Flags 0 2 4 = 1, Temp 2 0 4 = 9, Ptr 0 0 4 and the
// fix-up Ptr -> Name+1.
extern const char kSobSampleVariables[];
// bump: Score += 10, patching its own add.
extern const char kSobSampleLibrary[];
// call lib bump; Flags = native 0 (3, 4); Temp = retTgsExp; retTgsExp = the first word of Name's
// buffer; Name's buffer starts "ABCD"; leave.
extern const char kSobSampleMain[];

struct SobSampleGame {
    std::vector<uint8_t> moduleTable; // SOB_INIT.DAT: MAIN 16 read / 8 choice bits, COMMON 32 / 0
    std::vector<uint8_t> userVariables; // USER_VAR.SOB
    std::vector<uint8_t> library;       // FUNC_LIB.SOB
    std::vector<uint8_t> main;          // MAIN.SOB
    SobVariableLayout variables;
    SobAssembly libraryAssembly;
};

// → false only when the sources above stop assembling.
bool MakeSobSampleGame(SobSampleGame* out);

} // namespace samples
