// The EXIF reader: the marker sections at the head of a JPEG stream, the
// camera data of its APP1 "Exif" section, the first comment and the frame
// header, into a RasterExifRecord.
//
// The TIFF structure inside the section is addressed by offsets from its
// start. Every offset and count is checked against the structure's length in
// 64-bit arithmetic before a byte is read, and a directory is read at most
// once (and never more than kMaxDepth links deep), so loops and wild links in
// a damaged block end in a text, never in a stray read.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "rasterexif.h"

namespace {

// Bytes per component of the EXIF formats 1..12.
const int kFormatBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

// Real files link at most four directories deep (main, EXIF, interoperability,
// thumbnail); the limit only stops a hostile chain from using up the stack.
constexpr int kMaxDepth = 16;

enum ExifTag {
    kTagMake = 271,
    kTagModel = 272,
    kTagOrientation = 274,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagResolutionUnit = 296,
    kTagThumbnailOffset = 513,
    kTagThumbnailLength = 514,
    kTagExposureTime = 33434,
    kTagFNumber = 33437,
    kTagExifOffset = 34665,
    kTagExposureProgram = 34850,
    kTagISOEquivalent = 34855,
    kTagExifVersion = 36864,
    kTagDateTimeOriginal = 36867,
    kTagCompressionLevel = 37122,
    kTagShutterSpeed = 37377,
    kTagAperture = 37378,
    kTagBrightness = 37379,
    kTagExposureBias = 37380,
    kTagMaxAperture = 37381,
    kTagSubjectDistance = 37382,
    kTagMeteringMode = 37383,
    kTagLightSource = 37384,
    kTagFlash = 37385,
    kTagFocalLength = 37386,
    kTagUserComment = 37510,
    kTagExifImageWidth = 40962,
    kTagExifImageHeight = 40963,
    kTagInteropOffset = 40965,
    kTagFocalPlaneXRes = 41486,
    kTagFocalPlaneYRes = 41487,
    kTagFocalPlaneUnits = 41488,
};

// A double as an int, saturating: values from a file may be anything.
int ToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return (int)-2147483647 - 1;
    return (int)v;
}

// An offset or length within the section: negative values and NaN are 0,
// and anything past 32 bits (no section is that long) stops there.
unsigned long long ToPlace(double v)
{
    if (!(v > 0))
        return 0;
    if (v >= 4294967296.0)
        return 4294967296ULL;
    return (unsigned long long)v;
}

// A double as a float: NaN becomes 0 and values past a float's range stop
// at its largest.
float ToFloat(double v)
{
    if (!(v == v))
        return 0.0f;
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return (float)v;
}

// Copies at most `limit` characters of a value of `count` bytes, stopping at
// a NUL, and terminates the copy.
void CopyText(char* dst, size_t limit, const BYTE* src, unsigned long long count)
{
    size_t n = 0;
    while (n < limit && n < count && src[n] != 0) {
        dst[n] = (char)src[n];
        n++;
    }
    dst[n] = 0;
}

// The unit factor of a resolution unit value; false for values that have none.
bool UnitFactor(int unit, float& factor)
{
    switch (unit) {
    case 1:
    case 2: factor = 1.0f; return true;
    case 3: factor = 0.3937008f; return true;
    case 4: factor = 0.03937008f; return true;
    case 5: factor = 0.00003937008f; return true;
    default: return false;
    }
}

}  // namespace

RasterExifInfo::RasterExifInfo(RasterExifRecord* record)
{
    bOwnsRecord = record == NULL;
    if (bOwnsRecord) {
        record = new RasterExifRecord;
        memset(record, 0, sizeof(*record));
    }
    pRecord = record;
    szLastError[0] = 0;
    nExifImageWidth = 0;
    bMotorolaOrder = 0;
    nSectionsRead = 0;
    memset(sections, 0, sizeof(sections));
}

