#include "timesync/VRN_TimeSync.h"

#include <cstdint>
#include <cstring>

#include "app/FrmMain.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "timesync/SyncCore.h"
#include "timesync/ZoneUpdate.h"

namespace tavrel {
namespace {

const char* const kDoAtomicTime = "DoAtomicTime of Modul VRN_TimeSync";
const char* const kTzDate = "tzDate of Modul VRN_TimeSync";
const char* const kByTodaysRule = "set by today's daylight-saving rule; this computer's rule is out of date";

FrmMain& TheMainForm() {
  if (!MainForm) Raise(errObjectNotSet);
  return *MainForm;
}

}  // namespace

// The controls are the only copy of the options: they are read here, the
// zone record is read afresh (the program runs for months, across the
// changes of daylight-saving time), and the run itself knows no window.
bool DoAtomicTime(std::string& TimePageText) {
  ErrorTrap trap(kSourceCommon, kDoAtomicTime);
  SyncRequest request;
  trap(10, [&] {
    FrmMain& form = TheMainForm();
    if (form.optebay.Value() != 0) request.source = SyncRequest::EbayPage;
    if (form.optTimeSource.Has(2) && form.optTimeSource(2).Value() != 0) {
      request.source = SyncRequest::NtpServer;
      request.ntpServer = form.txtIPaddress.Text();
    }
  });
  trap(20, [&] { request.adjustForDaylight = TheMainForm().chkDT.Value() == 1; });
  trap(25, [&] {
    TimeZoneInformation zone = TZInfo;
    const uint32_t state = Sys().timeZone->Read(zone);
    if (state == TIME_ZONE_ID_INVALID) return;
    TZInfo = zone;
    if (state == TIME_ZONE_ID_DAYLIGHT) DaylightActive = true;
    if (state == TIME_ZONE_ID_STANDARD || state == TIME_ZONE_ID_UNKNOWN) DaylightActive = false;
  });
  request.zone = TZInfo;
  request.daylightActive = DaylightActive;
  request.correctionMinutes = TimeCorrection;

  // A record with yesterday's daylight-saving rules would set the clock an
  // hour wrong for weeks: until the user updates it, today's rule converts.
  ZoneRulesState rules;
  const bool rulesKnown =
      trap(26, [&] { rules = LookAtZone(CompiledZoneTable(), TZInfo, Sys().clock->Now().Year()); });
  if (rulesKnown) trap(27, [&] { TheMainForm().ShowZoneRules(rules); });
  const bool byTodaysRule = rulesKnown && rules.check.state == ZoneCheck::OutOfDate;
  if (byTodaysRule) {
    const TimeZoneInformation rule = rules.check.rule;
    request.zone = rule;
    trap(28, [&] { request.daylightActive = DaylightAtUtc(rule, Sys().clock->NowUtc()); });
    request.daylightAt = [rule](DateTime utc) { return DaylightAtUtc(rule, utc); };
  }

  SyncResult result = Synchronise(request, TimePageText);
  if (byTodaysRule && result.synchronised)
    result.resultLine = (result.resultLine ? *result.resultLine + "; " : std::string()) + kByTodaysRule;
  // A source that writes no line of its own leaves the options view's
  // line alone, except an earlier run's word about the old rule.
  if (!byTodaysRule && result.synchronised && !result.resultLine)
    trap(29, [&] {
      const std::string& line = TheMainForm().Label15.Caption();
      if (line.size() >= std::strlen(kByTodaysRule) &&
          line.compare(line.size() - std::strlen(kByTodaysRule), std::string::npos, kByTodaysRule) == 0)
        result.resultLine = std::string();
    });
  // The source's line sits on the options view, where the user chose it.
  if (result.resultLine) trap(360, [&] { TheMainForm().Label15.SetCaption(*result.resultLine); });
  if (result.synchronised) SecondsCorrected = result.secondsCorrected;
  return result.synchronised;
}

DateTime tzDate(const SystemTime& rule) {
  ErrorTrap trap(kSourceCommon, kTzDate);
  DateTime result;
  const double time = (rule.wHour * 3600.0 + rule.wMinute * 60.0 + rule.wSecond) / 86400.0;

  if (rule.wYear != 0) {
    trap(10, [&] { result = DateTime(DateSerial(rule.wYear, rule.wMonth, rule.wDay).Serial() + time); });
    return result;
  }

  // The n-th weekday of the month in the current year; 5 is the last one.
  // A walk that finds nothing ends where a counting loop ends: one day past
  // its last day, or on its first day when it never ran.
  long first = 0;
  long last = 0;
  if (!trap(20, [&] {
        const int year = Sys().clock->Now().Year();
        const DateTime start = DateSerial(year, rule.wMonth, 1);
        first = start.Days();
        last = DateSerial(start.Year(), long{rule.wMonth} + 1, 0).Days();
      }))
    return result;

  const int weekday = rule.wDayOfWeek + 1;
  long day = 0;
  if (rule.wDay == 5) {
    for (day = last; day >= first; --day)
      if (DateTime(static_cast<double>(day)).Weekday() == weekday) break;
  } else {
    long count = 0;
    for (day = first; day <= last; ++day)
      if (DateTime(static_cast<double>(day)).Weekday() == weekday && ++count == rule.wDay) break;
  }
  result = DateTime(day + time);
  return result;
}

}  // namespace tavrel
