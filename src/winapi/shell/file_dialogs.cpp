// The common open and save dialogs and the folder browser over the dialog back-end; see
// winapi/shell.h. Each dialog has a window of record (hidden, owned by the caller's window) that
// the hook and the browser callback see; the choice comes back as a "Z:\" Shift-JIS path.
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "winapi/shell.h"
#include "winapi/shell/dialog_backend.h"
#include "winapi/text.h"

namespace {

using winapi::shell::DialogAnswer;
using winapi::shell::DialogRequest;

thread_local DWORD t_dialogError = 0;

constexpr char kDialogClass[] = "TessaroShellDialog";

// The browser's starting folder, set through BFFM_SETSELECTIONA.
std::mutex g_selectionMutex;
std::map<HWND, std::string> g_selections;

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == BFFM_SETSELECTIONA && wParam != 0 && lParam != 0) {
        std::lock_guard lock(g_selectionMutex);
        g_selections[hwnd] = reinterpret_cast<const char*>(lParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The dialog's window of record and the child that the hook is given.
struct DialogWindows {
    explicit DialogWindows(HWND owner)
    {
        static std::once_flag once;
        std::call_once(once, [] {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = DialogWindowProc;
            wc.lpszClassName = kDialogClass;
            RegisterClassExA(&wc);
        });
        dialog = CreateWindowExA(0, kDialogClass, "", WS_POPUP, 0, 0, 0, 0, owner, nullptr, nullptr, nullptr);
        child = CreateWindowExA(0, kDialogClass, "", WS_CHILD, 0, 0, 0, 0, dialog, nullptr, nullptr, nullptr);
    }
    ~DialogWindows()
    {
        {
            std::lock_guard lock(g_selectionMutex);
            g_selections.erase(dialog);
        }
        DestroyWindow(dialog);
    }
    std::string Selection() const
    {
        std::lock_guard lock(g_selectionMutex);
        auto it = g_selections.find(dialog);
        return it == g_selections.end() ? std::string() : it->second;
    }
    HWND dialog = nullptr;
    HWND child = nullptr;
};

// The Linux folder of a Windows path; empty when it cannot be resolved.
std::string LinuxFolder(const char* windowsPath)
{
    std::string linux;
    if (windowsPath == nullptr || windowsPath[0] == 0 || !winapi::ResolvePath(windowsPath, &linux))
        return std::string();
    return linux;
}

// Offset of the last component of a Shift-JIS path (a trail byte 0x5C is no separator).
size_t NameOffset(const std::string& path)
{
    size_t offset = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            offset = i + 1;
    }
    return offset;
}

size_t ExtensionOffset(const std::string& path, size_t nameOffset)
{
    size_t dot = std::string::npos;
    for (size_t i = nameOffset; i < path.size(); ++i) {
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == '.')
            dot = i;
    }
    return dot == std::string::npos ? path.size() : dot + 1;
}

