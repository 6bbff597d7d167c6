// Text inside a path: the outlines of the glyphs the platform's faces hold,
// flattened, for the path to fill or stroke as GDI adds text to a path.
#include "metafile_text_path.h"

#include "font_internal.h"

#include FT_OUTLINE_H

namespace win32metafile {

namespace {

// Outline points are 26.6 pixels, y upwards; figures are pixels, y down.
PointD Pixel(const FT_Vector* v)
{
    return {v->x / 64.0, -v->y / 64.0};
}

struct Outlines {
    std::vector<Figure> figures;
};

int MoveTo(const FT_Vector* to, void* user)
{
    static_cast<Outlines*>(user)->figures.push_back({Pixel(to)});
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    auto* o = static_cast<Outlines*>(user);
    if (o->figures.empty())
        return 1;
    o->figures.back().push_back(Pixel(to));
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto* o = static_cast<Outlines*>(user);
    if (o->figures.empty())
        return 1;
    BezierPoints(o->figures.back().back(), Pixel(c1), Pixel(c2), Pixel(to), o->figures.back());
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* o = static_cast<Outlines*>(user);
    if (o->figures.empty())
        return 1;
    // The quadratic curve as the cubic that traces it.
    const PointD p0 = o->figures.back().back(), c = Pixel(control), p3 = Pixel(to);
    const PointD c1 = {p0.x + 2 * (c.x - p0.x) / 3, p0.y + 2 * (c.y - p0.y) / 3};
    const PointD c2 = {p3.x + 2 * (c.x - p3.x) / 3, p3.y + 2 * (c.y - p3.y) / 3};
    BezierPoints(p0, c1, c2, p3, o->figures.back());
    return 0;
}

}  // namespace

bool GlyphOutlines(const LOGFONTA& lf, const std::vector<UINT>& codes,
                   std::vector<std::vector<Figure>>& glyphs)
{
    win32font::Registry& r = win32font::Fonts();
    std::lock_guard<std::mutex> lock(r.mutex);
    win32font::Font font;  // not in the registry: no handle names it
    font.lf = lf;
    if (!win32font::Realize(r, font))
        return false;
    const FT_Outline_Funcs funcs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    for (UINT code : codes) {
        Outlines o;
        FT_UInt index = 0;
        if (win32font::Face* found = win32font::FaceForCode(r, *font.realized, code, index)) {
            // Hinted as the 1-bit glyphs are, so a filled path of text
            // covers the pixels the text itself would.
            win32font::Face& face = *found;
            if (FT_Load_Glyph(face.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) == 0 &&
                face.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE &&
                FT_Outline_Decompose(&face.face->glyph->outline, &funcs, &o) != 0)
                o.figures.clear();
        }
        glyphs.push_back(std::move(o.figures));
    }
    return true;  // the face is let go here, under the lock
}

}  // namespace win32metafile
