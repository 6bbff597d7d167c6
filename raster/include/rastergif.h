// The GIF codec (format id 2): GIF87a and GIF89a files decoded into the
// image's own pixels and palette with our own LZW decompressor, one frame at
// a time (nFrame, 0 = the first), with the graphic-control, comment and
// loop-count extensions, interlacing and the compositing of frames. A file
// without a global colour table whose first frame differs from the screen in
// both width and height is a true-colour GIF: every frame is painted onto one
// 24-bit picture of the screen's size.
//
//
// Encoding writes a palette image as a one-frame GIF89a file, a list of
// palette images as one animated file, and a true-colour image as a mosaic
// of 17 x 15 frames with a table each. The data is coded by the compressor
// the image's dwCodecOption names (GIF_COMPRESSION_*). A failed write makes
// the encode fail ("Write Error in GIF file").
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "rasterimage.h"
#include "rasteriterator.h"

// Compressors of the encoder, by the image's dwCodecOption; any other value
// (0 by default) is run-length coding.
constexpr DWORD GIF_COMPRESSION_NONE = 1;
constexpr DWORD GIF_COMPRESSION_LZW = 2;
constexpr DWORD GIF_COMPRESSION_RLE = 3;

class RASTER_API RasterImageGIF : public RasterImage {
public:
    // The four data bytes of a graphic control extension, in file order.
    struct tag_GraphicControl {
        BYTE flags;       // bit 0 transparent index valid, bit 1 user input, bits 2-4 disposal
        WORD delay;       // hundredths of a second
        BYTE transindex;  // the transparent palette index
    };

    // A colour table: 2^(code + 1) entries of red, green, blue.
    struct tag_TabCol {
        short nColors;
        short nColorRes;  // from the screen flags; not used
        rgb_color Palette[256];
    };

    RasterImageGIF();

    // Decodes the frame nFrame (or, for a true-colour GIF, every frame onto one
    // picture) into this image. nEscape -1 asks for the size of the first image
    // descriptor only.
    bool Decode(RasterFile* fp);
    // The same over a C stream, which is only used, never closed.
    bool Decode(FILE* fp);

    // Writes this image: palette images as one frame, deeper ones as tiles.
    bool Encode(RasterFile* fp);
    bool Encode(FILE* fp);
    // Writes pagecount palette images as one animated file: the first page's
    // palette is the global table; later pages carry their own when
    // bLocalColorMap is true. This object's loop count, disposal method and
    // comment apply; each page brings its delay, offset, transparent index
    // and compressor.
    bool Encode(RasterFile* fp, RasterImage** pImages, int pagecount, bool bLocalColorMap);
    bool Encode(FILE* fp, RasterImage** pImages, int pagecount, bool bLocalColorMap);

    void SetDisposalMethod(int dm) { nDispMeth = dm; }
    long GetDisposalMethod() const { return nDispMeth; }
    void SetLoops(int loops) { nLoops = loops; }
    long GetLoops() const { return nLoops; }
    // At most 255 characters are kept; a null text is ignored.
    void SetComment(const char* sz);
    // Copies the comment with its terminating NUL (at most 256 bytes) into sz;
    // a null sz is ignored.
    void GetComment(char* sz) const;

protected:
    // Where a frame lies on the screen and which colour table it brings.
    struct Frame {
        WORD left;
        WORD top;
        WORD width;
        WORD height;
        BYTE flags;  // bit 7 local colour table, bit 6 interlaced, bits 0-2 table size code
        tag_TabCol local;
    };

    // Reads one extension after its introducer byte 0x21; false when the read
    // fails or the block is malformed, which ends the walk through the file.
    bool DecodeExtension(RasterFile* fp);
    // The frames a decode can take, from the current position to the trailer;
    // the position and the per-frame extension values are restored.
    int get_num_frames(RasterFile* fp, WORD screenWidth, WORD screenHeight);
    // The next byte through the read-ahead buffer, or -1.
    int get_byte(RasterFile* fp);
    // Decompresses the gathered data of one frame into the rows of the
    // iterator's image. 0 when the data ended (well-formed or not), -1 when
    // the frame's rows were full, -10 when the row buffer cannot be made, -20
    // for a bad minimum code size, kStackOverrun for a code chain longer than
    // the table can hold.
    int decoder(RasterIterator* iter, int linewidth, int codesize);
    // Stores one decoded row (len pixels of one byte each) into the frame.
    int out_line(RasterIterator* iter, BYTE* pixels, int len);
    // Paints the pixels of imgsrc2 that are not its transparent index onto this
    // image, imgsrc2's pixel (x + lxOffset, y + lyOffset) landing on (x, y).
    void GifMix(RasterImage& imgsrc2, long lxOffset, long lyOffset);

