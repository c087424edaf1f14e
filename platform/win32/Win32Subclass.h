// Subclassing a control's window, in the shape of comctl32's
// SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc, on every
// system: the window procedure is replaced with SetWindowLongA and the
// subclass kept in a table by window. comctl32 has the trio only from 5.80,
// and under Wine its subclasses cost a window-property lookup in the server
// for every message, which made the main window's controls a third slower
// to create. One subclass per window: a second one with another procedure
// or ID is refused (FALSE).
//
// As with comctl32, a subclass removes itself when its window gets
// WM_NCDESTROY, and may remove itself while it handles a message.
#pragma once

#include <windows.h>

namespace tavrel {

typedef LRESULT(CALLBACK* SubclassProc)(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

BOOL SetSubclass(HWND window, SubclassProc proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveSubclass(HWND window, SubclassProc proc, UINT_PTR id);
// Hands the message on to the window procedure the subclass replaced.
LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tavrel
