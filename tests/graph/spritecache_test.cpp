// The sprite cache and KGraph::Load: sharing by name, dispatch by extension,
// pictures from a packed archive, and failures that leave nothing cached.
#include <filesystem>
#include <string>
#include <vector>
#include "graph_fixture.h"
#include "picture_bytes.h"
#include "test_jpeg.h"

namespace {

// A raw kpc of w x h pixels of one value.
Bytes RawKpc(DWORD w, DWORD h, WORD pixel)
{
    Bytes rows;
    for (DWORD i = 0; i < w * h; i++)
        Put16(rows, pixel);
    return KpcBytes(0, w * h * 2, w, h, rows);
}

// A 32-bit TGA of w x h pixels (blue, green, red, alpha).
Bytes Tga(WORD w, WORD h, std::initializer_list<BYTE> pixel)
{
    return TgaBytes(w, h, Flat(w, h, pixel));
}

// An 8 x 8 JPEG of one colour.
Bytes Jpeg(BYTE r, BYTE g, BYTE b)
{
    return EncodeJpeg(Flat(8, 8, {r, g, b}), 8, 8, 3, JCS_RGB);
}

class SpriteCache : public PictureTest<> {
protected:
    SpriteCache() : PictureTest("kestrel-cache-") {}
    void TearDown() override
    {
        pack.Close();
        PictureTest::TearDown();
    }
    KSprite* Load(const std::string& path, CUnPackFile* from = nullptr)
    {
        return g.Load(path.c_str(), 0, from);
    }
    size_t Cached() { return g.GetSpriteManager()->GetCount(); }

    CUnPackFile pack;
};

TEST_F(SpriteCache, SameNameSharesOneBlockUntilItsLastHolderGoes)
{
    WriteFile(Path("a.kpc"), RawKpc(2, 2, 0x1234));
    KSprite* first = Load(Path("a.kpc"));
    KSprite* second = Load(Path("a.kpc"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->GetData(), second->GetData());
    EXPECT_EQ(first->GetData()->ref, 2u);
    EXPECT_EQ(first->GetRect().right, 2);
    EXPECT_EQ(first->GetRect().bottom, 2);
    EXPECT_EQ(first->GetRenderEngine(), g.GetRenderEngine());
    EXPECT_EQ(Cached(), 1u);

    g.ReleaseKSprite(first);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(second->GetData()->ref, 1u);
    EXPECT_EQ(Cached(), 1u);
    g.ReleaseKSprite(second);
    EXPECT_EQ(Cached(), 0u);

    // Loaded afresh: the file's new content shows.
    WriteFile(Path("a.kpc"), RawKpc(2, 2, 0x4321));
    KSprite* again = Load(Path("a.kpc"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Px16(again->GetData(), 1, 1), 0x4321);
    g.ReleaseKSprite(again);
}

TEST_F(SpriteCache, ExtensionIsComparedLowerCasedButNamesAsPassed)
{
    WriteFile(Path("b.KPC"), RawKpc(1, 1, 7));
    std::filesystem::copy_file(Path("b.KPC"), Path("b.kpc"));
    KSprite* upper = Load(Path("b.KPC"));
    KSprite* lower = Load(Path("b.kpc"));
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_NE(upper->GetData(), lower->GetData());
    EXPECT_EQ(Cached(), 2u);
    g.ReleaseKSprite(upper);
    g.ReleaseKSprite(lower);
}

TEST_F(SpriteCache, JpegAndJpgReachTheJpegLoaderAndOtherNamesMatchNothing)
{
    EXPECT_EQ(Load(Path("pic.jpeg")), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::Report, "KGraph::_loadjpeg(" + Path("pic.jpeg") + ") open fail"));
    EXPECT_EQ(Load(Path("pic.jpg")), nullptr);
    std::vector<kbase::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, "KGraph::_loadjpeg(" + Path("pic.jpg") + ") open fail");
    EXPECT_EQ(log[1].kind, kbase::LogEntry::Log);
    EXPECT_EQ(log[1].text, "KSpriteManager::Load(" + Path("pic.jpg") + ")");

    for (std::string name : {Path("pic.jpe"), std::string("dir.old/pic"), std::string("abc"),
                             std::string(""), Path("pic.kpcbmptgajpg")}) {
        EXPECT_EQ(Load(name), nullptr) << name;
        EXPECT_TRUE(Has(kbase::LogEntry::Log,
                        "KSpriteManager::Load(" + name + ") fail, unknown file type!"))
            << name;
    }
    EXPECT_EQ(Cached(), 0u);
}

TEST_F(SpriteCache, FailedLoadCachesNothingAndCallsTheLoaderAgain)
{
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(Load(Path("none.kpc")), nullptr);
        EXPECT_TRUE(Has(kbase::LogEntry::Report, "_loadkpc(" + Path("none.kpc") + ")"));
    }
    EXPECT_EQ(Cached(), 0u);
}

TEST_F(SpriteCache, MissingGifAndPngSayTheyCannotBeMade)
{
    EXPECT_EQ(Load(Path("a.gif")), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::DebugLine, "_loadgif(" + Path("a.gif") + ",,) create fail"));
    EXPECT_EQ(Load(Path("a.png")), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::DebugLine, "_loadpng(" + Path("a.png") + ",,) create fail"));
    EXPECT_EQ(Cached(), 0u);
}

