// KVectorFont: 1-bit glyphs from GetGlyphOutlineA in a most-recently-used
// list of nodes, drawn pixel by pixel into 16-bit sprites.
//
// The list runs from m_lpKFontData; the nodes before m_lpEndKFontData hold
// glyphs and are searched, the ones from it on are still empty. A new glyph
// takes the first empty node while there is one, then the least recently
// used node (the last one), and moves to the front. The list is doubly
// linked and a code index finds a cached glyph at once: text draws every
// frame, and a walk through hundreds of cached glyphs per character would
// cost more than the drawing.
#include "kfont_2.h"

#include <new>

#include "kbase.h"
#include "kgraph.h"
#include "kspritedata.h"

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

long RoundUp4(long v) { return (v + 3) & ~3L; }
long Min(long a, long b) { return a < b ? a : b; }

}  // namespace

KVectorFont::KVectorFont(KGraph* pGraph, HFONT hFont, DWORD count)
    : m_dwCacheCount(0), m_hDC(NULL), m_hFont(NULL), m_nAscent(0), m_lpKFontData(NULL),
      m_lpEndKFontData(NULL), m_pNodes(NULL), m_lpLast(NULL), m_lpIndex(), m_bIndexLost(false)
{
    KASSERT(pGraph != NULL);
    KASSERT(hFont != NULL);
    KASSERT(!m_dwState.Has(KFONT_STATE_INIT));
    if (pGraph == NULL || hFont == NULL)
        return;
    SetGraph(pGraph);

    m_hDC = ::CreateCompatibleDC(NULL);
    if (m_hDC == NULL) {
        KRet(KRET_ERROR, "KVectorFont: CreateCompatibleDC failed");
        return;
    }
    TEXTMETRICA tm;
    if (::SelectObject(m_hDC, hFont) == NULL || !::GetTextMetricsA(m_hDC, &tm) ||
        tm.tmHeight <= 0) {
        ::DeleteDC(m_hDC);
        m_hDC = NULL;
        KRet(KRET_ERROR, "KVectorFont: the font has no usable text metrics");
        return;
    }
    m_nHeight = tm.tmHeight;
    m_nAscent = tm.tmAscent;
    m_hFont = hFont;
    if (count != 0 && !_makenodes(count)) {
        ::DeleteDC(m_hDC);
        m_hDC = NULL;
        return;
    }
    m_dwState.Set(KFONT_STATE_INIT);
}

KVectorFont::~KVectorFont()
{
    KVectorFont::Release();
}

bool KVectorFont::_makenodes(DWORD count)
{
    m_pNodes = new (std::nothrow) _node[count];
    if (m_pNodes == NULL) {
        KRet(KRET_ERROR, "KVectorFont: cannot allocate %lu glyph nodes", (unsigned long)count);
        return false;
    }
    for (DWORD i = 0; i < count; i++) {
        _node& n = m_pNodes[i];
        n.pData = NULL;
        n.dwSize = 0;
        n.width = n.height = n.advance = n.xoffset = n.yoffset = 0;
        n.code = kNoCode;
        n.next = i + 1 < count ? &m_pNodes[i + 1] : NULL;
        n.prev = i > 0 ? &m_pNodes[i - 1] : NULL;
        n.x = n.y = -1;
    }
    m_dwCacheCount = count;
    m_lpKFontData = &m_pNodes[0];
    m_lpEndKFontData = m_pNodes[0].next;  // null for one node: it is then always reused
    m_lpLast = &m_pNodes[count - 1];
    return true;
}

// The DC goes whether or not nodes were made, so a font without nodes does
// not keep it.
void KVectorFont::Release()
{
    if (!m_dwState.Has(KFONT_STATE_INIT))
        return;
    if (m_pNodes != NULL) {
        for (DWORD i = 0; i < m_dwCacheCount; i++)
            delete[] m_pNodes[i].pData;
        delete[] m_pNodes;
        m_pNodes = NULL;
    }
    _freeindex();
    m_dwCacheCount = 0;
    m_lpKFontData = NULL;
    m_lpEndKFontData = NULL;
    m_lpLast = NULL;
    if (m_hDC != NULL) {
        ::DeleteDC(m_hDC);
        m_hDC = NULL;
    }
    m_dwState.Clr(KFONT_STATE_INIT);
}

int KVectorFont::GetWidth(unsigned code)
{
    return int(code >= 160 ? m_nHeight : m_nHeight / 2);
}

void KVectorFont::_freeindex()
{
    for (auto& page : m_lpIndex) {
        delete[] page;
        page = NULL;
    }
    m_bIndexLost = false;
}

// Codes of two bytes or less are indexed; anything else is found by walking
// the list.
void KVectorFont::_index(unsigned code, _node* node)
{
    if (code > 0xFFFF)
        return;
    _node**& page = m_lpIndex[code >> 8];
    if (page == NULL) {
        if (node == NULL)
            return;
        page = new (std::nothrow) _node*[256]();
        if (page == NULL) {
            m_bIndexLost = true;
            return;
        }
    }
    page[code & 0xFF] = node;
}

KVectorFont::_node* KVectorFont::_find(unsigned code)
{
    if (code <= 0xFFFF) {
        _node** page = m_lpIndex[code >> 8];
        _node* node = page != NULL ? page[code & 0xFF] : NULL;
        if (node != NULL || !m_bIndexLost)
            return node;
    }
    for (_node* n = m_lpKFontData; n != NULL && n != m_lpEndKFontData; n = n->next)
        if (n->code == code)
            return n;
    return NULL;
}

