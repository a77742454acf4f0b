// The loader thread: a batch over loose files, an archive entry, missing and null names; the range
// and state codes; a stop in the middle of a batch (held in an archive entry whose load waits at a
// gate the test opens when it likes).
#include "files/loader_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/map_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"

namespace {

std::string Slot(CLoaderThread& loader, DWORD i)
{
    const void* buffer = loader.GetSlotBuffer(i);
    return buffer == nullptr ? std::string("<empty>") : std::string(static_cast<const char*>(buffer), loader.GetSlotSize(i));
}

// Holds a load until the test opens it, and tells the test when a load waits there.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;

    void Enter()
    {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    void WaitEntered()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return entered; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// A map archive (see map_archive.h) whose entry "gate.bin" loads only once the gate is open.
class GatedArchive : public MapArchive {
public:
    static inline Gate* s_gate = nullptr;
    int LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                   void* context) override
    {
        if (s_gate != nullptr && Lower(name) == "gate.bin")
            s_gate->Enter();
        return MapArchive::LoadByName(name, allocate, record, progress, context);
    }
};

class GatedDecoder : public MapDecoder {
public:
    CArchive* Open(const char* path, HANDLE handle, int* outCode) override
    {
        auto* plain = static_cast<MapArchive*>(MapDecoder::Open(path, handle, outCode));
        if (plain == nullptr)
            return nullptr;
        auto* gated = new GatedArchive;
        gated->entries = plain->entries;
        delete plain;
        return gated;
    }
};

class LoaderThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        files.RegisterDecoder(new GatedDecoder, "MAP\0", "Map archive", 7, nullptr, nullptr, nullptr);
        g_pFileManager = &files;
        dir.Write("a.bin", "alpha");
        dir.Write("GATE.MAP", "MAP\ngate.bin\tgated\n");
        ASSERT_EQ(files.Mount("GATE.MAP", -3, false, true, nullptr), 0);
        GatedArchive::s_gate = &gate;
    }
    void TearDown() override
    {
        gate.Open(); // never leave a loader waiting
        GatedArchive::s_gate = nullptr;
        g_pFileManager = nullptr;
    }

    TempFolder dir;
    CFileManager files;
    Gate gate;
};

} // namespace

TEST_F(LoaderThread, LoadsABatchOfFilesAndArchiveEntries)
{
    dir.Write("data/b.bin", std::string(100000, 'b'));
    dir.Write("pack/inside.txt", "from the archive");
    const std::string tool = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool kpk pack " + dir.Linux("DATA.KPK") +
                             " " + dir.Linux("pack") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(tool.c_str()), 0);
    ASSERT_EQ(files.Mount("DATA.KPK", -2, false, true, nullptr), 0);

    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(8), 0);
    const char* names[] = {"a.bin", "data\\b.bin", "inside.txt", "missing.bin", nullptr, "A.BIN"};
    ASSERT_EQ(loader.StartLoading(1, 6, names), 0);
    loader.WaitIdle(); // true when it had to wait, false when the batch was done already
    EXPECT_FALSE(loader.WaitIdle()); // nothing runs any more
    const std::string expected[] = {"<empty>", "alpha", std::string(100000, 'b'), "from the archive",
                                    "<empty>", "<empty>", "alpha", "<empty>"};
    for (DWORD i = 0; i < 8; ++i)
        EXPECT_EQ(Slot(loader, i), expected[i]) << "slot " << i;
    EXPECT_EQ(loader.GetSlotSize(4), 0u);
    EXPECT_EQ(loader.GetSlotBuffer(8), nullptr);
    EXPECT_EQ(loader.GetSlotSize(9), 0u);

    // With a folder (given with a final slash), names are taken relative to it.
    ASSERT_EQ(loader.SetFolder((dir.Windows() + "data/").c_str()), 0);
    const char* inFolder[] = {"b.bin", "a.bin"};
    ASSERT_EQ(loader.StartLoading(6, 2, inFolder), 0);
    loader.WaitIdle();
    EXPECT_EQ(Slot(loader, 6), std::string(100000, 'b'));
    EXPECT_EQ(Slot(loader, 7), "<empty>");
    EXPECT_EQ(Slot(loader, 1), "alpha"); // other slots keep their contents
    EXPECT_EQ(loader.CloseSlots(0, 100), 0);
    EXPECT_EQ(Slot(loader, 1), "<empty>");
}

