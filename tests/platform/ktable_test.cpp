// Table files and the word parser: tab-separated rows from disk or from an
// archive, and files found without regard to case.
#include "platform_fixture.h"

#include <zip.h>

#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace {

class TableTest : public ScratchTest {
protected:
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    static std::vector<std::vector<std::string>> Cells(KTable<char*>& t)
    {
        std::vector<std::vector<std::string>> out;
        for (int r = 0; r < t.GetRow(); r++) {
            out.emplace_back();
            for (int c = 0; c < t.GetCol() && t.GetData(c, r) != nullptr; c++)
                out.back().push_back(t.GetData(c, r));
        }
        return out;
    }
};

TEST_F(TableTest, RowsAndCellsAsWritten)
{
    struct Case {
        std::string bytes;
        std::vector<std::vector<std::string>> cells;
    };
    const Case cases[] = {
        {"", {}},
        {"a\tb\tc", {{"a", "b", "c"}}},
        {"a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
        {"a\nb\n", {{"a"}, {"b"}}},
        {"x\t\ty\n", {{"x", "", "y"}}},
        {"\n\n", {{""}, {""}}},
        {"a\rb\tc", {{"a\rb", "c"}}},  // a lone CR is part of the cell
        {std::string("ab\0cd\te", 7), {{"ab", "e"}}},
    };
    for (const Case& c : cases) {
        KTable<char*> t;
        t.Parse(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(Cells(t), c.cells) << c.bytes;
    }
}

TEST_F(TableTest, CellsOutOfRangeAreNullWhateverWasWrittenThroughThem)
{
    KTable<char*> t;
    const std::string text = "a\tb\nc\n";
    t.Parse(text.data(), text.size());
    EXPECT_EQ(t.GetRow(), 2);
    EXPECT_EQ(t.GetCol(), 2);
    for (auto [c, r] : {std::pair<int, int>{2, 0}, {1, 1}, {0, 2}, {-1, 0}, {0, -1}}) {
        char*& cell = t.GetData(c, r);
        EXPECT_EQ(cell, nullptr) << c << "," << r;
        cell = const_cast<char*>("junk");
    }
    EXPECT_EQ(t.GetData(5, 5), nullptr);
    EXPECT_STREQ(t.GetData(1, 0), "b");
}

TEST_F(TableTest, ReadFromDiskWithAnyCaseAndBackslashesOrFromAnArchive)
{
    ASSERT_EQ(mkdir(Path("Skins").c_str(), 0755), 0);
    Write("Skins/Frame.TXT", "pic.bmp\t0\t0\t8\t8\r\n");
    const std::string asked = m_dir + "\\skins\\frame.txt";
    KExcelTable disk(asked.c_str(), nullptr);
    ASSERT_EQ(disk.GetRow(), 1);
    EXPECT_STREQ(disk.GetData(0, 0), "pic.bmp");
    EXPECT_STREQ(disk.GetData(4, 0), "8");

    KExcelTable missing(Path("none.txt").c_str(), nullptr);
    EXPECT_EQ(missing.GetRow(), 0);

    const std::string zipPath = Path("pack.zip");
    int err = 0;
    zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    const char* body = "one\n2\t3\n";
    zip_file_add(z, "ui/table.txt", zip_source_buffer(z, body, std::strlen(body), 0), 0);
    ASSERT_EQ(zip_close(z), 0);
    CUnPackFile pack;
    ASSERT_TRUE(pack.Open(zipPath.c_str()));
    KExcelTable packed("UI\\Table.txt", &pack);
    ASSERT_EQ(packed.GetRow(), 2);
    EXPECT_STREQ(packed.GetData(1, 1), "3");
    KExcelTable notThere("ui\\other.txt", &pack);
    EXPECT_EQ(notThere.GetRow(), 0);
}

TEST_F(TableTest, WordTypes)
{
    struct Case {
        const char* text;
        int type;
        long number;
    };
    const Case cases[] = {
        {"42", KWORD_NUMBER, 42},       {" -7 ", KWORD_NUMBER, -7},  {"+3", KWORD_NUMBER, 3},
        {"1.5", KWORD_NUMBER, 1},       {"0\r", KWORD_NUMBER, 0},    {"", KWORD_NONE, 0},
        {"  ", KWORD_NONE, 0},          {"12a", KWORD_TEXT, 0},      {"-", KWORD_TEXT, 0},
        {"null", KWORD_TEXT, 0},        {".5", KWORD_TEXT, 0},       {"1 2", KWORD_TEXT, 0},
        {"99999999999999999999", KWORD_TEXT, 0},
    };
    KWordParser parser;
    for (const Case& c : cases) {
        KParserObject out;
        EXPECT_EQ(parser.Parse(out, c.text), c.type) << c.text;
        EXPECT_EQ(out.nNumber, c.number) << c.text;
    }
    KParserObject out;
    EXPECT_EQ(parser.Parse(out, nullptr), KWORD_NONE);
}

TEST_F(TableTest, KFileFindsAFileWithoutRegardToCase)
{
    ASSERT_EQ(mkdir(Path("Pics").c_str(), 0755), 0);
    Write("Pics/Button.BMP", "xyz");
    KFile f;
    EXPECT_EQ(f.Open((m_dir + "\\PICS\\button.bmp").c_str(), 1), 0);
    EXPECT_EQ(f.GetSize(), 3u);
    EXPECT_EQ(f.Open((m_dir + "/pics/missing.bmp").c_str(), 1), -1);
    EXPECT_EQ(f.Open((m_dir + "/nope/button.bmp").c_str(), 1), -1);
}

}  // namespace
