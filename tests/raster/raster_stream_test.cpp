// The image streams: memory blocks that grow in 4096-byte steps and C files.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include <rasterfile.h>

namespace {

// A memory stream whose capacity a test can read.
class ProbeMemFile : public RasterMemFile {
public:
    using RasterMemFile::RasterMemFile;
    long Capacity() const { return nEdge; }
    bool Owns() const { return bFreeOnClose; }
};

BYTE* HeapBytes(const char* text, size_t n)
{
    BYTE* p = static_cast<BYTE*>(malloc(n));
    memcpy(p, text, n);
    return p;
}

TEST(RasterMemFile, ReadCountsWholeItemsAndStopsAtTheEnd)
{
    BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    RasterMemFile f(data, 10);
    BYTE out[12] = {};
    EXPECT_EQ(3u, f.Read(out, 3, 4));  // 10 bytes copied, the partial item counts for nothing
    EXPECT_EQ(9, out[9]);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(-1, f.GetC());
}

TEST(RasterMemFile, SeekPastTheEndAndBeforeTheStart)
{
    BYTE data[10] = {};
    RasterMemFile f(data, 10);
    EXPECT_TRUE(f.Seek(5, SEEK_END));
    EXPECT_EQ(15, f.Tell());
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(1, f.Error());
    BYTE b;
    EXPECT_EQ(0u, f.Read(&b, 1, 1));
    EXPECT_FALSE(f.Seek(-11, SEEK_END));
    EXPECT_EQ(15, f.Tell());
    EXPECT_FALSE(f.Seek(0, 3));
    EXPECT_FALSE(f.Seek(LONG_MAX, SEEK_CUR));  // overflowing positions are refused
    EXPECT_EQ(15, f.Tell());
}

TEST(RasterMemFile, GrowsInSteps)
{
    ProbeMemFile f;
    ASSERT_TRUE(f.Open());
    EXPECT_EQ(0, f.Size());
    EXPECT_EQ(0, f.Tell());
    EXPECT_FALSE(f.Open());
    BYTE one = 7;
    EXPECT_EQ(1u, f.Write(&one, 1, 1));
    EXPECT_EQ(4096, f.Capacity());
    EXPECT_EQ(1, f.Size());
    std::string more(5000, 'x');
    EXPECT_EQ(1u, f.Write(more.data(), 5000, 1));
    EXPECT_EQ(8192, f.Capacity());
    EXPECT_EQ(5001, f.Size());
}

TEST(RasterMemFile, CallerBlockIsWrittenInPlaceAndGrownFromItsSize)
{
    BYTE* block = HeapBytes("abcdefghij", 10);
    ProbeMemFile f(block, 10);
    EXPECT_FALSE(f.Owns());
    ASSERT_TRUE(f.Seek(2, SEEK_SET));
    EXPECT_EQ(1u, f.Write("XY", 2, 1));
    EXPECT_EQ(10, f.Size());
    EXPECT_EQ(0, memcmp(block, "abXYefghij", 10));
    ASSERT_TRUE(f.Seek(0, SEEK_END));
    EXPECT_TRUE(f.PutC('!'));
    EXPECT_EQ(10 + 4096, f.Capacity());  // the caller's size plus one step
    EXPECT_TRUE(f.Owns());
    EXPECT_EQ(0, memcmp(f.GetBuffer(false), "abXYefghij!", 11));
}

TEST(RasterMemFile, GapAfterSeekPastTheEndReadsAsZero)
{
    RasterMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_EQ(1u, f.Write("ab", 2, 1));
    ASSERT_TRUE(f.Seek(100, SEEK_SET));
    ASSERT_EQ(1u, f.Write("z", 1, 1));
    EXPECT_EQ(101, f.Size());
    const BYTE* p = f.GetBuffer(false);
    for (int i = 2; i < 100; i++)
        ASSERT_EQ(0, p[i]) << i;
    EXPECT_EQ('z', p[100]);
}

TEST(RasterMemFile, WritesBeyondThirtyTwoBitsFailCleanly)
{
    ProbeMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_EQ(1u, f.Write("ab", 2, 1));
    ASSERT_TRUE(f.Seek(0xFFFFFFFFL, SEEK_SET));
    EXPECT_EQ(0u, f.Write("cd", 2, 1));
    EXPECT_FALSE(f.PutC('x'));
    EXPECT_EQ(2, f.Size());
    BYTE big;
    EXPECT_EQ(0u, f.Write(&big, SIZE_MAX, 2));  // size x count overflows
    EXPECT_EQ(4096, f.Capacity());
}

#if !defined(__SANITIZE_ADDRESS__)
// Caps the address space just above what the process uses, then asks the
// stream for a 2 GiB growth; 0 when the write fails cleanly.
int GrowPastTheCap()
{
    ProbeMemFile f;
    f.Open();
    f.Write("abc", 3, 1);
    long pages = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr || fscanf(statm, "%ld", &pages) != 1)
        return 2;
    fclose(statm);
    rlim_t cap = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + (256u << 20);
    rlimit limit = {cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    f.Seek(0x7FFF0000L, SEEK_SET);
    bool ok = f.Write("x", 1, 1) == 0 && !f.PutC('y') && f.Size() == 3 && f.Capacity() == 4096 &&
              memcmp(f.GetBuffer(false), "abc", 3) == 0;
    return ok ? 0 : 1;
}
#endif

TEST(RasterMemFile, FailedGrowthWritesNothingAndKeepsTheBlock)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer aborts on a failed allocation instead of returning null";
#else
    EXPECT_EXIT(_exit(GrowPastTheCap()), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(RasterMemFile, DetachedBufferOutlivesTheStream)
{
    BYTE* kept = nullptr;
    {
        RasterMemFile f;
        ASSERT_TRUE(f.Open());
        f.Write("hello", 5, 1);
        kept = f.GetBuffer(true);
    }
    EXPECT_EQ(0, memcmp(kept, "hello", 5));
    free(kept);
    {
        RasterMemFile f(HeapBytes("owned", 5), 5);
        f.GetBuffer(false);  // the stream frees it (checked by the leak sanitizer)
    }
}

TEST(RasterMemFile, CopiesShareTheBlockButNeverFreeIt)
{
    RasterMemFile a;
    ASSERT_TRUE(a.Open());
    a.Write("abcd", 4, 1);
    {
        RasterMemFile b(a);
        EXPECT_EQ(a.GetBuffer(false), b.GetBuffer(false));
        EXPECT_EQ(4, b.Tell());
        ASSERT_TRUE(b.Seek(0, SEEK_SET));
        EXPECT_EQ(1u, b.Write("AB", 2, 1));  // in place, within the block
        // Outgrowing the block moves the copy's data to a block of its own.
        std::string big(6000, 'q');
        EXPECT_EQ(1u, b.Write(big.data(), big.size(), 1));
        EXPECT_NE(a.GetBuffer(false), b.GetBuffer(false));
        RasterMemFile c;
        c = b;  // assignment too leaves the block with b
    }
    EXPECT_EQ(0, memcmp(a.GetBuffer(false), "ABcd", 4));
    EXPECT_EQ(4, a.Size());
}

TEST(RasterMemFile, EmptyStreamAnswers)
{
    RasterMemFile f;
    BYTE b;
    EXPECT_EQ(-1, f.Tell());
    EXPECT_EQ(-1, f.Size());
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(-1, f.Error());
    EXPECT_FALSE(f.Flush());
    EXPECT_FALSE(f.Seek(0, SEEK_SET));
    EXPECT_EQ(0u, f.Read(&b, 1, 1));
    EXPECT_EQ(0u, f.Write(&b, 1, 1));
    EXPECT_FALSE(f.PutC(1));
    EXPECT_TRUE(f.Close());
}

class RasterIOFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = ::testing::TempDir() + "raster_iofile_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { remove(m_path.c_str()); }
    std::string m_path;
};

TEST_F(RasterIOFileTest, OpenWriteReadAndSize)
{
    RasterIOFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), "w+b"));
    EXPECT_EQ(1u, f.Write("abcdef", 6, 1));
    EXPECT_TRUE(f.PutC('g'));
    EXPECT_TRUE(f.Flush());
    EXPECT_EQ(7, f.Size());
    EXPECT_EQ(7, f.Tell());
    ASSERT_TRUE(f.Seek(1, SEEK_SET));
    EXPECT_EQ('b', f.GetC());
    char buf[8] = {};
    EXPECT_EQ(5u, f.Read(buf, 1, 8));
    EXPECT_STREQ("cdefg", buf);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(0, f.Error());
    EXPECT_TRUE(f.Close());
    EXPECT_TRUE(f.Open(m_path.c_str(), "rb"));  // empty again after Close
}

