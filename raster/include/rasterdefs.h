// Constants shared by the image library: format ids, limits, colour types.
#pragma once

#include <windows.h>

// What the image library exports: symbols are hidden by default, and the
// classes a host may use carry RASTER_API.
#if defined(_WIN32)
#ifdef KESTREL_BUILDING_LIBRARY
#define RASTER_API __declspec(dllexport)
#else
#define RASTER_API __declspec(dllimport)
#endif
#else
#define RASTER_API __attribute__((visibility("default")))
#endif

// Format ids. Decoding with RASTER_FORMAT_UNKNOWN tries every decoder.
constexpr DWORD RASTER_FORMAT_UNKNOWN = 0;
constexpr DWORD RASTER_FORMAT_BMP = 1;
constexpr DWORD RASTER_FORMAT_GIF = 2;
constexpr DWORD RASTER_FORMAT_JPG = 3;
constexpr DWORD RASTER_FORMAT_PNG = 4;
constexpr DWORD RASTER_FORMAT_ICO = 5;
constexpr DWORD RASTER_FORMAT_TIF = 6;
constexpr DWORD RASTER_FORMAT_TGA = 7;
constexpr DWORD RASTER_FORMAT_PCX = 8;
constexpr DWORD RASTER_FORMAT_WBMP = 9;
constexpr DWORD RASTER_FORMAT_WMF = 10;
constexpr DWORD RASTER_FORMAT_JP2 = 11;
constexpr DWORD RASTER_FORMAT_JPC = 12;
constexpr DWORD RASTER_FORMAT_PGX = 13;
constexpr DWORD RASTER_FORMAT_PNM = 14;
constexpr DWORD RASTER_FORMAT_RAS = 15;
// One past the last id: a load by path with an id below it tries that decoder first.
constexpr DWORD RASTER_FORMAT_LIMIT = 16;

// Largest image Create accepts: width x height x bits per pixel / 256 (0x0F424000).
constexpr unsigned long long RASTER_MAX_MEMORY = 256000000ULL;

// Pixels a decode may create beyond what the file's data can produce (a
// header claims any size it likes; a cut or made-up file is shown only up to
// this many pixels it does not hold). The default, 4194304 (2048 x 2048),
// keeps a game that opens players' and mods' files safe from small files that
// ask for gigabytes; a host that opens large damaged pictures on purpose
// raises it. Valid files never need it: their data backs their size. The
// setting is process-wide and may be changed at any time; a decode uses the
// value it finds when it starts.
RASTER_API void RasterSetUnbackedPixels(unsigned long long pixels);
RASTER_API unsigned long long RasterGetUnbackedPixels();

// GetColorType results.
constexpr BYTE RASTER_COLORTYPE_PALETTE = 1;
constexpr BYTE RASTER_COLORTYPE_COLOR = 2;
constexpr BYTE RASTER_COLORTYPE_ALPHA = 4;

// A palette colour given as three bytes, red first (SetPalette).
struct rgb_color {
    BYTE r;
    BYTE g;
    BYTE b;
};
static_assert(sizeof(rgb_color) == 3, "rgb_color is three bytes");
