// The blitters' pixel formulas with exact values, and every fast row kernel
// against the reference kernel over random rows of many lengths and offsets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "blit.h"

using kblit::AdditiveKey;
using kblit::AdditivePixel;
using kblit::BlendPixel;

namespace {

WORD Additive(WORD s, WORD d, unsigned v) { return AdditivePixel(s, d, AdditiveKey(v)); }

// Random pixels in the shapes sprites have: noise, runs of the key colour 0,
// runs of one colour, and rows wholly 0 or wholly opaque.
class Rows {
public:
    explicit Rows(unsigned seed) : m_rng(seed) {}

    void Pixels(WORD* p, long n)
    {
        const int shape = Pick(5);
        for (long i = 0; i < n;) {
            long run = 1 + Pick(12);
            WORD v = WORD(m_rng());
            const bool zero = shape == 1 || (shape != 2 && Pick(3) == 0);
            for (; run > 0 && i < n; --run, ++i) {
                if (shape == 0) v = WORD(m_rng());
                p[i] = zero ? 0 : (v ? v : 1);
            }
        }
    }

    void Levels(BYTE* m, long n)
    {
        const int shape = Pick(4);
        for (long i = 0; i < n;) {
            long run = 1 + Pick(20);
            const int kind = shape == 0 ? 2 : Pick(3);
            for (; run > 0 && i < n; --run, ++i)
                m[i] = kind == 0 ? 0 : kind == 1 ? 255 : BYTE(m_rng());
        }
    }

    int Pick(int n) { return int(m_rng() % unsigned(n)); }

private:
    std::mt19937 m_rng;
};

// A rectangle of one to three rows inside guarded buffers: the kernels must
// not touch anything outside its w x h pixels.
constexpr long kGuard = 16;
constexpr long kMaxRow = 90;
constexpr long kPitch = kMaxRow + 24;   // pixels (levels: bytes) from row to row
constexpr long kRows = 3;

struct Case {
    long w, h, doff, soff, moff;
    std::vector<WORD> dst, src;
    std::vector<BYTE> lev;
    kblit::Rows Rows()
    {
        kblit::Rows r{};
        r.dst = reinterpret_cast<BYTE*>(dst.data() + kGuard + doff);
        r.dstPitch = kPitch * 2;
        r.src = reinterpret_cast<const BYTE*>(src.data() + kGuard + soff);
        r.srcPitch = kPitch * 2;
        r.lev = lev.data() + kGuard + moff;
        r.levPitch = kPitch;
        r.w = w;
        r.h = h;
        return r;
    }
};

Case MakeCase(Rows& rows, long w)
{
    Case c;
    c.w = w;
    c.h = 1 + rows.Pick(kRows);
    c.doff = rows.Pick(8);
    c.soff = rows.Pick(8);
    c.moff = rows.Pick(8);
    const size_t size = size_t(kRows * kPitch + 2 * kGuard);
    c.dst.resize(size);
    c.src.resize(size);
    c.lev.resize(size);
    rows.Pixels(c.dst.data(), long(size));
    rows.Pixels(c.src.data(), long(size));
    rows.Levels(c.lev.data(), long(size));
    return c;
}

// The tables measured against the reference: the fast form, and the AVX2
// form where this processor can run it.
std::vector<const kblit::KernelTable*> Measured()
{
    std::vector<const kblit::KernelTable*> out = {&kblit::FastKernels()};
    if (kblit::HasAvx2())
        out.push_back(&kblit::Avx2Kernels());
    return out;
}

// Runs the reference and each measured table on copies of the same case
// and compares whole buffers.
template <class Kernel>
void CompareKernel(const char* name, Kernel run, int reps = 16)
{
    for (const kblit::KernelTable* table : Measured()) {
        Rows rows(12345);
        for (long w = 0; w <= kMaxRow; ++w) {
            for (int rep = 0; rep < reps; ++rep) {
                Case a = MakeCase(rows, w);
                Case b = a;
                run(a.Rows(), *table);
                run(b.Rows(), kblit::RefKernels());
                ASSERT_EQ(a.dst, b.dst) << table->name << " " << name << " w=" << w << " h=" << a.h
                                        << " doff=" << a.doff << " soff=" << a.soff
                                        << " moff=" << a.moff << " rep=" << rep;
            }
        }
    }
}

// One row of n pixels as a rectangle.
kblit::Rows RowOf(WORD* d, const WORD* s, long n)
{
    kblit::Rows r{};
    r.dst = reinterpret_cast<BYTE*>(d);
    r.src = reinterpret_cast<const BYTE*>(s);
    r.w = n;
    r.h = 1;
    return r;
}

}  // namespace

