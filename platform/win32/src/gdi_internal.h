// The GDI's own state, shared by the drawing code of the platform (bitmaps,
// blits, clipping, text, metafiles): device contexts, bitmaps and the pixels
// behind a context. Not installed: nothing outside kplatform sees it.
//
// Locking: one mutex guards every context and bitmap. Mutexes are taken in
// this order and never the other way round: the GDI's, the desktop's (a
// DcAccess on a window context holds both), the font registry's, the
// regions'. So drawing code may read fonts (SelectedFont, RealizedFontOf)
// while it holds a DcAccess, but must not call GetDC, ReleaseDC or
// anything else that takes the desktop's or the GDI's mutex.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "dib_stride.h"
#include "kept_nodes.h"

namespace gdi {

// Handle ranges above 4 GiB, one per kind, apart from every other kind.
constexpr uintptr_t kBitmapHandleBase = uintptr_t(0x42) << 32;
constexpr uintptr_t kPaletteHandleBase = uintptr_t(0x50) << 32;
constexpr uintptr_t kIconHandleBase = uintptr_t(0x49) << 32;

// Where one colour channel sits in a 16- or 32-bit pixel.
struct Channel {
    DWORD mask = 0;
    int shift = 0;  // of the lowest bit
    int bits = 0;
};

// The layout of a surface's pixels: depth, channels or colour table.
struct PixelFormat {
    int bpp = 32;                 // 1, 4, 8, 16, 24 or 32
    Channel red, green, blue;     // 16 and 32 bits
    std::vector<RGBQUAD> colors;  // up to 8 bits: the colour table
};

// A channel from a mask: false unless the mask is one run of set bits.
bool MakeChannel(DWORD mask, Channel& c);
// The default formats: 5-5-5 at 16 bits, 8-8-8 at 24 and 32.
void SetDefaultMasks(PixelFormat& f);
// One channel's bits of an 8-bit value (the top bits kept, or the byte
// repeated to fill a wider channel), and back (the channel's bits repeated
// from the top down to fill eight).
DWORD EncodeChannel(const Channel& c, BYTE v);
BYTE DecodeChannel(const Channel& c, DWORD value);
// The stored pixel value nearest to a COLORREF: each channel cut to its bits,
// or the nearest colour-table entry (the first of equals) below 16 bits.
DWORD EncodeColor(const PixelFormat& f, COLORREF color);
// The COLORREF of a stored value: channels widened by repeating their bits,
// or the colour-table entry (black past its end).
COLORREF DecodeColor(const PixelFormat& f, DWORD value);

// Reads the format of a BITMAPINFO: depth, masks, and the colour table (or,
// with colors false, a zeroed table of its length). False for a format no
// bitmap here holds (compressed rows among them).
bool ReadDibFormat(const BITMAPINFO* bmi, PixelFormat& f, bool colors);

// The format of a device-dependent bitmap of the depth: the default masks,
// or black and white, the 16 standard colours, or those and a colour cube
// and grey ramp for 8 bits.
PixelFormat DeviceFormat(int bpp);

// A bitmap: its pixels in rows of `stride` bytes. Device-dependent bitmaps
// keep their rows top-down; a DIB section keeps the order it was made with.
struct Bitmap {
    int width = 0;
    int height = 0;
    PixelFormat format;
    int64_t stride = 0;        // bytes a row, padded to 4
    bool dibSection = false;
    bool topDown = true;       // the first row in memory is the top one
    DWORD compression = BI_RGB;  // as made (BI_BITFIELDS for sections with masks)
    BYTE* bits = nullptr;      // malloc'd, owned; stays put for the bitmap's life
    bool stock = false;
    HDC selectedInto = nullptr;

