// KWndDlg: a panel that holds other controls. It draws its back picture (the
// window's back sprite) and its children; an optional colour-key outline
// decides where it is hit; when movable it is dragged with the left button.
// A click on it or on one of its children makes it its parent's focus child,
// so it is drawn after its siblings and hit before them; during a drag it is
// its parent's capture child and hears every mouse move.
#pragma once
#include "kwnd.h"

// State bits of the low word, beside KWND_STATE_COLORKEY (key pixels of the
// back picture are not the dialog).
#define KWNDDLG_STATE_MOVABLE 0x0080  // dragged with the left button
#define KWNDDLG_STATE_DRAG 0x0400     // a drag is in progress

class KESTREL_API KWndDlg : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KWndDlg();
    ~KWndDlg() override;

    // A real 1 x 1 child window whose logical rectangle is (x, y, w, h).
    // 0, or the failure of the window's creation.
    long Create(const char* title, DWORD style, int x, int y, int w, int h, KestrelWnd* parent,
                UINT id);
    // Loads the back picture from disk; with colorKey the pixel (x, y) is
    // its key and the back is drawn keyed. 0, or E_FAIL (reported).
    long LoadBitmap(char* name, bool colorKey, long x, long y);
    // The back picture becomes a view of src on rc.
    void SetSprite(KSprite* src, RECT& rc, bool colorKey);
    // The back picture's size, or the rectangle's without one.
    long GetWidth() const;
    long GetHeight() const;
    void Release();

    // A hook for derived dialogs; the framework never calls it.
    virtual void Active(bool active);

    // Its children; the back is KestrelWnd's.
    void DrawWndItem(RECT* rect) override;
    // In the rectangle and, when keyed, not on a key pixel of the back.
    bool IsIn(long x, long y) override;

    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnLButtonUp(WPARAM wParam, LPARAM lParam);
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    int OnMouseLeave(WPARAM wParam, LPARAM lParam);

protected:
    // Ends a drag: the parent lets go of the capture.
    void _enddrag();

    long m_nDragX;  // the last mouse position of a drag
    long m_nDragY;
};