    static constexpr int kStackOverrun = -30;

    // The state of the run-length compressor.
    struct tag_RLE {
        int nRunPixel;      // pixel value of the current run
        int nBaseCode;      // first code above the end code
        int nRunCount;      // length of the current run
        int nTablePixel;    // pixel whose runs the decoder's table holds
        int nTableMax;      // longest run the decoder's table holds
        int bJustCleared;   // nothing but a clear code since the last reset
        int nOutBits;       // current code width
        int nOutBitsInit;
        int nOutCount;      // codes since the last clear: the decoder's table growth
        int nOutBump;       // code count at which the width grows
        int nOutBumpInit;
        int nOutClear;      // code count at which a clear code must be sent
        int nOutClearInit;
        int nMaxOCodes;     // most codes before a clear
        int nCodeClear;
        int nCodeEOF;
        unsigned int dwOBuf;  // bit accumulator
        int nOBits;           // bits held in it
        BYTE OBlock[256];     // the data sub-block being built
        int nOBLen;
    };

    void EncodeHeader(RasterFile* fp);
    void EncodeLoopExtension(RasterFile* fp);
    void EncodeExtension(RasterFile* fp);
    void EncodeComment(RasterFile* fp);
    void EncodeBody(RasterFile* fp, bool bLocalColorMap = false);
    bool EncodeRGB(RasterFile* fp);
    void Putword(int w, RasterFile* fp);
    // The next pixel index, top row first, or -1 after the last.
    int GifNextPixel();

    // One code per pixel, LZW, and run-length coding that any LZW reader
    // decodes; each starts with init_bits-wide codes.
    void compressNONE(int init_bits, RasterFile* outfile);
    void compressLZW(int init_bits, RasterFile* outfile);
    void compressRLE(int init_bits, RasterFile* outfile);
    void _startcodes(int init_bits, RasterFile* outfile);
    void output(short code);
    void cl_hash(long hsize);
    void char_out(int c);
    void flush_char();

    void rle_clear(tag_RLE* rle);
    void rle_flush(tag_RLE* rle);
    void rle_output_plain(int c, tag_RLE* rle);
    void rle_flush_fromclear(int count, tag_RLE* rle);
    void rle_reset_out_clear(tag_RLE* rle);
    void rle_flush_withtable(int count, tag_RLE* rle);
    unsigned int rle_compute_triangle_count(unsigned int count, unsigned int nrepcodes);
    unsigned int rle_isqrt(unsigned int x);
    void rle_flush_clearorrep(int count, tag_RLE* rle);
    void rle_write_block(tag_RLE* rle);
    void rle_block_out(BYTE c, tag_RLE* rle);
    void rle_block_flush(tag_RLE* rle);
    void rle_output(int val, tag_RLE* rle);
    void rle_output_flush(tag_RLE* rle);

    static constexpr long kHashSize = 5003;  // 80% occupancy of a 4096-code table

    // Encoder state.
    long nCurX = 0;
    long nCurY = 0;
    long lCountDown = 0;       // pixels still to send
    unsigned long dwCurAccum = 0;
    int nCurBits = 0;
    LONG HashTab[kHashSize] = {};  // (pixel << 12) + prefix code, -1 for a free slot
    WORD CodeTab[kHashSize] = {};
    int nBits = 0;             // current code width
    int nMaxCode = 0;          // largest code at this width
    int nFreeEnt = 0;          // next free table entry
    int bClearFlag = 0;        // a clear code was just sent
    int nInitBits = 0;
    RasterFile* pOutFile = NULL;
    int nClearCode = 0;
    int nEOFCode = 0;
    int nAccumCount = 0;
    BYTE Accum[256] = {};

