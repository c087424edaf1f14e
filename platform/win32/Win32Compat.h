// Every Windows call that not all of Windows 95, 98, Me, NT 4.0, 2000, XP
// and 2003 export is looked up here at run time, never imported: a missing
// import stops the loader before the program starts. Each lookup has a
// fallback that every one of those systems has, with the same visible
// result where it can be had.
//
// PretendMissing lets a test take the fallback on a system that has the
// newer call.
//
// The second block is about calls that Windows 95 and NT 4.0 export but
// refuse or carry out differently for some arguments: the loader is happy
// and the call fails at run time. Wine accepts all of them, as later
// Windows does, so the same switch makes this layer behave as the older
// systems do.
#pragma once

#include <windows.h>

#include <string>

struct addrinfo;

namespace tavrel {
namespace compat {

enum class Feature {
  Winsock2,            // ws2_32.dll: getaddrinfo (XP), WSAIoctl
  GetAncestor,         // user32 (98, 2000)

  // Exported everywhere, refused or done differently before 98 or 2000.
  CommonControlFlags,  // InitCommonControlsEx's comctl32 6.0 flags (XP); older versions refuse the call
  HandCursor,          // IDC_HAND (98, 2000)
  HalftoneStretch,     // SetStretchBltMode(HALFTONE): the NT line only
  Tahoma,              // the font: 98 and 2000 ship it, a fresh 95 or NT 4.0 does not
  VirtualScreen,       // SM_XVIRTUALSCREEN and its kin (98, 2000)
  WinInetTimeouts,     // WinINet before IE 5.5 ignores its time-outs on blocking calls

  // Not the system's age: an ordinary user's token on NT, which lacks the
  // system-time right.
  ClockRight,
  Count
};

// For tests: the program behaves as if the system lacked the feature.
void PretendMissing(Feature feature, bool missing = true);
bool PretendsMissing(Feature feature);
// The same for a whole program under test: the features named in the
// environment variable TAVREL_PRETEND_MISSING, separated by commas
// ("HandCursor,Tahoma"); "all" names every one. Unknown names are ignored.
void PretendMissingFromEnvironment();
// The name PretendMissingFromEnvironment knows a feature by.
const char* FeatureName(Feature feature);

// Winsock 2's additions, from ws2_32.dll; Winsock 1.1 (wsock32.dll, on
// every system) does the rest.
struct Winsock2Calls {
  int(WINAPI* startup)(WORD version, void* data);
  int(WINAPI* ioctl)(UINT_PTR socket, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void* overlapped, void* completion);
  // getaddrinfo and freeaddrinfo: null before XP even where ws2_32.dll is.
  int(WINAPI* getaddrinfo)(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
  void(WINAPI* freeaddrinfo)(addrinfo* list);
};
// Null where the system has no Winsock 2.
const Winsock2Calls* Winsock2();

// GetAncestor(window, GA_ROOT): the top-level window a child belongs to
// (the window itself when it is top-level); null for no window.
HWND RootWindow(HWND window);

// ---------------------------------------------------------------------------
// Exported by every version, refused or done differently by the older ones.

// The common controls the program uses: the tooltips (ICC_WIN95_CLASSES)
// and the date picker (ICC_DATE_CLASSES). comctl32 before 6.0 (4.72 to
// 5.81) refuses the whole InitCommonControlsEx call when one flag is
// newer than it knows, and then registers no class at all: only flags
// 4.70 knows go through here. False when the call was refused.
bool InitCommonControls(DWORD classes);

// The pointer over the links: the hand, or the arrow on 95 and NT 4.0,
// which have no hand (LoadCursor answers null there).
HCURSOR HandCursor();

// How to shrink or enlarge an opaque picture: HALFTONE averages the pixels
// on the NT line; Windows 9x has no halftone stretching, and
// COLORONCOLOR, which keeps whole pixels, is the best it does.
int SmoothStretchMode();

// The face to ask for: `face` when the system has it, else Arial, the
// TrueType face every version has. Tahoma came with 98 and 2000; MS Sans
// Serif, the dialog face of 95 and NT 4.0, is a bitmap face of a few sizes
// and would draw the 7-point labels at 8 points, too wide for their room.
std::string InstalledFace(const std::string& face);

// The quality a font is asked with: ClearType on XP and later (Windows
// set to report an older version takes the other path), the system's own
// choice before.
BYTE FontQuality();

// The rectangle of all screens together (98 and 2000 on); false on 95 and
// NT 4.0, which have the main screen only.
bool VirtualScreen(RECT& screen);

}  // namespace compat
}  // namespace tavrel
