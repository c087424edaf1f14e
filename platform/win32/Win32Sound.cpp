// Whether there is a sound card to speak through.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32.h"

#include <mmsystem.h>

namespace tavrel {

unsigned Win32Sound::WaveOutDeviceCount() { return waveOutGetNumDevs(); }

}  // namespace tavrel
