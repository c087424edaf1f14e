#include "timesync/ZoneRules.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/Text.h"

namespace tavrel {
namespace {

constexpr long kMsPerDay = 86400000L;
constexpr long long kMsPerMinute = 60000;

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

SystemTime ChangeRecord(const ZoneChange& change) {
  SystemTime st;
  st.wMonth = change.month;
  st.wDay = change.week;
  st.wDayOfWeek = change.weekday;
  if (change.minute >= 1440) {
    // The day's end, as Windows writes it: a change at 24:00 would be the
    // next day, which a weekday rule cannot say.
    st.wHour = 23;
    st.wMinute = 59;
    st.wSecond = 59;
    st.wMilliseconds = 999;
  } else {
    st.wHour = static_cast<uint16_t>(change.minute / 60);
    st.wMinute = static_cast<uint16_t>(change.minute % 60);
  }
  return st;
}

bool SameText(const char* a, const std::string& b) { return UCase(a) == UCase(b); }

// A moment in UTC milliseconds since the zero date, from a local moment and
// the bias in force before it.
long long UtcMs(const LocalMoment& local, long biasMinutes) {
  return static_cast<long long>(local.day) * kMsPerDay + local.ms + biasMinutes * kMsPerMinute;
}

std::string OffsetText(long biasMinutes) {
  const long offset = -biasMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "UTC%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return text;
}

// A change's day in words, with its time when the other side's change
// falls on the same day at another hour.
std::string MomentText(const LocalMoment& moment, const LocalMoment& other) {
  std::string text = DayText(moment.Local());
  if (moment.day == other.day && moment.ms != other.ms) {
    char time[48];
    std::snprintf(time, sizeof time, " at %02ld:%02ld", moment.ms / 3600000, moment.ms / 60000 % 60);
    text += time;
  }
  return text;
}

std::string Joined(const std::vector<std::string>& clauses) {
  std::string text;
  for (const std::string& clause : clauses) text += (text.empty() ? "" : " and ") + clause;
  return text;
}

}  // namespace

ZoneTable CompiledZoneTable() { return {kZoneRuleRows, kZoneRuleRowCount, kZoneAliases, kZoneAliasCount}; }

const ZoneRuleRow* FindZoneRule(const ZoneTable& table, const std::string& key, int year) {
  std::string name = key;
  for (int i = 0; i < table.aliasCount; ++i)
    if (SameText(table.aliases[i].oldName, key)) name = table.aliases[i].key;
  const ZoneRuleRow* found = nullptr;
  for (int i = 0; i < table.rowCount; ++i) {
    const ZoneRuleRow& row = table.rows[i];
    if (SameText(row.key, name) && row.since <= year && (!found || row.since > found->since)) found = &row;
  }
  return found;
}

TimeZoneInformation WithRule(const TimeZoneInformation& record, const ZoneRuleRow& row) {
  TimeZoneInformation result = record;
  result.Bias = row.bias;
  result.StandardBias = 0;
  result.DaylightBias = row.daylightBias;
  result.StandardDate = row.toDaylight.month ? ChangeRecord(row.toStandard) : SystemTime();
  result.DaylightDate = row.toDaylight.month ? ChangeRecord(row.toDaylight) : SystemTime();
  return result;
}

DateTime LocalMoment::Local() const { return DateTime(day + static_cast<double>(ms) / kMsPerDay); }

std::optional<LocalMoment> ChangeInYear(const SystemTime& rule, int year) {
  if (rule.wMonth < 1 || rule.wMonth > 12 || rule.wHour > 23 || rule.wMinute > 59 || rule.wSecond > 59 ||
      rule.wMilliseconds > 999)
    return std::nullopt;
  LocalMoment moment;
  moment.ms = ((rule.wHour * 60L + rule.wMinute) * 60L + rule.wSecond) * 1000L + rule.wMilliseconds;
  if (rule.wYear != 0) {
    if (rule.wYear != year || rule.wDay < 1 || rule.wDay > 31) return std::nullopt;
    const DateTime day = DateSerial(year, rule.wMonth, rule.wDay);
    if (day.Month() != rule.wMonth) return std::nullopt;
    moment.day = day.Days();
    return moment;
  }
  if (rule.wDay < 1 || rule.wDay > 5 || rule.wDayOfWeek > 6) return std::nullopt;
  const long first = DateSerial(year, rule.wMonth, 1).Days();
  const long last = DateSerial(year, rule.wMonth + 1L, 0).Days();
  // Weekday() counts 1 = Sunday, the rule 0 = Sunday.
  long day = first + (rule.wDayOfWeek + 1 - DateTime(static_cast<double>(first)).Weekday() + 7) % 7;
  day += 7L * (rule.wDay - 1);
  while (day > last) day -= 7;  // week 5: the last such weekday
  moment.day = day;
  return moment;
}

bool HasDaylightTime(const TimeZoneInformation& record) {
  return record.DaylightDate.wMonth != 0 && record.StandardDate.wMonth != 0 &&
         record.DaylightBias != record.StandardBias;
}

bool DaylightAtUtc(const TimeZoneInformation& record, DateTime utc) {
  if (!HasDaylightTime(record)) return false;
  const long standardBias = record.Bias + record.StandardBias;
  const long daylightBias = record.Bias + record.DaylightBias;
  const int year = utc.AddSeconds(-standardBias * 60.0).Year();
  const auto toDaylight = ChangeInYear(record.DaylightDate, year);
  const auto toStandard = ChangeInYear(record.StandardDate, year);
  if (!toDaylight || !toStandard) return false;
  const long long start = UtcMs(*toDaylight, standardBias);
  const long long end = UtcMs(*toStandard, daylightBias);
  const long long now = static_cast<long long>(utc.Days()) * kMsPerDay +
                        static_cast<long long>((utc.Serial() - utc.Days()) * kMsPerDay + 0.5);
  // South of the equator daylight time spans the turn of the year.
  return start < end ? now >= start && now < end : now >= start || now < end;
}

int32_t BiasAtUtc(const TimeZoneInformation& record, DateTime utc) {
  return record.Bias + (DaylightAtUtc(record, utc) ? record.DaylightBias : record.StandardBias);
}

bool SameRulesInYear(const TimeZoneInformation& a, const TimeZoneInformation& b, int year) {
  if (a.Bias + a.StandardBias != b.Bias + b.StandardBias) return false;
  if (HasDaylightTime(a) != HasDaylightTime(b)) return false;
  if (!HasDaylightTime(a)) return true;
  return a.Bias + a.DaylightBias == b.Bias + b.DaylightBias &&
         ChangeInYear(a.DaylightDate, year) == ChangeInYear(b.DaylightDate, year) &&
         ChangeInYear(a.StandardDate, year) == ChangeInYear(b.StandardDate, year);
}

ZoneCheck CheckZone(const ZoneTable& table, const std::string& key, const TimeZoneInformation& record, int year) {
  ZoneCheck check;
  check.year = year;
  check.row = FindZoneRule(table, key, year);
  if (!check.row) return check;
  check.rule = WithRule(record, *check.row);
  check.state = SameRulesInYear(record, check.rule, year) ? ZoneCheck::Current : ZoneCheck::OutOfDate;
  return check;
}

std::string DayText(DateTime day) {
  return std::to_string(day.Day()) + " " + kMonths[day.Month() - 1] + " " + std::to_string(day.Year());
}

std::string OutOfDateText(const TimeZoneInformation& record, const ZoneCheck& check) {
  const TimeZoneInformation& rule = check.rule;
  const int year = check.year;
  std::vector<std::string> computer, today;
  if (record.Bias + record.StandardBias != rule.Bias + rule.StandardBias) {
    computer.push_back("keeps standard time at " + OffsetText(record.Bias + record.StandardBias));
    today.push_back("is " + OffsetText(rule.Bias + rule.StandardBias));
  }
  const bool had = HasDaylightTime(record);
  const bool has = HasDaylightTime(rule);
  const auto ownStart = ChangeInYear(record.DaylightDate, year);
  const auto ownEnd = ChangeInYear(record.StandardDate, year);
  const auto ruleStart = ChangeInYear(rule.DaylightDate, year);
  const auto ruleEnd = ChangeInYear(rule.StandardDate, year);
  if (had && !has && ownStart) {
    computer.push_back("changes to daylight time on " + DayText(ownStart->Local()));
    today.push_back("has no daylight time");
  } else if (!had && has && ruleStart) {
    computer.push_back("never changes to daylight time");
    today.push_back("changes to it on " + DayText(ruleStart->Local()));
  } else if (had && has && ownStart && ruleStart && ownStart != ruleStart) {
    computer.push_back("changes to daylight time on " + MomentText(*ownStart, *ruleStart));
    today.push_back("is " + MomentText(*ruleStart, *ownStart));
  } else if (had && has && ownEnd && ruleEnd && ownEnd != ruleEnd) {
    computer.push_back("changes back to standard time on " + MomentText(*ownEnd, *ruleEnd));
    today.push_back("is " + MomentText(*ruleEnd, *ownEnd));
  } else if (had && has && record.Bias + record.DaylightBias != rule.Bias + rule.DaylightBias) {
    computer.push_back("keeps daylight time at " + OffsetText(record.Bias + record.DaylightBias));
    today.push_back("is " + OffsetText(rule.Bias + rule.DaylightBias));
  }
  if (computer.empty()) {
    // A rule the record cannot even state (a month out of range).
    computer.push_back("has a rule that cannot be read");
    today.push_back(has && ruleStart ? "changes to daylight time on " + DayText(ruleStart->Local())
                                     : "has no daylight time");
  }
  std::string since = check.row && check.row->since > 0 ? " since " + std::to_string(check.row->since) : "";
  return "Out of date: this computer " + Joined(computer) + "; the rule in force" + since + " " + Joined(today) + ".";
}

}  // namespace tavrel
