// DoAtomicTime on the real platform: WinINet fetching from a time server on
// loopback, the zone record as Wine reads it from TZ, and SetLocalTime as
// Wine answers it (a change under a second is accepted, a bigger one
// refused). The end-to-end test test_webtime.py starts the server and runs
// these one at a time with TAVREL_TIME_SERVER set; without it they skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/Globals.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_File_Dir.h"
#include "timesync/VRN_TimeSync.h"
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

const char* const kHostsKey = "Software\\VRN\\Tavrel\\Hosts";

class WebTimeUnderWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }

  void SetUp() override {
    const char* server = std::getenv("TAVREL_TIME_SERVER");
    if (!server || !*server) GTEST_SKIP() << "no time server (run by test_webtime.py)";
    // On a real Windows machine with the privilege these would move its clock.
    if (!RunningOnWine()) GTEST_SKIP() << "runs only where big clock changes are refused";
    ResetProgramState();
    ResetErrorLogState();
    ProgramName = "Tavrel";
    ProductNumber = "230";
    Sys().registry->WriteString(RegRoot::LocalMachine, kHostsKey, "USNO", server);
    DaylightActive = Sys().timeZone->Read(TZInfo) == TIME_ZONE_ID_DAYLIGHT;
    // The zone really is the one the caller chose through TZ.
    if (const char* bias = std::getenv("TAVREL_EXPECTED_BIAS")) {
      ASSERT_EQ(std::atoi(bias), TZInfo.Bias);
    }
    MainForm = &form_;
    DeleteFileA(ErrorLogPath().c_str());
  }

  void TearDown() override {
    MainForm = nullptr;
    try {
      Sys().registry->DeleteValue(RegRoot::LocalMachine, kHostsKey, "USNO");
    } catch (const RuntimeError&) {
    }
    DeleteFileA(ErrorLogPath().c_str());
    RemoveDirectoryA(sParsePath(ErrorLogPath()).c_str());
  }

  static std::string Log() { return ReadFileW(ErrorLogPath()); }

  FrmMain form_;
};

TEST_F(WebTimeUnderWine, PageOfTheCurrentTimeSetsTheClock) {
  std::string text;
  EXPECT_TRUE(DoAtomicTime(text)) << "log: " << Log();
  EXPECT_EQ(8u, text.size()) << text;
  EXPECT_EQ(std::string::npos, Log().find("DoAtomicTime of Modul VRN_TimeSync")) << Log();
}

TEST_F(WebTimeUnderWine, PageAnHourOffIsRefused) {
  form_.txtMaxCorrection.SetText("0");  // the refusal, not a second source, is what this asks
  std::string text;
  EXPECT_FALSE(DoAtomicTime(text));
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Common : 230 v.3.10.1  DoAtomicTime of Modul VRN_TimeSync  240  ")) << log;
}

}  // namespace
}  // namespace tavrel
