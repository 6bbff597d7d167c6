// KWndListBox_Simple: a list box over a fixed number of fixed-width string
// slots kept in one block (the combo box's list). An empty slot is one whose
// first byte is 0; it shows as a blank line.
#pragma once
#include "_kwndlistbox.h"

class KESTREL_API KWndListBox_Simple : public _KWndListBox {
public:
    KWndListBox_Simple();
    ~KWndListBox_Simple() override;

    // count slots of width bytes (a string keeps at most width - 1), all
    // empty. Once.
    void CreateList(int count, int width);
    // Into slot index: an empty slot takes str; a full one only with
    // overwrite; with insert instead, the slots from index on move down one
    // (the last one's string drops out) and slot index takes str.
    void AddString(int index, const char* str, bool overwrite, bool insert);
    void DelString(int index);
    // Empties the first slot equal to str.
    void DelString(const char* str);
    void Clear();
    // Non-empty slots.
    int GetUsed() override;
    // The current line's slot (null when there is none).
    const char* GetCurString();
    const char* GetString(int index) const;
    int GetCount() const { return m_LstLen; }
    void Release();

    void DrawList() override;

protected:
    int m_nStrLen;   // slot width in bytes
    int m_LstLen;    // number of slots
    char** m_List;   // one block: the slot pointers, then the slots; owned
};
