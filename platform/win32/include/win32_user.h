// Win32 windows: classes, styles, messages and the window calls the library
// makes. The windows live on the headless desktop (see desktop/desktop.h).
#pragma once

#include "win32_types.h"

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA, *PWNDCLASSA, *LPWNDCLASSA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_NOCLOSE 0x0200
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_TILED WS_OVERLAPPED
#define WS_ICONIC WS_MINIMIZE
#define WS_SIZEBOX WS_THICKFRAME
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_CHILDWINDOW WS_CHILD
#define WS_TILEDWINDOW WS_OVERLAPPEDWINDOW

// Extended window styles.
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_MDICHILD 0x00000040L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTEXTHELP 0x00000400L
#define WS_EX_RIGHT 0x00001000L
#define WS_EX_LEFT 0x00000000L
#define WS_EX_RTLREADING 0x00002000L
#define WS_EX_LTRREADING 0x00000000L
#define WS_EX_LEFTSCROLLBAR 0x00004000L
#define WS_EX_RIGHTSCROLLBAR 0x00000000L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L
#define WS_EX_APPWINDOW 0x00040000L
#define WS_EX_LAYERED 0x00080000L
#define WS_EX_OVERLAPPEDWINDOW (WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE)
#define WS_EX_PALETTEWINDOW (WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST)

#define CW_USEDEFAULT ((int)0x80000000)

// Window data indices for GetWindowLongA/SetWindowLongA.
#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)

// Class data indices.
#define GCL_MENUNAME (-8)
#define GCL_HBRBACKGROUND (-10)
#define GCL_HCURSOR (-12)
#define GCL_HICON (-14)
#define GCL_HMODULE (-16)
#define GCL_CBWNDEXTRA (-18)
#define GCL_CBCLSEXTRA (-20)
#define GCL_WNDPROC (-24)
#define GCL_STYLE (-26)
#define GCW_ATOM (-32)

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUERYENDSESSION 0x0011
#define WM_QUIT 0x0012
#define WM_QUERYOPEN 0x0013
#define WM_ERASEBKGND 0x0014
#define WM_SYSCOLORCHANGE 0x0015
#define WM_ENDSESSION 0x0016
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_CANCELMODE 0x001F
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_GETDLGCODE 0x0087
#define WM_NCMOUSEMOVE 0x00A0
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSDEADCHAR 0x0107
#define WM_KEYLAST 0x0108
#define WM_IME_STARTCOMPOSITION 0x010D
#define WM_IME_ENDCOMPOSITION 0x010E
#define WM_IME_COMPOSITION 0x010F
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
// Scroll codes: the low word of WM_HSCROLL / WM_VSCROLL's WPARAM.
#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8
#define WM_INITMENU 0x0116
#define WM_MENUSELECT 0x011F
#define WM_ENTERIDLE 0x0121
#define WM_CTLCOLOREDIT 0x0133
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WHEEL_DELTA 120  // one notch of the wheel
#define WM_PARENTNOTIFY 0x0210
#define WM_ENTERMENULOOP 0x0211
#define WM_EXITMENULOOP 0x0212
#define WM_CAPTURECHANGED 0x0215
#define WM_MOVING 0x0216
#define WM_ENTERSIZEMOVE 0x0231
#define WM_EXITSIZEMOVE 0x0232
#define WM_IME_SETCONTEXT 0x0281
#define WM_IME_NOTIFY 0x0282
#define WM_IME_CHAR 0x0286
#define WM_MOUSEHOVER 0x02A1
#define WM_MOUSELEAVE 0x02A3
#define WM_CUT 0x0300
#define WM_COPY 0x0301
#define WM_PASTE 0x0302
#define WM_CLEAR 0x0303
#define WM_UNDO 0x0304
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_ACTIVATE states.
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// WM_SIZE kinds.
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define SIZE_MAXSHOW 3
#define SIZE_MAXHIDE 4

// Mouse-message key states in WPARAM.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
#define SW_FORCEMINIMIZE 11
#define SW_MAX 11

// SetWindowPos flags and insert-after values.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200
#define SWP_NOSENDCHANGING 0x0400
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)

// Standard cursors and icons, named by number.
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)

