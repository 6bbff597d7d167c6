// The cost of a JPEG-2000 codestream, counted from its headers before
// OpenJPEG sees the data. OpenJPEG sets up every tile, precinct and
// code-block the headers announce before it reads a packet: a codestream of
// a hundred bytes may ask for millions of them. The samples, and the
// precincts, packets and code-blocks, are measured against what the data can
// back; the rest comes out of the decode's allowance.
#include <algorithm>
#include <cstring>
#include <vector>

#include "jp2adapter.h"
#include "rasterlimits.h"

namespace rasterjp2 {

namespace {

// How one component is coded, or the most costly of several codings when
// the main header and the tile-part headers differ (every tile is then
// counted as if coded the costliest way).
struct Coding {
    int levels = 5;        // decomposition levels
    int cbw = 6, cbh = 6;  // code-block size exponents
    int layers = 1;
    uint8_t ppx[33], ppy[33];  // precinct size exponents by resolution
    Coding()
    {
        memset(ppx, 15, sizeof(ppx));
        memset(ppy, 15, sizeof(ppy));
    }
};

struct Siz {
    uint64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, tw = 0, th = 0, tx0 = 0, ty0 = 0;
    uint32_t comps = 0;
    std::vector<uint8_t> dx, dy;
};

uint32_t Be16(const uint8_t* p)
{
    return (uint32_t)p[0] << 8 | p[1];
}

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

uint64_t CeilDiv(uint64_t a, uint64_t b)
{
    return (a + b - 1) / b;
}

// Takes the costlier of `c` and a coding style segment (SPcod / SPcoc,
// after `precincts` says whether precinct sizes follow).
void Merge(Coding& c, const uint8_t* sp, size_t n, bool precincts, bool first)
{
    if (n < 5)
        return;
    const int levels = std::min<int>(sp[0], 32);
    const int cbw = (sp[1] & 0x0F) + 2, cbh = (sp[2] & 0x0F) + 2;
    if (first) {
        c.levels = levels;
        c.cbw = cbw;
        c.cbh = cbh;
    } else {
        c.levels = std::max(c.levels, levels);
        c.cbw = std::min(c.cbw, cbw);
        c.cbh = std::min(c.cbh, cbh);
    }
    for (int r = 0; r <= levels; r++) {
        uint8_t px = 15, py = 15;
        if (precincts && 5 + (size_t)r < n) {
            px = sp[5 + r] & 0x0F;
            py = sp[5 + r] >> 4;
        }
        c.ppx[r] = first ? px : std::min(c.ppx[r], px);
        c.ppy[r] = first ? py : std::min(c.ppy[r], py);
    }
}

// Reads the marker segments of one header (the main header, or a tile-part's
// up to its data); false when the data ends or SIZ is malformed. Stops after
// the first SOT of the main header, or at SOD of a tile-part.
class HeaderReader {
public:
    HeaderReader(Stream* s, Siz& siz, Coding& all, std::vector<Coding>& comps,
                 std::vector<bool>& own)
        : m_s(s), m_siz(siz), m_all(all), m_comps(comps), m_own(own)
    {
    }

    // One segment: its marker, and its body in `body`.
    bool Next(uint32_t& marker, std::vector<uint8_t>& body)
    {
        uint8_t m[4];
        if (!StreamRead(m_s, m, 2) || m[0] != 0xFF)
            return false;
        marker = 0xFF00 | m[1];
        body.clear();
        if (marker == 0xFF4F || marker == 0xFF93 || marker == 0xFFD9)
            return true;  // no length
        if (!StreamRead(m_s, m + 2, 2) || Be16(m + 2) < 2)
            return false;
        body.resize(Be16(m + 2) - 2);
        return body.empty() || StreamRead(m_s, body.data(), body.size());
    }

