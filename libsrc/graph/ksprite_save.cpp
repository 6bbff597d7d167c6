// KSprite's save forms: the device's BMP and kpc writers over the handle's
// whole data block (not only its rectangle).
#include "ksprite.h"
#include "krenderengine.h"
#include "kgraph.h"
#include <kbase.h>

void KSprite::Save(const char* name)
{
    SaveBmp(name);
}

void KSprite::SaveBmp(const char* name)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL || m_RenderEngine->GetGraph() == NULL)
        return;
    m_RenderEngine->GetGraph()->_savebmp(name, m_lps);
}

long KSprite::SaveKpc(const char* name, const char* jpeg)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL || m_RenderEngine->GetGraph() == NULL)
        return E_FAIL;
    return m_RenderEngine->GetGraph()->_savekpc(name, jpeg, m_lps);
}

long KSprite::SaveKpc(const char* name, DWORD format)
{
    KASSERT(m_RenderEngine);
    if (m_RenderEngine == NULL || m_RenderEngine->GetGraph() == NULL)
        return E_FAIL;
    return m_RenderEngine->GetGraph()->_savekpc(name, format, m_lps);
}
