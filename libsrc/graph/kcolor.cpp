// Pixel packers and the host's pixel-function pointers.
#include "kcolor.h"

unsigned long (*rgb)(unsigned char r, unsigned char g, unsigned char b) = NULL;
unsigned short (*color16b)(int r, int g, int b) = NULL;
unsigned long (*color24b)(unsigned short pixel) = NULL;

unsigned long rgb_565(BYTE r, BYTE g, BYTE b)
{
    return ((unsigned long)(r << 8) & 0xF800) | ((unsigned long)(g << 3) & 0x07E0) | (b >> 3);
}

unsigned long rgb_555(BYTE r, BYTE g, BYTE b)
{
    return ((unsigned long)(r << 7) & 0x7C00) | ((unsigned long)(g << 2) & 0x03E0) | (b >> 3);
}

unsigned long rgb_888(BYTE r, BYTE g, BYTE b)
{
    return ((unsigned long)r << 16) | ((unsigned long)g << 8) | b;
}

// b is shifted as a signed value, as the callers may pass any int; shifting
// the others left is done unsigned so a negative channel cannot overflow.
unsigned short color16b_565(int r, int g, int b)
{
    return (unsigned short)(((unsigned)r << 8 & 0xF800) | ((unsigned)g << 3 & 0x07E0) |
                            ((b >> 3) & 0x001F));
}

unsigned short color16b_555(int r, int g, int b)
{
    return (unsigned short)(((unsigned)r << 7 & 0x7C00) | ((unsigned)g << 2 & 0x03E0) |
                            ((b >> 3) & 0x001F));
}

unsigned long color24b_565(WORD p)
{
    unsigned long v = p;
    return ((v << 8) & 0xF80000) | ((v << 5) & 0x00FC00) | ((v << 3) & 0x0000F8);
}

unsigned long color24b_555(WORD p)
{
    unsigned long v = p;
    return ((v << 9) & 0xF80000) | ((v << 6) & 0x00F800) | ((v << 3) & 0x0000F8);
}

void RegisterColorFunc(KESTREL_COLOR_MODE mode)
{
    switch (mode) {
    case KCM_R8G8B8:
    case KCM_A8R8G8B8:
    case KCM_X8R8G8B8:
        rgb = rgb_888;
        break;
    case KCM_R5G6B5:
        rgb = rgb_565;
        color16b = color16b_565;
        color24b = color24b_565;
        break;
    case KCM_X1R5G5B5:
    case KCM_A1R5G5B5:
        rgb = rgb_555;
        color16b = color16b_555;
        color24b = color24b_555;
        break;
    default:
        break;
    }
}

void RegisterColorFunc(bool is555)
{
    color16b = is555 ? color16b_555 : color16b_565;
    color24b = is555 ? color24b_555 : color24b_565;
}
