// KSprite: construction, sharing and release of a sprite handle.
#include "ksprite.h"
#include "krenderengine_record.h"
#include "kgraph.h"
#include "kformat.h"
#include <kbase.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

KSprite::KSprite() : m_lps(NULL), m_lpsAlpha(NULL), m_rc{0, 0, 0, 0}, m_RenderEngine(NULL) {}

KSprite::KSprite(KSprite& other, RECT& rect) : KSprite()
{
    _share(other, rect);
}

KSprite::KSprite(const KSprite& other) : KSprite()
{
    _share(other, other.m_rc);
}

KSprite& KSprite::operator=(const KSprite& other)
{
    if (this != &other)
        _share(other, other.m_rc);
    return *this;
}

KSprite::~KSprite()
{
    Release();
}

// Takes one more reference on each block other names.
void KSprite::_share(const KSprite& other, const RECT& rc)
{
    KASSERT(other.m_lps);
    m_lps = other.m_lps;
    m_lpsAlpha = other.m_lpsAlpha;
    if (m_lps)
        m_lps->ref++;
    if (m_lpsAlpha)
        m_lpsAlpha->ref++;
    m_rc = rc;
    m_RenderEngine = other.m_RenderEngine;
}

void KSprite::Release()
{
    if (m_lps == NULL && m_lpsAlpha == NULL)
        return;
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL)
        return;  // without the device the blocks cannot be given back
    if (m_lpsAlpha)
        m_RenderEngine->ReleaseSprite(m_lpsAlpha);
    if (m_lps)
        m_RenderEngine->ReleaseSprite(m_lps);
    m_lpsAlpha = NULL;
    m_lps = NULL;
}

void KSprite::SetRenderEngine(KRenderEngine* pRenderEngine)
{
    KASSERT(pRenderEngine);
    m_RenderEngine = pRenderEngine;
}

long KSprite::GetWidth() const
{
    KASSERT(m_lps);
    return m_lps ? m_lps->width : 0;
}

long KSprite::GetHeight() const
{
    KASSERT(m_lps);
    return m_lps ? m_lps->height : 0;
}

void KSprite::SetRect(long l, long t, long r, long b)
{
    m_rc.left = LONG(l);
    m_rc.top = LONG(t);
    m_rc.right = LONG(r);
    m_rc.bottom = LONG(b);
}

void KSprite::SetRect()
{
    KASSERT(m_lps);
    if (m_lps)
        SetRect(0, 0, m_lps->width, m_lps->height);
}

long KSprite::Lock(void** bits, DWORD& pitch, long& w, long& h)
{
    KASSERT(m_RenderEngine);
    return m_RenderEngine->_locksprite(m_lps, bits, pitch, w, h);
}

void KSprite::Unlock()
{
    KASSERT(m_RenderEngine);
    m_RenderEngine->_unlocksprite(m_lps);
}

void KSprite::_line(long x1, long y1, long x2, long y2, DWORD colour)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine)
        m_RenderEngine->GetGraph()->_line(m_lps, x1, y1, x2, y2, colour);
}

// The sides lie on t, l, r - 1 and b - 1 and end on the last pixel inside.
void KSprite::_rect(long l, long t, long r, long b, DWORD colour)
{
    _line(l, t, r - 1, t, colour);
    _line(l, t, l, b - 1, colour);
    _line(r - 1, t, r - 1, b - 1, colour);
    _line(l, b - 1, r - 1, b - 1, colour);
}

// ---- recorded drawing ------------------------------------------------------

KGraph* KSprite::_graph() const
{
    return m_RenderEngine->GetGraph();
}

// Every recorded drawing call asks for the back screen: read straight from
// the device, without a call.
SPRITE_DATA* KSprite::_back() const
{
    return m_RenderEngine->GetGraph()->GetBackScreenData();
}

namespace {

// A sprite drawn on without a device: reported, and the drawing call does
// nothing. Out of line, so that a drawing call that records makes no call
// of its own and keeps its registers.
__attribute__((noinline, cold)) void NoEngine(const char* file, int line)
{
    ::kbase::AssertFailed("m_RenderEngine", file, line);
}

}  // namespace

