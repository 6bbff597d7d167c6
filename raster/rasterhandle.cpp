// Images to and from global memory blocks: the block holds a packed DIB (an
// info header, the colour table or the colour masks, then the rows), the form
// the clipboard and drag and drop hand such pictures around in.
#include <cstdint>
#include <cstring>

#include "rasterbmp.h"
#include "rasterbytes.h"
#include "rasterimage.h"

namespace {

const char kNoBlock[] = "CreateFromHANDLE: no memory block";
const char kBlockTooLarge[] = "CreateFromHANDLE: memory block too large";

// A global block locked for as long as this lives.
class LockedBlock {
public:
    explicit LockedBlock(HANDLE block) : m_block(block), m_bytes(static_cast<BYTE*>(GlobalLock(block))) {}
    ~LockedBlock()
    {
        if (m_bytes != NULL)
            GlobalUnlock(m_block);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    BYTE* bytes() const { return m_bytes; }

private:
    HANDLE m_block;
    BYTE* m_bytes;
};

}  // namespace

HANDLE RasterImage::CopyToHandle() const
{
    if (pDib == NULL)
        return NULL;
    const size_t size = (size_t)GetSize();
    HGLOBAL block = GlobalAlloc(GHND, size);
    if (block == NULL)
        return NULL;
    {
        LockedBlock locked(block);
        if (locked.bytes() == NULL) {
            GlobalFree(block);
            return NULL;
        }
        memcpy(locked.bytes(), pDib, size);
        // The block's header as the image has it now (resolution, colours in use).
        rasterbytes::storeInfoHeader(locked.bytes(), header);
    }
    return block;
}

bool RasterImage::CreateFromHANDLE(HANDLE hMem)
{
    if (!Destroy())
        return false;
    const SIZE_T size = hMem != NULL ? GlobalSize(hMem) : 0;
    if (size == 0) {
        _seterror(kNoBlock);
        return false;
    }
    // The memory stream counts in 32 bits; no DIB block is larger.
    if ((uint64_t)size > UINT32_MAX) {
        _seterror(kBlockTooLarge);
        return false;
    }
    LockedBlock locked(hMem);
    if (locked.bytes() == NULL) {
        _seterror(kNoBlock);
        return false;
    }

    // The BMP codec reads the header in any of its forms, bounds every read
    // by the block and turns top-down rows the right way up.
    RasterImageBMP dib;
    RasterMemFile stream(locked.bytes(), (DWORD)size);
    if (!dib.DecodeDIB(&stream)) {
        _seterror(dib.GetLastError());
        return false;
    }
    const BITMAPINFOHEADER found = dib.header;
    if (!Transfer(dib))
        return false;
    info.dwType = RASTER_FORMAT_UNKNOWN;
    // A block without a resolution gets the screen's.
    if (found.biXPelsPerMeter == 0)
        SetXDPI(96);
    if (found.biYPelsPerMeter == 0)
        SetYDPI(96);
    return true;
}
