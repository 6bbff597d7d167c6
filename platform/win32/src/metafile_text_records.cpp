// Reading the text records of both formats, every field through the
// record's checked reader.
//
// Enhanced: a text record's text block is the reference point (8 bytes), a
// character count, the string's offset from the record's start, options, a
// rectangle (left out when the options say there is none) and the offset of
// the spacing array. Windows: 16-bit words, the string padded to an even
// length (or 16-bit glyph numbers with ETO_GLYPH_INDEX), the point after it
// (text out) or before it (extended text out).
#include "metafile_text_records.h"

#include "font_codes.h"

namespace win32metafile {

namespace {

constexpr DWORD kMaxChars = 1u << 20;

// The text block (40 bytes, 24 without its rectangle) at `at`.
bool ReadEmrText(const RecordBytes& r, size_t at, bool wide, bool knownRect, const Player& player,
                 TextRun& run)
{
    long x = 0, y = 0;
    DWORD count = 0, offString = 0, options = 0;
    if (!r.S32(at, x) || !r.S32(at + 4, y) || !r.U32(at + 8, count) || !r.U32(at + 12, offString) ||
        !r.U32(at + 16, options))
        return false;
    run.x = x;
    run.y = y;
    run.options = options;
    size_t next = at + 20;
    if (knownRect || !(options & kTextNoRect)) {
        long l, t, rr, b;
        if (!r.S32(next, l) || !r.S32(next + 4, t) || !r.S32(next + 8, rr) || !r.S32(next + 12, b))
            return false;
        run.hasRect = true;
        run.rect = {(LONG)l, (LONG)t, (LONG)rr, (LONG)b};
        next += 16;
    }
    DWORD offDx = 0;
    if (!r.U32(next, offDx))
        return false;
    // Glyph numbers are 16 bits in either record, one a spacing value.
    const bool glyphs = (options & kTextGlyphIndex) != 0;
    if (count > kMaxChars)
        return false;
    const size_t bytes = (size_t)count * (wide || glyphs ? 2 : 1);
    if (!r.Has(offString, bytes))
        return false;
    std::vector<size_t> first;
    const BYTE* text = r.Data() + offString;
    run.codes = glyphs ? GlyphCodes(text, count, 2, &first)
                : wide ? CodesFromUtf16(text, count, &first)
                       : CodesFromBytes(text, count, player.Font().charSet, &first);
    // Spacing: one value a byte or unit (two with vertical steps, of which
    // the player keeps the horizontal); a record without it uses the font's.
    const size_t each = (options & kTextPdy) ? 8 : 4;
    if (offDx != 0 && count != 0 && r.Has(offDx, (size_t)count * each)) {
        for (size_t i = 0; i < first.size(); i++) {
            const size_t end = i + 1 < first.size() ? first[i + 1] : count;
            long sum = 0;
            for (size_t k = first[i]; k < end; k++) {
                long v = 0;
                r.S32(offDx + k * each, v);
                sum += v;
            }
            run.dx.push_back(sum);
        }
    }
    return true;
}

bool ExtCreateFont(const RecordBytes& r, Player& player)
{
    // Slot, then the LOGFONTW: five 32-bit fields, eight bytes, 32 UTF-16
    // units of face name.
    DWORD slot = 0;
    long height = 0, width = 0, escapement = 0, weight = 0;
    if (!r.Has(12, 92) || !r.U32(8, slot) || !r.S32(12, height) || !r.S32(16, width) ||
        !r.S32(20, escapement) || !r.S32(28, weight))
        return false;
    Object o;
    o.kind = Object::kFont;
    LogicalFont& f = o.font;
    f.stock = false;
    f.height = height;
    f.width = width;
    f.escapement = escapement;
    f.weight = weight;
    const BYTE* b = r.Data();
    f.italic = b[32] != 0;
    f.underline = b[33] != 0;
    f.strikeOut = b[34] != 0;
    f.charSet = b[35];
    f.quality = b[38];
    f.pitchAndFamily = b[39];
    for (size_t i = 0; i < LF_FACESIZE; i++) {
        WORD c = 0;
        r.U16(40 + 2 * i, c);
        if (c == 0)
            break;
        f.face.push_back((char16_t)c);
    }
    return player.Put(slot, o);
}

bool SmallTextOut(const RecordBytes& r, Player& player)
{
    // x, y, count, options, graphics mode, two scales, the rectangle
    // unless left out, then 8-bit characters (Unicode's first 256) or
    // UTF-16 units.
    TextRun run;
    DWORD count = 0, options = 0;
    if (!r.S32(8, run.x) || !r.S32(12, run.y) || !r.U32(16, count) || !r.U32(20, options))
        return false;
    run.options = options;
    size_t at = 36;
    if (!(options & kTextNoRect)) {
        long l, t, rr, b;
        if (!r.S32(at, l) || !r.S32(at + 4, t) || !r.S32(at + 8, rr) || !r.S32(at + 12, b))
            return false;
        run.hasRect = true;
        run.rect = {(LONG)l, (LONG)t, (LONG)rr, (LONG)b};
        at += 16;
    }
    const bool small = (options & kTextSmallChars) != 0;
    if (count > kMaxChars || !r.Has(at, (size_t)count * (small ? 1 : 2)))
        return false;
    if (options & kTextGlyphIndex) {
        run.codes = GlyphCodes(r.Data() + at, count, small ? 1 : 2, nullptr);
    } else if (small) {
        for (DWORD i = 0; i < count; i++)
            run.codes.push_back(CodeOfChar(r.Data()[at + i]));
    } else {
        run.codes = CodesFromUtf16(r.Data() + at, count, nullptr);
    }
    return player.Text(run);
}

// A Windows metafile's font: height, width, escapement, orientation and
// weight as 16-bit words, eight bytes, then a face name of up to 32 bytes.
bool WmfCreateFont(const RecordBytes& r, Player& player)
{
    const size_t p = 6;
    Object o;
    o.kind = Object::kFont;
    LogicalFont& f = o.font;
    f.stock = false;
    if (!r.Has(p, 18) || !r.S16(p, f.height) || !r.S16(p + 2, f.width) ||
        !r.S16(p + 4, f.escapement) || !r.S16(p + 8, f.weight)) {
        player.Put(player.FreeSlot(), OtherObject());
        return false;
    }
    const BYTE* b = r.Data() + p;
    f.italic = b[10] != 0;
    f.underline = b[11] != 0;
    f.strikeOut = b[12] != 0;
    f.charSet = b[13];
    f.quality = b[16];
    f.pitchAndFamily = b[17];
    // The face name is in the font's own character set; as codes of code
    // page 936 and back to Unicode it becomes the name the faces know.
    size_t len = 0;
    while (len < LF_FACESIZE && r.Has(p + 18 + len, 1) && b[18 + len] != 0)
        len++;
    for (UINT code : CodesFromBytes(b + 18, len, f.charSet, nullptr)) {
        char32_t ch = 0;
        if (win32font::CharOfCode(code, ch) && ch < 0x10000)
            f.face.push_back((char16_t)ch);
    }
    player.Put(player.FreeSlot(), o);
    return true;
}

// Characters of a Windows metafile record: `count` bytes from byte `at`,
// or with `glyphs` `count` 16-bit glyph numbers; spacing (one word a byte
// or glyph) from byte `dxAt` when the record holds it.
bool WmfRun(const RecordBytes& r, size_t at, size_t count, bool glyphs, size_t dxAt, Player& player,
            TextRun& run)
{
    if (!r.Has(at, glyphs ? 2 * count : count))
        return false;
    std::vector<size_t> first;
    run.codes = glyphs ? GlyphCodes(r.Data() + at, count, 2, &first)
                       : CodesFromBytes(r.Data() + at, count, player.Font().charSet, &first);
    if (dxAt != 0 && count != 0 && r.Has(dxAt, count * 2)) {
        for (size_t i = 0; i < first.size(); i++) {
            const size_t end = i + 1 < first.size() ? first[i + 1] : count;
            long sum = 0;
            for (size_t k = first[i]; k < end; k++) {
                long v = 0;
                r.S16(dxAt + 2 * k, v);
                sum += v;
            }
            run.dx.push_back(sum);
        }
    }
    return true;
}

}  // namespace

bool PlayEnhancedText(DWORD type, const RecordBytes& r, Player& player)
{
    switch (type) {
    case kEmrSetTextAlign: {
        DWORD align = 0;
        if (!r.U32(8, align))
            return false;
        player.State().textAlign = align;
        return true;
    }
    case kEmrExtCreateFontIndirectW: return ExtCreateFont(r, player);
    case kEmrExtTextOutA:
    case kEmrExtTextOutW: {
        // Bounds, graphics mode and two scales, then the text block.
        TextRun run;
        if (!ReadEmrText(r, 36, type == kEmrExtTextOutW, false, player, run))
            return false;
        return player.Text(run);
    }
    case kEmrPolyTextOutA:
    case kEmrPolyTextOutW: {
        // Bounds, graphics mode, two scales, a count, then the text blocks,
        // each with its rectangle.
        DWORD strings = 0;
        if (!r.U32(36, strings) || strings > r.Size() / 40 || !r.Has(40, (size_t)strings * 40))
            return false;
        bool all = true;
        for (DWORD i = 0; i < strings; i++) {
            TextRun run;
            if (!ReadEmrText(r, 40 + (size_t)i * 40, type == kEmrPolyTextOutW, true, player, run))
                return false;
            all = player.Text(run) && all;
        }
        return all;
    }
    case kEmrSmallTextOut: return SmallTextOut(r, player);
    default: return false;
    }
}

bool PlayWindowsText(WORD function, const RecordBytes& r, Player& player)
{
    const size_t p = 6;  // the parameters
    switch (function) {
    case kWmfSetTextAlign: {
        WORD align = 0;
        if (!r.U16(p, align))
            return false;
        player.State().textAlign = align;
        return true;
    }
    case kWmfSetTextCharExtra: return r.S16(p, player.State().charExtra);
    case kWmfCreateFontIndirect: return WmfCreateFont(r, player);
    case kWmfTextOut: {
        // Length, the string (padded to even), y, x.
        WORD count = 0;
        if (!r.U16(p, count))
            return false;
        const size_t padded = ((size_t)count + 1) & ~size_t(1);
        TextRun run;
        if (!r.S16(p + 2 + padded, run.y) || !r.S16(p + 4 + padded, run.x) ||
            !WmfRun(r, p + 2, count, false, 0, player, run))
            return false;
        return player.Text(run);
    }
    case kWmfExtTextOut: {
        // y, x, length, options, the rectangle when the options use it,
        // the string (padded to even), then the spacing when present.
        TextRun run;
        WORD count = 0, options = 0;
        if (!r.S16(p, run.y) || !r.S16(p + 2, run.x) || !r.U16(p + 4, count) ||
            !r.U16(p + 6, options))
            return false;
        run.options = options;
        size_t at = p + 8;
        if (options & (kTextOpaque | kTextClipped)) {
            long l, t, rr, b;
            if (!r.S16(at, l) || !r.S16(at + 2, t) || !r.S16(at + 4, rr) || !r.S16(at + 6, b))
                return false;
            run.hasRect = true;
            run.rect = {(LONG)l, (LONG)t, (LONG)rr, (LONG)b};
            at += 8;
        }
        // With ETO_GLYPH_INDEX the string is the count's 16-bit glyph numbers.
        const bool glyphs = (options & kTextGlyphIndex) != 0;
        const size_t padded = glyphs ? 2 * (size_t)count : ((size_t)count + 1) & ~size_t(1);
        if (!WmfRun(r, at, count, glyphs, at + padded, player, run))
            return false;
        return player.Text(run);
    }
    default: return false;
    }
}

}  // namespace win32metafile
