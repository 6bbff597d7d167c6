// The built-in "EDIT" class: one line of text bytes with a caret, a
// selection and a limit. Text is code page 936: a byte from 0x81 up that is
// not the last of the text leads a two-byte character, and every offset the
// class keeps or hands out lies on a character's first byte, so a
// double-byte character is never split by typing, deleting, moving or the
// limit.
#include "desktop_internal.h"

#include <algorithm>

using namespace desktop::detail;

namespace {

// A new field takes this many bytes of typing until EM_LIMITTEXT says
// otherwise, as on Windows.
constexpr size_t kDefaultLimit = 30000;
// EM_LIMITTEXT(0) lifts the limit as far as Windows does: this far for a
// single-line field, a DWORD's -1 for a multi-line one.
constexpr size_t kMaxSingleLine = 0x7FFFFFFE;
constexpr size_t kMaxMultiLine = 0xFFFFFFFF;

// The first byte of the character holding offset pos (pos itself at the end).
size_t _snap(const std::string& text, size_t pos)
{
    pos = std::min(pos, text.size());
    size_t i = 0;
    while (i < pos) {
        const size_t next = i + (IsDBCSLeadByte(BYTE(text[i])) && i + 1 < text.size() ? 2 : 1);
        if (next > pos)
            return i;
        i = next;
    }
    return i;
}

size_t _next(const std::string& text, size_t pos)
{
    if (pos >= text.size())
        return text.size();
    return pos + (IsDBCSLeadByte(BYTE(text[pos])) && pos + 1 < text.size() ? 2 : 1);
}

size_t _prev(const std::string& text, size_t pos)
{
    return pos == 0 ? 0 : _snap(text, pos - 1);
}

// The limit EM_LIMITTEXT(n) sets: 0 and anything past the field's greatest
// mean that greatest.
size_t _limitFor(DWORD style, WPARAM n)
{
    const size_t most = (style & ES_MULTILINE) ? kMaxMultiLine : kMaxSingleLine;
    return n == 0 ? most : std::min(size_t(n), most);
}

size_t _selMin(const EditData& e)
{
    return std::min(e.anchor, e.caret);
}

size_t _selMax(const EditData& e)
{
    return std::max(e.anchor, e.caret);
}

void _eraseSelection(std::string& text, EditData& e)
{
    const size_t a = _selMin(e), b = _selMax(e);
    text.erase(a, b - a);
    e.anchor = e.caret = a;
}

// The longest head of `bytes` that fits in `room` bytes without cutting a
// double-byte character, and only up to a line end or other control byte.
std::string _fitting(const std::string& bytes, size_t room)
{
    size_t end = 0;
    while (end < bytes.size() && (unsigned char)bytes[end] >= 0x20)
        end++;
    std::string line = bytes.substr(0, end);
    return line.substr(0, _snap(line, std::min(room, line.size())));
}

// Replaces the selection with `bytes` when the whole of it fits; nothing
// changes otherwise.
void _insertWhole(std::string& text, EditData& e, const std::string& bytes)
{
    const size_t kept = text.size() - (_selMax(e) - _selMin(e));
    if (kept + bytes.size() > e.limit)
        return;
    _eraseSelection(text, e);
    text.insert(e.caret, bytes);
    e.anchor = e.caret = e.caret + bytes.size();
}

void _paste(std::string& text, EditData& e, const std::string& clipboard)
{
    const size_t kept = text.size() - (_selMax(e) - _selMin(e));
    const size_t limit = e.limit;
    const std::string part = _fitting(clipboard, limit > kept ? limit - kept : 0);
    if (part.empty())
        return;
    _insertWhole(text, e, part);
}

void _char(Window& w, Desktop& d, unsigned char c)
{
    std::string& text = w.text;
    EditData& e = w.edit;
    const bool readOnly = (w.style & ES_READONLY) != 0;
    if (e.lead >= 0) {
        const char pair[2] = {char(e.lead), char(c)};
        e.lead = -1;
        if (c >= 0x40 && c != 0x7F && c != 0xFF) {
            if (!readOnly)
                _insertWhole(text, e, std::string(pair, 2));
            return;
        }
        // No trail byte: the lone lead byte is dropped and c stands alone.
    }
    switch (c) {
    case 0x03:  // Ctrl-C
        if (_selMin(e) != _selMax(e))
            d.clipboard = text.substr(_selMin(e), _selMax(e) - _selMin(e));
        return;
    case 0x18:  // Ctrl-X
        if (_selMin(e) != _selMax(e) && !readOnly) {
            d.clipboard = text.substr(_selMin(e), _selMax(e) - _selMin(e));
            _eraseSelection(text, e);
        }
        return;
    case 0x16:  // Ctrl-V
        if (!readOnly)
            _paste(text, e, d.clipboard);
        return;
    case '\b':
        if (readOnly)
            return;
        if (_selMin(e) == _selMax(e))
            e.anchor = _prev(text, e.caret);
        _eraseSelection(text, e);
        return;
    default:
        break;
    }
    if (c < 0x20 || readOnly)
        return;
    if (IsDBCSLeadByte(BYTE(c))) {
        e.lead = c;
        return;
    }
    _insertWhole(text, e, std::string(1, char(c)));
}

void _key(Window& w, UINT vk, bool shift)
{
    std::string& text = w.text;
    EditData& e = w.edit;
    e.lead = -1;
    size_t to;
    switch (vk) {
    case VK_LEFT:
        if (!shift && _selMin(e) != _selMax(e)) {
            e.anchor = e.caret = _selMin(e);
            return;
        }
        to = _prev(text, e.caret);
        break;
    case VK_RIGHT:
        if (!shift && _selMin(e) != _selMax(e)) {
            e.anchor = e.caret = _selMax(e);
            return;
        }
        to = _next(text, e.caret);
        break;
    case VK_HOME:
        to = 0;
        break;
    case VK_END:
        to = text.size();
        break;
    case VK_DELETE:
        if (w.style & ES_READONLY)
            return;
        if (_selMin(e) == _selMax(e))
            e.caret = _next(text, e.caret);
        _eraseSelection(text, e);
        return;
    default:
        return;
    }
    e.caret = to;
    if (!shift)
        e.anchor = to;
}

// EM_SETSEL's numbers are ints: a negative one is the end of the text.
size_t _offset(const std::string& text, int v)
{
    return v < 0 ? text.size() : _snap(text, size_t(v));
}

// EM_SETSEL: a start of -1 takes the selection away and leaves the caret
// where it is; otherwise the selection runs from start to end.
void _setSel(const std::string& text, EditData& e, WPARAM start, LPARAM end)
{
    e.lead = -1;
    if (int(start) == -1) {
        e.anchor = e.caret;
        return;
    }
    e.anchor = _offset(text, int(start));
    e.caret = _offset(text, int(end));
}

}  // namespace