    bool Take(uint32_t marker, const std::vector<uint8_t>& b, bool main)
    {
        if (marker == 0xFF51)
            return Size(b);
        if (m_siz.comps == 0)
            return true;
        if (marker == 0xFF52 && b.size() >= 5) {  // COD
            const bool first = main && !m_codSeen;
            m_codSeen = true;
            const int layers = (int)Be16(b.data() + 2);
            m_all.layers = first ? layers : std::max(m_all.layers, layers);
            Merge(m_all, b.data() + 5, b.size() - 5, (b[0] & 1) != 0, first);
            // A tile's own coding style stands over the main header's
            // component styles too.
            for (size_t c = 0; c < m_comps.size(); c++)
                if (!m_own[c] || !main)
                    Merge(m_comps[c], b.data() + 5, b.size() - 5, (b[0] & 1) != 0, first);
                else
                    m_comps[c].layers = std::max(m_comps[c].layers, m_all.layers);
        } else if (marker == 0xFF53) {  // COC
            const size_t idx = m_siz.comps < 257 ? 1 : 2;
            if (b.size() < idx + 1)
                return true;
            const uint32_t c = idx == 1 ? b[0] : Be16(b.data());
            if (c >= m_comps.size())
                return true;
            const bool first = !m_own[c];
            if (first)
                m_comps[c] = m_all;
            m_own[c] = true;
            Merge(m_comps[c], b.data() + idx + 1, b.size() - idx - 1, (b[idx] & 1) != 0, first);
        }
        return true;
    }

private:
    bool Size(const std::vector<uint8_t>& b)
    {
        if (b.size() < 36 || m_siz.comps != 0)
            return false;
        const uint32_t comps = Be16(&b[34]);
        if (comps == 0 || b.size() < 36 + 3 * (size_t)comps)
            return false;
        Siz& s = m_siz;
        s.x1 = Be32(&b[2]);
        s.y1 = Be32(&b[6]);
        s.x0 = Be32(&b[10]);
        s.y0 = Be32(&b[14]);
        s.tw = Be32(&b[18]);
        s.th = Be32(&b[22]);
        s.tx0 = Be32(&b[26]);
        s.ty0 = Be32(&b[30]);
        for (uint32_t c = 0; c < comps; c++) {
            s.dx.push_back(std::max<uint8_t>(b[36 + 3 * c + 1], 1));
            s.dy.push_back(std::max<uint8_t>(b[36 + 3 * c + 2], 1));
        }
        m_comps.assign(comps, Coding());
        m_own.assign(comps, false);
        s.comps = comps;
        return true;
    }

