// KWndEdit: a one-line field over the shared "EDIT" window. The focused
// field's text lives in the shared window while it is typed into; the field
// reads it back whenever it needs it (drawing, indexing a click, GetText,
// handing the shared window to another field), so nothing typed is lost
// between frames.
#include "kwndedit.h"
#include <windowsx.h>

#include <doit.h>
#include <kbase.h>

#include <algorithm>
#include <cstring>

HWND KWndEdit::_editWnd = NULL;
HWND KWndEdit::_focusWnd = NULL;

KWND_BEGIN_MESSAGES(KWndEdit, KestrelWnd)
    KWND_MESSAGE(WM_SETFOCUS, KWndEdit::OnSetFoucs)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndEdit::OnLButtonClk)
    KWND_MESSAGE(WM_LBUTTONDBLCLK, KWndEdit::OnLButtonDblClk)
    KWND_MESSAGE(WM_TIMER, KWndEdit::OnTimer)
    KWND_MESSAGE(WM_CHAR, KWndEdit::OnChar)
    KWND_MESSAGE(WM_KEYDOWN, KWndEdit::OnKeyDown)
    KWND_MESSAGE(WM_SYSKEYDOWN, KWndEdit::OnKeyDown)
    KWND_MESSAGE(WM_IME_CHAR, KWndEdit::OnImeChar)
    KWND_MESSAGE(WM_MOUSEMOVE, KWndEdit::OnMouseMove)
KWND_END_MESSAGES()

namespace {

// The "EDIT" window's style: child, visible, bordered, one line that
// scrolls, Enter kept.
const DWORD kEditStyle = 0x508010C4;

bool _islead(const char* s, long i)
{
    return IsDBCSLeadByte(BYTE(s[i])) && s[i + 1] != '\0';
}

// The byte after the character at i.
long _next(const char* s, long i)
{
    return i + (_islead(s, i) ? 2 : 1);
}

// At most `max` bytes of src into dst, never ending inside a character.
void _copycut(char* dst, const char* src, long max)
{
    long n = 0;
    while (src[n] != '\0') {
        const long next = _next(src, n);
        if (next > max)
            break;
        n = next;
    }
    std::memcpy(dst, src, size_t(n));
    dst[n] = '\0';
}

}  // namespace

KWndEdit::KWndEdit()
    : m_bBlink(0), m_nSelStart(0), m_nSelEnd(0), m_nFirst(0), m_nAnchor(0), m_szText{},
      m_nLimit(0), m_dwColor1(0xFFFFFFFF), m_dwSelColor(0xF7F7F7F7), m_dwTextColor(0),
      m_dwColor4(0), m_sprEdit(NULL), m_nDstID(0), m_szMeasured{}, m_nMeasuredWidth(0),
      m_pMeasuredFont(NULL)
{
}

KWndEdit::~KWndEdit()
{
    Release();
}

void KWndEdit::Release()
{
    delete m_sprEdit;  // gives its pixels back through its own engine
    m_sprEdit = NULL;
    if (m_hWnd != NULL) {
        KillTimer(m_hWnd, KWNDEDIT_TIMER_CARET);
        // The shared window's text belongs to no field any more.
        if (_focusWnd == m_hWnd)
            _focusWnd = NULL;
    }
    KestrelWnd::Release();
}

void KWndEdit::_settext(const char* str)
{
    _copycut(m_szText, str ? str : "", KWNDEDIT_MAX_TEXT);
}

// The shared window lives in the first field's parent window. A shared
// window that has gone (destroyed with that parent) is made again, or every
// later field would pass its typing to nothing.
long KWndEdit::_makeshared(HWND parent, UINT id)
{
    if (_editWnd != NULL && IsWindow(_editWnd))
        return 0;
    _editWnd = CreateWindowExA(0, "EDIT", NULL, kEditStyle, 0, 0, 1, 1, parent,
                               reinterpret_cast<HMENU>(UINT_PTR(id)), m_hInst, NULL);
    _focusWnd = NULL;
    if (_editWnd == NULL)
        return KRet(E_FAIL, "KWndEdit::Create create EDIT controls fail");
    // Out of sight, so it never takes a click meant for the window under
    // it; sent messages still reach it.
    ::ShowWindow(_editWnd, SW_HIDE);
    return 0;
}

