// Old daylight-saving rules on the in-memory platform: zone records as
// Windows 98 and 2000 shipped them, found out against the compiled table,
// synchronised by today's rule, shown in the time-zone view, updated in the
// record and the registry's zone list, and put back.
#include <string>

#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/VRN_TimeSync.h"
#include "timesync/ZoneUpdate.h"

namespace tavrel {
namespace {

const char* const kList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

SystemTime Rule(uint16_t month, uint16_t week, uint16_t hour, uint16_t weekday = 0) {
  SystemTime st;
  st.wMonth = month;
  st.wDay = week;
  st.wDayOfWeek = weekday;
  st.wHour = hour;
  return st;
}

void SetName(char16_t (&field)[32], const std::string& name) {
  for (auto& c : field) c = 0;
  for (std::size_t i = 0; i < name.size() && i < 31; ++i) field[i] = static_cast<unsigned char>(name[i]);
}

// A record with daylight time from `toDaylight` to `toStandard`; month 0
// in both: none.
TimeZoneInformation Record(const std::string& name, int32_t bias, SystemTime toDaylight, SystemTime toStandard) {
  TimeZoneInformation r;
  SetName(r.StandardName, name);
  SetName(r.DaylightName, name);
  r.Bias = bias;
  r.DaylightBias = -60;
  r.DaylightDate = toDaylight;
  r.StandardDate = toStandard;
  return r;
}

// The pre-2007 rule of the United States and Canada: first Sunday in April
// to last Sunday in October.
TimeZoneInformation OldNorthAmerica(const std::string& name, int32_t bias) {
  return Record(name, bias, Rule(4, 1, 2), Rule(10, 5, 2));
}

struct Shipped {
  const char* zone;
  TimeZoneInformation record;
  DateTime utc;          // the moment of the synchronisation
  bool oldDaylight;      // what the old record makes of that moment
  const char* expected;  // the local time set, page time 12:00:00 + 1 s
};

std::ostream& operator<<(std::ostream& out, const Shipped& s) { return out << s.zone << " " << s.expected; }

DateTime Utc(int month, int day, int hour) { return MakeDateTime(2026, month, day, hour, 0, 0); }

class ZoneRulesTest : public ProgramTest {
 protected:
  ZoneRulesTest() {
    UserName = "TESTER";
    MainForm = &form;
    sys.system.version = WindowsXp();
  }
  ~ZoneRulesTest() override { MainForm = nullptr; }

  // The computer as it stands at `utc` with an old record: the clock on the
  // record's local time, the zone list with the record's own entry.
  void Computer(const TimeZoneInformation& record, DateTime utc, bool daylight) {
    sys.timeZone.zone = record;
    sys.timeZone.result = daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
    const int32_t bias = record.Bias + (daylight ? record.DaylightBias : record.StandardBias);
    sys.clock.utcBiasMinutes = bias;
    sys.clock.now = utc.AddSeconds(-bias * 60.0);
    const std::string key = RecordName(record.StandardName);
    sys.registry.WriteString(RegRoot::LocalMachine, std::string(kList) + "\\" + key, "Std", key);
    sys.registry.WriteBinary(RegRoot::LocalMachine, std::string(kList) + "\\" + key, "TZI", TziBytes(record));
  }

  // A synchronisation from the Naval Observatory's page at 12:00:00 UTC.
  std::string SyncAtNoon() {
    sys.http.handler = [](const std::string&) { return std::string(120, '.') + "12:00:00 UTC"; };
    std::string text;
    EXPECT_TRUE(DoAtomicTime(text));
    return sys.locale.LongTime(sys.clock.now);
  }

  std::string ListTzi(const std::string& key) {
    const auto value = sys.registry.Value(RegRoot::LocalMachine, std::string(kList) + "\\" + key, "TZI");
    return value ? value->text : "<missing>";
  }
  MemoryFormPeer& Window() { return *sys.windows.Window("FrmMain"); }

