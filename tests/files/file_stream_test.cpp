// The file stream: reads through the file manager, lines of files in memory, writes, temporary
// copies, and the read streams' seeking rules.
#include "files/file_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/file_manager.h"
#include "files/map_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_pFileManager = &manager;
    }
    void TearDown() override { g_pFileManager = nullptr; }

    TempFolder dir;
    CFileManager manager;
};

} // namespace

TEST_F(FileStreamTest, NeedsAFileManager)
{
    g_pFileManager = nullptr;
    CFileStream file;
    EXPECT_EQ(file.Open("a"), 1u);
    EXPECT_EQ(file.OpenInMemory("a"), 1u);
    EXPECT_EQ(file.OpenArchiveEntry(0, 0, nullptr), 1u);
}

TEST_F(FileStreamTest, OpensAndSeeksLikeTheReaders)
{
    dir.Write("f.bin", "0123456789");
    for (bool inMemory : {false, true}) {
        CFileStream file;
        ASSERT_EQ(inMemory ? file.OpenInMemory("F.BIN") : file.Open("f.bin"), 0u);
        EXPECT_EQ(file.GetSize(), 10u);
        EXPECT_EQ(std::string(file.GetPath()), dir.Windows("F.BIN").substr(0, dir.Windows().size()) + (inMemory ? "F.BIN" : "f.bin"));
        EXPECT_EQ(file.GetBuffer() != nullptr, inMemory);
        char buffer[8] = {};
        EXPECT_EQ(file.SeekSet(3), 0u);
        EXPECT_EQ(file.SeekCurrent(-5), 0u);
        EXPECT_EQ(file.Tell(), 0u);
        EXPECT_EQ(file.SeekEnd(0), 0u);
        EXPECT_EQ(file.Tell(), 10u);
        EXPECT_TRUE(file.IsEof());
        EXPECT_EQ(file.SeekEnd(20), 0u);
        EXPECT_EQ(file.Tell(), 0u);
        EXPECT_EQ(file.SeekSet(99), 0u);
        EXPECT_EQ(file.Tell(), 10u);
        EXPECT_EQ(file.SeekSet(7), 0u);
        EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
        EXPECT_STREQ(buffer, "789");
        EXPECT_EQ(file.Read(buffer, 1), 0u);
        file.Close();
        EXPECT_EQ(file.Tell(), static_cast<DWORD>(-1));
        EXPECT_EQ(file.SeekSet(0), 3u);
        EXPECT_EQ(file.Read(buffer, 1), 0u);
        EXPECT_STREQ(file.GetPath(), "");
    }
    CFileStream file;
    dir.Write("empty", "");
    EXPECT_EQ(file.OpenInMemory("empty"), 8u);
    EXPECT_EQ(file.Open("none"), 3u);
    EXPECT_EQ(file.OpenInMemory("none"), 3u);
}

TEST_F(FileStreamTest, DetachedBufferBelongsToTheCaller)
{
    dir.Write("f", "abc");
    CFileStream file;
    ASSERT_EQ(file.OpenInMemory("f"), 0u);
    void* block = file.DetachBuffer();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, "abc", 3), 0);
    EXPECT_EQ(file.GetBuffer(), nullptr);
    EXPECT_EQ(file.DetachBuffer(), nullptr);
    GlobalFree(block);
}

