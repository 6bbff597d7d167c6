// The flags the controls load and make their pictures with. A keyed picture
// carries KSPR_COLORKEY (its pixel value 0 shows what lies behind). The low
// bit is stored with the picture and tested by nothing; the controls pass it
// as they always have, the edit field excepted.
#pragma once

#include <kspritedata.h>

constexpr DWORD KWND_PICTURE_MARK = 0x01;
constexpr DWORD KWND_PICTURE_PLAIN = KWND_PICTURE_MARK;
constexpr DWORD KWND_PICTURE_KEYED = KSPR_COLORKEY | KWND_PICTURE_MARK;

inline DWORD KWndPictureFlags(bool colorKey)
{
    return colorKey ? KWND_PICTURE_KEYED : KWND_PICTURE_PLAIN;
}
