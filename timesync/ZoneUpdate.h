// Setting the computer's daylight-saving rules right, and back: the
// record (SetTimeZoneInformation) and the system's entry for the zone in
// the registry's list of zones (its "TZI" value, which the system's own
// date and time dialog writes into the record again whenever the user
// confirms the zone there). Before anything is written, the record and
// the entry as they were go to a file beside the error log, from which
// "put back" restores them. Nothing here runs unless the user asks.
//
// Knows no window: the main window shows the state and calls these.
#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "timesync/ZoneRules.h"

namespace tavrel {

// A name field of the record as text, without the NULs that fill it after
// the name; characters outside the 8-bit range show as "?".
std::string RecordName(const char16_t (&name)[32]);

// The registry's list of zones below HKEY_LOCAL_MACHINE:
// "Software\Microsoft\Windows NT\CurrentVersion\Time Zones" on NT,
// "Software\Microsoft\Windows\CurrentVersion\Time Zones" on Windows 9x.
std::string ZoneListKey();

// The key of the list's entry whose standard name ("Std") is the record's;
// "" when the list has none. A localised Windows names its keys in English
// and its standard names in its own language.
std::string FindListEntry(const TimeZoneInformation& record);

// The list entry's "TZI" value: the biases and change rules, 44 bytes.
std::string TziBytes(const TimeZoneInformation& record);
// Nothing for bytes that are no TZI value.
std::optional<TimeZoneInformation> FromTziBytes(const std::string& bytes, const TimeZoneInformation& names);

// The file the rules are saved in before an update: Common\timezone.old.
std::string SavedRulesPath();

// What the program knows about the computer's zone.
struct ZoneRulesState {
  TimeZoneInformation record;  // as read
  std::string key;        // the list entry's key, or the record's name when the list has none
  std::string listEntry;  // the list entry's key; "" when none
  ZoneCheck check;        // the record against today's rule
  bool canPutBack = false;  // rules were saved for this zone, and differ from the record's
};

// Compares the record with today's rule for its zone in `year` and looks
// for saved rules.
ZoneRulesState LookAtZone(const ZoneTable& table, const TimeZoneInformation& record, int year);

enum class ZoneChangeOutcome {
  Done,
  NeedsAdministrator,  // NT, and this account may not set the clock: nothing changed
  NothingToDo,         // the record is no longer out of date, or nothing is saved
};

// Writes today's rule into the record and the list entry, after saving
// both, and tells every window. Throws RuntimeError when the saving or a
// write is refused; whatever was written by then is put back first.
ZoneChangeOutcome UpdateZoneRules(const ZoneTable& table);

// Puts the saved record and list entry back, the same way.
ZoneChangeOutcome PutBackZoneRules(const ZoneTable& table);

}  // namespace tavrel
