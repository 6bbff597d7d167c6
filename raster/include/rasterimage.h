// The image object: one device-independent bitmap block (header, palette,
// rows) with its information record and optional alpha and selection planes.
//
// Rows are numbered from the bottom: row 0 is the last row of the picture and
// the first row of the pixel block. Pixel blocks, planes and buffers handed to
// the caller live on the C heap (free them with free()).
#pragma once

#include <cstdio>

#include "rasterdefs.h"
#include "rasterfile.h"
#include "rastertext.h"

class RasterImage;
struct RasterCodec;

// Information about an image and its last load or operation.
struct RasterImageInfo {
    DWORD dwEffWidth;          // bytes per pixel row
    BYTE* pBits;               // the bottom row inside the block
    RasterImage* pGhost;       // image whose block this one only borrows
    RasterImage* pParent;      // image of which this one is a layer
    DWORD dwType;              // format id
    char szLastError[256];     // text of the last failure
    long nProgress;            // 0..100 during long operations
    long nEscape;              // non-zero stops long operations; -1 asks a decoder for the size only
    long nTransIndex;          // transparent palette index, -1 for none
    RGBQUAD rgbTransColor;     // transparent or background colour
    BYTE nJpegQuality;
    BYTE nJpegScale;
    long nFrame;               // frame or page to decode
    long nNumFrames;           // frames found by the last decode
    DWORD dwFrameDelay;
    long nXDPI;
    long nYDPI;
    RECT rSelectionBox;
    BYTE nAlphaMax;            // global alpha factor
    bool bAlphaPaletteEnabled; // palette reserved bytes act as alpha
    bool bEnabled;
    long nXOffset;
    long nYOffset;
    DWORD dwCodecOption;
    RGBQUAD rgbLastColor;      // one-entry cache of GetNearestIndex
    BYTE nLastColorIndex;
    bool bLastColorValid;
    long nNumLayers;
    DWORD dwFlags;             // free for the host
};

class RASTER_API RasterImage {
public:
    // Construction and destruction.
    explicit RasterImage(DWORD imagetype = 0);
    RasterImage(DWORD width, DWORD height, DWORD bpp, DWORD imagetype = 0);
    RasterImage(const RasterImage& src, bool copypixels = true, bool copyselection = true,
                bool copyalpha = true);
    // Loading constructors: the result is not reported; test IsValid.
    RasterImage(const char* filename, DWORD imagetype);
    RasterImage(FILE* stream, DWORD imagetype);
    RasterImage(RasterFile* stream, DWORD imagetype);
    RasterImage(BYTE* buffer, DWORD size, DWORD imagetype);
    virtual ~RasterImage();

    RasterImage& operator=(const RasterImage& src);

