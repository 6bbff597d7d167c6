// The glyphs fonts keep between calls: text drawn with a font that has its
// glyphs (or with a font made like one before) is what a font drawing from
// nothing draws; fonts never take each other's glyphs; the cache keeps its
// bounds; text drawn from several threads at once stays right.
#include <algorithm>
#include <atomic>
#include <iterator>
#include <list>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform_fixture.h"
#include "font_cache.h"

namespace {

using win32font::GlyphCache;

struct FontKind {
    const char* face;
    int height, weight;
    BYTE italic, quality;
};

HFONT Make(const FontKind& s)
{
    return CreateFontA(s.height, 0, 0, 0, s.weight, s.italic, 0, 0, DEFAULT_CHARSET, 0, 0,
                       s.quality, 0, s.face);
}

// A memory context over a 240 x 80 top-down 32-bit section.
class Canvas {
public:
    Canvas() : m_dc(CreateCompatibleDC(NULL))
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        m_bits = static_cast<DWORD*>(bits);
        m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    // The text in the font at a point (hard or soft edges over a grey
    // paper) and wrapped in a rectangle below, on opaque cells.
    std::vector<DWORD> Draw(HFONT font, const std::string& text)
    {
        std::fill(m_bits, m_bits + kW * kH, 0x808080u);
        HGDIOBJ old = SelectObject(m_dc, font);
        SetTextColor(m_dc, RGB(250, 40, 10));
        SetBkMode(m_dc, TRANSPARENT);
        EXPECT_TRUE(ExtTextOutA(m_dc, 3, 2, 0, NULL, text.data(), UINT(text.size()), NULL));
        SetBkMode(m_dc, OPAQUE);
        RECT r = {0, 40, kW, kH};
        DrawTextA(m_dc, text.data(), int(text.size()), &r, DT_WORDBREAK | DT_CENTER);
        SelectObject(m_dc, old);
        return std::vector<DWORD>(m_bits, m_bits + kW * kH);
    }
    // What a font made from nothing draws: no face it could find is kept.
    std::vector<DWORD> DrawCold(const FontKind& kind, const std::string& text)
    {
        win32font::ForgetIdleFaces();
        HFONT font = Make(kind);
        std::vector<DWORD> out = Draw(font, text);
        DeleteObject(font);
        win32font::ForgetIdleFaces();
        return out;
    }

private:
    static const int kW = 240, kH = 80;
    HDC m_dc;
    HBITMAP m_bitmap = NULL;
    HGDIOBJ m_old = NULL;
    DWORD* m_bits = nullptr;
};

const FontKind kKinds[] = {
    {"Arial", -14, FW_NORMAL, 0, DEFAULT_QUALITY},  {"Arial", -14, FW_BOLD, 0, DEFAULT_QUALITY},
    {"Arial", -22, FW_NORMAL, 0, ANTIALIASED_QUALITY}, {"Courier New", 18, FW_NORMAL, 1, 0},
    {"SimSun", -16, FW_NORMAL, 0, ANTIALIASED_QUALITY}, {"SimSun", -16, FW_NORMAL, 0, 0},
};
const std::string kTexts[] = {"Gold 1234", "WAVE mix &x", "\xD6\xD0\xCE\xC4 Text", "il1|!"};

class FontCache : public PlatformTest {};

// Random draws of every font and text, with fonts kept selected and with
// fonts made alike and deleted at once: each draws what a font drawing from
// nothing draws, and no new font ever takes a handle a font had before.
TEST_F(FontCache, CachedGlyphsDrawWhatAFreshFontDraws)
{
    const size_t nKinds = std::size(kKinds), nTexts = std::size(kTexts);
    Canvas canvas;
    std::vector<std::vector<DWORD>> cold;
    for (const FontKind& kind : kKinds)
        for (const std::string& text : kTexts)
            cold.push_back(canvas.DrawCold(kind, text));
    std::vector<HFONT> kept;
    for (const FontKind& kind : kKinds)
        kept.push_back(Make(kind));
    std::set<HFONT> handles(kept.begin(), kept.end());
    std::mt19937 rng(11);
    for (int round = 0; round < 80; ++round) {
        const size_t s = rng() % nKinds, t = rng() % nTexts;
        SCOPED_TRACE("font " + std::to_string(s) + ", " + kTexts[t]);
        if (rng() % 2) {
            EXPECT_TRUE(canvas.Draw(kept[s], kTexts[t]) == cold[s * nTexts + t]);
            continue;
        }
        HFONT font = Make(kKinds[s]);
        EXPECT_TRUE(handles.insert(font).second);
        EXPECT_TRUE(canvas.Draw(font, kTexts[t]) == cold[s * nTexts + t]);
        EXPECT_TRUE(DeleteObject(font));
    }
    for (HFONT font : kept)
        DeleteObject(font);
}

// A face outlives its last font for the next font made alike, the eight
// most recently left only.
TEST_F(FontCache, FontsMadeAlikeLaterFindTheRecentFacesOnly)
{
    win32font::ForgetIdleFaces();
    Canvas canvas;
    for (int height = 10; height < 20; ++height) {
        HFONT font = Make(FontKind{"Arial", height, FW_NORMAL, 0, 0});
        canvas.Draw(font, "Xy");
        DeleteObject(font);
    }
    HDC dc = CreateCompatibleDC(NULL);
    for (int height = 19; height >= 10; --height) {
        HFONT font = Make(FontKind{"Arial", height, FW_NORMAL, 0, 0});
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        EXPECT_EQ(win32font::CachedGlyphCount(font) > 0, height >= 12) << height;
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

// Thousands of distinct double-byte characters keep the count bound, and
// huge glyphs the byte bound; what was dropped draws as before.
TEST_F(FontCache, StaysWithinItsBounds)
{
    Canvas canvas;
    HFONT font = Make(kKinds[5]);
    const std::string first = "\xB0\xA1\xB0\xA2\xB0\xA3";
    const std::vector<DWORD> before = canvas.Draw(font, first);
    for (int lead = 0xB0; lead < 0xD8; ++lead) {
        std::string row;
        for (int trail = 0xA1; trail < 0xFF; ++trail)
            row += std::string{char(lead), char(trail)};
        canvas.Draw(font, row);
        ASSERT_LE(win32font::CachedGlyphCount(font), GlyphCache::kMaxGlyphs);
    }
    EXPECT_EQ(win32font::CachedGlyphCount(font), GlyphCache::kMaxGlyphs);
    EXPECT_TRUE(canvas.Draw(font, first) == before);
    DeleteObject(font);

    const int height = -600;
    Canvas big;
    font = Make(FontKind{"Arial", height, FW_NORMAL, 0, ANTIALIASED_QUALITY});
    big.Draw(font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_LT(win32font::CachedGlyphCount(font), 62u);
    EXPECT_LE(win32font::CachedGlyphBytes(font), GlyphCache::kMaxBytes + 800 * 800);
    DeleteObject(font);
}

// The cache against a plain model: a list in order of use, trimmed from its
// old end beyond the bounds, never the entry just added.
TEST_F(FontCache, KeepsTheMostRecentlyUsedGlyphs)
{
    struct Kept {
        uint64_t key;
        size_t bytes;
    };
    std::mt19937 rng(5);
    GlyphCache cache;
    std::list<Kept> model;
    size_t modelBytes = 0;
    for (int op = 0; op < 20000; ++op) {
        const UINT code = rng() % 700;
        const bool mono = rng() % 2;
        const uint64_t key = uint64_t(code) * 2 + mono;
        auto it = std::find_if(model.begin(), model.end(), [&](const Kept& k) { return k.key == key; });
        if (rng() % 3) {
            ASSERT_EQ(cache.Find(code, mono) != nullptr, it != model.end());
            if (it != model.end())
                model.splice(model.begin(), model, it);
            continue;
        }
        auto glyph = std::make_shared<win32font::CachedGlyph>();
        glyph->bits.resize(rng() % 4 ? rng() % 2000 : rng() % (3 << 20));
        cache.Add(code, mono, glyph);
        if (it != model.end())
            modelBytes -= it->bytes, model.erase(it);
        model.push_front(Kept{key, glyph->bits.size()});
        modelBytes += glyph->bits.size();
        while (model.size() > 1 &&
               (model.size() > GlyphCache::kMaxGlyphs || modelBytes > GlyphCache::kMaxBytes))
            modelBytes -= model.back().bytes, model.pop_back();
        ASSERT_EQ(cache.Count(), model.size());
        ASSERT_EQ(cache.Bytes(), modelBytes);
    }
}

// Threads drawing at once, two of them with fonts made alike (one face
// shared), while another makes, uses and deletes fonts and drops idle faces.
TEST_F(FontCache, ThreadsDrawAtOnce)
{
    std::vector<std::vector<DWORD>> cold;
    {
        Canvas canvas;
        for (size_t t = 0; t < 3; ++t)
            cold.push_back(canvas.DrawCold(kKinds[t % 2 * 4], kTexts[t]));
    }
    std::atomic<int> wrong(0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            Canvas canvas;
            HFONT font = Make(kKinds[t % 2 * 4]);
            for (int i = 0; i < 40; ++i)
                wrong += canvas.Draw(font, kTexts[t]) != cold[t];
            DeleteObject(font);
        });
    }
    threads.emplace_back([] {
        HDC dc = CreateCompatibleDC(NULL);
        for (int i = 0; i < 60; ++i) {
            HFONT font = Make(kKinds[i % std::size(kKinds)]);
            HGDIOBJ old = SelectObject(dc, font);
            SIZE size;
            GetTextExtentPoint32A(dc, "Flux", 4, &size);
            SelectObject(dc, old);
            DeleteObject(font);
            win32font::ForgetIdleFaces();
        }
        DeleteDC(dc);
    });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
