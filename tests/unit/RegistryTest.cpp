// Registry access on full key paths and the per-user settings store, seen
// from the registry's side (which key, value and type end up stored) and
// from the error log's side (what a failure leaves behind, and that it never
// shows a box).
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/FrmMain.h"
#include "platform/SettingsStore.h"
#include "support/VRN_Registry.h"
#include "tests/unit/TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLog = "C:\\Program Files\\VRN\\Common\\error.log";
const std::string kNineEmptyLines = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";

class RegistryTest : public ProgramTest {
 protected:
  RegistryTest() {
    MainForm = &form;
    form.chkErrMsgBox.SetValue(1);  // even then, registry errors show no box
  }
  ~RegistryTest() override { MainForm = nullptr; }

  std::string Log() const { return sys.files.FileContent(kLog).value_or(""); }
  std::optional<RegValue> Stored(RegRoot root, const std::string& key, const std::string& name) {
    return sys.registry.Value(root, key, name);
  }
  void ExpectNothingLogged() {
    EXPECT_FALSE(sys.files.FileContent(kLog)) << Log();
    EXPECT_TRUE(sys.windows.boxes.empty());
  }
  // A quiet report: a log line, the details, no box, no flag for the mail.
  void ExpectQuietReport(const std::string& procedure, const std::string& details) {
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("  " + procedure + " of Modul VRN_Registry  20  ")) << log;
    EXPECT_NE(std::string::npos, log.find("\r\n" + details)) << log;
    EXPECT_TRUE(sys.windows.boxes.empty());
    EXPECT_FALSE(ErrorFlagged());
    EXPECT_EQ(kIndicatorRed, form.ErrorIndicator.BackColor());
  }

  FrmMain form;
};

TEST_F(RegistryTest, ReadingAValueNeverWrittenGivesEmptyAndOneQuietEntry) {
  const std::string path = "HKEY_LOCAL_MACHINE\\Software\\VRN\\Tavrel\\123456789\\Settings\\TTS";
  EXPECT_EQ("", ReadKey(path));
  const std::string log = Log();
  const auto entryEnd = log.find("\r\n");
  ASSERT_NE(std::string::npos, entryEnd);
  EXPECT_NE(std::string::npos, log.substr(0, entryEnd).find("  ReadKey of Modul VRN_Registry  20  "));
  EXPECT_EQ(path + kNineEmptyLines + "\r\n", log.substr(entryEnd + 2));
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_FALSE(ErrorFlagged());
  EXPECT_TRUE(ReadKeyV(path).IsEmpty());
}

TEST_F(RegistryTest, MissingValuesAreAnsweredWithoutAnyLogEntry) {
  EXPECT_EQ(-1, GetMachineSetting("VRN\\Tavrel\\1", "Settings", "TTS", RegVariant::Of(int64_t{-1})).number);
  EXPECT_EQ("x", GetMachineSetting("VRN\\Tavrel\\1", "Settings", "Nothing", RegVariant::Of("x")).text);
  DeleteKey("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tavrel");
  DeleteKey("HKCU\\Software\\Nowhere\\");
  std::string path = "HKEY_BOGUS\\x";
  EXPECT_FALSE(RegKeyExists(path).IsTrue());
  ExpectNothingLogged();
}

TEST_F(RegistryTest, RegKeyExistsTrimsTheCallersPath) {
  sys.registry.WriteString(RegRoot::CurrentUser, "Software\\A", "v", "1");
  std::string padded = "   HKEY_CURRENT_USER\\Software\\A\\v  ";
  const RegVariant found = RegKeyExists(padded);
  EXPECT_EQ(RegVariant::Boolean, found.type);
  EXPECT_TRUE(found.IsTrue());
  EXPECT_EQ("HKEY_CURRENT_USER\\Software\\A\\v", padded);
  std::string missing = " HKCU\\Software\\A\\w ";
  EXPECT_EQ(RegVariant::Boolean, RegKeyExists(missing).type);
  EXPECT_FALSE(RegKeyExists(missing).IsTrue());
  EXPECT_EQ("HKCU\\Software\\A\\w", missing);
}

