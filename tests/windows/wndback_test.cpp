// Window skins composed from skin tables, checked against a model of where
// each piece lands, on the composed back and on the presented screen.
#include "controls_fixture.h"

#include <picture_bytes.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Piece i's rectangle lies in cell (i % 3, i / 3) of a 30 x 30 picture,
// starting at the cell's corner: left column 6 wide, middle 7, right 5; top
// row 8 high, middle 9, bottom 4.
const int kColW[3] = {6, 7, 5};
const int kRowH[3] = {8, 9, 4};

// Every picture pixel differs, and none is the key (0).
WORD PictureColour(int x, int y)
{
    return WORD((x & 31) << 11 | (y & 63) << 5 | 7);
}

std::string Row(const std::string& picture, int i)
{
    const int l = 10 * (i % 3), t = 10 * (i / 3);
    return picture + "\t" + std::to_string(l) + "\t" + std::to_string(t) + "\t" +
           std::to_string(l + kColW[i % 3]) + "\t" + std::to_string(t + kRowH[i / 3]) + "\r\n";
}

// Where the nine-piece skin puts picture pixels at W x H: the piece and the
// pixel inside it, tiles repeating from their piece's corner. 0 where a
// "null" piece leaves the back clear.
WORD Expected(int W, int H, int x, int y, int nullPiece = -1)
{
    int col, px, row, py;
    if (x < kColW[0]) {
        col = 0;
        px = x;
    } else if (x >= W - kColW[2]) {
        col = 2;
        px = x - (W - kColW[2]);
    } else {
        col = 1;
        px = (x - kColW[0]) % kColW[1];
    }
    if (y < kRowH[0]) {
        row = 0;
        py = y;
    } else if (y >= H - kRowH[2]) {
        row = 2;
        py = y - (H - kRowH[2]);
    } else {
        row = 1;
        py = (y - kRowH[0]) % kRowH[1];
    }
    if (row * 3 + col == nullPiece)
        return 0;
    return PictureColour(10 * col + px, 10 * row + py);
}

class SkinTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        OpenMain(120, 90);
        m_picture = Bmp("Skin.bmp", 30, 30, PictureColour);
    }
    // A nine-piece table; the row `nullRow` says "null".
    std::string Table(int nullRow = -1, const std::string& extra = "")
    {
        std::string t;
        for (int i = 0; i < 9; i++)
            t += i == nullRow ? "null\t0\t0\t0\t0\r\n" : Row(m_picture, i);
        return Text("skin.txt", t + extra);
    }
    static WORD BackAt(KWndBack& skin, int x, int y)
    {
        return *SpritePixel16(skin.GetData()->GetData(), x, y);
    }
    std::string m_picture;
};

TEST_F(SkinTest, NinePiecesLandWhereTheyBelongAtEverySize)
{
    KWndBack_Ex skin(m_graph, Table().c_str(), NULL, NULL);
    skin.Create(20, 20, KCM_R5G6B5, 0);
    const std::pair<int, int> sizes[] = {{11, 12}, {18, 21}, {40, 30}, {25, 60}, {100, 80}};
    for (auto [W, H] : sizes) {
        skin.Update(W, H);
        ASSERT_EQ(skin.GetData()->GetRectWidth(), DWORD(W));
        int wrong = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                wrong += BackAt(skin, x, y) != Expected(W, H, x, y);
        EXPECT_EQ(wrong, 0) << W << " x " << H;
    }
    EXPECT_EQ(skin.GetTitleHeight(), 8);
    EXPECT_EQ(skin.GetLBorderWidth(), 6);
    EXPECT_EQ(skin.GetRBorderWidth(), 5);
    EXPECT_EQ(skin.GetDBorderHeight(), 4);
}

// Pieces each of their own size, so that a border or a corner read from
// its neighbour in the row or column shows: the frame composed as the
// skin's rules place each piece, against the composed back, and the border
// getters (right: the right edge's width; bottom: the bottom-left corner's
// height).
const int kPieceW[9] = {6, 7, 5, 4, 8, 3, 7, 6, 2};
const int kPieceH[9] = {8, 6, 5, 9, 7, 8, 4, 5, 3};

// Piece i's pixels (0, 0, w, h) at (x, y), cut to the piece and the back.
void PutPiece(std::vector<WORD>& back, int W, int H, int i, int x, int y, int w, int h)
{
    w = std::min(w, kPieceW[i]);
    h = std::min(h, kPieceH[i]);
    for (int j = 0; j < h; j++)
        for (int k = 0; k < w; k++)
            if (x + k >= 0 && x + k < W && y + j >= 0 && y + j < H)
                back[size_t(y + j) * W + x + k] = PictureColour(10 * (i % 3) + k, 10 * (i / 3) + j);
}

