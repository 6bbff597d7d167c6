// kpc, the engine's own picture file: its reader, its two writers and the
// run-length coded transparency mask.
//
// A file is a run of chunks, each an 8-byte head (4-byte tag, u32 body
// length) and a body; numbers are little-endian.
//   "Kkpc", 24: the header, six u32: flags, format, data size, width,
//               height, reserved; then the payload of data size bytes.
//   "mask", n:  only when the flags hold 0x10, 0x1000 and 0x2000: a u32 row
//               width and run bytes over the pixels, top row first, runs
//               crossing row ends.
// Flags: 0x1 the payload is a JPEG stream less its leading FF D8; 0x2 and
// 0x4 run-length pixels (not supported); 0x100 the picture is colour-keyed.
// Without 0x1, 0x2 or 0x4 the payload is height rows of width R5G6B5 pixels.
#include "kgraph.h"
#include "kloaders.h"
#include <cstdlib>
#include <new>

// Raw rows go between the file and the sprite as they are: both hold
// little-endian 16-bit pixels on the hosts the engine runs on.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "kpc rows are stored little-endian");

namespace {

const DWORD KPC_JPEG = 0x1;
const DWORD KPC_RLE_2 = 0x2;
const DWORD KPC_RLE_4 = 0x4;
const DWORD KPC_MASK = 0x10 | 0x1000 | 0x2000;  // all three: a mask chunk follows
const DWORD KPC_COLORKEY = 0x100;

const size_t kChunkHead = 8;

struct KPC_HEADER {
    DWORD flags;
    DWORD format;     // 4 (R5G6B5) for raw rows, 0 for JPEG; not read
    DWORD datasize;   // payload bytes
    DWORD width;
    DWORD height;
    DWORD reserved;
};
static_assert(sizeof(KPC_HEADER) == 24, "the kpc header is six u32");

// The first 24 bytes of a body of `len` fill the header (a shorter body leaves
// the later fields 0); anything past them is skipped.
bool ReadHeader(ByteReader& in, DWORD len, KPC_HEADER& h)
{
    BYTE raw[sizeof(KPC_HEADER)] = {};
    const size_t take = len < sizeof(raw) ? len : sizeof(raw);
    if (!in.bytes(raw, take) || !in.skip(len - take))
        return false;
    ByteReader fields(raw, sizeof(raw));
    return fields.u32(h.flags) && fields.u32(h.format) && fields.u32(h.datasize) &&
           fields.u32(h.width) && fields.u32(h.height) && fields.u32(h.reserved);
}

void PutU32(BYTE* p, DWORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}

void PutHead(BYTE* p, const char* tag, DWORD len)
{
    std::memcpy(p, tag, 4);
    PutU32(p + 4, len);
}

// Chunk head "Kkpc" 24 and the header, 32 bytes.
void PutPictureChunk(BYTE* p, const KPC_HEADER& h)
{
    PutHead(p, "Kkpc", sizeof(KPC_HEADER));
    PutU32(p + 8, h.flags);
    PutU32(p + 12, h.format);
    PutU32(p + 16, h.datasize);
    PutU32(p + 20, h.width);
    PutU32(p + 24, h.height);
    PutU32(p + 28, h.reserved);
}

bool WriteAll(KFile& file, const void* data, size_t n)
{
    return n <= 0xFFFFFFFFu && file.Write(data, DWORD(n)) == n;
}

bool Is16Bit(KESTREL_COLOR_MODE kcm)
{
    return kcm == KCM_R5G6B5 || kcm == KCM_X1R5G5B5 || kcm == KCM_A1R5G5B5;
}

// Emits one run of the mask: at most 127 pixels per byte, transparent runs
// as the count, opaque runs as 128 + the count.
BYTE* FlushRun(BYTE* out, bool transparent, DWORD count)
{
    const BYTE full = transparent ? 127 : 255;
    while (count > 127) {
        *out++ = full;
        count -= 127;
    }
    *out++ = BYTE(transparent ? count : count + 128);
    return out;
}

}  // namespace