TEST(BlitFormula, BlendOfWhiteOverBlackAtHalfIs8410)
{
    EXPECT_EQ(BlendPixel(0xFFFF, 0x0000, 128), 0x8410);
    EXPECT_EQ(BlendPixel(0x1234, 0xABCD, 255), 0x1234);
    EXPECT_EQ(BlendPixel(0x1234, 0xABCD, 0), 0xABCD);
}

// The channels blend independently, so every pair of channel values covers
// every pair of pixels.
TEST(BlitFormula, BlendAtTheEndsGivesSourceOrDestinationExactly)
{
    struct Channel { int shift, bits; } channels[] = {{11, 5}, {5, 6}, {0, 5}};
    for (const Channel& ch : channels) {
        for (int sv = 0; sv < (1 << ch.bits); ++sv) {
            for (int dv = 0; dv < (1 << ch.bits); ++dv) {
                const WORD s = WORD(sv << ch.shift), d = WORD(dv << ch.shift);
                for (unsigned a = 252; a <= 255; ++a) ASSERT_EQ(BlendPixel(s, d, a), s);
                for (unsigned a = 0; a <= 3; ++a) ASSERT_EQ(BlendPixel(s, d, a), d);
            }
        }
    }
}

TEST(BlitFormula, BlendOfEachChannelAtHalf)
{
    EXPECT_EQ(BlendPixel(0xF800, 0x0000, 128), 0x8000);   // red 31 over 0: 16
    EXPECT_EQ(BlendPixel(0x07E0, 0x0000, 128), 0x0400);   // green 63 over 0: 32
    EXPECT_EQ(BlendPixel(0x001F, 0x0000, 128), 0x0010);   // blue 31 over 0: 16
    EXPECT_EQ(BlendPixel(0x0000, 0xFFFF, 128), 0x7BEF);
}

TEST(BlitFormula, AdditiveExamples)
{
    EXPECT_EQ(Additive(0x8410, 0x8410, 0), 0xFFFF);
    EXPECT_EQ(Additive(0xFFFF, 0x0000, 0), 0xF7DF);
    EXPECT_EQ(Additive(0xFFFF, 0x0000, 255), 0x0000);
    EXPECT_EQ(Additive(0x4208, 0x1082, 8), 0x5249);
    EXPECT_EQ(AdditiveKey(255), 0xF7DF);
    EXPECT_EQ(AdditiveKey(8), 0x0041);   // the lowest red bit is a carry bit: cleared
}

TEST(BlitFormula, AdditiveRedOverflowTurnsWhite)
{
    EXPECT_EQ(Additive(0x8000, 0x8000, 0), 0xFFFF);
    EXPECT_EQ(Additive(0x0000, 0x1234, 0), 0x1234 & 0xF7DF);
}

TEST(BlitKernels, FillMatchesReference)
{
    const WORD colours[] = {0x0000, 0xFFFF, 0x1234, 0xF81F, 0x0101};
    for (WORD c : colours)
        CompareKernel("Fill16", [c](const kblit::Rows& r, const kblit::KernelTable& t) {
            t.Fill16(r, c);
        });
    CompareKernel("Fill8", [](kblit::Rows r, const kblit::KernelTable& t) {
        r.dst += r.w & 1;   // any byte
        r.dstPitch = kPitch;
        t.Fill8(r, 0xA5);
    });
}

TEST(BlitKernels, CopiesMatchReference)
{
    CompareKernel("Copy", [](const kblit::Rows& r, const kblit::KernelTable& t) { t.Copy(r); });
    CompareKernel("CopyKey", [](const kblit::Rows& r, const kblit::KernelTable& t) {
        t.CopyKey(r);
    });
}

// A sprite blitted onto itself: each row moves as a whole.
TEST(BlitKernels, CopyWithinOneRowMovesItWhole)
{
    for (const kblit::KernelTable* t : Measured()) {
        SCOPED_TRACE(t->name);
        std::vector<WORD> row(40), expect(40);
        for (long i = 0; i < 40; ++i) row[size_t(i)] = WORD(i + 1);
        expect = row;
        std::memmove(expect.data() + 3, expect.data(), 30 * 2);
        t->Copy(RowOf(row.data() + 3, row.data(), 30));
        EXPECT_EQ(row, expect);
    }
}

