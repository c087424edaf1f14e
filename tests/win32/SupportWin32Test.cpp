// The support modules on the real Windows platform (run under Wine): the
// registry as RegQueryValueExA sees it, the error log as a real file beside
// the test program, the file helpers on a real drive and the version record
// the system hands out. Every key and file made here is removed again.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/win32/Win32Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/VRN_ErrorLog.h"
#include "support/VRN_File_Dir.h"
#include "support/VRN_GetSystemInfos.h"
#include "support/Text.h"
#include "support/VRN_Registry.h"

// Last: its macros (MessageBox, TIME_ZONE_ID_*) must not reach our headers.
#include <windows.h>

namespace tavrel {
namespace {

// ---------------------------------------------------------------------------
// Plain Win32 helpers, independent of the code under test.

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\'));
}

std::string CommonFolder() { return ExeFolder() + "\\..\\Common"; }
std::string LogFile() { return CommonFolder() + "\\error.log"; }

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<no file>";
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Opens a file the way another program might: sharing it with nobody.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::string& path)
      : h_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_NE(INVALID_HANDLE_VALUE, h_) << path;
  }
  ~ExclusiveHold() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;

 private:
  HANDLE h_;
};

bool IsFolder(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") RemoveTree(path + "\\" + name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

// The stored type of a value, or REG_NONE when it cannot be read.
DWORD StoredType(HKEY root, const std::string& key, const std::string& name, std::string* data = nullptr) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return REG_NONE;
  DWORD type = REG_NONE;
  char buffer[512] = {};
  DWORD size = sizeof buffer;
  const LONG rc = RegQueryValueExA(h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS) return REG_NONE;
  if (data) data->assign(buffer, size);
  return type;
}

void DeleteKeyTree(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
    char sub[256];
    while (RegEnumKeyA(h, 0, sub, sizeof sub) == ERROR_SUCCESS) DeleteKeyTree(root, key + "\\" + sub);
    RegCloseKey(h);
  }
  RegDeleteKeyA(root, key.c_str());
}

bool MachineHiveWritable() {
  HKEY h;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\VRN-Tavrel-Tests", 0, nullptr, 0, KEY_WRITE, nullptr,
                      &h, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

std::string Unique() { return std::to_string(GetCurrentProcessId()); }

// ---------------------------------------------------------------------------

class SupportWin32 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }

  void SetUp() override {
    ResetProgramState();
    ResetErrorLogState();
    ProgramName = "Tavrel";
    ProductNumber = "230";
    RemoveTree(LogFile());
    RemoveTree(work_);
    CreateDirectoryA(work_.c_str(), nullptr);
  }
  void TearDown() override {
    RemoveTree(LogFile());
    RemoveDirectoryA(CommonFolder().c_str());  // only when we left it empty
    RemoveTree(work_);
    DeleteKeyTree(HKEY_CURRENT_USER, testKey_);
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\VRN Program Settings\\" + settingsApp_);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\VRN-Tavrel-Tests");
    ResetProgramState();
  }

  static std::string TempFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string t = temp;
    if (!t.empty() && t.back() == '\\') t.pop_back();
    return t;
  }

  const std::string testKey_ = "Software\\VRN-Tavrel-Tests-" + Unique();
  const std::string settingsApp_ = "VRN-Tavrel-Tests-" + Unique();
  const std::string work_ = TempFolder() + "\\tavrel-support-" + Unique();
};

