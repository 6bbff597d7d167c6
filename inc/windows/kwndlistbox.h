// KWndListBox: a list box over the base library's text list. A full list
// drops its oldest eighth before it takes a new line; with its vertical bar
// it follows the newest line.
#pragma once
#include "_kwndlistbox.h"

class KTextList;

class KESTREL_API KWndListBox : public _KWndListBox {
public:
    KWndListBox();
    ~KWndListBox() override;

    // A text list of `lines` lines of at most `bytes` bytes, owned. Once.
    void CreateList(int lines, int bytes);
    // A text list the host keeps (not owned; it must outlive the list box).
    void SetList(void* list);
    void* GetList() const { return m_List; }
    // Appends str (dropping the oldest eighth first when full); with the
    // vertical bar, steps the bar and shows the end.
    void AddString(const char* str);
    void DelString(const char* str);
    // Empties the list; the view goes back to its first line.
    void Clear();
    // The current line (null without a list or a current line).
    const char* GetCurString();
    int GetUsed() override;
    void Release();

    void DrawList() override;

protected:
    void _freelist();

    KTextList* m_List;  // owned with KWNDLISTBOX_STATE_LIST
};
