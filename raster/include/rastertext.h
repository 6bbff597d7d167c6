// The text record of RasterImage::DrawStringEx: the text, its font and
// colours, alignment and the rounded background box. InitTextInfo fills it
// with defaults.
#pragma once

#include "rasterdefs.h"

struct tagRasterTextInfo {
    char szText[4096];   // zero-terminated; a carriage return (13) starts a new line
    LOGFONT lfFont;
    COLORREF crTextColor;
    long nAlign;         // 0 left, 1 centred on x, 2 right of x (DT_LEFT, DT_CENTER, DT_RIGHT)
    BYTE bOpaque;        // non-zero paints the background box
    COLORREF crBackColor;
    float fBackOpacity;  // 0 a solid box; between 0 and 1 the share of the image seen through it
    BYTE nOutline;       // box outline width; kept, not drawn
    BYTE nRound;         // corner radius in percent of the line height
};
