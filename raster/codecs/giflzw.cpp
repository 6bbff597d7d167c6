// The GIF LZW decompressor and the row output of a frame.
//
// Codes are packed least significant bit first. With a minimum code size s,
// codes 0..2^s - 1 are pixels, 2^s clears the table, 2^s + 1 ends the data,
// and the first free code follows. Codes start s + 1 bits wide and widen
// each time the table fills the current width, up to 12 bits (4096 codes);
// a full table adds nothing until the next clear. Each table entry is a
// prefix code and a suffix pixel, so a string is found by walking prefixes
// back to a pixel code and read out reversed.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "rastergif.h"

namespace {

constexpr int kMaxCodeBits = 12;

// Codes from a span of bytes, least significant bit first.
class CodeReader {
public:
    CodeReader(const BYTE* p, size_t n) : m_p(p), m_end(p + n) {}

    // The next code of `bits` bits, or -1 when the data ends first.
    int next(int bits)
    {
        while (m_count < bits) {
            if (m_p == m_end)
                return -1;
            m_acc |= (uint32_t)*m_p++ << m_count;
            m_count += 8;
        }
        int code = (int)(m_acc & ((1u << bits) - 1));
        m_acc >>= bits;
        m_count -= bits;
        return code;
    }

private:
    const BYTE* m_p;
    const BYTE* m_end;
    uint32_t m_acc = 0;
    int m_count = 0;
};

}  // namespace

int RasterImageGIF::out_line(RasterIterator* iter, BYTE* pixels, int len)
{
    // Pixels right of the screen's edge are dropped.
    const int width = m_nLineWidth;
    if (len > width)
        len = width;
    int bytes = len;
    if (m_nLineBpp < 8) {
        // Pixels the data did not deliver stay 0, as the frame was created.
        if (len < width)
            memset(pixels + len, 0, (size_t)(width - len));
        // Packed in place: the high bits of a byte hold the leftmost pixel.
        if (m_nLineBpp == 4) {
            for (int x = 0; x < width; x++) {
                BYTE v = pixels[x] & 15;
                BYTE& b = pixels[x >> 1];
                b = (x & 1) ? (BYTE)((b & 0xF0) | v) : (BYTE)((b & 0x0F) | (v << 4));
            }
        } else {
            for (int x = 0; x < width; x++) {
                BYTE bit = (BYTE)(0x80 >> (x & 7));
                BYTE& b = pixels[x >> 3];
                b = (pixels[x] & 1) ? (BYTE)(b | bit) : (BYTE)(b & ~bit);
            }
        }
        bytes = (width * m_nLineBpp + 7) / 8;
        // The bits past the last pixel are row padding: zero, as created.
        int used = (width * m_nLineBpp) & 7;
        if (used != 0)
            pixels[bytes - 1] &= (BYTE)(0xFF << (8 - used));
    }

    if (!bInterlaced) {
        if (!iter->RowValid())
            return -1;
        iter->SetRow(pixels, bytes);
        iter->PrevRow();
        return 0;
    }
    // Interlaced rows come in four passes: rows 0, 8, 16, ...; 4, 12, ...;
    // 2, 6, ...; 1, 3, 5, ... A pass with no row inside the frame is passed
    // over; rows after the fourth pass end the frame.
    if (nPass >= 4)
        return -1;
    // Rows below the screen's edge are dropped.
    if (nRowPos < m_nLineRows) {
        iter->SetY(m_nLineRows - nRowPos - 1);
        iter->SetRow(pixels, bytes);
    }
    nRowPos += nRowStep;
    while (nRowPos >= nRowCount) {
        if (++nPass >= 4)
            break;
        if (nPass > 1)
            nRowStep /= 2;
        nRowPos = nRowStep / 2;
    }
    return 0;
}

int RasterImageGIF::decoder(RasterIterator* iter, int linewidth, int codesize)
{
    if (codesize < 2 || codesize > 9)
        return -20;
    std::unique_ptr<BYTE[]> line(new (std::nothrow) BYTE[(size_t)linewidth + 8]);
    if (!line)
        return -10;
    memset(Stack, 0, sizeof(Stack));
    memset(Suffix, 0, sizeof(Suffix));
    memset(Prefix, 0, sizeof(Prefix));

    const int clear = 1 << codesize;
    const int ending = clear + 1;
    const int newcodes = clear + 2;
    int cursize = codesize + 1;
    int topslot = 1 << cursize;
    int slot = newcodes;
    int oc = 0, fc = 0;
    // The data starts as after a clear code, which an encoder may leave out.
    bool cleared = true;

    CodeReader codes(m_data.data(), m_data.size());
    BYTE* out = line.get();
    int left = linewidth;

    for (;;) {
        int c = codes.next(cursize);
        if (c < 0) {
            // Data that ended on its zero-length block ends as the end code
            // would; data the file cut off loses its unfinished row.
            if (!m_terminated)
                return 0;
            c = ending;
        }
        if (c == ending)
            break;
        if (c == clear) {
            cursize = codesize + 1;
            topslot = 1 << cursize;
            slot = newcodes;
            cleared = true;
            continue;
        }

        int sp = 0;
        if (cleared) {
            // The first code after a clear is a pixel; anything else reads as 0.
            if (c >= slot)
                c = 0;
            oc = fc = c;
            cleared = false;
            Stack[sp++] = (BYTE)c;
        } else {
            int code = c;
            if (code >= slot) {
                // The code being defined: the previous string and its first pixel.
                code = oc;
                Stack[sp++] = (BYTE)fc;
            }
            // A well-formed chain is shorter than the table; a longer one
            // (corrupt data that loops) is refused before it can overrun.
            while (code >= newcodes) {
                if (sp >= (int)sizeof(Stack) - 1)
                    return kStackOverrun;
                Stack[sp++] = Suffix[code];
                code = Prefix[code];
            }
            Stack[sp++] = (BYTE)code;
            if (slot < topslot) {
                fc = code;
                Suffix[slot] = (BYTE)fc;
                Prefix[slot] = (WORD)oc;
                slot++;
                oc = c;
            }
            if (slot >= topslot && cursize < kMaxCodeBits) {
                topslot <<= 1;
                cursize++;
            }
        }

        // The string, reversed on the stack, into the row.
        while (sp > 0) {
            int n = sp < left ? sp : left;
            for (int i = 0; i < n; i++)
                out[i] = Stack[sp - 1 - i];
            out += n;
            sp -= n;
            left -= n;
            if (left == 0) {
                int r = out_line(iter, line.get(), linewidth);
                if (r < 0)
                    return r;
                out = line.get();
                left = linewidth;
            }
        }
    }
    if (left != linewidth)
        return out_line(iter, line.get(), linewidth - left);
    return 0;
}
