// Random sequences of enhanced-metafile records played by the player, against
// the same drawing made directly. The test keeps its own model of the device
// context: the world transform, the clip as a platform region built with
// CombineRgn, the brush, the text colour and alignment, the fill mode, and
// the stack of saved states. Windows keeps all of these in a saved state:
// RestoreDC(n) with n > 0 goes back to the state the n-th SaveDC of those
// still kept saved, with n < 0 to the one -n saves back, and drops every
// later one; a level it does not hold fails and changes nothing.
// IntersectClipRect and ExcludeClipRect take logical rectangles (through the
// world transform), ExtSelectClipRgn device ones.
//
// Text and blits are drawn with the platform's ExtTextOutA and StretchDIBits
// onto a DIB section with the model's clip selected; shapes are the test's
// own outlines, transformed by the model and filled by pixel centres (GDI's
// rule: a pixel whose centre lies on a left or top edge is inside, on a
// right or bottom edge outside), painted through the clip's pixels as
// PtInRegion gives them.
//
// Where the arithmetic is exact (transforms of whole numbers that map whole
// pixels to whole pixels: whole scales, quarter turns, mirrors, whole moves)
// every pixel must match, but for the edges of ellipses, which the player
// draws as polygons within a twentieth of a pixel. Sequences that also turn,
// shear and scale by fractions allow the pixels whose centres lie on an edge
// (within rounding); text and blits are drawn only while the transform keeps
// them upright (the platform's calls cannot turn them).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "metafile_builder.h"
#include "metafile_pixels.h"
#include "section_dc.h"

