// One synchronisation without a window: the options as a request, a source
// that reads the time, the clock set from it, the outcome as a result.
// DoAtomicTime fills the request from the main window's controls and shows
// the result; nothing here knows a form.
//
// Every run-time error on the way is reported with the procedure text
// "DoAtomicTime of Modul VRN_TimeSync" and the statement numbers the run has
// always had: 30 the bias; 40, 80, 120, 160 the page fetches; 200 to 250 a
// page's time set; 300 to 350 the NTP server's; 400 to 450 the web server
// clock's; 510 a big correction no second source confirmed.
//
// A run whose source is at odds with the clock by more than the request
// allows (it would move the clock that far, and says the computer's UTC
// clock is that far off) goes ahead only when a second, independent source
// agrees within kAgreeSeconds; otherwise a run the user started asks, and
// any other run sets nothing and says so once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "support/ErrorTrap.h"

namespace tavrel {

struct SyncRequest {
  enum Source {
    TimePages,  // the Naval Observatory, NIST, then eBay
    EbayPage,   // eBay's page alone
    NtpServer,  // the NTP server in `ntpServer`
  } source = TimePages;
  std::string ntpServer;
  // "Adjust clock for daylight savings changes" ticked.
  bool adjustForDaylight = true;
  // The time-zone record, and whether the system was in daylight time,
  // as read at the start of this run.
  TimeZoneInformation zone;
  bool daylightActive = false;
  // Set while the computer's record is out of date and `zone` holds today's
  // rule instead: whether daylight time holds at a UTC moment by that rule.
  // The bias is then chosen for the moment the source read, not for the
  // season the system believes in.
  std::function<bool(DateTime utc)> daylightAt;
  // Minutes the user's clock runs ahead: the clock is set earlier by them.
  int32_t correctionMinutes = 0;
  // Seconds one source alone may move the clock by; 0 or less: any.
  double maxCorrectionSeconds = 0;
  // A run the user started: shows the question (its text ends in "Set the
  // clock anyway?") and answers whether to set the clock when no second
  // source confirms a big correction. Unset: such a run sets nothing.
  std::function<bool(const std::string& question)> askUser;
};

// What a source's time is worth, for the computer's own NTP server: how
// far the computer stands from a reference clock once it is set from it.
struct SourceQuality {
  // The computer's stratum: the NTP server's + 1; 2 from a web server's
  // clock or a time page, whose servers count as one step from a reference.
  unsigned stratum = 2;
  // NtpReferenceId of the NTP server; "HTTP" for the web (NtpCode).
  uint32_t referenceId = 0;
  // Seconds: the source's own root delay plus the round trip to it, and
  // the source's root dispersion plus how finely it was read.
  double rootDelay = 0, rootDispersion = 0;
};

struct SyncResult {
  bool synchronised = false;
  // How the run ended, for the tray's tooltip and the retries.
  enum Outcome {
    Set,           // the clock was set
    NoAnswer,      // no source gave a usable time
    NetworkDown,   // no source answered: names did not resolve, connections failed
    NotConfirmed,  // a big correction no second source confirmed
    Declined,      // the user said no to a big correction
    Refused,       // the system refused to set the clock
  } outcome = NoAnswer;
  // Who the time came from: a host ("tycho.usno.navy.mil"), an NTP server
  // as the user wrote it ("pool.ntp.org").
  std::string sourceName;
  // "3 of 4 agree" when several NTP servers answered; empty otherwise.
  std::string agreement;
  DateTime oldTime, newTime;  // local, when the clock was set
  // Seconds the clock moved (new − old) when it was set.
  double offset = 0;
  // The old clock's whole seconds less the new one's, held in 16 bits.
  int16_t secondsCorrected = 0;
  // The options view's line about the run, for the sources that write one.
  std::optional<std::string> resultLine;
  // When synchronised: what the source's time is worth.
  SourceQuality quality;
};

// What a source read: a time of day printed by a page, in UTC once the
// hour offset is added; or the seconds to add to the computer's UTC clock.
struct TimeReading {
  // false: the source found its time but could not read it; the run ends.
  bool usable = true;
  bool timeOfDay = true;
  int hours = 0, minutes = 0, seconds = 0;
  int hourOffset = 0;
  double utcOffset = 0;
  int line = 0;  // for a UTC offset: the statement number of the clock set, less 10
  SourceQuality quality;
  std::string source;  // who said it (see SyncResult::sourceName)
};

// Within how many seconds a second source must agree with a big correction.
constexpr double kAgreeSeconds = 2;

// A second source's word on what the first one says: that the computer's
// UTC clock is some seconds off. Both are converted alike (the bias, the
// user's correction), so comparing what they say of UTC is comparing where
// they would set the clock.
struct SecondOpinion {
  bool agrees = false;
  // The answer shown beside the first one: who gave it and by how many
  // seconds it says the UTC clock is off. Nothing when no second source
  // answered.
  std::string name;
  std::optional<double> offset;
};

class ITimeSource {
 public:
  virtual ~ITimeSource() = default;
  // Asks the source for the time; nothing when it has none. timePageText
  // receives what the source read (see DoAtomicTime). Failures are
  // reported through the trap.
  virtual std::optional<TimeReading> Read(std::string& timePageText, ErrorTrap& trap) = 0;
  // The line for the options view after Read; nothing when the source
  // writes none.
  virtual std::optional<std::string> ResultLine() const { return std::nullopt; }
};

// The UTC moment a source read: a UTC offset added to the computer's UTC
// clock, or a page's time of day (with its hour offset and one second) on
// the UTC date nearest that clock.
DateTime ReadingUtc(const TimeReading& reading);

// Runs one synchronisation on the installed platform.
SyncResult Synchronise(const SyncRequest& request, std::string& timePageText);

// The line the options view shows after an NTP run:
// "offset +0.250 s, delay 41 ms".
struct SntpResult;
std::string NtpResultText(const SntpResult& result);

// What the result line says in a second line about a clock coarser than a
// millisecond, "clock step 55 ms, interpolated"; nothing for a fine one.
std::string ClockStepText(const ClockStep& step);

// The old clock's whole seconds less the new one's, limited to 16 bits.
int16_t SecondsBetween(DateTime oldTime, DateTime newTime);

}  // namespace tavrel
