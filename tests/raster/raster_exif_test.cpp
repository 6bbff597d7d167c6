// The EXIF reader: camera records from hand-made blocks in both byte orders,
// comments, frame headers and the section walk, and damaged blocks
// (truncated, looping, oversize) that end with a text while the picture
// still decodes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <raster.h>
#include "jpeg_maker.h"
#include "magick.h"
#include "test_files.h"

namespace {

// A JPEG with the given APP1 payload; decoded through the codec class, which
// reads the record first.
Bytes JpegWithApp1(const Bytes& app1, bool progressive = false)
{
    JpegRecipe r;
    r.progressive = progressive;
    r.markers.push_back({JPEG_APP0 + 1, app1});
    return MakeJpeg(r);
}

bool DecodeJpg(RasterImageJPG& img, const Bytes& jpg)
{
    RasterMemFile file(const_cast<BYTE*>(jpg.data()), DWORD(jpg.size()));
    return img.Decode(&file);
}

// The full camera block: a main directory with an EXIF sub-directory and a
// thumbnail directory after it.
Bytes CameraBlock(bool bigEndian)
{
    ExifWriter w(bigEndian);
    const uint32_t main = w.AddDirectory({
        w.Ascii(271, "Kestrel Optics"),
        w.Ascii(272, "K-100 with a model name longer than thirty-nine characters"),
        w.ShortTag(274, 6),
        w.RationalTag(282, 300, 1),
        w.RationalTag(283, 150, 1),
        w.ShortTag(296, 2),
        w.LongTag(34665, 0),  // patched below
    });
    const Bytes comment = [] {
        Bytes c = {'A', 'S', 'C', 'I', 'I', 0, 0, 0};
        for (char ch : std::string("Hello   "))
            c.push_back(uint8_t(ch));
        return c;
    }();
    const uint32_t sub = w.AddDirectory({
        w.RationalTag(33434, 1, 250),
        w.RationalTag(33437, 28, 10),
        w.ShortTag(34855, 4),
        w.Ascii(36867, "2026:12:07 11:30:00"),
        w.Undefined(36864, ExifWriter::Text("0230", false)),
        w.ShortTag(37385, 0x19),
        {37386, 11, 1, w.Long(0x420C0000)},  // a FLOAT (35.0) in the block's byte order
        w.RationalTag(37380, -2, 3, 10),
        w.ShortTag(37383, 5),
        w.ShortTag(37384, 4),
        w.ShortTag(34850, 2),
        w.Undefined(37510, comment),
        w.LongTag(40962, 3000),
        w.LongTag(40963, 2000),
        w.RationalTag(41486, 1000, 1),
        w.ShortTag(41488, 3),
    });
    w.Patch32(ExifWriter::ValueAt(main, 6), sub);
    const Bytes thumb = {0xFF, 0xD8, 0xFF, 0xD9};
    const uint32_t thumbAt = w.Size() + 2 + 2 * 12 + 4;
    const uint32_t ifd1 = w.AddDirectory({w.LongTag(513, thumbAt), w.LongTag(514, uint32_t(thumb.size()))});
    w.Append(thumb);
    w.Patch32(ExifWriter::LinkAt(main, 7), ifd1);
    return w.Payload();
}

TEST(RasterExif, CameraRecordInBothByteOrders)
{
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "MM" : "II");
        RasterImageJPG img;
        ASSERT_TRUE(DecodeJpg(img, JpegWithApp1(CameraBlock(bigEndian))));
        const RasterExifRecord& e = img.ExifRecord;
        EXPECT_TRUE(e.bIsExif);
        EXPECT_STREQ(e.szCameraMake, "Kestrel Optics");
        EXPECT_STREQ(e.szCameraModel, "K-100 with a model name longer than thi");  // 39 characters
        EXPECT_EQ(e.nOrientation, 6);
        EXPECT_STREQ(e.szDateTime, "2026:12:07 11:30:00");
        EXPECT_STREQ(e.szVersion, "0230");
        EXPECT_FLOAT_EQ(e.fExposureTime, 0.004f);
        EXPECT_FLOAT_EQ(e.fApertureFNumber, 2.8f);
        EXPECT_EQ(e.nISOequivalent, 800);
        EXPECT_EQ(e.bFlashUsed, 1);
        EXPECT_FLOAT_EQ(e.fFocalLength, 35.0f);
        EXPECT_FLOAT_EQ(e.fExposureBias, -2.0f / 3.0f);
        EXPECT_EQ(e.nMeteringMode, 5);
        EXPECT_EQ(e.nLightSource, 4);
        EXPECT_EQ(e.nExposureProgram, 2);
        EXPECT_STREQ(e.szComments, "Hello");
        EXPECT_FLOAT_EQ(e.fXResolution, 300.0f);
        EXPECT_FLOAT_EQ(e.fYResolution, 150.0f);
        EXPECT_FLOAT_EQ(e.fResolutionUnit, 1.0f);
        EXPECT_FLOAT_EQ(e.fFocalplaneUnits, 0.3937008f);
        // 3000 pixels at 1000 per centimetre: 3 mm.
        EXPECT_NEAR(e.fCCDWidth, 3000 * 0.3937008 / 1000, 1e-6);
        EXPECT_EQ(e.dwThumbnailSize, 4u);  // found in the directory after the main one
        EXPECT_EQ(e.nWidth, 37);
        EXPECT_EQ(e.nHeight, 29);
        EXPECT_EQ(e.bIsColor, 1);
        EXPECT_EQ(e.nProcess, 0xC0);
        EXPECT_EQ(img.GetXDPI(), 300);
        EXPECT_EQ(img.GetYDPI(), 150);
    }
}

