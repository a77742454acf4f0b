// A temporary game folder for the host's tests: the recording application over its frame, modules
// assembled from source (SCRIPT\NAME.SOB), the user variables of a variable list
// (SCRIPT\USER_VAR.SOB), the file manager on the folder, and a CScriptHost of 1 MiB that loads
// them, with the folder as its save folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "display/screen.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "natives/script_host.h"
#include "script/script_transfer.h"
#include "support/test_game_app.h"

namespace hosttest {

// Header 0 1 8; Comment 1 1 16 = "hello"; Score 0 1 4 = 7; Keep 0 2 4 = 5; Temp 2 0 4 = 9.
constexpr char kVariables[] =
    "Header 0 1 8 = 1, 2\n"
    "Comment 1 1 16 = \"hello\"\n"
    "Score 0 1 4 = 7\n"
    "Keep 0 2 4 = 5\n"
    "Temp 2 0 4 = 9\n";

inline std::string Text(const std::vector<uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

struct HostFixture {
    // First: the frame points the base folder and file manager at the program, the folder's
    // set-up below points them back.
    CTestGameApp app;
    TempFolder dir;
    CFileManager manager;
    SobVariableLayout layout;
    std::unique_ptr<CScriptHost> host;
    // A headless screen published as g_pDisplay by UseScreen (its fonts, surfaces, drawables).
    std::unique_ptr<CScreen> screen;
    CScreen* savedDisplay = nullptr;

    explicit HostFixture(const char* variables = kVariables)
    {
        EXPECT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_pFileManager = &manager;
        std::vector<std::string> errors;
        EXPECT_TRUE(ParseSobVariables(variables, "vars", &layout, &errors)) << (errors.empty() ? "" : errors[0]);
        dir.Write("SCRIPT/USER_VAR.SOB", Text(WriteSobUserVarFile(layout)));
    }
    ~HostFixture()
    {
        host.reset();
        if (screen) {
            g_pDisplay = savedDisplay;
            screen.reset();
        }
        g_pFileManager = nullptr;
    }

    CScreen& UseScreen()
    {
        if (!screen) {
            screen = std::make_unique<CScreen>();
            savedDisplay = g_pDisplay;
            g_pDisplay = screen.get();
        }
        return *screen;
    }

    // Assembles source into SCRIPT\NAME.SOB.
    void Module(const std::string& name, const std::string& source)
    {
        SobAssembly assembly;
        std::vector<std::string> errors;
        ASSERT_TRUE(AssembleSob(source, name, &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
        dir.Write("SCRIPT/" + name + ".SOB", Text(bytes));
    }

    // A fresh host with the variables loaded and the folder as save folder.
    CScriptHost& Start(uint32_t stackCells = 0)
    {
        host.reset();
        host = std::make_unique<CScriptHost>(1u << 20);
        if (stackCells != 0) {
            EXPECT_EQ(host->SetStackSize(stackCells), 0);
        }
        EXPECT_EQ(host->LoadSystemFiles(nullptr, "SCRIPT\\USER_VAR.SOB", nullptr, true, true), 0);
        host->SetReadLogFolder(dir.Windows().c_str());
        return *host;
    }

    uint32_t Address(const char* variable) const
    {
        const int i = layout.Find(variable);
        EXPECT_GE(i, 0);
        return host->VariableRecords()[static_cast<size_t>(i)].address;
    }
    // The first word of a variable's value (through the pointer cell for kind 1).
    uint32_t Word(const char* variable, SobVarCopy copy = kSobLiveCopy) const
    {
        uint32_t at = 0, v = 0;
        EXPECT_TRUE(host->VariableValueAddress(copy, static_cast<size_t>(layout.Find(variable)), &at));
        host->Memory().Load32(at, &v);
        return v;
    }
    void SetWord(const char* variable, uint32_t value)
    {
        uint32_t at = 0;
        EXPECT_TRUE(host->VariableValueAddress(kSobLiveCopy, static_cast<size_t>(layout.Find(variable)), &at));
        host->Memory().Store32(at, value);
    }
};

} // namespace hosttest
