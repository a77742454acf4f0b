#include "game/game_main.h"

#include <cstdio>
#include <cstdlib>

#include "game/game_app.h"
#include "raster/pixel_lib.h"
#include "script/script_stop.h"
#include "sound/sound_device_source.h"
#include "winapi/dsound.h"
#include "winapi/end_session.h"
#include "winapi/host_headless.h"
#include "winapi/kernel.h"
#include "winapi/movie.h"

bool GameCommandLine(const char* argument, std::string* commandLine)
{
    if (argument == nullptr) {
        commandLine->clear();
        return true;
    }
    if (argument[0] == '/' && (argument[1] == 'L' || argument[1] == 'l')) {
        *commandLine = argument;
        return true;
    }
    std::string folder;
    if (!winapi::WindowsFolderFromHost(argument, &folder))
        return false;
    *commandLine = "/L" + folder;
    return true;
}

int GameMain(int argc, char** argv)
{
    std::string commandLine;
    if (argc > 2 || !GameCommandLine(argc == 2 ? argv[1] : nullptr, &commandLine)) {
        std::fprintf(stderr, "usage: tessaro [GAME FOLDER]\n"
                             "  GAME FOLDER  an existing folder whose name has a Shift-JIS form (default: the program's)\n");
        return kExitUsage;
    }
    // First, so that a signal never meets the default action once the game is under way: the
    // session's end saves and exits 0; a script that never yields is stopped after its grace.
    winapi::InstallEndSessionSignals([] { RequestScriptStop(CGameApp::kScriptStopGraceMs, true); });
    RegisterPixelLibraryModule();
    RegisterMovieModules();
    InstallSoundDeviceSource(); // the report and the frame read the sound layer's device list
    winapi::HeadlessHost* headless = winapi::CurrentHeadlessHost();
    if (headless != nullptr)
        headless->SetEchoMessageBoxes(true);
    // The player's input from a file, for plays without a screen; its times count from here.
    if (const char* play = std::getenv("TESSARO_PLAY"); play != nullptr && *play != 0) {
        std::string error;
        if (headless == nullptr) {
            std::fprintf(stderr, "tessaro: TESSARO_PLAY is played on the headless host only (TESSARO_HOST=headless); "
                                 "ignored\n");
        } else if (!headless->StartPlayScript(play, &error)) {
            std::fprintf(stderr, "tessaro: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    // Nobody reads the mix back here: it goes only to TESSARO_AUDIO_WAV when that names a file.
    winapi::DsoundKeepRecording(false);
    int status;
    {
        CGameApp app;
        status = app.Run(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
        if (status == 0 && app.GetEndCode() > 0)
            status = kExitGameError + app.GetEndCode();
    }
    return status;
}
