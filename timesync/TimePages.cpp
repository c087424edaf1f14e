#include "timesync/TimePages.h"

#include <algorithm>
#include <cmath>

#include "support/Hosts.h"
#include "timesync/HttpDate.h"
#include "timesync/NtpPacket.h"
#include "timesync/TimePage.h"

namespace tavrel {

// One time page and how to read it. The Naval Observatory and NIST print
// UTC; eBay prints US Pacific time, which the hour offset turns into UTC
// (7 in daylight time, "PDT"; 8 in standard time, "PST").
struct PageSource {
  const char* hostSetting;
  const char* defaultHost;
  const char* pathAndQuery;
  TimeMarker where;
  int hourOffset;
  int attempts;
  int line;  // statement number of the fetch; the search is line + 10

  std::string Url() const { return HostSetting(hostSetting, defaultHost) + pathAndQuery; }
};

namespace {

using Source = PageSource;

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

void KeepDate(const HttpAnswer& answer, const std::string& url, std::vector<DateReading>& dates) {
  if (const auto date = answer.Header("Date")) {
    if (const auto utc = ParseHttpDate(*date)) dates.push_back({url, *utc, answer.sentUtc, answer.answeredUtc});
  }
}

// The reading a page's text gives for a source; nothing when the marker is
// missing or the time text is no time.
std::optional<TimeReading> ReadPage(const std::string& page, const Source& source) {
  const std::optional<std::string> text = CutTimeText(page, source.where);
  if (!text) return std::nullopt;
  TimeReading reading;
  try {
    const TimeFields f = ReadTimeText(*text);
    reading.hours = f.hours;
    reading.minutes = f.minutes;
    reading.seconds = f.seconds;
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
  reading.hourOffset = source.hourOffset;
  return reading;
}

double Seconds(DateTime from, DateTime to) { return (to.Serial() - from.Serial()) * 86400.0; }

// Where a second source puts the computer's UTC clock: between lo and hi
// seconds off.
struct Span {
  double lo, hi;
};

// How far an offset lies from a span; with `timeOfDay` whole days do not
// count.
double Distance(double offset, Span span, bool timeOfDay) {
  if (timeOfDay) {
    const double middle = (span.lo + span.hi) / 2;
    offset -= std::round((offset - middle) / 86400.0) * 86400.0;
  }
  if (offset < span.lo) return span.lo - offset;
  if (offset > span.hi) return offset - span.hi;
  return 0;
}

// A Date says the server's clock at some moment of the round trip, in
// whole seconds; taken at its middle, the server's UTC less ours lies in a
// one-second span.
Span DateSpan(const DateReading& r) {
  const double lo = (Seconds(r.sentUtc, r.date) + Seconds(r.answeredUtc, r.date)) / 2;
  return {lo, lo + 1};
}

// A page printed its whole second some moment before it arrived; one
// second was added for that.
Span PageSpan(const TimeReading& reading) {
  const double offset = Seconds(Sys().clock->NowUtc(), ReadingUtc(reading));
  return {offset - 1, offset};
}

// One more request to a host that has not spoken in this run: its page's
// time when it prints one, else its Date.
std::optional<Span> AskOnce(WebAsker& asker, const Source& source) {
  const std::string url = source.Url();
  if (asker.Left(url) <= 0) return std::nullopt;
  HttpAnswer answer;
  if (!ErrorTrap::Quietly([&] { answer = asker.Fetch(url); })) return std::nullopt;
  if (answer.status >= 200 && answer.status <= 299) {
    for (const Source* s : {&source, source.hourOffset == 7 ? &kEbayStandard : nullptr}) {
      if (!s) continue;
      if (const auto reading = ReadPage(answer.body, *s)) return PageSpan(*reading);
    }
  }
  std::vector<DateReading> dates;
  KeepDate(answer, url, dates);
  if (dates.empty()) return std::nullopt;
  return DateSpan(dates.front());
}

}  // namespace

std::optional<TimeReading> TimePageChain::Read(std::string& timePageText, ErrorTrap& trap) {
  std::optional<TimeReading> reading;
  if (!ebayOnly_) {
    reading = TrySource(kNavalObservatory, 0, timePageText, trap);
    if (!reading) reading = TrySource(kNist, 0, timePageText, trap);
  }
  // eBay keeps one request of its host for the winter page.
  if (!reading) reading = TrySource(kEbayDaylight, 1, timePageText, trap);
  if (!reading) reading = TrySource(kEbayStandard, 0, timePageText, trap);
  return reading;
}

// Fetches one source up to its number of attempts, as far as its host's
// requests in this run allow, `reserve` of them kept back. A redirect is
// not followed: it is an answer without the time text (today's hosts
// answer plain HTTP with one), and its Date is the server's clock all the
// same. A redirect or an error status is the page's standing answer:
// asking again at once brings the same, so the page is asked no more in
// this run (an error status is still reported). A fetch that fails counts
// as a miss without a search: what timePageText still holds is an older
// page, possibly another source's, and must never pass for this one.
std::optional<TimeReading> TimePageChain::TrySource(const PageSource& source, int reserve, std::string& timePageText,
                                                    ErrorTrap& trap) {
  const std::string url = source.Url();
  if (std::find(settled_.begin(), settled_.end(), url) != settled_.end()) return std::nullopt;
  const int attempts = std::min(source.attempts, asker_.Left(url) - reserve);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    bool noPage = false;
    const bool fetched = trap(source.line, [&] {
      const HttpAnswer answer = asker_.Fetch(url);
      KeepDate(answer, url, dates_);
      noPage = answer.status < 200 || answer.status > 299;
      if (answer.status < 200 || answer.status > 399)
        Raise(errInetFailure, "HTTP status " + std::to_string(answer.status));
      timePageText = answer.body;
    });
    std::optional<std::string> text;
    if (fetched) trap(source.line + 10, [&] { text = CutTimeText(timePageText, source.where); });
    if (!text && noPage) {
      settled_.push_back(url);
      return std::nullopt;
    }
    if (!text) continue;
    timePageText = *text;
    // A reading that is no time ends the run before the clock is touched.
    TimeReading reading;
    reading.source = HostOf(url);
    TimeFields f;
    if (!trap(200, [&] { f = ReadTimeText(timePageText); })) {
      reading.usable = false;
      return reading;
    }
    reading.hours = f.hours;
    reading.minutes = f.minutes;
    reading.seconds = f.seconds;
    reading.hourOffset = source.hourOffset;
    // Whole seconds, and the second added to every reading.
    reading.quality.referenceId = NtpCode("HTTP");
    reading.quality.rootDispersion = 1;
    return reading;
  }
  return std::nullopt;
}

SecondOpinion AskOtherHosts(WebAsker& asker, const std::vector<DateReading>& dates, const std::string& firstHost,
                            double offset, bool timeOfDay) {
  SecondOpinion opinion;
  std::vector<std::string> heard{firstHost};
  for (const Source* source : {&kNavalObservatory, &kNist, &kEbayDaylight}) {
    const std::string host = HostOf(source->Url());
    if (std::find(heard.begin(), heard.end(), host) != heard.end()) continue;
    heard.push_back(host);
    std::optional<Span> span;
    for (auto r = dates.rbegin(); r != dates.rend() && !span; ++r)
      if (HostOf(r->url) == host) span = DateSpan(*r);
    if (!span) span = AskOnce(asker, *source);
    if (!span) continue;
    const bool agrees = Distance(offset, *span, timeOfDay) <= kAgreeSeconds;
    if (agrees || !opinion.offset) {
      opinion.name = host;
      opinion.offset = (span->lo + span->hi) / 2;
    }
    if (agrees) {
      opinion.agrees = true;
      return opinion;
    }
  }
  return opinion;
}

}  // namespace tavrel
