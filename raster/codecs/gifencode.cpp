// The GIF encoder: file blocks, single and animated files, true colour as
// tiles, and the two compressors that pack fixed codes (one code per pixel,
// and LZW). The run-length compressor is in gifrle.cpp.
//
// Written file: "GIF89a", the screen descriptor and the global colour table;
// for an animated file the loop-count application block; then per frame a
// graphic control block, the comment (first frame only) and the image block
// with its optional local table, minimum code size and data sub-blocks; the
// trailer 0x3B last.
#include <cstring>
#include <memory>
#include <new>

#include "rastercodecs.h"
#include "rastergif.h"

namespace {

constexpr BYTE kTrailer = 0x3B;
constexpr int kMaxCodes = 4096;   // 12-bit codes
constexpr DWORD kMaxSide = 65535; // sizes are 16-bit words in the file
// True-colour tiles: 17 x 15 = 255 pixels, one table index each, with index 0
// left for the transparent colour.
constexpr DWORD kTileWidth = 17;
constexpr DWORD kTileHeight = 15;

const char kWriteError[] = "Write Error in GIF file";
const char kTooLarge[] = "GIF sides are at most 65535 pixels";
const char kNotPalette[] = "multipage GIF, every page must be a palette image";
const char kNoMemory[] = "RasterImage::Create can't allocate memory";

// The table size code of the flags: 2^(bpp) entries.
int _tablecode(WORD bpp)
{
    return bpp == 0 ? 0 : bpp - 1;
}

}  // namespace

void RasterImageGIF::_putc(RasterFile* fp, BYTE value)
{
    if (!fp->PutC(value))
        m_bWriteFailed = true;
}

void RasterImageGIF::_write(RasterFile* fp, const void* data, size_t n)
{
    if (n != 0 && fp->Write(data, n, 1) != 1)
        m_bWriteFailed = true;
}

bool RasterImageGIF::_writtenok(RasterFile* fp)
{
    if (!fp->Flush() || fp->Error() != 0)
        m_bWriteFailed = true;
    if (m_bWriteFailed)
        _seterror(kWriteError);
    return !m_bWriteFailed;
}

void RasterImageGIF::Putword(int w, RasterFile* fp)
{
    _putc(fp, (BYTE)(w & 0xFF));
    _putc(fp, (BYTE)((w / 256) & 0xFF));
}

bool RasterImageGIF::Encode(FILE* fp)
{
    RasterIOFile file(fp);
    return Encode(fp != NULL ? &file : NULL);
}

bool RasterImageGIF::Encode(FILE* fp, RasterImage** pImages, int pagecount, bool bLocalColorMap)
{
    RasterIOFile file(fp);
    return Encode(fp != NULL ? &file : NULL, pImages, pagecount, bLocalColorMap);
}

bool RasterImageGIF::Encode(RasterFile* fp)
{
    if (EncodeSafeCheck(fp))
        return false;
    if (GetWidth() > kMaxSide || GetHeight() > kMaxSide) {
        _seterror(kTooLarge);
        return false;
    }
    m_bWriteFailed = false;
    if (GetBpp() > 8)
        return EncodeRGB(fp);
    EncodeHeader(fp);
    EncodeExtension(fp);
    EncodeComment(fp);
    EncodeBody(fp, false);
    _putc(fp, kTrailer);
    return _writtenok(fp);
}

bool RasterImageGIF::_checkpages(RasterImage** pImages, int pagecount)
{
    for (int i = 0; i < pagecount; i++) {
        RasterImage* page = pImages[i];
        if (page == NULL || !page->IsValid()) {
            _seterror("Bad image pointer");
            return false;
        }
        // A page without a palette has no indices to write.
        if (page->GetBpp() > 8 || page->GetNumColors() == 0) {
            _seterror(kNotPalette);
            return false;
        }
        if (page->GetWidth() > kMaxSide || page->GetHeight() > kMaxSide) {
            _seterror(kTooLarge);
            return false;
        }
    }
    return true;
}