    tag_GraphicControl gce;  // the graphic control block read last
    int bInterlaced;         // the frame being decoded is interlaced
    int nRowPos;             // next row of an interlaced frame, from the top
    int nRowStep;            // row step of the current interlace pass
    int nRowCount;           // rows of the frame being decoded
    int nPass;               // interlace passes finished
    int nBufPos;             // read position in ReadBuf
    int nBufEnd;             // bytes in ReadBuf
    BYTE ReadBuf[16384];
    BYTE Stack[4096];        // a decoded string, reversed
    BYTE Suffix[4096];
    WORD Prefix[4096];
    char szComment[256];
    int nLoops;
    int nDispMeth;

private:
    // Writes that remember a failure, so that a full disk fails the encode.
    void _putc(RasterFile* fp, BYTE value);
    void _write(RasterFile* fp, const void* data, size_t n);
    // Whether everything written so far reached the stream; sets the text.
    bool _writtenok(RasterFile* fp);
    // The pixel indices of one row, unpacked to a byte each.
    void _loadrow(long y);
    // Checks every page of a multipage encode before anything is written.
    bool _checkpages(RasterImage** pImages, int pagecount);

    bool m_bWriteFailed = false;
    std::vector<BYTE> m_row;  // the row GifNextPixel takes pixels from

    // What the walk through the frames carries from one frame to the next.
    struct Walk {
        WORD screenWidth = 0;
        WORD screenHeight = 0;
        BYTE background = 0;
        bool hasGlobal = false;
        tag_TabCol global;
        int trueColour = 0;       // 2 or more: every frame goes onto one 24-bit picture
        long long fileData = -1;  // bytes after the screen descriptor, -1 unknown
        long firstTrans = -1;     // the first frame's transparent index
        long taken = 0;           // frames taken before this one
        // The frame taken before, its disposal method, and whether it was
        // painted onto this image in screen coordinates.
        Frame last = {};
        int lastDisposal = 0;
        bool lastOnCanvas = false;
        std::unique_ptr<RasterImage> composite;  // the true-colour picture
        unsigned long long unbacked = RasterGetUnbackedPixels();  // pixels the data need not back
    };

    bool _decode(RasterFile* fp);
    // The screen descriptor and the global colour table.
    bool _readscreen(RasterFile* fp, Walk& walk);
    // Decodes a frame that lies inside the screen and composes it.
    bool _takeframe(RasterFile* fp, Walk& walk, const Frame& frame);
    bool _painttruecolour(Walk& walk, const Frame& frame);
    // The true-colour picture replaces the last frame once all are painted.
    void _finishtruecolour(Walk& walk);
    // Bytes through the read-ahead buffer: reads (all or as many as there
    // are), skips, the logical position, and handing the unread bytes back.
    bool _read(RasterFile* fp, void* dst, size_t n);
    size_t _readsome(RasterFile* fp, void* dst, size_t n);
    bool _skip(RasterFile* fp, size_t n);
    long _tell(RasterFile* fp);
    void _handback(RasterFile* fp);
    // The next block introducer (0x21, 0x2C or 0x3B), passing over other
    // bytes, or -1 at the end of the data.
    int _nextblock(RasterFile* fp);
    // The image descriptor after its 0x2C and the frame's own colour table.
    bool _readframe(RasterFile* fp, Frame& frame);
    int _nextframe(RasterFile* fp, Frame& frame, bool escapable);
    // Passes over a frame's LZW data: the code size byte and the sub-blocks.
    bool _skipdata(RasterFile* fp);
    // Collects a frame's sub-blocks into m_data; m_terminated tells whether a
    // zero-length block ended them rather than the end of the file.
    void _gatherdata(RasterFile* fp, int& codesize);
    bool _takes(const Frame& frame, WORD screenWidth, WORD screenHeight) const;
    // The part of a frame that lies on the screen.
    static Frame _clip(const Frame& frame, WORD screenWidth, WORD screenHeight);
    // Decodes the gathered data of one frame into target, already created at
    // the frame's size clipped to the screen; false (with the text) when the
    // data is refused.
    bool _decodeframe(RasterImage& target, const Frame& frame, int codesize);
    void _setpalette(RasterImage& target, const tag_TabCol& table) const;
    // Fills a rectangle given in screen coordinates (rows from the top) with
    // one index.
    void _fillrect(const Frame& area, BYTE index);
    // Paints this frame onto the true-colour picture at its place.
    void _paintcomposite(RasterImage& composite, const Frame& frame, WORD screenHeight) const;
    // Takes over another image's pixels, keeping this image's information.
    void _adopt(RasterImage& picture);

    std::vector<BYTE> m_data;  // the gathered LZW data of the frame being decoded
    bool m_terminated = false;
    int m_nLineWidth;          // pixels, rows and bits per pixel of the frame as stored
    int m_nLineRows;
    int m_nLineBpp;
};
