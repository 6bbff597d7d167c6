// The JPEG decoding service: three calls over libjpeg.
//
// A caller zeroes a JPEG_CORE_PROPERTIES record and calls ijlInit. It points
// JPGBytes/JPGSizeBytes at a whole JPEG stream in memory (JPGFile null) and
// calls ijlRead with IJL_JBUFF_READPARAMS, which fills JPGWidth, JPGHeight
// and JPGChannels. It then sets JPGColor, lays out its own buffer in the DIB
// fields and calls ijlRead with IJL_JBUFF_READWHOLEIMAGE, which decodes the
// picture into that buffer. ijlFree ends the use of the record.
//
// The decoded layout: DIBHeight rows, top row first, each DIBWidth x
// DIBChannels bytes followed by DIBPadBytes bytes (written as 0). The
// conversions offered:
//
//   JPGColor         picture's components   DIBColor       DIBChannels
//   IJL_G            1 (grey)               IJL_BGR        3  (grey in all three)
//   IJL_YCBCR        3                      IJL_BGR        3
//   IJL_YCBCRA_FPX   4                      IJL_RGBA_FPX   4  (the fourth is alpha)
//
// Every other combination, a DIB size other than the picture's, and any
// damage in the stream (a premature end, corrupt data, a Huffman-coded
// header declaring more pixels than its stream could code: 512 a byte) give
// an error code.
// The service reads only JPGSizeBytes bytes of input and writes only the rows
// the DIB fields describe.
#pragma once

#include <cstdint>

// What ijlRead is asked to do.
enum IJLIOTYPE {
    IJL_JBUFF_READPARAMS = 1,       // read the picture's parameters from memory
    IJL_JBUFF_READWHOLEIMAGE = 3,   // decode the whole picture from memory
};

// Colour layouts of the JPEG side and of the caller's buffer.
enum IJL_COLOR {
    IJL_BGR = 2,          // blue, green, red
    IJL_YCBCR = 3,        // the usual colour JPEG
    IJL_G = 4,            // grey
    IJL_RGBA_FPX = 5,     // red, green, blue, alpha
    IJL_YCBCRA_FPX = 6,   // luma, two chroma, alpha
    IJL_OTHER = 255,      // none of the above: not converted, refused
};

// Results: 0 for success, a negative code for each kind of failure.
enum IJLERR {
    IJL_OK = 0,
    IJL_ERR_ARGUMENT = -1,         // null record, missing buffer, unknown mode
    IJL_ERR_NOT_INITIALIZED = -2,  // ijlRead or ijlFree without ijlInit
    IJL_ERR_STREAM = -3,           // the JPEG stream is damaged, cut short or not JPEG
    IJL_ERR_CONVERSION = -4,       // a colour layout or size the service does not offer
    IJL_ERR_MEMORY = -5,           // the decoder could not get its working memory
};

struct JPEG_CORE_PROPERTIES {
    // The caller's buffer.
    uint8_t* DIBBytes;
    uint32_t DIBWidth;
    uint32_t DIBHeight;
    uint32_t DIBPadBytes;   // bytes after each row's pixels
    uint32_t DIBChannels;
    IJL_COLOR DIBColor;

    // The JPEG stream.
    const char* JPGFile;    // must be null: only memory input is served
    const uint8_t* JPGBytes;
    uint32_t JPGSizeBytes;
    uint32_t JPGWidth;      // filled by IJL_JBUFF_READPARAMS
    uint32_t JPGHeight;
    uint32_t JPGChannels;
    IJL_COLOR JPGColor;     // set by the caller before decoding

    // Set by ijlInit, cleared by ijlFree; the caller leaves it alone.
    uint32_t initialized;
};

extern "C" {
int ijlInit(JPEG_CORE_PROPERTIES* props);
int ijlRead(JPEG_CORE_PROPERTIES* props, IJLIOTYPE mode);
int ijlFree(JPEG_CORE_PROPERTIES* props);
}