bool RasterImageGIF::Encode(RasterFile* fp, RasterImage** pImages, int pagecount,
                            bool bLocalColorMap)
{
    if (fp == NULL) {
        _seterror("invalid file pointer");
        return false;
    }
    if (pImages == NULL || pagecount <= 0 || pImages[0] == NULL) {
        _seterror("multipage GIF, no images!");
        return false;
    }
    // Every page is checked first, so a refused list writes nothing.
    if (!_checkpages(pImages, pagecount))
        return false;
    m_bWriteFailed = false;

    for (int i = 0; i < pagecount; i++) {
        // A ghost borrows one image for good: each page gets a fresh one.
        std::unique_ptr<RasterImageGIF> ghost(new (std::nothrow) RasterImageGIF);
        if (!ghost) {
            _seterror(kNoMemory);
            return false;
        }
        ghost->Ghost(pImages[i]);
        ghost->SetDisposalMethod(nDispMeth);
        if (i == 0) {
            // The first page's palette is the global table.
            ghost->EncodeHeader(fp);
            if (nLoops != 1) {
                ghost->SetLoops(nLoops - 1 < 0 ? 0 : nLoops - 1);
                ghost->EncodeLoopExtension(fp);
            }
            ghost->EncodeExtension(fp);
            m_bWriteFailed |= ghost->m_bWriteFailed;
            EncodeComment(fp);
            ghost->EncodeBody(fp, false);
        } else {
            ghost->EncodeExtension(fp);
            ghost->EncodeBody(fp, bLocalColorMap);
        }
        m_bWriteFailed |= ghost->m_bWriteFailed;
    }
    _putc(fp, kTrailer);
    return _writtenok(fp);
}

void RasterImageGIF::EncodeHeader(RasterFile* fp)
{
    _write(fp, "GIF89a", 6);
    Putword((int)GetWidth(), fp);
    Putword((int)GetHeight(), fp);
    const DWORD colours = GetNumColors();
    const int code = _tablecode(GetBpp());
    _putc(fp, colours != 0 ? (BYTE)(0x80 | (code << 4) | code) : (BYTE)0x11);
    _putc(fp, 0);  // background index
    _putc(fp, 0);  // aspect ratio
    if (colours != 0) {
        // The table holds exactly the 2^bpp entries its size code promises.
        RGBQUAD* pal = GetPalette();
        const DWORD entries = 1u << (code + 1);
        for (DWORD i = 0; i < entries; i++) {
            BYTE rgb[3] = {0, 0, 0};
            if (i < colours) {
                rgb[0] = pal[i].rgbRed;
                rgb[1] = pal[i].rgbGreen;
                rgb[2] = pal[i].rgbBlue;
            }
            _write(fp, rgb, 3);
        }
    }
}

void RasterImageGIF::EncodeLoopExtension(RasterFile* fp)
{
    _putc(fp, 0x21);
    _putc(fp, 0xFF);
    _putc(fp, 0x0B);
    _write(fp, "NETSCAPE2.0", 11);
    _putc(fp, 0x03);
    _putc(fp, 0x01);
    Putword(nLoops, fp);
    _putc(fp, 0x00);
}

void RasterImageGIF::EncodeExtension(RasterFile* fp)
{
    _putc(fp, 0x21);
    _putc(fp, 0xF9);
    _putc(fp, 0x04);
    BYTE flags = (BYTE)((info.nTransIndex != -1 ? 1 : 0) | ((nDispMeth & 7) << 2));
    _putc(fp, flags);
    Putword((int)(info.dwFrameDelay & 0xFFFF), fp);
    _putc(fp, (BYTE)(info.nTransIndex & 0xFF));
    _putc(fp, 0x00);
}

void RasterImageGIF::EncodeComment(RasterFile* fp)
{
    size_t n = strlen(szComment);
    if (n == 0)
        return;
    if (n > 255)
        n = 255;
    _putc(fp, 0x21);
    _putc(fp, 0xFE);
    _putc(fp, (BYTE)n);
    _write(fp, szComment, n);
    _putc(fp, 0x00);
}

void RasterImageGIF::EncodeBody(RasterFile* fp, bool bLocalColorMap)
{
    nCurX = 0;
    nCurY = (long)GetHeight() - 1;
    lCountDown = (long)GetWidth() * (long)GetHeight();

    const WORD bpp = GetBpp();
    const int code = _tablecode(bpp);
    _putc(fp, 0x2C);
    Putword((int)info.nXOffset, fp);
    Putword((int)info.nYOffset, fp);
    Putword((int)GetWidth(), fp);
    Putword((int)GetHeight(), fp);
    const bool local = bLocalColorMap && GetNumColors() != 0;
    _putc(fp, local ? (BYTE)(0x80 | code) : (BYTE)0);
    if (local) {
        RGBQUAD* pal = GetPalette();
        const DWORD entries = 1u << (code + 1);
        for (DWORD i = 0; i < entries; i++) {
            BYTE rgb[3] = {0, 0, 0};
            if (i < GetNumColors()) {
                rgb[0] = pal[i].rgbRed;
                rgb[1] = pal[i].rgbGreen;
                rgb[2] = pal[i].rgbBlue;
            }
            _write(fp, rgb, 3);
        }
    }

    // Codes of a 1-bit image would leave no room for clear and end codes.
    const int initCodeSize = bpp <= 1 ? 2 : bpp;
    _putc(fp, (BYTE)initCodeSize);
    switch (info.dwCodecOption) {
    case GIF_COMPRESSION_NONE: compressNONE(initCodeSize + 1, fp); break;
    case GIF_COMPRESSION_LZW: compressLZW(initCodeSize + 1, fp); break;
    default: compressRLE(initCodeSize + 1, fp); break;
    }
    _putc(fp, 0x00);
}