    // False, freeing nothing, while the image only borrows another's block.
    bool Destroy();
    // The new block, or null with szLastError set. bpp is raised to 1, 4, 8 or 24.
    void* Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype = 0);
    void Clear(BYTE value = 0);
    bool CreateFromArray(BYTE* array, DWORD width, DWORD height, DWORD bpp, DWORD bytesperline,
                         bool flipimage);
    bool CreateFromMatrix(BYTE** matrix, DWORD width, DWORD height, DWORD bpp,
                          DWORD bytesperline, bool flipimage);
    void Copy(const RasterImage& src, bool copypixels = true, bool copyselection = true,
              bool copyalpha = true);
    // Moves from's block, planes, layers and information into this image and
    // leaves from empty.
    bool Transfer(RasterImage& from);

    // Queries and settings.
    BYTE* GetBits(DWORD row = 0) const;
    long GetSize() const;
    bool IsInside(long x, long y) const;
    RGBQUAD GetTransColor() const;
    BYTE GetColorType() const;
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    void SetFlags(DWORD flags, bool lockReservedFlags = true);
    static int CompareColors(const void* a, const void* b);
    static const char* GetVersion();

    void* GetDIB() const { return pDib; }
    DWORD GetWidth() const { return (DWORD)header.biWidth; }
    DWORD GetHeight() const { return (DWORD)header.biHeight; }
    DWORD GetEffWidth() const { return info.dwEffWidth; }
    DWORD GetNumColors() const { return header.biClrUsed; }
    WORD GetBpp() const { return header.biBitCount; }
    DWORD GetClrImportant() const { return header.biClrImportant; }
    DWORD GetType() const { return info.dwType; }
    const char* GetLastError() const { return info.szLastError; }
    bool IsValid() const { return pDib != NULL; }
    bool IsIndexed() const { return header.biClrUsed != 0; }
    DWORD GetFrameDelay() const { return info.dwFrameDelay; }
    void SetFrameDelay(DWORD delay) { info.dwFrameDelay = delay; }
    void GetOffset(long* x, long* y) const;
    void SetOffset(long x, long y);
    BYTE GetJpegQuality() const { return info.nJpegQuality; }
    void SetJpegQuality(BYTE quality) { info.nJpegQuality = quality; }
    BYTE GetJpegScale() const { return info.nJpegScale; }
    void SetJpegScale(BYTE scale) { info.nJpegScale = scale; }
    long GetXDPI() const { return info.nXDPI; }
    long GetYDPI() const { return info.nYDPI; }
    long GetProgress() const { return info.nProgress; }
    void SetProgress(long progress) { info.nProgress = progress; }
    long GetEscape() const { return info.nEscape; }
    void SetEscape(long escape) { info.nEscape = escape; }
    long GetTransIndex() const { return info.nTransIndex; }
    void SetTransIndex(long index) { info.nTransIndex = index; }
    void SetTransColor(RGBQUAD colour);
    bool IsTransparent() const { return info.nTransIndex >= 0; }
    DWORD GetCodecOption() const { return info.dwCodecOption; }
    void SetCodecOption(DWORD option) { info.dwCodecOption = option; }
    DWORD GetFlags() const { return info.dwFlags; }
    bool IsEnabled() const { return info.bEnabled; }
    void Enable(bool enable = true) { info.bEnabled = enable; }
    long GetNumFrames() const { return info.nNumFrames; }
    long GetFrame() const { return info.nFrame; }
    void SetFrame(long frame) { info.nFrame = frame; }
    bool SelectionIsValid() const { return pSelection != NULL; }
    void SelectionGetBox(RECT& box) const { box = info.rSelectionBox; }
    BYTE AlphaGetMax() const { return info.nAlphaMax; }
    void AlphaSetMax(BYTE max) { info.nAlphaMax = max; }
    bool AlphaIsValid() const { return pAlpha != NULL; }
    BYTE* AlphaGetBits() const { return pAlpha; }
    void AlphaPaletteEnable(bool enable = true) { info.bAlphaPaletteEnabled = enable; }
    bool AlphaPaletteIsEnabled() const { return info.bAlphaPaletteEnabled; }
    RasterImage* GetParent() const { return info.pParent; }
    long GetNumLayers() const { return info.nNumLayers; }

    // Palette.
    DWORD GetPaletteSize() const;
    RGBQUAD* GetPalette() const;
    RGBQUAD GetPaletteColor(BYTE index) const;
    bool GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const;
    void SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha = 0);
    void SetPaletteColor(BYTE index, RGBQUAD colour);
    void SetPaletteColor(BYTE index, COLORREF colour);
    void SetPalette(DWORD n, BYTE* red, BYTE* green = NULL, BYTE* blue = NULL);
    void SetPalette(rgb_color* rgb, DWORD n = 256);
    void SetPalette(RGBQUAD* palette, DWORD n = 256);
    void SetGrayPalette();
    void BlendPalette(COLORREF colour, long percent);
    bool IsGrayScale() const;
    void SwapIndex(BYTE index1, BYTE index2);
    void SetStdPalette();
    void SetClrImportant(DWORD n);
    BYTE GetNearestIndex(RGBQUAD colour);

    // Pixels; y counts from the bottom row.
    BYTE GetPixelIndex(long x, long y) const;
    void SetPixelIndex(long x, long y, BYTE index);
    RGBQUAD GetPixelColor(long x, long y, bool getAlpha = true) const;
    void SetPixelColor(long x, long y, RGBQUAD colour, bool setAlpha = false);
    void SetPixelColor(long x, long y, COLORREF colour);
    BYTE GetPixelGray(long x, long y) const;
    bool IsTransparent(long x, long y) const;
    static RGBQUAD RGBtoRGBQUAD(COLORREF colour);
    static COLORREF RGBQUADtoRGB(RGBQUAD colour);
    void DrawLine(int startX, int endX, int startY, int endY, RGBQUAD colour,
                  bool setAlpha = false);
    void DrawLine(int startX, int endX, int startY, int endY, COLORREF colour);

    // Alpha plane and alpha palette.
    void AlphaCreate();
    void AlphaDelete();
    void AlphaClear();
    void AlphaSet(BYTE level);
    void AlphaSet(long x, long y, BYTE level);
    bool AlphaSet(RasterImage& from);
    BYTE AlphaGet(long x, long y) const;
    void AlphaInvert();
    bool AlphaCopy(RasterImage& from);
    void AlphaPaletteClear();
    bool AlphaPaletteIsValid() const;
    bool AlphaFlip();
    bool AlphaMirror();
    void AlphaStrip();
    bool AlphaSplit(RasterImage* dest);
    bool AlphaPaletteSplit(RasterImage* dest);

    // Geometry. Operations with a target leave this image unchanged and hand
    // their result to the target when one is given.
    bool Flip();
    bool Mirror();
    bool RotateLeft(RasterImage* target = NULL);
    bool RotateRight(RasterImage* target = NULL);
    // Any angle in degrees, positive clockwise; the canvas grows to hold the
    // turned corners.
    bool Rotate(float angle, RasterImage* target = NULL);
    bool Rotate180(RasterImage* target = NULL);
    // mode 1 nearest neighbour, 2 bicubic, any other: box average when
    // shrinking a 24-bit image both ways, else bilinear.
    bool Resample(long newWidth, long newHeight, int mode = 1, RasterImage* target = NULL);
    // The rectangle counts y from the top.
    bool Crop(long left, long top, long right, long bottom, RasterImage* target = NULL);
    bool Crop(const RECT& rect, RasterImage* target = NULL)
    {
        return Crop(rect.left, rect.top, rect.right, rect.bottom, target);
    }
    // A w x h rectangle whose corner (x, y) counts y from the top, turned by
    // angle radians.
    bool CropRotatedRectangle(long x, long y, long w, long h, float angle,
                              RasterImage* target = NULL);
    bool Skew(float xgain, float ygain, long xpivot = 0, long ypivot = 0);
    bool Expand(long left, long top, long right, long bottom, RGBQUAD canvas,
                RasterImage* target = NULL);
    bool Expand(long newWidth, long newHeight, RGBQUAD canvas, RasterImage* target = NULL);
    bool Thumbnail(long newWidth, long newHeight, RGBQUAD canvas, RasterImage* target = NULL);
    // type 0 pinch, 1 punch, 2 swirl, 3 polar unwrap, 4 and above bathroom
    // glass; rmax 0 reaches the area's corner, k 0 counts as 1.
    bool CircleTransform(int type, long rmax = 0, float k = 1.0f);
    // The cubic B-spline weight of a sample at distance x.
    static float b3spline(float x);

    // Colour and depth.
    bool GrayScale();
    bool Negative();
    bool DecreaseBpp(DWORD bits, bool errorDiffusion, RGBQUAD* palette = NULL,
                     DWORD importantColours = 0);
    bool IncreaseBpp(DWORD bits);
    // method 1 ordered, any other error diffusion; the result has 1 bit per pixel.
    bool Dither(long method = 0);

    // Selection plane: one byte per pixel, non-zero is selected.
    bool SelectionCreate();
    bool SelectionDelete();
    bool SelectionClear();
    bool SelectionIsInside(long x, long y) const;
    bool SelectionInvert();
    bool SelectionCopy(RasterImage& from);
    // Rectangles and points here count y from the bottom row.
    bool SelectionAddRect(RECT r);
    bool SelectionAddEllipse(RECT r);
    // Outlines separated by a point whose x is -1; each closes on its start.
    bool SelectionAddPolygon(POINT* points, long count);
    bool SelectionAddColor(RGBQUAD colour);
    bool SelectionAddPixel(int x, int y);
    // ORs the pixels whose selection byte is 255 into an existing region; row
    // y of the plane is the band [y, y + 1) of the region.
    bool SelectionToHRGN(HRGN& region);

    // Windows interoperation. CopyToHandle hands the caller a movable global
    // block (free it with GlobalFree) holding the DIB block; CreateFromHANDLE
    // reads a packed DIB from one. MakeBitmap's bitmap belongs to the caller.
    HANDLE CopyToHandle() const;
    bool CreateFromHANDLE(HANDLE hMem);
    HBITMAP MakeBitmap(HDC hdc = NULL) const;
    bool CreateFromHBITMAP(HBITMAP hbmp, HPALETTE hpal = NULL);
    // The icon's colour bitmap, its mask as the alpha plane (0 where the
    // mask is set); a monochrome icon gives a 1-bit image.
    bool CreateFromHICON(HICON hicon);

    // Drawing into a device context; y counts from the top there. A negative
    // cx or cy stands for the image's width or height. 0 when nothing could
    // be drawn at all (no pixels, no DC, zero size, image disabled).
    long Draw(HDC hdc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* pClipRect = NULL);
    long Draw2(HDC hdc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Stretch(HDC hdc, long xoffset, long yoffset, long xsize, long ysize, DWORD dwRop = SRCCOPY);
    long Tile(HDC hdc, RECT* rc);

    // Text rendered by GDI into the pixels. x counts from the left, y from the
    // top: the text's box stands on row y and grows upward. hdc only gives the
    // scratch context its compatibility (the screen's when null). DrawString
    // returns 1; DrawStringEx -1 for an invalid image or a null record, else
    // 1, and stores its corrections of alignment, corner radius and opacity
    // back into the record. With setAlpha, DrawString gives drawn pixels the
    // colour's reserved byte as alpha and DrawStringEx makes them opaque.
    long DrawString(HDC hdc, long x, long y, const char* text, RGBQUAD colour, const char* font,
                    long size, long weight, BYTE italic, BYTE underline, bool setAlpha);
    long DrawStringEx(HDC hdc, long x, long y, tagRasterTextInfo* textInfo, bool setAlpha);
    void InitTextInfo(tagRasterTextInfo* textInfo);

    // Loading and saving by format id.
    bool Decode(RasterFile* stream, DWORD imagetype);
    bool Decode(FILE* stream, DWORD imagetype);
    bool Decode(BYTE* buffer, DWORD size, DWORD imagetype);
    bool Load(const char* filename, DWORD imagetype = 0);
    bool LoadResource(HRSRC resource, DWORD imagetype, HMODULE module = NULL);
    bool Encode(RasterFile* stream, DWORD imagetype);
    bool Encode(FILE* stream, DWORD imagetype);
    // buffer must be null on entry; on success it holds a C-heap block of
    // `size` bytes that the caller frees with free().
    bool Encode(BYTE*& buffer, long& size, DWORD imagetype);
    bool Save(const char* filename, DWORD imagetype);
    bool Encode(RasterFile* stream, RasterImage** images, int count, DWORD imagetype);
    bool Encode(FILE* stream, RasterImage** images, int count, DWORD imagetype);

protected:
    void Startup(DWORD imagetype);
    void CopyInfo(const RasterImage& src);
    void Ghost(RasterImage* from);
    void Bitfield2RGB(BYTE* src, WORD redmask, WORD greenmask, WORD bluemask, BYTE bpp);
    void RGBtoBGR(BYTE* buffer, int length);
    bool EncodeSafeCheck(RasterFile* stream);

    // Copies at most 255 characters of text into szLastError.
    void _seterror(const char* text);
    // The same, for a codec step that ends with the failure.
    bool _fail(const char* text)
    {
        _seterror(text);
        return false;
    }
    void _clearcolorcache() { info.bLastColorValid = false; }
    // Create for a decoder that writes every pixel row (its first
    // (bpp x width + 7) / 8 bytes) itself: the pixels are not cleared, the
    // palette and the row padding are, and a block of the same size that the
    // image already holds is written over where it is. A decoder that stops
    // early clears the rows it did not write.
    void* _createuncleared(DWORD width, DWORD height, DWORD bpp, DWORD imagetype);

    void* pDib;
    BITMAPINFOHEADER header;
    RasterImageInfo info;
    BYTE* pSelection;
    BYTE* pAlpha;
    RasterImage** pLayers;

    // Working copies of the transformations. Each returns false, with the
    // reason in this image's szLastError, when the copy cannot be made.
    bool _workingcopy(RasterImage& copy, DWORD width, DWORD height, DWORD bpp);
    bool _freshcopy(RasterImage& copy, DWORD width, DWORD height);
    bool _fullcopy(RasterImage& copy, bool pixels, bool selection, bool alpha);
    void _handover(RasterImage& copy, RasterImage* target);
    // Reports row of rows done; true when the caller asks to stop.
    bool _rowprogress(long row, long rows);
    // RotateLeft (left) and RotateRight.
    bool _quarterturn(bool left, RasterImage* target);
    void _selectionresetbox();

private:
    void* _createblock(DWORD width, DWORD height, DWORD bpp, DWORD imagetype, bool cleared);
    // Frees the layers and the selection and alpha planes.
    void _freeparts();
    bool _decodewith(const RasterCodec& codec, RasterFile* stream, DWORD imagetype,
                     bool probing);
    BYTE _pixelindex(long x, long y) const;  // (x, y) known to be inside
    // Fills w x h pixels of a bottom-up 24-bit scratch bitmap from the source
    // pixels (sx[c], sy[r]); blend mixes them over what the scratch holds by
    // transparency and alpha.
    void _drawrows(BYTE* dst, long w, long h, const long* sx, const long* sy, bool blend) const;
};
