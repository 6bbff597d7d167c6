// KSpriteManager: the picture cache's two ordered sets and the dispatch of a
// new name to the loader its extension names.
#include "kspritemanager.h"
#include "kgraph.h"
#include <kbase.h>
#include <cstdint>
#include <cstring>

bool KSpriteManager::ByName::operator()(const SPRITE_CACHE_NODE& a,
                                        const SPRITE_CACHE_NODE& b) const
{
    return std::strcmp(a.name, b.name) < 0;
}

bool KSpriteManager::ByData::operator()(const SPRITE_CACHE_NODE& a,
                                        const SPRITE_CACHE_NODE& b) const
{
    return reinterpret_cast<uintptr_t>(a.data) < reinterpret_cast<uintptr_t>(b.data);
}

KSpriteManager::KSpriteManager(KGraph* graph) : m_Graph(graph) {}

// Blocks still cached are not freed here: their holders release them.
KSpriteManager::~KSpriteManager() {}

static SPRITE_CACHE_NODE MakeNode(const char* name, SPRITE_DATA* data)
{
    SPRITE_CACHE_NODE node;
    std::memset(node.name, 0, sizeof(node.name));
    std::strncpy(node.name, name, sizeof(node.name) - 1);
    node.data = data;
    return node;
}

bool KSpriteManager::_insert(const char* name, SPRITE_DATA* data)
{
    SPRITE_CACHE_NODE node = MakeNode(name, data);
    if (!m_byName.insert(node).second)
        return false;
    m_byData.insert(node);
    return true;
}

SPRITE_DATA* KSpriteManager::_find(const char* name) const
{
    auto it = m_byName.find(MakeNode(name, NULL));
    return it != m_byName.end() ? it->data : NULL;
}

// The extension of a name: the text after its last '.', or, for a name with
// no '.', the text after its first character. Copied into ext (room for 9
// characters; a longer one is cut, and then matches nothing) and lower-cased.
static void GetExtension(const char* name, char (&ext)[10])
{
    std::memset(ext, 0, sizeof(ext));
    size_t i = std::strlen(name);
    if (i == 0)
        return;  // nothing after the first character to compare
    while (name[i] != '.' && i > 0)
        i--;
    std::strncpy(ext, name + i + 1, sizeof(ext) - 1);
    _strlwr(ext);
}

SPRITE_DATA* KSpriteManager::Load(SPRITE_DATA*& alpha, const char* name, KESTREL_COLOR_MODE mode,
                                  DWORD flags, CUnPackFile* pack)
{
    KASSERT(m_Graph != NULL);
    KASSERT(name != NULL);
    if (m_Graph == NULL || name == NULL)
        return NULL;

    // A name longer than a record holds is loaded but not cached: cut short,
    // it could be taken for another name with the same beginning.
    const bool cacheable = std::strlen(name) < sizeof(SPRITE_CACHE_NODE::name);
    if (cacheable) {
        SPRITE_DATA* found = _find(name);
        if (found != NULL) {
            found->ref++;
            return found;
        }
    }

    char ext[10];
    GetExtension(name, ext);
    SPRITE_DATA* data;
    if (std::strcmp(ext, "kpc") == 0)
        data = m_Graph->_loadkpc(alpha, name, mode, flags, pack);
    else if (std::strcmp(ext, "png") == 0)
        data = m_Graph->_loadpng(alpha, name, mode, flags, pack);
    else if (std::strcmp(ext, "jpg") == 0 || std::strcmp(ext, "jpeg") == 0)
        data = m_Graph->_loadjpg(alpha, name, mode, flags, pack);
    else if (std::strcmp(ext, "tga") == 0)
        data = m_Graph->_loadtga(alpha, name, mode, flags, pack);
    else if (std::strcmp(ext, "gif") == 0)
        data = m_Graph->_loadgif(alpha, name, mode, flags, pack);
    else if (std::strcmp(ext, "bmp") == 0)
        data = m_Graph->_loadbmp(alpha, name, mode, flags);  // always from disk
    else {
        OutputLog("KSpriteManager::Load(%s) fail, unknown file type!", name);
        return NULL;
    }
    if (data == NULL) {
        OutputLog("KSpriteManager::Load(%s)", name);
        return NULL;
    }
    if (cacheable)
        _insert(name, data);
    return data;
}

void KSpriteManager::Release(SPRITE_DATA* spr)
{
    KASSERT(m_Graph != NULL);
    KASSERT(spr != NULL);
    auto it = m_byData.find(MakeNode("", spr));
    if (it == m_byData.end())
        return;
    auto named = m_byName.find(*it);
    if (named != m_byName.end())
        m_byName.erase(named);
    m_byData.erase(it);
}
