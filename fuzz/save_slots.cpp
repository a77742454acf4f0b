// Fuzzes the slot readers over any file: ReadSaveSlotInfo (with and without the thumbnail and the
// wrap), GetSaveTitleText and the listing of a bank as the save dialog fills it. The input is the
// file of Page.1 row 0; every reader answers a code and reads only the file's bytes.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "authoring/save_folder_link.h"
#include "natives/save_slots.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "support/script_host_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSaveFolderLink app;
    static AppConfig config{};
    g_pAppConfig = &config;
    if (app.folder.empty()) {
        app.folder = "Z:" + fuzzhost::Folder() + "/";
        for (char& c : app.folder)
            c = c == '/' ? '\\' : c;
    }
    g_pGameApp = &app;
    std::ofstream(fuzzhost::Folder() + "/DATA0200.SAV", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    CImage thumbnail;
    SaveSlotInfo info;
    for (bool wrap : {false, true}) {
        const int r = ReadSaveSlotInfo(2, 0, wrap ? &thumbnail : nullptr, &info, wrap);
        if (r < -1 || r > 3 || (r == 0 && (info.title.size() > 44 || info.comment.size() > 253 + 6)))
            __builtin_trap();
    }
    std::string title;
    const int t = GetSaveTitleText(&title, 2, 0, 2);
    if (t < -1 || t > 3)
        __builtin_trap();
    for (int slot = 0; slot < 10; ++slot)
        ReadSaveSlotInfo(2, slot, nullptr, &info, false);
    g_pGameApp = nullptr;
    return 0;
}
