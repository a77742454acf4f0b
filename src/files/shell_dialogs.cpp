// Shell dialogs; see shell_dialogs.h.
#include "files/shell_dialogs.h"

#include <cstring>

#include "files/path_utils.h"
#include "winapi/text.h"

HWND g_FileDialogWindow = nullptr;

UINT_PTR CALLBACK FileDialogHookProc(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && lParam != 0 && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE)
        g_FileDialogWindow = GetParent(hook);
    else if (message == WM_DESTROY)
        g_FileDialogWindow = nullptr;
    return 0;
}

std::string ConvertFilter(const char* filter)
{
    std::string out;
    if (filter != nullptr) {
        for (size_t i = 0; filter[i] != 0; ++i) {
            const auto c = static_cast<unsigned char>(filter[i]);
            if (winapi::IsSjisLeadByte(c)) {
                if (filter[i + 1] == 0)
                    break;  // a lead byte with nothing after it ends the text
                out += filter[i];
                out += filter[++i];
            } else {
                out += c == '\t' ? '\0' : static_cast<char>(c);
            }
        }
    }
    // Two NULs end the list, also when the text did not end with a tab.
    if (!out.empty() && out.back() != '\0')
        out += '\0';
    out += '\0';
    if (out.size() == 1)
        out += '\0';
    return out;
}

CFileDialog::CFileDialog()
{
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.nMaxFileTitle = 256;
    m_ofn.lpfnHook = FileDialogHookProc;
}

BOOL CFileDialog::Show(bool save, HWND owner, const char* title, char* file, char* fileTitle,
                       const char* initialFolder, const char* filter, const char* defaultExtension)
{
    m_filter = ConvertFilter(filter);
    const bool haveFolder = initialFolder != nullptr && MakeFullPath(m_folder, initialFolder, nullptr) != 0;
    if (fileTitle != nullptr)
        fileTitle[0] = 0;
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = m_filter.c_str();
    m_ofn.lpstrFile = file;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFileTitle = fileTitle;
    m_ofn.lpstrInitialDir = haveFolder ? m_folder : nullptr;
    m_ofn.lpstrTitle = title;
    m_ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    m_ofn.lpstrDefExt = save ? defaultExtension : nullptr;
    return save ? GetSaveFileNameA(&m_ofn) : GetOpenFileNameA(&m_ofn);
}

BOOL CFileDialog::ShowOpen(HWND owner, const char* title, char* file, char* fileTitle, const char* initialFolder,
                           const char* filter, bool clear)
{
    if (clear && file != nullptr)
        file[0] = 0;
    return Show(false, owner, title, file, fileTitle, initialFolder, filter, nullptr);
}

BOOL CFileDialog::ShowSave(HWND owner, const char* title, char* file, char* fileTitle, const char* initialFolder,
                           const char* filter, const char* defaultExtension)
{
    return Show(true, owner, title, file, fileTitle, initialFolder, filter, defaultExtension);
}

namespace {

int CALLBACK BrowseFolderCallback(HWND hwnd, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED) {
        g_FileDialogWindow = hwnd;
        SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    }
    return 0;
}

} // namespace

HRESULT BrowseForFolder(HWND owner, const char* title, const char* initialFolder, char* result)
{
    // Emptied first: a cancel or a failure leaves no stale path behind.
    if (result != nullptr)
        result[0] = 0;
    LPMALLOC malloc = nullptr;
    const HRESULT got = SHGetMalloc(&malloc);
    if (FAILED(got))
        return got;
    char folder[MAX_PATH] = {};
    if (initialFolder == nullptr || MakeFullPath(folder, initialFolder, nullptr) == 0)
        folder[0] = 0;
    const size_t length = std::strlen(folder);
    if (length > 3 && EndsWithSeparator(folder))
        folder[length - 1] = 0;
    else if (length > 0 && length < 3 && length + 1 < sizeof folder)
        std::strcat(folder, "\\");
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder);
    LPITEMIDLIST list = SHBrowseForFolderA(&info);
    g_FileDialogWindow = nullptr;
    if (list != nullptr) {
        if (result == nullptr || !SHGetPathFromIDListA(list, result)) {
            if (result != nullptr)
                result[0] = 0;
        }
        malloc->Free(list);
    }
    malloc->Release();
    return 0;
}

BOOL GetSpecialFolderPath(char* buffer, int csidl)
{
    return SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE);
}
