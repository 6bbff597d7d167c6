// Text drawing against rendering the same glyphs from their outlines.
//
// A frame is 100 strings of 20 characters drawn into a 640 x 480 sprite
// (two columns, every glyph inside it)
// with each glyph font, in ASCII and in GB2312: with the glyph cache warm
// (every glyph cached), and with 2000 distinct glyphs cycling through a
// 1024-glyph cache, so that every glyph misses. The baseline loads and
// renders the same glyphs with FreeType (FT_Load_Char with rendering) each
// time, in the same iteration. Counters: glyphs per second for ours and for
// the baseline, and ratio = baseline time / our time (10 or more means text
// costs at most a tenth of rendering from outlines).
#include <benchmark/benchmark.h>
#include "bench_util.h"
#include <doit.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <iconv.h>
#include <kbase.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const int kStrings = 100;
const int kChars = 20;
const int kGlyphsPerFrame = kStrings * kChars;
const int kCellHeight = 16;

KGraph* g_graph = nullptr;
HFONT g_hfont = nullptr;
FT_Library g_ft = nullptr;

// A frame's text: the strings in code page 936 and each glyph as Unicode.
struct Frame {
    std::vector<std::string> strings;
    std::vector<FT_ULong> unicode;
};

// A fixed sequence, so every run draws the same text.
unsigned Next(unsigned& seed)
{
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
}

FT_ULong ToUnicode(unsigned code)
{
    if (code < 0x80)
        return code;
    static iconv_t cd = iconv_open("UTF-32LE", "CP936");
    char in[2] = {char(code >> 8), char(code & 0xFF)};
    unsigned char out[4] = {};
    char* src = in;
    char* dst = reinterpret_cast<char*>(out);
    size_t inLeft = 2, outLeft = 4;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &src, &inLeft, &dst, &outLeft);
    return FT_ULong(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

// GB2312's first level: 0xB0A1 to 0xD7F9, 94 characters a row.
unsigned Gb2312(unsigned n)
{
    unsigned row = n / 94 % 40, col = n % 94;
    if (row == 39 && col > 88)
        col -= 10;  // the last row ends at 0xD7F9
    return (0xB0 + row) << 8 | (0xA1 + col);
}

Frame MakeFrame(bool chinese, unsigned distinct, bool cycle)
{
    Frame f;
    unsigned seed = 12345, n = 0;
    for (int s = 0; s < kStrings; s++) {
        std::string text;
        for (int c = 0; c < kChars; c++) {
            // Cycling walks all the distinct glyphs in order; otherwise
            // characters are drawn at random from them.
            const unsigned pick = cycle ? n++ % distinct : Next(seed) % distinct;
            const unsigned code = chinese ? Gb2312(pick) : 0x21 + pick % 94;
            if (code > 0xFF)
                text += char(code >> 8);
            text += char(code & 0xFF);
            f.unicode.push_back(ToUnicode(code));
        }
        f.strings.push_back(text);
    }
    return f;
}

std::string FontFile(const char* family)
{
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult r;
    FcPattern* m = FcFontMatch(nullptr, p, &r);
    std::string file;
    FcChar8* name = nullptr;
    if (m != nullptr && FcPatternGetString(m, FC_FILE, 0, &name) == FcResultMatch)
        file = reinterpret_cast<const char*>(name);
    if (m != nullptr)
        FcPatternDestroy(m);
    FcPatternDestroy(p);
    return file;
}

FT_Face OpenFace(const char* family)
{
    FT_Face face = nullptr;
    const std::string file = FontFile(family);
    if (file.empty() || FT_New_Face(g_ft, file.c_str(), 0, &face) != 0)
        return nullptr;
    FT_Set_Pixel_Sizes(face, 0, 14);  // the em of a 16-pixel cell
    return face;
}

void Run(benchmark::State& state, KFont* font, const Frame& frame, FT_Face face, bool mono)
{
    using Clock = std::chrono::steady_clock;
    SPRITE_DATA* dst = g_graph->GetBackScreenData();
    const FT_Int32 load = FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    auto ours = [&] {
        for (int s = 0; s < kStrings; s++)
            font->DrawString(dst, (s % 2) * 320, (s / 2) * 9, 0xFFE0, frame.strings[s].c_str());
    };
    auto base = [&] {
        unsigned long sum = 0;
        for (FT_ULong ch : frame.unicode) {
            FT_Load_Char(face, ch, load);
            sum += face->glyph->bitmap.rows;
        }
        benchmark::DoNotOptimize(sum);
    };
    ours();  // the warm cases start warm; the cycling case stays cold anyway
    double tOurs = 0, tBase = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        base();
        const auto t1 = Clock::now();
        ours();
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        tBase += std::chrono::duration<double>(t1 - t0).count();
        tOurs += std::chrono::duration<double>(t2 - t1).count();
    }
    const double glyphs = double(kGlyphsPerFrame) * double(state.iterations());
    state.counters["ours_glyphs_s"] = glyphs / tOurs;
    state.counters["base_glyphs_s"] = glyphs / tBase;
    state.counters["ratio"] = tBase / tOurs;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kbase::SetEcho(false);
    g_graph = CreateKGraph(KRM_GDI, false, 640, 480, KCM_R5G6B5, false, false);
    if (g_graph == nullptr || FT_Init_FreeType(&g_ft) != 0 || !FcInit()) {
        std::fprintf(stderr, "bench_text: cannot set up the device or FreeType\n");
        return 1;
    }
    g_hfont = CreateFontA(kCellHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                          "Arial");
    KFont* bitmap = g_graph->CreateFontA(g_hfont);
    KFont* smooth = g_graph->CreateSmoothFont(g_hfont);
    FT_Face latin = OpenFace("DejaVu Sans");
    FT_Face chinese = OpenFace("WenQuanYi Micro Hei");
    if (bitmap == nullptr || smooth == nullptr || latin == nullptr || chinese == nullptr) {
        std::fprintf(stderr, "bench_text: cannot make the fonts\n");
        return 1;
    }

    // Warm: 500 distinct glyphs fit both caches (1024 nodes, 1024 cells).
    static const Frame ascii = MakeFrame(false, 94, false);
    static const Frame warm = MakeFrame(true, 500, false);
    static const Frame thrash = MakeFrame(true, 2000, true);
    struct Case {
        const char* name;
        KFont* font;
        const Frame* frame;
        FT_Face face;
        bool mono;
    };
    const Case cases[] = {
        {"text/bitmap/ascii/warm", bitmap, &ascii, latin, true},
        {"text/bitmap/gb2312/warm", bitmap, &warm, chinese, true},
        {"text/bitmap/gb2312/thrash", bitmap, &thrash, chinese, true},
        {"text/smooth/ascii/warm", smooth, &ascii, latin, false},
        {"text/smooth/gb2312/warm", smooth, &warm, chinese, false},
        {"text/smooth/gb2312/thrash", smooth, &thrash, chinese, false},
    };
    for (const Case& c : cases) {
        BenchMinTime(benchmark::RegisterBenchmark(c.name, [c](benchmark::State& st) {
            Run(st, c.font, *c.frame, c.face, c.mono);
        }), 0.3)->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    g_graph->ReleaseKFont(bitmap);
    g_graph->ReleaseKFont(smooth);
    DeleteObject(g_hfont);
    FT_Done_Face(latin);
    FT_Done_Face(chinese);
    FT_Done_FreeType(g_ft);
    ReleaseKGraph(g_graph);
    return 0;
}
