// The window framework's core: KestrelWnd, the base of every window and
// control; KestrelMainWnd, the host's top-level window with its message
// loops; VirtualKestrelWnd, a host's own window used as the top window;
// KestrelFrame, a host-side interface holding a device; KestrelFPS, the
// frame-rate limiter.
//
// Every framework window is bound to one real window of the registered class
// "KestrelWindow" and keeps its object in the window's user data. Controls
// are real child windows of 1 x 1 pixels whose visible rectangle (m_Rect) is
// a logical rectangle in the top window's client coordinates: the top
// window's mouse handlers hit-test the children and post the message on to
// the child hit. Drawing is retained: each frame the host draws the window
// tree onto the device's back screen through recorded sprite drawing.
#pragma once
#include <windows.h>
#include <kexport.h>
#include <klink.h>
#include <kstate.h>

#include "kmsgtable.h"

#include <vector>

class KGraph;
class KSprite;
class KFont;

// The nine frame pieces of a composed back, clockwise from the top-left
// corner: 0 top-left, 1 top edge, 2 top-right, 3 right edge, 4 bottom-right,
// 5 bottom edge, 6 bottom-left, 7 left edge, 8 centre.
#define KWND_SPR_NUMS 9

// State bits common to every window (the high byte of the state word); the
// low 16 bits belong to each control class.
#define KWND_STATE_HIDE 0x80000000          // not drawn; its mouse routers ignore input
#define KWND_STATE_ACTIVE 0x40000000        // set by WM_ACTIVATE while not minimised
#define KWND_STATE_DISABLE 0x20000000       // its mouse routers and handlers ignore input
#define KWND_STATE_BACK_ALPHA 0x10000000    // the back is drawn blended at 127
#define KWND_STATE_BACK_COLORKEY 0x08000000 // the back is drawn colour-keyed
#define KWND_STATE_BACKEX2 0x04000000       // ChangeSize composes the back by DrawBackEx2
#define KWND_STATE_BACKEX 0x02000000        // ChangeSize composes the back by DrawBackEx (wins)
#define KWND_STATE_BACK 0x01000000          // DrawWndBack draws the back sprite
// The one low bit the controls share: their pictures are colour-keyed.
#define KWND_STATE_COLORKEY 0x00000001

// Notification codes: the LPARAM of a message a control posts to its
// parent's window, with the control's id as WPARAM.
#define KWND_NOTIFY_SELECT 0x80000001
#define KWND_NOTIFY_BOTHDOWN 0x80000003
#define KWND_NOTIFY_DBLCLK 0x80000004
#define KWND_NOTIFY_LCLICK 0x80000010
#define KWND_NOTIFY_RCLICK 0x80000020

// Posted to a child when the mouse has left it.
#define KWM_MOUSELEAVE (WM_USER + 3)

class KestrelWnd;
// A window's children: pointers, never owned, in the order added.
typedef KLink<KestrelWnd, 16, 4, KLinkPointer> KWndChildList;

class KESTREL_API KestrelWnd {
public:
    KestrelWnd();
    // Calls Release.
    virtual ~KestrelWnd();
    // A window owns its back sprites and child list and is bound to a real
    // window by address: it is never copied (two owners would free the same
    // sprites and list).
    KestrelWnd(const KestrelWnd&) = delete;
    KestrelWnd& operator=(const KestrelWnd&) = delete;

    // ---- Virtual operations, in slot order after the destructor.
    // Draws the back, then the item, unless hidden. The rectangle is passed
    // along and never read by the base class.
    virtual void Draw(RECT* rect);
    // The back sprite at (m_Rect.left, m_Rect.top) when KWND_STATE_BACK is set.
    virtual void DrawWndBack(RECT* rect);
    // The base window's item is its children: the list in order without the
    // focus and top child, then the focus child, then the top child.
    virtual void DrawWndItem(RECT* rect);
    // Inside m_Rect (right and bottom exclusive).
    virtual bool IsIn(long x, long y);
    // Compose the window's own back sprite from the nine pieces, or by tiling
    // the one piece (immediate drawing). Pieces that are missing or have no
    // area are left out.
    virtual void DrawBackEx();
    virtual void DrawBackEx2();
    // New size, same position. A window that composes its own back
    // (KWND_STATE_BACKEX or KWND_STATE_BACKEX2) grows its back sprite when it
    // no longer fits, then clears and composes it; a back that is a view or a
    // shared picture is left as it is.
    virtual void ChangeSize(long w, long h);
    virtual const KMessageFunc* GetMessageEntries();

