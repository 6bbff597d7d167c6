// KWndButton: a skinned push button. Four state pictures (normal, hover,
// pressed, disabled), an optional centred caption (the window text), an
// optional sound when the mouse enters it, and notifications posted to the
// parent's window: WPARAM the button's id, LPARAM KWND_NOTIFY_LCLICK,
// KWND_NOTIFY_RCLICK or KWND_NOTIFY_BOTHDOWN. A 300 ms timer notices when
// the cursor has left without a message saying so.
#pragma once
#include "kwnd.h"

class CUnPackFile;

// State bits of the low word, beside KWND_STATE_COLORKEY (pictures drawn
// keyed; key pixels are not the button).
#define KWNDBUTTON_STATE_TEXT 0x0002      // draw the window text as a caption
#define KWNDBUTTON_STATE_SPRITE 0x0004    // the pictures are set
#define KWNDBUTTON_STATE_PRESSED 0x0400
#define KWNDBUTTON_STATE_HOVER 0x0800
#define KWNDBUTTON_STATE_LDOWN 0x1000     // the left button went down on it
#define KWNDBUTTON_STATE_RDOWN 0x2000     // the right button is down on it

#define KWNDBUTTON_TIMER_HOVER 2
#define KWNDBUTTON_HOVER_PERIOD 300

class KESTREL_API KWndButton : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    enum { PICTURE_NORMAL, PICTURE_HOVER, PICTURE_PRESSED, PICTURE_DISABLED, PICTURE_COUNT };

    KWndButton();
    ~KWndButton() override;

    // A real 1 x 1 child window whose logical rectangle is (x, y, w, h);
    // starts the hover timer. 0, or the failure of the window's creation.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    long Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent, UINT id);
    // Loads szFileName (colour-keyed when colorKey), cuts it into four
    // columns of a quarter of its width, joins wndParent's children and
    // creates the button at pt with the file name as its text,
    // dwAssistMsgID as its id and dwMainMsgID as its notification message.
    // E_FAIL when the picture cannot be loaded.
    long CreateEx(KGraph* pGraph, const char* szFileName, POINT pt, KestrelWnd& wndParent,
                  DWORD dwMainMsgID, DWORD dwAssistMsgID, int colorKey, CUnPackFile* pack,
                  DWORD style);
    // Loads name from disk and cuts it into four bands of a quarter of its
    // height; with colorKey the pixel (x, y) is the key. 0 or E_FAIL.
    long LoadBitmap(char* name, bool colorKey, long x, long y);
    // Picture `index` becomes a view of src on rc (replacing the old one).
    void SetSprite(KSprite* src, int index, RECT& rc, bool colorKey);
    // Marks the pictures as set.
    void Load(const char* name);
    void SetTextColor(DWORD colour) { m_dwTextColor = colour; }
    void SetMessage(DWORD msg) { m_dwMsg = msg; }
    // The sound requested each time the mouse enters the button.
    void SetBtnFocusSound(const char* pSoundFile);
    // The normal picture's size, or the rectangle's without one.
    long GetWidth();
    long GetHeight();
    KSprite* GetSprite(int index) const
    {
        return index >= 0 && index < PICTURE_COUNT ? m_Sprite[index] : NULL;
    }
    void Release();

    void DrawWndItem(RECT* rect) override;
    // In the rectangle and, when keyed, on a pixel of the current picture
    // that is not the key.
    bool IsIn(long x, long y) override;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnLButtonUp(WPARAM wParam, LPARAM lParam);
    int OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    int OnRButtonDown(WPARAM wParam, LPARAM lParam);
    int OnRButtonUp(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnMouseLeave(WPARAM wParam, LPARAM lParam);
    int OnTimer(WPARAM wParam, LPARAM lParam);
    int OnDestroy(WPARAM wParam, LPARAM lParam);
    // The window text is about to change: the caption is read again.
    int OnSetText(WPARAM wParam, LPARAM lParam);

protected:
    // The picture the current state shows (may be null).
    KSprite* _current();
    void _notify(DWORD code);
    void _releasepictures();

    KSprite* m_Sprite[PICTURE_COUNT];  // owned views
    DWORD m_dwTextColor;
    DWORD m_dwMsg;
    char* m_szSound;  // owned, new[]

private:
    // The caption as last read from the window text, and its width in the
    // font it was measured with: a frame reads neither again while both hold.
    void _refreshcaption();
    char m_szCaption[32];
    long m_nCaptionWidth;
    KFont* m_pCaptionFont;
    bool m_bCaptionStale;
};
