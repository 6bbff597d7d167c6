// KWndScroll: arrow steps, track jumps and thumb drags, each sent to the
// parent at once; drawing with six pictures or in two colours.
#include "kwndscroll.h"

#include <doit.h>
#include <kbase.h>
#include <windowsx.h>

#include <new>

KWND_BEGIN_MESSAGES(KWndScroll, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndScroll::OnLButtonDown)
    KWND_MESSAGE(WM_LBUTTONUP, KWndScroll::OnLButtonUp)
    KWND_MESSAGE(WM_MOUSEMOVE, KWndScroll::OnMouseMove)
    KWND_MESSAGE(WM_TIMER, KWndScroll::OnTimer)
    KWND_MESSAGE(KWM_MOUSELEAVE, KWndScroll::OnLButtonUp)
KWND_END_MESSAGES()

KWndScroll::KWndScroll()
    : m_dwButtonSize(0), m_dwBlockSize(0), m_dwBackColor(0xFFFFFFFF), m_dwLineColor(0),
      m_sprScroll{}, m_nStep(1), m_nPos(0), m_nRange(0), m_nArea(0), m_bOwned(0)
{
}

KWndScroll::~KWndScroll()
{
    Release();
}

long KWndScroll::Create(const char* title, DWORD style, int x, int y, int w, int h,
                        KestrelWnd* parent, UINT id)
{
    return _createcontrol(title, style, x, y, w, h, parent, id);
}

long KWndScroll::Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent,
                        UINT id)
{
    return _createcontrol(title, style, x, y, w, h, parent, id);
}

void KWndScroll::Release()
{
    if (m_hWnd != NULL) {
        KillTimer(m_hWnd, KWNDSCROLL_TIMER_REPEAT);
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
    }
    for (int i = 0; i < KWND_SCROLL_PICTURES; i++) {
        if (m_bOwned & (1 << i))
            delete m_sprScroll[i];  // a view gives its pixels back itself
        m_sprScroll[i] = NULL;
    }
    m_bOwned = 0;
    m_dwState.Clr(KWNDSCROLL_STATE_OWNSPRITE);
}

void KWndScroll::SetDefault()
{
    m_dwState.Set(KWNDSCROLL_STATE_ARROW | KWNDSCROLL_STATE_FRAME | KWNDSCROLL_STATE_FILL);
    const long thick = _vertical() ? GetWidth() : GetHeight();
    m_dwButtonSize = DWORD(thick);
    m_dwBlockSize = m_dwButtonSize / 2;
    m_nRange = LONG(_length() - 2 * long(m_dwButtonSize) - long(m_dwBlockSize));
}

void KWndScroll::_setpicture(int index, KSprite* spr, bool owned, bool colorKey)
{
    // The old picture goes only after the new one is in, since a view may
    // have been made of it.
    KSprite* old = m_sprScroll[index];
    const bool oldOwned = (m_bOwned & (1 << index)) != 0;
    m_sprScroll[index] = spr;
    if (owned)
        m_bOwned = BYTE(m_bOwned | (1 << index));
    else
        m_bOwned = BYTE(m_bOwned & ~(1 << index));
    if (oldOwned && old != spr)
        delete old;
    if (m_bOwned != 0)
        m_dwState.Set(KWNDSCROLL_STATE_OWNSPRITE);
    else
        m_dwState.Clr(KWNDSCROLL_STATE_OWNSPRITE);
    m_dwState.Set(KWNDSCROLL_STATE_SPRITE);
    if (colorKey)
        m_dwState.Set(KWND_STATE_COLORKEY);
    if (spr != NULL) {
        if (index == KWND_SCROLL_BLOCK)
            m_dwBlockSize = spr->GetRectHeight();
        else if (index >= KWND_SCROLL_SUBBLOCK)
            m_dwButtonSize = spr->GetRectHeight();
    }
    // The pictures are laid out along the height.
    if (m_dwButtonSize != 0 && m_dwBlockSize != 0)
        m_nRange = LONG(GetHeight() - 2 * long(m_dwButtonSize) - long(m_dwBlockSize));
}

void KWndScroll::SetSprite(KSprite* lps, int index, bool colorKey)
{
    KASSERT(index <= KWND_SCROLL_ADDBLOCKDOWN && index >= KWND_SCROLL_BACK);
    KASSERT(lps);
    if (index < KWND_SCROLL_BACK || index > KWND_SCROLL_ADDBLOCKDOWN || lps == NULL)
        return;
    _setpicture(index, lps, false, colorKey);
}

