// Presented rows as the screen's textures take them: which pixel format
// holds them unchanged, and copying a rectangle of them into a row-major
// buffer of that format. Needs no display, so tests check it on its own.
#pragma once

#include <desktop/backend.h>

#include <SDL.h>

#include <cstdint>

namespace screen {

// The texture format whose pixels are the rows' bytes as they are, or
// SDL_PIXELFORMAT_UNKNOWN (16-bit rows), in which case ConvertRows makes
// SDL_PIXELFORMAT_RGB888 of them.
Uint32 TextureFormatOf(const desktop::PresentRows& rows);

// Copies the rows of rows.dest into `dst` (`dstPitch` bytes a row), at its
// first byte, top row first.
void CopyRows(const desktop::PresentRows& rows, BYTE* dst, int64_t dstPitch);

// The same into 32-bit 0x00RRGGBB, widening each channel by repeating its
// bits, as the headless desktop's surfaces do.
void ConvertRows(const desktop::PresentRows& rows, BYTE* dst, int64_t dstPitch);

}  // namespace screen