TEST_F(RasterIOFileTest, CallersStreamIsNotClosed)
{
    FILE* fp = fopen(m_path.c_str(), "w+b");
    ASSERT_NE(nullptr, fp);
    {
        RasterIOFile f(fp);
        EXPECT_TRUE(f.Close());
        EXPECT_FALSE(f.Open(m_path.c_str(), "rb"));  // still holds the caller's stream
        RasterIOFile copy(f);
        EXPECT_EQ(1u, copy.Write("x", 1, 1));
    }
    EXPECT_EQ(0, fputc('y', fp) == EOF);
    EXPECT_EQ(0, fclose(fp));
}

TEST_F(RasterIOFileTest, CopyOfAnOwningStreamDoesNotCloseIt)
{
    RasterIOFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), "wb"));
    {
        RasterIOFile copy(f);
        RasterIOFile assigned;
        assigned = f;
    }
    EXPECT_EQ(1u, f.Write("still open", 10, 1));
    EXPECT_TRUE(f.Close());
}

TEST(RasterIOFile, EmptyStreamAnswers)
{
    RasterIOFile f;
    BYTE b;
    EXPECT_EQ(0, f.Tell());
    EXPECT_EQ(-1, f.Size());
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(-1, f.Error());
    EXPECT_EQ(-1, f.GetC());
    EXPECT_EQ(0u, f.Read(&b, 1, 1));
    EXPECT_FALSE(f.PutC(1));
    EXPECT_FALSE(f.Seek(0, SEEK_SET));
    EXPECT_FALSE(f.Flush());
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.Open("/nonexistent-dir/x", "rb"));
}

}  // namespace
