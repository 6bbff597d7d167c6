// Arbitrary bytes through the font's text walks (drawing with and without a
// width and wrapping, measuring, the ends that fit) and through the code
// page 936 conversions. The first two bytes give the width limit and the
// count; the rest is the text, ended at its first zero byte. The font draws
// nothing: it checks each code it is handed and counts the cells.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "font_gbk.h"

namespace {

// Single-byte codes are 4 pixels wide, double-byte ones 8.
class CountingFont : public KFont {
public:
    CountingFont() { m_nHeight = 8; }
    void Release() override {}
    int GetWidth(unsigned code) override { return code > 0xFF ? 8 : 4; }
    int DrawChar(void*, long, long, DWORD, unsigned code) override
    {
        // A walk hands out a lone byte or a lead byte from 0x81 with its trail.
        if (code > 0xFFFF || code == 0)
            std::abort();
        m_cells++;
        return GetWidth(code);
    }
    unsigned long m_cells = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = (kbase::SetEcho(false), true);
    (void)quiet;
    if (size < 2)
        return 0;
    const long width = long(data[0]) - 16;  // a few negative limits too
    const unsigned count = data[1];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const char* s = text.c_str();
    const size_t length = std::strlen(s);

    CountingFont font;
    SPRITE_DATA target = {};
    font.DrawString(&target, 0, 0, 1, s);
    font.DrawString(&target, 3, 0, 1, s, width, false);
    font.DrawString(&target, 0, 0, 1, s, width, true);
    if (font.m_cells > 3 * length)
        std::abort();  // each byte starts at most one character a walk
    const int all = font.GetStringWidth(s);
    if (all < 0 || font.GetStringWidth(s, count) > all)
        std::abort();
    const int end = font.GetStringEnd(s, width);
    const int begin = font.GetStringBegin(s, width);
    if (end < 0 || size_t(end) > length || begin < 0 || size_t(begin) > length)
        std::abort();

    // Every pair of bytes as a code, and the text as a face name (at most
    // 32 bytes, not always ended).
    for (size_t i = 0; i + 1 < size; i++) {
        char32_t ch = 0;
        if (win32font::GbkToUnicode(UINT(data[i]) << 8 | data[i + 1], ch) && ch > 0x10FFFF)
            std::abort();
    }
    CHAR face[LF_FACESIZE];
    std::memset(face, 'A', sizeof(face));
    std::memcpy(face, data + 2, size - 2 < sizeof(face) ? size - 2 : sizeof(face));
    const std::string utf8 = win32font::FaceNameToUtf8(face);
    if (utf8.size() > 4 * sizeof(face))
        std::abort();
    kbase::ClearLog();
    return 0;
}
