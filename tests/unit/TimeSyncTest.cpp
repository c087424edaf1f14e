// The web time: which pages are fetched how often, what the clock is set to,
// and what is reported, on the in-memory platform.
#include <string>

#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

const char* const kProcedure = "DoAtomicTime of Modul VRN_TimeSync";

// Pages as the sources print them: the time sits behind enough text that
// the marker lies past the position where the search starts.
std::string NavalPage(const std::string& time) { return std::string(120, '.') + time + " UTC"; }
std::string NistPage(const std::string& time) {
  return std::string(1100, '.') + "<td bgcolor=\"white\"><b>" + time + "</b></td>";
}
std::string EbayPage(const std::string& time, const std::string& zone) {
  return std::string(150, '.') + time + " " + zone + " official time";
}

class DoAtomicTimeTest : public ProgramTest {
 protected:
  DoAtomicTimeTest() {
    MainForm = &form;
    // These cases are about reading and converting the time, often hours
    // from the clock; the second source's word has tests of its own.
    form.txtMaxCorrection.SetText("0");
    sys.http.handler = [this](const std::string& url) -> std::string {
      if (url.find("/cgi-bin/timer.pl") != std::string::npos) return Answer(naval, url);
      if (url.find("/timezone.cgi?UTC") != std::string::npos) return Answer(nist, url);
      if (url.find("eBayISAPI.dll?TimeShow&ssPageName=f:f:US") != std::string::npos) return Answer(ebay, url);
      Raise(errInetFailure);
    };
  }

  // An unset page means the host cannot be reached.
  static std::string Answer(const std::string& page, const std::string&) {
    if (page.empty()) Raise(errInetFailure);
    return page;
  }

  // The system's zone, which every run reads afresh.
  void Zone(int32_t bias, int32_t standardBias, int32_t daylightBias, bool daylight) {
    sys.timeZone.zone.Bias = bias;
    sys.timeZone.zone.StandardBias = standardBias;
    sys.timeZone.zone.DaylightBias = daylightBias;
    sys.timeZone.result = daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
  }

  int Reports() const {
    const auto log = sys.files.FileContent(ErrorLogPath());
    if (!log) return 0;
    int count = 0;
    for (auto pos = log->find(kProcedure); pos != std::string::npos; pos = log->find(kProcedure, pos + 1))
      ++count;
    return count;
  }

  int Fetches(const char* part) const {
    int count = 0;
    for (const auto& url : sys.http.requests) count += url.find(part) != std::string::npos;
    return count;
  }

  FrmMain form;
  std::string naval, nist, ebay;
  std::string text;
};

TEST_F(DoAtomicTimeTest, WorkedExampleGivesLocalDaylightTime) {
  Zone(-60, 0, -60, true);
  sys.clock.now = MakeDateTime(2026, 6, 1, 3, 29, 50);
  naval = NavalPage("01:29:55");

  EXPECT_TRUE(DoAtomicTime(text));

  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_EQ(MakeDateTime(2026, 6, 1, 3, 29, 56), sys.clock.sets[0]);
  EXPECT_EQ("01:29:55", text);
  EXPECT_EQ(1, sys.clock.broadcasts);
  EXPECT_EQ(-6, SecondsCorrected);
  EXPECT_EQ(1u, sys.http.requests.size());
  EXPECT_EQ("http://tycho.usno.navy.mil/cgi-bin/timer.pl", sys.http.requests[0]);
  EXPECT_EQ(0, Reports());
}

TEST_F(DoAtomicTimeTest, HostsComeFromTheSettings) {
  sys.registry.WriteString(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\Hosts", "USNO",
                           "http://127.0.0.1:8080/");
  naval = NavalPage("12:00:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ("http://127.0.0.1:8080/cgi-bin/timer.pl", sys.http.requests.at(0));
}

TEST_F(DoAtomicTimeTest, EbayInSummerIsPacificDaylightTime) {
  form.optebay.SetValue(-1);
  Zone(-60, 0, 0, false);
  sys.clock.now = MakeDateTime(2026, 7, 1, 4, 14, 59);
  ebay = EbayPage("20:15:00", "PDT");
  naval = NavalPage("01:00:00");

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_EQ(1u, sys.http.requests.size());
  EXPECT_EQ(0, Fetches("timer.pl"));
  EXPECT_EQ(MakeDateTime(2026, 7, 1, 4, 15, 1), sys.clock.sets.at(0));
  EXPECT_EQ("20:15:00", text);
}

// Nine fetches look for "PDT", the tenth for "PST": eBay's host gets ten
// requests a run at most.
TEST_F(DoAtomicTimeTest, EbayInWinterLooksForStandardTimeOnTheTenthFetch) {
  form.optebay.SetValue(-1);
  sys.clock.now = MakeDateTime(2026, 12, 8, 10, 0, 0);
  ebay = EbayPage("02:00:00", "PST");

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_EQ(10, Fetches("eBayISAPI"));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 10, 0, 1), sys.clock.sets.at(0));
}

