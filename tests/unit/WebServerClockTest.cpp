// The web server's clock as the time source of last resort, on the
// in-memory platform: servers that answer the time pages with a redirect
// and a Date, the core run without a window, and the run a user sees.
#include <cmath>
#include <string>

#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/HttpDate.h"
#include "timesync/SyncCore.h"
#include "timesync/VRN_TimeSync.h"
#include "timesync/WebServerClock.h"

namespace tavrel {
namespace {

const char* const kProcedure = "DoAtomicTime of Modul VRN_TimeSync";

HttpAnswer Redirect() {
  HttpAnswer answer;
  answer.status = 301;
  answer.headers = "Location: https://example.org/\r\nContent-Length: 0\r\n";
  return answer;
}

class WebServerClockTest : public ProgramTest {
 protected:
  WebServerClockTest() {
    // Today's hosts: a redirect to HTTPS for every time page.
    sys.http.answerer = [](const std::string&) { return Redirect(); };
    sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0).AddSeconds(0.437);
  }

  int Reports() const {
    const std::string log = sys.files.FileContent(ErrorLogPath()).value_or("");
    int count = 0;
    for (auto pos = log.find(kProcedure); pos != std::string::npos; pos = log.find(kProcedure, pos + 1)) ++count;
    return count;
  }

  SyncResult Run() {
    start = sys.clock.now;
    setAt = DateTime();
    sys.clock.accept = [this](DateTime from, DateTime) {
      setAt = from;
      return true;
    };
    return Synchronise(request, text);
  }
  // Seconds from the start of the run to the clock set.
  double Elapsed() const { return (setAt.Serial() - start.Serial()) * 86400.0; }

  SyncRequest request;
  std::string text;
  DateTime start, setAt;
};

// ---------------------------------------------------------------------------

struct Case {
  double offset;   // the servers' clock ahead of ours, seconds
  double transit;  // request out to status line back, seconds
};

class RecoveredOffsetTest : public WebServerClockTest, public ::testing::WithParamInterface<Case> {};

// Whole seconds in the Date, yet the offset comes back to a few
// milliseconds plus half the round trip, wherever in its second the
// server's clock stands; the server here reads its clock a third of the
// way through the round trip, not in its middle.
TEST_P(RecoveredOffsetTest, OffsetIsRecoveredWithinFiveMillisecondsAndHalfTheTransit) {
  const Case c = GetParam();
  sys.http.serverOffset = c.offset;
  sys.http.latency = c.transit;
  sys.http.stampAt = 1.0 / 3;
  request.zone.Bias = -60;  // Central Europe in winter: local = UTC + 1 h

  const SyncResult r = Run();

  ASSERT_TRUE(r.synchronised);
  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_NEAR(c.offset + 3600, r.offset, 0.005 + c.transit / 2);
  // The chain asked each page once (a redirect is its standing answer),
  // then at most eight more requests went to the one server that answered
  // fastest; none of them followed a redirect.
  ASSERT_GE(sys.http.requests.size(), 4u);
  EXPECT_LE(sys.http.requests.size(), 3u + WebServerClock::kRequests);
  for (std::size_t i = 3; i < sys.http.requests.size(); ++i)
    EXPECT_EQ(sys.http.requests[0], sys.http.requests[i]);
  for (const HttpOptions& o : sys.http.options) EXPECT_FALSE(o.followRedirects);
  EXPECT_LE(Elapsed(), 3 * c.transit + WebServerClock::kBudgetSeconds);
  EXPECT_EQ(1, sys.clock.broadcasts);
  EXPECT_EQ(0, Reports());
  ASSERT_TRUE(r.resultLine);
  EXPECT_NE(std::string::npos, r.resultLine->find("(web server clock)")) << *r.resultLine;
}

INSTANTIATE_TEST_SUITE_P(
    AcrossTheSecond, RecoveredOffsetTest,
    ::testing::Values(Case{0.05, 0}, Case{0.5, 0}, Case{0.95, 0}, Case{-0.3, 0}, Case{3600.2, 0},
                      Case{0.05, 0.02}, Case{0.5, 0.02}, Case{0.95, 0.02}, Case{-0.3, 0.02},
                      Case{3600.2, 0.02}, Case{0.05, 0.2}, Case{0.5, 0.2}, Case{0.95, 0.2},
                      Case{-0.3, 0.2}, Case{3600.2, 0.2}));

TEST_F(WebServerClockTest, ResultLineSaysOffsetAndDelay) {
  sys.http.serverOffset = 0.2;
  sys.http.latency = 0.012;
  const SyncResult r = Run();
  ASSERT_TRUE(r.synchronised);
  EXPECT_EQ("offset +0.200 s, delay 12 ms (web server clock)", r.resultLine.value_or("<none>"));
  // Two tenths of a second forward: the shown second moves by one at most.
  EXPECT_GE(r.secondsCorrected, -1);
  EXPECT_LE(r.secondsCorrected, 0);
  // The server's UTC time of day, as the NTP server's is shown.
  EXPECT_EQ(8u, text.size());
  EXPECT_EQ("12:00:", text.substr(0, 6));
}

// A page with its time text wins, whatever the Date says; nothing more is
// fetched and the options view's line is left alone.
TEST_F(WebServerClockTest, APageWithItsTimeWinsOverTheDate) {
  sys.http.answerer = nullptr;
  sys.http.handler = [](const std::string& url) -> std::string {
    if (url.find("timezone.cgi") == std::string::npos) return "moved";
    return std::string(1100, '.') + "<td bgcolor=\"white\"><b>12:00:00</b>";
  };
  sys.http.serverOffset = 30;
  const SyncResult r = Run();
  ASSERT_TRUE(r.synchronised);
  EXPECT_EQ(11u, sys.http.requests.size());
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 12, 0, 1), r.newTime);
  EXPECT_FALSE(r.resultLine);
  EXPECT_EQ(0, sys.clock.waits);
}

