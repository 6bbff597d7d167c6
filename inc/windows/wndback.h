// Window skins: back pictures composed at any size from pieces named in a
// skin table. KWndBack_Ex frames the area with nine pieces (corners drawn
// once, edges and centre tiled), KWndBack_Ex2 tiles one piece over it.
//
// The host makes a skin with the device, the table's name and its packed
// archives, creates the back sprite at a first size (Create), calls Update
// whenever the size changes and draws GetData() itself.
//
// A skin table has one row per piece and five tab-separated columns: the
// piece's picture file ("null" for none), then left, top, right and bottom
// (exclusive) of the piece's rectangle in that picture. Names beginning with
// "common" are read from the common archive, others from the skin's own.
#pragma once
#include <windows.h>
#include <kexport.h>
#include <kgraph.h>

class CUnPackFile;

class KESTREL_API KWndBack {
public:
    explicit KWndBack(KGraph* pGraph);
    // Releases the back sprite.
    virtual ~KWndBack();
    KWndBack(const KWndBack&) = delete;
    KWndBack& operator=(const KWndBack&) = delete;

    virtual long Load(const char* name, CUnPackFile* pack, CUnPackFile* commonPack) = 0;
    // Composes the back at w x h (immediate drawing into the back sprite).
    virtual void Update(long w, long h) = 0;
    // The room the frame takes: 0 in the base class.
    virtual long GetTitleHeight();
    virtual long GetLBorderWidth();
    virtual long GetRBorderWidth();
    virtual long GetDBorderHeight();

    // The back sprite, w x h (both above 0), made once.
    void Create(long w, long h, KESTREL_COLOR_MODE mode, DWORD flags);
    // The composed back; null before Create.
    KSprite* GetData() { return m_sprBack; }

protected:
    // Keeps the pixel block when w x h fits in it, else makes a larger one
    // of the same colour mode and flags; the rectangle becomes (0, 0, w, h).
    // False when there is no back sprite after it.
    bool Resize(long w, long h);
    void Release();
    // Loads a piece named in a table: the name lower-cased (at most 255
    // bytes, never cut inside a double-byte character), read from
    // commonPack when it begins with "common", else from pack; its
    // rectangle clipped to the picture. Null, reported, when it cannot be
    // loaded.
    KSprite* _loadpiece(const char* picture, const long rect[4], CUnPackFile* pack,
                        CUnPackFile* commonPack);
    // Reads cells 1 to 4 of the row as numbers; false when one is not.
    static bool _readrect(class KExcelTable& table, int row, long rect[4]);

    KSprite* m_sprBack;  // owned
    KGraph* m_Graph;     // not owned
};

class KESTREL_API KWndBack_Ex : public KWndBack {
public:
    // Piece order in the table and in m_sprSrc.
    enum {
        PIECE_TOPLEFT, PIECE_TOP, PIECE_TOPRIGHT,
        PIECE_LEFT, PIECE_CENTRE, PIECE_RIGHT,
        PIECE_BOTTOMLEFT, PIECE_BOTTOM, PIECE_BOTTOMRIGHT,
        PIECE_COUNT
    };

    KWndBack_Ex(KGraph* pGraph, const char* name, CUnPackFile* pack, CUnPackFile* commonPack);
    ~KWndBack_Ex() override;

    // 0, or E_FAIL when a row's rectangle is not four numbers (the rows
    // before it keep their pieces). Rows past the ninth are not read.
    long Load(const char* name, CUnPackFile* pack, CUnPackFile* commonPack) override;
    void Update(long w, long h) override;
    // Top-left corner's height, left edge's width, right edge's width,
    // bottom-left corner's height (0 for a missing piece).
    long GetTitleHeight() override;
    long GetLBorderWidth() override;
    long GetRBorderWidth() override;
    long GetDBorderHeight() override;

    KSprite* GetPiece(int i) const { return i >= 0 && i < PIECE_COUNT ? m_sprSrc[i] : NULL; }

protected:
    void Release();

    KSprite* m_sprSrc[PIECE_COUNT];  // owned; null for "null" rows
};

class KESTREL_API KWndBack_Ex2 : public KWndBack {
public:
    KWndBack_Ex2(KGraph* pGraph, const char* name, CUnPackFile* pack, CUnPackFile* commonPack);
    ~KWndBack_Ex2() override;

    // Row 0 of the table; 0 or E_FAIL as for KWndBack_Ex.
    long Load(const char* name, CUnPackFile* pack, CUnPackFile* commonPack) override;
    void Update(long w, long h) override;

    KSprite* GetPiece() const { return m_sprSrc; }

protected:
    void Release();

    KSprite* m_sprSrc;  // owned
};
