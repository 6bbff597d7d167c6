// Recording commands and replaying only what changed since the last frame.
#include <cstring>
#include <string>
#include <vector>
#include "box_font.h"
#include "engine_access.h"
#include "graph_fixture.h"

namespace {

using Access = KRenderEngineAccess;

const long kW = 64;
const long kH = 48;

class RenderEngine : public GraphTest<> {
protected:
    RenderEngine() : GraphTest(kW, kH) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        hwnd = PresentInWindow();
        back = g.GetBackScreen();
        engine = g.GetRenderEngine();
    }
    void TearDown() override
    {
        for (KSprite* s : owned)
            g.ReleaseKSprite(s);
        GraphTest::TearDown();
    }
    // A sprite filled with one colour.
    KSprite* Solid(long w, long h, WORD colour, KESTREL_COLOR_MODE cm = KCM_R5G6B5)
    {
        KSprite* s = g.CreateSprite(w, h, cm, 0);
        s->_clear(colour);
        owned.push_back(s);
        return s;
    }
    // One frame, counted by the engine (KGraph::Render returns the presentation's result).
    int Frame() { return Access::Render(engine); }
    WORD BackPx(long x, long y) { return Px16(g.GetBackScreenData(), x, y); }
    std::vector<Access::Command> Recorded() { return Access::Recorded(engine); }

    HWND hwnd = nullptr;
    KSprite* back = nullptr;
    KRenderEngine* engine = nullptr;
    std::vector<KSprite*> owned;
};

TEST_F(RenderEngine, RecordsBlitsWithTheirRectangles)
{
    KSprite* s = Solid(10, 8, 0x1234);
    s->SetRect(2, 1, 7, 5);
    s->Draw(20, 30);
    s->Draw_zoom(1, 2, 30, 40);
    back->Blt_alpha(3, 4, s, 0, 0, 10, 8, BYTE(0x80));
    auto c = Recorded();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].op, DWORD(KRE_OP_BLT));
    EXPECT_EQ(c[0].dst, g.GetBackScreenData());
    EXPECT_EQ(c[0].src, s->GetData());
    EXPECT_EQ(c[0].rcDst.left, 20);
    EXPECT_EQ(c[0].rcDst.top, 30);
    EXPECT_EQ(c[0].rcDst.right, 25);
    EXPECT_EQ(c[0].rcDst.bottom, 34);
    EXPECT_EQ(c[0].rcSrc.left, 2);
    EXPECT_EQ(c[0].rcSrc.bottom, 5);
    EXPECT_EQ(c[1].op, DWORD(KRE_OP_BLT_ZOOM));
    EXPECT_EQ(c[1].rcDst.right, 31);
    EXPECT_EQ(c[1].rcDst.bottom, 42);
    EXPECT_EQ(c[1].rcSrc.right, 7);  // left + source width
    EXPECT_EQ(c[1].rcSrc.bottom, 5);
    EXPECT_EQ(c[2].op, DWORD(KRE_OP_BLT_ALPHA));
    EXPECT_EQ(c[2].param, 0x80u);
    EXPECT_EQ(c[2].state, 0u);
}

// A colour fill through an alpha sprite keeps its colour where other
// commands keep their source sprite: it reads no sprite but the alpha one.
TEST_F(RenderEngine, ColourFillReadsNoSourceSprite)
{
    KSprite* s = Solid(4, 4, 0x1234);
    KSprite* alpha = Solid(4, 4, 0xFF, KCM_GRAY);
    back->Blt_alpha(1, 1, DWORD(0xF81F), 0, 0, 4, 4, alpha);
    back->Blt_alpha(5, 5, s, 0, 0, 4, 4, alpha);
    auto c = Recorded();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].op, DWORD(KRE_OP_FILL_ALPHA_SPR));
    EXPECT_EQ(c[0].Source(), nullptr);
    EXPECT_EQ(c[0].FillColour(), 0xF81Fu);
    EXPECT_EQ(c[1].op, DWORD(KRE_OP_BLT_ALPHA_SPR));
    EXPECT_EQ(c[1].Source(), s->GetData());
}

TEST_F(RenderEngine, LineKeepsTheUpperEndpointFirst)
{
    back->Line(10, 20, 5, 3, 0xFFFF);
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].rcDst.left, 5);
    EXPECT_EQ(c[0].rcDst.top, 3);
    EXPECT_EQ(c[0].rcDst.right, 11);
    EXPECT_EQ(c[0].rcDst.bottom, 21);
}

TEST_F(RenderEngine, LineRunningDownLeftIsDrawnFromItsRealEndpoints)
{
    back->_clear(0);
    back->Line(9, 0, 0, 9, 0xFFFF);
    ASSERT_GT(Frame(), 0);
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(BackPx(9 - i, i), 0xFFFF) << i;
    EXPECT_EQ(BackPx(0, 0), 0);
    EXPECT_EQ(BackPx(9, 9), 0);
}

TEST_F(RenderEngine, RectRecordsFourStraightSides)
{
    back->Rect(10, 10, 20, 15, 0xF800);
    auto c = Recorded();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].rcDst.top, 10);        // top side on y = 10
    EXPECT_EQ(c[0].rcDst.bottom, 11);
    EXPECT_EQ(c[1].rcDst.left, 10);       // left side on x = 10
    EXPECT_EQ(c[1].rcDst.right, 11);
    EXPECT_EQ(c[2].rcDst.left, 19);       // right side on x = 19
    EXPECT_EQ(c[2].rcDst.right, 20);
    EXPECT_EQ(c[3].rcDst.top, 14);        // bottom side on y = 14
    EXPECT_EQ(c[3].rcDst.bottom, 15);
    back->_clear(0);
    g.Render();
    EXPECT_EQ(BackPx(10, 10), 0xF800);
    EXPECT_EQ(BackPx(19, 14), 0xF800);
    EXPECT_EQ(BackPx(15, 12), 0);
}

