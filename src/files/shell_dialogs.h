// Careful wrappers around the shell's dialogs for the game's menus and the script natives: the
// open and save dialogs with a hook that publishes the open dialog's window, the folder browser
// and special folders. Relative paths are made full against the base folder first.
#pragma once

#include <string>

#include "winapi/shell.h"

// The shell dialog that is open now (file dialog or folder browser), or null.
extern HWND g_FileDialogWindow;

// Publishes the dialog window on CDN_INITDONE, clears it on WM_DESTROY; always 0.
UINT_PTR CALLBACK FileDialogHookProc(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);

// The filter as the dialog wants it: tabs become NULs, stepping over Shift-JIS characters, and it
// ends in two NULs whether or not the text ended with a tab. A lead byte just before the end is
// dropped. The text itself is never written (callers pass literals).
std::string ConvertFilter(const char* filter);

class CFileDialog {
public:
    CFileDialog();
    virtual ~CFileDialog() = default;

    // → GetOpenFileNameA's result (non-zero = chosen). file: 260 bytes; fileTitle 256 or null.
    // clear empties the file buffer first (else its name is preselected).
    BOOL ShowOpen(HWND owner, const char* title, char* file, char* fileTitle, const char* initialFolder,
                  const char* filter, bool clear);
    // → GetSaveFileNameA's result; the file buffer is left as given.
    BOOL ShowSave(HWND owner, const char* title, char* file, char* fileTitle, const char* initialFolder,
                  const char* filter, const char* defaultExtension);
    // The 1-based filter index the dialog returned.
    DWORD GetFilterIndex() const { return m_ofn.nFilterIndex; }

private:
    BOOL Show(bool save, HWND owner, const char* title, char* file, char* fileTitle, const char* initialFolder,
              const char* filter, const char* defaultExtension);

    OPENFILENAMEA m_ofn{};
    std::string m_filter;   // the converted copy the dialog reads
    char m_folder[MAX_PATH] = {};
};

// The chosen folder's path into result (MAX_PATH bytes, emptied first), or an empty string.
// → 0, or the shell allocator's error.
HRESULT BrowseForFolder(HWND owner, const char* title, const char* initialFolder, char* result);
// SHGetSpecialFolderPathA(no window, buffer, csidl, create = TRUE).
BOOL GetSpecialFolderPath(char* buffer, int csidl);
