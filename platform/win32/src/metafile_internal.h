// The metafile side of the Win32 GDI subset: what a metafile handle holds,
// the surface the player draws on, and what the last play did. Not
// installed: nothing outside kplatform and its tests sees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace win32metafile {

// Metafile handles lie in their own range, so a handle of another kind is
// never taken for one.
constexpr uintptr_t kMetafileHandleBase = uintptr_t(0x4D) << 32;

// What a handle holds: a copy of the file's bytes and what was read from them
// when the handle was made.
struct Metafile {
    bool windows = false;        // a Windows metafile (else enhanced)
    std::vector<BYTE> bytes;     // the whole metafile from its first header
    METAFILEPICT picture = {};   // Windows metafiles: how the picture is sized
    WORD objects = 0;            // Windows metafiles: object-table size
    ENHMETAHEADER header = {};   // enhanced: as read; Windows: made up
    std::vector<PALETTEENTRY> palette;
};

// The metafile behind a handle, or null. Callers hold no lock: a handle is
// used by one thread at a time, as on Win32.
const Metafile* Find(HENHMETAFILE handle);

// Where the player's pixels go: rows top first, each pixel a COLORREF. The
// canvas clips to its own bounds and to its context's clip.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Writes `colour` to pixels x0 .. x1 - 1 of row y.
    virtual void Span(int y, int x0, int x1, COLORREF colour) = 0;
    // The colour of pixel (x, y); black outside the canvas.
    virtual COLORREF Get(int x, int y) const = 0;
};

// A canvas over a plain block of 32-bit pixels (0x00RRGGBB), for tests and
// for the player's own work.
class BufferCanvas : public Canvas {
public:
    BufferCanvas(uint32_t* pixels, int width, int height, size_t stride)
        : m_pixels(pixels), m_width(width), m_height(height), m_stride(stride)
    {
    }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void Span(int y, int x0, int x1, COLORREF colour) override;
    COLORREF Get(int x, int y) const override;

private:
    uint32_t* m_pixels;
    int m_width;
    int m_height;
    size_t m_stride;  // pixels from one row to the next
};

// What one play did: records read, records drawn or otherwise acted on,
// records skipped (outside what the player knows, or too short for what
// their type reads: those are counted again in `tooShort`), the work done
// (pixels written, rows and spans visited), and why the play stopped early
// (empty when it ran to its end).
struct PlayStats {
    unsigned records = 0;
    unsigned played = 0;
    unsigned skipped = 0;
    unsigned tooShort = 0;
    uint64_t work = 0;
    std::string stopped;
};

// Plays a metafile onto a canvas with its picture fitted to `rect`. False
// when a damaged record ended the play.
bool Play(const Metafile& metafile, Canvas& canvas, const RECT& rect, PlayStats* stats);

// The work a play of a metafile of `bytes` bytes may do before it stops.
uint64_t WorkAllowance(size_t bytes);

// The figures of the last play in this process.
PlayStats LastPlayStats();

}  // namespace win32metafile