TEST_F(RegistryTest, MachineSettingsKeepTheirTypes) {
  SaveMachineSetting("VRN\\Tavrel\\123456789", "Settings", "ProgramVersion", RegVariant::Of("31001"));
  SaveMachineSetting("VRN\\Tavrel\\123456789", "Settings", "TTS", RegVariant::Of(int64_t{0}));
  SaveMachineSetting("VRN\\Tavrel\\123456789", "Settings", "Flag", RegVariant::OfBool(true));
  const std::string key = "Software\\VRN\\Tavrel\\123456789\\Settings";
  EXPECT_EQ(RegValue::String, Stored(RegRoot::LocalMachine, key, "ProgramVersion")->type);
  EXPECT_EQ("31001", Stored(RegRoot::LocalMachine, key, "ProgramVersion")->text);
  EXPECT_EQ(RegValue::Dword, Stored(RegRoot::LocalMachine, key, "TTS")->type);
  EXPECT_EQ(0u, Stored(RegRoot::LocalMachine, key, "TTS")->number);
  EXPECT_EQ(0xFFFFFFFFu, Stored(RegRoot::LocalMachine, key, "Flag")->number);

  const RegVariant version = GetMachineSetting("VRN\\Tavrel\\123456789", "Settings", "ProgramVersion", {});
  EXPECT_EQ(RegVariant::Text, version.type);
  EXPECT_EQ("31001", version.text);
  const RegVariant tts = GetMachineSetting("VRN\\Tavrel\\123456789", "Settings", "TTS", RegVariant::Of(int64_t{-1}));
  EXPECT_EQ(RegVariant::Number, tts.type);
  EXPECT_EQ(0, tts.number);
  // A stored -1 reads back as -1, as it was written.
  EXPECT_EQ(-1, GetMachineSetting("VRN\\Tavrel\\123456789", "Settings", "Flag", {}).number);
  EXPECT_EQ("-1", ReadKey("HKLM\\" + key + "\\Flag"));
  ExpectNothingLogged();
}

TEST_F(RegistryTest, EveryRootByItsFullAndShortName) {
  const struct {
    const char* name;
    RegRoot root;
  } roots[] = {
      {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine}, {"HKLM", RegRoot::LocalMachine},
      {"hkey_current_user", RegRoot::CurrentUser},   {"HKCU", RegRoot::CurrentUser},
      {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},   {"HKCR", RegRoot::ClassesRoot},
      {"HKEY_USERS", RegRoot::Users},                {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig},
  };
  for (const auto& r : roots) {
    const std::string path = std::string(r.name) + "\\Test\\Sub\\Value";
    CreateKey(path, r.name);
    EXPECT_EQ(r.name, Stored(r.root, "Test\\Sub", "Value").value().text);
    EXPECT_EQ(r.name, ReadKey(path));
    DeleteKey(path);
    EXPECT_FALSE(Stored(r.root, "Test\\Sub", "Value"));
  }
  ExpectNothingLogged();
}

TEST_F(RegistryTest, TrailingBackslashNamesTheKeysDefaultValue) {
  CreateKey("HKEY_CURRENT_USER\\Software\\VRN\\Demo\\", "default text");
  CreateNumericKey("HKEY_CURRENT_USER\\Software\\VRN\\Demo\\Count", 7);
  EXPECT_EQ("default text", Stored(RegRoot::CurrentUser, "Software\\VRN\\Demo", "").value().text);
  EXPECT_EQ("default text", ReadKey("HKEY_CURRENT_USER\\Software\\VRN\\Demo\\"));
  DeleteKey("HKEY_CURRENT_USER\\Software\\VRN\\Demo\\Count");
  EXPECT_TRUE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software\\VRN\\Demo"));
  DeleteKey("HKEY_CURRENT_USER\\Software\\VRN\\Demo\\");
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software\\VRN\\Demo"));
  EXPECT_TRUE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software\\VRN"));
  ExpectNothingLogged();
}