void KVectorFont::_tofront(_node* node)
{
    if (node == m_lpKFontData)
        return;
    node->prev->next = node->next;
    if (node->next != NULL)
        node->next->prev = node->prev;
    else
        m_lpLast = node->prev;
    node->prev = NULL;
    node->next = m_lpKFontData;
    m_lpKFontData->prev = node;
    m_lpKFontData = node;
}

KVectorFont::_node* KVectorFont::_lookup(unsigned code, UINT format, bool& rendered)
{
    rendered = false;
    if (m_lpKFontData == NULL)
        return NULL;  // a font without nodes
    if (code != kNoCode) {
        if (_node* node = _find(code)) {
            _tofront(node);
            return node;
        }
    }
    // The first empty node, else the least recently used one.
    _node* target = m_lpEndKFontData != NULL ? m_lpEndKFontData : m_lpLast;
    if (target == m_lpEndKFontData)
        m_lpEndKFontData = target->next;
    if (target->code != kNoCode)
        _index(target->code, NULL);
    const bool ok = _render(target, code, format);
    _tofront(target);
    if (!ok)
        return NULL;
    _index(code, target);
    rendered = true;
    return target;
}

// A glyph GDI cannot render (GDI_ERROR) or one without pixels becomes an
// empty node with its advance: nothing is drawn for it and it is not asked
// for again while it stays cached.
bool KVectorFont::_render(_node* node, unsigned code, UINT format)
{
    node->code = kNoCode;
    node->width = node->height = 0;
    node->advance = node->xoffset = node->yoffset = 0;

    GLYPHMETRICS gm = {};
    DWORD size = ::GetGlyphOutlineA(m_hDC, code, format, &gm, 0, NULL, &kIdentity);
    if (size == GDI_ERROR) {
        Debug("KVectorFont: no glyph for the code 0x%X", code);
        node->code = code;
        return true;
    }
    if (size != 0) {
        if (node->pData != NULL && size > node->dwSize) {
            delete[] node->pData;
            node->pData = NULL;
            node->dwSize = 0;
        }
        if (node->pData == NULL) {
            node->pData = new (std::nothrow) BYTE[size];
            if (node->pData == NULL) {
                KRet(KRET_ERROR, "KVectorFont: cannot allocate %lu bytes for a glyph",
                     (unsigned long)size);
                return false;
            }
            node->dwSize = size;
        }
        if (::GetGlyphOutlineA(m_hDC, code, format, &gm, node->dwSize, node->pData,
                               &kIdentity) == GDI_ERROR)
            size = 0;
    }
    node->advance = gm.gmCellIncX;
    node->xoffset = -gm.gmptGlyphOrigin.x;
    node->yoffset = gm.gmptGlyphOrigin.y - m_nAscent;
    node->code = code;
    if (size == 0)
        return true;  // no pixels: the black box is not read

    // The drawing reads whole rows of the rounded width: the bits must hold
    // them, whatever the metrics claim.
    const long width = RoundUp4(long(gm.gmBlackBoxX));
    const long height = long(gm.gmBlackBoxY);
    const uint64_t rowBytes = format == GGO_BITMAP ? uint64_t((width + 31) / 32 * 4)
                                                   : uint64_t(width);
    if (gm.gmBlackBoxX > 0x7FFF || gm.gmBlackBoxY > 0x7FFF ||
        rowBytes * uint64_t(height) > size) {
        Debug("KVectorFont: the glyph of 0x%X does not fit its metrics", code);
        return true;
    }
    node->width = width;
    node->height = height;
    return true;
}

KVectorFont::_node* KVectorFont::GetData(unsigned code)
{
    bool rendered;
    return _lookup(code, GGO_BITMAP, rendered);
}

int KVectorFont::DrawChar(void* dst, long x, long y, DWORD colour, unsigned code)
{
    KASSERT(dst != NULL);
    KASSERT(m_Graph != NULL);
    const int advance = GetWidth(code);
    if (dst == NULL)
        return advance;
    _node* dat = GetData(code);
    KASSERT(dat != NULL);
    if (dat == NULL)
        return advance;

    const long gx = x - dat->xoffset;
    const long gy = y - dat->yoffset;
    if ((gy < 0 && gy + dat->height < 1) || (gx < 0 && gx + dat->width < 1))
        return advance;
    SPRITE_DATA* spr = static_cast<SPRITE_DATA*>(dst);
    if (spr->kcm != KCM_R5G6B5 && spr->kcm != KCM_X1R5G5B5 && spr->kcm != KCM_A1R5G5B5) {
        Debug("KVectorFont::DrawChar() 未定义的颜色模式！");
        return advance;
    }
    // The rows are the 1-bit rows of GetGlyphOutlineA, padded to 4 bytes.
    // Rows and columns are limited to the font height and to the sprite.
    const long rowBytes = (dat->width + 31) / 32 * 4;
    const WORD c = WORD(colour);
    const long r0 = gy < 0 ? -gy : 0;
    const long r1 = Min(Min(m_nHeight, dat->height), spr->height - gy);
    const long c0 = gx < 0 ? -gx : 0;
    const long c1 = Min(Min(m_nHeight, dat->width), spr->width - gx);
    for (long r = r0; r < r1; r++) {
        const BYTE* row = dat->pData + r * rowBytes;
        WORD* out = reinterpret_cast<WORD*>(spr->lpRows[gy + r]);
        for (long col = c0; col < c1; col++) {
            if (row[col >> 3] & (0x80 >> (col & 7)))
                out[gx + col] = c;
        }
    }
    return advance;
}
