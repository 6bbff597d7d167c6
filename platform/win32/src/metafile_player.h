// The metafile player's device context: mapping, pen and brush, colours and
// modes, current position, clip rectangles, saved states, the object table
// and the path, and the drawing calls both record readers share. Points are
// logical coordinates; the player maps them to the canvas.
#pragma once

#include "metafile_raster.h"
#include "metafile_region.h"
#include "metafile_text.h"
#include "metafile_transform.h"

#include <memory>
#include <vector>

namespace win32metafile {

class DibReader;

// Pen styles, brush styles, fill modes and background modes, as in files.
constexpr int kPenSolid = 0;
constexpr int kPenNull = 5;
constexpr int kBrushSolid = 0;
constexpr int kBrushNull = 1;
constexpr int kBrushHatched = 2;
constexpr int kBrushPattern = 3;  // any bitmap brush
constexpr int kBackgroundOpaque = 2;
constexpr int kFillAlternate = 1;
constexpr int kFillWinding = 2;
constexpr int kArcCounterClockwise = 1;
constexpr int kArcClockwise = 2;

// Raster operations the blits play.
constexpr DWORD kRopSrcCopy = 0x00CC0020;
constexpr DWORD kRopPatCopy = 0x00F00021;
constexpr DWORD kRopBlackness = 0x00000042;
constexpr DWORD kRopWhiteness = 0x00FF0062;

constexpr int kPenUserStyle = 7;

// Enhanced records name stock objects by their number with the top bit set.
constexpr DWORD kStockFlag = 0x80000000;

// Layout flags: x runs from the right edge of the canvas, and blits keep
// their pictures the way round they were.
constexpr DWORD kLayoutRtl = 0x01;
constexpr DWORD kLayoutKeepBitmaps = 0x08;

struct Pen {
    int style = kPenSolid;  // PS_SOLID .. PS_ALTERNATE
    double width = 0;       // logical units; 0 is one pixel
    COLORREF colour = 0;
    bool geometric = false;  // made with PS_GEOMETRIC: its style in logical units
    // Made by the extended call without PS_GEOMETRIC: one device pixel wide
    // whatever the mapping, its width notwithstanding.
    bool cosmetic = false;
    int cap = kCapRound;  // a wide pen's ends and joins
    int join = kJoinRound;
    std::vector<long> user;  // PS_USERSTYLE's runs, on first
};

// The end cap and join fields of a pen style (PS_ENDCAP_*, PS_JOIN_*); a
// value outside them is round.
inline void SetPenShape(unsigned long style, Pen& pen)
{
    const int cap = (int)((style >> 8) & 0x0F), join = (int)((style >> 12) & 0x0F);
    pen.cap = cap <= kCapFlat ? cap : kCapRound;
    pen.join = join <= kJoinMiter ? join : kJoinRound;
}

struct Brush {
    int style = kBrushSolid;
    COLORREF colour = 0xFFFFFF;
    int hatch = 0;  // HS_HORIZONTAL .. HS_DIAGCROSS for a hatched brush
    // A bitmap brush's pixels; a monochrome one holds 0 and 1, drawn in the
    // text and background colours of the moment.
    std::shared_ptr<const Pattern> pattern;
    bool mono = false;
};

// What sits in one slot of the object table.
struct Object {
    enum Kind { kEmpty, kPen, kBrush, kOther, kFont, kRegion, kPalette } kind = kEmpty;
    Pen pen;
    Brush brush;
    LogicalFont font = {};
    std::vector<RECT> region = {};  // a Windows metafile's region, logical units
    // A logical palette; shared with the contexts it is selected into, so
    // that changing its entries changes what they draw from then on.
    std::shared_ptr<std::vector<PALETTEENTRY>> palette = {};
};

// An object of a kind the player does not draw with: it only takes its slot,
// so that later indices stay right.
inline Object OtherObject()
{
    Object o;
    o.kind = Object::kOther;
    return o;
}

// How the picture lands on the canvas: device coordinates of the metafile
// (after its own mapping) times `scale` plus `offset`.
struct Fit {
    double scaleX = 1, scaleY = 1;
    double offsetX = 0, offsetY = 0;
};

struct DcState {
    int mapMode = MM_TEXT;
    POINT windowOrg = {0, 0};
    SIZE windowExt = {1, 1};
    POINT viewportOrg = {0, 0};
    SIZE viewportExt = {1, 1};
    Pen pen;
    Brush brush;
    COLORREF background = 0xFFFFFF;
    COLORREF text = 0;
    int backgroundMode = 2;  // opaque
    int fillMode = kFillAlternate;
    int arcDirection = kArcCounterClockwise;
    int rop2 = kRop2CopyPen;
    double miterLimit = kDefaultMiterLimit;
    POINT brushOrg = {0, 0};  // where brush patterns start, device units
    POINT position = {0, 0};
    // Canvas pixels; null when not clipped. Shared with saved states until
    // one of them changes it.
    std::shared_ptr<const ClipRegion> clip;
    // The meta region: the clip a SetMetaRgn fixed, which every later clip
    // is cut to; null when none was set.
    std::shared_ptr<const ClipRegion> meta;
    Affine world;            // logical to page units, before the mapping
    unsigned textAlign = 0;  // TA_* flags
    long charExtra = 0;      // logical units added to each character's advance
    // SetTextJustification: logical units spread over that many break
    // characters (spaces) of text drawn with the font's own advances.
    long breakExtra = 0;
    long breakCount = 0;
    LogicalFont font;
    // The selected logical palette; null for the default one.
    std::shared_ptr<std::vector<PALETTEENTRY>> palette;
    DWORD layout = 0;  // kLayout* flags
};

class DibReader;

// A device-independent bitmap inside a record.
struct DibRef {
    const BYTE* info = nullptr;  // BITMAPINFO: header and colour table
    size_t infoSize = 0;
    const BYTE* bits = nullptr;
    size_t bitsSize = 0;
    // The bits hold only `scans` scan lines from `startScan` (counted as
    // the rows are stored); -1: all of them.
    long startScan = 0;
    long scans = -1;
    // Not null: the colour table holds 16-bit indexes into these entries
    // (DIB_PAL_COLORS) rather than colours.
    const std::vector<PALETTEENTRY>* palette = nullptr;
};

// A vertex of a gradient: a logical point and 16-bit colour channels.
struct GradientVertex {
    long x, y;
    WORD red, green, blue;
};

// The ways a gradient fills its shapes, as in files.
constexpr DWORD kGradientRectH = 0;
constexpr DWORD kGradientRectV = 1;
constexpr DWORD kGradientTriangle = 2;

// How a blit's source pixel meets the canvas when a blend or a colour key
// decides it rather than a raster operation.
class BlitMix {
public:
    virtual ~BlitMix() = default;
    // The colour source pixel (x, y) leaves over `dest`; false leaves the
    // canvas pixel as it is.
    virtual bool Mix(const DibReader& source, long x, long y, COLORREF dest,
                     COLORREF& out) const = 0;
};

class Player {
public:
    // `pixelsPerMm` gives the fixed mapping modes their size on the device;
    // `slots` is the size of the object table.
    Player(Canvas& canvas, const Fit& fit, double pixelsPerMmX, double pixelsPerMmY, size_t slots);

