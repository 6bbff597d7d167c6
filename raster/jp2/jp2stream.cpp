// The toolkit's streams: a position-less handle whose four operations act on
// an object the caller binds (RasterFileJas binds an image-library stream).
// Nothing is buffered, so the bound stream always stands where the toolkit
// last read or wrote.
#include <cstdio>
#include <new>

#include "jp2adapter.h"

namespace rasterjp2 {

Stream* StreamOpen(const char*)
{
    Stream* s = new (std::nothrow) Stream;
    if (s != nullptr) {
        s->obj = nullptr;
        s->ops = nullptr;
        s->failed = false;
    }
    return s;
}

int StreamClose(Stream* s)
{
    if (s == nullptr)
        return -1;
    int rc = s->ops != nullptr ? s->ops->close(s->obj) : 0;
    delete s;
    return rc;
}

int StreamFlush(Stream* s)
{
    return s != nullptr && !s->failed ? 0 : -1;
}

bool StreamRead(Stream* s, void* buf, size_t n)
{
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        long chunk = n > (1u << 30) ? (1L << 30) : (long)n;
        long got = s->ops->read(s->obj, p, chunk);
        if (got <= 0)
            return false;
        p += got;
        n -= (size_t)got;
    }
    return true;
}

bool StreamWrite(Stream* s, const void* buf, size_t n)
{
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        long chunk = n > (1u << 30) ? (1L << 30) : (long)n;
        long put = s->ops->write(s->obj, p, chunk);
        if (put <= 0) {
            s->failed = true;
            return false;
        }
        p += put;
        n -= (size_t)put;
    }
    return true;
}

long StreamTell(Stream* s)
{
    return s->ops->seek(s->obj, 0, SEEK_CUR);
}

bool StreamSeek(Stream* s, long offset, int origin)
{
    return s->ops->seek(s->obj, offset, origin) >= 0;
}

long long StreamLeft(Stream* s)
{
    long pos = StreamTell(s);
    if (pos < 0)
        return -1;
    long end = s->ops->seek(s->obj, 0, SEEK_END);
    s->ops->seek(s->obj, pos, SEEK_SET);
    return end < pos ? -1 : (long long)end - pos;
}

int StreamGetc(Stream* s)
{
    unsigned char c;
    return s->ops->read(s->obj, reinterpret_cast<char*>(&c), 1) == 1 ? c : -1;
}

}  // namespace rasterjp2
