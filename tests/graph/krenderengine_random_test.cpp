// The property that matters most: drawing only what changed gives, pixel
// for pixel, the back screen that drawing every command gives.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>
#include "box_font.h"
#include "desktop_fixture.h"
#include "engine_access.h"
#include "test_graph.h"

namespace {

const long kW = 96;
const long kH = 72;
// A larger screen for frames of many commands, where the changes are many
// small rectangles that cluster or spread.
const long kBigW = 640;
const long kBigH = 480;

enum Kind {
    kBlt, kBltCk, kAlpha, kAlphaCk, kAdditive, kAlphaSpr, kFillAlpha, kClear, kLine, kText,
    kZoom, kZoomCk, kKinds
};

struct Item {
    Kind kind;
    long x, y, w, h;     // position; size for fills, zooms and lines
    int sprite;          // which source sprite
    DWORD value;         // colour, alpha or level
};

// A device that counts what it presents.
class CountingGraph : public TestGraph {
public:
    long m_copies = 0;
    long m_pixels = 0;

protected:
    long _render(SPRITE_DATA* spr, RECT& window, RECT& client) override
    {
        if (!m_inRects) {  // counted by _renderrects
            m_copies++;
            m_pixels += (client.right - client.left) * (client.bottom - client.top);
        }
        return TestGraph::_render(spr, window, client);
    }
    long _renderrects(SPRITE_DATA* spr, const RECT* rects, size_t count) override
    {
        m_copies++;
        for (size_t i = 0; i < count; i++)
            m_pixels += (rects[i].right - rects[i].left) * (rects[i].bottom - rects[i].top);
        m_inRects = true;
        const long result = TestGraph::_renderrects(spr, rects, count);
        m_inRects = false;
        return result;
    }

private:
    bool m_inRects = false;
};

// One device with the same sprites as its twin, presenting into a window of
// its own.
struct Side {
    CountingGraph g;
    HWND hwnd = NULL;
    std::vector<KSprite*> sprites;  // 16-bit sources, some colour-keyed
    KSprite* bg = nullptr;
    KSprite* alpha = nullptr;
    BoxFont font{8};

    Side(bool cut, uint32_t seed, long w = kW, long h = kH)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "KestrelRandomFrames";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        hwnd = CreateWindowExA(0, "KestrelRandomFrames", "side", WS_POPUP | WS_VISIBLE, 0, 0,
                               int(w), int(h), NULL, NULL, NULL, NULL);
        g.Init(false, w, h, KCM_R5G6B5, false);
        g.SetHWND(hwnd);
        g.ReSizeBackScreen(w, h, KCM_R5G6B5, false);
        if (!cut)
            g.SetCutMode(false);
        g.GetBackScreen()->_clear(0);
        std::mt19937 rng(seed);
        bg = g.CreateSprite(w, h, KCM_R5G6B5, 0);
        Paint(bg, rng, false);
        for (int i = 0; i < 4; i++) {
            KSprite* s = g.CreateSprite(6 + 5 * i, 5 + 4 * i, KCM_R5G6B5, i % 2 ? KSPR_COLORKEY : 0);
            Paint(s, rng, i % 2 == 1);
            sprites.push_back(s);
        }
        alpha = g.CreateSprite(40, 40, KCM_GRAY, 0);
        for (long y = 0; y < 40; y++)
            for (long x = 0; x < 40; x++)
                alpha->GetData()->lpRows[y][x] = BYTE(rng());
    }
    ~Side()
    {
        for (KSprite* s : sprites)
            g.ReleaseKSprite(s);
        g.ReleaseKSprite(bg);
        g.ReleaseKSprite(alpha);
        DestroyWindow(hwnd);
    }
    static void Paint(KSprite* s, std::mt19937& rng, bool holes)
    {
        SPRITE_DATA* d = s->GetData();
        for (long y = 0; y < d->height; y++)
            for (long x = 0; x < d->width; x++)
                *SpritePixel16(d, x, y) = (holes && rng() % 4 == 0) ? 0 : WORD(rng() | 1);
    }

