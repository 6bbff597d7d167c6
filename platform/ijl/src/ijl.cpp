// The JPEG decoding service over libjpeg: a memory source that fails at the
// end of the caller's bytes, an error exit that returns an error code, and the
// conversions into the caller's row layout.
//
// libjpeg reports errors by calling the error exit, which jumps back to the
// setjmp of the call that started the work. Between that setjmp and the
// library calls this file keeps only plain C data, so nothing that needs a
// destructor is skipped by the jump.
#include "ijl.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

const uint32_t kInitialized = 0x314C4A49;  // "IJL1": set by ijlInit

// The decoder's own working memory (the coefficient buffers of progressive
// pictures above all) stops here: a picture that would need more fails
// instead of exhausting the host.
const long kMaxDecoderMemory = 1L << 30;
// Within that, what the stream can back: a coefficient block of 128 bytes
// for every bit of data (each block takes a bit at least, see below), over
// a floor that every ordinary picture stays under.
const uint64_t kDecoderMemoryFloor = 16u << 20;
const uint64_t kDecoderMemoryPerByte = 1024;
// A Huffman-coded stream spends at least one bit on every 8 x 8 block of
// every component, so one byte codes at most 512 pixels. A header that
// declares more than its stream could code is refused before anyone lays
// out a buffer for it. Arithmetic coding can go below a bit a block: its
// pictures are bounded by the working memory alone.
const uint64_t kPixelsPerByte = 512;

// Rows handed to libjpeg per call.
const int kRowBatch = 16;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours too
    jmp_buf jump;
    volatile int code;
};

void ErrorExit(j_common_ptr cinfo)
{
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    const int msg = cinfo->err->msg_code;
    err->code = (msg == JERR_OUT_OF_MEMORY || msg == JERR_NO_BACKING_STORE) ? IJL_ERR_MEMORY
                                                                            : IJL_ERR_STREAM;
    longjmp(err->jump, 1);
}

// libjpeg goes on after a warning; most warnings say the data is corrupt, and
// such a picture fails rather than decoding to garbage. Warnings about
// unknown header versions or colour-transform codes are harmless.
void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;  // trace and information messages
    const int msg = cinfo->err->msg_code;
    if (msg == JWRN_ADOBE_XFORM || msg == JWRN_JFIF_MAJOR)
        return;
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = IJL_ERR_STREAM;
    longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {}  // the service prints nothing

// The memory source. The whole stream is in the buffer from the start, so a
// request for more data means the stream ends before the picture does.
void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    ERREXIT(cinfo, JERR_INPUT_EOF);
    return FALSE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    if (size_t(count) > src->bytes_in_buffer)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// Prepares a decompressor over the caller's bytes. Called after setjmp.
void StartDecoder(jpeg_decompress_struct* cinfo, jpeg_source_mgr* src,
                  const JPEG_CORE_PROPERTIES* p)
{
    jpeg_create_decompress(cinfo);
    const uint64_t backed = kDecoderMemoryFloor + uint64_t(p->JPGSizeBytes) * kDecoderMemoryPerByte;
    cinfo->mem->max_memory_to_use = backed < uint64_t(kMaxDecoderMemory) ? long(backed) : kMaxDecoderMemory;
    src->next_input_byte = p->JPGBytes;
    src->bytes_in_buffer = p->JPGSizeBytes;
    src->init_source = InitSource;
    src->fill_input_buffer = FillInputBuffer;
    src->skip_input_data = SkipInputData;
    src->resync_to_restart = jpeg_resync_to_restart;
    src->term_source = TermSource;
    cinfo->src = src;
    jpeg_read_header(cinfo, TRUE);
}

// Whether the stream is long enough to code the picture its header declares.
bool Backed(const jpeg_decompress_struct& cinfo, const JPEG_CORE_PROPERTIES* p)
{
    return cinfo.arith_code ||
           uint64_t(cinfo.image_width) * cinfo.image_height <= uint64_t(p->JPGSizeBytes) * kPixelsPerByte;
}

void PrepareErrors(jpeg_decompress_struct* cinfo, ErrorManager* err)
{
    std::memset(cinfo, 0, sizeof(*cinfo));
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.emit_message = EmitMessage;
    err->pub.output_message = OutputMessage;
    err->code = IJL_OK;
}

bool HasInput(const JPEG_CORE_PROPERTIES* p)
{
    return p->JPGFile == nullptr && p->JPGBytes != nullptr && p->JPGSizeBytes > 0;
}

// The conversions offered: the picture's component count and the buffer's
// channel count for each pair of colours; false for any other pair.
bool Conversion(const JPEG_CORE_PROPERTIES* p, int& components, int& channels)
{
    if (p->JPGColor == IJL_G && p->DIBColor == IJL_BGR) {
        components = 1;
        channels = 3;
    } else if (p->JPGColor == IJL_YCBCR && p->DIBColor == IJL_BGR) {
        components = 3;
        channels = 3;
    } else if (p->JPGColor == IJL_YCBCRA_FPX && p->DIBColor == IJL_RGBA_FPX) {
        components = 4;
        channels = 4;
    } else {
        return false;
    }
    return p->DIBChannels == uint32_t(channels);
}

