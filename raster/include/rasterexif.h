// The camera record of a JPEG file and its reader: the marker sections at the
// head of the stream up to the start of scan, the APP1 "Exif" section (a TIFF
// structure in its own byte order), the first comment and the frame header.
//
// Every value is read only from inside the section it belongs to; offsets are
// computed in 64 bits, and no directory is read twice, so a damaged or
// hostile block ends the walk with a text instead of reading astray.
#pragma once

#include <vector>

#include "rasterfile.h"

// Text fields are NUL-terminated. The record is plain data: copies of it are
// independent, and it is zeroed when made.
struct RasterExifRecord {
    char szVersion[5];
    char szCameraMake[32];
    char szCameraModel[40];
    char szDateTime[20];
    int nHeight;               // frame header: picture height
    int nWidth;                // frame header: picture width
    int nOrientation;          // 1..8, else 0
    int bIsColor;              // the frame has three components
    int nProcess;              // the frame marker code, 0xC0..0xCF
    int bFlashUsed;
    float fFocalLength;        // millimetres
    float fExposureTime;       // seconds
    float fApertureFNumber;
    float fDistance;
    float fCCDWidth;           // sensor width in inches, when it can be worked out
    float fExposureBias;
    int nLightSource;
    int nMeteringMode;
    int nExposureProgram;
    int nISOequivalent;
    int nCompressionLevel;
    float fFocalplaneXRes;
    float fFocalplaneYRes;
    float fFocalplaneUnits;    // a unit factor (see below)
    float fXResolution;
    float fYResolution;
    float fResolutionUnit;     // a unit factor: 1 inch, 1/2.54 cm, 1/25.4 mm, 1/25400 um
    float fBrightness;
    char szComments[1000];
    // The embedded thumbnail inside the reader's copy of the section; null
    // once the reader that found it is gone.
    BYTE* pThumbnail;
    DWORD dwThumbnailSize;
    bool bIsExif;              // an APP1 "Exif" section was read successfully
};

class RASTER_API RasterExifInfo {
public:
    static constexpr int kMaxSections = 20;

    struct Section {
        BYTE* pData;  // the section from its two length bytes on
        int nType;    // marker code
        int nSize;    // the length field's value
    };

    // Fills `record`, or a record of its own when it is null.
    explicit RasterExifInfo(RasterExifRecord* record = NULL);
    ~RasterExifInfo();
    RasterExifInfo(const RasterExifInfo&) = delete;
    RasterExifInfo& operator=(const RasterExifInfo&) = delete;

    // Walks the sections from the start of the stream to the start of scan;
    // true when it got there.
    bool ReadSections(RasterFile* fp);
    // An APP1 payload: `data` follows the two length bytes and `length` is
    // the length field's value, so `data` holds length - 2 bytes.
    bool ReadExifSection(BYTE* data, unsigned length);
    // One directory at `dir` and the directories it links to; offsetBase and
    // exifLength bound the TIFF structure.
    bool ReadExifDirectory(BYTE* dir, BYTE* offsetBase, unsigned exifLength,
                           RasterExifRecord* record, BYTE** lastRefd);
    // Values in the block's byte order.
    double ConvertValue(BYTE* value, int format);
    int Read16(BYTE* p);
    long Read32Signed(BYTE* p);
    unsigned long Read32(BYTE* p);
    static int Read16BigEndian(BYTE* p);
    // A COM section and a frame header section, from their length bytes on.
    void ReadComment(BYTE* data, int length);
    void ReadFrameHeader(BYTE* data, int marker);

    RasterExifRecord* GetRecord() const { return pRecord; }
    const char* GetLastError() const { return szLastError; }
    int GetSectionCount() const { return nSectionsRead; }
    const Section& GetSection(int i) const { return sections[i]; }

protected:
    RasterExifRecord* pRecord;
    char szLastError[256];
    int nExifImageWidth;
    int bMotorolaOrder;
    Section sections[kMaxSections];
    int nSectionsRead;
    bool bOwnsRecord;

private:
    bool _fail(const char* text);
    void _drop(int index);
    // Reads the directory at `offset` from offsetBase (depth: how many
    // directories lead to it; thumbnail: it is reached through a
    // next-directory link, so only the thumbnail's place is read from it).
    bool _directory(BYTE* offsetBase, unsigned long long exifLength, unsigned long long offset,
                    RasterExifRecord* record, BYTE** lastRefd, int depth, bool thumbnail);
    void _entry(BYTE* entry, BYTE* offsetBase, unsigned long long exifLength,
                RasterExifRecord* record, BYTE** lastRefd, int depth, bool thumbnail, bool& ok);
    void _usercomment(BYTE* value, unsigned long long count, RasterExifRecord* record);

    std::vector<unsigned long long> m_visited;  // directory offsets already read
    unsigned long long m_thumbOffset = 0;
    unsigned long long m_thumbSize = 0;
    bool m_sawComment = false;  // only the first COM section is read
};
