// Today's daylight-saving rules, compiled into the program from the zone
// data the build machine has (scripts/make-zone-rules.py writes the table),
// and what the program does with them: the rule of a Windows zone for a
// year, the moments a record's change rules give, whether daylight time
// holds at a moment, and whether the computer's record is out of date.
//
// Old Windows carries the rules of the day it was made: the United States'
// pre-2007 dates, Mexico's daylight time, Brazil's. The record keeps
// converting UTC with them; this table knows better.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace tavrel {

// A change rule as the zone record writes it: the `week`-th `weekday` of
// `month` (week 5 the last such weekday; weekday 0 = Sunday), at `minute`
// minutes after midnight of the local time before the change; 1440 is the
// day's very end, which the record writes as 23:59:59.999. Month 0: none.
struct ZoneChange {
  uint8_t month;
  uint8_t week;
  uint8_t weekday;
  uint16_t minute;
};

// One row of the table: a Windows zone's rule from the year `since` on (0:
// ever since the zone data knows it). A zone whose rule changes in a
// coming year has a second row from that year.
struct ZoneRuleRow {
  const char* key;      // the zone's key in the registry's list, its English standard name
  const char* display;  // "(UTC-05:00) Eastern Time (US & Canada)"
  int16_t since;
  int16_t bias;         // minutes, UTC = local standard time + bias
  int8_t daylightBias;  // minutes added in daylight time; 0 without daylight time
  ZoneChange toDaylight;
  ZoneChange toStandard;
};

// A name older Windows gave a zone that the table knows under its newer
// key ("Mexico Standard Time").
struct ZoneAlias {
  const char* oldName;
  const char* key;
};

// The generated table (zone_rules_table.cpp in the build folder).
extern const char kZoneDataVersion[];  // "tzdata 2025b, CLDR 41"
extern const ZoneRuleRow kZoneRuleRows[];
extern const int kZoneRuleRowCount;
extern const ZoneAlias kZoneAliases[];
extern const int kZoneAliasCount;

// A table of rules: the generated one, or a test's own.
struct ZoneTable {
  const ZoneRuleRow* rows;
  int rowCount;
  const ZoneAlias* aliases;
  int aliasCount;
};
ZoneTable CompiledZoneTable();

// The row in force in `year` for a zone known by its key or an older name
// (case ignored); nothing for a zone the table does not know, or a year
// before its rule took effect.
const ZoneRuleRow* FindZoneRule(const ZoneTable& table, const std::string& key, int year);

// `record` with the row's rule: its biases and change rules, its names kept.
TimeZoneInformation WithRule(const TimeZoneInformation& record, const ZoneRuleRow& row);

// A local moment: a day number (days since 30 December 1899) and the
// milliseconds into that day.
struct LocalMoment {
  long day = 0;
  long ms = 0;
  DateTime Local() const;
  friend bool operator==(const LocalMoment& a, const LocalMoment& b) { return a.day == b.day && a.ms == b.ms; }
  friend bool operator!=(const LocalMoment& a, const LocalMoment& b) { return !(a == b); }
};

// The moment a record's change rule gives in `year`: relative (the n-th
// weekday) or absolute (only in its own year). Nothing for month 0, a
// rule out of range or an absolute rule of another year.
std::optional<LocalMoment> ChangeInYear(const SystemTime& rule, int year);

// Whether the record changes between standard and daylight time at all.
bool HasDaylightTime(const TimeZoneInformation& record);

// Whether the record's daylight time holds at a UTC moment.
bool DaylightAtUtc(const TimeZoneInformation& record, DateTime utc);

// The record's bias at a UTC moment: UTC = local time + this many minutes.
int32_t BiasAtUtc(const TimeZoneInformation& record, DateTime utc);

// Whether two records convert the same way in `year`: the same offsets
// and the same moments of change.
bool SameRulesInYear(const TimeZoneInformation& a, const TimeZoneInformation& b, int year);

// The record compared with today's rule for its zone.
struct ZoneCheck {
  enum State {
    Unknown,   // the table does not know the zone (or the year): left alone
    Current,   // the record converts as today's rule does
    OutOfDate  // it does not
  } state = Unknown;
  int year = 0;
  const ZoneRuleRow* row = nullptr;  // today's rule (Current, OutOfDate)
  TimeZoneInformation rule;          // the record with today's rule
};

// Compares the record of the zone known as `key` with today's rule for
// `year`.
ZoneCheck CheckZone(const ZoneTable& table, const std::string& key, const TimeZoneInformation& record, int year);

// What the time-zone view says about an out-of-date record, in plain
// words, e.g. "Out of date: this computer changes to daylight time on
// 5 April 2026; the rule in force since 2007 is 8 March 2026."
std::string OutOfDateText(const TimeZoneInformation& record, const ZoneCheck& check);

// "5 April 2026".
std::string DayText(DateTime day);

}  // namespace tavrel