void KWndScroll::SetSprite(KSprite* src, int index, RECT& rc, bool colorKey)
{
    KSprite* lps = src;
    KASSERT(index <= KWND_SCROLL_ADDBLOCKDOWN && index >= KWND_SCROLL_BACK);
    KASSERT(lps);
    if (index < KWND_SCROLL_BACK || index > KWND_SCROLL_ADDBLOCKDOWN || lps == NULL ||
        !lps->IsInited())
        return;
    KSprite* view = new (std::nothrow) KSprite(*lps, rc);
    if (view == NULL)
        return;
    _setpicture(index, view, true, colorKey);
}

long KWndScroll::LoadBitmap(char*, bool, long, long)
{
    return 0;
}

void KWndScroll::SetColor(DWORD back, DWORD line)
{
    m_dwBackColor = back;
    m_dwLineColor = line;
}

void KWndScroll::SetBlockSize(DWORD button, DWORD thumb)
{
    m_dwButtonSize = button;
    m_dwBlockSize = thumb;
}

void KWndScroll::SetArea(long area)
{
    if (area <= 0)
        return;
    if (area > m_nArea)
        m_nPos--;
    m_nArea = LONG(area);
    m_nStep = area <= m_nRange ? LONG(m_nRange / area) : 1;
}

void KWndScroll::SetPos(long pos)
{
    if (pos <= m_nRange)
        m_nPos = LONG(pos);
}

// The second arrow's step, asked for by the host (a list box following its
// newest line); it says "vertical" whatever the bar's direction.
void KWndScroll::Down()
{
    if (_advance())
        SendMessageA(GetParent(m_hWnd), WM_VSCROLL, SB_LINEDOWN, 1);
}

void KWndScroll::UpAll()
{
    m_dwState.Clr(KWNDSCROLL_STATE_DRAG | KWNDSCROLL_STATE_SUBDOWN | KWNDSCROLL_STATE_ADDDOWN);
    if (m_hWnd != NULL && GetCapture() == m_hWnd)
        ReleaseCapture();
}

long KWndScroll::_length() const
{
    return _vertical() ? GetHeight() : GetWidth();
}

// Both halves of LPARAM are signed 16-bit coordinates: while the bar holds
// the mouse for a drag, a position above or left of the window is negative.
long KWndScroll::_offset(LPARAM lParam) const
{
    return _vertical() ? GET_Y_LPARAM(lParam) - m_Rect.top : GET_X_LPARAM(lParam) - m_Rect.left;
}

void KWndScroll::_send(DWORD code, LONG value)
{
    SendMessageA(GetParent(m_hWnd), _vertical() ? WM_VSCROLL : WM_HSCROLL, WPARAM(code),
                 LPARAM(value));
}

// A bar without a range (no SetDefault, no pictures) has nothing to scale
// by: it reports position 0.
void KWndScroll::_sendthumb()
{
    LONG value = 0;
    if (m_nRange > 0)
        value = LONG(int64_t(m_nPos) * m_nArea / m_nRange);
    _send(SB_THUMBPOSITION, value);
}

// One step on, held at the range; false when already there.
bool KWndScroll::_advance()
{
    if (m_nPos >= m_nRange)
        return false;
    m_nPos = m_nPos + m_nStep > m_nRange ? m_nRange : m_nPos + m_nStep;
    return true;
}

void KWndScroll::_stepdown()
{
    if (_advance())
        _send(SB_LINEDOWN, 1);
}

void KWndScroll::_stepup()
{
    if (m_nPos <= 0)
        return;
    m_nPos = m_nPos - m_nStep < 0 ? 0 : m_nPos - m_nStep;
    _send(SB_LINEUP, 1);
}

int KWndScroll::OnLButtonDown(WPARAM, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    // Offsets compare as unsigned, as the bar's own lengths do.
    const DWORD p = DWORD(_offset(lParam));
    const DWORD L = DWORD(_length()), B = m_dwButtonSize, K = m_dwBlockSize;
    UpAll();
    if (p > L - B) {
        _stepdown();
        m_dwState.Set(KWNDSCROLL_STATE_ADDDOWN);
    } else if (p < B) {
        _stepup();
        m_dwState.Set(KWNDSCROLL_STATE_SUBDOWN);
    } else if (p > B + DWORD(m_nPos) && p < B + DWORD(m_nPos) + K) {
        // On the thumb: it follows the mouse, beyond the bar too, until the
        // button comes up.
        m_dwState.Set(KWNDSCROLL_STATE_DRAG);
        SetCapture(m_hWnd);
    } else if (p >= L - B - K) {
        m_nPos = LONG(L - 2 * B - K);
        _send(SB_BOTTOM, 0);
    } else {
        m_nPos = LONG(p - B);
        _sendthumb();
    }
    return -1;
}

int KWndScroll::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!m_dwState.Has(KWNDSCROLL_STATE_DRAG))
        return -1;
    if (!(wParam & MK_LBUTTON)) {
        // The button came up where the bar did not hear it: the drag is over.
        UpAll();
        return -1;
    }
    const long p = _offset(lParam);
    const long B = long(m_dwButtonSize), K = long(m_dwBlockSize), L = _length();
    if (p < B)
        m_nPos = 0;
    else if (p <= L - B - K)
        m_nPos = LONG(p - B);
    else
        m_nPos = m_nRange;
    _sendthumb();
    return -1;
}

