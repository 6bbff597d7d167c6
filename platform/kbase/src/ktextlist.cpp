// KTextList: bounded text lines in a ring of fixed slots.
#include "ktextlist.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The largest block a text list takes (1 GiB): lines x bytes is checked
// against it before anything is allocated.
const uint64_t kMaxBlock = uint64_t(1) << 30;

}  // namespace

size_t KTextList::CutLength(const char* str, size_t limit)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(str);
    size_t n = 0;
    while (n < limit && p[n] != 0) {
        if (IsDBCSLeadByte(p[n]) && p[n + 1] != 0) {
            if (n + 2 > limit)
                break;  // the pair does not fit: cut before its lead byte
            n += 2;
        } else {
            n++;
        }
    }
    return n;
}

KTextList::KTextList(int lines, int bytes)
    : m_pBlock(NULL), m_nLines(0), m_nBytes(0), m_nHead(0), m_nUsed(0)
{
    if (lines < 1 || bytes < 1)
        return;
    const uint64_t size = uint64_t(lines) * (uint64_t(bytes) + 1);
    if (size > kMaxBlock)
        return;
    m_pBlock = static_cast<char*>(std::malloc(size_t(size)));
    if (m_pBlock == NULL)
        return;
    m_nLines = lines;
    m_nBytes = bytes;
}

KTextList::~KTextList()
{
    std::free(m_pBlock);
}

char* KTextList::_slot(int index) const
{
    const int slot = (m_nHead + index) % m_nLines;
    return m_pBlock + size_t(slot) * (size_t(m_nBytes) + 1);
}

int KTextList::Add(const char* str)
{
    if (str == NULL || IsFull())
        return -1;
    char* slot = _slot(m_nUsed);
    const size_t n = CutLength(str, size_t(m_nBytes));
    // str may be a line this list has just dropped, living in this slot.
    std::memmove(slot, str, n);
    slot[n] = '\0';
    return m_nUsed++;
}

bool KTextList::Del(const char* str)
{
    if (str == NULL)
        return false;
    for (int i = 0; i < m_nUsed; i++) {
        if (std::strcmp(_slot(i), str) == 0) {
            Remove(i, 1);
            return true;
        }
    }
    return false;
}

int KTextList::Remove(int first, int count)
{
    if (first < 0 || first >= m_nUsed || count <= 0)
        return 0;
    if (count > m_nUsed - first)
        count = m_nUsed - first;
    if (first == 0) {
        // The oldest lines: the ring's head moves past them.
        m_nHead = (m_nHead + count) % m_nLines;
    } else {
        for (int i = first; i + count < m_nUsed; i++)
            std::strcpy(_slot(i), _slot(i + count));
    }
    m_nUsed -= count;
    if (m_nUsed == 0)
        m_nHead = 0;
    return count;
}

void KTextList::Clear()
{
    m_nHead = 0;
    m_nUsed = 0;
}

const char* KTextList::GetData(int index) const
{
    if (index < 0 || index >= m_nUsed)
        return NULL;
    return _slot(index);
}
