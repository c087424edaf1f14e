// The daylight-saving rules frame below the zone panel: what the computer's
// record is worth against today's rules, in plain words, and the two buttons
// that write today's rules into the computer and put the old ones back.
// Nothing changes unless the user presses one of them.
#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "timesync/ZoneUpdate.h"

namespace tavrel {
namespace {

const char* const kForm = "FrmMain";

std::string UpToDateText(const ZoneRulesState& state) {
  const int since = state.check.row ? state.check.row->since : 0;
  return std::string("Up to date: this computer follows the rule in force") +
         (since > 0 ? " since " + std::to_string(since) : std::string()) +
         ". The rules it had before are saved; \"Put back\" restores them.";
}

}  // namespace

long FrmMain::ZoneViewHeight() const { return rulesShown_ ? kZoneRulesHeight : kZoneHeight; }

void FrmMain::ShowZoneRules(const ZoneRulesState& state) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "ShowZoneRules"));
  const bool outOfDate = state.check.state == ZoneCheck::OutOfDate;
  trap(10, [&] {
    if (outOfDate) lblRuleNote.SetCaption(OutOfDateText(state.record, state.check));
    else if (state.canPutBack && state.check.state == ZoneCheck::Current) lblRuleNote.SetCaption(UpToDateText(state));
    else lblRuleNote.SetCaption("");
  });
  trap(20, [&] { cmdUpdateRules.SetEnabled(outOfDate); });
  trap(30, [&] { cmdRestoreRules.SetEnabled(state.canPutBack); });
  rulesShown_ = outOfDate || state.canPutBack;
  // Only the time-zone view is this wide; it grows or shrinks with the frame.
  trap(40, [&] {
    if (Width() == kZoneWidth && Height() != ZoneViewHeight()) SetHeight(ZoneViewHeight());
  });
}

void FrmMain::cmdUpdateRules_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "cmdUpdateRules_Click"));
  const TimeZoneInformation before = TZInfo;
  ZoneChangeOutcome outcome = ZoneChangeOutcome::NothingToDo;
  const bool ran = trap(10, [&] { outcome = UpdateZoneRules(CompiledZoneTable()); });
  AfterRulesChange(before, outcome, ran,
                   "Only an administrator can update this computer's daylight-saving rules.");
}

void FrmMain::cmdRestoreRules_Click() {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "cmdRestoreRules_Click"));
  const TimeZoneInformation before = TZInfo;
  ZoneChangeOutcome outcome = ZoneChangeOutcome::NothingToDo;
  const bool ran = trap(10, [&] { outcome = PutBackZoneRules(CompiledZoneTable()); });
  AfterRulesChange(before, outcome, ran,
                   "Only an administrator can put back this computer's daylight-saving rules.");
}

// A refusal is said at once; whatever happened, the record is read again,
// since the system may have taken part of a change.
//
// Inside the weeks the two rules disagree, the system's UTC is an hour off
// after a change whenever the clock was set by the other rule (a
// synchronisation by today's rule does exactly that), and it keeps UTC,
// not the local time: one silent synchronisation sets both right.
void FrmMain::AfterRulesChange(const TimeZoneInformation& before, ZoneChangeOutcome outcome, bool ran,
                               const char* administratorText) {
  ErrorTrap trap(kSourceMain, FormProcedure(kForm, "AfterRulesChange"));
  trap(10, [&] {
    if (!ran)
      Sys().windows->MessageBox("The daylight-saving rules were not changed. The error log says why.", kSourceMain,
                                vbOKOnly);
    else if (outcome == ZoneChangeOutcome::NeedsAdministrator)
      Sys().windows->MessageBox(administratorText, kSourceMain, vbOKOnly);
  });
  ReadTimeZone(FormProcedure(kForm, "AfterRulesChange").c_str());
  if (!ran || outcome != ZoneChangeOutcome::Done) return;
  bool hourMoved = false;
  trap(20, [&] {
    const DateTime utc = Sys().clock->NowUtc();
    hourMoved = BiasAtUtc(before, utc) != BiasAtUtc(TZInfo, utc);
  });
  if (hourMoved) trap(30, [&] { TimeSync(false); });
}

}  // namespace tavrel
