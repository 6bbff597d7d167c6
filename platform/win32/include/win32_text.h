// Win32 GDI text output: DrawTextA lays out and draws text in a rectangle,
// ExtTextOutA draws a run of characters at a point, both with the context's
// font, text colour, background colour and mode, through its clip.
#pragma once

#include "win32_types.h"

// DrawTextA formats.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_TABSTOP 0x00000080
#define DT_NOCLIP 0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_INTERNAL 0x00001000
#define DT_EDITCONTROL 0x00002000
#define DT_PATH_ELLIPSIS 0x00004000
#define DT_END_ELLIPSIS 0x00008000
#define DT_MODIFYSTRING 0x00010000
#define DT_RTLREADING 0x00020000
#define DT_WORD_ELLIPSIS 0x00040000
#define DT_NOFULLWIDTHCHARBREAK 0x00080000
#define DT_HIDEPREFIX 0x00100000
#define DT_PREFIXONLY 0x00200000

// ExtTextOutA options.
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
#define ETO_GLYPH_INDEX 0x0010
#define ETO_RTLREADING 0x0080
#define ETO_IGNORELANGUAGE 0x1000

// Draws count bytes of text (-1: up to the terminating zero) formatted in
// rect; with DT_CALCRECT only measures, widening or heightening rect. The
// height of the text drawn, 0 on failure.
int WINAPI DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format);
// Draws count bytes of text at (x, y) (the top-left of the first character); ETO_OPAQUE fills rect with the background colour first,
// ETO_CLIPPED clips to it. dx, when not null, gives each character's advance.
BOOL WINAPI ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text,
                        UINT count, const INT* dx);

// The width of count bytes of text in the context's font (the sum of the
// characters' advances, a double-byte character counted once) and the font's
// cell height. FALSE for an unknown context or a negative count.
BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size);
