// Reading the rest of a stream into memory, in steps, up to a cap.
#include "codecdata.h"

#include <new>

bool RasterReadRest(RasterFile* stream, uint64_t cap, std::vector<BYTE>& out)
{
    out.clear();
    // Steps of 64 KiB: a stream that cannot tell its size is read just the same.
    const size_t kStep = 1 << 16;
    try {
        // One block when the stream knows how much is left.
        const long size = stream->Size(), pos = stream->Tell();
        if (size >= 0 && pos >= 0 && size > pos)
            out.reserve((size_t)((uint64_t)(size - pos) < cap ? (uint64_t)(size - pos) : cap));
        while (out.size() < cap) {
            const size_t want = (size_t)(cap - out.size() < kStep ? cap - out.size() : kStep);
            const size_t at = out.size();
            out.resize(at + want);
            const size_t got = stream->Read(out.data() + at, 1, want);
            out.resize(at + got);
            if (got < want)
                break;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    return true;
}
