// Run-time lookups of the calls newer than Windows 95 and NT 4.0, and their
// fallbacks. Each call is looked up once; ws2_32.dll is loaded here when
// the process has not loaded it yet.
#include "platform/win32/Win32Compat.h"

namespace tavrel {
namespace compat {
namespace {

bool g_pretendMissing[static_cast<int>(Feature::Count)] = {};

template <typename Fn>
void Find(HMODULE module, const char* name, Fn& out) {
  out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE Load(const char* dll) {
  HMODULE module = GetModuleHandleA(dll);
  return module ? module : LoadLibraryA(dll);
}

}  // namespace

void PretendMissing(Feature feature, bool missing) { g_pretendMissing[static_cast<int>(feature)] = missing; }

bool PretendsMissing(Feature feature) { return g_pretendMissing[static_cast<int>(feature)]; }

const Winsock2Calls* Winsock2() {
  static const Winsock2Calls calls = [] {
    Winsock2Calls found = {};
    HMODULE ws2 = Load("ws2_32.dll");
    Find(ws2, "WSAStartup", found.startup);
    Find(ws2, "WSAIoctl", found.ioctl);
    Find(ws2, "getaddrinfo", found.getaddrinfo);
    Find(ws2, "freeaddrinfo", found.freeaddrinfo);
    if (!found.getaddrinfo || !found.freeaddrinfo) found.getaddrinfo = nullptr, found.freeaddrinfo = nullptr;
    return found;
  }();
  if (PretendsMissing(Feature::Winsock2) || !calls.startup) return nullptr;
  return &calls;
}

HWND RootWindow(HWND window) {
  using GetAncestorFn = HWND(WINAPI*)(HWND, UINT);
  static const GetAncestorFn getAncestor = [] {
    GetAncestorFn found;
    Find(GetModuleHandleA("user32.dll"), "GetAncestor", found);
    return found;
  }();
  if (getAncestor && !PretendsMissing(Feature::GetAncestor)) return getAncestor(window, GA_ROOT);
  if (!window || !IsWindow(window)) return nullptr;
  // Up the parents while the window is a child; a top-level window's
  // GetParent is its owner, which GA_ROOT does not follow.
  HWND desktop = GetDesktopWindow();
  if (window == desktop) return window;
  while (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
    HWND parent = GetParent(window);
    if (!parent || parent == desktop) break;
    window = parent;
  }
  return window;
}

// ---------------------------------------------------------------------------
// Behaviour forced by tests.

namespace {
bool g_pretend[static_cast<int>(Behaviour::Count)] = {};
}  // namespace

void Pretend(Behaviour behaviour, bool on) { g_pretend[static_cast<int>(behaviour)] = on; }

bool Pretends(Behaviour behaviour) { return g_pretend[static_cast<int>(behaviour)]; }

}  // namespace compat
}  // namespace tavrel