    void Record(const Item& it)
    {
        KSprite* back = g.GetBackScreen();
        KSprite* s = sprites[it.sprite];
        const long sw = s->GetWidth(), sh = s->GetHeight();
        switch (it.kind) {
        case kBlt: s->Draw(it.x, it.y); break;
        case kBltCk: s->Draw_ck(it.x, it.y); break;
        case kAlpha: s->Draw_alpha(it.x, it.y, BYTE(it.value)); break;
        case kAlphaCk: s->Draw_alpha_ck(it.x, it.y, BYTE(it.value)); break;
        case kAdditive: s->Draw_additive(it.x, it.y, BYTE(it.value)); break;
        case kAlphaSpr: back->Blt_alpha(it.x, it.y, s, 0, 0, sw, sh, alpha); break;
        case kFillAlpha: back->Blt_alpha(it.x, it.y, it.value, 0, 0, it.w, it.h, alpha); break;
        case kClear: back->Clear(it.x, it.y, it.w, it.h, it.value); break;
        case kLine: back->Line(it.x, it.y, it.x + it.w, it.y + it.h, it.value); break;
        case kText:  // some with a width limit, some wrapped over lines
            if (it.value % 3 == 0)
                back->Printf(&font, it.x, it.y, it.value, "t%u", unsigned(it.value % 97));
            else
                back->Printf(&font, it.x, it.y, it.value, long(it.w), "t%u t%u", unsigned(it.value % 97),
                             unsigned(it.value % 13));
            break;
        case kZoom: s->Draw_zoom(it.x, it.y, it.w, it.h); break;
        default: back->Blt_zoom_ck(it.x, it.y, it.w, it.h, s, 0, 0, sw, sh); break;
        }
    }

    void Frame(const std::vector<Item>& items)
    {
        bg->Draw(0, 0);
        for (const Item& it : items)
            Record(it);
        g.Render();
        if (KRenderEngineAccess::CutMode(g.GetRenderEngine()))
            ExpectForcedStrategy(g.GetRenderEngine());
    }

    // Under KESTREL_FRAME (the suite runs once per value) every changed
    // frame is built the forced way, and search matches nothing in step.
    static void ExpectForcedStrategy(KRenderEngine* e)
    {
        const std::string forced = KRenderEngineAccess::ForcedFrame();
        const std::string mode = KRenderEngineAccess::LastFrameMode(e);
        if (forced == "search") {
            EXPECT_FALSE(KRenderEngineAccess::InStep(e));
        } else if (!forced.empty() && mode != "unchanged") {
            EXPECT_EQ(mode, forced);
        }
    }
};

Item RandomItem(std::mt19937& rng, long w = kW, long h = kH)
{
    Item it;
    it.kind = Kind(rng() % kKinds);
    it.x = long(rng() % unsigned(w + 20)) - 10;
    it.y = long(rng() % unsigned(h + 20)) - 10;
    it.w = long(rng() % 30) + 1;
    it.h = long(rng() % 30) + 1;
    if (it.kind == kLine) {  // any direction, straight or diagonal
        it.w = long(rng() % 41) - 20;
        it.h = rng() % 3 == 0 ? 0 : long(rng() % 41) - 20;
    }
    it.sprite = int(rng() % 4);
    it.value = rng() & 0xFFFF;
    return it;
}

void Mutate(std::vector<Item>& items, std::mt19937& rng)
{
    for (size_t i = 0; i < items.size(); i++) {
        const unsigned r = rng() % 100;
        if (r < 10) {
            items[i].x += long(rng() % 9) - 4;
            items[i].y += long(rng() % 9) - 4;
        } else if (r < 14) {
            items[i].value = rng() & 0xFFFF;
        } else if (r < 17) {
            items.erase(items.begin() + long(i));
        } else if (r < 20 && i + 1 < items.size()) {
            std::swap(items[i], items[i + 1]);  // a change of stacking order
        }
    }
    while (rng() % 3 == 0)
        items.insert(items.begin() + long(rng() % (items.size() + 1)), RandomItem(rng));
    if (rng() % 4 == 0 && !items.empty()) {  // a run that changes in place, as an animation
        const size_t from = rng() % items.size();
        const size_t end = std::min(items.size(), from + 1 + rng() % 31);
        for (size_t i = from; i < end; i++)
            items[i].value = rng() & 0xFFFF;
    }
}

