// Fuzzes the game's start-up over its files: the input is split into KW_APP.SYS, KW_APP.INF,
// USER.CFG, APP_CFG.DAT and SET_UP.IFG (five u16 lengths, then the bytes) in a temporary game
// folder, with HOME and the XDG folders in temporary folders too; SetAppInfo runs on the headless
// host with every box answered by its first button: a known code, never a crash or a read past a
// block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "files/path_utils.h"
#include "game/game_app.h"
#include "support/fuzz_input.h"
#include "winapi/host_headless.h"

namespace {

std::string MakeFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-fuzz-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    winapi::CurrentHost();
    if (winapi::CurrentHeadlessHost() == nullptr)
        return 0;
    static const char* const kFiles[] = {"SCRIPT/KW_APP.SYS", "SCRIPT/KW_APP.INF", "USER.CFG", "APP_CFG.DAT",
                                         "SET_UP.IFG"};
    FuzzInput in{data, size};
    size_t lengths[5];
    for (size_t& length : lengths)
        length = in.U16();
    const std::string game = MakeFolder(), home = MakeFolder();
    if (game.empty() || home.empty())
        return 0;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    size_t at = in.pos;
    for (int i = 0; i < 5; ++i) {
        const size_t take = std::min(lengths[i], size - at);
        WriteFile(game + "/" + kFiles[i], data + at, take);
        if (i == 3)  // mode 1 reads it from SAVEDATA
            WriteFile(game + "/SAVEDATA/APP_CFG.DAT", data + at, take);
        at += take;
    }
    {
        CGameApp app;
        std::string windows = "Z:" + game + "/";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        const int code = app.SetAppInfo();
        if (code < 0 || code > 4)
            std::abort();
        if (code == 0)
            app.SaveSettings(0);
    }
    std::error_code error;
    std::filesystem::remove_all(game, error);
    std::filesystem::remove_all(home, error);
    return 0;
}
