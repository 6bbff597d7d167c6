// SetTextJustification: Windows spreads the break extra over the break
// characters (spaces) of text drawn with the font's own advances, evenly,
// the first breaks taking one unit more each of what does not divide. The
// played text is compared with the platform's ExtTextOutA given those
// advances.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_text.h"
#include "section_dc.h"

using namespace win32metafile;

namespace {

constexpr int kW = 200, kH = 40;
constexpr int kTransparent = 1;

LOGFONTA Face()
{
    LogicalFont f;
    f.stock = false;
    f.height = -16;
    f.face = u"DejaVu Sans";
    return PlatformFont(f, -16);
}

// The string drawn by the platform with its advances plus `extras` on its
// spaces, in turn.
std::vector<uint32_t> Reference(const std::string& s, const std::vector<int>& extras)
{
    const LOGFONTA lf = Face();
    SectionDc ref(kW, kH, CreateFontIndirectA(&lf));
    ref.Fill(kWhite);
    SetBkMode(ref.dc(), kTransparent);
    std::vector<INT> dx;
    size_t spaces = 0;
    for (char c : s) {
        SIZE size = {};
        GetTextExtentPoint32A(ref.dc(), &c, 1, &size);
        dx.push_back(size.cx + (c == ' ' ? extras[spaces++] : 0));
    }
    ExtTextOutA(ref.dc(), 6, 4, 0, nullptr, s.data(), UINT(s.size()), dx.data());
    return ref.Values();
}

TEST(MetafileJustification, BreakExtraSpreadsOverTheSpaces)
{
    struct Case {
        int extra, count;
        std::vector<int> perSpace;
    } cases[] = {
        {7, 2, {4, 3}},
        {-5, 2, {-3, -2}},
        {9, 3, {3, 3, 3}},
    };
    const std::string text = "ab cd ef gh";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        std::vector<int> extras = c.perSpace;
        extras.resize(3, c.perSpace.size() == 2 ? c.extra / c.count : 0);
        const std::vector<uint32_t> want = Reference(text, extras);

        WmfBuilder b;
        b.SetBkMode(kTransparent);
        b.Select(b.CreateLogFont(-16));
        b.Record(0x020A, {c.count, c.extra});
        std::vector<uint8_t> tail(text.begin(), text.end());
        tail.push_back(0);
        Put16(tail, 4);
        Put16(tail, 6);
        b.Record(0x0521, {int(text.size())}, tail);
        PlayStats stats;
        const std::vector<uint32_t> got = PlayOnWhite(b.Bytes(), kW, kH, true, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_GT(Ink(got), 50u);
        EXPECT_EQ(Differences(got, want), 0u);

        // The enhanced record gives the extra first, then the count; its
        // text record has no spacing array.
        EmfBuilder e(0, 0, kW - 1, kH - 1);
        e.SetBkMode(kTransparent);
        e.SelectFont(1, -16);
        e.Record(120, {c.extra, c.count});
        e.ExtTextRecord(83, 6, 4, text.size(), std::vector<uint8_t>(text.begin(), text.end()), 0,
                        {0, 0, 0, 0}, {}, {0, 0, kW, kH});
        PlayStats es;
        const std::vector<uint32_t> emf = PlayOnWhite(e.Bytes(), kW, kH, false, &es);
        EXPECT_EQ(es.skipped, 0u);
        EXPECT_EQ(Differences(emf, want), 0u);
    }
}

}  // namespace
