// _KWndListBox: layout, selection, notifications, scrolling and the drawing
// of one line, shared by both list boxes.
#include "_kwndlistbox.h"

#include <doit.h>
#include <kbase.h>
#include <windowsx.h>

#include <new>

KWND_BEGIN_MESSAGES(_KWndListBox, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, _KWndListBox::OnLButtonDown)
    KWND_MESSAGE(WM_MOUSEMOVE, _KWndListBox::OnMouseMove)
    KWND_MESSAGE(WM_LBUTTONDBLCLK, _KWndListBox::OnLButtonDblClk)
    KWND_MESSAGE(WM_VSCROLL, _KWndListBox::OnVScroll)
    KWND_MESSAGE(WM_HSCROLL, _KWndListBox::OnHScroll)
KWND_END_MESSAGES()

// The width of the strip the vertical bar stands in, from the right edge.
static const long kBarInset = 9;

_KWndListBox::_KWndListBox()
    : m_dwSelColor(0xF0F0F0F0), m_dwTextColor(0), m_nLines(0), m_nTop(0), m_pVScroll(NULL),
      m_pHScroll(NULL), m_iCurSelect(-1)
{
}

_KWndListBox::~_KWndListBox()
{
    Release();
}

long _KWndListBox::Create(const char* title, DWORD style, int x, int y, int w, int h,
                          KestrelWnd* parent, UINT id)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    SetDefault();
    return 0;
}

long _KWndListBox::GetLineHeight() const
{
    return (m_Font != NULL ? m_Font->GetHeight() : 0) + 1;
}

void _KWndListBox::_layout()
{
    const long f = m_Font != NULL ? m_Font->GetHeight() : 0;
    const long lh = f + 1, H = GetHeight(), r = H % lh;
    m_nLines = LONG(H / lh);
    SetClientArea(int(m_Rect.left + 6), int(m_Rect.top + r / 2), int(GetWidth() - f - 7),
                  int(H - r / 2));
}

void _KWndListBox::SetDefault()
{
    _layout();
    m_dwState.Set(KWNDLISTBOX_STATE_DEFAULT);
    CreateVScroll(m_Font != NULL ? m_Font->GetHeight() : 0);
}

void _KWndListBox::CreateVScroll(long w)
{
    if (m_pVScroll != NULL)
        return;
    KWndScroll* bar = new (std::nothrow) KWndScroll;
    if (bar == NULL)
        return;
    m_dwState.Set(KWNDLISTBOX_STATE_VSCROLL);
    if (m_Graph != NULL)
        bar->SetGraph(m_Graph);
    bar->Create(NULL, WS_CHILD | WS_VISIBLE, int(m_Rect.right - kBarInset), int(m_Rect.top),
                int(w), int(GetHeight()), m_hWnd, KWNDLISTBOX_VSCROLL_ID);
    bar->AddState(KWNDSCROLL_STATE_VERTICAL);
    m_pVScroll = bar;
    AddChild(bar);
}

void _KWndListBox::CreateHScroll(long h)
{
    if (m_pHScroll != NULL)
        return;
    KWndScroll* bar = new (std::nothrow) KWndScroll;
    if (bar == NULL)
        return;
    m_dwState.Set(KWNDLISTBOX_STATE_HSCROLL);
    if (m_Graph != NULL)
        bar->SetGraph(m_Graph);
    bar->Create(NULL, WS_CHILD | WS_VISIBLE, int(m_Rect.left), int(m_Rect.bottom - 1),
                int(GetWidth()), int(h), m_hWnd, KWNDLISTBOX_HSCROLL_ID);
    m_pHScroll = bar;
    AddChild(bar);
}

void _KWndListBox::SetVScrollSprite(KSprite* src, int index, RECT& rc, bool colorKey)
{
    if (m_pVScroll != NULL)
        m_pVScroll->SetSprite(src, index, rc, colorKey);
}

void _KWndListBox::SetColor(DWORD textColor, DWORD selColor)
{
    m_dwTextColor = textColor;
    m_dwSelColor = selColor;
}

long _KWndListBox::SetHeight(long h)
{
    const long lh = GetLineHeight();
    return h - h % lh;
}

void _KWndListBox::ChangeSize(long w, long h)
{
    KestrelWnd::ChangeSize(w, h);
    if (m_pVScroll != NULL)
        m_pVScroll->SetRect(int(m_Rect.right - kBarInset), int(m_Rect.top),
                            int(m_pVScroll->GetWidth()), int(h));
    _layout();
}

void _KWndListBox::Release()
{
    // The bars leave the children before they go, so no role or list entry
    // is left pointing at them.
    for (KWndScroll** bar : {&m_pHScroll, &m_pVScroll}) {
        if (*bar == NULL)
            continue;
        DelChild(*bar);
        delete *bar;
        *bar = NULL;
    }
    KestrelWnd::Release();
}

