// KTextList: a bounded list of text lines, oldest first.
//
// KTextList(lines, bytes) holds at most `lines` lines of at most `bytes`
// bytes each (the terminating zero not counted). A longer line is cut to fit,
// never between the two bytes of a double-byte (GBK) character. The lines
// live in one block of fixed slots used as a ring, so dropping the oldest
// lines moves nothing and a full list stays cheap to feed.
#pragma once

#include <windows.h>

#include <cstddef>

class KTextList {
public:
    // A list that cannot hold anything (lines or bytes below 1, or a block
    // that cannot be had) is always full.
    KTextList(int lines, int bytes);
    ~KTextList();
    KTextList(const KTextList&) = delete;
    KTextList& operator=(const KTextList&) = delete;

    // Appends a copy of str (cut to the longest line). Its index, or -1 when
    // the list is full or str is null.
    int Add(const char* str);
    // Removes the first line equal to str. Whether one was removed.
    bool Del(const char* str);
    // Removes `count` lines from `first` on (the part inside the list); the
    // lines after them move up. The number removed.
    int Remove(int first, int count);
    void Clear();
    // Line `index` (0 the oldest), or null outside the list. The text stays
    // valid until the list changes.
    const char* GetData(int index) const;
    // The number of lines it can hold.
    int GetSize() const { return m_nLines; }
    int GetUsed() const { return m_nUsed; }
    bool IsFull() const { return m_nUsed >= m_nLines; }
    // The longest line it keeps, in bytes.
    int GetLineBytes() const { return m_nBytes; }

    // How many bytes of str, at most `limit`, make whole characters: a cut
    // at `limit` that would split a double-byte pair is made one byte sooner.
    static size_t CutLength(const char* str, size_t limit);

private:
    char* _slot(int index) const;

    char* m_pBlock;  // m_nLines slots of m_nBytes + 1 bytes
    int m_nLines;
    int m_nBytes;
    int m_nHead;  // slot of line 0
    int m_nUsed;
};
