// KestrelWnd: composing the window's own back sprite from its frame pieces
// (DrawBackEx) or from one tiled piece (DrawBackEx2), by immediate blits.
// Pieces are views; their rectangles are in their source picture's pixels.
#include "kwnd.h"
#include "backpiece.h"

#include <doit.h>

#include <algorithm>

namespace {

void _whole(KSprite* back, const BackPiece& p, long x, long y)
{
    if (p.ok)
        back->_blt_ck(x, y, p.spr, p.rc.left, p.rc.top, p.rc.right, p.rc.bottom);
}

// Tiles of `p`, `rowH` high from the piece's top, from x0 while x < xEnd;
// a tile that would pass xEnd is narrowed to end there.
void _tilerow(KSprite* back, const BackPiece& p, long x0, long xEnd, long y, long rowH)
{
    if (!p.ok || rowH <= 0)
        return;
    for (long x = x0; x < xEnd; x += p.w) {
        const long t = std::min(p.w, xEnd - x);
        back->_blt_ck(x, y, p.spr, p.rc.left, p.rc.top, p.rc.left + t, p.rc.top + rowH);
    }
}

// A piece drawn at (x, y) whole in width, `rowH` high from its top.
void _rowpiece(KSprite* back, const BackPiece& p, long x, long y, long rowH)
{
    if (p.ok && rowH > 0)
        back->_blt_ck(x, y, p.spr, p.rc.left, p.rc.top, p.rc.right, p.rc.top + rowH);
}

}  // namespace

void KestrelWnd::DrawBackEx()
{
    KSprite* back = m_sprWndBack;
    if (back == NULL)
        return;
    const long W = GetWidth(), H = GetHeight();
    BackPiece p[KWND_SPR_NUMS];
    for (int i = 0; i < KWND_SPR_NUMS; i++)
        p[i] = MakeBackPiece(m_sprBackEx[i]);

    back->_clear(0);
    // Top row: corner, edge tiles, corner.
    _whole(back, p[0], 0, 0);
    if (p[1].ok)
        _tilerow(back, p[1], p[0].w, W - p[2].w, 0, p[1].h);
    _whole(back, p[2], W - p[2].w, 0);
    // Middle rows, as high as the centre piece (the right edge without
    // one), stepping by the right edge's height; the last row ends at the
    // bottom row.
    if (p[3].ok) {
        const long rowH = p[8].ok ? p[8].h : p[3].h;
        for (long y = p[2].h; y < H - p[6].h; y += p[3].h) {
            const long r = std::min(rowH, H - p[6].h - y);
            _rowpiece(back, p[7], 0, y, r);
            _tilerow(back, p[8], p[7].w, W - p[2].w, y, r);
            _rowpiece(back, p[3], W - p[3].w, y, r);
        }
    }
    // Bottom row: corner, edge tiles, corner.
    _whole(back, p[6], 0, H - p[6].h);
    if (p[5].ok)
        _tilerow(back, p[5], p[6].w, W - p[2].w, H - p[6].h, p[5].h);
    _whole(back, p[4], W - p[4].w, H - p[4].h);
}

// The piece's own rectangle repeated from (0, 0); the back sprite's edge
// clips the last row and column.
void KestrelWnd::DrawBackEx2()
{
    KSprite* back = m_sprWndBack;
    const BackPiece p = MakeBackPiece(m_sprBackEx2);
    if (back == NULL || !p.ok)
        return;
    const long W = GetWidth(), H = GetHeight();
    for (long y = 0; y < H; y += p.h)
        for (long x = 0; x < W; x += p.w)
            back->_blt(x, y, p.spr, p.rc.left, p.rc.top, p.rc.right, p.rc.bottom);
}
