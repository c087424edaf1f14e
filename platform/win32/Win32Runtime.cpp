// The wide-character kernel32 calls of the compiler's runtime libraries,
// carried out with the ANSI ones. Windows 95, 98 and Me export them only as
// stubs that fail, so the program must not import them; yet the pieces that
// call them come with every static C++ program:
//   CreateSemaphoreW  libgcc's locks (exception frames, function-local
//                     statics), created without a name
//   GetModuleHandleW  the MinGW CRT's locale functions and rand_s
//   LoadLibraryW      the MinGW CRT's rand_s (std::random_device)
// Each is defined here as the import pointer the libraries call through.
// Linked as an object into every executable, ahead of the import
// libraries, so the linker takes these pointers instead of kernel32's.
#include <windows.h>

#include <string>

namespace {

// A wide name in the system's ANSI code page; false for a name that code
// page cannot hold (the call then fails as for a name that is not there).
bool ToAnsi(const wchar_t* wide, std::string& ansi) {
  ansi.clear();
  if (!wide) return true;
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::string converted(static_cast<std::size_t>(size), '\0');
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, &converted[0], size, nullptr, &lossy) != size || lossy) return false;
  converted.resize(static_cast<std::size_t>(size - 1));
  ansi = converted;
  return true;
}

HANDLE WINAPI AnsiCreateSemaphore(SECURITY_ATTRIBUTES* attributes, LONG initial, LONG maximum, const wchar_t* name) {
  std::string ansi;
  if (!ToAnsi(name, ansi)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateSemaphoreA(attributes, initial, maximum, name ? ansi.c_str() : nullptr);
}

HMODULE WINAPI AnsiGetModuleHandle(const wchar_t* name) {
  std::string ansi;
  if (!ToAnsi(name, ansi)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return GetModuleHandleA(name ? ansi.c_str() : nullptr);
}

HMODULE WINAPI AnsiLoadLibrary(const wchar_t* name) {
  std::string ansi;
  if (!name || !ToAnsi(name, ansi)) {
    SetLastError(name ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryA(ansi.c_str());
}

}  // namespace

// The import pointers' link names: stdcall-decorated on i686.
#ifdef _WIN64
#define TAVREL_IMPORT(name, bytes) "__imp_" #name
#else
#define TAVREL_IMPORT(name, bytes) "__imp__" #name "@" #bytes
#endif

extern "C" {
extern decltype(&AnsiCreateSemaphore) const tavrelCreateSemaphoreW __asm__(TAVREL_IMPORT(CreateSemaphoreW, 16));
extern decltype(&AnsiGetModuleHandle) const tavrelGetModuleHandleW __asm__(TAVREL_IMPORT(GetModuleHandleW, 4));
extern decltype(&AnsiLoadLibrary) const tavrelLoadLibraryW __asm__(TAVREL_IMPORT(LoadLibraryW, 4));
decltype(&AnsiCreateSemaphore) const tavrelCreateSemaphoreW = AnsiCreateSemaphore;
decltype(&AnsiGetModuleHandle) const tavrelGetModuleHandleW = AnsiGetModuleHandle;
decltype(&AnsiLoadLibrary) const tavrelLoadLibraryW = AnsiLoadLibrary;
}
