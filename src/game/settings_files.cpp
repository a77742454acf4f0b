#include "game/settings_files.h"

#include "files/safe_file_writer.h"
#include "winapi/kernel.h"

int WriteSettingsFiles(SettingsState* state, const std::string& userFolder, const std::string& saveFolder)
{
    state->user.user[kUserSyncMode] = state->savedSyncMode;
    state->user.user[kUserHighResTimer] = state->savedTimerFlag;
    if (state->config.keepWindowPosition == 0)
        state->user.frame.windowX = state->user.frame.windowY = -1;
    const std::vector<uint8_t> user = BuildUserCfg(state->user);
    if (WriteFileReplacing((userFolder + "USER.CFG").c_str(), user.data(), user.size()) != 0)
        return 1;
    const std::vector<uint8_t> app = BuildAppCfg(state->config);
    if (WriteFileReplacing((saveFolder + "APP_CFG.DAT").c_str(), app.data(), app.size()) != 0)
        return 2;
    return 0;
}

bool ReadWholeGameFile(const std::string& path, std::vector<uint8_t>* out)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE && size <= (64u << 20);
    if (ok) {
        out->resize(size);
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, out->data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return ok;
}
