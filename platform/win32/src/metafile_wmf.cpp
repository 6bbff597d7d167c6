// Windows metafile records.
//
// A record is its size in 16-bit words (4 bytes, the size counting itself),
// its function number (2 bytes) and its parameters, 16-bit words that most
// records list last coordinate first (y before x, bottom before top). The
// metafile ends at the record of function 0.
#include "metafile_bytes.h"
#include "metafile_palette.h"
#include "metafile_more_records.h"
#include "metafile_readers.h"
#include "metafile_sizes.h"
#include "metafile_text_records.h"

namespace win32metafile {

const char kStopPastEnd[] = "metafile record runs past the end of the metafile";
const char kStopTooShort[] = "metafile record too short for its own size field";
const char kStopWorkSpent[] = "metafile playback stopped: the picture asks more work than its size allows";

namespace {

enum : WORD {
    kEof = 0x0000,
    kSetBkColor = 0x0201,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kSetStretchBltMode = 0x0107,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kScaleWindowExt = 0x0410,
    kOffsetViewportOrg = 0x0211,
    kScaleViewportExt = 0x0412,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kArc = 0x0817,
    kEllipse = 0x0418,
    kPie = 0x081A,
    kRectangle = 0x041B,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kSaveDc = 0x001E,
    kSetPixel = 0x041F,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kRestoreDc = 0x0127,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kChord = 0x0830,
    kSetDibToDev = 0x0D33,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kFrameRegion = 0x0429,
    kPolyPolygon = 0x0538,
    kDibBitBlt = 0x0940,
    kDibStretchBlt = 0x0B41,
    kDibCreatePatternBrush = 0x0142,
    kStretchDib = 0x0F43,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kCreatePenIndirect = 0x02FA,
    kCreateBrushIndirect = 0x02FC,
    kCreateRegion = 0x06FF,
};

// Points as x, y pairs of words from word `first` on; false when the record
// is shorter than the count says.
bool ReadPoints(const WindowsParams& p, size_t first, size_t count, std::vector<POINT>& out)
{
    if (first + 2 * count > p.Count())
        return false;
    for (size_t i = 0; i < count; i++)
        out.push_back({(LONG)p.W(first + 2 * i), (LONG)p.W(first + 2 * i + 1)});
    return true;
}

bool PolyPolygonRecord(const WindowsParams& p, Player& player)
{
    if (p.Count() < 1)
        return false;
    const size_t n = (WORD)p.W(0);
    if (1 + n > p.Count())
        return false;
    std::vector<std::vector<POINT>> polys(n);
    size_t at = 1 + n;
    for (size_t i = 0; i < n; i++) {
        const size_t count = (WORD)p.W(1 + i);
        if (!ReadPoints(p, at, count, polys[i]))
            return false;
        at += 2 * count;
    }
    player.PolyPolygon(polys);
    return true;
}

// The next free slot of the object table takes the object; a full table
// loses it, as GDI fails the call.
void Create(Player& player, const Object& object)
{
    player.Put(player.FreeSlot(), object);
}

bool CreatesObject(WORD function)
{
    switch (function) {
    case kWmfCreatePalette:
    case kCreatePatternBrush:
    case kCreatePenIndirect:
    case kWmfCreateFontIndirect:
    case kCreateBrushIndirect:
    case kDibCreatePatternBrush:
    case kCreateRegion:
        return true;
    default:
        return false;
    }
}

Object PenObject(const WindowsParams& p)
{
    Object o;
    o.kind = Object::kPen;
    const long style = (WORD)p.W(0) & 0x0F;
    o.pen.style = style == kPenUserStyle ? kPenSolid : (int)style;
    o.pen.width = p.W(1);
    SetPenShape((WORD)p.W(0), o.pen);
    o.pen.colour = p.D(3);  // its palette entry taken when selected
    return o;
}

Object BrushObject(const WindowsParams& p)
{
    Object o;
    o.kind = Object::kBrush;
    const long style = (WORD)p.W(0);
    o.brush.style = style == kBrushSolid || style == kBrushHatched ? (int)style : kBrushNull;
    o.brush.colour = p.D(1);
    o.brush.hatch = (int)(WORD)p.W(3);
    return o;
}

// A region object: its chain link, type, object count, size in bytes, scan
// count and tallest scan, its bounds, then the scans: a count of x
// coordinates, top, bottom, the coordinates in left-right pairs, and the
// count again.
bool RegionObject(const WindowsParams& p, Object& out)
{
    if (p.Count() < 11)
        return false;
    const size_t scans = (WORD)p.W(5);
    size_t at = 11;
    out = Object();
    out.kind = Object::kRegion;
    for (size_t i = 0; i < scans; i++) {
        if (at + 3 > p.Count())
            return false;
        const size_t count = (WORD)p.W(at);
        const long top = p.W(at + 1), bottom = p.W(at + 2);
        if (at + 4 + count > p.Count())
            return false;
        for (size_t k = 0; k + 1 < count; k += 2)
            out.region.push_back({(LONG)p.W(at + 3 + k), (LONG)top, (LONG)p.W(at + 4 + k), (LONG)bottom});
        at += 4 + count;
    }
    return true;
}

// The region records: the region's slot first, then the brush's and the
// frame's height and width.
bool RegionRecord(WORD function, const WindowsParams& p, Player& player)
{
    const Object* o = p.Count() >= 1 ? player.At((WORD)p.W(0)) : nullptr;
    if (o == nullptr || o->kind != Object::kRegion)
        return false;
    const std::shared_ptr<const ClipRegion> region = player.Region(o->region, true);
    Brush brush = player.State().brush;
    switch (function) {
    case kSelectClipRegion:
        return player.CombineClip(region.get(), kRegionCopy);
    case kInvertRegion:
        player.InvertRegion(*region);
        return true;
    case kPaintRegion:
        player.FillRegion(*region, brush);
        return true;
    default:
        if (p.Count() < 2 || !player.BrushOf((WORD)p.W(1), brush))
            return false;
        if (function == kFillRegion) {
            player.FillRegion(*region, brush);
        } else {
            if (p.Count() < 4)
                return false;
            player.FrameRegion(*region, brush, p.W(3), p.W(2));
        }
        return true;
    }
}

// The blit records: with a DIB after the raster operation and rectangles, or
// (one word longer before the DIB would start) without one.
bool BlitRecord(WORD function, const WindowsParams& p, Player& player)
{
    const DWORD rop = p.D(0);
    DibRef dib;
    switch (function) {
    case kPatBlt:
        if (p.Count() < 6)
            return false;
        return player.Blit(p.W(5), p.W(4), p.W(3), p.W(2), nullptr, 0, 0, 0, 0, rop);
    case kDibBitBlt:
        if (p.Count() == 7)  // no bitmap: a reserved word, then the rectangle
            return player.Blit(p.W(6), p.W(5), p.W(4), p.W(3), nullptr, 0, 0, 0, 0, rop);
        if (p.Count() == 9)  // no bitmap as the system writes it: source y, x, a reserved word
            return player.Blit(p.W(8), p.W(7), p.W(6), p.W(5), nullptr, 0, 0, 0, 0, rop);
        if (p.Count() < 8 || !SplitPackedDib(p.At(8), p.BytesFrom(8), dib))
            return false;
        return player.Blit(p.W(7), p.W(6), p.W(5), p.W(4), &dib, p.W(3), p.W(2), p.W(5), p.W(4),
                           rop);
    case kDibStretchBlt:
        if (p.Count() == 11)
            return player.Blit(p.W(10), p.W(9), p.W(8), p.W(7), nullptr, 0, 0, 0, 0, rop);
        if (p.Count() < 10 || !SplitPackedDib(p.At(10), p.BytesFrom(10), dib))
            return false;
        return player.Blit(p.W(9), p.W(8), p.W(7), p.W(6), &dib, p.W(5), p.W(4), p.W(3), p.W(2),
                           rop);
    case kStretchDib:
        // The colour use word sits after the raster operation.
        if (p.Count() < 11 || !SplitPackedDib(p.At(11), p.BytesFrom(11), dib, (WORD)p.W(2)))
            return false;
        UsePaletteIndexes((WORD)p.W(2), player, dib);
        return player.StretchDibits(p.W(10), p.W(9), p.W(8), p.W(7), dib, p.W(6), p.W(5), p.W(4),
                                    p.W(3), rop);
    default:  // kSetDibToDev: colour use, scan count, start scan, then as BitBlt
        if (p.Count() < 9 || !SplitPackedDib(p.At(9), p.BytesFrom(9), dib, (WORD)p.W(0)))
            return false;
        UsePaletteIndexes((WORD)p.W(0), player, dib);
        dib.scans = (WORD)p.W(1);
        dib.startScan = (WORD)p.W(2);
        return player.SetDibits(p.W(8), p.W(7), p.W(6), p.W(5), dib, p.W(4), p.W(3));
    }
}

// Plays one record; false when it is outside what the player draws or too
// short for its parameters.
bool PlayRecord(WORD function, const WindowsParams& p, Player& player)
{
    const size_t n = p.Count();
    DcState& s = player.State();
    std::vector<POINT> points;
    switch (function) {
    case kSetBkColor:
        s.background = player.Colour(p.D(0));
        return n >= 2;
    case kSetTextColor:
        s.text = player.Colour(p.D(0));
        return n >= 2;
    case kSetBkMode:
        s.backgroundMode = (int)p.W(0);
        return n >= 1;
    case kSetPolyFillMode:
        s.fillMode = p.W(0) == kFillWinding ? kFillWinding : kFillAlternate;
        return n >= 1;
    case kSetMapMode:
        player.SetMapMode((int)p.W(0));
        return n >= 1;
    case kSetRop2:
        return n >= 1 && player.SetRop2((int)p.W(0));
    case kSetStretchBltMode:
        return true;  // nothing the player draws depends on them
    case kSetWindowOrg:
        player.SetWindowOrg(p.W(1), p.W(0));
        return n >= 2;
    case kSetWindowExt:
        player.SetWindowExt(p.W(1), p.W(0));
        return n >= 2;
    case kSetViewportOrg:
        player.SetViewportOrg(p.W(1), p.W(0));
        return n >= 2;
    case kSetViewportExt:
        player.SetViewportExt(p.W(1), p.W(0));
        return n >= 2;
    case kOffsetWindowOrg:
        player.OffsetWindowOrg(p.W(1), p.W(0));
        return n >= 2;
    case kOffsetViewportOrg:
        player.OffsetViewportOrg(p.W(1), p.W(0));
        return n >= 2;
    case kScaleWindowExt:
        player.ScaleWindowExt(p.W(3), p.W(2), p.W(1), p.W(0));
        return n >= 4;
    case kScaleViewportExt:
        player.ScaleViewportExt(p.W(3), p.W(2), p.W(1), p.W(0));
        return n >= 4;
    case kMoveTo:
        player.MoveTo(p.W(1), p.W(0));
        return n >= 2;
    case kLineTo:
        if (n < 2)
            return false;
        player.LineTo(p.W(1), p.W(0));
        return true;
    case kRectangle:
    case kEllipse:
    case kExcludeClipRect:
    case kIntersectClipRect:
        if (n < 4)
            return false;
        if (function == kRectangle)
            player.Rectangle(p.W(3), p.W(2), p.W(1), p.W(0));
        else if (function == kEllipse)
            player.Ellipse(p.W(3), p.W(2), p.W(1), p.W(0));
        else if (function == kExcludeClipRect)
            player.ExcludeClip(p.W(3), p.W(2), p.W(1), p.W(0));
        else
            player.IntersectClip(p.W(3), p.W(2), p.W(1), p.W(0));
        return true;
    case kRoundRect:
        if (n < 6)
            return false;
        player.RoundRect(p.W(5), p.W(4), p.W(3), p.W(2), p.W(1), p.W(0));
        return true;
    case kArc:
    case kPie:
    case kChord:
        if (n < 8)
            return false;
        player.Arc(function == kArc ? Player::kArc : function == kPie ? Player::kPie : Player::kChord,
                   p.W(7), p.W(6), p.W(5), p.W(4), p.W(3), p.W(2), p.W(1), p.W(0));
        return true;
    case kPolygon:
    case kPolyline:
        if (n < 1 || !ReadPoints(p, 1, (WORD)p.W(0), points))
            return false;
        if (function == kPolygon)
            player.Polygon(points);
        else
            player.Polyline(points);
        return true;
    case kPolyPolygon:
        return PolyPolygonRecord(p, player);
    case kSetPixel:
        if (n < 4)
            return false;
        player.SetPixel(p.W(3), p.W(2), player.Colour(p.D(0)));
        return true;
    case kSaveDc:
        player.Save();
        return true;
    case kRestoreDc:
        return n >= 1 && player.Restore(p.W(0));
    case kSelectObject:
        return n >= 1 && player.Select((WORD)p.W(0));
    case kDeleteObject:
        return n >= 1 && player.Delete((WORD)p.W(0));
    case kCreatePenIndirect:
        if (n < 5) {
            Create(player, OtherObject());
            return false;
        }
        Create(player, PenObject(p));
        return true;
    case kCreateBrushIndirect:
        if (n < 3) {
            Create(player, OtherObject());
            return false;
        }
        Create(player, BrushObject(p));
        return true;
    case kDibCreatePatternBrush: {
        // Style, colour use, then a packed bitmap. A pattern recorded from a
        // device bitmap (BS_PATTERN) draws a monochrome one in the text and
        // background colours. One the player cannot read still takes its
        // slot, as a brush that fills nothing.
        Object o;
        o.kind = Object::kBrush;
        o.brush.style = kBrushNull;
        // A BS_PATTERN one's colour use is always DIB_RGB_COLORS.
        DibRef dib;
        const DWORD usage = p.W(0) == kBrushPattern ? DIB_RGB_COLORS : (WORD)p.W(1);
        UsePaletteIndexes(usage, player, dib);
        const bool read = n >= 2 && SplitPackedDib(p.At(2), p.BytesFrom(2), dib, usage) &&
                          player.PatternBrush(dib, p.W(0) == kBrushPattern, o.brush);
        Create(player, o);
        return read;
    }
    case kWmfSetTextAlign:
    case kWmfSetTextCharExtra:
    case kWmfTextOut:
    case kWmfExtTextOut:
    case kWmfCreateFontIndirect:
        return PlayWindowsText(function, p.Bytes(), player);
    case kCreatePatternBrush: {
        // A device bitmap of the old form: type, width, height, bytes a row,
        // planes and bits a pixel (a byte each), a pointer; 18 reserved
        // bytes; then the rows, top first. Monochrome ones are drawn in the
        // text and background colours, the others in their own.
        Object o;
        o.kind = Object::kBrush;
        o.brush.style = kBrushNull;
        const bool mono = n >= 16 && (p.W(4) & 0xFFFF) == 0x0101;
        const bool read = mono ? player.MonoBrush(p.At(16), p.BytesFrom(16), (WORD)p.W(1),
                                                  (WORD)p.W(2), (WORD)p.W(3), o.brush)
                               : OldColourBrush(p.Bytes(), player, o.brush);
        Create(player, o);
        return read;
    }
    case kCreateRegion: {
        // A damaged region still takes its slot, as an object that is none.
        Object o;
        const bool read = RegionObject(p, o);
        if (!read)
            o.kind = Object::kOther;
        Create(player, o);
        return read;
    }
    case kOffsetClipRgn:
        player.OffsetClip(p.W(1), p.W(0));
        return true;
    case kSelectClipRegion:
    case kFillRegion:
    case kFrameRegion:
    case kInvertRegion:
    case kPaintRegion:
        return RegionRecord(function, p, player);
    case kWmfCreatePalette:
    case kWmfSelectPalette:
    case kWmfSetPalEntries:
    case kWmfResizePalette:
    case kWmfAnimatePalette:
    case kWmfRealizePalette:
        return PlayWindowsPalette(function, p.Bytes(), player);
    case kPatBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
        return BlitRecord(function, p, player);
    case kWmfSetRelAbs:
    case kWmfSetMapperFlags:
    case kWmfEscape:
    case kWmfSetLayout:
    case kWmfSetTextJustification:
    case kWmfBitBlt:
    case kWmfStretchBlt:
    case kWmfFloodFill:
    case kWmfExtFloodFill: return PlayWindowsMore(function, p.Bytes(), player);
    default:
        return false;
    }
}

}  // namespace

bool SplitPackedDib(const BYTE* p, size_t n, DibRef& dib, DWORD usage)
{
    // DIB_PAL_COLORS: the colour table holds 16-bit entry numbers.
    const size_t entry = usage == DIB_PAL_COLORS ? 2 : 4;
    RecordBytes r(p, n);
    DWORD headerSize = 0;
    if (!r.U32(0, headerSize) || headerSize > n)
        return false;
    size_t infoSize = headerSize;
    if (headerSize == 12) {
        WORD bits = 0;
        r.U16(10, bits);
        if (bits <= 8)
            infoSize += ((size_t)1 << bits) * (entry == 2 ? 2 : 3);
    } else if (headerSize >= 40) {
        WORD bits = 0;
        DWORD compression = 0, used = 0;
        r.U16(14, bits);
        r.U32(16, compression);
        r.U32(32, used);
        if (bits <= 8)
            infoSize += (used != 0 && used < (1u << bits) ? used : (1u << bits)) * entry;
        else if (compression == BI_BITFIELDS && headerSize == 40)
            infoSize += 12;
    } else {
        return false;
    }
    if (infoSize > n)
        return false;
    dib.info = p;
    dib.infoSize = infoSize;
    dib.bits = p + infoSize;
    dib.bitsSize = n - infoSize;
    return true;
}

void PlayWindowsRecords(const Metafile& metafile, Player& player, PlayStats& stats)
{
    const std::vector<BYTE>& b = metafile.bytes;
    RecordBytes file(b.data(), b.size());
    WORD headerWords = 9;
    file.U16(2, headerWords);
    size_t at = (size_t)headerWords * 2;
    while (at < b.size()) {
        DWORD words = 0;
        WORD function = 0;
        if (!file.U32(at, words) || !file.U16(at + 4, function)) {
            stats.stopped = kStopPastEnd;
            return;
        }
        // 64-bit: a size near 2^32 words never wraps round.
        const uint64_t bytes = (uint64_t)words * 2;
        if (bytes < 6) {
            stats.stopped = kStopTooShort;
            return;
        }
        if (bytes > b.size() - at) {
            stats.stopped = kStopPastEnd;
            return;
        }
        stats.records++;
        if (function == kEof) {
            stats.played++;
            return;
        }
        const RecordBytes record(b.data() + at, (size_t)bytes);
        if (!WindowsRecordFits(function, record)) {
            // A short object record still takes its slot, as the played
            // ones do, so the indices after it stay right.
            if (CreatesObject(function))
                Create(player, OtherObject());
            stats.skipped++;
            stats.tooShort++;
        } else if (PlayRecord(function, WindowsParams(record), player)) {
            stats.played++;
        } else {
            stats.skipped++;
        }
        at += (size_t)bytes;
        if (player.Spent()) {
            stats.stopped = kStopWorkSpent;
            return;
        }
    }
}

}  // namespace win32metafile