    DcState& State() { return m_state; }
    const LogicalFont& Font() const { return m_state.font; }

    // The work allowance of the play, and whether it is spent.
    void SetAllowance(uint64_t units) { m_raster.SetAllowance(units); }
    bool Spent() const { return m_raster.Spent(); }
    uint64_t Work() const { return m_raster.Work(); }

    // Mapping.
    void SetMapMode(int mode);
    void SetWindowOrg(long x, long y);
    void SetWindowExt(long x, long y);
    void SetViewportOrg(long x, long y);
    void SetViewportExt(long x, long y);
    void OffsetWindowOrg(long dx, long dy);
    void OffsetViewportOrg(long dx, long dy);
    void ScaleWindowExt(long xNum, long xDen, long yNum, long yDen);
    void ScaleViewportExt(long xNum, long xDen, long yNum, long yDen);

    // Objects: a table slot, or a stock object by number.
    size_t Slots() const { return m_slots; }
    // The first empty slot, or Slots() when the table is full.
    size_t FreeSlot() const;
    bool Put(size_t slot, const Object& object);
    bool Select(size_t slot);
    // The object in a slot, or null for an empty one.
    const Object* At(size_t slot) const;
    bool SelectStock(DWORD stock);
    bool Delete(size_t slot);

    // The world transform; false when GDI would refuse the change.
    bool SetWorldTransform(const Affine& a);
    bool ModifyWorldTransform(const Affine& a, unsigned long change);