BOOL ShowFileDialog(LPOPENFILENAMEA ofn, DialogRequest::Kind kind)
{
    t_dialogError = 0;
    if (ofn == nullptr || ofn->lStructSize != sizeof(OPENFILENAMEA)) {
        t_dialogError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    DialogRequest request;
    request.kind = kind;
    request.titleUtf8 = ofn->lpstrTitle != nullptr ? winapi::SjisToUtf8(ofn->lpstrTitle) : "";
    for (const char* p = ofn->lpstrFilter; p != nullptr && *p != 0;) {
        winapi::shell::DialogFilter filter;
        filter.nameUtf8 = winapi::SjisToUtf8(p);
        p += std::strlen(p) + 1;
        const std::string patterns = winapi::SjisToUtf8(p);
        for (size_t start = 0; start <= patterns.size();) {
            const size_t end = std::min(patterns.find(';', start), patterns.size());
            if (end > start)
                filter.patterns.push_back(patterns.substr(start, end - start));
            start = end + 1;
        }
        request.filters.push_back(filter);
        if (*p == 0)
            break;
        p += std::strlen(p) + 1;
    }
    request.filterIndex = ofn->nFilterIndex > 0 ? static_cast<int>(ofn->nFilterIndex) - 1 : 0;
    request.folderLinux = LinuxFolder(ofn->lpstrInitialDir);
    if (ofn->lpstrFile != nullptr && ofn->nMaxFile > 0) {
        const std::string given(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
        request.nameUtf8 = winapi::SjisToUtf8(given.substr(NameOffset(given)));
    }
    request.overwritePrompt = (ofn->Flags & OFN_OVERWRITEPROMPT) != 0;

    DialogWindows windows(ofn->hwndOwner);
    const bool hooked = (ofn->Flags & OFN_ENABLEHOOK) != 0 && ofn->lpfnHook != nullptr;
    if (hooked) {
        ofn->lpfnHook(windows.child, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(ofn));
        OFNOTIFYA notify{{windows.child, 0, CDN_INITDONE}, ofn, nullptr};
        ofn->lpfnHook(windows.child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    }
    DialogAnswer answer = winapi::shell::RunDialog(request);
    if (hooked)
        ofn->lpfnHook(windows.child, WM_DESTROY, 0, 0);
    if (answer.result == DialogAnswer::NoDisplay) {
        t_dialogError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (answer.result != DialogAnswer::Chosen)
        return FALSE;
    std::string sjis;
    if (!winapi::Utf8ToSjisChecked(answer.pathLinux, &sjis)) {
        t_dialogError = FNERR_INVALIDFILENAME;
        return FALSE;
    }
    std::string path = winapi::WindowsPathFromLinux(answer.pathLinux);
    size_t nameOffset = NameOffset(path);
    if (kind == DialogRequest::Save && ofn->lpstrDefExt != nullptr && ofn->lpstrDefExt[0] != 0 &&
        ExtensionOffset(path, nameOffset) == path.size())
        path += std::string(".") + ofn->lpstrDefExt;
    if (ofn->lpstrFile == nullptr || path.size() + 1 > ofn->nMaxFile) {
        if (ofn->lpstrFile != nullptr && ofn->nMaxFile >= 2) {
            const auto needed = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
            std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
        }
        t_dialogError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    ofn->nFileOffset = static_cast<WORD>(nameOffset);
    ofn->nFileExtension = static_cast<WORD>(ExtensionOffset(path, nameOffset));
    if (ofn->lpstrFileTitle != nullptr && ofn->nMaxFileTitle > 0) {
        const std::string name = path.substr(nameOffset);
        const size_t length = winapi::SjisPrefixLength(name, ofn->nMaxFileTitle - 1);
        std::memcpy(ofn->lpstrFileTitle, name.data(), length);
        ofn->lpstrFileTitle[length] = 0;
    }
    ofn->nFilterIndex = static_cast<DWORD>(answer.filterIndex + 1);
    return TRUE;
}

// The shell's allocator: plain heap blocks; one object for the process.
class CShellMalloc final : public IMalloc {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = iid == IID_IUnknown ? static_cast<IMalloc*>(this) : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void* Alloc(SIZE_T size) override { return std::malloc(size != 0 ? size : 1); }
    void* Realloc(void* block, SIZE_T size) override { return std::realloc(block, size != 0 ? size : 1); }
    void Free(void* block) override { std::free(block); }
};

CShellMalloc g_shellMalloc;

} // namespace

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn)
{
    return ShowFileDialog(ofn, DialogRequest::Open);
}

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn)
{
    return ShowFileDialog(ofn, DialogRequest::Save);
}

DWORD WINAPI CommDlgExtendedError()
{
    return t_dialogError;
}

HRESULT WINAPI SHGetMalloc(LPMALLOC* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = &g_shellMalloc;
    return S_OK;
}

// An item list of the stand-in: the folder's "Z:\" path, with its NUL.
struct SHITEMID {
    char path[1];
};

LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA info)
{
    if (info == nullptr)
        return nullptr;
    DialogWindows windows(info->hwndOwner);
    if (info->lpfn != nullptr)
        info->lpfn(windows.dialog, BFFM_INITIALIZED, 0, info->lParam);
    DialogRequest request;
    request.kind = DialogRequest::Folder;
    request.titleUtf8 = info->lpszTitle != nullptr ? winapi::SjisToUtf8(info->lpszTitle) : "";
    const std::string selection = windows.Selection();
    request.folderLinux = LinuxFolder(selection.c_str());
    const DialogAnswer answer = winapi::shell::RunDialog(request);
    if (answer.result != DialogAnswer::Chosen || !winapi::Utf8ToSjisChecked(answer.pathLinux, nullptr))
        return nullptr;
    const std::string path = winapi::WindowsPathFromLinux(answer.pathLinux);
    if (path.size() >= MAX_PATH)
        return nullptr;
    auto* list = static_cast<LPITEMIDLIST>(g_shellMalloc.Alloc(path.size() + 1));
    std::memcpy(list->path, path.c_str(), path.size() + 1);
    if (info->pszDisplayName != nullptr) {
        const std::string name = path.substr(NameOffset(path));
        const size_t length = winapi::SjisPrefixLength(name, MAX_PATH - 1);
        std::memcpy(info->pszDisplayName, name.data(), length);
        info->pszDisplayName[length] = 0;
    }
    return list;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path)
{
    if (list == nullptr || path == nullptr)
        return FALSE;
    const size_t length = strnlen(list->path, MAX_PATH - 1);
    std::memcpy(path, list->path, length);
    path[length] = 0;
    return TRUE;
}
