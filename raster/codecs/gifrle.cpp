// The GIF encoder's run-length compressor. Its output is ordinary LZW code:
// it never searches a string table, it only predicts the one a decoder
// builds. Right after a clear, sending a pixel and then the code that is just
// being defined makes the decoder store a run of 2, the next one a run of 3,
// and so on: code base + k - 2 stands for a run of k pixels. A long run is
// then sent as repeats of the longest run the table holds, and a clear code
// is sent whenever starting over is cheaper. Codes stay narrow and the table
// never grows past what 12 bits can address.
#include "rastergif.h"

void RasterImageGIF::compressRLE(int init_bits, RasterFile* outfile)
{
    tag_RLE r = {};
    nInitBits = init_bits;
    pOutFile = outfile;

    r.nCodeClear = 1 << (init_bits - 1);
    r.nCodeEOF = r.nCodeClear + 1;
    r.nBaseCode = r.nCodeClear + 2;
    r.nOutBumpInit = (1 << (init_bits - 1)) - 1;
    // Plain pixels clear the table before it would widen the codes (after 9
    // codes for the smallest tables, where that happens sooner).
    r.nOutClearInit = init_bits <= 3 ? 9 : r.nOutBumpInit - 1;
    r.nOutBitsInit = init_bits;
    r.nMaxOCodes = (1 << 12) - ((1 << (init_bits - 1)) + 3);
    r.nRunPixel = -1;
    r.nRunCount = 0;
    rle_clear(&r);
    r.dwOBuf = 0;
    r.nOBits = 0;
    r.nOBLen = 0;

    rle_output(r.nCodeClear, &r);
    for (;;) {
        const int c = GifNextPixel();
        if (r.nRunCount > 0 && c != r.nRunPixel)
            rle_flush(&r);
        if (c == -1)
            break;
        if (c == r.nRunPixel) {
            r.nRunCount++;
        } else {
            r.nRunPixel = c;
            r.nRunCount = 1;
        }
    }
    rle_output(r.nCodeEOF, &r);
    rle_output_flush(&r);
}

void RasterImageGIF::rle_clear(tag_RLE* rle)
{
    rle->nOutBits = rle->nOutBitsInit;
    rle->nOutBump = rle->nOutBumpInit;
    rle->nOutClear = rle->nOutClearInit;
    rle->nOutCount = 0;
    rle->nTableMax = 0;
    rle->bJustCleared = 1;
}

void RasterImageGIF::rle_output(int val, tag_RLE* rle)
{
    rle->dwOBuf |= (unsigned int)val << rle->nOBits;
    rle->nOBits += rle->nOutBits;
    while (rle->nOBits >= 8) {
        rle_block_out((BYTE)(rle->dwOBuf & 0xFF), rle);
        rle->dwOBuf >>= 8;
        rle->nOBits -= 8;
    }
}

void RasterImageGIF::rle_output_flush(tag_RLE* rle)
{
    if (rle->nOBits > 0)
        rle_block_out((BYTE)(rle->dwOBuf & 0xFF), rle);
    rle_block_flush(rle);
}

void RasterImageGIF::rle_block_out(BYTE c, tag_RLE* rle)
{
    rle->OBlock[rle->nOBLen++] = c;
    if (rle->nOBLen >= 255)
        rle_write_block(rle);
}

void RasterImageGIF::rle_block_flush(tag_RLE* rle)
{
    if (rle->nOBLen > 0)
        rle_write_block(rle);
}

void RasterImageGIF::rle_write_block(tag_RLE* rle)
{
    _putc(pOutFile, (BYTE)rle->nOBLen);
    _write(pOutFile, rle->OBlock, (size_t)rle->nOBLen);
    rle->nOBLen = 0;
}

// One code as the decoder counts it: each adds a table entry, and the width
// grows when the next entry needs another bit.
void RasterImageGIF::rle_output_plain(int c, tag_RLE* rle)
{
    rle->bJustCleared = 0;
    rle_output(c, rle);
    rle->nOutCount++;
    if (rle->nOutCount >= rle->nOutBump) {
        rle->nOutBits++;
        rle->nOutBump += 1 << (rle->nOutBits - 1);
    }
    if (rle->nOutCount >= rle->nOutClear) {
        rle_output(rle->nCodeClear, rle);
        rle_clear(rle);
    }
}

void RasterImageGIF::rle_flush(tag_RLE* rle)
{
    if (rle->nRunCount == 1)
        rle_output_plain(rle->nRunPixel, rle);
    else if (rle->bJustCleared)
        rle_flush_fromclear(rle->nRunCount, rle);
    else if (rle->nTableMax < 2 || rle->nTablePixel != rle->nRunPixel)
        rle_flush_clearorrep(rle->nRunCount, rle);
    else
        rle_flush_withtable(rle->nRunCount, rle);
    rle->nRunCount = 0;
}

