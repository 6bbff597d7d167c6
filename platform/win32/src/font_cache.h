// The glyphs a face has rendered, kept so that measuring and drawing the
// same text again renders nothing. Bounded: the least recently used glyphs
// are dropped first. Needs nothing but <windows.h>, so tests can look at a
// font's cache without the font code's other headers. Not installed: nothing
// outside kplatform sees it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace win32font {

// One glyph as GetGlyphOutlineA gives it: metrics and the rows of the
// format it was rendered in. Never changed once made, so a caller may keep
// it after the cache has dropped it.
struct CachedGlyph {
    GLYPHMETRICS gm = {};
    std::vector<BYTE> bits;
    bool ok = false;  // false: the code has no glyph (GDI_ERROR)
};
typedef std::shared_ptr<const CachedGlyph> GlyphPtr;

class GlyphCache {
public:
    // A face keeps at most this many glyphs, and about this many bytes of
    // rows (beyond it only by the glyph added last): a few lines of any
    // script at any size a game shows.
    static constexpr size_t kMaxGlyphs = 512;
    static constexpr size_t kMaxBytes = size_t(4) << 20;

    // The glyph of a code in 1-bit (mono) or grey rows; null when it was
    // never rendered or has been dropped. A hit becomes the most recent.
    GlyphPtr Find(UINT code, bool mono);
    // Keeps a glyph as the most recent, dropping the oldest ones beyond
    // the bounds.
    void Add(UINT code, bool mono, GlyphPtr glyph);

    size_t Count() const { return m_order.size(); }
    size_t Bytes() const { return m_bytes; }

private:
    struct Entry {
        uint64_t key;
        GlyphPtr glyph;
    };
    static uint64_t _key(UINT code, bool mono) { return uint64_t(code) << 1 | (mono ? 1 : 0); }
    void _trim();

    std::list<Entry> m_order;  // most recent first
    std::unordered_map<uint64_t, std::list<Entry>::iterator> m_index;
    size_t m_bytes = 0;
};

// For tests: the number of glyphs the face behind a font keeps and the
// bytes of their rows (0 for a font not matched yet, or no font), and a way
// to drop every face no font holds, so that the next font renders from
// nothing.
size_t CachedGlyphCount(HFONT font);
size_t CachedGlyphBytes(HFONT font);
void ForgetIdleFaces();

}  // namespace win32font
