// The skin pictures and tables of the demo's dialog screen: a nine-piece
// frame, a tiled backdrop, a four-state button strip and an edit field's
// back, each drawn from a formula and written as BMP, with the skin tables
// beside them.
#include "assets.h"
#include <kestrel.h>
#include <cstdio>

const std::vector<std::string> kSkinFiles = {
    "dialog.bmp", "dialog.txt", "backdrop.bmp", "backdrop.txt", "button.bmp", "edit.bmp",
};

namespace {

// A 48 x 48 frame: nine 16 x 16 cells, a raised border with a title band,
// a plain centre.
WORD FramePixel(int x, int y)
{
    const WORD face = color16b(58, 74, 110), light = color16b(170, 190, 230),
               dark = color16b(20, 26, 44), title = color16b(96, 60, 140);
    if (x < 2 || y < 2)
        return light;
    if (x >= 46 || y >= 46)
        return dark;
    if (y < 16)
        return title;
    if (x < 5 || x >= 43 || y >= 43)
        return color16b(40, 50, 80);
    return face;
}

// Diagonal stripes for the backdrop tile.
WORD BackdropPixel(int x, int y)
{
    return ((x + y) / 4) % 2 ? color16b(24, 40, 32) : color16b(30, 52, 40);
}

// Four states side by side, each kButtonW x 28: normal, hover, pressed,
// disabled. Wide enough for a caption of twelve characters of the dialog's
// 16-pixel font with room at both ends.
const int kButtonW = 120;
WORD ButtonPixel(int x, int y)
{
    const int state = x / kButtonW, bx = x % kButtonW;
    static const BYTE kFace[4][3] = {{60, 110, 180}, {90, 150, 230}, {30, 70, 130}, {90, 90, 90}};
    const BYTE* f = kFace[state];
    const bool edge = bx < 2 || bx >= kButtonW - 2 || y < 2 || y >= 26;
    const int shade = edge ? 40 : y * 2;
    return color16b(BYTE(f[0] + shade / 2), BYTE(f[1] + shade / 2), BYTE(f[2] + shade / 2));
}

// An edit field's back: plain white. The screen draws the sunken well around
// the field, a few pixels out, so the text keeps clear of the well's border.
WORD EditPixel(int, int)
{
    return color16b(250, 250, 240);
}

bool WriteBmp(KGraph* graph, const std::string& path, int w, int h, WORD (*pixel)(int, int))
{
    KSprite* spr = graph->CreateSprite(w, h, KCM_R5G6B5, 0);
    if (spr == NULL)
        return false;
    void* bits = NULL;
    DWORD pitch = 0;
    long sw = 0, sh = 0;
    spr->Lock(&bits, pitch, sw, sh);
    for (long y = 0; y < sh; y++) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + y * pitch);
        for (long x = 0; x < sw; x++)
            row[x] = pixel(int(x), int(y));
    }
    spr->Unlock();
    spr->SaveBmp(path.c_str());
    graph->ReleaseKSprite(spr);
    return true;
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool MakeSkinAssets(KGraph* graph, const std::string& dir, std::string* error)
{
    std::string ignored;
    if (error == NULL)
        error = &ignored;
    const auto path = [&](const char* name) { return dir + "/" + name; };
    // The table names its picture as the game's data does: with '\' and in
    // any case (the file layer finds it).
    std::string table;
    for (int i = 0; i < 9; i++) {
        const int l = 16 * (i % 3), t = 16 * (i / 3);
        table += dir + "\\Dialog.BMP\t" + std::to_string(l) + "\t" + std::to_string(t) + "\t" +
                 std::to_string(l + 16) + "\t" + std::to_string(t + 16) + "\r\n";
    }
    struct Job {
        const char* name;
        bool ok;
    };
    const Job jobs[] = {
        {"dialog.bmp", WriteBmp(graph, path("dialog.bmp"), 48, 48, FramePixel)},
        {"dialog.txt", WriteText(path("dialog.txt"), table)},
        {"backdrop.bmp", WriteBmp(graph, path("backdrop.bmp"), 16, 16, BackdropPixel)},
        {"backdrop.txt", WriteText(path("backdrop.txt"), dir + "/backdrop.bmp\t0\t0\t16\t16\r\n")},
        {"button.bmp", WriteBmp(graph, path("button.bmp"), 4 * kButtonW, 28, ButtonPixel)},
        {"edit.bmp", WriteBmp(graph, path("edit.bmp"), 200, 20, EditPixel)},
    };
    for (const Job& j : jobs)
        if (!j.ok) {
            *error = std::string("cannot write ") + j.name;
            return false;
        }
    return true;
}
