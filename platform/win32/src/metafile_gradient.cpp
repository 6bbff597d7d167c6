// Gradient fills: rectangles shaded from one edge's colour to the other's,
// and triangles shaded between their corners' colours.
//
// Colours are 16-bit a channel and are interpolated at 16 bits; a pixel
// takes the top 8 bits of its value. A rectangle shaded across, k pixels of
// its width w from its left edge, is left * (w - k) / w + right * k / w
// (whole numbers, rounded down): its first column takes the left colour
// exactly and the right colour is approached, never reached, as with the
// pixels of a rectangle's own right edge. A triangle's pixel takes the
// corners' colours weighted by where its centre lies (barycentric weights),
// and a pixel is the triangle's when its centre lies inside or on an edge.
// Gradients are written as they are, whatever the ROP2 mode.
#include "metafile_more_records.h"

#include <algorithm>
#include <cmath>

namespace win32metafile {

namespace {

// A canvas pixel edge for a mapped coordinate: pixels whose centres lie
// past it.
long Edge(double v)
{
    if (!std::isfinite(v))
        return 0;
    return (long)std::ceil(std::max(-1e9, std::min(1e9, v)) - 0.5);
}

COLORREF ChannelColour(double r, double g, double b)
{
    auto top = [](double v) { return (BYTE)((unsigned)std::max(0.0, std::min(65535.0, v)) >> 8); };
    return RGB(top(r), top(g), top(b));
}

// Channel c of a vertex.
double Channel(const GradientVertex& v, int c)
{
    return c == 0 ? v.red : c == 1 ? v.green : v.blue;
}

}  // namespace

bool Player::GradientFill(const std::vector<GradientVertex>& vertices,
                          const std::vector<DWORD>& indices, DWORD mode)
{
    if (mode > kGradientTriangle)
        return false;
    for (DWORD i : indices) {
        if (i >= vertices.size())
            return false;
    }
    const size_t each = mode == kGradientTriangle ? 3 : 2;
    for (size_t s = 0; s + each <= indices.size() && !m_raster.Spent(); s += each) {
        if (mode == kGradientTriangle) {
            const GradientVertex* v[3] = {&vertices[indices[s]], &vertices[indices[s + 1]],
                                          &vertices[indices[s + 2]]};
            _gradientTriangle(v);
        } else {
            _gradientRect(vertices[indices[s]], vertices[indices[s + 1]], mode == kGradientRectH);
        }
    }
    return true;
}

void Player::_gradientRect(const GradientVertex& a, const GradientVertex& b, bool across)
{
    if (m_skewed) {
        // Turned or sheared: two triangles, the far corners' colours those
        // of the edge they lie on.
        GradientVertex c = a, d = b;
        c.x = b.x, d.x = a.x;  // (right, top) and (left, bottom)
        const GradientVertex& cc = across ? b : a;
        const GradientVertex& dc = across ? a : b;
        c.red = cc.red, c.green = cc.green, c.blue = cc.blue;
        d.red = dc.red, d.green = dc.green, d.blue = dc.blue;
        const GradientVertex* t1[3] = {&a, &c, &b};
        const GradientVertex* t2[3] = {&a, &b, &d};
        _gradientTriangle(t1);
        _gradientTriangle(t2);
        return;
    }
    const PointD p = _map(a.x, a.y), q = _map(b.x, b.y);
    const long x0 = Edge(std::min(p.x, q.x)), x1 = Edge(std::max(p.x, q.x));
    const long y0 = Edge(std::min(p.y, q.y)), y1 = Edge(std::max(p.y, q.y));
    const long w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0)
        return;
    // The vertex whose colour the first column (or row) takes.
    const bool aFirst = across ? p.x <= q.x : p.y <= q.y;
    const GradientVertex& first = aFirst ? a : b;
    const GradientVertex& last = aFirst ? b : a;
    const long steps = across ? w : h;
    auto at = [&](long k) {
        double c[3];
        for (int i = 0; i < 3; i++)
            c[i] = (double)(((uint64_t)Channel(first, i) * (uint64_t)(steps - k) +
                             (uint64_t)Channel(last, i) * (uint64_t)k) /
                            (uint64_t)steps);
        return ChannelColour(c[0], c[1], c[2]);
    };
    const long cx0 = std::max(x0, 0L), cx1 = std::min(x1, (long)m_raster.Width());
    const long cy0 = std::max(y0, 0L), cy1 = std::min(y1, (long)m_raster.Height());
    // Shaded across, every row is the same: its runs, neighbours of one
    // 8-bit colour each, are found once for all the rows.
    struct Run {
        long start, end;
        COLORREF colour;
    };
    std::vector<Run> runs;
    if (across && cx0 < cx1) {
        long start = cx0;
        COLORREF colour = at(cx0 - x0);
        for (long x = cx0 + 1; x <= cx1; x++) {
            const COLORREF next = x < cx1 ? at(x - x0) : colour + 1;
            if (next != colour) {
                runs.push_back({start, x, colour});
                start = x;
                colour = next;
            }
        }
    }
    for (long y = cy0; y < cy1 && !m_raster.Spent(); y++) {
        if (!across) {
            m_raster.Put((int)y, (int)cx0, (int)cx1, at(y - y0));
            continue;
        }
        for (const Run& run : runs)
            m_raster.Put((int)y, (int)run.start, (int)run.end, run.colour);
    }
}

