// Enhanced metafile records.
//
// A record is its type (4 bytes), its size in bytes (4, counting the whole
// record, a multiple of 4) and its fields, 32-bit values unless the record is
// one of the 16-bit point forms. Offsets inside a record count from the
// record's start. The metafile ends at its end-of-file record.
#include "metafile_bytes.h"
#include "metafile_palette.h"
#include "metafile_more_records.h"
#include "metafile_readers.h"
#include "metafile_sizes.h"
#include "metafile_text_records.h"
#include "metafile_world.h"

#include <algorithm>
#include <cstring>

namespace win32metafile {

namespace {

enum : DWORD {
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kSetBrushOrgEx = 13,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetRop2 = 20,
    kSetStretchBltMode = 21,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kOffsetClipRgn = 26,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kLineTo = 54,
    kSetArcDirection = 57,
    kSetMiterLimit = 58,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kFlattenPath = 65,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kGdiComment = 70,
    kFillRgn = 71,
    kFrameRgn = 72,
    kInvertRgn = 73,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kMaskBlt = 78,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
};

// A pen made by ExtCreatePen with its style in logical units.
constexpr DWORD kPenGeometric = 0x00010000;

// EMR_SETMITERLIMIT's limit: the format names an integer, but the system's
// own recorder writes the bits of a 32-bit float. A float of 1 or more has
// bits of at least 0x3F800000, far beyond any integer limit a file means,
// so the larger values are read as floats.
double MiterLimit(DWORD field)
{
    if (field < 0x01000000)
        return (double)field;
    return FloatOfBits(field);
}

class Fields {
public:
    explicit Fields(RecordBytes r) : m_r(r) {}
    size_t Size() const { return m_r.Size(); }
    // The 32-bit field at byte `offset`, or 0 past the end.
    long L(size_t offset) const { return m_r.L(offset); }
    DWORD D(size_t offset) const { return m_r.D(offset); }
    long S(size_t offset) const
    {
        long v = 0;
        m_r.S16(offset, v);
        return v;
    }
    bool Has(size_t offset, size_t bytes) const { return m_r.Has(offset, bytes); }
    const RecordBytes& Bytes() const { return m_r; }
    const BYTE* At(size_t offset) const { return m_r.Data() + offset; }

private:
    RecordBytes m_r;
};

// `count` points from byte `at`: 8-byte POINTL or, `small`, 4-byte POINTS.
bool ReadPoints(const Fields& f, size_t at, uint64_t count, bool small, std::vector<POINT>& out)
{
    const uint64_t each = small ? 4 : 8;
    if (count > f.Size() / each || !f.Has(at, (size_t)(count * each)))
        return false;
    for (size_t i = 0; i < count; i++) {
        const size_t p = at + i * each;
        if (small)
            out.push_back({(LONG)f.S(p), (LONG)f.S(p + 2)});
        else
            out.push_back({(LONG)f.L(p), (LONG)f.L(p + 4)});
    }
    return true;
}

// The poly records: bounds (16 bytes), then a count and the points; the
// poly-poly ones a figure count, a point count, one count a figure, then all
// the points.
bool PolyRecord(DWORD type, const Fields& f, Player& player)
{
    const bool small = type >= kPolyBezier16;
    const DWORD base = small ? type - kPolyBezier16 + kPolyBezier : type;
    if (base == kPolyPolyline || base == kPolyPolygon) {
        const DWORD figures = f.D(24), total = f.D(28);
        if ((uint64_t)figures * 4 > f.Size() || !f.Has(32, (size_t)figures * 4))
            return false;
        std::vector<POINT> all;
        if (!ReadPoints(f, 32 + (size_t)figures * 4, total, small, all))
            return false;
        std::vector<std::vector<POINT>> polys(figures);
        uint64_t at = 0;
        for (DWORD i = 0; i < figures; i++) {
            const DWORD n = f.D(32 + 4 * i);
            if (n > all.size() - at)
                return false;
            polys[i].assign(all.begin() + at, all.begin() + at + n);
            at += n;
        }
        if (base == kPolyPolygon)
            player.PolyPolygon(polys);
        else
            player.PolyPolyline(polys);
        return true;
    }
    std::vector<POINT> points;
    if (!ReadPoints(f, 28, f.D(24), small, points))
        return false;
    switch (base) {
    case kPolyBezier:
        player.PolyBezier(points);
        break;
    case kPolygon:
        player.Polygon(points);
        break;
    case kPolyline:
        player.Polyline(points);
        break;
    case kPolyBezierTo:
        player.PolyBezierTo(points);
        break;
    default:
        player.PolylineTo(points);
        break;
    }
    return true;
}

bool BlitRecord(DWORD type, const Fields& f, Player& player)
{
    DibRef dib;
    if (type == kStretchDiBits) {
        // Dest x, y; source x, y, w, h; bitmap; usage, rop; dest w, h.
        if (!f.Has(72, 8) || !RecordBitmap(f.Bytes(), 48, dib))
            return false;
        UsePaletteIndexes(f.D(64), player, dib);
        return player.StretchDibits(f.L(8 + 16), f.L(12 + 16), f.L(72), f.L(76), dib, f.L(32),
                                    f.L(36), f.L(40), f.L(44), f.D(68));
    }
    if (type == kSetDiBitsToDevice) {
        // Dest x, y; source x, y, w, h; bitmap; usage; the scan lines held.
        if (!f.Has(48, 28) || !RecordBitmap(f.Bytes(), 48, dib))
            return false;
        UsePaletteIndexes(f.D(64), player, dib);
        dib.startScan = f.L(68);
        dib.scans = f.L(72) < 0 ? 0 : f.L(72);
        return player.SetDibits(f.L(24), f.L(28), f.L(40), f.L(44), dib, f.L(32), f.L(36));
    }
    if (type == kMaskBlt) {
        // As BitBlt, then the mask's corner, usage and bitmap.
        if (!f.Has(24, 104))
            return false;
        DibRef mask;
        const bool hasSource = f.D(88) != 0, hasMask = f.D(116) != 0;
        if ((hasSource && !RecordBitmap(f.Bytes(), 84, dib)) ||
            (hasMask && !RecordBitmap(f.Bytes(), 112, mask)))
            return false;
        UsePaletteIndexes(f.D(80), player, dib);
        return player.MaskBlit(f.L(24), f.L(28), f.L(32), f.L(36), hasSource ? &dib : nullptr,
                               f.L(44), f.L(48), hasMask ? &mask : nullptr, f.L(100), f.L(104),
                               f.D(40));
    }
    // BitBlt and StretchBlt: dest x, y, w, h; rop; source x, y; the source's
    // transform and background; usage; bitmap; StretchBlt adds source w, h.
    if (!f.Has(24, 76))
        return false;
    const long x = f.L(24), y = f.L(28), w = f.L(32), h = f.L(36);
    const DWORD rop = f.D(40);
    const bool hasBitmap = f.D(84) != 0;
    if (!hasBitmap)
        return player.Blit(x, y, w, h, nullptr, 0, 0, 0, 0, rop);
    if (!RecordBitmap(f.Bytes(), 84, dib))
        return false;
    UsePaletteIndexes(f.D(80), player, dib);
    long sw = w, sh = h;
    if (type == kStretchBlt) {
        if (!f.Has(100, 8))
            return false;
        sw = f.L(100);
        sh = f.L(104);
    }
    return player.Blit(x, y, w, h, &dib, f.L(44), f.L(48), sw, sh, rop);
}

// The region data of `bytes` bytes at `at` as a canvas region; null when
// damaged.
std::shared_ptr<const ClipRegion> RecordRegion(const Fields& f, size_t at, DWORD bytes,
                                               const Player& player)
{
    std::vector<RECT> rects;
    if (!f.Has(at, bytes) || !ReadRegionData(f.At(at), bytes, rects))
        return nullptr;
    return player.Region(rects, false);
}

// The clip combined with region data by the mode; RGN_COPY without data
// lifts the clip.
bool ClipRecord(const Fields& f, Player& player)
{
    const DWORD bytes = f.D(8);
    const int mode = (int)f.L(12);
    if (bytes == 0)
        return player.CombineClip(nullptr, mode);
    const std::shared_ptr<const ClipRegion> region = RecordRegion(f, 16, bytes, player);
    return region && player.CombineClip(region.get(), mode);
}

// FILLRGN, FRAMERGN, INVERTRGN and PAINTRGN: bounds, the data's size, the
// brush (not for inverting and painting), the frame's width and height, then
// the data.
bool RegionRecord(DWORD type, const Fields& f, Player& player)
{
    const size_t at = type == kFillRgn ? 32 : type == kFrameRgn ? 40 : 28;
    const std::shared_ptr<const ClipRegion> region = RecordRegion(f, at, f.D(24), player);
    if (!region)
        return false;
    Brush brush = player.State().brush;
    if ((type == kFillRgn || type == kFrameRgn) && !player.BrushOf(f.D(28), brush))
        return false;
    if (type == kFrameRgn)
        player.FrameRegion(*region, brush, f.L(32), f.L(36));
    else if (type == kInvertRgn)
        player.InvertRegion(*region);
    else
        player.FillRegion(*region, brush);
    return true;
}

bool PlayRecord(DWORD type, const Fields& f, Player& player)
{
    DcState& s = player.State();
    const size_t n = f.Size();
    switch (type) {
    case kPolyBezier:
    case kPolygon:
    case kPolyline:
    case kPolyBezierTo:
    case kPolylineTo:
    case kPolyPolyline:
    case kPolyPolygon:
    case kPolyBezier16:
    case kPolygon16:
    case kPolyline16:
    case kPolyBezierTo16:
    case kPolylineTo16:
    case kPolyPolyline16:
    case kPolyPolygon16:
        return PolyRecord(type, f, player);
    case kSetWindowExtEx:
        player.SetWindowExt(f.L(8), f.L(12));
        return n >= 16;
    case kSetWindowOrgEx:
        player.SetWindowOrg(f.L(8), f.L(12));
        return n >= 16;
    case kSetViewportExtEx:
        player.SetViewportExt(f.L(8), f.L(12));
        return n >= 16;
    case kSetViewportOrgEx:
        player.SetViewportOrg(f.L(8), f.L(12));
        return n >= 16;
    case kScaleViewportExtEx:
        player.ScaleViewportExt(f.L(8), f.L(12), f.L(16), f.L(20));
        return n >= 24;
    case kScaleWindowExtEx:
        player.ScaleWindowExt(f.L(8), f.L(12), f.L(16), f.L(20));
        return n >= 24;
    case kSetMapMode:
        player.SetMapMode((int)f.L(8));
        return n >= 12;
    case kSetBkMode:
        s.backgroundMode = (int)f.L(8);
        return n >= 12;
    case kSetPolyFillMode:
        s.fillMode = f.L(8) == kFillWinding ? kFillWinding : kFillAlternate;
        return n >= 12;
    case kSetRop2:
        return n >= 12 && player.SetRop2((int)f.L(8));
    case kSetArcDirection:
        s.arcDirection = f.L(8) == kArcClockwise ? kArcClockwise : kArcCounterClockwise;
        return n >= 12;
    case kSetTextColor:
        s.text = player.Colour(f.D(8));
        return n >= 12;
    case kSetBkColor:
        s.background = player.Colour(f.D(8));
        return n >= 12;
    case kSetMiterLimit:
        return n >= 12 && player.SetMiterLimit(MiterLimit(f.D(8)));
    case kSetBrushOrgEx:
        if (n < 16)
            return false;
        player.SetBrushOrg(f.L(8), f.L(12));
        return true;
    case kSetStretchBltMode:
    case kFlattenPath:
    case kGdiComment:
        return true;  // nothing the player draws depends on them
    case kSetPixelV:
        if (n < 20)
            return false;
        player.SetPixel(f.L(8), f.L(12), player.Colour(f.D(16)));
        return true;
    case kMoveToEx:
        player.MoveTo(f.L(8), f.L(12));
        return n >= 16;
    case kLineTo:
        if (n < 16)
            return false;
        player.LineTo(f.L(8), f.L(12));
        return true;
    case kExcludeClipRect:
    case kIntersectClipRect:
    case kRectangle:
    case kEllipse:
        if (n < 24)
            return false;
        if (type == kExcludeClipRect)
            player.ExcludeClip(f.L(8), f.L(12), f.L(16), f.L(20));
        else if (type == kIntersectClipRect)
            player.IntersectClip(f.L(8), f.L(12), f.L(16), f.L(20));
        else if (type == kRectangle)
            player.Rectangle(f.L(8), f.L(12), f.L(16), f.L(20));
        else
            player.Ellipse(f.L(8), f.L(12), f.L(16), f.L(20));
        return true;
    case kRoundRect:
        if (n < 32)
            return false;
        player.RoundRect(f.L(8), f.L(12), f.L(16), f.L(20), f.L(24), f.L(28));
        return true;
    case kArc:
    case kChord:
    case kPie:
        if (n < 40)
            return false;
        player.Arc(type == kArc ? Player::kArc : type == kPie ? Player::kPie : Player::kChord, f.L(8),
                   f.L(12), f.L(16), f.L(20), f.L(24), f.L(28), f.L(32), f.L(36));
        return true;
    case kSaveDc:
        player.Save();
        return true;
    case kRestoreDc:
        return n >= 12 && player.Restore(f.L(8));
    case kSelectObject: {
        if (n < 12)
            return false;
        const DWORD index = f.D(8);
        if (index & kStockFlag)
            return player.SelectStock(index & ~kStockFlag);
        return player.Select(index);
    }
    case kDeleteObject:
        return n >= 12 && player.Delete(f.D(8));
    case kCreatePen: {
        // Slot, then the pen: style, width (x of a point), colour.
        if (n < 28)
            return false;
        Object o;
        o.kind = Object::kPen;
        // A user style needs the extended record: here it draws solid.
        o.pen.style = (f.D(12) & 0x0F) == kPenUserStyle ? kPenSolid : (int)(f.D(12) & 0x0F);
        o.pen.width = f.L(16);
        SetPenShape(f.D(12), o.pen);
        o.pen.colour = f.D(24);  // its palette entry taken when selected
        return player.Put(f.D(8), o);
    }
    case kExtCreatePen: {
        // Slot, the bitmap's offsets and sizes, then style, width, brush
        // style, colour.
        if (n < 44)
            return false;
        Object o;
        o.kind = Object::kPen;
        const bool nullBrush = f.D(36) == (DWORD)kBrushNull;
        o.pen.style = nullBrush ? kPenNull : (int)(f.D(28) & 0x0F);
        o.pen.geometric = (f.D(28) & kPenGeometric) != 0;
        o.pen.cosmetic = !o.pen.geometric;
        SetPenShape(f.D(28), o.pen);
        o.pen.width = f.D(32);
        // The user style's runs follow the pen, at most 16 of them.
        const DWORD runs = std::min<DWORD>(f.D(48), 16);
        for (DWORD i = 0; o.pen.style == kPenUserStyle && i < runs && f.Has(52 + 4 * i, 4); i++)
            o.pen.user.push_back(std::max(f.L(52 + 4 * i), 0L));
        o.pen.colour = f.D(40);
        return player.Put(f.D(8), o);
    }
    case kCreateBrushIndirect: {
        if (n < 24)
            return false;
        Object o;
        o.kind = Object::kBrush;
        const DWORD style = f.D(12);
        o.brush.style = style == kBrushSolid || style == kBrushHatched ? (int)style : kBrushNull;
        o.brush.colour = f.D(16);
        o.brush.hatch = (int)f.L(20);
        return player.Put(f.D(8), o);
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt: {
        // Slot, usage, then the bitmap's offsets and sizes. One the player
        // cannot read still takes its slot, as a brush that fills nothing.
        Object o;
        o.kind = Object::kBrush;
        o.brush.style = kBrushNull;
        DibRef dib;
        if (type == kCreateDibPatternBrushPt)
            UsePaletteIndexes(f.D(12), player, dib);
        const bool read = RecordBitmap(f.Bytes(), 16, dib) &&
                          player.PatternBrush(dib, type == kCreateMonoBrush, o.brush);
        player.Put(f.D(8), o);
        return read;
    }
    case kEmrSetTextAlign:
    case kEmrExtCreateFontIndirectW:
    case kEmrExtTextOutA:
    case kEmrExtTextOutW:
    case kEmrPolyTextOutA:
    case kEmrPolyTextOutW:
    case kEmrSmallTextOut:
        return PlayEnhancedText(type, f.Bytes(), player);
    case kEmrSetWorldTransform:
    case kEmrModifyWorldTransform:
        return PlayWorldRecord(type, f.Bytes(), player);
    case kEmrCreatePalette:
    case kEmrSelectPalette:
    case kEmrSetPaletteEntries:
    case kEmrResizePalette:
    case kEmrRealizePalette:
        return PlayEnhancedPalette(type, f.Bytes(), player);
    case kBeginPath:
        player.BeginPath();
        return true;
    case kEndPath:
        player.EndPath();
        return true;
    case kAbortPath:
        player.AbortPath();
        return true;
    case kCloseFigure:
        player.CloseFigure();
        return true;
    case kFillPath:
        player.FillPath();
        return true;
    case kStrokePath:
        player.StrokePath();
        return true;
    case kStrokeAndFillPath:
        player.StrokeAndFillPath();
        return true;
    case kExtSelectClipRgn:
        return ClipRecord(f, player);
    case kFillRgn:
    case kFrameRgn:
    case kInvertRgn:
    case kPaintRgn:
        return RegionRecord(type, f, player);
    case kSelectClipPath:
        return player.SelectClipPath((int)f.L(8));
    case kOffsetClipRgn:
        player.OffsetClip(f.L(8), f.L(12));
        return true;
    case kBitBlt:
    case kStretchBlt:
    case kMaskBlt:
    case kSetDiBitsToDevice:
    case kStretchDiBits:
        return BlitRecord(type, f, player);
    default:
        // The rarer records, each in the file of what it draws; false for
        // a type nothing plays.
        return PlayEnhancedMore(type, f.Bytes(), player);
    }
}

}  // namespace

void PlayEnhancedRecords(const Metafile& metafile, Player& player, PlayStats& stats)
{
    const std::vector<BYTE>& b = metafile.bytes;
    RecordBytes file(b.data(), b.size());
    size_t at = 0;
    while (at < b.size()) {
        DWORD type = 0, size = 0;
        if (!file.U32(at, type) || !file.U32(at + 4, size)) {
            stats.stopped = kStopPastEnd;
            return;
        }
        if (size < 8) {
            stats.stopped = kStopTooShort;
            return;
        }
        if (size > b.size() - at) {
            stats.stopped = kStopPastEnd;
            return;
        }
        stats.records++;
        if (type == kEof) {
            stats.played++;
            return;
        }
        const RecordBytes record(b.data() + at, size);
        if (type != EMR_HEADER && !EnhancedRecordFits(type, record)) {
            stats.skipped++;
            stats.tooShort++;
        } else if (type == EMR_HEADER || PlayRecord(type, Fields(record), player)) {
            stats.played++;
        } else {
            stats.skipped++;
        }
        at += size;
        if (player.Spent()) {
            stats.stopped = kStopWorkSpent;
            return;
        }
    }
}

}  // namespace win32metafile
