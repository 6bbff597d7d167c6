// Byte builders shared by the tests and the fuzz targets: little-endian
// fields, a bitmap header and a zip archive of stored entries, each written
// field by field so a reader sees every byte of the input it builds.
// Header-only: a fuzz target links the library alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline void Put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, uint16_t(v));
    Put16(b, uint16_t(v >> 16));
}

// The 54 header bytes of an uncompressed bitmap whose pixels start right after
// them: the file header (`fileSize` as the file claims it), then the 40-byte
// information header with w, h and the bits per pixel and every later field 0.
inline void PutBmpHeader(std::vector<uint8_t>& b, uint32_t fileSize, int32_t w, int32_t h,
                         uint16_t bits)
{
    b.push_back('B');
    b.push_back('M');
    Put32(b, fileSize);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, uint32_t(w));
    Put32(b, uint32_t(h));
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; i++)
        Put32(b, 0);
}

// The CRC-32 a zip entry records (reflected, polynomial 0xEDB88320).
inline uint32_t Crc32(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

using ZipEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// A zip archive of stored (uncompressed) entries, written field by field:
// each entry's local header and data, then the central directory and its end
// record. Times, dates, attributes and comments are all zero.
inline std::vector<uint8_t> StoredZip(const ZipEntries& entries)
{
    std::vector<uint8_t> out, central;
    for (const auto& [name, data] : entries) {
        const uint32_t offset = uint32_t(out.size());
        const uint32_t crc = Crc32(data.data(), data.size());
        Put32(out, 0x04034b50);
        for (uint16_t v : {20, 0, 0})  // version needed, flags, method: stored
            Put16(out, v);
        Put32(out, 0);  // time and date
        Put32(out, crc);
        Put32(out, uint32_t(data.size()));
        Put32(out, uint32_t(data.size()));
        Put16(out, uint16_t(name.size()));
        Put16(out, 0);  // extra length
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), data.begin(), data.end());

        Put32(central, 0x02014b50);
        for (uint16_t v : {20, 20, 0, 0})  // made by, needed, flags, method
            Put16(central, v);
        Put32(central, 0);  // time and date
        Put32(central, crc);
        Put32(central, uint32_t(data.size()));
        Put32(central, uint32_t(data.size()));
        Put16(central, uint16_t(name.size()));
        Put32(central, 0);  // extra and comment lengths
        Put32(central, 0);  // disk, internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, offset);
        central.insert(central.end(), name.begin(), name.end());
    }
    const uint32_t at = uint32_t(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, 0x06054b50);
    Put32(out, 0);  // this disk, the directory's disk
    Put16(out, uint16_t(entries.size()));
    Put16(out, uint16_t(entries.size()));
    Put32(out, uint32_t(central.size()));
    Put32(out, at);
    Put16(out, 0);  // comment length
    return out;
}
