// KWndListBox_Simple: fixed-width string slots in one block.
#include "kwndlistbox_simple.h"

#include <doit.h>
#include <kbase.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

KWndListBox_Simple::KWndListBox_Simple() : m_nStrLen(0), m_LstLen(0), m_List(NULL) {}

KWndListBox_Simple::~KWndListBox_Simple()
{
    Release();
}

void KWndListBox_Simple::CreateList(int count, int width)
{
    KASSERT(m_List == NULL);
    if (m_List != NULL || count <= 0 || width <= 0)
        return;
    // The slot pointers, then the slots, in one block.
    const uint64_t size = uint64_t(count) * (sizeof(char*) + uint64_t(width));
    if (size > SIZE_MAX)
        return;
    char** block = static_cast<char**>(std::malloc(size_t(size)));
    if (block == NULL)
        return;
    char* slots = reinterpret_cast<char*>(block + count);
    for (int i = 0; i < count; i++) {
        block[i] = slots + size_t(i) * size_t(width);
        block[i][0] = '\0';
    }
    m_List = block;
    m_LstLen = count;
    m_nStrLen = width;
}

const char* KWndListBox_Simple::GetString(int index) const
{
    if (m_List == NULL || index < 0 || index >= m_LstLen)
        return NULL;
    return m_List[index];
}

// A string keeps at most width - 1 bytes, cut between whole characters.
void KWndListBox_Simple::AddString(int index, const char* str, bool overwrite, bool insert)
{
    KASSERT(m_List != NULL);
    KASSERT(index >= 0 && index < m_LstLen);
    if (m_List == NULL || index < 0 || index >= m_LstLen || str == NULL)
        return;
    KASSERT(m_List[index] != NULL);
    char* slot = m_List[index];
    if (slot[0] != '\0' && !overwrite) {
        if (!insert)
            return;
        // Each slot takes its upper neighbour's string; an empty neighbour
        // leaves the slot as it was.
        for (int j = m_LstLen - 1; j > index; j--)
            if (m_List[j - 1][0] != '\0')
                std::memcpy(m_List[j], m_List[j - 1], size_t(m_nStrLen));
    }
    const size_t n = KTextList::CutLength(str, size_t(m_nStrLen - 1));
    std::memmove(slot, str, n);
    slot[n] = '\0';
}

void KWndListBox_Simple::DelString(int index)
{
    KASSERT(m_List != NULL);
    KASSERT(index >= 0 && index < m_LstLen);
    if (m_List == NULL || index < 0 || index >= m_LstLen)
        return;
    m_List[index][0] = '\0';
}

void KWndListBox_Simple::DelString(const char* str)
{
    if (m_List == NULL || str == NULL)
        return;
    for (int i = 0; i < m_LstLen; i++) {
        if (std::strcmp(m_List[i], str) == 0) {
            m_List[i][0] = '\0';
            return;
        }
    }
}

void KWndListBox_Simple::Clear()
{
    for (int i = 0; m_List != NULL && i < m_LstLen; i++)
        m_List[i][0] = '\0';
}

int KWndListBox_Simple::GetUsed()
{
    int used = 0;
    for (int i = 0; m_List != NULL && i < m_LstLen; i++)
        if (m_List[i][0] != '\0')
            used++;
    return used;
}

const char* KWndListBox_Simple::GetCurString()
{
    KASSERT(m_iCurSelect != -1);
    return GetString(GetCurItem());
}

void KWndListBox_Simple::Release()
{
    std::free(m_List);
    m_List = NULL;
    m_LstLen = 0;
    m_nStrLen = 0;
    _KWndListBox::Release();
}

// As the text list does, only whole lines: a line that would not fit would
// be drawn past the list's bottom, over whatever stands below it.
void KWndListBox_Simple::DrawList()
{
    if (m_List == NULL || !m_dwState.Has(KWNDLISTBOX_STATE_DEFAULT))
        return;
    const long height = m_ClientArea.bottom - m_ClientArea.top, lh = GetLineHeight();
    long dy = 0;
    for (int i = m_nTop < 0 ? 0 : m_nTop; i < m_LstLen && m_List[i] != NULL; i++) {
        if (dy > height - lh)
            break;
        dy += _drawline(m_List[i], dy);
    }
}
