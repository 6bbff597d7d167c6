// Metafile handles: made from a copy of a metafile's bytes once its header
// has been checked, asked for their header and palette, and freed.
#include "metafile_bytes.h"
#include "metafile_internal.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace win32metafile {

namespace {

// The shortest enhanced-metafile header: every field up to szlMillimeters.
constexpr DWORD kMinEnhHeader = 88;
// A Windows metafile's header: 9 words.
constexpr WORD kWindowsHeaderWords = 9;
// The device a Windows metafile's made-up header describes: 96 pixels an inch.
constexpr LONG kScreenPixels[2] = {1024, 768};
constexpr LONG kScreenMm[2] = {271, 203};
constexpr int64_t kScreenDpi = 96;
constexpr int64_t kHimetricPerInch = 2540;
// Enhanced records are whole 32-bit words, so is the metafile.
constexpr UINT kEnhAlignment = 4;

struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, std::unique_ptr<Metafile>> metafiles;
    uintptr_t next = kMetafileHandleBase;
};

Registry& TheRegistry()
{
    static Registry r;
    return r;
}

HENHMETAFILE Add(std::unique_ptr<Metafile> m)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const uintptr_t h = ++r.next;
    r.metafiles[h] = std::move(m);
    return reinterpret_cast<HENHMETAFILE>(h);
}

RECTL ReadRect(const RecordBytes& b, size_t at)
{
    long v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; i++)
        b.S32(at + 4 * i, v[i]);
    return {(LONG)v[0], (LONG)v[1], (LONG)v[2], (LONG)v[3]};
}

SIZEL ReadSize(const RecordBytes& b, size_t at)
{
    long cx = 0, cy = 0;
    b.S32(at, cx);
    b.S32(at + 4, cy);
    return {(LONG)cx, (LONG)cy};
}

// The header record, field by field; fields past its size stay 0.
ENHMETAHEADER ReadHeader(const BYTE* p, DWORD size)
{
    const RecordBytes b(p, size);
    ENHMETAHEADER h = {};
    WORD w = 0;
    b.U32(0, h.iType);
    b.U32(4, h.nSize);
    h.rclBounds = ReadRect(b, 8);
    h.rclFrame = ReadRect(b, 24);
    b.U32(40, h.dSignature);
    b.U32(44, h.nVersion);
    b.U32(48, h.nBytes);
    b.U32(52, h.nRecords);
    if (b.U16(56, w))
        h.nHandles = w;
    if (b.U16(58, w))
        h.sReserved = w;
    b.U32(60, h.nDescription);
    b.U32(64, h.offDescription);
    b.U32(68, h.nPalEntries);
    h.szlDevice = ReadSize(b, 72);
    h.szlMillimeters = ReadSize(b, 80);
    b.U32(88, h.cbPixelFormat);
    b.U32(92, h.offPixelFormat);
    b.U32(96, h.bOpenGL);
    h.szlMicrometers = ReadSize(b, 100);
    return h;
}

// The palette of the end-of-file record: its entry count and their offset
// inside the record, each entry red, green, blue and flags.
void ReadPalette(Metafile& m)
{
    const RecordBytes file(m.bytes.data(), m.bytes.size());
    size_t at = 0;
    while (at < m.bytes.size()) {
        DWORD type = 0, size = 0;
        if (!file.U32(at, type) || !file.U32(at + 4, size) || size < 8 ||
            size > m.bytes.size() - at)
            return;
        if (type == EMR_EOF) {
            const RecordBytes rec(m.bytes.data() + at, size);
            DWORD count = 0, offset = 0;
            rec.U32(8, count);
            rec.U32(12, offset);
            if (count == 0 || count > size / 4 || !rec.Has(offset, (size_t)count * 4))
                return;
            for (DWORD i = 0; i < count; i++) {
                const BYTE* e = rec.Data() + offset + 4 * i;
                m.palette.push_back({e[0], e[1], e[2], e[3]});
            }
            return;
        }
        at += size;
    }
}

// Rounds a count of 0.01 mm to pixels of the reference device.
LONG HimetricToPixels(int64_t v)
{
    return (LONG)((v * kScreenDpi + kHimetricPerInch / 2) / kHimetricPerInch);
}

