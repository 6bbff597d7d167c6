// The GIF decoder: the walk through the file's blocks, frame counting and
// selection, the extensions, the colour tables and the compositing of frames.
// The LZW decompressor and the row output are in giflzw.cpp.
//
// File layout (numbers little-endian): "GIF87a" or "GIF89a"; the logical
// screen descriptor (width, height, flags, background index, aspect ratio);
// the global colour table when the screen flags have bit 7 (2^(code + 1)
// entries of red, green, blue); then blocks, each starting with an introducer
// byte: 0x21 an extension (a label, then data sub-blocks of a length byte
// 1..255 and that many bytes, ended by a zero length byte), 0x2C an image (a
// 9-byte descriptor: left, top, width, height, flags; its own colour table
// when the flags have bit 7; the LZW minimum code size; data sub-blocks), and
// 0x3B the trailer.
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "rastercodecs.h"
#include "rastergif.h"
#include "rasterbytes.h"
#include "rasterlimits.h"

namespace {

constexpr size_t kScreenSize = 13;
constexpr size_t kDescriptorSize = 9;
constexpr int kIntroExtension = 0x21;
constexpr int kIntroImage = 0x2C;
constexpr int kTrailer = 0x3B;
constexpr BYTE kLabelGraphicControl = 0xF9;
constexpr BYTE kLabelComment = 0xFE;
constexpr BYTE kLabelApplication = 0xFF;
// Lines are counted in 16-bit signed numbers.
constexpr DWORD kMaxLineWidth = 32767;

const char kNoFrame[] = "GIF file has no frame";
const char kTooWide[] = "GIF line width above 32767";
const char kNotGif[] = "Not a GIF file";
const char kNoSuchFrame[] = "GIF frame number out of range";
const char kCancelled[] = "Cancelled";
using rasterlimits::kTextNoMemory;
using rasterlimits::kTextTooLarge;

using rasterbytes::get16;

// Whether a file without a global table whose first frame is this one is a
// true-colour mosaic of tiles: the frame leaves the screen uncovered in both
// directions, or it starts at the top-left corner and leaves it uncovered in
// one (the tiles of a picture at most one tile wide or high span the screen
// the other way).
bool FirstTile(WORD left, WORD top, WORD width, WORD height, WORD screenWidth, WORD screenHeight)
{
    const bool narrower = width != screenWidth, shorter = height != screenHeight;
    if (narrower && shorter)
        return true;
    return (narrower || shorter) && left == 0 && top == 0;
}

// The palette index at column x of a row of 1-, 4- or 8-bit pixels.
BYTE _indexat(const BYTE* row, int bpp, long x)
{
    if (bpp == 8)
        return row[x];
    if (bpp == 4)
        return (BYTE)((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
    return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
}

int _depthfor(int colours)
{
    return colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
}

}  // namespace

RasterImageGIF::RasterImageGIF() : RasterImage(RASTER_FORMAT_GIF)
{
    memset(&gce, 0, sizeof(gce));
    bInterlaced = nRowPos = nRowStep = nRowCount = nPass = 0;
    nBufPos = nBufEnd = 0;
    memset(ReadBuf, 0, sizeof(ReadBuf));
    memset(Stack, 0, sizeof(Stack));
    memset(Suffix, 0, sizeof(Suffix));
    memset(Prefix, 0, sizeof(Prefix));
    szComment[0] = 0;
    nLoops = 0;
    nDispMeth = 0;
    m_nLineWidth = m_nLineRows = m_nLineBpp = 0;
}

void RasterImageGIF::SetComment(const char* sz)
{
    if (sz == NULL)
        return;
    strncpy(szComment, sz, sizeof(szComment) - 1);
    szComment[sizeof(szComment) - 1] = 0;
}

void RasterImageGIF::GetComment(char* sz) const
{
    if (sz != NULL)
        memcpy(sz, szComment, strlen(szComment) + 1);
}

bool RasterImageGIF::Decode(FILE* fp)
{
    if (fp == NULL)
        return false;
    RasterIOFile file(fp);
    return Decode(&file);
}

bool RasterImageGIF::Decode(RasterFile* fp)
{
    if (fp == NULL)
        return false;
    nBufPos = nBufEnd = 0;
    bool ok = _decode(fp);
    // The stream is left right after the last byte the decoder used.
    _handback(fp);
    return ok;
}

// ---------------------------------------------------------------------------
// Bytes through the read-ahead buffer.

int RasterImageGIF::get_byte(RasterFile* fp)
{
    if (nBufPos >= nBufEnd) {
        nBufEnd = (int)fp->Read(ReadBuf, 1, sizeof(ReadBuf));
        nBufPos = 0;
        if (nBufEnd <= 0) {
            nBufEnd = 0;
            return -1;
        }
    }
    return ReadBuf[nBufPos++];
}

size_t RasterImageGIF::_readsome(RasterFile* fp, void* dst, size_t n)
{
    BYTE* out = static_cast<BYTE*>(dst);
    size_t done = 0;
    while (done < n) {
        if (nBufPos >= nBufEnd) {
            nBufEnd = (int)fp->Read(ReadBuf, 1, sizeof(ReadBuf));
            nBufPos = 0;
            if (nBufEnd <= 0) {
                nBufEnd = 0;
                break;
            }
        }
        size_t take = (size_t)(nBufEnd - nBufPos);
        if (take > n - done)
            take = n - done;
        memcpy(out + done, ReadBuf + nBufPos, take);
        nBufPos += (int)take;
        done += take;
    }
    return done;
}

bool RasterImageGIF::_read(RasterFile* fp, void* dst, size_t n)
{
    return _readsome(fp, dst, n) == n;
}

bool RasterImageGIF::_skip(RasterFile* fp, size_t n)
{
    size_t buffered = (size_t)(nBufEnd - nBufPos);
    if (n <= buffered) {
        nBufPos += (int)n;
        return true;
    }
    n -= buffered;
    nBufPos = nBufEnd = 0;
    long size = fp->Size();
    long pos = fp->Tell();
    if (size >= 0 && pos >= 0 && (unsigned long long)n > (unsigned long long)(size > pos ? size - pos : 0))
        return false;
    return n <= (size_t)LONG_MAX && fp->Seek((long)n, SEEK_CUR);
}

long RasterImageGIF::_tell(RasterFile* fp)
{
    return fp->Tell() - (long)(nBufEnd - nBufPos);
}

void RasterImageGIF::_handback(RasterFile* fp)
{
    if (nBufEnd > nBufPos)
        fp->Seek(-(long)(nBufEnd - nBufPos), SEEK_CUR);
    nBufPos = nBufEnd = 0;
}

// ---------------------------------------------------------------------------
// Blocks.

int RasterImageGIF::_nextblock(RasterFile* fp)
{
    for (;;) {
        int b = get_byte(fp);
        if (b < 0 || b == kIntroExtension || b == kIntroImage || b == kTrailer)
            return b;
    }
}

bool RasterImageGIF::_readframe(RasterFile* fp, Frame& frame)
{
    BYTE d[kDescriptorSize];
    if (!_read(fp, d, sizeof(d)))
        return false;
    frame.left = get16(d);
    frame.top = get16(d + 2);
    frame.width = get16(d + 4);
    frame.height = get16(d + 6);
    frame.flags = d[8];
    frame.local.nColors = (short)(1 << ((frame.flags & 7) + 1));
    frame.local.nColorRes = 0;
    if (!(frame.flags & 0x80))
        return true;
    return _read(fp, frame.local.Palette, (size_t)frame.local.nColors * 3);
}

bool RasterImageGIF::_skipdata(RasterFile* fp)
{
    if (get_byte(fp) < 0)  // the LZW minimum code size
        return false;
    for (;;) {
        int n = get_byte(fp);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!_skip(fp, (size_t)n))
            return false;
    }
}

void RasterImageGIF::_gatherdata(RasterFile* fp, int& codesize)
{
    m_data.clear();
    m_terminated = false;
    codesize = get_byte(fp);
    if (codesize < 0)
        return;
    for (;;) {
        int n = get_byte(fp);
        if (n < 0)
            return;
        if (n == 0) {
            m_terminated = true;
            return;
        }
        size_t at = m_data.size();
        m_data.resize(at + (size_t)n);
        size_t got = _readsome(fp, m_data.data() + at, (size_t)n);
        if (got < (size_t)n) {  // the file ends inside the sub-block
            m_data.resize(at + got);
            return;
        }
    }
}

bool RasterImageGIF::_takes(const Frame& frame, WORD screenWidth, WORD screenHeight) const
{
    // A frame with no pixels, or wholly outside the screen, is passed over;
    // one partly outside is shown clipped. Counting and decoding agree on it.
    return frame.width != 0 && frame.height != 0 && frame.left < screenWidth &&
           frame.top < screenHeight;
}

RasterImageGIF::Frame RasterImageGIF::_clip(const Frame& frame, WORD screenWidth, WORD screenHeight)
{
    Frame shown = frame;
    if ((DWORD)frame.left + frame.width > screenWidth)
        shown.width = (WORD)(screenWidth - frame.left);
    if ((DWORD)frame.top + frame.height > screenHeight)
        shown.height = (WORD)(screenHeight - frame.top);
    return shown;
}

// Extension blocks after their introducer. A failed or malformed read ends
// the walk through the file; anything after the blocks this decoder reads is
// passed over sub-block by sub-block.
bool RasterImageGIF::DecodeExtension(RasterFile* fp)
{
    int label = get_byte(fp);
    if (label < 0)
        return false;
    bool ok = true;
    if (label == kLabelGraphicControl) {
        int length = get_byte(fp);
        BYTE d[4];
        // The block is four bytes long; another length ends the walk.
        ok = length == 4 && _read(fp, d, 4);
        if (ok) {
            gce.flags = d[0];
            gce.delay = get16(d + 1);
            gce.transindex = d[3];
            // A block without the transparency bit keeps the index in force.
            if (gce.flags & 1)
                info.nTransIndex = gce.transindex;
            info.dwFrameDelay = gce.delay;
            nDispMeth = (gce.flags >> 2) & 7;
        }
    } else if (label == kLabelComment) {
        int length = get_byte(fp);
        if (length < 0)
            return false;
        // A zero length is the end of the blocks: the comment is empty.
        ok = length == 0 || _read(fp, szComment, (size_t)length);
        if (ok)
            szComment[length] = 0;
        if (length == 0)
            return ok;
    } else if (label == kLabelApplication) {
        BYTE id[11];
        ok = get_byte(fp) == 11 && _read(fp, id, sizeof(id));  // the identifier is not compared
        if (ok) {
            int length = get_byte(fp);
            if (length <= 0)
                return length == 0;  // no data sub-block: the blocks end here
            BYTE data[255];
            ok = _read(fp, data, (size_t)length);
            if (ok && length > 2)
                nLoops = data[1] + 256 * data[2];
        }
    }
    while (ok) {
        int length = get_byte(fp);
        if (length <= 0 || !_skip(fp, (size_t)length))
            break;
    }
    return ok;
}

int RasterImageGIF::get_num_frames(RasterFile* fp, WORD screenWidth, WORD screenHeight)
{
    long start = _tell(fp);
    // The extensions read while counting belong to later frames: the frame
    // decoded first must not inherit them.
    tag_GraphicControl keepGce = gce;
    long keepTrans = info.nTransIndex;
    DWORD keepDelay = info.dwFrameDelay;
    int keepDisposal = nDispMeth;

    int count = 0;
    for (;;) {
        Frame frame;
        if (_nextframe(fp, frame, false) <= 0)
            break;
        if (_takes(frame, screenWidth, screenHeight))
            count++;
        if (!_skipdata(fp))
            break;
    }

    gce = keepGce;
    info.nTransIndex = keepTrans;
    info.dwFrameDelay = keepDelay;
    nDispMeth = keepDisposal;
    nBufPos = nBufEnd = 0;
    fp->Seek(start, SEEK_SET);
    return count;
}

// ---------------------------------------------------------------------------
// Frames.

void RasterImageGIF::_setpalette(RasterImage& target, const tag_TabCol& table) const
{
    BYTE red[256], green[256], blue[256];
    int n = table.nColors;
    for (int i = 0; i < n; i++) {
        red[i] = table.Palette[i].r;
        green[i] = table.Palette[i].g;
        blue[i] = table.Palette[i].b;
    }
    if (info.nTransIndex == -1) {
        target.SetPalette((DWORD)n, red, green, blue);
        return;
    }
    // A transparent index may lie past the table: the entries after it are white.
    for (int i = n; i < 256; i++)
        red[i] = green[i] = blue[i] = 255;
    target.SetPalette(256, red, green, blue);
}

bool RasterImageGIF::_decodeframe(RasterImage& target, const Frame& frame, int codesize)
{
    RasterIterator iter(&target);
    iter.MoveToTop();
    bInterlaced = frame.flags & 0x40;
    nRowCount = frame.height;
    nRowStep = 8;
    nRowPos = 0;
    nPass = 0;
    // The rows are decoded at the frame's width and height; what lies
    // outside the screen is dropped on the way into the clipped target.
    m_nLineWidth = (int)target.GetWidth();
    m_nLineRows = (int)target.GetHeight();
    m_nLineBpp = target.GetBpp();
    // Other decoder failures end the frame with the rows it delivered.
    if (decoder(&iter, frame.width, codesize) == kStackOverrun)
        return _fail("GIF LZW code chain overruns the decode stack");
    return true;
}

void RasterImageGIF::GifMix(RasterImage& imgsrc2, long lxOffset, long lyOffset)
{
    // Only the positions that lie inside imgsrc2 are painted: the rest of
    // this picture keeps what it shows.
    long x0 = lxOffset < 0 ? -lxOffset : 0, y0 = lyOffset < 0 ? -lyOffset : 0;
    long x1 = (long)imgsrc2.GetWidth() - lxOffset, y1 = (long)imgsrc2.GetHeight() - lyOffset;
    if (x1 > (long)GetWidth())
        x1 = (long)GetWidth();
    if (y1 > (long)GetHeight())
        y1 = (long)GetHeight();
    long trans = imgsrc2.GetTransIndex();
    for (long y = y0; y < y1; y++) {
        for (long x = x0; x < x1; x++) {
            BYTE i = imgsrc2.GetPixelIndex(x + lxOffset, y + lyOffset);
            if (trans == -1 || i != (BYTE)trans)
                SetPixelIndex(x, y, i);
        }
    }
}

void RasterImageGIF::_fillrect(const Frame& area, BYTE index)
{
    long height = (long)GetHeight();
    for (long y = area.top; y < (long)area.top + area.height && y < height; y++)
        for (long x = area.left; x < (long)area.left + area.width && x < (long)GetWidth(); x++)
            SetPixelIndex(x, height - 1 - y, index);
}

void RasterImageGIF::_paintcomposite(RasterImage& composite, const Frame& frame, WORD screenHeight) const
{
    // Every pixel of the frame's rectangle (already clipped to the screen)
    // is copied in its palette colour, the transparent ones too, a row at a
    // time straight into the 24-bit rows.
    const long h = (long)GetHeight(), w = (long)GetWidth();
    if (GetBits(0) == NULL || composite.GetBits(0) == NULL || composite.GetBpp() != 24)
        return;
    RGBQUAD colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = GetPaletteColor((BYTE)i);
    const int bpp = GetBpp();
    const long room = (long)composite.GetWidth() - frame.left;
    const long n = w < room ? w : room;
    for (long y = 0; y < h; y++) {
        const long cy = (long)screenHeight - 1 - frame.top - y;
        if (cy < 0 || cy >= (long)composite.GetHeight())
            continue;
        BYTE* dst = composite.GetBits((DWORD)cy) + (size_t)frame.left * 3;
        const BYTE* src = GetBits((DWORD)(h - 1 - y));
        for (long x = 0; x < n; x++, dst += 3) {
            const RGBQUAD c = colours[_indexat(src, bpp, x)];
            dst[0] = c.rgbBlue;
            dst[1] = c.rgbGreen;
            dst[2] = c.rgbRed;
        }
    }
}

void RasterImageGIF::_adopt(RasterImage& picture)
{
    RasterImageInfo keep = info;
    Transfer(picture);
    keep.pBits = info.pBits;
    keep.dwEffWidth = info.dwEffWidth;
    info = keep;
    _clearcolorcache();
}

bool RasterImageGIF::_readscreen(RasterFile* fp, Walk& walk)
{
    BYTE screen[kScreenSize];
    if (!_read(fp, screen, sizeof(screen)) || memcmp(screen, "GIF8", 4) != 0)
        return _fail(kNotGif);
    walk.screenWidth = get16(screen + 6);
    walk.screenHeight = get16(screen + 8);
    const BYTE flags = screen[10];
    walk.background = screen[11];
    walk.global.nColors = (short)(1 << ((flags & 7) + 1));
    walk.global.nColorRes = (short)(((flags & 0x70) >> 3) + 1);
    memset(walk.global.Palette, 0, sizeof(walk.global.Palette));
    walk.hasGlobal = (flags & 0x80) != 0;
    walk.trueColour = walk.hasGlobal ? 0 : 1;
    // A table cut short leaves nothing after it: no frame.
    if (walk.hasGlobal && !_read(fp, walk.global.Palette, (size_t)walk.global.nColors * 3))
        walk.screenWidth = walk.screenHeight = 0;
    // What the stream has left, and what the read-ahead holds of it.
    walk.fileData = rasterlimits::BytesLeft(fp);
    if (walk.fileData >= 0)
        walk.fileData += nBufEnd - nBufPos;
    return true;
}

// Reads up to the next image descriptor, applying the extensions met on
// the way: 1 with the frame read, 0 at the end (trailer or bad data), -1
// when the caller asked to stop (only when escapable).
int RasterImageGIF::_nextframe(RasterFile* fp, Frame& frame, bool escapable)
{
    for (;;) {
        const int b = _nextblock(fp);
        if (b < 0)
            return 0;
        if (escapable && info.nEscape > 0)
            return -1;
        if (b == kTrailer)
            return 0;
        if (b == kIntroExtension) {
            if (!DecodeExtension(fp))
                return 0;
            continue;
        }
        return _readframe(fp, frame) ? 1 : 0;
    }
}

bool RasterImageGIF::_decode(RasterFile* fp)
{
    Walk walk;
    if (!_readscreen(fp, walk))
        return false;
    info.nNumFrames = get_num_frames(fp, walk.screenWidth, walk.screenHeight);
    if (info.nNumFrames == 0)
        return _fail(kNoFrame);
    if (info.nFrame < 0 || info.nFrame >= info.nNumFrames)
        return _fail(kNoSuchFrame);

    for (;;) {
        Frame frame;
        const int got = _nextframe(fp, frame, true);
        if (got < 0)
            return _fail(kCancelled);
        if (got == 0)
            break;
        if (info.nEscape == -1) {  // the size only
            header.biWidth = frame.width;
            header.biHeight = frame.height;
            return true;
        }
        if (!_takes(frame, walk.screenWidth, walk.screenHeight)) {
            if (!_skipdata(fp))
                break;
            continue;
        }
        if (!_takeframe(fp, walk, frame))
            return false;
        if (info.nFrame == walk.taken) {
            _finishtruecolour(walk);
            return true;
        }
        walk.taken++;
    }
    return _fail(kNoFrame);
}

bool RasterImageGIF::_takeframe(RasterFile* fp, Walk& walk, const Frame& frame)
{
    // The frame's own data is gathered first: it alone can back the pixels
    // the descriptor claims.
    int codesize = 0;
    _gatherdata(fp, codesize);
    const Frame shown = _clip(frame, walk.screenWidth, walk.screenHeight);
    if (walk.taken == 0 && FirstTile(frame.left, frame.top, frame.width, frame.height,
                                     walk.screenWidth, walk.screenHeight))
        walk.trueColour++;
    if (frame.width > kMaxLineWidth)
        return _fail(kTooWide);
    // A frame's own table serves that frame only; the others use the global one.
    const bool local = (frame.flags & 0x80) != 0;
    const tag_TabCol& table = local ? frame.local : walk.global;
    const int disposal = (gce.flags >> 2) & 7;
    if (walk.taken == 0)
        walk.firstTrans = info.nTransIndex;
    // Frames that keep or clear what lies under them are painted onto the
    // picture so far, when they share its palette; the others stand alone.
    const bool compose = walk.taken > 0 && (disposal == 1 || disposal == 2) && walk.trueColour < 2 &&
                         !local && IsValid();

    const int bpp = _depthfor(table.nColors);
    const unsigned long long pixels = (unsigned long long)shown.width * shown.height;
    if (!rasterlimits::Backed(pixels, (long long)m_data.size(), rasterlimits::kLzwPixelsPerByte, walk.unbacked))
        return _fail(kTextTooLarge);
    std::unique_ptr<RasterImage> piece;
    RasterImage* target = this;
    if (compose) {
        piece.reset(new (std::nothrow) RasterImage(RASTER_FORMAT_GIF));
        if (!piece)
            return _fail(kTextNoMemory);
        target = piece.get();
    }
    if (target->Create(shown.width, shown.height, (DWORD)bpp, RASTER_FORMAT_GIF) == NULL)
        return _fail(target->GetLastError());
    if (local || walk.hasGlobal)
        _setpalette(*target, table);
    target->SetTransIndex(info.nTransIndex);
    if (!_decodeframe(*target, frame, codesize))
        return false;
    if (info.nEscape != 0)
        return _fail(kCancelled);

    if (compose) {
        // What the frame before asked for once it had been shown: a cleared
        // rectangle shows the background (transparent when there is one).
        if (walk.lastOnCanvas && walk.lastDisposal == 2)
            _fillrect(walk.last, walk.firstTrans != -1 ? (BYTE)walk.firstTrans : walk.background);
        GifMix(*piece, -(long)shown.left, (long)shown.top + shown.height - (long)GetHeight());
        info.nTransIndex = walk.firstTrans;
    }
    if (walk.trueColour >= 2 && !_painttruecolour(walk, shown))
        return false;
    walk.last = shown;
    walk.lastDisposal = disposal;
    walk.lastOnCanvas = compose || walk.taken == 0;
    return true;
}

bool RasterImageGIF::_painttruecolour(Walk& walk, const Frame& frame)
{
    info.nFrame = info.nNumFrames - 1;  // every frame is painted
    if (!walk.composite) {
        // The screen is not data: the whole file must back its pixels.
        const WORD w = walk.screenWidth, h = walk.screenHeight;
        if (!rasterlimits::Backed((unsigned long long)w * h, walk.fileData, rasterlimits::kLzwPixelsPerByte,
                                  walk.unbacked))
            return _fail(kTextTooLarge);
        walk.composite.reset(new (std::nothrow) RasterImage(w, h, 24, RASTER_FORMAT_GIF));
        if (!walk.composite)
            return _fail(kTextNoMemory);
        if (!walk.composite->IsValid())
            return _fail(walk.composite->GetLastError());
    }
    _paintcomposite(*walk.composite, frame, walk.screenHeight);
    return true;
}

void RasterImageGIF::_finishtruecolour(Walk& walk)
{
    if (walk.trueColour < 2 || !walk.composite)
        return;
    // The transparent index read last names the transparent colour.
    RGBQUAD trans = GetPaletteColor((BYTE)(info.nTransIndex & 0xFF));
    _adopt(*walk.composite);
    if (gce.flags & 1) {
        trans.rgbReserved = 0;
        info.rgbTransColor = trans;
        info.nTransIndex = 0;
    } else {
        info.nTransIndex = -1;
    }
}

namespace {

bool _gifencodemulti(RasterImage* codec, RasterFile* stream, RasterImage** images, int count)
{
    return static_cast<RasterImageGIF*>(codec)->Encode(stream, images, count, false);
}

}  // namespace

const RasterCodec g_RasterCodecGIF = {
    RASTER_FORMAT_GIF, RASTER_FORMAT_GIF, true, RasterCodecMake<RasterImageGIF>,
    RasterCodecDecode<RasterImageGIF>,
    RasterCodecEncode<RasterImageGIF>, _gifencodemulti,
};
