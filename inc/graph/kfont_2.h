// KFont: the engine's font interface over double-byte text, and the two
// glyph-cache fonts built on GDI glyph outlines, KVectorFont and
// KSmoothVectorFont.
#pragma once
#include <windows.h>
#include <kexport.h>
#include "kstate.h"

class KGraph;

enum KFONT_ALIGN_TYPE : int {
    KFONT_ALIGN_LEFT = 0,
    KFONT_ALIGN_RIGHT = 1,
    KFONT_ALIGN_CENTER = 2,
};

#define KFONT_STATE_INIT 1

// The abstract font: the text walks (drawing, formatting, measuring) over
// zero-terminated double-byte text; a derived font supplies the glyphs.
class KESTREL_API KFont {
public:
    KFont() : m_nHeight(0), m_Graph(NULL) {}
    virtual ~KFont() {}
    KFont(const KFont&) = delete;  // fonts own DCs and caches: never copied
    KFont& operator=(const KFont&) = delete;

    virtual void Release() = 0;
    virtual int GetWidth(unsigned code) = 0;
    // Draws one character into a SPRITE_DATA; returns its advance.
    virtual int DrawChar(void* dst, long x, long y, DWORD colour, unsigned code) = 0;

    // Draws text with the top-left of its first cell at (x, y); returns 0.
    long DrawString(void* dst, long x, long y, DWORD colour, const char* text);
    // The same within maxWidth pixels: stops at the limit, or goes on at the
    // start of the next line (height + 1 lower) when wrap is set.
    long DrawString(void* dst, long x, long y, DWORD colour, const char* text,
                    long maxWidth, bool wrap);
    // Formats printf-style into a bounded buffer and draws the result.
    long Printf(void* dst, long x, long y, DWORD colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));

    // The advance of the whole text.
    int GetStringWidth(const char* text);
    // The advance of the characters that start within the first count bytes.
    int GetStringWidth(const char* text, unsigned count);
    // How many bytes from the start fit below width.
    int GetStringEnd(const char* text, long width);
    // Where the longest tail that fits below width begins.
    int GetStringBegin(const char* text, long width);

    void SetGraph(KGraph* graph);
    KGraph* GetGraph() const { return m_Graph; }
    // True once the font is made and until it is released; a device's
    // factory hands out only fonts that are.
    bool IsInited() const { return m_dwState.Has(KFONT_STATE_INIT); }
    long GetHeight() const { return m_nHeight; }
    void SetHeight(int h) { m_nHeight = h; }

protected:
    long m_nHeight;               // the text metric's full height
    KState<DWORD> m_dwState;      // KFONT_STATE_INIT once made
    KGraph* m_Graph;              // not owned
};

class KSprite;

// A font rendered by GDI one glyph at a time into 1-bit bitmaps, kept in a
// most-recently-used list of glyph nodes and drawn pixel by pixel in one
// colour. Every character is fixed-pitch: the full height from code 160 up,
// half of it below.
class KESTREL_API KVectorFont : public KFont {
public:
    // One cached glyph.
    struct _node {
        BYTE* pData;      // the glyph rows from GetGlyphOutlineA; owned, array new
        DWORD dwSize;     // bytes allocated at pData
        long width;       // the black box's width raised to a multiple of 4; 0: no pixels
        long height;      // the black box's height; 0: no pixels
        long advance;     // the cell advance (kept, not used for drawing)
        long xoffset;     // minus the box's left from the pen position
        long yoffset;     // the box's top above the baseline, minus the ascent
        unsigned code;    // the character code; kNoCode for none
        _node* next;      // towards the less recently used
        long x, y;        // the smooth font's cache cell; -1 for none
        _node* prev;      // towards the more recently used; null for the first
    };
    // The code of a node that holds no glyph: no character has it.
    static const unsigned kNoCode = 0xFFFFFFFFu;

    // A font with count glyph nodes over hFont, which the caller keeps alive
    // (and deletes) while the font lives. Check IsInited: a font whose DC,
    // metrics or nodes could not be made reports why and is not inited.
    KVectorFont(KGraph* pGraph, HFONT hFont, DWORD count);
    ~KVectorFont() override;

    void Release() override;
    int GetWidth(unsigned code) override;
    int DrawChar(void* dst, long x, long y, DWORD colour, unsigned code) override;
    // The glyph node of code, rendered when it is not cached, and made the
    // most recently used. Null only when its bits cannot be allocated.
    virtual _node* GetData(unsigned code);

protected:
    // Allocates and chains count nodes; false (with a report) when out of memory.
    bool _makenodes(DWORD count);
    // The node of code in format (GGO_BITMAP or GGO_GRAY8_BITMAP), and
    // whether it was rendered just now.
    _node* _lookup(unsigned code, UINT format, bool& rendered);
    // Renders code into node; false when its bits cannot be allocated.
    bool _render(_node* node, unsigned code, UINT format);
    // The cached node of code, or null.
    _node* _find(unsigned code);
    void _tofront(_node* node);
    // The code index: a page of 256 node pointers per lead byte, made when
    // first needed, so a cached glyph is found without walking the list.
    void _index(unsigned code, _node* node);
    void _freeindex();

    DWORD m_dwCacheCount;      // glyph nodes
    HDC m_hDC;                 // owned; the font is selected into it
    HFONT m_hFont;             // not owned, never deleted
    long m_nAscent;            // the text metric's ascent
    _node* m_lpKFontData;      // the most recently used node
    // The first node not yet searched: nodes from m_lpKFontData up to it hold
    // glyphs; null once every node does (then the last one is reused).
    _node* m_lpEndKFontData;
    _node* m_pNodes;           // the node array; owned, array new
    _node* m_lpLast;           // the last node of the list
    _node** m_lpIndex[256];    // pages of the code index; owned, array new
    bool m_bIndexLost;         // a page could not be made: search the list
};

// A font rendered into 65-level grey glyphs, kept in the cells of one 8-bit
// cache sprite and drawn through the device's colour-through-alpha blit.
class KESTREL_API KSmoothVectorFont : public KVectorFont {
public:
    // The cache sprite is CacheSprWidth x CacheSprHeight; each glyph takes a
    // square cell of the font height raised to a multiple of 4. A cache with
    // room for fewer than 2 cells is refused (reported, not inited).
    KSmoothVectorFont(KGraph* pGraph, HFONT hFont, long CacheSprWidth, long CacheSprHeight);
    ~KSmoothVectorFont() override;

    void Release() override;
    int DrawChar(void* dst, long x, long y, DWORD colour, unsigned code) override;
    _node* GetData(unsigned code) override;
    // Rewrites the node's whole cell from its grey bits (levels 1 to 64 as
    // 0 to 252, everything else 0).
    void DrawCache(_node* dat);

protected:
    KSprite* m_sprCache;  // owned, KCM_GRAY
    long m_nCellSize;     // the font height raised to a multiple of 4
};