// Builds the table of runs from scratch while sending count pixels: each
// code sends a run one longer than the one before.
void RasterImageGIF::rle_flush_fromclear(int count, tag_RLE* rle)
{
    rle->nOutClear = rle->nMaxOCodes;
    rle->nTablePixel = rle->nRunPixel;
    int n = 1;
    while (count > 0) {
        if (n == 1) {
            rle->nTableMax = 1;
            rle_output_plain(rle->nRunPixel, rle);
            count--;
        } else if (count >= n) {
            rle->nTableMax = n;
            rle_output_plain(rle->nBaseCode + n - 2, rle);
            count -= n;
        } else if (count == 1) {
            rle->nTableMax++;
            rle_output_plain(rle->nRunPixel, rle);
            count = 0;
        } else {
            rle->nTableMax++;
            rle_output_plain(rle->nBaseCode + count - 2, rle);
            count = 0;
        }
        // A clear sent on the way starts the runs over.
        n = rle->nOutCount == 0 ? 1 : n + 1;
    }
    rle_reset_out_clear(rle);
}

void RasterImageGIF::rle_reset_out_clear(tag_RLE* rle)
{
    rle->nOutClear = rle->nOutClearInit;
    if (rle->nOutCount >= rle->nOutClear) {
        rle_output(rle->nCodeClear, rle);
        rle_clear(rle);
    }
}

// The table holds runs of another pixel (or none): either clear and build
// it for this one, or send the pixels one code each, whichever is shorter.
void RasterImageGIF::rle_flush_clearorrep(int count, tag_RLE* rle)
{
    const int withclr = 1 + (int)rle_compute_triangle_count((unsigned)count, (unsigned)rle->nMaxOCodes);
    if (withclr < count) {
        rle_output(rle->nCodeClear, rle);
        rle_clear(rle);
        rle_flush_fromclear(count, rle);
        return;
    }
    for (; count > 0; count--)
        rle_output_plain(rle->nRunPixel, rle);
}

// The table holds runs of this pixel: send the longest as often as it fits
// and the rest as one shorter run.
void RasterImageGIF::rle_flush_withtable(int count, tag_RLE* rle)
{
    int repmax = count / rle->nTableMax;
    int leftover = count % rle->nTableMax;
    int repleft = leftover ? 1 : 0;
    if (rle->nOutCount + repmax + repleft > rle->nMaxOCodes) {
        // The table fills on the way: the rest goes out after the clear.
        repmax = rle->nMaxOCodes - rle->nOutCount;
        leftover = count - repmax * rle->nTableMax;
        repleft = 1 + (int)rle_compute_triangle_count((unsigned)leftover, (unsigned)rle->nMaxOCodes);
    }
    if (1 + (int)rle_compute_triangle_count((unsigned)count, (unsigned)rle->nMaxOCodes) <
        repmax + repleft) {
        rle_output(rle->nCodeClear, rle);
        rle_clear(rle);
        rle_flush_fromclear(count, rle);
        return;
    }
    rle->nOutClear = rle->nMaxOCodes;
    for (; repmax > 0; repmax--)
        rle_output_plain(rle->nBaseCode + rle->nTableMax - 2, rle);
    if (leftover) {
        if (rle->bJustCleared)
            rle_flush_fromclear(leftover, rle);
        else if (leftover == 1)
            rle_output_plain(rle->nRunPixel, rle);
        else
            rle_output_plain(rle->nBaseCode + leftover - 2, rle);
    }
    rle_reset_out_clear(rle);
}

// Codes needed to send count pixels while the table grows run by run: runs
// of 1, 2, ... n cover n(n + 1)/2 pixels with n codes, at most nrepcodes
// codes between clears.
unsigned int RasterImageGIF::rle_compute_triangle_count(unsigned int count, unsigned int nrepcodes)
{
    unsigned int cost = 0;
    const unsigned int perrep = (nrepcodes * (nrepcodes + 1)) / 2;
    while (count >= perrep) {
        cost += nrepcodes;
        count -= perrep;
    }
    if (count > 0) {
        unsigned int n = rle_isqrt(count);
        while (n * (n + 1) >= 2 * count)
            n--;
        while (n * (n + 1) < 2 * count)
            n++;
        cost += n;
    }
    return cost;
}

unsigned int RasterImageGIF::rle_isqrt(unsigned int x)
{
    if (x < 2)
        return x;
    unsigned int r = 1;
    for (unsigned int v = x; v != 0; v >>= 2)
        r <<= 1;
    for (;;) {
        const unsigned int v = ((x / r) + r) / 2;
        if (v == r || v == r + 1)
            return r;
        r = v;
    }
}
