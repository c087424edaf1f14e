// One synchronisation without a window: the options as a request, a source
// that reads the time, the clock set from it, the outcome as a result.
// DoAtomicTime fills the request from the main window's controls and shows
// the result; nothing here knows a form.
//
// Every run-time error on the way is reported with the procedure text
// "DoAtomicTime of Modul VRN_TimeSync" and the statement numbers the run has
// always had: 30 the bias; 40, 80, 120, 160 the page fetches; 200 to 250 a
// page's time set; 300 to 350 the NTP server's; 400 to 450 the web server
// clock's.
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
};

struct SyncResult {
  bool synchronised = false;
  DateTime oldTime, newTime;  // local, when the clock was set
  // Seconds the clock moved (new − old) when it was set.
  double offset = 0;
  // The old clock's whole seconds less the new one's, held in 16 bits.
  int16_t secondsCorrected = 0;
  // The options view's line about the run, for the sources that write one.
  std::optional<std::string> resultLine;
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

// Runs one synchronisation on the installed platform.
SyncResult Synchronise(const SyncRequest& request, std::string& timePageText);

// The line the options view shows after an NTP run:
// "offset +0.250 s, delay 41 ms".
struct SntpResult;
std::string NtpResultText(const SntpResult& result);

// The old clock's whole seconds less the new one's, limited to 16 bits.
int16_t SecondsBetween(DateTime oldTime, DateTime newTime);

}  // namespace tavrel
