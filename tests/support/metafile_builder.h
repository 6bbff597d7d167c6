// Metafiles written record by record, for the tests and the fuzz seeds:
// Windows metafiles (with or without the 22-byte placeable header) and
// enhanced metafiles. Both builders answer the same drawing calls, so one
// table of scenes can be written in both formats. Header-only: a fuzz target
// links the library alone.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "byte_builders.h"

struct MfPoint {
    int x, y;
};

struct MfRect {
    int l, t, r, b;
};

// RGNDATA of rectangles in device units: the 32-byte header (rectangle
// kind, their count and size, the bounds given), then the rectangles.
inline std::vector<uint8_t> RectRegionData(const std::vector<MfRect>& rects,
                                           const MfRect& bounds = {0, 0, 0, 0})
{
    std::vector<uint8_t> b;
    Put32(b, 32);
    Put32(b, 1);
    Put32(b, uint32_t(rects.size()));
    Put32(b, uint32_t(rects.size() * 16));
    for (int v : {bounds.l, bounds.t, bounds.r, bounds.b})
        Put32(b, uint32_t(v));
    for (const MfRect& r : rects)
        for (int v : {r.l, r.t, r.r, r.b})
            Put32(b, uint32_t(v));
    return b;
}

// The drawing calls both formats have. Create* return the object's index
// for Select and Delete.
class MetafileWriter {
public:
    virtual ~MetafileWriter() = default;
    virtual void SetMapMode(int mode) = 0;
    virtual void SetWindowOrg(int x, int y) = 0;
    virtual void SetWindowExt(int x, int y) = 0;
    virtual void SetViewportOrg(int x, int y) = 0;
    virtual void SetViewportExt(int x, int y) = 0;
    virtual int CreatePen(int style, int width, uint32_t colour) = 0;
    virtual int CreateBrush(int style, uint32_t colour) = 0;
    virtual void Select(int index) = 0;
    virtual void SelectStock(int stock) = 0;  // EMF only; WMF has none
    virtual void Delete(int index) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Rectangle(int l, int t, int r, int b) = 0;
    virtual void Ellipse(int l, int t, int r, int b) = 0;
    virtual void RoundRect(int l, int t, int r, int b, int w, int h) = 0;
    // kind 0 arc, 1 chord, 2 pie
    virtual void Arc(int kind, int l, int t, int r, int b, int xs, int ys, int xe, int ye) = 0;
    virtual void Polygon(const std::vector<MfPoint>& p) = 0;
    virtual void Polyline(const std::vector<MfPoint>& p) = 0;
    virtual void PolyPolygon(const std::vector<std::vector<MfPoint>>& p) = 0;
    virtual void SetPolyFillMode(int mode) = 0;
    virtual void SetBkColor(uint32_t c) = 0;
    virtual void SetTextColor(uint32_t c) = 0;
    virtual void SetBkMode(int mode) = 0;
    virtual void IntersectClipRect(int l, int t, int r, int b) = 0;
    virtual void ExcludeClipRect(int l, int t, int r, int b) = 0;
    virtual void SaveDC() = 0;
    virtual void RestoreDC(int n) = 0;
    virtual void SetPixel(int x, int y, uint32_t colour) = 0;
    // The layout flags (LAYOUT_RTL 1, LAYOUT_BITMAPORIENTATIONPRESERVED 8).
    virtual void SetLayout(uint32_t layout) = 0;
    // A SRCCOPY stretch of a whole 24-bit DIB (rows given top first, each
    // pixel 0x00RRGGBB) onto the destination rectangle.
    virtual void StretchDib(int x, int y, int w, int h, int dibW, int dibH,
                            const std::vector<uint32_t>& topDown) = 0;
    virtual std::vector<uint8_t> Bytes() const = 0;
};