// The sequences to run: all 300, or the one KESTREL_FRAME_SEED names, so a
// failing sequence can be rerun alone (under a debugger, or on the
// reference kernels with KESTREL_BLIT=ref).
struct SeedRange {
    uint32_t first, end;
};

SeedRange SequencesToRun()
{
    const char* seed = std::getenv("KESTREL_FRAME_SEED");
    if (seed == nullptr || *seed == '\0')
        return {0, 300};
    char* stop = nullptr;
    const unsigned long value = std::strtoul(seed, &stop, 10);
    if (*stop != '\0' || value > 0xFFFFFFFEul) {
        ADD_FAILURE() << "KESTREL_FRAME_SEED is not a sequence number: " << seed;
        return {0, 0};
    }
    return {uint32_t(value), uint32_t(value) + 1};
}

using RandomFrames = DesktopTest;

// The windows of both sides show the same pixels: the full redraw presents
// the whole back screen every frame, the compared one only what it redrew.
void ExpectSameWindows(Side& cut, Side& full, long w, long h, uint32_t seq, int frame)
{
    const DWORD* a = desktop::SurfacePixels(cut.hwnd);
    const DWORD* b = desktop::SurfacePixels(full.hwnd);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    ASSERT_EQ(desktop::SurfaceWidth(cut.hwnd), w);
    ASSERT_EQ(desktop::SurfaceWidth(full.hwnd), w);
    if (std::equal(a, a + w * h, b))
        return;
    for (long i = 0; i < w * h; i++)
        ASSERT_EQ(a[i], b[i]) << "presented: sequence " << seq << " frame " << frame << " at "
                              << i % w << "," << i / w;
}

// The back screens of both sides are equal pixel for pixel, and so are
// their windows.
void ExpectSamePictures(Side& cut, Side& full, long w, long h, uint32_t seq, int frame)
{
    SPRITE_DATA* a = cut.g.GetBackScreenData();
    SPRITE_DATA* b = full.g.GetBackScreenData();
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++)
            ASSERT_EQ(Px16(a, x, y), Px16(b, x, y))
                << "sequence " << seq << " frame " << frame << " at " << x << "," << y;
    ExpectSameWindows(cut, full, w, h, seq, frame);
}

TEST_F(RandomFrames, ComparedFramesEqualFullRedraws)
{
    const SeedRange range = SequencesToRun();
    long cutPixels = 0, fullPixels = 0;
    for (uint32_t seq = range.first; seq < range.end; seq++) {
        SCOPED_TRACE(testing::Message() << "rerun this sequence alone with KESTREL_FRAME_SEED=" << seq);
        Side cut(true, seq), full(false, seq);
        std::mt19937 rng(1000 + seq);
        std::vector<Item> items;
        const int start = int(rng() % (seq % 2 ? 12 : 60));  // some frames exceed the dirty budget
        for (int i = 0; i < start; i++)
            items.push_back(RandomItem(rng));
        for (int frame = 0; frame < 20; frame++) {
            if (frame > 0)
                Mutate(items, rng);
            if (frame % 7 == 6) {  // a source sprite changes its pixels
                int which = int(rng() % 4);
                std::mt19937 paint(seq * 31 + frame);
                Side::Paint(cut.sprites[which], paint, which % 2 == 1);
                std::mt19937 same(seq * 31 + frame);
                Side::Paint(full.sprites[which], same, which % 2 == 1);
                cut.sprites[which]->Updata();
            }
            cut.Frame(items);
            full.Frame(items);
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kW, kH, seq, frame));
        }
        cutPixels += cut.g.m_pixels;
        fullPixels += full.g.m_pixels;
    }
    // What changed is presented, not the whole window each time (unless a
    // strategy that redraws more is forced).
    if (range.end - range.first > 10 && KRenderEngineAccess::ForcedFrame().empty()) {
        EXPECT_LT(cutPixels, fullPixels / 3) << cutPixels << " of " << fullPixels;
    }
}

