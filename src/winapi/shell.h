// The shell of the stand-in: the common open and save dialogs and the folder browser (GTK's
// native file chooser on the SDL host; a script on the headless one), special folders (the XDG
// folders), starting programs, and files dropped on a window. Engine code includes this header.
#pragma once

#include <string>
#include <vector>

#include "winapi/com.h"
#include "winapi/commctrl.h"
#include "winapi/kernel.h"
#include "winapi/user.h"

// ---- Common dialogs ----

using LPOFNHOOKPROC = UINT_PTR(CALLBACK*)(HWND hdlg, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;        // pairs of description and patterns ("*.txt;*.doc"), ending in two NULs
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;        // 1-based, in and out
    LPSTR lpstrFile;           // in: a name to preselect; out: the chosen "Z:\" path
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;      // out: the chosen name (optional)
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;        // appended (after a dot) to a saved name without extension
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;

struct OFNOTIFYA {
    NMHDR hdr;
    LPOPENFILENAMEA lpOFN;
    LPSTR pszFile;
};

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_ENABLEHOOK 0x00000020u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u

#define CDN_FIRST (0u - 601u)
#define CDN_INITDONE (CDN_FIRST - 0u)

#define CDERR_INITIALIZATION 0x0002u
#define CDERR_STRUCTSIZE 0x0001u
#define FNERR_INVALIDFILENAME 0x3002u
#define FNERR_BUFFERTOOSMALL 0x3003u

// TRUE with the choice; FALSE for a cancel (CommDlgExtendedError 0) or a failure: no display
// (CDERR_INITIALIZATION), lpstrFile too small (FNERR_BUFFERTOOSMALL, its first two bytes the size
// needed), a choice with no Shift-JIS form (FNERR_INVALIDFILENAME). Runs a modal loop that keeps
// the calling thread's queue served. With OFN_ENABLEHOOK the hook gets WM_INITDIALOG,
// WM_NOTIFY CDN_INITDONE and WM_DESTROY on a child of the dialog's window.
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn);
// The error of the last dialog on this thread (0 after a choice or a cancel).
DWORD WINAPI CommDlgExtendedError();

// ---- Folder browser ----

struct SHITEMID;
using LPITEMIDLIST = SHITEMID*;
using LPCITEMIDLIST = const SHITEMID*;
using BFFCALLBACK = int(CALLBACK*)(HWND hwnd, UINT message, LPARAM lParam, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;
    LPSTR pszDisplayName;  // out: the chosen folder's name (MAX_PATH bytes)
    LPCSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};
using LPBROWSEINFOA = BROWSEINFOA*;

#define BIF_RETURNONLYFSDIRS 0x0001u
#define BFFM_INITIALIZED 1
#define BFFM_SETSELECTIONA (WM_USER + 102)

// The chosen folder as an item list (freed with the shell allocator), or null for a cancel or
// failure. The callback gets BFFM_INITIALIZED; BFFM_SETSELECTIONA (wParam TRUE, lParam a path)
// sent to the browser's window chooses the folder it starts at.
LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA info);
// The "Z:\" path of a folder item list (MAX_PATH bytes) → TRUE, FALSE for null.
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);

struct IMalloc : IUnknown {
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void* Realloc(void* block, SIZE_T size) = 0;
    virtual void Free(void* block) = 0;

protected:
    ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;
// The shell's allocator (one per process; Release is balanced by each SHGetMalloc).
HRESULT WINAPI SHGetMalloc(LPMALLOC* out);

// ---- Special folders ----

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PERSONAL 0x0005
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_APPDATA 0x001A
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_MYPICTURES 0x0027

// The XDG folder of a CSIDL as a "Z:\" path (MAX_PATH bytes): 0 and 0x10 the desktop, 5 the
// documents, 0x27 the pictures, 0x1A and 0x23 $XDG_DATA_HOME; made when create is set.
// FALSE for other values, a folder that does not exist (create clear) or cannot be made.
BOOL WINAPI SHGetSpecialFolderPathA(HWND owner, LPSTR path, int csidl, BOOL create);

// ---- Processes ----

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;  // signalled when the process ends
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Starts a program: the command line is split as Windows splits it (quotes, backslashes before
// quotes); the first word is the program, found as a "Z:\" path, a Linux path or on PATH.
// "explorer FOLDER" opens the folder with xdg-open. → TRUE with a waitable process handle;
// FALSE (ERROR_FILE_NOT_FOUND) when the program cannot be started, ERROR_INVALID_PARAMETER for
// an empty command line. The application name, inheritance, flags, environment and folder
// arguments are not supported (the engine passes none).
BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation);
// Programs here have no input queue to wait for: 0 at once.
DWORD WINAPI WaitForInputIdle(HANDLE process, DWORD ms);

// Opens a document or address with the desktop's handler (xdg-open): "http:", "https:" and
// "mailto:" addresses as they are, anything else as a "Z:\" path that must exist. The operation
// must be null or "open"; parameters, folder and show state are ignored. → a value above 32 when
// started; SE_ERR_FNF, SE_ERR_ACCESSDENIED (another operation) or SE_ERR_NOASSOC (not started).
// The headless host starts nothing and records the target (ShellOpenedTargets).
#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR folder, INT show);

// ---- Dropped files ----

// Windows that accept drops get WM_DROPFILES (wParam the HDROP) for each drop.
void WINAPI DragAcceptFiles(HWND hwnd, BOOL accept);
// index 0xFFFFFFFF: the number of names. Else the length of name index (without NUL) with a null
// buffer, or the bytes copied (cut to size - 1); 0 for a bad index or drop.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size);
void WINAPI DragFinish(HDROP drop);

namespace winapi {

// Windows' splitting of a command line into words (the C runtime's rules).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// A drop of files (UTF-8 Linux paths) on a top-level window at a client point; the host calls it
// once for each drop. Names with no Shift-JIS form are left out (one line on stderr each); a
// drop with nothing left, or on a window that does not accept drops, sends nothing.
void HostDrop(HWND hwnd, const std::vector<std::string>& pathsUtf8, int x, int y);

// Tests: what ShellExecuteA handed the headless host, oldest first (addresses as given, files as
// UTF-8 Linux paths).
std::vector<std::string> ShellOpenedTargets();

} // namespace winapi
