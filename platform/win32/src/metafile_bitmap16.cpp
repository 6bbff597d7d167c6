// The old device bitmaps of Windows metafile blits (Bitmap16: type, width,
// height, bytes a row, planes and bits a pixel, then the rows top first,
// each a whole number of 16-bit words) turned into the DIB the blits read.
#include "metafile_more_records.h"

#include <cstring>

namespace win32metafile {

namespace {

constexpr size_t kBitmap16Header = 10;
constexpr long kMaxSide = 1 << 15;

void Put16(std::vector<BYTE>& b, WORD v)
{
    b.push_back((BYTE)v);
    b.push_back((BYTE)(v >> 8));
}

void Put32(std::vector<BYTE>& b, DWORD v)
{
    Put16(b, (WORD)v);
    Put16(b, (WORD)(v >> 16));
}

void PutColour(std::vector<BYTE>& b, COLORREF c)
{
    b.push_back(GetBValue(c));
    b.push_back(GetGValue(c));
    b.push_back(GetRValue(c));
    b.push_back(0);
}

// The sixteen colours of the standard 4-bit device palette.
const COLORREF kVga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                           0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                           0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

}  // namespace

bool Bitmap16Dib(const BYTE* p, size_t n, COLORREF text, COLORREF background,
                 std::vector<BYTE>& store, DibRef& dib)
{
    const RecordBytes r(p, n);
    long width = 0, height = 0;
    WORD stride = 0;
    if (!r.S16(2, width) || !r.S16(4, height) || !r.U16(6, stride) || !r.Has(8, 2))
        return false;
    const BYTE planes = p[8], bits = p[9];
    if (planes != 1 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    if (bits != 1 && bits != 4 && bits != 24 && bits != 32)
        return false;  // an 8-bit one needs the device's palette, which the file lacks
    if ((uint64_t)stride * 8 < (uint64_t)width * bits ||
        (uint64_t)stride * (uint64_t)height > n - kBitmap16Header)
        return false;
    // A top-down DIB of the same depth, its rows padded to 32 bits.
    store.clear();
    Put32(store, 40);
    Put32(store, (DWORD)width);
    Put32(store, (DWORD)-height);
    Put16(store, 1);
    Put16(store, bits);
    for (int i = 0; i < 6; i++)
        Put32(store, 0);
    if (bits == 1) {
        // A monochrome bitmap meeting a colour device: 0 is the text colour,
        // 1 the background colour.
        PutColour(store, text);
        PutColour(store, background);
    } else if (bits == 4) {
        for (COLORREF c : kVga)
            PutColour(store, c);
    }
    const size_t infoSize = store.size();
    const size_t dibStride = ((size_t)width * bits + 31) / 32 * 4;
    store.resize(infoSize + dibStride * (size_t)height, 0);
    for (long y = 0; y < height; y++)
        std::memcpy(store.data() + infoSize + dibStride * (size_t)y,
                    p + kBitmap16Header + (size_t)stride * (size_t)y,
                    std::min<size_t>(stride, dibStride));
    dib.info = store.data();
    dib.infoSize = infoSize;
    dib.bits = store.data() + infoSize;
    dib.bitsSize = store.size() - infoSize;
    return true;
}

}  // namespace win32metafile
