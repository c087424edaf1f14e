// Timer1, the program's only timer (500 ms): the clock, the date picker and
// the header clock; the periodic synchronisation when the last one plus the
// period lies in the past (never where the process may not set the clock);
// and the spoken time's chance to speak.
#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {

void FrmMain::Timer1_Timer() {
  ErrorTrap trap(kSourceMain, "Timer1_Timer of Formular FrmMain");
  DateTime now;
  trap(10, [&] {
    now = Sys().clock->Now();
    lblTime.SetCaption(Sys().locale->LongTime(now));
  });
  trap(20, [&] { DTPicker1.SetDate(now.DateOnly()); });
  trap(30, [&] { lblTimeHeader.SetCaption(lblTime.Caption()); });
  // The period is in hours and may be fractional. A last update that reads
  // as no date (none yet, or another date format) counts as due: the error
  // is reported and the run it guards goes ahead. A process that may not
  // set the clock has nothing to fetch.
  bool due = false;
  trap(40, [&] { due = chkPeriodic.Value() == 1 && maySetClock_; });
  if (due) {
    trap(50, [&] {
      due = true;
      const std::optional<DateTime> last = Sys().locale->ParseDateTime(lblLastUpdate.Caption());
      if (!last) Raise(errTypeMismatch);
      const double period = CDbl(txtPeriodic.Text(), Sys().locale->DecimalSeparator());
      due = DateTime(last->Serial() + period / 24.0) < Sys().clock->Now();
    });
    if (due && !RanRecently()) trap(60, [&] { TimeSync(false); });
  }
  trap(70, [&] {
    if (chkVoice.Value() == 1) VoiceTime(false, Sys().locale->LongTime(now), Combo1.Text());
  });
}

// Measured on the tick: the run itself may have stepped the clock.
bool FrmMain::RanRecently() {
  return hasRun_ && static_cast<uint32_t>(Sys().clock->TickCount() - lastRunEndTick_) < kMinPeriodicGapMs;
}

// Letters typed into the period become "0" at once; setting the text runs
// this once more, which then finds a number and stops.
void FrmMain::txtPeriodic_Change() {
  ErrorTrap trap(kSourceMain, "txtPeriodic_Change of Formular FrmMain");
  trap(10, [&] {
    if (!IsNumeric(txtPeriodic.Text(), Sys().locale->DecimalSeparator())) txtPeriodic.SetText("0");
  });
}

}  // namespace tavrel