TEST_F(DoAtomicTimeTest, EbayWithoutEitherZoneFailsAfterTenFetches) {
  form.optebay.SetValue(-1);
  ebay = EbayPage("02:00:00", "GMT");
  EXPECT_FALSE(DoAtomicTime(text));
  EXPECT_EQ(10u, sys.http.requests.size());
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(ebay, text);  // the last page fetched stays behind
  EXPECT_EQ(0, Reports());
}

TEST_F(DoAtomicTimeTest, MarkerBeforeTheSearchStartDoesNotCount) {
  naval = "01:29:55 UTC" + std::string(200, '.');
  nist = std::string(500, '.') + "white\"><b>05:00:00</b>" + std::string(600, '.');
  ebay = EbayPage("20:15:00", "PDT");

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_EQ(10, Fetches("timer.pl"));
  EXPECT_EQ(10, Fetches("timezone.cgi"));
  EXPECT_EQ(1, Fetches("eBayISAPI"));
  EXPECT_EQ("20:15:00", text);
}

TEST_F(DoAtomicTimeTest, NavalMissesTenTimesThenNistIsUsed) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 7, 59, 0);
  naval = std::string(300, '.');
  nist = NistPage("07:59:30");

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_EQ(11u, sys.http.requests.size());
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 7, 59, 31), sys.clock.sets.at(0));
  EXPECT_EQ("07:59:30", text);
}

TEST_F(DoAtomicTimeTest, NoNetworkReportsEveryFetchAndLeavesTheClock) {
  text = "as passed in";
  EXPECT_FALSE(DoAtomicTime(text));
  EXPECT_EQ(30u, sys.http.requests.size());
  EXPECT_EQ(30, Reports());
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(0, sys.clock.broadcasts);
  EXPECT_EQ("as passed in", text);
}

TEST_F(DoAtomicTimeTest, FailedFetchNeverReadsAnOlderPageOfAnotherSource) {
  // NIST answers with a page that is no time page but mentions Pacific
  // time; eBay itself is unreachable.
  nist = EbayPage("13:13:13", "PDT");
  EXPECT_FALSE(DoAtomicTime(text));
  EXPECT_EQ(30u, sys.http.requests.size());
  EXPECT_TRUE(sys.clock.sets.empty());
}

TEST_F(DoAtomicTimeTest, EasternStandardTimeWrapsBackPastMidnight) {
  Zone(300, 0, -60, false);
  sys.clock.now = MakeDateTime(2026, 12, 7, 21, 10, 0);
  naval = NavalPage("02:10:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 7, 21, 10, 1), sys.clock.sets.at(0));
}

// The seconds corrected are the clock's real step, across the minute too:
// a clock at :58 set to :00 of the next minute was two seconds behind.
TEST_F(DoAtomicTimeTest, SecondFiftyNineCarriesIntoTheNextMinute) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 1, 29, 58);
  naval = NavalPage("01:29:59");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 1, 30, 0), sys.clock.sets.at(0));
  EXPECT_EQ(-2, SecondsCorrected);
}

// Hours and days count too, and a step beyond the 16-bit range reads as
// its end.
TEST_F(DoAtomicTimeTest, SecondsCorrectedCountHoursAndStayInSixteenBits) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 13, 0, 0);
  naval = NavalPage("12:00:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(3599, SecondsCorrected);

  sys.clock.now = MakeDateTime(2026, 12, 8, 2, 0, 0);
  naval = NavalPage("12:00:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(-32768, SecondsCorrected);  // ten hours behind
  sys.clock.now = MakeDateTime(2026, 12, 8, 22, 0, 0);
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(32767, SecondsCorrected);
}

// The program runs for months: a run after the change to standard time
// uses standard time, though the window loaded in daylight time.
TEST_F(DoAtomicTimeTest, EveryRunReadsTheZoneAgain) {
  Zone(-60, 0, -60, true);
  TZInfo = sys.timeZone.zone;
  DaylightActive = true;
  sys.clock.now = MakeDateTime(2026, 10, 24, 3, 0, 0);
  naval = NavalPage("01:00:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 10, 24, 3, 0, 1), sys.clock.sets.at(0));

  Zone(-60, 0, -60, false);  // the last Sunday of October has passed
  sys.clock.now = MakeDateTime(2026, 10, 26, 2, 0, 0);
  naval = NavalPage("01:00:00");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 10, 26, 2, 0, 1), sys.clock.sets.at(1));
  EXPECT_FALSE(DaylightActive);

  // A zone the system cannot read leaves the last record in use.
  sys.timeZone.result = TIME_ZONE_ID_INVALID;
  sys.clock.now = MakeDateTime(2026, 10, 26, 2, 0, 0);
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 10, 26, 2, 0, 1), sys.clock.sets.at(2));
}

