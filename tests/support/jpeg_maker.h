// JPEG files and EXIF blocks made in the tests: libjpeg writes the pictures
// (baseline, progressive, restart markers, grey, CMYK and YCCK, with JFIF
// density and extra marker sections), a small writer lays out EXIF's TIFF
// structure in either byte order, and djpeg's PNM output is read back.
#pragma once
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>  // after <cstdio>, which it needs

#include "test_files.h"
#include "test_jpeg.h"

// A picture as libjpeg is asked to write it, with the settings above: a
// 37 x 29 RGB picture at quality 85 with a JFIF header unless changed.
// Samples are per component, rows from the top.
struct JpegRecipe : JpegSettings {
    JpegRecipe()
    {
        quality = 85;
        jfif = 1;
    }
    int width = 37;
    int height = 29;
    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;
    std::function<int(int x, int y, int c)> sample = [](int x, int y, int c) {
        // Smooth shading with some detail, different per component.
        return (x * (40 + 13 * c) + y * (23 + 31 * c) + ((x * 7) ^ (y * 5)) * (c + 1)) & 0xFF;
    };
};

inline Bytes MakeJpeg(const JpegRecipe& r)
{
    Bytes samples(size_t(r.width) * size_t(r.height) * size_t(r.components));
    size_t i = 0;
    for (int y = 0; y < r.height; y++)
        for (int x = 0; x < r.width; x++)
            for (int k = 0; k < r.components; k++)
                samples[i++] = uint8_t(r.sample(x, y, k));
    return EncodeJpeg(samples.data(), r.width, r.height, r.components, r.input, r);
}

// A PNM picture (P5 or P6, 8 bits) as djpeg writes it.
struct Pnm {
    int width = 0;
    int height = 0;
    int channels = 0;
    Bytes pixels;  // rows from the top
    int At(int x, int y, int c) const { return pixels[(size_t(y) * width + x) * channels + c]; }
};

inline bool ReadPnm(const Bytes& file, Pnm& pnm)
{
    size_t at = 0;
    auto token = [&]() {
        std::string t;
        while (at < file.size()) {
            const char ch = char(file[at]);
            if (ch == '#') {
                while (at < file.size() && file[at] != '\n')
                    at++;
            } else if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t') {
                if (!t.empty())
                    break;
                at++;
            } else {
                t += ch;
                at++;
            }
        }
        return t;
    };
    const std::string magic = token();
    if (magic != "P5" && magic != "P6")
        return false;
    pnm.channels = magic == "P5" ? 1 : 3;
    pnm.width = std::atoi(token().c_str());
    pnm.height = std::atoi(token().c_str());
    if (std::atoi(token().c_str()) != 255)
        return false;
    at++;  // the one white-space byte before the samples
    const size_t n = size_t(pnm.width) * pnm.height * pnm.channels;
    if (file.size() < at + n)
        return false;
    pnm.pixels.assign(file.begin() + long(at), file.begin() + long(at + n));
    return true;
}

// EXIF's TIFF structure in either byte order: directories are appended with
// their out-of-line values right after them; links are patched afterwards.
class ExifWriter {
public:
    explicit ExifWriter(bool bigEndian) : m_be(bigEndian)
    {
        m_b = {Byte(m_be ? 'M' : 'I'), Byte(m_be ? 'M' : 'I')};
        Put16(42);
        Put32(8);
    }

    struct Entry {
        uint16_t tag;
        uint16_t format;
        uint32_t count;
        Bytes value;  // in the block's byte order
    };

    Bytes Short(uint16_t v) const { Bytes b; Append16(b, v); return b; }
    Bytes Long(uint32_t v) const { Bytes b; Append32(b, v); return b; }
    Bytes Rational(int32_t num, int32_t den) const
    {
        Bytes b;
        Append32(b, uint32_t(num));
        Append32(b, uint32_t(den));
        return b;
    }
    static Bytes Text(const std::string& s, bool nul = true)
    {
        Bytes b(s.begin(), s.end());
        if (nul)
            b.push_back(0);
        return b;
    }

    Entry Ascii(uint16_t tag, const std::string& s) const
    {
        return {tag, 2, uint32_t(s.size() + 1), Text(s)};
    }
    Entry Undefined(uint16_t tag, const Bytes& v) const { return {tag, 7, uint32_t(v.size()), v}; }
    Entry ShortTag(uint16_t tag, uint16_t v) const { return {tag, 3, 1, Short(v)}; }
    Entry LongTag(uint16_t tag, uint32_t v) const { return {tag, 4, 1, Long(v)}; }
    Entry RationalTag(uint16_t tag, int32_t n, int32_t d, uint16_t format = 5) const
    {
        return {tag, format, 1, Rational(n, d)};
    }

    // Appends a directory; its offset. Entries' value fields are found again
    // with ValueAt(directory, i) and the next link with LinkAt(directory).
    uint32_t AddDirectory(const std::vector<Entry>& entries, uint32_t next = 0)
    {
        const uint32_t at = uint32_t(m_b.size());
        Put16(uint16_t(entries.size()));
        uint32_t data = at + 2 + 12 * uint32_t(entries.size()) + 4;
        Bytes outOfLine;
        for (const Entry& e : entries) {
            Put16(e.tag);
            Put16(e.format);
            Put32(e.count);
            if (e.value.size() <= 4) {
                Bytes v = e.value;
                v.resize(4, 0);
                m_b.insert(m_b.end(), v.begin(), v.end());
            } else {
                Put32(data + uint32_t(outOfLine.size()));
                outOfLine.insert(outOfLine.end(), e.value.begin(), e.value.end());
            }
        }
        Put32(next);
        m_b.insert(m_b.end(), outOfLine.begin(), outOfLine.end());
        return at;
    }
    static uint32_t ValueAt(uint32_t directory, int i) { return directory + 2 + 12 * uint32_t(i) + 8; }
    static uint32_t LinkAt(uint32_t directory, int entries) { return directory + 2 + 12 * uint32_t(entries); }
    void Patch32(uint32_t at, uint32_t v)
    {
        Bytes b;
        Append32(b, v);
        std::memcpy(&m_b[at], b.data(), 4);
    }
    void Append(const Bytes& raw) { m_b.insert(m_b.end(), raw.begin(), raw.end()); }
    uint32_t Size() const { return uint32_t(m_b.size()); }

    // The APP1 payload: "Exif", two NULs, then the structure.
    Bytes Payload() const
    {
        Bytes p = {'E', 'x', 'i', 'f', 0, 0};
        p.insert(p.end(), m_b.begin(), m_b.end());
        return p;
    }

private:
    using Byte = uint8_t;
    void Append16(Bytes& b, uint16_t v) const
    {
        if (m_be) { b.push_back(Byte(v >> 8)); b.push_back(Byte(v)); }
        else { b.push_back(Byte(v)); b.push_back(Byte(v >> 8)); }
    }
    void Append32(Bytes& b, uint32_t v) const
    {
        if (m_be) { Append16(b, uint16_t(v >> 16)); Append16(b, uint16_t(v)); }
        else { Append16(b, uint16_t(v)); Append16(b, uint16_t(v >> 16)); }
    }
    void Put16(uint16_t v) { Append16(m_b, v); }
    void Put32(uint32_t v) { Append32(m_b, v); }

    bool m_be;
    Bytes m_b;
};

// A marker section as it lies in a file: FF, the code, the big-endian length
// (payload + 2) and the payload.
inline Bytes Section(int marker, const Bytes& payload)
{
    const size_t n = payload.size() + 2;
    Bytes s = {0xFF, uint8_t(marker), uint8_t(n >> 8), uint8_t(n)};
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}
