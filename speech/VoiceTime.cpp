// The spoken time. The main timer calls this on every tick while the voice
// option is on; the period (Combo1, in minutes) decides which minutes are
// spoken, each once although the timer calls many times in that minute.
#include "platform/Platform.h"
#include "speech/VRN_PlaySound.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

constexpr long errDivisionByZero = 11;

std::string TwoDigits(const std::string& field) { return field.size() == 1 ? "0" + field : field; }

}  // namespace

// VoiceArmed is set by every minute that is not due and used up by the
// first call in a due minute, so the first due minute after the start, when
// nothing armed it, stays silent.
void VoiceTime(bool force, const std::string& clockText, const std::string& period) {
  ErrorTrap trap(kSourceCommon, "VoiceTime of Modul VRN_TimeSync");
  std::string clock, minute, hour;
  long p1 = 0, p2 = 0;
  trap(10, [&] {
    clock = clockText;
    p1 = InStr(1, clock, ":");
    p2 = InStr(p1 + 1, clock, ":");
  });
  trap(20, [&] { minute = Mid(clock, p1 + 1, p2 - p1 - 1); });
  if (!force) {
    // A period that is no number or 0 leaves this call silent.
    bool due = false;
    if (!trap(30, [&] {
          const char decimal = Sys().locale->DecimalSeparator();
          const int minutes = CInt(period, decimal);
          if (minutes == 0) Raise(errDivisionByZero, "Division by zero");
          due = CInt(minute, decimal) % minutes == 0;
        }))
      return;
    if (!due) {
      VoiceArmed = true;
      return;
    }
    if (!VoiceArmed) return;
    VoiceArmed = false;
  }
  trap(40, [&] { minute = TwoDigits(minute); });
  trap(50, [&] { hour = TwoDigits(Left(clock, p1 - 1)); });
  std::string spoken;
  trap(60, [&] { spoken = Mid(hour, 1, 1) + Mid(hour, 2, 1) + ":" + Mid(minute, 1, 1) + Mid(minute, 2, 1); });
  trap(70, [&] {
    const std::string lower = LCase(clock);
    if (lower.find("am") != std::string::npos) spoken += " am";
    if (lower.find("pm") != std::string::npos) spoken += " pm";
  });
  trap(80, [&] {
    if (SoundAvailable) SpeakText("The time is now " + spoken);
  });
}

}  // namespace tavrel
