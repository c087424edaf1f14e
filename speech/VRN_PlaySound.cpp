#include "speech/VRN_PlaySound.h"

#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"

namespace tavrel {

bool HasSound() {
  ErrorTrap trap(ProductSource(), "HasSound of Modul VRN_PlaySound");
  bool result = false;
  trap(10, [&] { result = Sys().sound->WaveOutDeviceCount() > 0; });
  trap(20, [&] { SoundAvailable = result; });
  return result;
}

// The speech engine is not part of this build yet: start-up runs without a
// voice and SoundAvailable stays as HasSound found it.
void Ini_TTS() {}

}  // namespace tavrel