// A value as a record's 32-bit float holds it, as the bits of an integer
// field.
inline int32_t FloatBits(double v)
{
    const float f = float(v);
    int32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// 16-bit units, little-endian, as the wide text records hold them.
inline std::vector<uint8_t> Utf16Bytes(const std::u16string& units)
{
    std::vector<uint8_t> b;
    for (char16_t u : units)
        Put16(b, uint16_t(u));
    return b;
}

// A DIB's 40-byte information header: w x h, one plane, `bits` per pixel,
// every later field 0.
inline void PutInfoHeader(std::vector<uint8_t>& b, int w, int h, int bits)
{
    Put32(b, 40);
    Put32(b, uint32_t(w));
    Put32(b, uint32_t(h));
    Put16(b, 1);
    Put16(b, uint16_t(bits));
    for (int i = 0; i < 6; i++)
        Put32(b, 0);
}

// A packed bottom-up DIB of 24 or 32 bits: the information header, then
// the rows, each pixel's bytes from the low one up (0xAARRGGBB as it lies
// in memory).
inline std::vector<uint8_t> PackedDib(int w, int h, int bits, const std::vector<uint32_t>& topDown)
{
    std::vector<uint8_t> b;
    PutInfoHeader(b, w, h, bits);
    const int bytes = bits / 8, stride = (w * bytes + 3) & ~3;
    for (int y = h - 1; y >= 0; y--) {
        const size_t start = b.size();
        for (int x = 0; x < w; x++)
            for (int k = 0; k < bytes; k++)
                b.push_back(uint8_t(topDown[size_t(y) * w + x] >> (8 * k)));
        b.resize(start + stride, 0);
    }
    return b;
}

// A packed 24-bit bottom-up DIB: BITMAPINFOHEADER, then the rows.
inline std::vector<uint8_t> PackedDib24(int w, int h, const std::vector<uint32_t>& topDown)
{
    return PackedDib(w, h, 24, topDown);
}

// A packed 1-bit DIB of up to 32 pixels a row: rows top first as strings
// of '0' and '1', colour table entries 0 and 1 (as RGBQUAD: blue, green,
// red, 0).
inline std::vector<uint8_t> PackedDib1(const std::vector<std::string>& rows, uint32_t c0,
                                       uint32_t c1)
{
    std::vector<uint8_t> b;
    const int w = int(rows[0].size()), h = int(rows.size());
    PutInfoHeader(b, w, h, 1);
    Put32(b, c0);
    Put32(b, c1);
    for (int y = h - 1; y >= 0; y--) {
        uint8_t bits[4] = {0, 0, 0, 0};
        for (int x = 0; x < w; x++)
            if (rows[y][x] == '1')
                bits[x / 8] |= uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), bits, bits + 4);
    }
    return b;
}

// A Windows metafile: the 18-byte header, records, the end record.
class WmfBuilder : public MetafileWriter {
public:
    explicit WmfBuilder(uint16_t objects = 16) : m_objects(objects), m_used(objects, false) {}

    // One record: function and 16-bit parameters as the file lists them.
    void Record(uint16_t function, std::initializer_list<int> params,
                const std::vector<uint8_t>& tail = {})
    {
        Record(function, std::vector<int>(params), tail);
    }
    // The same, the parameters held in a table's row.
    void Record(uint16_t function, const std::vector<int>& params,
                const std::vector<uint8_t>& tail = {})
    {
        std::vector<uint8_t> r;
        Put32(r, 0);
        Put16(r, function);
        for (int p : params)
            Put16(r, uint16_t(p));
        r.insert(r.end(), tail.begin(), tail.end());
        if (r.size() & 1)
            r.push_back(0);
        const uint32_t words = uint32_t(r.size() / 2);
        r[0] = uint8_t(words);
        r[1] = uint8_t(words >> 8);
        r[2] = uint8_t(words >> 16);
        r[3] = uint8_t(words >> 24);
        m_records.insert(m_records.end(), r.begin(), r.end());
        m_largest = words > m_largest ? words : m_largest;
    }
    // Bytes appended as they are (a damaged record, say).
    void Raw(const std::vector<uint8_t>& bytes) { m_records.insert(m_records.end(), bytes.begin(), bytes.end()); }