void RasterImageGIF::_loadrow(long y)
{
    const long width = (long)GetWidth();
    m_row.resize((size_t)width);
    const BYTE* src = GetBits((DWORD)y);
    switch (GetBpp()) {
    case 8: memcpy(m_row.data(), src, (size_t)width); break;
    case 4:
        for (long x = 0; x < width; x++)
            m_row[(size_t)x] = (BYTE)((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
        break;
    case 1:
        for (long x = 0; x < width; x++)
            m_row[(size_t)x] = (BYTE)((src[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    default:
        for (long x = 0; x < width; x++)
            m_row[(size_t)x] = GetPixelIndex(x, y);
        break;
    }
}

int RasterImageGIF::GifNextPixel()
{
    if (lCountDown == 0)
        return -1;
    --lCountDown;
    if (nCurX == 0)
        _loadrow(nCurY);
    int r = m_row[(size_t)nCurX];
    if (++nCurX == (long)GetWidth()) {
        nCurX = 0;
        nCurY--;
    }
    return r;
}

bool RasterImageGIF::EncodeRGB(RasterFile* fp)
{
    EncodeHeader(fp);
    EncodeComment(fp);

    std::unique_ptr<RasterImageGIF> tile(new (std::nothrow) RasterImageGIF);
    if (!tile) {
        _seterror(kNoMemory);
        return false;
    }
    const long width = (long)GetWidth(), height = (long)GetHeight();
    for (long y = 0; y < height; y += kTileHeight) {
        for (long x = 0; x < width; x += kTileWidth) {
            const long w = width - x < (long)kTileWidth ? width - x : (long)kTileWidth;
            const long h = height - y < (long)kTileHeight ? height - y : (long)kTileHeight;
            if (!tile->IsValid() || (long)tile->GetWidth() != w || (long)tile->GetHeight() != h) {
                if (tile->Create((DWORD)w, (DWORD)h, 8, 0) == NULL) {
                    _seterror(tile->GetLastError());
                    return false;
                }
            }
            if (IsTransparent()) {
                tile->SetTransIndex(0);
                tile->SetPaletteColor(0, GetTransColor());
            }
            for (long j = 0; j < h; j++) {
                for (long i = 0; i < w; i++) {
                    const BYTE k = (BYTE)((1 + i + kTileWidth * j) & 0xFF);
                    tile->SetPaletteColor(k, GetPixelColor(x + i, height - y - h + j, true));
                    tile->SetPixelIndex(i, j, tile->GetNearestIndex(tile->GetPaletteColor(k)));
                }
            }
            tile->SetOffset(x, y);
            tile->EncodeExtension(fp);
            tile->EncodeBody(fp, true);
            m_bWriteFailed |= tile->m_bWriteFailed;
            tile->m_bWriteFailed = false;
        }
    }
    _putc(fp, kTrailer);
    return _writtenok(fp);
}

// ---- fixed-code packing (NONE and LZW) ----

void RasterImageGIF::output(short code)
{
    static const unsigned long masks[] = {
        0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
        0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF,
    };
    dwCurAccum &= masks[nCurBits];
    if (nCurBits > 0)
        dwCurAccum |= ((unsigned long)code << nCurBits);
    else
        dwCurAccum = (unsigned long)code;
    nCurBits += nBits;

    while (nCurBits >= 8) {
        char_out((int)(dwCurAccum & 0xFF));
        dwCurAccum >>= 8;
        nCurBits -= 8;
    }

    // The width follows the table a decoder builds: one bit more each time
    // the next entry no longer fits, back to the start after a clear.
    if (nFreeEnt > nMaxCode || bClearFlag) {
        if (bClearFlag) {
            nBits = nInitBits;
            nMaxCode = (1 << nBits) - 1;
            bClearFlag = 0;
        } else {
            ++nBits;
            nMaxCode = nBits == 12 ? kMaxCodes : (1 << nBits) - 1;
        }
    }

    if (code == nEOFCode) {
        while (nCurBits > 0) {
            char_out((int)(dwCurAccum & 0xFF));
            dwCurAccum >>= 8;
            nCurBits = nCurBits > 8 ? nCurBits - 8 : 0;
        }
        flush_char();
    }
}

void RasterImageGIF::char_out(int c)
{
    Accum[nAccumCount++] = (BYTE)c;
    if (nAccumCount >= 254)
        flush_char();
}

void RasterImageGIF::flush_char()
{
    if (nAccumCount > 0) {
        _putc(pOutFile, (BYTE)nAccumCount);
        _write(pOutFile, Accum, (size_t)nAccumCount);
        nAccumCount = 0;
    }
}

void RasterImageGIF::cl_hash(long hsize)
{
    for (long i = 0; i < hsize; i++)
        HashTab[i] = -1;
}

// The code state both LZW-style compressors start from: init_bits-wide
// codes, the clear and end codes just above the pixel values, nothing
// buffered.
void RasterImageGIF::_startcodes(int init_bits, RasterFile* outfile)
{
    nInitBits = init_bits;
    pOutFile = outfile;
    bClearFlag = 0;
    nCurBits = 0;
    dwCurAccum = 0;
    nBits = init_bits;
    nMaxCode = (1 << nBits) - 1;
    nClearCode = 1 << (init_bits - 1);
    nEOFCode = nClearCode + 1;
    nFreeEnt = nClearCode + 2;
    nAccumCount = 0;
}

void RasterImageGIF::compressNONE(int init_bits, RasterFile* outfile)
{
    _startcodes(init_bits, outfile);

    int ent = GifNextPixel();
    output((short)nClearCode);
    while (ent != -1) {
        const int c = GifNextPixel();
        output((short)ent);
        ent = c;
        // Each code adds an entry to the decoder's table; a full table is
        // cleared so the codes never need more than 12 bits.
        if (nFreeEnt < kMaxCodes) {
            nFreeEnt++;
        } else {
            nFreeEnt = nClearCode + 2;
            bClearFlag = 1;
            output((short)nClearCode);
        }
    }
    output((short)nEOFCode);
}

void RasterImageGIF::compressLZW(int init_bits, RasterFile* outfile)
{
    _startcodes(init_bits, outfile);

    int ent = GifNextPixel();
    if (ent == -1)
        ent = 0;  // an image without pixels still sends one code

    // The pixel is shifted left so that pixel and prefix together spread
    // over the whole table (4 bits for 5003 slots).
    int hshift = 0;
    for (long fcode = kHashSize; fcode < 65536L; fcode *= 2)
        ++hshift;
    hshift = 8 - hshift;
    cl_hash(kHashSize);
    output((short)nClearCode);

    // The pixels are taken a row at a time: this loop is the encoder's hot path.
    while (lCountDown > 0) {
        if (nCurX == 0)
            _loadrow(nCurY);
        const long width = (long)GetWidth();
        const long take = width - nCurX < lCountDown ? width - nCurX : lCountDown;
        const BYTE* row = m_row.data() + nCurX;
        for (long k = 0; k < take; k++) {
            const int c = row[k];
            const LONG fcode = ((LONG)c << 12) + ent;
            long i = ((long)c << hshift) ^ ent;
            if (HashTab[i] == fcode) {
                ent = CodeTab[i];
                continue;
            }
            bool found = false;
            if (HashTab[i] >= 0) {
                // Open addressing with a second hash: step back by a
                // displacement that depends on where the search started.
                const long disp = i == 0 ? 1 : kHashSize - i;
                for (;;) {
                    i -= disp;
                    if (i < 0)
                        i += kHashSize;
                    if (HashTab[i] == fcode) {
                        found = true;
                        break;
                    }
                    if (HashTab[i] < 0)
                        break;
                }
            }
            if (found) {
                ent = CodeTab[i];
                continue;
            }
            output((short)ent);
            ent = c;
            if (nFreeEnt < kMaxCodes) {
                CodeTab[i] = (WORD)nFreeEnt++;
                HashTab[i] = fcode;
            } else {
                cl_hash(kHashSize);
                nFreeEnt = nClearCode + 2;
                bClearFlag = 1;
                output((short)nClearCode);
            }
        }
        lCountDown -= take;
        nCurX += take;
        if (nCurX == width) {
            nCurX = 0;
            nCurY--;
        }
    }
    output((short)ent);
    output((short)nEOFCode);
}