RasterExifInfo::~RasterExifInfo()
{
    for (int i = 0; i < kMaxSections; i++) {
        Section& s = sections[i];
        if (s.pData == NULL)
            continue;
        // The thumbnail lives in the section copy that goes now.
        if (pRecord->pThumbnail >= s.pData && pRecord->pThumbnail < s.pData + s.nSize)
            pRecord->pThumbnail = NULL;
        free(s.pData);
    }
    if (bOwnsRecord)
        delete pRecord;
}

bool RasterExifInfo::_fail(const char* text)
{
    strncpy(szLastError, text, sizeof(szLastError) - 1);
    szLastError[sizeof(szLastError) - 1] = 0;
    return false;
}

void RasterExifInfo::_drop(int index)
{
    free(sections[index].pData);
    memset(&sections[index], 0, sizeof(sections[index]));
    nSectionsRead--;
}

// ---------------------------------------------------------------------------
// The section walk.

bool RasterExifInfo::ReadSections(RasterFile* fp)
{
    if (fp == NULL || fp->GetC() != 0xFF || fp->GetC() != 0xD8)
        return false;
    while (nSectionsRead < kMaxSections) {
        long marker = -1;
        for (int i = 0; i < 7; i++) {
            marker = fp->GetC();
            if (marker != 0xFF)
                break;
        }
        if (marker == 0xFF)
            return _fail("too many padding bytes");
        if (marker < 0)
            return _fail("Premature end of file?");

        const long hi = fp->GetC(), lo = fp->GetC();
        if (hi < 0 || lo < 0)
            return _fail("Premature end of file?");
        const int length = (int)(hi * 256 + lo);
        if (length < 2)
            return _fail("invalid marker");
        BYTE* data = static_cast<BYTE*>(malloc((size_t)length));
        if (data == NULL)
            return _fail("Could not allocate memory");
        data[0] = (BYTE)hi;
        data[1] = (BYTE)lo;
        if (fp->Read(data + 2, 1, (size_t)length - 2) != (size_t)length - 2) {
            free(data);
            return _fail("Premature end of file?");
        }
        const int index = nSectionsRead++;
        sections[index].pData = data;
        sections[index].nType = (int)marker;
        sections[index].nSize = length;

        switch (marker) {
        case 0xDA:  // start of scan: the picture data follows
            return true;
        case 0xD9:
            return _fail("No image in jpeg!");
        case 0xE0:
            _drop(index);
            break;
        case 0xE1:
            if (length >= 6 && memcmp(data + 2, "Exif", 4) == 0)
                pRecord->bIsExif = ReadExifSection(data + 2, (unsigned)length);
            else
                _drop(index);
            break;
        case 0xFE:
            if (!m_sawComment) {
                m_sawComment = true;
                ReadComment(data, length);
            } else {
                _drop(index);
            }
            break;
        case 0xC0: case 0xC1: case 0xC2: case 0xC3:
        case 0xC5: case 0xC6: case 0xC7:
        case 0xC9: case 0xCA: case 0xCB:
        case 0xCD: case 0xCE: case 0xCF:
            ReadFrameHeader(data, (int)marker);
            break;
        default:
            break;
        }
    }
    return _fail("Too many sections in jpg file");
}

void RasterExifInfo::ReadComment(BYTE* data, int length)
{
    if (length > 1000)
        length = 1000;
    char* out = pRecord->szComments;
    int n = 0;
    for (int i = 2; i < length; i++) {
        const BYTE c = data[i];
        if (c == '\r' && i + 1 < length && data[i + 1] == '\n')
            continue;  // CR LF keeps only the LF
        out[n++] = (c >= 32 && c < 127) || c == '\n' || c == '\t' ? (char)c : '?';
    }
    out[n] = 0;
}

void RasterExifInfo::ReadFrameHeader(BYTE* data, int marker)
{
    // Length (2), precision (1), height (2), width (2), components (1).
    if (data == NULL || Read16BigEndian(data) < 8)
        return;
    pRecord->nHeight = Read16BigEndian(data + 3);
    pRecord->nWidth = Read16BigEndian(data + 5);
    pRecord->bIsColor = data[7] == 3;
    pRecord->nProcess = marker;
}

// ---------------------------------------------------------------------------
// The EXIF section.