    ~Bitmap();
    // Row y counted from the top.
    BYTE* Row(int y) const
    {
        return bits + (topDown ? int64_t(y) : int64_t(height - 1 - y)) * stride;
    }
};

// An icon of CreateIconIndirect: its own copies of the bitmaps.
struct Icon {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    std::unique_ptr<Bitmap> mask;
    std::unique_ptr<Bitmap> color;  // null for a monochrome icon
};

// A copy of the bitmap's pixels and format, not selected anywhere; null
// when memory runs out.
std::unique_ptr<Bitmap> CopyBitmap(const Bitmap& b);

enum class DcKind { Memory, Window, Screen };

// A device context's attributes. Window and screen contexts draw into the
// desktop's surfaces; memory contexts into their selected bitmap.
struct Dc {
    DcKind kind = DcKind::Memory;
    HWND hwnd = nullptr;        // window contexts
    HBITMAP bitmap = nullptr;   // memory contexts: the selected bitmap
    HPALETTE palette = nullptr;
    bool hasClip = false;
    std::vector<RECT> clip;     // device coordinates, banded, while hasClip
    // The drawable rectangles last found for a surface whose pixels lie in
    // cachedBounds; a change of the clip region sets cachedValid to false.
    std::vector<RECT> visibleCache;
    RECT cachedBounds = {};
    bool cachedValid = false;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    // The colour of the selected brush, read by the pattern raster
    // operations; the stock white brush at first.
    COLORREF brushColor = RGB(255, 255, 255);
};

// Everything the GDI keeps.
struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, Dc> dcs;
    std::map<uintptr_t, std::unique_ptr<Bitmap>> bitmaps;
    uint64_t bitmapSerial = 0;
    HBITMAP stockBitmap = nullptr;  // 1 x 1 monochrome, selected into new memory contexts
    std::map<uintptr_t, std::vector<PALETTEENTRY>> palettes;
    uint64_t paletteSerial = 0;
    HPALETTE stockPalette = nullptr;  // DEFAULT_PALETTE
    std::map<uintptr_t, Icon> icons;
    uint64_t iconSerial = 0;
    // The map nodes of released contexts, with the storage of their
    // rectangle lists, kept for the next context entered.
    KeptNodes<std::map<uintptr_t, Dc>> keptDcs;

    explicit Registry(size_t keptContexts) : keptDcs(keptContexts) {}

    // All of these expect the mutex held.
    // The context (a window or screen context of the desktop is entered on
    // first use); null for an unknown handle. desktopLocked: the caller
    // holds the desktop's mutex too.
    Dc* FindDc(HDC dc, bool desktopLocked = false);
    // Enters a context under the handle, in a kept node when there is one.
    Dc& EnterDc(uintptr_t handle, const Dc& entry);
    // Removes a context, keeping its node for the next one.
    void DropDc(std::map<uintptr_t, Dc>::iterator it);
    Bitmap* FindBitmap(HGDIOBJ handle);
    HBITMAP AddBitmap(std::unique_ptr<Bitmap> bitmap);
    HBITMAP StockBitmap();
    HPALETTE StockPalette();
};

// Kept for the life of the process.
Registry& Gdi();

// A new bitmap of the format, zeroed, rows top-down unless bottomUp; null
// when the size is refused or memory runs out.
std::unique_ptr<Bitmap> NewBitmap(int width, int height, const PixelFormat& format,
                                  bool bottomUp = false);

// The pixels a context draws into, while a DcAccess holds it.
struct Surface {
    int width = 0;
    int height = 0;
    const PixelFormat* format = nullptr;
    BYTE* base = nullptr;  // null: the screen, which has a size but keeps nothing
    int64_t stride = 0;    // bytes between row y and row y + 1 (negative for bottom-up)
    // A monochrome device bitmap: colour reaches it, and leaves it, through
    // the text and background colours.
    bool mono = false;
    // A window's surface keeps 0x00RRGGBB: the top byte stays 0.
    bool window = false;
    BYTE* Row(int y) const { return base + int64_t(y) * stride; }
};

class DcAccess;

// Pixels a transfer reads: rows of a surface or of a device-independent
// bitmap, top-down (row y at base + y * stride). Rows outside [rowLo, rowHi)
// were not given and are skipped.
struct Source {
    const PixelFormat* format = nullptr;
    int width = 0;
    int height = 0;
    const BYTE* base = nullptr;
    int64_t stride = 0;
    int rowLo = 0;
    int rowHi = 0;
    bool mono = false;        // a monochrome device bitmap
    bool window = false;      // a window surface (its values need no masking)
    COLORREF bkColor = 0;     // the source context's background colour
};

// Where a transfer reads and writes: w x h pixels at (x, y) from sw x sh
// source pixels at (sx, sy), all in top-down rows. A negative size runs
// back from its origin's pixel, which it includes: (1, -2) covers pixels 0
// and 1. A negative size on one side only mirrors. Every destination pixel
// takes the source pixel nearest to its centre.
struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
    int sx = 0, sy = 0, sw = 0, sh = 0;
};