TEST_F(RegistryTest, MalformedPathsAreReportedNotWritten) {
  CreateKey("HKEY_NOWHERE\\Software\\X", "v1");
  ExpectQuietReport("CreateKey", "HKEY_NOWHERE\\Software\\X\r\nv1\r\n");
  CreateKey("HKEY_CURRENT_USER\\Software\\\\X", "v2");
  ExpectQuietReport("CreateKey", "HKEY_CURRENT_USER\\Software\\\\X\r\nv2\r\n");
  CreateNumericKey("HKEY_LOCAL_MACHINE", 5);
  ExpectQuietReport("CreateNumericKey", "HKEY_LOCAL_MACHINE\r\n5\r\n");
  EXPECT_EQ("", ReadKey(""));
  EXPECT_TRUE(ReadKeyV("HKCU\\\\x").IsEmpty());
  SaveMachineSetting("", "", "", RegVariant::Of("v3"));
  ExpectQuietReport("CreateKey", "HKEY_LOCAL_MACHINE\\Software\\\\\\\r\nv3\r\n");
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software"));
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::LocalMachine, "Software"));
}

// The number of the run-time error a registry call raises; 0 when none.
long RefusalOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

// The same rules as the Windows registry's (tests/win32/RegistryTest.cpp).
TEST_F(RegistryTest, BinaryValuesAndSubKeysFollowTheSystemsRules) {
  MemoryRegistry& reg = sys.registry;
  const std::string list = "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
  const std::string key = list + "\\Eastern Standard Time";
  const std::string bytes("\x2C\x01\x00\x00", 4);
  reg.WriteBinary(RegRoot::LocalMachine, key, "TZI", bytes);
  reg.WriteString(RegRoot::LocalMachine, key, "Std", "Eastern Standard Time");
  reg.WriteString(RegRoot::LocalMachine, list + "\\Central Standard Time\\Dynamic DST", "2007", "x");
  EXPECT_EQ(bytes, reg.ReadBinary(RegRoot::LocalMachine, list + "\\EASTERN standard time", "tzi"));
  EXPECT_EQ(errTypeMismatch, RefusalOf([&] { reg.Read(RegRoot::LocalMachine, key, "TZI"); }));
  EXPECT_EQ(errTypeMismatch, RefusalOf([&] { reg.ReadBinary(RegRoot::LocalMachine, key, "Std"); }));
  EXPECT_EQ((std::vector<std::string>{"Central Standard Time", "Eastern Standard Time"}),
            reg.SubKeys(RegRoot::LocalMachine, list));
  EXPECT_EQ(errRegistryAccess, RefusalOf([&] { reg.SubKeys(RegRoot::LocalMachine, list + "\\Missing"); }));
  reg.readOnlyRoots = {RegRoot::LocalMachine};
  EXPECT_EQ(errRegistryAccess, RefusalOf([&] { reg.WriteBinary(RegRoot::LocalMachine, key, "TZI", ""); }));
  EXPECT_EQ(bytes, reg.ReadBinary(RegRoot::LocalMachine, key, "TZI"));
}

