// The picture files the loaders read, built byte by byte, and archives to
// hold them (the byte builders are the fuzz targets' too).
#pragma once
#include <cstdint>
#include "test_files.h"
#include "byte_builders.h"

// A bitmap: the 54 header bytes and `pixels` (already in file order). `size`
// 0 means the true file size.
Bytes BmpBytes(int32_t w, int32_t h, uint16_t bits, const Bytes& pixels, uint32_t size = 0);

// A kpc: a picture chunk of `len` with the header fields, then `payload`.
Bytes KpcBytes(uint32_t flags, uint32_t datasize, uint32_t w, uint32_t h, const Bytes& payload,
               const char* tag = "Kkpc", uint32_t len = 24);

// A TGA: the 18 header bytes, then `pixels` (blue, green, red, alpha; bottom
// row first).
Bytes TgaBytes(uint16_t w, uint16_t h, const Bytes& pixels, uint8_t type = 2, uint8_t depth = 32,
               uint8_t descriptor = 8, uint8_t idLength = 0);