    void SetMapMode(int mode) override { Record(0x0103, {mode}); }
    void SetWindowOrg(int x, int y) override { Record(0x020B, {y, x}); }
    void SetWindowExt(int x, int y) override { Record(0x020C, {y, x}); }
    void SetViewportOrg(int x, int y) override { Record(0x020D, {y, x}); }
    void SetViewportExt(int x, int y) override { Record(0x020E, {y, x}); }
    int CreatePen(int style, int width, uint32_t c) override
    {
        Record(0x02FA, {style, width, 0, int(c & 0xFFFF), int(c >> 16)});
        return Take();
    }
    int CreateBrush(int style, uint32_t c) override
    {
        Record(0x02FC, {style, int(c & 0xFFFF), int(c >> 16), 0});
        return Take();
    }
    void Select(int index) override { Record(0x012D, {index}); }
    void SelectStock(int) override {}
    // A logical palette: each entry red, green, blue and flags from the low
    // byte up, as PALETTEENTRY lies in memory.
    int CreatePalette(const std::vector<uint32_t>& entries)
    {
        std::vector<uint8_t> tail;
        for (uint32_t e : entries)
            Put32(tail, e);
        Record(0x00F7, {0x0300, int(entries.size())}, tail);
        return Take();
    }
    // CREATEFONTINDIRECT: a LOGFONT of the height and weight given, its
    // other fields 0, and the face in its 32 bytes.
    int CreateLogFont(int height, const std::string& face = "DejaVu Sans", int weight = 400)
    {
        std::vector<uint8_t> name(32, 0);
        std::copy(face.begin(), face.begin() + std::min<size_t>(face.size(), 31), name.begin());
        Record(0x02FB, {height, 0, 0, 0, weight, 0, 0, 0, 0}, name);
        return Take();
    }
    void SelectPalette(int index) { Record(0x0234, {index}); }
    void Delete(int index) override
    {
        Record(0x01F0, {index});
        if (index >= 0 && index < int(m_used.size()))
            m_used[index] = false;
    }
    void MoveTo(int x, int y) override { Record(0x0214, {y, x}); }
    void LineTo(int x, int y) override { Record(0x0213, {y, x}); }
    void Rectangle(int l, int t, int r, int b) override { Record(0x041B, {b, r, t, l}); }
    void Ellipse(int l, int t, int r, int b) override { Record(0x0418, {b, r, t, l}); }
    void RoundRect(int l, int t, int r, int b, int w, int h) override
    {
        Record(0x061C, {h, w, b, r, t, l});
    }
    void Arc(int kind, int l, int t, int r, int b, int xs, int ys, int xe, int ye) override
    {
        const uint16_t f[] = {0x0817, 0x0830, 0x081A};
        Record(f[kind], {ye, xe, ys, xs, b, r, t, l});
    }
    void Polygon(const std::vector<MfPoint>& p) override { Points(0x0324, p); }
    void Polyline(const std::vector<MfPoint>& p) override { Points(0x0325, p); }
    void PolyPolygon(const std::vector<std::vector<MfPoint>>& polys) override
    {
        std::vector<uint8_t> tail;
        for (const auto& p : polys)
            Put16(tail, uint16_t(p.size()));
        for (const auto& p : polys)
            for (const MfPoint& q : p) {
                Put16(tail, uint16_t(q.x));
                Put16(tail, uint16_t(q.y));
            }
        Record(0x0538, {int(polys.size())}, tail);
    }
    void SetPolyFillMode(int mode) override { Record(0x0106, {mode}); }
    void SetBkColor(uint32_t c) override { Record(0x0201, {int(c & 0xFFFF), int(c >> 16)}); }
    void SetTextColor(uint32_t c) override { Record(0x0209, {int(c & 0xFFFF), int(c >> 16)}); }
    void SetBkMode(int mode) override { Record(0x0102, {mode}); }
    void IntersectClipRect(int l, int t, int r, int b) override { Record(0x0416, {b, r, t, l}); }
    void ExcludeClipRect(int l, int t, int r, int b) override { Record(0x0415, {b, r, t, l}); }
    void SaveDC() override { Record(0x001E, {}); }
    void RestoreDC(int n) override { Record(0x0127, {n}); }
    void SetPixel(int x, int y, uint32_t c) override
    {
        Record(0x041F, {int(c & 0xFFFF), int(c >> 16), y, x});
    }
    void SetLayout(uint32_t layout) override
    {
        Record(0x0149, {int(layout & 0xFFFF), int(layout >> 16)});
    }
    void StretchDib(int x, int y, int w, int h, int dibW, int dibH,
                    const std::vector<uint32_t>& topDown) override
    {
        // rop (SRCCOPY, low word first), colour use, source h, w, y, x, then
        // the destination h, w, y, x.
        Record(0x0F43, {0x0020, 0x00CC, 0, dibH, dibW, 0, 0, h, w, y, x},
               PackedDib24(dibW, dibH, topDown));
    }