TEST_F(RenderEngine, ClearTakesWidthAndHeight)
{
    back->_clear(0);
    back->Clear(5, 5, 10, 10, 0x07E0);
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].rcDst.right, 15);
    EXPECT_EQ(c[0].rcDst.bottom, 15);
    g.Render();
    EXPECT_EQ(BackPx(5, 5), 0x07E0);
    EXPECT_EQ(BackPx(14, 14), 0x07E0);
    EXPECT_EQ(BackPx(15, 14), 0);
}

TEST_F(RenderEngine, TextBelowOrRightOfTheScreenIsNotRecorded)
{
    BoxFont font(16);
    back->Printf(&font, 0, kH - 16, 0x10, "a");   // last visible line
    back->Printf(&font, 0, kH - 15, 0x10, "a");   // below
    back->Printf(&font, kW + 1, 0, 0x10, "a");    // right
    back->Printf(&font, kW, 0, 0x10, "a");        // at the edge: kept
    back->Printf(&font, -30, -10, 0x10, "a");     // negative: kept
    EXPECT_EQ(Recorded().size(), 3u);
}

TEST_F(RenderEngine, AlignedTextGetsItsLeftEdgeFromTheWidth)
{
    g.ReSizeBackScreen(200, kH, KCM_R5G6B5, false);
    BoxFont font(16);  // 8 pixels a single-byte character
    back->Printf(&font, 100, 0, 0, KFONT_ALIGN_RIGHT, "abcde");    // 40 wide
    back->Printf(&font, 100, 0, 0, KFONT_ALIGN_CENTER, "abcde");   // 40 wide
    back->Printf(&font, 10, 0, 0, KFONT_ALIGN_TYPE(7), "ab");      // as left
    auto c = Recorded();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].rcSrc.left, 60);
    EXPECT_EQ(c[0].rcSrc.right, 100);
    EXPECT_EQ(c[1].rcSrc.left, 80);
    EXPECT_EQ(c[2].rcSrc.left, 10);
    EXPECT_EQ(c[2].rcSrc.bottom, 16);
    // What the glyphs may reach: half the height to either side.
    const RECT& d = c[0].rcDst;
    EXPECT_EQ(std::vector<LONG>({d.left, d.top, d.right, d.bottom}),
              std::vector<LONG>({52, 0, 108, 16}));
}

TEST_F(RenderEngine, CentredOddWidthTruncatesTowardZero)
{
    g.ReSizeBackScreen(200, kH, KCM_R5G6B5, false);
    BoxFont font(2);  // 1 pixel a single-byte character
    std::string text(41, 'x');
    back->Printf(&font, 100, 0, 0, KFONT_ALIGN_CENTER, "%s", text.c_str());
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].rcSrc.left, 80);
}

TEST_F(RenderEngine, RecordedTextCopiesTheTextAndWidthLimit)
{
    BoxFont font(8);
    char text[16];
    std::strcpy(text, "abc");
    back->Printf(&font, 4, 4, 0x100, 9L, "%s", text);
    std::strcpy(text, "zzz");  // the caller's buffer changes: the record does not
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].op, DWORD(KRE_OP_PRINTF_WIDTH));
    const KRE_TEXT_PARAM* p = c[0].Text();
    EXPECT_EQ(p->font, &font);
    EXPECT_EQ(p->colour, 0x100u);
    EXPECT_STREQ(p->text, "abc");
    EXPECT_EQ(p->width, 9);
    EXPECT_EQ(c[0].rcSrc.right, 4 + 12);  // the full width, not the limit
    back->_clear(0);
    g.Render();
    EXPECT_EQ(BackPx(4, 4), WORD(0x100 + 'a'));
    EXPECT_EQ(BackPx(8, 4), WORD(0x100 + 'b'));
    EXPECT_EQ(BackPx(12, 4), 0);  // the third character does not fit in 9 pixels
}

TEST_F(RenderEngine, HeightFormsNeedADefaultFont)
{
    back->Printf(16, 0, 0, 0, "no font");
    EXPECT_TRUE(Recorded().empty());
    BoxFont font(16);
    g.SetDefaultFont(&font);
    back->Printf(10, 0, 0, 0, "ab");
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].rcSrc.bottom, 10);  // the given height, the default font's width
    EXPECT_EQ(c[0].rcSrc.right, 16);
}

TEST_F(RenderEngine, LongFormattedTextIsCut)
{
    BoxFont font(2);
    std::string text(1000, 'q');
    back->Printf(&font, 0, 0, 0, "%s", text.c_str());
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(std::strlen(c[0].Text()->text), 255u);
}

TEST_F(RenderEngine, BusyFrameChainsAParameterBufferAndReusesIt)
{
    BoxFont font(2);
    std::string text(200, 'w');
    Log();
    for (int i = 0; i < 600; i++)  // about 130 KB of text and blocks
        back->Printf(&font, 0, 0, 0, "%s", text.c_str());
    EXPECT_EQ(Access::RecordCapacity(engine), 2u * KRE_PARAMBUFF_SIZE);
    char expected[64];
    std::snprintf(expected, sizeof(expected), "list %x 's ParamBuff size is %d",
                  unsigned(uintptr_t(Access::RecordList(engine))), 2 * KRE_PARAMBUFF_SIZE);
    EXPECT_TRUE(Logged(expected));
    for (auto& c : Recorded())
        ASSERT_EQ(std::strlen(c.Text()->text), 200u);
    g.Render();
    // The recording list takes turns with the previous frame's: once each has
    // grown, busy frames allocate nothing more.
    for (int i = 0; i < 600; i++)
        back->Printf(&font, 0, 0, 0, "%s", text.c_str());
    g.Render();
    Log();
    for (int frame = 0; frame < 3; frame++) {
        for (int i = 0; i < 600; i++)
            back->Printf(&font, 0, 0, 0, "%s", text.c_str());
        g.Render();
    }
    for (auto& e : Log())
        EXPECT_EQ(e.text.find("ParamBuff"), std::string::npos) << e.text;
}