// Frames of a few hundred commands where a part of them changes each frame:
// either all near one point (a cluster, as where a fight goes on) or spread
// evenly (as when many sprites move a little). Such frames have more dirty
// rectangles than cutting by each one pays for, so they are redrawn in the
// merged cells of a grid, or whole; either way the picture is the full
// redraw's.
TEST_F(RandomFrames, ManyClusteredOrSpreadChangesEqualFullRedraws)
{
    int gridFrames = 0;
    for (uint32_t seq = 0; seq < 24; seq++) {
        const bool clustered = seq % 2 == 0;
        Side cut(true, seq, kBigW, kBigH), full(false, seq, kBigW, kBigH);
        std::mt19937 rng(5000 + seq);
        std::vector<Item> items;
        for (int i = 0; i < 400 + int(rng() % 200); i++) {
            Item it = RandomItem(rng, kBigW, kBigH);
            if (it.kind != kText && it.kind != kZoom && it.kind != kLine)
                it.w = it.h = long(rng() % 12) + 4;  // mostly small pieces
            items.push_back(it);
        }
        for (int frame = 0; frame < 8; frame++) {
            const long cx = long(rng() % kBigW), cy = long(rng() % kBigH);
            const long radius = 40 + long(rng() % 60);
            const unsigned share = 4 + rng() % 8;  // per cent of items that change
            for (Item& it : items) {
                const bool near = std::labs(it.x - cx) < radius && std::labs(it.y - cy) < radius;
                if (clustered ? !near : rng() % 100 >= share)
                    continue;
                if (rng() % 4 == 0) {
                    it.value = rng() & 0xFFFF;
                } else {
                    it.x += long(rng() % 7) - 3;
                    it.y += long(rng() % 7) - 3;
                }
            }
            cut.Frame(items);
            full.Frame(items);
            gridFrames += KRenderEngineAccess::LastFrameUsedGrid(cut.g.GetRenderEngine());
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kBigW, kBigH, seq, frame));
        }
    }
    if (KRenderEngineAccess::ForcedFrame().empty()) {
        EXPECT_GT(gridFrames, 20);  // the grid is what these frames exercise
    }
}

// A panel whose rows all move each frame (a list scrolled a line at a time)
// over a backdrop and under and over other commands of every kind, some
// reaching out of the panel: the changes fill their bounds, which are then
// redrawn as one rectangle, and the picture is the full redraw's.
TEST_F(RandomFrames, RowsThatAllMoveEqualFullRedraws)
{
    int boxFrames = 0;
    for (uint32_t seq = 0; seq < 24; seq++) {
        Side cut(true, seq, kBigW, kBigH), full(false, seq, kBigW, kBigH);
        std::mt19937 rng(7000 + seq);
        const long px = long(rng() % 200), py = long(rng() % 100), rowH = 6 + long(rng() % 4);
        std::vector<Item> under, over;
        for (int i = 0; i < 160; i++) {
            Item it = RandomItem(rng, kBigW, kBigH);
            if (it.kind == kAlphaSpr || it.kind == kFillAlpha)
                it.kind = kAlpha;  // those never match, and would change every frame
            if (i % 2) {  // near the panel, often across its edge
                it.x = px - 20 + long(rng() % 300);
                it.y = py - 20 + long(rng() % 400);
            }
            (rng() % 2 ? under : over).push_back(it);
        }
        for (int frame = 0; frame < 6; frame++) {
            std::vector<Item> items = under;
            for (int row = 0; row < 40; row++) {  // each row shows the next line's content
                Item it;  // the row's fill, and on some rows a text or a sprite
                it.kind = kClear;
                it.x = px;
                it.y = py + row * rowH;
                it.w = 200;
                it.h = rowH - 1;
                it.sprite = (row + frame) % 4;
                it.value = WORD(0x1234 * (row + frame + 1));
                items.push_back(it);
                if ((row + frame) % 3 != 0) {
                    it.kind = (row + frame) % 3 == 1 ? kText : kBltCk;
                    it.x += (row * 7) % 150;
                    items.push_back(it);
                }
            }
            items.insert(items.end(), over.begin(), over.end());
            cut.Frame(items);
            full.Frame(items);
            boxFrames += KRenderEngineAccess::LastFrameUsedBox(cut.g.GetRenderEngine());
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kBigW, kBigH, seq, frame));
        }
    }
    if (KRenderEngineAccess::ForcedFrame().empty()) {
        EXPECT_GT(boxFrames, 60);  // the one rectangle is what these frames exercise
    }
}

