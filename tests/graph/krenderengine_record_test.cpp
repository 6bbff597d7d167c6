// What the recorders write: every field of every command, whether the node
// it lands in last held the same command, another one, or one whose state
// the frame building changed; and text taken from the previous frame's
// command at its place only when font, colour, place, format and values
// all repeat.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <string>
#include "box_font.h"
#include "engine_access.h"
#include "graph_fixture.h"

namespace {

using Access = KRenderEngineAccess;

const long kW = 96;
const long kH = 64;

class Recording : public GraphTest<> {
protected:
    Recording() : GraphTest(kW, kH) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(GraphTest::SetUp());
        PresentInWindow();
        back = g.GetBackScreen();
        engine = g.GetRenderEngine();
        for (int i = 0; i < 2; i++) {
            sprites[i] = g.CreateSprite(12 + 4 * i, 10, KCM_R5G6B5, i ? KSPR_COLORKEY : 0);
            sprites[i]->_clear(WORD(0x1111 * (i + 1)));
        }
    }
    void TearDown() override
    {
        for (KSprite*& s : sprites)
            g.ReleaseKSprite(s);
        GraphTest::TearDown();
    }

    KSprite* back = nullptr;
    KRenderEngine* engine = nullptr;
    KSprite* sprites[2] = {nullptr, nullptr};
};

// One command as a game gives it, and the record it must leave.
struct Call {
    int kind;  // 0 Draw, 1 Draw_ck, 2 Draw_additive, 3 Draw_alpha, 4 Draw_alpha_ck,
               // 5 Draw_zoom, 6 Blt_zoom_alpha, 7 Clear, 8 Line
    int sprite;
    long x, y, a, b;  // position; size, the other end or the sprite's rectangle
    DWORD value;
};

Call RandomCall(std::mt19937& rng)
{
    Call c;
    c.kind = int(rng() % 9);
    c.sprite = int(rng() % 2);
    c.x = long(rng() % 140) - 20;
    c.y = long(rng() % 100) - 20;
    c.a = long(rng() % 140) - 20;
    c.b = long(rng() % 100) - 20;
    if (rng() % 3 == 0)
        c.b = c.y;  // a straight line
    c.value = rng() & 0xFF;
    return c;
}

long Clamp(long v, long hi)
{
    return v < 0 ? 0 : (v > hi ? hi : v);
}

// Records c through KSprite and returns the record it must have made.
Access::Command Record(const Call& c, KSprite* back, KSprite* s)
{
    Access::Command e;
    e.dst = back->GetData();
    s->SetRect(c.sprite, 1, s->GetWidth() - 1, s->GetHeight() - c.sprite);
    const RECT r = s->GetRect();
    const long w = r.right - r.left, h = r.bottom - r.top;
    e.src = s->GetData();
    e.rcSrc = r;
    e.rcDst = {LONG(c.x), LONG(c.y), LONG(c.x + w), LONG(c.y + h)};
    const BYTE v = BYTE(c.value);
    switch (c.kind) {
    case 0: s->Draw(c.x, c.y); e.op = KRE_OP_BLT; break;
    case 1: s->Draw_ck(c.x, c.y); e.op = KRE_OP_BLT_CK; break;
    case 2: s->Draw_additive(c.x, c.y, v); e.op = KRE_OP_BLT_ADDITIVE; e.param = v; break;
    case 3: s->Draw_alpha(c.x, c.y, v); e.op = KRE_OP_BLT_ALPHA; e.param = v; break;
    case 4: s->Draw_alpha_ck(c.x, c.y, v); e.op = KRE_OP_BLT_ALPHA_CK; e.param = v; break;
    case 5:
        s->Draw_zoom(c.x, c.y, c.value % 30 + 1, c.value % 20 + 1);
        e.op = KRE_OP_BLT_ZOOM;
        e.rcDst = {LONG(c.x), LONG(c.y), LONG(c.x + c.value % 30 + 1), LONG(c.y + c.value % 20 + 1)};
        break;
    case 6:
        back->Blt_zoom_alpha(c.x, c.y, 7, 9, s, 1, 2, 5, 4, v);
        e.op = KRE_OP_BLT_ZOOM_ALPHA;
        e.rcDst = {LONG(c.x), LONG(c.y), LONG(c.x + 7), LONG(c.y + 9)};
        e.rcSrc = {1, 2, 6, 6};
        e.param = v;
        break;
    case 7:
        back->Clear(c.x, c.y, c.a, c.b, c.value * 0x101);
        e.op = KRE_OP_CLEAR;
        e.rcDst = {LONG(c.x), LONG(c.y), LONG(c.x + c.a), LONG(c.y + c.b)};
        e.rcSrc = {0, 0, 0, 0};
        e.src = nullptr;
        e.param = c.value * 0x101;
        break;
    default: {
        back->Line(c.x, c.y, c.a, c.b, c.value);
        // Ends moved onto the screen, the upper one first; a line running
        // down to the left is marked in the source rectangle.
        long x1 = Clamp(c.x, kW - 1), y1 = Clamp(c.y, kH - 1);
        long x2 = Clamp(c.a, kW - 1), y2 = Clamp(c.b, kH - 1);
        if (y2 < y1) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        e.op = KRE_OP_LINE;
        e.rcDst = {LONG(std::min(x1, x2)), LONG(y1), LONG(std::max(x1, x2) + 1), LONG(y2 + 1)};
        e.rcSrc = {x2 < x1 && y2 > y1 ? KRE_LINE_DOWNLEFT : 0, 0, 0, 0};
        e.src = nullptr;
        e.param = c.value;
        break;
    }
    }
    return e;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Frames of random commands, each frame keeping most of the last one's,
// changing some in place, and now and then shifting them all by one place:
// the nodes reused then hold the same command, another one, or one the
// frame building marked. Every record holds exactly its command's fields
// with a clear state.
TEST_F(Recording, EveryRecordHoldsItsCommandWhateverItsNodeHeldBefore)
{
    std::mt19937 rng(1111);
    std::vector<Call> calls(40);
    for (Call& c : calls)
        c = RandomCall(rng);
    for (int frame = 0; frame < 300; frame++) {
        if (rng() % 4 == 0)
            calls.insert(calls.begin() + long(rng() % calls.size()), RandomCall(rng));
        for (Call& c : calls)
            if (rng() % 10 == 0)
                c = RandomCall(rng);
        std::vector<Access::Command> expected;
        for (const Call& c : calls)
            expected.push_back(Record(c, back, sprites[c.sprite]));
        const auto got = Access::Recorded(engine);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); i++) {
            const Access::Command& a = got[i];
            const Access::Command& e = expected[i];
            ASSERT_TRUE(a.op == e.op && a.dst == e.dst && a.src == e.src && a.param == e.param &&
                        a.state == 0 && SameRect(a.rcDst, e.rcDst) && SameRect(a.rcSrc, e.rcSrc))
                << "frame " << frame << " command " << i << " kind " << calls[i].kind;
        }
        if (calls.size() > 60)
            calls.resize(40);
        Access::Render(engine);
    }
}