TEST_F(RenderEngine, RequestLargerThanABufferIsRefused)
{
    EXPECT_EQ(Access::Request(engine, KRE_PARAMBUFF_SIZE + 1), nullptr);
    EXPECT_NE(Access::Request(engine, KRE_PARAMBUFF_SIZE), nullptr);
}

TEST_F(RenderEngine, SecondInitOnlyChangesTheDevice)
{
    SPRITE_DATA* cut = Access::CutSpr(engine);
    ASSERT_EQ(cut, g.GetBackScreenData());
    TestGraph other;
    EXPECT_EQ(g.CreateRenderEngine(), 0);
    EXPECT_EQ(Access::CutSpr(engine), cut);
    EXPECT_EQ(engine->GetGraph(), &g);
}

// ---- frames on the back screen as cut sprite --------------------------------

TEST_F(RenderEngine, IdenticalFramesReplayNothingAndAreNotPresented)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* s = Solid(8, 8, 0xF800);
    auto record = [&] {
        bg->Draw(0, 0);
        s->Draw(10, 10);
        back->Line(0, 0, 20, 0, 0xFFFF);
    };
    record();
    EXPECT_EQ(Frame(), 3);
    record();
    EXPECT_EQ(Frame(), 0);
    for (int frame = 0; frame < 3; frame++) {  // through the device: one presentation
        record();
        if (frame == 0)
            s->Updata();
        EXPECT_EQ(g.Render(), 0);
    }
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
}

TEST_F(RenderEngine, MovedSpriteRedrawsOnlyTheOldAndNewRectangles)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* s = Solid(8, 8, 0xF800);
    bg->Draw(0, 0);
    s->Draw(10, 10);
    g.Render();
    // Mark pixels: one outside both rectangles, one in the old, one in the new.
    *SpritePixel16(g.GetBackScreenData(), 40, 40) = 0xABCD;
    *SpritePixel16(g.GetBackScreenData(), 11, 11) = 0xABCD;
    bg->Draw(0, 0);
    s->Draw(20, 10);
    EXPECT_EQ(Frame(), 3);  // the sprite, and the background inside both rectangles
    EXPECT_EQ(BackPx(40, 40), 0xABCD);  // not redrawn
    bg->Draw(0, 0);
    s->Draw(20, 10);
    EXPECT_EQ(g.Render(), 0);  // unchanged again: nothing presented
    EXPECT_EQ(BackPx(11, 11), 0x0011);  // old place: background again
    EXPECT_EQ(BackPx(20, 10), 0xF800);
    EXPECT_EQ(BackPx(27, 17), 0xF800);
    EXPECT_EQ(BackPx(28, 17), 0x0011);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);  // only the first frame
}

// A compared frame presents the rectangles it redrew, one copy each, and
// the window keeps every other pixel; two overlapping rectangles whose
// bounds hold no more pixels are one copy. The first frame, and the first
// after Redraw, present the whole client area.
TEST_F(RenderEngine, OnlyTheRedrawnRectanglesArePresented)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* s = Solid(8, 8, 0xF800);
    auto frame = [&](long x) {
        bg->Draw(0, 0);
        s->Draw(x, 10);
        return g.Render();
    };
    auto shown = [&](int x, int y) { return SurfaceTo565(desktop::Pixel(hwnd, x, y)); };
    ASSERT_EQ(frame(10), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
    EXPECT_EQ(shown(40, 40), 0x0011);
    // A pixel of the back screen no frame redraws is not shown again.
    *SpritePixel16(g.GetBackScreenData(), 40, 40) = 0xABCD;
    // Nor is one between two rectangles of one row, which are presented in
    // one copy clipped to them.
    *SpritePixel16(g.GetBackScreenData(), 19, 12) = 0xABCD;
    ASSERT_EQ(frame(20), 0);  // old (10,10)-(18,18) and new (20,10)-(28,18): apart
    EXPECT_EQ(desktop::PresentCount(hwnd), 2);
    EXPECT_EQ(shown(40, 40), 0x0011);
    EXPECT_EQ(shown(19, 12), 0x0011);
    EXPECT_EQ(shown(11, 11), 0x0011);
    EXPECT_EQ(shown(17, 17), 0x0011);
    EXPECT_EQ(shown(20, 10), 0xF800);
    EXPECT_EQ(shown(27, 17), 0xF800);
    EXPECT_EQ(shown(28, 10), 0x0011);
    ASSERT_EQ(frame(22), 0);  // (20,10)-(30,18) holds no more than the two
    EXPECT_EQ(desktop::PresentCount(hwnd), 3);
    EXPECT_EQ(shown(21, 10), 0x0011);
    EXPECT_EQ(shown(29, 17), 0xF800);
    ASSERT_EQ(frame(22), 0);  // nothing changed: nothing presented
    EXPECT_EQ(desktop::PresentCount(hwnd), 3);
    g.Redraw();
    ASSERT_EQ(frame(22), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 4);
    EXPECT_EQ(shown(40, 40), 0x0011);  // drawn whole: the poke is painted over
}

