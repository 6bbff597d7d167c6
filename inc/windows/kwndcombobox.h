// KWndComboBox: a choice control. A one-line field shows the chosen string;
// an embedded list (the child window "List", id KWND_LIST_ID) stands below
// the field or above it, hidden when made. When the list notifies a
// selection the field takes the list's current string and the list hides.
// Showing the list is the host's business: ShowWindow on GetList(), and
// SetListShown(true) so that clicks in the list's area reach the combo box.
#pragma once
#include "kwnd.h"
#include "kwndlistbox_simple.h"

#define KWND_LIST_ID 100

class KESTREL_API KWndComboBox : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KWndComboBox();
    ~KWndComboBox() override;

    // The field at (x, y, w, h) and its list of listW x listH below it, or
    // above it when `above`. The device must be set first. 0, or the
    // failure of the field's window.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id, int listW, int listH, bool above);
    long Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent, UINT id,
                int listW, int listH, bool above);
    // The list's slots: count strings of width bytes.
    void CreateList(int count, int width);
    // Inserts str at the default slot and shows it in the field.
    void AddString(const char* str);
    void DelString(const char* str);
    const char* GetString() const { return m_szText; }
    KWndListBox_Simple* GetList() { return &m_List; }
    void SetDefaultIndex(int index) { m_nDefaultIndex = index; }
    void setColor(DWORD colour) { m_dwColor = colour; }
    // While set, the list's area counts as the combo box's for hit tests.
    void SetListShown(bool shown) { m_bListShown = shown ? 1 : 0; }
    bool IsListShown() const { return m_bListShown != 0; }
    void Release();

    // The text, then the list while it is shown.
    void DrawWndItem(RECT* rect) override;
    bool IsIn(long x, long y) override;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnCommand(WPARAM wParam, LPARAM lParam);

protected:
    long _createlist(int x, int y, int h, int listW, int listH, bool above, DWORD style);
    void _settext(const char* str);

    KWndListBox_Simple m_List;
    char m_szText[256];
    BYTE m_bListShown;
    LONG m_nDefaultIndex;
    DWORD m_dwColor;
};
