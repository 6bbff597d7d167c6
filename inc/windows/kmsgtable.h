// Message tables: each window class carries one static table of the
// messages it handles. Row 0 names the base class's table (0 at the root),
// the rows after it pair a message number with a member handler, and a row
// without a handler ends the table. The window procedure walks the table of
// the object's class, then its base's, and so on (kwnd_proc.cpp).
//
// On 64-bit the message word of row 0 holds an address, so it is
// pointer-sized; handlers get the message's WPARAM and LPARAM whole, so an
// address passed in either arrives intact.
//
// A class derived from a framework window declares and fills its own table:
//
//   class MyWnd : public KestrelMainWnd {
//       KWND_DECLARE_MESSAGES()
//   public:
//       int OnCommand(WPARAM wParam, LPARAM lParam);
//   };
//
//   KWND_BEGIN_MESSAGES(MyWnd, KestrelMainWnd)
//       KWND_MESSAGE(WM_COMMAND, MyWnd::OnCommand)
//   KWND_END_MESSAGES()
//
// A handler that returns -1 keeps the base classes' handlers for the same
// message from running; any other result lets them run in turn. The default
// window procedure always runs last.
#pragma once
#include <windows.h>

#include <cstddef>

class KestrelWnd;

typedef int (KestrelWnd::*KMessageHandler)(WPARAM wParam, LPARAM lParam);

struct KMessageFunc {
    UINT_PTR nMessage;         // the message; in row 0 the base table's address
    UINT nReserved;            // 0 in every row
    KMessageHandler pfnHandler;
};
static_assert(offsetof(KMessageFunc, nMessage) == 0 && sizeof(UINT_PTR) == sizeof(void*),
              "row 0 keeps a table address in the message word");

// The message word of row 0 for a table whose base is `base`. Not constexpr
// on purpose: each table is filled by its own initialiser while the library
// (or the host) is loaded.
inline UINT_PTR KMessageTableLink(const KMessageFunc* base)
{
    return reinterpret_cast<UINT_PTR>(base);
}

// The base table named by a table's row 0; null at the root.
inline const KMessageFunc* KMessageTableBase(const KMessageFunc* table)
{
    return reinterpret_cast<const KMessageFunc*>(table[0].nMessage);
}

// In a class body: the table and the override that returns it. Leaves the
// class body in public access.
#define KWND_DECLARE_MESSAGES()                          \
public:                                                  \
    static const KMessageFunc messageEntries[];          \
    const KMessageFunc* GetMessageEntries() override;

// At namespace scope in one source file, around the class's rows.
#define KWND_BEGIN_MESSAGES(theClass, baseClass)                              \
    const KMessageFunc* theClass::GetMessageEntries() { return messageEntries; } \
    const KMessageFunc theClass::messageEntries[] = {                         \
        {KMessageTableLink(baseClass::messageEntries), 0, nullptr},

#define KWND_MESSAGE(msg, handler) \
    {UINT_PTR(msg), 0, static_cast<KMessageHandler>(&handler)},

#define KWND_END_MESSAGES() \
    {0, 0, nullptr}         \
    }                       \
    ;