namespace {

constexpr int kSide = 72;
constexpr uint16_t kHandles = 128;
constexpr int kFirstFont = 100;  // fonts' slots; brushes take 1, 2, ... below

// Text alignment as SetTextAlign takes it (the platform's ExtTextOutA
// always places the top left corner).
constexpr unsigned kAlignRight = 2, kAlignCenter = 6, kAlignBottom = 8, kAlignBaseline = 24;

// An affine map as GDI's XFORM: x' = x * m11 + y * m21 + dx,
// y' = x * m12 + y * m22 + dy.
struct Xf {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    void Apply(double x, double y, double& ox, double& oy) const
    {
        ox = x * m11 + y * m21 + dx;
        oy = x * m12 + y * m22 + dy;
    }
    // Whole numbers only: every whole point lands on a whole point.
    bool Whole() const
    {
        for (double v : {m11, m12, m21, m22, dx, dy}) {
            if (v != std::floor(v))
                return false;
        }
        return true;
    }
    bool Upright() const { return m12 == 0 && m21 == 0; }
};

// `a` first, then `b`.
Xf Then(const Xf& a, const Xf& b)
{
    return {a.m11 * b.m11 + a.m12 * b.m21,      a.m11 * b.m12 + a.m12 * b.m22,
            a.m21 * b.m11 + a.m22 * b.m21,      a.m21 * b.m12 + a.m22 * b.m22,
            a.dx * b.m11 + a.dy * b.m21 + b.dx, a.dx * b.m12 + a.dy * b.m22 + b.dy};
}

Xf Inverse(const Xf& a)
{
    const double det = a.m11 * a.m22 - a.m12 * a.m21;
    Xf r = {a.m22 / det, -a.m12 / det, -a.m21 / det, a.m11 / det, 0, 0};
    r.dx = -(a.dx * r.m11 + a.dy * r.m21);
    r.dy = -(a.dx * r.m12 + a.dy * r.m22);
    return r;
}

// The transform as a record carries it: each value a 32-bit float.
Xf Stored(const Xf& a)
{
    return {float(a.m11), float(a.m12), float(a.m21), float(a.m22), float(a.dx), float(a.dy)};
}

struct Pt {
    double x, y;
};
using Outline = std::vector<Pt>;

// The model's clip: a platform region and, per pixel, whether the region
// holds it and whether its edge passes so close that the player may decide
// either way. Never changed once made; saved states share it.
struct Clip {
    HRGN region = NULL;
    std::vector<uint8_t> in, unsure;
    Clip() : in(size_t(kSide) * kSide, 0), unsure(size_t(kSide) * kSide, 0) {}
    ~Clip()
    {
        if (region != NULL)
            DeleteObject(region);
    }
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;
};
using ClipPtr = std::shared_ptr<const Clip>;

struct State {
    Xf world;
    ClipPtr clip;  // null: not clipped
    uint32_t brush = 0xFFFFFF;
    uint32_t text = 0;
    unsigned align = 0;  // top left
    bool winding = false;
};

// Pixel-centre coverage of filled outlines: 1 in, 0 out, 2 where a centre
// lies within `margin` pixels of an edge.
std::vector<uint8_t> Cover(const std::vector<Outline>& outlines, bool winding, double margin)
{
    std::vector<uint8_t> out(size_t(kSide) * kSide, 0);
    for (int y = 0; y < kSide; y++) {
        const double py = y + 0.5;
        for (int x = 0; x < kSide; x++) {
            const double px = x + 0.5;
            int count = 0;
            bool near = false;
            for (const Outline& o : outlines) {
                for (size_t i = 0; i < o.size(); i++) {
                    Pt a = o[i], b = o[(i + 1) % o.size()];
                    if (margin > 0) {
                        const double ex = b.x - a.x, ey = b.y - a.y, len = ex * ex + ey * ey;
                        double t = len > 0 ? ((px - a.x) * ex + (py - a.y) * ey) / len : 0;
                        t = std::max(0.0, std::min(1.0, t));
                        near = near || std::hypot(a.x + t * ex - px, a.y + t * ey - py) < margin;
                    }
                    if (a.y == b.y)
                        continue;
                    int dir = 1;
                    if (a.y > b.y) {
                        std::swap(a, b);
                        dir = -1;
                    }
                    if (a.y <= py && py < b.y && a.x + (py - a.y) * (b.x - a.x) / (b.y - a.y) <= px)
                        count += winding ? dir : 1;
                }
            }
            const bool inside = winding ? count != 0 : (count & 1) != 0;
            out[size_t(y) * kSide + x] = near ? 2 : inside;
        }
    }
    return out;
}

// An ellipse in the box (l, t, r, b) through `a`: 2 where a centre lies
// within a fifth of a pixel of its edge (the player's polygon strays a
// twentieth).
std::vector<uint8_t> CoverEllipse(const Xf& a, double l, double t, double r, double b)
{
    const Xf back = Inverse(a);
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2,
                 ry = std::fabs(b - t) / 2;
    std::vector<uint8_t> out(size_t(kSide) * kSide, 0);
    for (int y = 0; y < kSide; y++) {
        for (int x = 0; x < kSide; x++) {
            double qx, qy;
            back.Apply(x + 0.5, y + 0.5, qx, qy);
            const double u = (qx - cx) / rx, v = (qy - cy) / ry;
            const double f = u * u + v * v;
            // The gradient of f on the canvas, for the distance to its edge.
            const double gx = 2 * u / rx, gy = 2 * v / ry;
            const double dx = gx * back.m11 + gy * back.m12, dy = gx * back.m21 + gy * back.m22;
            const double distance = std::fabs(f - 1) / std::max(1e-12, std::hypot(dx, dy));
            out[size_t(y) * kSide + x] = distance < 0.2 ? 2 : f < 1;
        }
    }
    return out;
}

Outline Mapped(const Xf& a, const Outline& logical)
{
    Outline out;
    for (const Pt& p : logical) {
        Pt q;
        a.Apply(p.x, p.y, q.x, q.y);
        out.push_back(q);
    }
    return out;
}

// One random sequence: the records written, and the model drawing beside.
class Sequence {
public:
    Sequence(uint32_t seed, bool turns)
        : m_random(seed), m_turns(turns), m_emf(0, 0, kSide - 1, kSide - 1, kHandles),
          m_ref(kSide, kSide, NULL), m_unsure(size_t(kSide) * kSide, 0)
    {
        m_ref.Fill(kWhite);
        SetBkMode(m_ref.dc(), TRANSPARENT);
        m_emf.SetBkMode(TRANSPARENT);
        m_emf.SelectStock(8);  // NULL_PEN: shapes are their fills
        SetBrush(0xFFFFFF);
    }