// The second of two frames changes one thing of a text command; the text
// recorded is the formatter's, the block's fields are the new ones, and
// the frame draws only when something changed.
TEST_F(Recording, TextIsTakenFromThePreviousFrameOnlyWhenAllOfItRepeats)
{
    BoxFont font(10), other(10);
    struct Text {
        KFont* font;
        long x, y;
        DWORD colour;
        KFONT_ALIGN_TYPE align;
        long width;  // 0: the form without a width
        const char* format;
        long value;
    };
    const Text base = {&font, 40, 5, 7, KFONT_ALIGN_LEFT, 0, "hp %ld/%d", 26L};
    struct Change {
        const char* what;
        Text second;
    };
    Text t[8];
    for (Text& each : t)
        each = base;
    t[1].font = &other;
    t[2].colour = 8;
    t[3].x = 41;
    t[4].align = KFONT_ALIGN_RIGHT;
    t[5].value = 26L + (1L << 40);  // the same low 32 bits: read as a long
    t[6].format = "hp %lx/%d";  // rewritten in the same buffer
    t[7].width = 30;
    const Change changes[] = {{"nothing", t[0]},  {"font", t[1]},   {"colour", t[2]},
                              {"place", t[3]},    {"alignment", t[4]}, {"long value", t[5]},
                              {"format", t[6]},   {"width form", t[7]}};
    for (const Change& change : changes) {
        char buffer[32];  // the game's own format buffer, rewritten in place
        std::vector<char> expected(64);
        for (int frame = 0; frame < 2; frame++) {
            const Text& x = frame == 0 ? base : change.second;
            std::snprintf(buffer, sizeof buffer, "%s", x.format);
            if (x.width != 0)
                back->Printf(x.font, x.x, x.y, x.colour, x.width, buffer, x.value, 9);
            else
                back->Printf(x.font, x.x, x.y, x.colour, x.align, buffer, x.value, 9);
            std::snprintf(expected.data(), expected.size(), x.format, x.value, 9);
            const auto got = Access::Recorded(engine);
            ASSERT_EQ(got.size(), 1u) << change.what;
            const KRE_TEXT_PARAM* p = got[0].Text();
            EXPECT_STREQ(p->text, expected.data()) << change.what;
            EXPECT_EQ(p->font, x.font) << change.what;
            EXPECT_EQ(p->colour, x.colour) << change.what;
            const long w = long(std::strlen(expected.data())) * 5;
            const long left = x.align == KFONT_ALIGN_RIGHT ? x.x - w : x.x;
            // The characters' steps, and what their glyphs may reach.
            EXPECT_TRUE(SameRect(got[0].rcSrc, RECT{LONG(left), LONG(x.y), LONG(left + w),
                                                    LONG(x.y + 10)}))
                << change.what;
            EXPECT_TRUE(SameRect(got[0].rcDst, RECT{LONG(left - 5), LONG(x.y), LONG(left + w + 5),
                                                    LONG(x.y + 10)}))
                << change.what;
            const int drawn = Access::Render(engine);
            if (frame == 1) {
                EXPECT_EQ(drawn != 0, change.what != std::string("nothing")) << change.what;
            }
        }
        back->Clear(0, 0, kW, kH, 0);  // a frame between the cases
        Access::Render(engine);
    }
}

}  // namespace

