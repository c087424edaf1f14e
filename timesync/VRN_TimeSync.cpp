#include "timesync/VRN_TimeSync.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <optional>

#include "app/FrmMain.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Hosts.h"
#include "timesync/Sntp.h"
#include "timesync/TimePage.h"

namespace tavrel {
namespace {

const char* const kDoAtomicTime = "DoAtomicTime of Modul VRN_TimeSync";
const char* const kTzDate = "tzDate of Modul VRN_TimeSync";

// One time page and how to read it. The Naval Observatory and NIST print
// UTC; eBay prints US Pacific time, which the hour offset turns into UTC
// (7 in daylight time, "PDT"; 8 in standard time, "PST").
struct Source {
  const char* hostSetting;
  const char* defaultHost;
  const char* pathAndQuery;
  TimeMarker where;
  int hourOffset;
  int attempts;
  int line;  // statement number of the fetch; the search is line + 10
};

const Source kNavalObservatory{"USNO", "http://tycho.usno.navy.mil", "/cgi-bin/timer.pl",
                               {"UTC", 90, -9}, 0, 10, 40};
const Source kNist{"NIST", "http://www.time.gov", "/timezone.cgi?UTC",
                   {"white\"><b>", 1000, 10}, 0, 10, 80};
const Source kEbayDaylight{"eBay", "http://cgi3.ebay.com",
                           "/aw-cgi/eBayISAPI.dll?TimeShow&ssPageName=f:f:US",
                           {"PDT", 90, -9}, 7, 10, 120};
// In winter the page says "PST"; one more fetch looks for it.
const Source kEbayStandard{"eBay", "http://cgi3.ebay.com",
                           "/aw-cgi/eBayISAPI.dll?TimeShow&ssPageName=f:f:US",
                           {"PST", 90, -9}, 8, 1, 160};

FrmMain& TheMainForm() {
  if (!MainForm) Raise(errObjectNotSet);
  return *MainForm;
}

// Fetches one source up to its number of attempts. On success the page's
// time text replaces TimePageText and the source's hour offset is returned.
// A fetch that fails counts as a miss without a search: what TimePageText
// still holds is an older page, possibly another source's, and must never
// pass for this one.
std::optional<int> TrySource(const Source& source, std::string& TimePageText, ErrorTrap& trap) {
  const std::string url = HostSetting(source.hostSetting, source.defaultHost) + source.pathAndQuery;
  for (int attempt = 0; attempt < source.attempts; ++attempt) {
    if (!trap(source.line, [&] { TimePageText = Sys().http->OpenUrl(url); })) continue;
    std::optional<std::string> text;
    trap(source.line + 10, [&] { text = CutTimeText(TimePageText, source.where); });
    if (text) {
      TimePageText = *text;
      return source.hourOffset;
    }
  }
  return std::nullopt;
}

// The new time of day goes on whichever date (yesterday, today, tomorrow)
// lies nearest to the computer's clock, so a clock a few seconds off around
// midnight is not set a whole day wrong.
DateTime NearestDate(DateTime now, long secondsOfDay) {
  DateTime best = DateTime(now.Days() + DayFraction(secondsOfDay));
  for (long shift : {-1L, 1L}) {
    const DateTime candidate = best.AddDays(shift);
    if (std::fabs(candidate.Serial() - now.Serial()) < std::fabs(best.Serial() - now.Serial()))
      best = candidate;
  }
  return best;
}

// The time from an NTP server: four requests, the fastest answer wins.
// The server gives UTC to the millisecond, so nothing is added for the
// time a reading takes to arrive. Each failed request is reported and the
// next one still goes out. The outcome is shown on the options view, where
// the user chose the server.
bool NtpTime(std::string& TimePageText, int32_t totalBias, const std::string& serverText, ErrorTrap& trap) {
  auto show = [&](const std::string& text) { trap(360, [&] { TheMainForm().Label15.SetCaption(text); }); };
  SntpClient ntp;
  SntpResult r;
  bool answered = trap(300, [&] { ntp.Open(serverText); });
  while (answered && ntp.CanRequest()) trap(310, [&] { ntp.Request(); });
  answered = answered && trap(320, [&] { r = ntp.Result(); });
  if (!answered) {
    show("no valid answer from the NTP server");
    return false;
  }
  show(NtpResultText(r));

  DateTime now;
  DateTime newTime;
  if (!trap(330, [&] {
        now = Sys().clock->Now();
        newTime = Sys().clock->NowUtc().AddSeconds(r.offset - totalBias * 60.0);
      }))
    return false;
  TimePageText = r.serverTime;
  if (!trap(340, [&] { Sys().clock->SetLocalTime(newTime); })) return false;
  SecondsCorrected = static_cast<int16_t>(now.Second() - newTime.Second());
  trap(350, [&] { Sys().clock->BroadcastTimeChange(); });
  return true;
}

}  // namespace

std::string NtpResultText(const SntpResult& result) {
  char text[80];
  std::snprintf(text, sizeof text, "offset %+.3f s, delay %.0f ms", result.offset, result.delay * 1000.0);
  return text;
}

bool DoAtomicTime(std::string& TimePageText) {
  ErrorTrap trap(kSourceCommon, kDoAtomicTime);
  bool ebayOnly = false;
  bool ntp = false;
  std::string serverText;
  bool daylight = false;
  trap(10, [&] {
    FrmMain& form = TheMainForm();
    ebayOnly = form.optebay.Value() != 0;
    ntp = form.optTimeSource.Has(2) && form.optTimeSource(2).Value() != 0;
    if (ntp) serverText = form.txtIPaddress.Text();
  });
  trap(20, [&] { daylight = TheMainForm().chkDT.Value() == 1 && DaylightActive; });

  // UTC = local time + bias; the user's correction moves the clock earlier.
  int32_t totalBias = 0;
  if (!trap(30, [&] {
        const int64_t sum = int64_t{TZInfo.Bias} +
                            (daylight ? TZInfo.DaylightBias : TZInfo.StandardBias) + TimeCorrection;
        if (sum < INT32_MIN || sum > INT32_MAX) Raise(errOverflow);
        totalBias = static_cast<int32_t>(sum);
      }))
    return false;

  if (ntp) return NtpTime(TimePageText, totalBias, serverText, trap);

  std::optional<int> hourOffset;
  if (!ebayOnly) {
    hourOffset = TrySource(kNavalObservatory, TimePageText, trap);
    if (!hourOffset) hourOffset = TrySource(kNist, TimePageText, trap);
  }
  if (!hourOffset) hourOffset = TrySource(kEbayDaylight, TimePageText, trap);
  if (!hourOffset) hourOffset = TrySource(kEbayStandard, TimePageText, trap);
  if (!hourOffset) return false;

  // A reading that is no time, or a bias that leaves the minute count's
  // range, ends the run before the clock is touched.
  TimeFields f;
  if (!trap(200, [&] { f = ReadTimeText(TimePageText); })) return false;
  long minutes = 0;
  if (!trap(210, [&] {
        minutes = f.minutes - static_cast<long>(totalBias);
        if (minutes < INT16_MIN || minutes > INT16_MAX) Raise(errOverflow);
      }))
    return false;

  // One second is added to every reading: the page was printed a moment ago.
  DateTime now;
  DateTime newTime;
  if (!trap(220, [&] {
        now = Sys().clock->Now();
        newTime = NearestDate(now, WrapTimeOfDay(f.hours + *hourOffset, minutes, f.seconds + 1));
      }))
    return false;
  const int16_t secondsCorrected = static_cast<int16_t>(now.Second() - newTime.Second());

  // A refused change is a failed run: nothing is broadcast.
  if (!trap(240, [&] { Sys().clock->SetLocalTime(newTime); })) return false;
  SecondsCorrected = secondsCorrected;
  trap(250, [&] { Sys().clock->BroadcastTimeChange(); });
  return true;
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
