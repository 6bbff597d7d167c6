// Input: mouse, key and character events injected at a top-level window,
// at once or scripted for a moment of the clock. Each event becomes a Win32
// input message in the queue of the window it lands on.
#include "desktop_internal.h"

#include <desktop/desktop.h>

#include <algorithm>

namespace desktop {
namespace detail {
namespace {

bool _isMouseMessage(UINT msg)
{
    switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

bool _isKeyMessage(UINT msg)
{
    return msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP;
}

// The buttons held once this message has happened.
WPARAM _buttonsAfter(WPARAM held, UINT msg)
{
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return held | MK_LBUTTON;
    case WM_LBUTTONUP:
        return held & ~WPARAM(MK_LBUTTON);
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return held | MK_RBUTTON;
    case WM_RBUTTONUP:
        return held & ~WPARAM(MK_RBUTTON);
    default:
        return held;
    }
}

// The deepest shown, enabled child under (x, y), given in `w`'s client
// coordinates, which become the found window's. Among overlapping children
// the one made first lies on top.
Window* _hitChild(Desktop& d, Window* w, LONG& x, LONG& y)
{
    for (;;) {
        Window* hit = nullptr;
        for (auto& entry : d.windows) {
            Window& c = *entry.second;
            if (!c.child || c.parent != w->hwnd || !(c.style & WS_VISIBLE) ||
                (c.style & WS_DISABLED))
                continue;
            if (x >= c.window.left && x < c.window.right && y >= c.window.top &&
                y < c.window.bottom) {
                hit = &c;
                break;
            }
        }
        if (hit == nullptr)
            return w;
        x -= hit->client.left;
        y -= hit->client.top;
        w = hit;
    }
}

// The window holding the capture when it lies in `top`, with (x, y) made
// its client coordinates; else null.
Window* _captureIn(Desktop& d, Window* top, LONG& x, LONG& y)
{
    if (d.capture == nullptr || !d.IsWithin(d.capture, top->hwnd))
        return nullptr;
    Window* c = d.FindWindow(d.capture);
    if (c == nullptr)
        return nullptr;
    const POINT topOrigin = d.ClientOrigin(*top);
    const POINT origin = d.ClientOrigin(*c);
    x = LONG(int64_t(x) + topOrigin.x - origin.x);
    y = LONG(int64_t(y) + topOrigin.y - origin.y);
    return c;
}

// Keys and characters go to the focus window when it lies in `top`, else to
// `top` itself.
Window* _keyTarget(Desktop& d, Window* top)
{
    Queue& q = d.QueueOf(top->thread);
    if (q.focus != nullptr && d.IsWithin(q.focus, top->hwnd))
        if (Window* f = d.FindWindow(q.focus))
            return f;
    return top;
}

void _queueInput(Desktop& d, Window* target, UINT msg, WPARAM wParam, LPARAM lParam, DWORD time)
{
    Queue& q = d.QueueOf(target->thread);
    q.input.push_back(MakeMessage(target->hwnd, msg, wParam, lParam, time, d.cursorPos));
    q.wake.notify_all();
}

void _deliverMouse(Desktop& d, Window* top, const ScriptedInput& e)
{
    const POINT origin = d.ClientOrigin(*top);
    d.cursorPos.x = LONG(int64_t(origin.x) + e.x);
    d.cursorPos.y = LONG(int64_t(origin.y) + e.y);
    d.buttons = _buttonsAfter(d.buttons, e.msg);
    LONG x = e.x, y = e.y;
    Window* target = _captureIn(d, top, x, y);
    if (target == nullptr)
        target = _hitChild(d, top, x, y);
    WPARAM keys = d.buttons;
    if (d.keys[VK_SHIFT])
        keys |= MK_SHIFT;
    if (d.keys[VK_CONTROL])
        keys |= MK_CONTROL;
    // Each half of lParam is a signed 16-bit coordinate.
    _queueInput(d, target, e.msg, keys, MAKELPARAM(WORD(x), WORD(y)), e.time);
}

void _deliverKey(Desktop& d, Window* top, const ScriptedInput& e)
{
    const bool down = e.msg == WM_KEYDOWN || e.msg == WM_SYSKEYDOWN;
    const BYTE vk = BYTE(e.code);
    // Repeat count 1; bit 30 the key's previous state; bit 31 set on release.
    LPARAM lParam = 1;
    if (!down || d.keys[vk])
        lParam |= LPARAM(1) << 30;
    if (!down)
        lParam |= LPARAM(1) << 31;
    d.keys[vk] = down;
    _queueInput(d, _keyTarget(d, top), e.msg, vk, lParam, e.time);
}

// The wheel turns for the focus window, as on Win32: the distance (120 a
// notch, positive away from the user) in the high word of wParam with the
// buttons and keys held in the low one, the pointer in screen coordinates
// in lParam.
void _deliverWheel(Desktop& d, Window* top, const ScriptedInput& e)
{
    const POINT origin = d.ClientOrigin(*top);
    d.cursorPos.x = LONG(int64_t(origin.x) + e.x);
    d.cursorPos.y = LONG(int64_t(origin.y) + e.y);
    WPARAM keys = d.buttons;
    if (d.keys[VK_SHIFT])
        keys |= MK_SHIFT;
    if (d.keys[VK_CONTROL])
        keys |= MK_CONTROL;
    const WPARAM wParam = MAKEWPARAM(WORD(keys), WORD(int16_t(int32_t(e.code))));
    _queueInput(d, _keyTarget(d, top), WM_MOUSEWHEEL, wParam,
                MAKELPARAM(WORD(d.cursorPos.x), WORD(d.cursorPos.y)), e.time);
}

void _deliverChar(Desktop& d, Window* top, const ScriptedInput& e)
{
    // A code above one byte is a double-byte character: the input method's
    // message carries it whole.
    const UINT msg = e.code > 0xFF ? WM_IME_CHAR : WM_CHAR;
    _queueInput(d, _keyTarget(d, top), msg, e.code, 1, e.time);
}

bool _accept(Desktop& d, HWND top)
{
    const Window* w = d.FindWindow(top);
    return w != nullptr && !w->child;
}

bool _script(DWORD time, HWND top, InputKind kind, UINT msg, int x, int y, UINT code, bool now)
{
    Desktop& d = State();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!_accept(d, top))
        return false;
    ScriptedInput e;
    e.time = now ? ClockNow() : time;
    e.serial = ++d.scriptSerial;
    e.kind = kind;
    e.top = top;
    e.msg = msg;
    e.x = x;
    e.y = y;
    e.code = code;
    if (now) {
        DeliverDueInput(d);  // what was scripted before comes first
        DeliverInput(d, e);
        return true;
    }
    d.scripted.push_back(e);
    if (Window* w = d.FindWindow(top))
        d.QueueOf(w->thread).wake.notify_all();
    return true;
}

}  // namespace

void DeliverInput(Desktop& d, const ScriptedInput& e)
{
    Window* top = d.FindWindow(e.top);
    if (top == nullptr)
        return;  // gone before its moment
    switch (e.kind) {
    case InputKind::Mouse:
        _deliverMouse(d, top, e);
        break;
    case InputKind::Key:
        _deliverKey(d, top, e);
        break;
    case InputKind::Char:
        _deliverChar(d, top, e);
        break;
    case InputKind::Wheel:
        _deliverWheel(d, top, e);
        break;
    }
}

void DeliverDueInput(Desktop& d)
{
    if (d.scripted.empty())
        return;
    const DWORD now = ClockNow();
    std::vector<ScriptedInput> due;
    auto reached = [now](const ScriptedInput& e) { return TimeReached(now, e.time); };
    std::copy_if(d.scripted.begin(), d.scripted.end(), std::back_inserter(due), reached);
    if (due.empty())
        return;
    d.scripted.erase(std::remove_if(d.scripted.begin(), d.scripted.end(), reached),
                     d.scripted.end());
    // In the order they happened, across the wrap; script order within a moment.
    std::stable_sort(due.begin(), due.end(), [now](const ScriptedInput& a, const ScriptedInput& b) {
        const int32_t ta = int32_t(a.time - now), tb = int32_t(b.time - now);
        return ta != tb ? ta < tb : a.serial < b.serial;
    });
    for (const ScriptedInput& e : due)
        DeliverInput(d, e);
}

}  // namespace detail