    void Run(int steps)
    {
        for (int i = 0; i < steps; i++)
            Step();
    }

    // The player's pixels against the model's; pixels the model is unsure of
    // are left out, and must stay few.
    void Check()
    {
        const std::vector<uint32_t> got = PlayOnWhite(m_emf.Bytes(), kSide, kSide, false);
        const std::vector<uint32_t> want = m_ref.Values();
        size_t unsure = 0, wrong = 0;
        int firstX = -1, firstY = -1;
        for (size_t i = 0; i < want.size(); i++) {
            if (m_unsure[i]) {
                unsure++;
                continue;
            }
            if (got[i] != want[i] && wrong++ == 0) {
                firstX = int(i % kSide);
                firstY = int(i / kSide);
            }
        }
        if (wrong != 0) {
            const size_t first = size_t(firstY) * kSide + firstX;
            ADD_FAILURE() << wrong << " pixels differ, the first at " << firstX << "," << firstY
                          << ": got " << std::hex << got[first] << ", want " << want[first]
                          << std::dec << "\n"
                          << m_log;
        }
        EXPECT_LE(unsure, want.size() / 10) << m_log;
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }
    double Real(double lo, double hi)
    {
        return std::uniform_real_distribution<double>(lo, hi)(m_random);
    }
    uint32_t Colour() { return uint32_t(m_random()) & 0xFFFFFF; }

    void Step()
    {
        switch (Int(0, 16)) {
        case 0:
        case 1: Rectangle(); break;
        case 2: Ellipse(); break;
        case 3: Polygon(); break;
        case 4: FilledPath(); break;
        case 5: Text(); break;
        case 6: Blit(); break;
        case 7: SetWorld(); break;
        case 8: ModifyWorld(); break;
        case 9: ClipRect(true); break;
        case 10: ClipRect(false); break;
        case 11: SelectClip(); break;
        case 12:
        case 13: Save(); break;
        case 14: Restore(); break;
        case 15: SetBrush(Colour()); break;
        default: Modes(); break;
        }
    }

    // A logical point whose image lies on the canvas or a little beside it.
    Pt Somewhere()
    {
        const Xf back = Inverse(m_state.world);
        double x, y;
        back.Apply(Real(-8, kSide + 8), Real(-8, kSide + 8), x, y);
        return {std::round(x), std::round(y)};
    }

    // Shapes ------------------------------------------------------------

