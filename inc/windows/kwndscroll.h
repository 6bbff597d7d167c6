// KWndScroll: a vertical or horizontal scroll bar. Two arrow buttons at the
// ends, a track between them and a thumb on the track. A click on an arrow
// steps the position, a click on the track jumps there, a drag moves the
// thumb; each change is sent (not posted) to the parent's window at once as
// WM_VSCROLL (vertical) or WM_HSCROLL (horizontal), with the scroll code
// whole in WPARAM and the value in LPARAM:
//
//   SB_LINEUP 0, 1          an up/left step
//   SB_LINEDOWN 1, 1        a down/right step
//   SB_THUMBPOSITION 4, v   a track click or a drag; v = pos x area / range
//   SB_BOTTOM 7, 0          a track click in the last thumb length
//
// It draws with six pictures or, without them, with lines and rectangles in
// two colours.
#pragma once
#include "kwnd.h"

// The six pictures, by index.
#define KWND_SCROLL_BACK 0            // the track
#define KWND_SCROLL_BLOCK 1           // the thumb
#define KWND_SCROLL_SUBBLOCK 2        // the up/left arrow
#define KWND_SCROLL_SUBBLOCKDOWN 3    // the up/left arrow pressed (kept, not drawn)
#define KWND_SCROLL_ADDBLOCK 4        // the down/right arrow
#define KWND_SCROLL_ADDBLOCKDOWN 5    // the down/right arrow pressed (kept, not drawn)
#define KWND_SCROLL_PICTURES 6

// State bits of the low word, beside KWND_STATE_COLORKEY (pictures drawn
// keyed, laid out along the bar).
#define KWNDSCROLL_STATE_ARROW 0x0002     // without pictures: arrow glyphs (vertical bars)
#define KWNDSCROLL_STATE_FRAME 0x0004     // without pictures: outline, arrow boxes and thumb
#define KWNDSCROLL_STATE_SPRITE 0x0008    // pictures are set
#define KWNDSCROLL_STATE_FILL 0x0010      // without pictures: filled with the back colour first
#define KWNDSCROLL_STATE_DRAG 0x0020      // the thumb is being dragged
#define KWNDSCROLL_STATE_SUBDOWN 0x0040   // the up/left arrow is held
#define KWNDSCROLL_STATE_ADDDOWN 0x0080   // the down/right arrow is held
#define KWNDSCROLL_STATE_VERTICAL 0x0800  // length = height; clear: length = width
#define KWNDSCROLL_STATE_OWNSPRITE 0x8000 // the bar made pictures of its own

// A host may start this timer on the bar's window for auto-repeat while an
// arrow is held; the bar never starts it.
#define KWNDSCROLL_TIMER_REPEAT 1

class KESTREL_API KWndScroll : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KWndScroll();
    ~KWndScroll() override;

    // A real 1 x 1 child window whose logical rectangle is (x, y, w, h). 0,
    // or the failure of the window's creation.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    long Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent, UINT id);
    // Two-colour drawing (arrows, frame, fill); buttons as long as the bar is
    // thick, the thumb half that.
    void SetDefault();
    // Picture `index` is lps itself (borrowed). The thumb's picture sets the
    // thumb length, an arrow's the button length, each from its height.
    void SetSprite(KSprite* lps, int index, bool colorKey);
    // The same with a view of src on rc, which the bar owns.
    void SetSprite(KSprite* src, int index, RECT& rc, bool colorKey);
    // Does nothing; 0.
    long LoadBitmap(char* name, bool colorKey, long x, long y);
    void SetColor(DWORD back, DWORD line);
    void SetBlockSize(DWORD button, DWORD thumb);
    DWORD GetBlockSize() const { return m_dwButtonSize; }
    DWORD GetThumbSize() const { return m_dwBlockSize; }
    // The units the host scrolls over (ignored unless positive). A larger
    // area first moves the position back by one; the step becomes
    // range / area while the area fits in the range, else 1.
    void SetArea(long area);
    // Stored when not past the range.
    void SetPos(long pos);
    long GetPos() const { return m_nPos; }
    long GetRange() const { return m_nRange; }
    long GetArea() const { return m_nArea; }
    long GetStep() const { return m_nStep; }
    KSprite* GetSprite(int index) const
    {
        return index >= 0 && index < KWND_SCROLL_PICTURES ? m_sprScroll[index] : NULL;
    }
    // One step down when not at the end, sent as WM_VSCROLL / SB_LINEDOWN
    // whatever the direction.
    void Down();
    // Stops the repeat timer, lets the mouse go and releases the pictures the
    // bar made.
    void Release();

    // The bar alone: no back sprite, no children.
    void Draw(RECT* rect) override;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnLButtonUp(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnTimer(WPARAM wParam, LPARAM lParam);

protected:
    // Ends a drag and lets go of both arrows.
    void UpAll();
    bool _vertical() const { return m_dwState.Has(KWNDSCROLL_STATE_VERTICAL); }
    // The bar's length, and a mouse position as an offset along it.
    long _length() const;
    long _offset(LPARAM lParam) const;
    void _send(DWORD code, LONG value);
    // SB_THUMBPOSITION with the position scaled to the area.
    void _sendthumb();
    bool _advance();
    void _stepdown();
    void _stepup();
    void _drawlines();
    void _drawpictures();
    void _setpicture(int index, KSprite* spr, bool owned, bool colorKey);

    DWORD m_dwButtonSize;  // length of each arrow button
    DWORD m_dwBlockSize;   // length of the thumb
    DWORD m_dwBackColor;   // fill colour without pictures
    DWORD m_dwLineColor;   // line colour without pictures
    KSprite* m_sprScroll[KWND_SCROLL_PICTURES];
    LONG m_nStep;   // the change of one arrow click
    LONG m_nPos;    // the thumb's offset from the end of the first arrow
    LONG m_nRange;  // the largest position
    LONG m_nArea;   // the units the host scrolls over

private:
    // Which pictures the bar made and must release (a bar may hold borrowed
    // and owned pictures side by side).
    BYTE m_bOwned;
};