TEST_F(RegistryTest, RefusedWritesLeaveTheRegistryAsItWas) {
  sys.registry.WriteDword(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\1\\Settings", "TTS", 5);
  sys.registry.readOnlyRoots.push_back(RegRoot::LocalMachine);
  SaveMachineSetting("VRN\\Tavrel\\1", "Settings", "TTS", RegVariant::Of(int64_t{0}));
  SaveMachineSetting("VRN\\Tavrel\\1", "Settings", "ProgramVersion", RegVariant::Of("31001"));
  DeleteKey("HKEY_LOCAL_MACHINE\\Software\\VRN\\Tavrel\\1\\Settings\\TTS");
  EXPECT_EQ(5u, Stored(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\1\\Settings", "TTS")->number);
  EXPECT_FALSE(Stored(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\1\\Settings", "ProgramVersion"));
  ExpectQuietReport("CreateNumericKey", "HKEY_LOCAL_MACHINE\\Software\\VRN\\Tavrel\\1\\Settings\\TTS\r\n0\r\n");
  ExpectQuietReport("CreateKey", "HKEY_LOCAL_MACHINE\\Software\\VRN\\Tavrel\\1\\Settings\\ProgramVersion\r\n31001\r\n");
  ExpectQuietReport("DeleteKey", "HKEY_LOCAL_MACHINE\\Software\\VRN\\Tavrel\\1\\Settings\\TTS\r\n\r\n");
}

TEST_F(RegistryTest, NumbersWiderThan32BitsAreRefusedNotWrapped) {
  CreateNumericKey("HKCU\\Software\\N\\Big", int64_t{1} << 32);
  CreateNumericKey("HKCU\\Software\\N\\Low", int64_t{-2147483647} - 2);
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software\\N"));
  ExpectQuietReport("CreateNumericKey", "HKCU\\Software\\N\\Big\r\n4294967296\r\n");
  CreateNumericKey("HKCU\\Software\\N\\Min", int64_t{-2147483647} - 1);
  EXPECT_EQ("-2147483648", ReadKey("HKCU\\Software\\N\\Min"));
}

TEST_F(RegistryTest, RegKeyExistsLetsEventsRunOnce) {
  std::string path = "HKCU\\x\\y";
  sys.windows.doEvents = 0;
  RegKeyExists(path);
  EXPECT_EQ(1, sys.windows.doEvents);
}

// ---------------------------------------------------------------------------

using SettingsStoreTest = ProgramTest;

TEST_F(SettingsStoreTest, ValuesLiveAsStringsBelowTheUsersSettingsKey) {
  SaveSetting("VRN\\Tavrel\\ADMIN", "Settings", "MainLeft", "1000");
  const auto stored = sys.registry.Value(RegRoot::CurrentUser,
                                         "Software\\VRN Program Settings\\VRN\\Tavrel\\ADMIN\\Settings", "MainLeft");
  ASSERT_TRUE(stored);
  EXPECT_EQ(RegValue::String, stored->type);
  EXPECT_EQ("1000", stored->text);
  EXPECT_EQ("1000", GetSetting("VRN\\Tavrel\\ADMIN", "Settings", "MainLeft", "0"));
  SaveSetting("VRN\\Tavrel\\ADMIN", "Settings", "MainLeft", "");
  EXPECT_EQ("", GetSetting("VRN\\Tavrel\\ADMIN", "Settings", "MainLeft", "0"));
}

TEST_F(SettingsStoreTest, MissingValuesGiveTheDefaultAndLeaveNoTrace) {
  EXPECT_EQ("english", GetSetting("VRN\\Tavrel\\ADMIN", "Settings", "Language", "english"));
  EXPECT_EQ("d", GetSetting("", "Settings", "x", "d"));
  EXPECT_EQ("d", GetSetting("VRN\\\\Tavrel", "Settings", "x", "d"));
  sys.registry.WriteDword(RegRoot::CurrentUser, "Software\\VRN Program Settings\\A\\S", "n", 7);
  EXPECT_EQ("7", GetSetting("A", "S", "n", "0"));
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software\\VRN Program Settings\\VRN"));
  EXPECT_FALSE(sys.files.FileContent(kLog));
}

TEST_F(SettingsStoreTest, RefusedOrMisnamedWritesRaise) {
  sys.registry.readOnlyRoots.push_back(RegRoot::CurrentUser);
  try {
    SaveSetting("VRN\\Tavrel\\ADMIN", "Settings", "MainLeft", "1");
    FAIL() << "a refused write must raise";
  } catch (const RuntimeError&) {
  }
  sys.registry.readOnlyRoots.clear();
  for (const auto& names : std::vector<std::array<std::string, 3>>{
           {"", "Settings", "k"}, {"A", "", "k"}, {"A", "S", ""}, {"A\\", "S", "k"}, {"A", "\\S", "k"}}) {
    try {
      SaveSetting(names[0], names[1], names[2], "1");
      FAIL() << names[0] << "|" << names[1] << "|" << names[2];
    } catch (const RuntimeError& e) {
      EXPECT_EQ(errInvalidCall, e.Number());
    }
  }
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::CurrentUser, "Software"));
}

}  // namespace
}  // namespace tavrel