TEST(BlitKernels, ConstantBlendsMatchReferenceAtEveryLevel)
{
    for (unsigned a = 0; a < 256; ++a) {
        CompareKernel("BlendConst", [a](const kblit::Rows& r, const kblit::KernelTable& t) {
            t.BlendConst(r, BYTE(a));
        }, 4);
        CompareKernel("BlendConstKey", [a](const kblit::Rows& r, const kblit::KernelTable& t) {
            t.BlendConstKey(r, BYTE(a));
        }, 4);
    }
}

TEST(BlitKernels, AlphaSpriteBlendsMatchReference)
{
    CompareKernel("BlendMask", [](const kblit::Rows& r, const kblit::KernelTable& t) {
        t.BlendMask(r);
    });
    const WORD colours[] = {0x0000, 0xFFFF, 0x8410, 0x1234};
    for (WORD c : colours)
        CompareKernel("BlendColourMask", [c](const kblit::Rows& r, const kblit::KernelTable& t) {
            t.BlendColourMask(r, c);
        });
}

TEST(BlitKernels, AdditiveMatchesReferenceAtEveryLevel)
{
    for (unsigned v = 0; v < 256; ++v)
        CompareKernel("Additive", [v](const kblit::Rows& r, const kblit::KernelTable& t) {
            t.Additive(r, BYTE(v));
        }, 4);
}

// Every pair of 16-bit pixels through one vector pass of each lane-wise
// kernel, compared with the scalar formula.
TEST(BlitKernels, BlendAndAdditiveLanesMatchFormulaOnAllSourcesForSampledDestinations)
{
    std::vector<WORD> s(65536), d(65536), out(65536);
    for (long i = 0; i < 65536; ++i) s[i] = WORD(i);
    const unsigned levels[] = {4, 77, 128, 200, 251};
    const WORD dests[] = {0x0000, 0xFFFF, 0x8410, 0x7BEF, 0x0841, 0xF7DF, 0x1234};
    for (const kblit::KernelTable* t : Measured()) {
        SCOPED_TRACE(t->name);
        for (WORD dv : dests) {
            for (unsigned a : levels) {
                std::fill(out.begin(), out.end(), dv);
                t->BlendConst(RowOf(out.data(), s.data(), 65536), BYTE(a));
                for (long i = 0; i < 65536; ++i) ASSERT_EQ(out[i], BlendPixel(WORD(i), dv, a)) << i;
            }
            for (unsigned v = 0; v < 256; v += 5) {
                std::fill(out.begin(), out.end(), dv);
                t->Additive(RowOf(out.data(), s.data(), 65536), BYTE(v));
                for (long i = 0; i < 65536; ++i) ASSERT_EQ(out[i], Additive(WORD(i), dv, v)) << i;
            }
        }
    }
}

namespace {

// A 16-bit sprite block in a vector, with its row table, as the device lays
// it out: the kernels see only the rows.
class Sprite16 {
public:
    Sprite16(long w, long h)
        : m_block(sizeof(SPRITE_DATA) + sizeof(BYTE*) * size_t(h) + size_t(w * h) * 2 + 16)
    {
        SPRITE_DATA* s = Data();
        s->width = w;
        s->height = h;
        s->alignwidth = (w + 3) & ~3L;
        s->rows = h;
        s->pitch = DWORD(w * 2);
        s->kcm = KCM_R5G6B5;
        BYTE* rows = m_block.data() + sizeof(SPRITE_DATA) + sizeof(BYTE*) * size_t(h);
        for (long y = 0; y < h; ++y) s->lpRows[y] = rows + y * w * 2;
    }
    SPRITE_DATA* Data() { return reinterpret_cast<SPRITE_DATA*>(m_block.data()); }
    std::vector<WORD> Pixels()
    {
        std::vector<WORD> out;
        for (long y = 0; y < Data()->height; ++y)
            for (long x = 0; x < Data()->width; ++x) out.push_back(*SpritePixel16(Data(), x, y));
        return out;
    }

private:
    std::vector<BYTE> m_block;
};

}  // namespace