SPRITE_DATA* KGraph::_loadkpc(SPRITE_DATA*&, const char* filename, KESTREL_COLOR_MODE mode,
                              DWORD flags, CUnPackFile* pack)
{
    KASSERT(filename);
    if (filename == NULL)
        return NULL;
    KFile file;
    BYTE* entry = NULL;
    int entrySize = 0;
    if (pack == NULL) {
        if (file.Open(filename, 1) != 0) {
            KRet(KRET_CANTOPEN, "_loadkpc(%s)", filename);
            return NULL;
        }
    } else {
        entry = pack->UnPack(filename, &entrySize);
        if (entry == NULL)
            return NULL;  // a missing entry is not reported
    }
    ByteReader in = entry != NULL ? ByteReader(entry, size_t(entrySize)) : ByteReader(&file);
    // Every length is checked against what is left; one that runs past the
    // end is a malformed file, as is a picture chunk of length 0.
    auto malformed = [&]() {
        if (pack != NULL)
            KRet(KRET_MALFORMED, "UnPack error! _loadkpc(%s)", filename);
        else
            KRet(KRET_MALFORMED, "_loadkpc(%s)", filename);
    };

    SPRITE_DATA* spr = NULL;
    KPC_HEADER h = {};
    bool ok = false;
    do {
        BYTE tag[4];  // not checked: only the lengths and the header count
        DWORD len = 0;
        if (!in.bytes(tag, 4) || !in.u32(len) || len == 0 || !ReadHeader(in, len, h)) {
            malformed();
            break;
        }

        if (h.flags & KPC_JPEG) {
            // The payload lacks the start-of-image marker: put it back.
            if (h.datasize > in.left()) {
                malformed();
                break;
            }
            const size_t size = size_t(h.datasize) + 2;
            BYTE* jpg = size <= kMaxPictureBytes ? new (std::nothrow) BYTE[size] : NULL;
            if (jpg == NULL) {
                KRet(KRET_NOMEMORY, "_loadkpc(%s)", filename);
                break;
            }
            jpg[0] = 0xFF;
            jpg[1] = 0xD8;
            const bool whole = in.bytes(jpg + 2, h.datasize);
            if (whole)
                spr = _loadjpg(jpg, DWORD(size), mode, flags);
            delete[] jpg;
            if (!whole)
                malformed();
            if (spr == NULL)
                break;  // the decoder has said why
        } else if (h.flags & (KPC_RLE_4 | KPC_RLE_2)) {
            Debug("_loadkpc(%s):不支持该rle压缩方式!", filename);
            break;
        } else {
            const uint64_t rowBytes = uint64_t(h.width) * 2;
            if (rowBytes * h.height > in.left()) {
                malformed();
                break;
            }
            spr = _createsprite(long(h.width), long(h.height), mode, flags);
            if (spr == NULL)
                break;
            void* bits = NULL;
            DWORD pitch = 0;
            long w = 0, rows = 0;
            _locksprite(spr, &bits, pitch, w, rows);
            bool read = true;
            for (long y = 0; y < rows && read; y++) {
                WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
                if (spr->kcm == KCM_R5G6B5) {
                    read = in.bytes(row, size_t(rowBytes));  // straight into the row
                } else if (spr->kcm == KCM_A1R5G5B5) {
                    for (long x = 0; x < w && read; x++) {
                        WORD c = 0;
                        read = in.u16(c);
                        row[x] = R5G6B5_To_A1R5G5B5(c);
                    }
                } else {
                    // No conversion into this mode: the picture shows as 0,
                    // and the rows are passed over so a mask is still found.
                    std::memset(row, 0, pitch);
                    read = in.skip(size_t(rowBytes));
                }
            }
            _unlocksprite(spr);
            if (!read) {
                malformed();
                break;
            }
        }

        if ((h.flags & KPC_MASK) == KPC_MASK) {
            BYTE mtag[4];
            DWORD mlen = 0;
            if (!in.bytes(mtag, 4) || !in.u32(mlen) || std::memcmp(mtag, "mask", 4) != 0 ||
                mlen > in.left()) {
                KRet(KRET_MALFORMED, "_loadkpc(%s):load mask", filename);
                break;
            }
            BYTE* mask = NULL;
            if (entry != NULL) {
                mask = const_cast<BYTE*>(in.here());  // read in place, not written
                in.skip(mlen);
            } else {
                mask = new (std::nothrow) BYTE[mlen ? mlen : 1];
                if (mask == NULL) {
                    KRet(KRET_NOMEMORY, "_loadkpc(%s)", filename);
                    break;
                }
                if (!in.bytes(mask, mlen)) {
                    delete[] mask;
                    KRet(KRET_MALFORMED, "_loadkpc(%s):load mask", filename);
                    break;
                }
            }
            const long applied = _set_spritecolorkey_maskrle(spr, mask, mlen);
            if (entry == NULL)
                delete[] mask;
            if (applied != 0) {
                KRet(KRET_MALFORMED, "_loadkpc(%s):load mask", filename);
                break;
            }
        }
        ok = true;
    } while (false);

    file.Close();
    if (entry != NULL)
        pack->ReleaseBuf(entry);
    if (!ok) {
        _releasesprite(spr);
        return NULL;
    }
    if (h.flags & KPC_COLORKEY) {
        spr->flags |= KSPR_COLORKEY;
        _setcolorkey(spr);
    }
    return spr;
}