TEST_F(SpriteCache, TgaHandsItsAlphaOnlyToTheFirstLoad)
{
    WriteFile(Path("t.tga"), Tga(2, 1, {0, 0, 255, 0x80}));
    KSprite* first = Load(Path("t.tga"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->GetAlphaData(), nullptr);
    EXPECT_EQ(Px8(first->GetAlphaData(), 1, 0), 0x80);
    KSprite* second = Load(Path("t.tga"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetAlphaData(), nullptr);
    EXPECT_EQ(Cached(), 1u);  // the alpha block is never cached
    g.ReleaseKSprite(first);
    g.ReleaseKSprite(second);
    EXPECT_EQ(Cached(), 0u);
}

TEST_F(SpriteCache, NamesTooLongForARecordLoadButAreNotShared)
{
    const std::string name = Path(std::string(130, 'n') + ".kpc");
    WriteFile(name, RawKpc(1, 1, 3));
    KSprite* a = Load(name);
    KSprite* b = Load(name);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->GetData(), b->GetData());
    EXPECT_EQ(Cached(), 0u);
    g.ReleaseKSprite(a);
    g.ReleaseKSprite(b);
}

TEST_F(SpriteCache, PicturesLoadFromAnArchiveButBmpAlwaysFromDisk)
{
    WriteFile(Path("pack.zip"), StoredZip({{"pics/a.kpc", RawKpc(3, 2, 0x0F0F)},
                                           {"pics/t.tga", Tga(1, 1, {255, 0, 0, 9})},
                                           {"pics/j.jpg", Jpeg(0, 255, 0)},
                                           {"pics/b.bmp", Bytes(60, 0)}}));
    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));

    KSprite* kpc = Load("pics\\a.kpc", &pack);
    ASSERT_NE(kpc, nullptr);
    EXPECT_EQ(Px16(kpc->GetData(), 2, 1), 0x0F0F);
    KSprite* tga = Load("pics/t.tga", &pack);
    ASSERT_NE(tga, nullptr);
    EXPECT_EQ(Px16(tga->GetData(), 0, 0), 0x001F);
    EXPECT_EQ(Px8(tga->GetAlphaData(), 0, 0), 9);
    KSprite* jpg = Load("pics/j.jpg", &pack);
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(Px16(jpg->GetData(), 4, 4), 0x07E0);

    EXPECT_EQ(Load("pics/b.bmp", &pack), nullptr);  // not in the folder on disk
    EXPECT_TRUE(Has(kbase::LogEntry::Report, "_loadbmp(pics/b.bmp,,)"));
    for (KSprite* s : {kpc, tga, jpg})
        g.ReleaseKSprite(s);
}

TEST_F(SpriteCache, DamagedOrMissingArchiveEntriesFail)
{
    Bytes cutKpc = RawKpc(4, 4, 1);
    cutKpc.resize(cutKpc.size() - 1);
    Bytes cutTga = Tga(4, 4, {1, 2, 3, 4});
    cutTga.resize(18 + 4 * 4 * 4 - 1);
    WriteFile(Path("pack.zip"), StoredZip({{"cut.kpc", cutKpc}, {"cut.tga", cutTga},
                                           {"head.tga", Bytes(10, 0)}, {"empty.jpg", Bytes()}}));
    ASSERT_TRUE(pack.Open(Path("pack.zip").c_str()));

    EXPECT_EQ(Load("cut.kpc", &pack), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::Report, "UnPack error! _loadkpc(cut.kpc)"));
    EXPECT_EQ(Load("cut.tga", &pack), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::DebugLine, "KGraph::_loadtga(%) fail!"));
    EXPECT_EQ(Load("head.tga", &pack), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::DebugLine, "KGraph::_loadtga(%) fail!"));
    EXPECT_EQ(Load("empty.jpg", &pack), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::Report, "KGraph::_loadjpeg(dat) ijl read file head fail"));

    // Missing entries: the TGA loader says so, kpc and JPEG stay silent.
    EXPECT_EQ(Load("gone.tga", &pack), nullptr);
    EXPECT_TRUE(Has(kbase::LogEntry::DebugLine, "KGraph::_loadtga(gone.tga) can't find file in pack file!"));
    EXPECT_EQ(Load("gone.kpc", &pack), nullptr);
    EXPECT_EQ(Load("gone.jpg", &pack), nullptr);
    std::vector<kbase::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, "KSpriteManager::Load(gone.kpc)");
    EXPECT_EQ(log[1].text, "KSpriteManager::Load(gone.jpg)");
    EXPECT_EQ(Cached(), 0u);
}

TEST_F(SpriteCache, IsPngReadsTheFirstFourBytes)
{
    WriteFile(Path("p.bin"), Bytes({0x89, 'P', 'N', 'G', 13, 10}));
    WriteFile(Path("q.bin"), Bytes({0x89, 'P', 'N'}));
    WriteFile(Path("r.bin"), Bytes({0x89, 'P', 'N', 'g'}));
    EXPECT_TRUE(g.IsPNG(Path("p.bin").c_str()));
    EXPECT_FALSE(g.IsPNG(Path("q.bin").c_str()));
    EXPECT_FALSE(g.IsPNG(Path("r.bin").c_str()));
    EXPECT_FALSE(g.IsPNG(Path("none.png").c_str()));
}

}  // namespace