// Random scales up and down, source rectangles anywhere inside the source,
// and clip windows that cut the destination rectangle on any side: the fast
// kernel starts its walk at the window's corner, the reference walks from
// the rectangle's, and both must write the same pixels and only those.
TEST(BlitKernels, ZoomMatchesReferenceOverRandomScalesAndClipWindows)
{
    Rows rows(777);
    for (int rep = 0; rep < 3000; ++rep) {
        const long sw0 = 1 + rows.Pick(40), sh0 = 1 + rows.Pick(40);
        Sprite16 src(sw0, sh0);
        rows.Pixels(SpritePixel16(src.Data(), 0, 0), sw0 * sh0);
        kblit::ZoomJob job{};
        job.src = src.Data();
        job.sw = 1 + rows.Pick(int(sw0));
        job.sh = 1 + rows.Pick(int(sh0));
        job.sx = rows.Pick(int(sw0 - job.sw + 1));
        job.sy = rows.Pick(int(sh0 - job.sh + 1));
        job.w = 1 + rows.Pick(3 * int(job.sw) + 8);
        job.h = 1 + rows.Pick(3 * int(job.sh) + 8);
        job.i0 = rows.Pick(int(job.w));
        job.i1 = job.i0 + 1 + rows.Pick(int(job.w - job.i0));
        job.j0 = rows.Pick(int(job.h));
        job.j1 = job.j0 + 1 + rows.Pick(int(job.h - job.j0));
        job.key = rows.Pick(2) == 1;
        // The destination holds the rectangle with a margin the kernels must
        // leave alone.
        job.x = 1 + rows.Pick(3);
        job.y = 1 + rows.Pick(3);
        Sprite16 a(job.x + job.w + 2, job.y + job.h + 2), b(job.x + job.w + 2, job.y + job.h + 2);
        rows.Pixels(SpritePixel16(a.Data(), 0, 0), a.Data()->width * a.Data()->height);
        std::memcpy(SpritePixel16(b.Data(), 0, 0), SpritePixel16(a.Data(), 0, 0),
                    size_t(a.Data()->width * a.Data()->height) * 2);
        job.dst = a.Data();
        kblit::fast::Zoom(job);
        job.dst = b.Data();
        kblit::ref::Zoom(job);
        ASSERT_EQ(a.Pixels(), b.Pixels())
            << "rep " << rep << ": " << job.sw << "x" << job.sh << " at " << job.sx << "," << job.sy
            << " to " << job.w << "x" << job.h << " window " << job.i0 << ".." << job.i1 << ", "
            << job.j0 << ".." << job.j1 << (job.key ? " keyed" : "");
    }
}

// The switch reads "ref" and nothing else as the reference; each table
// names its form and holds that form's kernels.
TEST(BlitKernels, SwitchPicksTheReferenceOnlyForRef)
{
    struct Row { const char* setting; bool ref; } table[] = {
        {nullptr, false}, {"", false}, {"fast", false}, {"REF", false}, {"ref ", false}, {"ref", true},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.setting ? row.setting : "(unset)");
        EXPECT_EQ(kblit::WantsReference(row.setting), row.ref);
    }
    EXPECT_STREQ(kblit::RefKernels().name, "ref");
    EXPECT_EQ(kblit::RefKernels().Zoom, &kblit::ref::Zoom);
    EXPECT_STREQ(kblit::FastKernels().name, "fast");
    EXPECT_EQ(kblit::FastKernels().Copy, &kblit::fast::Copy);
    EXPECT_STREQ(kblit::Avx2Kernels().name, "avx2");
    EXPECT_EQ(kblit::Avx2Kernels().BlendMask, &kblit::avx2::BlendMask);
    EXPECT_EQ(kblit::Avx2Kernels().Copy, &kblit::avx2::Copy);
    EXPECT_EQ(kblit::Avx2Kernels().Fill16, &kblit::fast::Fill16);
    // Without the switch, the widest form this processor runs.
    const char* env = std::getenv("KESTREL_BLIT");
    const kblit::KernelTable* want = kblit::WantsReference(env) ? &kblit::RefKernels()
                                     : kblit::HasAvx2()         ? &kblit::Avx2Kernels()
                                                                : &kblit::FastKernels();
    EXPECT_EQ(&kblit::Kernels(), want);
}
