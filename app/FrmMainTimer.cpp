// Timer1, the program's only timer (500 ms): the clock, the date picker and
// the header clock; the periodic synchronisation when the last one plus the
// period lies in the past, when the computer has just woken, or when the
// network failed the last run and its retry is due (never where the process
// may not set the clock); and the spoken time's chance to speak.
#include <algorithm>
#include <cmath>

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
  trap(35, [&] { NoteTickGap(); });
  // The period is in hours and may be fractional. A last update that reads
  // as no date (none yet, or another date format) counts as due: the error
  // is reported and the run it guards goes ahead. A process that may not
  // set the clock has nothing to fetch.
  bool due = false;
  trap(40, [&] { due = chkPeriodic.Value() == 1 && maySetClock_; });
  if (due) {
    double period = -1;
    trap(50, [&] {
      due = true;
      const std::optional<DateTime> last = Sys().locale->ParseDateTime(lblLastUpdate.Caption());
      period = CDbl(txtPeriodic.Text(), Sys().locale->DecimalSeparator());
      if (!last) Raise(errTypeMismatch);
      due = DateTime(last->Serial() + period / 24.0) < Sys().clock->Now();
    });
    due = due || wakeDue_ || RetryDue(period);
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

// Wall-clock time against the tick count since the tick before (both
// measure the same half second): far more on the clock means the computer
// slept, with the tick count standing still. UTC, so that a change to or
// from daylight time is no gap.
void FrmMain::NoteTickGap() {
  IClock& clock = *Sys().clock;
  const DateTime utc = clock.NowUtc();
  const uint32_t tick = clock.TickCount();
  if (tickBaseSet_) {
    const double wallMs = (utc.Serial() - tickBaseUtc_.Serial()) * 86400e3;
    const double tickMs = static_cast<uint32_t>(tick - tickBase_);
    if (wallMs - tickMs > kWakeGapMs) wakeDue_ = true;
  }
  tickBaseUtc_ = utc;
  tickBase_ = tick;
  tickBaseSet_ = true;
}

void FrmMain::Form_Resume() { wakeDue_ = true; }

// After a run the network failed: 1, 2, 4 ... minutes from its end, never
// longer than the period (which schedules the run anyway). A period that
// does not read waits as long as the doubling says.
bool FrmMain::RetryDue(double periodHours) {
  if (networkFailures_ == 0) return false;
  double waitMs = kFirstRetryMs * std::pow(2.0, std::min(networkFailures_ - 1, 16));
  if (periodHours >= 0) waitMs = std::min(waitMs, periodHours * 3600e3);
  return static_cast<uint32_t>(Sys().clock->TickCount() - lastRunEndTick_) >= waitMs;
}

// What the next ticks need to know of a run: whether the network failed
// it, and a fresh start for the wall-clock comparison (the run may have
// stepped the clock).
void FrmMain::AfterRun(const SyncResult& result) {
  networkFailures_ = result.outcome == SyncResult::NetworkDown ? networkFailures_ + 1 : 0;
  wakeDue_ = false;
  tickBaseSet_ = false;
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