// Piece i repeated from x0, the last one narrowed to end at x1.
void RunPiece(std::vector<WORD>& back, int W, int H, int i, int x0, int x1, int y, int h)
{
    for (int x = x0; x < x1; x += kPieceW[i])
        PutPiece(back, W, H, i, x, y, std::min(kPieceW[i], x1 - x), h);
}

std::vector<WORD> ComposedFrame(int W, int H)
{
    const int* w = kPieceW;
    const int* h = kPieceH;
    std::vector<WORD> back(size_t(W) * H, 0);
    PutPiece(back, W, H, 0, 0, 0, w[0], h[0]);
    RunPiece(back, W, H, 1, w[0], W - w[2], 0, h[1]);
    PutPiece(back, W, H, 2, W - w[2], 0, w[2], h[2]);
    for (int y = h[0]; y < H - h[6];) {
        const int r = std::min(h[3], H - h[6] - y);
        PutPiece(back, W, H, 3, 0, y, w[3], r);
        RunPiece(back, W, H, 4, w[3], W - w[5], y, r);
        PutPiece(back, W, H, 5, W - w[5], y, w[5], r);
        y += r;
    }
    PutPiece(back, W, H, 6, 0, H - h[6], w[6], h[6]);
    RunPiece(back, W, H, 7, w[6], W - w[8], H - h[6], h[7]);
    PutPiece(back, W, H, 8, W - w[8], H - h[8], w[8], h[8]);
    return back;
}

TEST_F(SkinTest, EachPieceTakesItsOwnSize)
{
    std::string t;
    for (int i = 0; i < 9; i++) {
        const int l = 10 * (i % 3), top = 10 * (i / 3);
        t += m_picture + "\t" + std::to_string(l) + "\t" + std::to_string(top) + "\t" +
             std::to_string(l + kPieceW[i]) + "\t" + std::to_string(top + kPieceH[i]) + "\r\n";
    }
    KWndBack_Ex skin(m_graph, Text("own.txt", t).c_str(), NULL, NULL);
    skin.Create(20, 20, KCM_R5G6B5, 0);
    EXPECT_EQ(skin.GetTitleHeight(), 8);
    EXPECT_EQ(skin.GetLBorderWidth(), 4);
    EXPECT_EQ(skin.GetRBorderWidth(), 3);
    EXPECT_EQ(skin.GetDBorderHeight(), 4);
    const std::pair<int, int> sizes[] = {{20, 25}, {33, 41}, {100, 80}};
    for (auto [W, H] : sizes) {
        skin.Update(W, H);
        const std::vector<WORD> want = ComposedFrame(W, H);
        int wrong = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                wrong += BackAt(skin, x, y) != want[size_t(y) * W + x];
        EXPECT_EQ(wrong, 0) << W << " x " << H;
    }
}

TEST_F(SkinTest, TheComposedBackIsWhatThePlayerSees)
{
    KWndBack_Ex skin(m_graph, Table(1).c_str(), NULL, NULL);
    skin.Create(50, 40, KCM_R5G6B5, 0);
    skin.Update(50, 40);
    m_graph->ClearBackScreen(0x8410);
    skin.GetData()->Draw_ck(30, 20);
    ASSERT_EQ(m_main.Render(NULL), 0);
    int wrong = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 50; x++) {
            // The "null" top edge leaves the screen under it as it was.
            const WORD e = Expected(50, 40, x, y, 1);
            wrong += At(30 + x, 20 + y) != (e == 0 ? 0x8410 : e);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(At(29, 20), 0x8410);
    EXPECT_EQ(At(30, 20), PictureColour(0, 0));      // both top corners are there
    EXPECT_EQ(At(30 + 45, 20), PictureColour(20, 0));
}

TEST_F(SkinTest, MissingPiecesAreSkippedWithoutEndlessLoops)
{
    // No bottom-left corner: only the top row is drawn.
    KWndBack_Ex noCorner(m_graph, Table(6).c_str(), NULL, NULL);
    noCorner.Create(30, 30, KCM_R5G6B5, 0);
    noCorner.Update(30, 30);
    EXPECT_EQ(BackAt(noCorner, 0, 7), PictureColour(0, 7));
    EXPECT_EQ(BackAt(noCorner, 0, 8), 0);
    EXPECT_EQ(BackAt(noCorner, 29, 29), 0);

    // A left edge of no height, or missing: the rows step by the right edge.
    for (const std::string& left : {m_picture + "\t0\t10\t6\t10\r\n", std::string("null\t0\t0\t0\t0\r\n")}) {
        std::string t;
        for (int i = 0; i < 9; i++)
            t += i == 3 ? left : Row(m_picture, i);
        KWndBack_Ex skin(m_graph, Text("flat.txt", t).c_str(), NULL, NULL);
        skin.Create(30, 40, KCM_R5G6B5, 0);
        skin.Update(30, 40);  // returns
        // No left edge: the centre starts at the left side.
        EXPECT_EQ(BackAt(skin, 0, 10), PictureColour(10, 12));
        EXPECT_EQ(BackAt(skin, 6, 8), PictureColour(16, 10));
        EXPECT_EQ(BackAt(skin, 0, 36), PictureColour(0, 20));  // bottom row in place
    }
}

