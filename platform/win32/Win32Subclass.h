// Subclassing a control's window, in the shape of comctl32's
// SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc. comctl32
// has them from version 5.80 (by ordinal); before that, and on Windows 95
// and NT 4.0 without Internet Explorer 5, the window procedure is replaced
// with SetWindowLongA and the subclass kept in a table by window. That
// fallback holds one subclass per window: a second one with another
// procedure or ID is refused (FALSE).
//
// As with comctl32, a subclass removes itself when its window gets
// WM_NCDESTROY, and may remove itself while it handles a message.
#pragma once

#include "platform/win32/Win32Compat.h"

namespace tavrel {

BOOL SetSubclass(HWND window, compat::SubclassProc proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveSubclass(HWND window, compat::SubclassProc proc, UINT_PTR id);
// Hands the message on to the window procedure the subclass replaced.
LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tavrel
