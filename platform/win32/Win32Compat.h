// Every Windows call that not all of Windows 95, 98, Me, NT 4.0, 2000, XP
// and 2003 export is looked up here at run time, never imported: a missing
// import stops the loader before the program starts. Each lookup has a
// fallback that every one of those systems has, with the same visible
// result where it can be had.
//
// PretendMissing lets a test take the fallback on a system that has the
// newer call.
#pragma once

#include <windows.h>

struct addrinfo;

namespace tavrel {
namespace compat {

enum class Feature {
  Winsock2,            // ws2_32.dll: getaddrinfo (XP), WSAIoctl
  GetAncestor,         // user32 (98, 2000)
  Count
};

// For tests: the program behaves as if the system lacked the feature.
void PretendMissing(Feature feature, bool missing = true);
bool PretendsMissing(Feature feature);

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
// Behaviour of older or more restricted systems that Wine does not show,
// each switched on by a test so that the Windows layer acts as it must
// there. The program itself never switches them on.
enum class Behaviour {
  NoClockRight,            // an ordinary user on NT: the token lacks the system-time right
  WinInetIgnoresTimeouts,  // WinINet before IE 5.5: time-outs ignored on blocking calls
  Count
};
void Pretend(Behaviour behaviour, bool on = true);
bool Pretends(Behaviour behaviour);

}  // namespace compat
}  // namespace tavrel