    Stream* m_s;
    Siz& m_siz;
    Coding& m_all;
    std::vector<Coding>& m_comps;
    std::vector<bool>& m_own;
    bool m_codSeen = false;
};

// Precincts, packets and code-blocks of one tile-component at one coding.
uint64_t Units(uint64_t cx0, uint64_t cy0, uint64_t cx1, uint64_t cy1, const Coding& k)
{
    uint64_t units = 0;
    for (int r = 0; r <= k.levels; r++) {
        const int shift = k.levels - r;
        const uint64_t rx0 = CeilDiv(cx0, 1ULL << shift), ry0 = CeilDiv(cy0, 1ULL << shift);
        const uint64_t rx1 = CeilDiv(cx1, 1ULL << shift), ry1 = CeilDiv(cy1, 1ULL << shift);
        if (rx1 <= rx0 || ry1 <= ry0)
            continue;
        const uint64_t px = CeilDiv(rx1, 1ULL << k.ppx[r]) - (rx0 >> k.ppx[r]);
        const uint64_t py = CeilDiv(ry1, 1ULL << k.ppy[r]) - (ry0 >> k.ppy[r]);
        const uint64_t precincts = px * py;
        // Code-blocks fit inside the precincts (of the half-size bands past
        // the lowest resolution), at least one a band in each.
        const int bands = r == 0 ? 1 : 3;
        const int bx = std::min<int>(k.cbw, r == 0 ? k.ppx[r] : std::max(k.ppx[r] - 1, 0));
        const int by = std::min<int>(k.cbh, r == 0 ? k.ppy[r] : std::max(k.ppy[r] - 1, 0));
        const uint64_t bw = r == 0 ? rx1 - rx0 : CeilDiv(rx1 - rx0, 2);
        const uint64_t bh = r == 0 ? ry1 - ry0 : CeilDiv(ry1 - ry0, 2);
        const uint64_t blocks =
            std::max(precincts, (CeilDiv(bw, 1ULL << bx) + 1) * (CeilDiv(bh, 1ULL << by) + 1));
        units += precincts * (uint64_t)std::max(k.layers, 1) + bands * blocks;
    }
    return units;
}

// Finds the codestream of a JP2 file (the stream then stands at it); false
// when there is none.
bool FindCodestream(Stream* s, long long& left)
{
    while (left >= 8) {
        uint8_t box[16];
        if (!StreamRead(s, box, 8))
            return false;
        unsigned long long len = Be32(box);
        long long head = 8;
        if (len == 1) {
            if (!StreamRead(s, box + 8, 8))
                return false;
            len = (unsigned long long)Be32(box + 8) << 32 | Be32(box + 12);
            head = 16;
        }
        if (len == 0)
            len = (unsigned long long)left;  // the last box runs to the end
        if (memcmp(box + 4, "jp2c", 4) == 0) {
            left -= head;
            return true;
        }
        if (len < (unsigned long long)head || len > (unsigned long long)left || len > 0x7FFFFFFF ||
            !StreamSeek(s, (long)(StreamTell(s) + (long)len - head), SEEK_SET))
            return false;
        left -= (long long)len;
    }
    return false;
}

}  // namespace

bool CodestreamAffordable(Stream* s, int fmt, long long dataBytes, unsigned long long& allowance,
                          bool& counted)
{
    counted = false;
    const long start = StreamTell(s);
    long long left = dataBytes;
    bool ok = true;
    if (fmt != FMT_JP2 || FindCodestream(s, left)) {
        const long codestream = StreamTell(s);
        Siz siz;
        Coding all;
        std::vector<Coding> comps;
        std::vector<bool> own;
        HeaderReader reader(s, siz, all, comps, own);
        uint32_t marker = 0;
        std::vector<uint8_t> body;
        bool main = true;
        // The main header, then each tile-part's header (SOT gives the
        // tile-part's length; 0: it runs to the end).
        while (reader.Next(marker, body)) {
            if (!reader.Take(marker, body, main))
                break;
            if (marker == 0xFF90) {
                main = false;
                if (body.size() < 8)
                    break;
                uint32_t psot = Be32(&body[2]);
                const long at = StreamTell(s) - 12;
                if (psot == 0)
                    psot = (uint32_t)std::min<long long>(left - (at - codestream), 0x7FFFFFFF);
                if (psot < 14 || at + (long long)psot - codestream > left)
                    break;
                // The tile-part's own header, up to its data.
                while (reader.Next(marker, body) && marker != 0xFF93)
                    reader.Take(marker, body, false);
                if (!StreamSeek(s, at + (long)psot, SEEK_SET))
                    break;
            } else if (marker == 0xFF93 || marker == 0xFFD9) {
                break;
            }
        }
        const uint64_t data = (uint64_t)std::max<long long>(left, 0);
        if (siz.comps > 0 && siz.x1 > siz.x0 && siz.y1 > siz.y0 && siz.tw > 0 && siz.th > 0 &&
            siz.x1 > siz.tx0 && siz.y1 > siz.ty0 && siz.tx0 <= siz.x0 && siz.ty0 <= siz.y0) {
            counted = true;
            const uint64_t across = CeilDiv(siz.x1 - siz.tx0, siz.tw);
            const uint64_t down = CeilDiv(siz.y1 - siz.ty0, siz.th);
            uint64_t samples = 0;
            for (uint32_t c = 0; c < siz.comps; c++)
                samples += (CeilDiv(siz.x1, siz.dx[c]) - CeilDiv(siz.x0, siz.dx[c])) *
                           (CeilDiv(siz.y1, siz.dy[c]) - CeilDiv(siz.y0, siz.dy[c]));
            // Every tile of a complete codestream has a tile-part of at
            // least 14 bytes (its start and data markers).
            ok = across * down <= data / 14 + 1 &&
                 rasterlimits::Covered(samples, data * kCodedSamplesPerByte, allowance);
#ifdef KESTREL_FUZZ_LIMITS
            ok = ok && samples <= (1ULL << 14) && siz.comps <= 4 && across * down <= 16;
#endif
            // Precincts and code-blocks, tile by tile (their number is
            // bounded by the data just above).
            uint64_t units = 0;
            if (ok && across * down * siz.comps > (1ULL << 20))
                ok = false;
            for (uint64_t t = 0; ok && t < across * down; t++) {
                const uint64_t tx = t % across, ty = t / across;
                const uint64_t x0 = std::max(siz.tx0 + tx * siz.tw, siz.x0);
                const uint64_t y0 = std::max(siz.ty0 + ty * siz.th, siz.y0);
                const uint64_t x1 = std::min(siz.tx0 + (tx + 1) * siz.tw, siz.x1);
                const uint64_t y1 = std::min(siz.ty0 + (ty + 1) * siz.th, siz.y1);
                for (uint32_t c = 0; c < siz.comps; c++)
                    units += Units(CeilDiv(x0, siz.dx[c]), CeilDiv(y0, siz.dy[c]),
                                   CeilDiv(x1, siz.dx[c]), CeilDiv(y1, siz.dy[c]), comps[c]);
                if (units > (1ULL << 40))
                    ok = false;
            }
            if (ok) {
                const uint64_t backed =
                    data > UINT64_MAX / kUnitPixels ? UINT64_MAX : data * kUnitPixels;
                ok = units <= UINT64_MAX / kUnitPixels &&
                     rasterlimits::Covered(units * kUnitPixels, backed, allowance);
            }
        }
    }
    StreamSeek(s, start, SEEK_SET);
    return ok;
}

}  // namespace rasterjp2