// Without a valid Date the run fails as it always has, the clock
// untouched, no report, after the chain's fetches and nothing more: one per
// page, as a redirect is the page's standing answer.
TEST_F(WebServerClockTest, NoValidDateAnywhereFailsWithTheChainsFetchesOnly) {
  for (const char* date : {"", "Date: yesterday\r\n", "Date: Sat, 31 Feb 2026 12:00:00 GMT\r\n",
                           "Date: Wed, 08 Dec 1999 12:00:00 GMT\r\n"}) {
    SCOPED_TRACE(date);
    sys.http.requests.clear();
    sys.http.answerer = [date](const std::string&) {
      HttpAnswer a = Redirect();
      a.headers += date;
      return a;
    };
    text = "before";
    const SyncResult r = Run();
    EXPECT_FALSE(r.synchronised);
    EXPECT_EQ(3u, sys.http.requests.size());
    EXPECT_TRUE(sys.clock.sets.empty());
    EXPECT_FALSE(r.resultLine);
    EXPECT_EQ(0, sys.clock.waits);
    EXPECT_EQ("", text);  // the last redirect's empty body, as the last page
  }
  EXPECT_EQ(0, Reports());

  // eBay alone: one fetch, and none more for its winter page.
  sys.http.requests.clear();
  request.source = SyncRequest::EbayPage;
  EXPECT_FALSE(Run().synchronised);
  EXPECT_EQ(1u, sys.http.requests.size());
}

// A server whose Dates jump (one clock stepping, or several behind one
// name) is not used.
TEST_F(WebServerClockTest, DatesThatContradictEachOtherRejectTheServer) {
  int answers = 0;
  sys.http.answerer = [&](const std::string&) {
    HttpAnswer a = Redirect();
    const DateTime said = sys.clock.NowUtc().AddSeconds(++answers > 3 ? 5 : 0);
    a.headers += "Date: Tue, 08 Dec 2026 12:00:" + std::string(said.Second() < 10 ? "0" : "") +
                 std::to_string(said.Second()) + " GMT\r\n";
    return a;
  };
  const SyncResult r = Run();
  EXPECT_FALSE(r.synchronised);
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_GT(sys.http.requests.size(), 3u);
}

// Answers other than redirects and pages are still reported as before
// (once per page: an error status is its standing answer too), and their
// Dates still count; a refinement request that fails is reported with its
// own statement and the others go on.
TEST_F(WebServerClockTest, ErrorAnswersAreReportedAndTheirDatesCount) {
  int answers = 0;
  sys.http.serverOffset = 0.4;
  sys.http.answerer = [&](const std::string&) {
    if (++answers == 5) Raise(errInetTimeout);
    HttpAnswer a;
    a.status = 404;
    return a;
  };
  const SyncResult r = Run();
  ASSERT_TRUE(r.synchronised);
  EXPECT_NEAR(0.4, r.offset, 0.01);
  const std::string log = sys.files.FileContent(ErrorLogPath()).value_or("");
  EXPECT_NE(std::string::npos, log.find(std::string(kProcedure) + "  40  35764  HTTP status 404"));
  EXPECT_NE(std::string::npos, log.find(std::string(kProcedure) + "  400  35761"));
  EXPECT_EQ(4, Reports());
}

// The slowest server: the budget ends the asking, the clock is still set.
TEST_F(WebServerClockTest, TheRefinementNeverTakesMoreThanTenSeconds) {
  sys.http.serverOffset = 0.7;
  sys.http.latency = 1.5;
  const SyncResult r = Run();
  ASSERT_TRUE(r.synchronised);
  EXPECT_LE(Elapsed(), 31 * 1.5 + WebServerClock::kBudgetSeconds);
  EXPECT_LT(sys.http.requests.size(), 31u + WebServerClock::kRequests);
  EXPECT_NEAR(0.7, r.offset, 0.75);
}

// ---------------------------------------------------------------------------

