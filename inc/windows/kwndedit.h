// KWndEdit: a one-line text field drawn by the framework. The typing itself
// (characters, keys, selection, limit, clipboard) is done by one real
// "EDIT" window shared by every field of the process: the focused field
// keeps its text there, passes characters and keys on to it and reads the
// text and selection back before it draws or indexes them. Tab and Enter
// become WM_COMMAND notifications to the parent's window.
//
// Text is at most 255 bytes of code page 936; every position (selection,
// first visible character) is a byte offset and lies on a character's first
// byte.
#pragma once
#include "kwnd.h"

// State bits of the low word, beside KWND_STATE_COLORKEY.
#define KWNDEDIT_STATE_SPRITE 0x0008    // a back picture is set
#define KWNDEDIT_STATE_READONLY 0x0400  // characters and keys are ignored; no caret
#define KWNDEDIT_STATE_PASSWORD 0x0800  // drawn as '*'

// WM_COMMAND (wParam, lParam): Tab (m_ID, 1); Enter (m_nDstID, 0).
#define KWNDEDIT_NOTIFY_TAB 1
#define KWNDEDIT_NOTIFY_ENTER 0

#define KWNDEDIT_TIMER_CARET 1
#define KWNDEDIT_CARET_PERIOD 300
#define KWNDEDIT_MAX_TEXT 255

class KESTREL_API KWndEdit : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KWndEdit();
    ~KWndEdit() override;

    // Takes text (cut to 255 bytes, never inside a character), makes the
    // shared "EDIT" window when there is none, then the field's own 1 x 1
    // child window with the logical rectangle (x, y, w, h) and starts the
    // caret timer. 0, or the failure (reported) of either window.
    long Create(const char* text, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    long Create(const char* text, DWORD style, int x, int y, int w, int h, HWND parent, UINT id);
    // The back picture, loaded from disk; with colorKey the pixel (x, y) is
    // its key. 0 or E_FAIL.
    long LoadBitmap(char* name, bool colorKey, long x, long y);
    // spr becomes the back picture; the field releases it.
    void SetSprite(KSprite* spr);
    // The field takes n - 1 bytes at most.
    void LimitText(int n) { m_nLimit = n - 1; }
    void SetColor(DWORD first, DWORD textColor, DWORD selColor, DWORD fourth);
    void SetDstWndID(UINT id) { m_nDstID = id; }
    long GetDefaultHeight();
    // The text as typed so far.
    const char* GetText();
    void SetText(const char* str);
    void ClearText();
    // Takes the focus and puts the caret where a click at x (top window's
    // client coordinates) would.
    void Active(long x);
    void Release();

    void DrawWndItem(RECT* rect) override;

    int OnSetFoucs(WPARAM wParam, LPARAM lParam);
    int OnLButtonClk(WPARAM wParam, LPARAM lParam);
    int OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnChar(WPARAM wParam, LPARAM lParam);
    int OnKeyDown(WPARAM wParam, LPARAM lParam);
    int OnImeChar(WPARAM wParam, LPARAM lParam);
    int OnTimer(WPARAM wParam, LPARAM lParam);

    // The shared "EDIT" window, and the field whose text it holds.
    static HWND _editWnd;
    static HWND _focusWnd;

protected:
    // Copies the shared window's text and selection into this field when
    // it is the one they belong to.
    void _readback();
    // The field's text as drawn: '*' for each character of a password.
    void _display(char* out);
    // Byte offsets between the text and what is drawn.
    long _todisplay(long offset);
    long _totext(long offset);
    // The text offset of the character at pixel x (top window's client
    // coordinates), counted from the first visible character.
    long _indexat(long x);
    void _sendsel();
    // Makes the shared window when there is none: 0 or the reported failure.
    long _makeshared(HWND parent, UINT id);
    void _settext(const char* str);
    bool _ignoresinput() { return m_dwState.Has(KWND_STATE_HIDE | KWND_STATE_DISABLE); }

    BYTE m_bBlink;       // caret phase, flipped by the caret timer
    long m_nSelStart;    // selection; the caret is at m_nSelEnd
    long m_nSelEnd;
    long m_nFirst;       // first character drawn (horizontal scroll)
    long m_nAnchor;      // where a mouse selection started
    char m_szText[KWNDEDIT_MAX_TEXT + 1];
    long m_nLimit;       // what the shared window is told: LimitText's n - 1
    DWORD m_dwColor1;    // kept, not read
    DWORD m_dwSelColor;
    DWORD m_dwTextColor; // text and caret
    DWORD m_dwColor4;    // kept, not read
    KSprite* m_sprEdit;  // owned back picture
    UINT m_nDstID;       // the id Enter sends

private:
    // The width of the text as drawn, measured again only when it or the
    // font changed: most frames draw a field as it was.
    long _shownwidth(const char* shown);
    char m_szMeasured[KWNDEDIT_MAX_TEXT + 1];
    long m_nMeasuredWidth;
    KFont* m_pMeasuredFont;
};
