// GetGlyphOutlineA: one glyph of a memory context's font as Win32 glyph
// metrics and a 1-bit or 65-level bitmap, rendered by FreeType.
//
// Bitmap rows run top-down and each is padded to 4 bytes: 1-bit rows hold
// the leftmost pixel in the most significant bit, grey rows one byte a pixel
// from 0 (empty) to 64 (covered). The black box is the tight box around the
// rendered pixels.
#include "font_internal.h"
#include "desktop_internal.h"
#include "dib_stride.h"

#include FT_OUTLINE_H

#include <cstring>

using namespace win32font;

namespace {

// Rendered bitmaps larger than this are refused (a 4096-pixel font's
// largest glyphs stay well below it).
const uint64_t kMaxGlyphBytes = 256u << 20;
// Synthetic italic leans a glyph by this much (16.16): about 12 degrees.
const FT_Fixed kItalicShear = 0x0366A;

bool IsIdentity(const MAT2* m)
{
    return m->eM11.value == 1 && m->eM11.fract == 0 && m->eM12.value == 0 &&
           m->eM12.fract == 0 && m->eM21.value == 0 && m->eM21.fract == 0 &&
           m->eM22.value == 1 && m->eM22.fract == 0;
}

// Reads one pixel of a FreeType bitmap as coverage 0 to 255.
struct Source {
    const FT_Bitmap* bm;
    bool mono;
    unsigned At(unsigned x, unsigned y) const
    {
        const unsigned char* row = bm->buffer + size_t(y) * unsigned(bm->pitch);
        if (mono)
            return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        return row[x];
    }
};

// The tight box around the non-zero pixels; false when there are none.
bool InkBox(const Source& src, unsigned& left, unsigned& top, unsigned& right, unsigned& bottom)
{
    const unsigned w = src.bm->width, h = src.bm->rows;
    left = w;
    top = h;
    right = 0;
    bottom = 0;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            if (src.At(x, y) == 0)
                continue;
            if (x < left) left = x;
            if (x >= right) right = x + 1;
            if (y < top) top = y;
            if (y >= bottom) bottom = y + 1;
        }
    }
    return right > left && bottom > top;
}

// Renders a glyph into out (gm and bits as GetGlyphOutlineA returns them),
// in 1-bit rows (mono) or grey ones.
bool Render(Registry& r, Realized& font, UINT code, bool mono, CachedGlyph& out)
{
    FT_UInt index = 0;
    Face* found = FaceForCode(r, font, code, index);
    if (found == nullptr)
        return false;
    Face& face = *found;
    const FT_Int32 load = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face.face, index, load) != 0)
        return false;
    FT_GlyphSlot slot = face.face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    FT_Pos advance = slot->advance.x;
    if (face.syntheticItalic) {
        FT_Matrix shear = {0x10000, kItalicShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    if (face.syntheticBold) {
        const FT_Pos strength = font.em64 / 24;
        FT_Outline_Embolden(&slot->outline, strength);
        advance += strength;
    }
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.rows > 0 && bm.pitch <= 0)
        return false;  // FreeType renders top-down; anything else is not ours

    out.gm.gmCellIncX = SHORT((advance + 32) >> 6);
    out.gm.gmCellIncY = 0;
    out.bits.clear();
    Source src{&bm, mono};
    unsigned left, top, right, bottom;
    if (!InkBox(src, left, top, right, bottom)) {
        // No pixels: Win32 gives a 1 x 1 box and no bits.
        out.gm.gmBlackBoxX = 1;
        out.gm.gmBlackBoxY = 1;
        out.gm.gmptGlyphOrigin.x = 0;
        out.gm.gmptGlyphOrigin.y = 0;
        return true;
    }
    const unsigned w = right - left, h = bottom - top;
    out.gm.gmBlackBoxX = w;
    out.gm.gmBlackBoxY = h;
    out.gm.gmptGlyphOrigin.x = LONG(slot->bitmap_left + int(left));
    out.gm.gmptGlyphOrigin.y = LONG(slot->bitmap_top - int(top));

    const uint64_t pitch = uint64_t(gdi::DibStride(w, mono ? 1 : 8));
    if (pitch * h > kMaxGlyphBytes)
        return false;
    out.bits.assign(size_t(pitch * h), 0);
    for (unsigned y = 0; y < h; ++y) {
        BYTE* row = out.bits.data() + size_t(y) * pitch;
        for (unsigned x = 0; x < w; ++x) {
            const unsigned v = src.At(left + x, top + y);
            if (mono) {
                if (v != 0)
                    row[x >> 3] |= BYTE(0x80 >> (x & 7));
            } else {
                row[x] = BYTE((v * 64 + 127) / 255);
            }
        }
    }
    return true;
}

}  // namespace

namespace win32font {

GlyphPtr GlyphOf(Registry& r, Realized& font, UINT code, bool mono)
{
    if (GlyphPtr hit = font.glyphs.Find(code, mono))
        return hit;
    std::shared_ptr<CachedGlyph> glyph(new CachedGlyph);
    glyph->ok = Render(r, font, code, mono, *glyph);
    if (!glyph->ok) {
        glyph->gm = GLYPHMETRICS();
        glyph->bits.clear();
    }
    font.glyphs.Add(code, mono, glyph);
    return glyph;
}

}  // namespace win32font

DWORD WINAPI GetGlyphOutlineA(HDC dc, UINT code, UINT format, LPGLYPHMETRICS gm, DWORD size,
                              LPVOID buffer, const MAT2* matrix)
{
    if (desktop::detail::ShouldFail("GetGlyphOutlineA"))
        return GDI_ERROR;
    // The call takes code page 936 codes; the wider ones are the platform's own.
    if (gm == nullptr || matrix == nullptr || !IsIdentity(matrix) || code > 0xFFFF)
        return GDI_ERROR;
    if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY8_BITMAP)
        return GDI_ERROR;
    const bool desktopDc = IsDesktopDc(dc);
    Registry& r = Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    Font* font = RealizedFontOf(r, dc, desktopDc);
    if (font == nullptr)
        return GDI_ERROR;

    // Metrics are those of the grey glyph, whose rows a later call may want.
    const GlyphPtr glyph = GlyphOf(r, *font->realized, code, format == GGO_BITMAP);
    if (!glyph->ok)
        return GDI_ERROR;
    *gm = glyph->gm;
    if (format == GGO_METRICS)
        return 0;
    const DWORD needed = DWORD(glyph->bits.size());
    if (buffer == nullptr || size == 0)
        return needed;
    if (size < needed)
        return GDI_ERROR;
    if (needed != 0)
        std::memcpy(buffer, glyph->bits.data(), needed);
    return needed;
}
