// KFont: the text walks shared by every font. Text is zero-terminated bytes
// in a double-byte code page; a lead byte and its trail make one character
// whose code is lead x 256 + trail.
#include "kfont_2.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kbase.h"
#include "kfont_walk.h"

namespace {

using kfontwalk::ByteAt;
using kfontwalk::DrawForward;
using kfontwalk::kMeasureLead;

const unsigned char kSpace = 32;
// Formatted text is cut to fit this buffer, terminator included.
const size_t kPrintfBuffer = 10240;

}  // namespace

void KFont::SetGraph(KGraph* graph)
{
    KASSERT(graph != NULL);
    m_Graph = graph;
}

long KFont::DrawString(void* dst, long x, long y, DWORD colour, const char* s)
{
    KASSERT(dst != NULL);
    KASSERT(s != NULL);
    if (dst == NULL || s == NULL)
        return 0;
    long cx = x;
    DrawForward(s, [&](unsigned code, size_t, size_t) {
        if (code == kSpace)
            cx += m_nHeight / 2;
        else
            cx += DrawChar(dst, cx, y, colour, code);
        return true;
    });
    return 0;
}

long KFont::DrawString(void* dst, long x, long y, DWORD colour, const char* s,
                       long maxWidth, bool wrap)
{
    KASSERT(dst != NULL);
    KASSERT(s != NULL);
    if (dst == NULL || s == NULL)
        return 0;
    long cx = x;
    long cy = y;
    DrawForward(s, [&](unsigned code, size_t, size_t) {
        if (code == kSpace) {
            cx += m_nHeight / 2;  // a space is never tested against the limit
            return true;
        }
        long w = GetWidth(code);
        if ((cx - x) + w > maxWidth) {
            if (!wrap)
                return false;
            cx = x;
            cy += m_nHeight + 1;
        }
        DrawChar(dst, cx, cy, colour, code);
        cx += w;
        return true;
    });
    return 0;
}

long KFont::Printf(void* dst, long x, long y, DWORD colour, const char* format, ...)
{
    KASSERT(dst);
    const char* s = format;
    KASSERT(s != NULL);
    if (dst == NULL || s == NULL)
        return 0;
    // Bounded: longer text is cut at the buffer's end. A lead byte cut from
    // its trail is harmless, since the walk stops at a lead byte before the end.
    char buffer[kPrintfBuffer];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        buffer[0] = 0;
    return DrawString(dst, x, y, colour, buffer);
}

// The measuring walk: calls step(index, advance, bytes) for each character
// from the start until step returns false or the text ends.
template <class Step>
static void MeasureForward(KFont& font, const char* s, Step step)
{
    long half = font.GetHeight() / 2;
    for (size_t i = 0; ByteAt(s, i) != 0;) {
        unsigned char b = ByteAt(s, i);
        long w;
        size_t n;
        if (b == kSpace) {
            w = half;
            n = 1;
        } else if (b < kMeasureLead) {
            w = font.GetWidth(b);
            n = 1;
        } else {
            unsigned char trail = ByteAt(s, i + 1);
            if (trail == 0)
                return;
            w = font.GetWidth(unsigned(b) * 256 + trail);
            n = 2;
        }
        if (!step(i, w, n))
            return;
        i += n;
    }
}

// The summed advance of the characters that start before byte `limit`.
static int SumWidths(KFont& font, const char* s, size_t limit)
{
    KASSERT(s != NULL);
    if (s == NULL)
        return 0;
    long sum = 0;
    MeasureForward(font, s, [&](size_t i, long w, size_t) {
        if (i >= limit)
            return false;
        sum += w;
        return true;
    });
    return int(sum);
}

int KFont::GetStringWidth(const char* s)
{
    return SumWidths(*this, s, SIZE_MAX);
}

int KFont::GetStringWidth(const char* s, unsigned count)
{
    return SumWidths(*this, s, count);
}

int KFont::GetStringEnd(const char* s, long width)
{
    KASSERT(s != NULL);
    if (s == NULL)
        return 0;
    long sum = 0;
    size_t end = 0;
    bool stopped = false;
    MeasureForward(*this, s, [&](size_t i, long w, size_t n) {
        if (sum + w >= width) {
            end = i;
            stopped = true;
            return false;
        }
        sum += w;
        end = i + n;
        return true;
    });
    // When nothing stopped the walk, end is the whole length, or the index
    // of a lead byte that has no trail (it is not a character).
    (void)stopped;
    return int(end);
}

int KFont::GetStringBegin(const char* s, long width)
{
    KASSERT(s != NULL);
    if (s == NULL)
        return 0;
    long half = m_nHeight / 2;
    long sum = 0;
    size_t begin = strlen(s);
    while (begin > 0) {
        size_t i = begin - 1;
        unsigned char b = ByteAt(s, i);
        long w;
        size_t start;
        if (b == kSpace) {
            w = half;
            start = i;
        } else if (b < kMeasureLead || i == 0) {
            // A byte from 160 up at the very start has no lead before it:
            // it is measured on its own rather than paired with s[-1].
            w = GetWidth(b);
            start = i;
        } else {
            w = GetWidth(unsigned(ByteAt(s, i - 1)) * 256 + b);
            start = i - 1;
        }
        if (sum + w >= width)
            break;
        sum += w;
        begin = start;
    }
    return int(begin);
}
