// KRenderEngine: a text that changed only in some of its characters.
//
// A score, a clock or a line of a list scrolled by one is drawn at the same
// place with the same font and colour as the frame before, and most of its
// characters stay where they were. Such a command is taken as the previous
// one edited: only the stretch around the characters that differ is dirty,
// and the text is redrawn there alone, cut like any unchanged command.
#include "krenderengine.h"
#include "kfont_2.h"

#include <algorithm>

namespace {

// Text is kept to 255 bytes, so it has at most this many characters.
const int kMostChars = 256;

// The character codes of s, in order. False when s holds a byte from 129
// to 159: drawing takes one as a lead byte and measuring does not, so where
// the characters after it lie is not known.
bool ReadCodes(const char* s, unsigned* out, int& count)
{
    count = 0;
    for (size_t i = 0; s[i] != 0 && count < kMostChars;) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b >= 129 && b < 160)
            return false;
        if (b < 160) {
            out[count++] = b;
            i++;
            continue;
        }
        const unsigned char trail = static_cast<unsigned char>(s[i + 1]);
        if (trail == 0)  // a lead byte without its trail ends the text
            break;
        out[count++] = unsigned(b) * 256 + trail;
        i += 2;
    }
    return true;
}

// A character's advance as the recorder measured it.
long Advance(KFont& font, unsigned code)
{
    return code == ' ' ? font.GetHeight() / 2 : font.GetWidth(code);
}

const KRE_TEXT_PARAM* Param(const KRenderEngine::rectlist_node* n)
{
    return reinterpret_cast<const KRE_TEXT_PARAM*>(n->param);
}

}  // namespace

bool KRenderEngine::EditableText(const Node* p, const Node* n)
{
    if (n->op != KRE_OP_PRINTF || p->op != KRE_OP_PRINTF || p->dst != n->dst ||
        (p->state & KRE_STATE_STALE) != 0 || p->rcDst.left != n->rcDst.left ||
        p->rcDst.top != n->rcDst.top || p->rcDst.bottom != n->rcDst.bottom)
        return false;
    const KRE_TEXT_PARAM* a = Param(p);
    const KRE_TEXT_PARAM* b = Param(n);
    return a->font == b->font && a->colour == b->colour;
}

// The characters alike at the start of both texts stay where they were; so
// do those alike at the end when both texts are equally wide. Whatever lies
// between may differ. A glyph's ink may reach past its advance (a wide
// letter, a bearing below zero) but not by the font's height, so the dirty
// stretch reaches that far to either side, within the two texts' rectangle.
bool KRenderEngine::_textedit(const Node* p, const Node* n)
{
    KFont& font = *Param(n)->font;
    unsigned a[kMostChars], b[kMostChars];
    int na = 0, nb = 0;
    if (!ReadCodes(Param(p)->text, a, na) || !ReadCodes(Param(n)->text, b, nb))
        return false;
    int k = 0;
    long head = 0;
    while (k < na && k < nb && a[k] == b[k])
        head += Advance(font, a[k++]);
    const long wa = p->rcDst.right - p->rcDst.left, wb = n->rcDst.right - n->rcDst.left;
    const long width = std::max(wa, wb);
    long tail = 0;
    if (wa == wb) {
        for (int i = na, j = nb; i > k && j > k && a[i - 1] == b[j - 1]; i--, j--)
            tail += Advance(font, a[i - 1]);
    }
    if (head >= width - tail)
        return true;  // the same characters in the same places
    const long reach = font.GetHeight();
    RECT span = n->rcDst;
    span.left = n->rcDst.left + std::max(0L, head - reach);
    span.right = n->rcDst.left + std::min(width, width - tail + reach);
    _adddirty(span, true);
    return true;
}

// While matching in step: n is p edited. It does not put the lists out of
// step the way a miss does, since nothing came or went.
void KRenderEngine::_stepedit(Node* n, Node* p)
{
    if (m_stepMisses.size() >= m_nStepMaxMisses) {
        m_bStep = false;
        return;
    }
    m_stepMisses.push_back(StepMiss{n, p, true});
}

// While searching: when the previous command after the last match is a
// text that node edits, it is node's match and the edit is dirty.
bool KRenderEngine::_matchedit(Node* node)
{
    Node* p = m_prevNext;
    const long at = m_nMatchedOrder + 1;
    if (p == NULL || at >= long(m_pPrev->list.GetCount()) || !EditableText(p, node) ||
        !_textedit(p, node))
        return false;
    _matchprevious(p, at);
    return true;
}