TEST_F(FileStreamTest, ReadLine)
{
    dir.Write("lines.txt", "first\r\nsecond line\r\nlone\rcr\nx\r\nlast\x1A");
    CFileStream file;
    ASSERT_EQ(file.OpenInMemory("lines.txt"), 0u);
    char line[64];
    EXPECT_EQ(file.ReadLine(nullptr, 0), 6u); // "first" + 1
    EXPECT_EQ(file.ReadLine(line, sizeof line), 7u);
    EXPECT_STREQ(line, "first");
    // "second line" is 11 characters: a 12-byte buffer holds at most 10, so nothing moves.
    EXPECT_EQ(file.ReadLine(line, 12), 0u);
    EXPECT_EQ(file.ReadLine(line, 13), 13u);
    EXPECT_STREQ(line, "second line");
    EXPECT_EQ(file.ReadLine(line, sizeof line), 11u); // a lone CR or LF is an ordinary character
    EXPECT_STREQ(line, "lone\rcr\nx");
    EXPECT_EQ(file.ReadLine(nullptr, 0), 5u); // "last" without the Ctrl-Z, + 1
    EXPECT_EQ(file.ReadLine(line, sizeof line), 5u);
    EXPECT_STREQ(line, "last");
    EXPECT_TRUE(file.IsEof());
    EXPECT_EQ(file.ReadLine(line, 1), 0u);
}

TEST_F(FileStreamTest, WritesThroughAHandle)
{
    CFileStream out;
    ASSERT_EQ(out.Create("save\\..\\Save.dat", false), 0u);
    EXPECT_EQ(out.Write("abc", 3), 3u);
    EXPECT_EQ(out.Printf("%d-%s", 42, "x"), 4u);
    EXPECT_EQ(out.Write(nullptr, 3), 0u);
    std::string longText(600, 'y');
    EXPECT_EQ(out.Printf("%s", longText.c_str()), 511u); // cut at the buffer, never past it
    out.Close();
    EXPECT_EQ(dir.Read("Save.dat").substr(0, 7), "abc42-x");
    EXPECT_EQ(out.Create("save.dat", false), 3u); // exists
    EXPECT_EQ(out.Create("nofolder\\x", true), 3u);
    EXPECT_STREQ(out.GetPath(), "");

    ASSERT_EQ(out.OpenReadWrite("SAVE.DAT"), 0u);
    EXPECT_EQ(out.GetSize(), 7u + 511u);
    EXPECT_EQ(out.SeekEnd(511), 0u);
    EXPECT_EQ(out.Tell(), 7u);
    // A distance back from the end never turns into a move past it.
    for (DWORD far : {0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(out.SeekEnd(far), 6u) << far;
        EXPECT_EQ(out.Tell(), 7u) << far;
    }
    char buffer[4] = {};
    EXPECT_EQ(out.SeekSet(3), 0u);
    EXPECT_EQ(out.Read(buffer, 2), 2u);
    EXPECT_STREQ(buffer, "42");
    out.Close();
    EXPECT_EQ(out.OpenReadWrite("none.dat"), 3u);
}

TEST_F(FileStreamTest, TemporaryCopyIsRemovedOnClose)
{
    dir.Write("p.map", "MAP\nmovie.mpg\tframes\n");
    manager.RegisterDecoder(new MapDecoder, "MAP\0", "Map", 7, nullptr, nullptr, nullptr);
    ASSERT_EQ(manager.Mount("p.map", -2, false, true, nullptr), 0);
    CFileStream file;
    ASSERT_EQ(file.CreateTempFile("movie.mpg"), 0u);
    std::string temp = file.GetPath();
    EXPECT_NE(temp.find("KWF"), std::string::npos);
    EXPECT_EQ(file.GetSize(), 6u);
    EXPECT_EQ(file.GetBuffer(), nullptr);
    EXPECT_NE(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES);
    file.Close();
    EXPECT_EQ(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(file.CreateTempFile("none"), 3u);
}

TEST(ReadStreams, NotAttached)
{
    CFileReader file;
    CMemoryReader memory;
    EXPECT_EQ(file.SeekSet(0), 2);
    EXPECT_EQ(memory.SeekSet(0), 1);
    char c;
    EXPECT_EQ(file.Read(&c, 1), 0u);
    EXPECT_EQ(memory.Read(&c, 1), 0u);
    void* block = GlobalAlloc(GMEM_FIXED, 4);
    ASSERT_EQ(memory.Attach(block, 4), 0);
    EXPECT_EQ(memory.Attach(block, 4), 10);
}
