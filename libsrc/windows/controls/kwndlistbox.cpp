// KWndListBox: lines in the base library's text list; a full list drops its
// oldest eighth, and the vertical bar follows the newest line.
#include "kwndlistbox.h"

#include <doit.h>
#include <kbase.h>

#include <new>

KWndListBox::KWndListBox() : m_List(NULL) {}

KWndListBox::~KWndListBox()
{
    Release();
}

void KWndListBox::_freelist()
{
    if (m_dwState.Has(KWNDLISTBOX_STATE_LIST))
        delete m_List;
    m_List = NULL;
    m_dwState.Clr(KWNDLISTBOX_STATE_LIST);
}

void KWndListBox::CreateList(int lines, int bytes)
{
    if (m_List != NULL)
        return;
    m_List = new (std::nothrow) KTextList(lines, bytes);
    if (m_List != NULL)
        m_dwState.Set(KWNDLISTBOX_STATE_LIST);
}

// A list made here before is freed: the one given now is the host's.
void KWndListBox::SetList(void* list)
{
    if (list != m_List)
        _freelist();
    m_List = static_cast<KTextList*>(list);
}

void KWndListBox::AddString(const char* str)
{
    if (m_List == NULL || str == NULL)
        return;
    if (m_List->IsFull()) {
        // The oldest eighth goes (at least one line, so a small list keeps
        // taking lines); the view keeps showing the lines it showed.
        int drop = m_List->GetSize() / 8;
        if (drop < 1)
            drop = 1;
        const int removed = m_List->Remove(0, drop);
        m_nTop = m_nTop > removed ? m_nTop - removed : 0;
    }
    m_List->Add(str);
    if (m_dwState.Has(KWNDLISTBOX_STATE_VSCROLL) && m_pVScroll != NULL) {
        // The bar steps and tells this list (WM_VSCROLL inside the call).
        m_pVScroll->SetArea(long(m_List->GetUsed()) - m_nLines);
        m_pVScroll->Down();
        // The newest line shows on the last row, however the bar's range
        // and step fell out.
        OnVScroll(SB_BOTTOM, 0);
    }
}

void KWndListBox::DelString(const char* str)
{
    if (m_List != NULL)
        m_List->Del(str);
}

void KWndListBox::Clear()
{
    if (m_List == NULL)
        return;
    m_List->Clear();
    m_nTop = 0;
    m_iCurSelect = -1;
    if (m_pVScroll != NULL)
        m_pVScroll->SetPos(0);
}

const char* KWndListBox::GetCurString()
{
    if (m_List == NULL)
        return NULL;
    return m_List->GetData(GetCurItem());
}

int KWndListBox::GetUsed()
{
    KASSERT(m_List != NULL);
    return m_List != NULL ? m_List->GetUsed() : 0;
}

void KWndListBox::Release()
{
    _freelist();
    _KWndListBox::Release();
}

void KWndListBox::DrawList()
{
    if (m_List == NULL || !m_dwState.Has(KWNDLISTBOX_STATE_DEFAULT))
        return;
    const long height = m_ClientArea.bottom - m_ClientArea.top, lh = GetLineHeight();
    long dy = 0;
    for (int i = m_nTop < 0 ? 0 : m_nTop; i < m_List->GetUsed(); i++) {
        const char* line = m_List->GetData(i);
        if (line == NULL || dy > height - lh)
            break;
        dy += _drawline(line, dy);
    }
}
