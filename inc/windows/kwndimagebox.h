// KWndImageBox: one picture, optionally stretched to the box's size, that can
// be made clickable: a click notifies the parent (WM_COMMAND, the box's id,
// KWND_NOTIFY_SELECT), a link opens through the shell, and the mouse turns
// into a hand over it. KWndAniImageBox draws a frame animation instead of a
// picture; both use the image box's message table.
#pragma once
#include "kwnd.h"

class KAni;

// State bits of the low word. In an image box bit 0 is KWND_STATE_COLORKEY
// (the picture is drawn keyed and its key pixels are not the box); in an
// animation box the same bit says the box made its animation and deletes it.
#define KWNDANI_STATE_OWNANI 0x0001
#define KWNDIMAGEBOX_STATE_STRETCH 0x0002  // ChangeSize zooms the picture to the box
#define KWNDIMAGEBOX_STATE_CLICK 0x0004    // hand cursor; a click notifies

// The link's room, its terminating zero included.
#define KWNDIMAGEBOX_URL_SIZE 256

class KESTREL_API KWndImageBox : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KWndImageBox();
    ~KWndImageBox() override;

    // A real 1 x 1 child window whose logical rectangle is (x, y, w, h).
    // 0, or the failure of the window's creation.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    long Create(const char* title, DWORD style, int x, int y, int w, int h, HWND parent, UINT id);
    // Loads the picture from disk (colour-keyed when colorKey), replacing
    // one the box had. 0, or E_FAIL (reported) when it cannot be loaded; the
    // box then keeps what it showed.
    long LoadBitmap(char* filename, bool colorKey);
    // The picture becomes a view of src on rc, replacing one the box had.
    void SetSprite(KSprite* src, RECT& rc, bool colorKey);
    // The link a click opens; longer ones are cut to 255 characters.
    void SetURL(const char* url);
    // The size of the stretched copy, else of the picture, else 0.
    long GetSprWidth();
    long GetSprHeight();
    // Releases the copy and the picture, then the window.
    void Release();

    // The copy when there is one, else the picture, at the rectangle's
    // top-left; keyed with KWND_STATE_COLORKEY.
    void DrawWndItem(RECT* rect) override;
    // In the rectangle and, when keyed, not on a key pixel of what is shown.
    bool IsIn(long x, long y) override;
    // New size (w >= 1, h >= 1); with STRETCH the picture is zoomed into a
    // copy of that size, kept while it is large enough both ways.
    void ChangeSize(long w, long h) override;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnMouseLeave(WPARAM wParam, LPARAM lParam);

protected:
    // The class cursor (shared by every framework window) and the cursor
    // shown become the standard cursor `id`.
    void _setcursor(LPCSTR id);
    KSprite* _shown() const { return m_sprData != NULL ? m_sprData : m_sprSrc; }
    void _releasesprite(KSprite*& spr);
    // A new picture: the old one goes, and a stretched copy is zoomed again.
    void _setsource(KSprite* src, bool colorKey);
    // Zooms the picture's rectangle into (0, 0, w, h) of the copy, making the
    // copy or growing it as needed. Nothing without a picture.
    void _stretch(long w, long h);

    KSprite* m_sprData;  // owned: the stretched copy
    KSprite* m_sprSrc;   // owned: the picture
    char m_szURL[KWNDIMAGEBOX_URL_SIZE];
};

// An image box that draws a frame animation (advancing by the clock as it is
// drawn) instead of a picture.
class KESTREL_API KWndAniImageBox : public KWndImageBox {
public:
    KWndAniImageBox();
    ~KWndAniImageBox() override;

    // Reads a KAni file into an animation the box owns (any animation held
    // before is let go first): KAni::Load's result.
    long LoadAni(char* filename);
    // Shows pAni, which the box borrows: an animation it owned is deleted
    // first, and Release leaves pAni alone.
    void SetAni(KAni* pAni);
    // The current frame's size, 0 without an animation.
    long GetSprWidth();
    long GetSprHeight();
    // Deletes an owned animation, forgets a borrowed one, then releases the
    // image box.
    void Release();

    void DrawWndItem(RECT* rect) override;
    // The plain rectangle test.
    bool IsIn(long x, long y) override;

protected:
    // Deletes the animation when the box owns it; forgets it either way.
    void _dropani();

    KAni* m_aniData;  // owned while KWNDANI_STATE_OWNANI is set
};
