// KWndComboBox: a field showing the chosen string over an embedded list.
#include "kwndcombobox.h"

#include <doit.h>
#include <kbase.h>

#include <cstring>

KWND_BEGIN_MESSAGES(KWndComboBox, KestrelWnd)
    KWND_MESSAGE(WM_LBUTTONDOWN, KWndComboBox::OnLButtonDown)
    KWND_MESSAGE(WM_COMMAND, KWndComboBox::OnCommand)
KWND_END_MESSAGES()

KWndComboBox::KWndComboBox()
    : m_szText{}, m_bListShown(0), m_nDefaultIndex(0), m_dwColor(0xFFFFFFFF)
{
}

KWndComboBox::~KWndComboBox()
{
    Release();
}

long KWndComboBox::_createlist(int x, int y, int h, int listW, int listH, bool above,
                               DWORD style)
{
    KASSERT(m_Graph != NULL);
    if (m_Graph != NULL)
        m_List.SetGraph(m_Graph);
    m_List.Create("List", style, x, above ? y - listH : y + h, listW, listH, this, KWND_LIST_ID);
    AddChild(&m_List);
    m_List.HideWindow();
    return 0;
}

long KWndComboBox::Create(const char* title, DWORD style, int x, int y, int w, int h,
                          KestrelWnd* parent, UINT id, int listW, int listH, bool above)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    return _createlist(x, y, h, listW, listH, above, style);
}

long KWndComboBox::Create(const char* title, DWORD style, int x, int y, int w, int h,
                          HWND parent, UINT id, int listW, int listH, bool above)
{
    const long r = _createcontrol(title, style, x, y, w, h, parent, id);
    if (r != 0)
        return r;
    return _createlist(x, y, h, listW, listH, above, style);
}

void KWndComboBox::CreateList(int count, int width)
{
    m_List.CreateList(count, width);
}

void KWndComboBox::_settext(const char* str)
{
    std::strncpy(m_szText, str, sizeof(m_szText) - 1);
    m_szText[sizeof(m_szText) - 1] = '\0';
}

void KWndComboBox::AddString(const char* str)
{
    KASSERT(str != NULL);
    if (str == NULL)
        return;
    KASSERT(str[0] != '\0');
    m_List.AddString(m_nDefaultIndex, str, false, true);
    _settext(str);
}

void KWndComboBox::DelString(const char* str)
{
    KASSERT(str != NULL);
    if (str == NULL)
        return;
    KASSERT(str[0] != '\0');
    m_List.DelString(str);
}

// The embedded list frees its slots once and forgets them, so the
// destructor's second release finds nothing left to free.
void KWndComboBox::Release()
{
    m_List.Release();
}

int KWndComboBox::OnLButtonDown(WPARAM, LPARAM)
{
    if (m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE))
        return -1;
    return 0;  // the router passes the click on to the list while it shows
}

// The list has hidden itself: its area is no longer the combo box's.
int KWndComboBox::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (wParam == KWND_LIST_ID && DWORD(lParam) == KWND_NOTIFY_SELECT) {
        const char* chosen = m_List.GetCurString();
        if (chosen != NULL)
            _settext(chosen);
        m_List.HideWindow();
        m_bListShown = 0;
    }
    return 0;
}

bool KWndComboBox::IsIn(long x, long y)
{
    if (m_bListShown && m_List.IsIn(x, y))
        return true;
    return KestrelWnd::IsIn(x, y);
}

// The text is text, never a format.
void KWndComboBox::DrawWndItem(RECT* rect)
{
    if (m_dwState.Has(KWND_STATE_HIDE))
        return;
    if (m_szText[0] != '\0' && m_Graph != NULL && m_Font != NULL)
        m_Graph->GetBackScreen()->Printf(m_Font, m_Rect.left + 3, m_Rect.top + 2, m_dwColor,
                                         "%s", m_szText);
    KestrelWnd::DrawWndItem(rect);
}