    // Drawing.
    void MoveTo(long x, long y);
    void LineTo(long x, long y);
    void Rectangle(long l, long t, long r, long b);
    void Ellipse(long l, long t, long r, long b);
    void RoundRect(long l, long t, long r, long b, long w, long h);
    enum ArcKind { kArc, kChord, kPie };
    void Arc(ArcKind kind, long l, long t, long r, long b, long xs, long ys, long xe, long ye);
    void Polygon(const std::vector<POINT>& points);
    void Polyline(const std::vector<POINT>& points);
    void PolylineTo(const std::vector<POINT>& points);
    void PolyPolygon(const std::vector<std::vector<POINT>>& polygons);
    void PolyPolyline(const std::vector<std::vector<POINT>>& lines);
    void PolyBezier(const std::vector<POINT>& points);
    void PolyBezierTo(const std::vector<POINT>& points);
    void SetPixel(long x, long y, COLORREF colour);
    // Figures from the current position (metafile_polydraw.cpp): each
    // point's type moves to it, draws a line to it or (three in a row) a
    // Bezier curve, optionally closing the figure after it. False, with
    // nothing drawn, for a sequence of types GDI refuses.
    bool PolyDraw(const std::vector<POINT>& points, const std::vector<BYTE>& types);
    // ExtFloodFill (metafile_floodfill.cpp): from the logical point, the
    // brush fills the connected pixels (sideways and up and down) that are
    // not `colour` (`surface` false: `colour` bounds the area) or that are
    // `colour` (`surface` true), inside the clip. False when the start
    // pixel is outside the canvas or the clip, or is not to be filled.
    bool FloodFill(long x, long y, COLORREF colour, bool surface);
    // A line from the current position to where the arc starts, then the arc
    // (in the arc direction); the position moves to the arc's end.
    void ArcTo(long l, long t, long r, long b, long xs, long ys, long xe, long ye);
    // The same for an arc of a circle from `start` degrees sweeping `sweep`
    // degrees (counter-clockwise when positive), whatever the arc direction.
    // False for a negative radius.
    bool AngleArc(long x, long y, long radius, double start, double sweep);

    // Paths.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    // WidenPath (metafile_widenpath.cpp): the finished path becomes the
    // area the pen would cover stroking it, filled by its winding whatever
    // the fill mode. False, the path kept, without a finished path or with
    // a pen one pixel wide that is not geometric.
    bool WidenPath();

    // Clipping, in logical coordinates.
    void IntersectClip(long l, long t, long r, long b);
    void ExcludeClip(long l, long t, long r, long b);

    // Regions: rectangles in the metafile's device units, or (`logical`) in
    // logical units as Windows metafiles keep theirs, as a canvas region.
    std::shared_ptr<const ClipRegion> Region(const std::vector<RECT>& rects, bool logical) const;
    // The clip combined with the region by the mode (RGN_AND .. RGN_COPY);
    // RGN_COPY of none lifts the clip. False for another mode, or another
    // mode without a region.
    bool CombineClip(const ClipRegion* region, int mode);
    // The clip moved by logical (dx, dy); nothing without one.
    void OffsetClip(long dx, long dy);
    // The clip combined with the path's area (the path is used up); false
    // without a finished path.
    bool SelectClipPath(int mode);
    // SetLayout: with kLayoutRtl the picture is mirrored about the
    // canvas's middle (the pixel x of it lands on width - 1 - x), blits with
    // it unless kLayoutKeepBitmaps keeps their pictures unmirrored.
    void SetLayout(DWORD layout);
    // SetMetaRgn: the meta region becomes its part inside the clip (the
    // clip itself when there was none) and the clip is lifted; later clips
    // only narrow what the meta region lets through.
    void SetMetaRegion();
    // Region drawing: filled with a brush, framed w x h logical units deep
    // inside its edges, inverted.
    void FillRegion(const ClipRegion& region, const Brush& brush);
    void FrameRegion(const ClipRegion& region, const Brush& brush, long w, long h);
    void InvertRegion(const ClipRegion& region);
    // The brush of a table slot, or with the top bit a stock brush.
    bool BrushOf(DWORD index, Brush& out) const;

    // Saved states: Save pushes; Restore(n) takes back the n-th saved state
    // (n > 0) or the one -n saves back (n < 0). False when there is none.
    void Save();
    bool Restore(long n);

