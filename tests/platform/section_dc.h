// A memory context drawing into a top-down 32-bit DIB section with a font
// selected: what the text and metafile tests draw their references into.
// Pixels are 0x00RRGGBB, rows from the top.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

class SectionDc {
public:
    // Takes the font (which may be NULL) and deletes it with the context.
    SectionDc(int w, int h, HFONT font) : m_w(w), m_h(h), m_font(font)
    {
        m_dc = CreateCompatibleDC(NULL);
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        m_bits = static_cast<uint32_t*>(bits);
        m_oldBitmap = SelectObject(m_dc, m_bitmap);
        m_oldFont = m_font != NULL ? SelectObject(m_dc, m_font) : NULL;
    }
    ~SectionDc()
    {
        if (m_font != NULL) {
            SelectObject(m_dc, m_oldFont);
            DeleteObject(m_font);
        }
        SelectObject(m_dc, m_oldBitmap);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    SectionDc(const SectionDc&) = delete;
    SectionDc& operator=(const SectionDc&) = delete;

    HDC dc() const { return m_dc; }
    int w() const { return m_w; }
    int h() const { return m_h; }
    uint32_t* bits() const { return m_bits; }
    void Fill(uint32_t value)
    {
        for (int i = 0; i < m_w * m_h; i++)
            m_bits[i] = value;
    }
    std::vector<uint32_t> Values() const
    {
        return std::vector<uint32_t>(m_bits, m_bits + m_w * m_h);
    }

private:
    int m_w, m_h;
    HDC m_dc;
    HBITMAP m_bitmap;
    HFONT m_font;
    HGDIOBJ m_oldBitmap, m_oldFont;
    uint32_t* m_bits = nullptr;
};
