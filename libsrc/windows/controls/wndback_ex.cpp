// KWndBack_Ex: a back framed by nine pieces. Corners are drawn once, edges
// and centre are tiled, the last tile of a run cut to end where the next
// piece begins. Pieces are blitted immediately and colour-keyed from their
// own rectangle in their picture.
#include "wndback.h"
#include "backpiece.h"

#include <kbase.h>

#include <algorithm>
#include <cstring>

namespace {

// The piece at (x, y), cw x ch of it from its top-left.
void _put(KSprite* back, const BackPiece& p, long x, long y, long cw, long ch)
{
    if (p.ok && cw > 0 && ch > 0)
        back->_blt_ck(x, y, p.spr, p.rc.left, p.rc.top, p.rc.left + std::min(cw, p.w),
                      p.rc.top + std::min(ch, p.h));
}

// Tiles of p, ch high, from x while x < end; the last is narrowed to end.
void _run(KSprite* back, const BackPiece& p, long x, long end, long y, long ch)
{
    if (!p.ok)
        return;
    for (; x < end; x += p.w)
        _put(back, p, x, y, std::min(p.w, end - x), ch);
}

}  // namespace

KWndBack_Ex::KWndBack_Ex(KGraph* pGraph, const char* name, CUnPackFile* pack,
                         CUnPackFile* commonPack)
    : KWndBack(pGraph), m_sprSrc{}
{
    Load(name, pack, commonPack);
}

KWndBack_Ex::~KWndBack_Ex()
{
    Release();
}

void KWndBack_Ex::Release()
{
    for (KSprite*& piece : m_sprSrc)
        if (piece != NULL && m_Graph != NULL)
            m_Graph->ReleaseKSprite(piece);
    std::fill(std::begin(m_sprSrc), std::end(m_sprSrc), nullptr);
}

long KWndBack_Ex::Load(const char* name, CUnPackFile* pack, CUnPackFile* commonPack)
{
    KASSERT(name != NULL);
    if (name == NULL)
        return E_FAIL;
    CUnPackFile* archive = std::strncmp(name, "common", 6) == 0 ? commonPack : pack;
    KExcelTable excel(name, archive);
    KASSERT(excel.GetRow() == 9);
    // A longer table names no more pieces than there are places for.
    const int rows = std::min(excel.GetRow(), int(PIECE_COUNT));
    for (int i = 0; i < rows; i++) {
        KASSERT(m_sprSrc[i] == NULL);
        const char* picture = excel.GetData(0, i);
        if (picture != NULL && std::strcmp(picture, "null") == 0)
            continue;
        long rect[4];
        if (picture == NULL || !_readrect(excel, i, rect))
            return KRet(E_FAIL, "KWndBack_Ex::Load(%s) fail!", name);
        if (m_sprSrc[i] != NULL)
            m_Graph->ReleaseKSprite(m_sprSrc[i]);
        m_sprSrc[i] = _loadpiece(picture, rect, pack, commonPack);
    }
    return 0;
}

void KWndBack_Ex::Update(long W, long H)
{
    KASSERT(m_sprBack != NULL);
    if (!Resize(W, H))
        return;
    KSprite* back = m_sprBack;
    back->_clear(0);
    BackPiece p[PIECE_COUNT];
    for (int i = 0; i < PIECE_COUNT; i++)
        p[i] = MakeBackPiece(m_sprSrc[i]);
    const BackPiece &tl = p[0], &top = p[1], &tr = p[2], &left = p[3], &centre = p[4],
                &right = p[5], &bl = p[6], &bottom = p[7], &br = p[8];

    // Top row.
    _put(back, tl, 0, 0, tl.w, tl.h);
    if (top.ok && tr.ok)
        _run(back, top, tl.w, W - tr.w, 0, top.h);
    _put(back, tr, W - tr.w, 0, tr.w, tr.h);
    if (!bl.ok)
        return;  // without the bottom-left corner the frame is only its top row

    // Middle rows: as high as the left edge (the right edge, then the
    // centre, when it is missing); the last row is cut to meet the bottom.
    const long step = left.ok ? left.h : right.ok ? right.h : centre.h;
    if (step > 0) {
        for (long y = tl.h; y < H - bl.h;) {
            const long r = std::min(step, H - bl.h - y);
            _put(back, left, 0, y, left.w, r);
            if (centre.ok && right.ok)
                _run(back, centre, left.w, W - right.w, y, r);
            _put(back, right, W - right.w, y, right.w, r);
            y += r;
        }
    }

    // Bottom row, on the line where the middle rows end.
    const long y = H - bl.h;
    _put(back, bl, 0, y, bl.w, bl.h);
    if (bottom.ok && br.ok)
        _run(back, bottom, bl.w, W - br.w, y, bottom.h);
    _put(back, br, W - br.w, H - br.h, br.w, br.h);
}

long KWndBack_Ex::GetTitleHeight()
{
    KASSERT(m_sprSrc[0] != NULL);
    return MakeBackPiece(m_sprSrc[0]).h;
}

long KWndBack_Ex::GetLBorderWidth()
{
    KASSERT(m_sprSrc[3] != NULL);
    return MakeBackPiece(m_sprSrc[3]).w;
}

long KWndBack_Ex::GetRBorderWidth()
{
    KASSERT(m_sprSrc[5] != NULL);
    return MakeBackPiece(m_sprSrc[5]).w;
}

long KWndBack_Ex::GetDBorderHeight()
{
    KASSERT(m_sprSrc[6] != NULL);
    return MakeBackPiece(m_sprSrc[6]).h;
}
