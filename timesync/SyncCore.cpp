#include "timesync/SyncCore.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "support/Hosts.h"
#include "timesync/HttpDate.h"
#include "timesync/Sntp.h"
#include "timesync/TimePage.h"
#include "timesync/WebServerClock.h"

namespace tavrel {
namespace {

const char* const kDoAtomicTime = "DoAtomicTime of Modul VRN_TimeSync";

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

// The time pages in their chain. Every answer's Date is kept for the web
// server clock, which takes over when no page shows a time.
class TimePageChain : public ITimeSource {
 public:
  explicit TimePageChain(bool ebayOnly) : ebayOnly_(ebayOnly) {}

  std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) override {
    std::optional<TimeReading> reading;
    if (!ebayOnly_) {
      reading = TrySource(kNavalObservatory, timePageText, trap);
      if (!reading) reading = TrySource(kNist, timePageText, trap);
    }
    if (!reading) reading = TrySource(kEbayDaylight, timePageText, trap);
    if (!reading) reading = TrySource(kEbayStandard, timePageText, trap);
    return reading;
  }

  std::vector<DateReading>& Dates() { return dates_; }

 private:
  // Fetches one source up to its number of attempts. A redirect is not
  // followed: it is an answer without the time text (today's hosts answer
  // plain HTTP with one), and its Date is the server's clock all the same.
  // A fetch that fails counts as a miss without a search: what
  // timePageText still holds is an older page, possibly another source's,
  // and must never pass for this one.
  std::optional<TimeReading> TrySource(const Source& source, std::string& timePageText, ErrorTrap& trap) {
    const std::string url = HostSetting(source.hostSetting, source.defaultHost) + source.pathAndQuery;
    HttpOptions options;
    options.followRedirects = false;
    for (int attempt = 0; attempt < source.attempts; ++attempt) {
      if (!trap(source.line, [&] {
            const HttpAnswer answer = Sys().http->Fetch(url, options);
            if (const auto date = answer.Header("Date")) {
              if (const auto utc = ParseHttpDate(*date))
                dates_.push_back({url, *utc, answer.sentUtc, answer.answeredUtc});
            }
            if (answer.status < 200 || answer.status > 399)
              Raise(errInetFailure, "HTTP status " + std::to_string(answer.status));
            timePageText = answer.body;
          }))
        continue;
      std::optional<std::string> text;
      trap(source.line + 10, [&] { text = CutTimeText(timePageText, source.where); });
      if (!text) continue;
      timePageText = *text;
      // A reading that is no time ends the run before the clock is touched.
      TimeReading reading;
      TimeFields f;
      if (!trap(200, [&] { f = ReadTimeText(timePageText); })) {
        reading.usable = false;
        return reading;
      }
      reading.hours = f.hours;
      reading.minutes = f.minutes;
      reading.seconds = f.seconds;
      reading.hourOffset = source.hourOffset;
      return reading;
    }
    return std::nullopt;
  }

  bool ebayOnly_;
  std::vector<DateReading> dates_;
};

// An NTP server: four requests, the fastest answer wins. The server gives
// UTC to the millisecond, so nothing is added for the time a reading takes
// to arrive. Each failed request is reported and the next one still goes
// out.
class NtpSource : public ITimeSource {
 public:
  explicit NtpSource(std::string server) : server_(std::move(server)) {}

  std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) override {
    SntpClient ntp;
    SntpResult r;
    bool answered = trap(300, [&] { ntp.Open(server_); });
    while (answered && ntp.CanRequest()) trap(310, [&] { ntp.Request(); });
    answered = answered && trap(320, [&] { r = ntp.Result(); });
    if (!answered) {
      line_ = "no valid answer from the NTP server";
      return std::nullopt;
    }
    line_ = NtpResultText(r);
    timePageText = r.serverTime;
    TimeReading reading;
    reading.timeOfDay = false;
    reading.utcOffset = r.offset;
    reading.line = 330;
    return reading;
  }
  std::optional<std::string> ResultLine() const override { return line_; }

 private:
  std::string server_;
  std::optional<std::string> line_;
};

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

// The UTC moment a source read, near enough to tell the season: a page's
// time of day goes on the UTC date nearest the computer's UTC clock.
DateTime ReadingUtc(const TimeReading& reading) {
  const DateTime utc = Sys().clock->NowUtc();
  if (!reading.timeOfDay) return utc.AddSeconds(reading.utcOffset);
  return NearestDate(utc, WrapTimeOfDay(reading.hours + reading.hourOffset, reading.minutes, reading.seconds + 1));
}

