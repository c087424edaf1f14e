#include "platform/win32/Win32Subclass.h"

#include <map>

namespace tavrel {
namespace {

// One window's subclass.
struct Hook {
  WNDPROC original;
  SubclassProc proc;
  UINT_PTR id;
  DWORD_PTR data;
  int running;   // messages of this window inside proc
  bool removed;  // proc no longer sees messages
};

// The program's windows live on its one thread, so one table serves them.
std::map<HWND, Hook*>& Hooks() {
  static std::map<HWND, Hook*> hooks;
  return hooks;
}

Hook* HookOf(HWND window) {
  const auto found = Hooks().find(window);
  return found == Hooks().end() ? nullptr : found->second;
}

void Forget(HWND window, Hook* hook) {
  Hooks().erase(window);
  delete hook;
}

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the original procedure back; the record goes once no message of
// the window is inside proc any more (DefSubclass still needs it there).
void Unhook(HWND window, Hook* hook) {
  if (!hook->removed) {
    hook->removed = true;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == HookProc)
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->original));
  }
  // Replaced again by someone else after this subclass: the record stays,
  // HookProc passes everything on to the original procedure.
  if (hook->running == 0 && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != HookProc)
    Forget(window, hook);
}

LRESULT CALLBACK HookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Hook* hook = HookOf(window);
  if (!hook) return DefWindowProcA(window, message, wParam, lParam);
  if (hook->removed) {
    const WNDPROC original = hook->original;
    if (message == WM_NCDESTROY && hook->running == 0) Forget(window, hook);
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
  ++hook->running;
  const LRESULT result = hook->proc(window, message, wParam, lParam, hook->id, hook->data);
  --hook->running;
  if (message == WM_NCDESTROY || hook->removed) Unhook(window, hook);
  return result;
}

}  // namespace

BOOL SetSubclass(HWND window, SubclassProc proc, UINT_PTR id, DWORD_PTR data) {
  if (!window || !proc || !IsWindow(window)) return FALSE;
  if (Hook* hook = HookOf(window)) {
    if (hook->removed || hook->proc != proc || hook->id != id) return FALSE;
    hook->data = data;
    return TRUE;
  }
  Hook* hook = new Hook{nullptr, proc, id, data, 0, false};
  Hooks()[window] = hook;
  hook->original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookProc)));
  if (!hook->original) {
    Forget(window, hook);
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveSubclass(HWND window, SubclassProc proc, UINT_PTR id) {
  if (Hook* hook = HookOf(window)) {
    if (hook->removed || hook->proc != proc || hook->id != id) return FALSE;
    Unhook(window, hook);
    return TRUE;
  }
  return FALSE;
}

LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) return 0;
  if (Hook* hook = HookOf(window)) return CallWindowProcA(hook->original, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tavrel