int RasterExifInfo::Read16(BYTE* p)
{
    return bMotorolaOrder ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8);
}

unsigned long RasterExifInfo::Read32(BYTE* p)
{
    if (bMotorolaOrder)
        return ((unsigned long)p[0] << 24) | ((unsigned long)p[1] << 16) | ((unsigned long)p[2] << 8) | p[3];
    return ((unsigned long)p[3] << 24) | ((unsigned long)p[2] << 16) | ((unsigned long)p[1] << 8) | p[0];
}

long RasterExifInfo::Read32Signed(BYTE* p)
{
    return (long)(int32_t)(uint32_t)Read32(p);
}

int RasterExifInfo::Read16BigEndian(BYTE* p)
{
    return (p[0] << 8) | p[1];
}

double RasterExifInfo::ConvertValue(BYTE* value, int format)
{
    switch (format) {
    case 1: return value[0];
    case 6: return (signed char)value[0];
    case 3: return Read16(value);
    case 8: return (short)(unsigned short)Read16(value);
    case 4: return (double)Read32(value);
    case 9: return (double)Read32Signed(value);
    case 5:
    case 10: {
        const long num = Read32Signed(value), den = Read32Signed(value + 4);
        return den == 0 ? 0.0 : (double)num / (double)den;
    }
    case 11: {
        // In the block's byte order, like every other value.
        uint32_t bits = (uint32_t)Read32(value);
        float f;
        memcpy(&f, &bits, sizeof(f));
        return f;
    }
    case 12: {
        uint64_t hi = Read32(value), lo = Read32(value + 4);
        if (!bMotorolaOrder)
            std::swap(hi, lo);
        const uint64_t bits = (hi << 32) | lo;
        double d;
        memcpy(&d, &bits, sizeof(d));
        return d;
    }
    default: return 0.0;
    }
}

bool RasterExifInfo::ReadExifSection(BYTE* data, unsigned length)
{
    pRecord->bFlashUsed = 0;
    pRecord->szComments[0] = 0;
    nExifImageWidth = 0;
    m_visited.clear();
    m_thumbOffset = m_thumbSize = 0;

    // The payload is length - 2 bytes: the 6-byte "Exif\0\0" header, then the
    // TIFF structure, whose own header is 8 bytes.
    const unsigned long long payload = length >= 2 ? (unsigned long long)length - 2 : 0;
    if (data == NULL || payload < 6 || memcmp(data, "Exif\0\0", 6) != 0)
        return _fail("Incorrect Exif header");
    if (payload < 14)
        return _fail("Invalid Exif alignment marker.");
    if (data[6] == 'I' && data[7] == 'I')
        bMotorolaOrder = 0;
    else if (data[6] == 'M' && data[7] == 'M')
        bMotorolaOrder = 1;
    else
        return _fail("Invalid Exif alignment marker.");
    if (Read16(data + 8) != 42)
        return _fail("Invalid Exif start (1)");
    const unsigned long long firstOffset = Read32(data + 10);

    BYTE* offsetBase = data + 6;
    const unsigned long long exifLength = payload - 6;
    BYTE* lastRefd = data;
    if (!_directory(offsetBase, exifLength, 8, pRecord, &lastRefd, 0, false))
        return false;
    // The first directory proper, unless the walk from offset 8 read it already.
    bool seen = false;
    for (unsigned long long v : m_visited)
        seen = seen || v == firstOffset;
    if (firstOffset > 8 && !seen &&
        !_directory(offsetBase, exifLength, firstOffset, pRecord, &lastRefd, 0, false))
        return false;

    if (pRecord->fFocalplaneXRes != 0)
        pRecord->fCCDWidth = ToFloat(nExifImageWidth * (double)pRecord->fFocalplaneUnits /
                                     pRecord->fFocalplaneXRes);
    return true;
}

bool RasterExifInfo::ReadExifDirectory(BYTE* dir, BYTE* offsetBase, unsigned exifLength,
                                       RasterExifRecord* record, BYTE** lastRefd)
{
    if (dir == NULL || offsetBase == NULL || record == NULL || lastRefd == NULL || dir < offsetBase)
        return _fail("Illegal subdirectory link");
    return _directory(offsetBase, exifLength, (unsigned long long)(dir - offsetBase), record,
                      lastRefd, 0, false);
}