// Classes. Names compare without regard to case. Registering a name that is
// already registered fails (0). A class with windows left cannot be
// unregistered.
ATOM WINAPI RegisterClassA(const WNDCLASSA* wc);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE hInstance);

// Windows. CreateWindowExA sends WM_NCCREATE and WM_CREATE to the procedure
// before it returns, and nothing after them: no WM_SIZE, WM_MOVE or
// activation (ShowWindow activates). With WS_CHILD and a parent it makes a
// child window placed in the parent's client coordinates, without a surface
// of its own, destroyed with its parent; WS_CHILD without a parent makes a
// top-level window. The window belongs to the calling thread. A window made
// with WS_VISIBLE needs painting at once.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
// Destroys first the top-level windows it owns, then sends WM_DESTROY to the
// window and after it to its children (each child's own children follow it),
// then WM_NCDESTROY from the deepest child up to the window. Its timers and
// queued messages go with it.
BOOL WINAPI DestroyWindow(HWND hwnd);
BOOL WINAPI IsWindow(HWND hwnd);
// The parent of a child window, the owner of a top-level one.
HWND WINAPI GetParent(HWND hwnd);
// What the default procedure does, and nothing more: TRUE for WM_NCCREATE;
// WM_PAINT validates the window; WM_SETTEXT, WM_GETTEXT and
// WM_GETTEXTLENGTH keep and read the window's text; WM_IME_CHAR sends WM_CHAR (the lead byte,
// then the trail byte of a double-byte code); WM_ACTIVATE that activates a
// window that is not minimised gives it the focus; WM_CLOSE destroys it.
// Everything else: 0.
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs the window's procedure at once on the calling thread (re-entrantly,
// from inside another procedure too) and returns its result.
LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Showing and activation. ShowWindow returns whether the window was visible
// before. For a top-level window the activating commands (SW_SHOWNORMAL,
// SW_SHOW, SW_RESTORE, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_SHOWDEFAULT)
// make it the active window, sending WM_ACTIVATE (LOWORD WA_INACTIVE, HIWORD
// minimised flag) to the window that was active and then WM_ACTIVATE
// (WA_ACTIVE) to it, unless it was active already in the same minimised
// state. SW_MINIMIZE, SW_SHOWMINNOACTIVE and SW_FORCEMINIMIZE minimise it
// and SW_HIDE hides it; an active window so minimised or hidden gets
// WM_ACTIVATE (WA_INACTIVE) and loses activation, and the focus inside it is
// dropped (WM_KILLFOCUS). SW_SHOWNA and SW_SHOWNOACTIVATE show without
// activating. A child window only changes its visibility. No WM_SIZE or
// WM_MOVE is sent.
BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow);
BOOL WINAPI IsWindowVisible(HWND hwnd);  // itself and every parent visible
BOOL WINAPI IsIconic(HWND hwnd);         // minimised
HWND WINAPI GetActiveWindow(void);

// Keyboard focus of the calling thread. SetFocus sends WM_KILLFOCUS (wParam
// the new focus) to the window that had it, then WM_SETFOCUS (wParam the old
// focus) to the new one, before it returns; it returns the old focus, or
// null (nothing changed) for a window that does not exist or belongs to
// another thread. A null window only takes the focus away.
HWND WINAPI SetFocus(HWND hwnd);
HWND WINAPI GetFocus(void);

// Painting. InvalidateRect marks the rectangle (the whole client area for
// null) as needing WM_PAINT. BeginPaint validates the window and returns a
// device context on it, with the bounds of what was invalid in rcPaint;
// EndPaint gives the context back.
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the window needs painting; FALSE for an
// unknown window.
BOOL WINAPI UpdateWindow(HWND hwnd);
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// Cursors and icons. The standard ones (instance null, IDC_* or IDI_*) have
// fixed handles; LoadIconA of a module gives its RT_GROUP_ICON resource of
// that name (registered with desktop::RegisterResource) one stable handle,
// null when there is none. SetCursor returns the cursor shown before;
// GetCursorPos is the pointer in screen coordinates, which injected mouse
// input moves (see desktop/desktop.h).
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI SetCursor(HCURSOR cursor);
HCURSOR WINAPI GetCursor(void);
BOOL WINAPI GetCursorPos(LPPOINT point);

