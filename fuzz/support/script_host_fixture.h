// The system-script host the host harnesses fuzz against: 4 MiB of script memory, the sample
// game's variables (live, initial and snapshot), and a temporary game folder as the base and save
// folder, made once per process.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "natives/script_host.h"
#include "support/sob_runtime_fixture.h"

namespace fuzzhost {

// The folder, the file manager and the host, made on first use and removed at exit.
struct HostFixture {
    std::string folder;
    CFileManager manager;
    std::unique_ptr<CScriptHost> host;

    HostFixture()
    {
        folder = (std::filesystem::temp_directory_path() / "tessaro-fuzz-host-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr)
            __builtin_trap();
        std::string windows = "Z:" + folder + "/";
        for (char& c : windows)
            c = c == '/' ? '\\' : c;
        if (SetBaseFolder(windows.c_str()) != 0)
            __builtin_trap();
        g_pFileManager = &manager;
        host = std::make_unique<CScriptHost>(4u << 20);
        const samples::SobSampleGame& game = fuzzsob::Game();
        if (host->LoadUserVariables(game.userVariables.data(), game.userVariables.size(), true, true) != 0)
            __builtin_trap();
        host->SetReadLogFolder(windows.c_str());
    }
    ~HostFixture()
    {
        host.reset();
        g_pFileManager = nullptr;
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
};

inline HostFixture& Fixture()
{
    static HostFixture fixture;
    return fixture;
}

inline CScriptHost& Host()
{
    return *Fixture().host;
}

// The game folder as a Linux path.
inline const std::string& Folder()
{
    return Fixture().folder;
}

} // namespace fuzzhost