void _KWndListBox::_notify(DWORD code)
{
    PostMessageA(GetParent(m_hWnd), WM_COMMAND, WPARAM(m_ID), LPARAM(code));
}

// The row under the mouse names the line m_nTop + row: rows past the last
// line select nothing. Outside the client band the selection stays.
void _KWndListBox::_select(LPARAM lParam)
{
    const long y = GET_Y_LPARAM(lParam);
    if (y < m_ClientArea.top || y >= m_ClientArea.bottom)
        return;
    const long row = (y - m_ClientArea.top) / GetLineHeight();
    m_iCurSelect = m_nTop + row < GetUsed() ? LONG(row) : -1;
}

// A press on one of the list's own bars scrolls; it chooses no line.
bool _KWndListBox::_onbar(LPARAM lParam)
{
    return IsInChild(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

int _KWndListBox::OnLButtonDown(WPARAM, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (_onbar(lParam))
        return 0;  // the router passes it on to the bar
    if (m_dwState.Has(KWNDLISTBOX_STATE_SELECT))
        _select(lParam);
    if (m_dwState.Has(KWNDLISTBOX_STATE_SELECT | KWNDLISTBOX_STATE_TRACK) && m_iCurSelect != -1)
        _notify(KWND_NOTIFY_SELECT);
    return 0;  // the router then passes the click on to a bar hit
}

int _KWndListBox::OnLButtonDblClk(WPARAM, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (_onbar(lParam))
        return 0;
    if (m_dwState.Has(KWNDLISTBOX_STATE_SELECT))
        _select(lParam);
    if (m_iCurSelect != -1)
        _notify(KWND_NOTIFY_DBLCLK);
    return 0;
}

int _KWndListBox::OnMouseMove(WPARAM, LPARAM lParam)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    if (m_dwState.Has(KWNDLISTBOX_STATE_SELECT | KWNDLISTBOX_STATE_TRACK) && !_onbar(lParam))
        _select(lParam);
    return 0;
}

// The first line shown never goes below 0, whatever the code: a list with
// fewer lines than rows starts at its first line.
int _KWndListBox::OnVScroll(WPARAM wParam, LPARAM lParam)
{
    const long last = long(GetUsed()) - m_nLines;
    switch (wParam) {
    case SB_LINEUP:
        if (m_nTop > 0)
            m_nTop--;
        break;
    case SB_LINEDOWN:
        if (m_nTop < last)
            m_nTop++;
        break;
    case SB_THUMBPOSITION: {
        long top = LONG(lParam);
        if (top > last)
            top = last;
        m_nTop = LONG(top < 0 ? 0 : top);
        break;
    }
    case SB_BOTTOM:
        m_nTop = LONG(last < 0 ? 0 : last);
        break;
    default:
        break;
    }
    return -1;
}

int _KWndListBox::OnHScroll(WPARAM, LPARAM)
{
    return -1;
}

// The highlight's rectangle is the row's: its right edge is the client
// area's.
void _KWndListBox::DrawWndItem(RECT* rect)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    if (m_iCurSelect != -1 && m_Graph != NULL) {
        const long lh = GetLineHeight();
        const long top = m_ClientArea.top + lh * m_iCurSelect;
        m_Graph->ClearBackScreen(m_ClientArea.left, top, m_ClientArea.right, top + lh,
                                 m_dwSelColor);
    }
    if (m_dwState.Has(KWNDLISTBOX_STATE_DEFAULT) && m_Graph != NULL && m_Font != NULL)
        DrawList();
    KestrelWnd::DrawWndItem(rect);
}

// A line is always text, never a format. A line wider than the client area
// is cut there; with MULTILINE it keeps the line heights its width needs.
long _KWndListBox::_drawline(const char* line, long dy)
{
    const long w = m_ClientArea.right - m_ClientArea.left, lh = GetLineHeight();
    KSprite* back = m_Graph->GetBackScreen();
    const long x = m_ClientArea.left, y = m_ClientArea.top + dy;
    // No room for text (a list narrower than its bar strip) draws none.
    if (line[0] == '\0' || w <= 0)
        return lh;
    const long tw = m_Font->GetStringWidth(line);
    if (tw <= w) {
        back->Printf(m_Font, x, y, m_dwTextColor, "%s", line);
        return lh;
    }
    back->Printf(m_Font, x, y, m_dwTextColor, w, "%s", line);
    if (m_dwState.Has(KWNDLISTBOX_STATE_MULTILINE))
        return lh * (tw / w + 1);
    return lh;
}