// Changes past the dirty-rectangle budget under a command drawn after them
// that did not change and paints over them show nowhere: they are not
// redrawn. Commands that do not paint every pixel of their rectangle hide
// nothing (colour-keyed, clipped by their source, from a grey sprite, which
// draws nothing on this screen), nor does one drawn before the changes or
// one that changed itself. Changes matched in step with the last frame and
// changes in a row (matched by a search) alike; the picture is always the
// full redraw's.
TEST_F(RenderEngine, ChangesUnderUnchangedCoversAreNotRedrawn)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* tile = Solid(32, 32, 0x07E0);
    KSprite* narrow = Solid(24, 32, 0x07E1);
    KSprite* grey = Solid(32, 32, 0x80, KCM_GRAY);
    std::vector<KSprite*> bits;
    for (int i = 0; i < 30; i++)
        bits.push_back(Solid(4, 4, WORD(0xF800 + i * 37)));
    enum Cover {
        kTile, kFill, kTwoTiles, kTileFirst, kKeyed, kClippedSource, kMoved, kGrey, kHalf, kGoneOver
    };
    struct Case {
        const char* name;
        Cover cover;
        bool hidden;  // some change hidden
        bool drawn;   // something redrawn
    };
    const Case cases[] = {
        {"plain tile", kTile, true, false},
        {"fill", kFill, true, false},
        {"two tiles meeting inside a cell", kTwoTiles, true, false},
        {"tile before the changes", kTileFirst, false, true},
        {"colour-keyed tile", kKeyed, false, true},
        {"source narrower than the rectangle", kClippedSource, false, true},
        {"tile that moved", kMoved, false, true},
        {"grey tile", kGrey, false, true},
        {"tile over half the changes", kHalf, true, true},
        {"tile under a sprite that went", kGoneOver, true, true},
    };
    auto record = [&](Cover cover, int frame, bool inStep) {
        bg->Draw(0, 0);
        if (cover == kTileFirst)
            tile->Draw(0, 0);
        for (int i = 0; i < 40; i++)  // kept: the frame is not taken as a new picture
            back->Clear(kW - 2, kH - 1, 1, 1, 0x4321);
        for (size_t i = 0; i < bits.size(); i++) {
            bits[i]->Draw(long(i * 7 % 28) + frame, long(i * 5 % 28));
            if (inStep)  // an unchanged command between two changes
                back->Clear(kW - 1, kH - 1, 1, 1, 0x1234);
        }
        switch (cover) {
        case kTile: tile->Draw(0, 0); break;
        case kFill: back->Clear(0, 0, 32, 32, 0x07E0); break;
        case kTwoTiles:
            back->Blt(0, 0, tile, 0, 0, 32, 17);
            back->Blt(0, 17, tile, 0, 17, 32, 32);
            break;
        case kKeyed: tile->Draw_ck(0, 0); break;
        case kClippedSource: back->Blt(0, 0, narrow, 0, 0, 32, 32); break;
        case kMoved: tile->Draw(frame, 0); break;
        case kGrey: grey->Draw(0, 0); break;
        case kHalf: tile->Draw(16, 0); break;
        case kGoneOver:
            tile->Draw(0, 0);
            if (frame == 0)  // drawn over the tile, then gone: the tile does not hide it
                bits[0]->Draw(8, 8);
            back->Clear(kW - 1, kH - 2, 1, 1, 0x5678);
            break;
        default: break;
        }
    };
    auto picture = [&] {
        std::vector<WORD> px;
        for (long y = 0; y < kH; y++)
            for (long x = 0; x < kW; x++)
                px.push_back(BackPx(x, y));
        return px;
    };
    for (const Case& c : cases) {
        for (bool inStep : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.name << (inStep ? ", in step" : ", in a row"));
            record(c.cover, 0, inStep);
            Frame();
            record(c.cover, 1, inStep);
            const int drawn = Frame();
            EXPECT_EQ(Access::HiddenChanges(engine) > 0, c.hidden);
            EXPECT_EQ(drawn > 0, c.drawn) << drawn << " commands drawn";
            const std::vector<WORD> got = picture();
            g.SetCutMode(false);
            record(c.cover, 1, inStep);
            Frame();
            g.SetCutMode(true);
            g.SetCutSpr(g.GetBackScreenData());
            EXPECT_EQ(got, picture());
        }
    }
}

TEST_F(RenderEngine, VanishedAreaNobodyCoversKeepsItsPixels)
{
    KSprite* bg = Solid(32, 32, 0x0011);
    KSprite* s = Solid(8, 8, 0xF800);
    bg->Draw(0, 0);
    s->Draw(40, 10);  // outside the background
    g.Render();
    bg->Draw(0, 0);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(BackPx(40, 10), 0xF800);
}

TEST_F(RenderEngine, AlphaSpriteBlitsAreDrawnEveryFrame)
{
    KSprite* s = Solid(4, 4, 0xFFFF);
    KSprite* a = Solid(4, 4, 0x80, KCM_GRAY);
    for (int frame = 0; frame < 3; frame++) {
        back->Blt_alpha(0, 0, s, 0, 0, 4, 4, a);
        EXPECT_EQ(Frame(), 1) << frame;
    }
}

TEST_F(RenderEngine, CommandsOnOtherSpritesAreDroppedWhileTheBackScreenIsCut)
{
    KSprite* own = Solid(8, 8, 0x0001);
    KSprite* s = Solid(8, 8, 0xF800);
    own->Blt(0, 0, s, 0, 0, 8, 8);
    own->Clear(0x07E0);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(Px16(own->GetData(), 3, 3), 0x0001);
    own->_blt(0, 0, s, 0, 0, 8, 8);  // the immediate form draws
    EXPECT_EQ(Px16(own->GetData(), 3, 3), 0xF800);
}