TEST_F(DoAtomicTimeTest, DaylightOptionOffKeepsStandardTime) {
  Zone(-60, 0, -60, true);
  form.chkDT.SetValue(0);
  sys.clock.now = MakeDateTime(2026, 6, 1, 2, 29, 0);
  naval = NavalPage("01:29:55");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 6, 1, 2, 29, 56), sys.clock.sets.at(0));
}

TEST_F(DoAtomicTimeTest, DaylightBiasNeedsDaylightTimeAtLoad) {
  Zone(-60, 0, -60, false);
  sys.clock.now = MakeDateTime(2026, 12, 8, 2, 29, 0);
  naval = NavalPage("01:29:55");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 2, 29, 56), sys.clock.sets.at(0));
}

TEST_F(DoAtomicTimeTest, CorrectionMovesTheClockByMinutes) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0);
  naval = NavalPage("12:00:00");
  TimeCorrection = 5;
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 11, 55, 1), sys.clock.sets.at(0));

  TimeCorrection = -2;
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0);
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 12, 2, 1), sys.clock.sets.at(1));
}

TEST_F(DoAtomicTimeTest, RefusedClockChangeIsAFailureWithoutBroadcast) {
  sys.clock.accept = [](DateTime, DateTime) { return false; };
  naval = NavalPage("12:00:00");
  SecondsCorrected = 7;

  EXPECT_FALSE(DoAtomicTime(text));

  EXPECT_EQ(0, sys.clock.broadcasts);
  EXPECT_EQ(1, Reports());
  EXPECT_EQ(7, SecondsCorrected);
  EXPECT_NE(std::string::npos, sys.files.FileContent(ErrorLogPath())->find("  240  70  Permission denied"));
}

TEST_F(DoAtomicTimeTest, TimeTextThatIsNoNumberEndsTheRun) {
  naval = std::string(120, '.') + "ab:cd:ef UTC";
  EXPECT_FALSE(DoAtomicTime(text));
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(1u, sys.http.requests.size());
  EXPECT_EQ(1, Reports());
  EXPECT_EQ("ab:cd:ef", text);
}

TEST_F(DoAtomicTimeTest, MinuteCountOutOfRangeEndsTheRun) {
  naval = NavalPage("12:00:00");
  TimeCorrection = 40000;
  EXPECT_FALSE(DoAtomicTime(text));
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(1, Reports());
}

TEST_F(DoAtomicTimeTest, LeadingBlanksInAFieldAreAllowed) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 1, 2, 0);
  naval = NavalPage(" 1: 2: 3");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 1, 2, 4), sys.clock.sets.at(0));
}

TEST_F(DoAtomicTimeTest, NewTimeBeforeMidnightGoesOnTheDayBefore) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 0, 0, 1);
  naval = NavalPage("23:59:58");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 7, 23, 59, 59), sys.clock.sets.at(0));
  EXPECT_EQ(2, SecondsCorrected);  // across midnight
}

TEST_F(DoAtomicTimeTest, NewTimeAfterMidnightGoesOnTheDayAfter) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 23, 59, 59);
  naval = NavalPage("23:59:59");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 9, 0, 0, 0), sys.clock.sets.at(0));
}

// The clock carries milliseconds; its seconds field is what the user's clock
// shows, never rounded up into the next second.
TEST_F(DoAtomicTimeTest, SecondsCorrectedReadsTheClocksOwnSecondsAtTheHalfSecond) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 30).AddSeconds(0.7);
  naval = NavalPage("12:00:29");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 12, 0, 30), sys.clock.sets.at(0));
  EXPECT_EQ(0, SecondsCorrected);

  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 59).AddSeconds(0.6);
  naval = NavalPage("12:01:04");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(-6, SecondsCorrected);
}

