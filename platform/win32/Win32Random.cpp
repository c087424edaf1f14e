// Unpredictable numbers from the system's cryptographic provider, which
// Windows XP has without any setup (an ephemeral, key-less context).
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {

uint64_t Win32Random::Next64() {
  static HCRYPTPROV provider = 0;
  if (!provider &&
      !CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    provider = 0;
    Raise(errInvalidCall, WindowsMessage(GetLastError()));
  }
  uint64_t value = 0;
  if (!CryptGenRandom(provider, sizeof value, reinterpret_cast<BYTE*>(&value)))
    Raise(errInvalidCall, WindowsMessage(GetLastError()));
  return value;
}

}  // namespace tavrel