namespace desktop {
namespace detail {

LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Read outside the lock: the thread's key state takes it too.
    const bool shift = msg == WM_KEYDOWN && (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    Desktop& d = State();
    std::unique_lock<std::mutex> lock(d.mutex);
    Window* w = d.FindWindow(hwnd);
    if (w == nullptr)
        return 0;
    EditData& e = w->edit;
    switch (msg) {
    case WM_NCCREATE:
        e = EditData();
        e.limit = kDefaultLimit;
        return TRUE;
    case WM_NCDESTROY:
        // The field's text goes with it; the default procedure ends the rest.
        std::string().swap(w->text);
        e = EditData();
        break;
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text ? text : "";
        e.anchor = e.caret = 0;
        e.lead = -1;
        return TRUE;
    }
    case WM_GETTEXT:
        return LRESULT(CopyText(w->text, reinterpret_cast<char*>(lParam), wParam));
    case WM_GETTEXTLENGTH:
        return LRESULT(w->text.size());
    case EM_LIMITTEXT:
        e.limit = _limitFor(w->style, wParam);
        return 0;
    case EM_GETLIMITTEXT:
        return LRESULT(e.limit);
    case EM_SETSEL:
        _setSel(w->text, e, wParam, lParam);
        return 0;
    case EM_GETSEL: {
        const DWORD a = DWORD(_selMin(e)), b = DWORD(_selMax(e));
        if (DWORD* p = reinterpret_cast<DWORD*>(wParam))
            *p = a;
        if (DWORD* p = reinterpret_cast<DWORD*>(lParam))
            *p = b;
        return LRESULT(MAKELONG(WORD(a), WORD(b)));
    }
    case WM_CHAR:
        _char(*w, d, (unsigned char)(wParam & 0xFF));
        return 0;
    case WM_KEYDOWN:
        _key(*w, UINT(wParam), shift);
        return 0;
    default:
        break;
    }
    lock.unlock();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace detail
}  // namespace desktop