    // Blits onto the logical rectangle (x, y, w, h): a DIB's source rectangle
    // stretched (nearest pixel), the brush and the canvas combined by the
    // ternary code (the rop's third byte). False for a code that reads a
    // source without one, or a DIB it cannot read.
    bool Blit(long x, long y, long w, long h, const DibRef* dib, long sx, long sy, long sw,
              long sh, DWORD rop);
    // StretchDIBits: as Blit, but the source rectangle counts from the
    // bitmap's bottom-left corner, upwards; false for a source extent turned
    // over (the call fails).
    bool StretchDibits(long x, long y, long w, long h, const DibRef& dib, long sx, long sy, long sw,
                       long sh, DWORD rop);
    // MaskBlt: the source through a monochrome mask at (mx, my), its 1
    // pixels by the foreground code (the rop's third byte), its 0 pixels by
    // the background code (the top byte). Without a mask, a plain blit.
    bool MaskBlit(long x, long y, long w, long h, const DibRef* dib, long sx, long sy,
                  const DibRef* mask, long mx, long my, DWORD rop);
    // SetDIBitsToDevice: the source's corner (sx, sy) counted from the
    // bitmap's first stored row (the bottom one unless it runs top-down);
    // only the scan lines the bits hold are drawn.
    bool SetDibits(long x, long y, long w, long h, const DibRef& dib, long sx, long sy);

    // AlphaBlend (metafile_blend.cpp): the source rectangle stretched
    // onto the destination and blended by the BLENDFUNCTION: a constant
    // alpha, and with AC_SRC_ALPHA each pixel's own premultiplied alpha.
    // False for extents turned over, a source outside its bitmap, an
    // unknown blend, or per-pixel alpha from a bitmap without it.
    bool AlphaBlend(long x, long y, long w, long h, const DibRef& dib, long sx, long sy, long sw,
                    long sh, DWORD blend);
    // TransparentBlt: the same stretch, the source pixels of colour `key`
    // left out.
    bool TransparentBlit(long x, long y, long w, long h, const DibRef& dib, long sx, long sy,
                         long sw, long sh, COLORREF key);
    // PlgBlt: the source rectangle onto the parallelogram of logical corners
    // upper-left, upper-right and lower-left; with a mask, only where the
    // mask's pixel (from its corner (mx, my)) is 1.
    bool PlgBlit(const POINT corners[3], const DibRef& dib, long sx, long sy, long sw, long sh,
                 const DibRef* mask, long mx, long my);

    // A bitmap brush from a DIB (monochrome: its pixels of colour-table
    // entry 0 in the text colour, the rest in the background colour); false
    // for a bitmap the player cannot read.
    bool PatternBrush(const DibRef& dib, bool mono, Brush& out);
    // A monochrome bitmap brush from rows of bits, top row first, `stride`
    // bytes a row, the leftmost pixel in each byte's top bit; false when the
    // bits are short.
    bool MonoBrush(const BYTE* bits, size_t bytes, long w, long h, size_t stride, Brush& out);

    // The binary raster operation of pens and brushes (R2_BLACK .. R2_WHITE);
    // false for a mode outside them, which changes nothing.
    bool SetRop2(int mode);
    // The longest miter of a mitred join, as a multiple of the pen's width;
    // false for a limit under 1, which changes nothing.
    bool SetMiterLimit(double limit);
    // The brush origin, in the metafile's device units: hatches and pattern
    // brushes are tiled from it.
    void SetBrushOrg(long x, long y) { m_state.brushOrg = {(LONG)x, (LONG)y}; }

    // Palettes (metafile_palette.cpp). The colour a COLORREF of a record
    // names: a PALETTEINDEX one the entry of the selected palette (or the
    // default palette's), any other its red, green and blue.
    COLORREF Colour(DWORD ref) const;
    // The selected palette's entries, or the default palette's.
    const std::vector<PALETTEENTRY>& PaletteEntries() const;
    // Selects the palette of a table slot; false for a slot holding none.
    bool SelectPalette(size_t slot);
    void SelectDefaultPalette() { m_state.palette = nullptr; }
    // The palette of a slot, or the selected one; null for none (the
    // default palette cannot be changed).
    std::vector<PALETTEENTRY>* PaletteAt(size_t slot);
    std::vector<PALETTEENTRY>* SelectedPalette() { return m_state.palette.get(); }
    // Shaded shapes (metafile_gradient.cpp): rectangles between two
    // vertices shaded across or down, or triangles of three, each shape
    // naming its vertices by index. False, with nothing drawn, for an index
    // past the vertices or another mode.
    bool GradientFill(const std::vector<GradientVertex>& vertices,
                      const std::vector<DWORD>& indices, DWORD mode);