// Draws through the raster operation (the third byte of a ROP3 code): each
// destination pixel within the context's drawable area and with a source
// pixel becomes rop(P, S, D) over the stored values. src may be null for
// operations that read no source. False when the geometry is empty.
bool Transfer(DcAccess& dest, const Source* src, const Geometry& g, DWORD rop);
// The same onto any surface, within the visible rectangles, with the text,
// background and brush colours of dc.
bool TransferTo(Surface& dest, const std::vector<RECT>& visible, const Dc& dc, const Source* src,
                const Geometry& g, DWORD rop);
// Whether plain copies between 24- and 32-bit rows take their row loops
// (the default) or the general per-pixel path (KESTREL_BLIT=ref at start,
// or false here: tests compare the two).
bool FastTransfers();
void SetFastTransfers(bool fast);
// The ROP3 function over pixel values, bit by bit: bit i of `code` is the
// result for P, S, D bits with i = P << 2 | S << 1 | D.
DWORD ApplyRop(BYTE code, DWORD p, DWORD s, DWORD d);
// Whether a ROP3 code reads the source, the destination, the pattern.
bool RopUsesSource(BYTE code);
bool RopUsesDest(BYTE code);
bool RopUsesPattern(BYTE code);

// Reads and writes pixel x of a row of the format.
DWORD ReadPixel(const PixelFormat& f, const BYTE* row, int x);
void WritePixel(const PixelFormat& f, BYTE* row, int x, DWORD value);

// A context held for drawing: the GDI mutex (and for a window context the
// desktop's) stays locked while this lives. ok() is false for an unknown
// context, a window that is gone or a memory context without pixels.
class DcAccess {
public:
    explicit DcAccess(HDC dc);
    // A second context while `held` holds the locks (the source of a blit).
    DcAccess(HDC dc, DcAccess& held);
    DcAccess(const DcAccess&) = delete;
    DcAccess& operator=(const DcAccess&) = delete;
    ~DcAccess();

    bool ok() const { return m_dc != nullptr; }
    Dc& dc() { return *m_dc; }
    Surface& surface() { return m_surface; }
    // The drawable rectangles: the clip region within the surface, banded.
    const std::vector<RECT>& visible() const { return m_dc->visibleCache; }
    // Where the surface has pixels (a child window's client area may reach
    // past its top-level window's surface).
    const RECT& bounds() const { return m_bounds; }
    // Finds the drawable rectangles again after the clip region changed.
    void Refresh();
    // Sets pixel (x, y) to the colour when it is drawable.
    void PutPixel(int x, int y, COLORREF color);
    // Sets pixels [x0, x1) of row y to the colour where they are drawable.
    void FillSpan(int x0, int x1, int y, COLORREF color);
    // The window whose surface this is, for the presentation count; null
    // for other contexts.
    void* window() const { return m_window; }
    // Marks a rectangle of the surface as drawn. What was drawn on a window
    // reaches a screen backend when the access ends, as GDI drawing on a
    // window shows at once.
    void Touch(int left, int top, int right, int bottom);

private:
    void _open(HDC dc, bool desktopHeld);
    void _cacheVisible(const RECT& bounds);
    void _showOnScreen();

    std::unique_lock<std::mutex> m_lock;
    std::unique_lock<std::mutex> m_desktopLock;
    Dc* m_dc = nullptr;
    Surface m_surface;
    void* m_window = nullptr;
    RECT m_bounds = {0, 0, 0, 0};
    RECT m_touched = {0, 0, 0, 0};
};

// The drawable rectangles of a context whose surface has pixels within
// bounds: its clip region within them (all of them without one). They
// replace what `out` held, in its storage.
void VisibleRects(const Dc& dc, const RECT& bounds, std::vector<RECT>& out);

// Forgets the GDI state of a window or screen context that was released.
void ForgetDc(HDC dc);
// Enters a new memory context (its stock bitmap selected); false when the
// compatible context is unknown.
bool AddMemoryDc(HDC dc);
// Removes a memory context, freeing its selected bitmap for other use.
bool RemoveMemoryDc(HDC dc);
// Selects a bitmap, palette or region into a context (SelectObject for
// everything but fonts); null when the object is none of these.
HGDIOBJ SelectNonFont(HDC dc, HGDIOBJ object);
// Frees a bitmap, palette or icon: 1 done (or stock), 0 not one of them, -1
// still selected into a context.
int DeleteGdiObject(HGDIOBJ object);
int DeletePalette(HGDIOBJ object);
// The font selected into the context as the font registry keeps it (stock
// SYSTEM_FONT for a context that has never had one).
HFONT SelectedFont(HDC dc);

}  // namespace gdi