TEST_F(RenderEngine, WithoutCutSpriteEveryCommandIsDrawnAndCounted)
{
    g.SetCutSpr(nullptr);
    KSprite* s = Solid(8, 8, 0xF800);
    for (int frame = 0; frame < 2; frame++) {
        s->Draw(0, 0);
        back->Blt_zoom_alpha(0, 0, 4, 4, s, 0, 0, 8, 8, 0x80);  // draws nothing, counts
        back->Clear(20, 20, 2, 2, 0x1F);
        EXPECT_EQ(Frame(), 3);
    }
    EXPECT_EQ(BackPx(21, 21), 0x1F);
    g.SetCutMode(false);
    s->Draw(0, 0);
    EXPECT_EQ(Frame(), 1);
}

TEST_F(RenderEngine, SecondOfTwoEqualCommandsCountsAsNew)
{
    KSprite* s = Solid(8, 8, 0xF800);
    s->Draw(0, 0);
    g.Render();
    s->Draw(0, 0);
    s->Draw(0, 0);
    EXPECT_EQ(Frame(), 2);  // the new one whole, the unchanged one under it
}

// A row of small tiles that do not overlap: matching them is what decides
// how many commands a frame replays.
TEST_F(RenderEngine, InsertedAndRemovedCommandsLeaveTheOthersMatched)
{
    KSprite* tile = Solid(2, 2, 0x07E0);
    KSprite* odd = Solid(2, 2, 0xF800);
    auto row = [&](int skipFrom, int skipTo, bool extraFirst) {
        if (extraFirst)
            odd->Draw(0, 40);
        for (int i = 0; i < 30; i++)
            if (i < skipFrom || i >= skipTo)
                tile->Draw(2 * i, 0);
    };
    row(0, 0, false);
    EXPECT_EQ(Frame(), 30);
    row(0, 0, true);  // one new command in front of all the others
    EXPECT_EQ(Frame(), 1);
    row(0, 0, true);
    EXPECT_EQ(Frame(), 0);
    row(5, 15, true);  // ten go from the middle: further than a look ahead
    // The first command after the gap is taken as new without a search (it
    // is drawn again, which is always safe); the ones after it are found.
    EXPECT_EQ(Frame(), 1);
    for (int i = 5; i < 15; i++)
        EXPECT_EQ(BackPx(2 * i, 0), 0x07E0);  // vanished areas keep their pixels
    row(0, 0, true);  // they come back: drawn again, the rest unchanged
    EXPECT_EQ(Frame(), 10);
}

TEST_F(RenderEngine, StackingOrderChangeRedrawsWhereTheTwoOverlap)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* red = Solid(8, 8, 0xF800);
    KSprite* blue = Solid(8, 8, 0x001F);
    bg->Draw(0, 0);
    red->Draw(0, 0);
    blue->Draw(4, 4);
    Frame();
    EXPECT_EQ(BackPx(5, 5), 0x001F);
    bg->Draw(0, 0);
    blue->Draw(4, 4);
    red->Draw(0, 0);  // now on top
    EXPECT_GT(Frame(), 0);
    EXPECT_EQ(BackPx(5, 5), 0xF800);
    EXPECT_EQ(BackPx(10, 10), 0x001F);
    EXPECT_EQ(BackPx(20, 20), 0x0011);
}

TEST_F(RenderEngine, UpdataRedrawsCommandsThatReadTheSprite)
{
    KSprite* s = Solid(8, 8, 0xF800);
    KSprite* other = Solid(8, 8, 0x001F);
    s->Draw(0, 0);
    other->Draw(20, 0);
    g.Render();
    s->_clear(0x07E0);
    other->Updata();  // a sprite no previous command... reads: the other one
    s->Draw(0, 0);
    other->Draw(20, 0);
    EXPECT_EQ(Frame(), 1);  // other is redrawn, s still looks unchanged
    EXPECT_EQ(BackPx(0, 0), 0xF800);
    s->Updata();
    s->Draw(0, 0);
    other->Draw(20, 0);
    EXPECT_EQ(Frame(), 1);
    EXPECT_EQ(BackPx(0, 0), 0x07E0);

    KSprite* unused = Solid(2, 2, 0);
    s->Draw(0, 0);
    g.Render();
    unused->Updata();
    s->Draw(0, 0);
    EXPECT_EQ(Frame(), 0);
}

TEST_F(RenderEngine, ChangedTextIsDrawnWholeAndEverythingUnderItInItsRectangle)
{
    BoxFont font(8);
    KSprite* bg = Solid(kW, kH, 0x0011);
    bg->Draw(0, 0);
    back->Printf(&font, 0, 0, 0x100, "abcd");
    g.Render();
    *SpritePixel16(g.GetBackScreenData(), 2, 2) = 0xABCD;
    *SpritePixel16(g.GetBackScreenData(), 40, 40) = 0xABCD;
    bg->Draw(0, 0);
    back->Printf(&font, 0, 0, 0x100, "xy");  // shorter: its rectangle is 8 wide
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(BackPx(2, 2), WORD(0x100 + 'x'));
    EXPECT_EQ(BackPx(9, 2), 0x0011);  // the vanished text's area
    EXPECT_EQ(BackPx(40, 40), 0xABCD);
}