    std::vector<uint8_t> Bytes() const override
    {
        std::vector<uint8_t> b;
        const uint32_t words = uint32_t(9 + m_records.size() / 2 + 3);
        Put16(b, 1);  // in memory
        Put16(b, 9);
        Put16(b, 0x0300);
        Put32(b, words);
        Put16(b, m_objects);
        Put32(b, m_largest);
        Put16(b, 0);
        b.insert(b.end(), m_records.begin(), m_records.end());
        Put32(b, 3);  // the end record
        Put16(b, 0);
        return b;
    }

    // The placeable header (key, handle, box, units per inch, reserved,
    // checksum) in front of Bytes(); `checksumDelta` spoils the checksum.
    std::vector<uint8_t> Placeable(int l, int t, int r, int b, int unitsPerInch,
                                   int checksumDelta = 0) const
    {
        std::vector<uint8_t> h;
        Put32(h, 0x9AC6CDD7);
        Put16(h, 0);
        Put16(h, uint16_t(l));
        Put16(h, uint16_t(t));
        Put16(h, uint16_t(r));
        Put16(h, uint16_t(b));
        Put16(h, uint16_t(unitsPerInch));
        Put32(h, 0);
        uint16_t sum = 0;
        for (size_t i = 0; i < 20; i += 2)
            sum ^= uint16_t(h[i] | (h[i + 1] << 8));
        Put16(h, uint16_t(sum + checksumDelta));
        const std::vector<uint8_t> body = Bytes();
        h.insert(h.end(), body.begin(), body.end());
        return h;
    }

private:
    void Points(uint16_t function, const std::vector<MfPoint>& p)
    {
        std::vector<uint8_t> tail;
        for (const MfPoint& q : p) {
            Put16(tail, uint16_t(q.x));
            Put16(tail, uint16_t(q.y));
        }
        Record(function, {int(p.size())}, tail);
    }
    // GDI puts a new object in the first free slot.
    int Take()
    {
        for (size_t i = 0; i < m_used.size(); i++)
            if (!m_used[i]) {
                m_used[i] = true;
                return int(i);
            }
        return -1;
    }

    uint16_t m_objects;
    std::vector<bool> m_used;
    std::vector<uint8_t> m_records;
    uint32_t m_largest = 3;
};

// An enhanced metafile: the 108-byte header, records, the end record (with
// an optional palette).
class EmfBuilder : public MetafileWriter {
public:
    // `bounds` inclusive, in pixels of the reference device.
    EmfBuilder(int l, int t, int r, int b, uint16_t handles = 16)
        : m_bounds{l, t, r, b}, m_handles(handles)
    {
    }

    void Record(uint32_t type, std::initializer_list<int32_t> fields,
                const std::vector<uint8_t>& tail = {})
    {
        Record(type, std::vector<int32_t>(fields), tail);
    }
    // The same, the fields held in a table's row.
    void Record(uint32_t type, const std::vector<int32_t>& fields,
                const std::vector<uint8_t>& tail = {})
    {
        std::vector<uint8_t> r;
        Put32(r, type);
        Put32(r, 0);
        for (int32_t f : fields)
            Put32(r, uint32_t(f));
        r.insert(r.end(), tail.begin(), tail.end());
        while (r.size() & 3)
            r.push_back(0);
        const uint32_t n = uint32_t(r.size());
        for (int i = 0; i < 4; i++)
            r[4 + i] = uint8_t(n >> (8 * i));
        m_records.insert(m_records.end(), r.begin(), r.end());
        m_count++;
    }
    void Raw(const std::vector<uint8_t>& bytes) { m_records.insert(m_records.end(), bytes.begin(), bytes.end()); }
    void Palette(const std::vector<uint32_t>& entries) { m_palette = entries; }