TEST_F(SupportWin32, ReadingAValueNeverWrittenLogsOneQuietLineAndThePath) {
  const std::string path = "HKEY_CURRENT_USER\\" + testKey_ + "\\Never\\Written";
  EXPECT_EQ("", ReadKey(path));
  const std::string log = FileText(LogFile());
  const auto end = log.find("\r\n");
  ASSERT_NE(std::string::npos, end) << log;
  EXPECT_NE(std::string::npos, log.substr(0, end).find("  ReadKey of Modul VRN_Registry  20  ")) << log;
  EXPECT_EQ(path + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", log.substr(end + 2));
  EXPECT_FALSE(ErrorFlagged());
}

TEST_F(SupportWin32, MissingValuesAreAnsweredWithoutTrace) {
  EXPECT_EQ(-1, GetMachineSetting("VRN-Tavrel-Tests\\" + Unique(), "Settings", "TTS", RegVariant::Of(int64_t{-1})).number);
  DeleteKey("HKEY_CURRENT_USER\\" + testKey_ + "\\Missing");
  DeleteKey("HKEY_CURRENT_USER\\" + testKey_ + "\\NoKey\\");
  std::string padded = "  HKEY_CURRENT_USER\\" + testKey_ + "\\Missing   ";
  EXPECT_FALSE(RegKeyExists(padded).IsTrue());
  EXPECT_EQ("HKEY_CURRENT_USER\\" + testKey_ + "\\Missing", padded);
  EXPECT_EQ("<no file>", FileText(LogFile()));
  EXPECT_EQ("d", GetSetting(settingsApp_, "Settings", "Nothing", "d"));
}

TEST_F(SupportWin32, NumbersAreStoredAsDwordAndDigitStringsAsText) {
  CreateNumericKey("HKEY_CURRENT_USER\\" + testKey_ + "\\Number", 42);
  CreateKey("HKEY_CURRENT_USER\\" + testKey_ + "\\Digits", "42");
  CreateKey("HKCU\\" + testKey_ + "\\Sub\\", "default");
  std::string data;
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), StoredType(HKEY_CURRENT_USER, testKey_, "Number", &data));
  EXPECT_EQ(42u, *reinterpret_cast<const DWORD*>(data.data()));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), StoredType(HKEY_CURRENT_USER, testKey_, "Digits", &data));
  EXPECT_EQ(std::string("42\0", 3), data);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), StoredType(HKEY_CURRENT_USER, testKey_ + "\\Sub", ""));
  EXPECT_EQ("default", ReadKey("HKEY_CURRENT_USER\\" + testKey_ + "\\Sub\\"));

  std::string exists = "HKEY_CURRENT_USER\\" + testKey_ + "\\Number";
  EXPECT_TRUE(RegKeyExists(exists).IsTrue());
  EXPECT_EQ(42, ReadKeyV(exists).number);
  DeleteKey(exists);
  EXPECT_EQ(static_cast<DWORD>(REG_NONE), StoredType(HKEY_CURRENT_USER, testKey_, "Number"));

  SaveSetting(settingsApp_, "Settings", "MainLeft", "1000");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ),
            StoredType(HKEY_CURRENT_USER, "Software\\VRN Program Settings\\" + settingsApp_ + "\\Settings", "MainLeft"));
  EXPECT_EQ("1000", GetSetting(settingsApp_, "Settings", "MainLeft", "0"));
  EXPECT_EQ("<no file>", FileText(LogFile()));
}

TEST_F(SupportWin32, MachineSettingsInTheMachineHive) {
  if (!MachineHiveWritable()) GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here";
  const std::string app = "VRN-Tavrel-Tests\\" + Unique();
  SaveMachineSetting(app, "Settings", "TTS", RegVariant::Of(int64_t{-1}));
  SaveMachineSetting(app, "Settings", "ProgramVersion", RegVariant::Of("31001"));
  const std::string key = "Software\\" + app + "\\Settings";
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), StoredType(HKEY_LOCAL_MACHINE, key, "TTS"));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), StoredType(HKEY_LOCAL_MACHINE, key, "ProgramVersion"));
  EXPECT_EQ(-1, GetMachineSetting(app, "Settings", "TTS", RegVariant::Of(int64_t{0})).number);
  EXPECT_EQ("31001", GetMachineSetting(app, "Settings", "ProgramVersion", {}).text);
  EXPECT_EQ("<no file>", FileText(LogFile()));
}

