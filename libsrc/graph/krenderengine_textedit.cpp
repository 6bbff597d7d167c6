// KRenderEngine: a text that changed only in some of its characters.
//
// A score, a clock or a line of a list scrolled by one is drawn at the same
// place with the same font and colour as the frame before, and most of its
// characters stay where they were. Such a command is taken as the previous
// one edited: only the stretch around the characters that differ is dirty,
// and the text is redrawn there alone, cut like any unchanged command.
#include "krenderengine.h"
#include "kfont_2.h"
#include "kfont_walk.h"

#include <algorithm>

namespace {

// The most characters of two texts' differing rest that are compared from
// their ends; a longer rest is not taken as an edit.
const int kMostChars = 256;

// Reads a text a character at a time, as the recorder measured it.
struct CodeReader {
    const char* s;
    size_t i;

    // 1: the next character is in code; 0: the text ended; -1: a byte that
    // drawing takes as a lead byte and measuring does not, so where the
    // characters after it lie is not known.
    int Next(unsigned& code)
    {
        const unsigned char b = kfontwalk::ByteAt(s, i);
        if (b == 0)
            return 0;
        if (b >= kfontwalk::kDrawLead && b < kfontwalk::kMeasureLead)
            return -1;
        if (b < kfontwalk::kMeasureLead) {
            code = b;
            i++;
            return 1;
        }
        const unsigned char trail = kfontwalk::ByteAt(s, i + 1);
        if (trail == 0)  // a lead byte without its trail ends the text
            return 0;
        code = unsigned(b) * 256 + trail;
        i += 2;
        return 1;
    }
    // The characters from here to the end, after first (when has): false
    // at a byte Next cannot place, or when they are more than out holds
    // (their end could not be compared).
    bool Rest(bool has, unsigned first, unsigned* out, int& count)
    {
        count = 0;
        if (has)
            out[count++] = first;
        unsigned code = 0;
        int got = 1;
        while (got > 0) {
            got = Next(code);
            if (got > 0) {
                if (count == kMostChars)
                    return false;
                out[count++] = code;
            }
        }
        return got == 0;
    }
};

const KRE_TEXT_PARAM* Param(const KRenderEngine::rectlist_node* n)
{
    return reinterpret_cast<const KRE_TEXT_PARAM*>(n->param);
}

}  // namespace

bool KRenderEngine::EditableText(const Node* p, const Node* n)
{
    if (n->op != KRE_OP_PRINTF || p->op != KRE_OP_PRINTF || p->dst != n->dst ||
        (p->state & KRE_STATE_STALE) != 0 || !SameTextPlace(p, n))
        return false;
    const KRE_TEXT_PARAM* a = Param(p);
    const KRE_TEXT_PARAM* b = Param(n);
    return a->font == b->font && a->colour == b->colour;
}

// The characters alike at the start of both texts stay where they were; so
// do those alike at the end when both texts are equally wide. Whatever lies
// between may differ, and the glyphs there may reach TextReach past their
// steps: the dirty stretch reaches that far to either side. When that is
// about the whole text, the text is left a changed one (false): drawn
// whole, it costs less than cut.
bool KRenderEngine::_textedit(const Node* p, const Node* n)
{
    KFont& font = *Param(n)->font;
    CodeReader ra{Param(p)->text, 0}, rb{Param(n)->text, 0};
    unsigned ca = 0, cb = 0;
    int ga = 0, gb = 0;
    long head = 0;
    for (;;) {
        ga = ra.Next(ca);
        gb = rb.Next(cb);
        if (ga < 0 || gb < 0)
            return false;
        if (ga == 0 || gb == 0 || ca != cb)
            break;
        head += kfontwalk::Step(font, ca);
    }
    const long wa = p->rcSrc.right - p->rcSrc.left, wb = n->rcSrc.right - n->rcSrc.left;
    const long width = std::max(wa, wb);
    const long reach = TextReach(n->rcSrc.bottom - n->rcSrc.top);
    long tail = 0;
    if (wa != wb) {
        if (head <= reach)
            return false;  // the whole text may differ: it is drawn whole
    } else {
        unsigned a[kMostChars], b[kMostChars];
        int na = 0, nb = 0;
        if (!ra.Rest(ga > 0, ca, a, na) || !rb.Rest(gb > 0, cb, b, nb))
            return false;
        for (int i = na, j = nb; i > 0 && j > 0 && a[i - 1] == b[j - 1]; i--, j--)
            tail += kfontwalk::Step(font, a[i - 1]);
        if (head >= width - tail)
            return true;  // the same characters in the same places
        if (head <= reach && tail <= reach)
            return false;
    }
    RECT span = n->rcDst;
    span.left = n->rcSrc.left + head - reach;
    span.right = n->rcSrc.left + width - tail + reach;
    _adddirty(span, m_nBuildPos);
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
    m_stepMisses.push_back(StepMiss{n, p, m_nStepPos - 1, true});
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
