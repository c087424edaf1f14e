// The clock, time zone, process, system, locale and shell services against
// the system they run on.
#include <cmath>
#include <cstring>

#include "Win32TestSupport.h"
#include "platform/win32/Win32Compat.h"

#include <mmsystem.h>

namespace tavrel {
namespace {

class SystemServicesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
};

double SecondsBetween(DateTime a, DateTime b) { return std::fabs(a.Serial() - b.Serial()) * 86400.0; }

TEST_F(SystemServicesTest, NowIsTheLocalTimeToTheMillisecond) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  const DateTime now = Sys().clock->Now();
  EXPECT_EQ(now.Year(), st.wYear);
  EXPECT_LT(SecondsBetween(now, MakeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond)
                                    .AddSeconds(st.wMilliseconds / 1000.0)),
            5.0);
  // The fraction carries milliseconds, not only whole seconds.
  bool sawFraction = false;
  for (int i = 0; i < 50 && !sawFraction; ++i) {
    const double seconds = Sys().clock->Now().Serial() * 86400.0;
    sawFraction = std::fabs(seconds - std::round(seconds)) > 0.0005;
    Sleep(7);
  }
  EXPECT_TRUE(sawFraction);
}

TEST_F(SystemServicesTest, ABigClockChangeIsRefusedAsPermissionDenied) {
  if (!RunningOnWine()) GTEST_SKIP() << "would move the clock of a real machine";
  const DateTime later = Sys().clock->Now().AddSeconds(2 * 3600);
  EXPECT_EQ(ErrorOf([&] { Sys().clock->SetLocalTime(later); }), errPermissionDenied);
  EXPECT_LT(SecondsBetween(Sys().clock->Now(), later), 2 * 3600.0 + 5);
  EXPECT_GT(SecondsBetween(Sys().clock->Now(), later), 3600.0);
}

TEST_F(SystemServicesTest, ASubSecondClockSetIsAccepted) {
  if (!RunningOnWine()) GTEST_SKIP() << "would move the clock of a real machine";
  EXPECT_EQ(ErrorOf([&] { Sys().clock->SetLocalTime(Sys().clock->Now()); }), 0);
}

// Wine gives its processes the right; the switch stands for an ordinary
// user's token on NT, which the system answers with 1314.
TEST_F(SystemServicesTest, ATokenWithoutTheClockRightMayNotSetTheClock) {
  if (RunningOnWine()) {
    EXPECT_TRUE(Sys().clock->MaySetTime());
  }
  compat::PretendMissing(compat::Feature::ClockRight);
  EXPECT_FALSE(Sys().clock->MaySetTime());
  EXPECT_EQ(ErrorOf([&] { Sys().clock->SetLocalTime(Sys().clock->Now()); }), errPermissionDenied);
  compat::PretendMissing(compat::Feature::ClockRight, false);
}

LRESULT CALLBACK CountTimeChanges(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMECHANGE) {
    ++*reinterpret_cast<int*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(SystemServicesTest, TheTimeChangeBroadcastReachesTopLevelWindows) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = CountTimeChanges;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "TavrelTimeChangeListener";
  RegisterClassA(&cls);
  HWND listener = CreateWindowExA(0, cls.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  cls.hInstance, nullptr);
  ASSERT_NE(listener, nullptr);
  int seen = 0;
  SetWindowLongPtrA(listener, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  Sys().clock->BroadcastTimeChange();
  EXPECT_EQ(seen, 1);
  DestroyWindow(listener);
}

// A synchronisation's waits run on the window's thread: the windows paint
// meanwhile, clicks and the like wait for the run to end.
TEST_F(SystemServicesTest, WaitingPaintsTheWindowsAndLeavesTheirInputQueued) {
  HWND window = CreateWindowExA(0, "STATIC", "waiting", WS_POPUP | WS_VISIBLE, 0, 0, 120, 40, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  InvalidateRect(window, nullptr, TRUE);
  PostMessageA(window, WM_USER + 7, 0, 0);
  const DateTime until = Sys().clock->NowUtc().AddSeconds(0.2);
  Sys().clock->WaitUntilUtc(until);
  EXPECT_GE(Sys().clock->NowUtc().Serial(), until.Serial());
  RECT r;
  EXPECT_FALSE(GetUpdateRect(window, &r, FALSE));
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_USER + 7, WM_USER + 7, PM_REMOVE));
  DestroyWindow(window);
}

TEST_F(SystemServicesTest, TimeZoneRecordIsTheSystems) {
  TIME_ZONE_INFORMATION expected{};
  const DWORD expectedId = GetTimeZoneInformation(&expected);
  TimeZoneInformation tz;
  const uint32_t id = Sys().timeZone->Read(tz);
  EXPECT_EQ(id, expectedId);
  EXPECT_EQ(tz.Bias, expected.Bias);
  EXPECT_EQ(tz.StandardBias, expected.StandardBias);
  EXPECT_EQ(tz.DaylightBias, expected.DaylightBias);
  EXPECT_EQ(tz.StandardDate.wMonth, expected.StandardDate.wMonth);
  EXPECT_EQ(tz.DaylightDate.wDay, expected.DaylightDate.wDay);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(tz.StandardName[i], static_cast<char16_t>(expected.StandardName[i]));
    EXPECT_EQ(tz.DaylightName[i], static_cast<char16_t>(expected.DaylightName[i]));
  }
}