    // ---- Registration, creation, release.
    // Once per process, while m_hInst is 0: stores hInst and registers the
    // class m_ClassName (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, icon
    // "APP_ICON" of hInst, arrow cursor). Later calls do nothing.
    static void Init(HINSTANCE hInst);
    // A window of class className, bound to this object once made: 0, or the
    // result of KRet(E_FAIL, ...). The KestrelWnd* form remembers the parent
    // (even when creation fails); messages that arrive during creation go to
    // the default procedure.
    long Create(const char* className, const char* title, DWORD style, int x, int y, int w,
                int h, KestrelWnd* parent, UINT id);
    long Create(const char* className, const char* title, DWORD style, int x, int y, int w,
                int h, HWND parent, UINT id);
    // The same with an extended style; the KestrelWnd* form uses only the
    // parent's window and leaves m_pParent alone.
    long CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                  int y, int w, int h, KestrelWnd* parent, UINT id);
    long CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                  int y, int w, int h, HWND parent, UINT id);
    // Releases the back sprites and the child list, unlinks the window from
    // its parent and its children from it, clears the child roles, unbinds
    // the real window (user data 0) and posts it WM_DESTROY, which then only
    // reaches the default procedure. Safe to call again.
    void Release();

    // ---- Device, font, rectangles.
    // The device and its default font of this moment.
    void SetGraph(KGraph* graph);
    void SetKFont(KFont* kfont);
    // (x, y, x + w, y + h).
    void SetRect(int x, int y, int w, int h);
    void SetClientArea(int x, int y, int w, int h);
    // Timers of the base library's timer service on this window: WM_TIMER
    // with wParam id every period milliseconds.
    _kwndTimer* SetKTimer(KThreadSystem* system, DWORD id, DWORD period);
    void KillKTimer(_kwndTimer*& timer);

    HWND GetHandle() const { return m_hWnd; }
    KGraph* GetGraph() const { return m_Graph; }
    KFont* GetKFont() const { return m_Font; }
    static const char* GetClassName() { return m_ClassName; }
    RECT* GetRect() { return &m_Rect; }
    RECT* GetClientArea() { return &m_ClientArea; }
    long GetWidth() const { return m_Rect.right - m_Rect.left; }
    long GetHeight() const { return m_Rect.bottom - m_Rect.top; }
    KSprite* GetBackSpr() const { return m_sprWndBack; }
    bool HasChild() const { return m_pChildList != NULL; }
    UINT GetID() const { return m_ID; }

    // ---- State word.
    DWORD GetState() const { return m_dwState.value; }
    void SetState(DWORD state) { m_dwState.SetState(state); }
    void AddState(DWORD bits) { m_dwState.Set(bits); }
    void SubState(DWORD bits) { m_dwState.Clr(bits); }
    bool IsHide() const { return m_dwState.Has(KWND_STATE_HIDE); }
    bool IsActive() const { return m_dwState.Has(KWND_STATE_ACTIVE); }
    void ShowWindow() { m_dwState.Clr(KWND_STATE_HIDE); }
    // Hides it and tells the parent, which drops it as capture and focus child.
    void HideWindow();
    void Disable() { m_dwState.Set(KWND_STATE_DISABLE); }
    void Enable() { m_dwState.Clr(KWND_STATE_DISABLE); }

    // ---- Children.
    // Appends child to the list (made on first use); the list never owns it.
    void AddChild(KestrelWnd* child);
    // Removes the first entry of child and clears each role it holds.
    void DelChild(KestrelWnd* child);
    void AddToChild(KestrelWnd* parent);
    void DelToChild(KestrelWnd* parent);
    void SetTopChild(KestrelWnd* child) { m_pTopChild = child; }
    void CatchChild(KestrelWnd* child) { m_pCatchChild = child; }
    void FocusChild(KestrelWnd* child) { m_pFocusChild = child; }
    void SetTopWnd();
    // Clears the capture and focus roles where they are child.
    void HideChild(KestrelWnd* child);

    // ---- Geometry, in the top window's client coordinates.
    bool IsInClient(long x, long y);
    // True when a child in the list that is not hidden has the point.
    bool IsInChild(long x, long y);
    // Moves the rectangle, the client area and every child in the list.
    void Move(long dx, long dy);
    void MoveTo(long x, long y);

    // ---- Back sprites. Each setter makes the field a view of src on rc
    // (replacing and releasing what the field held); colorKey sets
    // KWND_STATE_BACK_COLORKEY. KWND_STATE_BACK, _BACKEX and _BACKEX2 are
    // the host's to set.
    void SetBackExSprite(KSprite* src, int index, RECT& rc, bool colorKey);
    void SetBackEx2Sprite(KSprite* src, RECT& rc, bool colorKey);
    void SetBackSprite(KSprite* src, RECT& rc, bool colorKey);
    // The window's own back sprite, w x h in the device's default colour mode
    // (replacing one it had). Stays null when it cannot be made.
    void CreateWndBackSpr(long w, long h, DWORD flags);

    // ---- Handlers of the message table (each gets WPARAM and LPARAM; 16-bit
    // coordinates in LPARAM are signed).
    int OnDestroy(WPARAM wParam, LPARAM lParam);  // PostQuitMessage(0)
    int OnSize(WPARAM wParam, LPARAM lParam);     // only m_Rect's size changes
    int OnMove(WPARAM wParam, LPARAM lParam);     // only m_Rect moves
    int OnActive(WPARAM wParam, LPARAM lParam);   // KWND_STATE_ACTIVE; returns -1
    int OnPaint(WPARAM wParam, LPARAM lParam);    // in no table; returns -1
    // Mouse routers: post the message on to the child hit (top child, then
    // focus child, then the list, skipping hidden list children).
    int OnLButtonUp(WPARAM wParam, LPARAM lParam);
    int OnLButtonDown(WPARAM wParam, LPARAM lParam);
    int OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    int OnRButtonUp(WPARAM wParam, LPARAM lParam);
    int OnRButtonDown(WPARAM wParam, LPARAM lParam);
    int OnRButtonDblClk(WPARAM wParam, LPARAM lParam);
    // The capture child gets every move; otherwise the hover child that the
    // mouse has left gets KWM_MOUSELEAVE and the child hit gets the move.
    int OnMouseMove(WPARAM wParam, LPARAM lParam);
    // KWM_MOUSELEAVE (0, 0) to the hover child, when there is one.
    void MouseLeave();

    static HINSTANCE m_hInst;
    static char m_ClassName[32];
    static const KMessageFunc messageEntries[];