  FrmMain form;
};

// ---------------------------------------------------------------------------
// The compiled table

TEST(ZoneTableTest, KnowsTodaysRulesAndSinceWhenTheyHold) {
  const ZoneTable table = CompiledZoneTable();
  const ZoneRuleRow* eastern = FindZoneRule(table, "eastern standard time", 2026);
  ASSERT_NE(nullptr, eastern);
  EXPECT_EQ(2007, eastern->since);
  EXPECT_EQ(300, eastern->bias);
  EXPECT_EQ(-60, eastern->daylightBias);
  EXPECT_EQ(3, eastern->toDaylight.month);
  EXPECT_EQ(2, eastern->toDaylight.week);
  EXPECT_EQ(120, eastern->toDaylight.minute);
  EXPECT_EQ(11, eastern->toStandard.month);
  EXPECT_EQ(1, eastern->toStandard.week);
  EXPECT_EQ(nullptr, FindZoneRule(table, "Eastern Standard Time", 2006));  // before the rule: no guess

  const ZoneRuleRow* sydney = FindZoneRule(table, "AUS Eastern Standard Time", 2026);
  ASSERT_NE(nullptr, sydney);
  EXPECT_EQ(2008, sydney->since);
  EXPECT_EQ(10, sydney->toDaylight.month);
  EXPECT_EQ(4, sydney->toStandard.month);
  EXPECT_EQ(180, sydney->toStandard.minute);  // 03:00 daylight time

  const ZoneRuleRow* moscow = FindZoneRule(table, "Russian Standard Time", 2026);
  ASSERT_NE(nullptr, moscow);
  EXPECT_EQ(2014, moscow->since);
  EXPECT_EQ(0, moscow->toDaylight.month);

  // Windows 98's name for Mexico City's zone.
  const ZoneRuleRow* mexico = FindZoneRule(table, "Mexico Standard Time", 2026);
  ASSERT_NE(nullptr, mexico);
  EXPECT_STREQ("Central Standard Time (Mexico)", mexico->key);
  EXPECT_EQ(2022, mexico->since);

  EXPECT_EQ(nullptr, FindZoneRule(table, "Mars Standard Time", 2026));
  EXPECT_EQ(0, std::string(kZoneDataVersion).find("tzdata 20"));
}

TEST(ZoneTableTest, AZoneWhoseRuleChangesInAComingYearTakesItThen) {
  const ZoneRuleRow rows[] = {
      {"Test Standard Time", "(UTC-03:00) Test", 2010, 180, -60, {10, 1, 0, 0}, {2, 3, 0, 0}},
      {"Test Standard Time", "(UTC-03:00) Test", 2027, 180, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  const ZoneTable table{rows, 2, nullptr, 0};
  EXPECT_EQ(&rows[0], FindZoneRule(table, "Test Standard Time", 2026));
  EXPECT_EQ(&rows[1], FindZoneRule(table, "Test Standard Time", 2027));
  EXPECT_EQ(&rows[1], FindZoneRule(table, "Test Standard Time", 2040));
  EXPECT_EQ(nullptr, FindZoneRule(table, "Test Standard Time", 2009));
}

TEST(ZoneMomentsTest, ChangeRulesGiveTheirDaysAndTheDaysEnd) {
  EXPECT_EQ("8 March 2026", DayText(ChangeInYear(Rule(3, 2, 2), 2026)->Local()));
  EXPECT_EQ("1 November 2026", DayText(ChangeInYear(Rule(11, 1, 2), 2026)->Local()));
  EXPECT_EQ("29 March 2026", DayText(ChangeInYear(Rule(3, 5, 2), 2026)->Local()));  // the last Sunday
  SystemTime dayEnd = Rule(10, 5, 23, 4);  // Egypt: the last Thursday of October, 23:59:59.999
  dayEnd.wMinute = dayEnd.wSecond = 59;
  dayEnd.wMilliseconds = 999;
  EXPECT_EQ(ChangeInYear(Rule(10, 5, 0, 4), 2026)->day, ChangeInYear(dayEnd, 2026)->day);
  EXPECT_EQ(86399999, ChangeInYear(dayEnd, 2026)->ms);
  EXPECT_FALSE(ChangeInYear(Rule(0, 0, 0), 2026));
  EXPECT_FALSE(ChangeInYear(Rule(13, 1, 2), 2026));
  EXPECT_FALSE(ChangeInYear(Rule(3, 6, 2), 2026));

  // South of the equator daylight time spans the new year.
  const TimeZoneInformation sydney = Record("AUS Eastern Standard Time", -600, Rule(10, 1, 2), Rule(4, 1, 3));
  EXPECT_TRUE(DaylightAtUtc(sydney, Utc(1, 15, 0)));
  EXPECT_FALSE(DaylightAtUtc(sydney, Utc(7, 1, 0)));
  // 5 April 2026 03:00 daylight time is 4 April 16:00 UTC.
  EXPECT_TRUE(DaylightAtUtc(sydney, MakeDateTime(2026, 4, 4, 15, 59, 59)));
  EXPECT_FALSE(DaylightAtUtc(sydney, MakeDateTime(2026, 4, 4, 16, 0, 0)));
}

// ---------------------------------------------------------------------------
// Records as shipped, synchronised inside and outside the weeks they are
// wrong

class ShippedRecordTest : public ZoneRulesTest, public ::testing::WithParamInterface<Shipped> {};

TEST_P(ShippedRecordTest, IsOutOfDateAndASynchronisationSetsTheLocalTimeOfTodaysRule) {
  const Shipped& s = GetParam();
  Computer(s.record, s.utc, s.oldDaylight);
  const ZoneRulesState state = LookAtZone(CompiledZoneTable(), s.record, 2026);
  EXPECT_EQ(ZoneCheck::OutOfDate, state.check.state);
  EXPECT_EQ(0u, OutOfDateText(s.record, state.check).find("Out of date: this computer "));

  EXPECT_EQ(s.expected, SyncAtNoon());
  EXPECT_EQ("set by today's daylight-saving rule; this computer's rule is out of date", form.Label15.Caption());
  EXPECT_EQ(1, sys.clock.broadcasts);
}

INSTANTIATE_TEST_SUITE_P(
    Windows98And2000, ShippedRecordTest,
    ::testing::Values(
        Shipped{"Eastern, March gap", OldNorthAmerica("Eastern Standard Time", 300), Utc(3, 20, 12), false, "08:00:01"},
        Shipped{"Eastern, winter", OldNorthAmerica("Eastern Standard Time", 300), Utc(1, 15, 12), false, "07:00:01"},
        Shipped{"Eastern, autumn gap", OldNorthAmerica("Eastern Standard Time", 300), Utc(10, 28, 12), false,
                "08:00:01"},
        Shipped{"Eastern, summer", OldNorthAmerica("Eastern Standard Time", 300), Utc(7, 1, 12), true, "08:00:01"},
        Shipped{"Central", OldNorthAmerica("Central Standard Time", 360), Utc(3, 20, 12), false, "07:00:01"},
        Shipped{"Pacific", OldNorthAmerica("Pacific Standard Time", 480), Utc(4, 1, 12), false, "05:00:01"},
        Shipped{"Canada, Atlantic", OldNorthAmerica("Atlantic Standard Time", 240), Utc(3, 20, 12), false,
                "09:00:01"},
        // Sydney's old rule ended on the last Sunday in March, began on the
        // last in October; today's: the first Sundays of April and October.
        Shipped{"Sydney, April gap", Record("AUS Eastern Standard Time", -600, Rule(10, 5, 2), Rule(3, 5, 3)),
                Utc(4, 1, 12), false, "23:00:01"},
        Shipped{"Sydney, winter", Record("AUS Eastern Standard Time", -600, Rule(10, 5, 2), Rule(3, 5, 3)),
                Utc(7, 1, 12), false, "22:00:01"},
        // New Zealand's: third Sunday in March to first in October; today's
        // first Sunday in April to last in September.
        Shipped{"New Zealand", Record("New Zealand Standard Time", -720, Rule(10, 1, 2), Rule(3, 3, 3)),
                Utc(9, 30, 12), false, "01:00:01"},
        // Mexico kept daylight time until 2022; Windows 98 calls the zone
        // "Mexico Standard Time".
        Shipped{"Mexico", Record("Mexico Standard Time", 360, Rule(4, 1, 2), Rule(10, 5, 2)), Utc(7, 1, 12), true,
                "06:00:01"},
        Shipped{"Moscow", Record("Russian Standard Time", -180, Rule(3, 5, 2), Rule(10, 5, 3)), Utc(7, 1, 12), true,
                "15:00:01"},
        Shipped{"Brasilia", Record("E. South America Standard Time", 180, Rule(10, 3, 0), Rule(2, 2, 2)),
                Utc(12, 1, 12), true, "09:00:01"}));

TEST_F(ZoneRulesTest, ACurrentRecordAndAnUnknownZoneAreLeftAloneAndSayNothing) {
  const TimeZoneInformation current = Record("Eastern Standard Time", 300, Rule(3, 2, 2), Rule(11, 1, 2));
  Computer(current, Utc(3, 20, 12), true);
  EXPECT_EQ(ZoneCheck::Current, LookAtZone(CompiledZoneTable(), current, 2026).check.state);
  EXPECT_EQ("08:00:01", SyncAtNoon());
  EXPECT_EQ("", form.Label15.Caption());

  // A zone the table does not know converts by its own record: no guess.
  const TimeZoneInformation unknown = OldNorthAmerica("Mars Standard Time", 300);
  Computer(unknown, Utc(3, 20, 12), false);
  EXPECT_EQ(ZoneCheck::Unknown, LookAtZone(CompiledZoneTable(), unknown, 2026).check.state);
  EXPECT_EQ("07:00:01", SyncAtNoon());
  EXPECT_EQ("", form.Label15.Caption());
}

// A localised Windows names its standard time in its own language and its
// list's keys in English.
TEST_F(ZoneRulesTest, ALocalisedRecordIsFoundThroughItsListEntry) {
  const TimeZoneInformation record = OldNorthAmerica("Heure normale de l'Est", 300);
  sys.registry.WriteString(RegRoot::LocalMachine, std::string(kList) + "\\Central Standard Time", "Std",
                           "Heure normale du Centre");
  sys.registry.WriteString(RegRoot::LocalMachine, std::string(kList) + "\\Eastern Standard Time", "Std",
                           "Heure normale de l'Est");
  const ZoneRulesState state = LookAtZone(CompiledZoneTable(), record, 2026);
  EXPECT_EQ("Eastern Standard Time", state.listEntry);
  EXPECT_EQ(ZoneCheck::OutOfDate, state.check.state);
}

// ---------------------------------------------------------------------------
// The time-zone view, the update and putting back

TEST_F(ZoneRulesTest, TheViewSaysOutOfDateAndTheUpdateSetsRecordAndListRight) {
  const TimeZoneInformation old = OldNorthAmerica("Eastern Standard Time", 300);
  Computer(old, Utc(3, 20, 12), false);
  const std::string oldTzi = ListTzi("Eastern Standard Time");
  form.Load();
  form.cmdInfo.UserClick();
  EXPECT_EQ(kZoneRulesHeight, form.Height());
  EXPECT_TRUE(Window().Shows(IDC_cmdUpdateRules));
  EXPECT_EQ("Out of date: this computer changes to daylight time on 5 April 2026; the rule in force since 2007 is "
            "8 March 2026.",
            form.lblRuleNote.Caption());
  EXPECT_TRUE(form.cmdUpdateRules.Enabled());
  EXPECT_FALSE(form.cmdRestoreRules.Enabled());
  EXPECT_EQ("08:00:01", SyncAtNoon());
  const std::size_t setsBefore = sys.clock.sets.size();

  // What Windows answers on 20 March once it has the new rule.
  sys.timeZone.result = TIME_ZONE_ID_DAYLIGHT;
  form.cmdUpdateRules.UserClick();
  const TimeZoneInformation& now = sys.timeZone.zone;
  EXPECT_EQ(3, now.DaylightDate.wMonth);
  EXPECT_EQ(2, now.DaylightDate.wDay);
  EXPECT_EQ(11, now.StandardDate.wMonth);
  EXPECT_EQ(1, now.StandardDate.wDay);
  EXPECT_EQ("Eastern Standard Time", RecordName(now.StandardName));
  EXPECT_EQ(TziBytes(now), ListTzi("Eastern Standard Time"));
  EXPECT_EQ(1, sys.timeZone.settingBroadcasts);
  EXPECT_TRUE(sys.windows.boxes.empty());
  const std::string saved = sys.files.FileContent(SavedRulesPath()).value_or("");
  EXPECT_NE(std::string::npos, saved.find("[Eastern Standard Time]\r\n; (UTC-05:00) Eastern Time (US & Canada)\r\n"));
  EXPECT_EQ(std::string::npos, saved.find("TZI=\r\n"));
  EXPECT_EQ("Up to date: this computer follows the rule in force since 2007. The rules it had before are saved; "
            "\"Put back\" restores them.",
            form.lblRuleNote.Caption());
  EXPECT_FALSE(form.cmdUpdateRules.Enabled());
  EXPECT_TRUE(form.cmdRestoreRules.Enabled());
  // The old rule's UTC was an hour off in these weeks: one synchronisation
  // after the update, through the updated record alone.
  ASSERT_EQ(setsBefore + 1, sys.clock.sets.size());
  EXPECT_EQ("08:00:01", sys.locale.LongTime(sys.clock.sets.back()));
  EXPECT_EQ("08:00:01", SyncAtNoon());
  EXPECT_EQ("", form.Label15.Caption());

  form.cmdRestoreRules.UserClick();
  EXPECT_TRUE(SameRulesInYear(old, sys.timeZone.zone, 2026));
  EXPECT_EQ(oldTzi, ListTzi("Eastern Standard Time"));
  EXPECT_TRUE(form.cmdUpdateRules.Enabled());
  EXPECT_FALSE(form.cmdRestoreRules.Enabled());
}

TEST_F(ZoneRulesTest, WithoutTheRightToSetTheClockTheButtonSaysAnAdministratorMustAndNothingChanges) {
  const TimeZoneInformation old = OldNorthAmerica("Eastern Standard Time", 300);
  Computer(old, Utc(3, 20, 12), false);
  const std::string oldTzi = ListTzi("Eastern Standard Time");
  sys.clock.maySetTime = false;
  form.Load();
  form.cmdUpdateRules.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("Only an administrator can update this computer's daylight-saving rules.", sys.windows.boxes[0].text);
  EXPECT_EQ(0, sys.timeZone.writes);
  EXPECT_EQ(oldTzi, ListTzi("Eastern Standard Time"));
  EXPECT_FALSE(sys.files.FileContent(SavedRulesPath()));
}

struct Refusal {
  const char* name;
  void (*arrange)(MemoryPlatform&);
};

std::ostream& operator<<(std::ostream& out, const Refusal& r) { return out << r.name; }

class RefusedUpdateTest : public ZoneRulesTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedUpdateTest, ChangesNothingAndLosesNothing) {
  const TimeZoneInformation old = OldNorthAmerica("Eastern Standard Time", 300);
  Computer(old, Utc(3, 20, 12), false);
  const std::string oldTzi = ListTzi("Eastern Standard Time");
  form.Load();
  GetParam().arrange(sys);
  form.cmdUpdateRules.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("The daylight-saving rules were not changed. The error log says why.", sys.windows.boxes[0].text);
  EXPECT_TRUE(SameRulesInYear(old, sys.timeZone.zone, 2026));
  EXPECT_EQ(oldTzi, ListTzi("Eastern Standard Time"));
  EXPECT_TRUE(form.cmdUpdateRules.Enabled());
  EXPECT_FALSE(form.cmdRestoreRules.Enabled());  // nothing changed, nothing to put back
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedUpdateTest,
    ::testing::Values(
        Refusal{"ReadOnlyRegistry", [](MemoryPlatform& s) { s.registry.readOnlyRoots = {RegRoot::LocalMachine}; }},
        Refusal{"RecordRefused", [](MemoryPlatform& s) { s.timeZone.refuseWrite = true; }},
        Refusal{"UnwritableFolder",
                [](MemoryPlatform& s) { s.files.AddFolder("C:\\Program Files\\VRN\\Common", attrReadOnly); }}));

TEST_F(ZoneRulesTest, SavedRulesOfAnotherZoneStayAndACorruptFileOffersNothingToPutBack) {
  sys.files.AddFile(SavedRulesPath(), "[Pacific Standard Time]\r\nRecord=00FF\r\nTZI=\r\n");
  const TimeZoneInformation old = OldNorthAmerica("Eastern Standard Time", 300);
  Computer(old, Utc(3, 20, 12), false);
  EXPECT_FALSE(LookAtZone(CompiledZoneTable(), old, 2026).canPutBack);
  ASSERT_EQ(ZoneChangeOutcome::Done, UpdateZoneRules(CompiledZoneTable()));
  const std::string saved = sys.files.FileContent(SavedRulesPath()).value_or("");
  EXPECT_NE(std::string::npos, saved.find("[Pacific Standard Time]\r\nRecord=00FF"));
  EXPECT_TRUE(LookAtZone(CompiledZoneTable(), sys.timeZone.zone, 2026).canPutBack);

  sys.files.AddFile(SavedRulesPath(), "[Eastern Standard Time]\r\nRecord=zz\r\n");
  EXPECT_FALSE(LookAtZone(CompiledZoneTable(), sys.timeZone.zone, 2026).canPutBack);
  EXPECT_EQ(ZoneChangeOutcome::NothingToDo, PutBackZoneRules(CompiledZoneTable()));
}

}  // namespace
}  // namespace tavrel