long KWndEdit::Create(const char* text, DWORD style, int x, int y, int w, int h,
                      KestrelWnd* parent, UINT id)
{
    if (text != NULL && text[0] != '\0')
        _settext(text);
    long r = _makeshared(parent ? parent->GetHandle() : HWND(NULL), id);
    if (r != 0)
        return r;
    LimitText(KWNDEDIT_MAX_TEXT + 1);
    r = KestrelWnd::Create(m_ClassName, text, style, 0, 0, 1, 1, parent, id);
    if (r != 0)
        return r;
    SetTimer(m_hWnd, KWNDEDIT_TIMER_CARET, KWNDEDIT_CARET_PERIOD, NULL);
    SetRect(x, y, w, h);
    return 0;
}

long KWndEdit::Create(const char* text, DWORD style, int x, int y, int w, int h, HWND parent,
                      UINT id)
{
    if (text != NULL && text[0] != '\0')
        _settext(text);
    long r = _makeshared(parent, id);
    if (r != 0)
        return r;
    LimitText(KWNDEDIT_MAX_TEXT + 1);
    r = KestrelWnd::Create(m_ClassName, text, style, 0, 0, 1, 1, parent, id);
    if (r != 0)
        return r;
    SetTimer(m_hWnd, KWNDEDIT_TIMER_CARET, KWNDEDIT_CARET_PERIOD, NULL);
    SetRect(x, y, w, h);
    return 0;
}

long KWndEdit::LoadBitmap(char* name, bool colorKey, long x, long y)
{
    KASSERT(m_Graph != NULL);
    KSprite* picture = NULL;
    if (m_Graph != NULL && name != NULL)
        picture = m_Graph->Load(name, colorKey ? KSPR_COLORKEY : 0, NULL);
    if (picture == NULL)
        return KRet(E_FAIL, "KWndEdit::LoadBitmap(%s)", name ? name : "");
    if (colorKey) {
        picture->SetColorKey(x, y);
        m_dwState.Set(KWND_STATE_COLORKEY);
    }
    SetSprite(picture);
    return 0;
}

void KWndEdit::SetSprite(KSprite* spr)
{
    if (spr != m_sprEdit)
        delete m_sprEdit;
    m_sprEdit = spr;
    m_dwState.Set(KWNDEDIT_STATE_SPRITE);
}

void KWndEdit::SetColor(DWORD first, DWORD textColor, DWORD selColor, DWORD fourth)
{
    m_dwColor1 = first;
    m_dwTextColor = textColor;
    m_dwSelColor = selColor;
    m_dwColor4 = fourth;
}

long KWndEdit::GetDefaultHeight()
{
    return (m_Font != NULL ? m_Font->GetHeight() : 0) + 2;
}

const char* KWndEdit::GetText()
{
    _readback();
    return m_szText;
}

void KWndEdit::SetText(const char* str)
{
    KASSERT(str && *str);
    _settext(str);
    if (_focusWnd == m_hWnd && m_hWnd != NULL)
        SetWindowTextA(_editWnd, m_szText);
}

void KWndEdit::ClearText()
{
    m_szText[0] = '\0';
    if (_focusWnd == m_hWnd && m_hWnd != NULL)
        SetWindowTextA(_editWnd, "");
}

void KWndEdit::Active(long x)
{
    if (_ignoresinput())
        return;
    SetFocus(m_hWnd);
    _readback();
    m_nSelStart = m_nSelEnd = m_nAnchor = _indexat(x);
    _sendsel();
}

