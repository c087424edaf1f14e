// Web time: fetching a time page, turning its time of day into local time
// and setting the clock; and the dates of the daylight-saving changes.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "timesync/Sntp.h"
#include "timesync/SyncCore.h"

namespace tavrel {

// Fetches the time from the US Naval Observatory, then NIST, then eBay (or
// eBay alone when "ebay" is chosen), sets the clock's time of day and tells
// every window. True when the clock was set. TimePageText receives each
// page fetched and, on success, the eight-character time text of the page.
// With "NTP client within a local network" chosen as the time source, the
// NTP server in the address box replaces the pages: TimePageText receives
// the server's UTC time of day "hh:mm:ss" and the date may change too.
// When no page shows a time, the clock of the web server that answered
// fastest takes over (timesync/WebServerClock.h).
bool DoAtomicTime(std::string& TimePageText);

// One run as the main window starts it: whether the user started it (such
// a run may ask before a correction bigger than "Ask before correcting
// more than" allows that no second source confirms; any other run sets
// nothing then) and, afterwards, everything the run found out.
struct SyncRun {
  bool userStarted = false;
  SyncResult result;
};
bool DoAtomicTime(std::string& TimePageText, SyncRun& run);

// The minutes in "Ask before correcting more than" when its text is no
// number.
constexpr double kDefaultMaxCorrectionMinutes = 2;

// The date and time in the current year of a change rule of the time-zone
// record (absolute, or the n-th weekday of a month, 5 meaning the last).
DateTime tzDate(const SystemTime& rule);

// Speaks the time when the voice period says this minute is one to speak
// (`force`: at once). `clockText` is the time of day in the system's long
// time format, as the clock shows it; `period` the voice period's text.
void VoiceTime(bool force, const std::string& clockText, const std::string& period);

}  // namespace tavrel