bool RasterExifInfo::_directory(BYTE* offsetBase, unsigned long long exifLength,
                                unsigned long long offset, RasterExifRecord* record,
                                BYTE** lastRefd, int depth, bool thumbnail)
{
    // A directory must hold at least its entry count; one read before, or
    // too deep, is a link that loops.
    if (offset + 2 > exifLength)
        return _fail("Illegally sized directory");
    for (unsigned long long seen : m_visited)
        if (seen == offset)
            return _fail("Illegal subdirectory link");
    if (depth >= kMaxDepth)
        return _fail("Illegal subdirectory link");
    m_visited.push_back(offset);

    BYTE* dir = offsetBase + offset;
    const unsigned long long entries = (unsigned)Read16(dir);
    const unsigned long long end = offset + 2 + 12 * entries;
    if (end > exifLength)
        return _fail("Illegally sized directory");

    bool ok = true;
    for (unsigned long long i = 0; i < entries && ok; i++)
        _entry(dir + 2 + 12 * i, offsetBase, exifLength, record, lastRefd, depth, thumbnail, ok);
    if (!ok)
        return false;

    // The link to the next directory (the thumbnail's after the main one).
    // A directory that ends with the block has none. What comes after the
    // main directory describes the thumbnail, never the picture.
    if (end + 4 <= exifLength) {
        const unsigned long long link = Read32(offsetBase + end);
        if (link != 0) {
            if (link + 2 > exifLength)
                return _fail("Illegal subdirectory link");
            _directory(offsetBase, exifLength, link, record, lastRefd, depth + 1, true);
        }
    }

    if (m_thumbOffset != 0 && m_thumbSize != 0 && m_thumbOffset + m_thumbSize <= exifLength) {
        record->pThumbnail = offsetBase + m_thumbOffset;
        record->dwThumbnailSize = (DWORD)m_thumbSize;
    }
    return true;
}

