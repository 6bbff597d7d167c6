// Colour modes and the pixel packers.
#pragma once
#include <windows.h>
#include <kexport.h>

enum KESTREL_COLOR_MODE : int {
    KCM_R8G8B8 = 1,
    KCM_A8R8G8B8 = 2,
    KCM_X8R8G8B8 = 3,
    KCM_R5G6B5 = 4,
    KCM_X1R5G5B5 = 5,
    KCM_A1R5G5B5 = 6,
    KCM_A4R4G4B4 = 7,
    KCM_P8 = 8,
    KCM_GRAY = 9,
};

// Bits per pixel of a mode, read from the bits of its value.
inline int KcmBitsPerPixel(KESTREL_COLOR_MODE cm)
{
    if (cm & 8) return 8;
    if (cm & 4) return 16;
    if (cm & 2) return 32;
    return 24;
}

// Each channel keeps its top bits; nothing is rounded.
unsigned long rgb_565(BYTE r, BYTE g, BYTE b);
unsigned long rgb_555(BYTE r, BYTE g, BYTE b);
unsigned long rgb_888(BYTE r, BYTE g, BYTE b);
unsigned short color16b_565(int r, int g, int b);
unsigned short color16b_555(int r, int g, int b);
unsigned long color24b_565(WORD p);
unsigned long color24b_555(WORD p);

// The host's pixel functions; null until RegisterColorFunc installs them.
extern KESTREL_API unsigned long (*rgb)(unsigned char r, unsigned char g, unsigned char b);
extern KESTREL_API unsigned short (*color16b)(int r, int g, int b);
extern KESTREL_API unsigned long (*color24b)(unsigned short pixel);

KESTREL_API void RegisterColorFunc(KESTREL_COLOR_MODE mode);
KESTREL_API void RegisterColorFunc(bool is555);