int KWndScroll::OnLButtonUp(WPARAM, LPARAM)
{
    UpAll();
    return -1;
}

int KWndScroll::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam != KWNDSCROLL_TIMER_REPEAT)
        return -1;
    if (m_dwState.Has(KWNDSCROLL_STATE_ADDDOWN))
        _stepdown();
    else if (m_dwState.Has(KWNDSCROLL_STATE_SUBDOWN) && m_nPos >= 1)
        _stepup();
    return -1;
}

void KWndScroll::Draw(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE) || m_Graph == NULL)
        return;
    if (m_dwState.Has(KWNDSCROLL_STATE_SPRITE))
        _drawpictures();
    else
        _drawlines();
}

void KWndScroll::_drawlines()
{
    KSprite* back = m_Graph->GetBackScreen();
    const long l = m_Rect.left, t = m_Rect.top, r = m_Rect.right, b = m_Rect.bottom;
    const long B = long(m_dwButtonSize), K = long(m_dwBlockSize), pos = m_nPos;
    const DWORD c = m_dwLineColor;
    if (m_dwState.Has(KWNDSCROLL_STATE_FILL))
        m_Graph->ClearBackScreen(l, t, r, b, m_dwBackColor);
    if (m_dwState.Has(KWNDSCROLL_STATE_FRAME)) {
        back->Rect(l, t, r, b, c);
        if (_vertical()) {
            back->Line(l, t + B, r - 1, t + B, c);
            back->Line(l, b - B - 1, r - 1, b - B - 1, c);
            back->Rect(l, t + B + pos, r, t + B + pos + K, c);
        } else {
            back->Line(l + B, t, l + B, b - 1, c);
            back->Line(r - B - 1, t, r - B - 1, b - 1, c);
            back->Rect(l + B + pos, t, l + B + pos + K, b, c);
        }
    }
    if (m_dwState.Has(KWNDSCROLL_STATE_ARROW) && _vertical()) {
        const long q = B / 4, m = B / 2;
        // The up arrow: a base and two sides meeting at the top.
        back->Line(l + q, t + B - q, r - 1 - q, t + B - q, c);
        back->Line(l + m, t + q, l + q, t + B - q, c);
        back->Line(l + m, t + q, r - q, t + B - q, c);
        // The down arrow: a base and two sides meeting at the bottom.
        back->Line(l + q, b - B + q, r - 1 - q, b - B + q, c);
        back->Line(l + q, b - B + q, l + m, b - q + 1, c);
        back->Line(r - 1 - q, b - B + q, l + m - 1, b - q, c);
    }
}

// Colour-keyed pictures laid out down the bar: the up arrow, the track
// tiled (the last tile cut to what is left), the down arrow, the thumb.
// Without the key only the track picture is drawn.
void KWndScroll::_drawpictures()
{
    const long l = m_Rect.left, t = m_Rect.top;
    KSprite* track = m_sprScroll[KWND_SCROLL_BACK];
    if (!m_dwState.Has(KWND_STATE_COLORKEY)) {
        if (track != NULL)
            track->Draw(l, t);
        return;
    }
    auto height = [this](int i) {
        return m_sprScroll[i] != NULL ? long(m_sprScroll[i]->GetRectHeight()) : 0;
    };
    KSprite* up = m_sprScroll[KWND_SCROLL_SUBBLOCK];
    KSprite* down = m_sprScroll[KWND_SCROLL_ADDBLOCK];
    KSprite* thumb = m_sprScroll[KWND_SCROLL_BLOCK];
    if (up != NULL)
        up->Draw_ck(l, t);
    long y = t + height(KWND_SCROLL_SUBBLOCK);
    long rest = GetHeight() - height(KWND_SCROLL_SUBBLOCK) - height(KWND_SCROLL_ADDBLOCK);
    const long h0 = height(KWND_SCROLL_BACK);
    // A track picture without height would never fill anything.
    if (track != NULL && h0 > 0) {
        for (; rest >= h0; rest -= h0, y += h0)
            track->Draw_ck(l, y);
    }
    if (rest > 0) {
        if (track != NULL && h0 > 0) {
            const RECT& rc = track->GetRect();
            m_Graph->GetBackScreen()->Blt_ck(l, y, track, rc.left, rc.top, rc.right,
                                             rc.top + rest);
        }
        y += rest - 1;
    }
    if (down != NULL)
        down->Draw_ck(l, y);
    if (thumb != NULL)
        thumb->Draw_ck(l, t + long(m_dwButtonSize) + m_nPos);
}
