#include "timesync/SyncCore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "timesync/NtpSource.h"
#include "timesync/Sntp.h"
#include "timesync/TimePages.h"
#include "timesync/WebAsker.h"
#include "timesync/WebServerClock.h"

namespace tavrel {
namespace {

const char* const kDoAtomicTime = "DoAtomicTime of Modul VRN_TimeSync";

// The clock change a reading asks for, worked out just before it is made.
struct ClockPlan {
  DateTime now, newTime;  // local
  uint32_t tick = 0;      // when they were taken
  int line = 0;           // the statement number of the clock set, less 10
  double offset = 0;      // seconds the source says the UTC clock is off

  double Correction() const { return (newTime.Serial() - now.Serial()) * 86400.0; }
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

// The local time a reading stands for, now. False when it cannot be worked
// out (a bias that leaves the minute count's range ends the run before the
// clock is touched).
bool Plan(const TimeReading& reading, int32_t totalBias, ClockPlan& plan, ErrorTrap& trap) {
  IClock& clock = *Sys().clock;
  plan.tick = clock.TickCount();
  if (reading.timeOfDay) {
    if (!trap(210, [&] {
          const long minutes = reading.minutes - static_cast<long>(totalBias);
          if (minutes < INT16_MIN || minutes > INT16_MAX) Raise(errOverflow);
        }))
      return false;
    plan.line = 230;
    // One second is added to every reading: the page was printed a moment ago.
    return trap(220, [&] {
      plan.now = clock.Now();
      plan.newTime = NearestDate(plan.now, WrapTimeOfDay(reading.hours + reading.hourOffset,
                                                         reading.minutes - static_cast<long>(totalBias),
                                                         reading.seconds + 1));
      plan.offset = (ReadingUtc(reading).Serial() - clock.NowUtc().Serial()) * 86400.0;
    });
  }
  // UTC plus the offset, turned into local time by the bias: the
  // milliseconds stay.
  plan.line = reading.line;
  plan.offset = reading.utcOffset;
  return trap(reading.line, [&] {
    plan.now = clock.Now();
    plan.newTime = clock.NowUtc().AddSeconds(reading.utcOffset - totalBias * 60.0);
  });
}

// After a wait (a second source asked, the user asked): a UTC offset is
// worked out afresh; a page's time has aged by the wait, on the tick.
bool Replan(const TimeReading& reading, int32_t totalBias, ClockPlan& plan, ErrorTrap& trap) {
  if (!reading.timeOfDay) return Plan(reading, totalBias, plan, trap);
  IClock& clock = *Sys().clock;
  const uint32_t tick = clock.TickCount();
  const double waited = static_cast<uint32_t>(tick - plan.tick) / 1000.0;
  plan.tick = tick;
  if (waited <= 0) return true;
  return trap(220, [&] {
    plan.now = clock.Now();
    plan.newTime = plan.newTime.AddSeconds(waited);
  });
}

// Sets the clock as planned; false when it was not set.
bool SetClock(const ClockPlan& plan, SyncResult& result, ErrorTrap& trap) {
  IClock& clock = *Sys().clock;
  // A refused change is a failed run: nothing is broadcast.
  if (!trap(plan.line + 10, [&] { clock.SetLocalTime(plan.newTime); })) {
    result.outcome = SyncResult::Refused;
    return false;
  }
  result.synchronised = true;
  result.outcome = SyncResult::Set;
  result.oldTime = plan.now;
  result.newTime = plan.newTime;
  result.offset = plan.Correction();
  result.secondsCorrected = SecondsBetween(plan.now, plan.newTime);
  trap(plan.line + 20, [&] { clock.BroadcastTimeChange(); });
  return true;
}

// "3 h 0 min 5 s", "2 min 30 s", "45 s": how far a correction moves the clock.
std::string Span(double seconds) {
  long total = std::lround(std::fabs(seconds));
  const long hours = total / 3600, minutes = total / 60 % 60;
  total %= 60;
  std::string text;
  if (hours) text += std::to_string(hours) + " h ";
  if (hours || minutes) text += std::to_string(minutes) + " min ";
  return text + std::to_string(total) + " s";
}

// Each answer as the local time the clock would show by it.
std::string BigCorrectionQuestion(const std::string& firstName, const ClockPlan& plan, const SecondOpinion& second) {
  const DateTime now = Sys().clock->Now();
  const double move = plan.Correction();
  auto says = [&](const std::string& name, double seconds) {
    return name + " says " + Sys().locale->LongTime(now.AddSeconds(seconds)) + "\r\n";
  };
  std::string text = "The time source would set the clock " + Span(move) + (move < 0 ? " back" : " forward") +
                     ", and no second source confirms it.\r\n\r\n";
  text += says(firstName, move);
  text += second.offset ? says(second.name, move + *second.offset - plan.offset) : "No second source answered.\r\n";
  text += "This computer says " + Sys().locale->LongTime(now) + "\r\n\r\nSet the clock anyway?";
  return text;
}

// Whether a big correction that no second source confirmed may go ahead:
// the user decides a run they started; any other run sets nothing and
// says so in one line.
bool Overrule(const SyncRequest& request, const std::string& firstName, const ClockPlan& plan,
              const SecondOpinion& second, SyncResult& result, ErrorTrap& trap) {
  if (result.resultLine) *result.resultLine += "; not confirmed by a second source";
  const double correction = plan.Correction();
  if (request.askUser) {
    if (request.askUser(BigCorrectionQuestion(firstName, plan, second))) return true;
    result.outcome = SyncResult::Declined;
    return false;
  }
  trap(510, [&] {
    Raise(errNotConfirmed,
          "correction of " + std::to_string(std::lround(correction)) + " s not confirmed by a second source");
  });
  result.outcome = SyncResult::NotConfirmed;
  return false;
}

}  // namespace

DateTime ReadingUtc(const TimeReading& reading) {
  const DateTime utc = Sys().clock->NowUtc();
  if (!reading.timeOfDay) return utc.AddSeconds(reading.utcOffset);
  return NearestDate(utc, WrapTimeOfDay(reading.hours + reading.hourOffset, reading.minutes, reading.seconds + 1));
}

std::string NtpResultText(const SntpResult& result) {
  char text[80];
  std::snprintf(text, sizeof text, "offset %+.3f s, delay %.0f ms", result.offset, result.delay * 1000.0);
  return text;
}

std::string ClockStepText(const ClockStep& step) {
  if (step.ms <= 1) return "";
  char text[64];
  std::snprintf(text, sizeof text, "clock step %.3g ms%s", step.ms, step.interpolated ? ", interpolated" : "");
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
  bool networkDown = false;
  // The second source's word on what the source that read the time says.
  std::function<SecondOpinion(double offset)> secondOpinion;
  WebAsker asker;
  TimePageChain pages(request.source == SyncRequest::EbayPage, asker);
  NtpSource ntp(request.ntpServer);
  if (request.source == SyncRequest::NtpServer) {
    reading = ntp.Read(timePageText, trap);
    result.resultLine = ntp.ResultLine();
    result.agreement = ntp.Agreement();
    networkDown = ntp.NetworkDown();
    secondOpinion = [&](double) { return ntp.Opinion(); };
  } else {
    reading = pages.Read(timePageText, trap);
    if (!reading && !pages.Dates().empty()) {
      // No page showed a time, but the servers told their clocks.
      WebServerClock server(pages.Dates(), asker);
      reading = server.Read(timePageText, trap);
      result.resultLine = server.ResultLine();
    }
    networkDown = asker.NetworkDown();
    secondOpinion = [&](double offset) {
      return AskOtherHosts(asker, pages.Dates(), reading->source, offset, reading->timeOfDay);
    };
  }
  if (!reading) {
    if (networkDown) result.outcome = SyncResult::NetworkDown;
    return result;
  }
  if (!reading->usable) return result;
  if (request.daylightAt && !biasFor(request.daylightAt(ReadingUtc(*reading)))) return result;
  result.sourceName = reading->source;
  if (result.resultLine) {
    const std::string step = ClockStepText(Sys().clock->Step());
    if (!step.empty()) *result.resultLine += "\r\n" + step;
  }

  ClockPlan plan;
  if (!Plan(*reading, totalBias, plan, trap)) return result;
  // A move the user's own settings make (the correction in minutes,
  // standard time all year, today's daylight-saving rule) comes with a
  // source that agrees with the computer's UTC clock; a clock those
  // settings keep off UTC is moved little. Only a source at odds with the
  // clock both ways is one to doubt.
  const double doubt = std::min(std::fabs(plan.Correction()), std::fabs(plan.offset));
  if (request.maxCorrectionSeconds > 0 && doubt > request.maxCorrectionSeconds) {
    const SecondOpinion second = secondOpinion(plan.offset);
    if (!second.agrees && !Overrule(request, reading->source, plan, second, result, trap)) return result;
    if (!Replan(*reading, totalBias, plan, trap)) return result;
  }
  if (SetClock(plan, result, trap)) result.quality = reading->quality;
  return result;
}

}  // namespace tavrel