// Class data of the window's class, shared by every window of it. On 64-bit
// the values are pointer-sized, as for the window data below; the set calls
// return the previous value (0 for an unknown window or index).
ULONG_PTR WINAPI GetClassLongA(HWND hwnd, int index);
ULONG_PTR WINAPI SetClassLongA(HWND hwnd, int index, LONG_PTR value);
ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index);
ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value);
#define GCLP_HCURSOR GCL_HCURSOR
#define GCLP_HICON GCL_HICON

// Window data. On 64-bit the values are pointer-sized, so user data can hold
// an address (the Long and LongPtr forms are the same calls).
LONG_PTR WINAPI GetWindowLongA(HWND hwnd, int index);
LONG_PTR WINAPI SetWindowLongA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);

// Geometry. The window rectangle is in screen coordinates; the client
// rectangle starts at (0, 0). A window whose style has WS_CAPTION has a frame
// 3 pixels wide on the left, right and bottom and 23 pixels on top. A child
// window is placed (MoveWindow, SetWindowPos) in its parent's client
// coordinates. A move sends WM_MOVE (the client area's top-left: in screen
// coordinates for a top-level window, in the parent's client coordinates for
// a child) and a change of size sends WM_SIZE (SIZE_RESTORED, the client
// width and height) and makes the window need painting.
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect);
BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu);
BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);

// Message boxes. The buttons and the default one come from the type; on the
// headless desktop nobody answers, so the default button is the answer (see
// desktop/desktop.h). 0 for a type with no such buttons.
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_CANCELTRYCONTINUE 0x00000006L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_TOPMOST 0x00040000L
#define MB_TYPEMASK 0x0000000FL
#define MB_DEFMASK 0x00000F00L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Device contexts: GetDC(hwnd) draws on the window's surface; GetDC(NULL) is
// the screen, which takes drawing and shows it nowhere.
HDC WINAPI GetDC(HWND hwnd);
int WINAPI ReleaseDC(HWND hwnd, HDC dc);

// Window text. SetWindowTextA sends WM_SETTEXT (lParam the text) and
// GetWindowTextA sends WM_GETTEXT (wParam the buffer's size in bytes, lParam
// the buffer), so a class with text of its own (the "EDIT" class) answers
// for itself; the default procedure keeps the text of every other window.
// WM_GETTEXT copies at most size - 1 bytes and always ends them with a NUL;
// it returns the bytes copied.
BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text);
int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size);
int WINAPI GetWindowTextLengthA(HWND hwnd);

// Client coordinates of the window to and from screen coordinates.
BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point);
BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point);

// Mouse capture: while a window of the calling thread holds it, mouse input
// at its top-level window goes to it, in its client coordinates, wherever
// the pointer is. SetCapture returns the previous holder.
HWND WINAPI SetCapture(HWND hwnd);
BOOL WINAPI ReleaseCapture(void);
HWND WINAPI GetCapture(void);

// The state of a key as of the key messages the calling thread has
// retrieved: bit 15 set while it is down.
SHORT WINAPI GetKeyState(int vk);

// The built-in "EDIT" class: one line of text bytes (double-byte GBK
// characters are kept whole), a selection in byte offsets and a limit.
//   WM_SETTEXT      replaces the text whatever the limit; selection (0, 0)
//   WM_GETTEXT      as for any window
//   EM_LIMITTEXT    wParam bytes at most (0: no limit beyond the class's own)
//   EM_SETSEL       (wParam, lParam) clamped to the text; -1 stands for its end
//   EM_GETSEL       writes start and end through wParam and lParam
//                   (DWORD*, either may be null); returns MAKELONG(start, end)
//   WM_CHAR         a byte from 0x20 up replaces the selection while the
//                   limit allows; a lead byte waits for its trail byte and
//                   the pair goes in whole or not at all; backspace deletes
//                   the selection or the character before the caret; Ctrl-C,
//                   Ctrl-V and Ctrl-X (3, 0x16, 0x18) copy, paste and cut
//                   through the process's clipboard
//   WM_KEYDOWN      Left, Right, Home, End (Shift extends the selection),
//                   Delete
#define ES_LEFT 0x0000L
#define ES_MULTILINE 0x0004L
#define ES_PASSWORD 0x0020L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_READONLY 0x0800L
#define ES_WANTRETURN 0x1000L
#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_GETLIMITTEXT 0x00D5
