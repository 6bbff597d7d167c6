// Metafile handles: which bytes make one, what the header and palette calls
// hand back, and freeing.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "metafile_builder.h"

namespace {

HENHMETAFILE Enh(const std::vector<uint8_t>& b)
{
    return SetEnhMetaFileBits(UINT(b.size()), b.data());
}

HENHMETAFILE Win(const std::vector<uint8_t>& b)
{
    return SetWinMetaFileBits(UINT(b.size()), b.data(), nullptr, nullptr);
}

void Patch32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

TEST(MetafileHandles, EnhancedHeaderIsCheckedFieldByField)
{
    EmfBuilder good(0, 0, 9, 9);
    good.Rectangle(0, 0, 5, 5);
    const std::vector<uint8_t> ok = good.Bytes();
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
    } cases[] = {
        {"record type", [](std::vector<uint8_t>& b) { Patch32(b, 0, 2); }},
        {"signature", [](std::vector<uint8_t>& b) { b[40] = 'X'; }},
        {"header size below 88", [](std::vector<uint8_t>& b) { Patch32(b, 4, 84); }},
        {"header size past the data",
         [](std::vector<uint8_t>& b) { Patch32(b, 4, uint32_t(b.size() + 4)); }},
        {"metafile longer than the data",
         [](std::vector<uint8_t>& b) { Patch32(b, 48, uint32_t(b.size() + 1)); }},
        {"metafile shorter than its header", [](std::vector<uint8_t>& b) { Patch32(b, 48, 100); }},
        {"cut inside the header", [](std::vector<uint8_t>& b) { b.resize(87); }},
        {"cut after the header", [](std::vector<uint8_t>& b) { b.resize(b.size() - 4); }},
        // An enhanced metafile is whole 32-bit words: a size between two is
        // refused even when the header's own size fits in it.
        {"size not whole words", [](std::vector<uint8_t>& b) { b.resize(b.size() + 2); }},
    };
    HENHMETAFILE h = Enh(ok);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(DeleteEnhMetaFile(h));
    for (const Case& c : cases) {
        std::vector<uint8_t> b = ok;
        c.spoil(b);
        EXPECT_EQ(Enh(b), nullptr) << c.name;
    }
    EXPECT_EQ(SetEnhMetaFileBits(200, nullptr), nullptr);
    // Whole words past the metafile's end are left out, not refused.
    std::vector<uint8_t> padded = ok;
    padded.resize(ok.size() + 8);
    h = Enh(padded);
    EXPECT_NE(h, nullptr);
    DeleteEnhMetaFile(h);
}

TEST(MetafileHandles, WindowsHeaderIsChecked)
{
    WmfBuilder good;
    good.Rectangle(0, 0, 5, 5);
    const std::vector<uint8_t> ok = good.Bytes();
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
    } cases[] = {
        {"type 0", [](std::vector<uint8_t>& b) { b[0] = 0; }},
        {"type 3", [](std::vector<uint8_t>& b) { b[0] = 3; }},
        {"header of 8 words", [](std::vector<uint8_t>& b) { b[2] = 8; }},
        {"size past the data", [](std::vector<uint8_t>& b) { Patch32(b, 6, uint32_t(b.size() / 2 + 1)); }},
        {"size near 2^32 words", [](std::vector<uint8_t>& b) { Patch32(b, 6, 0xFFFFFFFF); }},
        {"size below the header", [](std::vector<uint8_t>& b) { Patch32(b, 6, 8); }},
        {"size 0", [](std::vector<uint8_t>& b) { Patch32(b, 6, 0); }},
        {"cut inside the header", [](std::vector<uint8_t>& b) { b.resize(17); }},
    };
    HENHMETAFILE h = Win(ok);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(DeleteEnhMetaFile(h));
    for (const Case& c : cases) {
        std::vector<uint8_t> b = ok;
        c.spoil(b);
        EXPECT_EQ(Win(b), nullptr) << c.name;
    }
}

TEST(MetafileHandles, HeaderComesBackAsStored)
{
    EmfBuilder b(3, 4, 52, 41, 7);
    b.Rectangle(3, 4, 10, 10);
    const std::vector<uint8_t> bytes = b.Bytes();
    HENHMETAFILE h = Enh(bytes);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetEnhMetaFileHeader(h, 0, nullptr), 108u);
    ENHMETAHEADER hd;
    memset(&hd, 0xAB, sizeof(hd));
    ASSERT_EQ(GetEnhMetaFileHeader(h, sizeof(hd), &hd), 108u);
    EXPECT_EQ(hd.iType, 1u);
    EXPECT_EQ(hd.nSize, 108u);
    EXPECT_EQ(hd.rclBounds.left, 3);
    EXPECT_EQ(hd.rclBounds.top, 4);
    EXPECT_EQ(hd.rclBounds.right, 52);
    EXPECT_EQ(hd.rclBounds.bottom, 41);
    EXPECT_EQ(hd.rclFrame.right, 52 * 3125 / 100);
    EXPECT_EQ(hd.dSignature, DWORD(ENHMETA_SIGNATURE));
    EXPECT_EQ(hd.nBytes, bytes.size());
    EXPECT_EQ(hd.nRecords, 3u);
    EXPECT_EQ(hd.nHandles, 7);
    EXPECT_EQ(hd.szlDevice.cx, 1024);
    EXPECT_EQ(hd.szlMillimeters.cy, 240);
    EXPECT_EQ(hd.szlMicrometers.cx, 320000);
    // A shorter buffer takes the first bytes only.
    ENHMETAHEADER part;
    memset(&part, 0xAB, sizeof(part));
    EXPECT_EQ(GetEnhMetaFileHeader(h, 8, &part), 8u);
    EXPECT_EQ(part.nSize, 108u);
    EXPECT_EQ(part.rclBounds.left, LONG(0xABABABAB));
    EXPECT_TRUE(DeleteEnhMetaFile(h));
    EXPECT_EQ(GetEnhMetaFileHeader(h, sizeof(hd), &hd), 0u);
}