TEST(HttpDateTest, TheThreeFormsAreRead) {
  const DateTime expected = MakeDateTime(2026, 11, 6, 8, 49, 37);
  EXPECT_EQ(expected, ParseHttpDate("Fri, 06 Nov 2026 08:49:37 GMT").value_or(DateTime()));
  EXPECT_EQ(expected, ParseHttpDate("Friday, 06-Nov-26 08:49:37 GMT").value_or(DateTime()));
  EXPECT_EQ(expected, ParseHttpDate("Fri Nov  6 08:49:37 2026").value_or(DateTime()));
  EXPECT_EQ(MakeDateTime(2026, 11, 16, 8, 49, 37), ParseHttpDate("Mon Nov 16 08:49:37 2026").value_or(DateTime()));
  EXPECT_EQ(MakeDateTime(2028, 2, 29, 0, 0, 0), ParseHttpDate(" Tue, 29 Feb 2028 00:00:00 GMT ").value_or(DateTime()));
  EXPECT_EQ(MakeDateTime(2016, 12, 31, 23, 59, 59), ParseHttpDate("Sat, 31 Dec 2016 23:59:60 GMT").value_or(DateTime()));
}

TEST(HttpDateTest, AnythingElseIsNoDate) {
  for (const char* bad :
       {"", "   ", "garbage", "Fri, 06 Nov 2026 08:49:37", "Fri, 06 Nov 2026 08:49:37 UTC",
        "Fri, 6 Nov 2026 08:49:37 GMT", "Fri, 06 nov 2026 08:49:37 GMT", "Fri, 06 Nov 2026 24:00:00 GMT",
        "Fri, 06 Nov 2026 08:60:00 GMT", "Sat, 31 Feb 2026 12:00:00 GMT", "Thu, 29 Feb 2026 12:00:00 GMT",
        "Wed, 08 Dec 1999 12:00:00 GMT", "Tue, 08 Dec 2100 12:00:00 GMT", "Fri, 06 Nov 2026 08:49:37 GMT x",
        "Friday, 06-Nov-2026 08:49:37 GMT", "Fri Nov 6 08:49:37 2026", "Fri, 00 Nov 2026 08:49:37 GMT",
        "Fri, 06 Nov 2026 08:49:3a GMT"}) {
    EXPECT_FALSE(ParseHttpDate(bad)) << bad;
  }
}

// ---------------------------------------------------------------------------

class WebServerClockRunTest : public WebServerClockTest {
 protected:
  WebServerClockRunTest() { MainForm = &form; }
  ~WebServerClockRunTest() override { MainForm = nullptr; }
  FrmMain form;
};

// The run a user sees: the success message, the options view's line, the
// time text and the last update, as for a page.
TEST_F(WebServerClockRunTest, TheButtonSetsTheClockFromTheServersDate) {
  sys.http.serverOffset = 0.2;
  sys.http.latency = 0.012;
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ(0u, sys.windows.boxes[0].text.find("Your system time was updated to 12:00:")) << sys.windows.boxes[0].text;
  EXPECT_NE(std::string::npos, sys.windows.boxes[0].text.find("\r\nTime correcten < " + std::to_string(SecondsCorrected) + " seconds"));
  EXPECT_GE(SecondsCorrected, -1);
  EXPECT_EQ("offset +0.200 s, delay 12 ms (web server clock)", form.Label15.Caption());
  EXPECT_EQ(1, sys.clock.broadcasts);
  EXPECT_EQ("08.12.2026 12:00:", form.lblLastUpdate.Caption().substr(0, 17));
}

TEST_F(WebServerClockRunTest, WithoutADateTheRunFailsAsItAlwaysHas) {
  form.Label15.SetCaption("as before");
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("The attempt to synchronize your system time failed", sys.windows.boxes[0].text);
  EXPECT_EQ("as before", form.Label15.Caption());
  EXPECT_EQ(3u, sys.http.requests.size());
}

// The versions file and the other pages still follow redirects; only the
// time requests keep their redirects and ask past any cache. Each host is
// asked ten times at most: eBay's keeps its tenth for the winter page.
TEST_F(WebServerClockRunTest, OnlyTimePagesKeepTheirRedirects) {
  sys.http.answerer = nullptr;
  sys.http.handler = [](const std::string&) { return std::string("versions"); };
  EXPECT_EQ("versions", Sys().http->OpenUrl("http://www.vrn.example/vrn/versions.txt"));
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(31u, sys.http.options.size());
  EXPECT_TRUE(sys.http.options[0].followRedirects);
  EXPECT_EQ("", sys.http.options[0].headers);
  for (std::size_t i = 1; i < sys.http.options.size(); ++i) {
    EXPECT_FALSE(sys.http.options[i].followRedirects);
    EXPECT_EQ("Cache-Control: no-cache\r\n", sys.http.options[i].headers);
  }
}

}  // namespace
}  // namespace tavrel
