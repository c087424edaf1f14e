// What the program learns about the machine: the Windows name for every kind
// of version record, the user and organisation as they go into the settings
// keys, and the machine number.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <set>

#include "app/FrmMain.h"
#include "support/VRN_GetSystemInfos.h"
#include "tests/unit/TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLog = "C:\\Program Files\\VRN\\Common\\error.log";

struct VersionCase {
  uint32_t platform, major, minor, build;
  const char* name;
};

class WinVersionTest : public ProgramTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(WinVersionTest, NamesTheRecord) {
  const VersionCase& c = GetParam();
  OsVersionInfo v;
  v.dwPlatformId = c.platform;
  v.dwMajorVersion = c.major;
  v.dwMinorVersion = c.minor;
  v.dwBuildNumber = c.build;
  std::snprintf(v.szCSDVersion, sizeof v.szCSDVersion, "Service Pack 2");
  sys.system.version = v;
  EXPECT_EQ(c.name, GetWinVersion());
  EXPECT_EQ(148u, VersionInfo.dwOSVersionInfoSize);
  EXPECT_EQ(c.build, VersionInfo.dwBuildNumber);
  EXPECT_STREQ("Service Pack 2", VersionInfo.szCSDVersion);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WinVersionTest,
    ::testing::Values(
        VersionCase{0, 3, 10, 0, "Windows 32s"},
        VersionCase{1, 4, 0, 950, "Windows 95"},
        VersionCase{1, 4, 0, 949, "Windows 95 OSR2"},
        VersionCase{1, 4, 0, 951, "Windows 95 SP1"},
        VersionCase{1, 4, 0, 1080, "Windows 95 SP1"},
        VersionCase{1, 4, 0, 1081, "Windows 95 OSR2"},
        VersionCase{1, 4, 3, 1212, "Windows 95 OSR2"},
        // The 95 family keeps major.minor in the build number's high word.
        VersionCase{1, 4, 0, 0x040003B6u, "Windows 95"},
        VersionCase{1, 4, 10, 0x040A07CEu, "Windows 98"},
        VersionCase{1, 4, 10, 1998, "Windows 98"},
        VersionCase{1, 4, 10, 1997, ""},
        VersionCase{1, 4, 10, 1999, "Windows 98 SP1"},
        VersionCase{1, 4, 10, 2182, "Windows 98 SP1"},
        VersionCase{1, 4, 10, 2183, "Windows 98 SE"},
        VersionCase{1, 4, 10, 2222, "Windows 98 SE"},
        VersionCase{1, 4, 90, 3000, "Windows ME"},
        VersionCase{2, 3, 51, 1057, "Windows NT 3.51"},
        VersionCase{2, 4, 0, 1381, "Windows NT 4.0"},
        VersionCase{2, 5, 0, 2195, "Windows 2000"},
        VersionCase{2, 5, 1, 2600, "Windows XP"},
        VersionCase{2, 5, 2, 3790, "Windows 2003"},
        VersionCase{2, 5, 3, 1, "unknown"},
        VersionCase{2, 6, 1, 7601, ""},
        VersionCase{2, 10, 0, 19045, ""},
        VersionCase{2, 2, 0, 1, ""},
        VersionCase{3, 1, 0, 1, "Windows CE 1.0"},
        VersionCase{3, 2, 0, 1, "Windows CE 2.0"},
        VersionCase{3, 2, 11, 1, "Windows CE 2.1"},
        VersionCase{3, 3, 0, 1, "Windows CE 3.0"},
        VersionCase{3, 6, 0, 1, "Windows CE 3.0"},
        VersionCase{4, 6, 0, 1, "Unable To Get Windows Version"}));

using SystemInfoTest = ProgramTest;

TEST_F(SystemInfoTest, AFailingVersionCallKeepsTheRecordItHad) {
  sys.system.version.reset();
  EXPECT_EQ("Windows 32s", GetWinVersion());  // nothing read yet: all zero
  EXPECT_EQ(148u, VersionInfo.dwOSVersionInfoSize);
  EXPECT_EQ('\0', VersionInfo.szCSDVersion[127]);

  sys.system.version = WindowsXp();
  EXPECT_EQ("Windows XP", GetWinVersion());
  sys.system.version.reset();
  EXPECT_EQ("Windows XP", GetWinVersion());
  EXPECT_EQ(2600u, VersionInfo.dwBuildNumber);
}