protected:
    // The one procedure of the class: finds the object in the user data and
    // walks its message tables.
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // A control's window of the shared class: made 1 x 1 at the origin, then
    // placed by SetRect, which keeps the logical rectangle and the window's
    // in step. 0, or Create's failure.
    long _createcontrol(const char* title, DWORD style, int x, int y, int w, int h,
                        KestrelWnd* parent, UINT id);
    long _createcontrol(const char* title, DWORD style, int x, int y, int w, int h, HWND parent,
                        UINT id);

    KestrelWnd* m_pParent;      // set by Create with a KestrelWnd* parent
    HWND m_hWnd;
    UINT m_ID;                  // the child id; notifications carry it
    KGraph* m_Graph;            // not owned
    RECT m_Rect;                // logical rectangle, top window's client coordinates
    RECT m_ClientArea;
    KFont* m_Font;              // not owned
    KWndChildList* m_pChildList;  // owned; null until the first AddChild
    KestrelWnd* m_pHoverChild;  // last sent WM_MOUSEMOVE by the router
    KestrelWnd* m_pCatchChild;  // capture: every move goes to it
    KestrelWnd* m_pFocusChild;  // hit-tested second, drawn after the list
    KestrelWnd* m_pTopChild;    // hit-tested first, drawn last
    KState<DWORD> m_dwState;
    POINT m_ptMouse;            // last position the move router saw
    KSprite* m_sprBackEx[KWND_SPR_NUMS];  // owned views: the frame pieces
    KSprite* m_sprBackEx2;      // owned view: the tiled piece
    KSprite* m_sprWndBack;      // owned: the window's back
    DWORD m_dwReserved;

