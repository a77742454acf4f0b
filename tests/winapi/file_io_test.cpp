// File handles: open modes, reads and writes, positions and sizes, sharing, and the folder calls
// (move, copy, delete, create and remove folders, times).
#include "winapi/kernel.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "files/temp_folder.h"

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Close(HANDLE h)
{
    ASSERT_TRUE(CloseHandle(h));
}

} // namespace

TEST(FileIo, WriteSeekReadAndSize)
{
    TempFolder dir;
    std::string path = dir.Windows("Save.DAT");
    HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(GetFileSize(h, nullptr), 11u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(n, 5u); // short read at the end is success
    EXPECT_EQ(std::string(buffer, n), "world");
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    // A refused move from the end leaves the position where it was.
    EXPECT_EQ(SetFilePointer(h, -12, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 6u);
    ASSERT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 6);
    EXPECT_TRUE(FlushFileBuffers(h));
    Close(h);
    EXPECT_EQ(dir.Read("Save.DAT"), "hello ");
}

TEST(FileIo, CreationDispositions)
{
    TempFolder dir;
    dir.Write("a.txt", "old contents");
    std::string path = dir.Windows("A.TXT"); // another case: the same file
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    Close(h);
    EXPECT_FALSE(dir.Exists("A.TXT"));

    EXPECT_EQ(Open(dir.Windows("none.txt"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(dir.Windows("nofolder\\x.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(dir.Windows(""), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE); // a folder

    h = Open(dir.Windows("new.txt"), GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(h, &n, 1, &n, nullptr)); // opened for writing only
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    Close(h);
}

TEST(FileIo, SharingBetweenHandles)
{
    TempFolder dir;
    dir.Write("f", "1234");
    std::string path = dir.Windows("f");
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE second = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(dir.Read("f"), "1234"); // the refused open did not truncate
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    Close(second);
    Close(reader);
    EXPECT_TRUE(DeleteFileA(path.c_str()));

    EXPECT_FALSE(CloseHandle(reader)); // stale handles are refused
    DWORD n;
    EXPECT_FALSE(ReadFile(reader, &n, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(FileIo, MoveCopyAndDelete)
{
    TempFolder dir;
    dir.Write("a", "AAA");
    dir.Write("b", "BBB");
    EXPECT_FALSE(MoveFileExA(dir.Windows("a").c_str(), dir.Windows("B").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExA(dir.Windows("a").c_str(), dir.Windows("B").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(dir.Exists("a"));
    EXPECT_EQ(dir.Read("b"), "AAA");

    EXPECT_FALSE(CopyFileA(dir.Windows("b").c_str(), dir.Windows("b").c_str(), TRUE));
    EXPECT_TRUE(CopyFileA(dir.Windows("B").c_str(), dir.Windows("c").c_str(), TRUE));
    EXPECT_FALSE(CopyFileA(dir.Windows("b").c_str(), dir.Windows("C").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(dir.Read("c"), "AAA");

    // The copy keeps the last-write time.
    HANDLE hb = Open(dir.Windows("b"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE hc = Open(dir.Windows("c"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    FILETIME tb;
    FILETIME tc;
    ASSERT_TRUE(GetFileTime(hb, nullptr, nullptr, &tb));
    ASSERT_TRUE(GetFileTime(hc, nullptr, nullptr, &tc));
    EXPECT_EQ(CompareFileTime(&tb, &tc), 0);
    Close(hb);
    Close(hc);
    FILETIME early{1, 0};
    FILETIME late{0, 1};
    EXPECT_EQ(CompareFileTime(&early, &late), -1);
    EXPECT_EQ(CompareFileTime(&late, &early), 1);

    // A read-only file is refused by a plain overwrite and freed by clearing the attribute.
    ASSERT_TRUE(SetFileAttributesA(dir.Windows("c").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(GetFileAttributesA(dir.Windows("c").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ASSERT_TRUE(SetFileAttributesA(dir.Windows("c").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFileA(dir.Windows("b").c_str(), dir.Windows("c").c_str(), FALSE));

    EXPECT_TRUE(DeleteFileA(dir.Windows("C").c_str()));
    EXPECT_FALSE(DeleteFileA(dir.Windows("c").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileIo, Folders)
{
    TempFolder dir;
    std::string sub = dir.Windows("Sub");
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(dir.Windows("SUB").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileAttributesA(dir.Windows("sub").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    dir.Write("Sub/x", "");
    EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(DeleteFileA(dir.Windows("sub\\X").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(dir.Windows("sUb").c_str()));
    EXPECT_EQ(GetFileAttributesA(sub.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileIo, ListingCacheSeesChangesMadeBehindIt)
{
    TempFolder dir;
    dir.Write("one.txt", "1");
    EXPECT_NE(GetFileAttributesA(dir.Windows("ONE.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(dir.Windows("TWO.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    // Made outside the stand-in, after the folder's listing was cached.
    dir.Write("Two.txt", "2");
    std::filesystem::remove(dir.Linux("one.txt"));
    EXPECT_NE(GetFileAttributesA(dir.Windows("TWO.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(dir.Windows("ONE.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A read in progress on one thread while another closes the handle ends on the file it began
// with, as on Windows; the handle's record used to be freed under it (and its descriptor number
// could be reused by the next open).
TEST(FileIo, CloseWhileAnotherThreadReads)
{
    TempFolder dir;
    const std::string fifo = dir.Linux("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR | O_CLOEXEC);  // keeps the open below from blocking
    ASSERT_GE(writer, 0);
    HANDLE h = Open(dir.Windows("pipe"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    std::atomic<long> readerTid{0};
    DWORD got = 99;
    BOOL ok = FALSE;
    char buffer[8] = {};
    std::thread reader([&] {
        readerTid = syscall(SYS_gettid);
        ok = ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    });
    // Wait until the reader sits in read(2) (system call 0).
    for (;;) {
        const long tid = readerTid.load();
        if (tid != 0) {
            std::ifstream call("/proc/self/task/" + std::to_string(tid) + "/syscall");
            long number = -1;
            if (call >> number && number == 0)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Close(h);
    ASSERT_EQ(write(writer, "abcd", 4), 4);
    close(writer);  // then end of file
    reader.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}