#define KSPRITE_NEEDS_ENGINE()      \
    if (m_RenderEngine == NULL)     \
        return NoEngine(__FILE__, __LINE__)

void KSprite::Draw(long x, long y)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt(_back(), x, y, m_lps, m_rc);
}

void KSprite::Draw(long x, long y, DWORD flags)
{
    if (flags & 1)
        Draw_ck(x, y);
    else
        Draw(x, y);
}

void KSprite::Draw_ck(long x, long y)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_ck(_back(), x, y, m_lps, m_rc);
}

void KSprite::Draw_zoom(long x, long y, long w, long h)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_zoom(_back(), x, y, w, h, m_lps, m_rc.left, m_rc.top,
                             m_rc.right - m_rc.left, m_rc.bottom - m_rc.top);
}

void KSprite::Draw_additive(long x, long y, BYTE level)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_additive(_back(), x, y, m_lps, m_rc.left, m_rc.top, m_rc.right,
                                 m_rc.bottom, level);
}

void KSprite::Draw_alpha_ck(long x, long y, BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha_ck(_back(), x, y, m_lps, m_rc.left, m_rc.top, m_rc.right,
                                 m_rc.bottom, alpha);
}

void KSprite::Draw_alpha(long x, long y, BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha(_back(), x, y, m_lps, m_rc.left, m_rc.top, m_rc.right,
                              m_rc.bottom, alpha);
}

void KSprite::Draw_alpha(long x, long y, KSprite* alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha(_back(), x, y, m_lps, m_rc.left, m_rc.top, m_rc.right,
                              m_rc.bottom, alpha->m_lps, alpha->m_rc.left, alpha->m_rc.top);
}

void KSprite::Draw_alpha(long x, long y)
{
    KSPRITE_NEEDS_ENGINE();
    if (m_lpsAlpha == NULL) {
        Draw(x, y);
        return;
    }
    m_RenderEngine->Blt_alpha(_back(), x, y, m_lps, m_rc.left, m_rc.top, m_rc.right,
                              m_rc.bottom, m_lpsAlpha, m_rc.left, m_rc.top);
}

void KSprite::Blt(long x, long y, KSprite* src, long l, long t, long r, long b)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt(m_lps, x, y, src->m_lps, l, t, r, b);
}

void KSprite::Blt_ck(long x, long y, KSprite* src, long l, long t, long r, long b)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_ck(m_lps, x, y, src->m_lps, l, t, r, b);
}

void KSprite::Blt_zoom(long x, long y, long w, long h, KSprite* src, long l, long t, long sw,
                       long sh)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_zoom(m_lps, x, y, w, h, src->m_lps, l, t, sw, sh);
}

void KSprite::Blt_zoom_alpha(long x, long y, long w, long h, KSprite* src, long l, long t,
                             long sw, long sh, BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_zoom_alpha(m_lps, x, y, w, h, src->m_lps, l, t, sw, sh, alpha);
}

void KSprite::Blt_zoom_ck(long x, long y, long w, long h, KSprite* src, long l, long t,
                          long sw, long sh)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_zoom_ck(m_lps, x, y, w, h, src->m_lps, l, t, sw, sh);
}

void KSprite::Blt_additive(long x, long y, KSprite* src, long l, long t, long r, long b,
                           BYTE level)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_additive(m_lps, x, y, src->m_lps, l, t, r, b, level);
}

void KSprite::Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha(m_lps, x, y, src->m_lps, l, t, r, b, alpha);
}

void KSprite::Blt_alpha_ck(long x, long y, KSprite* src, long l, long t, long r, long b,
                           BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha_ck(m_lps, x, y, src->m_lps, l, t, r, b, alpha);
}

