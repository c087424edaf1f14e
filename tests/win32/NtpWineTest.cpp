// The SNTP client on the real platform (Winsock, the system clock) under
// Wine, against an NTP server on loopback that test_ntp.py starts: a
// Python server with a known offset and path delays, a bad server, or
// chronyd. It runs this test once per server with
//
//   TAVREL_NTP_SERVER       the server text, e.g. 127.0.0.1:12345
//   TAVREL_NTP_TIMEOUT_MS   each request's time-out (default 2000)
//   TAVREL_NTP_RUNS         runs to make, the one of the smallest delay kept
//                           (default 1): on a busy machine a run's answers may
//                           all meet a late wake-up on one way only
//   TAVREL_NTP_OFFSET, TAVREL_NTP_TOLERANCE   the offset to expect, seconds
//   TAVREL_NTP_ERROR        or: the run must fail with this description
//
// and reads back the line "ntp offset ..." it prints. Without a server the
// test skips. Nothing here sets the clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/Win32Platform.h"
#include "timesync/Sntp.h"

namespace tavrel {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

TEST(NtpUnderWine, QueryTheServerOnLoopback) {
  const std::string server = Env("TAVREL_NTP_SERVER");
  if (server.empty()) GTEST_SKIP() << "no NTP server (run by test_ntp.py)";
  InstallWin32Platform();
  const std::string timeout = Env("TAVREL_NTP_TIMEOUT_MS");

  const std::string runs = Env("TAVREL_NTP_RUNS");
  std::vector<RuntimeError> failures;
  std::optional<SntpResult> result;
  std::string runError;
  for (int run = 0, count = runs.empty() ? 1 : std::stoi(runs); run < count; ++run) {
    try {
      const SntpResult r =
          QueryNtpServer(server, &failures, timeout.empty() ? SntpClient::kDefaultTimeoutMs : std::stoul(timeout));
      if (!result || r.delay < result->delay) result = r;
    } catch (const RuntimeError& e) {
      runError = e.Description();
    }
  }
  for (const RuntimeError& e : failures) std::printf("ntp failure %ld: %s\n", e.Number(), e.Description().c_str());
  if (result)
    std::printf("ntp offset %+.6f s delay %.6f s from %s:%u, server time %s UTC\n", result->offset, result->delay,
                result->address.Text().c_str(), result->port, result->serverTime.c_str());
  else
    std::printf("ntp run failed: %s\n", runError.c_str());
  std::fflush(stdout);

  const std::string error = Env("TAVREL_NTP_ERROR");
  if (!error.empty()) {
    EXPECT_FALSE(result);
    ASSERT_FALSE(failures.empty());
    for (const RuntimeError& e : failures) EXPECT_EQ(error, e.Description());
    return;
  }
  ASSERT_TRUE(result) << runError;
  EXPECT_TRUE(failures.empty());
  const std::string offset = Env("TAVREL_NTP_OFFSET");
  if (!offset.empty()) {
    EXPECT_NEAR(std::stod(offset), result->offset, std::stod(Env("TAVREL_NTP_TOLERANCE")));
  }
}

}  // namespace
}  // namespace tavrel