    // Text output (metafile_text_draw.cpp): false when no face could be
    // found for the selected font.
    bool Text(const TextRun& run);

private:
    PointD _map(long x, long y) const;
    PointD _mapD(double x, double y) const;
    // Curves under a turning or shearing transform are flattened in logical
    // units times this, so they get as many points as on the canvas.
    double _curveScale() const;
    void _mapScaled(Figure& f, double k) const;
    void _skewedArc(ArcKind kind, long l, long t, long r, long b, long xs, long ys, long xe,
                    long ye);
    // The arc of a box from the start to the end radial, the way the arc
    // direction says, in logical units times `k` (_curveScale's).
    Figure _logicalArc(long l, long t, long r, long b, long xs, long ys, long xe, long ye,
                       double k) const;
    void _textBox(const PointD corners[4], COLORREF colour);
    void _remap();
    double _penPixels() const;
    void _addFigure(const Figure& indexPoints, bool closed);
    void _countPath(size_t points);
    bool _affordsCurve(size_t points);
    // Whether the path fills by winding: a widened one always, as its
    // pieces overlap, any other by the fill mode.
    bool _pathByWinding() const { return m_pathWinding || m_state.fillMode == kFillWinding; }
    void _fill(const std::vector<Figure>& figures, bool winding);
    void _stroke(const Figure& indexPoints, bool closed, bool lastPixel);
    void _shape(Figure area, const Figure& outline, bool closed);
    void _useClip();
    void _setClip(std::shared_ptr<const ClipRegion> clip);
    std::shared_ptr<const ClipRegion> _clipOrCanvas() const;
    RECT _deviceRect(long l, long t, long r, long b) const;
    // The canvas pixels the figures fill, as a region (charged to the play).
    std::shared_ptr<const ClipRegion> _areaRegion(const std::vector<Figure>& figures, bool winding);
    // A logical rectangle's clip operation (RGN_AND or RGN_DIFF).
    void _clipRect(long l, long t, long r, long b, int mode);
    // The brush's pattern tiled from the brush origin, or null for a plain
    // colour; _alignedPattern's from the canvas origin.
    std::shared_ptr<const Pattern> _brushPattern(const Brush& b);
    void _paintRegion(const ClipRegion& region, BYTE code, std::shared_ptr<const Pattern> pattern,
                      COLORREF colour);
    std::shared_ptr<const Pattern> _alignedPattern(const Brush& b);
    // The runs of a one-pixel line's style, in pixels.
    std::vector<long> _styleRuns() const;
    // Whether the pen is a styled geometric one, dashed by its own width or
    // its user style in logical units.
    bool _geometricStyle() const;
    // Canvas pixels to the logical x unit.
    double _unitPixels() const;
    // A geometric pen's runs, logical units, the predefined styles for a pen
    // `width` wide.
    std::vector<double> _geometricRuns(double width) const;
    void _dashedWide(const Figure& points, bool closed, double width);
    // A mask: its reader, corner and the code of its 0 pixels.
    struct BlitMask {
        const DibReader* reader;
        long x, y;
        BYTE background;
    };
    void _figureFromPosition(Figure f, double k);
    // Canvas points from the current position on: added to the path's open
    // figure, or stroked (its last pixel drawn when `lastPixel`).
    void _drawOnFromPosition(const Figure& f, bool lastPixel);
    void _gradientRect(const GradientVertex& a, const GradientVertex& b, bool across);
    void _gradientTriangle(const GradientVertex* v[3]);
    bool _blit(long x, long y, long w, long h, const DibReader* source, long sx, long sy, long sw,
               long sh, BYTE code, const BlitMask* mask = nullptr, const BlitMix* mix = nullptr);

    Raster m_raster;
    Fit m_fit;
    double m_pxPerMmX, m_pxPerMmY;
    DcState m_state;
    std::vector<DcState> m_saved;
    size_t m_slots;                 // the table's size
    std::vector<Object> m_objects;  // its slots up to the last filled
    // The mapping from logical to canvas pixels, world transform included,
    // and back. Without a turn or shear (m_skewed false) it is also
    // X = ax * x + bx, Y = ay * y + by.
    Affine m_toCanvas, m_fromCanvas;
    bool m_skewed = false;
    double m_ax = 1, m_bx = 0, m_ay = 1, m_by = 0;
    // The path being recorded.
    bool m_inPath = false;
    std::vector<Figure> m_path;
    std::vector<bool> m_pathClosed;
    bool m_figureOpen = false;
    size_t m_pathPoints = 0;
    bool m_pathWinding = false;  // a widened path: its pieces join by winding
    // The clip within the meta region, as the raster was last given it;
    // null when neither is set.
    std::shared_ptr<const ClipRegion> m_drawClip;
    // Text pixels rendered and drawn in this play (metafile_text_draw.cpp).
    double m_textWork = 0;
};

}  // namespace win32metafile
