// Run-time lookups of the calls newer than Windows 95 and NT 4.0, and their
// fallbacks. Each call is looked up once; ws2_32.dll is loaded here when
// the process has not loaded it yet. The only file of the program that may
// name what the older systems refuse (scripts/floor/check_constants.py).
#include "platform/win32/Win32Compat.h"

#include <commctrl.h>

#include <cstring>

namespace tavrel {
namespace compat {
namespace {

bool g_pretendMissing[static_cast<int>(Feature::Count)] = {};

const char* const kFeatureNames[] = {
    "Winsock2", "GetAncestor",
    "CommonControlFlags", "HandCursor", "HalftoneStretch", "Tahoma", "VirtualScreen", "WinInetTimeouts",
    "ClockRight",
};
static_assert(sizeof kFeatureNames / sizeof *kFeatureNames == static_cast<int>(Feature::Count),
              "every feature has a name");

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

const char* FeatureName(Feature feature) { return kFeatureNames[static_cast<int>(feature)]; }

void PretendMissingFromEnvironment() {
  char names[512] = {};
  const DWORD length = GetEnvironmentVariableA("TAVREL_PRETEND_MISSING", names, sizeof names);
  if (length == 0 || length >= sizeof names) return;
  for (char* name = std::strtok(names, ", "); name; name = std::strtok(nullptr, ", ")) {
    for (int i = 0; i < static_cast<int>(Feature::Count); ++i)
      if (lstrcmpiA(name, kFeatureNames[i]) == 0 || lstrcmpiA(name, "all") == 0) g_pretendMissing[i] = true;
  }
}

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
// Exported by every version, refused or done differently by the older ones.

namespace {

// GetVersion: the high bit marks Windows 9x; the low byte is the major
// version, the next one the minor.
bool IsWindows9x() { return (GetVersion() & 0x80000000u) != 0; }

bool IsNtAtLeast(unsigned major, unsigned minor) {
  const DWORD version = GetVersion();
  if (version & 0x80000000u) return false;
  const unsigned got = (version & 0xFF) << 8 | (version >> 8 & 0xFF);
  return got >= (major << 8 | minor);
}

// What comctl32 4.70 to 5.81 know: ICC_LISTVIEW_CLASSES (0x1) up to
// ICC_NATIVEFNTCTL_CLASS (0x2000). 6.0 added ICC_STANDARD_CLASSES (0x4000)
// and ICC_LINK_CLASS (0x8000).
constexpr DWORD kClassesBeforeVersion6 = 0x3FFF;

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

bool InitCommonControls(DWORD classes) {
  if (PretendsMissing(Feature::CommonControlFlags) && (classes & ~kClassesBeforeVersion6)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, classes};
  return InitCommonControlsEx(&controls) != FALSE;
}

HCURSOR HandCursor() {
  HCURSOR hand = PretendsMissing(Feature::HandCursor) ? nullptr : LoadCursorA(nullptr, IDC_HAND);
  return hand ? hand : LoadCursorA(nullptr, IDC_ARROW);
}

int SmoothStretchMode() {
  return IsWindows9x() || PretendsMissing(Feature::HalftoneStretch) ? COLORONCOLOR : HALFTONE;
}

std::string InstalledFace(const std::string& face) {
  static const char kEveryVersion[] = "Arial";
  if (PretendsMissing(Feature::Tahoma) && lstrcmpiA(face.c_str(), "Tahoma") == 0) return kEveryVersion;
  bool found = false;
  HDC screen = GetDC(nullptr);
  if (screen) {
    EnumFontFamiliesA(screen, face.c_str(), NoteFamily, reinterpret_cast<LPARAM>(&found));
    ReleaseDC(nullptr, screen);
  }
  return found ? face : kEveryVersion;
}

BYTE FontQuality() {
  return IsNtAtLeast(5, 1) ? CLEARTYPE_QUALITY : DEFAULT_QUALITY;
}

bool VirtualScreen(RECT& screen) {
  if (PretendsMissing(Feature::VirtualScreen)) return false;
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  // 95 and NT 4.0 answer 0 for metrics they do not know.
  if (width <= 0 || height <= 0) return false;
  screen = RECT{left, top, left + width, top + height};
  return true;
}

}  // namespace compat
}  // namespace tavrel
