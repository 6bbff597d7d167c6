// The selection plane: one byte per pixel beside the pixel block (rows
// bottom-up, stride = width), 255 where an addition selected the pixel, and
// its bounding box in rSelectionBox (bottom-up; top above the highest row).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "rasterimage.h"

namespace {

long Clamp(long v, long m)
{
    return v < 0 ? 0 : v > m ? m : v;
}

}  // namespace

// The empty box: every addition widens it.
void RasterImage::_selectionresetbox()
{
    info.rSelectionBox.left = (LONG)GetWidth();
    info.rSelectionBox.right = 0;
    info.rSelectionBox.bottom = (LONG)GetHeight();
    info.rSelectionBox.top = 0;
}

bool RasterImage::SelectionCreate()
{
    SelectionDelete();
    if (pDib == NULL)
        return false;
    const size_t n = (size_t)GetWidth() * GetHeight();
    pSelection = static_cast<BYTE*>(calloc(n == 0 ? 1 : n, 1));
    return pSelection != NULL;
}

bool RasterImage::SelectionDelete()
{
    free(pSelection);
    pSelection = NULL;
    _selectionresetbox();
    return true;
}

bool RasterImage::SelectionClear()
{
    if (pSelection == NULL)
        return false;
    memset(pSelection, 0, (size_t)GetWidth() * GetHeight());
    _selectionresetbox();
    return true;
}

bool RasterImage::SelectionIsInside(long x, long y) const
{
    if (!IsInside(x, y))
        return false;
    if (pSelection == NULL)
        return true;
    return pSelection[(size_t)y * GetWidth() + x] != 0;
}

bool RasterImage::SelectionInvert()
{
    if (pSelection == NULL)
        return false;
    const size_t n = (size_t)GetWidth() * GetHeight();
    for (size_t i = 0; i < n; i++)
        pSelection[i] = (BYTE)(255 - pSelection[i]);
    return true;
}

bool RasterImage::SelectionCopy(RasterImage& from)
{
    if (from.pSelection == NULL || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight())
        return false;
    if (this == &from)
        return true;
    const size_t n = (size_t)GetWidth() * GetHeight();
    if (pSelection == NULL) {
        pSelection = static_cast<BYTE*>(malloc(n == 0 ? 1 : n));
        if (pSelection == NULL)
            return false;
    }
    memcpy(pSelection, from.pSelection, n);
    info.rSelectionBox = from.info.rSelectionBox;
    return true;
}