// A list scrolled a line a frame whose lines all change and differ in
// width, over a backdrop: the frame is redrawn in the bounds of its rows,
// and the window is shown the rows alone (each line's old and new width,
// in one copy), not the gaps between them nor the bounds' empty corner.
TEST_F(RandomFrames, ListRowsRedrawnInTheirBoundsShowOnlyTheRows)
{
    Side cut(true, 3, kBigW, kBigH), full(false, 3, kBigW, kBigH);
    const int kRows = 24;
    const long kX = 100, kY = 60, kPitch = 17, kRowH = 16;
    auto width = [](int row, int frame) { return 200 + 16 * ((row + frame) % 4); };
    int boxFrames = 0;
    for (int frame = 0; frame < 6; frame++) {
        std::vector<Item> items;
        for (int row = 0; row < kRows; row++) {
            Item it = {kClear,
                       kX,
                       kY + kPitch * row,
                       width(row, frame),
                       kRowH,
                       0,
                       DWORD(0x0841 * (row + frame + 1))};
            items.push_back(it);
        }
        const long before = cut.g.m_pixels, copies = cut.g.m_copies;
        cut.Frame(items);
        full.Frame(items);
        ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kBigW, kBigH, 3, frame));
        const std::string mode = KRenderEngineAccess::LastFrameMode(cut.g.GetRenderEngine());
        if (frame == 0 || (mode != "box" && mode != "exact"))
            continue;
        boxFrames += mode == "box";
        long rows = 0;
        for (int row = 0; row < kRows; row++)
            rows += std::max(width(row, frame), width(row, frame - 1)) * kRowH;
        EXPECT_EQ(cut.g.m_pixels - before, rows) << "frame " << frame;
        EXPECT_EQ(cut.g.m_copies - copies, 1) << "frame " << frame;
    }
    if (KRenderEngineAccess::ForcedFrame().empty()) {
        EXPECT_EQ(boxFrames, 5);
    }
}