inline uint8_t Clamp(int v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Luma and chroma to red, green and blue (the JFIF equations, in 16-bit
// fixed point) on rows of four components; the fourth is alpha and stays.
void YccaToRgba(uint8_t* row, uint32_t width)
{
    const int kHalf = 1 << 15;
    for (uint32_t x = 0; x < width; x++, row += 4) {
        const int y = row[0];
        const int cb = row[1] - 128;
        const int cr = row[2] - 128;
        const int r = y + ((91881 * cr + kHalf) >> 16);                 // 1.402
        const int g = y + ((-22554 * cb - 46802 * cr + kHalf) >> 16);   // 0.34414, 0.71414
        const int b = y + ((116130 * cb + kHalf) >> 16);                // 1.772
        row[0] = Clamp(r);
        row[1] = Clamp(g);
        row[2] = Clamp(b);
    }
}

// What the caller's buffer asks for, worked out before decoding starts.
struct Layout {
    int components;    // the picture must have this many
    int channels;      // bytes per pixel in the buffer
    size_t pixelBytes; // bytes of pixels in a row
    size_t stride;     // bytes from one row to the next
};

// Reads the header and, given a layout, the pixels into the caller's buffer;
// with none it only reports the picture's size and components. One function
// does both so the error jump has a single landing place.
int DecodeImage(JPEG_CORE_PROPERTIES* p, const Layout* layout)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_source_mgr src;
    PrepareErrors(&cinfo, &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return err.code;
    }
    StartDecoder(&cinfo, &src, p);
    if (!Backed(cinfo, p)) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_ERR_STREAM;
    }
    if (layout == nullptr) {
        p->JPGWidth = cinfo.image_width;
        p->JPGHeight = cinfo.image_height;
        p->JPGChannels = uint32_t(cinfo.num_components);
        jpeg_destroy_decompress(&cinfo);
        return IJL_OK;
    }
    if (cinfo.num_components != layout->components || cinfo.image_width != p->DIBWidth ||
        cinfo.image_height != p->DIBHeight) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_ERR_CONVERSION;
    }
    // Four components come out as they are stored; the colour transform, if
    // the stream has one, is done here. Only an Adobe marker that says "no
    // transform" means the first three are already red, green and blue.
    bool ycc = false;
    if (layout->components == 4) {
        ycc = !(cinfo.saw_Adobe_marker && cinfo.Adobe_transform == 0);
        cinfo.jpeg_color_space = JCS_UNKNOWN;
        cinfo.out_color_space = JCS_UNKNOWN;
    } else {
        cinfo.out_color_space = JCS_EXT_BGR;  // grey is spread over all three
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != p->DIBWidth || cinfo.output_height != p->DIBHeight ||
        cinfo.output_components != layout->channels) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_ERR_CONVERSION;
    }
    JSAMPROW rows[kRowBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        JDIMENSION want = cinfo.output_height - first;
        if (want > JDIMENSION(kRowBatch))
            want = kRowBatch;
        for (JDIMENSION i = 0; i < want; i++)
            rows[i] = p->DIBBytes + size_t(first + i) * layout->stride;
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, want);
        for (JDIMENSION i = 0; i < got; i++) {
            if (ycc)
                YccaToRgba(rows[i], p->DIBWidth);
            if (p->DIBPadBytes != 0)
                std::memset(rows[i] + layout->pixelBytes, 0, p->DIBPadBytes);
        }
        if (got == 0)
            ERREXIT(&cinfo, JERR_INPUT_EOF);  // cannot happen with this source; never loop
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return IJL_OK;
}

int ReadParams(JPEG_CORE_PROPERTIES* p)
{
    if (!HasInput(p))
        return IJL_ERR_ARGUMENT;
    return DecodeImage(p, nullptr);
}

int ReadImage(JPEG_CORE_PROPERTIES* p)
{
    if (!HasInput(p) || p->DIBBytes == nullptr)
        return IJL_ERR_ARGUMENT;
    Layout layout = {};
    if (!Conversion(p, layout.components, layout.channels) || p->DIBWidth == 0 ||
        p->DIBHeight == 0)
        return IJL_ERR_CONVERSION;
    layout.pixelBytes = size_t(p->DIBWidth) * size_t(layout.channels);
    layout.stride = layout.pixelBytes + p->DIBPadBytes;
    return DecodeImage(p, &layout);
}

}  // namespace

extern "C" int ijlInit(JPEG_CORE_PROPERTIES* props)
{
    if (props == nullptr)
        return IJL_ERR_ARGUMENT;
    props->initialized = kInitialized;
    return IJL_OK;
}

extern "C" int ijlRead(JPEG_CORE_PROPERTIES* props, IJLIOTYPE mode)
{
    if (props == nullptr)
        return IJL_ERR_ARGUMENT;
    if (props->initialized != kInitialized)
        return IJL_ERR_NOT_INITIALIZED;
    switch (mode) {
    case IJL_JBUFF_READPARAMS:
        return ReadParams(props);
    case IJL_JBUFF_READWHOLEIMAGE:
        return ReadImage(props);
    }
    return IJL_ERR_ARGUMENT;
}

extern "C" int ijlFree(JPEG_CORE_PROPERTIES* props)
{
    if (props == nullptr)
        return IJL_ERR_ARGUMENT;
    if (props->initialized != kInitialized)
        return IJL_ERR_NOT_INITIALIZED;
    props->initialized = 0;
    return IJL_OK;
}