// Sets the clock from a reading; false when it was not set.
bool SetClock(const TimeReading& reading, int32_t totalBias, SyncResult& result, ErrorTrap& trap) {
  IClock& clock = *Sys().clock;
  DateTime now;
  DateTime newTime;
  int line = reading.line;
  if (reading.timeOfDay) {
    // A bias that leaves the minute count's range ends the run before the
    // clock is touched.
    long minutes = 0;
    if (!trap(210, [&] {
          minutes = reading.minutes - static_cast<long>(totalBias);
          if (minutes < INT16_MIN || minutes > INT16_MAX) Raise(errOverflow);
        }))
      return false;
    // One second is added to every reading: the page was printed a moment ago.
    if (!trap(220, [&] {
          now = clock.Now();
          newTime = NearestDate(now, WrapTimeOfDay(reading.hours + reading.hourOffset, minutes, reading.seconds + 1));
        }))
      return false;
    line = 230;
  } else {
    // UTC plus the offset, turned into local time by the bias: the
    // milliseconds stay.
    if (!trap(line, [&] {
          now = clock.Now();
          newTime = clock.NowUtc().AddSeconds(reading.utcOffset - totalBias * 60.0);
        }))
      return false;
  }
  // A refused change is a failed run: nothing is broadcast.
  if (!trap(line + 10, [&] { clock.SetLocalTime(newTime); })) return false;
  result.synchronised = true;
  result.oldTime = now;
  result.newTime = newTime;
  result.offset = (newTime.Serial() - now.Serial()) * 86400.0;
  result.secondsCorrected = SecondsBetween(now, newTime);
  trap(line + 20, [&] { clock.BroadcastTimeChange(); });
  return true;
}

}  // namespace

std::string NtpResultText(const SntpResult& result) {
  char text[80];
  std::snprintf(text, sizeof text, "offset %+.3f s, delay %.0f ms", result.offset, result.delay * 1000.0);
  return text;
}

int16_t SecondsBetween(DateTime oldTime, DateTime newTime) {
  // The seconds each clock shows, milliseconds cut, days included.
  const long long difference = (static_cast<long long>(oldTime.Days()) * 86400 + oldTime.SecondsOfDay()) -
                               (static_cast<long long>(newTime.Days()) * 86400 + newTime.SecondsOfDay());
  if (difference > INT16_MAX) return INT16_MAX;
  if (difference < INT16_MIN) return INT16_MIN;
  return static_cast<int16_t>(difference);
}

SyncResult Synchronise(const SyncRequest& request, std::string& timePageText) {
  ErrorTrap trap(kSourceCommon, kDoAtomicTime);
  SyncResult result;

  // UTC = local time + bias; the user's correction moves the clock earlier.
  // With the daylight option off the clock stays on standard time all year.
  int32_t totalBias = 0;
  auto biasFor = [&](bool daylightActive) {
    return trap(30, [&] {
      const bool daylight = request.adjustForDaylight && daylightActive;
      const int64_t sum = int64_t{request.zone.Bias} +
                          (daylight ? request.zone.DaylightBias : request.zone.StandardBias) +
                          request.correctionMinutes;
      if (sum < INT32_MIN || sum > INT32_MAX) Raise(errOverflow);
      totalBias = static_cast<int32_t>(sum);
    });
  };
  if (!biasFor(request.daylightActive)) return result;

  std::optional<TimeReading> reading;
  if (request.source == SyncRequest::NtpServer) {
    NtpSource ntp(request.ntpServer);
    reading = ntp.Read(timePageText, trap);
    result.resultLine = ntp.ResultLine();
  } else {
    TimePageChain pages(request.source == SyncRequest::EbayPage);
    reading = pages.Read(timePageText, trap);
    if (!reading && !pages.Dates().empty()) {
      // No page showed a time, but the servers told their clocks.
      WebServerClock server(std::move(pages.Dates()));
      reading = server.Read(timePageText, trap);
      result.resultLine = server.ResultLine();
    }
  }
  if (!reading || !reading->usable) return result;
  if (request.daylightAt && !biasFor(request.daylightAt(ReadingUtc(*reading)))) return result;
  SetClock(*reading, totalBias, result, trap);
  return result;
}

}  // namespace tavrel