bool RasterImage::SelectionAddRect(RECT r)
{
    if (pSelection == NULL)
        SelectionCreate();
    if (pSelection == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const long left = std::min<long>(r.left, r.right), right = std::max<long>(r.left, r.right);
    const long bottom = std::min<long>(r.top, r.bottom), top = std::max<long>(r.top, r.bottom);
    RECT& box = info.rSelectionBox;
    if (box.top < top)
        box.top = (LONG)Clamp(top, height);
    if (box.left > left)
        box.left = (LONG)Clamp(left, width);
    if (box.right < right)
        box.right = (LONG)Clamp(right, width);
    if (box.bottom > bottom)
        box.bottom = (LONG)Clamp(bottom, height);
    const long x0 = Clamp(left, width), x1 = Clamp(right, width);
    for (long y = Clamp(bottom, height); y < Clamp(top, height); y++)
        memset(pSelection + (size_t)y * width + x0, 255, (size_t)(x1 - x0));
    return true;
}

bool RasterImage::SelectionAddEllipse(RECT r)
{
    if (pSelection == NULL)
        SelectionCreate();
    if (pSelection == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    const long xradius = std::labs((long)r.right - r.left) / 2;
    const long yradius = std::labs((long)r.top - r.bottom) / 2;
    if (xradius == 0 || yradius == 0)
        return false;
    const long xcenter = ((long)r.right + r.left) / 2, ycenter = ((long)r.top + r.bottom) / 2;
    RECT& box = info.rSelectionBox;
    box.left = (LONG)std::min<long>(box.left, Clamp(xcenter - xradius, width));
    box.right = (LONG)std::max<long>(box.right, Clamp(xcenter + xradius, width));
    box.bottom = (LONG)std::min<long>(box.bottom, Clamp(ycenter - yradius, height));
    box.top = (LONG)std::max<long>(box.top, Clamp(ycenter + yradius, height));
    // Rows are kept inside the image too: a centre outside it must not write
    // outside the plane.
    const long lowFirst = Clamp(ycenter - yradius, height), lowEnd = Clamp(ycenter, height);
    const long highFirst = Clamp(ycenter, height), highEnd = Clamp(ycenter + yradius, height);
    for (long x = Clamp(xcenter - xradius, width); x < Clamp(xcenter + xradius, width); x++) {
        const float t = (float)(x - xcenter) / xradius;
        const float h = sqrtf(1 - t * t) * yradius;
        for (long y = lowFirst; y < lowEnd; y++) {
            if ((long)(ycenter - h) < y)
                pSelection[(size_t)y * width + x] = 255;
        }
        for (long y = highFirst; y < highEnd; y++) {
            if ((long)(ycenter + h) > y)
                pSelection[(size_t)y * width + x] = 255;
        }
    }
    return true;
}

namespace {

// The scratch plane of a polygon: 255 on the outlines, 1 where the flood from
// the box's edges reached, 0 elsewhere.
struct PolygonPlane {
    long width, height;
    BYTE* cells;
    BYTE& at(long x, long y) { return cells[(size_t)y * width + x]; }
    void mark(long x, long y)
    {
        if (0 <= x && x < width && 0 <= y && y < height)
            at(x, y) = 255;
    }
};

// The segment twice, stepped along x and along y, so that it has no gaps.
void DrawSegment(PolygonPlane& plane, POINT from, POINT to)
{
    // Only steps that land inside the image can mark a pixel: the others are
    // skipped, so far-away corners cost nothing.
    if (from.x != to.x) {
        const float slope = (float)(((double)to.y - from.y) / ((double)to.x - from.x));
        const long first = std::max<long>(std::min<long>(from.x, to.x), 0);
        const long last = std::min<long>(std::max<long>(from.x, to.x), plane.width - 1);
        for (long x = first; x <= last; x++)
            plane.mark(x, (long)(from.y + (float)(x - from.x) * slope));
    }
    if (from.y != to.y) {
        const float slope = (float)(((double)to.x - from.x) / ((double)to.y - from.y));
        const long first = std::max<long>(std::min<long>(from.y, to.y), 0);
        const long last = std::min<long>(std::max<long>(from.y, to.y), plane.height - 1);
        for (long y = first; y <= last; y++)
            plane.mark((long)(from.x + (float)(y - from.y) * slope), y);
    }
}

struct Box {
    long left, right, bottom, top;  // inclusive on every side
};

// The flood's ring queue: offsets (x, y) from the seed, one entry per pixel
// of the box at most (a pixel is marked 2 while it waits, so it is never
// queued twice) and one more, so that a full ring is not taken for empty.
struct FloodQueue {
    int32_t* entries;
    size_t length;
};

// Marks with 1 every 0 pixel of the box connected to the seed, a row run at a
// time. Pixels waiting in the queue stop a run like the outline does; their
// own turn continues it, so the same pixels end up marked.
void FloodFrom(PolygonPlane& plane, const Box& box, long sx, long sy, FloodQueue& queue)
{
    if (plane.at(sx, sy) != 0)
        return;
    size_t read = 0, write = 0;
    auto push = [&](long x, long y) {
        plane.at(x, y) = 2;
        queue.entries[2 * write] = (int32_t)(x - sx);
        queue.entries[2 * write + 1] = (int32_t)(y - sy);
        write = write + 1 == queue.length ? 0 : write + 1;
    };
    push(sx, sy);
    while (read != write) {
        const long px = sx + queue.entries[2 * read], py = sy + queue.entries[2 * read + 1];
        read = read + 1 == queue.length ? 0 : read + 1;
        auto visit = [&](long x) {
            plane.at(x, py) = 1;
            if (py - 1 >= box.bottom && plane.at(x, py - 1) == 0)
                push(x, py - 1);
            if (py + 1 <= box.top && plane.at(x, py + 1) == 0)
                push(x, py + 1);
        };
        visit(px);
        for (long x = px + 1; x <= box.right && plane.at(x, py) == 0; x++)
            visit(x);
        for (long x = px - 1; x >= box.left && plane.at(x, py) == 0; x--)
            visit(x);
    }
}

// Whether the point (x, y) lies inside any outline: an outline winds round
// it at least once (outlines are separated by points whose x is -1). The
// winding, not the parity of crossings, so that the middle of an outline
// that crosses itself, wound round twice, is inside too.
bool InsideAnyOutline(const POINT* points, long count, long x, long y)
{
    long first = 0;
    for (long i = 0; i <= count; i++) {
        if (i < count && points[i].x != -1)
            continue;
        long winding = 0;
        for (long a = first; a < i; a++) {
            const POINT p = points[a], q = points[a + 1 < i ? a + 1 : first];
            if ((p.y > y) == (q.y > y))
                continue;
            // Which side of the edge p -> q the point lies on.
            const double side =
                ((double)q.x - p.x) * ((double)y - p.y) - ((double)x - p.x) * ((double)q.y - p.y);
            if (q.y > p.y && side > 0)
                winding++;
            else if (q.y < p.y && side < 0)
                winding--;
        }
        if (winding != 0)
            return true;
        first = i + 1;
    }
    return false;
}

// Floods the outside of the outlines drawn in `plane` from the edges of the
// (non-empty) box and selects the rest of the box; false when the queue
// cannot be allocated, with the selection unchanged.
bool FillPolygon(const POINT* points, long count, PolygonPlane& plane, const Box& box,
                 BYTE* selection)
{
    const long width = plane.width, height = plane.height;
    // Flood the outside from every pixel of the box's edges. Where the
    // outlines reach past the image the box was cut at its edge, and an edge
    // pixel may lie inside an outline: such a pixel seeds nothing, or the
    // flood would run through the inside. (Inside the image the edges are the
    // margin, outside every outline, and all of them seed.)
    const bool cut =
        box.left == 0 || box.bottom == 0 || box.right == width - 1 || box.top == height - 1;
    const size_t boxPixels =
        (size_t)(box.right - box.left + 1) * (size_t)(box.top - box.bottom + 1);
    std::unique_ptr<int32_t[]> entries(new (std::nothrow) int32_t[(boxPixels + 1) * 2]);
    if (!entries)
        return false;
    FloodQueue queue = {entries.get(), boxPixels + 1};
    auto seed = [&](long x, long y) {
        if (plane.at(x, y) == 0 && !(cut && InsideAnyOutline(points, count, x, y)))
            FloodFrom(plane, box, x, y, queue);
    };
    for (long x = box.left; x <= box.right; x++)
        seed(x, box.bottom);
    for (long y = box.bottom; y <= box.top; y++)
        seed(box.right, y);
    for (long x = box.left; x <= box.right; x++)
        seed(x, box.top);
    for (long y = box.bottom; y <= box.top; y++)
        seed(box.left, y);

    for (long y = box.bottom; y <= box.top; y++) {
        for (long x = box.left; x <= box.right; x++) {
            if (plane.at(x, y) != 1)
                selection[(size_t)y * width + x] = 255;
        }
    }
    return true;
}

}  // namespace

bool RasterImage::SelectionAddPolygon(POINT* points, long count)
{
    if (points == NULL || count < 3)
        return false;
    if (pSelection == NULL)
        SelectionCreate();
    if (pSelection == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    if (width == 0 || height == 0)
        return true;
    // Both scratch blocks are released on every way out.
    std::unique_ptr<BYTE, decltype(&free)> cells(
        static_cast<BYTE*>(calloc((size_t)width * height, 1)), &free);
    if (!cells)
        return false;
    PolygonPlane plane{width, height, cells.get()};

    // The local box keeps one background pixel around the outlines.
    Box box = {width, 0, height, 0};
    auto grow = [&](POINT a, POINT b) {
        const long x1 = std::min<long>(a.x, b.x), x2 = std::max<long>(a.x, b.x);
        const long y1 = std::min<long>(a.y, b.y), y2 = std::max<long>(a.y, b.y);
        if (box.top < y2)
            box.top = std::max<long>(std::min<long>(y2 + 1, height - 1), 0);
        if (box.left > x1)
            box.left = std::min<long>(std::max<long>(x1 - 1, 0), width - 1);
        if (box.right < x2)
            box.right = std::max<long>(std::min<long>(x2 + 1, width - 1), 0);
        if (box.bottom > y1)
            box.bottom = std::min<long>(std::max<long>(y1 - 1, 0), height - 1);
    };
    long start = 0;
    bool haveNext = false;
    POINT next = {0, 0};
    for (long i = 0; i < count; i++) {
        const POINT current = points[i];
        if (current.x == -1) {
            // A separator widens the box with its own point and the last
            // outline's closing point; before any outline it has none.
            if (haveNext)
                grow(current, next);
            continue;
        }
        if (i == 0 || points[i - 1].x == -1)
            start = i;
        next = (i == count - 1 || points[i + 1].x == -1) ? points[start] : points[i + 1];
        haveNext = true;
        DrawSegment(plane, current, next);
        grow(current, next);
    }
    // Nothing of the outlines reaches the image on a polygon wholly right
    // of or above it: the box is empty and nothing is filled, but the
    // image's box grows as it does on the other sides.
    if (box.left <= box.right && box.bottom <= box.top &&
        !FillPolygon(points, count, plane, box, pSelection))
        return false;
    RECT& sel = info.rSelectionBox;
    if (sel.top < box.top)
        sel.top = (LONG)(box.top + 1);
    if (sel.left > box.left)
        sel.left = (LONG)box.left;
    if (sel.right < box.right)
        sel.right = (LONG)(box.right + 1);
    if (sel.bottom > box.bottom)
        sel.bottom = (LONG)box.bottom;
    return true;
}

bool RasterImage::SelectionAddColor(RGBQUAD colour)
{
    if (pSelection == NULL)
        SelectionCreate();
    if (pSelection == NULL)
        return false;
    const long width = (long)GetWidth(), height = (long)GetHeight();
    long left = width, right = 0, bottom = height, top = 0;
    for (long y = 0; y < height; y++) {
        for (long x = 0; x < width; x++) {
            const RGBQUAD c = GetPixelColor(x, y, true);
            if (c.rgbRed != colour.rgbRed || c.rgbGreen != colour.rgbGreen ||
                c.rgbBlue != colour.rgbBlue)
                continue;
            pSelection[(size_t)y * width + x] = 255;
            top = std::max(top, y);
            bottom = std::min(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    RECT& box = info.rSelectionBox;
    box.top = (LONG)std::max<long>(box.top, top);
    box.left = (LONG)std::min<long>(box.left, left);
    box.right = (LONG)std::max<long>(box.right, right);
    box.bottom = (LONG)std::min<long>(box.bottom, bottom);
    return true;
}

bool RasterImage::SelectionAddPixel(int x, int y)
{
    if (pSelection == NULL)
        SelectionCreate();
    if (pSelection == NULL)
        return false;
    if (!IsInside(x, y))
        return false;
    pSelection[(size_t)y * GetWidth() + x] = 255;
    return true;
}

bool RasterImage::SelectionToHRGN(HRGN& region)
{
    if (pSelection == NULL || region == NULL)
        return false;
    // Each run of 255 in a row is the rectangle [start, end) x [y, y + 1).
    // The runs go to the region in one union rather than one at a time: the
    // same pixels, without rebuilding the region for every run.
    const long width = (long)GetWidth(), height = (long)GetHeight();
    std::vector<BYTE> list(sizeof(RGNDATAHEADER));
    DWORD count = 0;
    for (long y = 0; y < height; y++) {
        const BYTE* row = pSelection + (size_t)y * width;
        long x = 0;
        while (x < width) {
            if (row[x] != 255) {
                x++;
                continue;
            }
            const long start = x;
            while (x < width && row[x] == 255)
                x++;
            const RECT run = {(LONG)start, (LONG)y, (LONG)x, (LONG)(y + 1)};
            const BYTE* bytes = reinterpret_cast<const BYTE*>(&run);
            list.insert(list.end(), bytes, bytes + sizeof(run));
            count++;
        }
    }
    if (list.size() > UINT32_MAX)
        return false;
    RGNDATAHEADER header = {sizeof(RGNDATAHEADER),
                            RDH_RECTANGLES,
                            count,
                            (DWORD)(count * sizeof(RECT)),
                            {0, 0, (LONG)width, (LONG)height}};
    memcpy(list.data(), &header, sizeof(header));
    HRGN runs = ExtCreateRegion(NULL, (DWORD)list.size(), reinterpret_cast<RGNDATA*>(list.data()));
    if (runs == NULL)
        return false;
    CombineRgn(region, runs, region, RGN_OR);
    DeleteObject(runs);
    return true;
}
