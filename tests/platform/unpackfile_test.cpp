// CUnPackFile over zip archives built in the test with libzip.
#include "platform_fixture.h"

#include <zip.h>

#include <climits>
#include <fstream>
#include <iterator>

#include "alloc_counter.h"

namespace {

struct Entry {
    std::string name;
    std::string data;
};

// Writes a zip archive holding the entries (deflated when asked).
bool MakeZip(const std::string& path, const std::vector<Entry>& entries, bool deflate = true)
{
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (z == nullptr)
        return false;
    for (const Entry& e : entries) {
        zip_source_t* src = zip_source_buffer(z, e.data.data(), e.data.size(), 0);
        if (src == nullptr)
            return false;
        const zip_int64_t index = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_RAW);
        if (index < 0) {
            zip_source_free(src);
            return false;
        }
        zip_set_file_compression(z, zip_uint64_t(index), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    return zip_close(z) == 0;
}

class UnPackTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        m_text = "The quick brown fox jumps over the lazy dog. ";
        for (int i = 0; i < 6; ++i)
            m_text += m_text;
        m_binary.assign("\x00\x01\xFF\x80kpc", 7);
        ASSERT_TRUE(MakeZip(Path("pack.zip"), {{"spr/ui/Button.KPC", m_text},
                                               {"data/raw.bin", m_binary},
                                               {"empty.txt", ""},
                                               {"folder/", ""}}));
    }
    std::string m_text, m_binary;
};

}  // namespace

TEST_F(UnPackTest, UnpacksWholeEntriesWithTheirSizes)
{
    CUnPackFile pack;
    EXPECT_FALSE(pack.IsOpen());
    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));
    EXPECT_TRUE(pack.IsOpen());

    int size = -1;
    BYTE* buf = pack.UnPack("spr/ui/Button.KPC", &size);
    ASSERT_NE(buf, nullptr);
    ASSERT_EQ(size, int(m_text.size()));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size_t(size)), m_text);
    pack.ReleaseBuf(buf);

    buf = pack.UnPack("data/raw.bin", &size);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size_t(size)), m_binary);
    pack.ReleaseBuf(buf);

    // An empty entry exists: a buffer, size 0.
    buf = pack.UnPack("empty.txt", &size);
    EXPECT_NE(buf, nullptr);
    EXPECT_EQ(size, 0);
    pack.ReleaseBuf(buf);
    pack.ReleaseBuf(nullptr);
}

TEST_F(UnPackTest, NamesMatchWithBackslashesAndAnyCase)
{
    CUnPackFile pack;
    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));
    for (const char* name : {"spr\\ui\\button.kpc", "SPR/UI/BUTTON.KPC", "\\spr\\UI\\Button.kpc",
                             "/spr/ui/button.KPC"}) {
        int size = 0;
        BYTE* buf = pack.UnPack(name, &size);
        ASSERT_NE(buf, nullptr) << name;
        EXPECT_EQ(size, int(m_text.size()));
        pack.ReleaseBuf(buf);
    }
}

TEST_F(UnPackTest, MissingEntriesAndFoldersGiveNull)
{
    CUnPackFile pack;
    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));
    int size = 99;
    EXPECT_EQ(pack.UnPack("spr/ui/missing.kpc", &size), nullptr);
    EXPECT_EQ(size, 0);
    size = 99;
    EXPECT_EQ(pack.UnPack("folder/", &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(pack.UnPack("spr/ui", &size), nullptr);
    EXPECT_EQ(pack.UnPack(nullptr, &size), nullptr);
    // The size pointer may be left out.
    BYTE* buf = pack.UnPack("data/raw.bin", nullptr);
    EXPECT_NE(buf, nullptr);
    pack.ReleaseBuf(buf);
}

TEST_F(UnPackTest, ClosedOrUnreadableArchivesGiveNothing)
{
    CUnPackFile pack;
    int size = 5;
    EXPECT_EQ(pack.UnPack("data/raw.bin", &size), nullptr);
    EXPECT_EQ(size, 0);

    EXPECT_FALSE(pack.Open(Path("missing.zip").c_str()));
    WriteBytes("junk.zip", {'P', 'K', 3, 4, 1, 2, 3});
    EXPECT_FALSE(pack.Open(Path("junk.zip").c_str()));
    EXPECT_FALSE(pack.IsOpen());
    EXPECT_FALSE(pack.Open(nullptr));

    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));
    pack.Close();
    EXPECT_FALSE(pack.IsOpen());
    EXPECT_EQ(pack.UnPack("data/raw.bin", &size), nullptr);
    pack.Close();
}

