// Arbitrary bytes through the image library's file paths: Load by path and
// Decode over a C stream (RasterIOFile). The first byte picks the format id
// asked for (any, BMP, GIF or PNG) and the frame; the rest is the file. Both
// paths must agree, and every failure must say why.
#include <cstdio>
#include <cstring>

#include <raster.h>
#include "fuzz_support.h"

namespace {
const ScratchFile g_file("raster-file", ".img");
const DWORD kTypes[4] = {RASTER_FORMAT_UNKNOWN, RASTER_FORMAT_BMP, RASTER_FORMAT_GIF, RASTER_FORMAT_PNG};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size == 0 || !g_file.Write(data + 1, size - 1))
        return 0;
    const DWORD type = kTypes[data[0] & 3];
    RasterImage byPath;
    byPath.SetFrame((data[0] >> 2) & 3);
    const bool pathOk = byPath.Load(g_file.Path(), type);
    if (!pathOk && byPath.GetLastError()[0] == '\0')
        std::abort();

    FILE* f = std::fopen(g_file.Path(), "rb");
    if (f == nullptr)
        return 0;
    RasterIOFile stream(f);
    RasterImage byStream;
    byStream.SetFrame((data[0] >> 2) & 3);
    const bool streamOk = byStream.Decode(&stream, type);
    std::fclose(f);
    if (!streamOk && byStream.GetLastError()[0] == '\0')
        std::abort();
    // A typed load by path falls back to probing; over a stream it does not.
    if (type == RASTER_FORMAT_UNKNOWN && pathOk != streamOk)
        std::abort();
    if (pathOk && streamOk && byPath.GetSize() != byStream.GetSize())
        std::abort();
    return 0;
}
