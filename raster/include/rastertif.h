// The TIFF codec (format id 6), through libtiff over the image library's
// streams. Decoding turns one page of a file into a 1, 4, 8 or 24 bpp image
// (with an alpha plane where the file has an extra sample), upright whatever
// its orientation tag says; encoding writes one page, appends pages to a file
// left open between calls, or writes a list of images as a multi-page file.
//
// libtiff never sees a file name or a C file handle: the stream layer below
// (TIFFOpenXFile) hands it client procedures over any RasterFile. Its
// warnings and errors go to the image's last-error text and to a message box.
#pragma once

#include <cstdio>

#include "rasterimage.h"

// libtiff's handle, as its own header declares it.
typedef struct tiff TIFF;

class RASTER_API RasterImageTIF : public RasterImage {
public:
    RasterImageTIF();
    RasterImageTIF(const RasterImageTIF& src);
    RasterImageTIF& operator=(const RasterImageTIF& src);
    // Closes (and so completes) a file still open for appended pages.
    ~RasterImageTIF();

    // Decodes page nFrame; nNumFrames gets the number of pages and
    // dwCodecOption the page's compression. nEscape -1 asks for the size only.
    bool Decode(RasterFile* stream);
    bool Decode(FILE* stream);
    // Writes the image as one page. With append the file stays open and the
    // next Encode on this object (whatever stream it names) adds a page; the
    // first Encode without append writes the last page and closes the file.
    bool Encode(RasterFile* stream, bool append = false);
    bool Encode(FILE* stream, bool append = false);
    // Writes count images as one multi-page file.
    bool Encode(RasterFile* stream, RasterImage** images, int count);
    bool Encode(FILE* stream, RasterImage** images, int count);

    // Sets one page's tags and writes its rows; the caller writes the
    // directory.
    bool EncodeBody(TIFF* tif, bool multiPage, int pageNumber, int pageCount);
    // Copies rows runs of cols bytes; after each run dest skips destSkip and
    // src skips srcSkip more bytes.
    void TileToStrip(BYTE* dest, BYTE* src, DWORD rows, DWORD cols, int destSkip, int srcSkip);
    // A read handle over the stream, or null (also for a null stream).
    TIFF* TIFFOpenEx(RasterFile* stream);
    void TIFFCloseEx(TIFF* tif);

protected:
    TIFF* m_tiffHandle;    // open while pages are being appended
    bool m_isMultiPage;    // pages written through this object carry page tags
    int m_pagesWritten;

private:
    friend class RasterTifReader;  // the decoder's work, in the codec's source file
    void _closehandle();
    bool _orient(int orientation);
};

// The stream layer: libtiff handles over a RasterFile, which stays the
// caller's (closing the handle never closes the stream). mode is libtiff's
// ("r", "w", "a", ...). Null when libtiff refuses the stream.
RASTER_API TIFF* TIFFOpenXFile(RasterFile* stream, const char* mode);
RASTER_API TIFF* TIFFOpenXFileNamed(RasterFile* stream, const char* name, const char* mode);