TEST_F(SupportWin32, ErrorLogLineAndHeaderOnARealFile) {
  CreateErrorLog();  // no Common folder yet: nothing is written
  EXPECT_EQ("<no file>", FileText(LogFile()));

  CreateDirectoryA(CommonFolder().c_str(), nullptr);
  CreateErrorLog();
  const std::string header = FileText(LogFile());
  EXPECT_EQ(0u, header.find("########  v.r.n error log file - created "));
  EXPECT_NE(std::string::npos, header.find("\r\n" + GetSysDir() + "\t" + GetWinDir() + "\t"));
  const std::string end = "########  End of Header  ##########\r\n";
  ASSERT_GE(header.size(), end.size());
  EXPECT_EQ(end, header.substr(header.size() - end.size()));
  int lines = 0;
  for (char c : header) lines += c == '\n';
  EXPECT_EQ(7, lines);

  ReportError(true, "vrn Tavrel XP", "Demo of Modul SupportWin32", 40, 53, "File not found");
  const VersionNumbers v = Sys().process->Version();
  const std::string tail = "  vrn Tavrel XP : 230 v." + std::to_string(v.major) + "." + std::to_string(v.minor) +
                           "." + std::to_string(v.revision) + "  Demo of Modul SupportWin32  40  53  File not found\r\n";
  const std::string log = FileText(LogFile());
  ASSERT_EQ(0u, log.find(header));
  const std::string entry = log.substr(header.size());
  ASSERT_GT(entry.size(), tail.size());
  EXPECT_EQ(tail, entry.substr(entry.size() - tail.size()));
  const std::string date = entry.substr(0, entry.size() - tail.size());
  EXPECT_TRUE(Sys().locale->ParseDateTime(date)) << "'" << date << "'";

  CreateErrorLog();  // never a second header
  EXPECT_EQ(log, FileText(LogFile()));
}

TEST_F(SupportWin32, FirstReportCreatesCommonAndALogWithoutHeader) {
  RemoveTree(CommonFolder());
  ReportError(true, "A_Tavrel", "Timer1_Timer of Formular FrmMain", 30, 13, "Type mismatch");
  EXPECT_TRUE(IsFolder(CommonFolder()));
  const std::string log = FileText(LogFile());
  EXPECT_EQ(std::string::npos, log.find("########")) << log;
  const std::string tail = "  A_Tavrel : 230 v.3.10.1  Timer1_Timer of Formular FrmMain  30  13  Type mismatch\r\n";
  ASSERT_GT(log.size(), tail.size());
  EXPECT_EQ(tail, log.substr(log.size() - tail.size()));
}

TEST_F(SupportWin32, EntriesFollowOldContentAndKeepTheLineBreaksOfADescription) {
  CreateDirectoryA(CommonFolder().c_str(), nullptr);
  PutFile(LogFile(), "written last week\r\n");
  ReportError(true, "vrn Tavrel XP", "Demo of Modul SupportWin32", 10, 5, "first\r\nsecond");
  CreateErrorLog();
  const std::string log = FileText(LogFile());
  EXPECT_EQ(0u, log.find("written last week\r\n"));
  const std::string tail = "Demo of Modul SupportWin32  10  5  first\r\nsecond\r\n";
  ASSERT_GT(log.size(), tail.size());
  EXPECT_EQ(tail, log.substr(log.size() - tail.size()));
}

TEST_F(SupportWin32, QuietReportsMarkTheWindowButRaiseNoFlag) {
  FrmMain form;
  form.chkErrMsgBox.SetValue(1);  // a box here would block the test for good
  MainForm = &form;
  ReportError(false, "vrn Tavrel XP", "ReadKey of Modul VRN_Registry", 20, 5, "Invalid procedure call or argument");
  MainForm = nullptr;
  EXPECT_FALSE(ErrorFlagged());
  EXPECT_EQ(kIndicatorRed, form.ErrorIndicator.BackColor());
  EXPECT_TRUE(form.lblError.Visible());
  EXPECT_NE(std::string::npos, FileText(LogFile()).find("ReadKey of Modul VRN_Registry  20  5  "));
}

