// The JPEG codec (format id 3), through libjpeg: baseline and progressive
// files decoded into 8-bit grey, 8-bit palette (colour-quantised) or 24-bit
// images, at full size or scaled down by 2, 4 or 8, and grey or 24-bit images
// encoded at the image's quality. Before every decode the EXIF reader fills
// ExifRecord; its resolution, where it gives one, wins over the JFIF density.
#pragma once

#include <cstdio>

#include "rasterexif.h"
#include "rasterimage.h"

// Codec option bits (SetCodecOption). They act only on an image whose format
// is JPEG, so an option word left from another format changes nothing here.
constexpr DWORD JPG_ENCODE_BASELINE = 0x1;               // baseline-compatible quantisation tables
constexpr DWORD JPG_ENCODE_GRAYSCALE = 0x4;              // write one grey component
constexpr DWORD JPG_ENCODE_SMOOTHING = 0x40;             // smooth by nSmoothingFactor
constexpr DWORD JPG_DECODE_GRAYSCALE = 0x80;             // decode to grey
constexpr DWORD JPG_DECODE_QUANTIZE = 0x100;             // at most nJpegQuality colours
constexpr DWORD JPG_DECODE_DITHER = 0x200;               // dither by nDitherMode
constexpr DWORD JPG_DECODE_ONE_PASS = 0x400;             // one-pass colour quantisation
constexpr DWORD JPG_DECODE_NO_FANCY_UPSAMPLING = 0x800;  // plain chroma upsampling

// Dither modes for nDitherMode (libjpeg's own values).
constexpr int JPG_DITHER_NONE = 0;
constexpr int JPG_DITHER_ORDERED = 1;
constexpr int JPG_DITHER_FS = 2;

class RASTER_API RasterImageJPG : public RasterImage {
public:
    RasterImageJPG();
    RasterImageJPG(const RasterImageJPG& src);
    RasterImageJPG& operator=(const RasterImageJPG& src);

    // Decodes the stream from its current position. The quality (as the
    // colour count when quantising), the scale denominator (0 counts as 1)
    // and the decode option bits come from this image's information;
    // nEscape -1 asks for the output size only.
    bool Decode(RasterFile* fp);
    bool Decode(FILE* fp);
    // Encodes a grey (256-entry ramp) or 24-bit image at nJpegQuality.
    bool Encode(RasterFile* fp);
    bool Encode(FILE* fp);
    // Reads the sections up to the start of scan into ExifRecord and puts the
    // stream back where it was; true when an EXIF block was read.
    bool DecodeExif(RasterFile* fp);
    bool DecodeExif(FILE* fp);

    RasterExifRecord ExifRecord;
    int nSmoothingFactor;  // 0..100, with JPG_ENCODE_SMOOTHING
    int nDitherMode;       // JPG_DITHER_*, with JPG_DECODE_DITHER

private:
    friend class RasterJpgCoder;  // the libjpeg glue, in the codec's source file
};