    void SetMapMode(int mode) override { Record(17, {mode}); }
    void SetWindowOrg(int x, int y) override { Record(10, {x, y}); }
    void SetWindowExt(int x, int y) override { Record(9, {x, y}); }
    void SetViewportOrg(int x, int y) override { Record(12, {x, y}); }
    void SetViewportExt(int x, int y) override { Record(11, {x, y}); }
    int CreatePen(int style, int width, uint32_t c) override
    {
        const int i = m_next++;
        Record(38, {i, style, width, 0, int32_t(c)});
        return i;
    }
    int CreateBrush(int style, uint32_t c) override
    {
        const int i = m_next++;
        Record(39, {i, style, int32_t(c), 0});
        return i;
    }
    void Select(int index) override { Record(37, {index}); }
    void SelectStock(int stock) override { Record(37, {int32_t(0x80000000u | uint32_t(stock))}); }
    // A logical palette, entries as in WmfBuilder::CreatePalette.
    int CreatePalette(const std::vector<uint32_t>& entries)
    {
        const int i = m_next++;
        std::vector<uint8_t> tail;
        for (uint32_t e : entries)
            Put32(tail, e);
        Record(49, {i, int32_t(0x0300 | (entries.size() << 16))}, tail);
        return i;
    }
    void SelectPalette(int index) { Record(48, {index}); }
    // EMR_EXTCREATEFONTINDIRECTW into `slot`, then selected: a LOGFONTW of
    // the height, width, escapement (the orientation alike), weight,
    // character set and face given, its other fields 0.
    void SelectFont(int slot, int32_t height, const std::u16string& face = u"DejaVu Sans",
                    int32_t width = 0, int32_t escapement = 0, int32_t weight = 400,
                    uint8_t charSet = 0)
    {
        std::vector<uint8_t> lf;
        for (int32_t v : {slot, height, width, escapement, escapement, weight})
            Put32(lf, uint32_t(v));
        for (uint8_t b : {0, 0, 0, int(charSet), 0, 0, 0, 0})
            lf.push_back(b);
        for (size_t i = 0; i < 32; i++)
            Put16(lf, i < face.size() ? uint16_t(face[i]) : 0);
        Record(82, {}, lf);
        Select(slot);
    }
    void Delete(int index) override { Record(40, {index}); }
    void MoveTo(int x, int y) override { Record(27, {x, y}); }
    void LineTo(int x, int y) override { Record(54, {x, y}); }
    void Rectangle(int l, int t, int r, int b) override { Record(43, {l, t, r, b}); }
    void Ellipse(int l, int t, int r, int b) override { Record(42, {l, t, r, b}); }
    void RoundRect(int l, int t, int r, int b, int w, int h) override
    {
        Record(44, {l, t, r, b, w, h});
    }
    void Arc(int kind, int l, int t, int r, int b, int xs, int ys, int xe, int ye) override
    {
        Record(uint32_t(45 + kind), {l, t, r, b, xs, ys, xe, ye});
    }
    void Polygon(const std::vector<MfPoint>& p) override { Poly(3, p); }
    void Polyline(const std::vector<MfPoint>& p) override { Poly(4, p); }
    // The 16-bit forms.
    void Polygon16(const std::vector<MfPoint>& p) { Poly(86, p, true); }
    void Polyline16(const std::vector<MfPoint>& p) { Poly(87, p, true); }
    void Poly(uint32_t type, const std::vector<MfPoint>& p, bool small = false)
    {
        std::vector<uint8_t> tail;
        PutPoints(tail, p, small);
        Record(type, {0, 0, 0, 0, int32_t(p.size())}, tail);
    }
    // Points as the 32-bit records hold them, or the 16-bit ones, `small`.
    static void PutPoints(std::vector<uint8_t>& b, const std::vector<MfPoint>& p, bool small)
    {
        for (const MfPoint& q : p) {
            if (small) {
                Put16(b, uint16_t(q.x));
                Put16(b, uint16_t(q.y));
            } else {
                Put32(b, uint32_t(q.x));
                Put32(b, uint32_t(q.y));
            }
        }
    }