void KSprite::Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b)
{
    KSPRITE_NEEDS_ENGINE();
    if (src->m_lpsAlpha == NULL)
        m_RenderEngine->Blt(m_lps, x, y, src->m_lps, l, t, r, b);
    else
        m_RenderEngine->Blt_alpha(m_lps, x, y, src->m_lps, l, t, r, b, src->m_lpsAlpha, l, t);
}

void KSprite::Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b,
                        KSprite* alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha(m_lps, x, y, src->m_lps, l, t, r, b, alpha->m_lps,
                              alpha->m_rc.left, alpha->m_rc.top);
}

void KSprite::Blt_alpha(long x, long y, DWORD colour, long l, long t, long r, long b,
                        KSprite* alpha)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Blt_alpha(m_lps, x, y, colour, l, t, r, b, alpha->m_lps, alpha->m_rc.left,
                              alpha->m_rc.top);
}

void KSprite::Clear(long x, long y, long w, long h, DWORD colour)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Clear(m_lps, x, y, x + w, y + h, colour);
}

void KSprite::Clear(const RECT& rc, DWORD colour)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Clear(m_lps, rc.left, rc.top, rc.right, rc.bottom, colour);
}

void KSprite::Clear(DWORD colour)
{
    Clear(m_rc, colour);
}

void KSprite::Line(long x1, long y1, long x2, long y2, DWORD colour)
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Line(m_lps, x1, y1, x2, y2, colour);
}

// The sides lie on t, l, r - 1 and b - 1 and end on the last pixel inside.
void KSprite::Rect(long l, long t, long r, long b, DWORD colour)
{
    Line(l, t, r - 1, t, colour);
    Line(l, t, l, b - 1, colour);
    Line(r - 1, t, r - 1, b - 1, colour);
    Line(l, b - 1, r - 1, b - 1, colour);
}

void KSprite::Updata()
{
    KSPRITE_NEEDS_ENGINE();
    m_RenderEngine->Update(m_lps, 0, 0, 0, 0);
}

// ---- text ------------------------------------------------------------------

// The formatting buffer of every text form; longer text is cut at 255 bytes.
#define KSPRITE_FORMAT(buf, format)                 \
    char buf[256];                                  \
    do {                                            \
        va_list args;                               \
        va_start(args, format);                     \
        KFormatPrint(buf, sizeof(buf), format, args); \
        va_end(args);                               \
    } while (0)

void KSprite::Printf(KFont* font, long x, long y, DWORD colour, const char* format, ...)
{
    KSPRITE_NEEDS_ENGINE();
    KASSERT(font);
    if (font == NULL)
        return;
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, font, 0, x, y, colour, KFONT_ALIGN_LEFT, false, 0, format, args);
    va_end(args);
}

void KSprite::Printf(int height, long x, long y, DWORD colour, const char* format, ...)
{
    KSPRITE_NEEDS_ENGINE();
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, NULL, height, x, y, colour, KFONT_ALIGN_LEFT, false, 0, format, args);
    va_end(args);
}

void KSprite::Printf(KFont* font, long x, long y, DWORD colour, long width, const char* format,
                     ...)
{
    KSPRITE_NEEDS_ENGINE();
    KASSERT(font);
    if (font == NULL)
        return;
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, font, 0, x, y, colour, KFONT_ALIGN_LEFT, true, width, format, args);
    va_end(args);
}

void KSprite::Printf(int height, long x, long y, DWORD colour, long width, const char* format,
                     ...)
{
    KSPRITE_NEEDS_ENGINE();
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, NULL, height, x, y, colour, KFONT_ALIGN_LEFT, true, width, format, args);
    va_end(args);
}

void KSprite::Printf(KFont* font, long x, long y, DWORD colour, KFONT_ALIGN_TYPE align,
                     const char* format, ...)
{
    KSPRITE_NEEDS_ENGINE();
    KASSERT(font);
    if (font == NULL)
        return;
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, font, 0, x, y, colour, align, false, 0, format, args);
    va_end(args);
}

