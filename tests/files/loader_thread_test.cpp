// The loader thread: a batch over loose files, an archive entry, missing and null names; the range
// and state codes; a stop in the middle of a batch (held at a FIFO the test opens when it likes).
#include "files/loader_thread.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"

namespace {

std::string Slot(CLoaderThread& loader, DWORD i)
{
    const void* buffer = loader.GetSlotBuffer(i);
    return buffer == nullptr ? std::string("<empty>") : std::string(static_cast<const char*>(buffer), loader.GetSlotSize(i));
}

class LoaderThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
    }
    void TearDown() override { g_pFileManager = nullptr; }

    // Makes a FIFO that blocks the loader's open until Release writes into it.
    std::string MakeFifo(const std::string& name)
    {
        const std::string path = dir.Linux(name);
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path;
    }
    static void Release(const std::string& fifo)
    {
        const int fd = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "fifo", 4), 4);
        close(fd);
    }

    TempFolder dir;
    CFileManager files;
};

} // namespace

TEST_F(LoaderThread, LoadsABatchOfFilesAndArchiveEntries)
{
    dir.Write("a.bin", "alpha");
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
    EXPECT_TRUE(loader.WaitIdle());
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
    EXPECT_TRUE(loader.WaitIdle());
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
    EXPECT_TRUE(loader.WaitIdle());
    EXPECT_EQ(loader.SetFolder(nullptr), 0);
    EXPECT_EQ(loader.AllocSlots(0), 0);
    EXPECT_EQ(loader.CloseSlots(0, 1), -1);
}

TEST_F(LoaderThread, AStopInTheMiddleOfABatchLeavesTheRestBusy)
{
    dir.Write("a.bin", "alpha");
    const std::string fifo = MakeFifo("wait.fifo");
    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(4), 0);
    const char* names[] = {"wait.fifo", "a.bin", "a.bin", "a.bin"};
    ASSERT_EQ(loader.StartLoading(0, 4, names), 0);
    // The loader now waits in slot 0: every slot is busy, and a second batch is refused.
    EXPECT_EQ(loader.GetSlotBuffer(1), nullptr);
    EXPECT_EQ(loader.StartLoading(0, 1, names + 1), 2);
    EXPECT_EQ(loader.CloseSlots(0, 4), 4);
    loader.RequestStop();
    Release(fifo);
    ASSERT_EQ(loader.Stop(), 0u);
    EXPECT_EQ(loader.GetSlotSize(0), 0u); // loaded (a FIFO holds no file size), not busy
    EXPECT_EQ(loader.CloseSlots(0, 4), 3);
    EXPECT_EQ(loader.GetSlotBuffer(3), nullptr);
    // A new batch takes the slots again.
    ASSERT_EQ(loader.StartLoading(1, 3, names + 1), 0);
    EXPECT_TRUE(loader.WaitIdle());
    EXPECT_EQ(Slot(loader, 3), "alpha");
}

TEST_F(LoaderThread, FreeingStopsARunningBatch)
{
    const std::string fifo = MakeFifo("wait.fifo");
    CLoaderThread loader;
    ASSERT_EQ(loader.AllocSlots(2), 0);
    const char* names[] = {"wait.fifo", "wait.fifo"};
    ASSERT_EQ(loader.StartLoading(0, 2, names), 0);
    std::thread opener([&] { Release(fifo); });
    loader.FreeSlots(); // asks the thread to stop and waits until the open it is in returns
    opener.join();
    EXPECT_EQ(loader.GetSlotBuffer(0), nullptr);
    EXPECT_EQ(loader.CloseSlots(0, 2), -1);
}
