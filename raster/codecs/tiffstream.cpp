// The TIFF codec's stream layer: libtiff's client procedures over a
// RasterFile, and its warning and error handlers.
//
// libtiff reads and writes through the procedures only (it never maps the
// file). Offsets are counted from where the stream stood when the handle was
// opened, so a TIFF file held inside a larger stream reads as well. The
// handlers are installed per handle (libtiff's open options), so nothing
// process-wide changes and two images may decode on two threads.
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include <windows.h>

#include "rastertif.h"
#include "tiffstream.h"

namespace {

// What libtiff keeps as its client data; freed by the close procedure.
struct TiffClient {
    RasterFile* stream;
    long base;        // stream position of the TIFF data's first byte
    char* errorText;  // the image's last-error text, or null
};

TiffClient* _client(thandle_t h)
{
    return static_cast<TiffClient*>(h);
}

tmsize_t xfileReadProc(thandle_t h, void* buffer, tmsize_t size)
{
    if (size <= 0)
        return 0;
    return (tmsize_t)_client(h)->stream->Read(buffer, 1, (size_t)size);
}

tmsize_t xfileWriteProc(thandle_t h, void* buffer, tmsize_t size)
{
    if (size <= 0)
        return 0;
    return (tmsize_t)_client(h)->stream->Write(buffer, 1, (size_t)size);
}

toff_t xfileSeekProc(thandle_t h, toff_t offset, int whence)
{
    // (toff_t)-1 is libtiff's own "no offset": never a place to go.
    if (offset == (toff_t)-1)
        return (toff_t)-1;
    TiffClient* c = _client(h);
    // Relative offsets arrive as two's-complement 64-bit values.
    const long long delta = (long long)offset;
    long target;
    if (whence == SEEK_SET) {
        if (offset > (toff_t)(LONG_MAX - c->base))
            return (toff_t)-1;
        target = c->base + (long)offset;
        if (!c->stream->Seek(target, SEEK_SET))
            return (toff_t)-1;
        return offset;
    }
    if (whence != SEEK_CUR && whence != SEEK_END)
        return (toff_t)-1;
    if (delta > LONG_MAX || delta < LONG_MIN)
        return (toff_t)-1;
    if (!c->stream->Seek((long)delta, whence))
        return (toff_t)-1;
    target = c->stream->Tell();
    if (target < c->base)
        return (toff_t)-1;
    return (toff_t)(target - c->base);
}

int xfileCloseProc(thandle_t h)
{
    // The stream belongs to the caller; only our record goes.
    delete _client(h);
    return 0;
}

toff_t xfileSizeProc(thandle_t h)
{
    TiffClient* c = _client(h);
    const long size = c->stream->Size();
    return size > c->base ? (toff_t)(size - c->base) : 0;
}

int xfileMapProc(thandle_t, void**, toff_t*)
{
    return 0;  // no mapping: libtiff reads through the procedures
}

void xfileUnmapProc(thandle_t, void*, toff_t)
{
}

// One message: its title is "<module> Warning" or "<module> Error", the text
// goes into the image's last-error text and both into a message box.
void _report(void* user, const char* module, const char* fmt, va_list ap, bool error)
{
    const char* name = module != NULL ? module : "TIFFLIB";
    char title[300];
    snprintf(title, sizeof(title), error ? "%s Error" : "%s Warning", name);
    char text[1024];
    vsnprintf(text, sizeof(text), fmt != NULL ? fmt : "", ap);
    char* lastError = static_cast<char*>(user);
    if (lastError != NULL) {
        strncpy(lastError, text, 255);
        lastError[255] = 0;
    }
    MessageBoxA(GetFocus(), text, title, error ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
}

int xfileWarningHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
    _report(user, module, fmt, ap, false);
    return 1;  // handled: libtiff's process-wide handler stays quiet
}

int xfileErrorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
    _report(user, module, fmt, ap, true);
    return 1;
}

}  // namespace

TIFF* RasterTiffOpen(RasterFile* stream, const char* name, const char* mode, char* errorText,
                     tmsize_t maxAlloc)
{
    if (stream == NULL)
        return NULL;
    const long base = stream->Tell();
    TiffClient* client = new (std::nothrow) TiffClient{stream, base < 0 ? 0 : base, errorText};
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (client == NULL || opts == NULL) {
        delete client;
        TIFFOpenOptionsFree(opts);
        return NULL;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(opts, xfileErrorHandler, errorText);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, xfileWarningHandler, errorText);
    if (maxAlloc > 0)
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, maxAlloc);
    // "m": never map the file, read through the procedures.
    char fullMode[16];
    snprintf(fullMode, sizeof(fullMode), "%sm", mode != NULL ? mode : "r");
    TIFF* tif = TIFFClientOpenExt(name, fullMode, client, xfileReadProc, xfileWriteProc,
                                  xfileSeekProc, xfileCloseProc, xfileSizeProc, xfileMapProc,
                                  xfileUnmapProc, opts);
    TIFFOpenOptionsFree(opts);
    // A refused open does not call the close procedure.
    if (tif == NULL)
        delete client;
    return tif;
}

TIFF* TIFFOpenXFileNamed(RasterFile* stream, const char* name, const char* mode)
{
    return RasterTiffOpen(stream, name, mode, NULL, 0);
}

TIFF* TIFFOpenXFile(RasterFile* stream, const char* mode)
{
    return TIFFOpenXFileNamed(stream, "TIFF IMAGE", mode);
}