// A text under a change is redrawn there alone: a window of the back screen
// over the change, the text drawn on it at its own place.
TEST_F(RenderEngine, UnchangedTextTouchingAChangeIsRedrawnOnlyThere)
{
    BoxFont font(8);  // "abcd": four 4 x 8 boxes from (0, 0)
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* s = Solid(4, 4, 0xF800);
    bg->Draw(0, 0);
    back->Printf(&font, 0, 0, 0x100, "abcd");
    s->Draw(2, 5);  // over 'a' and 'b', and below the text
    g.Render();
    *SpritePixel16(g.GetBackScreenData(), 3, 1) = 0xABCD;   // in 'a', above the sprite
    *SpritePixel16(g.GetBackScreenData(), 14, 2) = 0xABCD;  // in 'd', far from it
    bg->Draw(0, 0);
    back->Printf(&font, 0, 0, 0x100, "abcd");
    s->Draw(30, 30);  // gone from the text
    g.Render();
    EXPECT_EQ(BackPx(3, 6), WORD(0x100 + 'a'));
    EXPECT_EQ(BackPx(5, 7), WORD(0x100 + 'b'));
    EXPECT_EQ(BackPx(3, 8), 0x0011);  // below the text, where the sprite was
    EXPECT_EQ(BackPx(3, 1), 0xABCD);  // outside what changed: not drawn
    EXPECT_EQ(BackPx(14, 2), 0xABCD);
    EXPECT_EQ(BackPx(31, 31), 0xF800);
}

// A text drawn where it was, with its font and colour, and changed in a few
// characters is redrawn only around those (half the font's height to either
// side): whether it is the frame's one change or one of many texts that all
// changed. A text that moved, or changed colour, is redrawn whole.
TEST_F(RenderEngine, EditedTextIsRedrawnOnlyAroundTheCharactersThatChanged)
{
    struct Case {
        const char* name;
        int texts;          // more than 16 changes are matched by a search
        const char* after;  // was "score 0001": ten 4-pixel characters
        DWORD colour;
        long x;
        long kept, redrawn;  // a pixel left as scribbled, and one redrawn
    };
    const Case cases[] = {
        {"one digit", 1, "score 0002", 0x100, 0, 31, 32},
        {"one digit, many texts", 20, "score 0002", 0x100, 0, 31, 37},
        {"same width, middle", 1, "scXre 0001", 0x100, 0, 16, 4},
        {"longer", 1, "score 00010", 0x100, 0, 13, 42},
        {"colour", 1, "score 0001", 0x101, 0, -1, 1},
        {"moved", 1, "score 0001", 0x100, 1, -1, 2},
    };
    BoxFont font(8);
    KSprite* bg = Solid(kW, kH, 0x0011);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int frame = 0; frame < 2; frame++) {
            bg->Draw(0, 0);
            for (int t = 0; t < c.texts; t++)
                back->Printf(&font, frame ? c.x : 0, t * 2, frame ? c.colour : 0x100, "%s",
                             frame ? c.after : "score 0001");
            g.Render();
            // Scribbled on the last text (row 2 of its 8), below the others.
            const long y = 2 * c.texts;
            for (long x : {c.kept, c.redrawn}) {
                if (frame == 0 && x >= 0)
                    *SpritePixel16(g.GetBackScreenData(), x, y) = 0xABCD;
            }
        }
        const long y = 2 * c.texts;
        if (c.kept >= 0) {
            EXPECT_EQ(BackPx(c.kept, y), 0xABCD);
        }
        EXPECT_NE(BackPx(c.redrawn, y), 0xABCD);
        g.Render();  // the next case starts from nothing recorded
        bg->Draw(0, 0);
        g.Render();
    }
}

// A text too long for its ends to be compared character by character is
// redrawn whole when it changes: here two changes lie far apart, and the
// one near the end, on screen, is drawn.
TEST_F(RenderEngine, LongTextChangedFarApartIsRedrawnAtBothChanges)
{
    BoxFont font(2);  // one pixel a character
    KSprite* bg = Solid(kW, kH, 0x0011);
    std::string text(300, 'a');
    for (int frame = 0; frame < 2; frame++) {
        text[3] = frame ? 'c' : 'b';
        text[290] = frame ? 'z' : 'a';
        bg->Draw(0, 0);
        // Unformatted, so the text is kept whole; characters 250 on at 0.
        Access::Text(engine, g.GetBackScreenData(), &font, -250, 0, 0x100, text.c_str());
        g.Render();
        if (frame == 0)
            *SpritePixel16(g.GetBackScreenData(), 40, 0) = 0xABCD;
    }
    EXPECT_EQ(BackPx(40, 0), WORD(0x100 + 'z'));
}

TEST_F(RenderEngine, AnotherCutSpriteIsBroughtUpToDateBeforeItIsRead)
{
    KSprite* canvas = Solid(8, 8, 0x0001);
    KSprite* s = Solid(4, 4, 0xF800);
    g.SetCutSpr(canvas->GetData());
    canvas->Blt(0, 0, s, 0, 0, 4, 4);
    canvas->Draw(10, 10);  // reads the canvas
    EXPECT_EQ(Frame(), 2);  // the canvas command and the command reading it
    EXPECT_EQ(BackPx(10, 10), 0xF800);
    EXPECT_EQ(BackPx(15, 15), 0x0001);

    canvas->Blt(0, 0, s, 0, 0, 4, 4);
    canvas->Draw(10, 10);
    EXPECT_EQ(Frame(), 1);  // canvas unchanged: only the reader draws
    canvas->Blt(0, 0, s, 0, 0, 4, 4);
    canvas->Draw(10, 10);
    EXPECT_EQ(g.Render(), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);  // the reader drew: the window is repainted
}

TEST_F(RenderEngine, FreedBlockAtTheSameAddressIsDrawnAfresh)
{
    KSprite* bg = Solid(kW, kH, 0x0011);
    KSprite* a = g.CreateSprite(8, 8, KCM_R5G6B5, 0);
    a->_clear(0xF800);
    bg->Draw(0, 0);
    a->Draw(4, 4);
    g.Render();
    SPRITE_DATA* old = a->GetData();
    g.ReleaseKSprite(a);
    for (auto& c : Access::Previous(engine)) {
        if (c.src == old) {
            EXPECT_TRUE(c.state & KRE_STATE_STALE);
        }
    }
    KSprite* b = g.CreateSprite(8, 8, KCM_R5G6B5, 0);  // usually the same address
    owned.push_back(b);
    b->_clear(0x001F);
    bg->Draw(0, 0);
    b->Draw(4, 4);
    g.Render();
    EXPECT_EQ(BackPx(5, 5), 0x001F);
}

