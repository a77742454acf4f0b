// The loader thread: background loading of a batch of files into slots.
#include "files/loader_thread.h"

#include <cstring>
#include <new>

#include "files/path_utils.h"

CLoaderThread::CLoaderThread()
{
    SetJob(CThreadJob(this, &CLoaderThread::LoadQueued));
}

CLoaderThread::~CLoaderThread()
{
    // The body runs on this object: it must be over before the members go.
    Stop();
    FreeSlots();
}

int CLoaderThread::AllocSlots(DWORD n)
{
    FreeSlots();
    n %= 65536;
    if (n == 0)
        return 0;
    std::unique_ptr<CFileStream[]> slots(new (std::nothrow) CFileStream[n]);
    std::unique_ptr<const char*[]> names(new (std::nothrow) const char*[n]());
    std::unique_ptr<std::atomic<BYTE>[]> busy(new (std::nothrow) std::atomic<BYTE>[n]);
    if (slots == nullptr || names == nullptr || busy == nullptr)
        return 1;
    for (DWORD i = 0; i < n; ++i)
        busy[i].store(0, std::memory_order_relaxed);
    m_slots = std::move(slots);
    m_names = std::move(names);
    m_busy = std::move(busy);
    m_count = n;
    return 0;
}

void CLoaderThread::FreeSlots()
{
    Stop();
    m_loading.store(false);
    m_slots.reset();
    m_names.reset();
    m_busy.reset();
    m_count = 0;
}

int CLoaderThread::SetFolder(const char* path)
{
    Stop();
    m_loading.store(false);
    m_hasFolder = false;
    m_path.clear();
    m_folderLength = 0;
    if (path == nullptr)
        return 0;
    m_path = path;
    if (!m_path.empty() && EndsWithSeparator(m_path.c_str()))
        m_path.back() = '\\';
    else
        m_path += '\\';
    m_folderLength = m_path.size();
    m_hasFolder = true;
    return 0;
}

int CLoaderThread::StartLoading(WORD first, WORD count, const char* const* names)
{
    if (m_count == 0 || count == 0 || names == nullptr || DWORD{first} + count > m_count)
        return 1;
    if (m_loading.load(std::memory_order_acquire))
        return 2;
    Stop(); // joins the thread of the batch before (its body is over)
    size_t longest = 0;
    for (WORD k = 0; k < count; ++k) {
        const DWORD i = DWORD{first} + k;
        m_names[i] = names[k];
        m_busy[i].store(1, std::memory_order_relaxed);
        if (names[k] != nullptr)
            longest = std::max(longest, std::strlen(names[k]));
    }
    m_first = first;
    m_batchCount = count;
    if (m_hasFolder) {
        m_path.resize(m_folderLength);
        m_path.reserve(m_folderLength + longest + 1);
    }
    m_loading.store(true, std::memory_order_release);
    if (Start() != 0) {
        m_loading.store(false);
        for (WORD k = 0; k < count; ++k)
            m_busy[DWORD{first} + k].store(0, std::memory_order_release);
        return 3;
    }
    return 0;
}

void CLoaderThread::LoadQueued()
{
    for (WORD k = 0; k < m_batchCount; ++k) {
        if (!IsRunning())
            break;
        const DWORD i = DWORD{m_first} + k;
        const char* name = m_names[i];
        m_slots[i].Close();
        if (name != nullptr) {
            if (m_hasFolder) {
                m_path.resize(m_folderLength);
                m_path += name;
                name = m_path.c_str();
            }
            // The result is not kept: a slot that failed holds no buffer.
            m_slots[i].OpenInMemory(name);
        }
        m_busy[i].store(0, std::memory_order_release);
    }
    m_loading.store(false, std::memory_order_release);
}

bool CLoaderThread::WaitIdle()
{
    if (!m_loading.load(std::memory_order_acquire))
        return false;
    // The body clears the flag before the thread sets its stop event, so no wake-up is missed.
    while (m_loading.load(std::memory_order_acquire))
        WaitStop(50);
    return true;
}

bool CLoaderThread::IsBusy(DWORD i) const
{
    return m_busy[i].load(std::memory_order_acquire) != 0;
}

int CLoaderThread::CloseSlots(DWORD first, DWORD count)
{
    if (m_count == 0)
        return -1;
    int busy = 0;
    for (DWORD i = first; i < m_count && i - first < count; ++i) {
        if (IsBusy(i))
            ++busy;
        else
            m_slots[i].Close();
    }
    return busy;
}

void* CLoaderThread::GetSlotBuffer(DWORD i)
{
    if (i >= m_count || IsBusy(i))
        return nullptr;
    return m_slots[i].GetBuffer();
}

DWORD CLoaderThread::GetSlotSize(DWORD i)
{
    if (i >= m_count || IsBusy(i))
        return 0;
    return m_slots[i].GetSize();
}
