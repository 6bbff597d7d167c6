// KSpriteManager: the device's picture cache, keyed by file name. It holds no
// reference of its own: a record lives exactly as long as its block, and the
// device removes it (Release) when it frees the block.
#pragma once
#include <windows.h>
#include <kexport.h>
#include <set>
#include "kspritedata.h"

class KGraph;
class CUnPackFile;

struct SPRITE_CACHE_NODE {
    char name[128];       // the name exactly as passed to Load, NUL-terminated
    SPRITE_DATA* data;
};

class KESTREL_API KSpriteManager {
public:
    explicit KSpriteManager(KGraph* graph);
    ~KSpriteManager();
    KSpriteManager(const KSpriteManager&) = delete;
    KSpriteManager& operator=(const KSpriteManager&) = delete;

    // The picture `name` in colour mode `mode`: the cached block with its
    // count raised, or a block freshly made by the loader its extension
    // names (kpc, png, jpg/jpeg, tga, gif, bmp, compared lower-cased), which
    // is then cached under the name exactly as passed. A new block starts
    // with the count 1, which belongs to the caller. `alpha` receives the
    // loader's alpha block, if any (only a first TGA load has one); the
    // caller sets it to null before the call. Null when nothing was loaded.
    SPRITE_DATA* Load(SPRITE_DATA*& alpha, const char* name, KESTREL_COLOR_MODE mode,
                      DWORD flags, CUnPackFile* pack);

    // Forgets the record of a block that is being freed; frees nothing.
    void Release(SPRITE_DATA* data);

    size_t GetCount() const { return m_byName.size(); }

private:
    friend struct KSpriteManagerAccess;  // tests

    // Remembers a loaded block under its name; false when the name is taken.
    bool _insert(const char* name, SPRITE_DATA* data);
    SPRITE_DATA* _find(const char* name) const;

    struct ByName {
        bool operator()(const SPRITE_CACHE_NODE& a, const SPRITE_CACHE_NODE& b) const;
    };
    struct ByData {
        bool operator()(const SPRITE_CACHE_NODE& a, const SPRITE_CACHE_NODE& b) const;
    };

    KGraph* m_Graph;
    std::set<SPRITE_CACHE_NODE, ByName> m_byName;
    std::set<SPRITE_CACHE_NODE, ByData> m_byData;
};