// A command keeps its param, op code and state in one word: each reads
// back whole whatever the others hold, and setting or clearing state bits
// leaves the op code and param alone.
TEST(CommandWord, ParamOpAndStateKeepTheirOwnBits)
{
    struct Row {
        uint64_t param;
        DWORD op;
        DWORD state;
    };
    const uint64_t widest = (uint64_t(1) << 48) - 1;
    const DWORD allStates = KRE_STATE_NOTDRAW | KRE_STATE_NOTPROCESS | KRE_STATE_STALE |
                            KRE_STATE_SPREAD | KRE_STATE_MATCHED;
    static int block;
    const Row rows[] = {
        {0, 0, 0},
        {0xFF, KRE_OP_BLT_ALPHA, 0},
        {0xFFFFFFFFu, KRE_OP_CLEAR, KRE_STATE_NOTDRAW | KRE_STATE_NOTPROCESS},
        {widest, KRE_OP_BLT_ZOOM_CK, allStates},
        {uint64_t(reinterpret_cast<uintptr_t>(&block)), KRE_OP_PRINTF_WIDTH, KRE_STATE_MATCHED},
        {widest, 0xFF, KRE_STATE_STALE},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("param " + std::to_string(r.param) + " op " + std::to_string(r.op) +
                     " state " + std::to_string(r.state));
        KRenderEngine::rectlist_node n;
        EXPECT_TRUE(n.param == 0 && n.op == 0 && n.state == 0);
        n.param = r.param;
        n.op = r.op;
        n.state = r.state;
        EXPECT_EQ(uint64_t(n.param), r.param);
        EXPECT_EQ(DWORD(n.op), r.op);
        EXPECT_EQ(DWORD(n.state), r.state);
        n.state |= allStates;
        EXPECT_EQ(DWORD(n.state), allStates);
        n.state &= ~KRE_STATE_STALE;
        EXPECT_EQ(DWORD(n.state), allStates & ~KRE_STATE_STALE);
        n.state = 0;
        EXPECT_EQ(uint64_t(n.param), r.param);
        EXPECT_EQ(DWORD(n.op), r.op);
        n.op = KRE_OP_LINE;
        EXPECT_EQ(uint64_t(n.param), r.param);
        EXPECT_EQ(DWORD(n.state), 0u);
    }
    // A command and its link fill one cache line.
    EXPECT_EQ(sizeof(KRenderEngine::Node), 64u);
}

// The lists' blocks of commands: each command on a cache line of its own,
// blocks apart, and freed ones handed out again lowest address first, so
// that a list that grows again grows forwards through memory; blocks of
// other sizes come from the heap and go back to it.
TEST(CommandBlocks, FreedBlocksComeBackLowestFirst)
{
    const size_t block = 16 * sizeof(KRenderEngine::Node);
    std::vector<BYTE*> blocks;
    for (int i = 0; i < 64; i++) {
        BYTE* b = static_cast<BYTE*>(Access::NodeBlock(block));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 64, 0u);
        std::memset(b, i, block);
        blocks.push_back(b);
    }
    std::vector<BYTE*> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i + 1 < sorted.size(); i++)
        EXPECT_GE(sorted[i + 1] - sorted[i], long(block));
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(blocks[size_t(i)][block - 1], BYTE(i));  // no block overlaps another
    std::mt19937 rng(35);
    std::shuffle(blocks.begin(), blocks.end(), rng);
    for (BYTE* b : blocks)
        Access::FreeNodeBlock(b);
    BYTE* last = nullptr;
    for (int i = 0; i < 64; i++) {
        BYTE* b = static_cast<BYTE*>(Access::NodeBlock(block));
        ASSERT_NE(b, nullptr);
        EXPECT_LT(last, b) << "allocation " << i;
        last = b;
        blocks[size_t(i)] = b;
    }
    for (BYTE* b : blocks)
        Access::FreeNodeBlock(b);
    for (size_t size : {size_t(1), block - 1, block + 1, 3 * block}) {
        SCOPED_TRACE(size);
        BYTE* b = static_cast<BYTE*>(Access::NodeBlock(size));
        ASSERT_NE(b, nullptr);
        std::memset(b, 0x77, size);
        Access::FreeNodeBlock(b);
    }
    Access::FreeNodeBlock(nullptr);
}
