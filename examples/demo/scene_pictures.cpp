// The picture scene: one picture of each format (BMP, JPEG colour and grey,
// raw kpc, JPEG-payload kpc with its mask, 32-bit TGA with alpha) loaded
// through the sprite cache, from disk (top row) and from a zip archive
// (bottom row), drawn onto the back screen with immediate blits.
#include "demo.h"
#include <assets.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A grey checker, so keyed and blended pixels show what lies under them.
void DrawChecker(KSprite* back, int w, int h)
{
    back->_clear(0, 0, w, h, rgb(48, 48, 56));
    for (int y = 0; y < h; y += 16)
        for (int x = (y / 16) % 2 * 16; x < w; x += 32)
            back->_clear(x, y, 16, 16, rgb(72, 72, 84));
}

}  // namespace

// Draws a loaded picture by how it came: keyed pictures skip the key, a TGA
// blends through its alpha plane, the rest are copied.
void DrawLoadedPicture(DemoContext& ctx, KSprite* pic, long x, long y)
{
    KSprite* back = ctx.graph->GetBackScreen();
    const long w = pic->GetWidth(), h = pic->GetHeight();
    if (pic->GetAlphaData() != NULL) {
        KSprite* alpha = ctx.graph->CreateSprite(pic->GetAlphaData());
        back->_blt_alpha(x, y, pic, 0, 0, w, h, alpha);
        ctx.graph->ReleaseKSprite(alpha);
    } else if (pic->GetData()->flags & KSPR_COLORKEY) {
        back->_blt_ck(x, y, pic, 0, 0, w, h);
    } else {
        back->_blt(x, y, pic, 0, 0, w, h);
    }
}


void ScenePictures(DemoContext& ctx)
{
    const std::string dir = ctx.outDir + "/pictures";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string error;
    if (!MakePictureAssets(ctx.graph, dir, &error)) {
        std::fprintf(stderr, "demo: pictures: %s\n", error.c_str());
        return;
    }
    CUnPackFile pack;
    if (!pack.Open((dir + "/" + kAssetArchive).c_str())) {
        std::fprintf(stderr, "demo: pictures: cannot open %s\n", kAssetArchive);
        return;
    }

    KSprite* back = ctx.graph->GetBackScreen();
    DrawChecker(back, ctx.clientW, ctx.clientH);
    HFONT face = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             FIXED_PITCH, "");
    KFont* font = ctx.graph->CreateSmoothFont(face);
    std::vector<KSprite*> loaded;
    for (int source = 0; source < 2; source++) {
        long x = 24;
        const long y = source == 0 ? 60 : 260;
        back->_printf(font, 24, y - 30, 0xFFFF, "%s",
                      source == 0 ? "BMP, JPEG, kpc and TGA pictures, read from disk:"
                                  : "The same pictures from a zip archive (BMP from disk):");
        for (const std::string& name : kAssetPictures) {
            // A BMP is always read from disk, archive or not.
            const bool onDisk = source == 0 || name.rfind(".bmp") == name.size() - 4;
            const std::string path = onDisk ? dir + "/" + name : name;
            KSprite* pic = ctx.graph->Load(path.c_str(), 0, source == 0 ? NULL : &pack);
            if (pic == NULL) {
                std::fprintf(stderr, "demo: pictures: cannot load %s\n", path.c_str());
                continue;
            }
            DrawLoadedPicture(ctx, pic, x, y + (128 - pic->GetHeight()) / 2);
            back->_printf(font, x, y + 132, 0xFFE0, "%s", name.c_str());
            std::printf("demo: pictures: %-9s from %-7s %3ldx%-3ld%s%s\n", name.c_str(),
                        source == 0 ? "disk" : "archive", pic->GetWidth(), pic->GetHeight(),
                        (pic->GetData()->flags & KSPR_COLORKEY) ? " keyed" : "",
                        pic->GetAlphaData() ? " with alpha" : "");
            x += pic->GetWidth() + 12;
            loaded.push_back(pic);
        }
    }
    std::printf("demo: pictures: %zu loaded, %zu blocks in the sprite cache\n", loaded.size(),
                ctx.graph->GetSpriteManager()->GetCount());

    RECT all = {0, 0, ctx.clientW, ctx.clientH};
    const long result = ctx.graph->Render(all);
    std::printf("demo: pictures: presented (result %ld)\n", result);
    DemoScreenshot(ctx, "pictures");

    for (KSprite*& pic : loaded)
        ctx.graph->ReleaseKSprite(pic);
    ctx.graph->ReleaseKFont(font);
    DeleteObject(face);
    std::printf("demo: pictures: released, %zu blocks left in the cache\n",
                ctx.graph->GetSpriteManager()->GetCount());
}