TEST(MetafileHandles, PaletteOfTheEndRecord)
{
    EmfBuilder b(0, 0, 9, 9);
    b.Palette({0x00030201, 0x00060504, 0x00090807});
    HENHMETAFILE h = Enh(b.Bytes());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 0, nullptr), 3u);
    PALETTEENTRY e[4] = {};
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 2, e), 2u);
    EXPECT_EQ(e[1].peRed, 4);
    EXPECT_EQ(e[1].peGreen, 5);
    EXPECT_EQ(e[1].peBlue, 6);
    EXPECT_EQ(e[2].peRed, 0);  // not asked for
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 4, e), 3u);
    EXPECT_EQ(e[2].peBlue, 9);
    DeleteEnhMetaFile(h);
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 0, nullptr), UINT(GDI_ERROR));

    EmfBuilder none(0, 0, 9, 9);
    h = Enh(none.Bytes());
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 0, nullptr), 0u);
    DeleteEnhMetaFile(h);
}

TEST(MetafileHandles, WindowsMetafileHeaderIsMadeUpFromThePicture)
{
    WmfBuilder b(5);
    const std::vector<uint8_t> bytes = b.Bytes();
    const METAFILEPICT pict = {MM_ANISOTROPIC, 2540, 1270, nullptr};
    HENHMETAFILE h = SetWinMetaFileBits(UINT(bytes.size()), bytes.data(), nullptr, &pict);
    ASSERT_NE(h, nullptr);
    ENHMETAHEADER hd;
    ASSERT_EQ(GetEnhMetaFileHeader(h, sizeof(hd), &hd), 108u);
    EXPECT_EQ(hd.nHandles, 6);
    EXPECT_EQ(hd.nBytes, bytes.size());
    EXPECT_EQ(GetEnhMetaFilePaletteEntries(h, 0, nullptr), 0u);
    EXPECT_TRUE(DeleteEnhMetaFile(h));
    EXPECT_FALSE(DeleteEnhMetaFile(h));
    EXPECT_FALSE(DeleteEnhMetaFile(nullptr));
}

TEST(MetafileHandles, WindowsMetafileFrameAndBoundsFollowThePicture)
{
    // The reference device is 1024 x 768 pixels on 271 x 203 mm at 96 dpi.
    // Frame (0.01 mm) and bounds (pixels) are inclusive: an inch wide picture
    // has frame right 2539 and bounds right 95.
    struct Row {
        const char* name;
        bool given;
        LONG mm, x, y;
        LONG frameRight, frameBottom, boundsRight, boundsBottom;
    } rows[] = {
        {"anisotropic inch by half inch", true, MM_ANISOTROPIC, 2540, 1270, 2539, 1269, 95, 47},
        {"anisotropic without a size covers the device", true, MM_ANISOTROPIC, 0, 0, 27099, 20299,
         1023, 767},
        {"anisotropic with negative extents", true, MM_ANISOTROPIC, -5, -5, 27099, 20299, 1023,
         767},
        {"no picture at all", false, 0, 0, 0, 27099, 20299, 1023, 767},
        {"a fixed mode ignores the extents", true, MM_TEXT, 2540, 2540, 27099, 20299, 1023, 767},
        {"isotropic square stays square", true, MM_ISOTROPIC, 3000, 3000, 2999, 2999, 112, 112},
        // Without a size an isotropic picture is the largest square the
        // device holds.
        {"isotropic without a size", true, MM_ISOTROPIC, 0, 0, 20299, 20299, 766, 766},
        // Negative extents give the shape only, two across for one down.
        {"isotropic shape only", true, MM_ISOTROPIC, -2, -1, 27099, 13549, 1023, 511},
    };
    WmfBuilder b;
    const std::vector<uint8_t> bytes = b.Bytes();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const METAFILEPICT pict = {r.mm, r.x, r.y, nullptr};
        HENHMETAFILE h = SetWinMetaFileBits(UINT(bytes.size()), bytes.data(), nullptr,
                                            r.given ? &pict : nullptr);
        ASSERT_NE(h, nullptr);
        ENHMETAHEADER hd;
        ASSERT_EQ(GetEnhMetaFileHeader(h, sizeof(hd), &hd), 108u);
        EXPECT_EQ(hd.rclFrame.left, 0);
        EXPECT_EQ(hd.rclFrame.top, 0);
        EXPECT_EQ(hd.rclFrame.right, r.frameRight);
        EXPECT_EQ(hd.rclFrame.bottom, r.frameBottom);
        EXPECT_EQ(hd.rclBounds.left, 0);
        EXPECT_EQ(hd.rclBounds.top, 0);
        EXPECT_EQ(hd.rclBounds.right, r.boundsRight);
        EXPECT_EQ(hd.rclBounds.bottom, r.boundsBottom);
        EXPECT_EQ(hd.szlDevice.cx, 1024);
        EXPECT_EQ(hd.szlMillimeters.cy, 203);
        DeleteEnhMetaFile(h);
    }
}

}  // namespace