TEST_F(RenderEngine, ReleasedFontLeavesNoTextBehind)
{
    KFont* font = new BoxFont(8);
    back->Printf(font, 0, 0, 0x100, "ab");
    g.Render();
    back->Printf(font, 0, 20, 0x100, "ab");  // recorded, then the font goes
    g.ReleaseKFont(font);
    ASSERT_EQ(Access::Previous(engine).size(), 1u);
    EXPECT_TRUE(Access::Previous(engine)[0].state & KRE_STATE_STALE);
    EXPECT_TRUE(Recorded().empty());
    g.Render();  // nothing left to draw with the freed font
}

TEST_F(RenderEngine, NewBackScreenBlockIsDrawnWhole)
{
    KSprite* s = Solid(8, 8, 0xF800);
    s->Draw(0, 0);
    g.Render();
    g.ReSizeBackScreen(kW * 2, kH, KCM_R5G6B5, false);  // a new block
    back->_clear(0);
    s->Draw(0, 0);
    EXPECT_EQ(Frame(), 1);
    EXPECT_EQ(BackPx(3, 3), 0xF800);
}

TEST_F(RenderEngine, ColourKeyTurnsTheKeyIntoZeroAndBlackIntoOne)
{
    KSprite* s = Solid(4, 2, 0x1234);
    *SpritePixel16(s->GetData(), 1, 0) = 0xF800;
    *SpritePixel16(s->GetData(), 2, 0) = 0xF800;
    *SpritePixel16(s->GetData(), 3, 1) = 0;
    s->SetColorKey(1, 0);
    EXPECT_TRUE(s->GetData()->flags & KSPR_COLORKEY);
    EXPECT_EQ(Px16(s->GetData(), 1, 0), 0);
    EXPECT_EQ(Px16(s->GetData(), 2, 0), 0);
    EXPECT_EQ(Px16(s->GetData(), 3, 1), 1);
    EXPECT_EQ(Px16(s->GetData(), 0, 0), 0x1234);

    KSprite* t = Solid(2, 2, 0x0F0F);
    t->SetColorKey(DWORD(0x10F0F));  // the low 16 bits name the key
    EXPECT_EQ(Px16(t->GetData(), 1, 1), 0);
    t->SetColorKey(50, 50);  // outside: only the flag
    EXPECT_EQ(Px16(t->GetData(), 1, 1), 0);
    t->SetNoColorKey();
    EXPECT_EQ(Px16(t->GetData(), 1, 1), 1);
    EXPECT_TRUE(t->GetData()->flags & KSPR_COLORKEY);  // flags are left alone

    KSprite* grey = Solid(2, 2, 0, KCM_GRAY);
    grey->SetColorKey(0, 0);
    EXPECT_TRUE(grey->GetData()->flags & KSPR_COLORKEY);
    EXPECT_EQ(Px8(grey->GetData(), 0, 0), 0);
}

TEST_F(RenderEngine, IsColorKeyReadsFromTheViewsCorner)
{
    KSprite* s = Solid(10, 10, 0x1111);
    *SpritePixel16(s->GetData(), 2, 2) = 0;
    RECT rc = {2, 2, 6, 6};
    KSprite view(*s, rc);
    EXPECT_TRUE(view.IsColorKey(0, 0));
    EXPECT_FALSE(view.IsColorKey(1, 0));
    EXPECT_FALSE(s->IsColorKey(0, 0));
    EXPECT_FALSE(view.IsColorKey(4, 0));    // outside the view
    EXPECT_FALSE(view.IsColorKey(-1, 0));
    KSprite* grey = Solid(2, 2, 0, KCM_GRAY);
    EXPECT_FALSE(grey->IsColorKey(0, 0));
}

TEST_F(RenderEngine, MasksOfTheSourceRectangle)
{
    KSprite* s = Solid(4, 1, 0);
    *SpritePixel16(s->GetData(), 1, 0) = 0x001F;
    *SpritePixel16(s->GetData(), 2, 0) = 0xF800;
    *SpritePixel16(s->GetData(), 3, 0) = 0x0008;
    KSprite* m = s->ChangeToMask();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetData()->kcm, KCM_GRAY);
    EXPECT_EQ(Px8(m->GetData(), 0, 0), 0);
    EXPECT_EQ(Px8(m->GetData(), 1, 0), 255);
    EXPECT_EQ(Px8(m->GetData(), 2, 0), 255);
    KSprite* ex = s->ChangeToMaskEx();
    EXPECT_EQ(Px8(ex->GetData(), 0, 0), 0);
    EXPECT_EQ(Px8(ex->GetData(), 1, 0), 248);
    EXPECT_EQ(Px8(ex->GetData(), 2, 0), 0);   // pure red has no blue
    EXPECT_EQ(Px8(ex->GetData(), 3, 0), 64);
    g.ReleaseKSprite(m);
    g.ReleaseKSprite(ex);

    s->SetRect(2, 0, 4, 1);
    KSprite* part = s->ChangeToMask();
    EXPECT_EQ(part->GetWidth(), 2);
    EXPECT_EQ(Px8(part->GetData(), 0, 0), 255);
    g.ReleaseKSprite(part);

    KSprite* grey = Solid(3, 3, 9, KCM_GRAY);
    KSprite* none = grey->ChangeToMaskEx();  // other modes give an empty mask
    EXPECT_EQ(Px8(none->GetData(), 1, 1), 0);
    g.ReleaseKSprite(none);
}

