// The tools' skin (frames, menus, scroll bar pictures) written into a test's game folder.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/tgs_skin.h"
#include "files/temp_folder.h"

namespace tgsskin {

// Every skin file but those named in leaveOut → true; false with the reason in error.
inline bool WriteSkin(const TempFolder& dir, const std::set<std::string>& leaveOut, std::string* error)
{
    std::vector<TgsSkinFile> files;
    if (!MakeTgsSkin(&files, error))
        return false;
    for (const TgsSkinFile& f : files) {
        if (leaveOut.count(f.name) != 0)
            continue;
        std::filesystem::create_directories(std::filesystem::path(dir.Linux(f.name)).parent_path());
        if (!WriteWholeFile(dir.Linux(f.name), f.bytes.data(), f.bytes.size())) {
            *error = "cannot write " + f.name;
            return false;
        }
    }
    return true;
}

} // namespace tgsskin
