// KRenderEngine: replaying a frame. Render builds the frame, rotates the
// four lists and hands each command to be drawn to the device primitive of
// its code; a command that reads another cut sprite first brings it up to
// date (RenderCut). A piece of a text is drawn on a window of its sprite.
#include "krenderengine_state.h"
#include "kgraph.h"
#include "kfont_walk.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

// A window onto the rectangle r of spr (r within spr): a sprite header
// whose rows start inside spr's rows. Kept from call to call; it grows only
// with the tallest window asked for.
SPRITE_DATA* KRenderEngine::_window(SPRITE_DATA* spr, const RECT& r)
{
    const long h = r.bottom - r.top;
    const size_t words = (sizeof(SPRITE_DATA) + sizeof(uintptr_t) - 1) / sizeof(uintptr_t) + size_t(h);
    if (m_frame->m_window.size() < words)
        m_frame->m_window.resize(words);
    SPRITE_DATA* w = reinterpret_cast<SPRITE_DATA*>(m_frame->m_window.data());
    const long bytes = spr->kcm == KCM_GRAY ? 1 : 2;
    w->flags = spr->flags;
    w->width = r.right - r.left;
    w->height = h;
    w->alignwidth = (w->width + 3) & ~3L;
    w->rows = h;
    w->pitch = spr->pitch;
    w->ref = 1;
    w->kcm = spr->kcm;
    w->reserved[0] = w->reserved[1] = 0;
    for (long y = 0; y < h; y++)
        w->lpRows[y] = spr->lpRows[r.top + y] + r.left * bytes;
    return w;
}

namespace {

// The characters of text, stepping from x, whose glyphs can reach the
// columns [0, width) of a window: bytes [begin, end), the first stepping
// from pen. The walk is drawing's own, each step the font's width of the
// character.
struct VisibleRun {
    size_t begin = 0, end = 0;
    long pen = 0;
};

VisibleRun FindVisibleRun(KFont& font, const char* text, long x, long width, long reach)
{
    VisibleRun run;
    bool started = false;
    long cx = x;
    kfontwalk::DrawForward(text, [&](unsigned code, size_t i, size_t n) {
        const long step = kfontwalk::Step(font, code);
        if (!started && cx + step + reach > 0) {
            started = true;
            run.begin = i;
            run.pen = cx;
        }
        if (started) {
            if (cx - reach >= width)
                return false;
            run.end = i + n;
        }
        cx += step;
        return true;
    });
    return run;
}

}  // namespace

// A text command: its source rectangle is where its characters step; a
// piece of it (a smaller destination) draws the text on a window of the
// sprite over the piece alone, so exactly the piece's pixels change, and
// only the characters whose glyphs can reach the window are drawn.
void KRenderEngine::_replaytext(const rectlist_node* n)
{
    const KRE_TEXT_PARAM* p = n->Text();
    const RECT& d = n->rcDst;
    const RECT& s = n->rcSrc;
    SPRITE_DATA* target = n->dst;
    long x = s.left, y = s.top;
    const bool limited = n->op == KRE_OP_PRINTF_WIDTH;
    RECT r = d;  // only the part on the sprite counts
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, LONG(target->width));
    r.bottom = std::min<LONG>(r.bottom, LONG(target->height));
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    target = _window(target, r);
    x -= r.left;
    y -= r.top;
    const long reach = TextReach(s.bottom - s.top);
    char part[256];
    const char* text = p->text;
    long pen = x;
    // A window that leaves out no character whole (it may cut off what the
    // first and last glyphs reach past the steps) draws the text as it is.
    if (r.left >= s.left + reach || r.right <= s.right - reach) {
        const VisibleRun run = FindVisibleRun(*p->font, text, x, r.right - r.left, reach);
        if (run.end <= run.begin)
            return;
        if (run.end - run.begin < sizeof part) {
            std::memcpy(part, text + run.begin, run.end - run.begin);
            part[run.end - run.begin] = 0;
            text = part;
            pen = run.pen;
        }
    }
    if (limited)  // the limit counts from where the whole text starts
        p->font->DrawString(target, pen, y, p->colour, text, p->width - (pen - x), false);
    else
        p->font->DrawString(target, pen, y, p->colour, text);
}