TEST_F(LoaderThread, RangesAndStates)
{
    CLoaderThread loader;
    const char* names[] = {"x", "y", "z"};
    EXPECT_EQ(loader.StartLoading(0, 1, names), 1); // no slots
    EXPECT_EQ(loader.CloseSlots(0, 1), -1);
    EXPECT_FALSE(loader.WaitIdle());
    EXPECT_EQ(loader.AllocSlots(65536), 0); // 65536 mod 65536: nothing
    EXPECT_EQ(loader.StartLoading(0, 1, names), 1);
    EXPECT_EQ(loader.AllocSlots(65536 + 3), 0);
    EXPECT_EQ(loader.StartLoading(0, 0, names), 1);
    EXPECT_EQ(loader.StartLoading(1, 3, names), 1); // first + count = n + 1
    EXPECT_EQ(loader.StartLoading(0, 1, nullptr), 1);
    EXPECT_EQ(loader.StartLoading(0, 3, names), 0);
    loader.WaitIdle();
    EXPECT_EQ(loader.SetFolder(nullptr), 0);
    EXPECT_EQ(loader.AllocSlots(0), 0);
    EXPECT_EQ(loader.CloseSlots(0, 1), -1);
}

TEST_F(LoaderThread, WaitIdleWaitsForARunningBatch)
{
    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(1), 0);
    const char* name = "gate.bin";
    ASSERT_EQ(loader.StartLoading(0, 1, &name), 0);
    gate.WaitEntered();
    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gate.Open();
    });
    EXPECT_TRUE(loader.WaitIdle());
    opener.join();
    EXPECT_EQ(Slot(loader, 0), "gated");
}

TEST_F(LoaderThread, AStopInTheMiddleOfABatchLeavesTheRestBusy)
{
    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(4), 0);
    const char* names[] = {"gate.bin", "a.bin", "a.bin", "a.bin"};
    ASSERT_EQ(loader.StartLoading(0, 4, names), 0);
    gate.WaitEntered();
    // The loader waits in slot 0: every slot is busy, and a second batch is refused.
    EXPECT_EQ(loader.GetSlotBuffer(1), nullptr);
    EXPECT_EQ(loader.StartLoading(0, 1, names + 1), 2);
    EXPECT_EQ(loader.CloseSlots(0, 4), 4);
    loader.RequestStop();
    gate.Open();
    ASSERT_EQ(loader.Stop(), 0u);
    EXPECT_EQ(Slot(loader, 0), "gated"); // the slot in progress completes
    EXPECT_EQ(loader.CloseSlots(0, 4), 3);
    EXPECT_EQ(loader.GetSlotBuffer(3), nullptr);
    // A new batch takes the slots again.
    ASSERT_EQ(loader.StartLoading(1, 3, names + 1), 0);
    loader.WaitIdle();
    EXPECT_EQ(Slot(loader, 3), "alpha");
}

TEST_F(LoaderThread, FreeingStopsARunningBatch)
{
    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(2), 0);
    const char* names[] = {"gate.bin", "a.bin"};
    ASSERT_EQ(loader.StartLoading(0, 2, names), 0);
    gate.WaitEntered();
    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gate.Open();
    });
    loader.FreeSlots(); // asks the thread to stop and waits until the load it is in returns
    opener.join();
    EXPECT_EQ(loader.GetSlotBuffer(0), nullptr);
    EXPECT_EQ(loader.CloseSlots(0, 2), -1);
}