TEST_F(SystemInfoTest, UserNameFitsInTwentyFourCharacters) {
  sys.system.userName = std::string(24, 'a');
  EXPECT_EQ(std::string(24, 'a') + '\0', GetUser());
  GetPCInfos();
  EXPECT_EQ(std::string(24, 'A'), UserName);

  sys.system.userName = std::string(25, 'a');
  EXPECT_EQ("", GetUser());
  GetPCInfos();
  EXPECT_EQ("ADMIN", UserName);

  sys.system.userName = "  Jo Ann ";
  EXPECT_EQ(25u, GetUser().size());
  GetPCInfos();
  EXPECT_EQ("JO ANN", UserName);

  for (const auto& none : {std::optional<std::string>(), std::optional<std::string>("   ")}) {
    sys.system.userName = none;
    GetPCInfos();
    EXPECT_EQ("ADMIN", UserName);
  }
}

TEST_F(SystemInfoTest, CompanyComesFromTheFamilysKeyOrIsNone) {
  FrmMain form;
  MainForm = &form;
  form.chkErrMsgBox.SetValue(1);
  OsVersionInfo nt;
  nt.dwPlatformId = 2;
  nt.dwMajorVersion = 5;
  sys.system.version = nt;
  GetPCInfos();
  EXPECT_EQ("NONE", CompanyName);
  // The missing value is logged quietly: a line and the path, no box.
  const std::string log = sys.files.FileContent(kLog).value_or("");
  EXPECT_NE(std::string::npos, log.find("  ReadKey of Modul VRN_Registry  20  "));
  EXPECT_NE(std::string::npos,
            log.find("\r\nHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\RegisteredOrganization\r\n"));
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_FALSE(ErrorFlagged());

  sys.registry.WriteString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                           "RegisteredOrganization", std::string(" Acme\0 Ltd\0\0 ", 14));
  GetPCInfos();
  EXPECT_EQ("ACME LTD", CompanyName);

  OsVersionInfo me;
  me.dwPlatformId = 1;
  me.dwMinorVersion = 90;
  sys.system.version = me;
  sys.registry.WriteString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                           "RegisteredOrganization", "Home");
  GetPCInfos();
  EXPECT_EQ("HOME", CompanyName);
  sys.registry.WriteString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                           "RegisteredOrganization", "see hkey_local_machine");
  GetPCInfos();
  EXPECT_EQ("NONE", CompanyName);
  MainForm = nullptr;
}

TEST_F(SystemInfoTest, MachineCodeIsNineStableDigitsForAnySerial) {
  auto nineDigits = [](const std::string& code) {
    return code.size() == 9 && std::all_of(code.begin(), code.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  };
  std::set<std::string> codes;
  for (int32_t serial : {0, 1, 2, -1, 12345678, INT32_MIN, INT32_MAX, 0x1234ABCD}) {
    const std::string code = MachineCodeOf(serial);
    EXPECT_TRUE(nineDigits(code)) << serial << " -> " << code;
    EXPECT_EQ(code, MachineCodeOf(serial));
    codes.insert(code);
  }
  EXPECT_EQ(8u, codes.size());

  GetPCInfos();
  const std::string first = MachineCode;
  GetPCInfos();
  EXPECT_EQ(first, MachineCode);
  EXPECT_EQ(MachineCodeOf(0x1234ABCD), MachineCode);

  sys.system.volumeSerials.clear();  // drive C cannot be read
  EXPECT_EQ(0, GetDriveSerial("C"));
  GetPCInfos();
  EXPECT_EQ(MachineCodeOf(0), MachineCode);
  EXPECT_TRUE(nineDigits(MachineCode));
}

TEST_F(SystemInfoTest, ClipNullRemovesEveryNul) {
  EXPECT_EQ("abc", ClipNull(std::string("\0a\0b\0\0c\0", 8)));
  EXPECT_EQ("", ClipNull(std::string(25, '\0')));
}

}  // namespace
}  // namespace tavrel