void KSprite::Printf(int height, long x, long y, DWORD colour, KFONT_ALIGN_TYPE align,
                     const char* format, ...)
{
    KSPRITE_NEEDS_ENGINE();
    va_list args;
    va_start(args, format);
    m_RenderEngine->_printf(m_lps, NULL, height, x, y, colour, align, false, 0, format, args);
    va_end(args);
}

long KSprite::_printf(KFont* font, long x, long y, DWORD colour, const char* format, ...)
{
    KASSERT(font);
    if (font == NULL)
        return E_FAIL;
    KSPRITE_FORMAT(text, format);
    return font->DrawString(m_lps, x, y, colour, text);
}

long KSprite::_printf(int, long x, long y, DWORD colour, const char* format, ...)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL)
        return E_FAIL;
    KFont* font = m_RenderEngine->GetDefaultFont();
    KASSERT(font);
    if (font == NULL)
        return E_FAIL;
    KSPRITE_FORMAT(text, format);
    return font->DrawString(m_lps, x, y, colour, text);
}

// ---- immediate drawing -----------------------------------------------------

long KSprite::_clear(long x, long y, long w, long h, DWORD colour)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL)
        return E_FAIL;
    return m_RenderEngine->_clearsprite(m_lps, x, y, x + w, y + h, colour);
}

long KSprite::_clear(const RECT& rc, DWORD colour)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL)
        return E_FAIL;
    return m_RenderEngine->_clearsprite(m_lps, rc.left, rc.top, rc.right, rc.bottom, colour);
}

long KSprite::_clear(DWORD colour)
{
    return _clear(m_rc, colour);
}

void KSprite::_blt(long x, long y, KSprite* src, long l, long t, long r, long b)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite(m_lps, x, y, src->m_lps, l, t, r, b);
}

void KSprite::_blt_ck(long x, long y, KSprite* src, long l, long t, long r, long b)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_ck(m_lps, x, y, src->m_lps, l, t, r, b);
}

void KSprite::_blt_zoom(long x, long y, long w, long h, KSprite* src, long l, long t, long sw,
                        long sh)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_zoom(m_lps, x, y, w, h, src->m_lps, l, t, sw, sh);
}

void KSprite::_blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b,
                         BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_alpha(m_lps, x, y, src->m_lps, l, t, r, b, alpha);
}

void KSprite::_blt_alpha_ck(long x, long y, KSprite* src, long l, long t, long r, long b,
                            BYTE alpha)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_alpha_ck(m_lps, x, y, src->m_lps, l, t, r, b, alpha);
}

void KSprite::_blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b,
                         KSprite* alpha)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_alpha(m_lps, x, y, src->m_lps, l, t, r, b, alpha->m_lps,
                               alpha->m_rc.left, alpha->m_rc.top);
}

void KSprite::_blt_alpha(long x, long y, DWORD colour, long l, long t, long r, long b,
                         KSprite* alpha)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_alpha(m_lps, x, y, colour, l, t, r, b, alpha->m_lps, alpha->m_rc.left,
                               alpha->m_rc.top);
}

void KSprite::_blt_additive(long x, long y, KSprite* src, long l, long t, long r, long b,
                            BYTE level)
{
    KSPRITE_NEEDS_ENGINE();
    _graph()->_bltsprite_additive(m_lps, x, y, src->m_lps, l, t, r, b, level);
}

// ---- colour key and masks --------------------------------------------------

static bool IsRgb16(const SPRITE_DATA* spr)
{
    return spr->kcm == KCM_R5G6B5 || spr->kcm == KCM_X1R5G5B5 || spr->kcm == KCM_A1R5G5B5;
}

// The key colour becomes 0, which the colour-keyed blits skip, and true
// black (0) becomes 1 so that it stays visible.
void KSprite::_setkey(WORD key)
{
    void* bits;
    DWORD pitch;
    long w, h;
    m_RenderEngine->_locksprite(m_lps, &bits, pitch, w, h);
    for (long y = 0; y < h; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
        for (long x = 0; x < w; x++) {
            if (row[x] == key)
                row[x] = 0;
            else if (row[x] == 0)
                row[x] = 1;
        }
    }
    m_RenderEngine->_unlocksprite(m_lps);
}

