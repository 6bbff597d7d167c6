// KSmoothVectorFont: 65-level grey glyphs kept in the square cells of one
// 8-bit cache sprite, drawn through the device's colour-through-alpha blit.
// Each glyph node owns one cell for the life of the font; the glyph list
// decides which glyph a cell holds.
#include "kfont_2.h"

#include <new>

#include "kbase.h"
#include "kgraph.h"
#include "ksprite.h"

namespace {

long RoundUp4(long v) { return (v + 3) & ~3L; }
long Min(long a, long b) { return a < b ? a : b; }

}  // namespace

KSmoothVectorFont::KSmoothVectorFont(KGraph* pGraph, HFONT hFont, long CacheSprWidth,
                                     long CacheSprHeight)
    : KVectorFont(pGraph, hFont, 0), m_sprCache(NULL), m_nCellSize(0)
{
    KASSERT(CacheSprWidth != 0);
    KASSERT(CacheSprHeight != 0);
    if (!m_dwState.Has(KFONT_STATE_INIT))
        return;  // the base has reported why
    m_nCellSize = RoundUp4(m_nHeight);
    const long cols = CacheSprWidth > 0 ? CacheSprWidth / m_nCellSize : 0;
    const long rows = CacheSprHeight > 0 ? CacheSprHeight / m_nCellSize : 0;
    // The glyph list needs a node to search and one to fill.
    if (cols < 1 || rows < 1 || cols * rows < 2) {
        KRet(KRET_ERROR,
             "KSmoothVectorFont: a %ld x %ld cache holds %ld cells of %ld pixels; 2 are needed",
             CacheSprWidth, CacheSprHeight, cols > 0 && rows > 0 ? cols * rows : 0L, m_nCellSize);
        KVectorFont::Release();
        return;
    }
    if (!_makenodes(DWORD(cols * rows))) {
        KVectorFont::Release();
        return;
    }
    for (long i = 0; i < cols * rows; i++) {
        m_pNodes[i].x = (i % cols) * m_nCellSize;
        m_pNodes[i].y = (i / cols) * m_nCellSize;
    }
    m_sprCache = m_Graph->CreateSprite(CacheSprWidth, CacheSprHeight, KCM_GRAY, 17);
    if (m_sprCache == NULL) {
        KRet(KRET_ERROR, "KSmoothVectorFont: cannot make the %ld x %ld cache sprite", CacheSprWidth,
             CacheSprHeight);
        KVectorFont::Release();
        return;
    }
}

KSmoothVectorFont::~KSmoothVectorFont()
{
    KSmoothVectorFont::Release();
}

void KSmoothVectorFont::Release()
{
    if (m_sprCache != NULL)
        m_Graph->ReleaseKSprite(m_sprCache);
    KVectorFont::Release();
}

KVectorFont::_node* KSmoothVectorFont::GetData(unsigned code)
{
    bool rendered;
    _node* dat = _lookup(code, GGO_GRAY8_BITMAP, rendered);
    if (rendered)
        DrawCache(dat);
    return dat;
}

void KSmoothVectorFont::DrawCache(_node* dat)
{
    KASSERT(m_sprCache != NULL);
    if (m_sprCache != NULL && m_sprCache->GetData()->kcm != KCM_GRAY)
        kbase::AssertFailed("m_sprCache->m_lps->kcm == KCM_GRAY", __FILE__, __LINE__);
    KASSERT(dat != NULL);
    KASSERT(dat != NULL && dat->x != -1 && dat->y != -1);
    if (m_sprCache == NULL || dat == NULL || dat->x == -1 || dat->y == -1)
        return;
    SPRITE_DATA* cache = m_sprCache->GetData();
    if (cache->kcm != KCM_GRAY)
        return;
    // Grey rows are the node width apart (GetGlyphOutlineA pads them to 4).
    for (long r = 0; r < m_nCellSize; r++) {
        BYTE* out = cache->lpRows[dat->y + r] + dat->x;
        const BYTE* in = r < dat->height ? dat->pData + r * dat->width : NULL;
        for (long c = 0; c < m_nCellSize; c++) {
            const BYTE g = in != NULL && c < dat->width ? in[c] : 0;
            out[c] = g > 0 ? BYTE(g * 4 - 4) : 0;
        }
    }
}

int KSmoothVectorFont::DrawChar(void* dst, long x, long y, DWORD colour, unsigned code)
{
    KASSERT(dst != NULL);
    KASSERT(m_Graph != NULL);
    const int advance = GetWidth(code);
    if (dst == NULL || m_Graph == NULL || m_sprCache == NULL)
        return advance;
    _node* dat = GetData(code);
    KASSERT(dat != NULL);
    if (dat == NULL)
        return advance;
    if (colour == 0)
        colour = 1;  // 0 is the colour key
    // A glyph wider or taller than its cell was cached cut to the cell: the
    // blit must not reach into the neighbouring cells.
    const long w = Min(dat->width, m_nCellSize);
    const long h = Min(dat->height, m_nCellSize);
    m_Graph->_bltsprite_alpha(static_cast<SPRITE_DATA*>(dst), x - dat->xoffset, y - dat->yoffset,
                              colour, dat->x, dat->y, dat->x + w, dat->y + h,
                              m_sprCache->GetData(), dat->x, dat->y);
    return advance;
}
