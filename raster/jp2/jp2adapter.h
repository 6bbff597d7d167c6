// The JPEG-2000 family toolkit behind RasterImageJAS: a small component-image
// model with the calls the codec class is written against (per-call start and
// finish, a stream whose four operations the caller supplies, decode with
// format detection, encode by format name with an option text, component rows
// read and written through one-row matrices, conversion to 8-bit sRGB).
//
// JP2 and JPC go through OpenJPEG; PGX, PNM and Sun raster are our own small
// codecs. Every size a file claims is checked against the data it holds
// before anything is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rasterjp2 {

// Colour spaces (the values the codec class names).
constexpr int CLRSPC_UNKNOWN = 0;
constexpr int CLRSPC_SGRAY = 0x301;
constexpr int CLRSPC_SRGB = 0x401;
constexpr int CLRSPC_SYCC = 0x501;

// Component types within a colour space.
constexpr int CT_RED = 0, CT_GREEN = 1, CT_BLUE = 2, CT_GRAY = 0, CT_OPACITY = 0x8000;

// Formats, by the ids Encode and FormatFromName use.
enum Format { FMT_JP2 = 0, FMT_JPC, FMT_PGX, FMT_PNM, FMT_RAS, FMT_COUNT };

// Starts and finishes one call's use of the toolkit; Init returns 0 on success.
int Init();
void Cleanup();

// ---- Streams -------------------------------------------------------------

// The operations a stream runs on its object. read and write return the byte
// count moved, seek the new position or -1, close 0 on success.
struct StreamOps {
    long (*read)(void* obj, char* buf, long count);
    long (*write)(void* obj, const char* buf, long count);
    long (*seek)(void* obj, long offset, int origin);
    int (*close)(void* obj);
};

struct Stream {
    void* obj;             // what the operations act on
    const StreamOps* ops;  // null until bound
    bool failed;           // a write came up short
};

// A stream with no object yet (mode "rb" or "wb"); null when memory runs out.
Stream* StreamOpen(const char* mode);
// Runs the close operation (when bound) and frees the stream.
int StreamClose(Stream* s);
int StreamFlush(Stream* s);
// Whole reads and writes: false when fewer bytes moved.
bool StreamRead(Stream* s, void* buf, size_t n);
bool StreamWrite(Stream* s, const void* buf, size_t n);
long StreamTell(Stream* s);
bool StreamSeek(Stream* s, long offset, int origin);
// Bytes from the position to the end, or -1 when the stream cannot tell.
long long StreamLeft(Stream* s);
// One byte (0..255) or -1 at the end.
int StreamGetc(Stream* s);

// ---- Images --------------------------------------------------------------

struct ComponentParams {
    uint32_t tlx, tly;      // top-left on the reference grid
    uint32_t hstep, vstep;  // sampling steps
    uint32_t width, height;
    int prec;               // bits a sample, 1..16
    bool sgnd;
};

struct Component {
    ComponentParams p;
    int type;
    std::vector<int32_t> data;  // row by row from the top
    // A decoder's own samples, read in place of `data` (which then stays
    // empty); the image keeps their owner.
    const int32_t* borrowed = nullptr;
    const int32_t* samples() const { return borrowed != nullptr ? borrowed : data.data(); }
};

struct Image {
    int clrspc;
    std::vector<Component> cmpts;
    // What borrowed samples belong to, and how it is let go.
    std::unique_ptr<void, void (*)(void*)> owner{nullptr, nullptr};
};

// Whether a component of these sizes may be made.
bool ComponentFits(const ComponentParams& p);
// Components of the given sizes, all samples zero; null when a size is out
// of range or memory runs out.
Image* ImageCreate(int numcmpts, const ComponentParams* params, int clrspc);
void ImageDestroy(Image* image);

// A rows x cols block of samples.
struct Matrix {
    long rows, cols;
    std::vector<long> v;
    long& at(long r, long c) { return v[(size_t)(r * cols + c)]; }
};

Matrix* MatrixCreate(long rows, long cols);
void MatrixDestroy(Matrix* m);

// Copies a w x h window at (x, y) of component c out of or into the matrix;
// 0 on success, -1 when the window or matrix does not fit.
int ReadComponent(Image* image, int c, uint32_t x, uint32_t y, uint32_t w, uint32_t h, Matrix* m);
int WriteComponent(Image* image, int c, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                   const Matrix* m);

// The format by name ("jp2", "jpc", "pgx", "pnm", "ras"), or -1.
int FormatFromName(const char* name);
// The format the stream's first bytes announce, or -1; the position stays.
int DetectFormat(Stream* s);

// Decodes format fmt, or whatever the data announces when fmt is -1. Null on
// failure; the reason is left for LastError.
Image* Decode(Stream* s, int fmt, const char* options);
// 0 on success. Options: "rate=R", the wanted size as a share of the raw
// samples (1.0 and above lossless; JP2 and JPC only).
int Encode(Image* image, Stream* s, int fmt, const char* options);
// The same picture as three 8-bit sRGB components (grey repeated, YCC turned
// into RGB, every precision scaled to 8 bits); null on failure.
Image* ToSRGB(const Image* image);

// Why the last call of this thread failed.
const char* LastError();
void SetError(const std::string& text);

// ---- Inside the toolkit --------------------------------------------------

// Refuses an image whose samples the remaining data cannot back: more than
// the fixed allowance when the data holds fewer than samples / perByte bytes.
bool SamplesBacked(Stream* s, unsigned long long samples, unsigned long long perByte);

// A JPEG-2000 codestream of a flat picture can be tiny: up to this many
// samples a byte of data count as backed by it.
constexpr unsigned long long kCodedSamplesPerByte = 64;
// OpenJPEG's cost of one precinct, packet or code-block, in pixels; each
// byte of data backs one of them.
constexpr unsigned long long kUnitPixels = 64;

// Whether the codestream (JP2 file: the codestream in it) at the stream's
// position may be decoded: its tiles, samples, precincts and code-blocks,
// counted from its headers, against `dataBytes` and the allowance (what the
// data cannot back is taken from it). `counted`: the headers were found and
// measured. The position stays.
bool CodestreamAffordable(Stream* s, int fmt, long long dataBytes, unsigned long long& allowance,
                          bool& counted);

Image* DecodePnm(Stream* s);
int EncodePnm(Image* image, Stream* s);
Image* DecodePgx(Stream* s);
int EncodePgx(Image* image, Stream* s);
Image* DecodeRas(Stream* s);
int EncodeRas(Image* image, Stream* s);
Image* DecodeOpj(Stream* s, int fmt);
int EncodeOpj(Image* image, Stream* s, int fmt, double rate);

}  // namespace rasterjp2
