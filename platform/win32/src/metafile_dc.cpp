// PlayEnhMetaFile: the player drawing into a device context's pixels through
// the context's clip.
#include "gdi_internal.h"
#include "metafile_internal.h"

namespace {

// The canvas of a context held for drawing.
class DcCanvas : public win32metafile::Canvas {
public:
    explicit DcCanvas(gdi::DcAccess& access) : m_access(access) {}
    int Width() const override { return m_access.surface().width; }
    int Height() const override { return m_access.surface().height; }
    void Span(int y, int x0, int x1, COLORREF colour) override
    {
        m_access.FillSpan(x0, x1, y, colour);
    }
    COLORREF Get(int x, int y) const override
    {
        const gdi::Surface& s = m_access.surface();
        if (s.base == nullptr || x < 0 || y < 0 || x >= s.width || y >= s.height)
            return 0;
        return gdi::DecodeColor(*s.format, gdi::ReadPixel(*s.format, s.Row(y), x));
    }

private:
    gdi::DcAccess& m_access;
};

}  // namespace

BOOL WINAPI PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect)
{
    const win32metafile::Metafile* m = win32metafile::Find(metafile);
    if (m == nullptr || rect == nullptr)
        return FALSE;
    gdi::DcAccess access(dc);
    if (!access.ok())
        return FALSE;
    DcCanvas canvas(access);
    return win32metafile::Play(*m, canvas, *rect, nullptr) ? TRUE : FALSE;
}
