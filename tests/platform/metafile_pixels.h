// Metafile bytes played through the player onto a white block of 32-bit
// pixels (0x00RRGGBB, rows from the top), and counts over such blocks:
// shared by the metafile tests.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "alloc_counter.h"
#include "metafile_internal.h"

constexpr uint32_t kWhite = 0xFFFFFF;

// Plays an enhanced metafile's bytes, or a Windows metafile's through
// SetWinMetaFileBits, onto a w x h block of the background colour; `ok`
// gets what the player answered, `peak` the most bytes the play held at
// once (the canvas apart).
inline std::vector<uint32_t> PlayOnto(const std::vector<uint8_t>& bytes, int w, int h, bool wmf,
                                      uint32_t background,
                                      win32metafile::PlayStats* stats = nullptr, bool* ok = nullptr,
                                      size_t* peak = nullptr)
{
    HENHMETAFILE mf = wmf ? SetWinMetaFileBits(UINT(bytes.size()), bytes.data(), nullptr, nullptr)
                          : SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    std::vector<uint32_t> px(size_t(w) * h, background);
    EXPECT_NE(mf, nullptr);
    if (mf == nullptr)
        return px;
    win32metafile::BufferCanvas canvas(px.data(), w, h, size_t(w));
    const auto play = [&] {
        return win32metafile::Play(*win32metafile::Find(mf), canvas, RECT{0, 0, w, h}, stats);
    };
    bool played;
    if (peak != nullptr) {
        const AllocCounter counter;
        played = play();
        *peak = counter.Peak();
    } else {
        played = play();
    }
    if (ok != nullptr)
        *ok = played;
    EXPECT_TRUE(DeleteEnhMetaFile(mf));
    return px;
}

inline std::vector<uint32_t> PlayOnWhite(const std::vector<uint8_t>& bytes, int w, int h, bool wmf,
                                         win32metafile::PlayStats* stats = nullptr,
                                         bool* ok = nullptr, size_t* peak = nullptr)
{
    return PlayOnto(bytes, w, h, wmf, kWhite, stats, ok, peak);
}

// Pixels that differ between two blocks of one size.
inline size_t Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        n += a[i] != b[i];
    return n;
}

// Pixels that are not white.
inline size_t Ink(const std::vector<uint32_t>& px)
{
    size_t n = 0;
    for (uint32_t p : px)
        n += p != kWhite;
    return n;
}

// Whether step n of a pen style of on and off runs is on.
inline bool On(const std::vector<int>& runs, int n)
{
    int total = 0;
    for (int r : runs)
        total += r;
    n %= total;
    for (size_t i = 0;; i++) {
        if (n < runs[i])
            return i % 2 == 0;
        n -= runs[i];
    }
}
