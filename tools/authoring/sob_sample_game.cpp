#include "authoring/sob_sample_game.h"

namespace samples {

const char kSobSampleVariables[] = R"(; NAME KIND CLASS SIZE [= initial value]
Score 0 1 4 = 7
Name  1 1 16 = "abc"
Flags 0 2 4 = 1
Temp  2 0 4 = 9
Ptr   0 0 4
fixup Ptr -> Name+1
)";

const char kSobSampleLibrary[] = R"(bump:
    movm uservar Score, b.1     ; patch the add's first operand
b:  add 0, 10, uservar Score
    ret
)";

const char kSobSampleMain[] = R"(main:
    call lib bump
    ncall native 0, args, uservar Flags
    movm hostvar 0, uservar Temp
    deref uservar Name, hostvar 0
    movp 0x44434241, uservar Name
    ret
.data
args: .word 3, 4
)";

bool MakeSobSampleGame(SobSampleGame* out)
{
    std::string error;
    SobAssembly main;
    if (!ParseSobVariables(kSobSampleVariables, "vars.txt", &out->variables, nullptr) ||
        !AssembleSob(kSobSampleLibrary, "lib.txt", &out->libraryAssembly, nullptr) ||
        !AssembleSob(kSobSampleMain, "main.txt", &main, nullptr) ||
        !WriteSobModuleTable({{"MAIN", 16, 8}, {"COMMON", 32, 0}}, &out->moduleTable, &error) ||
        !WriteSobLinkable(out->libraryAssembly, true, &out->variables, nullptr, &out->library, &error) ||
        !WriteSobLinkable(main, false, &out->variables, &out->libraryAssembly, &out->main, &error))
        return false;
    out->userVariables = WriteSobUserVarFile(out->variables);
    return true;
}

} // namespace samples