void Player::_gradientTriangle(const GradientVertex* v[3])
{
    PointD p[3];
    for (int i = 0; i < 3; i++)
        p[i] = _map(v[i]->x, v[i]->y);
    const double area =
        (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
    if (!std::isfinite(area) || area == 0)
        return;
    double lo = std::min({p[0].x, p[1].x, p[2].x}), hi = std::max({p[0].x, p[1].x, p[2].x});
    const long x0 = std::max(Edge(lo), 0L), x1 = std::min(Edge(hi) + 1, (long)m_raster.Width());
    lo = std::min({p[0].y, p[1].y, p[2].y}), hi = std::max({p[0].y, p[1].y, p[2].y});
    const long y0 = std::max(Edge(lo), 0L), y1 = std::min(Edge(hi) + 1, (long)m_raster.Height());
    if (x0 >= x1 || y0 >= y1)
        return;
    // The weight of each corner at a point: the area of the triangle the
    // point makes with the other two corners, over the whole; as a linear
    // function of the point, x * k[0] + y * k[1] + k[2].
    double k[3][3];
    for (int i = 0; i < 3; i++) {
        const PointD& a = p[(i + 1) % 3];
        const PointD& b = p[(i + 2) % 3];
        k[i][0] = (a.y - b.y) / area;
        k[i][1] = (b.x - a.x) / area;
        k[i][2] = (a.x * b.y - b.x * a.y) / area;
    }
    m_raster.Charge((uint64_t)(x1 - x0) * (uint64_t)(y1 - y0));
    for (long y = y0; y < y1 && !m_raster.Spent(); y++) {
        const double cy = y + 0.5;
        // Neighbours of one colour are written as one run.
        long start = -1;
        COLORREF run = 0;
        auto flush = [&](long end) {
            if (start >= 0)
                m_raster.Put((int)y, (int)start, (int)end, run);
            start = -1;
        };
        for (long x = x0; x < x1; x++) {
            const double cx = x + 0.5;
            double w[3];
            for (int i = 0; i < 3; i++)
                w[i] = k[i][0] * cx + k[i][1] * cy + k[i][2];
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) {
                flush(x);
                continue;
            }
            double c[3];
            for (int k = 0; k < 3; k++)
                c[k] = std::floor(w[0] * Channel(*v[0], k) + w[1] * Channel(*v[1], k) +
                                  w[2] * Channel(*v[2], k));
            const COLORREF colour = ChannelColour(c[0], c[1], c[2]);
            if (start >= 0 && colour != run)
                flush(x);
            if (start < 0) {
                start = x;
                run = colour;
            }
        }
        flush(x1);
    }
}

bool PlayGradientRecord(const RecordBytes& r, Player& player)
{
    // Bounds, the vertex count, the shape count, the mode; the vertices
    // (x, y, then red, green, blue and alpha of 16 bits), then the shapes:
    // two vertex indices a rectangle, three a triangle.
    DWORD vertices = 0, shapes = 0, mode = 0;
    if (!r.U32(24, vertices) || !r.U32(28, shapes) || !r.U32(32, mode))
        return false;
    const uint64_t each = mode == kGradientTriangle ? 3 : 2;
    const uint64_t shapesAt = 36 + (uint64_t)vertices * 16;
    if (shapesAt > r.Size() || (uint64_t)shapes * each * 4 > r.Size() - shapesAt)
        return false;
    std::vector<GradientVertex> v(vertices);
    for (DWORD i = 0; i < vertices; i++) {
        const size_t at = 36 + (size_t)i * 16;
        long x = 0, y = 0;
        WORD red = 0, green = 0, blue = 0;
        r.S32(at, x), r.S32(at + 4, y);
        r.U16(at + 8, red), r.U16(at + 10, green), r.U16(at + 12, blue);
        v[i] = {x, y, red, green, blue};
    }
    std::vector<DWORD> indices((size_t)(shapes * each));
    for (size_t i = 0; i < indices.size(); i++)
        r.U32((size_t)shapesAt + 4 * i, indices[i]);
    return player.GradientFill(v, indices, mode);
}

}  // namespace win32metafile
