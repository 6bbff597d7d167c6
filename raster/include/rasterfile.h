// The image library's byte streams: one abstract stream that every codec reads
// and writes, over a C FILE* or over a growing block of C-heap memory.
#pragma once

#include <cstddef>
#include <cstdio>

#include "rasterdefs.h"

class RASTER_API RasterFile {
public:
    RasterFile() = default;
    RasterFile(const RasterFile&) {}  // a stream has no data of its own to copy
    RasterFile& operator=(const RasterFile&) { return *this; }
    virtual ~RasterFile() = default;

    virtual bool Close() = 0;
    // Items read or written (whole items of `size` bytes).
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: SEEK_SET, SEEK_CUR or SEEK_END.
    virtual bool Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(BYTE value);
    virtual long GetC() = 0;  // 0..255, or -1
};

// A stream over a C FILE*. A FILE* handed to the constructor is only used,
// never closed; one opened by Open is closed by Close and the destructor.
class RASTER_API RasterIOFile : public RasterFile {
public:
    explicit RasterIOFile(FILE* fp = NULL);
    // A copy uses the same FILE* but never closes it: only the original owns it.
    RasterIOFile(const RasterIOFile& src);
    RasterIOFile& operator=(const RasterIOFile& src);
    ~RasterIOFile() override;

    bool Open(const char* name, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(BYTE value) override;
    long GetC() override;

protected:
    FILE* pFile;
    bool bCloseFile;
};

// A stream over a C-heap block that grows in 4096-byte steps. A caller's block
// is read and written in place; once a write outgrows it, it is reallocated and
// owned by the stream (take the new address with GetBuffer).
class RASTER_API RasterMemFile : public RasterFile {
public:
    explicit RasterMemFile(BYTE* buffer = NULL, DWORD size = 0);
    // A copy reads and writes the same block but never frees or reallocates it;
    // should the copy outgrow the block, it moves its data to a block of its own.
    // The copy must not outlive the stream it was taken from.
    RasterMemFile(const RasterMemFile& src);
    RasterMemFile& operator=(const RasterMemFile& src);
    ~RasterMemFile() override;

    bool Open();
    bool Close() override;
    // detach true hands the block to the caller, who frees it with free();
    // false makes the stream its owner.
    BYTE* GetBuffer(bool detach = true);
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(BYTE value) override;
    long GetC() override;

protected:
    // Makes the capacity at least `length`; false, with the block unchanged,
    // when it cannot.
    bool Alloc(DWORD length);
    void Free();

    BYTE* pBuffer;
    DWORD dwSize;  // bytes of valid data: the high-water mark of writes
    bool bFreeOnClose;
    long nPosition;  // may lie past dwSize
    long nEdge;      // bytes allocated

private:
    bool _copyfrom(const RasterMemFile& src);
    bool _reserve(size_t end);

    bool m_bBorrowed = false;  // the block belongs to the stream this one was copied from
};
