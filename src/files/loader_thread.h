// CLoaderThread: loads a batch of files into numbered slots on a background thread while the game
// goes on drawing. The owner names the files of a range of slots, starts the batch, polls the
// slots (empty while busy) or waits, takes the contents and closes the slots.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "files/file_stream.h"
#include "platform/worker_thread.h"

class CLoaderThread : public CWorkerThread {
public:
    CLoaderThread();
    // Stops the thread, frees the slots and the folder.
    ~CLoaderThread() override;

    // Frees the old slots, then makes n mod 65536 closed, idle slots → 0 (also for 0 slots),
    // 1 no memory, 2 another failure (nothing is then allocated).
    int AllocSlots(DWORD n);
    // Stops a running batch, closes and frees every slot.
    void FreeSlots();
    // Stops a running batch; the folder that names are taken relative to (null: none), stored with
    // a final backslash (a final slash becomes one) → 0.
    int SetFolder(const char* path);
    // Queues names[k] for slot first + k, k < count, and starts the thread → 0 started, 1 no slots
    // or a bad range, 2 a batch still runs (nothing changes), 3 the thread could not start. The
    // names are the caller's and must live until the batch is done; a null name leaves its slot
    // empty.
    int StartLoading(WORD first, WORD count, const char* const* names);
    // Waits until the batch is done → true, or false when none was running.
    bool WaitIdle();
    // Closes every idle slot of the range (up to the slot count) → how many were still busy, -1
    // without slots.
    int CloseSlots(DWORD first, DWORD count);
    // The slot's contents and size once loaded; null / 0 without slots, for i past them, while the
    // slot is busy, or when its file could not be loaded.
    void* GetSlotBuffer(DWORD i);
    DWORD GetSlotSize(DWORD i);

    // The thread's body: loads the queued slots in order until done or asked to stop (the slots
    // not reached keep their busy flags).
    void LoadQueued();

private:
    bool IsBusy(DWORD i) const;

    std::unique_ptr<CFileStream[]> m_slots;
    std::unique_ptr<const char*[]> m_names;
    // Set by the owner before the thread starts; cleared (release) by the loader once a slot's
    // stream is complete, read (acquire) by the owner before it touches the slot.
    std::unique_ptr<std::atomic<BYTE>[]> m_busy;
    DWORD m_count = 0;
    bool m_hasFolder = false;
    std::string m_path; // the folder, then room for the longest queued name
    size_t m_folderLength = 0;
    WORD m_first = 0;
    WORD m_batchCount = 0;
    // True from StartLoading until the body is done with the batch.
    std::atomic<bool> m_loading{false};
};
