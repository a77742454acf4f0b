// The reliability test's child: a host over the folder given (SCRIPT\USER_VAR.SOB, SAVE\ as the save
// folder) that saves a rising count in its first variable into bank 2, slot 0 until it is killed.
// It says "ready" once the host stands, so the parent's kill lands inside the saves.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "authoring/save_folder_link.h"
#include "drawing/scene.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "natives/main_form.h"
#include "natives/script_host.h"
#include "platform/app_config.h"
#include "raster/image.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string folder = argv[1]; // Windows form, ending in '\'
    uint32_t score = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    if (SetBaseFolder(folder.c_str()) != 0)
        return 2;
    CFileManager manager;
    g_pFileManager = &manager;
    AppConfig config{};
    g_pAppConfig = &config;
    CSaveFolderLink app;
    app.folder = folder + "SAVE\\";
    g_pGameApp = &app;
    CScriptHost host(1u << 20);
    if (host.LoadSystemFiles(nullptr, "SCRIPT\\USER_VAR.SOB", nullptr, true, true) != 0)
        return 2;
    uint32_t at = 0;
    if (!host.VariableValueAddress(kSobLiveCopy, 0, &at))
        return 2;
    CImage screen;
    CScene scene;
    if (screen.Create(160, 120, 32, 0) != 0 || scene.SetTarget(&screen, false) != 0)
        return 2;
    g_MainForm.DetachAndSetTarget(&scene);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;; ++score) {
        host.Memory().Store32(at, score);
        if (host.SaveGame(2, 0) != 0)
            return 3;
    }
}
