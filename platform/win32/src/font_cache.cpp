// A face's rendered glyphs: a list in order of use with an index by code
// and format, trimmed from the least recently used end.
#include "font_cache.h"

namespace win32font {

GlyphPtr GlyphCache::Find(UINT code, bool mono)
{
    auto it = m_index.find(_key(code, mono));
    if (it == m_index.end())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, it->second);
    return it->second->glyph;
}

void GlyphCache::Add(UINT code, bool mono, GlyphPtr glyph)
{
    const uint64_t key = _key(code, mono);
    auto it = m_index.find(key);
    if (it != m_index.end()) {
        m_bytes -= it->second->glyph->bits.size();
        m_order.erase(it->second);
        m_index.erase(it);
    }
    m_bytes += glyph->bits.size();
    m_order.push_front(Entry{key, std::move(glyph)});
    m_index[key] = m_order.begin();
    _trim();
}

// Drops the oldest glyphs while the cache is beyond a bound, never the one
// just added: a caller reading a glyph's size and then its rows finds it.
void GlyphCache::_trim()
{
    while (m_order.size() > 1 && (m_order.size() > kMaxGlyphs || m_bytes > kMaxBytes)) {
        const Entry& oldest = m_order.back();
        m_bytes -= oldest.glyph->bits.size();
        m_index.erase(oldest.key);
        m_order.pop_back();
    }
}

}  // namespace win32font