// Draws one command through the device primitive of its code.
void KRenderEngine::Replay(const rectlist_node* n)
{
    KGraph* g = m_Graph;
    const RECT& d = n->rcDst;
    const RECT& s = n->rcSrc;
    switch (n->op) {
    case KRE_OP_BLT:
        g->_bltsprite(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom);
        break;
    case KRE_OP_CLEAR:
        g->_clearsprite(n->dst, d.left, d.top, d.right, d.bottom, DWORD(n->param));
        break;
    case KRE_OP_BLT_CK:
        g->_bltsprite_ck(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom);
        break;
    case KRE_OP_PRINTF:
    case KRE_OP_PRINTF_WIDTH:
        _replaytext(n);
        break;
    case KRE_OP_LINE:
        if (n->rcSrc.left == KRE_LINE_DOWNLEFT)
            g->_line(n->dst, d.right - 1, d.top, d.left, d.bottom - 1, DWORD(n->param));
        else
            g->_line(n->dst, d.left, d.top, d.right - 1, d.bottom - 1, DWORD(n->param));
        break;
    case KRE_OP_BLT_ZOOM:
        g->_bltsprite_zoom(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top, n->src,
                           s.left, s.top, s.right - s.left, s.bottom - s.top);
        break;
    case KRE_OP_BLT_ALPHA:
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                            BYTE(n->param));
        break;
    case KRE_OP_BLT_ADDITIVE:
        g->_bltsprite_additive(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                               BYTE(n->param));
        break;
    case KRE_OP_BLT_ALPHA_CK:
        g->_bltsprite_alpha_ck(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                               BYTE(n->param));
        break;
    case KRE_OP_BLT_ALPHA_SPR: {
        const KRE_ALPHA_PARAM* p = n->Alpha();
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->src, s.left, s.top, s.right, s.bottom,
                            p->alpha, p->ax, p->ay);
        break;
    }
    case KRE_OP_FILL_ALPHA_SPR: {
        const KRE_ALPHA_PARAM* p = n->Alpha();
        g->_bltsprite_alpha(n->dst, d.left, d.top, n->FillColour(),
                            s.left, s.top, s.right, s.bottom, p->alpha, p->ax, p->ay);
        break;
    }
    case KRE_OP_BLT_ZOOM_ALPHA:
        g->_bltsprite_zoom_alpha(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top,
                                 n->src, s.left, s.top, s.right - s.left, s.bottom - s.top,
                                 BYTE(n->param));
        break;
    case KRE_OP_BLT_ZOOM_CK:
        g->_bltsprite_zoom_ck(n->dst, d.left, d.top, d.right - d.left, d.bottom - d.top, n->src,
                              s.left, s.top, s.right - s.left, s.bottom - s.top);
        break;
    default:
        break;  // no such code is recorded
    }
}

int KRenderEngine::RenderCut()
{
    int count = 0;
    Node* node = NULL;
    Node* cursor = NULL;
    if (m_pWork->list.GetCount() != 0) {
        do {
            m_pWork->list.GetNext(node, cursor);
            if (node != NULL && IsDrawNode(node)) {
                count++;
                Replay(node);
            }
        } while (cursor != NULL);
    }
    EmptyList(m_pWork);
    return count;
}

// One frame: build, rotate the lists, replay, empty. Returns how many
// commands were drawn.
int KRenderEngine::Render()
{
    if (m_pRecord == NULL || m_Graph == NULL)
        return 0;
    int count = 0;
    SPRITE_DATA* back = GetBackScreenData();
    const bool cutIsBack = m_sprCut != NULL && m_sprCut == back;
    if (m_bCutMode) {
        BuildingFrame();
        std::swap(m_pRecord, m_pPrev);
        if (cutIsBack)
            std::swap(m_pDraw, m_pWork);
    } else {
        std::swap(m_pRecord, m_pDraw);
    }

    // A frame drawn whole on the back screen replays its recorded commands
    // (now the previous-frame list) as they are: no copy is made of them.
    rectlist* replay = m_bCutMode && cutIsBack && m_frame->m_bWhole ? m_pPrev : m_pDraw;
    _noteshown(cutIsBack);
    const bool shownInParts = !m_frame->m_bShownAll;
    m_Graph->_beginrender();
    Node* node = NULL;
    Node* cursor = NULL;
    if (replay->list.GetCount() != 0) {
        do {
            replay->list.GetNext(node, cursor);
            if (node == NULL || !IsDrawNode(node))
                continue;
            // A command that reads another cut sprite first brings it up to
            // date. It is counted itself too: it draws.
            if (!cutIsBack && m_sprCut != NULL && node->Source() == m_sprCut)
                count += RenderCut();
            count++;
            Replay(node);
            if (shownInParts)
                _showreplayed(node);
        } while (cursor != NULL);
    }
    m_Graph->_endrender();
    if (count != 0)  // the window is shown this frame
        m_frame->m_bShowAllNext = false;

    EmptyList(m_pDraw);
    EmptyList(m_pRecord);
    EmptyList(m_pWork);
    _stepreset();
    return count;
}
