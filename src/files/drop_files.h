// The names of files dropped on the window (WM_DROPFILES, on the window's thread), kept until the
// game (possibly on the game thread) takes and clears them; a lock serialises both sides.
#pragma once

#include <string>
#include <vector>

#include "platform/lock.h"
#include "winapi/shell.h"

class CDropFiles {
public:
    CDropFiles() = default;
    virtual ~CDropFiles() = default;

    // Remembers the flag and calls DragAcceptFiles.
    void Enable(HWND hwnd, bool enable);
    // → 0 taken; -1 refused (and the drop freed) while earlier names are still held.
    int OnDropFiles(HDROP drop);
    // The name at index (Shift-JIS "Z:\" path), or null when out of range. Valid until Clear.
    const char* GetFile(size_t index);
    size_t GetCount();
    void Clear();

    uint8_t m_enabled = 0;
    uint8_t m_singleFile = 0;  // take only the first file of a drop

private:
    std::vector<std::string> m_names;
    CLock m_lock;
};