TEST(RasterExif, ApexValuesOnlyWhereTheDirectValuesAreMissing)
{
    ExifWriter w(true);
    w.AddDirectory({w.RationalTag(37377, 8, 1, 10), w.RationalTag(37378, 4, 1), w.RationalTag(37381, 6, 1)});
    RasterImageJPG img;
    ASSERT_TRUE(DecodeJpg(img, JpegWithApp1(w.Payload())));
    EXPECT_FLOAT_EQ(img.ExifRecord.fExposureTime, 1.0f / 256);
    EXPECT_FLOAT_EQ(img.ExifRecord.fApertureFNumber, 4.0f);  // the first of the two wins
}

TEST(RasterExif, CommentsAndFrameHeaders)
{
    JpegRecipe r;
    r.progressive = true;
    r.components = 1;
    r.input = JCS_GRAYSCALE;
    r.markers.push_back({JPEG_COM, {'a', '\r', '\n', 'b', 0x01, '\r'}});
    r.markers.push_back({JPEG_COM, {'s', 'e', 'c', 'o', 'n', 'd'}});
    RasterImageJPG img;
    ASSERT_TRUE(DecodeJpg(img, MakeJpeg(r)));
    EXPECT_FALSE(img.ExifRecord.bIsExif);
    EXPECT_STREQ(img.ExifRecord.szComments, "a\nb??");
    EXPECT_EQ(img.ExifRecord.nProcess, 0xC2);
    EXPECT_EQ(img.ExifRecord.bIsColor, 0);

    // A long comment keeps 998 characters.
    JpegRecipe longer;
    longer.markers.push_back({JPEG_COM, Bytes(1500, 'x')});
    ASSERT_TRUE(DecodeJpg(img, MakeJpeg(longer)));
    EXPECT_EQ(strlen(img.ExifRecord.szComments), 998u);
}

TEST(RasterExif, OrientationOutOfRangeIsDropped)
{
    ExifWriter w(false);
    w.AddDirectory({w.ShortTag(274, 9), w.Ascii(271, "After")});
    Bytes payload = w.Payload();
    RasterExifInfo reader;
    ASSERT_TRUE(reader.ReadExifSection(payload.data(), unsigned(payload.size() + 2)));
    EXPECT_EQ(reader.GetRecord()->nOrientation, 0);
    EXPECT_STREQ(reader.GetLastError(), "Undefined rotation value");
    EXPECT_STREQ(reader.GetRecord()->szCameraMake, "After");  // the walk went on
}