// Applies a mask body to the sprite: transparent pixels become 0, opaque ones
// get a bit that keeps them from 0 (bit 0 in R5G6B5, bit 15 in the 555
// modes). The mask's row width must be the sprite's; runs past the last
// pixel are ignored. 0 on success, 8 (nothing reported: the caller says
// which file) for a body shorter than its width word or of another width.
long KGraph::_set_spritecolorkey_maskrle(SPRITE_DATA* lps, BYTE* data, DWORD len)
{
    KASSERT(lps);
    KASSERT(data);
    KASSERT(len);
    if (lps == NULL || data == NULL || len < 4)
        return KRET_MALFORMED;
    ByteReader in(data, len);
    DWORD width = 0;
    in.u32(width);
    if (!Is16Bit(lps->kcm))
        return 0;  // nothing to mark in this mode
    if (uint64_t(width) != uint64_t(lps->width))
        return KRET_MALFORMED;

    void* bits = NULL;
    DWORD pitch = 0;
    long w = 0, h = 0;
    _locksprite(lps, &bits, pitch, w, h);
    const WORD opaque = lps->kcm == KCM_R5G6B5 ? 0x0001 : 0x8000;
    const uint64_t total = uint64_t(w) * uint64_t(h);
    uint64_t done = 0;
    long x = 0;
    WORD* row = static_cast<WORD*>(bits);
    BYTE run = 0;
    while (done < total && in.u8(run)) {
        const bool transparent = run < 128;
        const DWORD count = transparent ? run : run - 128u;
        for (DWORD i = 0; i < count && done < total; i++, done++) {
            if (transparent)
                row[x] = 0;
            else
                row[x] |= opaque;
            if (++x == w) {
                x = 0;
                row = reinterpret_cast<WORD*>(reinterpret_cast<BYTE*>(row) + pitch);
            }
        }
    }
    _unlocksprite(lps);
    return 0;
}

// The mask of a sprite: pixel value 0 is transparent, anything else opaque.
// The buffer holds the width word and at most one run byte per pixel.
BYTE* KGraph::_get_spritecolorkey_maskrle(SPRITE_DATA* lps, DWORD& len)
{
    KASSERT(lps);
    if (lps == NULL)
        return NULL;
    const uint64_t size = 4 + uint64_t(lps->width) * uint64_t(lps->height);
    BYTE* out = size <= kMaxPictureBytes ? static_cast<BYTE*>(std::malloc(size_t(size))) : NULL;
    if (out == NULL) {
        KRet(KRET_NOMEMORY, "get_spritecolorkey_maskrle()");
        return NULL;
    }
    PutU32(out, DWORD(lps->width));
    len = 4;
    if (!Is16Bit(lps->kcm))
        return out;

    void* bits = NULL;
    DWORD pitch = 0;
    long w = 0, h = 0;
    _locksprite(lps, &bits, pitch, w, h);
    BYTE* p = out + 4;
    bool transparent = *static_cast<WORD*>(bits) == 0;
    DWORD count = 0;
    for (long y = 0; y < h; y++) {
        const WORD* row = reinterpret_cast<const WORD*>(static_cast<BYTE*>(bits) + size_t(y) * pitch);
        for (long x = 0; x < w; x++) {
            const bool t = row[x] == 0;
            if (t == transparent) {
                count++;
            } else {
                p = FlushRun(p, transparent, count);
                transparent = t;
                count = 1;
            }
        }
    }
    p = FlushRun(p, transparent, count);
    _unlocksprite(lps);
    len = DWORD(p - out);
    return out;
}