TEST_F(SkinTest, LongTablesAndBadCellsAreBounded)
{
    // Rows past the ninth name no piece; the skin is whole.
    KWndBack_Ex longer(m_graph, Table(-1, Row(m_picture, 0) + Row(m_picture, 1)).c_str(), NULL,
                       NULL);
    for (int i = 0; i < 9; i++)
        EXPECT_NE(longer.GetPiece(i), nullptr) << i;
    EXPECT_TRUE(Asserted("excel.GetRow() == 9"));

    std::string t = Row(m_picture, 0) + Row(m_picture, 1) + m_picture + "\t20\tten\t25\t8\r\n";
    const std::string name = Text("bad.txt", t);
    KWndBack_Ex bad(m_graph, name.c_str(), NULL, NULL);
    EXPECT_TRUE(Logged("KWndBack_Ex::Load(" + name + ") fail!"));
    EXPECT_NE(bad.GetPiece(0), nullptr);
    EXPECT_NE(bad.GetPiece(1), nullptr);
    EXPECT_EQ(bad.GetPiece(2), nullptr);
    bad.Create(40, 40, KCM_R5G6B5, 0);
    bad.Update(40, 40);  // draws what it has
    EXPECT_EQ(BackAt(bad, 0, 0), PictureColour(0, 0));

    // A picture that is not there leaves its piece empty, reported.
    KWndBack_Ex missing(m_graph, Text("m.txt", Path("none.bmp") + "\t0\t0\t4\t4\n").c_str(), NULL,
                        NULL);
    EXPECT_EQ(missing.GetPiece(0), nullptr);
    std::string lowered = Path("none.bmp");
    for (char& ch : lowered)
        ch = char(std::tolower((unsigned char)ch));
    EXPECT_TRUE(Logged("KWndBack::Load piece(" + lowered + ") fail!"));
}

TEST_F(SkinTest, TiledSkinRepeatsItsPieceAndCutsTheLastRowAndColumn)
{
    KWndBack_Ex2 skin(m_graph, Text("tile.txt", m_picture + "\t10\t10\t17\t19\r\n").c_str(), NULL,
                      NULL);
    skin.Create(10, 10, KCM_R5G6B5, 0);
    EXPECT_EQ(skin.GetTitleHeight(), 0);
    for (auto [W, H] : {std::pair<int, int>{7, 9}, {30, 25}, {16, 40}}) {
        skin.Update(W, H);
        int wrong = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                wrong += BackAt(skin, x, y) != PictureColour(10 + x % 7, 10 + y % 9);
        EXPECT_EQ(wrong, 0) << W << " x " << H;
    }
    // Smaller again: the pixel block stays, only the rectangle shrinks.
    SPRITE_DATA* block = skin.GetData()->GetData();
    skin.Update(5, 5);
    EXPECT_EQ(skin.GetData()->GetData(), block);
    EXPECT_EQ(skin.GetData()->GetRectWidth(), 5u);

    // A piece without area draws nothing and does not hang.
    KWndBack_Ex2 empty(m_graph, Text("e.txt", m_picture + "\t3\t3\t3\t9\r\n").c_str(), NULL, NULL);
    empty.Create(8, 8, KCM_R5G6B5, 0);
    empty.Update(8, 8);
    EXPECT_EQ(BackAt(empty, 0, 0), 0);
}

TEST_F(SkinTest, CommonNamesComeFromTheCommonArchive)
{
    // Pictures in archives are read by the formats that come from archives:
    // a TGA here.
    const Bytes pic = TgaBytes(30, 30, Bytes(30 * 30 * 4, 0x80));
    std::string table;
    for (int i = 0; i < 9; i++)
        table += Row("Common\\Frame.TGA", i);
    const ZipEntries common = {{"common/frame.tga", pic},
                               {"common/skin.txt", Bytes(table.begin(), table.end())}};
    WriteFile(Path("common.zip"), StoredZip(common));
    WriteFile(Path("own.zip"), StoredZip({}));
    CUnPackFile commonPack, ownPack;
    ASSERT_TRUE(commonPack.Open(Path("common.zip").c_str()));
    ASSERT_TRUE(ownPack.Open(Path("own.zip").c_str()));
    KWndBack_Ex skin(m_graph, "common\\skin.txt", &ownPack, &commonPack);
    for (int i = 0; i < 9; i++)
        EXPECT_NE(skin.GetPiece(i), nullptr) << i;
    KWndBack_Ex wrongPack(m_graph, "common\\skin.txt", &commonPack, &ownPack);
    EXPECT_EQ(wrongPack.GetPiece(0), nullptr);
}

}  // namespace