void KWndEdit::_readback()
{
    if (m_hWnd == NULL || _focusWnd != m_hWnd || !IsWindow(_editWnd))
        return;
    GetWindowTextA(_editWnd, m_szText, sizeof(m_szText));
    DWORD start = 0, end = 0;
    SendMessageA(_editWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    const long len = long(std::strlen(m_szText));
    m_nSelStart = std::min(long(start), len);
    m_nSelEnd = std::min(long(end), len);
}

void KWndEdit::_sendsel()
{
    if (IsWindow(_editWnd))
        SendMessageA(_editWnd, EM_SETSEL, WPARAM(m_nSelStart), LPARAM(m_nSelEnd));
}

// '*' for every character of a password, the text itself otherwise.
void KWndEdit::_display(char* out)
{
    if (!m_dwState.Has(KWNDEDIT_STATE_PASSWORD)) {
        std::strcpy(out, m_szText);
        return;
    }
    long n = 0;
    for (long i = 0; m_szText[i] != '\0'; i = _next(m_szText, i))
        out[n++] = '*';
    out[n] = '\0';
}

long KWndEdit::_todisplay(long offset)
{
    if (!m_dwState.Has(KWNDEDIT_STATE_PASSWORD))
        return offset;
    long chars = 0;
    for (long i = 0; m_szText[i] != '\0' && i < offset; i = _next(m_szText, i))
        chars++;
    return chars;
}

long KWndEdit::_totext(long offset)
{
    long i = 0;
    if (!m_dwState.Has(KWNDEDIT_STATE_PASSWORD)) {
        // Onto the first byte of the character holding offset.
        while (m_szText[i] != '\0' && _next(m_szText, i) <= offset)
            i = _next(m_szText, i);
        return i;
    }
    for (long chars = 0; m_szText[i] != '\0' && chars < offset; chars++)
        i = _next(m_szText, i);
    return i;
}

long KWndEdit::_indexat(long x)
{
    if (m_Font == NULL)
        return 0;
    char shown[KWNDEDIT_MAX_TEXT + 1];
    _display(shown);
    const long len = long(std::strlen(shown));
    const long first = std::min(_todisplay(m_nFirst), len);
    // Counted from the first visible character, within the field's width.
    return _totext(first + m_Font->GetStringEnd(shown + first, x - m_Rect.left));
}

long KWndEdit::_shownwidth(const char* shown)
{
    if (m_pMeasuredFont != m_Font || std::strcmp(shown, m_szMeasured) != 0) {
        std::strcpy(m_szMeasured, shown);
        m_nMeasuredWidth = m_Font->GetStringWidth(shown);
        m_pMeasuredFont = m_Font;
    }
    return m_nMeasuredWidth;
}

int KWndEdit::OnSetFoucs(WPARAM, LPARAM)
{
    if (_focusWnd != NULL && _focusWnd != m_hWnd && IsWindow(_focusWnd)) {
        // The field that had the shared window keeps what was typed in it.
        KestrelWnd* wnd = reinterpret_cast<KestrelWnd*>(GetWindowLongPtrA(_focusWnd, GWLP_USERDATA));
        if (KWndEdit* previous = dynamic_cast<KWndEdit*>(wnd))
            previous->_readback();
    }
    // The field holds 255 bytes: the shared window must not take more, or
    // reading back would cut the text.
    const long limit = (m_nLimit <= 0 || m_nLimit > KWNDEDIT_MAX_TEXT) ? KWNDEDIT_MAX_TEXT : m_nLimit;
    SendMessageA(_editWnd, EM_LIMITTEXT, WPARAM(limit), 0);
    SetWindowTextA(_editWnd, m_szText);
    _sendsel();
    _focusWnd = m_hWnd;
    return -1;
}

int KWndEdit::OnLButtonClk(WPARAM, LPARAM lParam)
{
    if (_ignoresinput())
        return -1;
    SetFocus(m_hWnd);
    _readback();
    m_nSelStart = m_nSelEnd = m_nAnchor = _indexat(GET_X_LPARAM(lParam));
    _sendsel();
    return -1;
}

int KWndEdit::OnLButtonDblClk(WPARAM, LPARAM)
{
    if (_ignoresinput())
        return -1;
    _readback();
    m_nSelStart = 0;
    m_nSelEnd = m_nAnchor = long(std::strlen(m_szText));
    _sendsel();
    return -1;
}

int KWndEdit::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!(wParam & MK_LBUTTON) || _ignoresinput())
        return -1;
    _readback();
    const long j = _indexat(GET_X_LPARAM(lParam));
    if (j > m_nAnchor) {
        m_nSelStart = m_nAnchor;
        m_nSelEnd = j;
    } else if (j == m_nAnchor) {
        m_nSelStart = m_nSelEnd = j;
    } else {
        m_nSelStart = j;
        m_nSelEnd = m_nAnchor;
    }
    _sendsel();
    return -1;
}

