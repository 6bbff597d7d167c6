// The image stream over a block of C-heap memory that grows in 4096-byte steps.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "rasterfile.h"

namespace {

constexpr size_t kGrowStep = 4096;
// dwSize is a 32-bit count: the stream never holds more than this.
constexpr size_t kMaxStreamSize = 0xFFFFFFFFu;

}  // namespace

RasterMemFile::RasterMemFile(BYTE* buffer, DWORD size)
    : pBuffer(buffer), dwSize(size), bFreeOnClose(buffer == NULL), nPosition(0), nEdge(size)
{
}

RasterMemFile::RasterMemFile(const RasterMemFile& src)
    : RasterFile(src), pBuffer(NULL), dwSize(0), bFreeOnClose(false), nPosition(0), nEdge(0)
{
    _copyfrom(src);
}

RasterMemFile& RasterMemFile::operator=(const RasterMemFile& src)
{
    if (this != &src) {
        Close();  // a block this stream owns must not be lost
        _copyfrom(src);
    }
    return *this;
}

bool RasterMemFile::_copyfrom(const RasterMemFile& src)
{
    pBuffer = src.pBuffer;
    dwSize = src.dwSize;
    nPosition = src.nPosition;
    nEdge = src.nEdge;
    bFreeOnClose = false;  // the block stays the source's to free
    m_bBorrowed = pBuffer != NULL;
    return true;
}

RasterMemFile::~RasterMemFile()
{
    Close();
}

bool RasterMemFile::Open()
{
    if (pBuffer != NULL)
        return false;
    dwSize = 0;
    nEdge = 0;
    nPosition = 0;
    // One byte rather than none, so that every C library hands back a block.
    pBuffer = static_cast<BYTE*>(malloc(1));
    bFreeOnClose = true;
    m_bBorrowed = false;
    return pBuffer != NULL;
}

bool RasterMemFile::Close()
{
    if (pBuffer != NULL && bFreeOnClose && !m_bBorrowed) {
        free(pBuffer);
        pBuffer = NULL;
        dwSize = 0;
    }
    return true;
}

void RasterMemFile::Free()
{
    Close();
}

BYTE* RasterMemFile::GetBuffer(bool detach)
{
    // A copy cannot give away or claim a block its source owns.
    if (!m_bBorrowed)
        bFreeOnClose = !detach;
    return pBuffer;
}

size_t RasterMemFile::Read(void* buffer, size_t size, size_t count)
{
    if (pBuffer == NULL || buffer == NULL)
        return 0;
    if (nPosition > (long)dwSize)
        return 0;
    size_t n;
    if (__builtin_mul_overflow(size, count, &n))
        n = SIZE_MAX;
    if (n == 0)
        return 0;
    size_t avail = (size_t)((long)dwSize - nPosition);
    size_t copied = n < avail ? n : avail;
    if (copied != 0)
        memcpy(buffer, pBuffer + nPosition, copied);
    nPosition += (long)copied;
    return copied / size;
}

// Makes room for data up to `end`. A borrowed block is never reallocated: its
// data moves to a block of this stream's own.
bool RasterMemFile::_reserve(size_t end)
{
    if (end <= (size_t)nEdge)
        return true;
    if (!m_bBorrowed)
        return Alloc((DWORD)end);
    size_t steps = (end - (size_t)nEdge + kGrowStep - 1) / kGrowStep;
    size_t capacity = (size_t)nEdge + steps * kGrowStep;
    BYTE* block = static_cast<BYTE*>(malloc(capacity));
    if (block == NULL)
        return false;
    if (dwSize != 0)
        memcpy(block, pBuffer, dwSize);
    pBuffer = block;
    nEdge = (long)capacity;
    bFreeOnClose = true;
    m_bBorrowed = false;
    return true;
}

bool RasterMemFile::Alloc(DWORD length)
{
    if ((long)length <= nEdge)
        return true;
    size_t steps = ((size_t)length - (size_t)nEdge + kGrowStep - 1) / kGrowStep;
    size_t capacity = (size_t)nEdge + steps * kGrowStep;
    BYTE* block = static_cast<BYTE*>(pBuffer != NULL ? realloc(pBuffer, capacity) : malloc(capacity));
    if (block == NULL)
        return false;  // the old block stays as it was
    pBuffer = block;
    bFreeOnClose = true;
    nEdge = (long)capacity;
    return true;
}

size_t RasterMemFile::Write(const void* buffer, size_t size, size_t count)
{
    size_t n;
    if (pBuffer == NULL || buffer == NULL || __builtin_mul_overflow(size, count, &n) || n == 0)
        return 0;
    if (nPosition < 0 || (size_t)nPosition > kMaxStreamSize || n > kMaxStreamSize - (size_t)nPosition)
        return 0;
    size_t end = (size_t)nPosition + n;
    if (!_reserve(end))
        return 0;
    // Bytes between the old end and a position sought past it read as zero,
    // never as whatever the heap held.
    if (nPosition > (long)dwSize)
        memset(pBuffer + dwSize, 0, (size_t)nPosition - dwSize);
    memcpy(pBuffer + nPosition, buffer, n);
    nPosition = (long)end;
    if (nPosition > (long)dwSize)
        dwSize = (DWORD)nPosition;
    return count;
}

bool RasterMemFile::Seek(long offset, int origin)
{
    if (pBuffer == NULL)
        return false;
    long base;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = nPosition; break;
    case SEEK_END: base = (long)dwSize; break;
    default: return false;
    }
    long pos;
    if (__builtin_add_overflow(base, offset, &pos) || pos < 0)
        return false;
    nPosition = pos;
    return true;
}

long RasterMemFile::Tell()
{
    return pBuffer == NULL ? -1 : nPosition;
}

long RasterMemFile::Size()
{
    return pBuffer == NULL ? -1 : (long)dwSize;
}

bool RasterMemFile::Flush()
{
    return pBuffer != NULL;
}

bool RasterMemFile::Eof()
{
    if (pBuffer == NULL)
        return true;
    return nPosition >= (long)dwSize;
}

long RasterMemFile::Error()
{
    if (pBuffer == NULL)
        return -1;
    return nPosition > (long)dwSize ? 1 : 0;
}

bool RasterMemFile::PutC(BYTE value)
{
    if (pBuffer == NULL)
        return false;
    return Write(&value, 1, 1) == 1;
}

long RasterMemFile::GetC()
{
    if (Eof())
        return -1;
    return pBuffer[nPosition++];
}
