// Unpredictable numbers from the system's cryptographic provider (an
// ephemeral, key-less context): every system from Windows 98 and 2000 has
// it, Windows 95 and NT 4.0 with Internet Explorer 4.01.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {

uint64_t Win32Random::Next64() {
  static HCRYPTPROV provider = 0;
  // An older provider that does not know CRYPT_SILENT refuses it as a bad
  // flag; a key-less context shows no dialog anyway.
  if (!provider &&
      !CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
      !(GetLastError() == static_cast<DWORD>(NTE_BAD_FLAGS) &&
        CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))) {
    provider = 0;
    Raise(errInvalidCall, WindowsMessage(GetLastError()));
  }
  uint64_t value = 0;
  if (!CryptGenRandom(provider, sizeof value, reinterpret_cast<BYTE*>(&value)))
    Raise(errInvalidCall, WindowsMessage(GetLastError()));
  return value;
}

}  // namespace tavrel
