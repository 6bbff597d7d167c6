// KFile: reading, writing, seeking and sizes, with '\' as a separator.
#include "platform_fixture.h"

using KFileTest = ScratchTest;

TEST_F(KFileTest, WriteThenReadBack)
{
    KFile file;
    EXPECT_FALSE(file.IsOpen());
    ASSERT_EQ(file.Open(Path("data.bin").c_str(), 2), 0);
    EXPECT_TRUE(file.IsOpen());
    const BYTE bytes[] = {'K', 'k', 'p', 'c', 0, 1, 2, 0xFF};
    EXPECT_EQ(file.Write(bytes, sizeof(bytes)), sizeof(bytes));
    EXPECT_EQ(file.GetSize(), sizeof(bytes));  // buffered bytes count
    EXPECT_EQ(file.Tell(), sizeof(bytes));
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadBytes("data.bin"), std::vector<BYTE>(bytes, bytes + sizeof(bytes)));

    ASSERT_EQ(file.Open(Path("data.bin").c_str(), 1), 0);
    EXPECT_EQ(file.GetSize(), 8u);
    BYTE got[16] = {};
    EXPECT_EQ(file.Read(got, 4), 4u);
    EXPECT_EQ(std::memcmp(got, "Kkpc", 4), 0);
    EXPECT_EQ(file.Read(got, 16), 4u);  // only what is left
    EXPECT_EQ(got[3], 0xFF);
    EXPECT_EQ(file.Read(got, 16), 0u);
}

TEST_F(KFileTest, SeekFromEachOrigin)
{
    WriteBytes("ten.bin", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    KFile file;
    ASSERT_EQ(file.Open(Path("ten.bin").c_str(), 1), 0);
    BYTE b = 0;
    EXPECT_EQ(file.Seek(6, KFILE_SEEK_BEGIN), 6);
    EXPECT_EQ(file.Read(&b, 1), 1u);
    EXPECT_EQ(b, 6);
    EXPECT_EQ(file.Seek(-3, KFILE_SEEK_CURRENT), 4);
    EXPECT_EQ(file.Tell(), 4u);
    EXPECT_EQ(file.Seek(-1, KFILE_SEEK_END), 9);
    EXPECT_EQ(file.Read(&b, 1), 1u);
    EXPECT_EQ(b, 9);
    // Before the start: refused, position kept.
    EXPECT_EQ(file.Seek(-20, KFILE_SEEK_CURRENT), -1);
    EXPECT_EQ(file.Tell(), 10u);
    EXPECT_EQ(file.Seek(0, KFILE_SEEKFROM(0)), -1);
}

TEST_F(KFileTest, BackslashesSeparateFolders)
{
    ASSERT_EQ(mkdir(Path("maps").c_str(), 0755), 0);
    std::string name = Path("maps") + "\\level1.dat";
    KFile file;
    ASSERT_EQ(file.Open(name.c_str(), 2), 0);
    EXPECT_EQ(file.Write("abc", 3), 3u);
    file.Close();
    EXPECT_EQ(ReadBytes("maps/level1.dat"), (std::vector<BYTE>{'a', 'b', 'c'}));
    ASSERT_EQ(file.Open(name.c_str(), 1), 0);
    EXPECT_EQ(file.GetSize(), 3u);
}

TEST_F(KFileTest, CreateReplacesAnExistingFile)
{
    WriteBytes("old.bin", std::vector<BYTE>(100, 7));
    KFile file;
    ASSERT_EQ(file.Open(Path("old.bin").c_str(), 2), 0);
    file.Write("x", 1);
    file.Close();
    EXPECT_EQ(ReadBytes("old.bin"), std::vector<BYTE>{'x'});
}

TEST_F(KFileTest, OpenFailures)
{
    KFile file;
    EXPECT_NE(file.Open(Path("missing.bin").c_str(), 1), 0);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NE(file.Open(Path("no/such/folder/x.bin").c_str(), 2), 0);
    EXPECT_NE(file.Open(m_dir.c_str(), 1), 0);  // a folder is no file
    EXPECT_NE(file.Open(nullptr, 1), 0);
    EXPECT_NE(file.Open("", 1), 0);
    WriteBytes("here.bin", {1});
    EXPECT_NE(file.Open(Path("here.bin").c_str(), 3), 0);
    EXPECT_FALSE(file.IsOpen());

    // Calls on a closed file do nothing.
    BYTE b;
    EXPECT_EQ(file.Read(&b, 1), 0u);
    EXPECT_EQ(file.Write(&b, 1), 0u);
    EXPECT_EQ(file.Seek(0, KFILE_SEEK_BEGIN), -1);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.Tell(), 0u);
    file.Close();
}

TEST_F(KFileTest, ReopeningClosesTheFirstFile)
{
    WriteBytes("a.bin", {1, 2});
    WriteBytes("b.bin", {3, 4, 5});
    KFile file;
    ASSERT_EQ(file.Open(Path("a.bin").c_str(), 1), 0);
    ASSERT_EQ(file.Open(Path("b.bin").c_str(), 1), 0);
    EXPECT_EQ(file.GetSize(), 3u);
    // A failed open leaves the file closed.
    EXPECT_NE(file.Open(Path("missing").c_str(), 1), 0);
    EXPECT_FALSE(file.IsOpen());
}