void RasterExifInfo::_entry(BYTE* entry, BYTE* offsetBase, unsigned long long exifLength,
                            RasterExifRecord* record, BYTE** lastRefd, int depth, bool thumbnail,
                            bool& ok)
{
    const int tag = Read16(entry);
    const int format = Read16(entry + 2);
    const unsigned long long components = Read32(entry + 4);
    if (format <= 0 || format > 12) {
        ok = _fail("Illegal format code in EXIF dir");
        return;
    }
    const unsigned long long byteCount = components * (unsigned long long)kFormatBytes[format];
    BYTE* value = entry + 8;
    if (byteCount > 4) {
        const unsigned long long at = Read32(entry + 8);
        if (at + byteCount > exifLength) {
            ok = _fail("Illegal pointer offset value in EXIF.");
            return;
        }
        value = offsetBase + at;
    }
    if (value + byteCount > *lastRefd)
        *lastRefd = value + byteCount;
    // A thumbnail's directory repeats the picture's tags (orientation,
    // resolution) for the small picture; only where the thumbnail lies is
    // taken from it.
    if (thumbnail && tag != kTagThumbnailOffset && tag != kTagThumbnailLength)
        return;

    // A numeric value needs at least one whole component.
    const bool number = byteCount >= (unsigned long long)kFormatBytes[format];
    const double v = number ? ConvertValue(value, format) : 0.0;
    float factor;
    switch (tag) {
    case kTagMake: CopyText(record->szCameraMake, 31, value, byteCount); break;
    case kTagModel: CopyText(record->szCameraModel, 39, value, byteCount); break;
    case kTagDateTimeOriginal: CopyText(record->szDateTime, 19, value, byteCount); break;
    case kTagExifVersion: CopyText(record->szVersion, 4, value, byteCount); break;
    case kTagUserComment: _usercomment(value, byteCount, record); break;
    case kTagOrientation:
        if (!number)
            break;
        record->nOrientation = ToInt(v);
        if (record->nOrientation < 1 || record->nOrientation > 8) {
            _fail("Undefined rotation value");
            record->nOrientation = 0;
        }
        break;
    case kTagFNumber: if (number) record->fApertureFNumber = ToFloat(v); break;
    case kTagAperture:
    case kTagMaxAperture:
        if (number && record->fApertureFNumber == 0)
            record->fApertureFNumber = ToFloat(exp(v * log(2.0) * 0.5));
        break;
    case kTagFocalLength: if (number) record->fFocalLength = ToFloat(v); break;
    case kTagSubjectDistance: if (number) record->fDistance = ToFloat(v); break;
    case kTagExposureTime: if (number) record->fExposureTime = ToFloat(v); break;
    case kTagShutterSpeed:
        if (number && record->fExposureTime == 0)
            record->fExposureTime = ToFloat(1.0 / exp(v * log(2.0)));
        break;
    case kTagFlash: if (number) record->bFlashUsed = (ToInt(v) & 7) != 0; break;
    case kTagExposureBias: if (number) record->fExposureBias = ToFloat(v); break;
    case kTagBrightness: if (number) record->fBrightness = ToFloat(v); break;
    case kTagLightSource: if (number) record->nLightSource = ToInt(v); break;
    case kTagMeteringMode: if (number) record->nMeteringMode = ToInt(v); break;
    case kTagExposureProgram: if (number) record->nExposureProgram = ToInt(v); break;
    case kTagISOEquivalent:
        if (number) {
            record->nISOequivalent = ToInt(v);
            if (record->nISOequivalent >= 0 && record->nISOequivalent < 50)
                record->nISOequivalent *= 200;
        }
        break;
    case kTagCompressionLevel: if (number) record->nCompressionLevel = ToInt(v); break;
    case kTagXResolution: if (number) record->fXResolution = ToFloat(v); break;
    case kTagYResolution: if (number) record->fYResolution = ToFloat(v); break;
    case kTagResolutionUnit:
        if (number && UnitFactor(ToInt(v), factor))
            record->fResolutionUnit = factor;
        break;
    case kTagFocalPlaneXRes: if (number) record->fFocalplaneXRes = ToFloat(v); break;
    case kTagFocalPlaneYRes: if (number) record->fFocalplaneYRes = ToFloat(v); break;
    case kTagFocalPlaneUnits:
        if (number && UnitFactor(ToInt(v), factor))
            record->fFocalplaneUnits = factor;
        break;
    case kTagThumbnailOffset: if (number) m_thumbOffset = ToPlace(v); break;
    case kTagThumbnailLength: if (number) m_thumbSize = ToPlace(v); break;
    case kTagExifImageWidth:
    case kTagExifImageHeight:
        if (number && ToInt(v) > nExifImageWidth)
            nExifImageWidth = ToInt(v);
        break;
    case kTagExifOffset:
    case kTagInteropOffset: {
        // Four bytes are there either way: the entry's own value field, or
        // more than four bytes elsewhere.
        const unsigned long long sub = Read32(value);
        // A sub-directory needs room for its entry count at least.
        if (sub + 2 > exifLength) {
            ok = _fail("Illegal subdirectory link");
            return;
        }
        _directory(offsetBase, exifLength, sub, record, lastRefd, depth + 1, false);
        break;
    }
    default:
        break;
    }
}

void RasterExifInfo::_usercomment(BYTE* value, unsigned long long count, RasterExifRecord* record)
{
    // Trailing spaces become NULs.
    for (unsigned long long i = count; i-- > 0 && value[i] == ' ';)
        value[i] = 0;
    unsigned long long start = 0;
    if (count >= 5 && memcmp(value, "ASCII", 5) == 0) {
        start = count;  // nothing, unless a byte after the code starts the text
        for (unsigned long long i = 5; i < 10 && i < count; i++)
            if (value[i] != 0 && value[i] != ' ') {
                start = i;
                break;
            }
        if (start == count)
            return;
    }
    CopyText(record->szComments, 199, value + start, count - start);
}