void KSprite::SetColorKey(long x, long y)
{
    KASSERT(m_lps);
    if (m_lps == NULL || m_RenderEngine == NULL)
        return;
    m_lps->flags |= KSPR_COLORKEY;
    if (IsRgb16(m_lps)) {
        // A pixel outside the data names no colour: the pixels stay as they are.
        if (x >= 0 && y >= 0 && x < m_lps->width && y < m_lps->height)
            _setkey(*SpritePixel16(m_lps, x, y));
    }
    _graph()->_setcolorkey(m_lps);
}

void KSprite::SetColorKey(DWORD colour)
{
    KASSERT(m_lps);
    if (m_lps == NULL || m_RenderEngine == NULL)
        return;
    m_lps->flags |= KSPR_COLORKEY;
    if (IsRgb16(m_lps))
        _setkey(WORD(colour));
    _graph()->_setcolorkey(m_lps);
}

void KSprite::SetNoColorKey()
{
    KASSERT(m_lps);
    if (m_lps == NULL || m_RenderEngine == NULL)
        return;
    if (IsRgb16(m_lps)) {
        for (long y = 0; y < m_lps->height; y++)
            for (long x = 0; x < m_lps->width; x++) {
                WORD* p = SpritePixel16(m_lps, x, y);
                if (*p == 0)
                    *p = 1;
            }
    }
    _graph()->_setcolorkey(m_lps);
}

bool KSprite::IsColorKey(long x, long y)
{
    KASSERT(m_lps);
    if (m_lps == NULL || m_RenderEngine == NULL || !IsRgb16(m_lps))
        return false;
    const long px = m_rc.left + x, py = m_rc.top + y;
    if (x < 0 || y < 0 || px >= m_rc.right || py >= m_rc.bottom || px < 0 || py < 0 ||
        px >= m_lps->width || py >= m_lps->height)
        return false;  // outside the view or the data: nothing to test
    void* bits;
    DWORD pitch;
    long w, h;
    m_RenderEngine->_locksprite_r(m_lps, &m_rc, &bits, pitch, w, h);
    const WORD* row = reinterpret_cast<const WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
    const bool key = row[x] == 0;
    m_RenderEngine->_unlocksprite(m_lps);
    return key;
}

// A grey mask of the source rectangle. Pixels of the rectangle that lie
// outside the data, and every pixel of a sprite of another mode, give 0.
KSprite* KSprite::_mask(bool blueAsLevel)
{
    KASSERT(m_lps != NULL);
    KASSERT(m_RenderEngine != NULL);
    KASSERT(m_RenderEngine->m_Graph != NULL);
    if (m_lps == NULL || m_RenderEngine == NULL || m_RenderEngine->m_Graph == NULL)
        return NULL;
    const long w = m_rc.right - m_rc.left, h = m_rc.bottom - m_rc.top;
    KSprite* mask = _graph()->CreateSprite(w, h, KCM_GRAY, 0);
    if (mask == NULL)
        return NULL;
    SPRITE_DATA* m = mask->m_lps;
    const bool readable = blueAsLevel ? m_lps->kcm == KCM_R5G6B5 : IsRgb16(m_lps);
    for (long y = 0; y < h; y++) {
        for (long x = 0; x < w; x++) {
            const long sx = m_rc.left + x, sy = m_rc.top + y;
            BYTE level = 0;
            if (readable && sx >= 0 && sy >= 0 && sx < m_lps->width && sy < m_lps->height) {
                const WORD p = *SpritePixel16(m_lps, sx, sy);
                if (p != 0)
                    level = blueAsLevel ? BYTE((p & 0x1F) << 3) : 255;
            }
            m->lpRows[y][x] = level;
        }
    }
    return mask;
}

KSprite* KSprite::ChangeToMask()
{
    return _mask(false);
}

KSprite* KSprite::ChangeToMaskEx()
{
    return _mask(true);
}
