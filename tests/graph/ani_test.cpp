// KAni: playback by the desktop's manual clock, the KAni file read and
// written field by field, malformed files refused without leaks, and
// colour-keyed frames drawn keyed.
#include <filesystem>
#include <string>
#include <vector>
#include "graph_fixture.h"
#include "picture_bytes.h"

// Reads the animation's private playback state.
struct KAniAccess {
    static DWORD Cur(KAni& a) { return a.m_dwCurFrame; }
    static DWORD Clock(KAni& a) { return a.m_dwLastTime; }
    static bool ColorKey(KAni& a) { return a.m_bColorKey; }
    static const ANI_FRAME& Frame(KAni& a, DWORD i) { return a.m_Frames[i]; }
};

namespace {

using Access = KAniAccess;

const WORD kRed = 0xF800;
const WORD kGreen = 0x07E0;
const WORD kBlue = 0x001F;

// A 24-bit bitmap from top-down 0xRRGGBB pixels.
Bytes Bmp24(int w, int h, const std::vector<uint32_t>& rgb)
{
    const int row = (w * 3 + 3) & ~3;
    Bytes pixels(size_t(row) * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint32_t c = rgb[size_t((h - 1 - y) * w + x)];
            uint8_t* p = &pixels[size_t(y) * row + x * 3];
            p[0] = uint8_t(c);
            p[1] = uint8_t(c >> 8);
            p[2] = uint8_t(c >> 16);
        }
    return BmpBytes(w, h, 24, pixels);
}

Bytes SolidBmp(int w, int h, uint32_t rgb)
{
    return Bmp24(w, h, std::vector<uint32_t>(size_t(w) * h, rgb));
}

struct FileFrame {
    uint32_t image, delay;
    int32_t l, t, r, b;
};

// A KAni file, field by field.
Bytes AniBytes(uint32_t flags, const std::vector<std::string>& names,
               const std::vector<FileFrame>& frames)
{
    Bytes b = {'K', 'A', 'n', 'i'};
    Put32(b, 12);
    Put32(b, flags);
    Put32(b, uint32_t(names.size()));
    Put32(b, uint32_t(frames.size()));
    for (const std::string& n : names) {
        Bytes field(64, 0);
        std::copy(n.begin(), n.end(), field.begin());
        b.insert(b.end(), field.begin(), field.end());
    }
    for (const FileFrame& f : frames)
        for (uint32_t v : {f.image, f.delay, uint32_t(f.l), uint32_t(f.t), uint32_t(f.r),
                           uint32_t(f.b)})
            Put32(b, v);
    return b;
}

class AniTest : public PictureTest<> {
protected:
    AniTest() : PictureTest<>("kestrel-ani-") {}
    void SetUp() override
    {
        PictureTest<>::SetUp();
        desktop::UseManualClock(1000);
    }
    void TearDown() override
    {
        for (KSprite* s : owned)
            g.ReleaseKSprite(s);
        PictureTest<>::TearDown();
    }
    KSprite* Solid(long w, long h, WORD colour)
    {
        KSprite* s = g.CreateSprite(w, h, KCM_R5G6B5, 0);
        s->_clear(colour);
        owned.push_back(s);
        return s;
    }
    // An animation of n frames of one picture, each `delay` ms.
    void Frames(KAni& ani, DWORD n, DWORD delay)
    {
        ASSERT_EQ(ani.Init(n), 0);
        KSprite* pic = Solid(long(n) * 4, 4, kRed);
        for (DWORD i = 0; i < n; i++) {
            RECT rc = {LONG(i * 4), 0, LONG(i * 4 + 4), 4};
            ani.SetFrame(i, pic, rc, delay, 0);
        }
    }
    size_t Cached() { return g.GetSpriteManager()->GetCount(); }