// The header an enhanced metafile of the same picture has. The frame is the
// picture's suggested size in 0.01 mm and the bounds its size in pixels of
// the reference device, both inclusive (right is left + width - 1). In the
// two scalable modes positive extents are that size; an isotropic picture
// keeps one scale on both axes, so its bounds keep the frame's shape, and
// when its extents only give a shape (negative) or nothing (zero) it takes
// the largest picture of that shape (square for none) on the device. Zero
// or missing extents otherwise, and the fixed modes, cover the device.
ENHMETAHEADER MadeUpHeader(const METAFILEPICT& pict, bool given, DWORD bytes, WORD objects)
{
    ENHMETAHEADER h = {};
    h.iType = EMR_HEADER;
    h.nSize = sizeof(ENHMETAHEADER);
    h.dSignature = ENHMETA_SIGNATURE;
    h.nVersion = 0x10000;
    h.nBytes = bytes;
    h.nHandles = (WORD)(objects < 0xFFFF ? objects + 1 : objects);
    h.szlDevice = {kScreenPixels[0], kScreenPixels[1]};
    h.szlMillimeters = {kScreenMm[0], kScreenMm[1]};

    const int64_t deviceX = (int64_t)kScreenMm[0] * 100, deviceY = (int64_t)kScreenMm[1] * 100;
    int64_t x = deviceX, y = deviceY;  // the frame's size in 0.01 mm
    const bool scalable = given && (pict.mm == MM_ISOTROPIC || pict.mm == MM_ANISOTROPIC);
    if (scalable && pict.xExt > 0 && pict.yExt > 0) {
        x = pict.xExt;
        y = pict.yExt;
    } else if (scalable && pict.mm == MM_ISOTROPIC) {
        // The shape only: |x| : |y|, or square.
        const int64_t rx = pict.xExt != 0 ? std::llabs(pict.xExt) : 1;
        const int64_t ry = pict.yExt != 0 ? std::llabs(pict.yExt) : 1;
        if (deviceX * ry <= deviceY * rx) {
            x = deviceX;
            y = deviceX * ry / rx;
        } else {
            y = deviceY;
            x = deviceY * rx / ry;
        }
    }
    const bool isotropic = scalable && pict.mm == MM_ISOTROPIC;
    h.rclFrame = {0, 0, (LONG)(x - 1), (LONG)(y - 1)};
    if (x == deviceX && y == deviceY) {
        h.rclBounds = {0, 0, kScreenPixels[0] - 1, kScreenPixels[1] - 1};
    } else {
        // An isotropic picture: both sides through one rounding of the
        // scale, so a square frame gives square bounds.
        const LONG px = std::max<LONG>(1, HimetricToPixels(x));
        const LONG py = isotropic && x == y ? px : std::max<LONG>(1, HimetricToPixels(y));
        h.rclBounds = {0, 0, px - 1, py - 1};
    }
    return h;
}

}  // namespace

const Metafile* Find(HENHMETAFILE handle)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.metafiles.find(reinterpret_cast<uintptr_t>(handle));
    return it == r.metafiles.end() ? nullptr : it->second.get();
}

}  // namespace win32metafile

using namespace win32metafile;

HENHMETAFILE WINAPI SetEnhMetaFileBits(UINT size, const BYTE* bits)
{
    if (bits == nullptr || size < kMinEnhHeader || size % kEnhAlignment != 0)
        return nullptr;
    const ENHMETAHEADER h = ReadHeader(bits, size);
    // The header record must be whole, and the metafile as long as it says.
    if (h.iType != EMR_HEADER || h.dSignature != ENHMETA_SIGNATURE || h.nSize < kMinEnhHeader ||
        h.nSize > size || h.nBytes < h.nSize || h.nBytes > size)
        return nullptr;
    std::unique_ptr<Metafile> m(new (std::nothrow) Metafile);
    if (!m)
        return nullptr;
    m->windows = false;
    m->header = h;
    m->bytes.assign(bits, bits + h.nBytes);
    if (h.nPalEntries != 0)
        ReadPalette(*m);
    return Add(std::move(m));
}

HENHMETAFILE WINAPI SetWinMetaFileBits(UINT size, const BYTE* bits, HDC, const METAFILEPICT* picture)
{
    if (bits == nullptr || size < 2u * kWindowsHeaderWords)
        return nullptr;
    const RecordBytes b(bits, size);
    WORD type = 0, headerWords = 0, objects = 0;
    DWORD words = 0;
    b.U16(0, type);
    b.U16(2, headerWords);
    b.U32(6, words);
    b.U16(10, objects);
    // 64-bit: the size in words never wraps when doubled.
    const uint64_t bytes = (uint64_t)words * 2;
    if ((type != 1 && type != 2) || headerWords != kWindowsHeaderWords ||
        bytes < 2u * kWindowsHeaderWords || bytes > size)
        return nullptr;
    std::unique_ptr<Metafile> m(new (std::nothrow) Metafile);
    if (!m)
        return nullptr;
    m->windows = true;
    m->bytes.assign(bits, bits + bytes);
    m->objects = objects;
    m->picture = picture != nullptr ? *picture : METAFILEPICT{MM_ANISOTROPIC, 0, 0, nullptr};

    m->header = MadeUpHeader(m->picture, picture != nullptr, (DWORD)bytes, objects);
    return Add(std::move(m));
}

UINT WINAPI GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, LPENHMETAHEADER header)
{
    const Metafile* m = Find(metafile);
    if (m == nullptr)
        return 0;
    if (header == nullptr)
        return sizeof(ENHMETAHEADER);
    const UINT n = size < sizeof(ENHMETAHEADER) ? size : (UINT)sizeof(ENHMETAHEADER);
    memcpy(header, &m->header, n);
    return n;
}

UINT WINAPI GetEnhMetaFilePaletteEntries(HENHMETAFILE metafile, UINT count, LPPALETTEENTRY entries)
{
    const Metafile* m = Find(metafile);
    if (m == nullptr)
        return GDI_ERROR;
    if (entries == nullptr)
        return (UINT)m->palette.size();
    const UINT n = count < m->palette.size() ? count : (UINT)m->palette.size();
    for (UINT i = 0; i < n; i++)
        entries[i] = m->palette[i];
    return n;
}

BOOL WINAPI DeleteEnhMetaFile(HENHMETAFILE metafile)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.metafiles.erase(reinterpret_cast<uintptr_t>(metafile)) != 0 ? TRUE : FALSE;
}