// Hands the mail link to a recorder instead of the shell, so no mail
// program starts.
class RecordingShell : public IShell {
 public:
  void Execute(std::intptr_t owner, const std::string& verb, const std::string& file, const std::string& parameters,
               const std::string& directory, int show) override {
    this->owner = owner;
    this->verb = verb;
    this->file = file;
    this->parameters = parameters;
    this->directory = directory;
    this->show = show;
  }
  void Run(const std::string&, int) override {}
  std::intptr_t owner = 0;
  std::string verb, file, parameters, directory;
  int show = -1;
};

TEST_F(SupportWin32, MailLinkEscapesTheLogForTheShell) {
  RecordingShell shell;
  const Platform real = Sys();
  Platform recording = real;
  recording.shell = &shell;
  InstallPlatform(recording);
  Email_Error("a\tb c&d\r\ne%?#+\rf");
  InstallPlatform(real);

  const std::string start = "MailTo:support@vrn.example?Subject=Tavrel  - error.log report -  ";
  const std::string body = "&Body=a%20%20%20%20%20b%20c%26d%0D%0Ae%?#+\rf";
  ASSERT_GT(shell.file.size(), start.size() + body.size()) << shell.file;
  EXPECT_EQ(start, shell.file.substr(0, start.size()));
  EXPECT_EQ(body, shell.file.substr(shell.file.size() - body.size()));
  EXPECT_EQ("Open", shell.verb);
  EXPECT_EQ("", shell.parameters);
  EXPECT_EQ(Sys().process->AppPath(), shell.directory);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(GetDesktopWindow()), shell.owner);
  EXPECT_EQ(SW_SHOWNORMAL, shell.show);
}

TEST_F(SupportWin32, UnwritableLogLosesTheEntryWithoutAChain) {
  CreateDirectoryA(CommonFolder().c_str(), nullptr);
  PutFile(LogFile(), "old\r\n");
  {
    // Held open by "another program" that shares it with nobody. (The
    // read-only attribute would not do: Wine running as root writes anyway.)
    ExclusiveHold hold(LogFile());
    ReportError(true, "vrn Tavrel XP", "Demo of Modul SupportWin32", 40, 53, "File not found");
    LogErrorDetails("details");
  }
  EXPECT_EQ("old\r\n", FileText(LogFile()));
  EXPECT_TRUE(ErrorFlagged());
  ReportError(false, "vrn Tavrel XP", "Demo of Modul SupportWin32", 50, 53, "File not found");
  EXPECT_EQ(0u, FileText(LogFile()).find("old\r\n"));
  EXPECT_NE(std::string::npos, FileText(LogFile()).find("SupportWin32  50  53"));
}