    std::vector<KSprite*> owned;
};

// ---- Playback on the manual clock

TEST_F(AniTest, ThreeFramesChangeAtEachDelayAndWrapToFrameZero)
{
    KAni ani;
    Frames(ani, 3, 100);
    EXPECT_EQ(ani.Draw(0, 0), 0);  // starts the clock on frame 0
    EXPECT_EQ(Access::Clock(ani), 1000u);
    EXPECT_EQ(ani.GetCurSprite(), ani.GetSprite(0));
    desktop::AdvanceClock(99);
    EXPECT_EQ(ani.Draw(0, 0), 0);
    EXPECT_EQ(Access::Cur(ani), 0u);
    desktop::AdvanceClock(1);
    EXPECT_EQ(ani.Draw(0, 0), 2);
    EXPECT_EQ(ani.GetCurSprite(), ani.GetSprite(1));
    desktop::AdvanceClock(100);
    EXPECT_EQ(ani.Draw(0, 0), 3);
    desktop::AdvanceClock(100);
    EXPECT_EQ(ani.Draw(0, 0), long(0x80000000));
    EXPECT_EQ(Access::Cur(ani), 0u);
    EXPECT_EQ(Access::Clock(ani), 1300u);
}

TEST_F(AniTest, ALongPauseAdvancesOneFramePerAction)
{
    KAni ani;
    Frames(ani, 3, 100);
    EXPECT_EQ(ani.Action(), 0);
    desktop::AdvanceClock(1000);
    EXPECT_EQ(ani.Action(), 2);
    EXPECT_EQ(ani.Action(), 0);  // the clock restarted at the change
    desktop::AdvanceClock(100);
    EXPECT_EQ(ani.Action(), 3);
}

TEST_F(AniTest, AOneFrameAnimationAlwaysWraps)
{
    KAni ani;
    Frames(ani, 1, 50);
    EXPECT_EQ(ani.NextFrame(), long(0x80000000));
    EXPECT_EQ(ani.NextFrame(), long(0x80000000));
    EXPECT_EQ(Access::Cur(ani), 0u);
}

TEST_F(AniTest, ClockWrapAroundIsMeasuredUnsigned)
{
    desktop::UseManualClock(0xFFFFFFF0u);
    KAni ani;
    Frames(ani, 2, 100);
    EXPECT_EQ(ani.Action(), 0);
    desktop::AdvanceClock(99);  // past 2^32
    EXPECT_EQ(ani.Action(), 0);
    desktop::AdvanceClock(1);
    EXPECT_EQ(ani.Action(), 2);
}

TEST_F(AniTest, InitAfterReleaseRestartsFrameAndClock)
{
    KAni ani;
    Frames(ani, 3, 100);
    ani.Action();
    ani.NextFrame();
    ani.NextFrame();
    ani.Release();
    EXPECT_EQ(ani.GetMaxFrames(), 0u);
    Frames(ani, 1, 100);
    EXPECT_EQ(Access::Cur(ani), 0u);
    EXPECT_EQ(Access::Clock(ani), 0u);
    EXPECT_EQ(ani.GetCurSprite(), ani.GetSprite(0));
    EXPECT_EQ(ani.Draw(0, 0), 0);  // starts the clock again
}

TEST_F(AniTest, LoadRestartsFrameAndClock)
{
    WriteFile(Path("one.bmp"), SolidBmp(4, 4, 0xFF0000));
    const std::string file = Path("one.ani");
    WriteFile(file, AniBytes(0, {"one.bmp"}, {{0, 100, 0, 0, 4, 4}}));
    KAni ani;
    Frames(ani, 3, 100);
    ani.Action();
    ani.NextFrame();
    ani.NextFrame();  // frame 2 of 3
    ani.Release();
    ASSERT_EQ(ani.Load((Path("") + "\\one.ani").c_str(), &g), 0);
    EXPECT_EQ(Access::Cur(ani), 0u);
    EXPECT_EQ(Access::Clock(ani), 0u);
    EXPECT_EQ(ani.GetWidth(), 4);
    EXPECT_EQ(ani.Draw(0, 0), 0);
}

TEST_F(AniTest, AnEmptyAnimationNeitherActsNorDraws)
{
    KAni ani;
    EXPECT_EQ(ani.Action(), 0);
    EXPECT_EQ(ani.Draw(0, 0), 0);
    EXPECT_EQ(ani.GetCurSprite(), nullptr);
    EXPECT_TRUE(Asserted("m_dwCurFrame < m_dwMaxFrame"));
    EXPECT_EQ(ani.GetWidth(), 0);
    EXPECT_EQ(ani.GetSprite(5), nullptr);
    EXPECT_TRUE(Asserted("index < m_dwMaxFrame"));
    EXPECT_EQ(Access::Clock(ani), 0u);
}

TEST_F(AniTest, InitRefusesAFullAnimationAndZeroFrames)
{
    KAni ani;
    EXPECT_EQ(ani.Init(0), -1);
    EXPECT_TRUE(Asserted("dwMaxFrame > 0"));
    Frames(ani, 2, 10);
    EXPECT_EQ(ani.Init(5), -1);
    EXPECT_TRUE(Asserted("m_Frames == NULL"));
    EXPECT_EQ(ani.GetMaxFrames(), 2u);
}

TEST_F(AniTest, FramesAreViewsSharingThePicture)
{
    KAni ani;
    Frames(ani, 2, 10);
    KSprite* pic = owned.back();
    EXPECT_EQ(ani.GetSprite(0)->GetData(), pic->GetData());
    EXPECT_EQ(pic->GetData()->ref, 3u);
    EXPECT_EQ(ani.GetSprite(1)->GetRect().left, 4);
    EXPECT_EQ(ani.GetWidth(), 4);
    EXPECT_EQ(ani.GetHeight(), 4);
    RECT rc = {0, 0, 1, 1};
    ani.SetFrame(1, pic, rc, 5, 0);  // already set: refused
    EXPECT_TRUE(Asserted("m_Frames[index].spr == NULL"));
    EXPECT_EQ(ani.GetSprite(1)->GetRect().left, 4);
    ani.Release();
    EXPECT_EQ(pic->GetData()->ref, 1u);
}

// ---- The KAni file

TEST_F(AniTest, LoadJoinsNamesToTheFolderOfTheFile)
{
    std::filesystem::create_directory(Path("anim"));
    WriteFile(Path("anim/walk0.bmp"), SolidBmp(8, 4, 0xFF0000));
    WriteFile(Path("anim/walk1.bmp"), SolidBmp(4, 4, 0x00FF00));
    WriteFile(Path("anim/walk.ani"),
              AniBytes(0x80000000, {"walk0.bmp", "walk1.bmp"},
                       {{0, 120, 0, 0, 4, 4}, {1, 80, 1, 1, 3, 4}, {0, 40, 4, 0, 8, 4}}));
    KAni ani;
    ASSERT_EQ(ani.Load((Path("anim") + "\\walk.ani").c_str(), &g), 0);
    ASSERT_EQ(ani.GetMaxFrames(), 3u);
    EXPECT_TRUE(Access::ColorKey(ani));
    const DWORD delays[3] = {120, 80, 40};
    const DWORD images[3] = {0, 1, 0};
    const RECT rects[3] = {{0, 0, 4, 4}, {1, 1, 3, 4}, {4, 0, 8, 4}};
    for (DWORD i = 0; i < 3; i++) {
        EXPECT_EQ(Access::Frame(ani, i).delay, delays[i]);
        EXPECT_EQ(Access::Frame(ani, i).image, images[i]);
        const RECT& rc = ani.GetSprite(i)->GetRect();
        EXPECT_TRUE(EqualRect(&rc, &rects[i])) << i;
    }
    // Frames 0 and 2 share walk0's pixels, which only their views hold now.
    SPRITE_DATA* walk0 = ani.GetSprite(0)->GetData();
    EXPECT_EQ(ani.GetSprite(2)->GetData(), walk0);
    EXPECT_EQ(walk0->ref, 2u);
    EXPECT_EQ(ani.GetSprite(1)->GetData()->ref, 1u);
    EXPECT_EQ(Px16(walk0, 0, 0), kRed);
    ani.Release();
    EXPECT_EQ(Cached(), 0u);  // every picture went with the last view
}

TEST_F(AniTest, ANameWithoutBackslashLoadsTheNamesAsTheyStand)
{
    const std::string pic = Path("p.bmp");  // an absolute name
    ASSERT_LT(pic.size(), 64u);
    WriteFile(pic, SolidBmp(2, 2, 0x0000FF));
    WriteFile(Path("abs.ani"), AniBytes(0, {pic}, {{0, 10, 0, 0, 2, 2}}));
    KAni ani;
    ASSERT_EQ(ani.Load(Path("abs.ani").c_str(), &g), 0);
    EXPECT_EQ(Px16(ani.GetSprite(0)->GetData(), 1, 1), kBlue);
    // '/' separates no folder here: a relative name is not looked for beside the file.
    WriteFile(Path("rel.ani"), AniBytes(0, {"p.bmp"}, {{0, 10, 0, 0, 2, 2}}));
    KAni rel;
    EXPECT_EQ(rel.Load(Path("rel.ani").c_str(), &g), 7);
    EXPECT_EQ(rel.GetMaxFrames(), 0u);
}

TEST_F(AniTest, SaveWritesEveryFieldLittleEndian)
{
    KAni ani;
    ASSERT_EQ(ani.Init(2), 0);
    KSprite* pic = Solid(10, 6, kGreen);
    RECT a = {1, 2, 5, 6}, b = {-3, 0, 10, 0x7FFFFFFF};
    ani.SetFrame(0, pic, a, 250, 1);
    ani.SetFrame(1, pic, b, 0x01020304, 0);
    ani.UseColorKey(true);
    const std::string file = Path("saved.ani");
    ASSERT_EQ(ani.Save(file.c_str(), 2, "first.bmp\0second.kpc"), 0);

    Bytes expect = {'K', 'A', 'n', 'i', 12, 0, 0, 0, 0, 0, 0, 0x80, 2, 0, 0, 0, 2, 0, 0, 0};
    Bytes name0(64, 0), name1(64, 0);
    std::string n0 = "first.bmp", n1 = "second.kpc";
    std::copy(n0.begin(), n0.end(), name0.begin());
    std::copy(n1.begin(), n1.end(), name1.begin());
    expect.insert(expect.end(), name0.begin(), name0.end());
    expect.insert(expect.end(), name1.begin(), name1.end());
    for (uint32_t v : {1u, 250u, 1u, 2u, 5u, 6u, 0u, 0x01020304u, 0xFFFFFFFDu, 0u, 10u, 0x7FFFFFFFu})
        Put32(expect, v);
    EXPECT_EQ(ReadFile(file), expect);
}

TEST_F(AniTest, SaveThenLoadGivesTheSameFields)
{
    WriteFile(Path("a.bmp"), SolidBmp(6, 3, 0xFF0000));
    WriteFile(Path("b.bmp"), SolidBmp(2, 5, 0x0000FF));
    const std::string src = Path("src.ani");
    WriteFile(src, AniBytes(0x80000000, {"a.bmp", "b.bmp"},
                            {{1, 7, 0, 1, 2, 5}, {0, 300, 2, 0, 6, 3}, {1, 0, 0, 0, 1, 1}}));
    const std::string dir = Path("");
    KAni first;
    ASSERT_EQ(first.Load((dir + "\\src.ani").c_str(), &g), 0);
    ASSERT_EQ(first.Save((dir + "\\copy.ani").c_str(), 2, "a.bmp\0b.bmp"), 0);
    EXPECT_EQ(ReadFile(Path("copy.ani")), ReadFile(src));

    KAni second;
    ASSERT_EQ(second.Load((dir + "\\copy.ani").c_str(), &g), 0);
    ASSERT_EQ(second.GetMaxFrames(), first.GetMaxFrames());
    EXPECT_EQ(Access::ColorKey(second), Access::ColorKey(first));
    for (DWORD i = 0; i < 3; i++) {
        EXPECT_EQ(Access::Frame(second, i).image, Access::Frame(first, i).image);
        EXPECT_EQ(Access::Frame(second, i).delay, Access::Frame(first, i).delay);
        const RECT &r1 = first.GetSprite(i)->GetRect(), &r2 = second.GetSprite(i)->GetRect();
        EXPECT_TRUE(EqualRect(&r1, &r2)) << i;
        EXPECT_EQ(first.GetSprite(i)->GetData(), second.GetSprite(i)->GetData());  // cached
    }
}

TEST_F(AniTest, SaveRefusesWhatCouldNotBeReadBack)
{
    KAni ani;
    ASSERT_EQ(ani.Init(1), 0);
    const std::string file = Path("x.ani");
    // An empty frame.
    EXPECT_EQ(ani.Save(file.c_str(), 1, "a.bmp"), -1);
    EXPECT_TRUE(Asserted("m_Frames[i].spr != NULL"));
    RECT rc = {0, 0, 1, 1};
    ani.SetFrame(0, Solid(1, 1, kRed), rc, 1, 1);
    // An image index not below the image count.
    EXPECT_EQ(ani.Save(file.c_str(), 1, "a.bmp"), -1);
    EXPECT_TRUE(Reported(-1, "KAni::Save(" + file + ") frame 0 names image 1 of 1"));
    // A name that does not fit its 64-byte field.
    const std::string longName(64, 'n');
    const std::string names = "a.bmp" + std::string(1, '\0') + longName;
    EXPECT_EQ(ani.Save(file.c_str(), 2, names.c_str()), -1);
    EXPECT_TRUE(Reported(-1, "KAni::Save(" + file + ") image name 1 is too long"));
    EXPECT_TRUE(ReadFile(file).empty());  // nothing was written
    // A file that cannot be made.
    EXPECT_EQ(ani.Save(Path("no/such/dir.ani").c_str(), 2, "a.bmp\0b.bmp"), 7);
    // 63 characters fit.
    const std::string fit = "a.bmp" + std::string(1, '\0') + std::string(63, 'n');
    EXPECT_EQ(ani.Save(file.c_str(), 2, fit.c_str()), 0);
    EXPECT_EQ(ReadFile(file).size(), 20u + 128u + 24u);
}

// ---- Malformed files

class AniBadFile : public AniTest {
protected:
    void SetUp() override
    {
        AniTest::SetUp();
        WriteFile(Path("ok.bmp"), SolidBmp(4, 4, 0xFF0000));
    }
    // Loads `bytes` as bad.ani: the result; the animation must stay empty and
    // every picture must have been given back.
    long LoadBad(const Bytes& bytes)
    {
        WriteFile(Path("bad.ani"), bytes);
        KAni ani;
        const long r = ani.Load(File().c_str(), &g);
        EXPECT_EQ(ani.GetMaxFrames(), 0u);
        EXPECT_EQ(ani.Draw(0, 0), 0);
        EXPECT_EQ(Cached(), 0u);
        return r;
    }
    std::string File() { return Path("") + "\\bad.ani"; }
    Bytes Good() { return AniBytes(0, {"ok.bmp"}, {{0, 10, 0, 0, 4, 4}}); }
};

TEST_F(AniBadFile, AGoodFileLoads)
{
    WriteFile(Path("bad.ani"), Good());
    KAni ani;
    EXPECT_EQ(ani.Load(File().c_str(), &g), 0);
    EXPECT_EQ(ani.GetMaxFrames(), 1u);
}

TEST_F(AniBadFile, AShortHeaderFails)
{
    Bytes b = Good();
    b.resize(17);
    EXPECT_EQ(LoadBad(b), 8);
    EXPECT_TRUE(Reported(8, "KAni::Load(" + File() + ") short header"));
}

TEST_F(AniBadFile, CountsThatDisagreeWithTheFileSizeFail)
{
    Bytes more = Good();
    more[16] = 2;  // two frames claimed, one present
    EXPECT_EQ(LoadBad(more), 8);
    EXPECT_TRUE(Reported(8, "KAni::Load(" + File() +
                                ") 1 images and 2 frames do not match the file size 108"));
    Bytes trailing = Good();
    trailing.push_back(0);
    EXPECT_EQ(LoadBad(trailing), 8);
    Bytes huge = Good();
    for (size_t i = 12; i < 20; i++)
        huge[i] = 0xFF;  // 2^32 - 1 images and frames: nothing is made for them
    EXPECT_EQ(LoadBad(huge), 8);
    Bytes truncated = Good();
    truncated.pop_back();
    EXPECT_EQ(LoadBad(truncated), 8);
}

TEST_F(AniBadFile, ANameWithoutItsNulFails)
{
    Bytes b = Good();
    for (size_t i = 20; i < 84; i++)
        b[i] = 'x';
    EXPECT_EQ(LoadBad(b), 8);
    EXPECT_TRUE(Reported(8, "KAni::Load(" + File() + ") image name 0 has no end"));
}

TEST_F(AniBadFile, AnImageIndexAtTheImageCountFails)
{
    EXPECT_EQ(LoadBad(AniBytes(0, {"ok.bmp"}, {{0, 10, 0, 0, 4, 4}, {1, 10, 0, 0, 4, 4}})), 8);
    EXPECT_TRUE(Reported(8, "KAni::Load(" + File() + ") frame 1 names image 1 of 1"));
}

TEST_F(AniBadFile, AnImageThatFailsToLoadGivesBackTheOthers)
{
    EXPECT_EQ(LoadBad(AniBytes(0, {"ok.bmp", "missing.bmp"}, {{0, 10, 0, 0, 4, 4}})), 7);
    EXPECT_TRUE(Reported(7, "KAni::Load(" + File() + ") image " + Path("") + "\\missing.bmp"));
}

TEST_F(AniBadFile, ARectangleOutsideItsPictureFails)
{
    EXPECT_EQ(LoadBad(AniBytes(0, {"ok.bmp"}, {{0, 10, 0, 0, 5, 4}})), 8);
    EXPECT_TRUE(Reported(8, "KAni::Load(" + File() + ") frame 0 lies outside its image"));
    EXPECT_EQ(LoadBad(AniBytes(0, {"ok.bmp"}, {{0, 10, -1, 0, 2, 2}})), 8);
    EXPECT_EQ(LoadBad(AniBytes(0, {"ok.bmp"}, {{0, 10, 3, 0, 2, 2}})), 8);  // right before left
}

TEST_F(AniBadFile, AMissingFileFailsAndAFileWithoutFramesIsEmpty)
{
    KAni ani;
    EXPECT_EQ(ani.Load(Path("none.ani").c_str(), &g), 7);
    EXPECT_TRUE(Reported(7, "KAni::Load(" + Path("none.ani") + ") open fail"));
    EXPECT_EQ(LoadBad(AniBytes(0x80000000, {"missing.bmp"}, {})), 0);
}

TEST_F(AniBadFile, LoadRefusesAFullAnimationAndMissingArguments)
{
    WriteFile(Path("bad.ani"), Good());
    KAni ani;
    EXPECT_EQ(ani.Load("", &g), -1);
    EXPECT_EQ(ani.Load(File().c_str(), nullptr), -1);
    EXPECT_TRUE(Asserted("pGraph"));
    ASSERT_EQ(ani.Load(File().c_str(), &g), 0);
    EXPECT_EQ(ani.Load(File().c_str(), &g), -1);
    EXPECT_TRUE(Asserted("m_Frames == NULL"));
    EXPECT_EQ(ani.GetMaxFrames(), 1u);
}

// ---- Drawing

TEST_F(AniTest, ColourKeyedFramesSkipTheKey)
{
    // Black is the key once loaded with the colour-keyed flags.
    WriteFile(Path("k.bmp"), Bmp24(2, 1, {0x000000, 0xFF0000}));
    WriteFile(Path("keyed.ani"), AniBytes(0x80000000, {"k.bmp"}, {{0, 10, 0, 0, 2, 1}}));
    WriteFile(Path("plain.ani"), AniBytes(0, {"k.bmp"}, {{0, 10, 0, 0, 2, 1}}));
    const std::string dir = Path("");
    KAni keyed, plain;
    ASSERT_EQ(keyed.Load((dir + "\\keyed.ani").c_str(), &g), 0);
    ASSERT_EQ(plain.Load((dir + "\\plain.ani").c_str(), &g), 0);
    g.GetBackScreen()->_clear(kBlue);
    keyed.Draw(10, 10);
    plain.Draw(20, 10);
    g.RenderToBack();
    SPRITE_DATA* back = g.GetBackScreenData();
    EXPECT_EQ(Px16(back, 10, 10), kBlue);  // the key left the back screen alone
    EXPECT_EQ(Px16(back, 11, 10), kRed);
    EXPECT_EQ(Px16(back, 20, 10), 0);      // drawn as it stands
    EXPECT_EQ(Px16(back, 21, 10), kRed);
}

}  // namespace
