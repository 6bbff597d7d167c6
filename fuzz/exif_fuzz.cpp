// Arbitrary bytes through the EXIF reader alone: first as the head of a JPEG
// stream (the section walk, which reads every APP1 "Exif" section, comment
// and frame header it meets), then, after an "Exif" header, as the payload of
// one APP1 section in a heap block of exactly its size.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <raster.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    std::vector<BYTE> stream(data, data + size);
    RasterMemFile in(stream.empty() ? nullptr : stream.data(), (DWORD)stream.size());
    {
        RasterExifInfo reader;
        reader.ReadSections(&in);
        if (in.Tell() > (long)size)
            abort();
        const RasterExifRecord* r = reader.GetRecord();
        if (strlen(r->szComments) >= sizeof(r->szComments) || strlen(r->szCameraMake) > 31)
            abort();
    }
    if (size + 8 > 0xFFFF)
        return 0;
    std::vector<BYTE> payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), data, data + size);
    RasterExifInfo reader;
    reader.ReadExifSection(payload.data(), (unsigned)payload.size() + 2);
    const RasterExifRecord* r = reader.GetRecord();
    const BYTE* begin = payload.data();
    const BYTE* end = begin + payload.size();
    if (r->pThumbnail != nullptr && (r->pThumbnail < begin || r->pThumbnail + r->dwThumbnailSize > end))
        abort();
    return 0;
}