TEST_F(UnPackTest, ArchivePathMayUseBackslashes)
{
    ASSERT_EQ(mkdir(Path("paks").c_str(), 0755), 0);
    ASSERT_TRUE(MakeZip(Path("paks/ui.zip"), {{"a.txt", "A"}}));
    CUnPackFile pack;
    ASSERT_TRUE(pack.Open((Path("paks") + "\\ui.zip").c_str()));
    int size = 0;
    BYTE* buf = pack.UnPack("A.TXT", &size);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(buf[0], 'A');
    pack.ReleaseBuf(buf);
}

TEST_F(UnPackTest, DamagedEntryFailsInsteadOfGivingBadBytes)
{
    // A stored (uncompressed) entry whose bytes are changed on disk: its
    // checksum no longer matches.
    const std::string payload(300, 'Z');
    ASSERT_TRUE(MakeZip(Path("bad.zip"), {{"z.bin", payload}}, false));
    std::vector<BYTE> bytes = ReadBytes("bad.zip");
    const std::string needle(16, 'Z');
    auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    ASSERT_NE(at, bytes.end());
    at[5] = 'Y';
    WriteBytes("bad.zip", bytes);

    CUnPackFile pack;
    ASSERT_TRUE(pack.Open(Path("bad.zip").c_str()));
    int size = 7;
    EXPECT_EQ(pack.UnPack("z.bin", &size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(UnPackTest, DoubleByteNamesMatchByteForByte)
{
    // GBK names are kept as raw bytes.
    const std::string gbk = "\xCD\xBC\xC6\xAC/\xB0\xB4\xC5\xA5.kpc";
    ASSERT_TRUE(MakeZip(Path("gbk.zip"), {{gbk, "gbk"}}));
    CUnPackFile pack;
    ASSERT_TRUE(pack.Open(Path("gbk.zip").c_str()));
    int size = 0;
    BYTE* buf = pack.UnPack("\xCD\xBC\xC6\xAC\\\xB0\xB4\xC5\xA5.KPC", &size);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(size, 3);
    pack.ReleaseBuf(buf);
}

namespace {

// The archive's bytes with the size both headers give its only entry
// replaced by `claim`: the local header has it at 22, the central one at 24.
std::vector<BYTE> LyingZip(const std::string& path, uint32_t claim)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<BYTE> zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto put = [&](size_t at) {
        for (int i = 0; i < 4; i++)
            zip[at + size_t(i)] = BYTE(claim >> (8 * i));
    };
    put(22);
    for (size_t i = 0; i + 4 <= zip.size(); i++)
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2)
            put(i + 24);
    return zip;
}

}  // namespace

TEST_F(UnPackTest, SizesTheDataCannotBearOutAreRefusedWithATextAndCostLittle)
{
    const std::string many(100000, 'a');  // deflates to a few hundred bytes
    struct Case {
        const char* what;
        bool deflate;
        const std::string& data;
        uint32_t claim;
        std::string text;
    } cases[] = {
        {"stored, claims 2 GiB", false, m_text, 0x80000000u,
         "CUnPackFile::UnPack(e.bin) entry of 2147483648 bytes is too large"},
        {"stored, claims 2 GiB - 1", false, m_text, 0x7FFFFFFFu,
         "CUnPackFile::UnPack(e.bin) entry claims 2147483647 bytes its data cannot hold"},
        {"deflated, claims 2 GiB - 1", true, many, 0x7FFFFFFFu,
         "CUnPackFile::UnPack(e.bin) entry claims 2147483647 bytes its data cannot hold"},
        {"deflated, claims a little more", true, many, 100100,
         "CUnPackFile::UnPack(e.bin) entry does not hold the 100100 bytes it claims"},
        {"deflated, claims a little less", true, many, 99999,
         "CUnPackFile::UnPack(e.bin) entry does not hold the 99999 bytes it claims"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeZip(Path("lie.zip"), {{"e.bin", c.data}}, c.deflate));
        const std::vector<BYTE> zip = LyingZip(Path("lie.zip"), c.claim);
        std::ofstream(Path("lie.zip"), std::ios::binary)
            .write(reinterpret_cast<const char*>(zip.data()), std::streamsize(zip.size()));
        CUnPackFile pack;
        ASSERT_TRUE(pack.Open(Path("lie.zip").c_str())) << c.what;
        kbase::ClearLog();
        int size = -1;
        const AllocCounter counter;
        EXPECT_EQ(pack.UnPack("e.bin", &size), nullptr) << c.what;
        EXPECT_EQ(size, 0) << c.what;
        EXPECT_TRUE(kbase::LogContains(c.text)) << c.what;
        if (AllocCounter::Available()) {
            EXPECT_LT(counter.Peak(), size_t(1) << 20) << c.what;
        }
    }
}