TEST(RasterExif, SectionWalk)
{
    const Bytes soi = {0xFF, 0xD8};
    auto stream = [&](const std::vector<Bytes>& sections) {
        Bytes s = soi;
        for (const Bytes& b : sections)
            s.insert(s.end(), b.begin(), b.end());
        return s;
    };
    const Bytes sos = Section(0xDA, {1, 1, 0, 0, 63, 0});
    const Bytes app0 = Section(0xE0, {'J', 'F', 'I', 'F', 0});
    const Bytes other = Section(0xE2, {1, 2, 3});
    const struct {
        const char* name;
        Bytes data;
        bool result;
        const char* text;
        int kept;
    } cases[] = {
        {"to the scan", stream({app0, other, sos}), true, "", 2},
        {"padding before a marker", stream({{0xFF, 0xFF, 0xFF}, other, sos}), true, "", 2},
        {"too much padding", stream({Bytes(8, 0xFF)}), false, "too many padding bytes", 0},
        {"end of image", stream({other, {0xFF, 0xD9, 0, 2}}), false, "No image in jpeg!", 2},
        {"length below 2", stream({{0xFF, 0xE3, 0, 1}}), false, "invalid marker", 0},
        {"cut section", stream({{0xFF, 0xE3, 0, 9, 1, 2}}), false, "Premature end of file?", 0},
        {"cut marker", stream({other, {0xFF}}), false, "Premature end of file?", 1},
        {"twenty-one kept", stream(std::vector<Bytes>(21, other)), false,
         "Too many sections in jpg file", 20},
        {"dropped ones do not count", stream([&] {
             std::vector<Bytes> v(19, other);
             v.insert(v.end(), 10, app0);
             v.push_back(sos);
             return v;
         }()), true, "", 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RasterMemFile file(const_cast<BYTE*>(c.data.data()), DWORD(c.data.size()));
        RasterExifInfo reader;
        EXPECT_EQ(reader.ReadSections(&file), c.result);
        EXPECT_STREQ(reader.GetLastError(), c.text);
        EXPECT_EQ(reader.GetSectionCount(), c.kept);
    }

    // Not a JPEG: false, and the record is left as it was.
    RasterExifRecord record;
    memset(&record, 0x5A, sizeof(record));
    const Bytes png = {0x89, 'P', 'N', 'G'};
    RasterMemFile file(const_cast<BYTE*>(png.data()), DWORD(png.size()));
    RasterExifInfo reader(&record);
    EXPECT_FALSE(reader.ReadSections(&file));
    EXPECT_EQ(record.nWidth, 0x5A5A5A5A);
}

TEST(RasterExif, DecodeExifPutsTheStreamBack)
{
    const Bytes jpg = JpegWithApp1(CameraBlock(false));
    Bytes withPrefix(100, 0);
    withPrefix.insert(withPrefix.end(), jpg.begin(), jpg.end());
    RasterMemFile file(withPrefix.data(), DWORD(withPrefix.size()));
    file.Seek(100, SEEK_SET);
    RasterImageJPG img;
    EXPECT_TRUE(img.DecodeExif(&file));
    EXPECT_EQ(file.Tell(), 100);
    EXPECT_STREQ(img.ExifRecord.szCameraMake, "Kestrel Optics");
}

// Damaged blocks: each ends the EXIF read with its text, and the picture
// decodes all the same.
TEST(RasterExif, DamagedBlocksEndTheReadNotTheDecode)
{
    const Bytes header = {'E', 'x', 'i', 'f', 0, 0};
    auto raw = [&](const Bytes& tiff) {
        Bytes p = header;
        p.insert(p.end(), tiff.begin(), tiff.end());
        return p;
    };
    // Little-endian TIFF header with the first directory at 8.
    const Bytes ii = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto withBody = [&](const Bytes& body) {
        Bytes t = ii;
        t.insert(t.end(), body.begin(), body.end());
        return raw(t);
    };

    ExifWriter selfLoop(false);
    selfLoop.AddDirectory({selfLoop.Ascii(271, "Looped")}, 8);
    ExifWriter subLoop(true);
    const uint32_t main = subLoop.AddDirectory({subLoop.LongTag(34665, 8), subLoop.ShortTag(274, 3)});
    (void)main;
    ExifWriter twoLoop(false);
    const uint32_t first = twoLoop.AddDirectory({twoLoop.ShortTag(274, 2)});
    const uint32_t second = twoLoop.AddDirectory({twoLoop.ShortTag(296, 2)}, first);
    twoLoop.Patch32(ExifWriter::LinkAt(first, 1), second);
    ExifWriter chain(false);  // a long chain of empty directories
    uint32_t prev = chain.AddDirectory({});
    for (int i = 0; i < 200; i++) {
        const uint32_t next = chain.AddDirectory({});
        chain.Patch32(ExifWriter::LinkAt(prev, 0), next);
        prev = next;
    }
    ExifWriter subAtEnd(false);
    const uint32_t d = subAtEnd.AddDirectory({subAtEnd.LongTag(34665, 0)});
    subAtEnd.Patch32(ExifWriter::ValueAt(d, 0), subAtEnd.Size());
    ExifWriter hugeCount(false);
    hugeCount.AddDirectory({{282, 5, 0xFFFFFFFFu, hugeCount.Long(8)}});
    ExifWriter pastEnd(false);
    pastEnd.AddDirectory({{271, 2, 40, pastEnd.Long(0xFFFFFFF0u)}});
    ExifWriter badFormat(true);
    badFormat.AddDirectory({{271, 13, 1, badFormat.Long(0)}});
    ExifWriter emptyRational(false);
    emptyRational.AddDirectory({{282, 5, 0, emptyRational.Long(0)}, emptyRational.ShortTag(274, 8)});

    const struct {
        const char* name;
        Bytes payload;
        bool exif;
        const char* text;
    } cases[] = {
        {"header only", header, false, "Invalid Exif alignment marker."},
        {"four bytes", Bytes(header.begin(), header.begin() + 4), false, "Incorrect Exif header"},
        {"no Exif tag", {'E', 'x', 'i', 'x', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}, false, ""},
        {"bad byte order", raw({'I', 'M', 42, 0, 8, 0, 0, 0}), false, "Invalid Exif alignment marker."},
        {"not 42", raw({'M', 'M', 0, 43, 0, 0, 0, 8}), false, "Invalid Exif start (1)"},
        {"no directory", raw(ii), false, "Illegally sized directory"},
        {"count past the end", withBody({5, 0, 1, 2}), false, "Illegally sized directory"},
        {"directory without link", withBody({1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 3, 0, 0, 0}), true, ""},
        {"value past the end", pastEnd.Payload(), false, "Illegal pointer offset value in EXIF."},
        {"oversize count", hugeCount.Payload(), false, "Illegal pointer offset value in EXIF."},
        {"bad format", badFormat.Payload(), false, "Illegal format code in EXIF dir"},
        {"sub-directory at the very end", subAtEnd.Payload(), false, "Illegal subdirectory link"},
        {"next link to itself", selfLoop.Payload(), true, "Illegal subdirectory link"},
        {"sub-directory back to the main one", subLoop.Payload(), true, "Illegal subdirectory link"},
        {"two directories linking each other", twoLoop.Payload(), true, "Illegal subdirectory link"},
        {"a long chain", chain.Payload(), true, "Illegal subdirectory link"},
        {"a rational without components", emptyRational.Payload(), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes copy = c.payload;
        RasterExifInfo reader;
        if (c.payload.size() >= 4 && memcmp(c.payload.data(), "Exif", 4) == 0) {
            EXPECT_EQ(reader.ReadExifSection(copy.data(), unsigned(copy.size() + 2)), c.exif);
            EXPECT_STREQ(reader.GetLastError(), c.text);
        }
        RasterImageJPG img;
        ASSERT_TRUE(DecodeJpg(img, JpegWithApp1(c.payload)));
        EXPECT_EQ(img.ExifRecord.bIsExif, c.exif);
        EXPECT_EQ(img.GetWidth(), 37u);
        EXPECT_EQ(img.GetHeight(), 29u);
    }
}

TEST(RasterExif, LoopsKeepWhatWasReadBeforeThem)
{
    ExifWriter w(true);
    const uint32_t main = w.AddDirectory({w.Ascii(271, "Loop"), w.LongTag(34665, 8), w.ShortTag(274, 5)}, 8);
    (void)main;
    RasterImageJPG img;
    ASSERT_TRUE(DecodeJpg(img, JpegWithApp1(w.Payload(), true)));
    EXPECT_TRUE(img.ExifRecord.bIsExif);
    EXPECT_STREQ(img.ExifRecord.szCameraMake, "Loop");
    EXPECT_EQ(img.ExifRecord.nOrientation, 5);
}

TEST(RasterExif, FirstDirectoryAfterOffsetEight)
{
    // An empty directory at 8 (as the walk always reads there) and the real
    // one at 14, where the header points.
    for (bool bigEndian : {false, true}) {
        ExifWriter w(bigEndian);
        w.Append({0, 0, 0, 0, 0, 0});
        const uint32_t main = w.AddDirectory({w.Ascii(271, "Fourteen")});
        w.Patch32(4, main);
        Bytes payload = w.Payload();
        RasterExifInfo reader;
        EXPECT_TRUE(reader.ReadExifSection(payload.data(), unsigned(payload.size() + 2)));
        EXPECT_STREQ(reader.GetRecord()->szCameraMake, "Fourteen");
    }
}

// A thumbnail offset or length written as a float may be anything: huge,
// negative or not a number. None of them points a thumbnail anywhere, and
// none is converted out of range (the sanitizer build checks).
TEST(RasterExif, ThumbnailPlacesFromFloatsOutOfRange)
{
    const uint32_t kHuge = 0x7149F2CA, kNegative = 0xC0A00000, kNaN = 0x7FC00000;
    for (uint32_t offset : {kHuge, kNegative, kNaN})
        for (uint32_t length : {kHuge, kNegative, kNaN}) {
            ExifWriter w(false);
            const uint32_t main = w.AddDirectory({w.ShortTag(274, 1)});
            const uint32_t ifd1 = w.AddDirectory({{513, 11, 1, w.Long(offset)}, {514, 11, 1, w.Long(length)}});
            w.Patch32(ExifWriter::LinkAt(main, 1), ifd1);
            Bytes payload = w.Payload();
            RasterExifInfo reader;
            reader.ReadExifSection(payload.data(), unsigned(payload.size() + 2));
            EXPECT_EQ(reader.GetRecord()->pThumbnail, nullptr);
        }
}

// The thumbnail's directory (after the main one) carries its own
// orientation and resolution; the picture's stay those of the main
// directory, or none where the main directory has none. exiftool, where
// installed, reads the main directory's values from the same file.
TEST(RasterExif, ThumbnailDirectoryLeavesThePictureAlone)
{
    struct Row {
        const char* name;
        bool bigEndian;
        bool mainHasValues;
    };
    const Row rows[] = {
        {"little-endian", false, true},
        {"big-endian", true, true},
        {"main directory without the tags", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExifWriter w(row.bigEndian);
        std::vector<ExifWriter::Entry> mainTags = {w.Ascii(271, "Main")};
        if (row.mainHasValues) {
            mainTags.push_back(w.ShortTag(274, 1));
            mainTags.push_back(w.RationalTag(282, 300, 1));
            mainTags.push_back(w.RationalTag(283, 300, 1));
            mainTags.push_back(w.ShortTag(296, 2));
        }
        const uint32_t main = w.AddDirectory(mainTags);
        const Bytes thumb = {0xFF, 0xD8, 0xFF, 0xD9};
        const uint32_t thumbAt = w.Size() + 2 + 7 * 12 + 4 + 2 * 8;
        const uint32_t ifd1 = w.AddDirectory({
            w.Ascii(271, "Tmb"),  // four bytes: held in the entry itself
            w.ShortTag(274, 8),
            w.RationalTag(282, 1, 1),
            w.RationalTag(283, 1, 1),
            w.ShortTag(296, 3),
            w.LongTag(513, thumbAt),
            w.LongTag(514, uint32_t(thumb.size())),
        });
        ASSERT_EQ(w.Size(), thumbAt);
        w.Append(thumb);
        w.Patch32(ExifWriter::LinkAt(main, uint32_t(mainTags.size())), ifd1);
        const Bytes jpg = JpegWithApp1(w.Payload());

        RasterExifRecord record = {};
        RasterExifInfo reader(&record);
        Bytes payload = w.Payload();
        ASSERT_TRUE(reader.ReadExifSection(payload.data(), unsigned(payload.size() + 2)));
        EXPECT_STREQ(record.szCameraMake, "Main");
        EXPECT_EQ(record.nOrientation, row.mainHasValues ? 1 : 0);
        EXPECT_EQ(record.fXResolution, row.mainHasValues ? 300.0f : 0.0f);
        EXPECT_EQ(record.fYResolution, row.mainHasValues ? 300.0f : 0.0f);
        EXPECT_EQ(record.fResolutionUnit, row.mainHasValues ? 1.0f : 0.0f);
        EXPECT_EQ(record.dwThumbnailSize, thumb.size());

        if (row.mainHasValues) {
            RasterImageJPG img;
            ASSERT_TRUE(DecodeJpg(img, jpg));
            EXPECT_EQ(img.GetXDPI(), 300);
            EXPECT_EQ(img.GetYDPI(), 300);
        }
        if (!HaveTool("exiftool -ver"))
            continue;
        TempDir tmp("kestrel-exif-");
        WriteFile(tmp.Path("camera.jpg"), jpg);
        const std::string out = tmp.Path("tags.txt");
        ASSERT_TRUE(
            RunQuiet("exiftool -n -s3 -IFD0:Orientation -IFD0:XResolution -IFD0:YResolution " +
                     tmp.Path("camera.jpg") + " > " + out));
        const Bytes text = ReadFile(out);
        const std::string expected = row.mainHasValues ? "1\n300\n300\n" : "";
        EXPECT_EQ(std::string(text.begin(), text.end()), expected);
    }
}

}  // namespace