TEST_F(SystemServicesTest, ProgramFolderAndNameComeFromTheModulePath) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof module);
  const std::string path = module;
  const std::string folder = Sys().process->AppPath();
  EXPECT_EQ(folder, path.substr(0, path.find_last_of('\\')));
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(Sys().process->ExeName(), "tavrel_win32_tests");
}

TEST_F(SystemServicesTest, VersionAndProductNameComeFromTheVersionResource) {
  // The test program carries the program's own resources.
  const VersionNumbers v = Sys().process->Version();
  EXPECT_EQ(v.major, 3);
  EXPECT_EQ(v.minor, 10);
  EXPECT_EQ(v.revision, 1);
  EXPECT_EQ(Sys().process->ProductName(), "vrn Tavrel XP");
}

TEST_F(SystemServicesTest, ALoneProcessHasNoPreviousInstance) {
  EXPECT_FALSE(Sys().process->PrevInstance());
  EXPECT_FALSE(Sys().process->PrevInstance());
}

TEST_F(SystemServicesTest, UserNameNeedsRoomForItsTerminator) {
  const auto name = Sys().system->UserName(255);
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
  EXPECT_FALSE(Sys().system->UserName(static_cast<uint32_t>(name->size())).has_value());
  EXPECT_EQ(Sys().system->UserName(static_cast<uint32_t>(name->size() + 1)), name);
}

TEST_F(SystemServicesTest, DriveCHasAStableSerialAndMissingDrivesNone) {
  const auto serial = Sys().system->VolumeSerial("C:\\");
  ASSERT_TRUE(serial.has_value());
  EXPECT_EQ(Sys().system->VolumeSerial("C:\\"), serial);
  EXPECT_FALSE(Sys().system->VolumeSerial("Q:\\").has_value());
}

TEST_F(SystemServicesTest, SystemFoldersHaveNoTrailingBackslash) {
  const std::string system = Sys().system->SystemDirectory();
  const std::string windows = Sys().system->WindowsDirectory();
  ASSERT_FALSE(system.empty());
  ASSERT_FALSE(windows.empty());
  EXPECT_NE(system.back(), '\\');
  EXPECT_EQ(_stricmp(system.substr(0, windows.size()).c_str(), windows.c_str()), 0);
}

TEST_F(SystemServicesTest, VersionLanguageAndLocaleFacts) {
  OsVersionInfo info;
  ASSERT_TRUE(Sys().system->VersionEx(info));
  EXPECT_GT(info.dwMajorVersion, 0u);
  EXPECT_EQ(Sys().system->SystemDefaultLangId(), GetSystemDefaultLangID());
  EXPECT_NE(Sys().system->LanguageName(0x0409).find("English"), std::string::npos);
  EXPECT_FALSE(Sys().system->LocaleInfo(LOCALE_SENGCOUNTRY).empty());
  EXPECT_EQ(Sys().system->LocaleInfo(0x7FFFFF), "");
}

TEST_F(SystemServicesTest, LocaleTextsReadBackToTheSameMoment) {
  ILocale& locale = *Sys().locale;
  const DateTime moment = MakeDateTime(2026, 12, 8, 14, 5, 9);
  const std::string time = locale.LongTime(moment);
  const std::string date = locale.ShortDate(moment);
  EXPECT_NE(time.find("05"), std::string::npos) << time;
  EXPECT_NE(date.find("8"), std::string::npos) << date;
  const auto back = locale.ParseDateTime(date + " " + time);
  ASSERT_TRUE(back.has_value()) << date << " " << time;
  EXPECT_EQ(*back, moment);
  const auto timeOnly = locale.ParseDateTime(time);
  ASSERT_TRUE(timeOnly.has_value());
  EXPECT_EQ(timeOnly->SecondsOfDay(), moment.SecondsOfDay());
}

TEST_F(SystemServicesTest, UnreadableTextsAreNoDates) {
  EXPECT_FALSE(Sys().locale->ParseDateTime("").has_value());
  EXPECT_FALSE(Sys().locale->ParseDateTime("not a date").has_value());
  EXPECT_FALSE(Sys().locale->ParseDateTime(std::string(5000, '9')).has_value());
}

TEST_F(SystemServicesTest, DecimalSeparatorIsTheLocales) {
  char expected[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, expected, sizeof expected);
  EXPECT_EQ(Sys().locale->DecimalSeparator(), expected[0]);
}

TEST_F(SystemServicesTest, AProgramThatCannotStartIsFileNotFound) {
  EXPECT_EQ(ErrorOf([] { Sys().shell->Run("C:\\no\\such\\program.exe", 1); }), errFileNotFound);
}

TEST_F(SystemServicesTest, SoundDevicesAreTheSystemsCount) {
  EXPECT_EQ(Sys().sound->WaveOutDeviceCount(), waveOutGetNumDevs());
}

}  // namespace
}  // namespace tavrel
