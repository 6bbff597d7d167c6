// KWndBack_Ex2: a back tiled with one piece from its top-left corner; the
// last row and column are cut to the back's size.
#include "wndback.h"

#include <kbase.h>

#include <algorithm>
#include <cstring>

KWndBack_Ex2::KWndBack_Ex2(KGraph* pGraph, const char* name, CUnPackFile* pack,
                           CUnPackFile* commonPack)
    : KWndBack(pGraph), m_sprSrc(NULL)
{
    KASSERT(name != NULL);
    Load(name, pack, commonPack);
}

KWndBack_Ex2::~KWndBack_Ex2()
{
    Release();
}

void KWndBack_Ex2::Release()
{
    if (m_sprSrc != NULL && m_Graph != NULL)
        m_Graph->ReleaseKSprite(m_sprSrc);
    m_sprSrc = NULL;
}

long KWndBack_Ex2::Load(const char* name, CUnPackFile* pack, CUnPackFile* commonPack)
{
    KASSERT(name != NULL);
    if (name == NULL)
        return E_FAIL;
    CUnPackFile* archive = std::strncmp(name, "common", 6) == 0 ? commonPack : pack;
    KExcelTable excel(name, archive);
    KASSERT(excel.GetRow() == 1);
    KASSERT(m_sprSrc == NULL);
    if (excel.GetRow() < 1)
        return KRet(E_FAIL, "KWndBack_Ex::Load(%s) fail!", name);
    const char* picture = excel.GetData(0, 0);
    long rect[4];
    if (picture == NULL || !_readrect(excel, 0, rect))
        return KRet(E_FAIL, "KWndBack_Ex::Load(%s) fail!", name);
    Release();
    m_sprSrc = _loadpiece(picture, rect, pack, commonPack);
    return 0;
}

void KWndBack_Ex2::Update(long W, long H)
{
    if (!Resize(W, H))
        return;
    m_sprBack->_clear(0);
    if (m_sprSrc == NULL || !m_sprSrc->IsInited())
        return;
    const RECT rc = m_sprSrc->GetRect();
    const long w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return;  // a piece without area would never step on
    for (long y = 0; y < H; y += h) {
        const long r = std::min(h, H - y);
        for (long x = 0; x < W; x += w) {
            const long c = std::min(w, W - x);
            m_sprBack->_blt_ck(x, y, m_sprSrc, rc.left, rc.top, rc.left + c, rc.top + r);
        }
    }
}