private:
    // The windows whose m_pParent is this one: a parent released first
    // clears their link, so they never reach back into a freed parent.
    std::vector<KestrelWnd*> m_Dependents;
    void _linkparent(KestrelWnd* parent);
    void _unlinkparent();

    long _create(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                 int y, int w, int h, HWND parent, UINT id, const char* failText);
    // The first child hit at (x, y) in routing order, or null.
    KestrelWnd* _hitchild(long x, long y);
    bool _hitone(KestrelWnd* child, long x, long y);
    int _routeclick(UINT msg, WPARAM wParam, LPARAM lParam);
    static BOOL _postto(KestrelWnd* child, UINT msg, WPARAM wParam, LPARAM lParam);
    // Replaces `field` with a new view of src on rc.
    void _setview(KSprite*& field, KSprite* src, RECT& rc, bool colorKey);
    void _releasesprite(KSprite*& spr);
};

// The host's top-level window: message loops and the frame.
class KESTREL_API KestrelMainWnd : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    KestrelMainWnd();
    ~KestrelMainWnd() override;

    // Slot 9: one idle frame. Renders and returns 0; a host override returns
    // non-zero to end MessageRunIdle.
    virtual int OnIdle();

    // Get, translate, dispatch until WM_QUIT; returns 0.
    long MessageRun();
    // The game loop: dispatches a waiting message; with none, calls OnIdle
    // while the window is active and not minimised (as its last WM_ACTIVATE
    // said) and waits for a message while it is minimised. Ends with 0 on
    // WM_QUIT or a non-zero OnIdle. Renders from the start, before any
    // WM_ACTIVATE.
    long MessageRunIdle();
    // The window tree draws itself, then the device replays and presents:
    // the device's result (E_FAIL without a device).
    long Render(RECT* rect);

    int OnPaint(WPARAM wParam, LPARAM lParam);     // validates, records a draw; -1
    int OnMove(WPARAM wParam, LPARAM lParam);      // the device re-reads the rectangles; 0
    int OnActivate(WPARAM wParam, LPARAM lParam);  // m_bActive; 0
    // Nothing to release of its own.
    void Release();

protected:
    DWORD m_dwMainReserved;
    BYTE m_bActive;  // 1 while not minimised, as WM_ACTIVATE reported
};

// A window the host already has, used as the framework's top window. The
// host's own procedure keeps handling its messages.
class KESTREL_API VirtualKestrelWnd : public KestrelWnd {
public:
    VirtualKestrelWnd() = default;
    ~VirtualKestrelWnd() override;
    // Device, instance (stored in KestrelWnd::m_hInst, so Init registers
    // nothing after it), rectangle and the host's window. The window's user
    // data and client area are not touched.
    void Init(KGraph* pGraph, HINSTANCE hInst, long x, long y, long w, long h, HWND hWnd);
    // Forgets the window, device and instance, then releases the back sprites
    // and children's list, leaving the host's window alone.
    void Release();
};

// A host-side interface holding a device. The five operations are the host's
// own; the library never calls them.
class KESTREL_API KestrelFrame {
public:
    KestrelFrame();
    virtual ~KestrelFrame();
    virtual long Create() = 0;
    virtual void Destroy() = 0;
    virtual long Update() = 0;
    virtual long Render() = 0;
    virtual long OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;

    void SetGraph(KGraph* pGraph);
    KGraph* GetGraph() const { return m_Graph; }

protected:
    KGraph* m_Graph;  // not owned
    DWORD m_dwReserved;
};

// Frame pacing: Wait, once per frame, sleeps for what remains of the frame
// interval since the previous Wait.
class KESTREL_API KestrelFPS {
public:
    KestrelFPS();
    // Interval 1000 / fps milliseconds (integer); fps <= 0 changes nothing.
    void SetFPS(int fps);
    // Sleeps interval - (now - last) when that is positive; then takes the
    // time. The first call only takes the time.
    void Wait();
    // True while the interval has not passed since the last Wait (false
    // before the first).
    bool CheckRender();
    DWORD GetInterval() const { return m_dwInterval; }

private:
    DWORD m_dwInterval;  // milliseconds a frame
    DWORD m_dwLastTime;  // timeGetTime of the last Wait
    DWORD m_dwRest;      // the last elapsed or remaining time worked out
    bool m_bStarted;     // a Wait has happened (any clock value, 0 too)
};
