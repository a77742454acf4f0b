// Files dropped on a window; see winapi/shell.h.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "winapi/shell.h"
#include "winapi/text.h"

struct HDROP__ {
    std::vector<std::string> names;  // "Z:\" Shift-JIS paths
};

namespace {

std::mutex g_dropMutex;
std::set<HWND> g_accepting;
std::set<HDROP> g_drops;

bool Live(HDROP drop)  // g_dropMutex held
{
    return g_drops.count(drop) != 0;
}

} // namespace

void WINAPI DragAcceptFiles(HWND hwnd, BOOL accept)
{
    std::lock_guard lock(g_dropMutex);
    if (accept)
        g_accepting.insert(hwnd);
    else
        g_accepting.erase(hwnd);
}

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size)
{
    std::lock_guard lock(g_dropMutex);
    if (!Live(drop))
        return 0;
    if (index == 0xFFFFFFFFu)
        return static_cast<UINT>(drop->names.size());
    if (index >= drop->names.size())
        return 0;
    const std::string& name = drop->names[index];
    if (file == nullptr || size == 0)
        return static_cast<UINT>(name.size());
    const size_t length = winapi::SjisPrefixLength(name, size - 1);
    std::memcpy(file, name.data(), length);
    file[length] = 0;
    return static_cast<UINT>(length);
}

void WINAPI DragFinish(HDROP drop)
{
    std::lock_guard lock(g_dropMutex);
    if (g_drops.erase(drop) != 0)
        delete drop;
}

namespace winapi {

void HostDrop(HWND hwnd, const std::vector<std::string>& pathsUtf8, int, int)
{
    auto drop = std::make_unique<HDROP__>();
    for (const std::string& path : pathsUtf8) {
        // The engine could never open a name that Shift-JIS cannot hold.
        if (!Utf8ToSjisChecked(path, nullptr)) {
            std::fprintf(stderr, "tessaro: dropped file left out (no Shift-JIS form): %s\n", path.c_str());
            continue;
        }
        drop->names.push_back(WindowsPathFromLinux(path));
    }
    if (drop->names.empty() || !IsWindow(hwnd))
        return;
    HDROP handle;
    {
        std::lock_guard lock(g_dropMutex);
        if (g_accepting.count(hwnd) == 0)
            return;
        handle = drop.release();
        g_drops.insert(handle);
    }
    if (!PostMessageA(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0))
        DragFinish(handle);
}

} // namespace winapi