    // A brush's COLORREF (0x00BBGGRR) painted as a pixel (0x00RRGGBB).
    void Paint(const std::vector<uint8_t>& cover, COLORREF colour)
    {
        const uint32_t pixel = (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
        uint32_t* bits = m_ref.bits();
        for (size_t i = 0; i < cover.size(); i++) {
            if (cover[i] == 0)
                continue;
            const Clip* c = m_state.clip.get();
            const int clip = c == nullptr ? 1 : c->unsure[i] ? 2 : c->in[i];
            if (clip == 0)
                continue;
            if (cover[i] == 1 && clip == 1) {
                bits[i] = pixel;
                m_unsure[i] = 0;
            } else {
                m_unsure[i] = 1;
            }
        }
    }

    // How far from an edge a pixel centre may be and still go either way.
    double Margin() const { return m_state.world.Whole() ? 0 : 1e-6; }

    void Rectangle()
    {
        const Pt p = Somewhere(), q = Somewhere();
        m_emf.Rectangle(int(p.x), int(p.y), int(q.x), int(q.y));
        Note("rectangle", p, q);
        const Outline box = {{p.x, p.y}, {q.x, p.y}, {q.x, q.y}, {p.x, q.y}};
        Paint(Cover({Mapped(m_state.world, box)}, false, Margin()), m_state.brush);
    }

    void Ellipse()
    {
        Pt p = Somewhere(), q = Somewhere();
        if (std::fabs(q.x - p.x) < 4 || std::fabs(q.y - p.y) < 4)
            return;
        m_emf.Ellipse(int(p.x), int(p.y), int(q.x), int(q.y));
        Note("ellipse", p, q);
        Paint(CoverEllipse(m_state.world, p.x, p.y, q.x, q.y), m_state.brush);
    }

    Outline RandomOutline(std::vector<MfPoint>& points)
    {
        Outline logical;
        const int n = Int(3, 6);
        for (int i = 0; i < n; i++) {
            const Pt p = Somewhere();
            points.push_back({int(p.x), int(p.y)});
            logical.push_back(p);
        }
        return logical;
    }

    void Polygon()
    {
        std::vector<MfPoint> points;
        const Outline logical = RandomOutline(points);
        m_emf.Polygon(points);
        Note("polygon", logical[0], logical[1]);
        Paint(Cover({Mapped(m_state.world, logical)}, m_state.winding, Margin()), m_state.brush);
    }

    // A path of one or two closed figures, filled.
    void FilledPath()
    {
        m_emf.Record(59, {});  // BeginPath
        std::vector<Outline> figures;
        for (int k = Int(1, 2); k > 0; k--) {
            std::vector<MfPoint> points;
            figures.push_back(Mapped(m_state.world, RandomOutline(points)));
            m_emf.Polygon(points);
        }
        m_emf.Record(60, {});              // EndPath
        m_emf.Record(62, {0, 0, -1, -1});  // FillPath
        Note("path", figures[0][0], figures[0][1]);
        Paint(Cover(figures, m_state.winding, Margin()), m_state.brush);
    }

    // Text and blits ------------------------------------------------------

    // Drawn directly with the model's clip; where the clip's edge is unsure,
    // the pixels the call paints without it are unsure too.
    template <typename Draw>
    void Direct(Draw draw)
    {
        const Clip* c = m_state.clip.get();
        bool edge = false;
        for (size_t i = 0; c != nullptr && i < c->unsure.size(); i++)
            edge = edge || c->unsure[i];
        if (edge) {
            SectionDc free(kSide, kSide, NULL);
            std::memcpy(free.bits(), m_ref.bits(), sizeof(uint32_t) * kSide * kSide);
            SetBkMode(free.dc(), TRANSPARENT);
            draw(free.dc());
            for (size_t i = 0; i < c->unsure.size(); i++) {
                if (c->unsure[i] && free.bits()[i] != m_ref.bits()[i])
                    m_unsure[i] = 1;
            }
        }
        // A pixel the call changed inside the clip is known again.
        const std::vector<uint32_t> before = m_ref.Values();
        SelectClipRgn(m_ref.dc(), c != nullptr ? c->region : NULL);
        draw(m_ref.dc());
        SelectClipRgn(m_ref.dc(), NULL);
        for (size_t i = 0; i < before.size(); i++) {
            if (m_ref.bits()[i] != before[i] && (c == nullptr || !c->unsure[i]))
                m_unsure[i] = 0;
        }
    }

    void Text()
    {
        const Xf& a = m_state.world;
        // Upright, one whole scale for both axes, whole moves.
        if (!a.Whole() || !a.Upright() || a.m11 != a.m22 || a.m11 < 1)
            return;
        if (Int(0, 1) == 0)
            Align();
        static const char kChars[] = "AbgKx19W.";
        std::string s;
        for (int n = Int(1, 6); n > 0; n--)
            s += kChars[Int(0, int(sizeof kChars) - 2)];
        const int height = Int(6, 12);
        const Pt at = Somewhere();
        const int slot = kFirstFont + m_fonts++ % (kHandles - kFirstFont);
        m_emf.SelectFont(slot, -height);
        m_emf.ExtTextRecord(84, int(at.x), int(at.y), s.size(),
                            Utf16Bytes(std::u16string(s.begin(), s.end())));
        Note("text " + s, at, {double(height), 0});

        LOGFONTA font = {};
        font.lfHeight = -height * LONG(a.m11);
        font.lfWeight = 400;
        std::strcpy(font.lfFaceName, "DejaVu Sans");
        HFONT f = CreateFontIndirectA(&font);
        double x, y;
        a.Apply(at.x, at.y, x, y);
        const State& st = m_state;
        Direct([&](HDC dc) {
            HGDIOBJ old = SelectObject(dc, f);
            SetTextColor(dc, st.text);
            // The corner the alignment puts the reference point at.
            SIZE size;
            TEXTMETRICA tm;
            GetTextExtentPoint32A(dc, s.c_str(), int(s.size()), &size);
            GetTextMetricsA(dc, &tm);
            const unsigned h = st.align & kAlignCenter, v = st.align & kAlignBaseline;
            const int left = int(x) - (h == kAlignCenter  ? size.cx / 2
                                       : h == kAlignRight ? size.cx
                                                          : 0);
            const int top = int(y) - (v == kAlignBaseline ? tm.tmAscent
                                      : v == kAlignBottom ? tm.tmHeight
                                                          : 0);
            ExtTextOutA(dc, left, top, 0, nullptr, s.c_str(), UINT(s.size()), nullptr);
            SelectObject(dc, old);
        });
        DeleteObject(f);
    }

    void Blit()
    {
        const Xf& a = m_state.world;
        if (!a.Whole() || !a.Upright())
            return;
        const int dibW = Int(1, 5), dibH = Int(1, 5);
        std::vector<uint32_t> pixels(size_t(dibW) * dibH);
        for (uint32_t& p : pixels)
            p = Colour();
        const Pt p = Somewhere(), q = Somewhere();
        const int x = int(p.x), y = int(p.y), w = int(q.x - p.x), h = int(q.y - p.y);
        if (w == 0 || h == 0)
            return;
        m_emf.StretchDib(x, y, w, h, dibW, dibH, pixels);
        Note("blit", p, q);
        const std::vector<uint8_t> dib = PackedDib24(dibW, dibH, pixels);
        BITMAPINFO info = {};
        std::memcpy(&info.bmiHeader, dib.data(), 40);
        double x0, y0, x1, y1;
        a.Apply(x, y, x0, y0);
        a.Apply(x + w, y + h, x1, y1);
        Direct([&](HDC dc) {
            StretchDIBits(dc, int(x0), int(y0), int(x1 - x0), int(y1 - y0), 0, 0, dibW, dibH,
                          dib.data() + 40, &info, DIB_RGB_COLORS, SRCCOPY);
        });
    }

    // Transforms ----------------------------------------------------------

    // A random change: in whole sequences a whole scale, a quarter turn, a
    // mirror or a whole move; in turning ones also any turn, a shear and
    // scales and moves by fractions.
    Xf RandomChange()
    {
        const int kinds = m_turns ? 7 : 4;
        switch (Int(0, kinds - 1)) {
        case 0: return {double(Int(1, 3)), 0, 0, double(Int(1, 3)), 0, 0};
        case 1: {
            static const Xf kQuarters[] = {
                {0, 1, -1, 0, 0, 0}, {0, -1, 1, 0, 0, 0}, {-1, 0, 0, -1, 0, 0}};
            return kQuarters[Int(0, 2)];
        }
        case 2: {
            static const Xf kMirrors[] = {
                {-1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, 0}, {0, 1, 1, 0, 0, 0}};
            return kMirrors[Int(0, 2)];
        }
        case 3: return {1, 0, 0, 1, double(Int(-30, 30)), double(Int(-30, 30))};
        case 4: {
            const double t = Real(-M_PI, M_PI);
            return {std::cos(t), std::sin(t), -std::sin(t), std::cos(t), 0, 0};
        }
        case 5: return {1, Real(-0.7, 0.7), Real(-0.7, 0.7), 1, 0, 0};
        default: return {Real(0.4, 2.5), 0, 0, Real(0.4, 2.5), Real(-20, 20), Real(-20, 20)};
        }
    }

    // A transform that keeps the picture near the canvas: the world and
    // canvas within a few times each other's size.
    bool Reasonable(const Xf& a) const
    {
        const double det = a.m11 * a.m22 - a.m12 * a.m21;
        const double big = std::max(std::hypot(a.m11, a.m12), std::hypot(a.m21, a.m22));
        return std::fabs(det) > 0.2 && big <= 4 && std::fabs(a.dx) < 3 * kSide &&
               std::fabs(a.dy) < 3 * kSide;
    }

    void SetWorld()
    {
        Xf a = RandomChange();
        a = Stored(Then(a, {1, 0, 0, 1, double(Int(0, kSide)), double(Int(0, kSide))}));
        if (!Reasonable(a))
            return;
        m_emf.SetWorldTransform(a.m11, a.m12, a.m21, a.m22, a.dx, a.dy);
        Note("set world", {a.m11, a.m12}, {a.dx, a.dy});
        m_state.world = a;
    }

    void ModifyWorld()
    {
        const Xf given = Stored(RandomChange());
        const int mode = Int(1, 3);  // identity, left, right
        const Xf next = mode == 1   ? Xf()
                        : mode == 2 ? Then(given, m_state.world)
                                    : Then(m_state.world, given);
        if (!Reasonable(next))
            return;
        m_emf.ModifyWorldTransform(given.m11, given.m12, given.m21, given.m22, given.dx, given.dy,
                                   mode);
        Note("modify world " + std::to_string(mode), {given.m11, given.m12}, {given.dx, given.dy});
        m_state.world = next;
    }

    // Clipping --------------------------------------------------------------

    // A new clip: the current one (or the canvas) combined with `region` by
    // `mode`; pixels near the edges of `edges` (and the old clip's unsure
    // ones, unless replaced) are unsure.
    void Combine(HRGN region, int mode, const std::vector<uint8_t>* edges)
    {
        auto next = std::make_shared<Clip>();
        next->region = CreateRectRgn(0, 0, kSide, kSide);
        if (m_state.clip && mode != RGN_COPY) {
            CombineRgn(next->region, m_state.clip->region, region, mode);
            next->unsure = m_state.clip->unsure;
        } else if (mode == RGN_COPY) {
            CombineRgn(next->region, region, NULL, RGN_COPY);
        } else {
            CombineRgn(next->region, next->region, region, mode);
        }
        HRGN canvas = CreateRectRgn(0, 0, kSide, kSide);
        CombineRgn(next->region, next->region, canvas, RGN_AND);
        DeleteObject(canvas);
        for (int y = 0; y < kSide; y++) {
            for (int x = 0; x < kSide; x++) {
                const size_t i = size_t(y) * kSide + x;
                next->in[i] = PtInRegion(next->region, x, y) ? 1 : 0;
                if (edges != nullptr && (*edges)[i] == 2)
                    next->unsure[i] = 1;
            }
        }
        m_state.clip = next;
    }

    // The region of the covered pixels, rows of runs.
    static HRGN RegionOf(const std::vector<uint8_t>& cover)
    {
        HRGN out = CreateRectRgn(0, 0, 0, 0);
        for (int y = 0; y < kSide; y++) {
            for (int x = 0; x < kSide;) {
                if (cover[size_t(y) * kSide + x] != 1) {
                    x++;
                    continue;
                }
                int end = x;
                while (end < kSide && cover[size_t(y) * kSide + end] == 1)
                    end++;
                HRGN run = CreateRectRgn(x, y, end, y + 1);
                CombineRgn(out, out, run, RGN_OR);
                DeleteObject(run);
                x = end;
            }
        }
        return out;
    }

    void ClipRect(bool intersect)
    {
        const Pt p = Somewhere(), q = Somewhere();
        if (intersect)
            m_emf.IntersectClipRect(int(p.x), int(p.y), int(q.x), int(q.y));
        else
            m_emf.ExcludeClipRect(int(p.x), int(p.y), int(q.x), int(q.y));
        Note(intersect ? "intersect clip" : "exclude clip", p, q);
        const Outline box = {{p.x, p.y}, {q.x, p.y}, {q.x, q.y}, {p.x, q.y}};
        const std::vector<uint8_t> cover = Cover({Mapped(m_state.world, box)}, false, Margin());
        HRGN region = RegionOf(cover);
        Combine(region, intersect ? RGN_AND : RGN_DIFF, &cover);
        DeleteObject(region);
    }

    // ExtSelectClipRgn: one to three device rectangles combined by any mode,
    // or RGN_COPY without data, which lifts the clip.
    void SelectClip()
    {
        const int mode = Int(RGN_AND, RGN_COPY);
        if (mode == RGN_COPY && Int(0, 3) == 0) {
            m_emf.Record(75, {0, RGN_COPY});
            Note("lift clip", {0, 0}, {0, 0});
            m_state.clip = nullptr;
            return;
        }
        std::vector<MfRect> rects;
        for (int n = Int(1, 3); n > 0; n--) {
            const int l = Int(-4, kSide), t = Int(-4, kSide);
            rects.push_back({l, t, l + Int(1, kSide / 2), t + Int(1, kSide / 2)});
        }
        const std::vector<uint8_t> data = RectRegionData(rects);
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        for (const MfRect& r : rects) {
            HRGN piece = CreateRectRgn(r.l, r.t, r.r, r.b);
            CombineRgn(region, region, piece, RGN_OR);
            DeleteObject(piece);
        }
        m_emf.Record(75, {int32_t(data.size()), mode}, data);
        Note("select clip " + std::to_string(mode), {double(rects[0].l), double(rects[0].t)},
             {double(rects[0].r), double(rects[0].b)});
        Combine(region, mode, nullptr);
        DeleteObject(region);
    }

    // States ----------------------------------------------------------------

    void Save()
    {
        m_emf.SaveDC();
        Note("save", {0, 0}, {0, 0});
        m_saved.push_back(m_state);
    }

    void Restore()
    {
        const long depth = long(m_saved.size());
        // Back by one or more, to an absolute level, or to one not held.
        long n;
        const int kind = Int(0, 5);
        if (kind <= 2)
            n = -Int(1, int(std::max(1L, depth)));
        else if (kind <= 4)
            n = Int(1, int(std::max(1L, depth)));
        else
            n = Int(0, 1) ? -(depth + 1) : depth + 1;
        m_emf.RestoreDC(int(n));
        Note("restore " + std::to_string(n), {0, 0}, {0, 0});
        long keep = -1;
        if (n < 0 && -n <= depth)
            keep = depth + n;
        else if (n > 0 && n <= depth)
            keep = n - 1;
        if (keep < 0)
            return;
        m_state = m_saved[size_t(keep)];
        m_saved.resize(size_t(keep));
    }

    void SetBrush(uint32_t colour)
    {
        const int slot = m_emf.CreateBrush(0, colour);
        m_emf.Select(slot);
        m_state.brush = colour;
    }

    void Modes()
    {
        switch (Int(0, 2)) {
        case 0:
            m_state.winding = Int(0, 1) == 1;
            m_emf.SetPolyFillMode(m_state.winding ? 2 : 1);
            Note(m_state.winding ? "winding" : "alternate", {0, 0}, {0, 0});
            break;
        case 1:
            m_state.text = Colour();
            m_emf.SetTextColor(m_state.text);
            Note("text colour", {0, 0}, {0, 0});
            break;
        default: Align(); break;
        }
    }

    void Align()
    {
        static const unsigned kH[] = {0, kAlignCenter, kAlignRight};
        static const unsigned kV[] = {0, kAlignBaseline, kAlignBottom};
        m_state.align = kH[Int(0, 2)] | kV[Int(0, 2)];
        m_emf.Record(22, {int32_t(m_state.align)});
        Note("align " + std::to_string(m_state.align), {0, 0}, {0, 0});
    }

    void Note(const std::string& what, Pt a, Pt b)
    {
        m_log += what + " (" + std::to_string(a.x) + ", " + std::to_string(a.y) + ") (" +
                 std::to_string(b.x) + ", " + std::to_string(b.y) + ")\n";
    }

    std::mt19937 m_random;
    bool m_turns;
    EmfBuilder m_emf;
    SectionDc m_ref;
    std::vector<uint8_t> m_unsure;
    State m_state;
    std::vector<State> m_saved;
    int m_fonts = 0;
    std::string m_log;
};

}  // namespace

// Sequences of whole transforms: every pixel but the ellipses' edges must
// match. Sequences that also turn, shear and scale by fractions: every pixel
// whose centre is not on an edge.
TEST(MetafileProperty, RandomSequencesMatchTheSameDrawingMadeDirectly)
{
    for (int turns = 0; turns < 2; turns++) {
        for (uint32_t seed = 1; seed <= 200; seed++) {
            SCOPED_TRACE(std::string(turns ? "turning" : "whole") + " sequence " +
                         std::to_string(seed));
            Sequence s(seed * 2 + uint32_t(turns), turns == 1);
            s.Run(28);
            s.Check();
            if (HasFailure())
                return;
        }
    }
}
