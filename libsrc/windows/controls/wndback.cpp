// KWndBack: the skin's back sprite and the loading of pieces named in a
// skin table, shared by the nine-piece and the tiled skin.
#include "wndback.h"

#include "loadflags.h"

#include <kbase.h>

#include <cstring>

KWndBack::KWndBack(KGraph* pGraph) : m_sprBack(NULL), m_Graph(pGraph)
{
    KASSERT(pGraph != NULL);
}

KWndBack::~KWndBack()
{
    Release();
}

long KWndBack::GetTitleHeight()
{
    return 0;
}

long KWndBack::GetLBorderWidth()
{
    return 0;
}

long KWndBack::GetRBorderWidth()
{
    return 0;
}

long KWndBack::GetDBorderHeight()
{
    return 0;
}

void KWndBack::Create(long w, long h, KESTREL_COLOR_MODE mode, DWORD flags)
{
    KASSERT(m_sprBack == NULL);
    KASSERT(w > 0 && h > 0);
    KASSERT(m_Graph != NULL);
    if (m_sprBack != NULL || w <= 0 || h <= 0 || m_Graph == NULL)
        return;
    m_sprBack = m_Graph->CreateSprite(w, h, mode, flags);
}

bool KWndBack::Resize(long w, long h)
{
    KASSERT(m_sprBack != NULL);
    if (m_sprBack == NULL || w <= 0 || h <= 0)
        return false;
    SPRITE_DATA* data = m_sprBack->GetData();
    if (data == NULL)
        return false;
    if ((unsigned long)w > (unsigned long)data->width ||
        (unsigned long)h > (unsigned long)data->height) {
        // Read before the block goes with the old sprite.
        const KESTREL_COLOR_MODE mode = data->kcm;
        const DWORD flags = data->flags;
        m_Graph->ReleaseKSprite(m_sprBack);
        m_sprBack = NULL;
        Create(w, h, mode, flags);
        if (m_sprBack == NULL)
            return false;
    }
    m_sprBack->SetRect(0, 0, w, h);
    return true;
}

void KWndBack::Release()
{
    if (m_sprBack != NULL && m_Graph != NULL)
        m_Graph->ReleaseKSprite(m_sprBack);
    m_sprBack = NULL;
}

bool KWndBack::_readrect(KExcelTable& table, int row, long rect[4])
{
    KWordParser parser;
    for (int c = 0; c < 4; c++) {
        KParserObject word;
        if (parser.Parse(word, table.GetData(c + 1, row)) != KWORD_NUMBER)
            return false;
        rect[c] = word.nNumber;
    }
    return true;
}

KSprite* KWndBack::_loadpiece(const char* picture, const long rect[4], CUnPackFile* pack,
                              CUnPackFile* commonPack)
{
    char lowered[256];
    size_t n = 0;
    // Cut at 255 bytes, but never between the two bytes of a character.
    while (picture[n] != '\0') {
        const size_t step = (IsDBCSLeadByte(BYTE(picture[n])) && picture[n + 1] != '\0') ? 2 : 1;
        if (n + step > sizeof(lowered) - 1)
            break;
        n += step;
    }
    std::memcpy(lowered, picture, n);
    lowered[n] = '\0';
    _strlwr(lowered);
    CUnPackFile* archive = std::strncmp(lowered, "common", 6) == 0 ? commonPack : pack;
    KSprite* piece = m_Graph != NULL ? m_Graph->Load(lowered, KWND_PICTURE_KEYED, archive) : NULL;
    if (piece == NULL) {
        KRet(E_FAIL, "KWndBack::Load piece(%s) fail!", lowered);
        return NULL;
    }
    // A rectangle reaching out of the picture is kept to the part inside it.
    const long pw = piece->GetWidth(), ph = piece->GetHeight();
    auto clamp = [](long v, long hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    piece->SetRect(clamp(rect[0], pw), clamp(rect[1], ph), clamp(rect[2], pw), clamp(rect[3], ph));
    return piece;
}
