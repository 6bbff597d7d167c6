// _KWndListBox: the base of the list boxes. Lines of text one line height
// (the font's height + 1) apart, a highlighted current line, selection by
// click or by following the mouse, notifications to the parent, and the
// scroll bars the list makes for itself. Where the lines live is the derived
// class's business (DrawList, GetUsed).
//
// Notifications: WM_COMMAND posted to the parent's window, WPARAM the list's
// id, LPARAM KWND_NOTIFY_SELECT or KWND_NOTIFY_DBLCLK.
#pragma once
#include "kwnd.h"
#include "kwndscroll.h"

// State bits of the low word.
#define KWNDLISTBOX_STATE_TRACK 0x0001      // the mouse makes the line under it current
#define KWNDLISTBOX_STATE_DEFAULT 0x0002    // laid out: DrawWndItem draws the lines
#define KWNDLISTBOX_STATE_MULTILINE 0x0200  // a wide line takes the line heights it needs
#define KWNDLISTBOX_STATE_HSCROLL 0x0400    // the horizontal bar was made
#define KWNDLISTBOX_STATE_VSCROLL 0x0800    // the vertical bar was made
#define KWNDLISTBOX_STATE_SELECT 0x1000     // a click selects (and the mouse tracks)
#define KWNDLISTBOX_STATE_LIST 0x4000       // (KWndListBox) it made its text list

// The ids of the bars a list makes, as children of its window.
#define KWNDLISTBOX_VSCROLL_ID 1
#define KWNDLISTBOX_HSCROLL_ID 2

class KESTREL_API _KWndListBox : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    _KWndListBox();
    ~_KWndListBox() override;

    // A real 1 x 1 child window whose logical rectangle is (x, y, w, h),
    // laid out for the font (SetDefault). 0, or the creation's failure.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    // Lines and client area for the font, and the vertical bar.
    void SetDefault();
    // The bars, made once each. The vertical bar draws nothing until it has
    // pictures (SetVScrollSprite).
    void CreateVScroll(long w);
    void CreateHScroll(long h);
    void SetVScrollSprite(KSprite* src, int index, RECT& rc, bool colorKey);
    KWndScroll* GetVScroll() const { return m_pVScroll; }
    KWndScroll* GetHScroll() const { return m_pHScroll; }
    void SetColor(DWORD textColor, DWORD selColor);
    // The current line as a row of the client area (-1: none).
    int GetCur() const { return m_iCurSelect; }
    // The current line as an item: the first line shown plus the row (-1:
    // none).
    int GetCurItem() const { return m_iCurSelect < 0 ? -1 : m_nTop + m_iCurSelect; }
    int GetTop() const { return m_nTop; }
    int GetLines() const { return m_nLines; }
    long GetLineHeight() const;
    // h rounded down to whole line heights.
    long SetHeight(long h);
    // Deletes the bars, then releases the window.
    void Release();

    // The highlight, the lines (with DEFAULT), then the bars.
    void DrawWndItem(RECT* rect) override;
    // New size; the vertical bar follows the height, the lines are laid out
    // again.
    void ChangeSize(long w, long h) override;
    // Slot 9: draws the lines from the first shown; slot 10: the lines held.
    virtual void DrawList() = 0;
    virtual int GetUsed() = 0;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    int OnVScroll(WPARAM wParam, LPARAM lParam);
    int OnHScroll(WPARAM wParam, LPARAM lParam);

protected:
    // Lines and client area for the current size and font.
    void _layout();
    // The line under the mouse becomes current (inside the client band).
    void _select(LPARAM lParam);
    // The mouse is on one of the list's bars.
    bool _onbar(LPARAM lParam);
    void _notify(DWORD code);
    // Draws one line at dy below the client top; the height it took.
    long _drawline(const char* line, long dy);

    DWORD m_dwSelColor;
    DWORD m_dwTextColor;
    LONG m_nLines;       // whole lines the height holds
    LONG m_nTop;         // the first line drawn
    KWndScroll* m_pVScroll;  // owned
    KWndScroll* m_pHScroll;  // owned
    LONG m_iCurSelect;   // the current row from the client top, -1 none
};