    void PolyPolygon(const std::vector<std::vector<MfPoint>>& polys) override
    {
        PolyPoly(8, polys, false);
    }
    void PolyPoly(uint32_t type, const std::vector<std::vector<MfPoint>>& polys, bool small)
    {
        std::vector<uint8_t> tail;
        size_t total = 0;
        for (const auto& p : polys) {
            Put32(tail, uint32_t(p.size()));
            total += p.size();
        }
        for (const auto& p : polys)
            PutPoints(tail, p, small);
        Record(type, {0, 0, 0, 0, int32_t(polys.size()), int32_t(total)}, tail);
    }
    // A gradient: vertices (x, y, 16-bit red, green, blue), then the
    // shapes' vertex indices, two a rectangle, three a triangle (mode 2).
    struct Vertex {
        int x, y;
        uint16_t r, g, b;
    };
    void GradientFill(const std::vector<Vertex>& v, const std::vector<uint32_t>& indices,
                      uint32_t mode)
    {
        std::vector<uint8_t> tail;
        for (const Vertex& q : v) {
            Put32(tail, uint32_t(q.x));
            Put32(tail, uint32_t(q.y));
            Put16(tail, q.r);
            Put16(tail, q.g);
            Put16(tail, q.b);
            Put16(tail, 0);
        }
        for (uint32_t i : indices)
            Put32(tail, i);
        const uint32_t shapes = uint32_t(indices.size() / (mode == 2 ? 3 : 2));
        Record(118, {0, 0, 0, 0, int32_t(v.size()), int32_t(shapes), int32_t(mode)}, tail);
    }
    // ALPHABLEND (114) or TRANSPARENTBLT (116) of a packed DIB: the
    // destination, the blend function or key colour, the source corner, an
    // identity transform, then the bitmap at 108 and the source extent.
    void BlendBlt(uint32_t type, int x, int y, int w, int h, uint32_t blendOrKey, int sx, int sy,
                  int sw, int sh, const std::vector<uint8_t>& dib)
    {
        const int32_t one = 0x3F800000;  // 1.0 as a float's bits
        Record(type, {0,   0, 0, 0, x, y,   w,  h,   int32_t(blendOrKey),      sx, sy, one, 0, 0,
                      one, 0, 0, 0, 0, 108, 40, 148, int32_t(dib.size() - 40), sw, sh},
               dib);
    }
    // SETWORLDTRANSFORM and MODIFYWORLDTRANSFORM (1 identity, 2 on the
    // left, 3 on the right): the transform's values as 32-bit floats.
    void SetWorldTransform(double m11, double m12, double m21, double m22, double dx, double dy)
    {
        Record(35, {FloatBits(m11), FloatBits(m12), FloatBits(m21), FloatBits(m22), FloatBits(dx),
                    FloatBits(dy)});
    }
    void ModifyWorldTransform(double m11, double m12, double m21, double m22, double dx, double dy,
                              int mode)
    {
        Record(36, {FloatBits(m11), FloatBits(m12), FloatBits(m21), FloatBits(m22), FloatBits(dx),
                    FloatBits(dy), mode});
    }
    // EXTCREATEPEN into `slot`, then selected: no bitmap; the pen's style,
    // width, brush style and colour, then its user style's runs.
    void SelectExtPen(int slot, int style, int width, int brushStyle, uint32_t colour,
                      const std::vector<int32_t>& runs = {})
    {
        std::vector<int32_t> f = {
            slot, 0, 0, 0, 0, style, width, brushStyle, int32_t(colour), 0, int32_t(runs.size())};
        f.insert(f.end(), runs.begin(), runs.end());
        Record(95, f);
        Select(slot);
    }
    // EXTTEXTOUTA (83) or EXTTEXTOUTW (84) at (x, y): `count` characters
    // held in `text` (padded here to whole words), the options and
    // rectangle, the spacing array when there is one, and the bounds
    // (unknown unless given).
    void ExtTextRecord(uint32_t type, int x, int y, size_t count, std::vector<uint8_t> text,
                       unsigned options = 0, const MfRect& rect = {0, 0, 0, 0},
                       const std::vector<int32_t>& dx = {}, const MfRect& bounds = {0, 0, -1, -1})
    {
        text.resize((text.size() + 3) & ~size_t(3), 0);
        const int32_t offDx = dx.empty() ? 0 : int32_t(76 + text.size());
        for (int32_t d : dx)
            Put32(text, uint32_t(d));
        Record(type,
               {bounds.l, bounds.t, bounds.r, bounds.b, 1, 0, 0, x, y, int32_t(count), 76,
                int32_t(options), rect.l, rect.t, rect.r, rect.b, offDx},
               text);
    }
    // PLGBLT (79) of a whole sw x sh packed DIB (a 40-byte header) onto the
    // parallelogram of three corners: the bounds, the corners, the source
    // rectangle, an identity transform, background, usage, the bitmap (header
    // at 140), then the mask's corner, usage and bitmap (48 bytes of header
    // and colour table), none when `mask` is empty.
    void PlgBlt(const MfPoint (&c)[3], int sw, int sh, const std::vector<uint8_t>& dib,
                const std::vector<uint8_t>& mask = {})
    {
        const int32_t one = 0x3F800000;  // 1.0 as a float's bits
        std::vector<uint8_t> tail = dib;
        tail.insert(tail.end(), mask.begin(), mask.end());
        const int32_t maskAt = int32_t(140 + dib.size());
        const int32_t maskInfo = mask.empty() ? 0 : 48;
        const int32_t maskBits = mask.empty() ? 0 : int32_t(mask.size() - 48);
        // The bounds, corners and source; transform, background, usage and
        // bitmap; the mask.
        std::vector<int32_t> f = {0,      0,      0,      0, c[0].x, c[0].y, c[1].x,
                                  c[1].y, c[2].x, c[2].y, 0, 0,      sw,     sh};
        for (int32_t v : {one, 0, 0, one, 0, 0, 0, 0, 140, 40, 180, int32_t(dib.size() - 40)})
            f.push_back(v);
        for (int32_t v : {0, 0, 0, maskAt, maskInfo, maskAt + maskInfo, maskBits})
            f.push_back(v);
        Record(79, f, tail);
    }
    void SetPolyFillMode(int mode) override { Record(19, {mode}); }
    void SetBkColor(uint32_t c) override { Record(25, {int32_t(c)}); }
    void SetTextColor(uint32_t c) override { Record(24, {int32_t(c)}); }
    void SetBkMode(int mode) override { Record(18, {mode}); }
    void IntersectClipRect(int l, int t, int r, int b) override { Record(30, {l, t, r, b}); }
    void ExcludeClipRect(int l, int t, int r, int b) override { Record(29, {l, t, r, b}); }
    void SaveDC() override { Record(33, {}); }
    void RestoreDC(int n) override { Record(34, {n}); }
    void SetPixel(int x, int y, uint32_t c) override { Record(15, {x, y, int32_t(c)}); }
    void SetLayout(uint32_t layout) override { Record(115, {int32_t(layout)}); }
    void StretchDib(int x, int y, int w, int h, int dibW, int dibH,
                    const std::vector<uint32_t>& topDown) override
    {
        const std::vector<uint8_t> dib = PackedDib24(dibW, dibH, topDown);
        // Bounds; dest x, y; source x, y, w, h; info at 80 (40 bytes), bits
        // after it; usage, SRCCOPY; dest w, h.
        Record(81, {0, 0, 0, 0, x, y, 0, 0, dibW, dibH, 80, 40, 120, int32_t(dib.size() - 40), 0,
                    0x00CC0020, w, h},
               dib);
    }