// Frames whose commands mostly repeat in place, as a game's do: a few
// change each frame, a source sprite changes its pixels part way through
// recording, and texts are formatted from formats whose values repeat or
// change, one format kept in a buffer the game rewrites between frames.
TEST_F(RandomFrames, FramesMatchedAsRecordedEqualFullRedraws)
{
    static const char* const kFormats[] = {"t%u", "%d:%x", "%ld%%", "%s", "%c%c%d",
                                           "%d %d %d %d %d", "%5d"};
    const int kFormatCount = int(sizeof kFormats / sizeof kFormats[0]);
    for (uint32_t seq = 0; seq < 60; seq++) {
        SCOPED_TRACE(testing::Message() << "sequence " << seq);
        Side cut(true, seq), full(false, seq);
        std::mt19937 rng(9000 + seq);
        std::vector<Item> items;
        for (int i = 0; i < 40 + int(rng() % 40); i++)
            items.push_back(RandomItem(rng));
        char rewritten[16] = "r%d";  // the same address, its text rewritten
        for (int frame = 0; frame < 16; frame++) {
            for (Item& it : items) {
                const unsigned r = rng() % 100;
                if (r < 4) {
                    it.x += long(rng() % 5) - 2;
                } else if (r < 7) {
                    it.value = rng() & 0xFFFF;
                }
            }
            if (frame % 5 == 4)
                std::snprintf(rewritten, sizeof rewritten, "%s", rng() % 2 ? "q%d" : "r%d");
            const int changeAt = frame % 4 == 3 ? int(rng() % items.size()) : -1;
            const int which = int(rng() % 4);
            for (Side* side : {&cut, &full}) {
                side->bg->Draw(0, 0);
                KSprite* back = side->g.GetBackScreen();
                for (size_t i = 0; i < items.size(); i++) {
                    if (int(i) == changeAt) {  // a source changes between two commands
                        std::mt19937 paint(seq * 131 + frame);
                        Side::Paint(side->sprites[which], paint, which % 2 == 1);
                        side->sprites[which]->Updata();
                    }
                    const Item& it = items[i];
                    if (it.kind != kText) {
                        side->Record(it);
                        continue;
                    }
                    const unsigned v = it.value % 50, f = it.value % (kFormatCount + 1);
                    if (f == unsigned(kFormatCount))
                        back->Printf(&side->font, it.x, it.y, 0x100, rewritten, int(v));
                    else if (f == 0)
                        back->Printf(&side->font, it.x, it.y, 0x100, kFormats[f], v);
                    else if (f == 1)
                        back->Printf(&side->font, it.x, it.y, 0x100, kFormats[f], int(v), v);
                    else if (f == 2)
                        back->Printf(&side->font, it.x, it.y, 0x100, 60, kFormats[f], long(v));
                    else if (f == 3)
                        back->Printf(&side->font, it.x, it.y, 0x100, kFormats[f],
                                     v % 2 ? "ab" : "cd");
                    else if (f == 4)
                        back->Printf(&side->font, it.x, it.y, 0x100, KFONT_ALIGN_RIGHT,
                                     kFormats[f], 'a' + int(v % 3), 'b', int(v));
                    else if (f == 5)
                        back->Printf(&side->font, it.x, it.y, 0x100, kFormats[f], 1, 2, 3, 4,
                                     int(v));
                    else
                        back->Printf(&side->font, it.x, it.y, 0x100, kFormats[f], int(v));
                }
                side->g.Render();
            }
            Side::ExpectForcedStrategy(cut.g.GetRenderEngine());
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kW, kH, seq, frame));
        }
    }
}

