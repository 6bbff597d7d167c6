// The text scene: English and Chinese text in the bitmap font and the smooth
// font, recorded as commands and replayed in the frame, and drawn at once
// into a panel that the frame then shows.
#include "demo.h"
#include <desktop/desktop.h>
#include <cstdio>

namespace {

const WORD kSky = 0x10A6;     // dark blue
const WORD kPanel = 0x2124;   // dark grey
const WORD kWhite = 0xFFFF;
const WORD kYellow = 0xFFE0;
const WORD kCyan = 0x07FF;
const WORD kPink = 0xFB1F;

// The Chinese lines, in code page 936.
const char kHello[] = "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\xA3\xA1";        // 你好，世界！
const char kTitle[] = "\xD7\xD6\xCC\xE5\xD3\xEB\xD7\xD6\xD0\xCE\xBB\xBA\xB4\xE6";  // 字体与字形缓存
const char kBitmap[] = "\xB5\xE3\xD5\xF3\xD7\xD6\xCC\xE5";                        // 点阵字体
const char kSmooth[] = "\xC6\xBD\xBB\xAC\xD7\xD6\xCC\xE5";                        // 平滑字体
const char kImmediate[] = "\xBC\xB4\xCA\xB1\xBB\xE6\xD6\xC6";                     // 即时绘制
const char kRecorded[] = "\xC2\xBC\xD6\xC6\xC3\xFC\xC1\xEE";                      // 录制命令
const char kScore[] = "\xB5\xC3\xB7\xD6\xA3\xBA";                                 // 得分：
const char kLives[] = "\xC9\xFA\xC3\xFC\xA3\xBA\xC8\xFD";                         // 生命：三

struct Fonts {
    HFONT latin = NULL, chinese = NULL, large = NULL;
    KFont* bitmap = NULL;       // 1-bit, Latin face with Chinese fallback
    KFont* smooth = NULL;       // smooth, same face
    KFont* smoothCn = NULL;     // smooth, Chinese face
    KFont* title = NULL;        // smooth, large
};

bool MakeFonts(KGraph* graph, Fonts& f)
{
    f.latin = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                          FIXED_PITCH | FF_MODERN, "Courier New");
    f.chinese = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "SimSun");
    f.large = CreateFontA(30, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "SimHei");
    f.bitmap = graph->CreateFontA(f.latin);
    f.smooth = graph->CreateSmoothFont(f.latin);
    f.smoothCn = graph->CreateSmoothFont(f.chinese);
    f.title = graph->CreateSmoothFont(f.large);
    return f.bitmap && f.smooth && f.smoothCn && f.title;
}

void ReleaseFonts(KGraph* graph, Fonts& f)
{
    graph->ReleaseKFont(f.bitmap);
    graph->ReleaseKFont(f.smooth);
    graph->ReleaseKFont(f.smoothCn);
    graph->ReleaseKFont(f.title);
    DeleteObject(f.latin);
    DeleteObject(f.chinese);
    DeleteObject(f.large);
}

// Immediate text: drawn into the panel's pixels at once.
void DrawPanel(KSprite* panel, Fonts& f)
{
    panel->_clear(kPanel);
    panel->_rect(0, 0, long(panel->GetRectWidth()), long(panel->GetRectHeight()), kWhite);
    panel->_printf(f.smoothCn, 10, 8, kYellow, "%s (immediate)", kImmediate);
    panel->_printf(f.bitmap, 10, 34, kWhite, "Bitmap: The quick brown fox");
    panel->_printf(f.bitmap, 10, 54, kCyan, "%s %s", kBitmap, kHello);
    panel->_printf(f.smooth, 10, 80, kWhite, "Smooth: jumps over the lazy dog");
    panel->_printf(f.smoothCn, 10, 100, kPink, "%s %s", kSmooth, kHello);
    // Wrapped at the panel's width, which holds 35 characters: the glyph
    // that would pass it starts the next line. Each line is padded with
    // spaces to that width, so the lines break between words.
    f.smooth->DrawString(panel->GetData(), 10, 126, kWhite,
                         "Text wraps at a width limit: each  "
                         "glyph that would pass it starts    "
                         "the next line.",
                         long(panel->GetRectWidth()) - 20, true);
}

// Recorded text: replayed in the frame, compared with the previous frame.
void RecordText(KSprite* back, Fonts& f, int score)
{
    back->Clear(kSky);
    back->Printf(f.title, 320, 10, kWhite, KFONT_ALIGN_CENTER, "Kestrel %s", kTitle);
    back->Printf(f.smoothCn, 20, 60, kYellow, "%s (recorded)", kRecorded);
    back->Printf(f.bitmap, 20, 86, kWhite, "Bitmap: The quick brown fox");
    back->Printf(f.bitmap, 20, 106, kCyan, "%s %s", kBitmap, kHello);
    back->Printf(f.smooth, 20, 132, kWhite, "Smooth: jumps over the lazy dog");
    back->Printf(f.smoothCn, 20, 152, kPink, "%s %s", kSmooth, kHello);
    back->Printf(f.smooth, 20, 178, kWhite, 250, "Cut at 250 pixels: this line does not fit there");
    back->Printf(f.smoothCn, 20, 440, kYellow, "%s%d", kScore, score);
    back->Printf(f.smoothCn, 620, 440, kYellow, KFONT_ALIGN_RIGHT, "%s", kLives);
}

}  // namespace

void SceneText(DemoContext& ctx)
{
    KGraph* graph = ctx.graph;
    Fonts fonts;
    if (!MakeFonts(graph, fonts)) {
        std::fprintf(stderr, "demo: text scene: cannot make the fonts\n");
        ReleaseFonts(graph, fonts);
        return;
    }
    KSprite* panel = graph->CreateSprite(300, 200, KCM_R5G6B5, 0);
    if (panel == NULL) {
        ReleaseFonts(graph, fonts);
        return;
    }
    DrawPanel(panel, fonts);

    KSprite* back = graph->GetBackScreen();
    RECT all = {0, 0, ctx.clientW, ctx.clientH};
    const int before = desktop::PresentCount(ctx.hwnd);
    RecordText(back, fonts, 1200);
    panel->Draw(320, 220);
    graph->Render(all);
    std::printf("demo: text scene: bitmap and smooth fonts, English and Chinese, "
                "recorded (heights %ld, %ld, %ld) and immediate\n",
                fonts.bitmap->GetHeight(), fonts.smoothCn->GetHeight(), fonts.title->GetHeight());
    DemoScreenshot(ctx, "scene-text");

    // A second frame in which only the score changes.
    RecordText(back, fonts, 1250);
    panel->Draw(320, 220);
    graph->Render(all);
    std::printf("demo: text scene: second frame, score changed (presentations %d)\n",
                desktop::PresentCount(ctx.hwnd) - before);
    DemoScreenshot(ctx, "scene-text-2");

    graph->ReleaseKSprite(panel);
    ReleaseFonts(graph, fonts);
}