TEST_F(SupportWin32, FileHelpersOnARealDrive) {
  CreateDirectoryStruct(work_ + "\\a\\b");
  EXPECT_TRUE(IsFolder(work_ + "\\a\\b"));
  EXPECT_TRUE(DirExists(work_ + "\\a\\"));
  EXPECT_FALSE(DirExists(work_ + "\\none"));

  const std::string file = work_ + "\\c\\d\\f.txt";
  WriteFileW(file, "one", true);
  WriteFileW(file, "two", true);
  EXPECT_EQ("one\r\ntwo\r\n", FileText(file));
  EXPECT_EQ("one\r\ntwo\r\n", ReadFileW(file));
  WriteFileW(file, "only", false);
  EXPECT_EQ("only\r\n", FileText(file));
  PutFile(work_ + "\\empty.txt", "");
  EXPECT_EQ("", ReadFileW(work_ + "\\empty.txt"));
  EXPECT_EQ("", ReadFileW(work_ + "\\missing.txt"));

  PutFile(work_ + "\\hidden.txt", "h");
  SetFileAttributesA((work_ + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  PutFile(work_ + "\\ro.txt", "r");
  SetFileAttributesA((work_ + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  for (const char* name : {"\\hidden.txt", "\\ro.txt", "\\c\\d\\f.txt", "\\*.txt", "\\hidde?.txt"}) {
    std::string path = work_ + name;
    EXPECT_TRUE(FileExists(path)) << path;
  }
  for (const char* name : {"\\a", "\\a\\", "\\missing.txt", "\\*.none", "\\x\\y.txt"}) {
    std::string path = work_ + name;
    EXPECT_FALSE(FileExists(path)) << path;
  }
  std::string padded = "  " + work_ + "\\ro.txt  ";
  EXPECT_TRUE(FileExists(padded));
  EXPECT_EQ(work_ + "\\ro.txt", padded);

  // A file held open by someone else keeps its bytes; the refusal is logged.
  PutFile(work_ + "\\held.txt", "kept");
  {
    ExclusiveHold hold(work_ + "\\held.txt");
    WriteFileW(work_ + "\\held.txt", "lost", false);
    WriteFileW(work_ + "\\held.txt", "lost", true);
  }
  EXPECT_EQ("kept", FileText(work_ + "\\held.txt"));
  EXPECT_NE(std::string::npos, FileText(LogFile()).find("  WriteFileW of Modul VRN_File_Dir  20  "));
}

// The test prefix maps \\tavrelhost\share to a folder of its own
// (dosdevices/unc, made by wine-env.sh), so UNC paths reach a real share.
TEST_F(SupportWin32, FileHelpersOnAUncShare) {
  const std::string share = "\\\\tavrelhost\\share";
  if (!DirExists(share)) GTEST_SKIP() << "no test share " << share;
  const std::string work = share + "\\tavrel-" + Unique();
  CreateDirectoryStruct(work + "\\a\\b");
  EXPECT_TRUE(IsFolder(work + "\\a\\b"));
  const std::string file = work + "\\a\\b\\f.txt";
  WriteFileW(file, "one", false);
  EXPECT_EQ("one\r\n", ReadFileW(file));
  std::string path = file;
  EXPECT_TRUE(FileExists(path));
  std::string pattern = work + "\\a\\b\\*.txt";
  EXPECT_TRUE(FileExists(pattern));
  EXPECT_EQ(work + "\\a\\b", sParsePath(file));

  // Server and share are never created: a missing share is a logged failure.
  CreateDirectoryStruct("\\\\tavrelhost\\noshare\\a");
  EXPECT_FALSE(DirExists("\\\\tavrelhost\\noshare\\a"));
  const std::string log = FileText(LogFile());
  EXPECT_NE(std::string::npos, log.find("CreateDirectoryStruct of Modul VRN_File_Dir")) << log;
  EXPECT_NE(std::string::npos, log.find("\\\\tavrelhost\\noshare\\a")) << log;
  RemoveTree(work);
}

TEST_F(SupportWin32, SystemRecordsArePlausible) {
  const std::string name = GetWinVersion();
  EXPECT_EQ(148u, VersionInfo.dwOSVersionInfoSize);
  EXPECT_EQ(2u, VersionInfo.dwPlatformId);  // the NT family
  EXPECT_GE(VersionInfo.dwMajorVersion, 5u);
  EXPECT_GT(VersionInfo.dwBuildNumber, 0u);
  if (VersionInfo.dwMajorVersion == 5) {
    EXPECT_TRUE(name == "Windows 2000" || name == "Windows XP" || name == "Windows 2003" || name == "unknown") << name;
  } else {
    EXPECT_EQ("", name);
  }

  GetPCInfos();
  EXPECT_FALSE(UserName.empty());
  EXPECT_EQ(UserName, UCase(UserName));
  EXPECT_EQ(9u, MachineCode.size());
  const std::string code = MachineCode;
  GetPCInfos();
  EXPECT_EQ(code, MachineCode);
  EXPECT_FALSE(CompanyName.empty());
  EXPECT_FALSE(GetSysDir().empty());
  EXPECT_FALSE(GetWinDir().empty());
  EXPECT_NE('\\', GetSysDir().back());
}

}  // namespace
}  // namespace tavrel