TEST_F(DoAtomicTimeTest, EbayHoursPastMidnightWrap) {
  form.optebay.SetValue(-1);
  sys.clock.now = MakeDateTime(2026, 7, 2, 6, 30, 0);
  ebay = EbayPage("23:30:00", "PDT");
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_EQ(MakeDateTime(2026, 7, 2, 6, 30, 1), sys.clock.sets.at(0));
}

// ---------------------------------------------------------------------------

class TzDateTest : public ProgramTest {
 protected:
  static SystemTime Rule(uint16_t month, uint16_t weekday, uint16_t occurrence, uint16_t hour,
                         uint16_t year = 0, uint16_t day = 0) {
    SystemTime r;
    r.wYear = year;
    r.wMonth = month;
    r.wDayOfWeek = weekday;
    r.wDay = year ? day : occurrence;
    r.wHour = hour;
    return r;
  }
};

TEST_F(TzDateTest, RelativeRulesOf2026) {
  EXPECT_EQ(MakeDateTime(2026, 3, 29, 2, 0, 0), tzDate(Rule(3, 0, 5, 2)));
  EXPECT_EQ(MakeDateTime(2026, 10, 25, 3, 0, 0), tzDate(Rule(10, 0, 5, 3)));
  EXPECT_EQ(MakeDateTime(2026, 3, 8, 2, 0, 0), tzDate(Rule(3, 0, 2, 2)));
  EXPECT_EQ(MakeDateTime(2026, 11, 1, 2, 0, 0), tzDate(Rule(11, 0, 1, 2)));
  EXPECT_EQ(MakeDateTime(2026, 12, 27, 0, 0, 0), tzDate(Rule(12, 0, 5, 0)));
}

TEST_F(TzDateTest, OccurrenceFiveInAMonthOfFourGivesTheLast) {
  // February 2026 starts on a Sunday and has four of every weekday.
  EXPECT_EQ(MakeDateTime(2026, 2, 23, 1, 0, 0), tzDate(Rule(2, 1, 5, 1)));
}

TEST_F(TzDateTest, OccurrenceNoMonthHasRunsIntoTheNextMonth) {
  EXPECT_EQ(MakeDateTime(2026, 4, 1, 0, 0, 0), tzDate(Rule(3, 0, 0, 0)));
}

TEST_F(TzDateTest, LeapYearFebruary) {
  sys.clock.now = MakeDateTime(2028, 5, 1, 0, 0, 0);
  EXPECT_EQ(MakeDateTime(2028, 2, 27, 2, 0, 0), tzDate(Rule(2, 0, 5, 2)));
  EXPECT_EQ(MakeDateTime(2028, 2, 29, 2, 0, 0), tzDate(Rule(2, 2, 5, 2)));
}

TEST_F(TzDateTest, AbsoluteRuleIsThatDate) {
  SystemTime r = Rule(4, 0, 0, 2, 2026, 5);
  EXPECT_EQ(MakeDateTime(2026, 4, 5, 2, 0, 0), tzDate(r));
  r.wMonth = 13;  // carries into the next year
  EXPECT_EQ(MakeDateTime(2027, 1, 5, 2, 0, 0), tzDate(r));
}

TEST_F(TzDateTest, TheYearIsTheClocksOwnHalfASecondBeforeNewYear) {
  sys.clock.now = MakeDateTime(2026, 12, 31, 23, 59, 59).AddSeconds(0.6);
  EXPECT_EQ(MakeDateTime(2026, 3, 29, 2, 0, 0), tzDate(Rule(3, 0, 5, 2)));
}

TEST_F(TzDateTest, AllZeroRuleIsFirstDecemberOfLastYear) {
  EXPECT_EQ(MakeDateTime(2025, 12, 1, 0, 0, 0), tzDate(SystemTime()));
}

TEST_F(TzDateTest, ImpossibleDateIsReportedAndGivesTheZeroDate) {
  EXPECT_EQ(DateTime(), tzDate(Rule(1, 0, 0, 0, 50, 1)));
  const auto log = sys.files.FileContent(ErrorLogPath());
  ASSERT_TRUE(log.has_value());
  EXPECT_NE(std::string::npos, log->find("Common : 230 v.3.10.1  tzDate of Modul VRN_TimeSync  10  5  "));
}

}  // namespace
}  // namespace tavrel