int KWndEdit::OnChar(WPARAM wParam, LPARAM lParam)
{
    if (_ignoresinput() || m_dwState.Has(KWNDEDIT_STATE_READONLY))
        return -1;
    if (wParam == '\t')
        PostMessageA(GetParent(m_hWnd), WM_COMMAND, WPARAM(m_ID), KWNDEDIT_NOTIFY_TAB);
    else if (wParam == '\r')
        PostMessageA(GetParent(m_hWnd), WM_COMMAND, WPARAM(m_nDstID), KWNDEDIT_NOTIFY_ENTER);
    else
        SendMessageA(_editWnd, WM_CHAR, wParam, lParam);
    return -1;
}

int KWndEdit::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    if (_ignoresinput() || m_dwState.Has(KWNDEDIT_STATE_READONLY))
        return -1;
    SendMessageA(_editWnd, WM_KEYDOWN, wParam, lParam);
    return -1;
}

// The default procedure turns the double-byte character into its two
// bytes, which arrive here as WM_CHAR.
int KWndEdit::OnImeChar(WPARAM, LPARAM)
{
    return -1;
}

int KWndEdit::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam == KWNDEDIT_TIMER_CARET)
        m_bBlink = !m_bBlink;
    return -1;
}

void KWndEdit::DrawWndItem(RECT*)
{
    if (m_dwState.Has(KWND_STATE_HIDE) || m_Graph == NULL || m_Font == NULL)
        return;
    const bool focused = m_hWnd != NULL && _focusWnd == m_hWnd;
    if (focused)
        _readback();
    else
        m_nSelStart = m_nSelEnd = 0;
    KSprite* screen = m_Graph->GetBackScreen();
    const long left = m_Rect.left, top = m_Rect.top;
    const long W = m_Rect.right - m_Rect.left, H = m_Rect.bottom - m_Rect.top;
    long c = 0;
    if (m_szText[0] == '\0') {
        m_nFirst = 0;
    } else {
        if (m_dwState.Has(KWNDEDIT_STATE_SPRITE) && m_sprEdit != NULL && m_sprEdit->IsInited())
            m_sprEdit->Draw(left, top);
        // Widths are measured on what is drawn, so a password's caret and
        // selection sit on its stars.
        char shown[KWNDEDIT_MAX_TEXT + 1];
        _display(shown);
        const long selStart = _todisplay(m_nSelStart), selEnd = _todisplay(m_nSelEnd);
        c = m_Font->GetStringWidth(shown, unsigned(selEnd));
        const long T = _shownwidth(shown);
        long f = 0;
        if (T > W) {
            f = std::min(long(m_Font->GetStringBegin(shown, W)), selStart);
            f = std::min(f, _todisplay(m_nFirst));
            const long e = f + m_Font->GetStringEnd(shown + f, W);
            if (selStart >= e)
                f += selStart - e;
            m_nFirst = _totext(f);
            f = _todisplay(m_nFirst);
            c -= m_Font->GetStringWidth(shown, unsigned(f));
            c = std::max(0L, std::min(c, W));
        } else {
            m_nFirst = 0;
        }
        if (selStart != selEnd) {
            const long s = m_Font->GetStringWidth(shown + f, unsigned(std::max(0L, selStart - f)));
            if (c > s)
                screen->Clear(left + s, top, c - s, H, m_dwSelColor);
        }
        // Text, never a format; cut at the field's width.
        screen->Printf(m_Font, left, top + 1, m_dwTextColor, W, "%s", shown + f);
    }
    if (focused && m_bBlink &&
        !m_dwState.Has(KWND_STATE_DISABLE | KWNDEDIT_STATE_READONLY))
        screen->Line(left + c - 1, top, left + c - 1, m_Rect.bottom, m_dwTextColor);
}