// Layers of tiles over one another, as a tile map's are, with sprites,
// texts and lines between them; each frame some tiles move a pixel or
// change how they are drawn, and some of the rest move. A change under a
// later tile that paints over it is not redrawn. The tiles are of every
// sort: plain, fills, colour-keyed, clipped by their source, from a grey
// sprite (which draws nothing here), some a pixel off the grid, some
// reaching past the screen's edges; the picture is the full redraw's.
TEST_F(RandomFrames, ChangesUnderLayersOfTilesEqualFullRedraws)
{
    const long w = kBigW + 7, h = kBigH + 5;  // edges cut the last cells short
    enum TileSort { kPlain, kFill, kKeyed, kClipped, kGrey, kHalf, kSorts };
    struct Tile {
        int sort;
        int layer;  // each layer has tiles of its own
        long x, y;
    };
    int hiddenFrames = 0;
    for (uint32_t seq = 0; seq < 8; seq++) {
        SCOPED_TRACE(testing::Message() << "sequence " << seq);
        Side cut(true, seq, w, h), full(false, seq, w, h);
        KSprite* tiles[2][3];
        for (Side* side : {&cut, &full}) {
            std::mt19937 paint(seq);
            for (int l = 0; l < 3; l++) {
                KSprite* t = side->g.CreateSprite(32, 32, KCM_R5G6B5, KSPR_COLORKEY);
                Side::Paint(t, paint, true);
                side->sprites.push_back(t);  // released with the others
                tiles[side == &cut ? 0 : 1][l] = t;
            }
        }
        std::mt19937 rng(13000 + seq);
        std::vector<Tile> layer;
        std::vector<Item> between;
        for (int l = 0; l < 3; l++)
            for (long cy = 0; cy * 32 < h; cy++)
                for (long cx = 0; cx * 32 < w; cx++) {
                    const unsigned r = rng() % 20;
                    const int sort = r < 12 ? kPlain : int(r - 12) % kSorts;
                    const long off = rng() % 4 == 0 ? long(rng() % 7) - 3 : 0;
                    layer.push_back(Tile{sort, l, cx * 32 + off, cy * 32 - off});
                    // Blits through an alpha sprite never match: they are
                    // changes every frame, some of them under tiles.
                    Item it = RandomItem(rng, w, h);
                    if (rng() % 2) {  // on the tile before it, as a sprite stands on one
                        it.x = cx * 32 + long(rng() % 16);
                        it.y = cy * 32 + long(rng() % 16);
                    }
                    between.push_back(it);
                }
        for (int frame = 0; frame < 10; frame++) {
            for (Tile& t : layer) {
                const unsigned r = rng() % 100;
                if (r < 4)
                    t.y ^= 1;
                else if (r < 6)
                    t.x += rng() % 2 ? 1 : -1;
                else if (r < 7)
                    t.sort = int(rng() % kSorts);
            }
            for (Item& it : between)
                if (rng() % 20 == 0)
                    it.x += long(rng() % 5) - 2;
            if (frame % 4 == 3)  // commands come and go: the frame is searched
                between.erase(between.begin() + long(rng() % between.size()));
            for (Side* side : {&cut, &full}) {
                KSprite* back = side->g.GetBackScreen();
                side->bg->Draw(0, 0);
                for (size_t i = 0; i < layer.size(); i++) {
                    const Tile& t = layer[i];
                    KSprite* tile = tiles[side == &cut ? 0 : 1][t.layer];
                    switch (t.sort) {
                    case kPlain: tile->Draw(t.x, t.y); break;
                    case kFill: back->Clear(t.x, t.y, 32, 32, WORD(0x1111 * (i % 7 + 1))); break;
                    case kKeyed: tile->Draw_ck(t.x, t.y); break;
                    case kClipped: back->Blt(t.x, t.y, tile, -3, 0, 36, 32); break;
                    case kGrey: side->alpha->Draw(t.x, t.y); break;
                    default: back->Blt(t.x, t.y + 16, tile, 0, 16, 32, 32); break;
                    }
                    if (i % 3 == 0 && i / 3 < between.size())
                        side->Record(between[i / 3]);
                }
                side->g.Render();
            }
            Side::ExpectForcedStrategy(cut.g.GetRenderEngine());
            hiddenFrames += KRenderEngineAccess::HiddenChanges(cut.g.GetRenderEngine()) > 0;
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, w, h, seq, frame));
        }
    }
    EXPECT_GT(hiddenFrames, 25) << hiddenFrames;  // hidden changes are what these frames exercise
}

// A font whose glyphs reach past their advance on both sides (a bearing
// below zero, letters wider than their step), as real glyphs do, in a
// pattern of their code: a changed character changes pixels under its
// neighbours.
class InkFont : public KFont {
public:
    explicit InkFont(int height) { m_nHeight = height; }
    void Release() override {}
    int GetWidth(unsigned code) override { return code > 0xFF ? int(m_nHeight) : int(m_nHeight / 2); }
    int DrawChar(void* dst, long x, long y, DWORD colour, unsigned code) override
    {
        SPRITE_DATA* spr = static_cast<SPRITE_DATA*>(dst);
        const long w = GetWidth(code);
        for (long py = std::max(y, 0L); py < std::min(y + m_nHeight, long(spr->height)); py++)
            for (long px = std::max(x - m_nHeight / 4, 0L);
                 px < std::min(x + w + m_nHeight / 2, long(spr->width)); px++)
                if (((px - x) * 3 + (py - y) * 5 + long(code)) % 4 == 0)
                    *SpritePixel16(spr, px, py) = WORD(colour + code);
        return int(w);
    }
};