// A kpc whose payload is an existing JPEG file. The JPEG is read and checked
// before the output is opened, so a JPEG that cannot be used leaves no
// broken file behind.
long KGraph::_savekpc(const char* filename, const char* jpgfile, SPRITE_DATA* lps)
{
    KASSERT(filename);
    KASSERT(lps);
    if (filename == NULL || lps == NULL)
        return E_FAIL;
    if (jpgfile == NULL)
        return KRet(E_FAIL, "_savekpc(%s)", filename);  // nothing to store

    KFile jpg;
    if (jpg.Open(jpgfile, 1) != 0) {
        KRet(KRET_CANTOPEN, "_savekpc(%s)", jpgfile);
        return E_FAIL;
    }
    const DWORD size = jpg.GetSize();
    if (size > kMaxPictureBytes) {
        KRet(KRET_NOMEMORY, "_savekpc(%s)", filename);
        return E_FAIL;
    }
    BYTE* data = new (std::nothrow) BYTE[size ? size : 1];
    if (data == NULL) {
        KRet(KRET_NOMEMORY, "_savekpc(%s)", filename);
        return E_FAIL;
    }
    const bool whole = jpg.Read(data, size) == size;
    jpg.Close();
    // The payload leaves out the start-of-image marker, so there must be one.
    if (!whole || size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
        delete[] data;
        KRet(KRET_MALFORMED, "_savekpc(%s)", jpgfile);
        return E_FAIL;
    }

    const bool keyed = (lps->flags & KSPR_COLORKEY) != 0;
    BYTE* mask = NULL;
    DWORD maskLen = 0;
    if (keyed) {
        mask = _get_spritecolorkey_maskrle(lps, maskLen);
        if (mask == NULL) {
            delete[] data;
            return E_FAIL;
        }
    }

    KPC_HEADER h = {};
    h.flags = KPC_JPEG | (keyed ? 0x3110u : 0u);
    h.format = 0;
    h.datasize = size - 2;
    h.width = DWORD(lps->width);
    h.height = DWORD(lps->height);
    BYTE chunk[kChunkHead + sizeof(KPC_HEADER)];
    PutPictureChunk(chunk, h);
    BYTE maskHead[kChunkHead];
    PutHead(maskHead, "mask", maskLen);

    KFile out;
    long result = 0;
    if (out.Open(filename, 2) != 0) {
        KRet(KRET_CANTOPEN, "_savekpc(%s)", filename);
        result = E_FAIL;
    } else if (!WriteAll(out, chunk, sizeof(chunk)) || !WriteAll(out, data + 2, h.datasize) ||
               (keyed && (!WriteAll(out, maskHead, sizeof(maskHead)) ||
                          !WriteAll(out, mask, maskLen)))) {
        KRet(KRET_CANTOPEN, "_savekpc(%s)", filename);
        result = E_FAIL;
    }
    out.Close();
    std::free(mask);
    delete[] data;
    return result;
}

// A kpc of the sprite's raw R5G6B5 rows, top row first. What cannot be
// written is refused before the output is opened.
long KGraph::_savekpc(const char* filename, DWORD format, SPRITE_DATA* lps)
{
    KASSERT(filename);
    KASSERT(lps);
    if (filename == NULL || lps == NULL)
        return E_FAIL;
    if (lps->kcm != KCM_R5G6B5)
        return KRet(E_FAIL, "_savekpc() 不支持该颜色格式!");
    if (format & 15)
        return KRet(E_FAIL, "_savekpc() 不支持该格式!");

    KFile out;
    if (out.Open(filename, 2) != 0)
        return KRet(KRET_CANTOPEN, "_savekpc(%s)", filename);
    KPC_HEADER h = {};
    h.flags = (lps->flags & KSPR_COLORKEY) ? KPC_COLORKEY : 0;
    h.format = KCM_R5G6B5;
    h.datasize = DWORD(uint64_t(lps->width) * uint64_t(lps->height) * 2);
    h.width = DWORD(lps->width);
    h.height = DWORD(lps->height);
    BYTE chunk[kChunkHead + sizeof(KPC_HEADER)];
    PutPictureChunk(chunk, h);
    bool written = WriteAll(out, chunk, sizeof(chunk));

    void* bits = NULL;
    DWORD pitch = 0;
    long w = 0, rows = 0;
    _locksprite(lps, &bits, pitch, w, rows);
    for (long y = 0; y < rows && written; y++)
        written = WriteAll(out, static_cast<BYTE*>(bits) + size_t(y) * pitch, size_t(w) * 2);
    _unlocksprite(lps);
    out.Close();
    return written ? 0 : KRet(KRET_CANTOPEN, "_savekpc(%s)", filename);
}
