// KSprite: a handle on pixels. It names a colour SPRITE_DATA, an optional
// 8-bit alpha SPRITE_DATA, the visible source rectangle and the render engine
// that records its drawing. Each handle holds one reference on each block.
#pragma once
#include <windows.h>
#include <kexport.h>
#include "kspritedata.h"
#include "kfont_2.h"

class KRenderEngine;
class KGraph;
class KFont;

class KESTREL_API KSprite {
public:
    KSprite();
    // A view of rect inside other's pixels; shares (and counts) its data.
    KSprite(KSprite& other, RECT& rect);
    KSprite(const KSprite& other);
    // Shares other's data and rectangle. What this handle held before is not
    // released: assign only to an empty handle.
    KSprite& operator=(const KSprite& other);
    ~KSprite();

    // Drops this handle's references; the device frees a block at its last.
    void Release();
    void SetRenderEngine(KRenderEngine* pRenderEngine);
    KRenderEngine* GetRenderEngine() const { return m_RenderEngine; }

    SPRITE_DATA* GetData() const { return m_lps; }
    SPRITE_DATA* GetAlphaData() const { return m_lpsAlpha; }
    bool IsInited() const { return m_lps != NULL; }
    long GetWidth() const;
    long GetHeight() const;
    DWORD GetRectWidth() const { return DWORD(m_rc.right - m_rc.left); }
    DWORD GetRectHeight() const { return DWORD(m_rc.bottom - m_rc.top); }
    const RECT& GetRect() const { return m_rc; }
    void SetRect(const RECT& rc) { m_rc = rc; }
    void SetRect(long l, long t, long r, long b);
    void SetRect();  // the whole sprite

    // Recorded drawing onto the back screen: a command for the next frame.
    void Draw(long x, long y);
    void Draw(long x, long y, DWORD flags);  // colour-keyed when flags & 1
    void Draw_ck(long x, long y);
    void Draw_zoom(long x, long y, long w, long h);
    void Draw_additive(long x, long y, BYTE level);
    void Draw_alpha_ck(long x, long y, BYTE alpha);
    void Draw_alpha(long x, long y, BYTE alpha);
    void Draw_alpha(long x, long y, KSprite* alpha);
    void Draw_alpha(long x, long y);  // through its own alpha data, if any

    // Recorded drawing onto this sprite.
    void Blt(long x, long y, KSprite* src, long l, long t, long r, long b);
    void Blt_ck(long x, long y, KSprite* src, long l, long t, long r, long b);
    void Blt_zoom(long x, long y, long w, long h, KSprite* src, long l, long t, long sw, long sh);
    void Blt_zoom_alpha(long x, long y, long w, long h, KSprite* src, long l, long t, long sw,
                        long sh, BYTE alpha);
    void Blt_zoom_ck(long x, long y, long w, long h, KSprite* src, long l, long t, long sw,
                     long sh);
    void Blt_additive(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE level);
    void Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE alpha);
    void Blt_alpha_ck(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE alpha);
    void Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b);
    void Blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b, KSprite* alpha);
    void Blt_alpha(long x, long y, DWORD colour, long l, long t, long r, long b, KSprite* alpha);
    void Clear(long x, long y, long w, long h, DWORD colour);  // w and h are sizes
    void Clear(const RECT& rc, DWORD colour);
    void Clear(DWORD colour);
    void Line(long x1, long y1, long x2, long y2, DWORD colour);
    void Rect(long l, long t, long r, long b, DWORD colour);
    // Call after changing the pixels: the commands that read this sprite are
    // drawn again next frame.
    void Updata();

    // Recorded text, formatted printf-style into 256 bytes (longer text is cut).
    void Printf(KFont* font, long x, long y, DWORD colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    void Printf(int height, long x, long y, DWORD colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    void Printf(KFont* font, long x, long y, DWORD colour, long width, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    void Printf(int height, long x, long y, DWORD colour, long width, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    void Printf(KFont* font, long x, long y, DWORD colour, KFONT_ALIGN_TYPE align,
                const char* format, ...) __attribute__((format(printf, 7, 8)));
    void Printf(int height, long x, long y, DWORD colour, KFONT_ALIGN_TYPE align,
                const char* format, ...) __attribute__((format(printf, 7, 8)));

    // Immediate drawing: on the device at once, nothing recorded.
    long _clear(long x, long y, long w, long h, DWORD colour);
    long _clear(const RECT& rc, DWORD colour);
    long _clear(DWORD colour);
    void _blt(long x, long y, KSprite* src, long l, long t, long r, long b);
    void _blt_ck(long x, long y, KSprite* src, long l, long t, long r, long b);
    void _blt_zoom(long x, long y, long w, long h, KSprite* src, long l, long t, long sw, long sh);
    void _blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE alpha);
    void _blt_alpha_ck(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE alpha);
    void _blt_alpha(long x, long y, KSprite* src, long l, long t, long r, long b, KSprite* alpha);
    void _blt_alpha(long x, long y, DWORD colour, long l, long t, long r, long b, KSprite* alpha);
    void _blt_additive(long x, long y, KSprite* src, long l, long t, long r, long b, BYTE level);
    void _line(long x1, long y1, long x2, long y2, DWORD colour);
    void _rect(long l, long t, long r, long b, DWORD colour);

    // ---- Saving (ksprite_save.cpp): the whole data block is written, not
    // ---- only this handle's rectangle.
    void Save(const char* name);      // a 24-bit BMP
    void SaveBmp(const char* name);
    // A kpc with the JPEG file `jpeg` as payload (and a mask when keyed).
    long SaveKpc(const char* name, const char* jpeg);
    // A kpc of the raw rows; `format` 0 (no compression) is the one supported.
    long SaveKpc(const char* name, DWORD format);
    // ---- end of saving
    long _printf(KFont* font, long x, long y, DWORD colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    long _printf(int height, long x, long y, DWORD colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    long Lock(void** bits, DWORD& pitch, long& w, long& h);
    void Unlock();

    // Colour key and masks. The key is the pixel value 0.
    void SetColorKey(long x, long y);  // the colour of pixel (x, y) of the data
    void SetColorKey(DWORD colour);
    void SetNoColorKey();
    bool IsColorKey(long x, long y);   // (x, y) from the rectangle's top-left
    KSprite* ChangeToMask();           // 255 where visible; the caller owns it
    KSprite* ChangeToMaskEx();         // the blue field widened to 8 bits

private:
    friend class KGraph;
    friend class KGraphGDI;
    void _share(const KSprite& other, const RECT& rc);
    KGraph* _graph() const;
    SPRITE_DATA* _back() const;
    void _setkey(WORD key);
    KSprite* _mask(bool blueAsLevel);

    SPRITE_DATA* m_lps;        // colour pixels; null = empty sprite
    SPRITE_DATA* m_lpsAlpha;   // optional KCM_GRAY plane of the same size
    RECT m_rc;                 // source rectangle, right and bottom exclusive
    KRenderEngine* m_RenderEngine;  // not owned
};