// Texts that keep their place while characters in them change, are added
// or taken away (a score, a clock, the lines of a list), among commands of
// every kind, in a font whose glyphs overlap their neighbours and reach out
// of the text's steps at either end: only what differs is redrawn, and the
// picture is the full redraw's.
TEST_F(RandomFrames, EditedTextsEqualFullRedraws)
{
    static const char* const kPieces[] = {"a", "b", "W", "0", "1", "9", " ", "\xD6\xD0",
                                          "\xCE\xC4", "\x85" "a", "\xA1"};
    const int kPieceCount = int(sizeof kPieces / sizeof kPieces[0]);
    struct Line {
        long x, y;
        DWORD colour;
        std::vector<int> pieces;
    };
    for (uint32_t seq = 0; seq < 60; seq++) {
        SCOPED_TRACE(testing::Message() << "sequence " << seq);
        Side cut(true, seq, kBigW / 2, kBigH / 2), full(false, seq, kBigW / 2, kBigH / 2);
        InkFont inkCut(8 + int(seq % 3) * 2), inkFull(8 + int(seq % 3) * 2);
        std::mt19937 rng(11000 + seq);
        std::vector<Item> under, over;
        for (int i = 0; i < 30; i++) {
            Item it = RandomItem(rng, kBigW / 2, kBigH / 2);
            if (it.kind == kText || it.kind == kAlphaSpr || it.kind == kFillAlpha)
                it.kind = kBltCk;
            (i % 2 ? under : over).push_back(it);
        }
        std::vector<Line> lines(4 + rng() % 24);  // past 16 edits the frame is searched
        for (Line& l : lines) {
            l.x = long(rng() % 260) - 20;
            l.y = long(rng() % 230) - 10;
            l.colour = 0x100 + (rng() % 2);
            for (int i = int(rng() % 12); i > 0; i--)
                l.pieces.push_back(int(rng() % kPieceCount));
        }
        for (int frame = 0; frame < 12; frame++) {
            for (Line& l : lines) {
                const unsigned r = rng() % 100;
                const size_t at = l.pieces.empty() ? 0 : rng() % l.pieces.size();
                const int piece = int(rng() % kPieceCount);
                if (r < 30 && !l.pieces.empty())
                    l.pieces[at] = piece;
                else if (r < 40)
                    l.pieces.insert(l.pieces.begin() + long(at), piece);
                else if (r < 50 && !l.pieces.empty())
                    l.pieces.erase(l.pieces.begin() + long(at));
                else if (r < 53)
                    l.colour ^= 1;
                else if (r < 55)
                    l.x += 1;
            }
            if (frame % 4 == 3)
                Mutate(under, rng);  // commands come and go: out of step
            for (Side* side : {&cut, &full}) {
                KFont* font = side == &cut ? static_cast<KFont*>(&inkCut) : &inkFull;
                side->bg->Draw(0, 0);
                for (const Item& it : under)
                    side->Record(it);
                for (const Line& l : lines) {
                    std::string text;
                    for (int p : l.pieces)
                        text += kPieces[p];
                    side->g.GetBackScreen()->Printf(font, l.x, l.y, l.colour, "%s", text.c_str());
                }
                for (const Item& it : over)
                    side->Record(it);
                side->g.Render();
            }
            Side::ExpectForcedStrategy(cut.g.GetRenderEngine());
            ASSERT_NO_FATAL_FAILURE(ExpectSamePictures(cut, full, kBigW / 2, kBigH / 2, seq, frame));
        }
    }
}

}  // namespace
