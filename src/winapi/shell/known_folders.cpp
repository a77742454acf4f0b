// The shell's known folders (CSIDL) over the XDG folders; see winapi/shell.h.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "winapi/shell.h"
#include "winapi/text.h"

namespace {

std::string Home()
{
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? home : "/";
}

// $XDG_<NAME>_DIR of user-dirs.dirs ("$HOME/..." or an absolute path), else $HOME/fallback.
std::string UserDir(const char* name, const char* fallback)
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = configHome != nullptr && configHome[0] == '/' ? configHome : Home() + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    const std::string key = std::string("XDG_") + name + "_DIR=";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            return Home() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return Home() + "/" + fallback;
}

std::string DataHome()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    return data != nullptr && data[0] == '/' ? data : Home() + "/.local/share";
}

bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL create)
{
    if (path == nullptr)
        return FALSE;
    std::string folder;
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: folder = UserDir("DESKTOP", "Desktop"); break;
    case CSIDL_PERSONAL: folder = UserDir("DOCUMENTS", "Documents"); break;
    case CSIDL_MYPICTURES: folder = UserDir("PICTURES", "Pictures"); break;
    case CSIDL_APPDATA:
    case CSIDL_COMMON_APPDATA: folder = DataHome(); break;
    default: return FALSE;
    }
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 && (!create || !MakeFolders(folder)))
        return FALSE;
    if (!winapi::Utf8ToSjisChecked(folder, nullptr))
        return FALSE;
    const std::string windows = winapi::WindowsPathFromLinux(folder);
    if (windows.size() >= MAX_PATH)
        return FALSE;
    std::memcpy(path, windows.c_str(), windows.size() + 1);
    return TRUE;
}