TEST_F(RenderEngine, DrawAlphaUsesOwnAlphaDataOrBlitsPlainly)
{
    KSprite* s = Solid(4, 4, 0xFFFF);
    s->Draw_alpha(1, 1);
    auto c = Recorded();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].op, DWORD(KRE_OP_BLT));
}

TEST_F(RenderEngine, CopiedHandleHoldsItsOwnReference)
{
    KSprite* s = Solid(4, 4, 0xFFFF);
    {
        KSprite copy(*s);
        EXPECT_EQ(s->GetData()->ref, 2u);
    }
    EXPECT_EQ(s->GetData()->ref, 1u);
}

}  // namespace

// A run of commands that change every frame in place (stars twinkling on a
// backdrop drawn before a still map) leaves the rest matching, however long
// the run and wherever it lies; only a frame that starts with mostly new
// commands is taken as a new picture and drawn whole.
TEST_F(RenderEngine, ARunOfCommandsChangedInPlaceRedrawsOnlyItself)
{
    struct Case {
        int before, run;  // still tiles before the run, commands in it
        bool whole;
    };
    const Case cases[] = {{0, 9, false},   {0, 24, false}, {0, 40, false},
                          {50, 30, false}, {0, 60, false}, {0, 70, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " still, then " << c.run << " changing");
        g.Redraw();
        int drawn = 0;
        for (int frame = 0; frame < 3; frame++) {
            int tile = 0;
            auto tiles = [&](int n) {
                for (int k = 0; k < n; k++, tile++)
                    back->Clear(tile % 16 * 4, 8 + tile / 16 % 10 * 4, 4, 4, WORD(tile * 7 + 1));
            };
            tiles(c.before);
            for (int k = 0; k < c.run; k++)  // along the top, clear of the tiles
                back->Clear((k * 5 + frame) % 62, 0, 2, 2, WORD(0x100 * frame + k + 1));
            tiles(160 - c.before);
            drawn = Frame();
        }
        EXPECT_EQ(drawn, c.whole ? 160 + c.run : c.run);
        EXPECT_EQ(BackPx(((c.run - 1) * 5 + 2) % 62, 0), WORD(0x200 + c.run));
    }
}

// A sprite drawn in a few parts (with its shadow, its name) that moves is a
// run of commands that changed in place: matched in step as it is recorded,
// each part is drawn again and nothing else; a longer run is taken for
// commands that came or went, and searched.
TEST_F(RenderEngine, AFewCommandsChangedInARowStayMatchedInStep)
{
    KSprite* tile = Solid(2, 2, 0x07E0);
    for (int run : {1, 2, 5, 8, 9}) {
        SCOPED_TRACE(testing::Message() << run << " in a row");
        g.Redraw();
        for (int frame = 0; frame < 2; frame++) {
            for (int i = 0; i < 30; i++)
                tile->Draw(2 * i, i >= 10 && i < 10 + run ? 2 + 2 * frame : 0);
            if (frame == 1) {
                EXPECT_EQ(Access::InStep(engine), run <= 8);
            }
            EXPECT_EQ(Frame(), frame == 0 ? 30 : run);
        }
        EXPECT_EQ(BackPx(20, 4), 0x07E0);
        EXPECT_EQ(BackPx(2 * (9 + run), 4), 0x07E0);
    }
}

// A frame drawn whole replays what it recorded as it stands: commands on
// other sprites than the cut one must be taken out first, even when the
// frame was found to be a new picture long before them, and even when the
// cut sprite changed while they were recorded.
TEST_F(RenderEngine, AFrameDrawnWholeStillDropsCommandsOnOtherSprites)
{
    KSprite* own = Solid(8, 8, 0x0001);
    for (int frame = 0; frame < 3; frame++) {
        for (int k = 0; k < 100; k++)  // all moved: a new picture after a few dozen
            back->Clear((k + frame) % 60, k % 40, 4, 4, WORD(k + frame));
        own->Clear(WORD(0xF800 + frame));
        EXPECT_EQ(Frame(), 100) << frame;
    }
    EXPECT_EQ(Px16(own->GetData(), 3, 3), 0x0001);

    // Recorded while the canvas was cut: the back screen's commands were then
    // the others. Cut at the back screen again before the frame, the canvas's
    // are, and there are more of them.
    KSprite* canvas = Solid(8, 8, 0x0002);
    g.SetCutSpr(canvas->GetData());
    for (int k = 0; k < 100; k++)
        back->Clear((k + 7) % 60, k % 40, 4, 4, WORD(k + 7));
    for (int k = 0; k < 150; k++)
        canvas->Clear(WORD(0x07E0 + k));
    g.SetCutSpr(g.GetBackScreenData());
    EXPECT_EQ(Frame(), 100);
    EXPECT_EQ(Px16(canvas->GetData(), 3, 3), 0x0002);
    EXPECT_EQ(BackPx(7, 0), WORD(7));
}

// KESTREL_FRAME names a strategy exactly; any other setting, or none, leaves
// the choice to the engine.
TEST(FrameStrategy, ParsedFromItsExactName)
{
    using kframe::Strategy;
    const struct {
        const char* setting;
        Strategy want;
    } rows[] = {
        {"exact", Strategy::kExact}, {"box", Strategy::kBox},       {"grid", Strategy::kGrid},
        {"whole", Strategy::kWhole}, {"search", Strategy::kSearch}, {nullptr, Strategy::kChosen},
        {"", Strategy::kChosen},     {"Grid", Strategy::kChosen},   {"grid ", Strategy::kChosen},
        {"ref", Strategy::kChosen},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.setting != nullptr ? row.setting : "(unset)");
        EXPECT_EQ(int(kframe::ParseStrategy(row.setting)), int(row.want));
    }
}
