// Dropped files; see drop_files.h.
#include "files/drop_files.h"

void CDropFiles::Enable(HWND hwnd, bool enable)
{
    CScopedLock lock(m_lock);
    m_enabled = enable ? 1 : 0;
    DragAcceptFiles(hwnd, enable ? TRUE : FALSE);
}

int CDropFiles::OnDropFiles(HDROP drop)
{
    CScopedLock lock(m_lock);
    if (!m_names.empty()) {
        DragFinish(drop);
        return -1;
    }
    const UINT count = m_singleFile ? 1 : DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0) + 1;
        std::string name(length, '\0');
        const UINT copied = DragQueryFileA(drop, i, name.data(), length);
        if (copied == 0)
            continue;  // a single-file request on an empty drop
        name.resize(copied);
        m_names.push_back(std::move(name));
    }
    DragFinish(drop);
    return 0;
}

const char* CDropFiles::GetFile(size_t index)
{
    CScopedLock lock(m_lock);
    return index < m_names.size() ? m_names[index].c_str() : nullptr;
}

size_t CDropFiles::GetCount()
{
    CScopedLock lock(m_lock);
    return m_names.size();
}

void CDropFiles::Clear()
{
    CScopedLock lock(m_lock);
    m_names.clear();
}