bool InjectMouse(HWND top, UINT msg, int x, int y)
{
    if (!detail::_isMouseMessage(msg))
        return false;
    return detail::_script(0, top, detail::InputKind::Mouse, msg, x, y, 0, true);
}

bool InjectKey(HWND top, UINT msg, UINT vk)
{
    if (!detail::_isKeyMessage(msg) || vk == 0 || vk > 0xFF)
        return false;
    return detail::_script(0, top, detail::InputKind::Key, msg, 0, 0, vk, true);
}

bool InjectChar(HWND top, UINT code)
{
    if (code == 0 || code > 0xFFFF)
        return false;
    return detail::_script(0, top, detail::InputKind::Char, 0, 0, 0, code, true);
}

bool InjectWheel(HWND top, int x, int y, int delta)
{
    if (delta == 0 || delta < -32768 || delta > 32767)
        return false;
    return detail::_script(0, top, detail::InputKind::Wheel, WM_MOUSEWHEEL, x, y, UINT(delta),
                           true);
}

bool ScriptMouse(DWORD atMs, HWND top, UINT msg, int x, int y)
{
    if (!detail::_isMouseMessage(msg))
        return false;
    return detail::_script(atMs, top, detail::InputKind::Mouse, msg, x, y, 0, false);
}

bool ScriptKey(DWORD atMs, HWND top, UINT msg, UINT vk)
{
    if (!detail::_isKeyMessage(msg) || vk == 0 || vk > 0xFF)
        return false;
    return detail::_script(atMs, top, detail::InputKind::Key, msg, 0, 0, vk, false);
}

bool ScriptChar(DWORD atMs, HWND top, UINT code)
{
    if (code == 0 || code > 0xFFFF)
        return false;
    return detail::_script(atMs, top, detail::InputKind::Char, 0, 0, 0, code, false);
}

size_t PendingInput()
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.scripted.size();
}

void SetCursorPos(int x, int y)
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.cursorPos.x = x;
    d.cursorPos.y = y;
}

HCURSOR CurrentCursor()
{
    detail::Desktop& d = detail::State();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.cursor;
}

}  // namespace desktop
