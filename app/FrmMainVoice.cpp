// The voice option: ticking or clearing "Voice time every" says so at once,
// also when the stored settings tick it while the window loads. The sound
// card is not asked here; the spoken time itself is VoiceTime's.
#include "app/FrmMain.h"
#include "speech/VRN_PlaySound.h"
#include "support/ErrorTrap.h"

namespace tavrel {

void FrmMain::chkVoice_Click() {
  ErrorTrap trap(kSourceMain, "chkVoice_Click of Formular FrmMain");
  trap(10, [&] { Speak(chkVoice.Value() == 1 ? "voice system acctivated" : "voice system deactivated"); });
}

}  // namespace tavrel