    std::vector<uint8_t> Bytes() const override
    {
        std::vector<uint8_t> eof;
        Put32(eof, 14);
        const uint32_t eofSize = uint32_t(20 + 4 * m_palette.size());
        Put32(eof, eofSize);
        Put32(eof, uint32_t(m_palette.size()));
        Put32(eof, 16);
        for (uint32_t c : m_palette)
            Put32(eof, c);
        Put32(eof, eofSize);

        std::vector<uint8_t> b;
        const uint32_t total = uint32_t(108 + m_records.size() + eof.size());
        Put32(b, 1);
        Put32(b, 108);
        for (int v : m_bounds)
            Put32(b, uint32_t(v));
        // The frame in 0.01 mm of a device of 1024 x 768 pixels, 320 x 240 mm.
        for (int i = 0; i < 4; i++)
            Put32(b, uint32_t(m_bounds[i] * 3125 / 100));
        Put32(b, 0x464D4520);
        Put32(b, 0x10000);
        Put32(b, total);
        Put32(b, m_count + 2);
        Put16(b, m_handles);
        Put16(b, 0);
        Put32(b, 0);  // description
        Put32(b, 0);
        Put32(b, uint32_t(m_palette.size()));
        Put32(b, 1024);
        Put32(b, 768);
        Put32(b, 320);
        Put32(b, 240);
        Put32(b, 0);  // pixel format
        Put32(b, 0);
        Put32(b, 0);  // OpenGL
        Put32(b, 320000);
        Put32(b, 240000);
        b.insert(b.end(), m_records.begin(), m_records.end());
        b.insert(b.end(), eof.begin(), eof.end());
        return b;
    }

private:
    int m_bounds[4];
    uint16_t m_handles;
    int m_next = 1;
    uint32_t m_count = 0;
    std::vector<uint8_t> m_records;
    std::vector<uint32_t> m_palette;
};
